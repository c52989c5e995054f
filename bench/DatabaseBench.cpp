// The database engine against SQLite itself, on one database file:
//   drive_fetch_100000   the binding walk over 100,000 MMDrive rows
//                        (getNextRow until no row) against one prepared
//                        statement stepped over the same rows;
//   library_lookup_by_id the table access reading one library by id
//                        (MMLibraryDB::getInfo) against one prepared
//                        statement bound, stepped and reset, both at the
//                        same random ids over 100,000 libraries.
// Every column of every row holds a value, and both sides copy every column
// into the same row struct (date-times read from their text and written
// back as text, as the engine gives them). The engine runs as in
// production: its test journal stays off (a test database would record
// every statement our side runs, and nothing on the raw side).
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMLibrary.h"
#include "bench/BenchPairs.h"
#include "bench/Installation.h"
#include "bench/RawSqlite.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/db/DBSession.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kDrives = 100000;
constexpr int kLibraries = 100000;
constexpr int kLookups = 4096;  // random ids, the same sequence on both sides

// The ids the lookups read, in order: spread over every library, the same
// for both sides of the pair.
const std::vector<int>& lookupIds() {
  static const std::vector<int> ids = [] {
    std::vector<int> out;
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> pick(1, kLibraries);
    for (int i = 0; i < kLookups; ++i) out.push_back(pick(random));
    return out;
  }();
  return ids;
}

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using RawDb = std::unique_ptr<sqlite3, SqliteCloser>;
using RawStatement = std::unique_ptr<sqlite3_stmt, SqliteCloser>;

// Opened as the engine opens its connections.
RawDb openRaw(const std::string& path) { return RawDb(tkbench::openAsEngine(path)); }

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
      case ZQDBFieldKind::DateTime: {
        // The text form the benchmark stores, "YYYY-MM-DD HH:MM:SS.fff".
        auto* dt = reinterpret_cast<DB_DATETIME*>(field);
        const unsigned char* t = sqlite3_column_text(statement, i);
        const int n = sqlite3_column_bytes(statement, i);
        // Fixed positions, digits only: what a careful loop that knows the
        // form would do.
        auto digits = [t](int at, int count) {
          int v = 0;
          for (int k = 0; k < count; ++k) v = v * 10 + (t[at + k] - '0');
          return v;
        };
        if (t != nullptr && n == 23) {
          dt->year = static_cast<int16_t>(digits(0, 4));
          dt->month = static_cast<uint16_t>(digits(5, 2));
          dt->day = static_cast<uint16_t>(digits(8, 2));
          dt->hour = static_cast<uint16_t>(digits(11, 2));
          dt->minute = static_cast<uint16_t>(digits(14, 2));
          dt->second = static_cast<uint16_t>(digits(17, 2));
          dt->fraction = static_cast<uint32_t>(digits(20, 3)) * 1000000u;
          std::memcpy(dt->text, t, 23);
          dt->text[23] = '\0';
        }
        break;
      }
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
  const std::string& path() const { return m_path; }
  bool ready() const { return m_ready; }

 private:
  BenchDatabase() {
    // The rows are written after the schema step, as in an installation.
    std::string error;
    if (!tkbench::readConfigurationFirst(error)) return;
    RawDb raw = openRaw(m_path);
    if (!raw || sqlite3_exec(raw.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return;
    if (!fill(raw.get(), "MMDrive", MMDrive_t::zqdbColumns(), kDrives)) return;
    if (!fill(raw.get(), "MMLibrary", MMLibrary_t::zqdbColumns(), kLibraries)) return;
    m_ready = sqlite3_exec(raw.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  }

  // `rows` rows of `table` with a value in every column: the first column
  // (the key) 1 to rows, numbers that vary by row, texts of up to 24
  // characters (or the field), date-times as text.
  static bool fill(sqlite3* db, const char* table, const ZQDBColumns& columns, int rows) {
    std::string sql = std::string("INSERT INTO \"") + table + "\" (";
    std::string values;
    for (int c = 0; c < columns.count; ++c) {
      sql += std::string(c > 0 ? ", \"" : "\"") + columns.cols[c].name + "\"";
      values += c > 0 ? ", ?" : "?";
    }
    RawStatement insert = prepare(db, sql + ") VALUES (" + values + ")");
    if (!insert) return false;
    for (int r = 1; r <= rows; ++r) {
      for (int c = 0; c < columns.count; ++c) {
        const ZQDBColumnDesc& col = columns.cols[c];
        switch (col.field) {
          case ZQDBFieldKind::Int32:
          case ZQDBFieldKind::Int64:
            sqlite3_bind_int64(insert.get(), c + 1, c == 0 ? r : (r * 7 + c) % 1000);
            break;
          case ZQDBFieldKind::FixedText:
          case ZQDBFieldKind::HeapText: {
            std::string text = std::string(col.name) + "-" + std::to_string(r);
            const size_t width = col.field == ZQDBFieldKind::FixedText ? col.size - 1 : 24;
            text.resize(std::min<size_t>(std::min<size_t>(width, 24), text.size()));
            sqlite3_bind_text(insert.get(), c + 1, text.c_str(), -1, SQLITE_TRANSIENT);
            break;
          }
          case ZQDBFieldKind::DateTime:
            sqlite3_bind_text(insert.get(), c + 1, "2024-06-07 08:09:10.123", -1, SQLITE_STATIC);
            break;
        }
      }
      if (sqlite3_step(insert.get()) != SQLITE_DONE) return false;
      sqlite3_reset(insert.get());
    }
    return true;
  }

  // A fresh file: no connection of the process is open before the first
  // statement, so none needs to be told to reopen.
  tktest::TempDir m_dir;
  std::string m_path = m_dir.file("var/tarnkeep.db");
  tktest::ScopedEnv m_env{"TK_DB", m_path};
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
  const std::vector<int>& ids = lookupIds();
  size_t next = 0;
  for (auto _ : state) {
    MMLibrary_t row;
    const int id = ids[next++ % ids.size()];
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
  const std::vector<int>& ids = lookupIds();
  size_t next = 0;
  for (auto _ : state) {
    MMLibrary_t row;
    const int id = ids[next++ % ids.size()];
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
