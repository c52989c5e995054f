// Binding of the view "MMS2getMountPathNameGUIView": one row per mount path,
// the mount path's columns joined to its medium and its storage device.
// Read only, without keys, serial column or order. The audit of
// sharing a mount path reads a mount path's name from it:
//
//   MMS2getMountPathNameGUIView view(nullptr);
//   view.setIsolationType(4);
//   view.setWhere("MountPathID = %d", mountPathId);
//   if (getOneRow(&view, true, -1, 0) == 0) ... view.getDataPtr()->MountPathName ...
//
// In the embedded database the view is defined over the mount-path table
// (Db/Tbl/MMMountPath.h) and the platform tables MMMediaSide and
// MMMountPathToStorageDevice. It yields exactly one row per mount path: the
// device is the lowest device id the mount path lies on (0 when none), the
// medium that of its media side (0 when none); CenteraId is always 0 (the
// embedded database keeps no such id). OffLineTimeStamp is a 32-bit column
// here, 64-bit in the table: a stamp outside the 32-bit range is held at
// the nearest bound, so that the row still reads.
#pragma once

#include "Db/ZQDBBinding.h"

#define MMS2GETMOUNTPATHNAMEGUIVIEW_COLUMNS(COL) \
  COL(MountPathId, i, 0)                         \
  COL(MountPathName, s, 2049)                    \
  COL(MediaId, i, 0)                             \
  COL(DeviceId, i, 0)                            \
  COL(CenteraId, i, 0)                           \
  COL(MediaSideId, i, 0)                         \
  COL(UserName, s, 1025)                         \
  COL(UserPassword, s, 1025)                     \
  COL(IsEnabled, i, 0)                           \
  COL(NumberOfWriters, i, 0)                     \
  COL(MaxConcurrentWriters, i, 0)                \
  COL(CurrentFileMarker, i, 0)                   \
  COL(IsOffline, i, 0)                           \
  COL(OfflineReason, i, 0)                       \
  COL(MountPathTypeId, i, 0)                     \
  COL(OffLineTimeStamp, i, 0)                    \
  COL(origTFtarnfoldID, i, 0)                    \
  COL(origTFmediaSideID, i, 0)                   \
  COL(MaxDataToWriteMB, i, 0)                    \
  COL(MagneticSpaceRsrvInMB, i, 0)               \
  COL(Attribute, i, 0)                           \
  COL(MasterPoolId, i, 0)                        \
  COL(LibraryId, i, 0)                           \
  COL(RMStatus, i, 0)                            \
  COL(RMStatusUpdateTime, i, 0)                  \
  COL(OrigTFMountPathId, i, 0)                   \
  COL(MagneticChunkFileIncrSizeMB, i, 0)         \
  COL(MountPathOfflineReasonEventId, i, 0)

#define MMS2GETMOUNTPATHNAMEGUIVIEW_SQL                                                                     \
  "SELECT mp.MountPathId, mp.MountPathName, "                                                              \
  "IFNULL((SELECT ms.MediaId FROM MMMediaSide ms WHERE ms.MediaSideId = mp.MediaSideId), 0), "            \
  "IFNULL((SELECT MIN(sd.DeviceId) FROM MMMountPathToStorageDevice sd WHERE sd.MountPathId = mp.MountPathId), 0), " \
  "0, mp.MediaSideId, mp.UserName, mp.UserPassword, mp.IsEnabled, mp.NumberOfWriters, "                   \
  "mp.MaxConcurrentWriters, mp.CurrentFileMarker, mp.IsOffline, mp.OfflineReason, mp.MountPathTypeId, "   \
  "CASE WHEN mp.OffLineTimeStamp > 2147483647 THEN 2147483647 "                                            \
  "WHEN mp.OffLineTimeStamp < -2147483648 THEN -2147483648 ELSE mp.OffLineTimeStamp END, "                 \
  "mp.origTFtarnfoldID, mp.origTFmediaSideID, mp.MaxDataToWriteMB, mp.MagneticSpaceRsrvInMB, "            \
  "mp.Attribute, mp.MasterPoolId, mp.LibraryId, mp.RMStatus, mp.RMStatusUpdateTime, "                     \
  "mp.OrigTFMountPathId, mp.MagneticChunkFileIncrSizeMB, mp.MountPathOfflineReasonEventId "                \
  "FROM MMMountPath mp"

inline constexpr ZQDBBindingInfo MMS2getMountPathNameGUIView_info{
    .headerType = ZQDB_HEADER_VIEW,
    .dbName = "MMS2getMountPathNameGUIView",
    .className = "MMS2getMountPathNameGUIView",
    .version = "1.5.88.9",
    .header = "Db/TKView/MMS2getMountPathNameGUIView",
    .line = __LINE__,
    .viewSql = MMS2GETMOUNTPATHNAMEGUIVIEW_SQL};

// The row owns no heap memory; like every row of the system it is not copied.
struct MMS2getMountPathNameGUIView_t {
  MMS2GETMOUNTPATHNAMEGUIVIEW_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2getMountPathNameGUIView_t, MMS2GETMOUNTPATHNAMEGUIVIEW_COLUMNS)
};

class MMS2getMountPathNameGUIView_t2
    : public ZQDBCatalogue<MMS2getMountPathNameGUIView_t2, MMS2getMountPathNameGUIView_t,
                           MMS2getMountPathNameGUIView_info> {
 public:
  MMS2getMountPathNameGUIView_t2() = default;
  MMS2getMountPathNameGUIView_t2(const MMS2getMountPathNameGUIView_t2&) = delete;
  MMS2getMountPathNameGUIView_t2& operator=(const MMS2getMountPathNameGUIView_t2&) = delete;
};

class MMS2getMountPathNameGUIView
    : public ZQDBTable<MMS2getMountPathNameGUIView_t, MMS2getMountPathNameGUIView_t2,
                       MMS2getMountPathNameGUIView_info> {
 public:
  explicit MMS2getMountPathNameGUIView(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(MMS2getMountPathNameGUIView_t, MMS2getMountPathNameGUIView_info);
