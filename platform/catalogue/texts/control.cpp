// Texts of the control request: its own answers and the audit records of
// the changes it makes.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The user could not be given access to the library just configured; %1 its name.
    {0x24000330, "The library [%1] was configured, but you could not be given access to it."},
    // Audit operations.
    {0x540000B5, "Configured a library"},
    {0x540000B6, "Configured a library object"},
    {0x540001D0, "Ran an operation on a library object"},
    // Audit parameters.
    {0x5500018B, "Object [%1] (%2)"},
    {0x550000BE, "Drive device [%1]"},
    {0x550005D7, "The drive was configured."},
    {0x55000456, "Object [%1]"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
