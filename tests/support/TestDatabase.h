// A fresh central database for one test: a temporary file named by TK_DB,
// with every connection of the process made to reopen on it, the engine's
// test controls reset, and everything removed afterwards.
//
//   TEST(Libraries, RenameKeepsId) {
//     tktest::TestDatabase db;
//     ASSERT_EQ(0, db.exec("INSERT INTO MMLibrary (AliasName) VALUES (?)", {"lib1"}));
//     ... code under test (bindings, table access) ...
//     EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM MMLibrary"));
//   }
//
// Threads that a test starts must end before the fixture does. Seeding and
// checks run plain SQLite SQL on the test thread's connection.
#pragma once

#include <string>
#include <vector>

#include "platform/db/DBValue.h"
#include "tests/support/TempDir.h"

namespace tktest {

class TestDatabase {
 public:
  TestDatabase();
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // The database file (inside a directory the engine creates on first open).
  const std::string& path() const { return m_path; }

  // Runs SQL on the test thread's connection; the engine's result code.
  int exec(const std::string& sql, const std::vector<tkdb::DbValue>& params = {});
  // The rows of a query; a failure is reported to the running test.
  tkdb::DbRows query(const std::string& sql, const std::vector<tkdb::DbValue>& params = {});
  // The first column of the first row as an integer; -1 when there is no row
  // (a failure is reported to the running test).
  long long scalar(const std::string& sql, const std::vector<tkdb::DbValue>& params = {});
  // The first column of the first row as text ("" for none or NULL).
  std::string text(const std::string& sql, const std::vector<tkdb::DbValue>& params = {});
  // Runs plain SQL on a connection of its own, as an administrator's sqlite3
  // would: none of the process's connections or caches sees it coming. A
  // failure is reported to the running test.
  void execElsewhere(const std::string& sql);

 private:
  TempDir m_dir;
  std::string m_path;
  ScopedEnv m_env;
};

// Runs plain SQL on a connection of its own to the database file at `path`,
// as an administrator's sqlite3 would: the first column of the rows it
// gives, ';' between them. A failure is reported to the running test.
std::string sqlByHand(const std::string& path, const std::string& statements);

}  // namespace tktest
