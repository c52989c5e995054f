// The fault sweep over taking the configuration lock on the central
// database while a freed request's graph waits for the next instance: the
// session's first load takes it over. Every platform call fails in turn;
// after each run the session's configuration, when it was loaded, is what a
// load of every row makes of a new instance, and so is the next one.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/frame_configlock/ConfigLockFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ModelDump.h"

namespace {

using locktest::kAlice;

std::unique_ptr<ZQMACMediaConfig> loaded() {
  auto config = std::make_unique<ZQMACMediaConfig>();
  if (!config->Initialize(locktest::kSite) || !config->ReadCurrentConfig(false)) return nullptr;
  return config;
}

// The graph as the dump shows it, without the instance's own line (the lock
// falls back to another installation name when the focus cannot be read).
std::string graphOf(ZQMACMediaConfig& config) {
  const std::string dump = tktest::ModelDump::of(config);
  return std::to_string(config.GetObjectCount()) + dump.substr(dump.find('\n'));
}

class LockHandOverSweep : public locktest::LockTest {
 protected:
  void SetUp() override {
    LockTest::SetUp();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
};

TEST_F(LockHandOverSweep, TheSessionTakesAParkedGraphOverAndEveryRunLeavesItAsNew) {
  tktest::SweepPlan plan;
  plan.setup = [&] {
    freshStandIns();
    m_loader.reset();  // the central database is the configuration source
    tktest::resetSessionState();
    m_a.replies();
    loaded();  // freed at once: its graph waits for the session
    testkit::mac::journal().reset();
  };
  plan.request = [&] { lockStream(kAlice, EvMMConfigMgr::kLockOpLock, 1000); };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (m_a.replies().empty() && run.k == 0) return "the clean run answered nothing";
    const auto lays = testkit::mac::journal().calls("LayStored");
    if (run.k == 0 && (lays.empty() || lays.front().args.at(0) != "taken over"))
      return "the session did not take the parked graph over";
    ZQMACMediaConfig* session = locktest::newestInstance();
    const bool sessionLoaded = session != nullptr && session->GetObjectCount() != 0;
    auto fresh = loaded();
    if (fresh == nullptr) return "a new instance could not be loaded";
    const std::string expected = graphOf(*fresh);
    if (sessionLoaded && graphOf(*session) != expected) return "the session's configuration differs from a new one";
    if (run.k == 0 && !sessionLoaded) return "the clean run loaded nothing";
    fresh.reset();
    tktest::resetSessionState();  // the session's graph is parked or freed
    auto next = loaded();
    if (next == nullptr || graphOf(*next) != expected) return "the next instance differs from a new one";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
