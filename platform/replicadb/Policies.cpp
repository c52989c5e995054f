// The service's calls about replication policies, the subclients that use
// them, and the snapshot engines and snapshot parameters of volumes.
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"
#include "platform/replicadb/Versions.h"

using namespace tkreplicadb;

bool ReplicaDBClient::AddReplicationPolicy(const AddReplicationPolicyV3Args_t& a, AddReplicationPolicyV3Ret_t& r) {
  return runCall({"AddReplicationPolicy", 3, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddReplicationPolicyV3Ret_t& ret) {
                   return out.db(policies().insert(s, a.policy, ret.policyId));
                 });
}

bool ReplicaDBClient::DeleteReplicationPolicy(const RemoveReplicationPolicyArgs_t& a, RemoveReplicationPolicyRet_t& r) {
  return runCall({"DeleteReplicationPolicy", 1, {a.policyId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, RemoveReplicationPolicyRet_t&) {
                   int changed = 0;
                   int rc = policies().remove(s, "WHERE \"policyId\" = ?", {a.policyId}, changed);
                   if (rc != 0) return out.db(rc);
                   if (changed == 0) return out.refuse(missing("replication policy", a.policyId));
                   return out.db(s.exec("DELETE FROM \"QRPolicySubclient\" WHERE \"policyId\" = ?", {a.policyId}));
                 });
}

bool ReplicaDBClient::QueryReplicationPolicy(const QueryReplicationPolicyV2ByIdArgs_t& a,
                                             QueryReplicationPolicyV2ByIdRet_t& r) {
  return runCall({"QueryReplicationPolicy", 2, {a.policyId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryReplicationPolicyV2ByIdRet_t& ret) {
                   ReplicationPolicyV3Record_t policy;
                   int rc = policies().byId(s, a.policyId, policy);
                   if (rc == DB_NO_ROW) return out.refuse(missing("replication policy", a.policyId));
                   assignVersion(ret.policy, policy);
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::UpdateReplicationPolicy(const UpdateReplicationPolicyV2Args_t& a,
                                              UpdateReplicationPolicyV2Ret_t& r) {
  return runCall({"UpdateReplicationPolicy", 2, {a.policy.policyId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, UpdateReplicationPolicyV2Ret_t&) {
                   ReplicationPolicyV3Record_t stored;
                   int rc = policies().byId(s, a.policy.policyId, stored);
                   if (rc == DB_NO_ROW) return out.refuse(missing("replication policy", a.policy.policyId));
                   if (rc != 0) return out.db(rc);
                   // -1 leaves the retention period and the snapshot engine as they are.
                   ReplicationPolicyV2Record_t policy = a.policy;
                   if (policy.retentionPeriod == -1) policy.retentionPeriod = stored.retentionPeriod;
                   if (policy.snapEngineId == -1) policy.snapEngineId = stored.snapEngineId;
                   int changed = 0;
                   return out.db(policyTable<ReplicationPolicyV2Record_t>().update(s, policy, kWholeRecord, changed));
                 });
}

bool ReplicaDBClient::GetReplicationPolicyList(GetReplicationPolicyV3ListRet_t& r) {
  return runCall({"GetReplicationPolicyList", 3, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetReplicationPolicyV3ListRet_t& ret) {
                   return out.db(policies().select(s, "", {}, ret.policies));
                 });
}

bool ReplicaDBClient::GetSCListByQRPolicy(const GetQRSCListByPolicyArgs_t& a, GetQRSCListByPolicyRet_t& r) {
  return runCall({"GetSCListByQRPolicy", 1, {a.policyId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetQRSCListByPolicyRet_t& ret) {
                   // The application types given restrict the subclients; none: every one.
                   std::string sql =
                       "SELECT DISTINCT \"subclientId\" FROM \"QRPolicySubclient\" WHERE \"policyId\" = ?";
                   std::vector<tkdb::DbValue> params{a.policyId};
                   if (!a.values.empty()) {
                     sql += " AND \"appType\" IN (";
                     for (std::size_t i = 0; i < a.values.size(); ++i) {
                       sql += i == 0 ? "?" : ", ?";
                       params.emplace_back(a.values[i]);
                     }
                     sql += ")";
                   }
                   tkdb::DbRows rows;
                   int rc = s.query(sql + " ORDER BY \"subclientId\"", params, rows);
                   for (const tkdb::DbRow& row : rows) ret.subclientIds.push_back(static_cast<int32_t>(row[0].i));
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::GetSubclientVolumesList(GetQRSubclientVolumesListRet_t& r) {
  return runCall({"GetSubclientVolumesList", 1, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetQRSubclientVolumesListRet_t& ret) {
                   tkdb::DbRows rows;
                   int rc = s.query("SELECT DISTINCT \"volumeId\" FROM \"QRSubclientVolume\" ORDER BY \"volumeId\"", {},
                                    rows);
                   for (const tkdb::DbRow& row : rows) ret.volumeIds.push_back(static_cast<int32_t>(row[0].i));
                   return out.db(rc);
                 });
}

// ---------------------------------------------------------------- snapshot engines and parameters

bool ReplicaDBClient::GetSnapEngineInfoList(GetSnapEngineInfoV3ListRet_t& r) {
  return runCall({"GetSnapEngineInfoList", 3, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetSnapEngineInfoV3ListRet_t& ret) {
                   return out.db(snapEngines().select(s, "", {}, ret.engines));
                 });
}

bool ReplicaDBClient::AddVolSnapParams(const AddVolSnapParamsV2Args_t& a, AddVolSnapParamsV2Ret_t& r) {
  return runCall({"AddVolSnapParams", 2, {a.params.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddVolSnapParamsV2Ret_t&) {
                   VolSnapParamsV2Record_t stored;
                   int rc = volSnapParams().byId(s, a.params.volumeId, stored);
                   if (rc == 0) {
                     return out.refuse("volume " + std::to_string(a.params.volumeId) + " has snapshot parameters");
                   }
                   if (rc != DB_NO_ROW) return out.db(rc);
                   SNRVolumeRecordV4_t volume;
                   rc = volumes().byId(s, a.params.volumeId, volume);
                   if (rc == DB_NO_ROW) return out.refuse(missing("volume", a.params.volumeId));
                   int32_t ignored = -1;
                   return out.db(rc != 0 ? rc : volSnapParams().insert(s, a.params, ignored));
                 });
}

bool ReplicaDBClient::QueryVolSnapParams(const QueryVolSnapParamsV2Args_t& a, QueryVolSnapParamsV2Ret_t& r) {
  return runCall({"QueryVolSnapParams", 2, {a.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryVolSnapParamsV2Ret_t& ret) {
                   int rc = volSnapParams().byId(s, a.volumeId, ret.params);
                   return rc == DB_NO_ROW ? out.refuse("volume " + std::to_string(a.volumeId) + " has no snapshot parameters")
                                    : out.db(rc);
                 });
}

bool ReplicaDBClient::UpdateVolSnapParams(const UpdateVolSnapParamsV2Args_t& a, UpdateVolSnapParamsV2Ret_t& r) {
  return runCall(
      {"UpdateVolSnapParams", 2, {a.params.volumeId}}, nullptr, r,
      [&](tkdb::Session& s, Outcome& out, UpdateVolSnapParamsV2Ret_t&) {
        int changed = 0;
        int rc = volSnapParams().update(s, a.params, kWholeRecord, changed);
        if (rc != 0) return out.db(rc);
        return changed == 0 ? out.refuse("volume " + std::to_string(a.params.volumeId) + " has no snapshot parameters")
                            : 0;
      });
}

bool ReplicaDBClient::RemoveVolSnapParams(const RemoveVolSnapParamArgs_t& a, RemoveVolSnapParamRet_t& r) {
  return runCall(
      {"RemoveVolSnapParams", 1, {a.volumeId}}, nullptr, r,
      [&](tkdb::Session& s, Outcome& out, RemoveVolSnapParamRet_t&) {
        int changed = 0;
        int rc = volSnapParams().remove(s, "WHERE \"volumeId\" = ?", {a.volumeId}, changed);
        if (rc != 0) return out.db(rc);
        return changed == 0 ? out.refuse("volume " + std::to_string(a.volumeId) + " has no snapshot parameters") : 0;
      });
}
