// The drive paths: one row per way a media agent (ClientId) reaches a drive
// (DriveId), with the drive pool of that agent the path belongs to
// (DrivePoolId, 0 for none), the device name the agent knows the drive by
// (PathName) and whether the path is configured (IsEnabled). The
// media-configuration table access (MMMediaConfigDB) loads and changes them;
// removing a drive, a drive pool or a library removes its paths.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMDrivePath",
                       "CREATE TABLE IF NOT EXISTS \"MMDrivePath\" ("
                       "\"DrivePathId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"DriveId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DrivePoolId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ClientId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"PathName\" TEXT NOT NULL DEFAULT '', "
                       "\"IsEnabled\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerIndex("MMDrivePath", "DriveId");
  tkdb::registerIndex("MMDrivePath", "DrivePoolId");
  tkdb::registerReferences("MMDrivePath", "MMDrive: DriveId = DriveId; MMDrivePool: DrivePoolId = DrivePoolId");
  return true;
}();

}  // namespace
