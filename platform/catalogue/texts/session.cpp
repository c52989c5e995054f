// Texts of the notices the handler frame sends on a client's reply channel
// by itself.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The force-close notice; %1 is the login name of the user who took
    // the configuration over.
    {0x240002FA, "Library and Drive Configuration was closed: user [%1] took over the configuration."},
    // What a client that holds no session is told where nobody held the
    // configuration before it (a host on which no session was ever taken):
    // there is nobody to name.
    {0x24000F04, "Library and Drive Configuration is not open: nobody holds the configuration."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
