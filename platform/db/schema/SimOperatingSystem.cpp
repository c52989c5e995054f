// The operating systems clients run, as far as the system's own queries
// reach them: id, kind ("Windows", "Unix", ...) and whether the system is
// a NAS file server's (isNAS). The client-properties
// cursor reads the kind of a client's system. The table access of operating
// systems adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("SimOperatingSystem",
                       "CREATE TABLE IF NOT EXISTS \"SimOperatingSystem\" ("
                       "\"id\" INTEGER PRIMARY KEY, "
                       "\"type\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"isNAS\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
