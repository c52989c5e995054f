// The mount-path request (onMsgSetMMMountPath), through the Set loop of
// HandlerSkeleton.h, one record (element 4001) at a time:
//
//   1  add a mount path (11041) to the disk library of 11003. Without a
//      network share (11192) it is a local or SAN path of the type of 11185,
//      with the decrypted credentials; a device id (11186) of a device that
//      is no SAN device (or a GFS one) decides the type by the device's
//      kind. With 11192 a network-sharing device is made with one volume for
//      the media agent of the first 2048 and, with 11209 and credentials,
//      one for each further 2048; the path lies on that device. A
//      controller limit of the first media agent refuses first. Once added,
//      the media agents are shared into the storage pools that use the
//      path, the configuration is re-read, the addition audited under the
//      library of 4108 and announced; a failure of the sharing or the
//      re-read is answered once, status 2 with its text, after them.
//   3  change the mount path of 11003: a decrypted user name (2401) and
//      password (2402) are written together; then the new name (11041).
//      A refused step ends the request and keeps the earlier ones. An
//      unknown handle, or one of another kind of object, changes nothing.
//      "Success" is followed by the automatic-refresh notice of the disk
//      library of 4108.
//
// A failed addition leaves nothing behind: the network-sharing device and
// the volumes made for it are removed (rows and objects) before the answer.
// The user name and password arrive encrypted and are decrypted when they
// arrive, the password (and a proxy password the user name carries) into
// the form the database keeps passwords in; one
// that cannot be read is logged and counts as absent, and the record goes
// on without it. Both live only for the request and are wiped when it
// ends; they are never logged.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/CredentialElements.h"
#include "frame/ElementTags.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/tran/StoreStep.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::SetOutcome;

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMMountPath";

constexpr uint32_t kOpAdd = 1;
constexpr uint32_t kOpModify = 3;

constexpr uint32_t kElementLibraryId = tktag::kLibraryId;
constexpr uint32_t kElementPath = tktag::kPath;
constexpr uint32_t kElementType = tktag::kMountPathType;
constexpr uint32_t kElementDeviceId = tktag::kForeignAgentId;
constexpr uint32_t kElementMediaAgent = tktag::kMediaAgent;  // [u32 id][text], repeated
constexpr uint32_t kElementUserName = tktag::kUserName;
constexpr uint32_t kElementPassword = tktag::kPassword;
constexpr uint32_t kElementCredentialId = tktag::kCredential;   // [u32 ...]
constexpr uint32_t kElementShareVolume = tktag::kDiskDevice;   // [u32][text]
constexpr uint32_t kElementFurtherVolume = tktag::kMountPoint;
constexpr uint32_t kElementAccessType = tktag::kDeviceAccessType;

// The path that asks for a device named after itself ("MF_" + name).
constexpr const char* kDiskFolder = "ZQDiskFolder";
constexpr int kNetworkShareKind = 1;
constexpr int kShareAccessType = 14;
constexpr int kTypeLocal = 1;
constexpr int kTypeShared = 4;
constexpr int kTypeSharedOfKind4 = 5;
constexpr int kTypeCloud = 7;
constexpr int kTypeBoost = 8;
constexpr int kMagLibKind4 = 4;
constexpr int kWriters = 1000;
constexpr int kReserveMB = 1000;

constexpr unsigned long kTextPathInUse = 0x2400005E;
constexpr unsigned long kTextPathUnreached = 0x2400004B;
constexpr int kAuditAdd = 0x540000B5;
constexpr int kParamMountPath = 0x5500018B;
constexpr std::size_t kErrorTextSize = 2048;

using tkmm::wipe;
template <class T>
using Value = tkmm::ElementValue<T>;

// The network-sharing device of an addition and the volumes made for it:
// removed (rows and objects, volumes first so that nothing points at a
// freed device) unless the mount path was added.
class ShareGuard {
 public:
  explicit ShareGuard(ZQMACMediaConfig& config) : m_config(config) {}
  ~ShareGuard() {
    if (m_device == nullptr) return;
    for (ZQMACDiskVolume* volume : m_volumes)
      if (!m_config.DeleteObject(volume)) EvDebug::Error(kTag, "A volume of the failed mount path stays stored.");
    if (!m_config.DeleteObject(m_device))
      EvDebug::Error(kTag, "The device of the failed mount path stays stored: %s", m_config.GetLastError().c_str());
  }
  ShareGuard(const ShareGuard&) = delete;
  ShareGuard& operator=(const ShareGuard&) = delete;

  void take(ZQMACDiskDevice* device) { m_device = device; }
  void take(ZQMACDiskVolume* volume) { m_volumes.push_back(volume); }
  ZQMACDiskDevice* device() const { return m_device; }
  void keep() {
    m_device = nullptr;
    m_volumes.clear();
  }

 private:
  ZQMACMediaConfig& m_config;
  ZQMACDiskDevice* m_device = nullptr;
  std::vector<ZQMACDiskVolume*> m_volumes;
};

class MountPathRequest : public tkmm::SetRecordHandler {
 public:
  explicit MountPathRequest(MessageInfo* request) : m_request(request), m_services(0) {}
  ~MountPathRequest() override {
    wipe(m_userName);
    wipe(m_password);
  }
  MountPathRequest(const MountPathRequest&) = delete;
  MountPathRequest& operator=(const MountPathRequest&) = delete;

  bool servesOperation(uint32_t operation) const override { return operation == kOpModify || operation == kOpAdd; }
  // An addition checks its own elements: a typed one needs no handle.
  bool needsObject(uint32_t operation) const override { return operation == kOpModify; }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementLibraryId: m_libraryId = MessageWalker::readU32(value, length); return true;
      case kElementPath:
        m_path = MessageWalker::readText(value, length);
        m_hasPath = true;
        return true;
      case kElementUserName: takeUserName(value, length); return true;
      case kElementPassword: takePassword(value, length); return true;
      case kElementType: m_type.set(MessageWalker::readU32(value, length)); return true;
      case kElementDeviceId: m_deviceId.set(MessageWalker::readU32(value, length)); return true;
      case kElementMediaAgent: {
        std::string name = length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length);
        if (m_agentName.has)
          m_furtherAgents.push_back(std::move(name));
        else
          m_agentName.set(std::move(name));
        return true;
      }
      case kElementCredentialId: m_credentialId.set(MessageWalker::readU32(value, length)); return true;
      case kElementShareVolume:
        m_shareVolume.set(length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length));
        return true;
      case kElementFurtherVolume: m_furtherVolume.set(MessageWalker::readText(value, length)); return true;
      case kElementAccessType: m_accessType.set(MessageWalker::readU32(value, length)); return true;
      default: return false;
    }
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(locale());
    if (!m_refusal.empty()) return SetOutcome::failure(m_refusal);
    if (!m_userRefusal.empty()) return SetOutcome::failure(m_userRefusal);
    return record.operation == kOpAdd ? add(record) : modify(record);
  }

 private:
  unsigned long locale() const { return EvReturnData::returnLocaleId(m_request->sequenceNumber); }
  SetOutcome modify(const tkmm::SetRecord& record);
  SetOutcome add(const tkmm::SetRecord& record);
  // The controller limit of the media agent in the library: empty, or the
  // refusal's text.
  std::string controllerLimit(ZQMACMagLib& library, ZQMACMediaAgent& agent) const;
  // The share's device and volumes; empty, or the failure's text.
  std::string makeShare(ZQMACMediaConfig& config, ZQMACMagLib& library, ShareGuard& share, MountPathInfo& info);
  // A volume of the share's device for the agent; empty, or the failure.
  std::string addVolume(ShareGuard& share, ZQMACMediaAgent* agent, const std::string& volume, bool credentials,
                        const int* accessType);
  // The password that goes with the user name, when there is one to go.
  bool passwordGoes() const { return m_hasUserName && m_hasPassword; }
  void takeUserName(const char* value, unsigned int length) {
    m_hasUserName = tkmm::decryptUserNameForStorage(m_services, m_request, value, length, kTag, m_userName,
                                                    m_userRefusal);
  }
  void takePassword(const char* value, unsigned int length) {
    m_hasPassword = tkmm::decryptPasswordForStorage(m_services, m_request, value, length, kTag, m_password, m_refusal);
  }
  void announce() const {
    tkmm::sendRefreshNotice(static_cast<int>(m_libraryId), ZqEntities::ENTITY_MOUNT_PATH, m_request->autoRefreshGuiId);
  }

  MessageInfo* m_request;
  EvExternal m_services;
  uint32_t m_libraryId = 0;
  bool m_hasPath = false;
  std::string m_path;
  bool m_hasUserName = false;
  std::string m_userName;
  bool m_hasPassword = false;
  std::string m_password;
  // Why the password cannot be stored (too long for its column); the
  // record is refused with it.
  std::string m_refusal;
  // Why the proxy password the user name carries cannot be stored.
  std::string m_userRefusal;
  Value<uint32_t> m_type;
  Value<uint32_t> m_deviceId;
  Value<std::string> m_agentName;
  std::vector<std::string> m_furtherAgents;
  Value<uint32_t> m_credentialId;
  Value<std::string> m_shareVolume;
  Value<std::string> m_furtherVolume;
  Value<uint32_t> m_accessType;
};

SetOutcome MountPathRequest::modify(const tkmm::SetRecord& record) {
  if (ZQMACMountPath* path = record.object<ZQMACMountPath>()) {
    if (m_hasUserName) path->SetUserName(m_userName);
    if (m_hasPassword) path->SetUserPassword(m_password);
    if ((m_hasUserName || m_hasPassword) && !path->UpdateNameAndPassword()) return SetOutcome::lastError(*path);
    if (m_hasPath && !path->SetName(m_path)) return SetOutcome::lastError(*path);
  }
  EvMMConfigMgr::sendOperationResponse(m_request->sequenceNumber, m_request->socket, record.operation, 1, "Success", 0);
  announce();
  return SetOutcome::answered(true, true);
}

std::string MountPathRequest::controllerLimit(ZQMACMagLib& library, ZQMACMediaAgent& agent) const {
  MMDebug log;
  MMDeviceControllerDB controllers(&log);
  if (controllers.canAddController(static_cast<int>(library.GetId()), 0, static_cast<int>(agent.GetId()), nullptr) == 0)
    return {};
  char text[kErrorTextSize] = {};
  MMS2BaseError::getErrorStringForCode(controllers.getErrorCode(), text, sizeof text,
                                       static_cast<long long>(locale()));
  return text;
}

std::string MountPathRequest::addVolume(ShareGuard& share, ZQMACMediaAgent* agent, const std::string& volume,
                                        bool credentials, const int* accessType) {
  auto made = std::make_unique<ZQMACDiskVolume>();
  made->SetMediaAgent(agent);
  made->SetDiskDevice(share.device(), true);
  made->SetVolume(volume);
  if (credentials) {
    if (m_hasUserName) made->SetUserName(m_userName);
    if (passwordGoes()) made->SetUserPassword(m_password);
    if (m_credentialId.has) made->SetCredentialId(static_cast<int>(m_credentialId.value));
  }
  made->SetDetected(true);
  if (accessType != nullptr) made->SetDeviceAccessType(*accessType);
  if (!made->Configure(0)) return made->GetLastError();  // the unsaved volume goes with `made`
  share.take(made.release());
  return {};
}

std::string MountPathRequest::makeShare(ZQMACMediaConfig& config, ZQMACMagLib& library, ShareGuard& share,
                                        MountPathInfo& info) {
  std::unique_ptr<ZQMACDiskDevice> device = ZQMACDiskDevice::GetNewNetworkSharingDiskObject(kNetworkShareKind);
  if (device == nullptr || !config.AddDiskDevice(device.get())) return config.GetLastError();
  share.take(device.release());
  ZQMACMediaAgent* first = m_agentName.has ? config.FindDBNode(m_agentName.value) : nullptr;
  const int shareAccess = kShareAccessType;
  std::string failure = addVolume(share, first, m_shareVolume.value, !m_furtherVolume.has, &shareAccess);
  if (!failure.empty()) return failure;
  if (m_path == kDiskFolder && !share.device()->SetName("MF_" + share.device()->GetName()))
    return share.device()->GetLastError();
  const bool credentials = (m_hasUserName && m_hasPassword) || m_credentialId.has;
  if (m_furtherVolume.has && credentials) {
    const int access = static_cast<int>(m_accessType.value);
    for (const std::string& name : m_furtherAgents) {
      failure = addVolume(share, config.FindDBNode(name), m_furtherVolume.value, true,
                          m_accessType.has ? &access : nullptr);
      if (!failure.empty()) return failure;
    }
  }
  info.deviceId = static_cast<int>(share.device()->GetId());
  info.mountPathType = library.GetMagLibType() == kMagLibKind4 ? kTypeSharedOfKind4 : kTypeShared;
  return {};
}

SetOutcome MountPathRequest::add(const tkmm::SetRecord& record) {
  const bool typed = m_type.has && m_type.value != 0;
  if (!typed && (!record.hasHandle || !m_hasPath))
    return SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
  ZQMACMagLib* library = record.object<ZQMACMagLib>();
  if (library == nullptr || (!typed && !m_hasPath) || (m_hasPath && m_path.empty())) return SetOutcome::success();
  ZQMACMediaConfig& config = record.config;

  if (ZQMACMediaAgent* agent = m_agentName.has ? config.FindDBNode(m_agentName.value) : nullptr) {
    const std::string refusal = controllerLimit(*library, *agent);
    if (!refusal.empty()) return SetOutcome::failure(refusal);
  }

  MountPathInfo info{};
  info.libraryId = static_cast<int>(library->GetId());
  if (m_hasPath) info.path = m_path;
  info.maxConcurrentWriters = kWriters;
  info.reserveSpaceMB = kReserveMB;
  // The share's device and volumes and the mount path are stored in one
  // step; the guard, leaving scope first, takes the objects out inside it.
  tktran::StoreStep step(kTag);
  if (!step.begin()) return SetOutcome::failure(step.error());
  ShareGuard share(config);
  if (!m_shareVolume.has) {
    if (m_type.has) info.mountPathType = static_cast<int>(m_type.value);
    if (m_hasUserName) {
      info.userName = m_userName;
      if (passwordGoes()) info.password = m_password;
    }
    if (m_deviceId.has) {
      info.deviceId = static_cast<int>(m_deviceId.value);
      ZQMACDiskDevice* device =
          info.mountPathType == kTypeLocal ? nullptr : config.FindDBNode<ZQMACDiskDevice>(info.deviceId);
      if (device != nullptr && (device->GetSanDBId() < 1 || device->IsGFS()))
        info.mountPathType = device->IsCloud()   ? kTypeCloud
                             : device->IsBoost() ? kTypeBoost
                             : library->GetMagLibType() == kMagLibKind4 ? kTypeSharedOfKind4
                                                                        : kTypeShared;
    }
  } else if (std::string failure = makeShare(config, *library, share, info); !failure.empty()) {
    return SetOutcome::failure(failure);
  }

  ZQMACMountPath* path = library->AddMountPath(info);
  if (path == nullptr) {
    std::string text;
    const unsigned int code = library->GetLastError(text);
    if (code == ZQMACMagLib::kErrorMountPathInUse) text = ZQMACBase::GetMessageString(kTextPathInUse);
    if (code == ZQMACMagLib::kErrorMountPathNoDevice || code == ZQMACMagLib::kErrorMountPathUnreached)
      text = ZQMACBase::GetMessageString(kTextPathUnreached);
    return SetOutcome::failure(text);  // the share goes with `share`
  }
  if (!step.commit()) {
    if (!config.DeleteObject(path)) EvDebug::Error(kTag, "The uncommitted mount path stays in the session.");
    return SetOutcome::failure(step.error());
  }
  share.keep();

  // The path stands from here on: what fails now is reported once, after
  // the audit and the notice.
  std::string failure;
  int code = 0;
  std::string text;
  if (!EvMMConfigMgr::AddMediaAgentToStoragePool(static_cast<int>(path->GetId()), locale(),
                                                 EvMMConfigMgr::m_ulUserId.load(), code, text, std::string())) {
    EvDebug::Error(kTag, "Sharing the media agents of the new mount path failed [%d]: %s", code, text.c_str());
    failure = text;
  }
  // The re-read may replace the objects; the new path is found again by
  // its handle, and named as it was when it is gone.
  const unsigned long long handle = config.GetHandle(path);
  std::string displayName = path->GetDisplayName();
  std::string description = path->GetTextA(false);
  if (!config.ReadCurrentConfig(true)) {
    EvDebug::Error(kTag, "The configuration could not be read again: %s", config.GetLastError().c_str());
    if (failure.empty()) failure = config.GetLastError();
  }
  if (ZQMACMountPath* again = config.FindObject<ZQMACMountPath>(handle)) {
    displayName = again->GetDisplayName();
    description = again->GetTextA(false);
  }
  tkmm::writeAuditRecord(kAuditAdd, static_cast<int>(m_libraryId), {{kParamMountPath, {displayName, description}}});
  announce();
  if (failure.empty()) return SetOutcome::success();
  EvMMConfigMgr::sendOperationResponse(m_request->sequenceNumber, m_request->socket, record.operation, 2, failure.c_str(), 0);
  return SetOutcome::answered(true, true);
}

}  // namespace

bool EvMMConfigMgr::onMsgSetMMMountPath(MessageInfo* request) {
  MountPathRequest handler(request);
  return tkmm::runSet(request, kTag, handler);
}
