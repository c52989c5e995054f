// Named properties of subclients: one row per subclient (componentNameId,
// the APP_Application id) and property name, with its value as text. The
// property "Centera NDMP Host Id" holds the id of the NDMP host entry that
// a Centera archive subclient goes through; the NDMP host usage procedure
// reads it.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_SubClientProp",
                       "CREATE TABLE IF NOT EXISTS \"APP_SubClientProp\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"componentNameId\" INTEGER NOT NULL, "
                       "\"attrName\" TEXT COLLATE NOCASE NOT NULL, "
                       "\"attrVal\" TEXT COLLATE NOCASE)");
  return true;
}();

}  // namespace
