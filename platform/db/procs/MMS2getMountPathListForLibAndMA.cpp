// Body of the stored procedure MMS2getMountPathListForLibAndMA(libraryId,
// mediaAgentId).
//
// The mount paths of a library that a media agent reaches, one row per
// mount path in mount-path id order. The agent reaches a mount path when it
// has a device controller (MMDeviceController, by its client id) for a
// device the mount path lies on (MMMountPathToStorageDevice); with several
// such controllers the one of the lowest id counts. From it come the base
// folder (the controller's Folder), the client and the device type; the
// medium comes from the mount path's media side, the drive from the drive
// of the mount path's master pool that holds that medium, the space limits
// from the mount path. The database keeps no space accounting and no
// reservations of mount paths: free and total space, use, job, priority,
// reservation, release and log caching read 0. An unknown library or agent
// gives no rows; a call with another number of inputs is refused.
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/procs/ProcBodySupport.h"

namespace {

constexpr const char* kName = "MMS2getMountPathListForLibAndMA";

constexpr const char* kSql =
    "SELECT MP.MountPathId, MP.MountPathName, IFNULL(MDC.Folder, ''), MP.IsEnabled, MP.IsOffline, "
    "MP.OfflineReason, 0, MP.MountPathTypeId, IFNULL(MS.MediaId, 0), MDC.ClientId, IFNULL(CL.name, ''), "
    "IFNULL(CL.net_hostname, ''), 0, 0, 0, 0, 0, 0, 0, "
    "IFNULL((SELECT MIN(DR.DriveId) FROM MMDrive DR WHERE DR.MasterPoolId = MP.MasterPoolId "
    "AND DR.MediaId = MS.MediaId AND MS.MediaId > 0), 0), "
    "IFNULL(DEV.DeviceTypeId, 0), MP.MagneticSpaceRsrvInMB, MP.MaxDataToWriteMB, 0 "
    "FROM MMMountPath MP "
    "JOIN MMDeviceController MDC ON MDC.DeviceControllerId = "
    "(SELECT MIN(X.DeviceControllerId) FROM MMDeviceController X "
    "JOIN MMMountPathToStorageDevice MSD ON MSD.DeviceId = X.DeviceId "
    "WHERE MSD.MountPathId = MP.MountPathId AND X.ClientId = ?2) "
    "LEFT JOIN MMDevice DEV ON DEV.DeviceId = MDC.DeviceId "
    "LEFT JOIN MMMediaSide MS ON MS.MediaSideId = MP.MediaSideId "
    "LEFT JOIN APP_Client CL ON CL.id = MDC.ClientId "
    "WHERE MP.LibraryId = ?1 "
    "ORDER BY MP.MountPathId";

int body(tkdb::ProcCall& call) {
  if (!tkprocs::inputCount(call, kName, 2, "two inputs (library id, media-agent id)")) return DB_ERR_INPUT;
  return tkprocs::answer(call, kSql, {call.inputs[0], call.inputs[1]});
}

[[maybe_unused]] const bool kRegistered = tkprocs::registered(kName, body);

}  // namespace
