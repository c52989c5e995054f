// Adding a mount path to a disk library for one media agent: operations 4
// and 16384 of the storage-library request (they differ only in the
// mount-path type stored for a local device). The frame has read the
// request, checked rights, taken the media agent's lock, resolved names and
// provisioned cloud storage; this checks that the library can take another
// shared mount path, finds or creates the device behind it (sharing a
// network or cloud device that the media agent or another one reaches
// already), creates the mount path (with a generated name when none is
// given), adds the media agent to the library's storage pools, attaches a
// distributed-storage entity and audits.
//
// The device, its device path and the mount path are made in one
// transaction. What comes after is not undone: once the mount path exists
// the request reports it created (also when a later step fails), so that the
// frame keeps the cloud storage it lies on.
//
// Texts from the request (user name, password, folder) reach the device
// lookups only as quoted engine arguments, and reach the records whole or
// not at all.
#include <cstdio>
#include <ctime>
#include <mutex>
#include <random>
#include <string>

#include "Db/Tbl/MMDeviceController.h"
#include "ezconfig/mountpath/MountPathOps.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMagLib.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/clock/Clock.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mac/ZQMACNames.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/security/StoredPassword.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/mmdb/MMDeviceDB.h"
#include "platform/mmdb/MMMiscDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "platform/tran/StoreStep.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibAddMountPath";

// Catalogue texts.
constexpr unsigned long kTextMountPathsUnread = 0x230008B5;
constexpr unsigned long kTextNonSharedMountPath = 0x230008B6;
constexpr unsigned long kTextNothingNamed = 0x23000918;
constexpr unsigned long kTextMediaAgentUnread = 0x230008B0;
constexpr unsigned long kTextPoweredOff = 0x200001E8;     // %1 the media agent
constexpr unsigned long kTextLibraryNotFound = 0x240000D7;  // %1 the library
constexpr unsigned long kTextDeviceUnread = 0x23000916;
constexpr unsigned long kTextControllerNotAdded = 0x2300091E;
constexpr unsigned long kTextDeviceNotRenamed = 0x23000919;  // %1 the device
constexpr unsigned long kTextStoragePool = 0x240001BE;
constexpr const char* kTextModelUnread = "Failed to read from DB";
// Followed by the store step's text, which names the database's reason.
constexpr const char* kTextNoTransaction = "The mount path could not be added: ";
constexpr const char* kTextVendorMismatch =
    "Provided Vendor of the MountPath does not match with the Vendor for the other MountPaths in the Library";

// Device types of network and cloud devices, which media agents share.
constexpr int kSharedDeviceFirst = 2;
constexpr int kSharedDeviceLast = 1000;
// Mount-path types stored.
constexpr int kMountPathTypeSharedDevice = 7;
constexpr int kMountPathTypeLocal = 4;
constexpr int kMountPathTypeLocalShared = 11;
// Writers of a new mount path, and the bound of the requested maximum.
constexpr int kWriters = 1000;
constexpr int kMaxWritersLimit = 999;
// Access type of the media agent's new device path.
constexpr unsigned kAccessType = 6;
constexpr const char* kNewDeviceName = "Device#";
// Texts of table-access and media-management errors.
constexpr std::size_t kErrorTextSize = 2048;
// The base folder name's buffer, terminator included.
constexpr std::size_t kBaseFolderSize = 1024;
constexpr unsigned kIsolation = 4;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;
using Credential = ZqEntities::CredentialEntity;

bool isSharedDeviceType(int type) { return type >= kSharedDeviceFirst && type <= kSharedDeviceLast; }

StorageLibResult failed(bool created = false) { return {StorageLibOutcome::kFailure, created}; }

void refuse(StorageLibraryRequest& w, unsigned long id) { w.fail(tkezconfig::mountPathCatalogueText(w, id)); }

// A number of a description cut to 32 bits only when it fits; else `fallback`.
int intOrDefault(long long value, int fallback) {
  return value < INT32_MIN || value > INT32_MAX ? fallback : static_cast<int>(value);
}

// Six characters of 0-9 and A-Z from one generator for the whole process,
// seeded once and shared under a lock, so that names made at the same time
// by two requests still differ.
std::string randomPrefix() {
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::lock_guard<std::mutex> lock(mutex);
  std::uniform_int_distribution<int> pick(0, 35);
  std::string prefix;
  for (int i = 0; i < 6; ++i) {
    const int value = pick(generator);
    prefix += static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
  }
  return prefix;
}

// The name of a mount path whose request gives none: six characters, then
// "_MM.DD.YYYY_HH.MM" of the current time in UTC.
std::string generatedBaseFolder() {
  const time_t now = tkclock::now();
  std::tm utc{};
  gmtime_r(&now, &utc);
  char date[32] = {};
  std::strftime(date, sizeof date, "_%m.%d.%Y_%H.%M", &utc);
  return randomPrefix() + date;
}

// What the operation works with besides the request record.
struct AddWork {
  int deviceType = 0;
  int credentialId = 0;
  std::string credentialName;
  int maxWriters = kWriters;
  std::string baseFolder;
  MMDeviceParams device;
  MMDeviceControllerParams controller;
};

// No mount path of the library is of type 0 (not shared).
bool libraryTakesSharedMountPath(StorageLibraryRequest& w) {
  MMMountPathDB paths;
  MMMountPath_t* rows = nullptr;
  int count = 0;
  const int listed = paths.getListForLibrary(w.libraryId, rows, count);
  struct ListGuard {
    MMMountPath_t*& rows;
    ~ListGuard() {
      if (rows != nullptr) MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
    }
  } guard{rows};
  if (listed != 0) {
    EvDebug::Error(kTag, "Failed to get mount path list for library [%d]", w.libraryId);
    refuse(w, kTextMountPathsUnread);
    return false;
  }
  for (int i = 0; i < count; ++i) {
    if (rows[i].MountPathTypeId != 0) continue;
    EvDebug::Error(kTag,
                   "Cannot add shared mount path for library [%d] with non-shared mount path. Please use Library and "
                   "Drive Configuration Wizard to add mount path for this library.",
                   w.libraryId);
    refuse(w, kTextNonSharedMountPath);
    return false;
  }
  return true;
}

// The media agent may reach the library and is powered on.
bool mediaAgentUsable(StorageLibraryRequest& w) {
  MMDeviceControllerDB controllers;
  if (controllers.canAddController(w.libraryId, 0, w.mediaAgentId) != 0) {
    char text[kErrorTextSize];
    MMS2BaseError::getErrorStringForCode(controllers.getErrorCode(), text, sizeof text,
                                         static_cast<long long>(w.locale));
    EvDebug::Error(kTag, "Error: Failed to add mount path for libraryId [%d] with mediaAgentId [%d] due to error [%s]",
                   w.libraryId, w.mediaAgentId, text);
    w.fail(text);
    return false;
  }
  switch (tkezconfig::mediaAgentPower(w, kTag)) {
    case tkezconfig::MediaAgentPower::kUnread: refuse(w, kTextMediaAgentUnread); return false;
    case tkezconfig::MediaAgentPower::kPoweredOff:
      w.fail(tkezconfig::mountPathCatalogueText(w, kTextPoweredOff, w.mediaAgentName));
      return false;
    case tkezconfig::MediaAgentPower::kUsable: break;
  }
  return true;
}

// The device type, the saved credential, the writers.
void settleRequest(StorageLibraryRequest& w, AddWork& a) {
  const CNMessageBase& library = *w.library;
  a.deviceType = w.storageVendorType;
  if (a.deviceType <= 0) {
    a.deviceType = intOrDefault(
        library.getint64(Info::kStorageVendorType.tag, Info::kClassHash, Info::kStorageVendorType.hash), 0);
  }
  if (a.deviceType < 1) a.deviceType = 1;
  CNMessageBase& libraryMessage = *w.library;
  const CNMessageBase& credential =
      libraryMessage.getObjectAccessor(true, false, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash,
                                       Info::kCredential.hash, Info::kCredential.ns, Info::kCredential.cls);
  a.credentialId = intOrDefault(credential.getint64(Credential::kId.tag, Credential::kClassHash, Credential::kId.hash), 0);
  a.credentialName = credential.getstring(Credential::kCredentialName.ordinal, Credential::kCredentialName.tag,
                                          Credential::kClassHash, Credential::kCredentialName.hash);
  const long long writers = w.second->getint64(Info::kMaxWriters.tag, Info::kClassHash, Info::kMaxWriters.hash);
  a.maxWriters = writers >= 1 && writers <= kMaxWritersLimit ? static_cast<int>(writers) : kWriters;
}

// The library is in the configuration, and every mount path of it
// lies on a device of the requested type.
bool vendorMatches(StorageLibraryRequest& w, const AddWork& a) {
  // The disk library the request resolved (by its id), while it still
  // answers to the name the request gives; else found by that name as every
  // lookup by name goes. Without a copy of every library.
  ZQMACMagLib* library = w.libraryId > 0 ? dynamic_cast<ZQMACMagLib*>(tkmac::findLibraryById(*w.config, w.libraryId))
                                         : tkmac::findMagLibAnswering(*w.config, w.libraryName);
  if (library != nullptr && !w.libraryName.empty() && !tkmac::sameName(library->GetAliasName(), w.libraryName))
    library = nullptr;
  if (library == nullptr) {
    EvDebug::Error(kTag, "ReadCurrentConfig - Lib not found Library Id[%d] Total Libraries[%d].", w.libraryId,
                   w.config->GetMagLibList().GetListCount());
    w.fail(tkezconfig::mountPathCatalogueText(w, kTextLibraryNotFound, w.libraryName));
    return false;
  }
  ZQMACLinkedList<ZQMACMountPath> paths = library->GetMountPathList();
  for (ZQMACMountPath* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode()) {
    MMDeviceDB devices;
    MMDevice_t device;
    if (devices.getInfo(p->GetForeignAgantId(), device) != 0) {
      EvDebug::Error(kTag, "Error [%d] return from while getting the device info for device [%s].",
                     devices.getErrorCode(), w.deviceAliasName.c_str());
      refuse(w, kTextDeviceUnread);
      return false;
    }
    if (device.DeviceTypeId != a.deviceType) {
      EvDebug::Error(kTag,
                     "Error occurred while adding the mountPath[%s] libraryid[%d] deviceid[%d] the Provided Vendor of "
                     "the MountPath does not match with the Vendor for the other MountPaths in the Library",
                     w.mountPathName.c_str(), w.libraryId, w.deviceId);
      w.fail(kTextVendorMismatch);
      return false;
    }
  }
  return true;
}

// The device and device-path records, and the name of the mount
// path; every text whole.
bool fillRecords(StorageLibraryRequest& w, AddWork& a) {
  MMCopyText(a.device.deviceName, kNewDeviceName);
  a.device.deviceType = a.deviceType;
  a.device.cloudServiceType = intOrDefault(
      w.container.getint64(App::FerraneStorageContainer::kCloudServiceType.tag, App::FerraneStorageContainer::kClassHash,
                           App::FerraneStorageContainer::kCloudServiceType.hash),
      0);
  a.controller.clientId = static_cast<uint32_t>(w.mediaAgentId);
  a.controller.deviceId = static_cast<uint32_t>(-1);
  a.controller.deviceAccessType = kAccessType;
  a.controller.credentialId = static_cast<uint32_t>(a.credentialId);
  a.baseFolder = w.deviceName;
  if (a.baseFolder.size() > kBaseFolderSize - 1) {
    tkezconfig::refuseTooLong(w, "base folder name", a.baseFolder, kBaseFolderSize - 1);
    return false;
  }
  return tkezconfig::storeWhole(w, a.controller.userName, w.userName, "user name") &&
         tkezconfig::storeWhole(w, a.controller.password, w.password, "password") &&
         tkezconfig::storeWhole(w, a.controller.folder, w.mountPathName, "mount path");
}

// One look into the device-path table. 0 a row, 100 none; another value
// refuses the request (a failed lookup must not pass for "no device yet").
int findDevicePath(StorageLibraryRequest& w, MMDeviceController& table) {
  table.setIsolationType(kIsolation);
  table.setTop(1);
  const int read = getOneRow(&table, false, -1, 0);
  if (read != 0 && read != DB_NO_ROW) {
    EvDebug::Error(kTag, "Error [%d] looking up the device paths of mount path [%s]: %s", read,
                   w.mountPathName.c_str(), DBtable::getErrorStr(read));
    w.fail(DBtable::getErrorStr(read));
  }
  return read;
}

// The stored passwords a lookup by credentials matches: the request's
// stored form; for no password also the cipher's form of nothing, which
// older builds stored for an empty password.
std::string emptyForm() {
  std::string form;
  tkpassword::storedForm("", form);
  return form;
}

// The where clause of a shared-device lookup by credentials and folder
// (`client` 0: any media agent).
void whereByAccess(MMDeviceController& table, const StorageLibraryRequest& w, const AddWork& a, int client) {
  const std::string other = w.password.empty() ? emptyForm() : w.password;
  if (client > 0) {
    table.setWhere("ClientId = %d and UserName = '%s' and UserPassword in ('%s', '%s') and Folder = '%s' and  "
                   "DeviceId in (select DeviceId from MMDevice where DeviceTypeId = %d)",
                   client, w.userName.c_str(), w.password.c_str(), other.c_str(), w.mountPathName.c_str(),
                   a.deviceType);
  } else {
    table.setWhere("UserName = '%s' and UserPassword in ('%s', '%s') and Folder = '%s' and  DeviceId in (select "
                   "DeviceId from MMDevice where DeviceTypeId = %d)",
                   w.userName.c_str(), w.password.c_str(), other.c_str(), w.mountPathName.c_str(), a.deviceType);
  }
}

enum class Search { kDone, kNewDevice, kFailed };

// A network or cloud device that a media agent reaches already.
Search shareExistingDevice(StorageLibraryRequest& w, AddWork& a) {
  {
    MMDeviceController own(nullptr);
    if (w.deviceId > 0)
      own.setWhere("ClientId = %d  and  DeviceId = %d", w.mediaAgentId, w.deviceId);
    else
      whereByAccess(own, w, a, w.mediaAgentId);
    const int read = findDevicePath(w, own);
    if (read == 0) {
      w.deviceId = own.getDataPtr()->DeviceId;
      return Search::kDone;
    }
    if (read != DB_NO_ROW) return Search::kFailed;
  }
  MMDeviceController any(nullptr);
  if (w.deviceId > 0)
    any.setWhere("DeviceId = %d", w.deviceId);
  else
    whereByAccess(any, w, a, 0);
  const int read = findDevicePath(w, any);
  if (read != 0 && read != DB_NO_ROW) return Search::kFailed;
  if (read == DB_NO_ROW && w.deviceId <= 0) return Search::kNewDevice;
  if (read == 0) {
    const MMDeviceController_t& row = *any.getDataPtr();
    if (w.deviceId <= 0) w.deviceId = row.DeviceId;
    if (!w.deviceAliasName.empty() &&
        (!tkezconfig::storeWhole(w, a.controller.folder, row.Folder, "folder of the shared device") ||
         !tkezconfig::storeWhole(w, a.controller.userName, row.UserName, "user name of the shared device") ||
         !tkezconfig::storeWhole(w, a.controller.password, row.UserPassword, "password of the shared device")))
      return Search::kFailed;
  }
  a.controller.deviceId = static_cast<uint32_t>(w.deviceId);
  ZQMMDeviceInfo devices(1);
  int controllerId = 0;
  if (devices.addDeviceController(w.deviceId, a.controller, controllerId) != 0) {
    EvDebug::Error(kTag, "Failed to configure device [%s] ", w.deviceAliasName.c_str());
    refuse(w, kTextControllerNotAdded);
    return Search::kFailed;
  }
  return Search::kDone;
}

// A device of its own for the mount path.
bool createDevice(StorageLibraryRequest& w, AddWork& a) {
  ZQMMDeviceInfo devices(1);
  if (devices.addDevice(a.device, a.controller, 0) != 0) {
    int code = 0;
    char error[kErrorTextSize];
    devices.GetLastError(code, error, sizeof error);
    EvDebug::Error(kTag, "Error [%s] occurred while adding the device for[%s]", error, w.mountPathName.c_str());
    w.fail(error[0] != '\0' ? std::string(error)
                            : "Error occurred while adding device for [" + w.mountPathName + "]");
    return false;
  }
  w.deviceId = a.device.deviceId;
  a.deviceType = a.device.deviceType;
  if (w.deviceAliasName.empty() || isSharedDeviceType(a.deviceType)) return true;
  MMDeviceDB names;
  if (names.renameDevice(w.deviceId, w.deviceAliasName.c_str()) != 0) {
    EvDebug::Error(kTag, "Failed to rename the device [%s]", a.device.deviceName);
    w.fail(tkezconfig::mountPathCatalogueText(w, kTextDeviceNotRenamed, a.device.deviceName));
    return false;
  }
  return true;
}

// The mount path itself; its id, or 0 after a refusal.
int createMountPath(StorageLibraryRequest& w, const AddWork& a) {
  MMSMountpathInfo info;
  info.libraryId = w.libraryId;
  info.baseFolder = a.baseFolder.c_str();
  info.numberOfWriters = kWriters;
  info.maxWriters = a.maxWriters;
  info.mountPathType = isSharedDeviceType(a.deviceType)
                           ? kMountPathTypeSharedDevice
                           : (w.operation == tkezconfig::kOpAddMountPathShared ? kMountPathTypeLocalShared
                                                                                : kMountPathTypeLocal);
  info.deviceId = w.deviceId;
  info.setUserName(w.userName.c_str());
  info.setPassword(w.password.c_str());
  ZQMMmountPath paths(info, 1);
  int mountPathId = 0;
  if (paths.addMountPath(mountPathId) != 0) {
    int code = 0;
    char error[kErrorTextSize];
    paths.GetLastError(code, error, sizeof error);
    EvDebug::Error(kTag, "Error [%s] occurred while adding the mountPath[%s]", error, w.mountPathName.c_str());
    w.fail(error[0] != '\0' ? std::string(error) : "Error occurred while adding mountPath[" + w.mountPathName + "]");
    return 0;
  }
  return mountPathId;
}

}  // namespace

tkezconfig::StorageLibResult EvMMConfigMgr::StorageLibAddMountPath(tkezconfig::StorageLibraryRequest& w) {
  if (!w.config->ReadCurrentConfig(false)) {
    EvDebug::Error(kTag, "%s", "ReadCurrentConfig - Failed to read from DB.");
    w.fail(kTextModelUnread);
    return failed();
  }
  if (!libraryTakesSharedMountPath(w)) return failed();
  if (w.mountPathName.empty() && w.deviceId <= 0) {
    EvDebug::Error(kTag, "%s", "MountPath or Device name not set in the input xml");
    refuse(w, kTextNothingNamed);
    return failed();
  }
  if (!mediaAgentUsable(w)) return failed();
  AddWork a;
  settleRequest(w, a);
  if (!vendorMatches(w, a) || !fillRecords(w, a)) return failed();

  // The device, its device path and the mount path are made together or
  // not at all: a device path without its mount path would be left over.
  tktran::StoreStep step(kTag);
  if (!step.begin()) {
    w.fail(kTextNoTransaction + step.error());
    return failed();
  }
  Search search = Search::kNewDevice;
  if (isSharedDeviceType(a.deviceType)) search = shareExistingDevice(w, a);
  if (search == Search::kFailed) return failed();
  if (search == Search::kNewDevice && w.deviceId <= 0 && !createDevice(w, a)) return failed();

  if (a.baseFolder.empty()) a.baseFolder = generatedBaseFolder();
  const int mountPathId = createMountPath(w, a);
  if (mountPathId == 0) return failed();
  if (!step.commit()) {
    w.fail(kTextNoTransaction + step.error());
    return failed();
  }
  w.mountPathId = mountPathId;

  // From here on the mount path exists: every outcome reports it created.
  int poolCode = 0;
  std::string poolText;
  if (!AddMediaAgentToStoragePool(mountPathId, w.locale, w.record.userId, poolCode, poolText, "")) {
    EvDebug::Error(kTag, "Failed to add media agent [%d] to the storage pools of mount path [%d]: [%d] %s",
                   w.mediaAgentId, mountPathId, poolCode, poolText.c_str());
    w.fail(tkezconfig::mountPathCatalogueText(w, kTextStoragePool), poolCode);
    return failed(true);
  }
  if (w.distributedStorageId > 0) {
    MMMiscDB misc;
    if (misc.setDistributedStorageForMountPath(mountPathId, w.distributedStorageId) != 0) {
      const int code = misc.getErrorCode();
      char text[kErrorTextSize];
      MMS2BaseError::getErrorStringForCode(code, text, sizeof text, 0);
      EvDebug::Error(kTag, "Failed to attach distributed storage [%d] to mount path [%d]: %s",
                     w.distributedStorageId, mountPathId, text);
      w.fail(text, code);
      return failed(true);
    }
  }
  // The audit rewrites its mount-path text; the answer keeps the path as requested.
  std::string audited = w.mountPathName;
  auditMountPathAdd(w.record.userId, w.libraryName, audited, w.mediaAgentName,
                    a.credentialId > 0 ? a.credentialName.c_str() : nullptr);
  return {StorageLibOutcome::kSuccess, true};
}
