// Texts of the fan-in recovery-point requests (listings and operations).
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A published share could not be removed from the records. %1 the mount path (when known).
    {0x390000e5, "The network share of the mount point [%1] could not be removed from the records."},
    // The recovery points of a volume could not be read. %1 the volume, %2 the client's host name.
    {0x390000f6, "The recovery points of the volume [%1] on the client [%2] could not be read."},
    // The source and destination pairs of a recovery point could not be read.
    {0x390000f7, "The details of the recovery point could not be read."},
    // The snapshot, consistency point or share path of a recovery point could not be read.
    {0x390000f8, "The snapshot of the recovery point could not be read."},
    // The destination client's host name could not be read.
    {0x390000f9, "The host name of the destination client could not be read."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
