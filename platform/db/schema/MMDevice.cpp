// The storage devices, as far as the system's own queries reach them: a
// device's type code. The device-controller lookups of the storage-library
// request find the devices of one type through it. The table access of
// devices adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMDevice",
                       "CREATE TABLE IF NOT EXISTS \"MMDevice\" ("
                       "\"DeviceId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"DeviceTypeId\" INTEGER)");
  return true;
}();

}  // namespace
