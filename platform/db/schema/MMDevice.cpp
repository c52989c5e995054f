// The storage devices: one row per device (a disk, a network share, a cloud
// storage) with its name (AliasName, the name lookups by name match, without
// regard to letter case), its type code (DeviceTypeId), its state and the
// DRU host it is tied to (DRUHostId, 0 for none). The
// device-controller lookups of the storage-library request find the devices
// of one type through it; the device table access (MMDeviceDB) reads and
// renames devices, the device client-info object creates them.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMDevice",
                       "CREATE TABLE IF NOT EXISTS \"MMDevice\" ("
                       "\"DeviceId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"DeviceTypeId\" INTEGER, "
                       "\"AliasName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"DeviceSoftState\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DeviceEnabled\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DeviceBroken\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DeviceAccessible\" INTEGER NOT NULL DEFAULT 0, "
                       "\"CloudServiceType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DeviceFlags\" INTEGER NOT NULL DEFAULT 0, "
                       "\"VendorId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatus\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatusUpdateTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origTFId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origDeviceId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DeviceAttribute\" INTEGER NOT NULL DEFAULT 0, "
                       "\"SerialNumber\" TEXT NOT NULL DEFAULT '', "
                       "\"IsOffline\" INTEGER NOT NULL DEFAULT 0, "
                       "\"OfflineReason\" INTEGER NOT NULL DEFAULT 0, "
                       "\"OfflineReasonEventId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"UseCount\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ExtendedAttributes\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DRUHostId\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
