// What a console's lock/unlock pair costs the database on a configuration
// nobody changed: the host's rights check and the lock's configuration read
// find the stamp and the change log where they were and read nothing else.
// Each statement is one more round through the engine for every pair a
// console sends, whatever the installation holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "platform/security/Rights.h"
#include "platform/testkit/db.h"
#include "platform/testkit/security.h"
#include "tests/support/SeededSession.h"

namespace {

constexpr uint32_t kAdmin = 1;  // the demonstration's administrator

void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::security::reset();
}

class ReadCost : public tktest::SeededSessionTest {
 protected:
  ReadCost() : SeededSessionTest(resetStandIns, kAdmin, 100) {}
  void SetUp() override {
    tktest::SeededSessionTest::SetUp();
    std::string report;
    ASSERT_GE(tksecurity::seedDemoUsers(report), 0) << report;
    tksecurity::useUsersTable(true);
  }
  void TearDown() override {
    tksecurity::useUsersTable(false);
    tktest::SeededSessionTest::TearDown();
  }

  // One lock operation as the host serves it: the rights check first, then
  // the handler. The status it answered.
  uint32_t served(uint32_t operation) {
    tksecurity::RequestRights rights(kAdmin);
    EXPECT_TRUE(rights.user().known);
    auto request = m_a.request(100, 0, kAdmin);
    request->firstWord = 2;
    request->elementCount = operation;
    m_mgr.LockMMConfiguration(request.get(), 1000, true);
    return tktest::onlyStatus(m_a.replies()).value_or(tktest::Status{}).status;
  }

  static std::string listed(const std::vector<std::string>& statements) {
    std::string text;
    for (const std::string& s : statements) text += "\n  " + s;
    return text;
  }
};

TEST_F(ReadCost, ALockUnlockPairOnAnUnchangedConfigurationRunsAtMostFiveStatements) {
  // The first pairs read what the process has not kept yet; those after
  // them find everything where it was.
  for (int pair = 0; pair < 4; ++pair) {
    testkit::db::takeStatementsRun();
    ASSERT_EQ(served(EvMMConfigMgr::kLockOpLock), 1u) << "pair " << pair;
    ASSERT_EQ(served(EvMMConfigMgr::kLockOpUnlockNoCheck), 1u) << "pair " << pair;
    const std::vector<std::string> statements = testkit::db::takeStatementsRun();
    if (pair >= 2) {
      EXPECT_LE(statements.size(), 5u) << "pair " << pair << listed(statements);
    }
  }
}

}  // namespace
