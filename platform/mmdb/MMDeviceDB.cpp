// Media-management table access: storage devices.
#include "platform/mmdb/MMDeviceDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

constexpr size_t kDeviceNameMax = sizeof(MMDevice_t::AliasName) - 1;

std::string missingDevice(int deviceId) { return "No device with id [" + std::to_string(deviceId) + "]."; }

}  // namespace

int MMDeviceDB::getInfo(int deviceId, MMDevice_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceDB::getInfo";
  if (!beginCall(kTag, deviceId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::deviceLayout(), "\"DeviceId\" = ?", {deviceId}, &row, tran, missingDevice(deviceId));
}

int MMDeviceDB::getInfoByAliasName(const char* name, MMDevice_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceDB::getInfoByAliasName";
  if (!beginCall(kTag, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "device name", name, kDeviceNameMax, false)) return -1;
  return readOne(kTag, tkmmdb::deviceLayout(), "\"AliasName\" = ?", {name}, &row, tran,
                 std::string("No device named [") + name + "].");
}

int MMDeviceDB::getInfoByMountPath(int mountPathId, MMDevice_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceDB::getInfoByMountPath";
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::deviceLayout(),
                 "\"DeviceId\" = (SELECT MIN(\"DeviceId\") FROM \"MMMountPathToStorageDevice\" WHERE "
                 "\"MountPathId\" = ?)",
                 {mountPathId}, &row, tran, "No device for mount path [" + std::to_string(mountPathId) + "].");
}

int MMDeviceDB::renameDevice(int deviceId, const char* name, DBtran* tran) {
  static constexpr const char* kTag = "MMDeviceDB::renameDevice";
  if (!beginCall(kTag, deviceId, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "device name", name, kDeviceNameMax, false)) return -1;
  const std::string newName = name;
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int rc = s.queryOne("SELECT \"DeviceId\" FROM \"MMDevice\" WHERE \"AliasName\" = ? AND \"DeviceId\" <> ?",
                        {newName, deviceId}, row);
    if (rc == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "Another device is already named [" + newName + "].", false};
      return kRefused;
    }
    if (rc != DB_NO_ROW) return rc;
    rc = s.exec("UPDATE \"MMDevice\" SET \"AliasName\" = ? WHERE \"DeviceId\" = ?", {newName, deviceId});
    if (rc != DB_OK) return rc;
    if (s.changes() == 0) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingDevice(deviceId), true};
      return kRefused;
    }
    return 0;
  });
}
