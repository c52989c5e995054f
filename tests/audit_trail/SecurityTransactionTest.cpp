// The rights checkers' transactions: EvSecurityMgr / EvSecurityCheck keep a
// private transaction from construction to destruction, EvSecurityNew
// works in the caller's transaction or commits one of its own, and a
// handler that writes while a checker lives on its stack keeps its writes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "frame/EvSecurity.h"
#include "frame/TranWrapper.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/testkit/adapters.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/db.h"
#include "platform/testkit/security.h"
#include "tests/audit_trail/AuditHelpers.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WaitFor.h"

namespace {

using audittest::countFromAnotherThread;
using audittest::writeSetting;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr long long kSequence = (0x0409LL << 48) | 12;

class CheckerTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    // Before any connection opens: a wait on a lock of the same thread
    // would last seconds, not half a minute.
    testkit::db::setBusyTimeoutMs(3000);
    testkit::security::reset();
    testkit::adapters::reset();
    testkit::audit::reset();
    ASSERT_EQ(0, db.exec("SELECT COUNT(*) FROM auditTestSetting"));  // the schema exists
  }
  void TearDown() override {
    testkit::security::reset();
    testkit::audit::reset();
  }

  size_t dbCalls(const std::string& name) { return testkit::db::journal().count(name); }
  Strings dbArgs(const std::string& name, size_t index = 0) {
    auto calls = testkit::db::journal().calls(name);
    return index < calls.size() ? calls[index].args : Strings{};
  }

  tktest::TestDatabase db;
};

TEST(CheckerTransactionLayout, AStartedCheckerTouchesNoDatabaseUntilItsTransactionIsUsed) {
  tktest::TestDatabase db;
  ASSERT_FALSE(std::filesystem::exists(db.path()));
  {
    EvSecurityCheck check(kSequence);
    DBtran* tran = check.getTransaction();
    EXPECT_TRUE(tran->isPrivate());
    EXPECT_EQ(DBtable::kStateOpen, tran->getState() & DBtable::kStateOpen);
    EXPECT_TRUE(check.canManageTarnkeep(7, 2));
    EXPECT_EQ(check.getLocale(), 0x0409u);
  }
  EXPECT_FALSE(std::filesystem::exists(db.path())) << "a deferred transaction that was never used opened nothing";
  EXPECT_EQ(testkit::db::journal().count("startPrivateTran"), 1u);
  auto ended = testkit::db::journal().calls("rollbackPrivateTran");
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].args, Strings{"unused"});
  EXPECT_EQ(testkit::db::journal().count("startTran"), 0u);
}

TEST_F(CheckerTransaction, TheDestructorRollsBackAnOpenTransactionWithItsAuditRecords) {
  {
    EvSecurityMgr mgr(kSequence);
    ASSERT_GT(writeSetting(mgr.getTransaction(), "in the checker", 1), 0);
    ASSERT_EQ(0, audittest::writeAudit(mgr.getTransaction(), 0x54000080, 7, {{1, {"checker"}}}));
    EXPECT_EQ(0, countFromAnotherThread("auditTestSetting"));
    EXPECT_TRUE(audittest::recordsFromAnotherThread().empty());
    EXPECT_EQ(DBtable::kStateOpen, mgr.getTransaction()->getState() & DBtable::kStateOpen);
  }
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM auditTestSetting"));
  EXPECT_EQ(0, countFromAnotherThread("auditTestSetting"));
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_EQ(dbArgs("rollbackPrivateTran"), Strings{"rollback"});

  // A transaction the checker's user ended is left alone.
  {
    EvSecurityMgr mgr(kSequence);
    ASSERT_GT(writeSetting(mgr.getTransaction(), "committed", 1), 0);
    ASSERT_EQ(0, mgr.getTransaction()->commitTran(0));
    EXPECT_EQ(0, mgr.getTransaction()->getState() & DBtable::kStateOpen);
  }
  EXPECT_EQ(1, countFromAnotherThread("auditTestSetting"));
  EXPECT_EQ(dbCalls("rollbackPrivateTran"), 1u);
  EXPECT_EQ(dbArgs("commitPrivateTran"), Strings{"commit"});
}

TEST_F(CheckerTransaction, AFailedStartLeavesTheCheckerUsable) {
  testkit::db::journal().injectFailure("startPrivateTran", DB_ERR_BEGIN, "no connection");
  EvSecurityCheck check(kSequence);
  EXPECT_EQ(0, check.getTransaction()->getState() & DBtable::kStateOpen);
  EXPECT_TRUE(check.canAdminLibrary(7, 2, 3));
  testkit::security::deny("canAdminLibrary", 7, 3, "library 3 is not yours");
  EXPECT_FALSE(check.canAdminLibrary(7, 2, 3));
  EXPECT_STREQ(check.getResponseString(), "library 3 is not yours");
}

// The handler's pattern: a rights checker on the stack, configuration
// written with calls made without a transaction and in the handler's own
// transaction. None of it may wait, join the checker's transaction, or go
// with the checker's roll-back.
TEST_F(CheckerTransaction, HandlerWritesMadeWhileACheckerLivesAreCommittedAndSurviveIt) {
  const int waitsBefore = testkit::db::busyWaits();
  int autoId = 0;
  int tranId = 0;
  {
    EvSecurityCheck check(kSequence);
    ASSERT_TRUE(check.canManageTarnkeep(7, 2));
    // The checker's transaction in use: begun, with a read snapshot.
    tkdb::Session inChecker(check.getTransaction());
    tkdb::DbRow row;
    ASSERT_EQ(0, inChecker.queryOne("SELECT COUNT(*) FROM auditTestSetting", {}, row));
    EXPECT_EQ(row[0].i, 0);

    autoId = writeSetting(nullptr, "no transaction", 1);
    ASSERT_GT(autoId, 0);
    EXPECT_EQ(1, countFromAnotherThread("auditTestSetting")) << "committed at once, not joined to the checker";
    ASSERT_EQ(0, audittest::writeAudit(nullptr, 0x54000090, 7, {{1, {"handler"}}}));

    DBtran handler(true);
    ASSERT_TRUE(handler.isOpen());
    tranId = writeSetting(&handler, "handler transaction", 2);
    ASSERT_GT(tranId, 0);
    ASSERT_EQ(0, handler.commitTran(0));
    EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));

    // The checker still reads its own snapshot.
    ASSERT_EQ(0, inChecker.queryOne("SELECT COUNT(*) FROM auditTestSetting", {}, row));
    EXPECT_EQ(row[0].i, 0);
  }
  EXPECT_EQ(testkit::db::busyWaits(), waitsBefore) << "something waited on a lock of its own thread";
  EXPECT_EQ(dbArgs("rollbackPrivateTran"), Strings{"rollback"});
  EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM auditTestSetting WHERE settingId = " + std::to_string(autoId)));
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM auditTestSetting WHERE settingId = " + std::to_string(tranId)));
  EXPECT_EQ(1u, audittest::recordsFromAnotherThread().size());
}

TEST_F(CheckerTransaction, ACheckerMadeInsideTheHandlersTransactionNeitherNestsNorWaits) {
  const int waitsBefore = testkit::db::busyWaits();
  DBtran handler(true);
  ASSERT_GT(writeSetting(&handler, "before the check", 1), 0);
  {
    EvSecurityCheck check(kSequence);
    tkdb::Session inChecker(check.getTransaction());
    tkdb::DbRow row;
    ASSERT_EQ(0, inChecker.queryOne("SELECT COUNT(*) FROM auditTestSetting", {}, row));
    EXPECT_EQ(row[0].i, 0) << "the checker sees committed data only";
    ASSERT_GT(writeSetting(nullptr, "joins the handler", 2), 0);
  }
  EXPECT_TRUE(handler.isOpen()) << "the checker's roll-back did not end the handler's transaction";
  ASSERT_EQ(0, handler.commitTran(0));
  EXPECT_EQ(testkit::db::busyWaits(), waitsBefore) << "something waited on a lock of its own thread";
  EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));
}

// Should a checker's transaction write, the handler's write on the same
// thread cannot get the lock before the checker ends: it fails at once
// instead of waiting out the busy time-out, and so does the other way round.
TEST_F(CheckerTransaction, ALockHeldOnTheSameThreadFailsAtOnceInsteadOfWaiting) {
  {
    EvSecurityCheck check(kSequence);
    ASSERT_GT(writeSetting(check.getTransaction(), "checker writes", 1), 0);
    const int waitsBefore = testkit::db::busyWaits();
    EXPECT_EQ(-DB_ERR_BUSY, writeSetting(nullptr, "handler", 2));
    EXPECT_EQ(testkit::db::busyWaits(), waitsBefore) << "the write waited on its own thread's lock";
  }
  ASSERT_GT(writeSetting(nullptr, "after the checker", 3), 0);

  DBtran handler(true);
  ASSERT_GT(writeSetting(&handler, "handler holds the lock", 4), 0);
  {
    EvSecurityCheck check(kSequence);
    const int waitsBefore = testkit::db::busyWaits();
    EXPECT_EQ(-DB_ERR_BUSY, writeSetting(check.getTransaction(), "checker", 5));
    EXPECT_EQ(testkit::db::busyWaits(), waitsBefore) << "the write waited on its own thread's lock";
  }
  ASSERT_EQ(0, handler.commitTran(0));
  EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));
}

TEST_F(CheckerTransaction, AnotherThreadsLockIsStillWaitedFor) {
  // Only locks of the same thread end the wait early: a writer on another
  // thread waits for the checker's transaction and then gets through.
  EvSecurityCheck check(kSequence);
  ASSERT_GT(writeSetting(check.getTransaction(), "checker", 1), 0);
  std::atomic<int> otherId{0};
  const int waitsBefore = testkit::db::busyWaits();
  std::thread other([&] { otherId = writeSetting(nullptr, "other thread", 2); });
  // The writer met the checker's lock and waits for it (or, wrongly, is done).
  EXPECT_TRUE(tktest::waitUntil([&] { return testkit::db::busyWaits() > waitsBefore || otherId.load() != 0; }));
  EXPECT_EQ(otherId.load(), 0) << "the writer did not wait for the checker's transaction";
  ASSERT_EQ(0, check.getTransaction()->commitTran(0));
  other.join();
  EXPECT_GT(otherId.load(), 0);
  EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));
}

// --- EvSecurityNew and its transaction wrapper ---------------------------------------

TEST_F(CheckerTransaction, EvSecurityNewCommitsItsOwnTransaction) {
  {
    EvSecurityNew sec(nullptr, 0x0409);
    EXPECT_EQ(sec.tranStatus(), 0);
    DBtran* own = sec.getTransaction();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->isPrivate());
    EXPECT_TRUE(own->isOpen());
    ASSERT_GT(writeSetting(nullptr, "handler", 2), 0) << "the handler's write neither waits nor joins";
    EXPECT_EQ(1, countFromAnotherThread("auditTestSetting"));
    ASSERT_GT(writeSetting(own, "in its own", 1), 0);
    EXPECT_EQ(1, countFromAnotherThread("auditTestSetting"));
  }
  EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));
  EXPECT_EQ(dbArgs("commitPrivateTran"), Strings{"commit"});
  EXPECT_EQ(testkit::adapters::tranJournal().count("commitIfOwnTran"), 1u);
}

TEST_F(CheckerTransaction, EvSecurityNewLeavesTheCallersTransactionToTheCaller) {
  DBtran caller(true);
  {
    EvSecurityNew sec(&caller, 0);
    EXPECT_EQ(sec.tranStatus(), 0);
    EXPECT_EQ(sec.getTransaction(), &caller);
    ASSERT_GT(writeSetting(sec.getTransaction(), "in the caller's", 1), 0);
  }
  EXPECT_TRUE(caller.isOpen()) << "not committed by the checker";
  EXPECT_EQ(0, countFromAnotherThread("auditTestSetting"));
  EXPECT_EQ(dbCalls("commitTran") + dbCalls("commitPrivateTran") + dbCalls("startPrivateTran"), 0u);
  ASSERT_EQ(0, caller.rollbackTran());
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM auditTestSetting"));
}

TEST_F(CheckerTransaction, EvSecurityNewKeepsTheStatusOfAFailedStartAndRollsBackAFailedCommit) {
  testkit::db::journal().injectFailure("startPrivateTran", DB_ERR_BEGIN, "no connection");
  {
    EvSecurityNew sec(nullptr, 0);
    EXPECT_EQ(sec.tranStatus(), DB_ERR_BEGIN);
    EXPECT_FALSE(sec.getTransaction()->isOpen());
  }
  EXPECT_EQ(dbCalls("commitPrivateTran"), 0u);
  {
    EvSecurityNew sec(nullptr, 0);
    ASSERT_GT(writeSetting(sec.getTransaction(), "lost", 1), 0);
    testkit::db::journal().injectFailure("commitPrivateTran", DB_ERR_COMMIT, "disk full");
  }
  EXPECT_EQ(0, countFromAnotherThread("auditTestSetting"));
  EXPECT_EQ(dbArgs("rollbackPrivateTran"), Strings{"rollback"});
}

TEST_F(CheckerTransaction, TheWrapperOpensOnceAndCommitsOnlyItsOwn) {
  TranWrapper own(nullptr, "test");
  EXPECT_EQ(own.tran(), nullptr);
  EXPECT_EQ(0, own.commitIfOwnTran(nullptr)) << "nothing to commit yet";
  ASSERT_EQ(0, own.ensureTran(nullptr));
  DBtran* first = own.tran();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(own.ownsTran());
  ASSERT_EQ(0, own.ensureTran(nullptr));
  EXPECT_EQ(own.tran(), first) << "a second ensureTran keeps the open one";
  EXPECT_EQ(dbCalls("startPrivateTran"), 1u);
  ASSERT_GT(writeSetting(own.tran(), "first", 1), 0);
  ASSERT_EQ(0, own.commitIfOwnTran(nullptr));
  EXPECT_EQ(1, countFromAnotherThread("auditTestSetting"));
  // Opened again after its commit.
  ASSERT_EQ(0, own.ensureTran(nullptr));
  EXPECT_TRUE(own.tran()->isOpen());
  ASSERT_GT(writeSetting(own.tran(), "second", 2), 0);
  ASSERT_EQ(0, own.commitIfOwnTran(nullptr));
  EXPECT_EQ(2, countFromAnotherThread("auditTestSetting"));

  DBtran caller;
  TranWrapper given(&caller, "given");
  std::string error = "untouched";
  EXPECT_EQ(0, given.ensureTran(&error));
  EXPECT_FALSE(caller.isOpen()) << "the caller's transaction is the caller's to start";
  EXPECT_FALSE(given.ownsTran());
  ASSERT_EQ(0, caller.startTran());
  EXPECT_EQ(0, given.commitIfOwnTran(&error));
  EXPECT_TRUE(caller.isOpen());
  EXPECT_EQ(error, "untouched");
}

TEST_F(CheckerTransaction, TheWrappersFailuresComeBackWithTheirTextsAndItsOpenTransactionIsRolledBack) {
  {
    TranWrapper own(nullptr, "test");
    testkit::db::journal().injectFailure("startPrivateTran", DB_ERR_BEGIN, "no connection");
    std::string error;
    EXPECT_EQ(DB_ERR_BEGIN, own.ensureTran(&error));
    EXPECT_FALSE(error.empty());
    ASSERT_EQ(0, own.ensureTran(&error));
    ASSERT_GT(writeSetting(own.tran(), "dropped", 1), 0);
    testkit::db::journal().injectFailure("commitPrivateTran", DB_ERR_COMMIT, "disk full");
    error.clear();
    EXPECT_EQ(DB_ERR_COMMIT, own.commitIfOwnTran(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(own.tran()->isOpen()) << "left open for the destructor's roll-back";
  }
  EXPECT_EQ(0, countFromAnotherThread("auditTestSetting"));
  EXPECT_EQ(dbArgs("rollbackPrivateTran"), Strings{"rollback"});
}

}  // namespace
