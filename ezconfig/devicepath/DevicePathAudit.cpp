// Audit records of device paths: the record of sharing or unsharing a mount
// path with a media agent (the device-path request and the storage-library
// request use it), and the audit pass of the device-path request, which runs
// after the list update has succeeded.
//
// The pass writes one record per accepted entry, each on its own (no
// transaction: a failed write loses that record only, and the changes it
// describes stand). Entries refused by the rights check changed nothing and
// get no record. A change (operation 2) is held against its own previous
// values: the caller keeps one previous-values entry per operation-2 entry
// of the request, accepted or not, and the pass moves its cursor over every
// operation-2 entry.
//
// Failed lookups never stop the pass: a mount path or device that cannot be
// read gives an empty name, a media agent without a display name an empty
// one, and a data-server path that cannot be read the text of 0x230006AE.
// Texts from clients and the catalogue are audit arguments and log
// arguments, never formats.
#include <cstdint>
#include <string>
#include <vector>

#include "Db/Proc/MMGetDataServerPath.h"
#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/MMLibrary.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvMessageContainer.h"
#include "frame/TextHelpers.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceDB.h"
#include "platform/xml/DevicePathMessages.h"

namespace {

constexpr const char* kTagShare = "EvMMConfigMgr::buildAuditForMPShare";
constexpr const char* kTagPass = "EvMMConfigMgr::auditDevicePathChanges";

// Audit operations.
constexpr int kAuditShare = 0x5400020E;    // a mount path shared with a media agent
constexpr int kAuditUnshare = 0x5400020D;  // a mount path unshared from a media agent
constexpr int kAuditChange = 0x540000B9;   // a device path changed
// Audit parameters.
constexpr int kParamLibrary = 0x550000BF;             // library name
constexpr int kParamMountPath = 0x550000C4;           // mount-path name
constexpr int kParamAgentAndPath = 0x550000C3;        // "[media agent] (path)"
constexpr int kParamCredential = 0x550006DB;          // credential name
constexpr int kParamDevicePath = 0x55000538;          // device, media agent, old path
constexpr int kParamFolder = 0x55000330;              // old folder, new folder
constexpr int kParamAccessType = 0x550004AB;          // old access text, new access text
constexpr int kParamDrivesToUnlimited = 0x550004A4;   // old limit
constexpr int kParamDrivesFromUnlimited = 0x550004A3;  // new limit
constexpr int kParamDrives = 0x55000472;              // old limit, new limit
constexpr int kParamCredentialChange = 0x550006A3;    // old credential name, new credential name
// Catalogue text of an old path that cannot be named.
constexpr unsigned long kTextNoPath = 0x230006AE;

// Share types (operations of a device path).
constexpr long long kOperationAdd = 1;
constexpr long long kOperationChange = 2;
constexpr long long kOperationRemove = 3;

// Drive-switch limits from this value on are all "unlimited".
constexpr long long kUnlimitedDrives = 1000;

constexpr std::size_t kTextSize = 1024;

using Info = EVGui::MMDevicePathInfo;
using EVGui::IdName;
using ZqEntities::CredentialEntity;

// Reading the fields of a device path.
long long intOf(const CNMessageBase& message, unsigned classHash, const tkxml::FieldDef& field) {
  return message.getint64(field.tag, classHash, field.hash);
}
std::string textOf(const CNMessageBase& message, unsigned classHash, const tkxml::FieldDef& field) {
  return message.getstring(field.ordinal, field.tag, classHash, field.hash);
}
CNMessageBase& objectOf(CNMessageBase& message, const tkxml::FieldDef& field) {
  return message.getObjectAccessor(false, false, field.ordinal, field.tag, Info::kClassHash, field.hash, field.ns,
                                   field.cls);
}

// What the pass reads of one device path.
struct DevicePath {
  long long deviceId = 0;
  long long controllerId = 0;
  long long clientId = 0;
  std::string folder;
  long long accessType = 0;
  long long operation = 0;
  long long maxDrivesToSwitch = 0;
  long long credentialId = 0;
  std::string credentialName;
};

DevicePath readDevicePath(const CNMessageBase& message) {
  CNMessageBase info(message);  // the object accessors need a message of their own
  DevicePath path;
  path.deviceId = intOf(info, Info::kClassHash, Info::kDeviceId);
  path.controllerId = intOf(info, Info::kClassHash, Info::kDeviceControllerId);
  path.folder = textOf(info, Info::kClassHash, Info::kFolder);
  path.accessType = intOf(info, Info::kClassHash, Info::kAccessType);
  path.operation = intOf(info, Info::kClassHash, Info::kOperation);
  path.maxDrivesToSwitch = intOf(info, Info::kClassHash, Info::kMaxDrivesToSwitch);
  const CNMessageBase& agent = objectOf(info, Info::kMediaAgent);
  path.clientId = intOf(agent, IdName::kClassHash, IdName::kId);
  const CNMessageBase& credential = objectOf(info, Info::kCredential);
  path.credentialId = intOf(credential, CredentialEntity::kClassHash, CredentialEntity::kId);
  path.credentialName = textOf(credential, CredentialEntity::kClassHash, CredentialEntity::kCredentialName);
  return path;
}

std::string displayNameOf(long long clientId) {
  std::string name;
  ZQClient client(static_cast<unsigned long>(clientId));
  client.getDisplayName(name, nullptr);  // empty when the client is unknown
  return name;
}

std::string catalogueText(unsigned long id, unsigned long locale) {
  char text[kTextSize];
  EvGetLocText(id, text, sizeof text, locale);
  return text;
}

void addParam(EvGuiAudit& audit, EvMessageContainer& message) { audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr); }

// The old path of a changed device path: its previous folder, else its
// data-server path, else the text of 0x230006AE. A failed data-server path
// lookup is logged and does not stop the record: the change has been made.
std::string oldPathText(std::string previousFolder, long long controllerId, unsigned long locale) {
  std::string path = MyUTF8Text(previousFolder);
  if (path.empty()) {
    const int result = dataServerPathOf(static_cast<int>(controllerId), path);
    if (!dataServerPathRead(result)) {
      EvDebug::Error(kTagPass,
                     "DB query to get the data server path information for device controller id [%lu] failed with "
                     "error code [%d]",
                     static_cast<unsigned long>(controllerId), result);
    }
  }
  if (path.empty()) path = catalogueText(kTextNoPath, locale);
  return path;
}

// The record of a changed device path (operation 2), against its previous
// values (null when the caller kept none: then only what it names is shown).
void buildChangeRecord(EvGuiAudit& audit, const DevicePath& path, const DevicePath* previous,
                       const std::string& libraryName, const std::string& deviceName, unsigned int userId,
                       unsigned long locale) {
  const std::string displayName = displayNameOf(path.clientId);
  const std::string oldPath =
      oldPathText(previous != nullptr ? previous->folder : std::string(), path.controllerId, locale);
  EvMessageContainer message;
  audit.setGUIAuditOperation(kAuditChange, static_cast<int>(userId));
  message.SetMessageID(kParamLibrary, true);
  message << libraryName;
  addParam(audit, message);
  message.SetMessageID(kParamDevicePath, true);
  message << deviceName << displayName << oldPath;
  addParam(audit, message);
  if (previous == nullptr) return;

  if (previous->folder != path.folder) {
    message.SetMessageID(kParamFolder, true);
    message << previous->folder << path.folder;
    addParam(audit, message);
  }
  if (previous->accessType != path.accessType) {
    std::string oldText;
    std::string newText;
    EvMMConfigMgr::getDeviceAccessTypeChangeInfo(static_cast<int>(previous->accessType),
                                                 static_cast<int>(path.accessType), oldText, newText, locale);
    message.SetMessageID(kParamAccessType, true);
    message << oldText << newText;
    addParam(audit, message);
  }
  const long long oldDrives = previous->maxDrivesToSwitch;
  const long long newDrives = path.maxDrivesToSwitch;
  if (oldDrives != newDrives) {
    const bool oldUnlimited = oldDrives >= kUnlimitedDrives;
    const bool newUnlimited = newDrives >= kUnlimitedDrives;
    if (!oldUnlimited && newUnlimited) {
      message.SetMessageID(kParamDrivesToUnlimited, true);
      message << oldDrives;
      addParam(audit, message);
    } else if (oldUnlimited && !newUnlimited) {
      message.SetMessageID(kParamDrivesFromUnlimited, true);
      message << newDrives;
      addParam(audit, message);
    } else if (!oldUnlimited && !newUnlimited) {
      message.SetMessageID(kParamDrives, true);
      message << oldDrives << newDrives;
      addParam(audit, message);
    }
  }
  if (static_cast<int32_t>(previous->credentialId) != static_cast<int32_t>(path.credentialId)) {
    message.SetMessageID(kParamCredentialChange, true);
    message << previous->credentialName << path.credentialName;
    addParam(audit, message);
  }
}

}  // namespace

void EvMMConfigMgr::buildAuditForMPShare(int shareType, int accessType, unsigned int userId, EvGuiAudit& audit,
                                         const std::string& libraryName, std::string& pathText, int clientId,
                                         int mountPathId, unsigned long locale, const char* credentialName) {
  std::string mountPathName;
  {
    MMS2getMountPathNameGUIView view(nullptr);
    view.setIsolationType(4);
    view.setWhere("MountPathID = %d", mountPathId);
    if (getOneRow(&view, true, -1, 0) == 0) {
      mountPathName = view.getDataPtr()->MountPathName;
    } else {
      EvDebug::Debug(kTagShare, "Failed to get mount path info for Mount Path Id [%d].", mountPathId);
    }
  }
  const std::string displayName = displayNameOf(clientId);
  getDataServerString(accessType, pathText, locale);

  if (shareType == kOperationAdd) {
    audit.setGUIAuditOperation(kAuditShare, static_cast<int>(userId));
  } else if (shareType == kOperationRemove) {
    audit.setGUIAuditOperation(kAuditUnshare, static_cast<int>(userId));
  }
  EvMessageContainer message;
  message.SetMessageID(kParamLibrary, true);
  message << libraryName;
  addParam(audit, message);
  message.SetMessageID(kParamMountPath, true);
  message << mountPathName;
  addParam(audit, message);
  message.SetMessageID(kParamAgentAndPath, true);
  message << ("[" + displayName + "] (" + pathText + ")");
  addParam(audit, message);
  if (credentialName != nullptr) {
    message.SetMessageID(kParamCredential, true);
    message << credentialName;
    addParam(audit, message);
  }
}

void EvMMConfigMgr::auditDevicePathChanges(const std::vector<DevicePathAuditEntry>& entries,
                                           const tkxml::MessageList& previousValues, const MMLibrary_t& library,
                                           int mountPathId, unsigned int userId, unsigned long locale) {
  const std::string libraryName = library.AliasName;
  std::size_t cursor = 0;  // over previousValues, one step per operation-2 entry
  for (const DevicePathAuditEntry& entry : entries) {
    if (entry.info == nullptr) continue;
    const DevicePath path = readDevicePath(*entry.info);
    bool hasPrevious = false;
    DevicePath previous;
    if (path.operation == kOperationChange) {
      if (cursor < previousValues.size()) {
        previous = readDevicePath(previousValues[cursor]);
        hasPrevious = true;
      }
      ++cursor;
    }
    if (!entry.accepted) continue;  // refused: nothing was changed for it

    std::string deviceName;
    {
      MMDeviceDB devices;
      MMDevice_t device;
      if (devices.getInfo(static_cast<int>(path.deviceId), device) == 0) {
        deviceName = device.AliasName;
      } else {
        EvDebug::Error(kTagPass, "Failed to get deviceInfo from DB for deviceId[%d] due to error [%d]",
                       static_cast<int>(path.deviceId), devices.getErrorCode());
      }
    }

    EvGuiAudit audit(nullptr);
    audit.SetEntityParam(ZqEntities::ENTITY_MOUNT_PATH, mountPathId);
    std::string pathText = path.folder;
    switch (path.operation) {
      case kOperationRemove:
        buildAuditForMPShare(static_cast<int>(kOperationRemove), static_cast<int>(path.accessType), userId, audit,
                             libraryName, pathText, static_cast<int>(path.clientId), mountPathId, locale, nullptr);
        break;
      case kOperationAdd:
        buildAuditForMPShare(static_cast<int>(kOperationAdd), static_cast<int>(path.accessType), userId, audit,
                             libraryName, pathText, static_cast<int>(path.clientId), mountPathId, locale,
                             path.credentialId >= 1 ? path.credentialName.c_str() : nullptr);
        break;
      case kOperationChange:
        if (!hasPrevious) {
          EvDebug::Error(kTagPass, "No previous values for device controller [%lld]; its change is audited without them.",
                         path.controllerId);
        }
        buildChangeRecord(audit, path, hasPrevious ? &previous : nullptr, libraryName, deviceName, userId, locale);
        break;
      default:
        break;  // the record carries its entity only
    }
    audit.guiAudit(0);
  }
}
