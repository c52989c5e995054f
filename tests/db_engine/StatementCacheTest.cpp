// The statement cache of a connection: statements of the same text are
// prepared once and reused, reset and unbound between uses, so that each use
// answers with its own values, after a failure, and after the schema changed;
// the cache stays bounded.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

class StatementCache : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, flags) VALUES ('alpha', 1), ('beta', 2), ('gamma', 3)"));
  }
};

TEST_F(StatementCache, OneTextWithDifferentValuesAnswersEachWithItsOwnRow) {
  tkdb::Session session;
  const std::string sql = "SELECT name, flags FROM exampleItem WHERE itemId = ?";
  tkdb::DbRow row;
  ASSERT_EQ(0, session.queryOne(sql, {1}, row));
  const size_t kept = testkit::db::cachedStatements();
  const struct {
    int id;
    int code;
    const char* name;
    long long flags;
  } kCases[] = {{2, 0, "beta", 2}, {3, 0, "gamma", 3}, {1, 0, "alpha", 1}, {9, 100, "", 0}, {2, 0, "beta", 2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.id);
    row.clear();
    ASSERT_EQ(c.code, session.queryOne(sql, {c.id}, row));
    if (c.code != 0) continue;
    ASSERT_EQ(2u, row.size());
    EXPECT_EQ(c.name, row[0].s);
    EXPECT_EQ(c.flags, row[1].i);
  }
  EXPECT_EQ(kept, testkit::db::cachedStatements()) << "the text was prepared once";
  EXPECT_EQ(0, testkit::db::busyStatements()) << "every use was reset";
}

// Long texts that differ only far inside, with the same length, beginning
// and end, are kept apart: each answers with its own row, each prepared once.
TEST_F(StatementCache, LongTextsThatDifferOnlyInTheMiddleAreKeptApart) {
  tkdb::Session session;
  const std::string pad(100, ' ');
  const std::string alpha = "SELECT name FROM exampleItem WHERE" + pad + "name = 'alpha'" + pad + "AND itemId > ?";
  const std::string gamma = "SELECT name FROM exampleItem WHERE" + pad + "name = 'gamma'" + pad + "AND itemId > ?";
  ASSERT_EQ(alpha.size(), gamma.size());
  tkdb::DbRow row;
  ASSERT_EQ(0, session.queryOne(alpha, {0}, row));
  ASSERT_EQ(0, session.queryOne(gamma, {0}, row));
  const size_t kept = testkit::db::cachedStatements();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    row.clear();
    ASSERT_EQ(0, session.queryOne(alpha, {0}, row));
    EXPECT_EQ((tkdb::DbRow{"alpha"}), row);
    row.clear();
    ASSERT_EQ(0, session.queryOne(gamma, {0}, row));
    EXPECT_EQ((tkdb::DbRow{"gamma"}), row);
  }
  EXPECT_EQ(kept, testkit::db::cachedStatements()) << "each text was prepared once";
}

TEST_F(StatementCache, BindingsReadingTheSameClauseWithOtherValuesGetTheirOwnRows) {
  ExampleItem item(nullptr);
  for (const char* name : {"gamma", "alpha", "nobody", "beta", "gamma"}) {
    SCOPED_TRACE(name);
    item.setWhere("name = '%s'", name);
    const int code = getOneRow(&item, false, -1, 0);
    if (std::strcmp(name, "nobody") == 0) {
      EXPECT_EQ(100, code);
      continue;
    }
    ASSERT_EQ(0, code);
    EXPECT_STREQ(name, item.getDataPtr()->name);
  }
  EXPECT_EQ(0, testkit::db::busyStatements());
}

TEST_F(StatementCache, AFailedUseLeavesTheStatementReadyForTheNext) {
  tkdb::Session session;
  const std::string insert = "INSERT INTO exampleItem (itemId, name, flags) VALUES (?, ?, ?)";
  ASSERT_EQ(0, session.exec(insert, {10, "delta", 4}));
  EXPECT_EQ(203, session.exec(insert, {10, "again", 5})) << "the key is taken";
  EXPECT_EQ(0, session.exec(insert, {11, "epsilon", 5})) << "the same statement, reset after the failure";
  EXPECT_EQ(202, session.exec("SELECT nothing FROM nowhere WHERE x = ?", {1}));
  EXPECT_EQ(202, session.exec("SELECT nothing FROM nowhere WHERE x = ?", {2})) << "a text that never prepared";
  EXPECT_EQ((tkdb::DbRows{{10, "delta", 4}, {11, "epsilon", 5}}),
            db.query("SELECT itemId, name, flags FROM exampleItem WHERE itemId >= 10 ORDER BY itemId"));
  // A row that fails its conversion in a binding, then good rows through the same text.
  ASSERT_EQ(0, db.exec("UPDATE exampleItem SET flags = 'many' WHERE name = 'beta'"));
  ExampleItem item(nullptr);
  for (const char* name : {"beta", "alpha", "beta", "gamma"}) {
    SCOPED_TRACE(name);
    item.setWhere("name = '%s'", name);
    const bool bad = std::strcmp(name, "beta") == 0;
    EXPECT_EQ(bad ? 211 : 0, getOneRow(&item, false, -1, 0));
    if (!bad) {
      EXPECT_STREQ(name, item.getDataPtr()->name);
    }
  }
  EXPECT_EQ(0, testkit::db::busyStatements());
}

TEST_F(StatementCache, AKeptStatementFollowsAChangeOfTheSchema) {
  tkdb::Session session;
  ASSERT_EQ(0, session.exec("CREATE TABLE scratch (a INTEGER, b TEXT)"));
  ASSERT_EQ(0, session.exec("INSERT INTO scratch VALUES (1, 'one')"));
  const std::string select = "SELECT * FROM scratch ORDER BY a";
  tkdb::DbRows rows;
  ASSERT_EQ(0, session.query(select, {}, rows));
  EXPECT_EQ((tkdb::DbRows{{1, "one"}}), rows);

  ASSERT_EQ(0, session.exec("ALTER TABLE scratch ADD COLUMN c INTEGER DEFAULT 7"));
  ASSERT_EQ(0, session.query(select, {}, rows));
  EXPECT_EQ((tkdb::DbRows{{1, "one", 7}}), rows) << "a new column shows";

  ASSERT_EQ(0, session.exec("DROP TABLE scratch"));
  EXPECT_EQ(202, session.query(select, {}, rows)) << "the table is gone";
  ASSERT_EQ(0, session.exec("CREATE TABLE scratch (a INTEGER, z TEXT)"));
  ASSERT_EQ(0, session.exec("INSERT INTO scratch VALUES (2, 'two')"));
  ASSERT_EQ(0, session.query(select, {}, rows));
  EXPECT_EQ((tkdb::DbRows{{2, "two"}}), rows) << "the table made again";
}

TEST_F(StatementCache, BlankTextsAndBatchesOfTheSessionsStillRun) {
  tkdb::Session session;
  EXPECT_EQ(0, session.exec(""));
  EXPECT_EQ(0, session.exec("  -- nothing to do\n"));
  tkdb::DbRows rows;
  ASSERT_EQ(0, session.query("INSERT INTO exampleItem (name) VALUES (?); SELECT COUNT(*) FROM exampleItem WHERE "
                             "name = ?",
                             {"delta", "delta"}, rows));
  EXPECT_EQ((tkdb::DbRows{{1}}), rows) << "the rows of the batch's last query";
  ASSERT_EQ(0, session.query("INSERT INTO exampleItem (name) VALUES (?); SELECT COUNT(*) FROM exampleItem WHERE "
                             "name = ?",
                             {"delta", "delta"}, rows));
  EXPECT_EQ((tkdb::DbRows{{2}}), rows) << "and again";
}

// More texts than the cache holds, all of one length, beginning and end (so
// alike to the cache's hash), then the first of them again: each use answers
// with its own text's value and the value bound to it, whether its statement
// was put out of the cache and prepared again or kept.
TEST_F(StatementCache, TextsPutOutOfTheCacheAnswerRightWhenUsedAgain) {
  tkdb::Session session;
  const std::string pad(80, ' ');
  auto text = [&](int i) {
    const std::string n = std::to_string(100000 + i);
    return "SELECT ? +" + pad + n + pad + "+ 0";
  };
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      SCOPED_TRACE("round " + std::to_string(round) + ", text " + std::to_string(i));
      tkdb::DbRow row;
      ASSERT_EQ(0, session.queryOne(text(i), {round * 7}, row));
      ASSERT_EQ(1u, row.size());
      EXPECT_EQ(100000 + i + round * 7, row[0].i);
    }
  }
  EXPECT_LE(testkit::db::cachedStatements(), 128u);
  EXPECT_EQ(0, testkit::db::busyStatements());
}

TEST_F(StatementCache, TheCacheStaysBoundedAndSavepointsAreNotKept) {
  tkdb::Session session;
  for (int i = 0; i < 400; ++i) {
    tkdb::DbRow row;
    ASSERT_EQ(0, session.queryOne("SELECT " + std::to_string(i), {}, row));
    ASSERT_EQ(i, row.at(0).i);
  }
  EXPECT_LE(testkit::db::cachedStatements(), 128u);
  EXPECT_GE(testkit::db::cachedStatements(), 100u);
  const size_t before = testkit::db::cachedStatements();
  for (int i = 0; i < 20; ++i) {
    DBtran outer(true);
    DBtran inner(true);
    ASSERT_EQ(0, inner.commitTran());
    ASSERT_EQ(0, outer.commitTran());
  }
  EXPECT_LE(testkit::db::cachedStatements(), before + 2) << "only BEGIN and COMMIT were added";
}

// A thread that ends leaves its connection, statements and all, to the next
// thread that needs one; that thread still reads the database as it is now
// (changed meanwhile by another connection), and after a reset no kept
// connection is taken.
TEST_F(StatementCache, AConnectionLeftByAnEndedThreadServesTheNextOneAndReadsTheDatabaseAsItIsNow) {
  const std::string sql = "SELECT COUNT(*) FROM exampleItem";
  auto onNewThread = [](const std::function<void()>& work) { std::thread(work).join(); };
  size_t kept = 0;
  onNewThread([&] {
    tkdb::DbRow row;
    EXPECT_EQ(0, tkdb::Session().queryOne(sql, {}, row));
    kept = testkit::db::cachedStatements();
  });
  db.execElsewhere("INSERT INTO exampleItem (name, flags) VALUES ('delta', 4)");
  size_t cached = 0;
  long long count = -1;
  onNewThread([&] {
    cached = testkit::db::cachedStatements();
    tkdb::DbRow row;
    if (tkdb::Session().queryOne(sql, {}, row) == 0 && !row.empty()) count = row[0].i;
  });
  EXPECT_EQ(kept, cached);  // the statements came with the connection
  EXPECT_EQ(4, count);
  testkit::db::reset();
  onNewThread([&] { cached = testkit::db::cachedStatements(); });
  EXPECT_LT(cached, kept);  // a connection of its own
}

}  // namespace
