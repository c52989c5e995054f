// Texts of the replication-store library request: the guards on a new
// store's folder, its refusals, and the failures of the store and of
// block-level replication copies.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The folder of a new store lies inside a plain disk folder of the media agent.
    {0x230011D2, "A replication store cannot be configured on an existing disk mount path."},
    // The device controllers of the media agent could not be read.
    {0x3E000040, "The mount paths hosted on the media agent could not be read."},
    // Neither a media agent nor a device was named.
    {0x2300091F, "The request names neither a media agent nor a device."},
    // No mount path was given for a new library.
    {0x230008B7, "No mount path was given to create the library."},
    // A step on the store or its library failed.
    {0x240001BE, "The replication store could not be configured."},
    // The block-level replication copy could not be made.
    {0x24000141, "The block-level replication copy could not be configured."},
    // A store, its list or its properties could not be read.
    {0x240000F2, "The replication store information could not be read."},
    // The library named for removal is not a replication-store library: its name.
    {0x23000DA6, "Library [%1] is not a replication-store library; nothing was deleted."},
    // The audit of a deconfigured store library (0x540000B7) reads as any
    // deconfigured library object's (controlchanges.cpp): an id has one text.
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
