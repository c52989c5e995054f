// The subclients of the installation, as far as the system's own queries
// reach them: a subclient's id, client, application type and name. The
// NDMP host usage procedure names the subclients that use a host through
// it. The table access of applications adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_Application",
                       "CREATE TABLE IF NOT EXISTS \"APP_Application\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"clientId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"appTypeId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"subclientName\" TEXT COLLATE NOCASE)");
  return true;
}();

}  // namespace
