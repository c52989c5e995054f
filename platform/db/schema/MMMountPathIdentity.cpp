// The mount-path table of a database made by an older build, made again
// with its key as an identity. Such a file has the table with a plain
// primary key, whose next id is the largest plus one: after the mount path
// with the largest id is deleted, its id is given to the next one, and a
// reply or handle that still carries it names the new mount path. A new
// database gets the identity from the binding's CREATE statement; the
// table of an older file is kept by CREATE TABLE IF NOT EXISTS and so is
// rebuilt here once.
//
// The rebuild is registered under the name of an index it ends with (on
// MasterPoolId, which the master-pool removal looks up): a database that
// has the index has been rebuilt, and the statement runs no more. On a new
// database it runs once on the empty table. Order of the steps:
//  1. the table as the binding makes it, when it is not there yet (this
//     statement may come before the binding's own);
//  2. a new table with the identity, filled with every row of the old
//     one (a column the old table lacks stops here, with nothing changed:
//     the old table stays as it is and is used as before);
//  3. the old table dropped and the new one renamed in its place, without
//     rewriting the view over it (legacy rename: the view names the table,
//     which exists again once renamed). The identity's counter starts at
//     the largest id kept;
//  4. the index of the binding again, and the marking index. The
//     change-log triggers on the table went with it: the schema's second
//     pass (platform/db/DBConnection.cpp) makes them again in the same
//     transaction, as it does every registered object a statement removed.
#include <string>

#include "Db/Tbl/MMMountPath.h"
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

std::string rebuild() {
  const ZQDBColumns& columns = MMMountPath_t::zqdbColumns();
  const std::string create = tkdb::createStatement(columns, MMMountPath_info);
  const std::string table = "\"MMMountPath\" (";
  std::string createNew = create;
  createNew.replace(createNew.find("IF NOT EXISTS " + table), 14 + table.size(), "\"MMMountPath_identity\" (");
  // The old table's columns are named through its alias: a name it does
  // not have is then an error, where a bare quoted one would be read as a
  // text and stored in every row.
  std::string list;
  std::string from;
  for (int i = 0; i < columns.count; ++i) {
    list += std::string(i > 0 ? ", " : "") + "\"" + columns.cols[i].name + "\"";
    from += std::string(i > 0 ? ", " : "") + "o.\"" + columns.cols[i].name + "\"";
  }
  return create + "; " + createNew + "; INSERT INTO \"MMMountPath_identity\" (" + list + ") SELECT " + from +
         " FROM \"MMMountPath\" o; DROP TABLE \"MMMountPath\"; PRAGMA legacy_alter_table = ON; ALTER TABLE "
         "\"MMMountPath_identity\" RENAME TO \"MMMountPath\"; PRAGMA legacy_alter_table = OFF; CREATE INDEX IF NOT "
         "EXISTS \"MMMountPath_LibraryId_MountPathName\" ON \"MMMountPath\" (\"LibraryId\", \"MountPathName\"); "
         "CREATE INDEX IF NOT EXISTS \"MMMountPath_MasterPoolId\" ON \"MMMountPath\" (\"MasterPoolId\")";
}

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMountPath_MasterPoolId", rebuild());
  return true;
}();

}  // namespace
