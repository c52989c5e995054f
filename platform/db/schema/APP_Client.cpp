// The clients of the installation, one column per fact under the names the
// stored procedures, the client-properties cursor and the client table
// access (MMMiscDB::getClientInfo, the record APP_Client_t) all read:
//   - identity: id, name, net_hostname, displayName (empty: the name is
//     shown), clientDescription;
//   - version: releaseId, servicePack; operating system:
//     simOperatingSystemId (SimOperatingSystem.id) and osName;
//   - the central server the client uses (TkHostName), its clock skew
//     against it (clientSkewTime), its job-results directory
//     (jobResultDir) and the ports of its daemon (zqdPort) and of its
//     event-manager service (evmgrcPort);
//   - installation, domain, state and time figures of the table access.
// Release, operating system and description may be NULL (a client not yet
// fully installed); the table access reads a NULL number as 0. A media
// agent's host row (MMHost) carries its client id.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_Client",
                       "CREATE TABLE IF NOT EXISTS \"APP_Client\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"name\" TEXT COLLATE NOCASE, "
                       "\"net_hostname\" TEXT COLLATE NOCASE, "
                       "\"releaseId\" INTEGER DEFAULT 0, "
                       "\"displayName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"installTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"lastUpdateTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"servicePack\" INTEGER NOT NULL DEFAULT 0, "
                       "\"clientFlags\" INTEGER NOT NULL DEFAULT 0, "
                       "\"installDirectory\" TEXT NOT NULL DEFAULT '', "
                       "\"clientDescription\" TEXT, "
                       "\"domainName\" TEXT NOT NULL DEFAULT '', "
                       "\"simOperatingSystemId\" INTEGER DEFAULT 0, "
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
                       "\"osName\" TEXT NOT NULL DEFAULT '', "
                       "\"TkHostName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"clientSkewTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"jobResultDir\" TEXT NOT NULL DEFAULT '', "
                       "\"zqdPort\" INTEGER NOT NULL DEFAULT 0, "
                       "\"evmgrcPort\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerIndex("APP_Client", "name");
  tkdb::registerIndex("APP_Client", "net_hostname");
  return true;
}();

}  // namespace
