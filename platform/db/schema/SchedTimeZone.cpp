// The time zones the schedules know: id and name. The client-properties
// cursor names a client's time zone from it.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("SchedTimeZone",
                       "CREATE TABLE IF NOT EXISTS \"SchedTimeZone\" ("
                       "\"TimeZoneID\" INTEGER PRIMARY KEY, "
                       "\"TimeZoneName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
