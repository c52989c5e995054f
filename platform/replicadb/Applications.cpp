// The service's calls about appliances, continuous-replication history
// names, user applications, SnapVault hosts and copy managers.
#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/replicadb/ReplicaTables.h"

using namespace tkreplicadb;

bool ReplicaDBClient::AddQRAppliance(const AddQRApplianceArgs_t& a, AddQRApplianceRet_t& r) {
  return runCall({"AddQRAppliance", 1, {}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, AddQRApplianceRet_t& ret) {
    return out.db(appliances().insert(s, a.appliance, ret.applianceId));
  });
}

bool ReplicaDBClient::DeleteQRAppliance(const DeleteQRApplianceArgs_t& a, DeleteQRApplianceRet_t& r) {
  return runCall({"DeleteQRAppliance", 1, {a.applianceId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, DeleteQRApplianceRet_t&) {
                   int changed = 0;
                   int rc = appliances().remove(s, "WHERE \"applianceId\" = ?", {a.applianceId}, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("appliance", a.applianceId)) : 0;
                 });
}

bool ReplicaDBClient::GetQRApplianceList(GetQRApplianceListRet_t& r) {
  return runCall({"GetQRApplianceList", 1, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetQRApplianceListRet_t& ret) {
                   std::vector<QRApplianceRecord_t> found;
                   int rc = appliances().select(s, "", {}, found);
                   ret.appliances.assign(found.begin(), found.end());
                   return out.db(rc);
                 });
}

bool ReplicaDBClient::AddQMGlobalHistoryName(const AddQuillmereVolHistoryNameArgs_t& a,
                                             AddQuillmereVolHistoryNameRet_t& r) {
  return runCall({"AddQMGlobalHistoryName", 1, {a.historyName.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddQuillmereVolHistoryNameRet_t&) {
                   // The latest name of a volume wins.
                   int changed = 0;
                   int rc = historyNames().remove(s, "WHERE \"volumeId\" = ?", {a.historyName.volumeId}, changed);
                   int32_t ignored = -1;
                   return out.db(rc != 0 ? rc : historyNames().insert(s, a.historyName, ignored));
                 });
}

bool ReplicaDBClient::QueryQMGlobalHistoryNameByVolId(const QueryQMGlobalHistoryNameByVolumeIdArgs_t& a,
                                                      QueryQMGlobalHistoryNameByVolumeIdRet_t& r) {
  return runCall({"QueryQMGlobalHistoryNameByVolId", 1, {a.volumeId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryQMGlobalHistoryNameByVolumeIdRet_t& ret) {
                   int rc = historyNames().byId(s, a.volumeId, ret.historyName);
                   return rc == DB_NO_ROW ? out.refuse("volume " + std::to_string(a.volumeId) + " has no history name")
                                    : out.db(rc);
                 });
}

bool ReplicaDBClient::AddApplication(const AddQRUserAppDefsArgs_t& a, AddQRUserAppDefsRet_t& r) {
  return runCall({"AddApplication", 1, {a.application.appId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, AddQRUserAppDefsRet_t& ret) {
                   return out.db(userApps().insert(s, a.application, ret.userAppId));
                 });
}

bool ReplicaDBClient::DeleteApplication(const DeleteQRUserAppDefsArgs_t& a, DeleteQRUserAppDefsRet_t& r) {
  return runCall({"DeleteApplication", 1, {a.userAppId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, DeleteQRUserAppDefsRet_t&) {
                   int changed = 0;
                   int rc = userApps().remove(s, "WHERE \"userAppId\" = ?", {a.userAppId}, changed);
                   if (rc != 0) return out.db(rc);
                   return changed == 0 ? out.refuse(missing("user application", a.userAppId)) : 0;
                 });
}

bool ReplicaDBClient::QueryApplication(const QueryQRUserAppDefsArgs_t& a, QueryQRUserAppDefsRet_t& r) {
  return runCall({"QueryApplication", 1, {a.userAppId}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, QueryQRUserAppDefsRet_t& ret) {
                   int rc = userApps().byId(s, a.userAppId, ret.application);
                   return rc == DB_NO_ROW ? out.refuse(missing("user application", a.userAppId)) : out.db(rc);
                 });
}

bool ReplicaDBClient::UpdateApplication(const UpdateQRUserAppDefsArgs_t& a, UpdateQRUserAppDefsRet_t& r) {
  const QRUserAppDefsRecord_t& app = a.application;
  return runCall({"UpdateApplication", 1, {app.userAppId, app.changeMask}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, UpdateQRUserAppDefsRet_t&) {
                   QRUserAppDefsRecord_t stored;
                   int rc = userApps().byId(s, app.userAppId, stored);
                   if (rc == DB_NO_ROW) return out.refuse(missing("user application", app.userAppId));
                   int changed = 0;
                   return out.db(rc != 0 ? rc : userApps().update(s, app, app.changeMask, changed));
                 });
}

bool ReplicaDBClient::GetApplicationList(GetQRUserApplicationListListRet_t& r) {
  return runCall({"GetApplicationList", 1, {}}, nullptr, r,
                 [&](tkdb::Session& s, Outcome& out, GetQRUserApplicationListListRet_t& ret) {
                   return out.db(userApps().select(s, "", {}, ret.applications));
                 });
}

bool ReplicaDBClient::GetVEHosts(GetVEHostsRet_t& r) {
  return runCall({"GetVEHosts", 1, {}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, GetVEHostsRet_t& ret) {
    return out.db(veHosts().select(s, "", {}, ret.hosts));
  });
}

bool ReplicaDBClient::GetCopyMgrs(GetQRCopyMgrCtrlsRet_t& r) {
  return runCall({"GetCopyMgrs", 1, {}}, nullptr, r, [&](tkdb::Session& s, Outcome& out, GetQRCopyMgrCtrlsRet_t& ret) {
    return out.db(copyManagers().select(s, "", {}, ret.controllers));
  });
}
