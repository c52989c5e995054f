// The agent instances of clients, as far as the system's own queries reach
// them: an instance and its client. The client-properties cursor finds a
// client's instances here and their attributes in APP_IDAProp.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_IDAName",
                       "CREATE TABLE IF NOT EXISTS \"APP_IDAName\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"clientId\" INTEGER NOT NULL)");
  return true;
}();

}  // namespace
