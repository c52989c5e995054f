// Texts of scratch-volume pools, scratch volumes and the SnapVault-capable
// host listing.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Adding a scratch-volume pool failed. %1 the pool name.
    {0x39000097, "The scratch volume pool [%1] could not be added."},
    // Updating a pool, or the cost category of its volumes, failed.
    {0x39000098, "The scratch volume pool could not be updated."},
    // Deleting a pool failed.
    {0x39000099, "The scratch volume pool could not be deleted."},
    // A scratch volume's volume is missing from the service's answer.
    {0x3900009a, "A scratch volume has no volume."},
    // A scratch volume's volume has no device name.
    {0x3900009b, "A scratch volume has no device name."},
    // The volume is part of a subclient's content.
    {0x3900009c, "Volumes that are part of subclient content may not be used in scratch pools."},
    // Adding a scratch volume failed.
    {0x3900009d, "The volume could not be added to the scratch volume pool."},
    // Removing a scratch volume failed.
    {0x3900009e, "The scratch volume could not be removed."},
    // Releasing a scratch volume failed.
    {0x3900009f, "The scratch volume could not be released."},
    // The pool still names a replication policy.
    {0x39000104, "The scratch volume pool is used by a replication policy and cannot be deleted."},
    // The pool still holds scratch volumes.
    {0x39000105, "The scratch volume pool holds scratch volumes and cannot be deleted."},
    // The clients could not be listed.
    {0x390000de, "The list of clients could not be read."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
