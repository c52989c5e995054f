// Texts of the handler frame.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    {0x23000002, "Memory allocation failed."},
    {0x42000001, "The configuration lock of a library or media agent could not be created."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
