// The users of the installation and the rights they hold, as the security
// service reads them when the host answers rights questions from the
// database (platform/security/UserRights.cpp). An administrator fills them
// with plain SQL, for example a user 3 who may change media agent 2 and
// look at everything else:
//
//   INSERT INTO "UMUsers" ("id", "login") VALUES (3, 'backup');
//   INSERT INTO "UMUserRights" ("userId", "entityKind", "entityId", "mayChange")
//     VALUES (3, 'MediaAgent', 2, 1), (3, '*', -1, 0);
//
// A right names the kind of entity a question is about ('Tarnkeep' the
// installation, 'MediaAgent', 'Library', 'Client', or '*' for every kind),
// the entity's id (-1 for every entity of the kind) and whether the user
// may change it (1) or only look at it (0). Rights add up; a user with no
// row in UMUsers is refused everything.
//
// UMUsersStamp holds one row whose stamp the triggers below set to a new
// random value at every insert, update or delete of either table, whoever
// makes it (a trigger that a rebuilt or renamed table lost is made again
// before the next configuration read, and the stamp moves with it): the security service keeps a copy of the tables and reads them
// again only when the stamp has moved. A random value rather than a count,
// so that two databases made from one copy never show the same stamp for
// different contents, and a change undone by a rollback leaves a stamp no
// copy was read under.
#include <string>

#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("UMUsers",
                       "CREATE TABLE IF NOT EXISTS \"UMUsers\" ("
                       "\"id\" INTEGER PRIMARY KEY, "
                       "\"login\" TEXT NOT NULL UNIQUE)");
  tkdb::registerSchema("UMUserRights",
                       "CREATE TABLE IF NOT EXISTS \"UMUserRights\" ("
                       "\"userId\" INTEGER NOT NULL REFERENCES \"UMUsers\"(\"id\") ON DELETE CASCADE, "
                       "\"entityKind\" TEXT NOT NULL, "
                       "\"entityId\" INTEGER NOT NULL DEFAULT -1, "
                       "\"mayChange\" INTEGER NOT NULL DEFAULT 0 CHECK (\"mayChange\" IN (0, 1)), "
                       "UNIQUE (\"userId\", \"entityKind\", \"entityId\"))");
  tkdb::registerSchema("UMUsersStamp",
                       "CREATE TABLE IF NOT EXISTS \"UMUsersStamp\" ("
                       "\"id\" INTEGER PRIMARY KEY CHECK (\"id\" = 1), "
                       "\"stamp\" INTEGER NOT NULL); "
                       "INSERT OR IGNORE INTO \"UMUsersStamp\" (\"id\", \"stamp\") VALUES (1, random())");
  for (const char* table : {"UMUsers", "UMUserRights"}) {
    for (const char* event : {"INSERT", "UPDATE", "DELETE"}) {
      const std::string name = std::string(table) + "_stamp_" + event;
      // Made again when it went missing: the stamp moves with it, since a
      // change made meanwhile fired nothing.
      const std::string renew = "UPDATE \"UMUsersStamp\" SET \"stamp\" = random() WHERE \"id\" = 1";
      tkdb::registerTrigger(name, table,
                            renew + "; CREATE TRIGGER IF NOT EXISTS \"" + name + "\" AFTER " + event + " ON \"" +
                                table + "\" BEGIN " + renew + "; END");
    }
  }
  return true;
}();

}  // namespace
