// The NDMP host table: the NDMP login settings of clients (login, encrypted
// password, port, firmware text, OS type, capability flags), one row per
// client and OS type. Read and written by MMNDMPHostInfoDB.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMNDMPHostInfo",
                       "CREATE TABLE IF NOT EXISTS \"MMNDMPHostInfo\" ("
                       "\"ndmpHostId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"login\" TEXT NOT NULL DEFAULT '', "
                       "\"password\" TEXT NOT NULL DEFAULT '', "
                       "\"listenPort\" INTEGER NOT NULL DEFAULT 0, "
                       "\"firmwareRevision\" TEXT NOT NULL DEFAULT '', "
                       "\"osType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"hostSettingA\" INTEGER NOT NULL DEFAULT 0, "
                       "\"hostSettingB\" INTEGER NOT NULL DEFAULT 0, "
                       "\"hostTag\" TEXT NOT NULL DEFAULT '', "
                       "\"capabilityFlags\" INTEGER NOT NULL DEFAULT 0, "
                       "\"clientId\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
