// Which distributed-storage entity a mount path is attached to: one row per
// mount path (MMMiscDB::setDistributedStorageForMountPath).
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMountPathToDistributedStorage",
                       "CREATE TABLE IF NOT EXISTS \"MMMountPathToDistributedStorage\" ("
                       "\"MountPathId\" INTEGER PRIMARY KEY, "
                       "\"DistributedStorageId\" INTEGER NOT NULL)");
  tkdb::registerReferences("MMMountPathToDistributedStorage", "MMMountPath: MountPathId = MountPathId");
  return true;
}();

}  // namespace
