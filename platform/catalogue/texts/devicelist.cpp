// Texts of the device-list configuration.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The devices were configured on the client, but the central tables could not be brought in step.
    {0x3900008b, "The configured devices could not be recorded in the database."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
