// The software platforms installed on clients, as far as the system's own
// queries reach them: the platform type and its installation directory. The
// client-properties cursor reads them. The table access of platforms adds
// its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_Platform",
                       "CREATE TABLE IF NOT EXISTS \"APP_Platform\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"clientId\" INTEGER NOT NULL, "
                       "\"platformType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"install_dir\" TEXT)");
  return true;
}();

}  // namespace
