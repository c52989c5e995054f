// The mount paths deleted with force whose storage is still to be cleaned
// up physically: one row per mount path, with its library and name (kept,
// since the mount path's own row goes), written by
// MMInsertDeletedMPToPhysicalCleanup in the deletion's transaction.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMountPathPhysicalCleanup",
                       "CREATE TABLE IF NOT EXISTS \"MMMountPathPhysicalCleanup\" ("
                       "\"MountPathId\" INTEGER PRIMARY KEY, "
                       "\"LibraryId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MountPathName\" TEXT COLLATE NOCASE NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
