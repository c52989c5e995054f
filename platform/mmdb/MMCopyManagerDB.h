// Media-management table access: the software copy managers of the media
// agents (MMCopyManager), for the object model's copy-manager devices and
// their controllers. Conventions in platform/mmdb/MMBaseDB.h.
//
//   MMCopyManagerDB access;
//   if (access.updateCopyManager(row) != 0) ... access.lastErrorText() ...
//
// Their rows are read with the rest of the configuration
// (MMMediaConfigDB::loadCurrent, MMStoredSnapshot::copyManagers). Names are
// 1 to kNameWidth bytes; a limit is never negative.
#pragma once

#include <cstddef>
#include <string>

#include "platform/mmdb/MMBaseDB.h"

// A copy manager's row: the device and its one controller. The constructor
// is not defaulted, as those of the configuration's other records
// (MMMediaConfigDB.h): a list's emplace_back() then fills the record once.
struct MMStoredCopyManager {
  MMStoredCopyManager() {}  // not defaulted: see above
  int id = 0;
  std::string name;
  int concurrencyLimit = 0;
  int clientId = 0;
  std::string controllerName;

  bool operator==(const MMStoredCopyManager&) const = default;
};

class MMCopyManagerDB : public MMTableAccess {
 public:
  static constexpr std::size_t kNameWidth = 255;

  explicit MMCopyManagerDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // Stores a new copy manager; its id comes back in row.id.
  int insertCopyManager(MMStoredCopyManager& row, DBtran* tran = nullptr);
  // Writes the name and the limit of the stored copy manager row.id
  // (MMS2_ERROR_NOT_FOUND when its row is gone).
  int updateCopyManager(const MMStoredCopyManager& row, DBtran* tran = nullptr);
  // Removes the row (MMS2_ERROR_NOT_FOUND when it is gone already).
  int removeCopyManager(int id, DBtran* tran = nullptr);

 private:
  bool checkRow(const char* tag, const MMStoredCopyManager& row);
};
