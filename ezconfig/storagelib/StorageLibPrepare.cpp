// The preparation that every storage-library operation shares, between
// admission and dispatch: the request's own media-configuration model, the
// credentials in the form the media-management services take, the mount
// path and device that the request names, and, for a library or mount path
// on the Ferrane cloud-storage service, the cloud storage itself (which the
// frame deletes again when the request fails before anything uses it).
//
// Nothing in the configuration changes here; the only outside change is the
// provisioned cloud storage, made last.
#include <cstring>
#include <memory>
#include <string>

#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "Db/Tbl/MMDeviceController.h"
#include "ezconfig/InstallDirectoryGuard.h"
#include "ezconfig/ObjectOwnership.h"
#include "ezconfig/RequestCredentials.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/focus/ZQPI_Focus.h"
#include "platform/mmdb/MMDeviceDB.h"
#include "platform/mmdb/MMHostDB.h"
#include "platform/mmdb/MMMiscDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibPrepare";

// Catalogue texts.
constexpr unsigned long kTextMountPathUnknown = 0x230008B2;
constexpr unsigned long kTextControllerExists = 0x23000950;
constexpr unsigned long kTextDeviceUnknown = 0x23000916;
constexpr unsigned long kTextMediaAgentTooOld = 0x3E000457;

constexpr const char* kTextModelUninitialized = "Failed to initialize the media configuration";

// Oldest media agent that takes cloud storage: release 16, service pack 20.
constexpr int kCloudRelease = 16;
constexpr int kCloudServicePack = 20;
// Size of the texts of error codes.
constexpr std::size_t kErrorTextSize = 1025;
constexpr std::size_t kEventTextSize = 1024;
constexpr unsigned kIsolation = 4;

using tkezconfig::StorageLibraryRequest;
using Info = EVGui::StorageLibraryInfo;

template <class... Args>
std::string catalogueText(const StorageLibraryRequest& w, unsigned long id, const Args&... arguments) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, w.locale, arguments...);
  return buffer;
}

// Byte-wise equality ignoring the case of ASCII letters.
bool equalIgnoringCase(const char* a, const std::string& b) {
  const std::size_t length = std::strlen(a);
  if (length != b.size()) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    const unsigned char lx = (x >= 'A' && x <= 'Z') ? static_cast<unsigned char>(x - 'A' + 'a') : x;
    const unsigned char ly = (y >= 'A' && y <= 'Z') ? static_cast<unsigned char>(y - 'A' + 'a') : y;
    if (lx != ly) return false;
  }
  return true;
}

// A user name with the encrypted proxy password appended when there is one.
// False (refused) when it does not fit its buffer.
bool prepareUserName(StorageLibraryRequest& w, const CNMessageBase& info, std::string& out) {
  std::string error;
  if (tkezconfig::userNameWithProxy(info, out, error)) return true;
  EvDebug::Error(kTag, "%s", error.c_str());
  w.fail(error);
  return false;
}

// A password, plain or encrypted. False (refused) when it does not fit.
bool preparePassword(StorageLibraryRequest& w, const CNMessageBase& info, bool plain, std::string& out) {
  std::string error;
  if (tkezconfig::preparedPassword(info, plain, out, error)) return true;
  EvDebug::Error(kTag, "%s", error.c_str());
  w.fail(error);
  return false;
}

// Step 3: the mount path by name (and base folder) among those of the
// library for the media agent.
bool findMountPath(StorageLibraryRequest& w) {
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setIsolationType(kIsolation);
  list.setValues(w.libraryId, w.mediaAgentId);
  int count = 0;
  while (getNextRow(&list, &count, -1, 0) == 0) {
    const MMS2getMountPathListForLibAndMA_t* row = list.getDataPtr();
    if (row == nullptr) break;
    if (!equalIgnoringCase(row->o_mountPathName, w.mountPathName)) continue;
    if (!w.deviceName.empty() && !equalIgnoringCase(row->o_baseFolder, w.deviceName)) continue;
    w.mountPathId = row->o_mountPathId;
    w.mountPathType = row->o_mountPathType;
    return true;
  }
  EvDebug::Error(kTag, "Cannot find mount path [%s][%s] for library [%d] and media agent [%d]",
                 w.mountPathName.c_str(), w.deviceName.c_str(), w.libraryId, w.mediaAgentId);
  w.fail(catalogueText(w, kTextMountPathUnknown));
  return false;
}

// An ownership check's outcome: true, or false with the request refused.
bool owned(StorageLibraryRequest& w, tkezconfig::Ownership outcome, const std::string& refusal) {
  if (outcome == tkezconfig::Ownership::kOwn) return true;
  w.fail(refusal);
  return false;
}

bool libraryIdMatchesName(StorageLibraryRequest& w) {
  std::string refusal;
  return owned(w, tkezconfig::libraryIdMatchesName(w.libraryId, w.libraryName, w.locale, refusal), refusal);
}

bool mountPathOfLibrary(StorageLibraryRequest& w) {
  std::string refusal;
  return owned(w, tkezconfig::mountPathOfLibrary(w.mountPathId, w.libraryId, w.libraryName, w.locale, refusal),
               refusal);
}

// Step 4: the second media agent has no device controller on the mount
// path's device yet (a failed query refuses too).
bool noControllerYet(StorageLibraryRequest& w) {
  MMDeviceController controllers(nullptr);
  controllers.setIsolationType(kIsolation);
  controllers.setWhere(
      "DeviceId = (select DeviceId from MMMountPathToStorageDevice where MountPathId = %d) AND ClientId = %d",
      w.mountPathId, w.secondMediaAgentId);
  if (getOneRow(&controllers, false, -1, 0) == DB_NO_ROW) return true;
  EvDebug::Error(kTag, "%s", "Device controller with the same media agent and mount path exists already.");
  w.fail(catalogueText(w, kTextControllerExists));
  return false;
}

// Step 5: the device named by alias.
bool findDevice(StorageLibraryRequest& w) {
  MMDeviceDB devices;
  MMDevice_t row;
  if (devices.getInfoByAliasName(w.deviceAliasName.c_str(), row) != 0) {
    EvDebug::Error(kTag, "Error [%d] return from while getting the device info for device [%s].",
                   devices.getErrorCode(), w.deviceAliasName.c_str());
    w.fail(catalogueText(w, kTextDeviceUnknown));
    return false;
  }
  w.deviceId = row.DeviceId;
  w.storageVendorType = row.DeviceTypeId;
  return true;
}

// Steps 6.4 to 6.7: a media agent new enough, the cloud storage provisioned,
// and what the service made read back into the request.
bool provisionCloudStorage(StorageLibraryRequest& w) {
  MMMiscDB misc;
  int release = 0;
  int servicePack = 0;
  if (misc.getMAVersionInfo(w.mediaAgentId, release, servicePack) != 0) {
    const int code = misc.getErrorCode();
    EvDebug::Error(kTag, "Error: Failed to check MediaAgent version. ErrorCode[%d]", code);
    char text[kErrorTextSize];
    MMS2BaseError::getErrorStringForCode(code, text, sizeof text, static_cast<long long>(w.locale));
    w.fail(text);
    return false;
  }
  if (release < kCloudRelease || (release == kCloudRelease && servicePack < kCloudServicePack)) {
    EvDebug::Error(kTag, "Error: Unsupported MediaAgent version [%d.%d]. Minimum required version is [11.20]",
                   release, servicePack);
    w.fail(catalogueText(w, kTextMediaAgentTooOld));
    return false;
  }

  CNMessageBase& library = *w.library;
  using Storage = App::Storage;
  using User = Identity::UserInfo;
  using Credential = ZqEntities::CredentialEntity;
  constexpr tkxml::FieldDef kStorage = Info::kStorage;
  constexpr tkxml::FieldDef kUser = Storage::kUser;
  constexpr tkxml::FieldDef kCredential = Storage::kCredential;
  constexpr tkxml::FieldDef kUserName = User::kUserName;
  CNMessageBase& storage = library.getObjectAccessor(true, true, kStorage.ordinal, kStorage.tag, Info::kClassHash,
                                                     kStorage.hash, kStorage.ns, kStorage.cls);
  CNMessageBase& user = storage.getObjectAccessor(true, true, kUser.ordinal, kUser.tag, Storage::kClassHash,
                                                  kUser.hash, kUser.ns, kUser.cls);
  const long long vendorType =
      library.getint64(Info::kStorageVendorType.tag, Info::kClassHash, Info::kStorageVendorType.hash);
  storage.setint64(Storage::kVendorType.ordinal, Storage::kVendorType.tag, vendorType, Storage::kClassHash,
                   Storage::kVendorType.hash);
  user.setstring(kUserName.ordinal, kUserName.tag, w.userName, User::kClassHash, kUserName.hash);

  const int provisioned = w.ferrane.provisionStorage(storage, w.container);
  if (provisioned != 0) {
    EvDebug::Error(kTag, "Error: Failed to provision ferrane storage. ErrorCode[%d]", provisioned);
    char text[kEventTextSize];
    ArchBaseError::getEventText(provisioned, text, sizeof text, w.locale);
    w.fail(text);
    return false;
  }

  const long long madeVendor = storage.getint64(Storage::kVendorType.tag, Storage::kClassHash,
                                                Storage::kVendorType.hash);
  w.storageVendorType = static_cast<int>(madeVendor);
  library.setint64(Info::kStorageVendorType.ordinal, Info::kStorageVendorType.tag, madeVendor, Info::kClassHash,
                   Info::kStorageVendorType.hash);
  w.provisionedStorageType = static_cast<int>(
      storage.getint64(Storage::kStorageType.tag, Storage::kClassHash, Storage::kStorageType.hash));
  w.userName = user.getstring(kUserName.ordinal, kUserName.tag, User::kClassHash, kUserName.hash);
  if (w.userName.size() > tkezconfig::kUserNameBufferSize - 1) w.userName.resize(tkezconfig::kUserNameBufferSize - 1);

  const CNMessageBase& made = storage.getObjectAccessor(true, false, kCredential.ordinal, kCredential.tag,
                                                        Storage::kClassHash, kCredential.hash, kCredential.ns,
                                                        kCredential.cls);
  const long long credentialId = made.getint64(Credential::kId.tag, Credential::kClassHash, Credential::kId.hash);
  constexpr tkxml::FieldDef kLibraryCredential = Info::kCredential;
  CNMessageBase& credential = library.getObjectAccessor(true, true, kLibraryCredential.ordinal, kLibraryCredential.tag,
                                                        Info::kClassHash, kLibraryCredential.hash,
                                                        kLibraryCredential.ns, kLibraryCredential.cls);
  credential.setint64(Credential::kId.ordinal, Credential::kId.tag, credentialId, Credential::kClassHash,
                      Credential::kId.hash);

  w.mountPathName = storage.getstring(Storage::kStorageName.ordinal, Storage::kStorageName.tag, Storage::kClassHash,
                                      Storage::kStorageName.hash);
  library.setstring(Info::kMountPathName.ordinal, Info::kMountPathName.tag, w.mountPathName, Info::kClassHash,
                    Info::kMountPathName.hash);
  return true;
}

}  // namespace

bool EvMMConfigMgr::StorageLibPrepare(tkezconfig::StorageLibraryRequest& w) {
  // 1. The request's own model.
  w.config = std::make_unique<ZQMACMediaConfig>();
  if (!w.config->Initialize(ZQPI_Focus::getFocus())) {
    const std::string reason = w.config->GetLastError();
    EvDebug::Error(kTag, "%s", reason.empty() ? kTextModelUninitialized : reason.c_str());
    w.fail(reason.empty() ? kTextModelUninitialized : reason);
    return false;
  }

  // 2. Credentials; then the device named by the request.
  const bool create = w.operation == tkezconfig::kOpCreateLibrary;
  if (!prepareUserName(w, *w.library, w.userName) || !preparePassword(w, *w.library, create, w.password) ||
      !prepareUserName(w, *w.second, w.secondUserName) || !preparePassword(w, *w.second, false, w.secondPassword))
    return false;
  std::string alias = w.library->getstring(Info::kDeviceAliasName.ordinal, Info::kDeviceAliasName.tag,
                                           Info::kClassHash, Info::kDeviceAliasName.hash);
  w.deviceAliasName = MyUTF8Text(alias);
  std::string name = w.library->getstring(Info::kDeviceName.ordinal, Info::kDeviceName.tag, Info::kClassHash,
                                          Info::kDeviceName.hash);
  w.deviceName = MyUTF8Text(name);
  const long long deviceId = w.library->getint64(Info::kDeviceId.tag, Info::kClassHash, Info::kDeviceId.hash);
  w.deviceId = deviceId < INT32_MIN || deviceId > INT32_MAX ? 0 : static_cast<int>(deviceId);

  // 3. The mount path by name.
  const long long op = w.operation;
  const bool mountPathByName = op == tkezconfig::kOpMountPathProperties || op == tkezconfig::kOpDeleteMountPath ||
                               op == tkezconfig::kOpShareMountPath || op == tkezconfig::kOpUnshareMountPath ||
                               op == tkezconfig::kOpForceDeleteMountPath;
  const bool mountPathGiven = w.mountPathId != 0;
  if (mountPathByName && !mountPathGiven && w.libraryId >= 1 && w.mediaAgentId >= 1 && !findMountPath(w))
    return false;
  // A mount-path operation acts within the library it names: its id and
  // name must name one library, and a mount path given by id must be of it
  // (one found by name is). The mount-path deletions check the mount path
  // themselves, where they act. A library deletion takes its lock and
  // rights by the id and deconfigures by the name, and a library change
  // answers with the id and reads the library by the name: they must agree
  // too.
  const bool namesLibraryTwice = op == tkezconfig::kOpAddMountPath || op == tkezconfig::kOpAddMountPathShared ||
                                 op == tkezconfig::kOpDeleteLibrary || op == tkezconfig::kOpForceDeleteLibrary ||
                                 op == tkezconfig::kOpModifyLibrary;
  if ((mountPathByName || namesLibraryTwice) && !libraryIdMatchesName(w)) return false;
  const bool deletes = op == tkezconfig::kOpDeleteMountPath || op == tkezconfig::kOpForceDeleteMountPath;
  if (mountPathByName && mountPathGiven && !deletes && !mountPathOfLibrary(w)) return false;
  // 4. Sharing needs a media agent without a controller there.
  if (op == tkezconfig::kOpShareMountPath && !noControllerYet(w)) return false;
  // 5. The device by alias.
  if (!w.deviceAliasName.empty() && w.deviceId < 1 && op != tkezconfig::kOpCreateDevice && !findDevice(w))
    return false;

  // 6. Creating a library or adding a mount path: the folder, and cloud storage.
  if (op != tkezconfig::kOpCreateLibrary && op != tkezconfig::kOpAddMountPath) return true;
  const unsigned long refusal = tkezconfig::installDirectoryRefusal(
      kTag, static_cast<unsigned long>(w.mediaAgentId), w.startTime, w.mountPathName);
  if (refusal != 0) {
    w.fail(catalogueText(w, refusal));
    return false;
  }
  const long long vendorType =
      w.library->getint64(Info::kStorageVendorType.tag, Info::kClassHash, Info::kStorageVendorType.hash);
  if (vendorType != App::kFerraneStorageType) return true;
  return provisionCloudStorage(w);
}

tkezconfig::MediaAgentPower tkezconfig::mediaAgentPower(const StorageLibraryRequest& w, const char* tag) {
  MMHostDB hosts;
  bool powerManaged = false;
  bool poweredOff = false;
  if (hosts.isPowerManagedMA(w.mediaAgentId, powerManaged, poweredOff) != 0) {
    EvDebug::Error(tag, "Failed to get info for media agent [%d] from MMHost table", w.mediaAgentId);
    return MediaAgentPower::kUnread;
  }
  if (powerManaged && poweredOff) {
    EvDebug::Error(tag,
                   "Media Agent[%s] is powered off by Cloud VM Management. Please power on manually from media agent "
                   "properties.",
                   w.mediaAgentName.c_str());
    return MediaAgentPower::kPoweredOff;
  }
  return MediaAgentPower::kUsable;
}
