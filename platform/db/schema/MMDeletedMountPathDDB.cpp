// The deduplication stores (DDBs) marked for a mount path deleted with
// force: one row per mount path and store, written by MMInsertDeletedMPToDDB
// in the deletion's transaction and read by MMGetDDBListForDeletedMP when
// the DV2 jobs of the deleted mount paths are started.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMDeletedMountPathDDB",
                       "CREATE TABLE IF NOT EXISTS \"MMDeletedMountPathDDB\" ("
                       "\"MountPathId\" INTEGER NOT NULL, "
                       "\"SIDBStoreId\" INTEGER NOT NULL, "
                       "PRIMARY KEY (\"MountPathId\", \"SIDBStoreId\"))");
  return true;
}();

}  // namespace
