// The vendor catalogues of the media-configuration model: the drives and
// libraries the configuration dialogs offer by vendor and product. One row
// per entry; "Catalogue" says which list it belongs to (0 drives, 1
// libraries a media agent reaches directly, 2 libraries a library server
// serves), and the rows of one list are offered in the order of their ids.
// "Label" is the entry's third text: for a drive, the media family that
// drive pools are matched on; for a library, the name the choice shows.
// Read whole beside the configuration whenever the change log moved on
// (ZQMACVendorCatalogue.cpp; the log names every change of the table), so a
// row added with SQL is offered from the next read on.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMVendorCatalogue",
                       "CREATE TABLE IF NOT EXISTS \"MMVendorCatalogue\" ("
                       "\"EntryId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"Catalogue\" INTEGER NOT NULL CHECK (\"Catalogue\" IN (0, 1, 2)), "
                       "\"Vendor\" TEXT NOT NULL, "
                       "\"Product\" TEXT NOT NULL, "
                       "\"Label\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
