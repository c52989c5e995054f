// Texts of the deletion of mount paths.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Why a mount path cannot be deleted without force (MMCheckMPCanDelete):
    // its name, the jobs whose backups keep data on it, the deduplication
    // databases that reference it and the running jobs that use it.
    {0x23000C70,
     "Mount path [%1] is in use: backups of %2 jobs keep data on it, %3 deduplication databases reference it and "
     "%4 running jobs use it. It can only be deleted with force."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
