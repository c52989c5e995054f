// Texts of the drive, drive-pool, mount-path and catalogue listings.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The media types of a library cannot be listed; %1 is the library's alias name.
    {0x24000027, "The media types of library [%1] could not be found."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
