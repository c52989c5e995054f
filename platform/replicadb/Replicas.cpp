// The service's calls about replicas: reading, updating and deleting them,
// their application directories, and permanent replicas.
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"
#include "platform/replicadb/Versions.h"

using namespace tkreplicadb;

namespace {

template <class Ret>
bool queryReplica(int version, int32_t replicaId, Ret& r) {
  return runCall({"QueryReplicationVolume", version, {replicaId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, Ret& ret) {
                   ReplicationVolumeV5Record_t replica;
                   int rc = replicas().byId(s, replicaId, replica);
                   if (rc == DB_NO_ROW) return out.refuse(missing("replica", replicaId));
                   assignVersion(ret.replica, replica);
                   return out.db(rc);
                 });
}

template <class R, class Ret>
bool updateReplica(int version, const R& replica, Ret& r) {
  return runCall({"UpdateReplicationVolume", version, {replica.replicaId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, Ret&) {
                   int changed = 0;
                   int rc = replicaTable<R>().update(s, replica, kWholeRecord, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("replica", replica.replicaId)) : 0;
                 });
}

constexpr const char* kPermanentOf = "WHERE \"permanent\" = 1 AND \"primaryVolumeId\" = ?";

// Adds the snapshot device's volume and the permanent replica of the source
// volume on it.
template <class Args, class Ret>
bool createPermanent(int version, const Args& a, Ret& r) {
  return runCall(
      {"CreatePermanentReplica", version, {a.sourceVolumeId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, Ret&) {
        SNRVolumeRecordV4_t source;
        int rc = volumes().byId(s, a.sourceVolumeId, source);
        if (rc == DB_NO_ROW) return out.refuse(missing("volume", a.sourceVolumeId));
        if (rc != 0) return out.db(rc);
        ReplicationVolumeV5Record_t existing;
        rc = replicas().selectOne(s, kPermanentOf, {a.sourceVolumeId}, existing);
        if (rc == 0) {
          return out.refuse("volume " + std::to_string(a.sourceVolumeId) + " has a permanent replica");
        }
        if (rc != DB_NO_ROW) return out.db(rc);
        SNRVolumeRecordV4_t snapshot;
        assignVersion(static_cast<decltype(a.snapshotVolume)&>(snapshot), a.snapshotVolume);
        int32_t volumeId = -1;
        if ((rc = volumes().insert(s, snapshot, volumeId)) != 0) return out.db(rc);
        ReplicationVolumeV5Record_t replica;
        replica.primaryVolumeId = a.sourceVolumeId;
        replica.physicalVolumeId = volumeId;
        int32_t replicaId = -1;
        if ((rc = replicas().insert(s, replica, replicaId)) != 0) return out.db(rc);
        return out.db(
            s.exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?", {replicaId}));
      });
}

}  // namespace

bool ReplicaDBClient::GetReplicationVolumeList(GetReplicationVolumeListRet_t& r) {
  return runCall({"GetReplicationVolumeList", 1, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetReplicationVolumeListRet_t& ret) {
                   std::vector<ReplicationVolumeV5Record_t> found;
                   int rc = replicas().select(s, "", {}, found);
                   appendVersions(ret.replicas, found);
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::QueryReplicationVolume(const QueryReplicationVolume42ByIdArgs_t& a,
                                             QueryReplicationVolume42ByIdRet_t& r) {
  return queryReplica(42, a.replicaId, r);
}
bool ReplicaDBClient::QueryReplicationVolume(const QueryReplicationVolumeByIdV4Args_t& a,
                                             QueryReplicationVolumeByIdV4Ret_t& r) {
  return queryReplica(4, a.replicaId, r);
}
bool ReplicaDBClient::QueryReplicationVolume(const QueryReplicationVolumeByIdV5Args_t& a,
                                             QueryReplicationVolumeByIdV5Ret_t& r) {
  return queryReplica(5, a.replicaId, r);
}

bool ReplicaDBClient::QueryReplicationVolumeByUniqueSnapId(const QueryQRVolByUniqueSnapIdArgs_t& a,
                                                           QueryQRVolByUniqueSnapIdRet_t& r) {
  return runCall({"QueryReplicationVolumeByUniqueSnapId", 3, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryQRVolByUniqueSnapIdRet_t& ret) {
                   std::vector<ReplicationVolumeV5Record_t> found;
                   int rc = replicas().select(s, "WHERE \"replicaText2\" = ?", {a.uniqueSnapId}, found);
                   appendVersions(ret.replicas, found);
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::UpdateReplicationVolume(const UpdateReplicationVolume42Args_t& a,
                                              UpdateReplicationVolume42Ret_t& r) {
  return updateReplica(42, a.replica, r);
}
bool ReplicaDBClient::UpdateReplicationVolume(const UpdateReplicationVolumeV3Args_t& a,
                                              UpdateReplicationVolumeV3Ret_t& r) {
  return updateReplica(3, a.replica, r);
}

bool ReplicaDBClient::DeleteReplicationVolume(const RemoveReplicationVolumeArgs_t& a, RemoveReplicationVolumeRet_t& r) {
  return runCall({"DeleteReplicationVolume", 1, {a.replicaId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, RemoveReplicationVolumeRet_t&) {
                   int changed = 0;
                   int rc = replicas().remove(s, "WHERE \"replicaId\" = ?", {a.replicaId}, changed);
                   if (rc != 0) return out.db(rc);
                   if (changed == 0) return out.refuse(missing("replica", a.replicaId));
                   if ((rc = replicaApps().remove(s, "WHERE \"replicaId\" = ?", {a.replicaId}, changed)) != 0) {
                     return out.db(rc);
                   }
                   return out.db(appDirs().remove(s, "WHERE \"replicaId\" = ?", {a.replicaId}, changed));
                 });
}

bool ReplicaDBClient::QueryAppDirByReplicaVol(const QueryAppDirByReplicaVolArgs_t& a, QueryAppDirByReplicaVolRet_t& r) {
  return runCall({"QueryAppDirByReplicaVol", 1, {a.replicaId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryAppDirByReplicaVolRet_t& ret) {
                   return out.db(appDirs().select(s, "WHERE \"replicaId\" = ?", {a.replicaId}, ret.directories));
                 });
}

bool ReplicaDBClient::CreatePermanentReplica(const CreatePermanentReplicaV3Args_t& a,
                                             CreatePermanentReplicaV3Ret_t& r) {
  return createPermanent(3, a, r);
}
bool ReplicaDBClient::CreatePermanentReplica(const CreatePermanentReplicaV4Args_t& a,
                                             CreatePermanentReplicaV4Ret_t& r) {
  return createPermanent(4, a, r);
}

bool ReplicaDBClient::DeletePermanentReplica(const DeletePermanentReplicaArgs_t& a, DeletePermanentReplicaRet_t& r) {
  return runCall(
      {"DeletePermanentReplica", 1, {a.volumeId}}, nullptr, r,
      [&](tkdb::Session& s, Outcome& out, DeletePermanentReplicaRet_t&) {
        ReplicationVolumeV5Record_t replica;
        int rc = replicas().selectOne(s, kPermanentOf, {a.volumeId}, replica);
        if (rc == DB_NO_ROW) {
          return out.refuse("volume " + std::to_string(a.volumeId) + " has no permanent replica");
        }
        int changed = 0;
        if (rc != 0 || (rc = replicas().remove(s, "WHERE \"replicaId\" = ?", {replica.replicaId}, changed))) {
          return out.db(rc);
        }
        // The snapshot device's volume goes with it unless a device name sees it.
        return out.db(
            s.exec("DELETE FROM \"SNRVolume\" WHERE \"volumeId\" = ? AND NOT EXISTS (SELECT 1 "
                   "FROM \"SNRVolumeDeviceNameEx\" WHERE \"volumeId\" = ?)",
                   {replica.physicalVolumeId, replica.physicalVolumeId}));
      });
}

bool ReplicaDBClient::QueryPermanentReplica(const QueryPermanentReplicaArgs_t& a, QueryPermanentReplicaRet_t& r) {
  return runCall({"QueryPermanentReplica", 1, {a.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryPermanentReplicaRet_t& ret) {
                   ReplicationVolumeV5Record_t replica;
                   int rc = replicas().selectOne(s, kPermanentOf, {a.volumeId}, replica);
                   if (rc == DB_NO_ROW) {
                     return out.refuse("volume " + std::to_string(a.volumeId) + " has no permanent replica");
                   }
                   assignVersion(ret.replica, replica);
                   return out.db(rc);
                 });
}
