// Texts of the SAN volume listings.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The device names, volumes, replication subclient volumes or appliances
    // of a SAN volume host could not be read.
    {0x39000092, "The SAN volumes of the host could not be read."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
