// Body of the stored procedure MMGetDeviceControllerForSharingCloud(mountPathId).
//
// One row for an existing device path of the mount path's storage whose
// folder is set, so that another media agent can reach the same cloud
// storage with its folder and credentials: the enabled paths before the
// disabled ones, then the oldest (lowest id) first. The password is
// answered as stored (encrypted); the credential id is that of the path's
// stored-credential association, 0 without one. No row when the mount path
// has no such path.
#include "Db/Proc/MMGetDeviceControllerForSharingCloud.h"

#include "Db/Tbl/MMDeviceController.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetDeviceControllerForSharingCloud";

constexpr const char* kSql =
    "SELECT C.DeviceControllerId, IFNULL(C.UserName, ''), IFNULL(C.UserPassword, ''), IFNULL(C.Folder, ''), "
    "IFNULL(A.credentialId, 0) "
    "FROM MMDeviceController C "
    "LEFT JOIN APP_CredentialAssoc A ON A.assocId = C.CredentialAssocId AND C.CredentialAssocId > 0 "
    "WHERE C.DeviceId IN (SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = ?1) "
    "AND IFNULL(C.Folder, '') <> '' "
    "ORDER BY C.DeviceControllerEnabled <> 0 DESC, C.DeviceControllerId "
    "LIMIT 1";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the mount-path id)", kSql));

}  // namespace
