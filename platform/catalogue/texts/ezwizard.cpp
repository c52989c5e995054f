// Texts of the disk-library setup wizard.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    {0x23000019, "The media agent of the request is missing or not known."},
    {0x240002C0, "The request names no mount path."},
    {0x4100000E, "The storage policy of [%1] could not be set up."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
