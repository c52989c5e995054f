// Texts of the replica listings and replica changes.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Releasing (deleting) a replica failed.
    {0x39000094, "The replica could not be released."},
    // Changing a replica failed.
    {0x39000095, "The replica could not be updated."},
    // Reserving the SAN volumes failed.
    {0x390000ae, "The volumes could not be reserved."},
    // Reading the replicas of a replication policy failed.
    {0x390000af, "The replicas of the replication policy could not be read."},
    // Reading the replicas of a client failed.
    {0x390000b0, "The replicas of the client could not be read."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
