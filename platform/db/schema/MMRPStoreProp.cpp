// Named properties of RP stores (for example "OffPeak Schedule", the
// serialised off-peak window list): one row per store and property name
// (names compare without regard to letter case), with the value as text.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMRPStoreProp",
                       "CREATE TABLE IF NOT EXISTS \"MMRPStoreProp\" ("
                       "\"RPStoreId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"PropName\" TEXT COLLATE NOCASE NOT NULL, "
                       "\"PropValue\" TEXT, "
                       "PRIMARY KEY (\"RPStoreId\", \"PropName\"))");
  tkdb::registerReferences("MMRPStoreProp", "MMRPStoreConfig: RPStoreId = RPStoreId");
  return true;
}();

}  // namespace
