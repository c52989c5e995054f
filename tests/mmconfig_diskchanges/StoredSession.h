// A session on the demonstration installation stored in the database, for
// the tests that look at rows and for the fault sweep: each run starts a
// fresh session on the seeded database.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace disktest {

class StoredSession : public ::testing::Test {
 public:
  void SetUp() override {
    libtest::resetStandIns();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    tktest::resetSessionState();
    libtest::resetStandIns();
  }
  virtual void freshSession() {
    libtest::resetStandIns();
    tktest::resetSessionState();
    m_config = tktest::openDatabaseSession(m_a, libtest::kUser);
    ASSERT_NE(m_config, nullptr);
    m_a.replies();
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder()
        .socket(m_a.socket().GetSocketDescriptor())
        .user(libtest::kUser)
        .sequence(libtest::kSequence);
  }
  // Each call failing in turn: every run answers on the socket and leaves
  // the database as before or as after the clean run. An audit record that
  // cannot be written is logged and the change stands.
  tktest::SweepReport sweep(const std::function<void()>& request) {
    tktest::SweepPlan plan;
    plan.setup = [&] { freshSession(); };
    plan.request = request;
    plan.judgedTables = {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
    plan.check = [&](const tktest::SweepRun& run) { return tktest::answeredOnSocket(m_a.replies(), run); };
    return tktest::FaultSweep().run(plan);
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_a;
  ZQMACMediaConfig* m_config = nullptr;
};

}  // namespace disktest
