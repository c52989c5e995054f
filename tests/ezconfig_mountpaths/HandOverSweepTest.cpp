// The fault sweep over a mount-path add while a freed request's graph waits
// for the next one: every platform call of the add fails in turn, and after
// each run the next new instance, which takes over the graph the request
// left, is what a load of every row makes of a new instance.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ModelDump.h"

namespace mountpathtest {
namespace {

std::unique_ptr<ZQMACMediaConfig> loaded() {
  auto config = std::make_unique<ZQMACMediaConfig>();
  if (!config->Initialize("site-a") || !config->ReadCurrentConfig(false)) return nullptr;
  return config;
}

using HandOverSweep = MountPathTest;

TEST_F(HandOverSweep, AfterEveryFailingCallOfAnAddTheNextInstanceIsAsNew) {
  std::string text;
  std::string buffer;
  tktest::SweepPlan plan;
  plan.judgedTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
  plan.setup = [&] {
    freshStandIns();
    testkit::audit::reset();
    text = request({{43, 4}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {24, "/mnt/new"}, {60, "newmp"}},
                   {{64, 20}});
    loaded();  // freed at once: its graph waits for the request
  };
  plan.request = [&] {
    auto message = record();
    buffer = text;
    m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
  };
  plan.check = [&](const tktest::SweepRun&) -> std::string {
    testkit::mac::journal().reset();
    auto next = loaded();
    auto fresh = loaded();  // the graph is held by `next`: this one builds its own
    if (next == nullptr || fresh == nullptr) return "the configuration could not be loaded";
    const auto lays = testkit::mac::journal().calls("LayStored");
    if (lays.size() != 2 || lays[0].args.at(0) != "taken over" || lays[1].args.at(0) != "own")
      return "the first load did not take the request's graph over";
    const std::string a = tktest::ModelDump::of(*next);
    const std::string b = tktest::ModelDump::of(*fresh);
    return a == b ? "" : "the next instance differs from a new one:\n" + a + "\n---\n" + b;
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
  EXPECT_GT(report.calls, 5);
}

}  // namespace
}  // namespace mountpathtest
