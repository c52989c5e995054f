// The attributes of agent instances (componentNameId: APP_IDAName.id), as
// far as the system's own queries reach them: name and value, current when
// modified is 0. The client-properties cursor reads "Enable Archive".
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_IDAProp",
                       "CREATE TABLE IF NOT EXISTS \"APP_IDAProp\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"componentNameId\" INTEGER NOT NULL, "
                       "\"attrName\" TEXT COLLATE NOCASE NOT NULL, "
                       "\"attrVal\" TEXT, "
                       "\"modified\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
