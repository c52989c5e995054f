// Texts of the DRU-host and archive-cluster requests: the "none" entry of
// the DRU host list and the refusals of adding, removing and changing a host
// or a cluster (%1 the object's name, %2 the reason).
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    {0x240001B9, "The archive cluster [%1] could not be added: %2"},
    {0x240001BA, "The archive cluster [%1] could not be removed: %2"},
    {0x240002F2, "The DRU host [%1] could not be added: %2"},
    {0x240002F3, "The DRU host [%1] could not be removed: %2"},
    {0x240002F4, "The DRU host [%1] could not be changed: %2"},
    {0x240002F5, "<None>"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
