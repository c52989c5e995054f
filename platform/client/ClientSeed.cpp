// Seeding clients, packages and backup sets.
#include "platform/client/ClientSeed.h"

#include "platform/client/BackupSet.h"
#include "platform/client/ClientRows.h"

namespace tkclient {

int addClient(const ClientSeed& c) {
  tkdb::Session session;
  const int rc = session.exec(
      "INSERT INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\", \"releaseId\", \"displayName\") VALUES (?1, "
      "?2, ?3, ?4, ?5)",
      {static_cast<long long>(c.id), c.name, c.hostName, static_cast<long long>(c.releaseId), c.displayName});
  return rc == 0 ? 0 : kErrorDatabase;
}

int installPackage(unsigned long clientId, int appTypeId) {
  tkdb::Session session;
  const int rc = session.exec("INSERT OR IGNORE INTO \"APP_ClientPackage\" (\"clientId\", \"appTypeId\") VALUES (?1, ?2)",
                              {static_cast<long long>(clientId), appTypeId});
  return rc == 0 ? 0 : kErrorDatabase;
}

int addBackupSet(const BackupSetSeed& s, unsigned long long& id) {
  tkdb::Session session;
  const int rc = session.atomically([&] {
    int step = session.exec(
        "INSERT INTO \"APP_BackupSet\" (\"id\", \"clientId\", \"appTypeId\", \"instanceId\", \"name\", "
        "\"isDefault\", \"destinationHostId\", \"deleted\") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
        {s.id != 0 ? tkdb::DbValue(static_cast<long long>(s.id)) : tkdb::DbValue(),
         static_cast<long long>(s.clientId), s.appTypeId, s.instanceId, s.name, s.isDefault ? 1 : 0,
         s.destinationHostId, s.deleted ? 1 : 0});
    if (step != 0) return step;
    id = static_cast<unsigned long long>(session.lastInsertId());
    return 0;
  });
  if (rc != 0) return kErrorDatabase;
  return setLockData(id, s.lockDataUserName, s.lockDataPassword);
}

}  // namespace tkclient
