// The object model's own settings (table MMObjectSetting): values of
// configuration objects that no column of the object's table holds, kept
// so that whatever a request stored survives a re-read and a restart.
//
// The model's setters write them through StoreSettings in the same step as
// the object's columns; a configuration load lays them over the graph
// (ZQMACGraph::ApplyStoredSettings). A handler whose model calls only stage
// values in memory (the inline setters of a library) stores them with
// storeLibrarySettings before it answers.
//
// What lives here, by kind (the rest of each object's values have columns):
//   library            DoorLock, VolumeRange, AutoConfigDDS,
//                      AutoConfigFailover, UseACSLSCleanPool, UseIPDriveID,
//                      AutoDiscover, AutoDiscoverMediaType, DeviceValue,
//                      DeviceTextC
//   library controller IPController (1: an IP library controller),
//                      ServerHost (an IP controller's library server, or
//                      the host a controller was moved to), ScsiAddress,
//                      ControllerText
//   drive              DriveIdString, DeviceTextC
//   drive path         AccessPath, ScsiAddress, ControllerType,
//                      ControllerText, ServerHost
//   disk device        RemoteFileHost, RemoteHostVolume, RemoteHostUserName,
//                      RemoteHostPassword (encrypted, as passwords are kept)
//   disk volume        VaultLock
#pragma once

#include <string>
#include <utility>
#include <vector>

class ZQMACLms;

namespace tkmac {

// The names of the settings (the Name column).
namespace setting {
inline constexpr const char* kDoorLock = "DoorLock";
inline constexpr const char* kVolumeRange = "VolumeRange";
inline constexpr const char* kAutoConfigDDS = "AutoConfigDDS";
inline constexpr const char* kAutoConfigFailover = "AutoConfigFailover";
inline constexpr const char* kUseACSLSCleanPool = "UseACSLSCleanPool";
inline constexpr const char* kUseIPDriveID = "UseIPDriveID";
inline constexpr const char* kAutoDiscover = "AutoDiscover";
inline constexpr const char* kAutoDiscoverMediaType = "AutoDiscoverMediaType";
inline constexpr const char* kDeviceValue = "DeviceValue";
inline constexpr const char* kDeviceTextC = "DeviceTextC";
inline constexpr const char* kIPController = "IPController";
inline constexpr const char* kServerHost = "ServerHost";
inline constexpr const char* kDriveIdString = "DriveIdString";
inline constexpr const char* kAccessPath = "AccessPath";
inline constexpr const char* kScsiAddress = "ScsiAddress";
inline constexpr const char* kControllerType = "ControllerType";
inline constexpr const char* kControllerText = "ControllerText";
inline constexpr const char* kRemoteFileHost = "RemoteFileHost";
inline constexpr const char* kRemoteHostVolume = "RemoteHostVolume";
inline constexpr const char* kRemoteHostUserName = "RemoteHostUserName";
inline constexpr const char* kRemoteHostPassword = "RemoteHostPassword";
inline constexpr const char* kVaultLock = "VaultLock";
}  // namespace setting

// (name, value) pairs of one object.
using SettingValues = std::vector<std::pair<std::string, std::string>>;

// Stores what the library request's inline setters staged on the library
// of `lms` (bar-code reader, the four automatic-configuration flags, the
// attribute word, the volume range, the VTL type) with its drive count and
// door lock, in one step. True without writing when the library is not
// stored in a database-backed instance; false with the reason as the
// library's last error when nothing was written.
bool storeLibrarySettings(ZQMACLms& lms);

}  // namespace tkmac
