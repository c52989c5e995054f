// Media-management table access: clients (APP_Client), media-agent versions,
// RP-store properties, block-level replication pairs of a mount path and the
// distributed-storage link of a mount path. Conventions in
// platform/mmdb/MMBaseDB.h.
#pragma once

#include <string>

#include "Db/MMRowRecords.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMRows.h"

class MMMiscDB : public MMTableAccess {
 public:
  explicit MMMiscDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The client record by client id.
  int getClientInfo(int clientId, APP_Client_t& row, DBtran* tran = nullptr);
  // The release and service pack of a media agent.
  int getMAVersionInfo(int clientId, int& release, int& servicePack, DBtran* tran = nullptr);
  // A named property of an RP store (the store must exist): the value, ""
  // for a property that is not set.
  int getRPStoreProp(int rpStoreId, const char* name, std::string& value, DBtran* tran = nullptr);
  // Sets (or replaces) a property; a null value removes it.
  int setRPStoreProp(int rpStoreId, const char* name, const char* value, DBtran* tran = nullptr);
  // The block-level replication pairs that use the RP stores of a mount path.
  int getBLRPairsForMountPath(int mountPathId, BlrPair_t*& rows, int& count, DBtran* tran = nullptr);
  static void DeleteList(BlrPair_t*& rows, const char* file, int line);
  // Attaches the mount path to a distributed-storage entity (replacing an
  // earlier one).
  int setDistributedStorageForMountPath(int mountPathId, int distributedStorageId, DBtran* tran = nullptr);
};
