// The RP stores (replication stores): one row per store with its name, its
// library and mount path, its state and its space limits. The columns follow
// the record MMRPStoreConfig_t (Db/Tbl/MMRPStoreConfig.h) field by field; the
// RP-store table access (MMRPStoreConfigDB) writes and reads them.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMRPStoreConfig",
                       "CREATE TABLE IF NOT EXISTS \"MMRPStoreConfig\" ("
                       "\"RPStoreId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"Name\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"LibraryId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Field4\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MountPathId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"State\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Field7\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MinSpace\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MaxSpace\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Field10\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Field11\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Field12\" INTEGER NOT NULL DEFAULT 0)");
  // A library's removal finds its stores by either column.
  tkdb::registerIndex("MMRPStoreConfig", "LibraryId");
  tkdb::registerIndex("MMRPStoreConfig", "MountPathId");
  tkdb::registerReferences("MMRPStoreConfig", "MMLibrary: LibraryId = LibraryId; MMMountPath: MountPathId = MountPathId");
  return true;
}();

}  // namespace
