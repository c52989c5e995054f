// The object model's calls on disk devices and disk volumes: the library
// that uses a device, new network devices and their place in an instance,
// the remote-host settings, the DRU host of a device, the volumes' own
// settings, and the path and cloud verifications of a volume.
//
// A stored volume's settings and a device's DRU host go to the database
// through the graph's writer; the remote-host settings among the model's
// own settings (platform/mac/ZQMACStoredSettings.h). New devices
// are taken in by AddDiskDevice (ZQMACNetworkShare.cpp).
// Every call that can fail in reality takes a scripted failure first
// (tkmac::failed); the verifications answer what the script says per path.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmac {
namespace {

constexpr int kGuidTypeNetworkShare = 999;
constexpr int kGuidTypeCloudStorage = 1000;

struct VerificationScript {
  std::mutex mutex;
  std::map<std::pair<std::string, int>, VerifyOutcome> outcomes;
};

VerificationScript& verificationScript() {
  static VerificationScript* s = new VerificationScript();  // lives for the whole process
  return *s;
}

unsigned long long handleOf(const ZQMACInterface* object) { return object != nullptr ? object->GetHandle() : 0; }

// The scripted outcome of a verification of the path in that mode; false
// when there is none.
bool scriptedVerification(const std::string& path, int mode, VerifyOutcome& outcome) {
  VerificationScript& s = verificationScript();
  std::lock_guard<std::mutex> guard(s.mutex);
  auto it = s.outcomes.find({path, mode});
  if (it == s.outcomes.end()) return false;
  outcome = it->second;
  return true;
}

// What a verification of the path in that mode finds.
VerifyOutcome verificationOf(const std::string& path, int mode) {
  VerifyOutcome found;
  if (scriptedVerification(path, mode, found)) return found;
  found.result = path;
  return found;
}

}  // namespace

void scriptVerification(const std::string& path, int mode, VerifyOutcome outcome) {
  VerificationScript& s = verificationScript();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.outcomes[{path, mode}] = std::move(outcome);
}

void clearVerificationScript() {
  VerificationScript& s = verificationScript();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.outcomes.clear();
}

}  // namespace tkmac

// ---------------------------------------------------------------- devices

namespace {

// The first disk library of `config`, in list order, one of whose mount
// paths (in their order) `uses` its device id; null when none does.
template <class Uses>
ZQMACMagLib* firstLibraryWhere(const ZQMACMediaConfig& config, Uses uses) {
  ZQMACLinkedList<ZQMACMagLib> libraries = config.GetMagLibList();
  for (ZQMACMagLib* library = libraries.GetFirstNode(); library != nullptr; library = libraries.GetNextNode()) {
    ZQMACLinkedList<ZQMACMountPath> paths = library->GetMountPathList();
    for (ZQMACMountPath* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode())
      if (uses(*library, path->GetForeignAgantId())) return library;
  }
  return nullptr;
}

}  // namespace

ZQMACMagLib* ZQMACDiskDevice::UsedByMagLibrary() const {
  ZQMACMediaConfig* owner = GetOwner();
  if (owner == nullptr || m_iId < 0) return nullptr;
  return firstLibraryWhere(*owner, [this](ZQMACMagLib&, int device) { return device == m_iId; });
}

ZQMACDiskDevice::MagLibraryUsers::MagLibraryUsers(ZQMACMediaConfig& config) : m_config(&config) {
  firstLibraryWhere(config, [this](ZQMACMagLib& library, int device) {
    m_users.emplace_back(device, &library);
    return false;
  });
  // By device id, the walk's order kept among the uses of one device: its
  // first use is the one UsedByMagLibrary finds.
  std::stable_sort(m_users.begin(), m_users.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  m_users.erase(std::unique(m_users.begin(), m_users.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                m_users.end());
}

ZQMACMagLib* ZQMACDiskDevice::MagLibraryUsers::Of(const ZQMACDiskDevice& device) const {
  const ZQMACMediaConfig* owner = device.GetOwner();
  if (owner == nullptr || device.m_iId < 0) return nullptr;
  if (owner != m_config) return device.UsedByMagLibrary();
  const auto found = std::lower_bound(m_users.begin(), m_users.end(), device.m_iId,
                                      [](const auto& use, int id) { return use.first < id; });
  return found != m_users.end() && found->first == device.m_iId ? found->second : nullptr;
}

std::string ZQMACDiskDevice::GetGuidTypeString() const {
  switch (m_iGuidType) {
    case tkmac::kGuidTypeNetworkShare: return "Network share";
    case tkmac::kGuidTypeCloudStorage: return "Cloud storage";
    default: return "Type " + std::to_string(m_iGuidType);
  }
}

void ZQMACDiskDevice::MarkRemoteHostInfo() {
  // The password is kept encrypted, and only when one was given (the model
  // never hands it out, so an empty one leaves the stored one as it is).
  const void* members[] = {&m_bRemoteFileHost, &m_sRemoteHostVolume, &m_sRemoteHostUserName, &m_sRemoteHostPassword};
  for (const void* member : members) MarkChanged(member);
}

bool ZQMACDiskDevice::UpdateRemoteHostInfo() {
  tkmac::journal().record("UpdateRemoteHostInfo", GetHandle(), m_sRemoteHostVolume, m_sRemoteHostUserName);
  if (tkmac::failed(*this, "UpdateRemoteHostInfo")) return false;
  if (!m_bRemoteFileHost) {
    SetLastError(tkmac::kErrorInvalidValue, "The disk device is not reached through a remote file host.");
    return false;
  }
  // Only a change of the path moves the volumes: one of the credentials
  // alone leaves every volume where it is.
  const bool pathChanged = IsMarkedChanged(&m_sRemoteHostVolume);
  MarkRemoteHostInfo();
  if (!ZQMACGraph::StoreRemoteHostInfo(this, pathChanged)) return false;
  ClearLastError();
  return true;
}

bool ZQMACDiskDevice::SetDRUId(int id) {
  tkmac::journal().record("SetDRUId", GetHandle(), id);
  if (tkmac::failed(*this, "SetDRUId")) return false;
  ZQMACMediaConfig* owner = GetOwner();
  if (id < 0 || (id != 0 && (owner == nullptr || owner->FindDBNode<ZQMACHost>(id) == nullptr))) {
    SetLastError(tkmac::kErrorUnknownObject, "The DRU host " + std::to_string(id) + " is not known.");
    return false;
  }
  const int previous = m_iDRUId;
  m_iDRUId = id;
  if (!ZQMACGraph::StoreObject(this, nullptr, m_bConfigured ? 1 : 0)) {
    m_iDRUId = previous;
    return false;
  }
  ClearLastError();
  return true;
}

std::unique_ptr<ZQMACDiskDevice> ZQMACDiskDevice::GetNewNetworkDiskObject(int displayDeviceType) {
  auto device = std::make_unique<ZQMACDiskDevice>();
  device->m_bRemoteFileHost = true;
  device->m_iDisplayType = displayDeviceType;
  device->m_iGuidType = tkmac::kGuidTypeNetworkShare;
  return device;
}

bool ZQMACMediaConfig::ReadCurrentConfig(std::vector<std::string>& /*names*/, int flags, bool refresh) {
  tkmac::journal().record("ReadCurrentConfigNames", flags, refresh);
  if (tkmac::failed(*this, "ReadCurrentConfigNames")) return false;
  return ReadCurrentConfig(refresh);
}

// ---------------------------------------------------------------- volumes

ZQMACDiskVolume::ZQMACDiskVolume(const ZQMACDiskVolume* source) {
  if (source == nullptr) return;
  m_sName = source->m_sName;
  m_sVolume = source->m_sVolume;
  m_sUserName = source->m_sUserName;
  m_sPassword = source->m_sPassword;
  m_iDeviceAccessType = source->m_iDeviceAccessType;
  m_pMediaAgent = source->m_pMediaAgent;
}

void ZQMACDiskVolume::SetDiskDevice(ZQMACDiskDevice* device, bool attach) {
  Touch();
  if (m_pDiskDevice != nullptr) m_pDiskDevice->m_volumeList.RemoveNodeAt(this);
  m_pDiskDevice = device;
  m_bJoinDevice = device != nullptr && attach;
  // An owned volume joins now; a new one when Configure saves it.
  if (m_bJoinDevice && GetOwner() != nullptr) {
    device->m_volumeList.AddNode(this);
    m_bJoinDevice = false;
  }
}

bool ZQMACDiskVolume::UpdateMountPath() {
  tkmac::journal().record("UpdateMountPath", GetHandle(), m_sVolume, m_sUserName);
  if (tkmac::failed(*this, "UpdateMountPath")) return false;
  if (!ZQMACGraph::StoreObject(this, nullptr, m_bConfigured ? 1 : 0)) return false;
  ClearLastError();
  return true;
}

bool ZQMACDiskVolume::VerifyDevice(int operation, std::string& value) {
  const bool reachesTarget = operation == ZQMAV_VERIFY_PATH || operation == ZQMAV_VERIFY_CLOUD;
  tkmac::journal().record("VerifyDevice", tkmac::handleOf(this), operation, reachesTarget ? m_sVolume : value);
  if (tkmac::failed(*this, "VerifyDevice")) return false;
  if (operation == ZQMAV_VERIFY_VAULT_LOCK) {
    // A vault that the script refuses for this volume's path.
    tkmac::VerifyOutcome scripted;
    if (tkmac::scriptedVerification(m_sVolume, operation, scripted) && !scripted.succeed) {
      SetLastError(scripted.errorCode, scripted.errorText);
      return false;
    }
    return LockVault(value);
  }
  if (!reachesTarget) {
    SetLastError(tkmac::kErrorInvalidValue, "The verification is not known.");
    return false;
  }
  if (m_sVolume.empty()) {
    SetLastError(tkmac::kErrorInvalidValue, "The volume has no path to verify.");
    return false;
  }
  const tkmac::VerifyOutcome outcome = tkmac::verificationOf(m_sVolume, operation);
  if (!outcome.succeed) {
    SetLastError(outcome.errorCode, outcome.errorText);
    return false;
  }
  value = outcome.result;
  ClearLastError();
  return true;
}
