// The service's calls about device names: adding, configuring, changing,
// deleting and listing them.
#include "platform/replicadb/DeviceWork.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"
#include "platform/replicadb/Versions.h"

using namespace tkreplicadb;

namespace {

// Removes the volume with what is stored under its id once no device name
// sees it any more.
int dropVolumeIfUnseen(tkdb::Session& s, int32_t volumeId) {
  tkdb::DbRow row;
  int rc = s.queryOne("SELECT 1 FROM \"SNRVolumeDeviceNameEx\" WHERE \"volumeId\" = ?", {volumeId}, row);
  if (rc != DB_NO_ROW) return rc;
  for (const char* table : {"SNRVolume", "RVScratchVolume", "VolSnapParams", "QuillmereHistoryName"}) {
    rc = s.exec(std::string("DELETE FROM \"") + table + "\" WHERE \"volumeId\" = ?", {volumeId});
    if (rc != 0) return rc;
  }
  return 0;
}

}  // namespace

bool ReplicaDBClient::AddSNRDevice(const AddSNRDeviceV5Args_t& a, AddSNRDeviceV5Ret_t& r) {
  return runCall(
      {"AddSNRDevice", 5, {a.deviceName.hostId}}, nullptr, r,
      [&](tkdb::Session& s, Outcome& out, AddSNRDeviceV5Ret_t& ret) { return addSNRDevice(s, out, a, ret); });
}

bool ReplicaDBClient::DeleteSNRDevice(const DeleteSNRDeviceArgs_t& a, DeleteSNRDeviceRet_t& r) {
  return runCall(
      {"DeleteSNRDevice", 1, {a.deviceNameId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, DeleteSNRDeviceRet_t&) {
        SNRVolumeDeviceNameV4Record_t device;
        int rc = deviceNames().byId(s, a.deviceNameId, device);
        if (rc == DB_NO_ROW) return out.refuse(missing("device name", a.deviceNameId));
        if (rc != 0) return out.db(rc);
        int changed = 0;
        if ((rc = mountPoints().remove(s, "WHERE \"deviceNameId\" = ?", {a.deviceNameId}, changed)) ||
            (rc = s.exec("DELETE FROM \"SNRVolumeDeviceNameEx\" WHERE \"deviceNameId\" = ?", {a.deviceNameId})) ||
            (rc = s.exec("DELETE FROM \"SNRVolumeDeviceName\" WHERE \"deviceNameId\" = ?", {a.deviceNameId}))) {
          return out.db(rc);
        }
        return out.db(device.volumeId > 0 ? dropVolumeIfUnseen(s, device.volumeId) : 0);
      });
}

bool ReplicaDBClient::UpdateSNRDevice(const UpdateSNRDeviceV4Args_t& a, UpdateSNRDeviceV4Ret_t& r) {
  const SNRVolumeDeviceNameV4Record_t& device = a.deviceName;
  return runCall({"UpdateSNRDevice", 4, {device.deviceNameId, device.changeMask}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, UpdateSNRDeviceV4Ret_t&) {
                   int rc = deviceNameExists(s, device.deviceNameId);
                   if (rc == DB_NO_ROW) return out.refuse(missing("device name", device.deviceNameId));
                   if (rc != 0 || (rc = ensureDeviceNameExtras(s, device.deviceNameId)) != 0) return out.db(rc);
                   int changed = 0;
                   return out.db(deviceNameExtras().update(s, device, device.changeMask, changed));
                 });
}

bool ReplicaDBClient::ConfigureDevice(const ConfigureDeviceV2Args_t& a, ConfigureDeviceV2Ret_t& r) {
  return runCall({"ConfigureDevice", 2, {a.deviceName.deviceNameId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, ConfigureDeviceV2Ret_t&) { return configureDevice(s, out, a); });
}

bool ReplicaDBClient::UnconfigureDevice(const UnconfigureDeviceArgs_t& a, UnconfigureDeviceRet_t& r) {
  return runCall({"UnconfigureDevice", 1, {a.deviceNameId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, UnconfigureDeviceRet_t&) {
                   int rc = deviceNameExists(s, a.deviceNameId);
                   if (rc == DB_NO_ROW) return out.refuse(missing("device name", a.deviceNameId));
                   if (rc != 0 || (rc = ensureDeviceNameExtras(s, a.deviceNameId)) != 0) return out.db(rc);
                   return out.db(
                       s.exec("UPDATE \"SNRVolumeDeviceNameEx\" SET \"deviceConfigured\" = 0, "
                              "\"configFlag\" = 0 WHERE \"deviceNameId\" = ?",
                              {a.deviceNameId}));
                 });
}

// The whole answer is the page that starts before every device name and
// has no limit, so both are read by the same statements. The page's device
// names are read first; the other four lists are then drawn from the range
// of ids those device names span, each list in its own id order as in the
// whole answer, so that the first record of a key within a page is the one
// the whole answer has first.
bool ReplicaDBClient::QuerySNRDevice(const QuerySNRDeviceV6Args_t& a, QuerySNRDeviceV6Ret_t& r) {
  return runCall(
      {"QuerySNRDevice", 6, {a.clientId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, QuerySNRDeviceV6Ret_t& ret) {
        const long long limit = a.maxDeviceNames > 0 ? a.maxDeviceNames : -1;  // -1: no limit
        int rc = deviceNames().select(
            s, "WHERE \"hostId\" = ? AND \"deviceNameId\" > ? ORDER BY \"deviceNameId\" LIMIT ?",
            {a.clientId, static_cast<long long>(a.afterDeviceNameId), limit}, ret.deviceNames);
        if (rc != 0 || ret.deviceNames.empty()) return out.db(rc);

        const std::string inPage = "\"hostId\" = ? AND \"deviceNameId\" > ? AND \"deviceNameId\" <= ?";
        const std::vector<tkdb::DbValue> page{a.clientId, static_cast<long long>(a.afterDeviceNameId),
                                              ret.deviceNames.back().deviceNameId};
        const std::string volumesOfPage =
            "(SELECT \"volumeId\" FROM \"SNRVolumeDeviceNameFull\" WHERE " + inPage + ")";
        const std::string deviceNamesOfPage =
            "(SELECT \"deviceNameId\" FROM \"SNRVolumeDeviceName\" WHERE " + inPage + ")";
        rc = volumes().select(s, "WHERE \"volumeId\" IN " + volumesOfPage, page, ret.volumes);
        if (rc == 0) {
          rc = mountPoints().select(s, "WHERE \"deviceNameId\" IN " + deviceNamesOfPage, page, ret.mountPoints);
        }
        if (rc == 0) {
          rc = scratchVolumes().select(s, "WHERE \"volumeId\" IN " + volumesOfPage, page, ret.scratchVolumes);
        }
        if (rc == 0) rc = replicas().select(s, "WHERE \"physicalVolumeId\" IN " + volumesOfPage, page, ret.replicas);
        return out.db(rc);
      });
}

namespace {

template <class Ret>
bool deviceNamesOfVolume(int v, int32_t volumeId, Ret& r) {
  return runCall({"QuerySNRVolDevName", v, {volumeId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, Ret& ret) {
    std::vector<SNRVolumeDeviceNameV4Record_t> found;
    int rc = deviceNames().select(s, "WHERE \"volumeId\" = ?", {volumeId}, found);
    appendVersions(ret.deviceNames, found);
    return out.db(rc);
  });
}

}  // namespace

bool ReplicaDBClient::QuerySNRVolDevName(const QuerySNRVolDevNameBySNRVolIdArgs_t& a,
                                         QuerySNRVolDevNameBySNRVolIdRet_t& r) {
  return deviceNamesOfVolume(1, a.volumeId, r);
}
bool ReplicaDBClient::QuerySNRVolDevName(const QuerySNRVolDevNameBySNRVolIdV2Args_t& a,
                                         QuerySNRVolDevNameBySNRVolIdV2Ret_t& r) {
  return deviceNamesOfVolume(2, a.volumeId, r);
}
bool ReplicaDBClient::QuerySNRVolDevName(const QuerySNRVolDevNameBySNRVolIdV4Args_t& a,
                                         QuerySNRVolDevNameBySNRVolIdV4Ret_t& r) {
  return deviceNamesOfVolume(4, a.volumeId, r);
}

bool ReplicaDBClient::IsDevVSSSnap(const IsDevVSSSnapArgs_t& a, IsDevVSSSnapRet_t& r) {
  return runCall(
      {"IsDevVSSSnap", 1, {a.deviceNameId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, IsDevVSSSnapRet_t& ret) {
        tkdb::DbRow row;
        int rc =
            s.queryOne("SELECT \"snapshotText1\", \"snapshotText2\" FROM \"VSSSnapDevice\" WHERE \"deviceNameId\" = ?",
                       {a.deviceNameId}, row);
        if (rc == DB_NO_ROW) return 0;
        if (rc != 0) return out.db(rc);
        ret.result = 1;
        ret.snapshotText1 = tkdb::textOf(row[0]);
        ret.snapshotText2 = tkdb::textOf(row[1]);
        return 0;
      });
}

bool ReplicaDBClient::GetSNRInfoByClientAndVol(const GetSNRInfoByClientIdAndVolIdV3Args_t& a,
                                               GetSNRInfoByClientIdAndVolIdV3Ret_t& r) {
  return runCall(
      {"GetSNRInfoByClientAndVol", 3, {a.clientId, a.volumeId}}, nullptr, r,
      [&](tkdb::Session& s, Outcome& out, GetSNRInfoByClientIdAndVolIdV3Ret_t& ret) {
        int rc = volumes().byId(s, a.volumeId, ret.volume);
        if (rc == DB_NO_ROW) return out.refuse(missing("volume", a.volumeId));
        if (rc != 0) return out.db(rc);
        SNRVolumeDeviceNameV4Record_t device;
        rc = deviceNames().selectOne(s, "WHERE \"hostId\" = ? AND \"volumeId\" = ?", {a.clientId, a.volumeId}, device);
        if (rc == DB_NO_ROW) {
          return out.refuse("client " + std::to_string(a.clientId) + " has no device of volume " +
                            std::to_string(a.volumeId));
        }
        if (rc != 0) return out.db(rc);
        assignVersion(ret.deviceName, device);
        return out.db(mountPoints().select(s, "WHERE \"deviceNameId\" = ?", {device.deviceNameId}, ret.mountPoints));
      });
}
