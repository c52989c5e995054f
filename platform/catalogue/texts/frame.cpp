// Texts of the handler frame.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    {0x23000002, "Memory allocation failed."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
