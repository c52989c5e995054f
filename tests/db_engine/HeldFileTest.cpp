// The held database file (tkdb::holdDatabaseFile, as the host holds its
// own): removed or replaced while it is held, no commit on it goes through,
// whichever way the change is made, and no connection makes it again.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/testkit/db.h"
#include "tests/support/TestDatabase.h"

namespace {

// Holds the test database's file while it lives.
class Held {
 public:
  Held() { held = tkdb::holdDatabaseFile(error); }
  ~Held() { tkdb::releaseDatabaseFile(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  bool held = false;
  std::string error;
};

// The rows of table t in the database file at `path`, read as an
// administrator's sqlite3 would; -1 when it cannot be read.
long long rowsIn(const std::string& path) {
  sqlite3* db = nullptr;
  long long rows = -1;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    rows = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

// Moves the database file at `from` and its journal files to `to`.
void moveDatabase(const std::string& from, const std::string& to) {
  for (const char* suffix : {"", "-wal", "-shm"})
    if (std::filesystem::exists(from + suffix)) std::filesystem::rename(from + suffix, to + suffix);
}

TEST(HeldDatabaseFile, RemovedOrReplacedNoCommitGoesThroughAndNoConnectionMakesItAgain) {
  const struct {
    const char* what;
    std::function<void(const std::string& path)> event;
    const char* refusal;  // after "The database file [path] "; empty: none
  } cases[] = {
      {"left in place", [](const std::string&) {}, ""},
      {"removed", [](const std::string& path) { std::filesystem::remove(path); },
       "was removed while the host ran; nothing was changed."},
      {"renamed away with its journal files", [](const std::string& path) { moveDatabase(path, path + ".away"); },
       "was removed while the host ran; nothing was changed."},
      {"replaced by another file",
       [](const std::string& path) {
         moveDatabase(path, path + ".away");
         std::filesystem::rename(path + ".other", path);
       },
       "was replaced by another file while the host ran; nothing was changed."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tktest::TestDatabase db;
    const std::string path = db.path();
    ASSERT_EQ(db.exec("CREATE TABLE t (x TEXT)"), 0);
    ASSERT_EQ(db.exec("VACUUM INTO '" + path + ".other'"), 0);
    const std::string refusal = *c.refusal == '\0' ? "" : "The database file [" + path + "] " + c.refusal;
    const bool refused = !refusal.empty();
    {
      Held held;
      ASSERT_TRUE(held.held) << held.error;
      // A transaction under way when the file goes.
      DBtran tran;
      ASSERT_EQ(tran.startTran(), 0);
      {
        tkdb::Session session(&tran);
        ASSERT_EQ(session.exec("INSERT INTO t VALUES ('in a transaction')"), 0);
      }
      c.event(path);
      EXPECT_EQ(tkdb::databaseFileRefusal(), refusal);
      EXPECT_EQ(tran.commitTran(), refused ? DB_ERR_COMMIT : DB_OK);
      EXPECT_EQ(tran.failureDetail(), refusal);
      if (tran.isOpen()) {
        EXPECT_EQ(tran.rollbackTran(), 0);
      }
      // A statement on its own, and one in a transaction of its own.
      tkdb::Session session;
      EXPECT_EQ(session.exec("INSERT INTO t VALUES ('on its own')"), refused ? DB_ERR_IO : DB_OK);
      EXPECT_EQ(session.errorText(), refusal);
      EXPECT_EQ(session.atomically([&] { return session.exec("INSERT INTO t VALUES ('atomically')"); }),
                refused ? DB_ERR_COMMIT : DB_OK);
      EXPECT_EQ(session.errorText(), refusal);
      // A connection opened now neither makes the file again nor uses
      // another one put in its place.
      std::thread([&] {
        tkdb::Session fresh;
        EXPECT_EQ(fresh.exec("INSERT INTO t VALUES ('on a new connection')"), refused ? DB_ERR_OPEN : DB_OK);
        EXPECT_EQ(fresh.errorText(), refusal);
      }).join();
      EXPECT_EQ(std::filesystem::exists(path), std::string(c.what) != "removed" &&
                                                   std::string(c.what) != "renamed away with its journal files");
    }
    // Every connection closed: what each file holds now.
    testkit::db::reset();
    if (!refused) {
      EXPECT_EQ(rowsIn(path), 4);
      continue;
    }
    if (std::filesystem::exists(path + ".away")) {
      EXPECT_EQ(rowsIn(path + ".away"), 0);
    }
    if (std::filesystem::exists(path)) {
      EXPECT_EQ(rowsIn(path), 0);
    }
  }
}

}  // namespace
