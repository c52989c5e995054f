// The data-server types of a library's devices: over the device paths of
// every mount path of the library, the data-server type of each device
// path's access value, kept per device id (the last row read for a device
// wins). A building block beside the storage-library operations; no
// request handler calls it, and the two numbers it takes are not used.
#include <map>

#include "Db/Proc/MMS2GetDevicePathsForMountPath.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMMountPathDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::CheckAndGetDataServerTypeConfiguredInLibrary";

// Frees the mount-path list on every return.
struct MountPathList {
  MMMountPath_t* rows = nullptr;
  int count = 0;
  ~MountPathList() {
    if (rows != nullptr) MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
  }
};

}  // namespace

int EvMMConfigMgr::CheckAndGetDataServerTypeConfiguredInLibrary(int libraryId, unsigned long long,
                                                                 unsigned long long, std::map<int, int>& types) {
  MountPathList list;
  MMMountPathDB mountPaths;
  if (mountPaths.getListForLibrary(libraryId, list.rows, list.count, nullptr) != 0) {
    EvDebug::Error(kTag, "Failed to get mount path list for library [%d]", libraryId);
    return 0;
  }
  for (int i = 0; i < list.count && list.rows != nullptr; ++i) {
    const int mountPathId = list.rows[i].MountPathId;
    const int ended = forEachDevicePathOfMountPath(mountPathId, [&](const MMS2GetDevicePathsForMountPath_t& row) {
      int type = 0;
      IdentifyDataServerType(row.readWriteAccess, type);
      types[row.deviceId] = type;
    });
    if (ended != 0 && ended != DB_NO_ROW) {
      EvDebug::Error(kTag, "Error fetching device list for mount path [%d]. Error [%s]", mountPathId,
                     DBtable::getErrorStr(ended));
      return 0;
    }
  }
  return 1;
}
