// The media: one row per medium (a tape, or the medium behind a disk mount
// path's media side). The media table access (MMMediaDB) finds the medium of
// a mount path through MMMountPath.MediaSideId and MMMediaSide.MediaId.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMedia",
                       "CREATE TABLE IF NOT EXISTS \"MMMedia\" ("
                       "\"MediaId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"MediaName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"BarCode\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"MediaTypeId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaInstallTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaSoftState\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LastWriteTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LastReadTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaEnabled\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaBroken\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Capacity\" INTEGER NOT NULL DEFAULT 0, "
                       "\"NumberOfSides\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ExternalGUID\" TEXT NOT NULL DEFAULT '', "
                       "\"LibraryId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MasterPoolId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"SlotId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaStatus\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaUsage\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MountCount\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ErrorCount\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DataWritten\" INTEGER NOT NULL DEFAULT 0, "
                       "\"VaultId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ContainerId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Descript\" TEXT, "
                       "\"RMStatus\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RetentionTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origTFId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LastMountTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origMediaId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaAttribute\" INTEGER NOT NULL DEFAULT 0, "
                       "\"NumReadErrors\" INTEGER NOT NULL DEFAULT 0, "
                       "\"NumWriteErrors\" INTEGER NOT NULL DEFAULT 0, "
                       "\"CleaningCount\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaLocation\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ExtendedAttributes\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LastCleanTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"PrivateData\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
