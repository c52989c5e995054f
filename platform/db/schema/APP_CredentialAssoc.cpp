// The associations of stored credentials (APP_Credentials) with the
// entities that use them: one row per entity (entity type and id, for
// example 52 and a mount-path id) with its credential. The mount-path
// credential procedure writes it; a device controller's CredentialAssocId
// names one of its rows.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("APP_CredentialAssoc",
                       "CREATE TABLE IF NOT EXISTS \"APP_CredentialAssoc\" ("
                       "\"assocId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"credentialId\" INTEGER NOT NULL, "
                       "\"entityType\" INTEGER NOT NULL, "
                       "\"entityId\" INTEGER NOT NULL, "
                       "UNIQUE (\"entityType\", \"entityId\"))");
  return true;
}();

}  // namespace
