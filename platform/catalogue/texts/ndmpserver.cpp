// Texts of the NDMP server changes: add, update, delete and detect.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The rights check refused the change. %1 the reason.
    {0x240001F4, "You may not change NDMP servers: %1"},
    // An NDMP server of a media agent or NDMP component names no client. %1 the host.
    {0x24000056, "The host [%1] is not a known client."},
    // The filer is of another kind than the request says. %1 the host, %2 the filer's OS type.
    {0x24000057, "The NDMP server [%1] reports the OS type [%2]; it cannot be switched to another OS type."},
    // No connection to the filer. %1 the host.
    {0x24000058, "Could not connect to the NDMP server [%1]."},
    // The filer refused the credentials. %1 the host.
    {0x24000059, "The NDMP server [%1] refused the login name or password."},
    // %1 the host.
    {0x2400005A, "The OS type of the NDMP server [%1] could not be read."},
    // %1 the host.
    {0x2400005B, "The NDMP server [%1] reports no OS type."},
    // %1 the host.
    {0x2400005C, "Could not log in to the NDMP server [%1]."},
    // An NDMP host table operation failed.
    {0x2400005D, "The NDMP server settings could not be read or stored."},
    // %1 the host.
    {0x24000061, "The NDMP server [%1] did not report its OS version."},
    {0x24000062, "The current password is not correct."},
    // %1 the host.
    {0x24000063, "The NDMP server [%1] is still in use and cannot be deleted."},
    {0x24000064, "The NDMP server of a file system agent cannot be deleted."},
    // A text of the request does not fit its column whole. %1 what, %2 the
    // column's width in bytes.
    {0x24000065, "The %1 is longer than %2 bytes."},
    {0x240002EA, "The archive cluster resource file name could not be stored."},
    {0x240002F6, "The NDMP server is still used by a subclient and cannot be deleted."},
    // The filer's network address does not answer. %1 the host.
    {0x240002FB, "The NDMP server [%1] could not be reached on the network."},
    // %1 the engine's code, %2 its text.
    {0x230000B7, "A database transaction could not be started: error [%1] %2"},
    {0x4800003A, "The changes could not be committed to the database."},
    // %1 the host, %2 the reason.
    {0x29000032, "The NAS client [%1] could not be added: %2"},
    // Audit parameters. %1 the client's name.
    {0x55000565, "NDMP server settings of [%1] changed"},
    {0x55000566, "NDMP login of [%1] changed"},
    {0x55000567, "NDMP server of [%1] deleted"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
