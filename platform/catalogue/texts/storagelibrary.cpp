// Texts of the storage-library request: its refusals, the installation-
// directory guard, the audit messages of libraries and mount paths, and
// those of devices and drive maintenance.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // A media agent named in the request is not known.
    {0x230008B0, "The media agent named in the request could not be found."},
    // A library named in the request is not known.
    {0x230008B1, "The library named in the request could not be found."},
    // No mount path of the library and media agent has the name (and folder).
    {0x230008B2, "The mount path could not be found in the library for the media agent."},
    // Another request works on the media agent's libraries.
    {0x230008B3, "Another configuration request for this media agent is in progress. Try again later."},
    // The library controllers could not be read.
    {0x230008B4, "The library controllers of the library could not be read."},
    // Another request deletes the library.
    {0x23000AC8, "A delete operation is in progress for this library. Try again later."},
    // Delete refused by rights; %1 the user's login name.
    {0x3E000BB6, "User [%1] does not have the rights to delete this library."},
    {0x3E000BB7, "User [%1] does not have the rights to delete mount paths of this library."},
    // Follows either of the two above; %1 the user's login name.
    {0x3F000353, "Ask an administrator to grant [%1] library administration or media agent management rights."},
    // Sharing a mount path with a media agent that has a device path to it already.
    {0x23000950, "The media agent already has a device path to this mount path."},
    // The device named in the request is not known.
    {0x23000916, "The device named in the request could not be found."},
    // The installation-directory guard.
    {0x2300093D, "The installation directory of the media agent could not be found."},
    {0x2300093C, "A disk library mount path cannot be configured inside the installation directory."},
    // Cloud storage needs a newer media agent.
    {0x3E000457, "The media agent's version does not support cloud storage. Upgrade it to 11.20 or later."},
    // Audit messages of libraries and mount paths.
    {0x5400006E, "Mount path added"},
    {0x5400006F, "Mount path deleted"},
    // Library, mount path and credential (0x550000BF, 0x550000C4, 0x550006DB)
    // are the device-path request's texts (devicepath.cpp): an id has one text.
    {0x550006F8, "Deleted by force (mount path)"},
    {0x55000723, "Deleted by force (whole library)"},
    // Creating a device for a media agent.
    {0x2300091B, "The device name, the media agent name and the mount path must be given to create a device."},
    {0x2300091C, "The device type or the device access type is out of range."},
    {0x23000AB0, "The device cannot be created or shared with this device access type."},
    {0x23000AB1, "The device controllers of the device could not be read."},
    {0x2300091D, "The media agent already has a device controller for this device."},
    {0x2300091E, "The device could not be configured for the media agent."},
    {0x23000919, "The device [%1] could not be renamed."},  // %1 the device's name before the rename
    // Drive maintenance.
    {0x23000AB2, "Invalid drive option, or no drive of the library has that name."},
    {0x55000531, "Drive [%1] of library [%2] marked replaced"},  // %1 the drive, %2 the library
    {0x55000532, "Drive [%1] of library [%2] marked cleaned"},
    {0x55000533, "Drive [%1] of library [%2] marked fixed"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
