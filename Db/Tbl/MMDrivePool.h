// Binding of the drive-pool table "MMDrivePool": one row per drive pool,
// the drives of one client (a media agent) within one master pool of a
// library. The pool of a media agent in a library is found by its ClientId
// and its MasterPoolId. The platform's drive-pool table access returns
// arrays of MMDrivePool_t; the table object serves two reads of
// MaxDrivesToSwitch (storage-library request, device-path request).
#pragma once

#include "Db/ZQDBBinding.h"

#define MMDRIVEPOOL_COLUMNS(COL)  \
  COL(DrivePoolId, i, 0)          \
  COL(DrivePoolName, u, 257)      \
  COL(DrivePoolSoftState, i, 0)   \
  COL(DrivePoolEnabled, i, 0)     \
  COL(ReservedDrives, i, 0)       \
  COL(DrivePoolType, i, 0)        \
  COL(MaxDrivesToSwitch, i, 0)    \
  COL(CopyMgrAccessPath, s, 65)   \
  COL(CopyManagerCtrlId, i, 0)    \
  COL(CostCategoryId, i, 0)       \
  COL(Descript, u, 0)             \
  COL(ClientId, i, 0)             \
  COL(MasterPoolId, i, 0)         \
  COL(NDMPHostId, i, 0)           \
  COL(RMStatus, i, 0)             \
  COL(RMStatusUpdateTime, i, 0)   \
  COL(origTFId, i, 0)             \
  COL(origDrivePoolId, i, 0)

inline constexpr ZQDBBindingInfo MMDrivePool_info{.headerType = ZQDB_HEADER_TABLE,
                                                  .dbName = "MMDrivePool",
                                                  .className = "MMDrivePool",
                                                  .version = "1.24.276.2",
                                                  .primaryKey = "DrivePoolId",
                                                  .serial = "DrivePoolId",
                                                  .foreignKeys = "MMCopyManagerCtrl: CopyManagerCtrlId = CopyManagerCtrlId",
                                                  .indexes = "MasterPoolId, ClientId",
                                                  .header = "Db/Tbl/MMDrivePool",
                                                  .line = 650};

// The row owns Descript: it is never copied.
struct MMDrivePool_t {
  MMDRIVEPOOL_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMDrivePool_t, MMDRIVEPOOL_COLUMNS)
};

class MMDrivePool_t2 : public ZQDBCatalogue<MMDrivePool_t2, MMDrivePool_t, MMDrivePool_info> {
 public:
  MMDrivePool_t2() = default;
  MMDrivePool_t2(const MMDrivePool_t2&) = delete;
  MMDrivePool_t2& operator=(const MMDrivePool_t2&) = delete;
};

class MMDrivePool : public ZQDBTable<MMDrivePool_t, MMDrivePool_t2, MMDrivePool_info> {
 public:
  explicit MMDrivePool(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(MMDrivePool_t, MMDrivePool_info);
