// Sessions: the platform's own direct access to the central database, on
// the connection and in the transaction rules of the bindings.

#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"
#include "platform/db/SqlText.h"
#include "platform/debuglog/EvDebug.h"

namespace tkdb {

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

int Session::prologue(const std::string& sql) {
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
  return DB_OK;
}

int Session::query(const std::string& sql, const std::vector<DbValue>& params, DbRows& rows) {
  rows.clear();
  int code = prologue(sql);
  if (code != DB_OK) return code;
  code = m_conn->run(sql, params, &rows, m_error, &m_lastInsertId, &m_changes);
  if (code != DB_OK) {
    EvDebug::Error("tkdb::Session::exec", "[%s] failed (%d: %s): %s", maskLiterals(sql).c_str(), code,
                   DBtable::getErrorStr(code), m_error.c_str());
  }
  return code;
}

int Session::each(const std::string& sql, const std::vector<DbValue>& params, const RowVisitor& visit) {
  int code = prologue(sql);
  if (code != DB_OK) return code;
  code = m_conn->runEach(sql, params, visit, m_error);
  if (code != DB_OK && !m_error.empty()) {
    EvDebug::Error("tkdb::Session::each", "[%s] failed (%d: %s): %s", maskLiterals(sql).c_str(), code,
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
  if (sqlite3_get_autocommit(m_conn->handle()) != 0) return enclosed("BEGIN IMMEDIATE", "COMMIT", "ROLLBACK", work);
  // One name for every such savepoint: they nest strictly (each ends
  // before the call that made it returns), and a name releases or rolls
  // back the newest savepoint that carries it, so the same two statements
  // serve every change and stay prepared in the connection's cache.
  return enclosed(kWorkSavepoint, kWorkRelease, kWorkUndo, work);
}

int Session::reading(const std::function<int()>& work) {
  int code = connect();
  if (code != DB_OK) return code;
  std::lock_guard<std::recursive_mutex> guard(m_conn->mutex());
  if (sqlite3_get_autocommit(m_conn->handle()) == 0) return work();
  return enclosed("BEGIN DEFERRED", "COMMIT", "ROLLBACK", work);
}

int Session::enclosed(const std::string& begin, const std::string& end, const std::string& undo,
                      const std::function<int()>& work) {
  if (m_conn->run(begin, {}, nullptr, m_error) != DB_OK) return DB_ERR_BEGIN;
  int result;
  try {
    result = work();
  } catch (...) {
    result = DB_ERR_PROC;
  }
  std::string ignored;
  if (result != DB_OK) {
    m_conn->run(undo, {}, nullptr, ignored);
    return result;
  }
  if (m_conn->run(end, {}, nullptr, m_error) != DB_OK) {
    m_conn->run(undo, {}, nullptr, ignored);
    return DB_ERR_COMMIT;
  }
  return DB_OK;
}

}  // namespace tkdb
