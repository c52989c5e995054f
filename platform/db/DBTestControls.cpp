// The database engine's test seam and the controls behind
// platform/testkit/db.h: the journal of calls, the scripted failures, the
// procedure overrides, the throwing registration and the busy time-out.
// Production code only asks the seam (tkdb::journalOn, takeInjectedFailure,
// addObjectThrows, busyTimeoutMs in DBInternal.h); all of it stays off until
// a test resets the engine.
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"
#include "platform/testkit/db.h"

namespace tkdb {

namespace {

struct Hooks {
  std::atomic<bool> journalOn{false};
  std::atomic<bool> addObjectThrows{false};
  std::atomic<int> busyTimeoutMs{kDefaultBusyTimeoutMs};
  std::atomic<int> busyWaits{0};
  std::atomic<long long> scannedRows{0};
  std::atomic<long> commits{0};
  // The counted connections whose open transaction changed a stored table
  // (the update hook names each row's table): a commit counts when it did.
  std::mutex changesMutex;
  std::unordered_map<sqlite3*, bool> changed;
  tkjournal::Journal journal;
  std::mutex statementsMutex;
  std::vector<std::string> statements;  // begun on watched connections since the last reset
};

Hooks& hooks() {
  static Hooks* h = new Hooks();  // lives through static destruction
  return *h;
}

// The audit trail is written after the change it records, and a record
// that cannot be written leaves the change standing: its rows are no part
// of what a request stores together.
bool countedTable(const char* table) { return table == nullptr || std::strncmp(table, "AuditTrail", 10) != 0; }

void onUpdate(void* arg, int /*op*/, const char* /*database*/, const char* table, sqlite3_int64 /*row*/) {
  if (!countedTable(table)) return;
  Hooks& h = hooks();
  std::lock_guard<std::mutex> guard(h.changesMutex);
  h.changed[static_cast<sqlite3*>(arg)] = true;
}

void onRollback(void* arg) {
  Hooks& h = hooks();
  std::lock_guard<std::mutex> guard(h.changesMutex);
  h.changed[static_cast<sqlite3*>(arg)] = false;
}

}  // namespace

int noteCommit(void* arg) {
  Hooks& h = hooks();
  std::lock_guard<std::mutex> guard(h.changesMutex);
  bool& changed = h.changed[static_cast<sqlite3*>(arg)];
  if (changed) h.commits.fetch_add(1, std::memory_order_relaxed);
  changed = false;
  return 0;  // the commit goes on
}

void noteConnectionOpened(sqlite3* db) {
  if (!journalOn() || db == nullptr) return;
  Hooks& h = hooks();
  {
    std::lock_guard<std::mutex> guard(h.changesMutex);
    h.changed[db] = false;
  }
  sqlite3_update_hook(db, &onUpdate, db);
  sqlite3_commit_hook(db, &noteCommit, db);
  sqlite3_rollback_hook(db, &onRollback, db);
  sqlite3_trace_v2(
      db, SQLITE_TRACE_STMT,
      [](unsigned, void*, void*, void* text) -> int {
        // A trigger's program begins as "-- <name>": part of the statement
        // that fired it, not one of its own.
        const char* sql = static_cast<const char*>(text);
        if (sql == nullptr || std::strncmp(sql, "--", 2) == 0) return 0;
        Hooks& h = hooks();
        std::lock_guard<std::mutex> guard(h.statementsMutex);
        h.statements.emplace_back(sql);
        return 0;
      },
      nullptr);
}

tkjournal::Journal& engineJournal() { return hooks().journal; }
bool journalOn() { return hooks().journalOn.load(std::memory_order_relaxed); }
void journalCall(const std::string& name, std::vector<std::string> args) {
  if (journalOn()) hooks().journal.record(name, std::move(args));
}
bool takeInjectedFailure(const char* call, int& code, std::string& text) {
  if (!journalOn()) return false;
  tkjournal::Failure failure;
  if (!hooks().journal.takeFailure(call, failure)) return false;
  code = failure.code;
  text = failure.text;
  return true;
}
bool addObjectThrows() { return hooks().addObjectThrows.load(); }
int busyTimeoutMs() { return hooks().busyTimeoutMs.load(); }
void noteBusyWait() { hooks().busyWaits.fetch_add(1, std::memory_order_relaxed); }
void noteScannedRows(sqlite3_stmt* stmt) {
  const int rows = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_FULLSCAN_STEP, 1) +
                   sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_AUTOINDEX, 1);
  if (rows > 0) hooks().scannedRows.fetch_add(rows, std::memory_order_relaxed);
}


}  // namespace tkdb

namespace testkit::db {

void reset() {
  tkdb::Connection::closeThreadConnection();
  tkdb::Connection::bumpGeneration();
  tkdb::Hooks& h = tkdb::hooks();
  h.journal.reset();
  h.addObjectThrows = false;
  h.busyTimeoutMs = tkdb::kDefaultBusyTimeoutMs;
  h.busyWaits = 0;
  h.scannedRows = 0;
  h.commits = 0;
  {
    std::lock_guard<std::mutex> guard(h.statementsMutex);
    h.statements.clear();
  }
  h.journalOn = true;
  clearProcedureOverrides();
  DBtable::b_newDBBase = 1;
}

void overrideProcedure(const std::string& name, const tkdb::DbRows& rows) {
  tkdb::setProcedureOverride(name, rows, 0, std::string());
}

void failProcedure(const std::string& name, int code, const std::string& text) {
  tkdb::setProcedureOverride(name, {}, code, text);
}

void clearProcedureOverrides() { tkdb::clearProcedureOverrides(); }

void setAddObjectThrows(bool throws) { tkdb::hooks().addObjectThrows = throws; }

void setBusyTimeoutMs(int milliseconds) { tkdb::hooks().busyTimeoutMs = milliseconds; }

int busyWaits() { return tkdb::hooks().busyWaits.load(); }

long long scannedRows() { return tkdb::hooks().scannedRows.load(); }

long commits() { return tkdb::hooks().commits.load(); }
std::vector<std::string> takeStatementsRun() {
  tkdb::Hooks& h = tkdb::hooks();
  std::lock_guard<std::mutex> guard(h.statementsMutex);
  std::vector<std::string> out;
  out.swap(h.statements);
  return out;
}

tkjournal::Journal& journal() { return tkdb::hooks().journal; }

std::vector<std::string> statements() {
  std::vector<std::string> out;
  for (const tkjournal::Call& call : tkdb::hooks().journal.calls("sql")) {
    if (call.args.size() >= 3) out.push_back(call.args[2]);
  }
  return out;
}

namespace {

std::shared_ptr<tkdb::Connection> threadConnection() {
  int code = 0;
  std::string detail;
  return tkdb::Connection::forThread(code, detail);
}

}  // namespace

size_t cachedStatements() {
  std::shared_ptr<tkdb::Connection> conn = threadConnection();
  if (!conn) return 0;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  return conn->cachedStatements();
}

int busyStatements() {
  std::shared_ptr<tkdb::Connection> conn = threadConnection();
  if (!conn) return 0;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  int busy = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(conn->handle(), nullptr); s != nullptr;
       s = sqlite3_next_stmt(conn->handle(), s)) {
    if (sqlite3_stmt_busy(s) != 0) ++busy;
  }
  return busy;
}

size_t openStreams() {
  std::shared_ptr<tkdb::Connection> conn = threadConnection();
  if (!conn) return 0;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  return conn->openStreams();
}

bool connectionHasEngineMutex() {
  std::shared_ptr<tkdb::Connection> conn = threadConnection();
  return conn && sqlite3_db_mutex(conn->handle()) != nullptr;
}

}  // namespace testkit::db
