// Binding of the stored procedure MMS2getMountPathListForLibAndMA: the
// mount paths of one library as one media agent reaches them, one row per
// mount path with its name, the agent's base folder, state, space, medium,
// the agent's client names, use and reservation, drive, device type and
// space limits. The storage-library request walks it to find a mount path
// by name (and folder), ignoring letter case.
//
// Column 22 is spelled o_reseveSpaceInMB, as the database names it.
//
// The body is the database's (platform/db/procs/).
#pragma once

#include "Db/ZQDBBinding.h"

#define MMS2GETMOUNTPATHLISTFORLIBANDMA_COLUMNS(COL) \
  COL(o_mountPathId, i, 0)                           \
  COL(o_mountPathName, u, 4097)                      \
  COL(o_baseFolder, u, 4097)                         \
  COL(o_isEnabled, i, 0)                             \
  COL(o_isOffline, i, 0)                             \
  COL(o_offlineReason, i, 0)                         \
  COL(o_freeBytesMB, b, 0)                           \
  COL(o_mountPathType, i, 0)                         \
  COL(o_mediaId, i, 0)                               \
  COL(o_clientId, i, 0)                              \
  COL(o_clientName, s, 256)                          \
  COL(o_net_HostName, s, 256)                        \
  COL(o_InUse, i, 0)                                 \
  COL(o_jobId, b, 0)                                 \
  COL(o_Priority, i, 0)                              \
  COL(o_ReserveBitMask, i, 0)                        \
  COL(o_ReleaseTime, i, 0)                           \
  COL(o_LogicalRelease, i, 0)                        \
  COL(o_totalSpaceMB, b, 0)                          \
  COL(o_driveId, i, 0)                               \
  COL(o_deviceTypeId, i, 0)                          \
  COL(o_reseveSpaceInMB, i, 0)                       \
  COL(o_maxDataToWriteInMB, i, 0)                    \
  COL(o_MPUsedForLogCaching, i, 0)

inline constexpr ZQDBBindingInfo MMS2getMountPathListForLibAndMA_info{
    .headerType = ZQDB_HEADER_PROCEDURE,
    .dbName = "MMS2getMountPathListForLibAndMA",
    .className = "MMS2getMountPathListForLibAndMA",
    .version = "00010003019000080000",
    .header = "Db/Proc/MMS2getMountPathListForLibAndMA",
    .line = __LINE__};

struct MMS2getMountPathListForLibAndMA_t {
  MMS2GETMOUNTPATHLISTFORLIBANDMA_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMS2getMountPathListForLibAndMA_t, MMS2GETMOUNTPATHLISTFORLIBANDMA_COLUMNS)
};

class MMS2getMountPathListForLibAndMA_t2
    : public ZQDBCatalogue<MMS2getMountPathListForLibAndMA_t2, MMS2getMountPathListForLibAndMA_t,
                           MMS2getMountPathListForLibAndMA_info> {
 public:
  MMS2getMountPathListForLibAndMA_t2() = default;
  MMS2getMountPathListForLibAndMA_t2(const MMS2getMountPathListForLibAndMA_t2&) = delete;
  MMS2getMountPathListForLibAndMA_t2& operator=(const MMS2getMountPathListForLibAndMA_t2&) = delete;
};

class MMS2getMountPathListForLibAndMA
    : public ZQDBProcedure<MMS2getMountPathListForLibAndMA_t, MMS2getMountPathListForLibAndMA_t2,
                           MMS2getMountPathListForLibAndMA_info> {
 public:
  explicit MMS2getMountPathListForLibAndMA(DBtran* tran) : ZQDBProcedure(tran) {}
  // Binds (library id, media-agent id) in this order: value objects in the
  // typed mode, else the values clause ("%d,%d", after a size check of 29).
  void setValues(int libraryId, int mediaAgentId) { bindInputs(libraryId, mediaAgentId); }
  // Typed mode: the value objects go to the engine, which frees them.
  void setZQDBValues(ZQDB_int* libraryId, ZQDB_int* mediaAgentId) { bindValues(libraryId, mediaAgentId); }
};
