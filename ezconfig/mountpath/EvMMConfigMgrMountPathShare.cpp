// Sharing a disk mount path with one more media agent (operation 64 of the
// storage-library request), unsharing it (128), and the device-path half of
// changing its properties (8). The three share one front, which finds the
// device under the mount path and the controllers on it, and one tail,
// which builds the one device-path entry, settles its credentials, hands it
// to the media-management service and audits. Operation 8 runs its
// property steps (EvMMConfigMgrMountPathProperties.cpp) between the two.
//
// Nothing is sent before every check has passed: a refused share or
// unshare changes nothing, and a property change answered as failed keeps
// none of its properties. The last device path of a device is never
// removed. Texts of the request go into the entry whole or the request is
// refused; they are checked first, before any property is written.
//
// Also in this file: the texts and record helpers of MountPathOps.h.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Db/Tbl/APP_Credentials.h"
#include "Db/Tbl/MMDrivePool.h"
#include "ezconfig/mountpath/MountPathOps.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvMessageContainer.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/mmdb/MMDeviceDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "platform/tran/StoreStep.h"

namespace tkezconfig {

namespace {
constexpr std::size_t kCatalogueTextSize = 1024;
constexpr std::size_t kErrorTextSize = 1025;
}  // namespace

std::string mountPathCatalogueText(const StorageLibraryRequest& w, unsigned long id) {
  char text[kCatalogueTextSize];
  EvGetLocText(id, text, sizeof text, w.locale);
  return text;
}

std::string mountPathCatalogueText(const StorageLibraryRequest& w, unsigned long id, const std::string& argument) {
  char text[kCatalogueTextSize];
  EvGetLocText(id, text, sizeof text, w.locale, argument);
  return text;
}

std::string mountPathErrorText(const StorageLibraryRequest& w, int code) {
  char text[kErrorTextSize];
  ErrorTrans::getErrorString(code, text, sizeof text, w.locale);
  if (text[0] != '\0') return text;
  // A failure is never answered without a text.
  std::string catalogue = mountPathCatalogueText(w, static_cast<unsigned long>(static_cast<unsigned>(code)));
  if (!catalogue.empty()) return catalogue;
  std::snprintf(text, sizeof text, "The operation failed with error 0x%08X.", static_cast<unsigned>(code));
  return text;
}

void refuseTooLong(StorageLibraryRequest& w, const char* what, const std::string& text, std::size_t limit) {
  const std::string refusal = tkdb::notWhole(what, text, limit);
  EvDebug::Error("EvMMConfigMgr::onMsgConfigStorageLibrary", "%s", refusal.c_str());
  w.fail(refusal);
}

}  // namespace tkezconfig

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibShareMountPath";

// Texts, by code (ErrorTrans) or catalogue id.
constexpr int kErrorDeviceNotFound = 415;
constexpr int kErrorControllerExists = 0x23000950;
constexpr int kErrorDrivePool = 0x230006ec;
constexpr unsigned long kTextLastController = 0x2300093f;
constexpr unsigned long kTextBadCredential = 0x23000d7b;
constexpr unsigned long kTextCredentialUnread = 0x230006ec;
constexpr unsigned long kTextNamesMissing = 0x2300091a;
constexpr unsigned long kTextNotSent = 0x240001be;

// Audit operations and parameters.
constexpr int kAuditUnshare = 0x540000b7;
constexpr int kAuditProperties = 0x540000b9;
constexpr int kParamDeviceAndPath = 0x5500018b;
constexpr int kShareTypeShare = 1;

// The mount-path type of a path on a shared network or cloud device.
constexpr int kMountPathTypeSharedDevice = 7;
// Data-server bits of an access type.
constexpr long long kDataServerBits = 0xB0;
// When the library description's media agent has no controller on the
// device (a share may still go on), the new path is enabled and reaches the
// device both ways.
constexpr long long kDefaultEnabled = 1;
constexpr int kDefaultAccessType = 6;

using tkezconfig::MountPathShareWork;
using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;
using Credential = ZqEntities::CredentialEntity;

StorageLibResult failed() { return {StorageLibOutcome::kFailure, false}; }

void failWithCode(StorageLibraryRequest& w, int code) { w.fail(tkezconfig::mountPathErrorText(w, code)); }
void refuse(StorageLibraryRequest& w, unsigned long id) { w.fail(tkezconfig::mountPathCatalogueText(w, id)); }

// The access types a request may set.
bool isAcceptedAccessType(long long type) {
  static constexpr long long kAccepted[] = {4, 6, 10, 12, 14, 18, 20, 22, 34, 36, 38, 130, 132, 134};
  for (long long accepted : kAccepted)
    if (type == accepted) return true;
  return false;
}

long long secondAccessType(const StorageLibraryRequest& w) {
  return w.second->getint64(Info::kAccessType.tag, Info::kClassHash, Info::kAccessType.hash);
}

// The data-path credential of the second description (tag 88).
struct DataPathCredential {
  bool present = false;
  long long id = 0;
  std::string name;
};

DataPathCredential dataPathCredential(const StorageLibraryRequest& w) {
  const CNMessageBase& entity =
      w.second->getObjectAccessor(true, false, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash,
                                  Info::kCredential.hash, Info::kCredential.ns, Info::kCredential.cls);
  DataPathCredential c;
  c.present = entity.isSet(Credential::kId.ordinal, Credential::kClassHash, Credential::kId.hash);
  c.id = entity.getint64(Credential::kId.tag, Credential::kClassHash, Credential::kId.hash);
  c.name = entity.getstring(Credential::kCredentialName.ordinal, Credential::kCredentialName.tag,
                            Credential::kClassHash, Credential::kCredentialName.hash);
  return c;
}

// Before anything: every request text that may go into the entry fits it.
bool textsFit(StorageLibraryRequest& w, const DataPathCredential& credential) {
  MMConfigDeviceControllerInfo probe;
  if (credential.present && (credential.id < INT32_MIN || credential.id > INT32_MAX)) {
    refuse(w, kTextBadCredential);
    return false;
  }
  return tkezconfig::storeWhole(w, probe.folder, w.secondMountPathName, "mount path of the media agent") &&
         tkezconfig::storeWhole(w, probe.userName, w.secondUserName, "user name") &&
         (credential.present || tkezconfig::storeWhole(w, probe.password, w.secondPassword, "password"));
}

// The device under the mount path and the controllers on it. False when refused.
bool front(StorageLibraryRequest& w, MountPathShareWork& s) {
  const long long op = w.operation;
  MMDeviceDB devices;
  if (devices.getInfoByMountPath(w.mountPathId, s.device) != 0) {
    EvDebug::Error(kTag, "Error retrieving DeviceId for mediaAgent [%d], mountPathId [%d] and path [%s]: %d",
                   w.mediaAgentId, w.mountPathId, w.mountPathName.c_str(), devices.getErrorCode());
    failWithCode(w, kErrorDeviceNotFound);
    return false;
  }
  const int deviceId = s.device.DeviceId;
  MMDeviceControllerDB controllers;
  if (op == tkezconfig::kOpShareMountPath) {
    MMDeviceController_t existing;
    if (controllers.getInfoByHstAndDeviceId(w.secondMediaAgentId, deviceId, existing) == 0 &&
        existing.DeviceControllerId != 0) {
      EvDebug::Error(kTag, "Device Controller exists: mediaAgent [%d], mountPathId [%d] and path [%s]",
                     w.secondMediaAgentId, w.mountPathId, w.secondMountPathName.c_str());
      failWithCode(w, kErrorControllerExists);
      return false;
    }
  }
  if (controllers.getInfoByHstAndDeviceId(w.mediaAgentId, deviceId, s.controller) != 0) {
    if (op != tkezconfig::kOpShareMountPath) {
      EvDebug::Error(kTag, "Error retrieving DeviceControllerId for mediaAgent [%d], mountPathId [%d] and path [%s]: %d",
                     w.mediaAgentId, w.mountPathId, w.mountPathName.c_str(), controllers.getErrorCode());
      failWithCode(w, kErrorDeviceNotFound);
      return false;
    }
    s.controller.DeviceControllerId = 0;
    s.controller.DeviceControllerEnabled = static_cast<int>(kDefaultEnabled);
    s.controller.DeviceAccessType = kDefaultAccessType;
  }
  if (op == tkezconfig::kOpUnshareMountPath) {
    MMDeviceController_t* rows = nullptr;
    int count = 0;
    const int listed = controllers.getListByDeviceId(deviceId, rows, count);
    if (rows != nullptr) MMDeviceControllerDB::DeleteList(rows, __FILE__, __LINE__);
    if (listed != 0) {
      const int code = controllers.getErrorCode();
      EvDebug::Error(kTag, "Error get list of device controllers for deviceId [%d]. Error Code [%d]", deviceId, code);
      failWithCode(w, code);
      return false;
    }
    if (count == 1) {
      EvDebug::Error(kTag, "Cannot delete the last device controller for deviceId [%d]. Error Code [%d]", deviceId,
                     static_cast<int>(kTextLastController));
      refuse(w, kTextLastController);
      return false;
    }
  }
  MMConfigDeviceControllerInfo& e = s.entry;
  if (op == tkezconfig::kOpShareMountPath) {
    e.operation = MM_DEVICE_CONTROLLER_ADD;
    e.deviceControllerId = 0;
  } else {
    e.operation = op == tkezconfig::kOpMountPathProperties ? MM_DEVICE_CONTROLLER_CHANGE : MM_DEVICE_CONTROLLER_REMOVE;
    e.deviceControllerId = static_cast<uint32_t>(s.controller.DeviceControllerId);
  }
  return true;
}

// The entry. False when refused.
bool buildEntry(StorageLibraryRequest& w, MountPathShareWork& s, const DataPathCredential& credential) {
  MMConfigDeviceControllerInfo& e = s.entry;
  e.enabled = s.controller.DeviceControllerEnabled;
  const long long requested = secondAccessType(w);
  e.deviceAccessType = static_cast<uint32_t>(isAcceptedAccessType(requested) ? requested
                                                                             : s.controller.DeviceAccessType);
  MMDrivePool pools(nullptr);
  pools.setWhere("MasterPoolId in (select MasterPoolId from MMMasterPool where LibraryId = %d) and ClientId = %d",
                 w.libraryId, w.mediaAgentId);
  if (getOneRow(&pools, false, -1, 0) != 0) {
    EvDebug::Error(kTag, "Failed to get DrivePool Info for mountPath [%s]", w.mountPathName.c_str());
    failWithCode(w, kErrorDrivePool);
    return false;
  }
  e.maxDrivesToSwitch = static_cast<uint32_t>(pools.getDataPtr()->MaxDrivesToSwitch);
  e.clientId = static_cast<uint32_t>(w.secondMediaAgentId);
  if (!tkezconfig::storeWhole(w, e.folder, w.secondMountPathName, "mount path of the media agent")) return false;

  if (!credential.present) {
    return tkezconfig::storeWhole(w, e.userName, w.secondUserName, "user name") &&
           tkezconfig::storeWhole(w, e.password, w.secondPassword, "password");
  }
  if (credential.id == 0) {
    EvDebug::Error(kTag,
                   "Invalid credential in the request mountPath [%s]. Please provide valid credential information.",
                   w.mountPathName.c_str());
    refuse(w, kTextBadCredential);
    return false;
  }
  const int credentialId = static_cast<int>(credential.id);
  if (w.operation == tkezconfig::kOpShareMountPath && w.mountPathType == kMountPathTypeSharedDevice) {
    int read = 0;
    switch (checkCredentialForVendor(credentialId, s.device.DeviceTypeId, &read)) {
      case CredentialCheck::LookupFailed:
        EvDebug::Error(kTag, "Failed to get credential info from database for credential[%d,%s]. Error[%d, %s]",
                       credentialId, credential.name.c_str(), read, DBtable::getErrorStr(read));
        refuse(w, kTextCredentialUnread);
        return false;
      case CredentialCheck::Misfit:
        EvDebug::Error(kTag,
                       "Invalid credential in the request mountPath [%s] vendor type is not matched. Please provide "
                       "valid credential information.",
                       w.mountPathName.c_str());
        refuse(w, kTextBadCredential);
        return false;
      case CredentialCheck::Fits:
        if (!tkezconfig::storeWhole(w, e.userName, w.secondUserName, "user name")) return false;
        break;
    }
  }
  e.credentialId = static_cast<uint32_t>(credentialId);
  return true;
}

// The entry to the media-management service. False
// when refused or when the service fails.
bool sendEntry(StorageLibraryRequest& w, MountPathShareWork& s) {
  const long long op = w.operation;
  if (w.secondMountPathName.empty() && op != tkezconfig::kOpUnshareMountPath) {
    const bool dataServer = (secondAccessType(w) & kDataServerBits) != 0;
    if (op == tkezconfig::kOpShareMountPath && !dataServer) {
      // A share without a path would answer success and share nothing.
      EvDebug::Error(kTag, "No path given to share mount path [%s] with media agent [%d]", w.mountPathName.c_str(),
                     w.secondMediaAgentId);
      refuse(w, kTextNamesMissing);
      return false;
    }
    // A change without a path keeps the controller's folder as it is.
    if (op != tkezconfig::kOpShareMountPath) return true;
  }
  const std::vector<MMConfigDeviceControllerInfo> list{s.entry};
  ZQMMDeviceInfo devices(1);
  if (devices.configDeviceControllerList(s.device.DeviceId, list) != 0) {
    int code = 0;
    devices.GetErrorCode(code);
    EvDebug::Error(kTag, "Failed to send config request for the device Controllers to MediaManager due to error[%d]",
                   code);
    char text[1025];
    ErrorTrans::getErrorString(code, text, sizeof text, w.locale);
    w.fail(text[0] == '\0' ? tkezconfig::mountPathCatalogueText(w, kTextNotSent) : std::string(text));
    return false;
  }
  return true;
}

// The audit record of the operation.
void writeAudit(StorageLibraryRequest& w, MountPathShareWork& s, const DataPathCredential& credential) {
  const int user = static_cast<int>(w.record.userId);
  if (w.operation == tkezconfig::kOpShareMountPath) {
    std::string pathText = w.secondMountPathName;
    EvMMConfigMgr::buildAuditForMPShare(kShareTypeShare, static_cast<int>(secondAccessType(w)), w.record.userId,
                                        w.audit, std::string(w.libraryName), pathText, w.secondMediaAgentId,
                                        w.mountPathId, w.locale, credential.id > 0 ? credential.name.c_str() : nullptr);
  } else if (w.operation == tkezconfig::kOpUnshareMountPath) {
    w.audit.setGUIAuditOperation(kAuditUnshare, user);
    EvMessageContainer message;
    message.SetMessageID(kParamDeviceAndPath, true);
    message << s.device.AliasName << w.secondMountPathName.c_str();
    w.audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  } else {
    w.audit.setGUIAuditOperation(kAuditProperties, user);
    for (const EvMessageContainer& message : s.propertyAudit) w.audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  }
  w.audit.guiAudit(0);
}

}  // namespace

tkezconfig::StorageLibResult EvMMConfigMgr::StorageLibShareMountPath(tkezconfig::StorageLibraryRequest& w) {
  MountPathShareWork s;
  const DataPathCredential credential = dataPathCredential(w);
  if (!textsFit(w, credential) || !front(w, s) || !buildEntry(w, s, credential)) return failed();
  if (w.operation != tkezconfig::kOpMountPathProperties) {
    if (!sendEntry(w, s)) return failed();
    writeAudit(w, s, credential);
    return {StorageLibOutcome::kSuccess, false};
  }
  // The properties are written one by one and the device path after them:
  // a request answered as failed must keep none of them, so they are stored
  // together or not at all.
  tktran::StoreStep step(kTag);
  if (!step.begin()) {
    w.fail("The mount path's properties were not changed: " + step.error());
    return failed();
  }
  if (!StorageLibMountPathProperties(w, s) || !sendEntry(w, s)) return failed();  // rolled back
  if (!step.commit()) {
    w.fail("The mount path's properties were not changed: " + step.error());
    return failed();
  }
  writeAudit(w, s, credential);
  return {StorageLibOutcome::kSuccess, false};
}
