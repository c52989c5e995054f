// The service's calls about file-level recovery (consistency points,
// snapshots, their mounts and shares), replication sets and fan-in
// recovery points.
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"

using namespace tkreplicadb;

namespace {

// A listing that found nothing: -3 with the list empty.
template <class Ret>
int listOrNone(Outcome& out, int rc, const Ret& ret, const std::string& what) {
  if (rc != 0) return out.db(rc);
  return ret.consistencyPoints.empty() ? out.refuse(kFLRNoneFound, "no consistency points " + what) : 0;
}

}  // namespace

bool ReplicaDBClient::QueryCPById(const QueryCPByIdArgs_t& a, QueryCPByIdRet_t& r) {
  return runCall({"QueryCPById", 1, {a.cpId}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, QueryCPByIdRet_t& ret) {
    int rc = consistencyPoints().byId(s, a.cpId, ret.consistencyPoint);
    return rc == DB_NO_ROW ? out.refuse(missing("consistency point", a.cpId)) : out.db(rc);
  });
}

bool ReplicaDBClient::QueryCPsByClientIdAndAppType(const QueryFLRCPsByClientIdAndAppTypeV1Args_t& a,
                                                   QueryFLRCPsByClientIdAndAppTypeRet_t& r) {
  return runCall({"QueryCPsByClientIdAndAppType", 1, {a.clientId, a.appType}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryFLRCPsByClientIdAndAppTypeRet_t& ret) {
                   int rc = consistencyPoints().select(s, "WHERE \"clientId\" = ? AND \"appType\" = ?",
                                                       {a.clientId, a.appType}, ret.consistencyPoints);
                   return listOrNone(out, rc, ret, "of client " + std::to_string(a.clientId));
                 });
}

bool ReplicaDBClient::QueryFLRConsistencyPointsByFLRSetId(const QueryFLRConsistencyPointsByFLRSetIdV1Args_t& a,
                                                          QueryFLRConsistencyPointsByFLRSetIdRet_t& r) {
  return runCall({"QueryFLRConsistencyPointsByFLRSetId", 1, {a.flrSetId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryFLRConsistencyPointsByFLRSetIdRet_t& ret) {
                   int rc =
                       consistencyPoints().select(s, "WHERE \"flrSetId\" = ?", {a.flrSetId}, ret.consistencyPoints);
                   return listOrNone(out, rc, ret, "of FLR set " + std::to_string(a.flrSetId));
                 });
}

bool ReplicaDBClient::DelCP(const DelCPArgs_t& a, DelCPRet_t& r) {
  return runCall({"DelCP", 1, {a.cpId, a.flag ? 1 : 0}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, DelCPRet_t&) {
    int changed = 0;
    int rc = consistencyPoints().remove(s, "WHERE \"cpId\" = ?", {a.cpId}, changed);
    if (rc != 0) return out.db(rc);
    if (changed == 0) return out.refuse(missing("consistency point", a.cpId));
    // Its snapshots go with it, and with them their pairs, mounts and shares.
    const std::string snaps = "(SELECT \"snapId\" FROM \"FLRSnapshot\" WHERE \"cpId\" = ?)";
    for (const std::string& sql :
         {"DELETE FROM \"FLRSnapNetworkShare\" WHERE \"mountPointId\" IN (SELECT \"mountPointId\" FROM "
          "\"FLRSnapMountPoint\" WHERE \"snapId\" IN " +
              snaps + ")",
          "DELETE FROM \"FLRSnapMountPoint\" WHERE \"snapId\" IN " + snaps,
          "DELETE FROM \"FLRSnapPair\" WHERE \"snapId\" IN " + snaps,
          "DELETE FROM \"FLRPairPath\" WHERE \"snapId\" IN " + snaps,
          std::string("DELETE FROM \"FLRSnapshot\" WHERE \"cpId\" = ?")}) {
      if ((rc = s.exec(sql, {a.cpId})) != 0) return out.db(rc);
    }
    return 0;
  });
}

bool ReplicaDBClient::QueryCDRSnapBySnapId(const QueryCDRSnapBySnapIdArgs_t& a, QueryCDRSnapBySnapIdRet_t& r) {
  return runCall({"QueryCDRSnapBySnapId", 1, {a.snapId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryCDRSnapBySnapIdRet_t& ret) {
                   int rc = flrSnapshots().byId(s, a.snapId, ret.snapshot);
                   return rc == DB_NO_ROW ? out.refuse(missing("snapshot", a.snapId)) : out.db(rc);
                 });
}

bool ReplicaDBClient::QueryFLRSnapshotsByCPId(const QueryFLRSnapshotsByCPIdArgs_t& a, QueryFLRSnapshotsByCPIdRet_t& r) {
  return runCall({"QueryFLRSnapshotsByCPId", 1, {a.cpId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryFLRSnapshotsByCPIdRet_t& ret) {
                   const std::string ofCp =
                       "WHERE \"snapId\" IN (SELECT \"snapId\" FROM \"FLRSnapshot\" WHERE \"cpId\" = ?)";
                   int rc = flrSnapshots().select(s, "WHERE \"cpId\" = ?", {a.cpId}, ret.snapshots);
                   if (rc == 0) rc = flrSnapPairs().select(s, ofCp, {a.cpId}, ret.pairs);
                   if (rc == 0) rc = flrPairPaths().select(s, ofCp, {a.cpId}, ret.pairPaths);
                   if (rc == 0) rc = flrMountPoints().select(s, ofCp, {a.cpId}, ret.mountPoints);
                   if (rc == 0) {
                     rc = flrShares().select(s,
                                             "WHERE \"mountPointId\" IN (SELECT \"mountPointId\" FROM "
                                             "\"FLRSnapMountPoint\" " +
                                                 ofCp + ")",
                                             {a.cpId}, ret.shares);
                   }
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::UpdateFLRSnapshot(const UpdateFLRSnapshotArgs_t& a, UpdateFLRSnapshotRet_t& r) {
  return runCall({"UpdateFLRSnapshot", 1, {a.value, static_cast<long long>(a.snapshots.size())}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, UpdateFLRSnapshotRet_t&) {
                   for (const FLRSnapshotRecord_t& snapshot : a.snapshots) {
                     int changed = 0;
                     int rc = flrSnapshots().update(s, snapshot, kWholeRecord, changed);
                     if (rc != 0) return out.db(rc);
                     if (changed == 0) return out.refuse(missing("snapshot", snapshot.snapId));
                   }
                   return 0;
                 });
}

bool ReplicaDBClient::AddFLRSnapMountPoint(const AddFLRSnapMountPointArgs_t& a, AddFLRSnapMountPointRet_t& r) {
  return runCall({"AddFLRSnapMountPoint", 1, {a.mountPoint.snapId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddFLRSnapMountPointRet_t& ret) {
                   FLRSnapshotRecord_t snapshot;
                   int rc = flrSnapshots().byId(s, a.mountPoint.snapId, snapshot);
                   if (rc == DB_NO_ROW) return out.refuse(missing("snapshot", a.mountPoint.snapId));
                   return out.db(rc != 0 ? rc : flrMountPoints().insert(s, a.mountPoint, ret.mountPointId));
                 });
}

bool ReplicaDBClient::DeleteFLRSnapMountPoint(const DeleteFLRSnapMountPointArgs_t& a, DeleteFLRSnapMountPointRet_t& r) {
  return runCall({"DeleteFLRSnapMountPoint", 1, {a.mountPointId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, DeleteFLRSnapMountPointRet_t&) {
                   int changed = 0;
                   int rc = flrMountPoints().remove(s, "WHERE \"mountPointId\" = ?", {a.mountPointId}, changed);
                   if (rc != 0) return out.db(rc);
                   if (changed == 0) return out.refuse(missing("snapshot mount point", a.mountPointId));
                   return out.db(flrShares().remove(s, "WHERE \"mountPointId\" = ?", {a.mountPointId}, changed));
                 });
}

bool ReplicaDBClient::AddFLRSnapNetworkShare(const AddFLRSnapNetworkShareArgs_t& a, AddFLRSnapNetworkShareRet_t& r) {
  return runCall({"AddFLRSnapNetworkShare", 1, {a.share.mountPointId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddFLRSnapNetworkShareRet_t& ret) {
                   FLRSnapMountPointRecord_t mountPoint;
                   int rc = flrMountPoints().byId(s, a.share.mountPointId, mountPoint);
                   if (rc == DB_NO_ROW) return out.refuse(missing("snapshot mount point", a.share.mountPointId));
                   return out.db(rc != 0 ? rc : flrShares().insert(s, a.share, ret.shareId));
                 });
}

bool ReplicaDBClient::DeleteFLRSnapNetworkShare(const DeleteFLRSnapNetworkShareArgs_t& a,
                                                DeleteFLRSnapNetworkShareRet_t& r) {
  return runCall({"DeleteFLRSnapNetworkShare", 1, {a.shareId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, DeleteFLRSnapNetworkShareRet_t&) {
                   int changed = 0;
                   int rc = flrShares().remove(s, "WHERE \"shareId\" = ?", {a.shareId}, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("network share", a.shareId)) : 0;
                 });
}

bool ReplicaDBClient::FindRepSetByVolume(const FindRepSetByVolumeArgs_t& a, FindRepSetByVolumeRet_t& r) {
  return runCall({"FindRepSetByVolume", 1, {a.repSetId, static_cast<long long>(a.paths.size())}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, FindRepSetByVolumeRet_t& ret) {
                   // The paths given restrict the volumes; none: every volume of the set.
                   std::string where = "WHERE \"repSetId\" = ?";
                   std::vector<tkdb::DbValue> params{a.repSetId};
                   if (!a.paths.empty()) {
                     where += " AND \"path\" IN (";
                     for (std::size_t i = 0; i < a.paths.size(); ++i) {
                       where += i == 0 ? "?" : ", ?";
                       params.emplace_back(a.paths[i]);
                     }
                     where += ")";
                   }
                   return out.db(repSetVolumes().select(s, where + " ORDER BY rowid", params, ret.volumes));
                 });
}

bool ReplicaDBClient::QueryRPByDstClientIdAndVolName(const QueryRPByDstClientIdAndVolNameArgs_t& a,
                                                     QueryRPByDstClientIdAndVolNameRet_t& r) {
  return runCall({"QueryRPByDstClientIdAndVolName", 1, {a.destClientId, a.flag ? 1 : 0}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryRPByDstClientIdAndVolNameRet_t& ret) {
                   return out.db(recoveryPoints().select(s, "WHERE \"destClientId\" = ? AND \"volumeName\" = ?",
                                                         {a.destClientId, a.volumeName}, ret.recoveryPoints));
                 });
}

bool ReplicaDBClient::QueryFanInRPDetails(const QueryFanInDetailInfoByRPIdArgs_t& a,
                                          QueryFanInDetailInfoByRPIdRet_t& r) {
  return runCall({"QueryFanInRPDetails", 1, {a.rpId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryFanInDetailInfoByRPIdRet_t& ret) {
                   return out.db(fanInDetails().select(s, "WHERE \"rpId\" = ? ORDER BY rowid", {a.rpId}, ret.details));
                 });
}
