// Test control of the central database engine.
//
//   testkit::db::reset();                 // fresh start: connections reopen on TK_DB
//   testkit::db::overrideProcedure("MMS2GetMediaAgentList", {{1, "ma1"}, {2, "ma2"}});
//   testkit::db::failProcedure("MMCheckMPCanDelete", 50001, "refused");
//   testkit::db::journal().injectFailure("getOneRow", 204, "locked");
//   ... code under test ...
//   testkit::db::journal().calls("sql")  // every statement the bindings ran
//
// Journal entries: "sql" (object name, call, SQL text as run), "procedure"
// (name, inputs as texts), "valuesClauseCheck" (object, size),
// "querySizeCheck" (object, size, keep), "startTran", "commitTran",
// "rollbackTran", "addObject" (object name). Failures can be injected into "getOneRow",
// "getNextRow", "openCursor", "rowInsert", "rowUpdate", "rowDelete",
// "startTran", "commitTran", "rollbackTran" and "exec" (Session); a
// failure's code is returned as the call's result, its text is the detail
// of the engine's log line. tests/support/TestDatabase.h wraps all of this
// in a per-test temporary database.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/db/DBValue.h"
#include "platform/journal/Journal.h"

namespace testkit::db {

// Closes the calling thread's connection, makes every other thread's
// connection reopen before its next use (so a changed TK_DB takes effect),
// clears the journal, the scripted failures and the procedure overrides,
// restores the typed mode, the busy time-out and addObject, and turns the
// journal on.
void reset();

// Replaces a procedure's body (or a body-served cursor's) for the tests: it
// yields these rows, or fails with the code and text.
// clearProcedureOverrides() puts the bodies back.
void overrideProcedure(const std::string& name, const tkdb::DbRows& rows);
void failProcedure(const std::string& name, int code, const std::string& text);
void clearProcedureOverrides();

// Makes DBtran::addObject throw (true) or register (false).
void setAddObjectThrows(bool throws);

// Busy time-out of connections opened from now on (default 30,000 ms).
void setBusyTimeoutMs(int milliseconds);
// Waits for a lock that connections of any thread began since the last
// reset (one per pause of the busy handler).
int busyWaits();
// Rows that statements of any thread stepped through in scans of a whole
// table, or put into an index SQLite made for one statement, since the last
// reset: what lookups without an index of their own read.
long long scannedRows();
// Transactions that changed rows of a stored table and went to their
// commit, on connections of any thread opened since the last reset
// (SQLite's update and commit hooks): a change request whose writes are
// stored together commits once. The audit trail's rows are not counted: a
// record is written after the change it records, and one that cannot be
// written leaves the change standing.
long commits();
// The SQL statements begun on connections opened since the last reset (a
// trigger's work counts with the statement that fired it), whatever ran
// them (bindings, sessions, the schema's own checks), in order; the list
// starts anew.
std::vector<std::string> takeStatementsRun();

// Calls, failures (see above).
tkjournal::Journal& journal();

// The SQL statements the bindings and sessions ran, in order (the "sql"
// journal entries' texts).
std::vector<std::string> statements();

// The calling thread's connection: prepared statements kept in its cache,
// statements open now (stepped and not yet reset), and row streams open.
size_t cachedStatements();
int busyStatements();
size_t openStreams();
// Whether SQLite keeps a mutex of its own for the calling thread's
// connection (it should not: the connection's own mutex guards it).
bool connectionHasEngineMutex();

}  // namespace testkit::db
