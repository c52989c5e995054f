// The change log of the media-configuration tables (MMConfigChangeLog.h).
#include "platform/mmdb/MMConfigChangeLog.h"

#include <mutex>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmmdb {

namespace {

// A watched table: the kind of object its rows are part of and the column
// that holds the object's id; an empty column logs every object of the
// kind (a change there can touch any of them).
struct Watched {
  const char* table;
  int kind;  // an MMStoredKind, or a kind logged beside them
  const char* key;
  // The column of the object's id when the table's rows are the objects
  // themselves (null: they are not): an insert logs the row as born, so
  // that a row inserted under the id of one deleted is told from it.
  const char* birthKey = nullptr;
};

constexpr int kindOf(MMStoredKind kind) { return static_cast<int>(kind); }

const std::vector<Watched>& watched() {
  static const std::vector<Watched> tables = [] {
    // Each stored kind's own table, keyed by its id, its rows born as the
    // registry says.
    std::vector<Watched> all;
    for (const MMStoredKindRow& row : storedKinds())
      all.push_back({row.table, kindOf(row.kind), row.key, row.born ? row.key : nullptr});
    // Tables read with a kind's rows.
    // A client's name is a media agent's; a client replaced under another
    // id (INSERT OR REPLACE) deletes a row no trigger sees.
    all.push_back({"APP_Client", kindOf(MMStoredKind::MediaAgent), ""});
    // The device a mount path lies on is read with the mount path.
    all.push_back({"MMMountPathToStorageDevice", kindOf(MMStoredKind::MountPath), "MountPathId"});
    // Tables read beside the stored kinds, each as a whole.
    all.push_back({"MMDRUHost", kLoggedDRUHosts, "", "HostId"});
    all.push_back({"MMCenteraCluster", kLoggedArchiveClusters, "", "ClusterId"});
    all.push_back({"MMCenteraAccessNode", kLoggedArchiveClusters, ""});
    all.push_back({"MMObjectSetting", kLoggedObjectSettings, ""});
    all.push_back({"MMVendorCatalogue", kLoggedVendorCatalogues, ""});
    return all;
  }();
  return tables;
}

std::string quotedName(const std::string& name) { return "\"" + name + "\""; }

// Makes the statement renew the epoch first: whoever has to make a part of
// the log makes every reader read everything once more.
std::string renewingEpoch(const std::string& create) {
  return "UPDATE \"MMConfigEpoch\" SET \"Epoch\" = lower(hex(randomblob(16))); " + create;
}

// Logs the row of `key`, only when `when` holds if there is a condition;
// `born` ("1") marks a row inserted under it, or moved there from another
// id.
std::string logRow(int kind, const std::string& key, const char* born = nullptr, const std::string& when = "") {
  std::string columns = "\"Kind\", \"ObjectId\"";
  std::string values = std::to_string(kind) + ", " + key;
  if (born != nullptr) {
    columns += ", \"Born\"";
    values += std::string(", ") + born;
  }
  return "INSERT INTO \"MMConfigChange\" (" + columns + ") " +
         (when.empty() ? "VALUES (" + values + ")" : "SELECT " + values + " WHERE " + when) + "; ";
}

constexpr const char kBorn[] = "1";

// The view whose presence says that the database's log is kept without an
// index of its births (registerChangeLog).
constexpr const char kUnindexedMark[] = "MMConfigChangeUnindexed";

// The view whose presence says that the database's log stamps its entries.
constexpr const char kStampedMark[] = "MMConfigChangeStamped";

// Registered before the first connection applies the schema, after every
// table registered at load time: a database gains the log, and a table the
// schema step rebuilds gets its triggers back, in the step's own
// transaction rather than at the first configuration read.
[[maybe_unused]] const bool kRegisteredLater = [] {
  tkdb::registerSchemaLater(&registerChangeLog);
  return true;
}();

}  // namespace

int changeLogTriggerCount() { return static_cast<int>(watched().size()) * 3 + 1; }

void registerChangeLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    // "PrunedStamp": the stamp of the entry at the pruned mark, which the
    // prune deletes, so that a place exactly there is still told.
    const std::string epochTable =
        "CREATE TABLE IF NOT EXISTS \"MMConfigEpoch\" (\"Epoch\" TEXT NOT NULL, \"Pruned\" INTEGER NOT NULL "
        "DEFAULT 0, \"PrunedStamp\" INTEGER)";
    tkdb::registerSchema("MMConfigEpoch",
                         epochTable + "; INSERT INTO \"MMConfigEpoch\" (\"Epoch\") SELECT "
                         "lower(hex(randomblob(16))) WHERE NOT EXISTS (SELECT 1 FROM \"MMConfigEpoch\")");
    // A log made anew (a database without one, or one dropped by hand)
    // numbers its changes from the start again: nothing of it is pruned.
    const std::string unpruned = "UPDATE \"MMConfigEpoch\" SET \"Pruned\" = 0; ";
    const std::string logTable =
        "CREATE TABLE IF NOT EXISTS \"MMConfigChange\" (\"Seq\" INTEGER PRIMARY KEY, \"Kind\" INTEGER NOT NULL, "
        "\"ObjectId\" INTEGER, \"Born\" INTEGER, \"Stamp\" INTEGER DEFAULT (random() & 8388607))";
    // The births the log holds, made with the log that holds them: a
    // database of an older make, whose log marks no births (they were kept
    // in a table of their own, MMConfigBirth, which goes), gets the log
    // anew, and its readers read everything once more.
    tkdb::registerSchema("MMConfigChangeBorn",
                         renewingEpoch("DROP TABLE IF EXISTS \"MMConfigChange\"; DROP TABLE IF EXISTS "
                                       "\"MMConfigBirth\"; " + unpruned + logTable +
                                       "; CREATE VIEW IF NOT EXISTS \"MMConfigChangeBorn\" AS SELECT \"Seq\", \"Kind\", "
                                       "\"ObjectId\" FROM \"MMConfigChange\" WHERE \"Born\" = 1"));
    tkdb::registerSchema("MMConfigChange", renewingEpoch(unpruned + logTable));
    // The log has no index but its sequence: a look at one object's rows
    // born since a place of the log (the stale check of a handle) reads
    // the entries after that place in the log's order, which the pruning
    // bounds, rather than have every birth and every prune keep an index.
    // A database made when the births were indexed by object id
    // ("MMConfigChange_born") loses that index: the statement is registered
    // under the name of the view it ends with, which such a database
    // lacks, so that it runs once there (and once on a new database) and
    // never again. The log's contents stay as they were: readers keep
    // their place.
    tkdb::registerSchema(kUnindexedMark,
                         "DROP INDEX IF EXISTS \"MMConfigChange_born\"; CREATE VIEW IF NOT EXISTS \"" +
                             std::string(kUnindexedMark) + "\" AS SELECT 1 AS \"Unindexed\"");
    // Every entry carries a random stamp: a log deleted back to an earlier
    // entry and grown again numbers other entries as the ones read, and a
    // reader that finds the entry of its place with another stamp knows
    // that the log went back. 23 bits, stored in three bytes: a full
    // 64-bit stamp made every change of the configuration pay for the
    // log's larger rows (twice the time of an insert's own log entry); an
    // entry of another history passes for the one read once in about
    // 8 million. A database whose log has no stamps gets the
    // log anew (and an epoch row with the pruned entry's stamp), once:
    // its readers read everything once more.
    tkdb::registerSchema(kStampedMark,
                         "DROP TABLE IF EXISTS \"MMConfigChange\"; DROP TABLE IF EXISTS \"MMConfigEpoch\"; " +
                             epochTable + "; INSERT INTO \"MMConfigEpoch\" (\"Epoch\") VALUES "
                             "(lower(hex(randomblob(16)))); " + logTable + "; CREATE VIEW IF NOT EXISTS \"" +
                             std::string(kStampedMark) + "\" AS SELECT 1 AS \"Stamped\"");
    const std::string kept = std::to_string(kLogKept);
    tkdb::registerTrigger(
        "MMConfigChange_prune", "MMConfigChange",
        renewingEpoch("CREATE TRIGGER IF NOT EXISTS \"MMConfigChange_prune\" AFTER INSERT ON \"MMConfigChange\" "
                      "WHEN NEW.\"Seq\" % 1024 = 0 AND NEW.\"Seq\" > " + kept + " BEGIN "
                      "UPDATE \"MMConfigEpoch\" SET \"Pruned\" = NEW.\"Seq\" - " + kept +
                      ", \"PrunedStamp\" = (SELECT \"Stamp\" FROM \"MMConfigChange\" WHERE \"Seq\" = NEW.\"Seq\" - " +
                      kept + ") WHERE \"Pruned\" < NEW.\"Seq\" - " + kept + "; DELETE FROM \"MMConfigChange\" WHERE \"Seq\" <= NEW.\"Seq\" - " + kept + "; END"));
    for (const Watched& w : watched()) {
      const int kind = w.kind;
      const std::string table = w.table;
      const std::string key = w.key;
      const std::string newKey = key.empty() ? "NULL" : "NEW." + quotedName(key);
      const std::string oldKey = key.empty() ? "NULL" : "OLD." + quotedName(key);
      const std::string prefix = "MMConfigChange_" + table + "_";
      auto trigger = [&](const char* suffix, const std::string& event, const std::string& body) {
        const std::string name = prefix + suffix;
        tkdb::registerTrigger(name, table,
                              renewingEpoch("CREATE TRIGGER IF NOT EXISTS " + quotedName(name) + " AFTER " + event +
                                            " ON " + quotedName(table) + " BEGIN " + body + "END"));
      };
      if (w.birthKey == nullptr) {
        trigger("insert", "INSERT", logRow(kind, newKey));
        trigger("delete", "DELETE", logRow(kind, oldKey));
        std::string update = logRow(kind, oldKey);
        if (!key.empty()) update += logRow(kind, newKey, nullptr, newKey + " IS NOT " + oldKey);
        trigger("update", "UPDATE", update);
        continue;
      }
      // Every row inserted is logged as born, whatever made it and under
      // whatever id, and so is a row whose id moved, under its new id: a
      // reader that kept the object of an id knows that a row born under
      // it since is another object (a row deleted and inserted again,
      // replaced, or copied back with every column). The kinds logged as a
      // whole log the born row's id all the same.
      const std::string bornKey = "NEW." + quotedName(w.birthKey);
      const std::string idMoved = bornKey + " IS NOT OLD." + quotedName(w.birthKey);
      trigger("inserted", "INSERT", logRow(kind, bornKey, kBorn));
      trigger("delete", "DELETE", logRow(kind, oldKey));
      trigger("updated", "UPDATE", logRow(kind, oldKey) + logRow(kind, bornKey, kBorn, idMoved));
      // The triggers of older makes, which kept the births in a table.
      for (const char* older : {"insert", "born", "gone", "insert_born", "insert_counted", "moved", "update"})
        tkdb::retireTrigger(prefix + older);
    }
  });
}

const std::string& changeLogHeaderQuery() {
  static const std::string sql =
      "SELECT -1, \"Epoch\", \"Pruned\", (SELECT MAX(\"Seq\") FROM \"MMConfigChange\"), "
      "CASE WHEN ?2 = 0 THEN NULL ELSE (SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND "
      "(lower(substr(name, 1, length(tbl_name) + 16)) = lower('MMConfigChange_' || tbl_name || '_') OR "
      "(name = 'MMConfigChange_prune' AND tbl_name = 'MMConfigChange'))) END, "
      "CASE WHEN ?2 = 0 THEN NULL ELSE (SELECT \"schema_version\" FROM pragma_schema_version) END, " +
      stampAtSql("?1") + ", " + newestStampSql() +
      " FROM \"MMConfigEpoch\" "
      "UNION ALL SELECT \"Kind\", \"ObjectId\", \"Born\", \"Seq\", NULL, NULL, NULL, NULL FROM \"MMConfigChange\" "
      "WHERE \"Seq\" > ?1";
  return sql;
}

std::string stampAtSql(const std::string& place) {
  return "CASE WHEN " + place + " = \"Pruned\" AND \"Pruned\" > 0 THEN \"PrunedStamp\" ELSE (SELECT \"Stamp\" FROM "
         "\"MMConfigChange\" WHERE \"Seq\" = " + place + ") END";
}

std::string newestStampSql() {
  return "(SELECT \"Stamp\" FROM \"MMConfigChange\" ORDER BY \"Seq\" DESC LIMIT 1)";
}

std::string changedKeysFilter(const std::string& key, int kind) {
  return key + " IN (SELECT \"ObjectId\" FROM \"MMConfigChange\" WHERE \"Seq\" > ?1 AND \"Kind\" = " +
         std::to_string(kind) + ")";
}

std::string kindUnchangedQuery(int kind) {
  return "SELECT \"Epoch\" = ?2 AND \"Pruned\" <= ?1 AND NOT EXISTS (SELECT 1 FROM \"MMConfigChange\" WHERE "
         "\"Seq\" > ?1 AND \"Kind\" = " + std::to_string(kind) + ") FROM \"MMConfigEpoch\"";
}

}  // namespace tkmmdb
