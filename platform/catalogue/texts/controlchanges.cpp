// Texts of the control request's removals, replacements and host moves:
// its refusals and warnings, and the audit records of those changes.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A disk library that cloud libraries cache deduplication metadata on; %1 their alias names.
    {0x23000F43,
     "The disk library holds cached deduplication metadata of the cloud libraries [%1]. Remove that association "
     "before you remove the library."},
    // A replaced object was in use.
    {0x24000186, "The object was replaced while it was in use: check the storage that uses it."},
    // A configured library was replaced; %1 its name.
    {0x2400018C, "The library [%1] was replaced: check its drives and media before you use it."},
    // An object moved to another host.
    {0x240001EB, "The object now belongs to the new host."},
    {0x240001EC, "The drive pool now belongs to the new host; set its copy manager up there."},
    // Audit operations.
    {0x540000B7, "Deconfigured a library object"},
    {0x540000B8, "Moved a library object to another host"},
    // Audit parameters: the host and the media agent.
    {0x5500018C, "Host [%1] through media agent [%2]"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
