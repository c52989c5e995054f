// Texts of the configuration lock: its answers to the console, and the
// failures of the XML message library that its XML form reports.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Rights refused; %1 is the security service's reason.
    {0x240001EF, "You do not have the rights to configure libraries and drives: %1"},
    // The lock is held by another user; %1 is that user's login name.
    {0x240002F9,
     "Library and Drive Configuration is in use by user [%1]. Try again later, or take the configuration over."},
    // The lock was taken and the configuration loaded.
    {0x240001F0, "The media management configuration is loaded and locked for you."},
    // Unlock refused while exhaustive detection has left a library unconfigured.
    {0x2400016B,
     "A library found by exhaustive detection is not configured yet. Configure it, or close without the check."},
    // The media-management service does not answer; %1 is its server's name.
    {0x1F00016D, "The media management service on [%1] cannot be reached."},
    {0x23000451, "The XML message library could not be initialised."},
    {0x23000452, "The XML request could not be read."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
