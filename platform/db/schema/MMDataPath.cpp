// The data paths of storage-policy copies: which drive pool a copy writes
// through. A copy writes to a library when one of its data paths leads to a
// drive pool of one of the library's master pools; the storage-policy list
// procedures find the policies of a library this way. The table access of
// data paths adds its further columns here.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMDataPath",
                       "CREATE TABLE IF NOT EXISTS \"MMDataPath\" ("
                       "\"CopyId\" INTEGER, "
                       "\"DrivePoolId\" INTEGER)");
  tkdb::registerReferences("MMDataPath", "MMDrivePool: DrivePoolId = DrivePoolId");
  return true;
}();

}  // namespace
