// The ownership checks of ObjectOwnership.h: one stored row each, read
// without a transaction, before the request changes anything.
#include "ezconfig/ObjectOwnership.h"

#include "frame/EvEvent.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/mmdb/MMDeviceDB.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMountPathDB.h"

namespace tkezconfig {
namespace {

constexpr const char* kTag = "EvMMConfigMgr::ObjectOwnership";
constexpr int kNoRow = 100;

std::string text(unsigned long id, unsigned long locale, const std::string& first, const std::string& second) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, locale, first, second);
  return buffer;
}

std::string unreadText(unsigned long locale) {
  char buffer[1024];
  EvGetLocText(kTextDatabaseUnread, buffer, sizeof buffer, locale);
  return buffer;
}

// The outcome of a read that failed: an object that does not exist is left
// to the operation, any other failure refuses.
Ownership failedRead(const MMTableAccess& table, const char* what, int id, unsigned long locale,
                     std::string& refusal) {
  if (table.getDBError() == kNoRow) return Ownership::kOwn;
  EvDebug::Error(kTag, "The %s [%d] could not be read: error [%d] dbErr[%d]", what, id, table.getErrorCode(),
                 table.getDBError());
  refusal = unreadText(locale);
  return Ownership::kUnread;
}

// Device `deviceId` is the device under mount path `mountPathId`; when not,
// `foreign` logs and gives the refusal.
template <class Foreign>
Ownership onDeviceOfMountPath(int deviceId, int mountPathId, unsigned long locale, std::string& refusal,
                              Foreign foreign) {
  MMDeviceDB devices;
  MMDevice_t row;
  if (devices.getInfoByMountPath(mountPathId, row) != 0)
    return failedRead(devices, "device of mount path", mountPathId, locale, refusal);
  if (row.DeviceId == deviceId) return Ownership::kOwn;
  refusal = foreign();
  return Ownership::kForeign;
}

}  // namespace

Ownership mountPathOfLibrary(int mountPathId, int libraryId, const std::string& libraryName, unsigned long locale,
                             std::string& refusal) {
  if (libraryId < 1) return Ownership::kOwn;
  MMMountPathDB mountPaths;
  MMMountPath_t row;
  if (mountPaths.getInfo(mountPathId, row) != 0)
    return failedRead(mountPaths, "mount path", mountPathId, locale, refusal);
  if (row.LibraryId == libraryId) return Ownership::kOwn;
  EvDebug::Error(kTag, "Mount path [%d] belongs to library [%d], not to library [%d, %s].", mountPathId,
                 row.LibraryId, libraryId, libraryName.c_str());
  refusal = text(kTextMountPathOfOtherLibrary, locale, std::to_string(mountPathId),
                 libraryName.empty() ? std::to_string(libraryId) : libraryName);
  return Ownership::kForeign;
}

Ownership deviceOfLibrary(int deviceId, int libraryId, const std::string& libraryName, unsigned long locale,
                          std::string& refusal) {
  if (libraryId < 1) return Ownership::kOwn;
  MMDeviceDB devices;
  MMDevice_t device;
  if (devices.getInfo(deviceId, device) != 0) return failedRead(devices, "device", deviceId, locale, refusal);
  MMMountPathDB mountPaths;
  MMMountPath_t* rows = nullptr;
  int count = 0;
  if (mountPaths.getListForDevice(deviceId, rows, count) != 0)
    return failedRead(mountPaths, "mount paths of device", deviceId, locale, refusal);
  bool own = false;
  for (int i = 0; rows != nullptr && i < count; ++i) own = own || rows[i].LibraryId == libraryId;
  MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
  if (own) return Ownership::kOwn;
  EvDebug::Error(kTag, "Device [%d] holds no mount path of library [%d, %s].", deviceId, libraryId,
                 libraryName.c_str());
  refusal = text(kTextDeviceOfOtherLibrary, locale, std::to_string(deviceId),
                 libraryName.empty() ? std::to_string(libraryId) : libraryName);
  return Ownership::kForeign;
}

Ownership libraryIdMatchesName(int libraryId, const std::string& libraryName, unsigned long locale,
                               std::string& refusal) {
  if (libraryId < 1 || libraryName.empty()) return Ownership::kOwn;
  MMLibraryDB libraries;
  MMLibrary_t row;
  if (libraries.getInfoByAliasName(libraryName.c_str(), row, nullptr, {libraryId}) != 0) {
    // A name that two or more libraries answer to only in other letter
    // cases names none of them: refused with the lookup's text, naming them.
    if (libraries.getErrorCode() == MMS2_ERROR_DUPLICATE_NAME) {
      EvDebug::Error(kTag, "%s", libraries.lastErrorText().c_str());
      refusal = libraries.lastErrorText();
      return Ownership::kForeign;
    }
    return failedRead(libraries, "library named by the request, of id", libraryId, locale, refusal);
  }
  if (row.LibraryId == libraryId) return Ownership::kOwn;
  EvDebug::Error(kTag, "Library id [%d] and library name [%s] name different libraries.", libraryId,
                 libraryName.c_str());
  refusal = text(kTextLibraryIdAndNameDiffer, locale, std::to_string(libraryId), libraryName);
  return Ownership::kForeign;
}

Ownership deviceOfMountPath(int deviceId, int mountPathId, unsigned long locale, std::string& refusal) {
  return onDeviceOfMountPath(deviceId, mountPathId, locale, refusal, [&] {
    EvDebug::Error(kTag, "Device [%d] is not the device of mount path [%d].", deviceId, mountPathId);
    return text(kTextDeviceOfOtherMountPath, locale, std::to_string(deviceId), std::to_string(mountPathId));
  });
}

Ownership devicePathOfMountPath(int deviceControllerId, int mountPathId, unsigned long locale, std::string& refusal) {
  MMDeviceControllerDB controllers;
  MMDeviceController_t controller;
  if (controllers.getInfo(deviceControllerId, controller) != 0)
    return failedRead(controllers, "device path", deviceControllerId, locale, refusal);
  return onDeviceOfMountPath(controller.DeviceId, mountPathId, locale, refusal, [&] {
    EvDebug::Error(kTag, "Device path [%d] lies on device [%d], not on the device of mount path [%d].",
                   deviceControllerId, controller.DeviceId, mountPathId);
    return text(kTextDevicePathOfOtherMountPath, locale, std::to_string(deviceControllerId),
                std::to_string(mountPathId));
  });
}

}  // namespace tkezconfig
