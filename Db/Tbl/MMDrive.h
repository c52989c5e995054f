// Binding of the drive table "MMDrive": one row per drive of a library. The
// storage-library request finds a drive of a library by its alias name
// through the table object (a drive's MasterPoolId names a master pool of
// the library); changes to drives go through the platform's drive table
// access and the media-configuration model.
#pragma once

#include "Db/ZQDBBinding.h"

#define MMDRIVE_COLUMNS(COL)               \
  COL(DriveId, i, 0)                       \
  COL(DriveName, s, 1025)                  \
  COL(AliasName, u, 4097)                  \
  COL(DriveSoftState, i, 0)                \
  COL(DriveEnabled, i, 0)                  \
  COL(DriveBroken, i, 0)                   \
  COL(CleaningRequired, i, 0)              \
  COL(DriveInstallTime, x, 0)              \
  COL(DriveOccupied, i, 0)                 \
  COL(MediaId, i, 0)                       \
  COL(MasterPoolId, i, 0)                  \
  COL(DriveVendor, s, 17)                  \
  COL(DriveModel, s, 33)                   \
  COL(FirmwareRevision, s, 33)             \
  COL(SerialNumber, s, 33)                 \
  COL(WWNNumber, s, 65)                    \
  COL(FiberChannelPort, i, 0)              \
  COL(ConnectionType, i, 0)                \
  COL(DriveTypeId, i, 0)                   \
  COL(DriveNumber, i, 0)                   \
  COL(NumRestoresLifeTime, i, 0)           \
  COL(NumBackupsLifeTime, i, 0)            \
  COL(NumMountsLifeTime, i, 0)             \
  COL(NumSoftErrsSinceClean, i, 0)         \
  COL(NumSoftErrsLifeTime, i, 0)           \
  COL(NumHardErrsSinceClean, i, 0)         \
  COL(NumHardErrsLifeTime, i, 0)           \
  COL(MinutesUsedSinceClean, i, 0)         \
  COL(MinutesUsedLifeTime, i, 0)           \
  COL(LastCleantime, x, 0)                 \
  COL(LastServiceTime, x, 0)               \
  COL(ExternalGUID, s, 34)                 \
  COL(PrivateData, s, 257)                 \
  COL(OfflineReason, i, 0)                 \
  COL(OfflineTimeStamp, x, 0)              \
  COL(VolumeId, i, 0)                      \
  COL(MountStatus, i, 0)                   \
  COL(LastLogicalUnmountTime, x, 0)        \
  COL(LastUseTime, x, 0)                   \
  COL(SlotName, s, 33)                     \
  COL(CurrentFileMarker, i, 0)             \
  COL(FileMarkerCacheType, i, 0)           \
  COL(SlotElementAddress, i, 0)            \
  COL(Descript, u, 0)                      \
  COL(ReadThrougputMBsec, i, 0)            \
  COL(WriteThrougputMBsec, i, 0)           \
  COL(Attributes, i, 0)                    \
  COL(OpPhase, i, 0)                       \
  COL(RequestId, i, 0)                     \
  COL(RMStatus, i, 0)                      \
  COL(RMStatusUpdateTime, i, 0)            \
  COL(SCSIDeviceIdentifier, s, 257)        \
  COL(DriveOfflineReasonEventId, i, 0)     \
  COL(origTFId, i, 0)                      \
  COL(origDriveId, i, 0)                   \
  COL(LSTKName, s, 513)                    \
  COL(LSResStatus, i, 0)                   \
  COL(LSResStr, s, 0)

inline constexpr ZQDBBindingInfo MMDrive_info{.headerType = ZQDB_HEADER_TABLE,
                                              .dbName = "MMDrive",
                                              .className = "MMDrive",
                                              .version = "1.52.200.2",
                                              .primaryKey = "DriveId",
                                              .serial = "DriveId",
                                              .foreignKeys = "MMMedia: MediaId = MediaId; "
                                                             "MMMasterPool: MasterPoolId = MasterPoolId; "
                                                             "MMDriveType: DriveTypeId = DriveTypeId; "
                                                             "MMVolume: VolumeId = VolumeId",
                                              .indexes = "MasterPoolId",
                                              .header = "Db/Tbl/MMDrive",
                                              .line = 1144};

// The row owns Descript and LSResStr: it is never copied.
struct MMDrive_t {
  MMDRIVE_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMDrive_t, MMDRIVE_COLUMNS)
};

class MMDrive_t2 : public ZQDBCatalogue<MMDrive_t2, MMDrive_t, MMDrive_info> {
 public:
  MMDrive_t2() = default;
  MMDrive_t2(const MMDrive_t2&) = delete;
  MMDrive_t2& operator=(const MMDrive_t2&) = delete;
};

class MMDrive : public ZQDBTable<MMDrive_t, MMDrive_t2, MMDrive_info> {
 public:
  explicit MMDrive(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(MMDrive_t, MMDrive_info);
