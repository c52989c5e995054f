// Texts of device paths: their access kinds and data-server types, the audit
// records of sharing, unsharing and changing a device path of a mount path,
// and the failures of the device-path request.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Access kinds of a device path (access-type bits 8, 2 and 4).
    {0x24000343, "Preferred"},
    {0x24000344, "Read/Write"},
    {0x24000345, "Read Only"},
    // Data-server types (access-type bits 32, 16 and 128).
    {0x23000C66, "DataServer-SAN"},
    {0x23000C67, "DataServer-IP"},
    {0x23000C68, "DataServer-iSCSI"},
    // The old path of a changed device path when it has none.
    {0x230006AE, "Not Available"},
    // A database query of the device-path request failed.
    {0x230001E3, "Failed to query the database. Please check the log files for more details."},
    // Audit operations: share, unshare, change a device path.
    {0x5400020E, "Mount path shared with a media agent"},
    {0x5400020D, "Mount path unshared from a media agent"},
    {0x540000B9, "Device path changed"},
    // Audit parameters.
    {0x550000BF, "Library [%1]"},
    {0x550000C4, "Mount path [%1]"},
    {0x550000C3, "Media agent and path %1"},
    {0x550006DB, "Credential [%1]"},
    {0x55000538, "Device [%1], media agent [%2], path [%3]"},
    {0x55000330, "Folder changed from [%1] to [%2]"},
    {0x550004AB, "Access type changed from [%1] to [%2]"},
    {0x550004A4, "Drive-switch limit changed from [%1] to unlimited"},
    {0x550004A3, "Drive-switch limit changed from unlimited to [%1]"},
    {0x55000472, "Drive-switch limit changed from [%1] to [%2]"},
    {0x550006A3, "Credential changed from [%1] to [%2]"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
