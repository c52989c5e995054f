// The application types: id and name. The NDMP host usage procedure names
// the type of each subclient that uses a host through it.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_ApplicationType",
                       "CREATE TABLE IF NOT EXISTS \"APP_ApplicationType\" ("
                       "\"id\" INTEGER PRIMARY KEY, "
                       "\"name\" TEXT COLLATE NOCASE)");
  return true;
}();

}  // namespace
