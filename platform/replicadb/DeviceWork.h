// The work of the device and mount-point calls that both service objects
// offer (ReplicaDBClient without a transaction, ReplicationMgr within the
// caller's): each runs inside the call's transaction and returns 0, the
// database's code, or a refusal of the Outcome. Inside platform/replicadb only.
#pragma once

#include "platform/replicadb/ReplicaCall.h"
#include "platform/replicadb/SNRVolumeCalls.h"

namespace tkreplicadb {

// The code of AddSNRDevice when the client already has that device.
inline constexpr int32_t kDeviceAlreadyConfigured = AddSNRDeviceV5Ret_t::kDeviceAlreadyConfigured;

int addSNRDevice(tkdb::Session& s, Outcome& out, const AddSNRDeviceV5Args_t& args, AddSNRDeviceV5Ret_t& ret);
int addMountPoint(tkdb::Session& s, Outcome& out, const AddSNRMountPointArgs_t& args, AddSNRMountPointRet_t& ret);
int configureDevice(tkdb::Session& s, Outcome& out, const ConfigureDeviceV2Args_t& args);
int mountPointsOfDevice(tkdb::Session& s, const QuerySNRVolMountPointBySNRVolDevIdArgs_t& args,
                        QuerySNRVolMountPointBySNRVolDevIdRet_t& ret);
int updateMountPoint(tkdb::Session& s, Outcome& out, const UpdateSNRMountPointArgs_t& args);

// Whether the device name exists: 0 (found), 100, or the database's code.
int deviceNameExists(tkdb::Session& s, int32_t deviceNameId);
// Makes sure the device name has its row of further fields.
int ensureDeviceNameExtras(tkdb::Session& s, int32_t deviceNameId);

}  // namespace tkreplicadb
