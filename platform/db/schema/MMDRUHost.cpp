// The DRU hosts: one row per host that disk devices can be tied to, with its
// name (unique without regard to letter case), the user name and password
// it is reached with (the password as prepared for storage) and its port
// (-1 while not set). Read and written by MMDRUHostDB.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMDRUHost",
                       "CREATE TABLE IF NOT EXISTS \"MMDRUHost\" ("
                       "\"HostId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"HostName\" TEXT COLLATE NOCASE NOT NULL UNIQUE, "
                       "\"UserName\" TEXT NOT NULL DEFAULT '', "
                       "\"UserPassword\" TEXT NOT NULL DEFAULT '', "
                       "\"Port\" INTEGER NOT NULL DEFAULT -1)");
  return true;
}();

}  // namespace
