// Media-management table access: drives (table MMDrive), drive pools (table
// MMDrivePool) and master pools (table MMMasterPool). Conventions in
// platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMRows.h"

class MMDriveDB : public MMTableAccess {
 public:
  explicit MMDriveDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The drive was replaced: every life-time and since-cleaning counter goes
  // to 0, cleaning is no longer required, the service time becomes now.
  int resetAllCounters(int driveId, DBtran* tran = nullptr);
  // The drive was cleaned: the since-cleaning counters go to 0, cleaning is
  // no longer required, the cleaning time becomes now.
  int resetCleaningCounters(int driveId, DBtran* tran = nullptr);
  // The drive was fixed: it is no longer broken nor offline for a reason.
  int setGood(int driveId, DBtran* tran = nullptr);
};

class MMDrivePoolDB : public MMTableAccess {
 public:
  explicit MMDrivePoolDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The drive pools of a client (media agent) in the master pools of a library.
  int getList(int libraryId, int clientId, MMDrivePool_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(MMDrivePool_t*& rows, const char* file, int line);
};

class MMMasterPoolDB : public MMTableAccess {
 public:
  explicit MMMasterPoolDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The master pools of a library, in id order.
  int getList(int libraryId, MMMasterPool_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(MMMasterPool_t*& rows, const char* file, int line);
  // The writer limit of a master pool: -1 (no limit) or 0 and above.
  int setMaxSwitchForHost(int masterPoolId, int writers, DBtran* tran = nullptr);
};
