// Texts of the notices the handler frame sends on a client's reply channel
// by itself.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The force-close notice; %1 is the login name of the user who took
    // the configuration over.
    {0x240002FA, "Library and Drive Configuration was closed: user [%1] took over the configuration."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
