// The library controllers: one row per media agent (ClientId) that can
// control a library (LibraryId); at most one controller of a library is the
// active one (IsActive). The library-controller table access
// (MMLibraryControllerDB) reads them; switching control (ZQMMlcpInfo) moves
// the active flag.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMLibraryController",
                       "CREATE TABLE IF NOT EXISTS \"MMLibraryController\" ("
                       "\"LibraryControllerId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"ControllerName\" TEXT NOT NULL DEFAULT '', "
                       "\"ClientId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LibraryId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsActive\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsEnabled\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ControllerType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatus\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatusUpdateTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"SerialNumber\" TEXT NOT NULL DEFAULT '')");
  tkdb::registerIndex("MMLibraryController", "LibraryId");
  tkdb::registerReferences("MMLibraryController", "MMLibrary: LibraryId = LibraryId");
  return true;
}();

}  // namespace
