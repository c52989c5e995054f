// The media sides: the medium a media side belongs to (MediaId), its name,
// state and space figures (TotalCapacity is its capacity). A mount path names
// its media side; the mount-path view and the media table access find the
// medium of a mount path through it. The media-side table access
// (MMMediaSideDB) reads it.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMMediaSide",
                       "CREATE TABLE IF NOT EXISTS \"MMMediaSide\" ("
                       "\"MediaSideId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"MediaId\" INTEGER, "
                       "\"SideName\" TEXT NOT NULL DEFAULT '', "
                       "\"SideNumber\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MediaSideState\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MasterPoolId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Attribute\" INTEGER NOT NULL DEFAULT 0, "
                       "\"NumberOfWriters\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatus\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatusUpdateTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"DataWrittenBytes\" INTEGER NOT NULL DEFAULT 0, "
                       "\"PhysicalBytesUsed\" INTEGER NOT NULL DEFAULT 0, "
                       "\"TotalCapacity\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LastWriteTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origTFId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origMediaSideId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ExtendedAttributes\" INTEGER NOT NULL DEFAULT 0, "
                       "\"SideLabel\" TEXT NOT NULL DEFAULT '', "
                       "\"ExternalGUID\" TEXT NOT NULL DEFAULT '', "
                       "\"IsOffline\" INTEGER NOT NULL DEFAULT 0, "
                       "\"OfflineReason\" INTEGER NOT NULL DEFAULT 0, "
                       "\"OfflineReasonEventId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ChunkSizeMB\" INTEGER NOT NULL DEFAULT 0)");
  tkdb::registerReferences("MMMediaSide", "MMMedia: MediaId = MediaId");
  return true;
}();

}  // namespace
