// The service's calls about scratch volumes (SAN volumes set aside as
// replica targets) and their pools.
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"
#include "platform/replicadb/Versions.h"

using namespace tkreplicadb;

namespace {

// 0 when a row of `table` has `column` = id, 100 when none, or the code.
int exists(tkdb::Session& s, const char* table, const char* column, long long id) {
  tkdb::DbRow row;
  return s.queryOne(std::string("SELECT 1 FROM \"") + table + "\" WHERE \"" + column + "\" = ? LIMIT 1", {id}, row);
}

// The volumes of the pool's scratch volumes.
constexpr const char* kVolumesOfPool = "(SELECT \"volumeId\" FROM \"RVScratchVolume\" WHERE \"poolId\" = ?)";

template <class R, class Ret>
bool updatePool(int version, const R& pool, Ret& r) {
  return runCall({"UpdateRVScratchVolPool", version, {pool.poolId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, Ret&) {
                   int changed = 0;
                   int rc = poolTable<R>().update(s, pool, kWholeRecord, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("scratch volume pool", pool.poolId)) : 0;
                 });
}

}  // namespace

bool ReplicaDBClient::AddRVScratchVol(const AddRVScratchVolumeArgs_t& a, AddRVScratchVolumeRet_t& r) {
  return runCall({"AddRVScratchVol", 1, {a.poolId, a.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddRVScratchVolumeRet_t& ret) {
                   int rc = exists(s, "RVScratchVolumePool", "poolId", a.poolId);
                   if (rc == DB_NO_ROW) return out.refuse(missing("scratch volume pool", a.poolId));
                   if (rc == 0 && (rc = exists(s, "SNRVolume", "volumeId", a.volumeId)) == DB_NO_ROW) {
                     return out.refuse(missing("volume", a.volumeId));
                   }
                   if (rc == 0 && (rc = exists(s, "RVScratchVolume", "volumeId", a.volumeId)) == 0) {
                     return out.refuse("volume " + std::to_string(a.volumeId) + " is already a scratch volume");
                   }
                   if (rc != DB_NO_ROW) return out.db(rc);
                   RVScratchVolumeV2Record_t scratch;
                   scratch.poolId = a.poolId;
                   scratch.volumeId = a.volumeId;
                   return out.db(scratchVolumes().insert(s, scratch, ret.scratchVolumeId));
                 });
}

bool ReplicaDBClient::RemoveRVScratchVol(const RemoveRVScratchVolumeArgs_t& a, RemoveRVScratchVolumeRet_t& r) {
  return runCall({"RemoveRVScratchVol", 1, {a.scratchVolumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, RemoveRVScratchVolumeRet_t&) {
                   int rc = exists(s, "ReplicationVolume", "scratchVolumeId", a.scratchVolumeId);
                   if (rc == 0) {
                     return out.refuse("scratch volume " + std::to_string(a.scratchVolumeId) + " holds a replica");
                   }
                   if (rc != DB_NO_ROW) return out.db(rc);
                   int changed = 0;
                   rc = scratchVolumes().remove(s, "WHERE \"scratchVolumeId\" = ?", {a.scratchVolumeId}, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("scratch volume", a.scratchVolumeId)) : 0;
                 });
}

bool ReplicaDBClient::ReleaseRVScratchVol(const ReleaseRVScratchVolumeV2Args_t& a, ReleaseRVScratchVolumeV2Ret_t& r) {
  return runCall({"ReleaseRVScratchVol", 2, {a.scratchVolumeId, a.replicaId, a.flag ? 1 : 0}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, ReleaseRVScratchVolumeV2Ret_t&) {
                   int32_t scratchId = a.scratchVolumeId;
                   int rc = 0;
                   int changed = 0;
                   if (a.flag) {
                     rc = exists(s, "RVScratchVolume", "scratchVolumeId", scratchId);
                     if (rc == DB_NO_ROW) return out.refuse(missing("scratch volume", scratchId));
                     if (rc != 0) return out.db(rc);
                     rc = replicas().remove(s, "WHERE \"scratchVolumeId\" = ?", {scratchId}, changed);
                   } else {
                     ReplicationVolumeV5Record_t replica;
                     rc = replicas().byId(s, a.replicaId, replica);
                     if (rc == DB_NO_ROW) return out.refuse(missing("replica", a.replicaId));
                     if (rc != 0) return out.db(rc);
                     scratchId = replica.scratchVolumeId;
                     rc = replicas().remove(s, "WHERE \"replicaId\" = ?", {a.replicaId}, changed);
                   }
                   if (rc != 0) return out.db(rc);
                   return out.db(
                       s.exec("UPDATE \"SNRVolume\" SET \"reserved\" = 0 WHERE \"volumeId\" IN (SELECT "
                              "\"volumeId\" FROM \"RVScratchVolume\" WHERE \"scratchVolumeId\" = ?)",
                              {scratchId}));
                 });
}

bool ReplicaDBClient::QueryRVScratchVol(const QueryRVScratchVolV6Args_t& a, QueryRVScratchVolV6Ret_t& r) {
  return runCall({"QueryRVScratchVol", 6, {a.scratchVolumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryRVScratchVolV6Ret_t& ret) {
                   // -1 selects every scratch volume.
                   const std::string pick =
                       "(SELECT \"volumeId\" FROM \"RVScratchVolume\" WHERE ? IN (-1, "
                       "\"scratchVolumeId\"))";
                   const tkdb::DbValue id(a.scratchVolumeId);
                   int rc =
                       scratchVolumes().select(s, "WHERE ? IN (-1, \"scratchVolumeId\")", {id}, ret.scratchVolumes);
                   if (rc == 0 && a.scratchVolumeId != -1 && ret.scratchVolumes.empty()) {
                     return out.refuse(missing("scratch volume", a.scratchVolumeId));
                   }
                   if (rc == 0) rc = volumes().select(s, "WHERE \"volumeId\" IN " + pick, {id}, ret.volumes);
                   if (rc == 0) rc = deviceNames().select(s, "WHERE \"volumeId\" IN " + pick, {id}, ret.deviceNames);
                   if (rc == 0) {
                     rc = mountPoints().select(s,
                                               "WHERE \"deviceNameId\" IN (SELECT \"deviceNameId\" FROM "
                                               "\"SNRVolumeDeviceNameEx\" WHERE \"volumeId\" IN " +
                                                   pick + ")",
                                               {id}, ret.mountPoints);
                   }
                   if (rc == 0) {
                     rc = replicas().select(s,
                                            "WHERE \"scratchVolumeId\" IN (SELECT \"scratchVolumeId\" FROM "
                                            "\"RVScratchVolume\" WHERE ? IN (-1, \"scratchVolumeId\"))",
                                            {id}, ret.replicas);
                   }
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::QueryRVScratchVol(const QueryScratchVolByIdArgs_t& a, QueryScratchVolByIdRet_t& r) {
  return runCall({"QueryRVScratchVol", 1, {a.scratchVolumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryScratchVolByIdRet_t& ret) {
                   int rc = scratchVolumes().byId(s, a.scratchVolumeId, ret.scratchVolume);
                   return rc == DB_NO_ROW ? out.refuse(missing("scratch volume", a.scratchVolumeId)) : out.db(rc);
                 });
}

bool ReplicaDBClient::QueryRVScratchVolBySNRVolId(const QueryRVScratchVolBySNRVolIdV2Args_t& a,
                                                  QueryRVScratchVolBySNRVolIdV2Ret_t& r) {
  return runCall({"QueryRVScratchVolBySNRVolId", 2, {a.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryRVScratchVolBySNRVolIdV2Ret_t& ret) {
                   int rc = scratchVolumes().selectOne(s, "WHERE \"volumeId\" = ?", {a.volumeId}, ret.scratchVolume);
                   return rc == DB_NO_ROW ? out.refuse("volume " + std::to_string(a.volumeId) + " is no scratch volume")
                                    : out.db(rc);
                 });
}

bool ReplicaDBClient::AddRVScratchVolPool(const AddRVScratchVolPoolV3Args_t& a, AddRVScratchVolPoolV3Ret_t& r) {
  return runCall({"AddRVScratchVolPool", 3, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddRVScratchVolPoolV3Ret_t& ret) {
                   return out.db(pools().insert(s, a.pool, ret.poolId));
                 });
}

bool ReplicaDBClient::RemoveRVScratchVolPool(const RemoveRVScratchVolumePoolArgs_t& a,
                                             RemoveRVScratchVolumePoolRet_t& r) {
  return runCall({"RemoveRVScratchVolPool", 1, {a.poolId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, RemoveRVScratchVolumePoolRet_t&) {
                   int rc = exists(s, "RVScratchVolumePool", "poolId", a.poolId);
                   if (rc == DB_NO_ROW) return out.refuse(missing("scratch volume pool", a.poolId));
                   if (rc == 0 && (rc = exists(s, "RVScratchVolume", "poolId", a.poolId)) == 0) {
                     return out.refuse(RemoveRVScratchVolumePoolRet_t::kPoolHasVolumes,
                                       "scratch volume pool " + std::to_string(a.poolId) + " holds scratch volumes");
                   }
                   if (rc == DB_NO_ROW && (rc = exists(s, "ReplicationPolicy", "scratchPoolId", a.poolId)) == 0) {
                     return out.refuse(RemoveRVScratchVolumePoolRet_t::kPoolNamedByPolicy,
                                       "a replication policy uses scratch volume pool " + std::to_string(a.poolId));
                   }
                   if (rc != DB_NO_ROW) return out.db(rc);
                   int changed = 0;
                   return out.db(pools().remove(s, "WHERE \"poolId\" = ?", {a.poolId}, changed));
                 });
}

bool ReplicaDBClient::UpdateRVScratchVolPool(const UpdateRVScratchVolPoolArgs_t& a, UpdateRVScratchVolPoolRet_t& r) {
  return updatePool(1, a.pool, r);
}
bool ReplicaDBClient::UpdateRVScratchVolPool(const UpdateRVScratchVolPoolV2Args_t& a,
                                             UpdateRVScratchVolPoolV2Ret_t& r) {
  return updatePool(2, a.pool, r);
}

bool ReplicaDBClient::QueryRVScratchVolPool(const QueryRVScratchVolPoolV3Args_t& a, QueryRVScratchVolPoolV3Ret_t& r) {
  return runCall({"QueryRVScratchVolPool", 3, {a.poolId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryRVScratchVolPoolV3Ret_t& ret) {
                   int rc = pools().byId(s, a.poolId, ret.pool);
                   return rc == DB_NO_ROW ? out.refuse(missing("scratch volume pool", a.poolId)) : out.db(rc);
                 });
}

bool ReplicaDBClient::GetRVScrathVolPoolList(GetRVScratchVolPoolV3ListRet_t& r) {
  return runCall({"GetRVScrathVolPoolList", 3, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetRVScratchVolPoolV3ListRet_t& ret) {
                   return out.db(pools().select(s, "", {}, ret.pools));
                 });
}

bool ReplicaDBClient::GetAvailableVolFromPool(const GetAvailVolFromPoolArgs_t& a, GetAvailVolFromPoolRet_t& r) {
  return runCall({"GetAvailableVolFromPool", 1, {a.poolId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetAvailVolFromPoolRet_t& ret) {
                   tkdb::DbRows rows;
                   int rc = s.query(
                       "SELECT v.\"volumeId\" FROM \"RVScratchVolume\" x JOIN \"SNRVolume\" v ON "
                       "v.\"volumeId\" = x.\"volumeId\" WHERE x.\"poolId\" = ? AND v.\"reserved\" = 0 "
                       "AND NOT EXISTS (SELECT 1 FROM \"ReplicationVolume\" r WHERE "
                       "r.\"scratchVolumeId\" = x.\"scratchVolumeId\") ORDER BY x.\"scratchVolumeId\"",
                       {a.poolId}, rows);
                   for (const tkdb::DbRow& row : rows) ret.volumeIds.push_back(static_cast<int32_t>(row[0].i));
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::GetClientIdByPoolId(const GetClientIdByPoolIdArgs_t& a, GetClientIdByPoolIdRet_t& r) {
  return runCall({"GetClientIdByPoolId", 1, {a.poolId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetClientIdByPoolIdRet_t& ret) {
                   int rc = exists(s, "RVScratchVolumePool", "poolId", a.poolId);
                   if (rc == DB_NO_ROW) return out.refuse(missing("scratch volume pool", a.poolId));
                   if (rc != 0) return out.db(rc);
                   tkdb::DbRow row;
                   rc = s.queryOne(std::string("SELECT \"hostId\" FROM \"SNRVolumeDeviceNameFull\" WHERE "
                                               "\"volumeId\" IN ") +
                                       kVolumesOfPool + " ORDER BY \"deviceNameId\" LIMIT 1",
                                   {a.poolId}, row);
                   if (rc == DB_NO_ROW) {
                     ret.clientId = 0;
                     return out.refuse(GetClientIdByPoolIdRet_t::kPoolWithoutClient,
                                       "scratch volume pool " + std::to_string(a.poolId) + " has no client");
                   }
                   if (rc != 0) return out.db(rc);
                   ret.clientId = static_cast<int32_t>(row[0].i);
                   return 0;
                 });
}

bool ReplicaDBClient::UpdateCostToVolsInPool(const UpdateCostCategoryToVolsInPoolArgs_t& a,
                                             UpdateCostCategoryToVolsInPoolRet_t& r) {
  return runCall({"UpdateCostToVolsInPool", 1, {a.poolId, static_cast<long long>(a.costCategoryId)}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, UpdateCostCategoryToVolsInPoolRet_t&) {
                   int rc = exists(s, "RVScratchVolumePool", "poolId", a.poolId);
                   if (rc == DB_NO_ROW) return out.refuse(missing("scratch volume pool", a.poolId));
                   if (rc != 0) return out.db(rc);
                   return out.db(s.exec(std::string("UPDATE \"SNRVolume\" SET \"costCategoryId\" = ? WHERE "
                                                    "\"volumeId\" IN ") +
                                            kVolumesOfPool,
                                        {a.costCategoryId, a.poolId}));
                 });
}
