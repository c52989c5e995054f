// Texts of the mount-path requests of the storage-library family: adding a
// mount path, changing its properties, sharing and unsharing it, and the
// device-path changes that apply a list. The device texts of the
// storage-library request (0x23000919, 0x2300091E) stand with its own
// texts: an id is registered once, or the later registration would win.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The drive pool (or the credential) of a mount path could not be read.
    {0x230006EC, "The drive pool information of the mount path could not be read."},
    // The mount paths of a library could not be listed.
    {0x230008B5, "The mount paths of the library could not be read."},
    // A library with a mount path of type 0 takes no further mount path.
    {0x230008B6, "The library has a mount path that cannot be shared with another mount path; no mount path can be added."},
    // A mount-path addition that names neither a mount path nor a device.
    {0x23000918, "Neither a mount path nor a device was named in the request."},
    // A request without the library, media agent or mount-path names.
    {0x2300091A, "The library name, the media agent name and the mount path must be given."},
    // Unsharing the only controller of a device.
    {0x2300093F, "The last media agent sharing a device cannot be removed from it."},
    // Mount-path properties: values outside 0, 1 and 2.
    {0x23000A06, "Invalid value for pruning of aged data."},
    {0x23000A07, "Invalid value for reserving space for silo restores."},
    {0x23000CDF, "Invalid value for using data-path settings for pruning."},
    {0x23000EB5, "Invalid value for preventing data block references."},
    {0x230011FD, "Invalid value for enabling the mount path."},
    // Mount-path properties: a change the mount path's state does not allow.
    {0x23000CDE, "Data-path settings for pruning cannot be changed while pruning of aged data is disabled."},
    {0x23000EB4, "Data block references can only be prevented while the mount path is disabled for new data."},
    // A credential entity with id 0.
    {0x23000D7B, "The credential given for the mount path is not valid. Provide valid credential information."},
    // The credential could not be associated with the mount path.
    {0x23001262, "The credential could not be associated with the mount path."},
    // %1 the library's name.
    {0x240000D7, "The library [%1] could not be found."},
    // A device-path request with nothing left to apply.
    {0x24000346, "There are no device paths to apply."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
