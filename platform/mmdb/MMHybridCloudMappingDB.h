// Media-management table access: hybrid-cloud mappings (table
// MMHybridCloudMapping; the row MMHybridCloudMapping_t of
// Db/Tbl/MMHybridCloudMapping.h). Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/Tbl/MMHybridCloudMapping.h"
#include "platform/mmdb/MMBaseDB.h"

class MMHybridCloudMappingDB : public MMTableAccess {
 public:
  explicit MMHybridCloudMappingDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The mapping of a cloud library; none is a failure with dbError 100.
  int getInfoByCloudLibId(int cloudLibraryId, MMHybridCloudMapping_t& row, DBtran* tran = nullptr);
  // Removes the mappings of a disk library (none is no failure).
  int deleteHybridCloudMappingByDiskLib(int diskLibraryId, DBtran* tran = nullptr);
};
