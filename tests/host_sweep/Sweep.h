// The sweep over every change request the host serves: each row makes one
// change through the real tkconsole on a fresh copy of the demonstration
// installation, then reads it back as an administrator sees it, from a new
// connection after a re-read (control 70) and again after a restart of
// tkhost. A change answered "Success" whose value does not come back fails
// its row.
//
// Whole records: the read back runs three times, in the change's own
// session right after the change, from a new connection after a re-read, and
// after a restart, and every item of every answer it prints must be the same
// in all three; the only exceptions are the items that change by themselves
// (see changingByThemselves, each with its reason). A row that must keep
// nothing also compares every stored table before and after the change;
// when they are the same, its restart is not run (a new host would read the
// same rows the re-read read).
//
// Whole store: after every row's change, no stored text is longer than its
// column and no reference names a row that is not there, over every
// column and reference the schema and the registry declare
// (tests/support/StoreCheck.h), whatever the row itself reads back.
//
// Console lines may name a handle by what its record shows: `{h:TEXT}` is
// the object handle of the record in which TEXT was last printed on the
// same connection (the handle item opens a record), so the lines need no
// handle numbers, which change with every session.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sweeptest {

// `first` and `second` in one text, made out of line: GCC 12 at -O2 takes a
// literal appended to a string made of a constant just before for a read
// past the string (-Warray-bounds) where it sees both.
std::string joined(std::string_view first, std::string_view second);

struct Row {
  // What the row proves; the rows not driven are named by it.
  std::string proves;
  // The handler the change goes to, as the host's table names it.
  std::string request;
  // The console lines of the change, sent after `lock` on one connection.
  std::string change;
  // The console lines that show the value, sent after `lock` (and on the
  // first host `control 70`) on a connection of their own.
  std::string readBack;
  // Texts the read back prints, each exactly; `!TEXT` says it must not.
  std::vector<std::string> shows;
  // Where no answer carries the value: a query of its row and its answer
  // (the first column of the rows, joined by '|').
  std::string rowQuery = {};
  std::string rowValue = {};
  // SQL run on the fresh database before the host starts.
  std::string before = {};
  // The change's console exit status (0: every answer a success).
  int changeExit = 0;
  // The host starts with --seed-demo each time: the filer and the SAN host
  // the demonstration puts in memory are there again after the restart.
  bool outsideWorld = false;
  // What the read back after the restart prints instead of `shows`, for a
  // value that starts afresh with each host by design.
  std::vector<std::string> restartShows = {};
  // The `lock` before the change fails: another process holds a write
  // transaction on the database longer than the host waits for it, and
  // lets go once the lock has been answered. The read back in the session
  // takes the lock again first.
  bool lockFails = false;
  // Every stored table is the same after the change as before it (a
  // refusal, a failure, a change on a connection without a session).
  bool keepsNothing = false;
  // Texts the change's own answers print, each exactly (a refusal's reason).
  std::vector<std::string> answers = {};
};

// One field of a change in a table of fields: what the row calls it, the
// elements the change sends, and what reads it back (the text an answer
// shows, or the column or query of its row, with the value it gives).
struct FieldCase {
  const char* name;
  const char* sent;
  const char* seen;
  const char* value = "";
};

// What one row saw.
struct Outcome {
  int changeExit = -1;
  std::string changeOut;
  // The read back alone: in the change's session, after a re-read, after a
  // restart.
  std::string sessionRecords;
  std::string rereadRecords;
  std::string restartRecords;
  // The stored tables before the change and after it (keepsNothing rows).
  std::string tablesBefore;
  std::string tablesAfter;
  std::string reread;     // a new connection after control 70
  std::string restarted;  // after a restart
  std::string rowReread;
  std::string rowRestarted;
  // The exit statuses of the two hosts, "first,second".
  std::string stops;
  // What the whole-store checks (tests/support/StoreCheck.h) found after
  // the change that they did not find before it.
  std::string storeFaults;
};

// Drives every row (several at a time) and judges each under its name.
void sweep(const std::vector<Row>& rows);
// Names the test (of HostSweep) that sweeps a family's table, at start-up:
// the rows that wait out the host's busy time-out (`lockFails`) of every
// family whose test runs start with the first sweep, so that their waits
// pass while the other rows run, whichever test comes first.
bool listFamily(const char* test, std::vector<Row> (*family)());
// Whether a change text holds a request served apart from the configuration
// session (on a connection of its own, or on a configuration of its own).
bool servedApartFromTheSession(std::string_view text);

// The rows the sweep does not drive yet: row name to the reason.
const std::vector<std::pair<std::string, std::string>>& notDriven();
// The items of the answers that change by themselves between the session,
// a re-read and a restart: the item's label as the console prints it, to
// why it changes.
const std::vector<std::pair<std::string, std::string>>& changingByThemselves();
// The records of the answers that change by themselves: the label of the
// item that numbers the record's object, to why a record whose object that
// item numbers 4294967295 (never stored) is in the session only.
const std::vector<std::pair<std::string, std::string>>& recordsChangingByThemselves();
// The stored tables a row that keeps nothing may still change, each with why.
const std::vector<std::pair<std::string, std::string>>& tablesChangingByThemselves();

// What one family's sweep compared: rows driven, items compared, items
// excepted (counted over every row and every comparison).
struct Counts {
  size_t rows = 0;
  size_t items = 0;
  size_t excepted = 0;
};

// The families' tables; the coverage test reads them all.
std::vector<Row> libraryRows();
std::vector<Row> driveRows();
std::vector<Row> diskRows();
std::vector<Row> agentRows();
std::vector<Row> xmlRows();
std::vector<Row> nasRows();
std::vector<Row> sanRows();
// Each text field of each change at its column's width and one byte over.
std::vector<Row> textRows();
// The change lines of every configuration-session row above, on one
// connection whose lock failed.
std::vector<Row> failedLockRows();

}  // namespace sweeptest
