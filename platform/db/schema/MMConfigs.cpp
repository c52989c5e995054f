// The media-management configuration parameters: one row per named switch
// or tunable of the media-management service (for example
// "MMS2_CONFIG_CHECK_USER_MA_RIGHT"), with its integer value. Names compare
// without regard to letter case and are unique. The table access reads
// them through MMConfigsDB (platform/mmdb/MMConfigsDB.h); a parameter
// without a row is "not set" and its reader keeps its own default.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMConfigs",
                       "CREATE TABLE IF NOT EXISTS \"MMConfigs\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"name\" TEXT NOT NULL COLLATE NOCASE UNIQUE, "
                       "\"value\" INTEGER, "
                       "\"description\" TEXT)");
  return true;
}();

}  // namespace
