// The raw side of the database benchmarks opens its connection as the
// engine opens every one of its own (platform/db/DBConnection.cpp): SQLite's
// no-mutex mode (a connection is used by one thread at a time, so SQLite's
// own mutex would only be taken for nothing), WAL, full syncs, foreign keys.
// A raw side in SQLite's default serialized mode pays a mutex on every call
// that no installation pays, and flatters the ratio it is compared with.
#pragma once

#include <sqlite3.h>

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

}  // namespace tkbench
