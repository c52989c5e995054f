// Texts of the copy-manager, device-configuration and continuous-
// replication handlers: device configuration failures and the events of a
// volume's protection.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A continuous-replication volume is protected. %1 the volume, %2 the client host.
    {0x39000035, "The volume [%1] on client [%2] is now protected by continuous replication."},
    // Protecting a continuous-replication volume failed. %1 the volume, %2 the client host.
    {0x39000036, "The volume [%1] on client [%2] could not be protected by continuous replication."},
    // The release of the client of a device could not be read. %1 the device name.
    {0x3900008a, "The device [%1] could not be configured: the release of its client could not be read."},
    // A configured device could not be recorded (also the device-list
    // request's error code, which it answers without a text). %1 the device
    // as the client names it.
    {0x3900008b, "The device [%1] was configured on its client but could not be recorded."},
    // A device configuration error of no known operation.
    {0x3900008c, "The device could not be configured."},
    // An unconfigured device could not be recorded. %1 the device name.
    {0x3900008d, "The device [%1] was unconfigured on its client but could not be recorded."},
    // Device configuration errors by operation: code 512, then any other
    // code (%1 the code).
    {0x390000fc, "The device could not be configured: it is in use."},
    {0x390000fd, "The device could not be configured (code %1)."},
    {0x390000fe, "The device could not be unconfigured: it is in use."},
    {0x390000ff, "The device could not be unconfigured (code %1)."},
    {0x39000100, "The device could not be protected: it is in use."},
    {0x39000101, "The device could not be protected (code %1)."},
    {0x39000102, "The device protection could not be removed: the device is in use."},
    {0x39000103, "The device protection could not be removed (code %1)."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
