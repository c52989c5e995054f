// Texts of creating, deleting and changing a library through the
// storage-library request: the refusals of a change, and the audit
// operations and parameters of the three.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // The media agent is powered off by cloud power management.
    {0x200001E8, "The media agent [%1] is powered off. Power it on from its properties first."},
    // Refusals of a library change.
    {0x23000921, "Invalid property input for this library."},
    {0x23000A08, "Invalid option for using plug-and-play media when blank."},
    {0x23000AAF, "Invalid option for preventing data deletion from mount paths."},
    {0x23000D4F, "Invalid option for marking the library for maintenance."},
    {0x23000A05, "Invalid thresholds for managed disk space."},
    {0x23000917, "Invalid mount-path usage option."},
    {0x23000920, "The disk library has more than one master pool."},
    // Audit operations.
    {0x54000245, "Created a library"},
    {0x54000070, "Deconfigured a library"},
    {0x5400006A, "Changed library properties"},
    // Audit parameters of a library change.
    {0x55000011, "New name: %1"},
    {0x5500046E, "Low watermark changed from %1 to %2"},
    {0x5500046F, "Warning watermark changed from %1 to %2"},
    {0x55000470, "Number of writers changed from %1 to %2"},
    {0x55000471, "Fill mount paths: from %1 to %2"},
    {0x55000474, "on"},
    {0x55000475, "off"},
    {0x550004E6, "Spill and fill mount paths switched on"},
    {0x550004E7, "Spill and fill mount paths switched off"},
    {0x55000587, "Library option 0x1000000 switched on"},
    {0x55000588, "Library option 0x1000000 switched off"},
    {0x550005A7, "Library option 0x2000000 switched on"},
    {0x550005A6, "Library option 0x2000000 switched off"},
    {0x550004C5, "Preventing data deletion from mount paths switched on"},
    {0x550004C6, "Preventing data deletion from mount paths switched off"},
    {0x5500017E, "Library marked for maintenance"},
    {0x5500017F, "Library no longer marked for maintenance"},
    {0x550004C7, "High threshold of managed disk space changed from %1 to %2"},
    {0x550004C8, "Low threshold of managed disk space changed from %1 to %2"},
    {0x550004C9, "Use plug-and-play media when blank switched on"},
    {0x550004CA, "Use plug-and-play media when blank switched off"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
