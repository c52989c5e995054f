// Inside the table access: where each table's columns go in its row or
// record. The bindings' rows bring their column tables; the row-only
// records and the component's own rows are described here, field by field,
// with the column that fills each field (the column of the same name, but
// for the few client fields whose columns the table names otherwise).
#pragma once

#include "platform/journal/Journal.h"
#include "platform/mmdb/MMBaseDB.h"

namespace tkdb {
class Session;
}

namespace tkmmdb {

// Removes a library with everything of it in the media-management tables
// (MMLibraryDB::uninstallLibrary, ZQMMmedAgentInfo::uninstallLibrary), on
// the session's connection: the engine's code; `found` false when there is
// no such library (nothing is removed then).
int removeLibraryRows(tkdb::Session& session, int libraryId, bool& found);
// Removes a mount path with its device and distributed-storage links, its
// medium (with the backups on it) and media side, and its RP stores with
// their properties: the engine's code.
int removeMountPathRows(tkdb::Session& session, int mountPathId);

const MMLayout& libraryLayout();           // MMLibrary_t
const MMLayout& mountPathLayout();         // MMMountPath_t
const MMLayout& deviceControllerLayout();  // MMDeviceController_t
const MMLayout& drivePoolLayout();         // MMDrivePool_t
const MMLayout& deviceLayout();            // MMDevice_t
const MMLayout& mediaSideLayout();         // MMMediaSide_t
const MMLayout& mediaLayout();             // MMMedia_t
const MMLayout& clientLayout();            // APP_Client_t
const MMLayout& libraryControllerLayout(); // MMLibraryController_t
const MMLayout& hostLayout();              // MMHost_t
const MMLayout& masterPoolLayout();        // MMMasterPool_t
const MMLayout& blrPairLayout();           // BlrPair_t
const MMLayout& hybridCloudLayout();       // MMHybridCloudMapping_t
const MMLayout& ndmpHostLayout();          // MMNDMPHostInfo_t
const MMLayout& rpStoreLayout();           // MMRPStoreConfig_t

}  // namespace tkmmdb
