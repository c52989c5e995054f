// Inside the database engine: connections with their statement caches, row
// streams, the procedure registry with the tests' overrides, the test
// seam, and the date-time text form. Not for use outside platform/db.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/DBDataType.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBValue.h"
#include "platform/journal/Journal.h"

class DBtran;

namespace tkdb {

class RowStream;

// One SQLite connection. Each thread has its own; a transaction keeps the
// connection it began on.
//
// Prepared statements are kept per connection, keyed by their text, and
// reused: reset and unbound whenever they go back. SQLite prepares a kept
// statement again by itself after a schema change; closing the connection
// finalizes them all. A statement in use (a row stream walking it) is never
// handed out twice: a second user of the same text gets one prepared for it
// alone.
//
// Row streams (RowStream) step a SELECT as their reader asks for rows. Before
// anything but a read runs on the connection (a write, BEGIN, COMMIT,
// ROLLBACK, a savepoint), every open stream is drained: the rows it has not
// given yet are read into memory and its statement goes back. So a reader
// that writes between rows still walks the rows as they were when its query
// ran, an abandoned walk never keeps a write from committing, and no
// statement stays open across a commit or a roll-back. A walk left open
// outside a transaction keeps its read snapshot (and the connection's
// reads with it) until it ends, its object goes or gets a new clause, or
// the connection writes.
//
// The cache and the streams are guarded by mutex().
class Connection {
 public:
  // The calling thread's connection, opened (or reopened after a reset or a
  // change of TK_DB, unless a transaction is open on it) as needed, with
  // every registered schema statement applied. Null on failure, with the
  // engine's code and a detail.
  static std::shared_ptr<Connection> forThread(int& code, std::string& detail);
  // Closes the calling thread's connection unless a transaction is open on it.
  static void closeThreadConnection();
  // Called when a thread ends with `conn` as its connection: an idle one of
  // the current database is kept for the next thread that needs one.
  static void threadEnded(std::shared_ptr<Connection> conn);
  // Makes every connection reopen before its next use.
  static void bumpGeneration();
  // A connection for a private transaction (DBtran::makePrivate): never the
  // thread's connection; the thread's idle one kept from an earlier private
  // transaction, or a new one. Null on failure, with the code and a detail.
  static std::shared_ptr<Connection> forPrivate(int& code, std::string& detail);
  // Takes back the connection of a private transaction that ended.
  static void releasePrivate(std::shared_ptr<Connection> conn);
  // True when another connection opened by the calling thread holds the
  // write lock: a statement of this one waiting for the lock would wait on
  // its own thread for ever.
  bool blockedByOwnThread() const;

  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Runs every statement of `sql` (parameters bound in order across them);
  // `rows` gets the rows of the last statement that returns rows.
  int run(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows, std::string& detail,
          long long* lastInsertId = nullptr, int* changes = nullptr);
  // The same for a text that must be one statement: a text that holds more
  // (a clause that smuggles in a second statement) runs nothing and fails
  // with DB_ERR_SQL.
  int runSingle(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows, std::string& detail,
                int* changes = nullptr);
  // Steps `sql`, which must be one statement, and hands each row to `visit`
  // where it lies in the statement (Session::each). While a walk is under
  // way nothing but a read runs on the connection: a write, BEGIN, COMMIT
  // or ROLLBACK from the visitor fails with DB_ERR_STATE.
  int runEach(const std::string& sql, const std::vector<DbValue>& params, const RowVisitor& visit,
              std::string& detail);

  // Applies the schema statements registered since the last call, and puts
  // back the registered triggers that went missing.
  int applySchema(std::string& detail);

  // A prepared statement of `sql`, which must be one SQL statement: from the
  // cache when it is free there. Null on failure, with the engine's code
  // and a detail. `cached` tells release() where it goes back to.
  sqlite3_stmt* acquire(const std::string& sql, bool& cached, int& code, std::string& detail);
  // Gives a statement from acquire() back: reset and unbound (cached) or
  // finalized.
  void release(sqlite3_stmt* stmt, bool cached);
  // Statements kept at most; the least recently used free one makes room.
  static constexpr size_t kCacheSize = 128;
  // Reads the rest of every open stream into memory and lets its statement
  // go (done before anything but a read runs, and before a transaction ends).
  void drainStreams();
  // Statements kept in the cache (for tests).
  size_t cachedStatements() const { return m_cache.size(); }
  // Row streams open on the connection (for tests).
  size_t openStreams() const { return m_streams.size(); }

  std::recursive_mutex& mutex() { return m_mutex; }
  sqlite3* handle() const { return m_db; }
  const std::string& path() const { return m_path; }

  // Open transactions, outermost first (guarded by mutex()).
  std::vector<DBtran*> trans;
  // Schema statements applied so far.
  size_t schemaApplied = 0;
  // Whether the schema may have moved since the registered triggers were
  // last found in place (a statement had to be compiled again), and the
  // schema version they were found in then (-1: never looked).
  bool schemaMoved = true;
  long long triggersCheckedAt = -1;
  // True while rows are being walked or streamed: no write may run now.
  bool reading() const { return m_walks > 0 || !m_streams.empty(); }

 private:
  Connection() = default;
  int applyPendingSchema(std::string& detail);
  static std::shared_ptr<Connection> open(const std::string& path, int& code, std::string& detail);

  static int busyWait(void* self, int attempts);
  // SQLite's commit hook of a connection of the held database file
  // (holdDatabaseFile): a commit while the file is no longer at its path
  // becomes a roll-back, its reason kept in m_commitRefusal.
  static int beforeCommit(void* self);
  friend class RowStream;
  // Prepares the first statement of `sql`; `tail` is where the next begins.
  sqlite3_stmt* prepare(const char* sql, size_t size, unsigned flags, const char*& tail, int& code,
                        std::string& detail);
  int runText(const std::string& sql, const std::vector<DbValue>& params, DbRows* rows, std::string& detail,
              long long* lastInsertId, int* changes, bool batch);
  // Steps `stmt` to its end (rows kept when it has columns and `rows` is
  // given); drains the streams first unless it only reads.
  int stepAll(sqlite3_stmt* stmt, const std::vector<DbValue>& params, size_t& nextParam, DbRows* rows,
              bool& hadColumns, std::string& detail);

  struct Cached {
    sqlite3_stmt* stmt = nullptr;
    bool busy = false;
    uint64_t lastUse = 0;
    int recompiled = 0;  // times the engine compiled it again, as last seen
  };
  // Hashes a statement's text by its length and its first and last 64
  // bytes: a table access's select names every column, a kilobyte that
  // the lookup would otherwise hash whole on every call. Texts alike there
  // share a bucket and are told apart by their whole text.
  struct TextHash {
    size_t operator()(const std::string& sql) const noexcept {
      const std::string_view text(sql);
      constexpr size_t kEnds = 64;
      if (text.size() <= 2 * kEnds) return std::hash<std::string_view>{}(text);
      return std::hash<std::string_view>{}(text.substr(0, kEnds)) ^
             (std::hash<std::string_view>{}(text.substr(text.size() - kEnds)) * 31) ^ text.size();
    }
  };
  std::unordered_map<std::string, Cached, TextHash> m_cache;
  // The same entries by statement, for release() (an entry does not move
  // when the cache grows).
  std::unordered_map<sqlite3_stmt*, Cached*> m_byStatement;
  uint64_t m_uses = 0;
  std::vector<RowStream*> m_streams;
  // Walks of runEach under way (their visitor is running).
  int m_walks = 0;

  sqlite3* m_db = nullptr;
  std::string m_path;
  // Why the last commit was refused by beforeCommit; empty when it was not.
  std::string m_commitRefusal;
  uint64_t m_generation = 0;
  int m_busyTimeoutMs = 0;
  std::recursive_mutex m_mutex;
};

// Makes again the registered triggers (registerTrigger) that are missing,
// sit on another table or have another text, when the schema's version is
// not the one the connection last found them in place at; in a
// transaction of its own, so never while one is open or rows are being
// read (it looks again at a later use).
void keepTriggersInPlace(Connection& conn);
// Calls the registrars of registerSchemaLater not called yet.
void runLateRegistrars();

// The rows of one SELECT, stepped as its reader asks for them (see
// Connection). Not thread-safe by itself: it takes its connection's mutex.
class RowStream {
 public:
  RowStream() = default;
  ~RowStream() { close(); }
  RowStream(const RowStream&) = delete;
  RowStream& operator=(const RowStream&) = delete;

  // Prepares `sql` (one SELECT, parameters bound in order) on `conn`; 0, or
  // the engine's code with a detail. Any stream open before is closed first.
  int open(const std::shared_ptr<Connection>& conn, const std::string& sql, const std::vector<DbValue>& params,
           std::string& detail);
  // Steps to the next row: 0 a row (read it with the cell accessors until
  // the next call), 100 at the end, or the engine's code with a detail.
  // The caller holds mutex() across the step and the reading of the row,
  // so the lock is taken once per row.
  int next(std::string& detail);
  // Lets the statement go; the stream is then at its end.
  void close();
  bool isOpen() const { return m_conn != nullptr; }
  // The connection's mutex, held while a row is stepped to and read.
  std::recursive_mutex& mutex() { return m_conn ? m_conn->mutex() : m_idle; }

  // The current row: from the statement, or from the rows drained.
  sqlite3_stmt* statement() const { return m_stmt; }
  const DbRow* drainedRow() const { return m_current; }

 private:
  friend class Connection;
  // Reads the rows not given yet into memory (the connection's mutex held).
  void drain();
  // Takes the stream off its connection's list and gives the statement back.
  void finish();

  std::shared_ptr<Connection> m_conn;
  sqlite3_stmt* m_stmt = nullptr;
  bool m_cached = false;
  // After a drain: the rows not given yet, and how the statement ended.
  bool m_drained = false;
  DbRows m_rows;
  size_t m_nextRow = 0;
  int m_endCode = 0;
  std::string m_endDetail;
  const DbRow* m_current = nullptr;
  std::recursive_mutex m_idle;  // stands in for the connection's when closed
};

// Column `c` of the current row of `stmt`, read in place. The column's value
// is fetched once and read through the value accessors: every column call
// of SQLite looks the column up and checks the statement again, and a row
// is read column by column for every row of every query. (The value is
// one SQLite calls unprotected; reading it is safe here because every use
// of a connection happens under its own mutex, see Connection.)
inline DbCell statementCell(sqlite3_stmt* stmt, int c) {
  DbCell cell;
  sqlite3_value* value = sqlite3_column_value(stmt, c);
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      cell.type = DbValue::Type::Int;
      cell.i = sqlite3_value_int64(value);
      break;
    case SQLITE_FLOAT:
      cell.type = DbValue::Type::Real;
      cell.r = sqlite3_value_double(value);
      break;
    case SQLITE_NULL: break;
    default: {
      cell.type = DbValue::Type::Text;
      const unsigned char* text = sqlite3_value_text(value);
      int n = sqlite3_value_bytes(value);
      if (text != nullptr) cell.text = std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(n));
      break;
    }
  }
  return cell;
}

// SQLite's result as the engine's code.
int mapSqliteResult(int rc);
// SQLite's message with the content of quoted parts masked.
std::string scrubDetail(const char* message);
// The connection's last message, scrubbed; for a failed read or write of a
// file it names the system's reason too ("disk I/O error: File too large"),
// so that a write refused by a size limit or a full disk says which.
std::string engineDetail(sqlite3* db);

// Procedure bodies and the tests' overrides. Returns false when neither exists.
struct ProcLookup {
  bool overridden = false;
  DbRows rows;      // override: rows
  int code = 0;     // override: failure code (0 = rows)
  std::string text; // override: failure text
  ProcBody body;    // registered body
};
bool lookupProcedure(const std::string& name, ProcLookup& out);
// The tests' overrides (platform/testkit/db.h): rows, or a failure code and text.
void setProcedureOverride(const std::string& name, DbRows rows, int code, std::string text);
void clearProcedureOverrides();

// The test seam (its controls: platform/db/DBTestControls.cpp and
// platform/testkit/db.h). Off in production: nothing is journaled and no
// failure is taken unless a test turns the journal on.
inline constexpr int kDefaultBusyTimeoutMs = 30'000;

// The savepoint of Session::atomically inside an open transaction, its end
// and its undo: one name for every such savepoint (they nest strictly), so
// that the first two stay in the connection's statement cache.
inline constexpr const char* kWorkSavepoint = "SAVEPOINT tk_work";
inline constexpr const char* kWorkRelease = "RELEASE tk_work";
inline constexpr const char* kWorkUndo = "ROLLBACK TO tk_work; RELEASE tk_work";
tkjournal::Journal& engineJournal();
bool journalOn();
// Records a call while the journal is on; callers make the texts only when
// journalOn() is true.
void journalCall(const std::string& name, std::vector<std::string> args);
// A scripted failure of `call`, if any.
bool takeInjectedFailure(const char* call, int& code, std::string& text);
bool addObjectThrows();
int busyTimeoutMs();
// Counts a wait of the busy handler for a lock (testkit::db::busyWaits).
void noteBusyWait();
// A connection was opened: while the journal is on, its commits that
// changed rows are counted (testkit::db::commits) and the statements it
// begins listed (testkit::db::takeStatementsRun); nothing otherwise.
void noteConnectionOpened(sqlite3* db);
// A commit of `db` that goes on: while the journal is on, counted when its
// transaction changed rows (the commit hook noteConnectionOpened sets, also
// called by the hook of a held file's connections, which replaces it).
int noteCommit(void* db);
// Counts the rows a finished statement stepped through in scans of a whole
// table or put into an index made for it alone, and starts its count anew
// (testkit::db::scannedRows).
void noteScannedRows(sqlite3_stmt* stmt);

// Date-time values in the database: "YYYY-MM-DD HH:MM:SS" with ".fff" (whole
// milliseconds) or ".fffffffff"; a cleared value is NULL.
std::string dateTimeText(const tagTIMESTAMP_STRUCT& ts);
// The same text into `out` (NUL-terminated); returns its length.
size_t putDateTimeText(const tagTIMESTAMP_STRUCT& ts, char (&out)[64]);
// Reads a text form (date, date and time, optional fraction, 'T' or blank
// between) or seconds since the epoch; false when it is neither.
bool parseDateTime(const DbValue& value, tagTIMESTAMP_STRUCT& ts);
// The same for a value read in place (a text ends at its first NUL).
bool parseDateTime(const DbCell& value, tagTIMESTAMP_STRUCT& ts);
// Reads the form the engine stores, exactly "YYYY-MM-DD HH:MM:SS.fff": what
// parseDateTime reads from it, and that text is the one dateTimeText gives
// for the value. False (ts untouched) for any other text; parseDateTime
// then decides.
inline bool parseStoredDateTime(std::string_view text, tagTIMESTAMP_STRUCT& ts) {
  static constexpr char kForm[] = "0000-00-00 00:00:00.000";
  if (text.size() != sizeof kForm - 1) return false;
  unsigned parts[7] = {};
  unsigned part = 0;
  for (size_t k = 0; k < sizeof kForm - 1; ++k) {
    const char c = text[k];
    if (kForm[k] == '0') {
      if (c < '0' || c > '9') return false;
      parts[part] = parts[part] * 10 + static_cast<unsigned>(c - '0');
    } else {
      if (c != kForm[k]) return false;
      ++part;
    }
  }
  if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31 || parts[3] > 23 || parts[4] > 59 ||
      parts[5] > 60) {
    return false;
  }
  ts.year = static_cast<int16_t>(parts[0]);
  ts.month = static_cast<uint16_t>(parts[1]);
  ts.day = static_cast<uint16_t>(parts[2]);
  ts.hour = static_cast<uint16_t>(parts[3]);
  ts.minute = static_cast<uint16_t>(parts[4]);
  ts.second = static_cast<uint16_t>(parts[5]);
  ts.fraction = parts[6] * 1'000'000u;
  return true;
}

}  // namespace tkdb
