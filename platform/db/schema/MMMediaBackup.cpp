// The backups stored on media: one row per backup (job) and medium, with the
// application, storage policy and copy it belongs to. Deleting the content of
// a mount path's medium (MMMediaDB::deleteAllBackupsFromOldMedia) removes the
// rows of that medium and reports them.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMediaBackup",
                       "CREATE TABLE IF NOT EXISTS \"MMMediaBackup\" ("
                       "\"MediaBackupId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"JobId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"AppId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ArchGroupId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"CopyId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaId\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerIndex("MMMediaBackup", "MediaId");
  tkdb::registerReferences("MMMediaBackup", "MMMedia: MediaId = MediaId");
  return true;
}();

}  // namespace
