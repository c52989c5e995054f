// The software copy managers of the media agents: one row per copy manager
// with its name, its concurrency limit, the media agent (client) its one
// controller runs on and that controller's name. The row's id is the id of
// the copy manager and of its controller (the id a drive pool names as its
// copy manager). Read and written by MMCopyManagerDB; a stored kind of
// the registry (platform/mmdb/MMStoredKinds.h): the configuration change
// log watches the table and marks each row inserted as born, so a re-read
// from any connection sees a change and tells a row made again under an id
// from the copy manager it kept; its configured state is a setting of the
// model's own (MMObjectSetting).
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMCopyManager",
                       "CREATE TABLE IF NOT EXISTS \"MMCopyManager\" ("
                       "\"CopyManagerId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"CopyManagerName\" TEXT NOT NULL DEFAULT '', "
                       "\"ConcurrencyLimit\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ClientId\" INTEGER NOT NULL, "
                       "\"ControllerName\" TEXT NOT NULL DEFAULT '')");
  return true;
}();

}  // namespace
