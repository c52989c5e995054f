// Media-management table access: media-agent hosts (table MMHost; rows
// MMHost_t of Db/MMRowRecords.h). Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/MMRowRecords.h"
#include "platform/mmdb/MMBaseDB.h"

class MMHostDB : public MMTableAccess {
 public:
  explicit MMHostDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The host of the media agent whose client name (APP_Client.name) is
  // `name`, without regard to letter case.
  int getInfoByClientName(const char* name, MMHost_t& row, DBtran* tran = nullptr);
  // Whether the media agent's power is managed (cloud VM management) and
  // whether it is powered off now.
  int isPowerManagedMA(int clientId, bool& powerManaged, bool& poweredOff, DBtran* tran = nullptr);
};
