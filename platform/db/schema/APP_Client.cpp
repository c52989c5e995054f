// The clients of the installation, as far as the system's own queries reach
// them: a client's name and network host name. The mount-path list
// procedure names the media agent of each row through it. The table access
// of clients adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_Client",
                       "CREATE TABLE IF NOT EXISTS \"APP_Client\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"name\" TEXT COLLATE NOCASE, "
                       "\"net_hostname\" TEXT COLLATE NOCASE)");
  return true;
}();

}  // namespace
