// A test of requests sent through the XML dispatcher as the host calls it,
// on the demonstration installation seeded into the test database, with a
// console session read from it. The fixture resets the session and the
// stand-ins around each test, sends a request text with an origin, and runs
// the fault sweep over one request; the wizard tests decode the answer text
// themselves.
//
//   class WizardTest : public tktest::XmlWizardTest {
//    protected:
//     WizardTest() : XmlWizardTest(resetMyStandIns, kUser) {}
//     void seedMore() override { /* rows the tests need beyond the seed */ }
//   };
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/testkit/db.h"
#include "platform/testkit/xml.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FrameSession.h"
#include "tests/support/TestDatabase.h"

namespace tktest {

class XmlWizardTest : public ::testing::Test {
 protected:
  // `resetStandIns` puts back the stand-ins the tests use beyond the
  // session's own; requests are made as `user`.
  XmlWizardTest(void (*resetStandIns)(), uint32_t user) : m_resetStandIns(resetStandIns), m_user(user) {}

  void SetUp() override {
    EvMMConfigMgr::Initialize();
    resetAll();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
    seedMore();
    if (HasFatalFailure()) return;
    openSession();
  }
  void TearDown() override {
    EXPECT_EQ(testkit::xml::mismatchCount(), 0) << "XML accessor calls disagree with the registry";
    resetAll();
  }
  // Rows to store after the seed, before the session reads them.
  virtual void seedMore() {}

  void resetAll() {
    resetSessionState();
    resetSessionStandIns();
    m_resetStandIns();
    testkit::xml::clearFailures();
    testkit::xml::resetMismatches();
  }
  // A console session read from the database, held by m_client.
  void openSession() {
    resetSessionState();
    m_config = openDatabaseSession(m_client, m_user);
    ASSERT_NE(m_config, nullptr);
    testkit::db::journal().reset();
  }
  // Sends `buffer` as request `id`; the answer replaces it. The dispatcher's
  // result.
  long long dispatch(unsigned long id, std::string& buffer, uint32_t origin = 0) {
    auto message = m_client.request(300, 0, m_user);
    message->origin = origin;
    return m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, id, buffer);
  }

  // The answer text and the dispatcher's result of one sweep run.
  using SweepCheck = std::function<std::string(const std::string& answer, long long result, const SweepRun& run)>;
  // Request `id` with the text `text` builds (in a fresh session), each
  // platform call failing in turn; `check` judges each run, the sweep the
  // tables but `judgedTables`.
  SweepReport sweepXml(unsigned long id, const std::vector<std::string>& judgedTables,
                       const std::function<std::string()>& text, const SweepCheck& check, uint32_t origin = 0) {
    std::string request;
    std::string buffer;
    long long result = 0;
    SweepPlan plan;
    plan.judgedTables = judgedTables;
    plan.setup = [&] {
      resetAll();
      openSession();
      request = text();
    };
    plan.request = [&] {
      buffer = request;
      result = dispatch(id, buffer, origin);
    };
    plan.check = [&](const SweepRun& run) { return check(buffer, result, run); };
    return FaultSweep().run(plan);
  }

  long long count(const std::string& table, const std::string& where = "1") const {
    return m_db.scalar("SELECT COUNT(*) FROM " + table + " WHERE " + where);
  }

  mutable TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_client;
  ZQMACMediaConfig* m_config = nullptr;

 private:
  void (*m_resetStandIns)();
  uint32_t m_user;
};

}  // namespace tktest
