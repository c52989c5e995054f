// The replication manager: the device-list update's way into the replica
// database. Its calls are those of ReplicaDBClient of the same names (same
// structs, same results), run in the transaction given (null: one of their
// own, or the thread's open one). Thread-safe; default-constructed.
#pragma once

#include "platform/replicadb/SNRVolumeCalls.h"

class DBtran;

class ReplicationMgr {
 public:
  ReplicationMgr() = default;

  bool AddSNRDevice(const AddSNRDeviceV5Args_t& args, AddSNRDeviceV5Ret_t& ret, DBtran* tran);
  bool AddMountPoint(const AddSNRMountPointArgs_t& args, AddSNRMountPointRet_t& ret, DBtran* tran);
  bool ConfigureDevice(const ConfigureDeviceV2Args_t& args, ConfigureDeviceV2Ret_t& ret, DBtran* tran);
  bool QuerySNRVolMountPoint(const QuerySNRVolMountPointBySNRVolDevIdArgs_t& args,
                             QuerySNRVolMountPointBySNRVolDevIdRet_t& ret, DBtran* tran);
  bool UpdateSNRVolMountPoint(const UpdateSNRMountPointArgs_t& args, UpdateSNRMountPointRet_t& ret, DBtran* tran);
};
