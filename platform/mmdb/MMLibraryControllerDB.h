// Media-management table access: library controllers (table
// MMLibraryController; rows MMLibraryController_t of Db/MMRowRecords.h).
// Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/MMRowRecords.h"
#include "platform/mmdb/MMBaseDB.h"

class MMLibraryControllerDB : public MMTableAccess {
 public:
  explicit MMLibraryControllerDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The controller of a media agent for a library.
  int getInfoByHostAndLibraryId(int clientId, int libraryId, MMLibraryController_t& row, DBtran* tran = nullptr);
  // The library's active controller; a library without one is code 309
  // (MMS2_ERROR_NO_ACTIVE_CONTROLLER, dbError 100), the row untouched.
  int getInfoForActiveCtrl(int libraryId, MMLibraryController_t& row, DBtran* tran = nullptr);
  // Every controller of a library, in id order.
  int getListByLibraryId(int libraryId, MMLibraryController_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(MMLibraryController_t*& rows, const char* file, int line);
};
