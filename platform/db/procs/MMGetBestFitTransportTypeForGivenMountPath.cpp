// Body of the stored procedure MMGetBestFitTransportTypeForGivenMountPath(mountPathId).
//
// One row from the device path of the mount path's storage that suits a
// new path best: enabled paths only, those that reach the storage before
// those that do not, then the oldest (lowest id). It answers that path's
// access bits as the transport to add, its folder, user name, password as
// stored (encrypted) and the credential id of its stored-credential
// association (0 without one). No row when the mount path has no enabled
// path.
#include "Db/Proc/MMGetBestFitTransportTypeForGivenMountPath.h"

#include "Db/Tbl/MMDeviceController.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetBestFitTransportTypeForGivenMountPath";

constexpr const char* kSql =
    "SELECT C.DeviceAccessType, IFNULL(C.Folder, ''), IFNULL(C.UserName, ''), IFNULL(C.UserPassword, ''), "
    "IFNULL(A.credentialId, 0) "
    "FROM MMDeviceController C "
    "LEFT JOIN APP_CredentialAssoc A ON A.assocId = C.CredentialAssocId AND C.CredentialAssocId > 0 "
    "WHERE C.DeviceId IN (SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = ?1) "
    "AND C.DeviceControllerEnabled <> 0 "
    "ORDER BY C.DeviceAccessible <> 0 DESC, C.DeviceControllerId "
    "LIMIT 1";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the mount-path id)", kSql));

}  // namespace
