// The installation records of clients: which release (simAllHalvaneRel)
// and build was installed on a client, and when (seconds since the epoch).
// The client-properties cursor reads the greatest release and the most
// recent build of a client from it.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("simInstallHistory",
                       "CREATE TABLE IF NOT EXISTS \"simInstallHistory\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"clientId\" INTEGER NOT NULL, "
                       "\"releaseId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"build\" TEXT, "
                       "\"installTime\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
