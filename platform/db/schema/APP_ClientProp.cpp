// The attributes of clients, as far as the system's own queries reach them:
// name and value of one attribute of a client (componentNameId), current
// when modified is 0. The client-properties cursor reads them. The table
// access of client attributes adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_ClientProp",
                       "CREATE TABLE IF NOT EXISTS \"APP_ClientProp\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"componentNameId\" INTEGER NOT NULL, "
                       "\"attrName\" TEXT COLLATE NOCASE NOT NULL, "
                       "\"attrVal\" TEXT, "
                       "\"modified\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
