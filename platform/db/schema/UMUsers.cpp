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
  return true;
}();

}  // namespace
