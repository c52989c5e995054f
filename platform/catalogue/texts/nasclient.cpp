// Texts of the NAS-client configuration interface's errors: each error code
// is also the id of its text.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A required argument is missing or out of range.
    {0x29000001, "The NAS client request has invalid arguments."},
    // %1 the peer, %2 the Tarnkeep host, %3 the transport's error text.
    {0x29000002, "Could not attach to the NAS client service of the Tarnkeep [%2] (peer [%1]): %3"},
    // %1 the peer, %2 the transport's error text.
    {0x29000003, "Could not attach to the NAS client service of media agent [%1]: %2"},
    // Memory ran out, or a listed entry had no name.
    {0x29000004, "The NAS client request ran out of memory or received an entry without a name."},
    // %1 the peer.
    {0x29000005, "The Tarnkeep's NAS client service [%1] did not reply."},
    // %1 the peer.
    {0x29000006, "The NAS client service of media agent [%1] did not reply."},
    // %1 the peer, %2 the transport's error text.
    {0x29000007, "Communication with the Tarnkeep's NAS client service [%1] failed: %2"},
    // %1 the peer, %2 the transport's error text.
    {0x29000008, "Communication with the NAS client service of media agent [%1] failed: %2"},
    // The NAS-client handler's answers. %1 the operation word, %2 the client
    // name, %3 the proxy media agent.
    {0x29000021, "Could not %1 NAS client [%2]: the NAS client service of [%3] could not be reached."},
    // %1 the operation word, %2 the client name, %3 the host that did not reply.
    {0x29000022, "Could not %1 NAS client [%2]: [%3] did not reply."},
    // %1 the operation word, %2 the client name.
    {0x29000023, "Could not %1 NAS client [%2]."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
