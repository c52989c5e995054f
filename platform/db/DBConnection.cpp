// Connections (one per thread, private ones, the busy wait, the schema
// applied on open) and the schema and procedure registries of the database
// engine. Statements and row streams are in DBStatements.cpp, sessions in
// DBSession.cpp, the test controls in DBTestControls.cpp.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <utility>

#include "platform/db/DBInternal.h"
#include "platform/db/DBtable.h"
#include "platform/db/SqlText.h"
#include "platform/debuglog/EvDebug.h"

namespace tkdb {

namespace {

struct SchemaRegistry {
  std::mutex mutex;
  std::vector<std::pair<std::string, std::string>> statements;  // name, CREATE
  std::set<std::string> names;                                  // lower-case
  // statements.size(), readable without the lock: every statement of every
  // session asks whether its connection has the whole schema.
  std::atomic<size_t> count{0};
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

// Every connection the thread opened or took over, for the busy handler
// (declared first: it goes after the connections when the thread ends).
thread_local std::vector<std::weak_ptr<Connection>> t_opened;

// The thread's connection. When the thread ends, the connection is offered
// to the next thread instead of being closed (Connection::threadEnded).
struct ThreadConnection {
  std::shared_ptr<Connection> conn;
  ~ThreadConnection() { Connection::threadEnded(std::move(conn)); }
};
thread_local ThreadConnection t_thread;
// The idle connection of the thread's last private transaction.
thread_local std::shared_ptr<Connection> t_privateIdle;

// A commit of the thread's since takeCommitted last asked.
thread_local bool t_committed = false;

// Connections of threads that ended, idle, for the threads that come next.
// The host serves each console connection on a thread of its own and
// tkconsole makes a connection per command: a thread that opened its own
// database connection paid for the open, SQLite's reading of the schema,
// the schema check and every statement's compilation again, and the
// closing at its end handed the connection's memory back, which the next
// thread then faulted in again: a one-shot command cost twice what the
// same request costs on a kept connection. A kept connection holds no
// transaction and no snapshot: its next statement reads the database as it
// is then, whoever changed it. At most kIdleConnections are kept (each
// holds its descriptors and page cache); the generation and the path are
// checked when one is taken, as for a thread's own.
constexpr size_t kIdleConnections = 2;

struct IdleConnections {
  std::mutex mutex;
  std::vector<std::shared_ptr<Connection>> idle;
  bool closed = false;  // the process is ending: nothing is kept any more
};

IdleConnections& idleConnections() {
  static IdleConnections* pool = new IdleConnections();  // lives through static destruction
  // Closes the kept connections when the process ends (threads that end
  // after it close their own).
  static struct Closer {
    ~Closer() {
      std::vector<std::shared_ptr<Connection>> idle;
      {
        std::lock_guard<std::mutex> guard(pool->mutex);
        pool->closed = true;
        idle.swap(pool->idle);
      }
    }
  } closer;
  return *pool;
}

// A kept connection of the database at `path` and the current generation,
// or null.
std::shared_ptr<Connection> takeIdle(const std::string& path, uint64_t generation,
                                     uint64_t (*generationOf)(const Connection&)) {
  IdleConnections& pool = idleConnections();
  std::shared_ptr<Connection> taken;
  std::vector<std::shared_ptr<Connection>> stale;  // closed outside the lock
  {
    std::lock_guard<std::mutex> guard(pool.mutex);
    while (!pool.idle.empty() && !taken) {
      std::shared_ptr<Connection> conn = std::move(pool.idle.back());
      pool.idle.pop_back();
      if (generationOf(*conn) == generation && conn->path() == path)
        taken = std::move(conn);
      else
        stale.push_back(std::move(conn));
    }
  }
  return taken;
}

void noteOpened(const std::shared_ptr<Connection>& conn) {
  t_opened.erase(std::remove_if(t_opened.begin(), t_opened.end(), [](const auto& w) { return w.expired(); }),
                 t_opened.end());
  t_opened.push_back(conn);
}

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

std::string engineDetail(sqlite3* db) {
  // Read first: the engine does not always keep the system's reason for a
  // failed write (sqlite3_system_errno may be 0), but errno still holds it
  // right after the step. Only the reasons a write of the file can have
  // are named, so that an errno left from elsewhere never is.
  const int lastErrno = errno;
  if (db == nullptr) return std::string();
  std::string detail = scrubDetail(sqlite3_errmsg(db));
  const int code = sqlite3_errcode(db) & 0xFF;
  if (code != SQLITE_IOERR && code != SQLITE_FULL) return detail;
  int system = sqlite3_system_errno(db);
  if (system == 0 && (lastErrno == EFBIG || lastErrno == ENOSPC || lastErrno == EDQUOT || lastErrno == EIO))
    system = lastErrno;
  if (system != 0) detail += std::string(": ") + std::strerror(system);
  return detail;
}

// --- connections -----------------------------------------------------------------

namespace {

const char* databasePathText() {
  const char* env = std::getenv("TK_DB");
  if (env != nullptr && *env != '\0') return env;
  return "var/tarnkeep.db";
}

// The database file held by holdDatabaseFile: its path and the device and
// inode it had then. Set and cleared while no other thread uses the
// database (the host's start, a test's), read at every commit of a
// connection of that path and every request of the host.
struct HeldFile {
  std::atomic<bool> held{false};
  std::mutex mutex;
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
};

HeldFile& heldFile() {
  static HeldFile* h = new HeldFile();  // lives through static destruction
  return *h;
}

// Whether the connections of `path` open the held file.
bool heldPath(const std::string& path) {
  HeldFile& h = heldFile();
  if (!h.held.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> guard(h.mutex);
  return h.held.load(std::memory_order_relaxed) && h.path == path;
}

// Empty while `path` is not the held file's, or the held file is still at
// it; otherwise why nothing may be done on it. One stat of the path.
std::string heldFileRefusal(const std::string* path) {
  HeldFile& h = heldFile();
  if (!h.held.load(std::memory_order_acquire)) return std::string();
  std::string held;
  dev_t device;
  ino_t inode;
  {
    std::lock_guard<std::mutex> guard(h.mutex);
    if (!h.held.load(std::memory_order_relaxed) || (path != nullptr && *path != h.path)) return std::string();
    held = h.path;
    device = h.device;
    inode = h.inode;
  }
  struct stat now{};
  if (::stat(held.c_str(), &now) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR)
      return "The database file [" + held + "] was removed while the host ran; nothing was changed.";
    return "The database file [" + held + "] cannot be looked at (" + std::strerror(error) +
           "); nothing was changed.";
  }
  if (now.st_dev != device || now.st_ino != inode)
    return "The database file [" + held + "] was replaced by another file while the host ran; nothing was changed.";
  return std::string();
}

}  // namespace

std::string currentDatabasePath() { return databasePathText(); }

bool holdDatabaseFile(std::string& error) {
  const std::string path = currentDatabasePath();
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) {
    error = "cannot look at the database " + path + ": " + std::strerror(errno);
    return false;
  }
  HeldFile& h = heldFile();
  {
    std::lock_guard<std::mutex> guard(h.mutex);
    h.path = path;
    h.device = st.st_dev;
    h.inode = st.st_ino;
    h.held.store(true, std::memory_order_release);
  }
  // Connections opened before have no check: each opens again.
  Connection::bumpGeneration();
  return true;
}

void releaseDatabaseFile() {
  HeldFile& h = heldFile();
  {
    std::lock_guard<std::mutex> guard(h.mutex);
    h.held.store(false, std::memory_order_release);
    h.path.clear();
  }
  Connection::bumpGeneration();
}

std::string databaseFileRefusal() { return heldFileRefusal(nullptr); }

int Connection::beforeCommit(void* self) {
  Connection* conn = static_cast<Connection*>(self);
  conn->m_commitRefusal = heldFileRefusal(&conn->m_path);
  if (!conn->m_commitRefusal.empty()) return 1;  // rolled back instead
  t_committed = true;
  return journalOn() ? noteCommit(conn->m_db) : 0;
}

bool takeCommitted() { return std::exchange(t_committed, false); }

Connection::~Connection() {
  for (auto& entry : m_cache) sqlite3_finalize(entry.second.stmt);
  m_cache.clear();
  if (m_db != nullptr) sqlite3_close_v2(m_db);
  m_db = nullptr;
}

std::shared_ptr<Connection> Connection::open(const std::string& path, int& code, std::string& detail) {
  // A held file is never made again, nor its directory: a connection
  // opened after it was removed fails, and one that finds another file at
  // its path is refused before it reads anything of it.
  const bool held = heldPath(path);
  code = held ? DB_OK : makeParentDirectory(path, detail);
  if (code != DB_OK) return nullptr;
  std::shared_ptr<Connection> conn(new Connection());
  conn->m_path = path;
  conn->m_generation = g_generation.load(std::memory_order_acquire);
  // Every use of the handle (statements, steps, the reading of a row,
  // errmsg) happens under the connection's own mutex, and a connection
  // belongs to one thread (or one transaction) anyway: SQLite's own mutex
  // would only be taken a second time for nothing on every call.
  int rc = sqlite3_open_v2(path.c_str(), &conn->m_db,
                           SQLITE_OPEN_READWRITE | (held ? 0 : SQLITE_OPEN_CREATE) | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    detail = conn->m_db != nullptr ? engineDetail(conn->m_db) : scrubDetail(sqlite3_errstr(rc));
    if (held) {
      std::string refusal = heldFileRefusal(&path);
      if (!refusal.empty()) detail = std::move(refusal);
    }
    code = DB_ERR_OPEN;
    return nullptr;
  }
  if (held) {
    std::string refusal = heldFileRefusal(&path);
    if (!refusal.empty()) {
      detail = std::move(refusal);
      code = DB_ERR_OPEN;
      return nullptr;
    }
  }
  sqlite3_extended_result_codes(conn->m_db, 1);
  // Waits for a lock up to the busy time-out, but never for one that
  // another connection of this thread holds.
  conn->m_busyTimeoutMs = busyTimeoutMs();
  sqlite3_busy_handler(conn->m_db, &Connection::busyWait, conn.get());
  noteOpened(conn);
  noteConnectionOpened(conn->m_db);
  if (held) sqlite3_commit_hook(conn->m_db, &Connection::beforeCommit, conn.get());
  // WAL keeps readers and the one writer out of each other's way; FULL
  // syncs every commit (configuration must not be lost). Temporary storage
  // stays in memory: a savepoint inside a transaction (tkdb::Session::
  // atomically in a store step) keeps the pages it may have to undo in a
  // sub-journal, which otherwise spills to a temporary file made and
  // unlinked for each change once it passes 64 KiB, and a configuration's
  // sorts and temporary tables are small.
  //
  // Turning a new database file to WAL writes it in the old journal mode,
  // where a connection that holds a read lock and wants the write lock is
  // refused at once instead of waiting (two such would deadlock). When
  // several connections open a new file at the same time, any of them may
  // be refused that way: it waits as the busy handler would and tries again.
  const std::string setup =
      "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; PRAGMA temp_store=MEMORY;";
  code = conn->run(setup, {}, nullptr, detail);
  for (int attempt = 0; code == DB_ERR_BUSY && busyWait(conn.get(), attempt) != 0; ++attempt) {
    code = conn->run(setup, {}, nullptr, detail);
  }
  if (code != DB_OK && code != DB_NO_ROW) {
    code = DB_ERR_OPEN;
    return nullptr;
  }
  code = DB_OK;
  return conn;
}

std::shared_ptr<Connection> Connection::forThread(int& code, std::string& detail) {
  code = DB_OK;
  const char* path = databasePathText();
  std::shared_ptr<Connection>& conn = t_thread.conn;
  if (conn) {
    bool current = conn->m_generation == g_generation.load(std::memory_order_acquire) && conn->m_path == path;
    if (!current) {
      bool busy;
      {
        std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
        busy = !conn->trans.empty() || sqlite3_get_autocommit(conn->m_db) == 0;
      }
      // A connection with an open transaction stays until the transaction ends.
      if (!busy) conn.reset();
    }
  }
  if (!conn) {
    conn = takeIdle(path, g_generation.load(std::memory_order_acquire),
                    [](const Connection& c) { return c.m_generation; });
    if (conn) noteOpened(conn);
  }
  if (!conn) {
    conn = open(path, code, detail);
    if (!conn) {
      EvDebug::Error("tkdb::Connection::forThread", "cannot open the database [%s] (%d: %s): %s", path, code,
                     DBtable::getErrorStr(code), detail.c_str());
      return nullptr;
    }
  }
  code = conn->applySchema(detail);
  return conn;
}

void Connection::closeThreadConnection() {
  t_privateIdle.reset();
  std::shared_ptr<Connection>& conn = t_thread.conn;
  if (!conn) return;
  bool idle;
  {
    std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
    idle = conn->trans.empty() && sqlite3_get_autocommit(conn->m_db) != 0;
  }
  if (idle) conn.reset();
}

void Connection::threadEnded(std::shared_ptr<Connection> conn) {
  if (!conn || conn.use_count() != 1 || conn->m_db == nullptr) return;  // closed here, or by its last holder
  {
    std::lock_guard<std::recursive_mutex> guard(conn->m_mutex);
    const bool idle = conn->trans.empty() && sqlite3_get_autocommit(conn->m_db) != 0 && conn->m_walks == 0 &&
                      conn->m_streams.empty();
    if (!idle || conn->m_generation != g_generation.load(std::memory_order_acquire)) return;
  }
  IdleConnections& pool = idleConnections();
  std::lock_guard<std::mutex> guard(pool.mutex);
  if (pool.closed || pool.idle.size() >= kIdleConnections) return;
  pool.idle.push_back(std::move(conn));
}

bool threadTransactionOpen() {
  const std::shared_ptr<Connection>& conn = t_thread.conn;
  if (!conn || conn->handle() == nullptr) return false;
  std::lock_guard<std::recursive_mutex> guard(conn->mutex());
  return !conn->trans.empty() || sqlite3_get_autocommit(conn->handle()) == 0;
}

void Connection::bumpGeneration() {
  g_generation.fetch_add(1, std::memory_order_acq_rel);
  // Kept connections would not be taken any more: closed now.
  std::vector<std::shared_ptr<Connection>> stale;
  IdleConnections& pool = idleConnections();
  std::lock_guard<std::mutex> guard(pool.mutex);
  stale.swap(pool.idle);
}

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
  noteBusyWait();
  sqlite3_sleep(delay);
  return 1;
}

int Connection::applySchema(std::string& detail) {
  runLateRegistrars();
  const int code = applyPendingSchema(detail);
  if (code == DB_OK && schemaMoved) keepTriggersInPlace(*this);
  return code;
}

int Connection::applyPendingSchema(std::string& detail) {
  std::vector<std::pair<std::string, std::string>> pending;
  {
    SchemaRegistry& r = schema();
    if (schemaApplied >= r.count.load(std::memory_order_acquire)) return DB_OK;
    std::lock_guard<std::mutex> guard(r.mutex);
    if (schemaApplied >= r.statements.size()) return DB_OK;
    pending.assign(r.statements.begin() + static_cast<long>(schemaApplied), r.statements.end());
  }
  std::lock_guard<std::recursive_mutex> guard(m_mutex);
  size_t total = pending.size();
  const std::vector<std::pair<std::string, std::string>> slice = pending;
  // The names of the objects the database has (lower case); false when
  // they cannot be read.
  auto existingNames = [this](std::set<std::string>& names) {
    DbRows existing;
    std::string why;
    if (run("SELECT lower(name) FROM sqlite_master", {}, &existing, why) != DB_OK) return false;
    for (const DbRow& row : existing) {
      if (!row.empty()) names.insert(row[0].s);
    }
    return true;
  };
  // Objects that exist already need nothing, and finding that out takes no
  // write lock: a new connection must not wait for another thread's
  // transaction only to learn that the schema is complete.
  {
    std::set<std::string> names;
    if (existingNames(names)) {
      pending.erase(std::remove_if(pending.begin(), pending.end(),
                                   [&](const auto& entry) { return names.count(lowerName(entry.first)) > 0; }),
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
  // A statement that rebuilds a table drops the objects on it (indexes,
  // triggers) that existed already: they are made again here, in the same
  // transaction.
  {
    std::set<std::string> names;
    std::string why;
    if (existingNames(names)) {
      for (const auto& object : slice) {
        const std::string& name = object.first;
        const bool ran = std::any_of(pending.begin(), pending.end(), [&](const auto& p) { return p.first == name; });
        if (ran || names.count(lowerName(name)) > 0) continue;
        run(object.second, {}, nullptr, why);
      }
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

// --- schema registry -------------------------------------------------------------

void registerSchema(const std::string& objectName, const std::string& createSql) {
  SchemaRegistry& r = schema();
  std::lock_guard<std::mutex> guard(r.mutex);
  if (!r.names.insert(lowerName(objectName)).second) return;
  r.statements.emplace_back(objectName, createSql);
  r.count.store(r.statements.size(), std::memory_order_release);
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
  std::string key = lowerName(objectName);
  for (const auto& s : r.statements) {
    if (lowerName(s.first) == key) return s.second;
  }
  return std::string();
}

// --- procedure registry ------------------------------------------------------------

void registerProcedure(const std::string& name, ProcBody body) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.bodies[lowerName(name)] = std::move(body);
}

bool hasProcedure(const std::string& name) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.bodies.count(lowerName(name)) > 0;
}

void setProcedureOverride(const std::string& name, DbRows rows, int code, std::string text) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.overrides[lowerName(name)] = ProcOverride{std::move(rows), code, std::move(text)};
}

void clearProcedureOverrides() {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  r.overrides.clear();
}

bool lookupProcedure(const std::string& name, ProcLookup& out) {
  ProcRegistry& r = procs();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::string key = lowerName(name);
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

}  // namespace tkdb
