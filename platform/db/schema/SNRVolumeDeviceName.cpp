// The device names of the replication database: one row per device of a
// client (hostId, the client id) under the id that the replication calls
// use (deviceNameId). Registering a device adds its row; the device-id
// procedure finds it by client and name. The replication database service
// adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("SNRVolumeDeviceName",
                       "CREATE TABLE IF NOT EXISTS \"SNRVolumeDeviceName\" ("
                       "\"deviceNameId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"hostId\" INTEGER NOT NULL, "
                       "\"deviceName\" TEXT COLLATE NOCASE NOT NULL)");
  return true;
}();

}  // namespace
