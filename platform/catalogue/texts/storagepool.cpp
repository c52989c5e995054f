// Texts of the archive manager's storage-pool sharing, as the audit trail
// shows them.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // Audit operation: media agents were shared into storage pools.
    {0x540001EF, "Shared media agents in storage pools"},
    // One shared media agent: its display name, the storage pool's text and
    // the archive manager's result text.
    {0x5500056F, "Media agent [%1] was added to storage pool [%2]. %3"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
