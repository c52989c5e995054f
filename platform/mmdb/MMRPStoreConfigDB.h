// Media-management table access: RP stores (table MMRPStoreConfig; the
// record MMRPStoreConfig_t of Db/Tbl/MMRPStoreConfig.h). Conventions in
// platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/Tbl/MMRPStoreConfig.h"
#include "platform/mmdb/MMBaseDB.h"

// Bits of the update mask: what updateRPStoreConfig writes.
enum MMRPStoreUpdateMask : int {
  MM_RPSTORE_UPDATE_NAME = 0x01,
  MM_RPSTORE_UPDATE_MIN_SPACE = 0x04,
  MM_RPSTORE_UPDATE_MAX_SPACE = 0x08,
  // The off-peak schedule: a store property, nothing in the row.
  MM_RPSTORE_UPDATE_SCHEDULE = 0x10,
};

class MMRPStoreConfigDB : public MMTableAccess {
 public:
  explicit MMRPStoreConfigDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // Adds the store (name, library, mount path, state, space limits); puts the
  // new id into `newId` and the row's RPStoreId. The library must exist.
  int addRPStoreConfig(MMRPStoreConfig_t& row, int& newId, DBtran* tran = nullptr);
  // Writes the columns that `mask` selects (MMRPStoreUpdateMask) of store
  // row.RPStoreId from the row.
  int updateRPStoreConfig(MMRPStoreConfig_t& row, int mask, DBtran* tran = nullptr);
  int getInfo(int rpStoreId, MMRPStoreConfig_t& row, DBtran* tran = nullptr);
  int getRPStoresForLibrary(int libraryId, MMRPStoreConfig_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(MMRPStoreConfig_t*& rows, const char* file, int line);
  // Removes the stores of a mount path with their properties (none is no
  // failure).
  int deleteRPStoreForMP(int mountPathId, DBtran* tran = nullptr);
};
