// Texts of device detection: its answers to the console and the warnings
// of the check of each detected media agent.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    {0x24000177, "No libraries or drives were detected on the selected media agents."},
    {0x24000178, "Detection is complete. No new devices were found."},
    {0x24000179, "Detection is complete. New devices were found; configure them before use."},
    {0x2400002F, "A detected library reports no drives. Check its configuration."},
    // %1 vendor, %2 product of the library.
    {0x24000030, "The library [%1 %2] could not be identified. Check its connection."},
    // %1 vendor, %2 product of the drive.
    {0x24000031, "The drive [%1 %2] could not be identified. Check its connection."},
    // %1 the media agent.
    {0x2400015A, "SCSI addresses are updated automatically on media agent [%1]."},
    // %1 the library controller, %2 the media agent.
    {0x24000052, "The configured library controller [%1] was not detected on media agent [%2]."},
    // %1 controller, %2 vendor, %3 product, %4-%6 the unit's address.
    {0x1F00004B, "The library [%2 %3] of controller [%1] at address %4:%5:%6 reports an unknown number of drives."},
    // %1 the drive path, %2 the media agent.
    {0x24000053, "The configured drive [%1] was not detected on media agent [%2]."},
    // %1 the drive path.
    {0x1F000046, "The drive [%1] was detected without a device name."},
    // %1 the library.
    {0x240001ED, "The library [%1] was detected without drives. Run an exhaustive detection to find them."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
