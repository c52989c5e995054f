// Texts of the element-stream handlers of media management that every
// handler of that kind may send.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A change request's record does not carry the handle of the object it changes.
    {0x240001F3, "The request does not say which object to change: its object handle is missing."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
