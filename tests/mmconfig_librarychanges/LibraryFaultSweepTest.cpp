// The library request and drag and drop under the fault sweep: a session
// loaded from the demonstration installation in the database, then each
// request made once for every platform call failing in turn. Every run must
// end with an answer on the client's socket and leave the database as it
// was or as the clean run left it. An audit record that cannot be written
// is logged and the change it records stands (the rule of every change
// handler): such runs may differ from the clean one in audit rows alone.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace {

class LibraryFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    libtest::resetStandIns();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    libtest::resetStandIns();
  }

  void freshSession() {
    libtest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, libtest::kUser);
    ASSERT_NE(config, nullptr);
    ZQMACLms* tape = config->GetLmsList().GetFirstNode();
    ASSERT_NE(tape, nullptr);
    m_tape = config->GetHandle(tape);
    m_tapeId = tape->GetLibrary() != nullptr ? static_cast<int>(tape->GetLibrary()->GetId()) : 0;
    ZQMACLinkedList<ZQMACDms> paths = tape->GetDmsList();
    m_path = config->GetHandle(paths.GetFirstNode());
    testkit::mmlib::scriptLibraryState(m_tapeId, {});
    testkit::mmlib::scriptIdentification({1, 2});
    m_a.replies();
  }

  static bool onlyAuditRows(const std::string& changes) {
    std::istringstream lines(changes);
    std::string line;
    bool any = false;
    while (std::getline(lines, line)) {
      if (line.rfind("table ", 0) != 0) continue;
      any = true;
      if (line.rfind("table AuditTrail", 0) != 0 && line.rfind("table sqlite_sequence", 0) != 0) return false;
    }
    return any;
  }

  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(libtest::kUser).sequence(libtest::kSequence);
  }

  tktest::SweepReport sweep(const std::function<void()>& request) {
    tktest::SweepPlan plan;
    plan.setup = [&] { freshSession(); };
    plan.request = request;
    tktest::DatabaseDump clean;
    std::set<long> auditOnly;
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const tktest::DatabaseDump now = tktest::DatabaseDump::take();
      if (run.k == 0) clean = now;
      else if (now != clean && onlyAuditRows(tktest::DatabaseDump::describeChanges(clean, now))) auditOnly.insert(run.k);
      return tktest::answeredOnSocket(m_a.replies(), run);
    };
    tktest::SweepReport report = tktest::FaultSweep().run(plan);
    std::vector<std::string> kept;
    for (const std::string& finding : report.findings) {
      bool excused = false;
      for (long k : auditOnly)
        if (finding.rfind("k=" + std::to_string(k) + " (", 0) == 0 && finding.find("half changed") != std::string::npos)
          excused = true;
      if (!excused) kept.push_back(finding);
    }
    report.findings = kept;
    return report;
  }

  tktest::TestDatabase m_db;
  tktest::Connection m_a;
  EvMMConfigMgr m_mgr;
  unsigned long long m_tape = 0;
  unsigned long long m_path = 0;
  int m_tapeId = 0;
};

TEST_F(LibraryFaultSweep, EveryFailingCallOfALibraryChangeEndsWithAnAnswerAndNoHalfChange) {
  const tktest::SweepReport report = sweep([&] {
    auto request = stream().op(3).handle(m_tape).text(8251, "Renamed library", true).u32(11009, 9).u32(11164, 1)
                       .u32(11432, 2).end().op(12).end().build();
    m_mgr.onMsgSetMMLibrary(request.get());
  });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(LibraryFaultSweep, EveryFailingCallOfAnIdentificationOrDiscoveryEndsWithAnAnswer) {
  for (uint32_t operation : {35u, 84u, 85u}) {
    SCOPED_TRACE(operation);
    const tktest::SweepReport report = sweep([&] {
      auto request = stream().op(operation).handle(m_tape).pair(2225, 0, "Data cartridge", true).u32(11178, 1).end().build();
      m_mgr.onMsgSetMMLibrary(request.get());
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(LibraryFaultSweep, EveryFailingCallOfADropThatConfiguresALibraryEndsWithAnAnswer) {
  const tktest::SweepReport report = sweep([&] {
    ASSERT_NE(m_path, 0u);
    auto request = stream().objectHandle(m_path).payloadWord(20, 1).build();
    m_mgr.onMsgMMDragNDrop(request.get());
  });
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
