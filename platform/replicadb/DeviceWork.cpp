// Adding devices with their volumes and mount points, configuring device
// names, and the mount points of a device name.
#include "platform/replicadb/DeviceWork.h"

#include "platform/replicadb/ReplicaTables.h"

namespace tkreplicadb {

int deviceNameExists(tkdb::Session& s, int32_t deviceNameId) {
  tkdb::DbRow row;
  return s.queryOne("SELECT 1 FROM \"SNRVolumeDeviceName\" WHERE \"deviceNameId\" = ?", {deviceNameId}, row);
}

int ensureDeviceNameExtras(tkdb::Session& s, int32_t deviceNameId) {
  return s.exec("INSERT OR IGNORE INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\") VALUES (?)", {deviceNameId});
}

int addSNRDevice(tkdb::Session& s, Outcome& out, const AddSNRDeviceV5Args_t& args, AddSNRDeviceV5Ret_t& ret) {
  const SNRVolumeDeviceNameV4Record_t& device = args.deviceName;
  tkdb::DbRow row;
  int rc = s.queryOne(
      "SELECT \"deviceNameId\" FROM \"SNRVolumeDeviceName\" WHERE \"hostId\" = ? AND "
      "\"deviceName\" = ?",
      {device.hostId, device.deviceName}, row);
  if (rc == 0) {
    return out.refuse(kDeviceAlreadyConfigured,
                      "client " + std::to_string(device.hostId) + " already has the device " + device.deviceName);
  }
  if (rc != DB_NO_ROW) return out.db(rc);

  int32_t volumeId = -1;
  if ((rc = volumes().insert(s, args.volume, volumeId)) != 0) return out.db(rc);
  if ((rc = s.exec("INSERT INTO \"SNRVolumeDeviceName\" (\"hostId\", \"deviceName\") VALUES (?, ?)",
                   {device.hostId, device.deviceName})) != 0) {
    return out.db(rc);
  }
  SNRVolumeDeviceNameV4Record_t stored = device;
  stored.deviceNameId = static_cast<int32_t>(s.lastInsertId());
  stored.volumeId = volumeId;
  int32_t ignored = -1;
  if ((rc = deviceNameExtras().insert(s, stored, ignored)) != 0) return out.db(rc);

  for (const SNRVolumeMountPointRecord_t& mountPoint : args.mountPoints) {
    SNRVolumeMountPointRecord_t m = mountPoint;
    m.deviceNameId = stored.deviceNameId;
    if ((rc = mountPoints().insert(s, m, ignored)) != 0) return out.db(rc);
    ret.mountPaths.push_back(SNRMountPath_t{m.mountPath});
  }
  if (!args.historyName.historyName.empty()) {
    QuillmereHistoryNameRecord_t name = args.historyName;
    name.volumeId = volumeId;
    if ((rc = s.exec("DELETE FROM \"QuillmereHistoryName\" WHERE \"volumeId\" = ?", {volumeId})) != 0) {
      return out.db(rc);
    }
    if ((rc = historyNames().insert(s, name, ignored)) != 0) return out.db(rc);
  }
  ret.volumeId = volumeId;
  return 0;
}

int addMountPoint(tkdb::Session& s, Outcome& out, const AddSNRMountPointArgs_t& args, AddSNRMountPointRet_t& ret) {
  int rc = deviceNameExists(s, args.mountPoint.deviceNameId);
  if (rc == DB_NO_ROW) return out.refuse(missing("device name", args.mountPoint.deviceNameId));
  if (rc != 0) return out.db(rc);
  return out.db(mountPoints().insert(s, args.mountPoint, ret.mountPointId));
}

int configureDevice(tkdb::Session& s, Outcome& out, const ConfigureDeviceV2Args_t& args) {
  const SNRVolumeDeviceNameV3Record_t& device = args.deviceName;
  int rc = deviceNameExists(s, device.deviceNameId);
  if (rc == DB_NO_ROW) return out.refuse(missing("device name", device.deviceNameId));
  if (rc != 0) return out.db(rc);
  if ((rc = s.exec("UPDATE \"SNRVolumeDeviceName\" SET \"deviceName\" = ? WHERE \"deviceNameId\" = ?",
                   {device.deviceName, device.deviceNameId})) != 0) {
    return out.db(rc);
  }
  if ((rc = ensureDeviceNameExtras(s, device.deviceNameId)) != 0) return out.db(rc);
  return out.db(
      s.exec("UPDATE \"SNRVolumeDeviceNameEx\" SET \"configFlag\" = ?, \"deviceConfigured\" = 1 WHERE "
             "\"deviceNameId\" = ?",
             {device.configFlag ? 1 : 0, device.deviceNameId}));
}

int mountPointsOfDevice(tkdb::Session& s, const QuerySNRVolMountPointBySNRVolDevIdArgs_t& args,
                        QuerySNRVolMountPointBySNRVolDevIdRet_t& ret) {
  return mountPoints().select(s, "WHERE \"deviceNameId\" = ?", {args.deviceNameId}, ret.mountPoints);
}

int updateMountPoint(tkdb::Session& s, Outcome& out, const UpdateSNRMountPointArgs_t& args) {
  int rc = deviceNameExists(s, args.mountPoint.deviceNameId);
  if (rc == DB_NO_ROW) return out.refuse(missing("device name", args.mountPoint.deviceNameId));
  if (rc != 0) return out.db(rc);
  int changed = 0;
  if ((rc = mountPoints().update(s, args.mountPoint, kWholeRecord, changed)) != 0) return out.db(rc);
  if (changed == 0) return out.refuse(missing("mount point", args.mountPoint.mountPointId));
  return 0;
}

}  // namespace tkreplicadb
