// Inside the database engine: connections, the procedure registry with the
// tests' overrides, the test hooks, and the date-time text form. Not for
// use outside platform/db.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Db/ZQDBDataType.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBValue.h"
#include "platform/journal/Journal.h"

class DBtran;

namespace tkdb {

// One SQLite connection. Each thread has its own; a transaction keeps the
// connection it began on.
class Connection {
 public:
  // The calling thread's connection, opened (or reopened after a reset or a
  // change of TK_DB, unless a transaction is open on it) as needed, with
  // every registered schema statement applied. Null on failure, with the
  // engine's code and a detail.
  static std::shared_ptr<Connection> forThread(int& code, std::string& detail);
  // Closes the calling thread's connection unless a transaction is open on it.
  static void closeThreadConnection();
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

  // Applies the schema statements registered since the last call.
  int applySchema(std::string& detail);

  std::recursive_mutex& mutex() { return m_mutex; }
  sqlite3* handle() const { return m_db; }
  const std::string& path() const { return m_path; }

  // Open transactions, outermost first (guarded by mutex()).
  std::vector<DBtran*> trans;
  // Schema statements applied so far.
  size_t schemaApplied = 0;

 private:
  Connection() = default;
  static std::shared_ptr<Connection> open(const std::string& path, int& code, std::string& detail);

  static int busyWait(void* self, int attempts);

  sqlite3* m_db = nullptr;
  std::string m_path;
  uint64_t m_generation = 0;
  int m_busyTimeoutMs = 0;
  std::recursive_mutex m_mutex;
};

// SQLite's result as the engine's code.
int mapSqliteResult(int rc);
// SQLite's message with the content of quoted parts masked.
std::string scrubDetail(const char* message);

// Procedure bodies and the tests' overrides. Returns false when neither exists.
struct ProcLookup {
  bool overridden = false;
  DbRows rows;      // override: rows
  int code = 0;     // override: failure code (0 = rows)
  std::string text; // override: failure text
  ProcBody body;    // registered body
};
bool lookupProcedure(const std::string& name, ProcLookup& out);

// Test hooks (platform/testkit/db.h).
tkjournal::Journal& engineJournal();
bool journalOn();
void journalCall(const std::string& name, std::vector<std::string> args);
// A scripted failure of `call`, if any.
bool takeInjectedFailure(const char* call, int& code, std::string& text);
bool addObjectThrows();
int busyTimeoutMs();

// Date-time values in the database: "YYYY-MM-DD HH:MM:SS" with ".fff" (whole
// milliseconds) or ".fffffffff"; a cleared value is NULL.
std::string dateTimeText(const tagTIMESTAMP_STRUCT& ts);
// Reads a text form (date, date and time, optional fraction, 'T' or blank
// between) or seconds since the epoch; false when it is neither.
bool parseDateTime(const DbValue& value, tagTIMESTAMP_STRUCT& ts);

}  // namespace tkdb
