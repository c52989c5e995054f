// The central database engine: DBtable, the base of every generated binding
// (tables, views, stored procedures, the cursor), and DBtran, a transaction.
//
// One SQLite file (TK_DB, default var/tarnkeep.db), WAL journal, busy
// time-out 30 s, foreign keys on, one connection per thread. A transaction
// begins on its thread's connection; a binding made without a transaction
// (or over one that is not open) runs on its thread's connection, so it
// autocommits, or joins the thread's open transaction when there is one.
//
// Where clauses, update texts and values clauses are printf-style. Every %s
// argument that stands inside a single-quoted literal of the format has its
// single quotes doubled by the engine. The texts are written in the
// server's dialect; the engine turns the common forms into SQLite's
// (platform/db/SqlText.h).
//
// Stored procedures run the body registered under their name
// (tkdb::registerProcedure, platform/db/DBSession.h) with their bound
// inputs or values clause. A cursor runs its formatted query text, unless
// a body (or a test's override) is registered under the cursor's name:
// then that body runs instead of the text, with the values its
// CallDBsprintfWrapper calls formatted into the text as its inputs, in
// order (%d, %ld, %lld as integers, %s as texts), and its rows fill the
// row, the indicators and the catalogue as a procedure's do. That is how a
// cursor whose text is written in a dialect SQLite cannot run is served.
//
// Rows of a query come from SQLite as the caller asks for them
// (getNextRow, fetchCursor); a write made on the same connection between
// rows does not change what the walk yields, and a commit or roll-back never
// finds a statement open (platform/db/DBInternal.h has the rules).
//
// An update or a delete without a where clause is refused with
// DB_ERR_NO_WHERE (214) before it reaches the database: no call of the
// bindings ever changes a whole table.
//
// Results: 0 a row (or success), 100 no row, anything else an error whose
// text getErrorStr gives. SQLite's own result codes never come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/db/DBColumns.h"
#include "platform/db/DBDataType.h"
#include "platform/db/DBResult.h"
#include "platform/db/DBValue.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/locks/FXLockableResource.h"

class ZQDBRowBase;
class DBtable;
class DBtran;

namespace tkdb {
class Connection;
class RowStream;
class Session;
struct ProcLookup;

// How the engine writes one column of a fetched row: where its field lies
// in the row and the catalogue's value object with the way it is written.
// Made once per binding object from its columns and catalogue (neither
// changes), small and in one array so that a row of many columns reads
// little besides the row itself.
struct FetchColumn {
  enum class Write : unsigned char {
    None,      // no value object
    Value,     // through the value object's own operations
    Int,       // ZQDB_int
    Int64,     // ZQDB_int64
    Text,      // exactly ZQDB_string
    DateTime,  // exactly ZQDB_datetime
  };
  ZQDBDataTypeBase* value = nullptr;
  uint32_t offset = 0;  // of the field in the row struct
  uint32_t size = 0;    // of the field
  // A fixed text's length as the last fetch left it, zeros behind it (the
  // size: not known yet); see putFixedText.
  uint32_t extent = 0;
  ZQDBFieldKind field = ZQDBFieldKind::Int32;
  Write write = Write::None;
};
}  // namespace tkdb

int getOneRow(DBtable* object, bool lock, int a, int b);
int getNextRow(DBtable* object, int* count, int a, int b);


// Indicator value of a NULL column in the extended indicator array.
inline constexpr long long ZQDB_NULL_DATA = -1;

// The statement state of one database object: its indicator array, the
// inputs bound to it and the rows of its last execution (a row stream, or
// the rows a procedure body gave).
class ZQSimpleDBConnObject {
 public:
  ZQSimpleDBConnObject();
  ~ZQSimpleDBConnObject();
  ZQSimpleDBConnObject(const ZQSimpleDBConnObject&) = delete;
  ZQSimpleDBConnObject& operator=(const ZQSimpleDBConnObject&) = delete;

  void setExtIndicatorArray(void* array);
  void* getExtIndicatorArray() const { return m_indicators; }

 private:
  friend class DBtable;
  friend int getOneRow(DBtable*, bool, int, int);
  friend int getNextRow(DBtable*, int*, int, int);
  void clearInputs();
  void clearResult();

  void* m_indicators = nullptr;
  std::vector<std::unique_ptr<ZQDBDataTypeBase>> m_inputs;  // owned once bound
  std::unique_ptr<tkdb::RowStream> m_stream;  // rows of a query, stepped as asked for
  bool m_streaming = false;                   // the result is m_stream's, not m_rows
  tkdb::DbRows m_rows;                      // rows of a procedure body
  size_t m_next = 0;                        // rows given so far by getNextRow / fetchCursor
  bool m_executed = false;                  // a current result is open
  bool m_atEnd = false;                     // the current result has no more rows
  // How each column of a fetched row is written, made at the first row.
  std::vector<tkdb::FetchColumn> m_plan;
  bool m_planned = false;
};

class DBtable {
 public:
  // objectName: the database object; the second argument is always 0;
  // tran: the transaction the object works in, or null.
  DBtable(const char* objectName, int unused, DBtran* tran);
  virtual ~DBtable();
  DBtable(const DBtable&) = delete;
  DBtable& operator=(const DBtable&) = delete;

  // Typed (1: inputs bound as value objects, catalogues built) or text (0:
  // inputs formatted into a values clause) mode of the bindings.
  static int b_newDBBase;
  // Held by every binding while it registers itself in its transaction.
  static FXCriticalSection DBCriticalSection;

  // The state word: kStateOpen (4) while a transaction is open.
  int getState() const { return m_state; }
  static constexpr int kStateOpen = 4;
  // Hands the binding's indicator array (one 8-byte entry per column) to
  // the connection object in the typed mode; nothing in the text mode.
  void setExtIndicatorArray(void* array) {
    if (b_newDBBase) m_connObj.setExtIndicatorArray(array);
  }

  // Clauses of the next query, update or delete.
  int setWhere(const char* format, ...) TK_PRINTF(2, 3);
  int setOrderBy(const char* order);
  void setTop(int count);
  void setIsolationType(unsigned int type) { m_isolation = type; }
  void resetClauses();

  // Inserts the row; with `fetchIdentity` the new identity is written into
  // the row's serial field. The serial column itself is never written.
  int rowInsert(bool fetchIdentity);
  // UPDATE ... SET <format> WHERE <where>: 0 when rows changed, 100 when the
  // where clause matched none, 214 (nothing changed) without a where clause.
  int rowUpdate(const char* format, ...) TK_PRINTF(2, 3);
  // DELETE ... WHERE <where>: 0 when rows went, 100 when none matched, 214
  // (nothing deleted) without a where clause.
  int rowDelete();

  // The engine's text for a non-zero result code.
  static const char* getErrorStr(int code);

  // Inputs of a procedure, typed mode: the engine owns what is bound.
  void ClearBoundInputs();
  void BindInput(ZQDBDataTypeBase* value);
  // Text mode: start a values clause (or, for a cursor, the query text)
  // sized for `size` characters, then append formatted text to it. The
  // buffer grows with the escaped text; the size is a hint, never a limit.
  // querySizeCheck without `keep` starts the query text, and the values
  // formatted into it, afresh.
  int valuesClauseCheck(int size);
  int querySizeCheck(int size, bool keep);
  int CallDBsprintfWrapper(const char* format, ...) TK_PRINTF(2, 3);

  // Runs the object and keeps its rows open: 0 when open.
  int openCursor();
  // The next row into the bound row: 0 a row, 100 no more.
  int fetchCursor(bool closeAtEnd);

  // The binding's generated part: ties the row to the engine / lets it go.
  void dataBindClearFirstTime();
  void dataBindClear();

  // What the engine was told, for the engine's users and tests.
  const std::string& getObjectName() const { return m_objectName; }
  int getKind() const { return m_kind; }
  const char* getSelectList() const { return m_selectList; }
  const char* getVersion() const { return m_version; }
  const char* getStamp() const { return m_stamp; }
  const char* getSerialColName() const { return m_serialColName; }
  void* getSerialField() const { return m_serialField; }
  const char* getDescription() const { return m_description; }
  ZQDBRowBase* getCatalogue() const { return m_catalogue; }
  DBtran* getTransaction() const { return m_tran; }
  const std::string& getWhere() const { return m_where; }
  const std::string& getOrderBy() const { return m_orderBy; }
  int getTop() const { return m_top; }
  unsigned int getIsolationType() const { return m_isolation; }
  const std::string& getValuesClause() const { return m_values; }
  const std::string& getQueryText() const { return m_query; }
  // The values formatted into the query text, in order: the inputs of a
  // body registered under a cursor's name.
  const std::vector<tkdb::DbValue>& getQueryInputs() const { return m_queryInputs; }
  size_t getBoundInputCount() const { return m_connObj.m_inputs.size(); }
  int getInputsBound() const { return m_inputsBound; }

 protected:
  // Set by the binding's constructor.
  int m_kind = ZQDB_KIND_TABLE;
  const char* m_selectList = "";
  const char* m_version = "";
  const char* m_serialColName = nullptr;
  void* m_serialField = nullptr;
  const char* m_description = "";
  char m_stamp[21] = {};
  ZQDBRowBase* m_catalogue = nullptr;
  int m_inputsBound = 0;
  int m_state = 0;

  // The binding's row and its columns (set before dataBindClearFirstTime).
  void setRowBinding(void* row, const ZQDBColumns* columns) {
    m_rowBase = row;
    m_columns = columns;
    m_connObj.m_planned = false;  // a plan knows its row's fields
  }
  // Registration in the transaction, under DBCriticalSection; an exception
  // out of addObject is logged with the binding's header, line and class
  // name and goes no further.
  void registerInTransaction(const char* className, const char* header, int line);

 private:
  friend class DBtran;
  friend int getOneRow(DBtable*, bool, int, int);
  friend int getNextRow(DBtable*, int*, int, int);

  std::shared_ptr<tkdb::Connection> connection(int& code);
  int execute(const char* call, int limit);
  // The next row of the current result into the bound row: 0, 100 at the
  // end, or an error (logged under `call`).
  int fetchNext(const char* call);
  template <class Cells>
  int fillRow(const Cells& cells, std::string& detail);
  // Runs an update or delete (`statement` up to its where clause) with the
  // object's where clause; refused without one.
  int change(const char* call, const std::string& statement);
  int gatherInputs(std::vector<tkdb::DbValue>& inputs, std::string& detail);
  // Runs the body (or override) found for the object's name with `inputs`:
  // the engine's code, with its rows or the failure's detail.
  int runBody(tkdb::Connection& conn, tkdb::ProcLookup& proc, const std::vector<tkdb::DbValue>& inputs,
              tkdb::DbRows& rows, std::string& detail);
  int fail(const char* call, int code, const std::string& sql, const std::string& detail);
  void invalidate();
  std::string quotedName() const;
  std::string selectSql(int limit) const;

  std::string m_objectName;
  DBtran* m_tran;
  ZQSimpleDBConnObject m_connObj;
  void* m_rowBase = nullptr;
  const ZQDBColumns* m_columns = nullptr;

  std::string m_where;
  std::string m_orderBy;
  int m_top = 0;
  unsigned int m_isolation = 0;
  std::string m_values;  // values clause (text mode)
  std::string m_query;   // formatted query text (cursor)
  std::vector<tkdb::DbValue> m_queryInputs;  // the values formatted into m_query
  enum class Target { Values, Query } m_target = Target::Values;
};

class DBtran : public DBtable {
 public:
  // `startNow` starts the transaction at once.
  explicit DBtran(bool startNow = false);
  ~DBtran() override;  // rolls back when still open

  // 0 on success; 290 (start), 254 (commit), 255 (roll back), 291 when no
  // transaction is open, 292 when it already is. The outermost transaction
  // of a thread takes the write lock when it starts (writers queue there,
  // within the busy time-out, instead of failing later on a read snapshot
  // that another writer made stale). A transaction started while another
  // is open on the thread nests in it (a savepoint); ending a transaction
  // ends the ones nested in it too. A failed commit leaves it open.
  int startTran();
  int commitTran(int flags = 0);
  int rollbackTran();
  bool isOpen() const { return (m_state & kStateOpen) != 0; }
  // The database's reason for the last failed start, commit or roll back
  // ("disk I/O error: File too large"), empty when it gave none; a code
  // alone cannot tell a full disk from a size limit or a lock.
  const std::string& failureDetail() const { return m_failureDetail; }

  // Makes this transaction, before it starts, a private one: the kind a
  // rights checker keeps while it lives on a handler's stack and the handler
  // goes on writing with calls made without a transaction. A private
  // transaction
  //   - works on a connection of its own, never the thread's connection, so
  //     calls made without a transaction never join it, and its roll-back
  //     never takes their work with it;
  //   - is deferred: starting it touches no database; its connection opens
  //     and begins at the first statement run in it, and it takes the write
  //     lock only when it writes;
  //   - does not nest in, and is not nested in, the thread's transactions.
  // A connection never waits on a lock that another connection of the same
  // thread holds (that wait could never end): such a statement fails at once
  // with 204. Journal and scriptable failures use their own names:
  // "startPrivateTran", "commitPrivateTran", "rollbackPrivateTran".
  // 0, or 292 while the transaction is open.
  int makePrivate();
  bool isPrivate() const { return m_private; }

  // Registers a binding object in this transaction.
  void addObject(DBtable* object);
  std::vector<DBtable*> registeredObjects() const;

  void setArithAbort(bool on) { m_arithAbort = on; }
  bool getArithAbort() const { return m_arithAbort; }

 private:
  friend class DBtable;
  friend class tkdb::Connection;
  friend class tkdb::Session;
  void attach(DBtable* object);
  void detach(DBtable* object);
  void endOnConnection();
  void orphan();  // ended by an enclosing transaction
  // Private transactions: start (nothing touched yet), the connection at
  // first use (opened and begun then), and the end of the transaction.
  int startPrivate();
  std::shared_ptr<tkdb::Connection> privateConnection(int& code, std::string& detail);
  int endPrivate(bool commit);

  bool m_arithAbort = false;
  bool m_private = false;
  std::shared_ptr<tkdb::Connection> m_conn;
  std::string m_savepoint;     // empty for the outermost transaction (BEGIN)
  size_t m_schemaAtStart = 0;  // schema statements applied when it started
  std::string m_failureDetail;
  mutable std::mutex m_objectsMutex;
  std::vector<DBtable*> m_registered;
  std::vector<DBtable*> m_attached;

  // Connection of this transaction while open (for DBtable).
  std::shared_ptr<tkdb::Connection> openConnection() const;
};

// Runs the object's query (every call) and fetches its first row into the
// bound row: 0 a row, 100 none, anything else an error.
int getOneRow(DBtable* object, bool lock, int a, int b);
// Cursor-style: the first call executes, and so does the first call after a
// new where clause, order, top, inputs or values; every call fetches the
// next row: 0 a row, 100 at the end. `count` gets the rows read so far.
int getNextRow(DBtable* object, int* count, int a, int b);

// The engine's error log line: "<file>(<line>): <text>".
void log_error(const char* file, int line, const char* format, ...) TK_PRINTF(3, 4);

// Bounded copy: at most `count` bytes of `src` and a NUL into `dest` of
// `destSize` bytes. 0 on success; EINVAL for bad arguments, ERANGE (and an
// empty `dest`) when the text would not fit.
int strncpy_s(char* dest, size_t destSize, const char* src, size_t count);
