// The master pools of the libraries, as far as the system's own queries
// reach them: which library a master pool belongs to. Drives and drive
// pools name their master pool; the where texts of the drive and drive-pool
// lookups go from a library to its master pools through this table. The
// table access of master pools adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMasterPool",
                       "CREATE TABLE IF NOT EXISTS \"MMMasterPool\" ("
                       "\"MasterPoolId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"LibraryId\" INTEGER)");
  return true;
}();

}  // namespace
