// Which storage device a mount path lies on: one row per mount path and
// device. The device-controller and drive-pool lookups and the mount-path
// view go from a mount path to its device through this table. The table
// access of devices adds its further columns here.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMountPathToStorageDevice",
                       "CREATE TABLE IF NOT EXISTS \"MMMountPathToStorageDevice\" ("
                       "\"MountPathId\" INTEGER, "
                       "\"DeviceId\" INTEGER)");
  tkdb::registerIndex("MMMountPathToStorageDevice", "MountPathId, DeviceId");
  tkdb::registerIndex("MMMountPathToStorageDevice", "DeviceId");
  tkdb::registerReferences("MMMountPathToStorageDevice", "MMMountPath: MountPathId = MountPathId; MMDevice: DeviceId = DeviceId");
  return true;
}();

}  // namespace
