// The header of the change log (MMConfigChangeLog.h) as the process reads
// it: where the log stands (its history, the place pruned, its newest
// entry), the stamps that tell whether an entry is still the one read
// there, what it names after a place, and whether every trigger of it is
// there. Read by the configuration's loads (MMMediaConfigDB::loadCurrent)
// and by the ledger of births (MMBirthLedger.h); inside platform/mmdb only.
//
// Whether the triggers are all there is a fact of the schema: a run of the
// header's query counts them, and the runs of the same compiled statement
// that follow it on the thread go by that count while the schema has not
// moved. A run that follows another connection's change of the schema (a
// VACUUM, a table or an index made, a table altered) is compiled again and
// knows nothing of them: readWholeLogHeader then counts them at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmmdb {

// The first rows of the change log's query, and the objects it names.
struct LogHeader {
  int epochRows = 0;
  std::string epoch;
  long long pruned = 0;
  long long newest = 0;
  // The stamp of the entry at the place asked about, and of the newest
  // entry (none: no such entry, or an entry of a make without stamps).
  std::optional<long long> sinceStamp;
  std::optional<long long> newestStamp;
  tkdb::StatementMark mark;  // of the run that read it
  bool triggersCounted = false;
  long long triggers = 0;
  std::optional<long long> schema;     // the schema's version, when the run read it
  std::optional<long long> schemaNow;  // the version the run ran under, when known
  bool whole[kStoredKinds] = {};
  std::vector<int> changed[kStoredKinds];
  // The rows born, of every kind the log names: kind, id and sequence.
  std::vector<MMStoredSnapshot::Birth> born;
};

// A stamp as a query gives it: none where the cell is not an integer (no
// such entry, or an entry of a make without stamps).
std::optional<long long> stampOf(const tkdb::DbCell& cell);

// Whether the thread has no run of the header's query to go by: the next
// run must count the triggers.
bool triggersMustBeCounted();

// The log's state and what it names after `since`; the triggers counted
// when `count`, and with them the schema's version read when the thread
// has no run of the query to go by (`header.schemaNow`). The version is
// what the next run goes by when `keep` lets it: not from inside a
// transaction of the caller's (whose schema may yet roll back), but from
// inside a read's own transaction, which changes no schema.
int readLogHeader(tkdb::Session& s, long long since, bool count, LogHeader& header,
                  bool keep = !tkdb::threadTransactionOpen());

// Whether every trigger of the log is there: counted, or uncounted in the
// run that follows one that found them all, with no change of the schema
// between. Each run is what the next one on this thread goes by, when
// `keep` lets it.
bool allTriggersThere(const LogHeader& header, int logged, bool keep);

// The log's header outside a load: `complete` when there is one log and
// every trigger of it is there. A run that cannot go by the one before it
// (the statement was compiled again) counts the triggers.
int readWholeLogHeader(tkdb::Session& s, long long since, LogHeader& header, bool& complete);

}  // namespace tkmmdb
