// The object model's network-sharing disk objects, as the mount-path request
// makes them for a mount path on a network share: a new device
// (GetNewNetworkSharingDiskObject), taken into the configuration by
// AddDiskDevice, and one new volume per media agent that reaches the share,
// saved by its Configure. In a configuration on the central database each
// is stored before it becomes an object of the configuration, so a refusal
// leaves neither a row nor an object; the caller keeps what was refused.
//
// A new device's declared settings (its identification type) are marked and
// written through the declarations with its row, in one step joining the
// request's transaction, and laid again by every load; a remote file host's
// settings are written with its first volume. A volume of a device reached through a remote file
// host reaches the device's remote path: a new volume is stored at it, and
// when that path changes (a change that carries a path, or a new volume
// made with one), every volume of the device takes it in the same step. A
// change of the credentials alone moves no volume.
//
// Journal names: "AddDiskDevice" (the device's name, type) and "Configure"
// (0 for a volume not saved yet, mode); a failure injected into one of them
// makes its next call fail with the code and text as the last error of the
// instance (AddDiskDevice) or of the volume.
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACSettingsDB.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

constexpr int kKindNetworkShare = 1;
constexpr int kDataServerAccessBits = 0xB0;

// The first "DiskDevice_<n>" that no device of the instance carries.
std::string freeDeviceName(const ZQMACMediaConfig& config) {
  ZQMACLinkedList<ZQMACDiskDevice> devices = config.GetDiskDeviceList();
  for (int n = 1;; ++n) {
    const std::string name = "DiskDevice_" + std::to_string(n);
    bool taken = false;
    for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr && !taken; d = devices.GetNextNode())
      taken = d->GetName() == name;
    if (!taken) return name;
  }
}


}  // namespace

std::unique_ptr<ZQMACDiskDevice> ZQMACDiskDevice::GetNewNetworkSharingDiskObject(int kind) {
  if (kind != kKindNetworkShare) return nullptr;
  auto device = std::make_unique<ZQMACDiskDevice>();
  ZQMACGraph::SetDeviceTypes(device.get(), kDeviceTypeNetworkShare, 0);
  return device;
}

bool ZQMACMediaConfig::AddDiskDevice(ZQMACDiskDevice* device) {
  tkmac::journal().record("AddDiskDevice", device != nullptr ? device->GetName() : std::string(),
                          device != nullptr ? device->GetDisplayDeviceType() : 0);
  // The instance changes only by the new device, which is touched (made in
  // memory): the graph stays one to hand over.
  if (tkmac::failedUntouched(*this, "AddDiskDevice")) return false;
  if (device == nullptr || device->GetOwner() != nullptr) {
    SetLastError(tkmac::kErrorAdoptRefused, "The disk device cannot be added to this configuration.");
    return false;
  }
  const std::string name = device->GetName().empty() ? freeDeviceName(*this) : device->GetName();
  int id = 0;
  if (m_bDatabaseBacked) {
    MMStoredDevice row;
    row.name = name;
    row.typeId = device->GetDisplayDeviceType();
    row.druHostId = device->GetDRUId();
    // The row and the identification type go together: a device that a
    // load lays without it is no longer listed as a network share.
    tktran::StoreStep step(__func__);
    if (!step.begin()) {
      SetLastError(tkmac::kErrorDatabase, "The disk device could not be stored: " + step.error());
      return false;
    }
    MMMediaConfigDB access;
    if (access.insertDevice(row) != 0) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
    if (!ZQMACGraph::StoreNewDeviceSettings(device, row.id)) {
      SetLastError(device->GetLastErrorCode(), device->GetLastError());
      return false;
    }
    if (!step.commit()) {
      SetLastError(tkmac::kErrorDatabase, "The disk device could not be stored: " + step.error());
      return false;
    }
    id = row.id;
    // The row holds one type; the device shows it as a reload would.
    ZQMACGraph::SetDeviceTypes(device, row.typeId, 0);
  } else {
    id = tkmac::takeNewObjectId();
  }
  ZQMACGraph::SetName(device, name);
  if (AdoptObject(device) == 0) {
    if (m_bDatabaseBacked) MMMediaConfigDB().removeObject(MMStoredKind::Device, id);
    return false;
  }
  ZQMACGraph::SetId(device, id);  // also files it under its id
  ZQMACGraph::SetConfigured(device, true);
  m_diskDeviceList.AddNode(device);
  ClearLastError();
  return true;
}

bool ZQMACDiskVolume::Configure(unsigned int mode) {
  if (GetOwner() != nullptr) return ZQMACInterface::Configure(mode);
  tkmac::journal().record("Configure", 0, mode);
  if (tkmac::failed(*this, "Configure")) return false;
  ZQMACDiskDevice* device = m_pDiskDevice;
  ZQMACMediaConfig* config = device != nullptr ? device->GetOwner() : nullptr;
  if (config == nullptr || m_pMediaAgent == nullptr || m_pMediaAgent->GetOwner() != config) {
    SetLastError(tkmac::kErrorNotStored,
                 m_pMediaAgent == nullptr ? "The volume has no media agent."
                                          : "The volume's device or media agent is not part of the configuration.");
    return false;
  }
  // A volume of a device reached through a remote file host reaches the
  // device's remote path (its own only while the device has none).
  const bool remotePath = device->IsRemoveFileHost() && !device->GetRemoteHostVolume().empty();
  const std::string path = remotePath ? device->GetRemoteHostVolume() : m_sVolume;
  // Data-server access (bits 16, 32, 128) reaches the device on no folder.
  if (path.empty() && (m_iDeviceAccessType & kDataServerAccessBits) == 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The volume has no path.");
    return false;
  }
  int id = 0;
  const bool stored = ZQMACGraph::IsDatabaseBacked(*config);
  if (stored) {
    MMStoredDeviceController row;
    row.clientId = static_cast<int>(m_pMediaAgent->GetId());
    row.deviceId = static_cast<int>(device->GetId());
    row.folder = path;
    row.userName = m_sUserName;
    row.accessType = m_iDeviceAccessType;
    row.credentialAssocId = m_iCredentialId;
    // A device reached through a remote file host keeps that, with the
    // remote-host settings its volume was made with, among the model's own
    // settings: in the same step as the volume, or a re-read would find a
    // plain device without a path.
    const bool remote = device->IsRemoveFileHost();
    tktran::StoreStep step(__func__);
    if (remote) {
      if (!step.begin()) {
        SetLastError(tkmac::kErrorDatabase,
                     "The volume could not be stored: " + step.error());
        return false;
      }
    }
    MMMediaConfigDB access;
    if (access.insertDeviceController(row, m_sPassword, m_bDetected) != 0) {
      SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
      return false;
    }
    if (remote) {
      // The device's settings, and its other volumes moved to its path
      // when that changed, with the new volume.
      const bool pathChanged = device->IsMarkedChanged(&device->m_sRemoteHostVolume);
      device->MarkRemoteHostInfo();
      if (!ZQMACGraph::StoreRemoteHostInfo(device, pathChanged)) {
        SetLastError(device->GetLastErrorCode(), device->GetLastError());
        return false;
      }
      if (!step.commit()) {
        SetLastError(tkmac::kErrorDatabase,
                     "The volume could not be stored: " + step.error());
        return false;
      }
    }
    id = row.id;
  } else {
    id = tkmac::takeNewObjectId();
  }
  const std::string previousName = m_sName;
  m_sName = path;
  if (config->AdoptObject(this) == 0) {
    SetLastError(tkmac::kErrorAdoptRefused, config->GetLastError());
    if (stored) MMMediaConfigDB().removeObject(MMStoredKind::DeviceController, id);
    m_sName = previousName;
    return false;
  }
  ZQMACGraph::SetId(this, id);
  m_sVolume = path;
  m_bConfigured = true;
  if (m_bJoinDevice) ZQMACGraph::AddVolumeToDevice(device, this);
  m_bJoinDevice = false;
  ClearLastError();
  return true;
}

// ---------------------------------------------------------------- re-reads and remote paths

bool ZQMACGraph::StoreNewDeviceSettings(ZQMACDiskDevice* device, int id) {
  // The remote-host settings go with the device's first volume
  // (Configure): a device whose volume was refused keeps none.
  if (device->m_iGuidType != 0) device->MarkChanged(&device->m_iGuidType);
  tkmac::MarkedValues marked;
  if (!tkmac::collectMarked(*device, MMStoredKind::Device, true, marked)) return false;
  if (marked.values.empty()) return true;
  if (!WriteStored(device, MMStoredKind::Device, id, nullptr, MMMediaConfigDB::kKeepConfigured, {}, marked.values))
    return false;
  tkmac::forgetMarks(marked);
  return true;
}

bool ZQMACGraph::StoreRemoteHostInfo(ZQMACDiskDevice* device, bool movePaths) {
  const std::string& path = device->m_sRemoteHostVolume;
  std::vector<ZQMACDiskVolume*> moved;
  for (int i = 0; movePaths && i < device->m_volumeList.GetListCount(); ++i) {
    ZQMACDiskVolume* volume = device->m_volumeList[i];
    if (!path.empty() && volume->m_sVolume != path && volume->GetId() != 0xFFFFFFFFu) moved.push_back(volume);
  }
  if (moved.empty()) return StoreChanges(device);
  tktran::StoreStep step(__func__);
  if (!step.begin()) {
    device->SetLastError(tkmac::kErrorDatabase,
                         "The change could not be stored: " + step.error());
    return false;
  }
  if (!StoreChanges(device)) return false;
  // StoreObject gives each volume its new path as it writes it; those are
  // put back should a later step (or the commit) fail.
  std::vector<std::pair<ZQMACDiskVolume*, std::string>> before;
  auto putBack = [&]() {
    for (auto& [volume, old] : before) {
      volume->m_sName = old;
      volume->m_sVolume = old;
    }
    return false;
  };
  for (ZQMACDiskVolume* volume : moved) {
    before.emplace_back(volume, volume->m_sVolume);
    if (!StoreObject(volume, &path, MMMediaConfigDB::kKeepConfigured)) {
      device->SetLastError(volume->GetLastErrorCode(), volume->GetLastError());
      return putBack();
    }
  }
  if (!step.commit()) {
    device->SetLastError(tkmac::kErrorDatabase,
                         "The change could not be stored: " + step.error());
    return putBack();
  }
  return true;
}
