// The hardware each media agent can see: what detection finds on a media
// agent of a database-backed configuration (platform/mac/ZQMACAttachedHardware.cpp).
// A library the agent reaches through its changer device, with the drives
// inside it; and the disks the agent sees. A library or drive that several
// agents share has one row per agent with the same serial number.
//
// An administrator adds hardware with plain SQL, naming the agent by its
// client id, for example a library with one drive on media agent ma2:
//
//   INSERT INTO "MMAttachedLibrary" ("ClientId", "Vendor", "Product", "SerialNumber",
//       "DeviceName", "ScsiBus", "ScsiTarget", "ScsiLun")
//     VALUES ((SELECT "id" FROM "APP_Client" WHERE "name" = 'ma2'), 'ACME', 'TL-8',
//             'TL8-0001', '/dev/sg7', 0, 7, 0);
//   INSERT INTO "MMAttachedDrive" ("AttachedLibraryId", "DriveNumber", "Vendor",
//       "Product", "SerialNumber", "DeviceName", "ScsiBus", "ScsiTarget", "ScsiLun")
//     VALUES (last_insert_rowid(), 1, 'ACME', 'LTO-8', 'D-0001', '/dev/nst7', 0, 8, 0);
#include <string>

#include "platform/db/DBSession.h"

namespace {

// What identifies a library or a drive and where the agent reaches it.
constexpr const char* kUnitColumns =
    "\"Vendor\" TEXT NOT NULL DEFAULT '', "
    "\"Product\" TEXT NOT NULL DEFAULT '', "
    "\"SerialNumber\" TEXT NOT NULL, "
    "\"DeviceName\" TEXT NOT NULL DEFAULT '', "
    "\"ScsiBus\" INTEGER NOT NULL DEFAULT 0, "
    "\"ScsiTarget\" INTEGER NOT NULL DEFAULT 0, "
    "\"ScsiLun\" INTEGER NOT NULL DEFAULT 0, ";

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMAttachedLibrary",
                       "CREATE TABLE IF NOT EXISTS \"MMAttachedLibrary\" ("
                       "\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"ClientId\" INTEGER NOT NULL REFERENCES \"APP_Client\"(\"id\") ON DELETE CASCADE, "
                       + std::string(kUnitColumns) +
                       "UNIQUE (\"ClientId\", \"SerialNumber\"))");
  tkdb::registerSchema("MMAttachedDrive",
                       "CREATE TABLE IF NOT EXISTS \"MMAttachedDrive\" ("
                       "\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"AttachedLibraryId\" INTEGER NOT NULL REFERENCES \"MMAttachedLibrary\"(\"Id\") "
                       "ON DELETE CASCADE, "
                       "\"DriveNumber\" INTEGER NOT NULL, "
                       + std::string(kUnitColumns) +
                       "UNIQUE (\"AttachedLibraryId\", \"DriveNumber\"))");
  tkdb::registerSchema("MMAttachedDisk",
                       "CREATE TABLE IF NOT EXISTS \"MMAttachedDisk\" ("
                       "\"Id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"ClientId\" INTEGER NOT NULL REFERENCES \"APP_Client\"(\"id\") ON DELETE CASCADE, "
                       "\"Vendor\" TEXT NOT NULL DEFAULT '', "
                       "\"Product\" TEXT NOT NULL DEFAULT '', "
                       "\"SerialNumber\" TEXT NOT NULL, "
                       "\"DeviceName\" TEXT NOT NULL DEFAULT '', "
                       "\"CapacityMB\" INTEGER NOT NULL DEFAULT 0, "
                       "UNIQUE (\"ClientId\", \"SerialNumber\"))");
  return true;
}();

}  // namespace
