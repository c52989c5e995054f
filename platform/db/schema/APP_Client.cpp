// The clients of the installation: a client's id, name and network host
// name, and what the client table access (MMMiscDB::getClientInfo, the
// record APP_Client_t) reads of it: its display name, version (release and
// service pack), installation, domain, operating system, state and time
// figures. The mount-path list procedure names the media agent of each row
// through it; a media agent's host row (MMHost) carries its client id.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_Client",
                       "CREATE TABLE IF NOT EXISTS \"APP_Client\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"name\" TEXT COLLATE NOCASE, "
                       "\"net_hostname\" TEXT COLLATE NOCASE, "
                       "\"versionRelease\" INTEGER NOT NULL DEFAULT 0, "
                       "\"hostDisplayName\" TEXT NOT NULL DEFAULT '', "
                       "\"installTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"lastUpdateTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"versionServicePack\" INTEGER NOT NULL DEFAULT 0, "
                       "\"clientFlags\" INTEGER NOT NULL DEFAULT 0, "
                       "\"installDirectory\" TEXT NOT NULL DEFAULT '', "
                       "\"description\" TEXT, "
                       "\"domainName\" TEXT NOT NULL DEFAULT '', "
                       "\"osTypeId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"status\" INTEGER NOT NULL DEFAULT 0, "
                       "\"clientType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"tarnfoldId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"timeZoneId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"isVirtual\" INTEGER NOT NULL DEFAULT 0, "
                       "\"licenseType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"lastContactTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"servicePort\" INTEGER NOT NULL DEFAULT 0, "
                       "\"clientGUID\" TEXT NOT NULL DEFAULT '', "
                       "\"attribute\" INTEGER NOT NULL DEFAULT 0, "
                       "\"osName\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
