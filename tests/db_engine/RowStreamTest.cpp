// Rows come from SQLite as getNextRow asks for them, and the walk keeps its
// meaning: a write between rows (through a binding or a session) does not
// change what the walk yields, an abandoned walk never holds a write back,
// and no statement is open when a transaction commits or rolls back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

class RowStream : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, flags) VALUES ('a', 1), ('b', 2), ('c', 3), ('d', 4), "
                         "('e', 5)"));
  }

  // The names the rest of a walk yields.
  static std::vector<std::string> rest(ExampleItem& item, int* count = nullptr) {
    std::vector<std::string> names;
    while (getNextRow(&item, count, -1, 0) == 0) names.push_back(item.getDataPtr()->name);
    return names;
  }

  // The number of items another thread (another connection) sees committed.
  static long long committedElsewhere() {
    long long n = -1;
    std::thread other([&] {
      tkdb::DbRow row;
      tkdb::Session session;
      if (session.queryOne("SELECT COUNT(*) FROM exampleItem", {}, row) == 0) n = row.at(0).i;
    });
    other.join();
    return n;
  }
};

TEST_F(RowStream, AWalkHoldsOneOpenStatementUntilItsEnd) {
  ExampleItem item(nullptr);
  item.setOrderBy("itemId");
  int count = 0;
  ASSERT_EQ(0, getNextRow(&item, &count, -1, 0));
  EXPECT_EQ(1, count);
  EXPECT_EQ(1u, testkit::db::openStreams());
  EXPECT_EQ(1, testkit::db::busyStatements());
  EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "e"}), rest(item, &count));
  EXPECT_EQ(5, count);
  EXPECT_EQ(0u, testkit::db::openStreams()) << "the end lets the statement go";
  EXPECT_EQ(0, testkit::db::busyStatements());
  EXPECT_EQ(100, getNextRow(&item, &count, -1, 0)) << "and the walk stays at its end";
  EXPECT_EQ(5, count);
}

TEST_F(RowStream, WritesBetweenRowsDoNotChangeWhatTheWalkYields) {
  const struct {
    const char* how;
    void (*write)(tktest::TestDatabase&);
  } kWrites[] = {
      {"binding delete, update and insert",
       [](tktest::TestDatabase&) {
         ExampleItem other(nullptr);
         other.setWhere("name = 'c'");
         EXPECT_EQ(0, other.rowDelete());
         other.setWhere("name = 'd'");
         EXPECT_EQ(0, other.rowUpdate("name = 'dd'"));
         ExampleItem_t* row = other.getDataPtr();
         strncpy_s(row->name, sizeof row->name, "z", 1);
         EXPECT_EQ(0, other.rowInsert(true));
       }},
      {"session statements",
       [](tktest::TestDatabase&) {
         tkdb::Session session;
         EXPECT_EQ(0, session.exec("DELETE FROM exampleItem WHERE name = ?", {"c"}));
         EXPECT_EQ(0, session.exec("UPDATE exampleItem SET name = 'dd' WHERE name = ?", {"d"}));
         EXPECT_EQ(0, session.exec("INSERT INTO exampleItem (name) VALUES (?)", {"z"}));
       }},
  };
  for (const auto& w : kWrites) {
    SCOPED_TRACE(w.how);
    ASSERT_EQ(0, db.exec("DELETE FROM exampleItem"));
    ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name) VALUES ('a'), ('b'), ('c'), ('d'), ('e')"));
    ExampleItem item(nullptr);
    item.setOrderBy("itemId");
    ASSERT_EQ(0, getNextRow(&item, nullptr, -1, 0));
    EXPECT_STREQ("a", item.getDataPtr()->name);
    w.write(db);
    EXPECT_EQ(0, testkit::db::busyStatements()) << "the walk was read out before the write";
    int count = 0;
    EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "e"}), rest(item, &count));
    EXPECT_EQ(5, count);
    EXPECT_EQ((tkdb::DbRows{{"a"}, {"b"}, {"dd"}, {"e"}, {"z"}}),
              db.query("SELECT name FROM exampleItem ORDER BY itemId"));
  }
}

TEST_F(RowStream, ReadsBetweenRowsLeaveTheWalkStreaming) {
  ExampleItem walk(nullptr);
  walk.setOrderBy("itemId");
  ExampleItem same(nullptr);
  same.setOrderBy("itemId");
  std::vector<std::string> seen;
  while (getNextRow(&walk, nullptr, -1, 0) == 0) {
    seen.push_back(walk.getDataPtr()->name);
    ExampleItem lookup(nullptr);
    lookup.setWhere("name = '%s'", walk.getDataPtr()->name);
    ASSERT_EQ(0, getOneRow(&lookup, false, -1, 0));
    EXPECT_STREQ(walk.getDataPtr()->name, lookup.getDataPtr()->name);
    // A second walk of the very same text, interleaved with the first.
    ASSERT_EQ(0, getNextRow(&same, nullptr, -1, 0));
    EXPECT_STREQ(walk.getDataPtr()->name, same.getDataPtr()->name);
    if (seen.size() < 5) {
      EXPECT_EQ(2u, testkit::db::openStreams());
    }
  }
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e"}), seen);
}

TEST_F(RowStream, NoStatementStaysOpenAcrossACommitOrARollBack) {
  for (bool commit : {true, false}) {
    SCOPED_TRACE(commit ? "commit" : "roll back");
    DBtran tran(true);
    ASSERT_TRUE(tran.isOpen());
    ExampleItem item(&tran);
    item.setOrderBy("itemId");
    ASSERT_EQ(0, getNextRow(&item, nullptr, -1, 0));
    EXPECT_EQ(1, testkit::db::busyStatements());
    ExampleItem writer(&tran);
    strncpy_s(writer.getDataPtr()->name, sizeof writer.getDataPtr()->name, "new", 3);
    ASSERT_EQ(0, writer.rowInsert(true));
    ASSERT_EQ(0, commit ? tran.commitTran() : tran.rollbackTran());
    EXPECT_EQ(0, testkit::db::busyStatements());
    EXPECT_EQ(0u, testkit::db::openStreams());
    EXPECT_EQ(commit ? 6 : 5, committedElsewhere());
    // The walk goes on with the rows of its query.
    EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "e"}), rest(item));
    if (commit) {
      ASSERT_EQ(0, db.exec("DELETE FROM exampleItem WHERE name = 'new'"));
    }
  }
}

TEST_F(RowStream, AnAbandonedWalkNeverHoldsBackAWriteOrACommit) {
  ExampleItem abandoned(nullptr);
  abandoned.setOrderBy("itemId");
  ASSERT_EQ(0, getNextRow(&abandoned, nullptr, -1, 0));
  {
    // Without a transaction the write commits at once.
    tkdb::Session session;
    ASSERT_EQ(0, session.exec("INSERT INTO exampleItem (name) VALUES ('f')"));
    EXPECT_EQ(6, committedElsewhere());
  }
  ExampleItem again(nullptr);
  again.setOrderBy("itemId");
  ASSERT_EQ(0, getNextRow(&again, nullptr, -1, 0));
  DBtran tran(true);
  ASSERT_TRUE(tran.isOpen());
  tkdb::Session session(&tran);
  ASSERT_EQ(0, session.exec("INSERT INTO exampleItem (name) VALUES ('g')"));
  ASSERT_EQ(0, tran.commitTran());
  EXPECT_EQ(7, committedElsewhere());
  EXPECT_EQ(0, testkit::db::busyStatements());
  EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "e", "f"}), rest(again));
}

TEST_F(RowStream, AnotherThreadWritesAndCommitsWhileAWalkIsOpen) {
  ExampleItem item(nullptr);
  item.setOrderBy("itemId");
  ASSERT_EQ(0, getNextRow(&item, nullptr, -1, 0));
  int written = -1;
  std::thread writer([&] {
    DBtran tran(true);
    tkdb::Session session(&tran);
    written = session.exec("INSERT INTO exampleItem (name) VALUES ('h')");
    if (written == 0) written = tran.commitTran();
  });
  writer.join();
  EXPECT_EQ(0, written) << "an open walk never keeps another connection from writing";
  EXPECT_EQ((std::vector<std::string>{"b", "c", "d", "e"}), rest(item)) << "the walk reads its own snapshot";
  ExampleItem fresh(nullptr);
  fresh.setOrderBy("itemId");
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e", "h"}), rest(fresh)) << "a new walk sees the commit";
}

TEST_F(RowStream, AWalkLeftBehindByItsObjectClosesWithIt) {
  {
    ExampleItem item(nullptr);
    ASSERT_EQ(0, getNextRow(&item, nullptr, -1, 0));
    EXPECT_EQ(1, testkit::db::busyStatements());
  }
  EXPECT_EQ(0, testkit::db::busyStatements());
  ExampleItem item(nullptr);
  ASSERT_EQ(0, getNextRow(&item, nullptr, -1, 0));
  item.setWhere("flags > %d", 3);
  EXPECT_EQ(0, testkit::db::busyStatements()) << "a new clause ends the walk";
  EXPECT_EQ((std::vector<std::string>{"d", "e"}), rest(item));
}

// A fixed text field after a fetch holds the row's text and zeros to its end:
// after a longer text of an earlier row, after what the caller put in the
// row before the first fetch, and after a text the caller wrote over the
// last row's (the engine zeroes behind only what it wrote last, unless the
// byte behind that is no longer zero).
TEST_F(RowStream, AFixedTextFieldHoldsItsTextAndZerosToItsEndAfterEveryRow) {
  const std::string longest(64, 'L');  // the field's 65 bytes less the terminator
  ASSERT_EQ(0, db.exec("DELETE FROM exampleItem"));
  ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (itemId, name) VALUES (1, '" + longest + "'), (2, 'bb'), (3, ''), "
                       "(4, 'dddd'), (5, NULL), (6, 'ff'), (7, 'g'), (8, '" + longest + "x'), (9, 'i')"));
  ExampleItem item(nullptr);
  ExampleItem_t* row = item.getDataPtr();
  // The caller's bytes before the first fetch, behind a text of its own.
  std::memset(row->name, 'q', sizeof row->name);
  row->name[3] = '\0';
  item.setOrderBy("itemId");
  const auto holds = [&](const std::string& text) {
    std::string expected(sizeof row->name, '\0');
    expected.replace(0, text.size(), text);
    EXPECT_EQ(expected, std::string(row->name, sizeof row->name));
  };
  const auto next = [&](const std::string& text) {
    SCOPED_TRACE(text);
    ASSERT_EQ(0, getNextRow(&item, nullptr, -1, 0));
    holds(text);
  };
  next(longest);
  next("bb");
  next("");
  next("dddd");
  // The caller writes a longer text over the row's: the next, shorter row
  // leaves none of it.
  std::snprintf(row->name, sizeof row->name, "%s", "a text of the caller's own");
  next("");
  next("ff");
  // The caller's own bytes behind its text, over the last row's terminator.
  std::memcpy(row->name, "x\0yz", 4);
  next("g");
  next(longest);  // cut to the field
  std::memset(row->name, 'w', sizeof row->name - 1);
  next("i");
  EXPECT_EQ(100, getNextRow(&item, nullptr, -1, 0));

  // A new query on the same object starts from what the last row left.
  item.setWhere("itemId IN (1, 2)");
  next(longest);
  next("bb");
}

}  // namespace
