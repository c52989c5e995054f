// Direct access to the central database for the platform's own components
// (table-access classes, stored-procedure bodies, the audit trail): plain
// SQLite SQL with bound parameters, on the same connection and in the same
// transaction rules as the bindings. Also the two registries of the
// database: the schema (CREATE statements) and the stored-procedure bodies.
//
// Handlers never use this; they go through the bindings (Db/).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/DBResult.h"
#include "platform/db/DBValue.h"

class DBtran;

namespace tkdb {

class Connection;

// Which compiled statement gave a row, and how often it had run and been
// compiled again (after a change of the schema, by this connection or any
// other). A statement compiled anew, or prepared again once it left the
// connection's cache, never carries on the counts of an earlier one.
struct StatementMark {
  const void* statement = nullptr;
  int recompiled = 0;
  int runs = 0;

  // Whether `next` is the run that follows this one of the same statement,
  // with no compilation between: so the schema it ran on is this one's.
  bool followedBy(const StatementMark& next) const {
    return statement != nullptr && next.statement == statement && next.recompiled == recompiled &&
           next.runs == runs + 1;
  }
};

// The current row of a walk (Session::each), read where it lies: its texts
// last until the visitor returns. Columns count from 0; a column beyond the
// row reads as NULL.
class RowView {
 public:
  explicit RowView(void* statement) : m_stmt(statement) {}
  // With the statement's column count, when the walk knows it already.
  RowView(void* statement, int count) : m_stmt(statement), m_count(count) {}
  int count() const;
  DbCell at(int column) const;
  // The first min(count(), max) columns into `cells`, in one call (a scan
  // that reads every column of every row pays one call per row, not one
  // per column); returns how many were read.
  int read(DbCell* cells, int max) const;
  // The same, leaving alone the cells of the columns whose bit (1 << column)
  // `skip` sets: a column a scan reads only now and then is not fetched
  // from the engine for every row.
  int read(DbCell* cells, int max, std::uint64_t skip) const;
  StatementMark mark() const;

 private:
  void* m_stmt;
  int m_count = -1;  // not known yet
};
// Called with each row of a walk: 0 goes on, anything else ends the walk
// with that result.
using RowVisitor = std::function<int(const RowView&)>;

// One piece of work on the database. Built over a transaction it works on
// that transaction's connection while the transaction is open; otherwise on
// the calling thread's connection: each statement autocommits, or joins the
// thread's open transaction when there is one.
class Session {
 public:
  explicit Session(DBtran* tran = nullptr);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Results are the engine's codes (0, 100, or an error; DBtable::getErrorStr).
  // Runs every statement of `sql`; parameters (?) are bound in order.
  int exec(const std::string& sql, const std::vector<DbValue>& params = {});
  // Rows of the last statement that returns rows.
  int query(const std::string& sql, const std::vector<DbValue>& params, DbRows& rows);
  // The rows of `sql` (one statement) handed to `visit` one by one, none of
  // them copied: 0 when every row was seen (also when there was none), the
  // visitor's own non-zero result, or the engine's code. The same journal
  // and failure points as query(). The visitor may read on this session
  // but not write: a write during the walk fails with DB_ERR_STATE.
  int each(const std::string& sql, const std::vector<DbValue>& params, const RowVisitor& visit);
  // 0 and the first row, or 100 when there is none.
  int queryOne(const std::string& sql, const std::vector<DbValue>& params, DbRow& row);
  // Runs `work` atomically: in a savepoint inside an open transaction, else
  // in a transaction of its own that takes the write lock at once. A
  // non-zero result of `work` undoes what it did and is returned.
  int atomically(const std::function<int()>& work);
  // Runs `work`, which only reads, on one snapshot of the database without
  // the write lock: inside an open transaction as part of it, else in a
  // deferred transaction of its own, so that another connection's open
  // write transaction neither holds it up nor hides rows from it. Returns
  // what `work` returned, or the engine's code when no snapshot was taken.
  int reading(const std::function<int()>& work);

  long long lastInsertId() const { return m_lastInsertId; }
  int changes() const { return m_changes; }
  // The detail of the last failure (SQLite's text, literals masked).
  const std::string& errorText() const { return m_error; }

 private:
  int connect();
  // What every statement does first: clears the last failure, takes an
  // injected one, connects and journals the text.
  int prologue(const std::string& sql);
  // `work` between `begin` and `end` on the connection (locked by the
  // caller); `undo` when it or `end` fails.
  int enclosed(const std::string& begin, const std::string& end, const std::string& undo,
               const std::function<int()>& work);
  std::shared_ptr<Connection> m_conn;
  DBtran* m_tran;
  long long m_lastInsertId = 0;
  int m_changes = 0;
  std::string m_error;
};

// --- schema -----------------------------------------------------------------

// Adds a CREATE statement (use IF NOT EXISTS) under an object name; a
// second registration of the same name is ignored. Connections apply
// statements in registration order: at first open, and later ones before
// their next use. For tables that only the platform uses; bindings register
// themselves (platform/db/DBColumns.h).
void registerSchema(const std::string& objectName, const std::string& createSql);
// Adds an index on `columns` (comma separated) of `table`, named
// <table>_<column>_..., to be made after the table: register it after the
// table's own statement. Lookups by a column other than the key need one,
// or each of them reads the whole table.
void registerIndex(const std::string& table, const std::string& columns);
// Adds a trigger on `table` (registered as registerSchema registers any
// object) that the schema also keeps in place: a trigger of that name that
// is missing, that sits on another table (a table renamed by hand takes
// its triggers along), or whose text is not the one `createSql` makes (a
// trigger replaced by hand under its name), is dropped and made again, at
// a connection's first use and whenever the schema has moved since it last
// looked (see checkOwnedTriggers). The CREATE
// statement should also renew whatever its readers keep (a stamp, an
// epoch): changes made while the trigger was away went unrecorded.
void registerTrigger(const std::string& name, const std::string& table, const std::string& createSql);
// A trigger the schema made once and makes no more: dropped where found,
// as a registered one is put back.
void retireTrigger(const std::string& name);
// Registers `registrar`, which registers statements that must come after
// every one registered at load time (triggers on the tables of bindings):
// called once, before the first connection applies the schema.
void registerSchemaLater(void (*registrar)());
// Looks at the registered triggers on the calling thread's connection now,
// before a read that goes by what they record: one read of the schema's
// version, and when it moved since they were last found in place, one of
// the triggers' names, tables and texts; those that differ are made again.
// Nothing while the thread has a transaction open (it looks at a later use).
void checkOwnedTriggers();
// Whether the thread's connection has found every registered trigger in
// place at the schema version `version` (as a query of the caller's read
// it beside its rows): then checkOwnedTriggers would find nothing to do,
// and need not be called. False when it must be (or a trigger is missing).
bool ownedTriggersInPlaceAt(long long version);
// Empty while every registered trigger is in place; otherwise why one could
// not be made again (the host then refuses changes, which would go
// unrecorded). Looks again, on the calling thread's connection, at each
// call while a trigger is missing.
std::string schemaRefusal();
// The registered statements in order (for tests and tools).
std::vector<std::string> schemaStatements();
// The CREATE statement registered for an object, or empty.
std::string schemaStatementFor(const std::string& objectName);

// --- stored procedures -----------------------------------------------------

// The body of a stored procedure: reads its inputs, works on the database
// through the session (the caller's connection and transaction), and fills
// the result rows, one value per output column in column order. Returns 0,
// or an error code; `error` may carry a text for it.
struct ProcCall {
  Session& session;
  const std::vector<DbValue>& inputs;
  DbRows& rows;
  std::string& error;
};
using ProcBody = std::function<int(ProcCall& call)>;

// Registers (or replaces) the body of a procedure; names compare without
// regard to letter case. A body registered under a cursor's name serves
// that cursor in place of its text, with the values formatted into the
// text as its inputs (platform/db/DBtable.h).
void registerProcedure(const std::string& name, ProcBody body);
bool hasProcedure(const std::string& name);

// --- the calling thread ---------------------------------------------------------

// True when the calling thread's own connection has a transaction open:
// what a call without a transaction reads now includes the thread's own
// changes that are not committed yet (and may never be).
bool threadTransactionOpen();

// Whether a transaction of the calling thread's connections to the held
// database file (holdDatabaseFile) went to its commit since the thread last
// asked; the asking clears it. What reads the change log after a request's
// own changes asks it, so that a request that changed nothing reads none.
bool takeCommitted();

// --- the database file ---------------------------------------------------------

// The file the connections use now: TK_DB, or var/tarnkeep.db.
std::string currentDatabasePath();

// Holds the file the connections use now, as the host does once it has
// opened its database: from then on no connection of that path creates
// the file (one opened after the file was removed fails, where it would
// have made a new, empty database), a connection that finds another file
// at the path is refused, and a write transaction on it commits only while
// the held file is still at its path: otherwise it is rolled back and
// fails with DB_ERR_IO and databaseFileRefusal's text. Connections opened
// before reopen at their next use, so that every one has the check. False,
// with the reason, when the file cannot be looked at.
bool holdDatabaseFile(std::string& error);
// Lets the held file go: connections made after it create the file again.
void releaseDatabaseFile();
// Empty while no file is held or the held file is still at its path;
// otherwise why nothing may be done on the database, naming the path
// ("The database file [var/tarnkeep.db] was removed while the host ran;
// nothing was changed.", or replaced by another file). One stat of the path.
std::string databaseFileRefusal();

}  // namespace tkdb
