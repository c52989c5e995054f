// Media-management table access: clients, media-agent versions, RP-store
// properties, replication pairs and distributed-storage links.
#include "platform/mmdb/MMMiscDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

constexpr size_t kPropNameMax = 1024;

std::string missingStore(int rpStoreId) { return "No RP store with id [" + std::to_string(rpStoreId) + "]."; }

}  // namespace

int MMMiscDB::getClientInfo(int clientId, APP_Client_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMMiscDB::getClientInfo";
  if (!beginCall(kTag, clientId, mmTranText(tran))) return -1;
  return readOne(kTag, tkmmdb::clientLayout(), "\"id\" = ?", {clientId}, &row, tran,
                 "No client with id [" + std::to_string(clientId) + "].");
}

int MMMiscDB::getMAVersionInfo(int clientId, int& release, int& servicePack, DBtran* tran) {
  static constexpr const char* kTag = "MMMiscDB::getMAVersionInfo";
  if (!beginCall(kTag, clientId, mmTranText(tran))) return -1;
  tkdb::Session session(tran);
  tkdb::DbRow row;
  int rc = session.queryOne(
      "SELECT IFNULL(C.\"releaseId\", 0), IFNULL(C.\"servicePack\", 0) FROM \"APP_Client\" C "
      "JOIN \"MMHost\" H ON H.\"ClientId\" = C.\"id\" WHERE C.\"id\" = ?",
      {clientId}, row);
  if (rc == DB_NO_ROW) {
    return failQuiet(kTag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "No media agent with id [" + std::to_string(clientId) + "].");
  }
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not read the version of a media agent");
  if (row.size() < 2 || row[0].type != tkdb::DbValue::Type::Int || row[1].type != tkdb::DbValue::Type::Int) {
    return fail(kTag, MMS2_ERROR_BAD_VALUE, 0, "The version of media agent [" + std::to_string(clientId) + "] is unusable.");
  }
  release = static_cast<int>(row[0].i);
  servicePack = static_cast<int>(row[1].i);
  return 0;
}

int MMMiscDB::getRPStoreProp(int rpStoreId, const char* name, std::string& value, DBtran* tran) {
  static constexpr const char* kTag = "MMMiscDB::getRPStoreProp";
  if (!beginCall(kTag, rpStoreId, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "property name", name, kPropNameMax, false)) return -1;
  tkdb::Session session(tran);
  tkdb::DbRow row;
  int rc = session.queryOne(
      "SELECT S.\"RPStoreId\", P.\"PropValue\" FROM \"MMRPStoreConfig\" S LEFT JOIN \"MMRPStoreProp\" P ON "
      "P.\"RPStoreId\" = S.\"RPStoreId\" AND P.\"PropName\" = ? WHERE S.\"RPStoreId\" = ?",
      {name, rpStoreId}, row);
  if (rc == DB_NO_ROW) return failQuiet(kTag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingStore(rpStoreId));
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not read an RP store property");
  value = row.size() > 1 && !row[1].isNull() ? row[1].s : std::string();
  return 0;
}

int MMMiscDB::setRPStoreProp(int rpStoreId, const char* name, const char* value, DBtran* tran) {
  static constexpr const char* kTag = "MMMiscDB::setRPStoreProp";
  if (!beginCall(kTag, rpStoreId, name, value, mmTranText(tran))) return -1;
  if (!checkText(kTag, "property name", name, kPropNameMax, false)) return -1;
  const std::string propName = name;
  const tkdb::DbValue propValue(value);
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int rc = s.queryOne("SELECT 1 FROM \"MMRPStoreConfig\" WHERE \"RPStoreId\" = ?", {rpStoreId}, row);
    if (rc == DB_NO_ROW) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missingStore(rpStoreId), true};
      return kRefused;
    }
    if (rc != DB_OK) return rc;
    if (propValue.isNull()) {
      return s.exec("DELETE FROM \"MMRPStoreProp\" WHERE \"RPStoreId\" = ? AND \"PropName\" = ?",
                    {rpStoreId, propName});
    }
    return s.exec(
        "INSERT INTO \"MMRPStoreProp\" (\"RPStoreId\", \"PropName\", \"PropValue\") VALUES (?, ?, ?) "
        "ON CONFLICT (\"RPStoreId\", \"PropName\") DO UPDATE SET \"PropValue\" = excluded.\"PropValue\"",
        {rpStoreId, propName, propValue});
  });
}

int MMMiscDB::getBLRPairsForMountPath(int mountPathId, BlrPair_t*& rows, int& count, DBtran* tran) {
  static constexpr const char* kTag = "MMMiscDB::getBLRPairsForMountPath";
  rows = nullptr;
  count = 0;
  if (!beginCall(kTag, mountPathId, mmTranText(tran))) return -1;
  return readList(kTag, tkmmdb::blrPairLayout(),
                  "\"RPStoreId\" IN (SELECT \"RPStoreId\" FROM \"MMRPStoreConfig\" WHERE \"MountPathId\" = ?)",
                  {mountPathId}, rows, count, tran);
}

void MMMiscDB::DeleteList(BlrPair_t*& rows, const char* file, int line) {
  if (tkmmdb::journalOn()) tkmmdb::journal().record("MMMiscDB::DeleteList", tkjournal::args(file, line));
  delete[] rows;
  rows = nullptr;
}

int MMMiscDB::setDistributedStorageForMountPath(int mountPathId, int distributedStorageId, DBtran* tran) {
  static constexpr const char* kTag = "MMMiscDB::setDistributedStorageForMountPath";
  if (!beginCall(kTag, mountPathId, distributedStorageId, mmTranText(tran))) return -1;
  if (distributedStorageId <= 0) {
    return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, "No distributed-storage entity was given.");
  }
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int rc = s.queryOne("SELECT 1 FROM \"MMMountPath\" WHERE \"MountPathId\" = ?", {mountPathId}, row);
    if (rc == DB_NO_ROW) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "No mount path with id [" + std::to_string(mountPathId) + "].", true};
      return kRefused;
    }
    if (rc != DB_OK) return rc;
    return s.exec(
        "INSERT INTO \"MMMountPathToDistributedStorage\" (\"MountPathId\", \"DistributedStorageId\") VALUES (?, ?) "
        "ON CONFLICT (\"MountPathId\") DO UPDATE SET \"DistributedStorageId\" = excluded.\"DistributedStorageId\"",
        {mountPathId, distributedStorageId});
  });
}
