// The database engine against SQLite itself, on one database file:
//   drive_fetch_100000   the binding walk over 100,000 MMDrive rows
//                        (getNextRow until no row) against one prepared
//                        statement stepped over the same rows;
//   library_lookup_by_id the table access reading one library by id
//                        (MMLibraryDB::getInfo) against one prepared
//                        statement bound, stepped and reset.
// Both sides copy every column into the same row struct.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMLibrary.h"
#include "bench/BenchPairs.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "tests/support/TestDatabase.h"

namespace {

constexpr int kDrives = 100000;
constexpr int kLibraries = 1000;

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using RawDb = std::unique_ptr<sqlite3, SqliteCloser>;
using RawStatement = std::unique_ptr<sqlite3_stmt, SqliteCloser>;

RawDb openRaw(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  return RawDb(db);
}

RawStatement prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  return RawStatement(statement);
}

// "SELECT "a", "b", ... FROM "table"": every column of the row struct.
template <class Row>
std::string selectAll(const char* table) {
  const ZQDBColumns& columns = Row::zqdbColumns();
  std::string sql = "SELECT ";
  for (int i = 0; i < columns.count; ++i) sql += std::string(i > 0 ? ", \"" : "\"") + columns.cols[i].name + "\"";
  return sql + " FROM \"" + table + "\"";
}

// The current row of a statement into a row struct, as a careful hand-written
// loop copies it: numbers as they are, fixed texts cut to their field, heap
// texts copied once into the row's own buffer.
void fillRaw(sqlite3_stmt* statement, const ZQDBColumns& columns, void* row) {
  char* base = static_cast<char*>(row);
  for (int i = 0; i < columns.count; ++i) {
    const ZQDBColumnDesc& c = columns.cols[i];
    char* field = base + c.offset;
    const unsigned char* text = nullptr;
    size_t length = 0;
    if (c.field == ZQDBFieldKind::FixedText || c.field == ZQDBFieldKind::HeapText) {
      text = sqlite3_column_text(statement, i);
      length = static_cast<size_t>(sqlite3_column_bytes(statement, i));
    }
    switch (c.field) {
      case ZQDBFieldKind::Int32: *reinterpret_cast<int*>(field) = sqlite3_column_int(statement, i); break;
      case ZQDBFieldKind::Int64: *reinterpret_cast<long long*>(field) = sqlite3_column_int64(statement, i); break;
      case ZQDBFieldKind::FixedText:
        length = std::min(length, c.size - 1);
        if (length > 0) std::memcpy(field, text, length);
        field[length] = '\0';
        break;
      case ZQDBFieldKind::HeapText: {
        char*& heap = *reinterpret_cast<char**>(field);
        delete[] heap;
        heap = nullptr;
        if (text != nullptr) {
          heap = new char[length + 1];
          std::memcpy(heap, text, length);
          heap[length] = '\0';
        }
        break;
      }
      case ZQDBFieldKind::DateTime: break;  // the tables here have none
    }
  }
}

// The database of the benchmarks: created by the engine, filled through
// SQLite directly.
class BenchDatabase {
 public:
  static BenchDatabase& get() {
    static BenchDatabase instance;
    return instance;
  }
  const std::string& path() const { return m_db.path(); }
  bool ready() const { return m_ready; }

 private:
  BenchDatabase() {
    // The engine creates the schema on its first statement.
    if (m_db.exec("SELECT 1") != 0) return;
    RawDb raw = openRaw(m_db.path());
    if (!raw || sqlite3_exec(raw.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return;
    RawStatement drive = prepare(raw.get(),
                                 "INSERT INTO \"MMDrive\" (\"DriveName\", \"AliasName\", \"DriveEnabled\", "
                                 "\"MasterPoolId\", \"DriveVendor\", \"DriveModel\", \"SerialNumber\", "
                                 "\"DriveInstallTime\", \"Descript\") VALUES (?, ?, 1, ?, 'VENDOR', 'LTO-9', ?, "
                                 "1700000000, 'a drive of the benchmark library')");
    for (int i = 1; i <= kDrives; ++i) {
      const std::string name = "drive-" + std::to_string(i);
      const std::string alias = "Library " + std::to_string(i % kLibraries) + " / " + name;
      const std::string serial = "SN" + std::to_string(1000000 + i);
      sqlite3_bind_text(drive.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(drive.get(), 2, alias.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(drive.get(), 3, i % kLibraries);
      sqlite3_bind_text(drive.get(), 4, serial.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(drive.get()) != SQLITE_DONE) return;
      sqlite3_reset(drive.get());
    }
    RawStatement library = prepare(raw.get(),
                                   "INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryEnabled\", "
                                   "\"LibraryTypeId\", \"LibraryVendor\", \"SerialNumber\") "
                                   "VALUES (?, ?, 1, 3, 'VENDOR', ?)");
    for (int i = 1; i <= kLibraries; ++i) {
      const std::string name = "library-" + std::to_string(i);
      const std::string alias = "Library " + std::to_string(i);
      sqlite3_bind_text(library.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(library.get(), 2, alias.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(library.get(), 3, name.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(library.get()) != SQLITE_DONE) return;
      sqlite3_reset(library.get());
    }
    m_ready = sqlite3_exec(raw.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  tktest::TestDatabase m_db;
  bool m_ready = false;
};

bool ready(benchmark::State& state) {
  if (BenchDatabase::get().ready()) return true;
  state.SkipWithError("the benchmark database could not be filled");
  return false;
}

void fetchOurs(benchmark::State& state) {
  if (!ready(state)) return;
  for (auto _ : state) {
    MMDrive table(nullptr);
    int count = 0, rows = 0, rc = 0;
    long long sum = 0;
    while ((rc = getNextRow(&table, &count, -1, 0)) == DB_OK) {
      sum += table.getDataPtr()->DriveId + table.getDataPtr()->AliasName[0];
      ++rows;
    }
    benchmark::DoNotOptimize(sum);
    if (rc != DB_NO_ROW || rows != kDrives) {
      state.SkipWithError("the binding walk did not return every drive");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kDrives);
}

void fetchRaw(benchmark::State& state) {
  if (!ready(state)) return;
  RawDb raw = openRaw(BenchDatabase::get().path());
  RawStatement statement = prepare(raw.get(), selectAll<MMDrive_t>("MMDrive") + " ORDER BY \"DriveId\"");
  for (auto _ : state) {
    MMDrive_t row;
    int rows = 0;
    long long sum = 0;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
      fillRaw(statement.get(), MMDrive_t::zqdbColumns(), &row);
      sum += row.DriveId + row.AliasName[0];
      ++rows;
    }
    sqlite3_reset(statement.get());
    benchmark::DoNotOptimize(sum);
    if (rows != kDrives) {
      state.SkipWithError("the raw walk did not return every drive");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kDrives);
}

void lookupOurs(benchmark::State& state) {
  if (!ready(state)) return;
  MMLibraryDB access;
  int id = 0;
  for (auto _ : state) {
    MMLibrary_t row;
    id = id % kLibraries + 1;
    if (access.getInfo(id, row) != 0 || row.LibraryId != id) {
      state.SkipWithError("the table access did not find the library");
      break;
    }
    benchmark::DoNotOptimize(row.AliasName[0]);
  }
}

void lookupRaw(benchmark::State& state) {
  if (!ready(state)) return;
  RawDb raw = openRaw(BenchDatabase::get().path());
  RawStatement statement = prepare(raw.get(), selectAll<MMLibrary_t>("MMLibrary") + " WHERE \"LibraryId\" = ?");
  int id = 0;
  for (auto _ : state) {
    MMLibrary_t row;
    id = id % kLibraries + 1;
    sqlite3_bind_int(statement.get(), 1, id);
    if (sqlite3_step(statement.get()) == SQLITE_ROW) fillRaw(statement.get(), MMLibrary_t::zqdbColumns(), &row);
    sqlite3_reset(statement.get());
    if (row.LibraryId != id) {
      state.SkipWithError("the raw statement did not find the library");
      break;
    }
    benchmark::DoNotOptimize(row.AliasName[0]);
  }
}

const bool kRegistered = [] {
  tkbench::registerPair("drive_fetch_100000", fetchOurs, fetchRaw,
                        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMillisecond); });
  tkbench::registerPair("library_lookup_by_id", lookupOurs, lookupRaw,
                        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMicrosecond); });
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
