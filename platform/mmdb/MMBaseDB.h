// Media-management table access: the part every table-access class shares.
//
//  - An object is made over the caller's MMDebug log (or none) for one block
//    of work and keeps the error of its last call.
//  - Every operation returns 0 on success and -1 on failure (the
//    configuration-parameter read keeps its own code as its result). Its
//    last argument is the caller's DBtran: a call given an open transaction
//    runs in it; one given none (or one that is not open) autocommits, or
//    joins the thread's open transaction when there is one. A change made of
//    several statements is all or nothing.
//  - After a failure getErrorCode() gives the table-access code,
//    getDBError() the database's own result (100 when no row matched, 0 when
//    the database was not the cause), getLastError() the text, and
//    getErrorStringForCode() / ErrorTrans::getErrorString() the fixed text of
//    a code.
//  - A failed call leaves its outputs untouched, except that a list comes
//    back null with a count of 0. Lists are arrays of rows allocated by the
//    table access and released with the class's DeleteList(rows, __FILE__,
//    __LINE__).
//  - Every text from a client (names, folders, passwords) reaches SQL as a
//    bound value, never as part of the statement.
//
// Rows are those of Db/Tbl/ (bindings) and Db/MMRowRecords.h (row-only
// records), plus the component's own rows (platform/mmdb/MMRows.h).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/db/DBColumns.h"
#include "platform/db/DBValue.h"
#include "platform/mmdb/MMJournal.h"

class DBtran;
class MMDebug;

namespace tkdb {
class Session;
}

// Codes of the table access (getErrorCode). 0 is success.
enum MMS2ErrorCode : int {
  MMS2_SUCCESS = 0,
  // The NDMP host table has no such entry.
  MMS2_ERROR_NDMP_HOST_NOT_FOUND = 261,
  // The library has no active library controller.
  MMS2_ERROR_NO_ACTIVE_CONTROLLER = 309,
  // The database call failed (getDBError has the engine's code).
  MMS2_ERROR_DATABASE = 0x26000001,
  // No row matched (getDBError is 100).
  MMS2_ERROR_NOT_FOUND = 0x26000002,
  // An argument was missing or unusable.
  MMS2_ERROR_BAD_ARGUMENT = 0x26000003,
  // A row was found, but its value is unusable (NULL or not a number).
  MMS2_ERROR_BAD_VALUE = 0x26000004,
  // Another object already carries the name.
  MMS2_ERROR_DUPLICATE_NAME = 0x26000005,
  // A text is too long for its column.
  MMS2_ERROR_TEXT_TOO_LONG = 0x26000006,
  // A row that the change refers to does not exist.
  MMS2_ERROR_REFERENCE = 0x26000007,
  // The change log no longer tells whether a row is still the one a reader
  // read: its place was pruned, the log has another history, or a trigger
  // of it is missing. Reading again gives the reader a place it can tell
  // from.
  MMS2_ERROR_UNTOLD = 0x26000008,
};

// The error of an object's last call.
class MMS2BaseError {
 public:
  MMS2BaseError() = default;
  virtual ~MMS2BaseError() = default;

  int getErrorCode() const { return m_errorCode; }
  int getDBError() const { return m_dbError; }
  // The last error text, cut to fit `size` bytes and always terminated;
  // returns `buffer` (the empty text after a success).
  char* getLastError(char* buffer, std::size_t size) const;
  const std::string& lastErrorText() const { return m_errorText; }
  // The fixed English text of a table-access code ("Unknown error 0x%08X"
  // for a code without one), into `buffer` as above.
  static char* getErrorStringForCode(int code, char* buffer, std::size_t size, long long locale);

 protected:
  void clearError();
  // Records a failure and returns `code`.
  int setError(int code, int dbError, const std::string& text);

 private:
  int m_errorCode = MMS2_SUCCESS;
  int m_dbError = 0;
  std::string m_errorText;
};

// Base of the table-access classes.
class MMBaseDB : public MMS2BaseError {
 public:
  explicit MMBaseDB(MMDebug* log = nullptr) : m_log(log) {}

  // A transaction of the caller's own, for a block of table-access calls:
  // start, commit (0, or -1 with `code` the engine's result and the error
  // set) and roll back (0 or -1).
  int startTransaction(DBtran* tran, int& code);
  int commitTransaction(DBtran* tran, int& code);
  int rollbackTransaction(DBtran* tran);

  // Releases a list that a call of the table access handed back (any row
  // type); the caller passes its own source file and line.
  template <class Row>
  static void DeleteList(Row*& rows, const char* file, int line) {
    journalDeleteList("MMBaseDB::DeleteList", file, line);
    delete[] rows;
    rows = nullptr;
  }

 protected:
  MMDebug* log() const { return m_log; }
  static void journalDeleteList(const char* call, const char* file, int line);

 private:
  enum class TransactionStep { Start, Commit, RollBack };
  int transactionStep(const char* tag, DBtran* tran, TransactionStep step, int& code);
  MMDebug* m_log;
};

// Texts of table-access and media-management codes, for replies.
class ErrorTrans {
 public:
  // The text of `code` into `buffer` (cut to fit, always terminated): the
  // fixed text of a table-access or media-management code, else the message
  // catalogue's text of the id when it has one, else the empty text (so a
  // caller can fall back to a text of its own). Returns `buffer`.
  static char* getErrorString(int code, char* buffer, std::size_t size, unsigned long locale);
  // Advice for `code` (what the user can do), or the empty text.
  static char* getAdvise(int code, char* buffer, std::size_t size, unsigned long locale);
  // The fixed text of a code of this component, or null.
  static const char* fixedText(int code);
};

// Where a record's fields lie and which column fills each: the binding rows
// use their column tables (Row::zqdbColumns()), the row-only records tables
// of the component.
struct MMLayout {
  const char* table = "";
  const ZQDBColumnDesc* cols = nullptr;
  int count = 0;
  const char* orderBy = "";
};

// The common helpers of the table-access classes.
class MMTableAccess : public MMBaseDB {
 public:
  explicit MMTableAccess(MMDebug* log = nullptr) : MMBaseDB(log) {}

  // The error of the last call, as one text for log lines: "[code, text]
  // dbErr[n]".
  std::string describeError() const;

  // Record helpers, driven by a layout.
  // Checks that every value fits its field: "" when it does, else what is wrong.
  static std::string checkRecord(const MMLayout& layout, const tkdb::DbRow& values);
  // Fills a record whose values were checked.
  static void fillRecord(const MMLayout& layout, void* row, const tkdb::DbRow& values);
  // The select list of a layout: "a", "b", ... (quoted names).
  static std::string columnList(const MMLayout& layout, const char* alias = nullptr);
  // The values of a record in layout order, for inserts; the column named
  // `skip` (a serial column) is left out.
  static std::vector<tkdb::DbValue> recordValues(const MMLayout& layout, const void* row, const char* skip);
  // The INSERT of a record into the layout's table: its columns in layout
  // order but the one named `skip` (null: none), one parameter each, in the
  // order recordValues gives the values.
  static std::string insertSql(const MMLayout& layout, const char* skip);

 protected:
  // Starts a call: clears the error, journals the call with its arguments
  // and takes a scripted failure (tests). False when the call is to fail;
  // the error is then set. The arguments (see tkmmdb::journalArgs) are made
  // texts only while the journal is on.
  template <class... A>
  bool beginCall(const char* call, const A&... args) {
    clearError();
    if (!tkmmdb::journalOn()) return true;
    return journalCall(call, tkmmdb::journalArgs(args...));
  }
  // The journaled part of beginCall.
  bool journalCall(const char* call, std::vector<std::string> args);
  // Records a failure and returns -1. Failures that are normal outcomes
  // (nothing found) are logged at debug level, the others as errors.
  int fail(const char* tag, int code, int dbError, const std::string& text);
  int failQuiet(const char* tag, int code, int dbError, const std::string& text);
  // A database result other than 0 and 100 as a failure (MMS2_ERROR_DATABASE).
  int failDatabase(const char* tag, int dbCode, const tkdb::Session& session, const std::string& what);

  // One row by `where` (SQL after WHERE, with ? for `params`) into `row`.
  // 0 when read; else -1 with MMS2_ERROR_NOT_FOUND (dbError 100) and
  // `missing` as the text, or a database or conversion failure. The row is
  // changed only on success.
  int readOne(const char* tag, const MMLayout& layout, const std::string& where,
              const std::vector<tkdb::DbValue>& params, void* row, DBtran* tran, const std::string& missing,
              int missingCode = MMS2_ERROR_NOT_FOUND);
  // Every row by `where`, in the layout's order, as an array of `Row`
  // (null and 0 when there is none).
  template <class Row>
  int readList(const char* tag, const MMLayout& layout, const std::string& where,
               const std::vector<tkdb::DbValue>& params, Row*& rows, int& count, DBtran* tran) {
    rows = nullptr;
    count = 0;
    tkdb::DbRows found;
    int rc = queryRows(tag, layout, where, params, found, tran);
    if (rc != 0) return rc;
    if (found.empty()) return 0;
    Row* list = new Row[found.size()];
    for (size_t i = 0; i < found.size(); ++i) fillRecord(layout, &list[i], found[i]);
    rows = list;
    count = static_cast<int>(found.size());
    return 0;
  }
  // Runs a change that must hit at least one row: 0, or -1 with
  // MMS2_ERROR_NOT_FOUND (dbError 100) and `missing` when it hit none.
  int change(const char* tag, const std::string& sql, const std::vector<tkdb::DbValue>& params, DBtran* tran,
             const std::string& missing);

  // Rows for readList: runs the query and checks every value against the
  // layout. 0, or -1 with the error set.
  int queryRows(const char* tag, const MMLayout& layout, const std::string& where,
                const std::vector<tkdb::DbValue>& params, tkdb::DbRows& rows, DBtran* tran, int limit = 0);
  // What a multi-statement change reports when it refuses: the work of
  // `atomically` fills it and returns kRefused.
  struct Refusal {
    int code = 0;
    int dbError = 0;
    std::string text;
    bool quiet = false;  // a normal outcome (nothing found): logged at debug level
  };
  static constexpr int kRefused = -2;
  // Runs `work` on one session, all or nothing (a savepoint inside an open
  // transaction). `work` returns 0, a database result of the session (which
  // undoes the work and fails the call as a database failure), or kRefused
  // with the refusal filled in.
  int atomically(const char* tag, DBtran* tran, const std::function<int(tkdb::Session&, Refusal&)>& work);
  // Inside `atomically`: the row that `sql` finds by `id` must exist. 0 when
  // it does; kRefused (not found, `missing` as the text) when it does not;
  // else the database result.
  static int requireRow(tkdb::Session& s, const char* sql, int id, const char* missing, Refusal& refusal);

  // A text argument that must be given and fit `maxBytes`.
  bool checkText(const char* tag, const char* what, const char* text, size_t maxBytes, bool allowEmpty);
};

// Journal texts of a transaction argument.
inline const char* mmTranText(const DBtran* tran) { return tran != nullptr ? "tran" : "null"; }
