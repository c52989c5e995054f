// Texts of the SAN volume listings, discovery and changes.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The device names, volumes, replication subclient volumes or appliances
    // of a SAN volume host could not be read.
    {0x39000092, "The SAN volumes of the host could not be read."},
    // The volumes of a SAN volume host could not be discovered. %1 the host name.
    {0x39000090, "The volumes of the host [%1] could not be discovered."},
    // The mount points of a SnapVault appliance could not be read. %1 its host name.
    {0x39000093, "The mount points of the SnapVault appliance [%1] could not be read."},
    // A SnapVault appliance refused the login. %1 its host name.
    {0x1f000086, "Could not log in to the SnapVault appliance [%1]."},
    // A volume could not be recorded. %1 and %2 its first mount path, or its device name.
    {0x39000139, "The volume [%1] could not be recorded."},
    // A permanent replica, mount point or history name of a volume could not be recorded.
    {0x39000096, "The volume's permanent replica, mount point or history name could not be recorded."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
