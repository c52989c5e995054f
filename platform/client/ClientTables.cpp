// What the central client rows (APP_Client, APP_Application,
// APP_ApplicationType, APP_ClientProp) do not hold about clients, in tables
// of the client stand-ins:
//   - APP_BackupSet: a client's backup sets per application type and
//     instance, the default mark, the destination host of a file
//     replication set and its lock-data credentials (the password in the
//     cipher's form, never plain), and a deleted mark;
//   - APP_ClientPackage: the packages (by application type) installed on a
//     client;
//   - APP_SubclientInfo: a subclient's backup set, deleted mark and
//     replication policy;
//   - APP_SubclientContent: the volumes in a subclient's content.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_BackupSet",
                       "CREATE TABLE IF NOT EXISTS \"APP_BackupSet\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"clientId\" INTEGER NOT NULL, "
                       "\"appTypeId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"instanceId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"name\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"isDefault\" INTEGER NOT NULL DEFAULT 0, "
                       "\"destinationHostId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"lockDataUserName\" TEXT NOT NULL DEFAULT '', "
                       "\"lockDataPassword\" TEXT NOT NULL DEFAULT '', "
                       "\"deleted\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerSchema("APP_ClientPackage",
                       "CREATE TABLE IF NOT EXISTS \"APP_ClientPackage\" ("
                       "\"clientId\" INTEGER NOT NULL, "
                       "\"appTypeId\" INTEGER NOT NULL, "
                       "PRIMARY KEY (\"clientId\", \"appTypeId\"))");
  tkdb::registerSchema("APP_SubclientInfo",
                       "CREATE TABLE IF NOT EXISTS \"APP_SubclientInfo\" ("
                       "\"subclientId\" INTEGER PRIMARY KEY, "
                       "\"backupSetId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"deleted\" INTEGER NOT NULL DEFAULT 0, "
                       "\"replicationPolicyId\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerSchema("APP_SubclientContent",
                       "CREATE TABLE IF NOT EXISTS \"APP_SubclientContent\" ("
                       "\"subclientId\" INTEGER NOT NULL, "
                       "\"volumeId\" INTEGER NOT NULL, "
                       "\"path\" TEXT NOT NULL DEFAULT '', "
                       "PRIMARY KEY (\"subclientId\", \"volumeId\"))");
  return true;
}();

}  // namespace
