// Media-management table access: media-agent hosts.
#include "platform/mmdb/MMHostDB.h"

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mmdb/MMLayouts.h"

int MMHostDB::getInfoByClientName(const char* name, MMHost_t& row, DBtran* tran) {
  static constexpr const char* kTag = "MMHostDB::getInfoByClientName";
  if (!beginCall(kTag, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "media agent name", name, sizeof(APP_Client_t::name) - 1, false)) return -1;
  return readOne(kTag, tkmmdb::hostLayout(),
                 "\"ClientId\" = (SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ? ORDER BY \"id\" LIMIT 1)",
                 {name}, &row, tran, std::string("No media agent named [") + name + "].");
}

int MMHostDB::isPowerManagedMA(int clientId, bool& powerManaged, bool& poweredOff, DBtran* tran) {
  static constexpr const char* kTag = "MMHostDB::isPowerManagedMA";
  if (!beginCall(kTag, clientId, mmTranText(tran))) return -1;
  tkdb::Session session(tran);
  tkdb::DbRow row;
  int rc = session.queryOne("SELECT \"IsPowerManaged\", \"IsPoweredOff\" FROM \"MMHost\" WHERE \"ClientId\" = ?",
                            {clientId}, row);
  if (rc == DB_NO_ROW) {
    return failQuiet(kTag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW,
                     "Client [" + std::to_string(clientId) + "] is not a media agent.");
  }
  if (rc != DB_OK) return failDatabase(kTag, rc, session, "Could not read the power state of a media agent");
  powerManaged = row.size() > 0 && row[0].i != 0;
  poweredOff = row.size() > 1 && row[1].i != 0;
  return 0;
}
