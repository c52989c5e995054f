// Automatic sharing of a hybrid cloud's disk library: when the device paths
// of a cloud mount path change, the media agents that reach the cloud
// library get the device paths they still lack to the devices of the disk
// library paired with it.
//
// Best effort: nothing is reported to the caller. The database names the
// missing paths (MMS2GetMissingHybridCloudMAsForDisk), rows of one device
// come together and go to the media-management service in one list update
// per device; each update is all or nothing, a failed one is logged and the
// next device still gets its own, and a read error after some rows still
// applies what was read before it. A path whose folder, user name or
// encrypted password would not fit its record is skipped with a log line:
// no credential or path is stored cut.
#include <vector>

#include "Db/Proc/MMS2GetMissingHybridCloudMAsForDisk.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMHybridCloudMappingDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::autoShareMAsForHybridDisk";

}  // namespace

void EvMMConfigMgr::autoShareMAsForHybridDisk(int libraryId) {
  {
    MMHybridCloudMappingDB mappings;
    MMHybridCloudMapping_t mapping;
    if (mappings.getInfoByCloudLibId(libraryId, mapping) != 0) {
      if (mappings.getDBError() == DB_NO_ROW) return;  // not a hybrid cloud
      EvDebug::Error(kTag,
                     "Failed to check for hybrid cloud association, automatic sharing of associated disk library's "
                     "mountpaths will not happen, if there is a disk library.");
      return;
    }
  }

  const int result = walkMissingHybridCloudControllers(
      libraryId,
      [libraryId](int deviceId, const std::vector<MMConfigDeviceControllerInfo>& records, bool atEnd) {
        ZQMMDeviceInfo devices(1);
        if (devices.configDeviceControllerList(deviceId, records) == 0) return;
        int code = 0;
        devices.GetErrorCode(code);
        if (atEnd) {
          EvDebug::Error(kTag,
                         "Failed to send config request for the automatic adding of device controllers for disk "
                         "library associated to hybrid cloud, due to error[%d]",
                         code);
        } else {
          EvDebug::Error(kTag,
                         "Failed to send config request for the automatic adding of device controllers for disk "
                         "library associated to hybrid cloud, due to error[%d], cloudLib[%d], device[%d]",
                         code, libraryId, static_cast<int>(records.front().deviceId));
        }
      },
      [libraryId](const MMS2GetMissingHybridCloudMAsForDisk_t& row) {
        EvDebug::Error(kTag,
                       "Skipped the automatic adding of the device controller of media agent [%d] to device [%d] "
                       "for disk library associated to hybrid cloud [%d]: its folder, user name or password does "
                       "not fit.",
                       row.o_HostClientId, row.o_DeviceId, libraryId);
      });
  if (result != DB_NO_ROW) {
    EvDebug::Error(kTag,
                   "Failed to retrieve hybrid cloud MAs, automatic sharing of associated disk library's mountpaths "
                   "will not happen");
  }
}
