// Texts of the refusals of requests that name an object by id together with
// the library (or mount path) it must belong to: the object is of another
// one, so nothing is changed. Each names both, so that an administrator sees
// which of the two the request got wrong. Also the answer about deleting a
// whole library, which names what its mount paths still hold.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The mount path's id, the library's name (or id).
    {0x23000DA0, "Mount path [%1] does not belong to library [%2]; nothing was changed."},
    // The library's id, the library name of the request.
    {0x23000DA1, "Library id [%1] and library name [%2] name different libraries; nothing was changed."},
    // The device's id, the mount path's id.
    {0x23000DA2, "Device [%1] is not the device of mount path [%2]; nothing was changed."},
    // The device path's id, the mount path's id.
    {0x23000DA3, "Device path [%1] is not on the device of mount path [%2]; nothing was changed."},
    // The device's id, the library's name (or id).
    {0x23000DA7, "Device [%1] holds no mount path of library [%2]; nothing was changed."},
    // The mount path's id, the library's name (or id).
    {0x23000DA4,
     "A replication-store deletion removes the whole library; mount path [%1] of library [%2] was not deleted. "
     "Delete a single mount path with the mount-path deletion of the storage-library request."},
    // Why a library cannot be deleted without force (MMCheckMPCanDelete for
    // a whole library): its name, then as for one mount path.
    {0x23000DA5,
     "Library [%1] is in use: backups of %2 jobs keep data on its mount paths, %3 deduplication databases reference "
     "them and %4 running jobs use them. It can only be deleted with force."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
