// Texts of the device paths of mount paths: why the data-server validation
// of a device path (MMDataServerIPControllerValidation) refuses to add or
// remove it.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Adding a served path: the media agent already reaches the storage.
    {0x23000C69, "The media agent already has a device path to the storage of this mount path."},
    // Adding a served path: the mount path is served through another type.
    {0x23000C6A, "The mount path is already served through a data server of another type."},
    // Adding a served path: no path reaches the storage directly.
    {0x23000C6B, "No media agent reaches the storage of this mount path directly to serve it as a data server."},
    // Removing the last direct path while others are served through it.
    {0x23000C6C,
     "The device path is the last one that reaches the storage directly, and paths of other media agents are "
     "served through it."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
