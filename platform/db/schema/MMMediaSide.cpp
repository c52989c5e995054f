// The media sides, as far as the system's own queries reach them: the
// medium a media side belongs to. The mount-path view finds the medium of a
// mount path through it. The table access of media sides adds its further
// columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMediaSide",
                       "CREATE TABLE IF NOT EXISTS \"MMMediaSide\" ("
                       "\"MediaSideId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"MediaId\" INTEGER)");
  return true;
}();

}  // namespace
