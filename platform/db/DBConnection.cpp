// Connections with their statement caches, row streams, the schema and
// procedure registries and sessions of the database engine. The test
// controls are in DBTestControls.cpp.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"
#include "platform/db/SqlText.h"
#include "platform/debuglog/EvDebug.h"

namespace tkdb {

namespace {

std::string lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct SchemaRegistry {
  std::mutex mutex;
  std::vector<std::pair<std::string, std::string>> statements;  // name, CREATE
  std::set<std::string> names;                                  // lower-case
};

SchemaRegistry& schema() {
  static SchemaRegistry* r = new SchemaRegistry();  // lives through static destruction
  return *r;
}

struct ProcOverride {
  DbRows rows;
  int code = 0;
  std::string text;
};

struct ProcRegistry {
  std::mutex mutex;
  std::map<std::string, ProcBody> bodies;           // lower-case name
  std::map<std::string, ProcOverride> overrides;    // lower-case name
};

ProcRegistry& procs() {
  static ProcRegistry* r = new ProcRegistry();
  return *r;
}

std::atomic<uint64_t> g_generation{1};

// Every connection the thread opened, for the busy handler (declared first:
// it goes after the connections when the thread ends).
thread_local std::vector<std::weak_ptr<Connection>> t_opened;
thread_local std::shared_ptr<Connection> t_connection;
// The idle connection of the thread's last private transaction.
thread_local std::shared_ptr<Connection> t_privateIdle;

int makeParentDirectory(const std::string& path, std::string& detail) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return DB_OK;
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  if (ec) {
    detail = "cannot create the directory " + parent.string() + ": " + ec.message();
    return DB_ERR_OPEN;
  }
  return DB_OK;
}

void bindValue(sqlite3_stmt* stmt, int index, const DbValue& v) {
  switch (v.type) {
    case DbValue::Type::Null: sqlite3_bind_null(stmt, index); break;
    case DbValue::Type::Int: sqlite3_bind_int64(stmt, index, v.i); break;
    case DbValue::Type::Real: sqlite3_bind_double(stmt, index, v.r); break;
    case DbValue::Type::Text:
      sqlite3_bind_text(stmt, index, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
  }
}

DbValue columnValue(sqlite3_stmt* stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER: return DbValue(static_cast<long long>(sqlite3_column_int64(stmt, col)));
    case SQLITE_FLOAT: return DbValue(sqlite3_column_double(stmt, col));
    case SQLITE_NULL: return DbValue();
    default: {
      const unsigned char* text = sqlite3_column_text(stmt, col);
      int n = sqlite3_column_bytes(stmt, col);
      if (text == nullptr) return DbValue(std::string());
      return DbValue(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(n)));
    }
  }
}

// The current row of a statement, read after its step (the columns are
// those of the statement as last prepared).
DbRow currentRow(sqlite3_stmt* stmt) {
  const int columns = sqlite3_column_count(stmt);
  DbRow row;
  row.reserve(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) row.push_back(columnValue(stmt, c));
  return row;
}

}  // namespace

// --- codes -----------------------------------------------------------------------

int mapSqliteResult(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
      return DB_OK;
    case SQLITE_DONE: return DB_NO_ROW;
    case SQLITE_ERROR: return DB_ERR_SQL;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return DB_ERR_BUSY;
    case SQLITE_NOMEM: return DB_ERR_NOMEM;
    case SQLITE_READONLY: return DB_ERR_READONLY;
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_PROTOCOL: return DB_ERR_IO;
    case SQLITE_FULL: return DB_ERR_FULL;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: return DB_ERR_OPEN;
    case SQLITE_CONSTRAINT: return DB_ERR_CONSTRAINT;
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
    case SQLITE_TOOBIG: return DB_ERR_CONVERT;
    default: return DB_ERR_GENERAL;
  }
}

std::string scrubDetail(const char* message) {
  if (message == nullptr) return std::string();
  std::string text = maskLiterals(message);
  // SQLite names an unexpected token in double quotes ("near "x""): a
  // token may be a value, so it is masked too.
  std::string out;
  bool inQuote = false;
  for (char c : text) {
    if (c == '"') {
      out += c;
      if (!inQuote) out += '?';
      inQuote = !inQuote;
      continue;
    }
    if (!inQuote) out += c;
  }
  return out;
}

// --- connections -----------------------------------------------------------------

std::string currentDatabasePath() {
  const char* env = std::getenv("TK_DB");
  if (env != nullptr && *env != '\0') return env;
  return "var/tarnkeep.db";
}

Connection::~Connection() {
  for (auto& entry : m_cache) sqlite3_finalize(entry.second.stmt);
  m_cache.clear();
  if (m_db != nullptr) sqlite3_close_v2(m_db);
  m_db = nullptr;
}

std::shared_ptr<Connection> Connection::open(const std::string& path, int& code, std::string& detail) {
  code = makeParentDirectory(path, detail);
  if (code != DB_OK) return nullptr;
  std::shared_ptr<Connection> conn(new Connection());
  conn->m_path = path;
  conn->m_generation = g_generation.load(std::memory_order_acquire);
  int rc = sqlite3_open_v2(path.c_str(), &conn->m_db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    detail = scrubDetail(conn->m_db != nullptr ? sqlite3_errmsg(conn->m_db) : sqlite3_errstr(rc));
    code = DB_ERR_OPEN;
    return nullptr;
  }
  sqlite3_extended_result_codes(conn->m_db, 1);
  // Waits for a lock up to the busy time-out, but never for one that
  // another connection of this thread holds.
  conn->m_busyTimeoutMs = busyTimeoutMs();
  sqlite3_busy_handler(conn->m_db, &Connection::busyWait, conn.get());
  t_opened.erase(std::remove_if(t_opened.begin(), t_opened.end(), [](const auto& w) { return w.expired(); }),
                 t_opened.end());
  t_opened.push_back(conn);
  // WAL keeps readers and the one writer out of each other's way; FULL
  // syncs every commit (configuration must not be lost).
  code = conn->run("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", {}, nullptr, detail);
  if (code != DB_OK && code != DB_NO_ROW) {
    code = DB_ERR_OPEN;
    return nullptr;
  }
  code = DB_OK;
  return conn;
}

std::shared_ptr<Connection> Connection::forThread(int& code, std::string& detail) {
  code = DB_OK;
  std::string path = currentDatabasePath();
  std::shared_ptr<Connection>& conn = t_connection;
  if (conn) {
    bool current = conn->m_generation == g_generation.load(std::memory_order_acquire) && conn->m_path == path;
    bool busy;
    {
      std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
      busy = !conn->trans.empty() || sqlite3_get_autocommit(conn->m_db) == 0;
    }
    // A connection with an open transaction stays until the transaction ends.
    if (!current && !busy) conn.reset();
  }
  if (!conn) {
    conn = open(path, code, detail);
    if (!conn) {
      EvDebug::Error("tkdb::Connection::forThread", "cannot open the database [%s] (%d: %s): %s", path.c_str(), code,
                     DBtable::getErrorStr(code), detail.c_str());
      return nullptr;
    }
  }
  code = conn->applySchema(detail);
  return conn;
}

void Connection::closeThreadConnection() {
  t_privateIdle.reset();
  std::shared_ptr<Connection>& conn = t_connection;
  if (!conn) return;
  bool idle;
  {
    std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
    idle = conn->trans.empty() && sqlite3_get_autocommit(conn->m_db) != 0;
  }
  if (idle) conn.reset();
}

void Connection::bumpGeneration() { g_generation.fetch_add(1, std::memory_order_acq_rel); }

std::shared_ptr<Connection> Connection::forPrivate(int& code, std::string& detail) {
  code = DB_OK;
  std::string path = currentDatabasePath();
  std::shared_ptr<Connection> conn = std::move(t_privateIdle);
  t_privateIdle.reset();
  if (conn) {
    bool current = conn->m_generation == g_generation.load(std::memory_order_acquire) && conn->m_path == path;
    bool idle;
    {
      std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
      idle = conn->trans.empty() && sqlite3_get_autocommit(conn->m_db) != 0;
    }
    if (!current || !idle) conn.reset();
  }
  if (!conn) {
    conn = open(path, code, detail);
    if (!conn) {
      EvDebug::Error("tkdb::Connection::forPrivate", "cannot open the database [%s] (%d: %s): %s", path.c_str(),
                     code, DBtable::getErrorStr(code), detail.c_str());
      return nullptr;
    }
  }
  // A schema that cannot be completed now (another connection of this
  // thread holds the write lock) is completed at a later use.
  std::string ignored;
  conn->applySchema(ignored);
  return conn;
}

void Connection::releasePrivate(std::shared_ptr<Connection> conn) {
  if (!conn || t_privateIdle) return;
  bool current = conn->m_generation == g_generation.load(std::memory_order_acquire) &&
                 conn->m_path == currentDatabasePath();
  bool idle;
  {
    std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
    idle = conn->trans.empty() && sqlite3_get_autocommit(conn->m_db) != 0;
  }
  if (current && idle) t_privateIdle = std::move(conn);
}

bool Connection::blockedByOwnThread() const {
  for (const std::weak_ptr<Connection>& weak : t_opened) {
    std::shared_ptr<Connection> other = weak.lock();
    if (!other || other.get() == this || other->m_db == nullptr) continue;
    if (sqlite3_txn_state(other->m_db, nullptr) == SQLITE_TXN_WRITE) return true;
  }
  return false;
}

// SQLite's own busy time-out, with the same steps, except that a lock held
// by another connection of the calling thread ends the wait at once.
int Connection::busyWait(void* self, int attempts) {
  const Connection* conn = static_cast<const Connection*>(self);
  if (conn->blockedByOwnThread()) return 0;
  static constexpr int kDelays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
  constexpr int kSteps = static_cast<int>(sizeof kDelays / sizeof kDelays[0]);
  int waited = 0;
  int delay = 0;
  if (attempts < kSteps) {
    for (int i = 0; i < attempts; ++i) waited += kDelays[i];
    delay = kDelays[attempts];
  } else {
    for (int d : kDelays) waited += d;
    waited += (attempts - kSteps) * kDelays[kSteps - 1];
    delay = kDelays[kSteps - 1];
  }
  if (waited + delay > conn->m_busyTimeoutMs) {
    delay = conn->m_busyTimeoutMs - waited;
    if (delay <= 0) return 0;
  }
  sqlite3_sleep(delay);
  return 1;
}

int Connection::applySchema(std::string& detail) {
  std::vector<std::pair<std::string, std::string>> pending;
  {
    SchemaRegistry& r = schema();
    std::lock_guard<std::mutex> guard(r.mutex);
    if (schemaApplied >= r.statements.size()) return DB_OK;
    pending.assign(r.statements.begin() + static_cast<long>(schemaApplied), r.statements.end());
  }
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  size_t total = pending.size();
  // Objects that exist already need nothing, and finding that out takes no
  // write lock: a new connection must not wait for another thread's
  // transaction only to learn that the schema is complete.
  {
    DbRows existing;
    std::string why;
    if (run("SELECT lower(name) FROM sqlite_master", {}, &existing, why) == DB_OK) {
      std::set<std::string> names;
      for (const DbRow& row : existing) {
        if (!row.empty()) names.insert(row[0].s);
      }
      pending.erase(std::remove_if(pending.begin(), pending.end(),
                                   [&](const auto& entry) { return names.count(lower(entry.first)) > 0; }),
                    pending.end());
    }
  }
  if (pending.empty()) {
    schemaApplied += total;
    return DB_OK;
  }
  bool own = sqlite3_get_autocommit(m_db) != 0;
  if (own) {
    int rc = run("BEGIN IMMEDIATE", {}, nullptr, detail);
    if (rc != DB_OK) {
      EvDebug::Error("tkdb::Connection::applySchema", "cannot start the schema transaction (%d): %s", rc,
                     detail.c_str());
      return rc;
    }
  }
  for (const auto& [name, sql] : pending) {
    std::string why;
    int rc = run(sql, {}, nullptr, why);
    if (rc != DB_OK && rc != DB_NO_ROW) {
      EvDebug::Error("tkdb::Connection::applySchema", "the schema of [%s] was not created (%d): %s", name.c_str(), rc,
                     why.c_str());
    }
  }
  if (own) {
    int rc = run("COMMIT", {}, nullptr, detail);
    if (rc != DB_OK) {
      std::string ignored;
      run("ROLLBACK", {}, nullptr, ignored);
      EvDebug::Error("tkdb::Connection::applySchema", "cannot commit the schema (%d): %s", rc, detail.c_str());
      return rc;
    }
  }
  schemaApplied += total;
  return DB_OK;
}

// --- statements --------------------------------------------------------------------

namespace {

bool blankTail(const char* tail, const char* end) {
  for (const char* p = tail; p != nullptr && p < end; ++p) {
    if (std::isspace(static_cast<unsigned char>(*p)) == 0 && *p != ';') return false;
  }
  return true;
}

bool startsWithWord(const std::string& sql, const char* word) {
  size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])) != 0) ++i;
  size_t n = std::strlen(word);
  if (sql.size() - i < n) return false;
  for (size_t k = 0; k < n; ++k) {
    if (std::toupper(static_cast<unsigned char>(sql[i + k])) != word[k]) return false;
  }
  return true;
}

// Savepoint statements carry a name made for one transaction: keeping them
// would only push useful statements out of the cache.
bool worthKeeping(const std::string& sql) {
  return !startsWithWord(sql, "SAVEPOINT") && !startsWithWord(sql, "RELEASE") && !startsWithWord(sql, "ROLLBACK TO");
}

// Code of acquire() for a text of several statements (run() takes those
// one by one; nobody else accepts them).
constexpr int kSeveralStatements = -1;

}  // namespace

sqlite3_stmt* Connection::prepare(const char* sql, size_t size, unsigned flags, const char*& tail, int& code,
                                  std::string& detail) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(m_db, sql, static_cast<int>(size), flags, &stmt, &tail);
  if (rc != SQLITE_OK) {
    detail = scrubDetail(sqlite3_errmsg(m_db));
    if (stmt != nullptr) sqlite3_finalize(stmt);
    code = mapSqliteResult(rc);
    return nullptr;
  }
  code = DB_OK;
  return stmt;
}

sqlite3_stmt* Connection::acquire(const std::string& sql, bool& cached, int& code, std::string& detail) {
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  cached = false;
  auto found = m_cache.find(sql);
  if (found != m_cache.end() && !found->second.busy) {
    found->second.busy = true;
    found->second.lastUse = ++m_uses;
    cached = true;
    code = DB_OK;
    return found->second.stmt;
  }
  const bool keep = found == m_cache.end() && worthKeeping(sql);
  const char* tail = nullptr;
  sqlite3_stmt* stmt = prepare(sql.data(), sql.size(), keep ? SQLITE_PREPARE_PERSISTENT : 0, tail, code, detail);
  if (stmt == nullptr) {
    if (code == DB_OK) {
      code = DB_ERR_SQL;
      detail = "the text holds no statement";
    }
    return nullptr;
  }
  if (!blankTail(tail, sql.data() + sql.size())) {
    sqlite3_finalize(stmt);
    code = kSeveralStatements;
    detail = "the text holds more than one statement";
    return nullptr;
  }
  if (keep) {
    if (m_cache.size() >= kCacheSize) {
      auto oldest = m_cache.end();
      for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (!it->second.busy && (oldest == m_cache.end() || it->second.lastUse < oldest->second.lastUse)) oldest = it;
      }
      if (oldest != m_cache.end()) {
        sqlite3_finalize(oldest->second.stmt);
        m_cache.erase(oldest);
      }
    }
    if (m_cache.size() < kCacheSize) {
      m_cache.emplace(sql, Cached{stmt, true, ++m_uses});
      cached = true;
    }
  }
  return stmt;
}

void Connection::release(sqlite3_stmt* stmt, bool cached) {
  if (stmt == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  if (!cached) {
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  for (auto& entry : m_cache) {
    if (entry.second.stmt == stmt) {
      entry.second.busy = false;
      return;
    }
  }
  sqlite3_finalize(stmt);  // no longer known to the cache
}

void Connection::drainStreams() {
  std::vector<RowStream*> open;
  open.swap(m_streams);
  for (RowStream* stream : open) stream->drain();
}

int Connection::stepAll(sqlite3_stmt* stmt, const std::vector<DbValue>& params, size_t& nextParam, DbRows* rows,
                        bool& hadColumns, std::string& detail) {
  int columns = sqlite3_column_count(stmt);
  hadColumns = columns > 0;
  // Anything but a read: the open streams are read to their end first, so
  // that the change neither shows in a walk already under way nor waits
  // for it, and no statement is open when a transaction ends.
  if (!m_streams.empty() && !(columns > 0 && sqlite3_stmt_readonly(stmt) != 0)) drainStreams();
  int count = sqlite3_bind_parameter_count(stmt);
  for (int k = 1; k <= count; ++k) {
    bindValue(stmt, k, nextParam < params.size() ? params[nextParam] : DbValue());
    ++nextParam;
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (rows == nullptr) continue;
    rows->push_back(currentRow(stmt));
  }
  // A kept statement prepared again after a schema change may have other
  // columns than it had before its first step.
  hadColumns = sqlite3_column_count(stmt) > 0;
  if (rc != SQLITE_DONE) {
    detail = scrubDetail(sqlite3_errmsg(m_db));
    return mapSqliteResult(rc);
  }
  return DB_OK;
}

int Connection::run(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows, std::string& detail,
                    long long* lastInsertId, int* changes) {
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  size_t nextParam = 0;
  DbRows result;
  int before = sqlite3_total_changes(m_db);
  bool cached = false;
  int code = DB_OK;
  std::string why;
  sqlite3_stmt* single = acquire(sql, cached, code, why);
  if (single != nullptr) {
    bool hadColumns = false;
    code = stepAll(single, params, nextParam, rows != nullptr ? &result : nullptr, hadColumns, detail);
    release(single, cached);
    if (code != DB_OK) return code;
  } else if (code != kSeveralStatements) {
    detail = why;
    return code;
  } else {
    // A batch: each statement prepared for this one run.
    const char* tail = sql.c_str();
    const char* end = tail + sql.size();
    while (tail < end) {
      const char* next = nullptr;
      sqlite3_stmt* stmt = prepare(tail, static_cast<size_t>(end - tail), 0, next, code, detail);
      if (code != DB_OK) return code;
      tail = next != nullptr ? next : end;
      if (stmt == nullptr) continue;  // only blanks or a comment
      DbRows mine;
      bool hadColumns = false;
      code = stepAll(stmt, params, nextParam, rows != nullptr ? &mine : nullptr, hadColumns, detail);
      sqlite3_finalize(stmt);
      if (code != DB_OK) return code;
      if (hadColumns) result = std::move(mine);
    }
  }
  if (rows != nullptr) *rows = std::move(result);
  if (lastInsertId != nullptr) *lastInsertId = sqlite3_last_insert_rowid(m_db);
  if (changes != nullptr) *changes = sqlite3_total_changes(m_db) - before;
  return DB_OK;
}

// --- row streams -------------------------------------------------------------------

int RowStream::open(const std::shared_ptr<Connection>& conn, const std::string& sql,
                    const std::vector<DbValue>& params, std::string& detail) {
  close();
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  int code = DB_OK;
  bool cached = false;
  sqlite3_stmt* stmt = conn->acquire(sql, cached, code, detail);
  if (stmt == nullptr) return code == kSeveralStatements ? DB_ERR_SQL : code;
  for (int k = 1, count = sqlite3_bind_parameter_count(stmt); k <= count; ++k) {
    bindValue(stmt, k, static_cast<size_t>(k - 1) < params.size() ? params[static_cast<size_t>(k - 1)] : DbValue());
  }
  m_conn = conn;
  m_stmt = stmt;
  m_cached = cached;
  m_drained = false;
  m_rows.clear();
  m_nextRow = 0;
  m_endCode = DB_NO_ROW;
  m_endDetail.clear();
  conn->m_streams.push_back(this);
  return DB_OK;
}

int RowStream::next(std::string& detail) {
  m_current = nullptr;
  if (!m_conn) return DB_NO_ROW;
  std::lock_guard<std::recursive_mutex> guard(m_conn->mutex());
  if (m_drained) {
    if (m_nextRow < m_rows.size()) {
      m_current = &m_rows[m_nextRow++];
      return DB_OK;
    }
    detail = m_endDetail;
    return m_endCode;
  }
  if (m_stmt == nullptr) return DB_NO_ROW;
  int rc = sqlite3_step(m_stmt);
  if (rc == SQLITE_ROW) return DB_OK;
  // At the end (or failed): the statement goes back at once.
  int code = rc == SQLITE_DONE ? DB_NO_ROW : mapSqliteResult(rc);
  if (code != DB_NO_ROW) detail = scrubDetail(sqlite3_errmsg(m_conn->handle()));
  finish();
  m_drained = true;
  m_endCode = DB_NO_ROW;
  return code;
}

void RowStream::drain() {
  if (m_stmt == nullptr) return;
  int rc;
  while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) m_rows.push_back(currentRow(m_stmt));
  m_endCode = rc == SQLITE_DONE ? DB_NO_ROW : mapSqliteResult(rc);
  if (m_endCode != DB_NO_ROW) m_endDetail = scrubDetail(sqlite3_errmsg(m_conn->handle()));
  m_drained = true;
  finish();
}

void RowStream::finish() {
  if (!m_conn) return;
  std::vector<RowStream*>& open = m_conn->m_streams;
  open.erase(std::remove(open.begin(), open.end(), this), open.end());
  if (m_stmt != nullptr) m_conn->release(m_stmt, m_cached);
  m_stmt = nullptr;
}

void RowStream::close() {
  m_current = nullptr;
  if (!m_conn) return;
  std::shared_ptr<Connection> conn = m_conn;  // outlives the lock
  {
    std::lock_guard<std::recursive_mutex> guard(conn->mutex());
    finish();
    m_conn.reset();
  }
  m_rows.clear();
  m_nextRow = 0;
  m_drained = false;
}

// --- schema registry -------------------------------------------------------------

void registerSchema(const std::string& objectName, const std::string& createSql) {
  SchemaRegistry& r = schema();
  std::lock_guard<std::mutex> guard(r.mutex);
  if (!r.names.insert(lower(objectName)).second) return;
  r.statements.emplace_back(objectName, createSql);
}

std::vector<std::string> schemaStatements() {
  SchemaRegistry& r = schema();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::vector<std::string> out;
  for (const auto& s : r.statements) out.push_back(s.second);
  return out;
}

std::string schemaStatementFor(const std::string& objectName) {
  SchemaRegistry& r = schema();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::string key = lower(objectName);
  for (const auto& s : r.statements) {
    if (lower(s.first) == key) return s.second;
  }
  return std::string();
}

// --- procedure registry ------------------------------------------------------------

void registerProcedure(const std::string& name, ProcBody body) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.bodies[lower(name)] = std::move(body);
}

bool hasProcedure(const std::string& name) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.bodies.count(lower(name)) > 0;
}

void setProcedureOverride(const std::string& name, DbRows rows, int code, std::string text) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.overrides[lower(name)] = ProcOverride{std::move(rows), code, std::move(text)};
}

void clearProcedureOverrides() {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.overrides.clear();
}

bool lookupProcedure(const std::string& name, ProcLookup& out) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::string key = lower(name);
  auto ov = r.overrides.find(key);
  if (ov != r.overrides.end()) {
    out.overridden = true;
    out.rows = ov->second.rows;
    out.code = ov->second.code;
    out.text = ov->second.text;
    return true;
  }
  auto it = r.bodies.find(key);
  if (it == r.bodies.end()) return false;
  out.body = it->second;
  return true;
}

// --- sessions ----------------------------------------------------------------------

Session::Session(DBtran* tran) : m_tran(tran) {}
Session::~Session() = default;

int Session::connect() {
  if (m_tran != nullptr && m_tran->isOpen() && m_tran->isPrivate()) {
    // Only ever the private transaction's own connection.
    int code = DB_OK;
    m_conn = m_tran->privateConnection(code, m_error);
    if (!m_conn) return code != DB_OK ? code : DB_ERR_OPEN;
    m_conn->applySchema(m_error);
    return DB_OK;
  }
  if (m_tran != nullptr && m_tran->isOpen()) {
    m_conn = m_tran->openConnection();
    if (m_conn) {
      m_conn->applySchema(m_error);
      return DB_OK;
    }
  }
  int code = DB_OK;
  m_conn = Connection::forThread(code, m_error);
  return m_conn ? DB_OK : code;
}

int Session::exec(const std::string& sql, const std::vector<DbValue>& params) {
  DbRows ignored;
  return query(sql, params, ignored);
}

int Session::query(const std::string& sql, const std::vector<DbValue>& params, DbRows& rows) {
  rows.clear();
  m_error.clear();
  int code = DB_OK;
  std::string text;
  if (takeInjectedFailure("exec", code, text)) {
    m_error = text;
    return code;
  }
  code = connect();
  if (code != DB_OK) return code;
  if (journalOn()) journalCall("sql", {"", "exec", sql});
  code = m_conn->run(sql, params, &rows, m_error, &m_lastInsertId, &m_changes);
  if (code != DB_OK) {
    EvDebug::Error("tkdb::Session::exec", "[%s] failed (%d: %s): %s", maskLiterals(sql).c_str(), code,
                   DBtable::getErrorStr(code), m_error.c_str());
  }
  return code;
}

int Session::queryOne(const std::string& sql, const std::vector<DbValue>& params, DbRow& row) {
  DbRows rows;
  int code = query(sql, params, rows);
  if (code != DB_OK) return code;
  if (rows.empty()) return DB_NO_ROW;
  row = std::move(rows.front());
  return DB_OK;
}

int Session::atomically(const std::function<int()>& work) {
  int code = connect();
  if (code != DB_OK) return code;
  std::lock_guard<std::recursive_mutex> guard(m_conn->mutex());
  static std::atomic<unsigned> counter{0};
  bool nested = sqlite3_get_autocommit(m_conn->handle()) == 0;
  std::string name = "tk_work_" + std::to_string(counter.fetch_add(1));
  std::string begin = nested ? "SAVEPOINT " + name : "BEGIN IMMEDIATE";
  code = m_conn->run(begin, {}, nullptr, m_error);
  if (code != DB_OK) return DB_ERR_BEGIN;
  int result;
  try {
    result = work();
  } catch (...) {
    result = DB_ERR_PROC;
  }
  std::string ignored;
  if (result != DB_OK) {
    m_conn->run(nested ? "ROLLBACK TO " + name + "; RELEASE " + name : std::string("ROLLBACK"), {}, nullptr, ignored);
    return result;
  }
  code = m_conn->run(nested ? "RELEASE " + name : std::string("COMMIT"), {}, nullptr, m_error);
  if (code != DB_OK) {
    m_conn->run(nested ? "ROLLBACK TO " + name + "; RELEASE " + name : std::string("ROLLBACK"), {}, nullptr, ignored);
    return DB_ERR_COMMIT;
  }
  return DB_OK;
}

}  // namespace tkdb
