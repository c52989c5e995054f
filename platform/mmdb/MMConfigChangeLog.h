// The change log of the media-configuration tables: which stored objects
// changed, kept by the database itself so that a re-read of the
// configuration can read only those rows, whoever changed them (a session
// of this process or of another, the seed, an administrator with sqlite3).
//
//   MMConfigEpoch   one row: a random text that names this history of the
//                   log ("Epoch"), the highest sequence number pruned from
//                   the log ("Pruned") and the stamp of that pruned entry
//                   ("PrunedStamp").
//   MMConfigChange  one row per changed object: a sequence number ("Seq",
//                   growing), the kind of object (MMStoredKind as a number),
//                   its id ("ObjectId"; NULL: every object of the kind),
//                   whether a row was born under that id ("Born" 1: a row
//                   inserted, whatever made it, or moved there from another
//                   id) and a random "Stamp" of the entry.
//   MMConfigChangeBorn  the entries of the rows born (a view).
//   MMConfigChangeUnindexed, MMConfigChangeStamped  views that mark the
//                   make of the log: kept without an index of its births
//                   (a change pays for its own entries alone), and with
//                   stamps. A database of an older make gets the log anew.
//
// Triggers on each table the configuration is read from add the rows, in
// the transaction of the change itself: an insert, an update or a delete
// logs the row's key (an update that moves a key logs both); a change of a
// client (APP_Client) logs every media agent. The newest kLogKept changes
// are kept; older ones are pruned, at every 1,024th entry.
//
// Who reads it:
// - A configuration read (MMMediaConfigDB::loadCurrent) reads the entries
//   after the place of the read the process keeps, and only the rows they
//   name; it reads everything when the log cannot tell what changed since.
// - The stale check of a handle (MMMediaConfigDB::sameRowSince) asks
//   whether a row was born under the handle's id after the session's place
//   in the log: such a row is another object, even where it holds the
//   same values (a row deleted and inserted again, replaced, or copied
//   back with every column). The process answers from its ledger of the
//   births it has read (MMBirthLedger.h), which reads each entry once and
//   keeps answering after the log prunes it.
//
// A reader trusts the log only while it is the history it read:
// - the epoch is renewed whenever the log or one of its triggers had to be
//   made (a new database, an existing one without them, a trigger dropped
//   by hand or gone with a table rebuilt by hand), and a reader that sees
//   a trigger missing or on another table trusts nothing;
// - a log deleted back to an earlier entry and grown again, or put back
//   from a copy, keeps its epoch but numbers other entries as those read:
//   a reader checks that the entry at its place still carries the stamp it
//   read there (the epoch keeps the stamp of the entry at the pruned mark).
// A change of the schema that leaves the log as it was (a VACUUM, a table
// or an index made by another connection) changes nothing of this.
//
// The DRU hosts, the archive clusters (with their access nodes) and the
// vendor catalogues are not part of the stored configuration, but a
// configuration read reads them beside it: the log names them too, each as
// a whole (kinds below), so that a read that finds nothing changed need not
// read them again.
#pragma once

#include <string>

namespace tkmmdb {

// How many of the newest changes the log keeps.
inline constexpr long long kLogKept = 65536;

// Kinds the log names beside the stored ones (MMStoredKind), always as
// every object of the kind.
inline constexpr int kLoggedDRUHosts = 100;
inline constexpr int kLoggedArchiveClusters = 101;
// The model's own settings of objects (MMObjectSetting), read as a whole.
inline constexpr int kLoggedObjectSettings = 102;
// 103 named the copy managers as a whole before they became a stored kind
// (MMStoredKind::CopyManager); it is not used again.
// The vendor catalogues (MMVendorCatalogue), read as a whole: a read that
// finds the log where it was keeps the catalogues it read then.
inline constexpr int kLoggedVendorCatalogues = 104;

// Registers the tables and triggers of the log with the database engine
// (once per process; every connection makes what its database lacks
// before its next statement). The engine calls it before its first
// connection applies the schema, once the tables it watches are
// registered; calling it earlier would put the triggers before them.
void registerChangeLog();

// The number of triggers a complete log has.
int changeLogTriggerCount();

// The query that starts a re-read, with two parameters: the sequence number
// the reader last read (changes after it are listed), and whether to count
// the log's triggers and read the schema's version (1) or not (0: counting
// them reads the whole schema; a reader may skip it while the schema is
// still the one it counted them in, which tkdb::RowView::mark tells). Rows:
//   -1, epoch, pruned, highest sequence (NULL: empty log), triggers
//       present (NULL: not counted), schema version (NULL: not read), the
//       stamp of the entry at the first parameter's place, the stamp of
//       the newest entry (each NULL: no such entry)
//   kind, object id (NULL: every object of the kind), born (1: the row was
//       born; NULL), sequence, NULL, NULL, NULL, NULL
// in no particular order; a database with no epoch row has no first row.
const std::string& changeLogHeaderQuery();


// An expression, in a query over the epoch's row (MMConfigEpoch), for the
// stamp of the log's entry at `place` (a parameter or a column): the
// entry's own, or the one the epoch kept of the entry at the pruned mark;
// NULL where there is no such entry.
std::string stampAtSql(const std::string& place);
// A sub-query for the stamp of the log's newest entry (NULL: none).
std::string newestStampSql();

// The filter a scan of the kind's rows takes to read only those the log
// names after the sequence number bound to it: "<key> IN (...)".
std::string changedKeysFilter(const std::string& key, int kind);

// One row, 1 when the log of epoch ?2 holds every change after sequence ?1
// and names none of `kind` among them, else 0; no row without the log.
std::string kindUnchangedQuery(int kind);

}  // namespace tkmmdb
