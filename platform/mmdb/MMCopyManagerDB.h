// Media-management table access: the software copy managers of the media
// agents (MMCopyManager), for the object model's copy-manager devices and
// their controllers. Conventions in platform/mmdb/MMBaseDB.h.
//
//   MMCopyManagerDB access;
//   std::vector<MMStoredCopyManager> rows;
//   if (access.loadBeside(snapshot, rows) != 0) ... access.lastErrorText() ...
//
// Names are 1 to kNameWidth bytes; a limit is never negative.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"

struct MMStoredSnapshot;

struct MMStoredCopyManager {
  int id = 0;
  std::string name;
  int concurrencyLimit = 0;
  int clientId = 0;
  std::string controllerName;
};

class MMCopyManagerDB : public MMTableAccess {
 public:
  static constexpr std::size_t kNameWidth = 255;

  explicit MMCopyManagerDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // Every copy manager in id order, as the process last read them beside
  // `snapshot` (as MMMediaConfigDB::loadCurrent gave it): read again only
  // when the change log, which names every change of the table, moved on
  // since. `out` is replaced only on success.
  int loadBeside(const MMStoredSnapshot& snapshot, std::vector<MMStoredCopyManager>& out);
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
