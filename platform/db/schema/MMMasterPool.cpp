// The master pools of the libraries: which library a master pool belongs to,
// its name and type, and the writer limit of a disk library's master pool
// (MaxDrivesToSwitch). Drives and drive pools name their master pool; the
// where texts of the drive and drive-pool lookups go from a library to its
// master pools through this table. The master-pool table access
// (MMMasterPoolDB) lists and changes them.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMasterPool",
                       "CREATE TABLE IF NOT EXISTS \"MMMasterPool\" ("
                       "\"MasterPoolId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"LibraryId\" INTEGER, "
                       "\"MasterPoolName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '', "
                       "\"MasterPoolType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MaxDrivesToSwitch\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerIndex("MMMasterPool", "LibraryId");
  tkdb::registerReferences("MMMasterPool", "MMLibrary: LibraryId = LibraryId");
  return true;
}();

}  // namespace
