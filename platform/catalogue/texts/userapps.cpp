// Texts of continuous-replication user applications, snapshot import,
// source volumes, package hosts and subclient schedules.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A snapshot import failed on the client. %1 the source host.
    {0x39000062, "The snapshot of [%1] could not be imported."},
    // A snapshot import succeeded. %1 the source host.
    {0x39000063, "The snapshot of [%1] was imported."},
    // Whether a subclient is covered by a schedule could not be read.
    {0x39000091, "Whether the subclient is covered by a schedule could not be determined."},
    // The user applications could not be read.
    {0x390000df, "The user applications could not be read."},
    // A user application could not be added.
    {0x390000e0, "The user application could not be added."},
    // A user application could not be deleted.
    {0x390000e1, "The user application could not be deleted."},
    // A user application could not be changed.
    {0x390000e2, "The user application could not be changed."},
    // The snapshot id of a request is empty or not of the form <prefix>:<unique id>.
    {0x390000ea, "The snapshot id is missing."},
    // The source volumes of a snapshot could not be read.
    {0x390000eb, "The source volumes of the snapshot could not be read."},
    // The clients with an application package could not be listed.
    {0x390000ec, "The clients with the application packages could not be listed."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
