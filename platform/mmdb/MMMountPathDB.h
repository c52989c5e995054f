// Media-management table access: mount paths (table MMMountPath, the
// binding Db/Tbl/MMMountPath.h). Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/Tbl/MMMountPath.h"
#include "platform/mmdb/MMBaseDB.h"

// Why a mount path is offline (MMMountPath.OfflineReason).
enum MountPathOfflineReason : int {
  MOUNTPATH_ONLINE = 0,
  MOUNTPATH_OFFLINE_NOT_ACCESSIBLE = 1,
  MOUNTPATH_OFFLINE_BY_USER = 2,
  MOUNTPATH_OFFLINE_NO_SPACE = 3,
  MOUNTPATH_OFFLINE_MEDIA_AGENT_DOWN = 4,
  MOUNTPATH_OFFLINE_MAINTENANCE = 5,
  // Taken offline to be deleted (forced deletion).
  MOUNTPATH_OFFLINE_FOR_DELETION = 6,
};

// Kinds of mount path (MMMountPath.MountPathTypeId).
enum MountPathType : int {
  MOUNTPATH_TYPE_NOT_SHARED = 0,
  MOUNTPATH_TYPE_LOCAL = 1,
  MOUNTPATH_TYPE_SHARED = 4,
  // On a shared network or cloud device (device types 2 to 1000).
  MOUNTPATH_TYPE_SHARED_DEVICE = 7,
  MOUNTPATH_TYPE_RP_STORE = 9,
  MOUNTPATH_TYPE_SHARED_SAN = 11,
};

class MMMountPathDB : public MMTableAccess {
 public:
  explicit MMMountPathDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  int getInfo(int mountPathId, MMMountPath_t& row, DBtran* tran = nullptr);
  // The mount paths of a library, or of a device, by id.
  int getListForLibrary(int libraryId, MMMountPath_t*& rows, int& count, DBtran* tran = nullptr);
  int getListForDevice(int deviceId, MMMountPath_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(MMMountPath_t*& rows, const char* file, int line);
  int getMountPathCountForLibrary(int libraryId, int& count, DBtran* tran = nullptr);

  // Single-column changes of one mount path; a mount path that does not
  // exist is MMS2_ERROR_NOT_FOUND (dbError 100).
  int setMaxWriters(int mountPathId, int writers, DBtran* tran = nullptr);        // writers >= 0
  int setMagneticReserveSpace(int mountPathId, int reserveMB, DBtran* tran = nullptr);  // >= 0
  int setAttribute(int mountPathId, int attribute, DBtran* tran = nullptr);
  int setEnabled(int mountPathId, DBtran* tran = nullptr);
  int setDisabled(int mountPathId, DBtran* tran = nullptr);
  // Online clears the offline flag, reason, event and time; offline sets the
  // flag, the reason and the time (seconds since the epoch).
  int setOnline(int mountPathId, DBtran* tran = nullptr);
  int setOffline(int mountPathId, MountPathOfflineReason reason, DBtran* tran = nullptr);
  int setMountPathType(int mountPathId, MountPathType type, DBtran* tran = nullptr);
};
