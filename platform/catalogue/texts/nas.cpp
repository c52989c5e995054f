// Texts of the NAS-client handlers: refused changes of NAS clients.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Adding a NAS client by itself: it comes into being with its NDMP server.
    {0x4800003B, "A NAS client cannot be added by itself: add its NDMP server instead."},
    // Removing a NAS client was refused by the rights check. %1 the reason.
    {0x240001F6, "You may not remove this NAS client: %1"},
    // Restoring a NAS client was refused by the rights check. %1 the client's
    // name, %2 the reason (which names the user refused).
    {0x240001F7, "You may not restore the NAS client [%1]: %2"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
