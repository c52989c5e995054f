// Creating a library on a media agent: operation 1 of the storage-library
// request. The frame has read the request, resolved names, checked rights,
// taken the media agent's lock and provisioned cloud storage where asked;
// this checks the keys and the media agent's power state, hands the whole
// creation to the media-configuration model (keyed by a mount path, a
// serial number the agent sees, or a disk device), associates the user with
// the new library and audits.
//
// The library and the user's association with it are one change
// (OperationChange): a refused association keeps no library, and the frame
// then deletes the cloud storage provisioned for it. Once the change is
// stored the result says the library was made, so that the frame keeps
// that storage whatever follows.
#include <string>

#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMMiscDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibCreateLibrary";

// Catalogue texts.
constexpr unsigned long kTextMediaAgentUnread = 0x230008B0;
constexpr unsigned long kTextNoMediaAgentNorDevice = 0x2300091F;
constexpr unsigned long kTextPoweredOff = 0x200001E8;   // %1 the media agent
constexpr unsigned long kTextNoKey = 0x230008B7;
constexpr unsigned long kTextNameInUse = 0x2400033D;    // %1 the library
constexpr unsigned long kTextUserNotAdded = 0x24000330;  // model's catalogue, %1 the library
constexpr const char* kTextCreationFailed = "The library could not be created.";

// The audit record and its parameters.
constexpr int kAuditLibraryCreated = 0x54000245;
constexpr int kParamLibrary = 0x550000BF;
constexpr int kParamMediaAgent = 0x550000C3;
constexpr int kParamObject = 0x5500018B;
constexpr int kParamCredential = 0x550006DB;

// The new library id until the model sets it.
constexpr int kNewLibraryUnset = -9999;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;
using Credential = ZqEntities::CredentialEntity;

template <class... Args>
void refuse(StorageLibraryRequest& w, unsigned long id, const Args&... arguments) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, w.locale, arguments...);
  w.fail(buffer);
}

// Only ASCII letters change; other bytes (parts of UTF-8 characters) stay.
std::string upperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Steps 1 to 4: the media agent's name, the keys, its power state.
bool checkInputs(StorageLibraryRequest& w) {
  if (w.mediaAgentId > 0 && w.mediaAgentName.empty()) {
    MMMiscDB misc;
    APP_Client_t client;
    if (misc.getClientInfo(w.mediaAgentId, client) != 0) {
      EvDebug::Error(kTag, "Failed to get info for media agent [%d] from APP_client table", w.mediaAgentId);
      refuse(w, kTextMediaAgentUnread);
      return false;
    }
    w.mediaAgentName = client.name;
  }
  if (w.mediaAgentName.empty() && w.deviceAliasName.empty()) {
    EvDebug::Error(kTag, "%s", "Media Agent Name and DeviceName in request are empty.");
    refuse(w, kTextNoMediaAgentNorDevice);
    return false;
  }
  switch (tkezconfig::mediaAgentPower(w, kTag)) {
    case tkezconfig::MediaAgentPower::kUnread: refuse(w, kTextMediaAgentUnread); return false;
    case tkezconfig::MediaAgentPower::kPoweredOff: refuse(w, kTextPoweredOff, w.mediaAgentName); return false;
    case tkezconfig::MediaAgentPower::kUsable: break;
  }
  if (w.mountPathName.empty() && w.serialNumber.empty() && w.deviceAliasName.empty()) {
    EvDebug::Error(kTag, "%s", "None of the [Mount Path,Serial Number,DeviceName] are given to create library.");
    refuse(w, kTextNoKey);
    return false;
  }
  return true;
}

void addParam(EvGuiAudit& audit, int messageId, std::initializer_list<const std::string*> arguments) {
  EvMessageContainer message;
  message.SetMessageID(messageId, true);
  for (const std::string* argument : arguments) message << argument->c_str();
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
}

}  // namespace

StorageLibResult EvMMConfigMgr::StorageLibCreateLibrary(StorageLibraryRequest& w) {
  const StorageLibResult failure{StorageLibOutcome::kFailure, false};
  CNMessageBase& library = *w.library;
  std::string serial = library.getstring(Info::kSerialNumber.ordinal, Info::kSerialNumber.tag, Info::kClassHash,
                                         Info::kSerialNumber.hash);
  w.serialNumber = MyUTF8Text(serial);
  if (!checkInputs(w)) return failure;

  // 5. The model's arguments; the serial number upper-cased for good.
  const long long vendorType =
      library.getint64(Info::kStorageVendorType.tag, Info::kClassHash, Info::kStorageVendorType.hash);
  w.storageVendorType = static_cast<int>(vendorType);
  w.serialNumber = upperAscii(w.serialNumber);
  const bool flag = library.getint64(Info::kAutoConfigFlag.tag, Info::kClassHash, Info::kAutoConfigFlag.hash) != 0;
  const CNMessageBase& credential =
      library.getObjectAccessor(true, false, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash,
                                Info::kCredential.hash, Info::kCredential.ns, Info::kCredential.cls);
  const int credentialId =
      static_cast<int>(credential.getint64(Credential::kId.tag, Credential::kClassHash, Credential::kId.hash));
  std::string credentialName = credential.getstring(Credential::kCredentialName.ordinal, Credential::kCredentialName.tag,
                                                    Credential::kClassHash, Credential::kCredentialName.hash);
  credentialName = MyUTF8Text(credentialName);

  // 6. A new disk library needs a name no library has.
  if (!w.mountPathName.empty()) {
    if (w.libraryId > 0) {
      EvDebug::Error(kTag, "MMLibraryDB:: Library name [%s] already exists. Please enter unique library name",
                     w.libraryName.c_str());
      refuse(w, kTextNameInUse, w.libraryName);
      return failure;
    }
    w.libraryId = -1;
  }

  // 7 and 8. The library, through the model.
  tkezconfig::OperationChange change(w, kTag);
  if (!change.begin()) return failure;
  int newLibraryId = kNewLibraryUnset;
  std::string serialLibraryName = w.serialNumber.empty() ? std::string() : w.libraryName;
  if (!w.config->AutoConfigLibrary(w.mediaAgentName, serialLibraryName, w.libraryId, w.serialNumber, w.libraryName,
                                   newLibraryId, w.mountPathName, w.userName, w.password, flag, w.storageVendorType,
                                   w.deviceId, w.deviceName, w.autoConfigText, credentialId,
                                   w.provisionedStorageType)) {
    const std::string reason = w.config->GetLastError().empty() ? kTextCreationFailed : w.config->GetLastError();
    EvDebug::Error(kTag, "ZQMACMediaConfig::AutoConfigLibrary returns error creating Library [%s]", reason.c_str());
    w.fail(reason);
    return failure;
  }

  // 9. The user's rights on it.
  if (newLibraryId != 0) {
    EvSecurityCheck security(w.record.sequenceNumber);
    std::string error;
    security.addUserToLibrary(w.record.userId, w.locale, static_cast<unsigned long>(newLibraryId), error, nullptr);
    if (!error.empty()) {
      EvDebug::Error(kTag, "Failed to add user to library with error [%s]", error.c_str());
      w.fail(ZQMACBase::GetMessageString(kTextUserNotAdded, w.libraryName.c_str()));
      return failure;
    }
    EvDebug::Debug(kTag, "Associated user [%d] to library [%s]", static_cast<int>(w.record.userId),
                   w.libraryName.c_str());
  }
  if (!change.commit()) return failure;

  // 10. The reply's library id.
  if (w.serialNumber.empty()) w.libraryId = newLibraryId;

  // 11. The audit.
  const std::string& key = w.serialNumber.empty() ? w.mountPathName : w.serialNumber;
  w.audit.setGUIAuditOperation(kAuditLibraryCreated, static_cast<int>(w.record.userId));
  addParam(w.audit, kParamLibrary, {&w.libraryName});
  addParam(w.audit, kParamMediaAgent, {&w.mediaAgentName});
  addParam(w.audit, kParamObject, {&w.libraryName, &key});
  addParam(w.audit, kParamCredential, {&credentialName});
  w.audit.guiAudit(0);
  return StorageLibResult{StorageLibOutcome::kSuccess, true};
}
