// Media-management table access: libraries (table MMLibrary, the binding
// Db/Tbl/MMLibrary.h). Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include "Db/Tbl/MMLibrary.h"
#include "platform/mmdb/MMBaseDB.h"

class MMLibraryDB : public MMTableAccess {
 public:
  explicit MMLibraryDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The library by id, by name (AliasName, without regard to letter case) or
  // by one of its mount paths, into the caller's row.
  int getInfo(int libraryId, MMLibrary_t& row, DBtran* tran = nullptr);
  int getInfoByAliasName(const char* name, MMLibrary_t& row, DBtran* tran = nullptr);
  int getInfoByMountPathId(int mountPathId, MMLibrary_t& row, DBtran* tran = nullptr);

  // A new name: not empty, at most 512 bytes, carried by no other library
  // (MMS2_ERROR_DUPLICATE_NAME).
  int renameLibrary(int libraryId, const char* name, DBtran* tran = nullptr);
  // The free description (null clears it).
  int setDescription(int libraryId, const char* description, DBtran* tran = nullptr);
  int setLibraryTypeId(int libraryId, int libraryTypeId, DBtran* tran = nullptr);
  // Removes the library with everything of it in the media-management
  // tables: its mount paths (with their device links, media, media sides,
  // RP stores and properties), drives, drive pools, master pools, library
  // controllers and hybrid-cloud mappings; all or nothing.
  int uninstallLibrary(int libraryId, DBtran* tran = nullptr);
};
