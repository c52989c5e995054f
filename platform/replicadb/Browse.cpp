// Browsing: every replica of a client or of a policy with what it refers
// to: its physical and primary volumes (those that still exist), their
// device names, mount points and scratch records, and its applications.
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"

using namespace tkreplicadb;

namespace {

// `picked` selects the replicas (a where clause over one bound id).
int browse(tkdb::Session& s, const std::string& picked, int32_t id, BrowseByClientIdV2Ret_t& ret) {
  const std::string replicaIds = "(SELECT \"replicaId\" FROM \"ReplicationVolume\" " + picked + ")";
  const std::string volumeIds = "(SELECT \"physicalVolumeId\" FROM \"ReplicationVolume\" " + picked +
                                " UNION SELECT \"primaryVolumeId\" FROM \"ReplicationVolume\" " + picked + ")";
  const std::vector<tkdb::DbValue> once{id}, twice{id, id};
  int rc = replicas().select(s, picked, once, ret.replicas);
  if (rc == 0) rc = volumes().select(s, "WHERE \"volumeId\" IN " + volumeIds, twice, ret.volumes);
  if (rc == 0) rc = deviceNames().select(s, "WHERE \"volumeId\" IN " + volumeIds, twice, ret.deviceNames);
  if (rc == 0) {
    rc = mountPoints().select(s,
                              "WHERE \"deviceNameId\" IN (SELECT \"deviceNameId\" FROM \"SNRVolumeDeviceNameEx\" "
                              "WHERE \"volumeId\" IN " +
                                  volumeIds + ")",
                              twice, ret.mountPoints);
  }
  if (rc == 0) {
    rc = scratchVolumes().select(s,
                                 "WHERE \"volumeId\" IN " + volumeIds +
                                     " OR \"scratchVolumeId\" IN (SELECT \"scratchVolumeId\" FROM "
                                     "\"ReplicationVolume\" " +
                                     picked + ")",
                                 {id, id, id}, ret.scratchVolumes);
  }
  if (rc == 0) {
    rc = replicaApps().select(s, "WHERE \"replicaId\" IN " + replicaIds + " ORDER BY \"replicaId\", rowid", once,
                              ret.replicaApps);
  }
  return rc;
}

}  // namespace

bool ReplicaDBClient::BrowseByClientId(const BrowseByClientIdV2Args_t& a, BrowseByClientIdV2Ret_t& r) {
  return runCall({"BrowseByClientId", 2, {a.clientId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, BrowseByClientIdV2Ret_t& ret) {
                   return out.db(browse(s,
                                        "WHERE \"primaryVolumeId\" IN (SELECT \"volumeId\" FROM "
                                        "\"SNRVolumeDeviceNameFull\" WHERE \"hostId\" = ?)",
                                        a.clientId, ret));
                 });
}

bool ReplicaDBClient::BrowseByPolicyId(const BrowseByPolicyIdV2Args_t& a, BrowseByPolicyIdV2Ret_t& r) {
  return runCall({"BrowseByPolicyId", 2, {a.policyId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, BrowseByPolicyIdV2Ret_t& ret) {
                   return out.db(browse(s, "WHERE \"replicationPolicyId\" = ?", a.policyId, ret));
                 });
}
