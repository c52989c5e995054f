// Transactions, registration of bindings and concurrent writers.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/db_engine/TestBindings.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Seed.h"

namespace {

class Transactions : public tktest::DatabaseTest {
 protected:
  static int insert(DBtran* tran, const char* name) {
    ExampleItem item(tran);
    strncpy_s(item.getDataPtr()->name, sizeof item.getDataPtr()->name, name, 64);
    int rc = item.rowInsert(true);
    return rc == 0 ? item.getDataPtr()->itemId : -rc;
  }
  // Rows as another thread (another connection) sees them.
  long long countFromAnotherThread() {
    long long n = -1;
    std::thread other([&] {
      ExampleItem item(nullptr);
      int count = 0;
      while (getNextRow(&item, &count, -1, 0) == 0) {
      }
      n = count;
    });
    other.join();
    return n;
  }
};

// Commit makes the work visible to others; a rollback, or the destruction of
// a transaction still open, undoes it.
TEST_F(Transactions, CommitRollbackAndRollbackOnDestruction) {
  enum End { kCommit, kRollback, kDestroy };
  for (End end : {kCommit, kRollback, kDestroy}) {
    SCOPED_TRACE(end);
    ASSERT_EQ(0, db.exec("DELETE FROM exampleItem"));
    insert(nullptr, "kept");
    {
      DBtran tran;
      EXPECT_EQ(0, tran.getState() & DBtable::kStateOpen);
      ASSERT_EQ(0, tran.startTran());
      EXPECT_EQ(DBtable::kStateOpen, tran.getState() & DBtable::kStateOpen);
      EXPECT_GT(insert(&tran, "new"), 0);
      ExampleItem item(&tran);
      item.setWhere("name = '%s'", "kept");
      ASSERT_EQ(0, item.rowUpdate("flags = %d", 9));
      EXPECT_EQ(1, countFromAnotherThread()) << "others see nothing before the end";
      if (end == kCommit) {
        ASSERT_EQ(0, tran.commitTran(0));
      } else if (end == kRollback) {
        ASSERT_EQ(0, tran.rollbackTran());
      }
      EXPECT_EQ(end == kDestroy, tran.isOpen());
    }
    EXPECT_EQ(end == kCommit ? 2 : 1, countFromAnotherThread());
    EXPECT_EQ(end == kCommit ? 9 : 0, db.scalar("SELECT flags FROM exampleItem WHERE name = 'kept'"));
  }
}

TEST_F(Transactions, StateErrorsHaveTheirOwnCodes) {
  DBtran tran;
  EXPECT_EQ(DB_ERR_NO_TRAN, tran.commitTran(0));
  EXPECT_EQ(DB_ERR_NO_TRAN, tran.rollbackTran());
  ASSERT_EQ(0, tran.startTran());
  EXPECT_EQ(DB_ERR_TRAN_OPEN, tran.startTran());
  EXPECT_EQ(0, tran.commitTran(0));
}

TEST_F(Transactions, AFailedCommitLeavesTheTransactionOpenForARollback) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  insert(&tran, "x");
  testkit::db::journal().injectFailure("commitTran", DB_ERR_COMMIT, "disk went away");
  EXPECT_EQ(DB_ERR_COMMIT, tran.commitTran(0));
  EXPECT_TRUE(tran.isOpen());
  EXPECT_EQ(0, tran.rollbackTran());
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM exampleItem"));
}

TEST_F(Transactions, ABindingWithoutTransactionJoinsTheThreadsOpenTransactionWithoutWaiting) {
  testkit::db::setBusyTimeoutMs(2000);  // a wait on itself would fail fast instead of after 30 s
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  const int waitsBefore = testkit::db::busyWaits();
  int id = insert(nullptr, "joined");
  EXPECT_GT(id, 0);
  EXPECT_EQ(testkit::db::busyWaits(), waitsBefore) << "the insert waited for a lock";
  ExampleItem item(nullptr);
  item.setWhere("itemId = %d", id);
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_EQ(0, countFromAnotherThread());
  ASSERT_EQ(0, tran.rollbackTran());
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));  // it was part of the transaction
}

TEST_F(Transactions, NestedTransactionsAreSavepoints) {
  DBtran outer;
  ASSERT_EQ(0, outer.startTran());
  insert(&outer, "outer");
  {
    DBtran inner;
    ASSERT_EQ(0, inner.startTran());
    insert(&inner, "inner");
    ASSERT_EQ(0, inner.rollbackTran());
  }
  {
    DBtran inner;
    ASSERT_EQ(0, inner.startTran());
    insert(&inner, "inner kept");
    ASSERT_EQ(0, inner.commitTran(0));
  }
  ASSERT_EQ(0, outer.commitTran(0));
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM exampleItem"));
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM exampleItem WHERE name = 'inner'"));
}

TEST_F(Transactions, EndingATransactionEndsTheOnesNestedInIt) {
  DBtran outer;
  ASSERT_EQ(0, outer.startTran());
  DBtran inner;
  ASSERT_EQ(0, inner.startTran());
  insert(&inner, "inner");
  ASSERT_EQ(0, outer.rollbackTran());
  EXPECT_FALSE(inner.isOpen());
  EXPECT_EQ(DB_ERR_NO_TRAN, inner.commitTran(0));
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM exampleItem"));
}

TEST_F(Transactions, ATransactionDestroyedBeforeItsBindingsLeavesThemWithoutOne) {
  auto* tran = new DBtran(true);
  ExampleItem item(tran);
  insert(tran, "a");
  delete tran;  // rolls back and lets go of the binding
  EXPECT_EQ(nullptr, item.getTransaction());
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));
}

TEST_F(Transactions, WritersOnEightThreadsAllLand) {
  constexpr int kThreads = 8;
  constexpr int kRows = 24;
  std::vector<std::thread> threads;
  std::vector<std::vector<int>> ids(kThreads);
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids, &failures] {
      for (int r = 0; r < kRows; r += 3) {
        char name[32];
        // Two rows on their own, then one read-then-write transaction.
        for (int k = 0; k < 2; ++k) {
          std::snprintf(name, sizeof name, "t%d-r%d", t, r + k);
          int id = insert(nullptr, name);
          if (id > 0) ids[static_cast<size_t>(t)].push_back(id); else ++failures[static_cast<size_t>(t)];
        }
        DBtran tran;
        if (tran.startTran() != 0) {
          ++failures[static_cast<size_t>(t)];
          continue;
        }
        ExampleItem read(&tran);
        read.setWhere("name = '%s'", name);
        if (getOneRow(&read, false, -1, 0) != 0) ++failures[static_cast<size_t>(t)];
        std::snprintf(name, sizeof name, "t%d-r%d", t, r + 2);
        int id = insert(&tran, name);
        if (id > 0 && tran.commitTran(0) == 0) {
          ids[static_cast<size_t>(t)].push_back(id);
        } else {
          ++failures[static_cast<size_t>(t)];
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::set<int> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(0, failures[static_cast<size_t>(t)]) << "thread " << t;
    all.insert(ids[static_cast<size_t>(t)].begin(), ids[static_cast<size_t>(t)].end());
  }
  EXPECT_EQ(static_cast<size_t>(kThreads * kRows), all.size());
  EXPECT_EQ(kThreads * kRows, db.scalar("SELECT COUNT(*) FROM exampleItem"));
  EXPECT_EQ(kThreads * kRows, db.scalar("SELECT COUNT(DISTINCT name) FROM exampleItem"));
}

// The first connections to a new database file turn it to WAL, which they
// write in the old journal mode: a connection that comes while another
// holds the write lock there waits for it like any writer, not fails.
TEST_F(Transactions, AConnectionToANewDatabaseWaitsForItsWriterInsteadOfFailing) {
  std::filesystem::create_directories(std::filesystem::path(db.path()).parent_path());
  sqlite3* holder = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(db.path().c_str(), &holder));
  sqlite3_busy_timeout(holder, 30'000);
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(holder, "CREATE TABLE held (a); BEGIN IMMEDIATE; INSERT INTO held VALUES (1)",
                                    nullptr, nullptr, nullptr));
  std::atomic<bool> done{false};
  int id = 0;
  std::thread opener([&] {
    id = insert(nullptr, "late");
    done = true;
  });
  // The lock goes once the opener waits for it (or has failed).
  while (!done && testkit::db::busyWaits() == 0) std::this_thread::yield();
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr));
  opener.join();
  sqlite3_close(holder);
  EXPECT_GT(id, 0);
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM exampleItem"));
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM held"));
}

TEST_F(Transactions, SessionsFollowTheSameTransactionRules) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  tkdb::Session inTran(&tran);
  ASSERT_EQ(0, inTran.exec("INSERT INTO exampleItem (name) VALUES (?)", {"via session"}));
  EXPECT_EQ(1, inTran.lastInsertId());
  tkdb::Session work;
  EXPECT_EQ(50002, work.atomically([&] {
    EXPECT_EQ(0, work.exec("INSERT INTO exampleItem (name) VALUES ('undone')"));
    return 50002;
  }));
  EXPECT_EQ(0, work.atomically([&] { return work.exec("INSERT INTO exampleItem (name) VALUES ('kept')"); }));
  ASSERT_EQ(0, tran.commitTran(0));
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM exampleItem"));
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM exampleItem WHERE name = 'undone'"));
  tkdb::DbRow row;
  EXPECT_EQ(100, work.queryOne("SELECT name FROM exampleItem WHERE itemId = ?", {99}, row));
  EXPECT_EQ(DB_ERR_SQL, work.exec("SELEKT 1"));
}

// Savepoints of a session nest in the thread's transaction, all under one
// name: a failed one undoes its own rows and those of the ones nested in
// it, never those of the one around it or of one that ended before it; what
// the transaction commits is the rest. A change's undo stays in memory.
TEST_F(Transactions, NestedSessionWorkUndoesOnlyItsOwnRows) {
  const struct {
    const char* what;
    int outer;      // what the outer work returns
    int inner;      // what the work nested in it returns
    int second;     // what a second nested work, after the first, returns
    const char* kept;  // the rows committed, by name
  } cases[] = {
      {"all succeed", 0, 0, 0, "after,first,outer,second"},
      {"the first nested fails", 0, 7, 0, "after,outer,second"},
      {"the second nested fails", 0, 0, 7, "after,first,outer"},
      {"both nested fail", 0, 7, 7, "after,outer"},
      {"the outer fails after its nested succeeded", 7, 0, 0, "after"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    db.exec("DELETE FROM exampleItem");
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    tkdb::Session s(&tran);
    auto insert = [&](const char* name) { return s.exec("INSERT INTO exampleItem (name) VALUES (?)", {name}); };
    auto nested = [&](const char* name, int result) {
      return s.atomically([&] {
        EXPECT_EQ(0, insert(name));
        // A work nested in the nested one, that succeeds: it goes with it.
        EXPECT_EQ(0, s.atomically([&] { return insert((std::string(name) + "-deeper").c_str()); }));
        return result;
      });
    };
    EXPECT_EQ(c.outer, s.atomically([&] {
      EXPECT_EQ(0, insert("outer"));
      EXPECT_EQ(c.inner, nested("first", c.inner));
      EXPECT_EQ(c.second, nested("second", c.second));
      return c.outer;
    }));
    EXPECT_EQ(0, insert("after"));
    tkdb::DbRow store;
    ASSERT_EQ(0, s.queryOne("PRAGMA temp_store", {}, store));
    EXPECT_EQ(2, store.at(0).i) << "temporary storage in memory";
    ASSERT_EQ(0, tran.commitTran(0));
    std::string kept;
    for (const char* name : {"after", "first", "outer", "second"})
      if (db.scalar("SELECT COUNT(*) FROM exampleItem WHERE name = '" + std::string(name) + "'") == 1)
        kept += std::string(kept.empty() ? "" : ",") + name;
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM exampleItem WHERE name LIKE '%-deeper'"),
              db.scalar("SELECT COUNT(*) FROM exampleItem WHERE name IN ('first', 'second')"))
        << "each nested work's own nested work goes with it";
  }
}

}  // namespace
