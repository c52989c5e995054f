// The audit trail in the database: records written in the caller's
// transaction, with no transaction, and from many threads.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "frame/EvGuiAudit.h"
#include "platform/db/DBtable.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/db.h"
#include "tests/audit_trail/AuditHelpers.h"
#include "tests/support/TestDatabase.h"

namespace {

using audittest::AuditParam;
using audittest::recordsFromAnotherThread;
using audittest::writeAudit;
using Strings = std::vector<std::string>;

class AuditTrail : public ::testing::Test {
 protected:
  void SetUp() override {
    // Before any connection opens: a wait on a lock of the same thread
    // would show as seconds.
    testkit::db::setBusyTimeoutMs(3000);
    testkit::audit::reset();
  }
  void TearDown() override { testkit::audit::reset(); }

  tktest::TestDatabase db;
};

TEST_F(AuditTrail, ARecordWrittenInARolledBackTransactionIsGone) {
  DBtran tran(true);
  ASSERT_TRUE(tran.isOpen());
  ASSERT_EQ(0, writeAudit(&tran, 0x540000B5, 17, {{0x5500018B, {"DiskLib1", "disk library"}}},
                          ZqEntities::ENTITY_LIBRARY, 4108));
  // Inside the transaction the record is there, marked as written in it.
  auto inside = testkit::audit::records();
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_TRUE(inside[0].inTransaction);
  EXPECT_TRUE(recordsFromAnotherThread().empty());

  ASSERT_EQ(0, tran.rollbackTran());
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_TRUE(recordsFromAnotherThread().empty());
  EXPECT_EQ(0, db.scalar("SELECT (SELECT COUNT(*) FROM AuditTrailRecord) + (SELECT COUNT(*) FROM AuditTrailParam) + "
                         "(SELECT COUNT(*) FROM AuditTrailArgument)"));
}

TEST_F(AuditTrail, ARecordWrittenInACommittedTransactionKeepsItsParametersInOrder) {
  testkit::clock::FakeClock clock(1'700'000'123);
  DBtran tran(true);
  const std::vector<AuditParam> params = {
      {0x5500018B, {"DiskLib1", "disk library"}},
      {0x550000BF, {}},
      {0x55000001, {"third", "", "it's", "100%d %s"}},
      {0x55000002, {"last"}},
  };
  ASSERT_EQ(0, writeAudit(&tran, 0x540001EF, 23, params, ZqEntities::ENTITY_MOUNT_PATH, 77));
  EXPECT_TRUE(recordsFromAnotherThread().empty()) << "nothing is seen before the commit";
  ASSERT_EQ(0, tran.commitTran(0));

  auto written = recordsFromAnotherThread();
  ASSERT_EQ(written.size(), 1u);
  const auto& r = written[0];
  EXPECT_GT(r.id, 0);
  EXPECT_EQ(std::tie(r.operationId, r.userId, r.entityType, r.entityId, r.time, r.flags, r.inTransaction),
            std::make_tuple(0x540001EF, 23, 52, 77, 1'700'000'123, 0, true));
  ASSERT_EQ(r.params.size(), params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    EXPECT_EQ(r.params[i].messageId, params[i].messageId) << "parameter " << i;
    EXPECT_EQ(r.params[i].arguments, params[i].arguments) << "parameter " << i;
    EXPECT_EQ(r.params[i].value1, 0);
    EXPECT_EQ(r.params[i].value2, 0);
  }
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM AuditTrailRecord"));
  EXPECT_EQ(4, db.scalar("SELECT COUNT(*) FROM AuditTrailParam"));
  EXPECT_EQ(7, db.scalar("SELECT COUNT(*) FROM AuditTrailArgument"));
}

TEST_F(AuditTrail, ARecordWrittenWithNoTransactionOrAnUnstartedOneLandsAtOnce) {
  DBtran idle;  // not started: counts as none
  for (DBtran* tran : {static_cast<DBtran*>(nullptr), &idle}) {
    SCOPED_TRACE(tran == nullptr ? "no transaction" : "not started");
    testkit::audit::reset();
    ASSERT_EQ(0, writeAudit(tran, 0x54000111, 3, {{0x55000010, {"x"}}}));
    auto written = recordsFromAnotherThread();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].operationId, 0x54000111);
    EXPECT_FALSE(written[0].inTransaction);
    EXPECT_EQ(written[0].entityType, 0);
    EXPECT_EQ(written[0].entityId, 0);
    ASSERT_EQ(written[0].params.size(), 1u);
    EXPECT_EQ(written[0].params[0].arguments, Strings{"x"});
  }
}

TEST_F(AuditTrail, ARecordWithNoTransactionJoinsTheThreadsOpenTransactionWithoutWaiting) {
  DBtran tran(true);
  const int waitsBefore = testkit::db::busyWaits();
  ASSERT_EQ(0, writeAudit(nullptr, 0x54000113, 4, {{1, {"joined"}}}));
  EXPECT_EQ(testkit::db::busyWaits(), waitsBefore) << "the record waited for a lock";
  EXPECT_TRUE(recordsFromAnotherThread().empty());
  ASSERT_EQ(0, tran.rollbackTran());
  EXPECT_TRUE(testkit::audit::records().empty()) << "it went with the transaction it joined";
}

TEST_F(AuditTrail, ARecordInANestedTransactionGoesWithItsRollBackOnly) {
  DBtran outer(true);
  ASSERT_EQ(0, writeAudit(&outer, 0x54000001, 1, {{1, {"outer"}}}));
  {
    DBtran inner(true);
    ASSERT_EQ(0, writeAudit(&inner, 0x54000002, 1, {{2, {"inner"}}}));
    ASSERT_EQ(0, inner.rollbackTran());
  }
  ASSERT_EQ(0, outer.commitTran(0));
  auto written = recordsFromAnotherThread();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].operationId, 0x54000001);
  EXPECT_EQ(written[0].params[0].arguments, Strings{"outer"});
}

TEST_F(AuditTrail, TextsComeBackByteForByte) {
  const Strings tricky = {
      "", "O'Brien's ''library''", "%s%n%08x", "tab\there\nnew line", "B\xC3\xA4nder \xE2\x82\xAC",
      std::string(4104, 'w'), "  leading and trailing  ", "NULL",
  };
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(0x54000020, 9);
  EvMessageContainer message;
  message.SetMessageID(0x55000020, true);
  for (const std::string& t : tricky) message << t.c_str();
  message << -5 << 1234567890123L << 18446744073709551615UL;
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  ASSERT_EQ(0, audit.guiAudit(0));

  Strings expected = tricky;
  expected.insert(expected.end(), {"-5", "1234567890123", "18446744073709551615"});
  auto written = testkit::audit::records();
  ASSERT_EQ(written.size(), 1u);
  ASSERT_EQ(written[0].params.size(), 1u);
  EXPECT_EQ(written[0].params[0].arguments, expected);
}

TEST_F(AuditTrail, AFailedWriteLeavesNoPartOfTheRecordAndTheCallersWorkIntact) {
  // A parameter whose argument the table refuses: the record and the
  // parameters already inserted must go too, and the caller's transaction
  // must stay usable.
  ASSERT_EQ(0, db.exec("CREATE TRIGGER refuseArgument BEFORE INSERT ON AuditTrailArgument "
                       "WHEN NEW.text = 'refused' BEGIN SELECT RAISE(ABORT, 'argument refused'); END"));
  DBtran tran(true);
  ASSERT_GT(audittest::writeSetting(&tran, "kept", 1), 0);
  EXPECT_NE(0, writeAudit(&tran, 0x54000030, 1, {{1, {"fine"}}, {2, {"also fine", "refused"}}}));
  ASSERT_EQ(0, writeAudit(&tran, 0x54000031, 1, {{3, {"after"}}}));
  ASSERT_EQ(0, tran.commitTran(0));

  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM auditTestSetting"));
  auto written = testkit::audit::records();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].operationId, 0x54000031);
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM AuditTrailParam"));
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM AuditTrailArgument"));

  // A failure of the database is what guiAudit returns.
  testkit::db::journal().injectFailure("exec", DB_ERR_IO, "disk went away");
  EXPECT_EQ(DB_ERR_IO, writeAudit(nullptr, 0x54000050, 1, {{1, {"a"}}}));
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

TEST_F(AuditTrail, RecordsFromEightThreadsAllLand) {
  constexpr int kThreads = 8;
  constexpr int kEach = 12;
  testkit::db::setBusyTimeoutMs(30'000);  // the writers queue for the lock: the usual time-out
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kEach; ++i) {
        const int op = 0x54000000 + t * 100 + i;
        const std::vector<AuditParam> params = {{t, {"thread " + std::to_string(t)}}, {i, {std::to_string(i), "x"}}};
        int rc = 0;
        if (i % 3 == 0) {  // no transaction
          rc = writeAudit(nullptr, op, t, params);
        } else {  // committed, alone or with the handler's own write
          DBtran tran(true);
          if (i % 3 == 2) rc = audittest::writeSetting(&tran, "setting", op) > 0 ? 0 : -1;
          if (rc == 0) rc = writeAudit(&tran, op, t, params);
          if (rc == 0) rc = tran.commitTran(0);
        }
        if (rc != 0) ++failures[static_cast<size_t>(t)];
        // A rolled-back one in between that must not show.
        DBtran dropped(true);
        if (writeAudit(&dropped, 0x54FFFFFF, t, params) != 0) ++failures[static_cast<size_t>(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));

  auto written = testkit::audit::records();
  ASSERT_EQ(written.size(), static_cast<size_t>(kThreads * kEach));
  std::set<int> ops;
  std::set<long long> ids;
  for (const auto& r : written) {
    ops.insert(r.operationId);
    ids.insert(r.id);
    const int t = (r.operationId - 0x54000000) / 100;
    const int i = (r.operationId - 0x54000000) % 100;
    EXPECT_EQ(r.userId, t);
    ASSERT_EQ(r.params.size(), 2u);
    EXPECT_EQ(r.params[0].arguments, Strings{"thread " + std::to_string(t)});
    EXPECT_EQ(r.params[1].messageId, i);
    EXPECT_EQ(r.params[1].arguments, (Strings{std::to_string(i), "x"}));
  }
  EXPECT_EQ(ops.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(ids.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(0u, ops.count(0x54FFFFFF));
  EXPECT_EQ(kThreads * (kEach / 3), db.scalar("SELECT COUNT(*) FROM auditTestSetting"));
}

TEST_F(AuditTrail, TheWriterCanBeSwappedAndPutBack) {
  std::vector<int> seen;
  tkaudit::setWriter([&](const tkaudit::Record& r, DBtran*) {
    seen.push_back(r.operationId);
    return r.operationId == 2 ? 7 : 0;
  });
  EXPECT_EQ(0, writeAudit(nullptr, 1, 1, {}));
  EXPECT_EQ(7, writeAudit(nullptr, 2, 1, {}));
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_TRUE(testkit::audit::records().empty());
  tkaudit::setWriter(nullptr);
  EXPECT_EQ(0, writeAudit(nullptr, 3, 1, {}));
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

}  // namespace
