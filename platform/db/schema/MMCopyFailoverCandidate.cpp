// The copy-failover candidates: drive pools of media agents that a
// storage-policy copy may fail over to, with their priority and flags
// (ZQMMDBCopyFailover::addCFCandidate). One row per copy and drive pool.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMCopyFailoverCandidate",
                       "CREATE TABLE IF NOT EXISTS \"MMCopyFailoverCandidate\" ("
                       "\"CopyId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DrivePoolId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ClientId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Priority\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Flags\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsDefault\" INTEGER NOT NULL DEFAULT 0, "
                       "PRIMARY KEY (\"CopyId\", \"DrivePoolId\"))");
  tkdb::registerReferences("MMCopyFailoverCandidate", "MMDrivePool: DrivePoolId = DrivePoolId");
  return true;
}();

}  // namespace
