// Media-management table access: media (table MMMedia, the backups on them
// in MMMediaBackup) and media sides (table MMMediaSide). Rows MMMedia_t and
// MMMediaSide_t of Db/MMRowRecords.h. Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include <vector>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/archTask.h"
#include "platform/mmdb/MMBaseDB.h"

class MMMediaDB : public MMTableAccess {
 public:
  explicit MMMediaDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The medium of a mount path (through its media side).
  int getInfoByMountPathId(int mountPathId, MMMedia_t& row, DBtran* tran = nullptr);
  // Deletes the backups stored on the medium (of every copy when `copyId`
  // is -1, else of that copy), all or nothing, and appends one record per
  // deleted backup to `deleted` in job order. `mediaEmpty` tells whether the
  // medium holds no backup afterwards, `deletedCount` how many went. With
  // `resetMedia` an emptied medium's written-data figure goes back to 0;
  // `auditable` is carried for the service.
  int deleteAllBackupsFromOldMedia(int mediaId, int copyId, bool& mediaEmpty, int& deletedCount, bool resetMedia,
                                   bool auditable, DBtran* tran, std::vector<ArchDeleteBackupByMedia_t>& deleted);
};

class MMMediaSideDB : public MMTableAccess {
 public:
  explicit MMMediaSideDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  int getInfo(int mediaSideId, MMMediaSide_t& row, DBtran* tran = nullptr);
};
