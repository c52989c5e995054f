// The media-agent hosts, as far as the system's own queries reach them: one
// row per media agent (by its client id) with its configuration attribute
// bits and whether it was pushed to another central server. The media-agent
// list procedures read it. The table access of hosts adds its further
// columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMHost",
                       "CREATE TABLE IF NOT EXISTS \"MMHost\" ("
                       "\"ClientId\" INTEGER PRIMARY KEY, "
                       "\"Attribute\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsPushedToAnotherTK\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
