// The audit trail (platform/audit/): one row per record written by
// EvGuiAudit::guiAudit, one row per parameter of a record in the order the
// parameters were added, and one row per text argument of a parameter in
// argument order. The rows of a record are written in the caller's
// transaction, so they go when it rolls back.
//
//   AuditTrailRecord    id (identity), operation id, user id, entity type
//                       and id, time (seconds since the epoch), the flags
//                       given to guiAudit, whether it was written inside an
//                       open transaction of the caller
//   AuditTrailParam     record id, position (from 0), message id, the two
//                       plain values
//   AuditTrailArgument  record id, parameter position, position (from 0),
//                       the argument as text
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("AuditTrailRecord",
                       "CREATE TABLE IF NOT EXISTS \"AuditTrailRecord\" ("
                       "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"operationId\" INTEGER NOT NULL, "
                       "\"userId\" INTEGER NOT NULL, "
                       "\"entityType\" INTEGER NOT NULL, "
                       "\"entityId\" INTEGER NOT NULL, "
                       "\"auditTime\" INTEGER NOT NULL, "
                       "\"flags\" INTEGER NOT NULL DEFAULT 0, "
                       "\"inTransaction\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerSchema("AuditTrailParam",
                       "CREATE TABLE IF NOT EXISTS \"AuditTrailParam\" ("
                       "\"recordId\" INTEGER NOT NULL REFERENCES \"AuditTrailRecord\" (\"id\") ON DELETE CASCADE, "
                       "\"position\" INTEGER NOT NULL, "
                       "\"messageId\" INTEGER NOT NULL, "
                       "\"value1\" INTEGER NOT NULL DEFAULT 0, "
                       "\"value2\" INTEGER NOT NULL DEFAULT 0, "
                       "PRIMARY KEY (\"recordId\", \"position\"))");
  tkdb::registerSchema("AuditTrailArgument",
                       "CREATE TABLE IF NOT EXISTS \"AuditTrailArgument\" ("
                       "\"recordId\" INTEGER NOT NULL, "
                       "\"paramPosition\" INTEGER NOT NULL, "
                       "\"position\" INTEGER NOT NULL, "
                       "\"text\" TEXT NOT NULL, "
                       "PRIMARY KEY (\"recordId\", \"paramPosition\", \"position\"), "
                       "FOREIGN KEY (\"recordId\", \"paramPosition\") "
                       "REFERENCES \"AuditTrailParam\" (\"recordId\", \"position\") ON DELETE CASCADE)");
  return true;
}();

}  // namespace
