// Media-management table access: libraries (table MMLibrary, the binding
// Db/Tbl/MMLibrary.h). Conventions in platform/mmdb/MMBaseDB.h.
#pragma once

#include <string>
#include <vector>

#include "Db/Tbl/MMLibrary.h"
#include "platform/mmdb/MMBaseDB.h"

namespace tkdb {
class Session;
}

namespace tkmmdb {

// The one name rule of libraries. Consoles find a library by the name it
// answers to: its alias, or its name where the alias is empty; two
// libraries answering to one name would make every later lookup by name
// reach either. Every route that names or renames a library asks this on
// the connection of its own change (so inside the change's transaction):
// DB_OK when a library other than `libraryId` (0 or below: a new library)
// answers to `name`, letter case aside as every lookup by name compares;
// DB_NO_ROW when none does; else the engine's code.
int libraryNameTaken(tkdb::Session& session, const std::string& name, int libraryId);
// What a change is refused with when the name is taken: the session's own
// text for a rename to a name in use (message 0x2400033D).
std::string libraryNameTakenText(const std::string& name);
// Whether the session's rename of library `libraryId` to `name` is refused:
// a library answers to `name` (MMLibraryDB::getInfoByAliasName), unless it
// is the library itself and `name` spells its own name in another letter
// case. A failed read refuses nothing here: the write asks the rule again.
bool sessionRenameRefused(const std::string& name, unsigned int libraryId);
// A library that answers to a name: its id and the name it answers to.
struct AnsweringLibrary {
  int id = 0;
  std::string name;
};
// What a request gave with a library name, and what its route takes.
struct NameLookup {
  // The id the request gave beside the name (0 or below: none). Of two or
  // more libraries spelled so, it picks the one of that id; where none of
  // them has it, the first of them is reached, which a caller comparing
  // ids tells from the id given (the id and the name name different
  // libraries).
  int givenId = 0;
  // The route takes an id only beside the name (the name alone is what it
  // acts by): the refusal of a name two libraries are spelled so says to
  // give the id beside the name, not instead of it.
  bool idBesideName = false;
};
// The library a name a console gave reaches, among those that answer to it
// letter case aside (`answering`, in id order): the one spelled exactly so;
// else the only one; -1 when none answers, and for an empty name, which
// names no library (a library stored with an empty name is reached by its
// id alone); -2 with `refusal` naming them when two or more answer to it
// spelled exactly so (by their ids: their names are the same) and no id
// was given beside the name (`how`), or when none does and two or more
// answer to it, each in another case. A name that reaches no library
// changes none. Every route that finds a library by name goes by it
// (MMLibraryDB::getInfoByAliasName, and the model's lookups).
int libraryByName(const std::string& name, const std::vector<AnsweringLibrary>& answering, std::string& refusal,
                  const NameLookup& how = {});

}  // namespace tkmmdb

class MMLibraryDB : public MMTableAccess {
 public:
  explicit MMLibraryDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // The library by id, by the name it answers to (its alias, or its name
  // where the alias is empty) or by one of its mount paths, into the
  // caller's row. By name, the library spelled exactly so, else the only
  // one answering to the name in another letter case; two or more that
  // answer to it spelled so, or only in other cases, are refused naming
  // them (MMS2_ERROR_DUPLICATE_NAME, tkmmdb::libraryByName), unless an id
  // given beside the name (`how`) picks one; an empty name is refused
  // (MMS2_ERROR_BAD_ARGUMENT).
  int getInfo(int libraryId, MMLibrary_t& row, DBtran* tran = nullptr);
  int getInfoByAliasName(const char* name, MMLibrary_t& row, DBtran* tran = nullptr,
                         const tkmmdb::NameLookup& how = {});
  int getInfoByMountPathId(int mountPathId, MMLibrary_t& row, DBtran* tran = nullptr);

  // The name rule (tkmmdb::libraryNameTaken) as a call: 0 when no library
  // but `libraryId` answers to `name`; -1 with MMS2_ERROR_DUPLICATE_NAME
  // and the refusal's text when one does.
  int checkNameFree(const char* name, int libraryId, DBtran* tran = nullptr);
  // A new name: not empty, at most 512 bytes, one no other library answers
  // to (MMS2_ERROR_DUPLICATE_NAME).
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
