// Body of the stored procedure MMS2GetMissingHybridCloudMAsForDisk(cloudLibraryId).
//
// For a cloud library with a hybrid-cloud mapping: one row per storage
// device of the mapped disk library's mount paths and per media agent that
// has a device path to the cloud library's storage but none to that
// device, by device and then media agent (client id), so that the rows of
// one device come together. Each row carries the folder, user name,
// password (as stored), credential id (0 without one) and enabled flag of
// the device's oldest existing path with a folder (empty texts and 0 when
// the device has none). No row without a mapping or when nothing is
// missing.
#include "Db/Proc/MMS2GetMissingHybridCloudMAsForDisk.h"

#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMS2GetMissingHybridCloudMAsForDisk";

constexpr const char* kSql =
    "WITH DiskDevices AS ("
    "  SELECT DISTINCT S.DeviceId FROM MMMountPathToStorageDevice S "
    "  JOIN MMMountPath P ON P.MountPathId = S.MountPathId "
    "  WHERE P.LibraryId = (SELECT DiskLibraryId FROM MMHybridCloudMapping WHERE CloudLibraryId = ?1)), "
    "CloudAgents AS ("
    "  SELECT DISTINCT C.ClientId FROM MMDeviceController C WHERE C.DeviceId IN ("
    "    SELECT S.DeviceId FROM MMMountPathToStorageDevice S JOIN MMMountPath P ON P.MountPathId = S.MountPathId "
    "    WHERE P.LibraryId = ?1)), "
    "Model AS ("
    "  SELECT D.DeviceId, (SELECT C.DeviceControllerId FROM MMDeviceController C WHERE C.DeviceId = D.DeviceId "
    "    AND IFNULL(C.Folder, '') <> '' ORDER BY C.DeviceControllerId LIMIT 1) AS ControllerId FROM DiskDevices D) "
    "SELECT D.DeviceId, IFNULL(C.Folder, ''), IFNULL(C.UserName, ''), IFNULL(C.UserPassword, ''), "
    "IFNULL(A.credentialId, 0), IFNULL(C.DeviceControllerEnabled, 0), G.ClientId "
    "FROM DiskDevices D JOIN CloudAgents G "
    "JOIN Model M ON M.DeviceId = D.DeviceId "
    "LEFT JOIN MMDeviceController C ON C.DeviceControllerId = M.ControllerId "
    "LEFT JOIN APP_CredentialAssoc A ON A.assocId = C.CredentialAssocId AND C.CredentialAssocId > 0 "
    "WHERE NOT EXISTS (SELECT 1 FROM MMDeviceController X WHERE X.DeviceId = D.DeviceId AND X.ClientId = G.ClientId) "
    "ORDER BY D.DeviceId, G.ClientId";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the cloud library id)", kSql));

}  // namespace
