// DBtran: transactions on the thread's connection. The outermost one takes
// the write lock at once (BEGIN IMMEDIATE), so a transaction that reads and
// then writes never fails on a stale snapshot; one started while another is
// open on the same connection nests in it as a savepoint.
#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace {

std::string savepointName() {
  static std::atomic<unsigned long> counter{0};
  return "tk_tran_" + std::to_string(counter.fetch_add(1) + 1);
}

}  // namespace

DBtran::DBtran(bool startNow) : DBtable("", 0, nullptr) {
  m_kind = 0;
  if (startNow) startTran();
}

DBtran::~DBtran() {
  if (isOpen()) rollbackTran();
  std::lock_guard<std::mutex> guard(m_objectsMutex);
  for (DBtable* object : m_attached) object->m_tran = nullptr;
  m_attached.clear();
  m_registered.clear();
}

std::shared_ptr<tkdb::Connection> DBtran::openConnection() const { return isOpen() ? m_conn : nullptr; }

int DBtran::startTran() {
  if (isOpen()) return DB_ERR_TRAN_OPEN;
  m_failureDetail.clear();
  if (m_private) return startPrivate();
  int code = DB_OK;
  std::string detail;
  if (tkdb::takeInjectedFailure("startTran", code, detail)) {
    EvDebug::Error("DBtran::startTran", "the transaction was not started (%d): %s", code, detail.c_str());
    m_failureDetail = detail;
    return code;
  }
  std::shared_ptr<tkdb::Connection> conn = tkdb::Connection::forThread(code, detail);
  if (!conn) {
    EvDebug::Error("DBtran::startTran", "no connection (%d: %s): %s", code, getErrorStr(code), detail.c_str());
    m_failureDetail = detail;
    return DB_ERR_BEGIN;
  }
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  bool nested = sqlite3_get_autocommit(conn->handle()) == 0;
  std::string savepoint = nested ? savepointName() : std::string();
  code = conn->run(nested ? "SAVEPOINT " + savepoint : std::string("BEGIN IMMEDIATE"), {}, nullptr, detail);
  if (code != DB_OK) {
    EvDebug::Error("DBtran::startTran", "the transaction was not started (%d: %s): %s", code, getErrorStr(code),
                   detail.c_str());
    m_failureDetail = detail;
    return DB_ERR_BEGIN;
  }
  m_savepoint = savepoint;
  m_schemaAtStart = conn->schemaApplied;
  conn->trans.push_back(this);
  m_conn = conn;
  m_state |= kStateOpen;
  if (tkdb::journalOn()) tkdb::journalCall("startTran", {nested ? "savepoint" : "begin"});
  return DB_OK;
}

// Takes this transaction and every one opened after it on the connection
// off the list; the later ones end with it.
void DBtran::endOnConnection() {
  std::shared_ptr<tkdb::Connection> conn = m_conn;
  auto it = std::find(conn->trans.begin(), conn->trans.end(), this);
  if (it != conn->trans.end()) {
    std::vector<DBtran*> inner(it + 1, conn->trans.end());
    conn->trans.erase(it, conn->trans.end());
    for (DBtran* t : inner) t->orphan();
  }
  m_state &= ~kStateOpen;
  m_savepoint.clear();
  m_conn.reset();
}

void DBtran::orphan() {
  m_state &= ~kStateOpen;
  m_savepoint.clear();
  m_conn.reset();
}

int DBtran::commitTran(int /*flags*/) {
  if (!isOpen()) return DB_ERR_NO_TRAN;
  m_failureDetail.clear();
  if (m_private) return endPrivate(true);
  int code = DB_OK;
  std::string detail;
  if (tkdb::takeInjectedFailure("commitTran", code, detail)) {
    EvDebug::Error("DBtran::commitTran", "the transaction was not committed (%d): %s", code, detail.c_str());
    m_failureDetail = detail;
    return code;
  }
  std::shared_ptr<tkdb::Connection> conn = m_conn;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  conn->drainStreams();
  code = conn->run(m_savepoint.empty() ? std::string("COMMIT") : "RELEASE " + m_savepoint, {}, nullptr, detail);
  if (code != DB_OK) {
    // Still open: the caller may roll back (the destructor will).
    EvDebug::Error("DBtran::commitTran", "the transaction was not committed (%d: %s): %s", code, getErrorStr(code),
                   detail.c_str());
    m_failureDetail = detail;
    return DB_ERR_COMMIT;
  }
  if (tkdb::journalOn()) tkdb::journalCall("commitTran", {m_savepoint.empty() ? "commit" : "release"});
  endOnConnection();
  return DB_OK;
}

int DBtran::rollbackTran() {
  if (!isOpen()) return DB_ERR_NO_TRAN;
  m_failureDetail.clear();
  if (m_private) return endPrivate(false);
  int code = DB_OK;
  std::string detail;
  if (tkdb::takeInjectedFailure("rollbackTran", code, detail)) {
    EvDebug::Error("DBtran::rollbackTran", "the transaction was not rolled back (%d): %s", code, detail.c_str());
    m_failureDetail = detail;
    return code;
  }
  std::shared_ptr<tkdb::Connection> conn = m_conn;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  conn->drainStreams();
  if (m_savepoint.empty()) {
    // SQLite may already have rolled back on its own after a failure.
    code = sqlite3_get_autocommit(conn->handle()) != 0 ? DB_OK : conn->run("ROLLBACK", {}, nullptr, detail);
  } else {
    code = conn->run("ROLLBACK TO " + m_savepoint + "; RELEASE " + m_savepoint, {}, nullptr, detail);
  }
  if (code != DB_OK) {
    EvDebug::Error("DBtran::rollbackTran", "the transaction was not rolled back (%d: %s): %s", code,
                   getErrorStr(code), detail.c_str());
    m_failureDetail = detail;
    return DB_ERR_ROLLBACK;
  }
  // Schema statements applied inside the transaction went with it.
  conn->schemaApplied = std::min(conn->schemaApplied, m_schemaAtStart);
  if (tkdb::journalOn()) {
    tkdb::journalCall("rollbackTran", {m_savepoint.empty() ? "rollback" : "rollback to savepoint"});
  }
  endOnConnection();
  return DB_OK;
}

void DBtran::addObject(DBtable* object) {
  if (tkdb::addObjectThrows()) throw std::runtime_error("addObject refused by the test");
  std::lock_guard<std::mutex> guard(m_objectsMutex);
  if (std::find(m_registered.begin(), m_registered.end(), object) == m_registered.end()) {
    m_registered.push_back(object);
  }
  if (tkdb::journalOn()) tkdb::journalCall("addObject", {object != nullptr ? object->getObjectName() : std::string()});
}

std::vector<DBtable*> DBtran::registeredObjects() const {
  std::lock_guard<std::mutex> guard(m_objectsMutex);
  return m_registered;
}

void DBtran::attach(DBtable* object) {
  std::lock_guard<std::mutex> guard(m_objectsMutex);
  m_attached.push_back(object);
}

void DBtran::detach(DBtable* object) {
  std::lock_guard<std::mutex> guard(m_objectsMutex);
  m_attached.erase(std::remove(m_attached.begin(), m_attached.end(), object), m_attached.end());
  m_registered.erase(std::remove(m_registered.begin(), m_registered.end(), object), m_registered.end());
}

// --- private transactions ----------------------------------------------------------

int DBtran::makePrivate() {
  if (isOpen()) return DB_ERR_TRAN_OPEN;
  m_private = true;
  return DB_OK;
}

int DBtran::startPrivate() {
  int code = DB_OK;
  std::string detail;
  if (tkdb::takeInjectedFailure("startPrivateTran", code, detail)) {
    EvDebug::Error("DBtran::startTran", "the private transaction was not started (%d): %s", code, detail.c_str());
    m_failureDetail = detail;
    return code;
  }
  // Deferred: the connection opens and begins at the first statement.
  m_savepoint.clear();
  m_conn.reset();
  m_state |= kStateOpen;
  if (tkdb::journalOn()) tkdb::journalCall("startPrivateTran", {"deferred"});
  return DB_OK;
}

std::shared_ptr<tkdb::Connection> DBtran::privateConnection(int& code, std::string& detail) {
  code = DB_OK;
  if (!isOpen()) {
    code = DB_ERR_NO_TRAN;
    return nullptr;
  }
  if (m_conn) return m_conn;
  std::shared_ptr<tkdb::Connection> conn = tkdb::Connection::forPrivate(code, detail);
  if (!conn) {
    EvDebug::Error("DBtran::privateConnection", "no connection (%d: %s): %s", code, getErrorStr(code),
                   detail.c_str());
    if (code == DB_OK) code = DB_ERR_OPEN;
    return nullptr;
  }
  {
    std::lock_guard<std::recursive_mutex> guard(conn->mutex());
    code = conn->run("BEGIN DEFERRED", {}, nullptr, detail);
    if (code == DB_OK) {
      m_schemaAtStart = conn->schemaApplied;
      conn->trans.push_back(this);
      m_conn = conn;
      return conn;
    }
  }
  EvDebug::Error("DBtran::privateConnection", "the private transaction did not begin (%d: %s): %s", code,
                 getErrorStr(code), detail.c_str());
  tkdb::Connection::releasePrivate(std::move(conn));
  code = DB_ERR_BEGIN;
  return nullptr;
}

int DBtran::endPrivate(bool commit) {
  const char* call = commit ? "commitPrivateTran" : "rollbackPrivateTran";
  const char* tag = commit ? "DBtran::commitTran" : "DBtran::rollbackTran";
  int code = DB_OK;
  std::string detail;
  if (tkdb::takeInjectedFailure(call, code, detail)) {
    EvDebug::Error(tag, "the private transaction did not end (%d): %s", code, detail.c_str());
    m_failureDetail = detail;
    return code;
  }
  std::shared_ptr<tkdb::Connection> conn = m_conn;
  if (!conn) {
    // Never used: nothing was begun on any database.
    m_state &= ~kStateOpen;
    if (tkdb::journalOn()) tkdb::journalCall(call, {"unused"});
    return DB_OK;
  }
  {
    std::lock_guard<std::recursive_mutex> guard(conn->mutex());
    conn->drainStreams();
    if (commit) {
      code = conn->run("COMMIT", {}, nullptr, detail);
      if (code != DB_OK) {
        // Still open: the caller may roll back (the destructor will).
        EvDebug::Error(tag, "the private transaction was not committed (%d: %s): %s", code, getErrorStr(code),
                       detail.c_str());
        m_failureDetail = detail;
        return DB_ERR_COMMIT;
      }
    } else {
      code = sqlite3_get_autocommit(conn->handle()) != 0 ? DB_OK : conn->run("ROLLBACK", {}, nullptr, detail);
      if (code != DB_OK) {
        EvDebug::Error(tag, "the private transaction was not rolled back (%d: %s): %s", code, getErrorStr(code),
                       detail.c_str());
        m_failureDetail = detail;
        return DB_ERR_ROLLBACK;
      }
      conn->schemaApplied = std::min(conn->schemaApplied, m_schemaAtStart);
    }
    if (tkdb::journalOn()) tkdb::journalCall(call, {commit ? "commit" : "rollback"});
    endOnConnection();
  }
  tkdb::Connection::releasePrivate(std::move(conn));
  return DB_OK;
}
