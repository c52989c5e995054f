// Binding of the mount-path table "MMMountPath": one row per mount path, a
// folder or share on a disk or cloud device where a disk library writes its
// data. The binding names a primary key (MountPathId) but no serial column;
// the database gives the ids all the same, as an identity: the id of a
// deleted mount path is never given to a new one. The platform's mount-path
// table access fills MMMountPath_t rows, alone or as arrays; no handler runs
// a query through the table object itself.
#pragma once

#include "Db/ZQDBBinding.h"

#define MMMOUNTPATH_COLUMNS(COL)             \
  COL(MountPathId, i, 0)                     \
  COL(MountPathName, u, 4097)                \
  COL(MediaSideId, i, 0)                     \
  COL(UserName, s, 1025)                     \
  COL(UserPassword, s, 2049)                 \
  COL(IsEnabled, i, 0)                       \
  COL(NumberOfWriters, i, 0)                 \
  COL(MaxConcurrentWriters, i, 0)            \
  COL(CurrentFileMarker, i, 0)               \
  COL(IsOffline, i, 0)                       \
  COL(OfflineReason, i, 0)                   \
  COL(MountPathTypeId, i, 0)                 \
  COL(OffLineTimeStamp, x, 0)                \
  COL(origTFtarnfoldID, i, 0)                \
  COL(origTFmediaSideID, i, 0)               \
  COL(MaxDataToWriteMB, i, 0)                \
  COL(MagneticSpaceRsrvInMB, i, 0)           \
  COL(Attribute, i, 0)                       \
  COL(MasterPoolId, i, 0)                    \
  COL(LibraryId, i, 0)                       \
  COL(RMStatus, i, 0)                        \
  COL(RMStatusUpdateTime, i, 0)              \
  COL(OrigTFMountPathId, i, 0)               \
  COL(MagneticChunkFileIncrSizeMB, i, 0)     \
  COL(MountPathOfflineReasonEventId, i, 0)   \
  COL(StagingMountPathId, i, 0)

inline constexpr ZQDBBindingInfo MMMountPath_info{
    .headerType = ZQDB_HEADER_TABLE,
    .dbName = "MMMountPath",
    .className = "MMMountPath",
    .version = "1.40.2.2",
    .primaryKey = "MountPathId",
    .foreignKeys = "MMMediaSide: MediaSideId = MediaSideId; MMMasterPool: MasterPoolId = MasterPoolId; "
                   "MMLibrary: LibraryId = LibraryId",
    .indexes = "LibraryId, MountPathName",
    .header = "Db/Tbl/MMMountPath",
    .line = __LINE__};

// The row owns no heap memory; like every row of the system it is not copied.
struct MMMountPath_t {
  MMMOUNTPATH_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMMountPath_t, MMMOUNTPATH_COLUMNS)
};

class MMMountPath_t2 : public ZQDBCatalogue<MMMountPath_t2, MMMountPath_t, MMMountPath_info> {
 public:
  MMMountPath_t2() = default;
  MMMountPath_t2(const MMMountPath_t2&) = delete;
  MMMountPath_t2& operator=(const MMMountPath_t2&) = delete;
};

class MMMountPath : public ZQDBTable<MMMountPath_t, MMMountPath_t2, MMMountPath_info> {
 public:
  explicit MMMountPath(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(MMMountPath_t, MMMountPath_info);
