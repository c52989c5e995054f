// Media-management table access: device controllers (table
// MMDeviceController, the binding Db/Tbl/MMDeviceController.h).
// Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/Tbl/MMDeviceController.h"
#include "platform/mmdb/MMBaseDB.h"

class MMDeviceControllerDB : public MMTableAccess {
 public:
  explicit MMDeviceControllerDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // One controller by id (getInfoInDB reads the same stored row).
  int getInfo(int deviceControllerId, MMDeviceController_t& row, DBtran* tran = nullptr);
  int getInfoInDB(int deviceControllerId, MMDeviceController_t& row, DBtran* tran = nullptr);
  // The controller of a client (media agent) to a device.
  int getInfoByHstAndDeviceId(int clientId, int deviceId, MMDeviceController_t& row, DBtran* tran = nullptr);
  // The controllers of a device, or of a client, in id order.
  int getListByDeviceId(int deviceId, MMDeviceController_t*& rows, int& count, DBtran* tran = nullptr);
  int getListByHostId(int clientId, MMDeviceController_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(MMDeviceController_t*& rows, const char* file, int line);
  // Whether the media agent may get a further device path in the library
  // (and, when deviceId is above 0, to that device): the library and the
  // device must exist and the client must be a media agent (a host row).
  int canAddController(int libraryId, int deviceId, int clientId, DBtran* tran = nullptr);
};
