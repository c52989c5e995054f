// The software releases: id and release name. The client-properties cursor
// names the greatest release installed on a client from it.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("simAllHalvaneRel",
                       "CREATE TABLE IF NOT EXISTS \"simAllHalvaneRel\" ("
                       "\"id\" INTEGER PRIMARY KEY, "
                       "\"release\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
