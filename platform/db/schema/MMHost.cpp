// The media-agent hosts: one row per media agent (by its client id) with its
// configuration attribute bits, whether it was pushed to another central
// server, whether its power is managed (cloud VM management) and is off now,
// and its paths and state. The media-agent list procedures read it; the host
// table access (MMHostDB, the record MMHost_t) finds a media agent by its
// client name through APP_Client.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMHost",
                       "CREATE TABLE IF NOT EXISTS \"MMHost\" ("
                       "\"ClientId\" INTEGER PRIMARY KEY, "
                       "\"Attribute\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsPushedToAnotherTK\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsPowerManaged\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IsPoweredOff\" INTEGER NOT NULL DEFAULT 0, "
                       "\"LastHeartbeatTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"HostState\" INTEGER NOT NULL DEFAULT 0, "
                       "\"IndexCachePath\" TEXT NOT NULL DEFAULT '', "
                       "\"ConfigParams\" TEXT NOT NULL DEFAULT '', "
                       "\"WorkingDirectory\" TEXT NOT NULL DEFAULT '', "
                       "\"MaxStreams\" INTEGER NOT NULL DEFAULT 0, "
                       "\"PowerManagementType\" INTEGER NOT NULL DEFAULT 0, "
                       "\"ServicePort\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Descript\" TEXT, "
                       "\"RMStatus\" INTEGER NOT NULL DEFAULT 0, "
                       "\"RMStatusUpdateTime\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origTFId\" INTEGER NOT NULL DEFAULT 0, "
                       "\"origClientId\" INTEGER NOT NULL DEFAULT 0)");
  return true;
}();

}  // namespace
