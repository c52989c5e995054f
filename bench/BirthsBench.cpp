// What the births cost (platform/mmdb/MMConfigChangeLog.h):
// rows inserted and deleted with every trigger the schema step makes,
// against the same statements on a copy of the same database whose
// triggers keep no births (the change log's own work stays on both sides).
//
//   births_insert_1000/ours   1,000 drives inserted in one transaction
//   births_insert_1000/raw    the same on the copy without births
//   births_delete_1000/ours   1,000 drives deleted in one transaction
//   births_delete_1000/raw    the same on the copy without births
//   ledger_one_id_30000/ours  30,000 births of one id read into the host's
//                             ledger of births once it is full (each drops
//                             its oldest birth)
//   ledger_one_id_30000/raw   30,000 births of as many ids, the same way
//
// Both databases hold 10,000 drives before; the rows a case inserts take
// new ids, as the table access gives them, and are deleted again untimed,
// and the rows it deletes were inserted untimed, so that every repetition
// starts from as many rows. Both sides run on connections opened as the
// engine opens its own.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "bench/BenchPairs.h"
#include "bench/RawSqlite.h"
#include "platform/db/DBSession.h"
#include "platform/mmdb/MMBirthLedger.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRows = 1000;
constexpr int kSeeded = 10000;

bool run(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
  std::fprintf(stderr, "births: %s\n  in %s\n", error != nullptr ? error : "", sql.c_str());
  sqlite3_free(error);
  return false;
}

// `count` new drives inserted in one transaction, one statement per row as
// the table access runs them; `first` gets the first one's id (the others
// follow it).
bool insertDrives(sqlite3* db, int count, long long& first) {
  sqlite3_stmt* stmt = nullptr;
  bool ok = run(db, "BEGIN IMMEDIATE") &&
            sqlite3_prepare_v2(db, "INSERT INTO \"MMDrive\" (\"MasterPoolId\", \"DriveName\") VALUES (1, ?)", -1, &stmt,
                               nullptr) == SQLITE_OK;
  for (int i = 0; ok && i < count; ++i) {
    const std::string name = "drive" + std::to_string(i);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_reset(stmt);
    if (i == 0) first = sqlite3_last_insert_rowid(db);
  }
  sqlite3_finalize(stmt);
  return run(db, ok ? "COMMIT" : "ROLLBACK") && ok;
}

// The drives of ids [first, first + count), deleted in one transaction.
bool deleteDrives(sqlite3* db, long long first, int count) {
  sqlite3_stmt* stmt = nullptr;
  bool ok = run(db, "BEGIN IMMEDIATE") &&
            sqlite3_prepare_v2(db, "DELETE FROM \"MMDrive\" WHERE \"DriveId\" = ?", -1, &stmt, nullptr) == SQLITE_OK;
  for (long long id = first; ok && id < first + count; ++id) {
    sqlite3_bind_int64(stmt, 1, id);
    ok = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  return run(db, ok ? "COMMIT" : "ROLLBACK") && ok;
}

// Every trigger of the change log without what it does to the births:
// the rows it logs are not marked born (the column stays, NULL).
bool withoutBirths(sqlite3* db) {
  std::vector<std::pair<std::string, std::string>> triggers;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND sql LIKE '%\"Born\"%'", -1,
                         &stmt, nullptr) != SQLITE_OK)
    return false;
  while (sqlite3_step(stmt) == SQLITE_ROW)
    triggers.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                          reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
  sqlite3_finalize(stmt);
  // (..., NEW."DriveId", 1) and SELECT ..., NEW."DriveId", 1 WHERE: the mark.
  const std::regex born("(NEW\\.\"[A-Za-z]+\"), 1([) ])");
  std::string sql = "BEGIN; ";
  for (const auto& [name, create] : triggers) {
    const std::string rest = std::regex_replace(create, born, "$1, NULL$2");
    if (rest == create) return false;
    sql += "DROP TRIGGER \"" + name + "\"; " + rest + "; ";
  }
  return !triggers.empty() && run(db, sql + "COMMIT");
}

struct Databases {
  tktest::TempDir dir;
  sqlite3* ours = nullptr;
  sqlite3* raw = nullptr;
  bool ready = false;

  Databases() {
    const std::string oursPath = dir.file("births.db");
    const std::string rawPath = dir.file("nobirths.db");
    // The schema as the schema step makes it, every trigger included.
    setenv("TK_DB", oursPath.c_str(), 1);
    {
      tkdb::Session session;
      if (session.exec("SELECT 1") != 0) return;
    }
    ours = tkbench::openAsEngine(oursPath);
    long long first = 0;
    if (ours == nullptr || !insertDrives(ours, kSeeded, first) || !run(ours, "VACUUM INTO '" + rawPath + "'")) return;
    raw = tkbench::openAsEngine(rawPath);
    ready = raw != nullptr && withoutBirths(raw);
  }
  ~Databases() {
    sqlite3_close_v2(ours);
    sqlite3_close_v2(raw);
  }
};

Databases& databases() {
  static Databases* d = new Databases();
  return *d;
}

// kRows drives inserted, or deleted, on `db`; what makes or removes them
// around it untimed.
void measure(benchmark::State& state, sqlite3* db, bool deleting) {
  if (!databases().ready) {
    state.SkipWithError("the databases could not be made");
    return;
  }
  for (auto _ : state) {
    long long first = 0;
    state.PauseTiming();
    bool ok = !deleting || insertDrives(db, kRows, first);
    state.ResumeTiming();
    ok = ok && (deleting ? deleteDrives(db, first, kRows) : insertDrives(db, kRows, first));
    state.PauseTiming();
    if (!deleting) ok = ok && deleteDrives(db, first, kRows);
    state.ResumeTiming();
    if (!ok) {
      state.SkipWithError("a statement failed");
      return;
    }
  }
}

// A ledger filled to its cap with births of distinct ids, then 30,000
// births of `ids` ids (1: one id born again and again) read into it the
// way a question reads them: added, and the oldest dropped.
void ledgerBirths(benchmark::State& state, int ids) {
  constexpr int kBirths = 30000;
  for (auto _ : state) {
    state.PauseTiming();
    auto ledger = std::make_unique<tkmmdb::BirthLedger>();
    long long seq = 0;
    for (std::size_t i = 0; i < tkmmdb::kLedgerKept; ++i) ledger->add({5, 1000000 + static_cast<int>(i), ++seq});
    state.ResumeTiming();
    for (int i = 0; i < kBirths; ++i) {
      ledger->add({5, 1 + i % ids, ++seq});
      ledger->keepAtMost(tkmmdb::kLedgerKept);
    }
    state.PauseTiming();
    ledger.reset();
    state.ResumeTiming();
  }
}

[[maybe_unused]] const bool kRegistered = [] {
  tkbench::registerPair(
      "ledger_one_id_30000",
      [](benchmark::State& s) {
        s.SetLabel("ours: one id born 30,000 times");
        ledgerBirths(s, 1);
      },
      [](benchmark::State& s) {
        s.SetLabel("raw: 30,000 ids born once");
        ledgerBirths(s, 30000);
      },
      [](tkbench::Benchmark* b) { b->Unit(benchmark::kMillisecond)->Iterations(5); });
  for (const bool deleting : {false, true}) {
    tkbench::registerPair(
        deleting ? "births_delete_1000" : "births_insert_1000",
        [deleting](benchmark::State& s) {
          s.SetLabel("ours: with births");
          measure(s, databases().ours, deleting);
        },
        [deleting](benchmark::State& s) {
          s.SetLabel("raw: the same without births");
          measure(s, databases().raw, deleting);
        },
        [](tkbench::Benchmark* b) { b->Unit(benchmark::kMillisecond)->Iterations(20); });
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
