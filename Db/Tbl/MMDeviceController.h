// Binding of the device-controller table "MMDeviceController": one row per
// way in which one client (a media agent) reaches one storage device, with
// the folder, user name and password it uses there and its access-type
// bits. UserPassword holds the password as the database stores it; the
// binding neither encrypts nor decrypts it. The platform's device-controller
// table access fills MMDeviceController_t rows, alone or as arrays; the
// storage-library request queries the table object for existing
// controllers of a device.
#pragma once

#include "Db/ZQDBBinding.h"

#define MMDEVICECONTROLLER_COLUMNS(COL) \
  COL(DeviceControllerId, i, 0)         \
  COL(ClientId, i, 0)                   \
  COL(DeviceId, i, 0)                   \
  COL(DeviceControllerActive, i, 0)     \
  COL(DeviceControllerEnabled, i, 0)    \
  COL(SNRVolumeId, i, 0)                \
  COL(UseCount, i, 0)                   \
  COL(UserName, s, 1025)                \
  COL(UserPassword, s, 2049)            \
  COL(Folder, s, 1025)                  \
  COL(DeviceMounted, i, 0)              \
  COL(DeviceAccessible, i, 0)           \
  COL(VolumeRecoveryStatus, i, 0)       \
  COL(VolumeRecoveryTime, i, 0)         \
  COL(VolumeScsiReserved, i, 0)         \
  COL(DeviceAccessType, i, 0)           \
  COL(RMStatus, i, 0)                   \
  COL(RMStatusUpdateTime, i, 0)         \
  COL(CredentialAssocId, i, 0)

inline constexpr ZQDBBindingInfo MMDeviceController_info{
    .headerType = ZQDB_HEADER_TABLE,
    .dbName = "MMDeviceController",
    .className = "MMDeviceController",
    .version = "1.13.304.3",
    .primaryKey = "DeviceControllerId",
    .serial = "DeviceControllerId",
    .foreignKeys = "MMDevice: DeviceId = DeviceId; QRPhysicalDevice: SNRVolumeId = id",
    .indexes = "DeviceId",
    .header = "Db/Tbl/MMDeviceController",
    .line = __LINE__};

// The row owns no heap memory; like every row of the system it is not copied.
struct MMDeviceController_t {
  MMDEVICECONTROLLER_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(MMDeviceController_t, MMDEVICECONTROLLER_COLUMNS)
};

class MMDeviceController_t2
    : public ZQDBCatalogue<MMDeviceController_t2, MMDeviceController_t, MMDeviceController_info> {
 public:
  MMDeviceController_t2() = default;
  MMDeviceController_t2(const MMDeviceController_t2&) = delete;
  MMDeviceController_t2& operator=(const MMDeviceController_t2&) = delete;
};

class MMDeviceController : public ZQDBTable<MMDeviceController_t, MMDeviceController_t2, MMDeviceController_info> {
 public:
  explicit MMDeviceController(DBtran* tran) : ZQDBTable(tran) {}
};

ZQDB_REGISTER_SCHEMA(MMDeviceController_t, MMDeviceController_info);
