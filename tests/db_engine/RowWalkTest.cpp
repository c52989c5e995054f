// Session::each hands every row to its visitor where it lies: the values are
// those query() copies, the statement goes back however the walk ends, and
// nothing but a read runs on the connection while a walk is under way.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/support/Seed.h"
#include "tests/support/TestDatabase.h"

namespace {

class RowWalk : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, flags) VALUES ('a', 1), ('b', 2), ('c', 3)"));
  }

  static long long count() {
    tkdb::DbRow row;
    tkdb::Session s;
    return s.queryOne("SELECT COUNT(*) FROM exampleItem", {}, row) == 0 ? row.at(0).i : -1;
  }
};

TEST_F(RowWalk, EveryValueIsWhatQueryCopies) {
  const std::string sql =
      "SELECT 7, -9223372036854775807 - 1, 2.5, NULL, '', 'x' || char(0) || 'y', CAST('12' AS TEXT), X'4142' "
      "UNION ALL SELECT itemId, flags, flags * 0.5, name, name, NULL, 'ü', NULL FROM exampleItem ORDER BY 1";
  tkdb::Session s;
  tkdb::DbRows copied;
  ASSERT_EQ(0, s.query(sql, {}, copied));
  tkdb::DbRows walked;
  ASSERT_EQ(0, s.each(sql, {}, [&](const tkdb::RowView& row) {
    tkdb::DbRow values;
    for (int c = 0; c < row.count(); ++c) values.push_back(row.at(c).value());
    EXPECT_TRUE(row.at(row.count()).isNull()) << "a column beyond the row reads as NULL";
    EXPECT_TRUE(row.at(-1).isNull());
    walked.push_back(values);
    return 0;
  }));
  ASSERT_EQ(copied.size(), walked.size());
  for (size_t r = 0; r < copied.size(); ++r) {
    ASSERT_EQ(copied[r].size(), walked[r].size());
    for (size_t c = 0; c < copied[r].size(); ++c)
      EXPECT_TRUE(copied[r][c] == walked[r][c]) << r << "," << c << ": " << copied[r][c].describe() << " vs "
                                                << walked[r][c].describe();
  }
  EXPECT_EQ(std::string("x\0y", 3), walked.back()[5].s) << "a text is taken whole, zero bytes included";
  int rows = 0;
  EXPECT_EQ(0, s.each("SELECT * FROM exampleItem WHERE flags > ?", {99}, [&](const tkdb::RowView&) {
    ++rows;
    return 0;
  })) << "no row is no failure";
  EXPECT_EQ(0, rows);
}

// A read of a row's cells in one call leaves alone the cells of the columns
// it is told to skip, reads every other one as at() does, and counts the
// columns it covered (at most as many as asked for).
TEST_F(RowWalk, AReadInOneCallSkipsOnlyTheColumnsItIsToldTo) {
  struct Case {
    const char* what;
    int max;
    std::uint64_t skip;
    int count;
  };
  const Case cases[] = {
      {"nothing skipped", 4, 0, 4},
      {"the middle skipped", 4, 0b0110, 4},
      {"the first and the last skipped", 4, 0b1001, 4},
      {"every column skipped", 4, 0b1111, 4},
      {"fewer asked for than the row has", 2, 0b0001, 2},
      {"more asked for than the row has", 6, 0b10000, 4},
  };
  tkdb::Session s;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(0, s.each("SELECT 7, 'x', NULL, 2.5", {}, [&](const tkdb::RowView& row) {
      tkdb::DbCell cells[6];
      for (tkdb::DbCell& cell : cells) {
        cell.type = tkdb::DbValue::Type::Int;
        cell.i = -1;  // what a skipped cell keeps
      }
      EXPECT_EQ(c.count, row.read(cells, c.max, c.skip));
      for (int column = 0; column < 6; ++column) {
        const bool read = column < c.count && ((c.skip >> column) & 1u) == 0;
        const tkdb::DbValue expected = read ? row.at(column).value() : tkdb::DbValue(-1LL);
        EXPECT_TRUE(cells[column].value() == expected) << "column " << column << ": " << cells[column].value().describe();
      }
      return 0;
    }));
  }
}

TEST_F(RowWalk, AWalkEndsOnTheVisitorsResultOrExceptionAndLetsItsStatementGo) {
  tkdb::Session s;
  std::vector<std::string> seen;
  EXPECT_EQ(42, s.each("SELECT name FROM exampleItem ORDER BY itemId", {}, [&](const tkdb::RowView& row) {
    seen.emplace_back(row.at(0).text);
    return seen.size() == 2 ? 42 : 0;
  }));
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), seen);
  EXPECT_EQ(0, testkit::db::busyStatements());
  EXPECT_THROW(s.each("SELECT name FROM exampleItem", {}, [](const tkdb::RowView&) -> int {
    throw std::runtime_error("visitor");
  }),
               std::runtime_error);
  EXPECT_EQ(0, testkit::db::busyStatements());
  EXPECT_EQ(0, s.exec("INSERT INTO exampleItem (name, flags) VALUES ('d', 4)")) << "nothing is left walking";
  EXPECT_EQ(4, count());
}

TEST_F(RowWalk, NothingButAReadRunsWhileAWalkIsUnderWay) {
  tkdb::Session s;
  int rows = 0;
  ASSERT_EQ(0, s.each("SELECT itemId FROM exampleItem", {}, [&](const tkdb::RowView& row) {
    ++rows;
    tkdb::Session inner;
    EXPECT_EQ(DB_ERR_STATE, inner.exec("DELETE FROM exampleItem WHERE itemId = ?", {row.at(0).i}));
    EXPECT_EQ(DB_ERR_STATE, inner.exec("BEGIN IMMEDIATE"));
    EXPECT_EQ(DB_ERR_STATE, inner.each("INSERT INTO exampleItem (name) VALUES ('w') RETURNING itemId", {},
                                       [](const tkdb::RowView&) { return 0; }));
    ExampleItem binding(nullptr);
    binding.setWhere("itemId = %lld", row.at(0).i);
    EXPECT_NE(0, binding.rowDelete());
    tkdb::DbRow one;
    EXPECT_EQ(0, inner.queryOne("SELECT COUNT(*) FROM exampleItem", {}, one)) << "reads go on";
    int nested = 0;
    EXPECT_EQ(0, inner.each("SELECT 1 FROM exampleItem", {}, [&](const tkdb::RowView&) { return ++nested, 0; }));
    EXPECT_EQ(3, nested);
    return 0;
  }));
  EXPECT_EQ(3, rows);
  EXPECT_EQ(3, count()) << "no write of the visitor took";
  EXPECT_EQ(0, s.exec("DELETE FROM exampleItem WHERE name = 'a'")) << "after the walk, writes run again";
  EXPECT_EQ(2, count());
}

TEST_F(RowWalk, AWalkInATransactionSeesItsWritesAndARollBackUndoesThem) {
  tkdb::Session s;
  ASSERT_EQ(0, s.atomically([&] {
    EXPECT_EQ(0, s.exec("INSERT INTO exampleItem (name, flags) VALUES ('t', 9)"));
    std::vector<std::string> names;
    EXPECT_EQ(0, s.each("SELECT name FROM exampleItem ORDER BY itemId", {}, [&](const tkdb::RowView& row) {
      names.emplace_back(row.at(0).text);
      return 0;
    }));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "t"}), names);
    return 0;
  }));
  EXPECT_EQ(7, s.atomically([&] {
    EXPECT_EQ(0, s.exec("DELETE FROM exampleItem WHERE name = 't'"));
    return s.each("SELECT 1", {}, [](const tkdb::RowView&) { return 7; });
  }));
  EXPECT_EQ(4, count());
}

TEST_F(RowWalk, FailuresComeBackLikeThoseOfQuery) {
  tkdb::Session s;
  auto none = [](const tkdb::RowView&) { return 0; };
  EXPECT_EQ(DB_ERR_SQL, s.each("SELECT 1; SELECT 2", {}, none)) << "one statement only";
  EXPECT_EQ(DB_ERR_SQL, s.each("SELECT nothing FROM nowhere", {}, none));
  EXPECT_FALSE(s.errorText().empty());
  testkit::db::journal().injectFailure("exec", DB_ERR_BUSY, "locked");
  EXPECT_EQ(DB_ERR_BUSY, s.each("SELECT 1", {}, none));
  EXPECT_EQ("locked", s.errorText());
  EXPECT_EQ(0, s.each("SELECT name FROM exampleItem", {}, none));
  const std::vector<std::string> ran = testkit::db::statements();
  ASSERT_FALSE(ran.empty());
  EXPECT_EQ("SELECT name FROM exampleItem", ran.back()) << "the walk is journaled as a statement";
}

TEST_F(RowWalk, ConnectionsLeaveLockingToTheirOwnMutex) {
  tkdb::Session s;
  ASSERT_EQ(0, s.exec("SELECT 1"));
  EXPECT_FALSE(testkit::db::connectionHasEngineMutex());
}

// A row's mark tells a reader whether the statement ran on the schema of
// its last run: the next run of the same statement follows it; a change of
// the schema by another connection, or a statement prepared anew, does not.
TEST_F(RowWalk, AMarkFollowsTheLastRunOnlyWhileTheSchemaStays) {
  const std::string sql = "SELECT name FROM exampleItem WHERE flags = ?";
  auto markOf = [&](const std::string& text) {
    tkdb::StatementMark mark;
    tkdb::Session s;
    EXPECT_EQ(0, s.each(text, {1}, [&](const tkdb::RowView& row) {
      mark = row.mark();
      return 0;
    }));
    return mark;
  };
  const tkdb::StatementMark first = markOf(sql);
  ASSERT_NE(first.statement, nullptr);
  const tkdb::StatementMark second = markOf(sql);
  EXPECT_TRUE(first.followedBy(second));
  EXPECT_FALSE(second.followedBy(second)) << "a run follows only the run before it";
  EXPECT_FALSE(first.followedBy(markOf(sql))) << "nor one run further back";

  const tkdb::StatementMark beforeChange = markOf(sql);
  db.execElsewhere("CREATE TABLE unrelatedNotes (note TEXT)");
  const tkdb::StatementMark afterChange = markOf(sql);
  EXPECT_EQ(afterChange.statement, beforeChange.statement) << "the same statement, compiled again";
  EXPECT_FALSE(beforeChange.followedBy(afterChange));
  EXPECT_TRUE(afterChange.followedBy(markOf(sql)));

  db.execElsewhere("DROP TABLE unrelatedNotes");
  const tkdb::StatementMark other = markOf(sql + " ");
  EXPECT_FALSE(markOf(sql).followedBy(other)) << "another text is another statement";
  EXPECT_FALSE(tkdb::StatementMark().followedBy(tkdb::StatementMark())) << "no run is followed";
}

}  // namespace
