// Body of the stored procedure MMS2GetDevicePathsForMountPath(mountPathId).
//
// One row per device path (device controller) of the mount path's storage
// devices, by device and then path id: state, media agent (its client id,
// name, display name (the name when it has none) and service pack),
// folder, user, access bits, the data-server path (for a path served
// through a data server: the folder of the oldest direct path to the same
// device; empty otherwise), device, and the stored credential (id and
// name; 0 and empty without one). No row for a mount path without paths.
#include "Db/Proc/MMS2GetDevicePathsForMountPath.h"

#include "Db/Tbl/APP_Credentials.h"
#include "Db/Tbl/MMDeviceController.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMS2GetDevicePathsForMountPath";

constexpr const char* kSql =
    "SELECT C.DeviceControllerId, C.DeviceControllerActive, C.DeviceControllerEnabled, C.DeviceAccessible, "
    "C.ClientId, IFNULL(CL.name, ''), IFNULL(C.Folder, ''), IFNULL(C.UserName, ''), C.DeviceAccessType, "
    "IFNULL(CL.servicePack, 0), "
    "CASE WHEN (IFNULL(C.DeviceAccessType, 0) & 176) = 0 THEN '' ELSE IFNULL(("
    "SELECT D.Folder FROM MMDeviceController D WHERE D.DeviceId = C.DeviceId "
    "AND (IFNULL(D.DeviceAccessType, 0) & 176) = 0 AND IFNULL(D.Folder, '') <> '' "
    "ORDER BY D.DeviceControllerId LIMIT 1), '') END, "
    "C.DeviceId, IFNULL(A.credentialId, 0), IFNULL(CR.credentialName, ''), "
    "CASE WHEN IFNULL(CL.displayName, '') = '' THEN IFNULL(CL.name, '') ELSE CL.displayName END "
    "FROM MMDeviceController C "
    "LEFT JOIN APP_Client CL ON CL.id = C.ClientId "
    "LEFT JOIN APP_CredentialAssoc A ON A.assocId = C.CredentialAssocId AND C.CredentialAssocId > 0 "
    "LEFT JOIN APP_Credentials CR ON CR.credentialId = A.credentialId "
    "WHERE C.DeviceId IN (SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = ?1) "
    "ORDER BY C.DeviceId, C.DeviceControllerId";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the mount-path id)", kSql));

}  // namespace
