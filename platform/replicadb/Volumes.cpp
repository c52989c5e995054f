// The service's calls about volumes and their mount points: reading a
// volume with its scratch record and replicas, updating it (by mask or
// whole), reserving volumes, and the mount points of device names.
#include "platform/replicadb/DeviceWork.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"
#include "platform/replicadb/Versions.h"

using namespace tkreplicadb;

namespace {

// A volume with its scratch record (if it is one) and the first replica
// that it holds (if any), in the result's record versions.
template <class Ret>
bool queryVolume(int version, int32_t volumeId, Ret& r) {
  return runCall({"QuerySNRVolume", version, {volumeId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, Ret& ret) {
    SNRVolumeRecordV4_t volume;
    int rc = volumes().byId(s, volumeId, volume);
    if (rc == DB_NO_ROW) return out.refuse(missing("volume", volumeId));
    if (rc != 0) return out.db(rc);
    assignVersion(ret.volume, volume);
    RVScratchVolumeV2Record_t scratch;
    rc = scratchVolumes().selectOne(s, "WHERE \"volumeId\" = ?", {volumeId}, scratch);
    if (rc == 0) assignVersion(ret.scratchVolume, scratch);
    if (rc != 0 && rc != DB_NO_ROW) return out.db(rc);
    ReplicationVolumeV5Record_t replica;
    rc = replicas().selectOne(s, "WHERE \"physicalVolumeId\" = ?", {volumeId}, replica);
    if (rc == 0) assignVersion(ret.replica, replica);
    return out.db(rc == DB_NO_ROW ? 0 : rc);
  });
}

// Query field 1: the replicas the volume holds; 24 with fourth field 5:
// the replicas made from it.
constexpr int32_t kHeldByVolume = 1;
constexpr int32_t kMadeFromVolume = 24;
constexpr int32_t kMadeFromVolumeValue = 5;

template <class Args, class Ret>
bool queryVolume2(int version, const Args& a, Ret& r) {
  return runCall({"QuerySNRVolume2", version, {a.volumeId, a.queryField, a.relatedId, a.queryValue}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, Ret& ret) {
                   const char* where = nullptr;
                   if (a.queryField == kHeldByVolume) where = "WHERE \"physicalVolumeId\" = ?";
                   if (a.queryField == kMadeFromVolume && a.queryValue == kMadeFromVolumeValue) {
                     where = "WHERE \"primaryVolumeId\" = ?";
                   }
                   if (where == nullptr) {
                     return out.refuse("no volume query for field " + std::to_string(a.queryField) + " and value " +
                                       std::to_string(a.queryValue));
                   }
                   SNRVolumeRecordV4_t volume;
                   int rc = volumes().byId(s, a.volumeId, volume);
                   if (rc == DB_NO_ROW) return out.refuse(missing("volume", a.volumeId));
                   if (rc != 0) return out.db(rc);
                   assignVersion(ret.volume, volume);
                   RVScratchVolumeV2Record_t scratch;
                   rc = scratchVolumes().selectOne(s, "WHERE \"volumeId\" = ?", {a.volumeId}, scratch);
                   if (rc == 0) assignVersion(ret.scratchVolume, scratch);
                   if (rc != 0 && rc != DB_NO_ROW) return out.db(rc);
                   std::vector<ReplicationVolumeV5Record_t> found;
                   rc = replicas().select(s, where, {a.volumeId}, found);
                   appendVersions(ret.replicas, found);
                   return out.db(rc);
                 });
}

// Changes the volume: the fields `mask` marks, or every field of R.
template <class R, class Ret>
bool updateVolume(int version, const R& volume, int32_t mask, Ret& r) {
  return runCall({"UpdateSNRVolume", version, {volume.volumeId, mask}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, Ret&) {
                   SNRVolumeRecordV4_t stored;
                   int rc = volumes().byId(s, volume.volumeId, stored);
                   if (rc == DB_NO_ROW) return out.refuse(missing("volume", volume.volumeId));
                   if (rc != 0) return out.db(rc);
                   int changed = 0;
                   return out.db(volumeTable<R>().update(s, volume, mask, changed));
                 });
}

}  // namespace

bool ReplicaDBClient::QuerySNRVolume(const QuerySNRVolumeByIdArgs_t& a, QuerySNRVolumeByIdRet_t& r) {
  return queryVolume(1, a.volumeId, r);
}
bool ReplicaDBClient::QuerySNRVolume(const QuerySNRVolumeByIdV3Args_t& a, QuerySNRVolumeByIdV3Ret_t& r) {
  return queryVolume(3, a.volumeId, r);
}
bool ReplicaDBClient::QuerySNRVolume(const QuerySNRVolumeByIdV4Args_t& a, QuerySNRVolumeByIdV4Ret_t& r) {
  return queryVolume(4, a.volumeId, r);
}
bool ReplicaDBClient::QuerySNRVolume(const QuerySNRVolumeByIdV5Args_t& a, QuerySNRVolumeByIdV5Ret_t& r) {
  return queryVolume(5, a.volumeId, r);
}
bool ReplicaDBClient::QuerySNRVolume2(const QuerySNRVolume2ByIdV3Args_t& a, QuerySNRVolume2ByIdV3Ret_t& r) {
  return queryVolume2(3, a, r);
}
bool ReplicaDBClient::QuerySNRVolume2(const QuerySNRVolume2ByIdV5Args_t& a, QuerySNRVolume2ByIdV5Ret_t& r) {
  return queryVolume2(5, a, r);
}
bool ReplicaDBClient::UpdateSNRVolume(const UpdateSNRVolumeV3Args_t& a, UpdateSNRVolumeV3Ret_t& r) {
  return updateVolume(3, a.volume, a.volume.changeMask, r);
}
bool ReplicaDBClient::UpdateSNRVolume(const UpdateSNRVolumeV4Args_t& a, UpdateSNRVolumeV4Ret_t& r) {
  return updateVolume(4, a.volume, kWholeRecord, r);
}

bool ReplicaDBClient::ReserveSNRVolume(const ReserveSNRVolumeListArgs_t& a, ReserveSNRVolumeListRet_t& r) {
  return runCall({"ReserveSNRVolume", 1, {static_cast<long long>(a.volumeIds.size())}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, ReserveSNRVolumeListRet_t&) {
                   for (int32_t id : a.volumeIds) {
                     int rc = s.exec("UPDATE \"SNRVolume\" SET \"reserved\" = 1 WHERE \"volumeId\" = ?", {id});
                     if (rc != 0) return out.db(rc);
                     if (s.changes() == 0) return out.refuse(missing("volume", id));
                   }
                   return 0;
                 });
}

bool ReplicaDBClient::AddSNRMountPoint(const AddSNRMountPointArgs_t& a, AddSNRMountPointRet_t& r) {
  return runCall(
      {"AddSNRMountPoint", 1, {a.mountPoint.deviceNameId}}, nullptr, r,
      [&](tkdb::Session& s, Outcome& out, AddSNRMountPointRet_t& ret) { return addMountPoint(s, out, a, ret); });
}

bool ReplicaDBClient::RemoveSNRMountPoint(const RemoveSNRMountPointArgs_t& a, RemoveSNRMountPointRet_t& r) {
  return runCall({"RemoveSNRMountPoint", 1, {a.mountPointId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, RemoveSNRMountPointRet_t&) {
                   int changed = 0;
                   int rc = mountPoints().remove(s, "WHERE \"mountPointId\" = ?", {a.mountPointId}, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("mount point", a.mountPointId)) : 0;
                 });
}

bool ReplicaDBClient::QuerySNRMountPointBySNRVolId(const QuerySNRMountPointBySNRVolIdArgs_t& a,
                                                   QuerySNRMountPointBySNRVolIdRet_t& r) {
  return runCall({"QuerySNRMountPointBySNRVolId", 1, {a.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QuerySNRMountPointBySNRVolIdRet_t& ret) {
                   const std::string where =
                       "WHERE \"deviceNameId\" IN (SELECT \"deviceNameId\" FROM \"SNRVolumeDeviceNameEx\" WHERE "
                       "\"volumeId\" = ?) ORDER BY \"mountPointId\"";
                   std::vector<SNRVolumeMountPointRecord_t> found;
                   int rc = mountPoints().select(s, where, {a.volumeId}, found);
                   tkdb::DbRows marks;
                   if (rc == 0)
                     rc = s.query("SELECT \"mounted\" FROM \"SNRVolumeMountPoint\" " + where, {a.volumeId}, marks);
                   if (rc != 0) return out.db(rc);
                   for (std::size_t i = 0; i < found.size() && i < marks.size(); ++i) {
                     ret.mountPoints.push_back(SNRVolumeMountPointExRecord_t{marks[i][0].i != 0, found[i]});
                   }
                   return 0;
                 });
}

bool ReplicaDBClient::QuerySNRVolMountPoint(const QuerySNRVolMountPointBySNRVolDevIdArgs_t& a,
                                            QuerySNRVolMountPointBySNRVolDevIdRet_t& r) {
  return runCall({"QuerySNRVolMountPoint", 1, {a.deviceNameId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QuerySNRVolMountPointBySNRVolDevIdRet_t& ret) {
                   return out.db(mountPointsOfDevice(s, a, ret));
                 });
}
