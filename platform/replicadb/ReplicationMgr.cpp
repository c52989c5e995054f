// The replication manager's calls: the shared device work, run in the
// caller's transaction.
#include "platform/replicadb/ReplicationMgr.h"

#include "platform/replicadb/DeviceWork.h"

using namespace tkreplicadb;

bool ReplicationMgr::AddSNRDevice(const AddSNRDeviceV5Args_t& a, AddSNRDeviceV5Ret_t& r, DBtran* tran) {
  return runCall(
      {"ReplicationMgr::AddSNRDevice", 5, {a.deviceName.hostId}}, tran, r,
      [&](tkdb::Session& s, Outcome& out, AddSNRDeviceV5Ret_t& ret) { return addSNRDevice(s, out, a, ret); });
}

bool ReplicationMgr::AddMountPoint(const AddSNRMountPointArgs_t& a, AddSNRMountPointRet_t& r, DBtran* tran) {
  return runCall(
      {"ReplicationMgr::AddMountPoint", 1, {a.mountPoint.deviceNameId}}, tran, r,
      [&](tkdb::Session& s, Outcome& out, AddSNRMountPointRet_t& ret) { return addMountPoint(s, out, a, ret); });
}

bool ReplicationMgr::ConfigureDevice(const ConfigureDeviceV2Args_t& a, ConfigureDeviceV2Ret_t& r, DBtran* tran) {
  return runCall({"ReplicationMgr::ConfigureDevice", 2, {a.deviceName.deviceNameId}}, tran, r,
                 [&](tkdb::Session& s, Outcome& out, ConfigureDeviceV2Ret_t&) { return configureDevice(s, out, a); });
}

bool ReplicationMgr::QuerySNRVolMountPoint(const QuerySNRVolMountPointBySNRVolDevIdArgs_t& a,
                                           QuerySNRVolMountPointBySNRVolDevIdRet_t& r, DBtran* tran) {
  return runCall({"ReplicationMgr::QuerySNRVolMountPoint", 1, {a.deviceNameId}}, tran, r,
                 [&](tkdb::Session& s, Outcome& out, QuerySNRVolMountPointBySNRVolDevIdRet_t& ret) {
                   return out.db(mountPointsOfDevice(s, a, ret));
                 });
}

bool ReplicationMgr::UpdateSNRVolMountPoint(const UpdateSNRMountPointArgs_t& a, UpdateSNRMountPointRet_t& r,
                                            DBtran* tran) {
  return runCall(
      {"ReplicationMgr::UpdateSNRVolMountPoint", 1, {a.mountPoint.mountPointId}}, tran, r,
      [&](tkdb::Session& s, Outcome& out, UpdateSNRMountPointRet_t&) { return updateMountPoint(s, out, a); });
}
