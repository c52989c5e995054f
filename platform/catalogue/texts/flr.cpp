// Texts of file-level recovery: discovery, consistency points, snapshots,
// their mounts and network shares.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A snapshot could not be mounted. %1 the device (snapshot) name, %2 the mount path.
    {0x39000083, "The snapshot [%1] could not be mounted at [%2]."},
    // A snapshot or its mount point could not be looked up or recorded. %1 the mount path.
    {0x39000085, "The mount point [%1] of the snapshot could not be recorded."},
    // A snapshot could not be unmounted. %1 the mount path.
    {0x39000086, "The snapshot mounted at [%1] could not be unmounted."},
    // The record of an unmounted snapshot could not be removed. %1 the mount path.
    {0x39000087, "The record of the mount point [%1] could not be removed."},
    // A consistency point could not be deleted.
    {0x39000088, "The consistency point could not be deleted."},
    // The discovery tool could not be started on a client. %1 the client's host name.
    {0x390000ad, "The client [%1] could not be reached to discover its applications."},
    // A snapshot could not be shared. %1 the share name, %2 the client name.
    {0x390000e3, "The network share [%1] could not be created on the client [%2]."},
    // A network share could not be recorded. %1 the share name (when known).
    {0x390000e4, "The network share [%1] could not be recorded."},
    // A network share could not be removed. %1 the share name, %2 the client name.
    {0x390000e6, "The network share [%1] could not be removed from the client [%2]."},
    // The replication sets of the paths could not be looked up.
    {0x390000e7, "The replication sets of the paths could not be read."},
    // The client of a scratch pool could not be looked up.
    {0x390000e8, "The client of the scratch pool could not be read."},
    // The alternate cache partition of a client could not be read.
    {0x390000e9, "The alternate cache partition of the client could not be read."},
    // The consistency points of a client's application could not be read.
    {0x390000ed, "The consistency points could not be read."},
    // The snapshots of a consistency point could not be read.
    {0x390000ee, "The snapshots of the consistency point could not be read."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
