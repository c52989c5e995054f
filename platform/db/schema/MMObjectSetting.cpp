// The object model's own settings: values of configuration objects that no
// column of the object's table holds (a library's door lock, volume range
// and shown state, a drive's drive id, a drive path's access path, an IP
// library controller's library server, a disk device's remote-host
// settings, a disk volume's vault lock, ...). One row per object and
// setting: the kind of object (MMStoredKind as a number), its id, the
// setting's name and its value as text; a password only as prepared for
// storage (encrypted). Kind numbers and names are kept in files and never
// change. Which settings there are, and the member each restores, is
// declared once (platform/mac/ZQMACStoredSettings.cpp): the model writes
// them in the same step as the object's own columns and lays them over
// every load; the configuration change log watches the table, so that a
// re-read from any connection sees a change.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMObjectSetting",
                       "CREATE TABLE IF NOT EXISTS \"MMObjectSetting\" ("
                       "\"Kind\" INTEGER NOT NULL, "
                       "\"ObjectId\" INTEGER NOT NULL, "
                       "\"Name\" TEXT NOT NULL, "
                       "\"Value\" TEXT NOT NULL DEFAULT '', "
                       "PRIMARY KEY (\"Kind\", \"ObjectId\", \"Name\"))");
  return true;
}();

}  // namespace
