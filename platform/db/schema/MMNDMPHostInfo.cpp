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
  // Drive pools refer to the entry of their NDMP server (MMDrivePool's
  // NDMPHostId, 0 for none): an entry still referred to cannot be deleted.
  tkdb::registerSchema("MMNDMPHostInfo_referred",
                       "CREATE TRIGGER IF NOT EXISTS \"MMNDMPHostInfo_referred\" BEFORE DELETE ON \"MMNDMPHostInfo\" "
                       "WHEN EXISTS (SELECT 1 FROM \"MMDrivePool\" WHERE \"NDMPHostId\" = OLD.\"ndmpHostId\") "
                       "BEGIN SELECT RAISE(ABORT, 'FOREIGN KEY constraint failed: a drive pool refers to the NDMP "
                       "host entry'); END");
  return true;
}();

}  // namespace
