// Body of the stored procedure MMGetDataServerPath(deviceControllerId).
//
// One row for an existing device path (none for an unknown id): its
// data-server path. A path served through a data server (a data-server
// bit 16, 32 or 128 in its access type) answers the folder of the oldest
// path to the same device that reaches the storage directly and has a
// folder: the path on which the data server reaches the storage. A direct
// path, or a served one without such a path, answers the empty text.
#include "Db/Proc/MMGetDataServerPath.h"

#include "Db/Tbl/MMDeviceController.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMGetDataServerPath";

constexpr const char* kSql =
    "SELECT CASE WHEN (IFNULL(C.DeviceAccessType, 0) & 176) = 0 THEN '' ELSE IFNULL(("
    "SELECT D.Folder FROM MMDeviceController D WHERE D.DeviceId = C.DeviceId "
    "AND (IFNULL(D.DeviceAccessType, 0) & 176) = 0 "
    "AND IFNULL(D.Folder, '') <> '' ORDER BY D.DeviceControllerId LIMIT 1), '') END "
    "FROM MMDeviceController C WHERE C.DeviceControllerId = ?1";

[[maybe_unused]] const bool kRegistered =
    tkprocs::registered(kName, tkprocs::queryOverIntegers(kName, 1, "one integer (the device-controller id)", kSql));

}  // namespace
