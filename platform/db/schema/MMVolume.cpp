// The volumes written on the media sides of mount paths, as far as the
// mount-path deletion procedures reach them: the media side a volume lies on
// and the deduplication store (DDB) that references it (0 for none). The
// deletability check lists the stores of a mount path from it; the forced
// deletion removes their references. The table access of volumes adds its
// further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMVolume",
                       "CREATE TABLE IF NOT EXISTS \"MMVolume\" ("
                       "\"VolumeId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"MediaSideId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"SIDBStoreId\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
