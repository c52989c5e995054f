// Texts of replication policies, snapshot engines, volume snapshot
// parameters and the discovery of snapshot-capable applications.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The discovery tool's answer could not be read.
    {0x39000046, "The applications of the client could not be read from the snapshot tool."},
    // Reading the replication policies failed.
    {0x390000a0, "The replication policies could not be read."},
    // The alternate cache partition could not be set. %1 the partition.
    {0x390000a1, "The alternate cache partition [%1] could not be set."},
    // Adding a replication policy failed. %1 the policy name.
    {0x390000a2, "The replication policy [%1] could not be added."},
    // A QRA subclient uses the policy that was to be deleted.
    {0x390000a3, "The replication policy is used by a subclient and cannot be deleted."},
    // A replica belongs to the policy that was to be deleted.
    {0x390000a4, "The replication policy has replicas and cannot be deleted."},
    // Deleting a replication policy failed.
    {0x390000a5, "The replication policy could not be deleted."},
    // The snapshot engine of a policy that a subclient uses was to change.
    {0x390000a6, "The snapshot engine of the replication policy cannot change while a subclient uses the policy."},
    // Updating a replication policy failed.
    {0x390000a7, "The replication policy could not be updated."},
    // Reading the snapshot engines failed.
    {0x390000a8, "The snapshot engines could not be read."},
    // Reading a volume's snapshot parameters failed.
    {0x390000a9, "The snapshot parameters of the volume could not be read."},
    // Removing a volume's snapshot parameters failed.
    {0x390000aa, "The snapshot parameters of the volume could not be removed."},
    // Adding a volume's snapshot parameters failed.
    {0x390000ab, "The snapshot parameters of the volume could not be added."},
    // Updating a volume's snapshot parameters failed.
    {0x390000ac, "The snapshot parameters of the volume could not be updated."},
    // A SnapMirror pool with a copy manager of a release older than 13.
    {0x3900010d, "SnapMirror replication needs a copy manager of release 13 or later."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
