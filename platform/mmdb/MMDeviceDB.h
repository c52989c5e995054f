// Media-management table access: storage devices (table MMDevice; rows
// MMDevice_t of Db/MMRowRecords.h). Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/MMRowRecords.h"
#include "platform/mmdb/MMBaseDB.h"

class MMDeviceDB : public MMTableAccess {
 public:
  explicit MMDeviceDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The device by id, by name (without regard to letter case), or the device
  // a mount path lies on (the lowest device id of its links).
  int getInfo(int deviceId, MMDevice_t& row, DBtran* tran = nullptr);
  int getInfoByAliasName(const char* name, MMDevice_t& row, DBtran* tran = nullptr);
  int getInfoByMountPath(int mountPathId, MMDevice_t& row, DBtran* tran = nullptr);
  // A new name: not empty, at most 512 bytes, carried by no other device
  // (MMS2_ERROR_DUPLICATE_NAME); a change of letter case only is allowed.
  int renameDevice(int deviceId, const char* name, DBtran* tran = nullptr);
};
