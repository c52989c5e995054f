// Texts of the disk-library, pool, drive and mount-path change requests.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    {0x24000176, "The disk library could not be created: its name or its media agent is not usable."},
    {0x2400005E, "The mount path could not be added: the folder is already used by another mount path."},
    {0x2400004B, "The mount path could not be added: the folder cannot be reached from the media agent."},
    // Audit operation of an object action, and its parameters.
    {0x540001D6, "Ran an action on a library object"},
    {0x550005D5, "The action was run."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
