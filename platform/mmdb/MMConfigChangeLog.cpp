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
  // themselves (null: they are not): an insert gives the row a new birth
  // (MMConfigBirth), so that a row inserted under the id of one deleted is
  // told from it.
  const char* birthKey = nullptr;
};

constexpr int kindOf(MMStoredKind kind) { return static_cast<int>(kind); }

const std::vector<Watched>& watched() {
  static const std::vector<Watched> tables = {
      {"MMHost", kindOf(MMStoredKind::MediaAgent), "ClientId", "ClientId"},
      // A client's name is a media agent's; a client replaced under another
      // id (INSERT OR REPLACE) deletes a row no trigger sees.
      {"APP_Client", kindOf(MMStoredKind::MediaAgent), ""},
      {"MMLibrary", kindOf(MMStoredKind::Library), "LibraryId", "LibraryId"},
      {"MMLibraryController", kindOf(MMStoredKind::LibraryController), "LibraryControllerId", "LibraryControllerId"},
      {"MMMasterPool", kindOf(MMStoredKind::MasterPool), "MasterPoolId", "MasterPoolId"},
      {"MMDrivePool", kindOf(MMStoredKind::DrivePool), "DrivePoolId", "DrivePoolId"},
      {"MMDrive", kindOf(MMStoredKind::Drive), "DriveId", "DriveId"},
      {"MMDrivePath", kindOf(MMStoredKind::DrivePath), "DrivePathId", "DrivePathId"},
      {"MMMountPath", kindOf(MMStoredKind::MountPath), "MountPathId", "MountPathId"},
      // The device a mount path lies on is read with the mount path.
      {"MMMountPathToStorageDevice", kindOf(MMStoredKind::MountPath), "MountPathId"},
      {"MMDevice", kindOf(MMStoredKind::Device), "DeviceId", "DeviceId"},
      {"MMDeviceController", kindOf(MMStoredKind::DeviceController), "DeviceControllerId", "DeviceControllerId"},
      {"MMDRUHost", kLoggedDRUHosts, "", "HostId"},
      {"MMCenteraCluster", kLoggedArchiveClusters, "", "ClusterId"},
      {"MMCenteraAccessNode", kLoggedArchiveClusters, ""},
      {"MMObjectSetting", kLoggedObjectSettings, ""},
      {"MMCopyManager", kLoggedCopyManagers, ""},
  };
  return tables;
}

std::string quotedName(const std::string& name) { return "\"" + name + "\""; }

// Makes the statement renew the epoch first: whoever has to make a part of
// the log makes every reader read everything once more.
std::string renewingEpoch(const std::string& create) {
  return "UPDATE \"MMConfigEpoch\" SET \"Epoch\" = lower(hex(randomblob(16))); " + create;
}

std::string logRow(int kind, const std::string& key) {
  return "INSERT INTO \"MMConfigChange\" (\"Kind\", \"ObjectId\") VALUES (" + std::to_string(kind) + ", " + key +
         "); ";
}

// A new birth for the row of `key` (a random number: births are told
// apart, never ordered), and the birth of a row that goes.
std::string bornRow(int kind, const std::string& key) {
  return "INSERT OR REPLACE INTO \"MMConfigBirth\" (\"Kind\", \"ObjectId\", \"Birth\") VALUES (" +
         std::to_string(kind) + ", " + key + ", random()); ";
}

// Where the counter row of the table of `kind` is kept in sqlite_sequence:
// a rowid of its own, so that the trigger of every insert finds the
// counter by a seek rather than a scan of the table's rows by name. The
// slots lie far below the rowids the engine gives (one above the highest),
// in the order of the kinds, so that a counter row made later lands above
// every slot of a kind with births.
long long counterSlot(int kind) { return -1000000LL + kind; }

std::string quotedText(const std::string& text) { return "'" + text + "'"; }

// The table's counter row, made as the engine would make it at the
// table's first insert (the highest id so far) when it has none yet, and
// moved to its slot. Only a table with an identity has a counter that the
// engine keeps: any other keeps no row, so that every insert of it gets a
// birth. A slot another row holds leaves the counter where it is: the
// triggers then find it by name, as they do after anything renumbers the
// table's rows (a VACUUM).
std::string pinnedCounter(const std::string& table, int kind, const std::string& key) {
  const std::string name = quotedText(table);
  const std::string slot = std::to_string(counterSlot(kind));
  return "INSERT INTO sqlite_sequence (\"name\", \"seq\") SELECT " + name + ", (SELECT IFNULL(MAX(" +
         quotedName(key) + "), 0) FROM " + quotedName(table) +
         ") WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE \"name\" = " + name +
         ") AND EXISTS (SELECT 1 FROM sqlite_master WHERE \"type\" = 'table' AND \"name\" = " + name +
         " AND \"sql\" LIKE '%AUTOINCREMENT%'); "
         "UPDATE sqlite_sequence SET rowid = " + slot + " WHERE \"name\" = " + name + " AND rowid <> " + slot +
         " AND NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE rowid = " + slot + "); ";
}

// A new birth for an inserted row whose id an earlier row of the table may
// have had; none for an id above every one the table ever gave. The
// table's identity counter (sqlite_sequence) still holds, while the
// statement's rows are inserted, the highest id any earlier statement
// used: a row under an id above it is the first of its id, whatever made
// it, and keeps birth 0 (no row), which no reader can have seen for
// another row of that id. An id at or below it (an id given by hand, a row
// replaced, a table without a counter) gets a birth. So the inserts of the
// console and of the table access, which take new ids, write no birth, and
// a deleted row's birth can stay: the next row of its id gets another.
// The counter is looked up in its slot (pinnedCounter) and by name when it
// is not there.
std::string bornIfKnownId(const std::string& table, int kind, const std::string& key) {
  const std::string name = quotedText(table);
  return "INSERT OR REPLACE INTO \"MMConfigBirth\" (\"Kind\", \"ObjectId\", \"Birth\") SELECT " +
         std::to_string(kind) + ", " + key + ", random() WHERE " + key +
         " <= COALESCE((SELECT \"seq\" FROM sqlite_sequence WHERE rowid = " + std::to_string(counterSlot(kind)) +
         " AND \"name\" = " + name + "), (SELECT \"seq\" FROM sqlite_sequence WHERE \"name\" = " + name + "), " +
         key + "); ";
}

std::string goneRow(int kind, const std::string& key) {
  return "DELETE FROM \"MMConfigBirth\" WHERE \"Kind\" = " + std::to_string(kind) + " AND \"ObjectId\" = " + key +
         "; ";
}

// Registered before the first connection applies the schema, after every
// table registered at load time: a database gains the log, and a table the
// schema step rebuilds gets its triggers back, in the step's own
// transaction rather than at the first configuration read.
[[maybe_unused]] const bool kRegisteredLater = [] {
  tkdb::registerSchemaLater(&registerChangeLog);
  return true;
}();

}  // namespace

int changeLogTriggerCount() {
  int count = static_cast<int>(watched().size()) * 3 + 1;
  for (const Watched& w : watched())
    if (w.birthKey != nullptr) count += 1;  // the one of a moved id
  return count;
}

const std::string& birthsQuery(bool changedOnly) {
  static const std::string all =
      "SELECT \"ObjectId\", \"Birth\" FROM \"MMConfigBirth\" WHERE \"Kind\" = ?1 ORDER BY \"ObjectId\"";
  static const std::string changed =
      "SELECT \"ObjectId\", \"Birth\" FROM \"MMConfigBirth\" WHERE \"Kind\" = ?1 AND \"ObjectId\" IN "
      "(SELECT \"ObjectId\" FROM \"MMConfigChange\" WHERE \"Seq\" > ?2 AND \"Kind\" = ?1) ORDER BY \"ObjectId\"";
  return changedOnly ? changed : all;
}

void registerChangeLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    tkdb::registerSchema("MMConfigEpoch",
                         "CREATE TABLE IF NOT EXISTS \"MMConfigEpoch\" (\"Epoch\" TEXT NOT NULL, "
                         "\"Pruned\" INTEGER NOT NULL DEFAULT 0); "
                         "INSERT INTO \"MMConfigEpoch\" (\"Epoch\") SELECT lower(hex(randomblob(16))) "
                         "WHERE NOT EXISTS (SELECT 1 FROM \"MMConfigEpoch\")");
    // A log made anew (a database without one, or one dropped by hand)
    // numbers its changes from the start again: nothing of it is pruned.
    tkdb::registerSchema("MMConfigChange",
                         renewingEpoch("UPDATE \"MMConfigEpoch\" SET \"Pruned\" = 0; CREATE TABLE IF NOT EXISTS "
                                       "\"MMConfigChange\" (\"Seq\" INTEGER PRIMARY KEY, \"Kind\" INTEGER NOT NULL, "
                                       "\"ObjectId\" INTEGER)"));
    const std::string kept = std::to_string(kLogKept);
    tkdb::registerTrigger(
        "MMConfigChange_prune", "MMConfigChange",
        renewingEpoch("CREATE TRIGGER IF NOT EXISTS \"MMConfigChange_prune\" AFTER INSERT ON \"MMConfigChange\" "
                      "WHEN NEW.\"Seq\" % 1024 = 0 AND NEW.\"Seq\" > " + kept + " BEGIN "
                      "UPDATE \"MMConfigEpoch\" SET \"Pruned\" = NEW.\"Seq\" - " + kept + " WHERE \"Pruned\" < NEW.\"Seq\" - " +
                      kept + "; DELETE FROM \"MMConfigChange\" WHERE \"Seq\" <= NEW.\"Seq\" - " + kept + "; END"));
    tkdb::registerSchema("MMConfigBirth",
                         renewingEpoch("CREATE TABLE IF NOT EXISTS \"MMConfigBirth\" (\"Kind\" INTEGER NOT NULL, "
                                       "\"ObjectId\" INTEGER NOT NULL, \"Birth\" INTEGER NOT NULL, "
                                       "PRIMARY KEY (\"Kind\", \"ObjectId\")) WITHOUT ROWID"));
    for (const Watched& w : watched()) {
      const int kind = w.kind;
      const std::string table = w.table;
      const std::string key = w.key;
      const std::string newKey = key.empty() ? "NULL" : "NEW." + quotedName(key);
      const std::string oldKey = key.empty() ? "NULL" : "OLD." + quotedName(key);
      const std::string prefix = "MMConfigChange_" + table + "_";
      auto trigger = [&](const char* suffix, const std::string& event, const std::string& body,
                         const std::string& when = "", const std::string& before = "") {
        const std::string name = prefix + suffix;
        tkdb::registerTrigger(name, table,
                              renewingEpoch(before + "CREATE TRIGGER IF NOT EXISTS " + quotedName(name) + " AFTER " +
                                            event + " ON " + quotedName(table) + when + " BEGIN " + body + "END"));
      };
      if (w.birthKey == nullptr) {
        trigger("insert", "INSERT", logRow(kind, newKey));
        trigger("delete", "DELETE", logRow(kind, oldKey));
      } else {
        // The birth is given in the trigger that logs the row, and only
        // to a row whose id may have been used before (bornIfKnownId); a
        // delete leaves the birth. A database whose births had triggers
        // of their own (a birth for every row, taken at every delete)
        // gets these in their place.
        // The trigger's making pins the table's counter first: a
        // database whose trigger looked the counter up by name only
        // ("insert_born") gets this one in its place.
        const std::string bornKey = "NEW." + quotedName(w.birthKey);
        trigger("insert_counted", "INSERT", logRow(kind, newKey) + bornIfKnownId(table, kind, bornKey), "",
                pinnedCounter(table, kind, w.birthKey));
        trigger("delete", "DELETE", logRow(kind, oldKey));
        for (const char* older : {"insert", "born", "gone", "insert_born"}) tkdb::retireTrigger(prefix + older);
      }
      std::string update = logRow(kind, oldKey);
      if (!key.empty()) {
        update += "INSERT INTO \"MMConfigChange\" (\"Kind\", \"ObjectId\") SELECT " + std::to_string(kind) + ", " +
                  newKey + " WHERE " + newKey + " IS NOT " + oldKey + "; ";
      }
      trigger("update", "UPDATE", update);
      if (w.birthKey != nullptr) {
        // Apart from the update's log: only an update of the key fires it.
        const std::string bornKey = "NEW." + quotedName(w.birthKey);
        const std::string goneKey = "OLD." + quotedName(w.birthKey);
        trigger("moved", "UPDATE OF " + quotedName(w.birthKey), goneRow(kind, goneKey) + bornRow(kind, bornKey),
                " WHEN " + bornKey + " IS NOT " + goneKey);
      }
    }
  });
}

const std::string& changeLogHeaderQuery() {
  static const std::string sql =
      "SELECT -1, \"Epoch\", \"Pruned\", (SELECT MAX(\"Seq\") FROM \"MMConfigChange\"), "
      "CASE WHEN ?2 = 0 THEN NULL ELSE (SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND "
      "(lower(substr(name, 1, length(tbl_name) + 16)) = lower('MMConfigChange_' || tbl_name || '_') OR "
      "(name = 'MMConfigChange_prune' AND tbl_name = 'MMConfigChange'))) END "
      "FROM \"MMConfigEpoch\" "
      "UNION ALL SELECT \"Kind\", \"ObjectId\", NULL, \"Seq\", NULL FROM \"MMConfigChange\" WHERE \"Seq\" > ?1";
  return sql;
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
