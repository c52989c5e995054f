// The fault-sweep fixture of the control request: a session loaded from
// the demonstration installation in the database, then one request made
// once for every platform call failing in turn. Every run must end with an
// answer on the client's socket, leave the database as it was or as the
// clean run left it, and leave no client sequence number behind.
//
// One exception is by design: an audit record that cannot be written is
// logged and the change it records stands (the rule of every change
// handler), and an audit record written before a change is tried stays
// when the change fails. Runs whose database differs from the clean run's,
// or from the state before, in audit rows alone are therefore held to
// their answer and to that shape instead.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace ctltest {

class ControlFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    ctltest::resetStandIns();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    ctltest::resetStandIns();
  }

  // A new session of client A on the configuration stored in the database.
  void freshSession() {
    ctltest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, 0);
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, ctltest::kUser);
    ASSERT_NE(config, nullptr);
    ZQMACLms* tape = config->GetLmsList().GetFirstNode();
    ZQMACMagLib* disk = config->GetMagLibList().GetFirstNode();
    ASSERT_NE(tape, nullptr);
    ASSERT_NE(disk, nullptr);
    m_config = config;
    m_tape = config->GetHandle(tape);
    m_tapeId = tape->GetId();
    m_disk = config->GetHandle(disk);
    m_a.replies();
  }

  // True when every table of a change description is one of the audit
  // trail (or the identity counters).
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
    return tktest::StreamBuilder()
        .socket(m_a.socket().GetSocketDescriptor())
        .user(ctltest::kUser)
        .sequence(ctltest::kSequence)
        .guiId(ctltest::kGuiId);
  }

  // The sweep of one request, built after the session is fresh (and made
  // to `handler`, the control request unless said otherwise).
  // `commits`: what the clean run may commit (a removal deconfigures, then
  // deletes, and keeps the deconfiguration when the deletion fails).
  tktest::SweepReport sweep(const std::function<tktest::StreamBuilder()>& build,
                            bool (EvMMConfigMgr::*handler)(MessageInfo*) = &EvMMConfigMgr::onMsgSetMMControl,
                            long commits = 1) {
    tktest::SweepPlan plan;
    plan.commits = commits;
    std::optional<tktest::DatabaseDump> before;  // the state every run starts from
    plan.setup = [&] {
      if (!before) before = tktest::DatabaseDump::take();
      freshSession();
      testkit::external::setAutoRefresh(true);
    };
    plan.request = [&] {
      auto request = build().build();
      (m_mgr.*handler)(request.get());
    };
    tktest::DatabaseDump clean;
    std::set<long> auditOnly;  // runs whose database differs from the clean run's (or the first) in audit rows alone
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const tktest::DatabaseDump now = tktest::DatabaseDump::take();
      if (run.k == 0) clean = now;
      else if ((now != clean && onlyAuditRows(tktest::DatabaseDump::describeChanges(clean, now))) ||
               (now != *before && onlyAuditRows(tktest::DatabaseDump::describeChanges(*before, now))))
        auditOnly.insert(run.k);
      const std::string answered = tktest::answeredOnSocket(m_a.replies(), run);
      if (!answered.empty()) return answered;
      if (EvMMConfigMgr::GetClientSequenceNumber() != -1) return "the client sequence number stayed set";
      return "";
    };
    tktest::SweepReport report = tktest::FaultSweep().run(plan);
    // A failed audit write leaves the change it records (see the top).
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
  Connection m_a;
  EvMMConfigMgr m_mgr;
  ZQMACMediaConfig* m_config = nullptr;  // the session's instance of the current run
  unsigned long long m_tape = 0;
  unsigned long long m_disk = 0;
  unsigned int m_tapeId = 0;
};

}  // namespace ctltest
