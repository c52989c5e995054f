// Media-management table access: the NDMP host table (MMNDMPHostInfo; rows
// MMNDMPHostInfo_t of platform/mmdb/MMRows.h). Conventions in
// platform/mmdb/MMBaseDB.h, except that a lookup that finds no row returns 1
// with MMS2_ERROR_NDMP_HOST_NOT_FOUND (261, dbError 100).
#pragma once

#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMRows.h"

class MMNDMPHostInfoDB : public MMTableAccess {
 public:
  explicit MMNDMPHostInfoDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The entry of a client (its first by id), or of a client and OS type.
  int getInfoByClientId(int clientId, MMNDMPHostInfo_t& row, DBtran* tran = nullptr);
  int getInfoByClientIdAndOSType(int clientId, int osType, MMNDMPHostInfo_t& row, DBtran* tran = nullptr);
  // Adds an entry; the new id goes into `newId` and row.ndmpHostId.
  int addNDMPHostInfo(MMNDMPHostInfo_t& row, int& newId, DBtran* tran = nullptr);
  // Changes of one entry by its id (texts that do not fit are refused).
  int setLoginAndPassword(int ndmpHostId, const char* login, const char* password, DBtran* tran = nullptr);
  int setOSType(int ndmpHostId, int osType, DBtran* tran = nullptr);
  int setFirmwareRevision(int ndmpHostId, const char* firmwareRevision, DBtran* tran = nullptr);
  int setCapabilityFlags(int ndmpHostId, unsigned int flags, DBtran* tran = nullptr);
  int setListenPort(int ndmpHostId, int port, DBtran* tran = nullptr);
  // An entry that another table still refers to is not deleted: -1 with
  // MMS2_ERROR_REFERENCE and a text that contains "Constraint violation".
  int deleteNDMPHostInfo(int ndmpHostId, DBtran* tran = nullptr);
};
