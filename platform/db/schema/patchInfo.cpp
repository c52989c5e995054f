// The updates installed on clients, as far as the system's own queries
// reach them: client and application type of the update. The
// client-properties cursor looks for one application type in it.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("patchInfo",
                       "CREATE TABLE IF NOT EXISTS \"patchInfo\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"clientId\" INTEGER NOT NULL, "
                       "\"AppTypeId\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
