// Statements of a connection: the statement cache, run() and the row
// streams that step a SELECT as their reader asks for rows (the rules are
// in DBInternal.h).
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"

namespace tkdb {

namespace {

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

DbValue columnValue(sqlite3_stmt* stmt, int col) { return statementCell(stmt, col).value(); }

// The current row of a statement, read after its step (the columns are
// those of the statement as last prepared).
DbRow currentRow(sqlite3_stmt* stmt) {
  const int columns = sqlite3_column_count(stmt);
  DbRow row;
  row.reserve(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) row.push_back(columnValue(stmt, c));
  return row;
}



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
// would only push useful statements out of the cache. The savepoint of
// Session::atomically has one name for all, and is kept.
bool worthKeeping(const std::string& sql) {
  if (sql == kWorkSavepoint || sql == kWorkRelease) return true;
  return !startsWithWord(sql, "SAVEPOINT") && !startsWithWord(sql, "RELEASE") && !startsWithWord(sql, "ROLLBACK TO");
}

// A statement that only reads: a SELECT (transaction control reads as
// read-only to SQLite, but has no columns).
bool onlyReads(sqlite3_stmt* stmt) { return sqlite3_column_count(stmt) > 0 && sqlite3_stmt_readonly(stmt) != 0; }

// Code of acquire() for a text of several statements (run() takes those
// one by one; nobody else accepts them).
constexpr int kSeveralStatements = -1;
// Code of acquire() for a text of only blanks or comments (run() runs
// nothing for it and succeeds).
constexpr int kNoStatement = -2;

}  // namespace

sqlite3_stmt* Connection::prepare(const char* sql, size_t size, unsigned flags, const char*& tail, int& code,
                                  std::string& detail) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(m_db, sql, static_cast<int>(size), flags, &stmt, &tail);
  if (rc != SQLITE_OK) {
    detail = engineDetail(m_db);
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
      code = kNoStatement;
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
        m_byStatement.erase(oldest->second.stmt);
        sqlite3_finalize(oldest->second.stmt);
        m_cache.erase(oldest);
      }
    }
    if (m_cache.size() < kCacheSize) {
      Cached& entry = m_cache.emplace(sql, Cached{stmt, true, ++m_uses}).first->second;
      m_byStatement[stmt] = &entry;
      cached = true;
    }
  }
  return stmt;
}

void Connection::release(sqlite3_stmt* stmt, bool cached) {
  if (stmt == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  noteScannedRows(stmt);
  // A statement compiled again found the schema changed, by this
  // connection or another: the registered triggers are looked at again.
  const int recompiled = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (!cached) {
    if (recompiled > 0) schemaMoved = true;
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  auto found = m_byStatement.find(stmt);
  if (found != m_byStatement.end()) {
    found->second->busy = false;
    if (found->second->recompiled != recompiled) {
      found->second->recompiled = recompiled;
      schemaMoved = true;
    }
    return;
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
  if (!onlyReads(stmt)) {
    if (m_walks > 0) {
      detail = "a statement that is not a read ran while a walk of rows was under way";
      return DB_ERR_STATE;
    }
    if (!m_streams.empty()) drainStreams();
  }
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
    // A commit the held file's check turned into a roll-back (beforeCommit).
    if (rc == SQLITE_CONSTRAINT_COMMITHOOK && !m_commitRefusal.empty()) {
      detail = m_commitRefusal;
      return DB_ERR_IO;
    }
    detail = engineDetail(m_db);
    return mapSqliteResult(rc);
  }
  return DB_OK;
}

int Connection::run(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows, std::string& detail,
                    long long* lastInsertId, int* changes) {
  return runText(sql, params, rows, detail, lastInsertId, changes, true);
}

int Connection::runSingle(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows,
                          std::string& detail, int* changes) {
  return runText(sql, params, rows, detail, nullptr, changes, false);
}

int Connection::runText(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows,
                        std::string& detail, long long* lastInsertId, int* changes, bool batch) {
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
  } else if (code == kNoStatement) {
    // Nothing to run.
  } else if (code != kSeveralStatements) {
    detail = why;
    return code;
  } else if (!batch) {
    detail = why;
    return DB_ERR_SQL;
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
      noteScannedRows(stmt);
      if (sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0) > 0) schemaMoved = true;
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

int RowView::count() const {
  return m_count >= 0 ? m_count : sqlite3_column_count(static_cast<sqlite3_stmt*>(m_stmt));
}

StatementMark RowView::mark() const {
  auto* stmt = static_cast<sqlite3_stmt*>(m_stmt);
  return StatementMark{m_stmt, sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0),
                       sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_RUN, 0)};
}

// The column count is read where it is known rather than through count():
// a call between the library's own exported functions goes through its
// symbol table, for every cell of every row.
DbCell RowView::at(int column) const {
  auto* stmt = static_cast<sqlite3_stmt*>(m_stmt);
  const int columns = m_count >= 0 ? m_count : sqlite3_column_count(stmt);
  if (column < 0 || column >= columns) return DbCell();
  return statementCell(stmt, column);
}

int RowView::read(DbCell* cells, int max) const {
  auto* stmt = static_cast<sqlite3_stmt*>(m_stmt);
  const int n = std::min(m_count >= 0 ? m_count : sqlite3_column_count(stmt), max);
  for (int c = 0; c < n; ++c) cells[c] = statementCell(stmt, c);
  return n < 0 ? 0 : n;
}

int RowView::read(DbCell* cells, int max, std::uint64_t skip) const {
  auto* stmt = static_cast<sqlite3_stmt*>(m_stmt);
  const int n = std::min(m_count >= 0 ? m_count : sqlite3_column_count(stmt), max);
  for (int c = 0; c < n; ++c)
    if (c >= 64 || ((skip >> c) & 1u) == 0) cells[c] = statementCell(stmt, c);
  return n < 0 ? 0 : n;
}

int Connection::runEach(const std::string& sql, const std::vector<DbValue>& params, const RowVisitor& visit,
                        std::string& detail) {
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  bool cached = false;
  int code = DB_OK;
  sqlite3_stmt* stmt = acquire(sql, cached, code, detail);
  if (stmt == nullptr) return code == kSeveralStatements || code == kNoStatement ? DB_ERR_SQL : code;
  // The statement goes back and the walk ends however the visitor leaves.
  struct Walk {
    Connection& conn;
    sqlite3_stmt* stmt;
    bool cached;
    Walk(Connection& c, sqlite3_stmt* s, bool k) : conn(c), stmt(s), cached(k) { ++conn.m_walks; }
    ~Walk() {
      --conn.m_walks;
      conn.release(stmt, cached);
    }
  } walk(*this, stmt, cached);
  if (!onlyReads(stmt)) {
    if (m_walks > 1) {
      detail = "a statement that is not a read ran while a walk of rows was under way";
      return DB_ERR_STATE;
    }
    if (!m_streams.empty()) drainStreams();
  }
  for (int k = 1, count = sqlite3_bind_parameter_count(stmt); k <= count; ++k) {
    bindValue(stmt, k, static_cast<size_t>(k - 1) < params.size() ? params[static_cast<size_t>(k - 1)] : DbValue());
  }
  // The columns are those of the statement as its first step left it (a
  // kept statement is prepared again after a schema change).
  int columns = -1;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (columns < 0) columns = sqlite3_column_count(stmt);
    int result = visit(RowView(stmt, columns));
    if (result != DB_OK) return result;
  }
  if (rc != SQLITE_DONE) {
    // A commit the held file's check turned into a roll-back (beforeCommit).
    if (rc == SQLITE_CONSTRAINT_COMMITHOOK && !m_commitRefusal.empty()) {
      detail = m_commitRefusal;
      return DB_ERR_IO;
    }
    detail = engineDetail(m_db);
    return mapSqliteResult(rc);
  }
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
  if (stmt == nullptr) return code == kSeveralStatements || code == kNoStatement ? DB_ERR_SQL : code;
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
  if (code != DB_NO_ROW) detail = engineDetail(m_conn->handle());
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
  if (m_endCode != DB_NO_ROW) m_endDetail = engineDetail(m_conn->handle());
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

}  // namespace tkdb
