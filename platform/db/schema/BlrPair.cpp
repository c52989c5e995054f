// The block-level replication pairs: one row per protected machine
// (SourceClientId) replicated through a head proxy into an RP store, with the
// group key under which its pairs are configured together. The
// miscellaneous table access (MMMiscDB::getBLRPairsForMountPath) counts the
// pairs of the stores on a mount path; the block-level replication service
// (BlrDB::getPairs) reads them whole, the protected machine's UUID
// (MachineUUID, 32 hexadecimal digits) with them.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("BlrPair",
                       "CREATE TABLE IF NOT EXISTS \"BlrPair\" ("
                       "\"PairId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"RPStoreId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"SourceClientId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"HeadProxyClientId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"GroupKey\" INTEGER NOT NULL DEFAULT 0, "
                       "\"State\" INTEGER NOT NULL DEFAULT 0, "
                       "\"MachineUUID\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
