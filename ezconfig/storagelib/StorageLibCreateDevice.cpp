// Create device: operation 256 of the storage-library request. A media
// agent gets a volume of a disk device: the device the configuration lists
// under the requested name, or a new network disk device. The volume binds
// the device to the media agent with the requested access type, folder and
// credentials; a new device is then given the requested name. The frame has
// checked rights and holds the media agent's lock; it answers with the
// device id left here.
//
// Data-server access (bits 16, 32, 128) reaches an existing device only, on
// no folder of its own, and only when the device's controllers that have a
// data-server bit share one with the request.
//
// The media agent is looked up before a new device is made. The device,
// its volume and its name are one change (OperationChange): a refused
// volume or rename keeps neither the new device nor its volume.
#include <strings.h>

#include <climits>
#include <memory>
#include <string>

#include "Db/Tbl/MMDeviceController.h"
#include "ezconfig/mountpath/MountPathOps.h"
#include "ezconfig/storagelib/StorageLibDeviceSteps.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMDeviceDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibCreateDevice";

// Catalogue texts.
constexpr unsigned long kTextMissingInput = 0x2300091B;
constexpr unsigned long kTextOutOfRange = 0x2300091C;
constexpr unsigned long kTextAccessRefused = 0x23000AB0;
constexpr unsigned long kTextControllerUnread = 0x23000AB1;
constexpr unsigned long kTextMediaAgentUnknown = 0x230008B0;
constexpr unsigned long kTextVolumeExists = 0x2300091D;
constexpr unsigned long kTextNotConfigured = 0x2300091E;
constexpr unsigned long kTextNotRenamed = 0x23000919;  // %1 the device's first name

// Access-type bits.
constexpr int kDataServerBits = 0xB0;
constexpr int kPreferredBit = 8;
constexpr int kDefaultAccessType = 14;
constexpr int kDefaultDeviceType = 1;

constexpr unsigned kIsolation = 4;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;

const StorageLibResult kFailure{StorageLibOutcome::kFailure, false};

// A number of the description; `fits` false when it does not fit 32 bits.
int readNumber(const CNMessageBase& info, const tkxml::FieldDef& field, bool& fits) {
  const long long value = info.getint64(field.tag, Info::kClassHash, field.hash);
  if (value < INT_MIN || value > INT_MAX) fits = false;
  return static_cast<int>(value);
}

class DeviceCreation {
 public:
  explicit DeviceCreation(StorageLibraryRequest& w) : w_(w) {}
  StorageLibResult run();

 private:
  bool readInput();
  bool dataServerAllowed();
  bool makeDevice();
  bool saveVolume();
  template <class... Args>
  bool refuse(unsigned long id, const Args&... arguments) {
    tkezconfig::refuseWithText(w_, id, arguments...);
    return false;
  }

  StorageLibraryRequest& w_;
  std::string deviceName_;
  std::string mountPath_;
  int accessType_ = 0;
  int deviceType_ = 0;
  ZQMACMediaAgent* agent_ = nullptr;
  ZQMACDiskDevice* device_ = nullptr;
  bool newDevice_ = false;
};

// Steps 1 and 2.
bool DeviceCreation::readInput() {
  const CNMessageBase& info = *w_.library;
  deviceName_ = w_.deviceAliasName;
  mountPath_ = w_.mountPathName;
  bool fits = true;
  accessType_ = readNumber(info, Info::kAccessType, fits);
  deviceType_ = readNumber(info, Info::kDeviceType, fits);
  if (deviceName_.empty() || w_.mediaAgentName.empty() ||
      (mountPath_.empty() && (accessType_ & kDataServerBits) == 0)) {
    EvDebug::Error(kTag, "%s",
                   "Device name and mediaAgent name and mountpath are empty, please pass proper input xml to create "
                   "device");
    return refuse(kTextMissingInput);
  }
  // Both are stored; a name or folder cut to fit would name another.
  if (!tkezconfig::fitsColumn(w_, deviceName_, tkezconfig::kDeviceNameWidth, "device name") ||
      !tkezconfig::fitsColumn(w_, mountPath_, TK_TEXT_WIDTH(MMDeviceController_t, Folder), "mount path"))
    return false;
  if (deviceType_ == 0) deviceType_ = kDefaultDeviceType;
  if (accessType_ == 0) accessType_ = kDefaultAccessType;
  // A value beyond 32 bits is out of range as a negative one is.
  if (!fits || deviceType_ < 0 || accessType_ < 0) {
    EvDebug::Error(kTag, "%s", "Device type or device access type are out of range, please pass proper input xml");
    return refuse(kTextOutOfRange);
  }
  return true;
}

// Step 5: sharing a device on data-server access.
bool DeviceCreation::dataServerAllowed() {
  mountPath_.clear();
  if (w_.deviceId <= 0) {
    EvDebug::Error(kTag, "Device can't be created with device accessType [%d].", accessType_);
    return refuse(kTextAccessRefused);
  }
  if ((accessType_ & kPreferredBit) != 0) {
    EvDebug::Error(kTag, "%s", "Device can't be shared with preferred device accessType.");
    return refuse(kTextAccessRefused);
  }
  MMDeviceController controllers(nullptr);
  controllers.setIsolationType(kIsolation);
  controllers.setTop(1);
  controllers.setWhere("DeviceId = %d AND DeviceAccessType & %d > 0", w_.deviceId, kDataServerBits);
  const int read = getOneRow(&controllers, false, -1, 0);
  if (read == DB_NO_ROW) return true;
  if (read != 0) {
    EvDebug::Error(kTag, "Failed to get device controller for device id [%d], errorCode [%d].", w_.deviceId, read);
    return refuse(kTextControllerUnread);
  }
  const int existing = controllers.getDataPtr()->DeviceAccessType & kDataServerBits;
  if ((existing & accessType_) == 0) {
    EvDebug::Error(kTag,
                   "Device can't be shared with device accessType [%d], it did not match with existing accessType "
                   "[%d].",
                   accessType_, existing);
    return refuse(kTextAccessRefused);
  }
  return true;
}

// Step 6: a new network disk device of the requested type.
bool DeviceCreation::makeDevice() {
  std::unique_ptr<ZQMACDiskDevice> made = ZQMACDiskDevice::GetNewNetworkDiskObject(deviceType_);
  if (made == nullptr || !w_.config->AddDiskDevice(made.get())) {
    EvDebug::Error(kTag, "Failed to add device [%s]: %s", deviceName_.c_str(), w_.config->GetLastError().c_str());
    return refuse(kTextNotConfigured);
  }
  device_ = made.release();  // the configuration owns it now
  newDevice_ = true;
  return true;
}

// Steps 9 and 10.
bool DeviceCreation::saveVolume() {
  ZQMACLinkedList<ZQMACDiskVolume> volumes = device_->GetVolumeList();
  for (ZQMACDiskVolume* v = volumes.GetFirstNode(); v != nullptr; v = volumes.GetNextNode()) {
    if (v->GetMediaAgent() != agent_) continue;
    EvDebug::Error(kTag, "Device controller [%s] is already exists for the Device [%s] ", w_.mediaAgentName.c_str(),
                   deviceName_.c_str());
    return refuse(kTextVolumeExists);
  }
  auto volume = std::make_unique<ZQMACDiskVolume>(nullptr);
  volume->SetMediaAgent(agent_);
  volume->SetDiskDevice(device_, true);
  volume->SetDetected(true);
  if (!mountPath_.empty()) volume->SetVolume(mountPath_);
  volume->SetDeviceAccessType(accessType_);
  volume->SetUserName(w_.userName);
  volume->SetUserPassword(w_.password);
  volume->SetDeviceAccessType(accessType_);
  if (!volume->Configure(0)) {
    EvDebug::Error(kTag, "Failed to configure device [%s] : %s", deviceName_.c_str(), volume->GetLastError().c_str());
    volume->SetDiskDevice(nullptr, false);  // before its device can go
    return refuse(kTextNotConfigured);
  }
  volume.release();  // the configuration owns it now
  return true;
}

StorageLibResult DeviceCreation::run() {
  if (!readInput() || !tkezconfig::readRequestConfiguration(w_, kTag)) return kFailure;

  // 4. The device the configuration lists under the requested name.
  ZQMACLinkedList<ZQMACDiskDevice> devices = w_.config->GetDiskDeviceList();
  for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr; d = devices.GetNextNode()) {
    if (strcasecmp(d->GetName().c_str(), deviceName_.c_str()) != 0) continue;
    device_ = d;
    w_.deviceId = static_cast<int>(d->GetId());
    break;
  }
  if ((accessType_ & kDataServerBits) != 0 && !dataServerAllowed()) return kFailure;

  // 7, before a device is made for it.
  agent_ = w_.config->FindDBNode(w_.mediaAgentName);
  if (agent_ == nullptr) {
    EvDebug::Error(kTag, "Failed to get info for media agent [%s]", w_.mediaAgentName.c_str());
    refuse(kTextMediaAgentUnknown);
    return kFailure;
  }
  // 8. A device id the configuration does not list under the name: there is
  // nothing to give the media agent.
  if (w_.deviceId >= 1 && device_ == nullptr) {
    EvDebug::Error(kTag, "Device [%s] with id [%d] is not in the configuration.", deviceName_.c_str(), w_.deviceId);
    refuse(kTextNotConfigured);
    return kFailure;
  }
  tkezconfig::OperationChange change(w_, kTag);
  if (!change.begin()) return kFailure;
  // 6.
  if (device_ == nullptr && !makeDevice()) return kFailure;
  if (!saveVolume()) return kFailure;

  // 11. A new device takes the requested name.
  if (newDevice_) {
    w_.deviceId = static_cast<int>(device_->GetId());
    const std::string firstName = device_->GetName();
    MMDeviceDB table;
    if (table.renameDevice(w_.deviceId, deviceName_.c_str()) != 0) {
      EvDebug::Error(kTag, "Failed to rename the device [%s]", firstName.c_str());
      refuse(kTextNotRenamed, firstName);
      return kFailure;
    }
  }

  if (!change.commit()) return kFailure;

  // 12. The reply carries the mount path as stored (none for data-server
  // access), as the audit does.
  w_.mountPathName = mountPath_;
  tkezconfig::auditConfiguredObject(w_, deviceName_, mountPath_);
  return StorageLibResult{};
}

}  // namespace

StorageLibResult EvMMConfigMgr::StorageLibCreateDevice(StorageLibraryRequest& w) {
  DeviceCreation creation(w);
  return creation.run();
}
