// The raw side of the database benchmarks opens its connection as the
// engine opens every one of its own (platform/db/DBConnection.cpp): SQLite's
// no-mutex mode (a connection is used by one thread at a time, so SQLite's
// own mutex would only be taken for nothing), WAL, full syncs, foreign keys.
// A raw side in SQLite's default serialized mode pays a mutex on every call
// that no installation pays, and flatters the ratio it is compared with.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace tkbench {

// A connection to `path` opened as the engine opens its connections; null
// (and nothing left open) when it cannot be opened.
inline sqlite3* openAsEngine(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK ||
      sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", nullptr,
                   nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 30000);
  return db;
}

// Runs the one statement `sql` on `db`, its parameter (?1), if it has one,
// bound to `count`: SQLITE_OK, or the engine's code with the reason on
// standard error after `what`.
inline int execCounted(sqlite3* db, const std::string& sql, long long count, const char* what) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  if (rc == SQLITE_OK && sqlite3_bind_parameter_count(stmt) > 0) rc = sqlite3_bind_int64(stmt, 1, count);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(stmt);
    rc = rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : sqlite3_errcode(db);
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK) std::fprintf(stderr, "%s: %s\n  in %s\n", what, sqlite3_errmsg(db), sql.c_str());
  return rc;
}

// The first column of the first row `sql` gives on `db`; -1 for none.
inline long long scalarOf(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  long long value = -1;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
    value = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  return value;
}

}  // namespace tkbench
