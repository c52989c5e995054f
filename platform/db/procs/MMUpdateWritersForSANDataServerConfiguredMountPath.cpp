// Body of the stored procedure
// MMUpdateWritersForSANDataServerConfiguredMountPath(mountPathId); no
// result rows.
//
// A mount path that is served through a data server (one of its device
// paths has a data-server bit 16, 32 or 128) gets as many writers as it
// has enabled device paths: every enabled media agent writes through its
// own path. Other mount paths are left as they are. Atomic: in the
// caller's transaction, or one of its own.
#include "Db/Proc/MMUpdateWritersForSANDataServerConfiguredMountPath.h"

#include <vector>

#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMUpdateWritersForSANDataServerConfiguredMountPath";

constexpr const char* kSql =
    "UPDATE MMMountPath SET NumberOfWriters = ("
    "SELECT COUNT(*) FROM MMDeviceController C WHERE C.DeviceControllerEnabled <> 0 AND C.DeviceId IN "
    "(SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = ?1)) "
    "WHERE MountPathId = ?1 AND EXISTS (SELECT 1 FROM MMDeviceController C "
    "WHERE (IFNULL(C.DeviceAccessType, 0) & 176) <> 0 "
    "AND C.DeviceId IN (SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = ?1))";

int body(tkdb::ProcCall& call) {
  std::vector<long long> in;
  if (!tkprocs::integerInputs(call, kName, 1, "one integer (the mount-path id)", in)) return DB_ERR_INPUT;
  int code = call.session.atomically([&]() { return call.session.exec(kSql, {in[0]}); });
  return code != DB_OK ? tkprocs::failed(call, code) : code;
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
