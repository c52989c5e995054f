// Disk volumes: the volumes of one disk device with their records (reply
// 11199), one volume's record, and the volume request (onMsgSetDiskVolume):
//
//   1   add a network disk volume: a new volume of the named media agent on
//       the device of 11148, or on a new network disk device (display type
//       11606) when 11148 is absent or 0; kept in the cached configuration.
//   16  share a disk with a further media agent: the same volume, then
//       configured, the media agents of the storage pool of the device's
//       first mount path shared, and the configuration re-read; answered
//       with the device's id as the status.
//   3   change the path and credentials of the volume of 11003; or, when
//       11003 finds no volume, of every volume with a user name of the
//       local device of 11148, with one audit record of the changes.
//
// A device reached through a remote file host (a network share) keeps the
// path and the credentials itself (its remote-host settings), its volumes
// do not: every volume of a share reaches the share's path. So a path sent
// with operation 1 or 16 on a share is the share's new path, and every
// volume of the share is moved to it with the new one, in one step; a
// change that carries no path (credentials only) moves no volume. Its user
// name carries an optional proxy part (RemoteHostUserName.h): a new user
// name that names a proxy keeps the stored proxy password unless a new one
// (2408) came.
//
// Elements keep their values for the whole request. The credentials arrive
// encrypted and are decrypted when they arrive, the passwords (2402, 2408,
// and a proxy password the user name carries) into the form the database
// keeps passwords in; one that cannot be read is
// logged and counts as absent. A remote file host's device enciphers its
// password itself when it stores it, so it is handed the password itself.
// Secrets are wiped when the request ends and never logged or sent back. A
// change whose store is refused puts the volume's (and device's) earlier
// values back.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Db/Tbl/MMDeviceController.h"
#include "frame/CredentialElements.h"
#include "frame/ElementTags.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/RecordWriter.h"
#include "mmconfig/disk/DiskRecords.h"
#include "mmconfig/disk/RemoteHostUserName.h"
#include "platform/db/TextWidth.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceControllerDB.h"
#include "platform/mmdb/MMMountPathDB.h"
#include "platform/reply/EvReturnData.h"
#include "platform/security/StoredPassword.h"
#include "platform/tran/StoreStep.h"

namespace {

using tkmm::SetOutcome;
using tkmm::wipe;

constexpr const char* kVolumesTag = "EvMMConfigMgr::onMsgGetDiskVolumes";
constexpr const char* kPropertiesTag = "EvMMConfigMgr::onMsgGetDiskVolumeProperties";
constexpr const char* kSetTag = "EvMMConfigMgr::onMsgSetDiskVolume";

constexpr unsigned long kReplyVolumes = tktag::kReplyDiskVolumes;

constexpr uint32_t kOpAdd = 1;
constexpr uint32_t kOpModify = 3;
constexpr uint32_t kOpShare = 16;

constexpr uint32_t kElementDevice = tktag::kDiskDeviceHandle;
constexpr uint32_t kElementDisplayType = tktag::kDeviceIdType;
constexpr uint32_t kElementAgent = tktag::kMediaAgent;       // [u32][agent name]
constexpr uint32_t kElementPath = tktag::kPath;
constexpr uint32_t kElementDeviceName = tktag::kDiskDevice;  // [u32][new name]
constexpr uint32_t kElementAccessType = tktag::kDeviceAccessType;
constexpr uint32_t kElementCredentialId = tktag::kCredential;
constexpr uint32_t kElementUserName = tktag::kUserName;
constexpr uint32_t kElementPassword = tktag::kPassword;
constexpr uint32_t kElementProxyPassword = tktag::kProxyPassword;

constexpr int kDefaultDisplayType = 1;
constexpr int kReadFlags = 257;

// Audit of a volume change: operation and parameters (volume display name;
// agent and old path; agent and new path; the password changed; previous
// and new user name).
constexpr int kAuditVolumeChange = 0x54000196;
constexpr int kAuditVolumeName = 0x55000456;
constexpr int kAuditOldPath = 0x55000457;
constexpr int kAuditNewPath = 0x55000458;
constexpr int kAuditPasswordChanged = 0x55000631;
constexpr int kAuditUserNameChanged = 0x55000632;

constexpr std::size_t kDbErrorTextSize = 2048;
constexpr std::size_t kErrorTextSize = 1024;

// A volume that no instance owns yet, attached to its device while it is
// built: detached from the device before it is freed, unless the instance
// took it.
class LooseVolume {
 public:
  explicit LooseVolume(std::unique_ptr<ZQMACDiskVolume> volume) : m_volume(std::move(volume)) {}
  ~LooseVolume() {
    if (m_volume) m_volume->SetDiskDevice(nullptr, false);
  }
  LooseVolume(const LooseVolume&) = delete;
  LooseVolume& operator=(const LooseVolume&) = delete;

  ZQMACDiskVolume* get() const { return m_volume.get(); }
  ZQMACDiskVolume* operator->() const { return m_volume.get(); }
  // The instance owns the volume now.
  void release() { (void)m_volume.release(); }

 private:
  std::unique_ptr<ZQMACDiskVolume> m_volume;
};

// The values of a volume and of its device that a change may touch, to put
// back when the change cannot be stored.
struct VolumeState {
  std::string path, userName, password;
  int accessType = 0, credentialId = 0;
  std::string remotePath, remoteUserName;

  static VolumeState of(ZQMACDiskVolume& v) {
    VolumeState s{v.GetVolume(), v.GetUserName(), v.GetUserPassword(), v.GetDeviceAccessType(), v.GetCredentialId(),
                  {}, {}};
    if (ZQMACDiskDevice* d = v.GetDiskDevice()) {
      s.remotePath = d->GetRemoteHostVolume();
      s.remoteUserName = d->GetRemoteHostUserName();
    }
    return s;
  }
  void restore(ZQMACDiskVolume& v) const {
    v.SetVolume(path);
    v.SetUserName(userName);
    v.SetUserPassword(password);
    v.SetDeviceAccessType(accessType);
    v.SetCredentialId(credentialId);
    if (ZQMACDiskDevice* d = v.GetDiskDevice()) {
      d->SetRemoteHostVolume(remotePath);
      d->SetRemoteHostUserName(remoteUserName);
    }
  }
  ~VolumeState() { wipe(password); }
};

std::string agentName(const ZQMACDiskVolume& volume) {
  return volume.GetMediaAgent() != nullptr ? volume.GetMediaAgent()->GetName() : std::string();
}

bool isRemote(const ZQMACDiskVolume& volume) {
  return volume.GetDiskDevice() != nullptr && volume.GetDiskDevice()->IsRemoveFileHost();
}

// Takes the device made for a volume that is not kept out of the session
// again (`what` the volume: "refused", "unstored").
void dropMadeDevice(ZQMACMediaConfig& config, ZQMACDiskDevice* device, const char* what) {
  if (!config.DeleteObject(device))
    EvDebug::Error(kSetTag, "The device of the %s volume stays in the session: %s", what, config.GetLastError().c_str());
}

class VolumeRequest : public tkmm::SetRecordHandler {
 public:
  explicit VolumeRequest(MessageInfo* request) : m_request(request), m_services(0) {}
  ~VolumeRequest() override {
    wipe(m_userName.value);
    wipe(m_password.value);
    wipe(m_proxyPassword.value);
  }
  VolumeRequest(const VolumeRequest&) = delete;
  VolumeRequest& operator=(const VolumeRequest&) = delete;

  bool servesOperation(uint32_t operation) const override {
    return operation == kOpAdd || operation == kOpModify || operation == kOpShare;
  }
  bool needsObject(uint32_t operation) const override { return operation == kOpModify; }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementDevice: m_device.set(MessageWalker::readU64(value, length)); return true;
      case kElementDisplayType: m_displayType = static_cast<int>(MessageWalker::readU32(value, length)); return true;
      case kElementAgent: m_agent.set(MessageWalker::readPairText(value, length)); return true;
      case kElementPath: m_path.set(MessageWalker::readText(value, length)); return true;
      case kElementDeviceName: m_deviceName.set(MessageWalker::readPairText(value, length)); return true;
      case kElementAccessType: m_accessType.set(static_cast<int>(MessageWalker::readU32(value, length))); return true;
      case kElementCredentialId:
        m_credentialId.set(static_cast<int>(MessageWalker::readU32(value, length)));
        return true;
      case kElementUserName:
        m_userName.has = tkmm::decryptUserNameForStorage(m_services, m_request, value, length, kSetTag,
                                                         m_userName.value, m_userRefusal);
        return true;
      case kElementPassword:
        m_password.has = tkmm::decryptPasswordForStorage(m_services, m_request, value, length, kSetTag,
                                                         m_password.value, m_refusal);
        return true;
      case kElementProxyPassword:
        m_proxyPassword.has = tkmm::decryptPasswordForStorage(m_services, m_request, value, length, kSetTag,
                                                              m_proxyPassword.value, m_proxyRefusal,
                                                              "failed to decrypt the proxy password");
        return true;
      default: return false;
    }
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(EvReturnData::returnLocaleId(m_request->sequenceNumber));
    // A password that cannot be stored refuses the record: storing the
    // rest without it would answer success for credentials never kept.
    if (!m_refusal.empty()) return SetOutcome::failure(m_refusal);
    if (!m_proxyRefusal.empty()) return SetOutcome::failure(m_proxyRefusal);
    if (!m_userRefusal.empty()) return SetOutcome::failure(m_userRefusal);
    if (record.operation == kOpModify) {
      if (ZQMACDiskVolume* volume = record.object<ZQMACDiskVolume>()) return changeVolume(*volume);
      return changeAllVolumes(record.config);
    }
    return addVolume(record);
  }

 private:
  bool hasDevice() const { return m_device.has && m_device.value != 0; }

  static SetOutcome missingElements() {
    return SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
  }

  // The mount paths of the device; false (logged, `failure` set) when they
  // cannot be read.
  bool mountPathsOf(unsigned int deviceId, int& firstMountPathId, int& firstLibraryId, SetOutcome& failure) const {
    MMMountPathDB mountPaths;
    MMMountPath_t* rows = nullptr;
    int count = 0;
    firstMountPathId = 0;
    firstLibraryId = 0;
    if (mountPaths.getListForDevice(static_cast<int>(deviceId), rows, count, nullptr) != 0) {
      EvDebug::Error(kSetTag, "Failed to get list of mountpaths for deviceId [%d].", static_cast<int>(deviceId));
      char text[kErrorTextSize] = {};
      ErrorTrans::getErrorString(mountPaths.getErrorCode(), text, sizeof text, m_request->localeId());
      failure = SetOutcome::failure(text[0] != '\0' ? std::string(text) : mountPaths.lastErrorText());
      return false;
    }
    if (rows != nullptr && count > 0) {
      firstMountPathId = rows[0].MountPathId;
      firstLibraryId = rows[0].LibraryId;
    }
    if (rows != nullptr) MMMountPathDB::DeleteList(rows, __FILE__, __LINE__);
    return true;
  }

  // ---- operations 1 and 16 ----
  SetOutcome addVolume(const tkmm::SetRecord& record) {
    ZQMACMediaConfig& config = record.config;
    if (!m_path.has || !m_agent.has) return missingElements();
    // An agentless volume is never made: the agent is known before anything is.
    ZQMACMediaAgent* agent = config.FindDBNode(m_agent.value);
    if (agent == nullptr) return SetOutcome::failure("Failed to get mediaagent " + m_agent.value);

    ZQMACDiskDevice* device = nullptr;
    // A device made for this record is stored in one step with its volume
    // (the step is begun only then): a refused volume takes it back, rows
    // and object.
    std::unique_ptr<tktran::StoreStep> step;
    if (!hasDevice()) {
      // A path the volume's row cannot hold whole is refused before
      // anything is made.
      constexpr std::size_t kFolderWidth = TK_TEXT_WIDTH(MMDeviceController_t, Folder);
      if (!tkdb::fitsWhole(m_path.value, kFolderWidth))
        return SetOutcome::failure(tkdb::notWhole("volume", m_path.value, kFolderWidth));
      step = std::make_unique<tktran::StoreStep>(kSetTag);
      if (!step->begin()) return SetOutcome::failure(step->error());
      std::unique_ptr<ZQMACDiskDevice> made = ZQMACDiskDevice::GetNewNetworkDiskObject(m_displayType);
      if (!config.AddDiskDevice(made.get())) return SetOutcome::lastError(config);
      device = made.release();  // the configuration owns it now
    } else {
      device = config.FindObject<ZQMACDiskDevice>(m_device.value);
      if (device == nullptr) return SetOutcome::success();
    }
    const bool remote = device->IsRemoveFileHost();
    ZQMACDiskVolume* first = device->GetVolumeList().GetFirstNode();
    // A share's path and user name are the device's: a volume that is not
    // made leaves them as they were.
    const std::string remotePath = device->GetRemoteHostVolume();
    const std::string remoteUserName = device->GetRemoteHostUserName();
    auto putBackShare = [&]() {
      if (!remote) return;
      if (device->GetRemoteHostVolume() != remotePath) device->SetRemoteHostVolume(remotePath);
      if (device->GetRemoteHostUserName() != remoteUserName) device->SetRemoteHostUserName(remoteUserName);
    };

    LooseVolume volume(std::make_unique<ZQMACDiskVolume>(nullptr));
    if (remote && first != nullptr) {
      volume->AssignName(first->GetName());
      volume->SetUserName(first->GetUserName());
      volume->SetUserPassword(first->GetUserPassword());
      volume->SetVolume(first->GetVolume());
      volume->SetCredentialId(first->GetCredentialId());
    }
    volume->SetMediaAgent(agent);
    volume->SetDiskDevice(device, true);
    volume->SetDetected(true);
    if (!m_path.value.empty()) {
      if (remote) device->SetRemoteHostVolume(m_path.value);
      else volume->SetVolume(m_path.value);
    }
    if (m_accessType.has) volume->SetDeviceAccessType(m_accessType.value);
    if (m_userName.has) {
      if (remote) {
        device->SetRemoteHostUserName(m_proxyPassword.has
                                          ? tkmm::withoutProxyPassword(m_userName.value) + ":" + m_proxyPassword.value
                                          : m_userName.value);
        if (m_password.has) setRemotePassword(*device);
      } else {
        volume->SetUserName(m_userName.value);
        if (m_password.has) volume->SetUserPassword(m_password.value);
      }
    }
    if (m_credentialId.has) volume->SetCredentialId(m_credentialId.value);

    // Sharing a stored disk without credentials of its own: the volume is
    // configured with those of the first volume's stored row, and shows its
    // own again afterwards.
    std::string keptUserName, keptPassword;
    if (record.operation == kOpShare && first != nullptr && !m_userName.has && volume->GetCredentialId() >= 1) {
      keptUserName = volume->GetUserName();
      keptPassword = volume->GetUserPassword();
      MMDeviceControllerDB controllers;
      MMDeviceController_t row;
      if (controllers.getInfoInDB(static_cast<int>(first->GetId()), row, nullptr) != 0) {
        char text[kDbErrorTextSize] = {};
        MMS2BaseError::getErrorStringForCode(controllers.getErrorCode(), text, sizeof text, m_request->localeId());
        EvDebug::Error(kSetTag, "%s", text);
        wipe(keptPassword);
        putBackShare();
        return SetOutcome::failure(text);
      }
      volume->SetUserName(std::string(row.UserName, strnlen(row.UserName, sizeof row.UserName)));
      volume->SetUserPassword(std::string(row.UserPassword, strnlen(row.UserPassword, sizeof row.UserPassword)));
      std::memset(row.UserPassword, 0, sizeof row.UserPassword);
    }

    // Saving the volume makes it one of the configuration's (stored with it
    // when the configuration lives on the database); a refused volume is
    // discarded here.
    if (!volume->Configure(0)) {
      const SetOutcome refused = SetOutcome::lastError(*volume.get());
      wipe(keptPassword);
      putBackShare();
      if (step) {
        volume->SetDiskDevice(nullptr, false);  // before the device goes
        dropMadeDevice(config, device, "refused");
      }
      return refused;  // the step, when one was begun, takes back what was stored
    }
    if (step && !step->commit()) {
      const SetOutcome failed = SetOutcome::failure(step->error());
      volume.release();  // the configuration owns it now, and takes it with the device
      dropMadeDevice(config, device, "unstored");
      return failed;
    }
    ZQMACDiskVolume* owned = volume.get();
    volume.release();
    if (record.operation == kOpAdd) return SetOutcome::success();
    return shareVolume(record, *device, *owned, keptUserName, keptPassword);
  }

  SetOutcome shareVolume(const tkmm::SetRecord& record, ZQMACDiskDevice& device, ZQMACDiskVolume& volume,
                         const std::string& keptUserName, std::string& keptPassword) {
    ZQMACMediaConfig& config = record.config;
    if (!keptUserName.empty()) {
      volume.SetUserName(keptUserName);
      volume.SetUserPassword(keptPassword);
    }
    wipe(keptPassword);
    // The re-read below may replace the objects; the answer needs the id.
    const unsigned int deviceId = device.GetId();
    int mountPathId = 0, libraryId = 0;
    SetOutcome failure = SetOutcome::success();
    if (!mountPathsOf(deviceId, mountPathId, libraryId, failure)) return failure;
    if (mountPathId != 0) {
      int unused = 0;
      std::string error;
      if (!EvMMConfigMgr::AddMediaAgentToStoragePool(mountPathId, m_request->localeId(), m_request->userId, unused,
                                                     error, std::string())) {
        EvDebug::Error(kSetTag, "Failed to share the media agents of mount path [%d]: %s", mountPathId, error.c_str());
        return SetOutcome::failure(error);
      }
      std::vector<std::string> names;
      if (!config.ReadCurrentConfig(names, kReadFlags, true)) return SetOutcome::lastError(config);
    }
    EvMMConfigMgr::sendOperationResponse(m_request->sequenceNumber, m_request->socket, record.operation, deviceId,
                                         "Success", 0);
    return SetOutcome::answered(true, true);
  }

  // The remote file host's device is handed the password itself (an empty
  // one keeps the stored password).
  void setRemotePassword(ZQMACDiskDevice& device) const {
    std::string plain;
    if (!m_password.value.empty()) tkpassword::plainForm(m_password.value, plain);
    device.SetRemoteHostUserPassword(plain);
    wipe(plain);
  }

  // ---- operation 3 on one volume ----
  SetOutcome changeVolume(ZQMACDiskVolume& volume) {
    ZQMACDiskDevice* device = volume.GetDiskDevice();
    const bool remote = isRemote(volume);
    const VolumeState before = VolumeState::of(volume);
    std::string oldPath;
    if (m_path.has) {
      oldPath = remote ? device->GetRemoteHostVolume() : volume.GetVolume();
      if (remote) device->SetRemoteHostVolume(m_path.value);
      else volume.SetVolume(m_path.value);
    }
    if (m_userName.has) {
      if (remote) {
        std::string proxyPart;
        if (m_proxyPassword.has) proxyPart = ":" + m_proxyPassword.value;
        else if (tkmm::namesProxy(m_userName.value) && !tkmm::carriesProxyPassword(m_userName.value))
          proxyPart = tkmm::proxyPasswordPart(device->GetRemoteHostUserName());
        device->SetRemoteHostUserName((m_proxyPassword.has ? tkmm::withoutProxyPassword(m_userName.value)
                                                            : m_userName.value) +
                                      proxyPart);
        wipe(proxyPart);
      } else {
        volume.SetUserName(m_userName.value);
      }
    }
    if (m_password.has) {
      if (remote) setRemotePassword(*device);
      else volume.SetUserPassword(m_password.value);
    }
    if (m_accessType.has) volume.SetDeviceAccessType(m_accessType.value);
    if (m_credentialId.has) volume.SetCredentialId(m_credentialId.value);
    if (m_path.has || m_userName.has || m_password.has || m_accessType.has || m_credentialId.has) {
      SetOutcome stored = SetOutcome::success();
      if (remote) {
        // The share keeps the path and the credentials; its volume keeps
        // its access type and stored credential, as a plain volume does.
        // Both are stored together.
        stored = tkmm::storedTogether(kSetTag, "the volume's changes", [&] {
          const bool shared = device->UpdateRemoteHostInfo();
          volume.SetLastError(device->GetLastErrorCode(), device->GetLastError());
          if (!shared) return SetOutcome::lastError(volume);
          if ((m_accessType.has || m_credentialId.has) && !volume.UpdateMountPath())
            return SetOutcome::lastError(volume);
          return SetOutcome::success();
        });
      } else if (!volume.UpdateMountPath()) {
        stored = SetOutcome::lastError(volume);
      }
      if (stored.kind() != SetOutcome::Kind::Success) {
        before.restore(volume);
        return stored;
      }
    }
    if (m_deviceName.has && device != nullptr) {
      const bool renamed = device->SetName(m_deviceName.value);
      volume.SetLastError(device->GetLastErrorCode(), device->GetLastError());
      if (!renamed) return SetOutcome::lastError(volume);
    }
    const std::string newPath = m_path.value;
    if (m_path.has && oldPath != newPath) {
      ZQMACMagLib* library = device != nullptr ? device->UsedByMagLibrary() : nullptr;
      const std::string agent = agentName(volume);
      tkmm::writeAuditRecord(kAuditVolumeChange, library != nullptr ? static_cast<int>(library->GetId()) : 0,
                             {{kAuditVolumeName, {volume.GetDisplayName()}},
                              {kAuditOldPath, {agent, oldPath}},
                              {kAuditNewPath, {agent, newPath}}});
    }
    return SetOutcome::success();
  }

  // ---- operation 3 on every volume of a device ----
  SetOutcome changeAllVolumes(ZQMACMediaConfig& config) {
    ZQMACDiskDevice* device = hasDevice() ? config.FindObject<ZQMACDiskDevice>(m_device.value) : nullptr;
    if (device == nullptr || device->IsRemoveFileHost()) return missingElements();
    int mountPathId = 0, libraryId = 0;
    SetOutcome failure = SetOutcome::success();
    if (!mountPathsOf(device->GetId(), mountPathId, libraryId, failure)) return failure;
    ZQMACLinkedList<ZQMACDiskVolume> list = device->GetVolumeList();
    ZQMACDiskVolume* first = list.GetFirstNode();
    if (first == nullptr) return SetOutcome::success();  // nothing to change, nothing to audit
    std::vector<tkmm::AuditParameter> audit{{kAuditVolumeName, {first->GetDisplayName()}}};
    bool auditDue = false;
    std::string previousUserName;
    // The volumes stored so far, with what they held: put back when a later one is refused.
    std::vector<std::pair<ZQMACDiskVolume*, VolumeState>> changed;
    const bool anyChange = m_path.has || m_userName.has || m_password.has;
    for (ZQMACDiskVolume* volume = first; volume != nullptr; volume = list.GetNextNode()) {
      if (volume->GetUserName().empty()) continue;
      VolumeState before = VolumeState::of(*volume);
      const std::string oldPath = volume->GetVolume();
      if (m_path.has) volume->SetVolume(m_path.value);
      if (m_userName.has) {
        previousUserName = volume->GetUserName();
        volume->SetUserName(m_userName.value);
      }
      if (m_password.has) volume->SetUserPassword(m_password.value);
      if (!anyChange) continue;
      if (!volume->UpdateMountPath()) {
        const SetOutcome refused = SetOutcome::lastError(*volume);
        before.restore(*volume);
        for (auto it = changed.rbegin(); it != changed.rend(); ++it) {
          it->second.restore(*it->first);
          if (!it->first->UpdateMountPath())
            EvDebug::Error(kSetTag, "The earlier settings of volume [%s] could not be stored again.",
                           it->first->GetDisplayName().c_str());
        }
        return refused;
      }
      changed.emplace_back(volume, std::move(before));
      if (m_path.has && oldPath != m_path.value) {
        const std::string agent = agentName(*volume);
        audit.push_back({kAuditOldPath, {agent, oldPath}});
        audit.push_back({kAuditNewPath, {agent, m_path.value}});
        auditDue = true;
      }
    }
    if (m_userName.has && m_userName.value != previousUserName) {
      audit.push_back({kAuditUserNameChanged, {previousUserName, m_userName.value}});
      auditDue = true;
    }
    if (m_password.has) {
      audit.push_back({kAuditPasswordChanged, {}});
      auditDue = true;
    }
    if (auditDue) tkmm::writeAuditRecord(kAuditVolumeChange, libraryId, audit);
    return SetOutcome::success();
  }

  MessageInfo* m_request;
  EvExternal m_services;
  tkmm::ElementValue<unsigned long long> m_device;
  int m_displayType = kDefaultDisplayType;
  tkmm::ElementValue<std::string> m_agent;
  tkmm::ElementValue<std::string> m_path;
  tkmm::ElementValue<std::string> m_deviceName;
  tkmm::ElementValue<int> m_accessType;
  tkmm::ElementValue<int> m_credentialId;
  tkmm::ElementValue<std::string> m_userName;
  tkmm::ElementValue<std::string> m_password;
  tkmm::ElementValue<std::string> m_proxyPassword;
  std::string m_refusal, m_proxyRefusal, m_userRefusal;
};

}  // namespace

bool EvMMConfigMgr::onMsgGetDiskVolumes(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyVolumes, kVolumesTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    ZQMACDiskDevice* device = config.FindObject<ZQMACDiskDevice>(request->objectHandle);
    if (device == nullptr) return true;
    for (unsigned long long handle : tkmm::handlesOf(device->GetVolumeList(), config)) {
      ZQMACDiskVolume* volume = config.FindObject<ZQMACDiskVolume>(handle);
      if (volume == nullptr || (!volume->TestStateA() && device->GetSanDBId() > 0)) continue;
      out.handle(tkmm::kItemObjectHandle, handle);
      tkmm::diskVolumeRecord(out, config, *volume, kVolumesTag);
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetDiskVolumeProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyVolumes, kPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* volume = dynamic_cast<ZQMACDiskVolume*>(&object))
                                  tkmm::diskVolumeRecord(out, config, *volume, kPropertiesTag);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgSetDiskVolume(MessageInfo* request) {
  VolumeRequest handler(request);
  return tkmm::runSet(request, kSetTag, handler);
}
