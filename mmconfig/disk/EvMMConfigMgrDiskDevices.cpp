// Disk devices: the filtered device list a console chooses a device from
// (reply 11211, optionally for one disk library), every device with its
// record (11198), one device's record, and the change of a device's name
// and DRU host (onMsgSetDiskDevice, operation 3).
//
// The device list (11211) sends one 11192 [id][text A] per device that
// passes the filter and the library's conditions, without record ends.
// Filter 5 is filter 0 without devices in use by a disk library; filter 6
// is filter 0 without devices a library uses as a disk folder. A library
// narrows the list by its type and by the type of its first mount path.
//
// A handle of another kind of object than the request is about counts as
// not found: an empty block, or for the change "Success" with nothing
// changed.
#include <cstdint>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "mmconfig/disk/DiskRecords.h"

namespace {

constexpr const char* kListTag = "EvMMConfigMgr::onMsgGetDiskDeviceList";
constexpr const char* kListWithLibraryTag = "EvMMConfigMgr::onMsgGetDiskDeviceListWithMagLibrary";
constexpr const char* kDevicesTag = "EvMMConfigMgr::onMsgGetDiskDevices";
constexpr const char* kPropertiesTag = "EvMMConfigMgr::onMsgGetDiskDeviceProperties";
constexpr const char* kSetTag = "EvMMConfigMgr::onMsgSetDiskDevice";

constexpr unsigned long kReplyDeviceList = tktag::kReplyDiskDeviceList;
constexpr unsigned long kReplyDevices = tktag::kReplyDiskDevices;

constexpr unsigned long kItemDiskKinds = tktag::kDiskDeviceKinds;     // bit 0: kind-3 devices, bit 1: kind-4 devices
constexpr unsigned long kItemKind2Devices = tktag::kDiskDevicesType2;  // 1 when kind-2 devices exist

// Position of the filter in the fixed payload of the request for a library.
constexpr std::size_t kLibraryFilterOffset = 12;

// Filters of the device list.
constexpr int kFilterAll = 0;
constexpr int kFilterKind2 = 2;
constexpr int kFilterNotInUse = 5;
constexpr int kFilterNotFolder = 6;

// Kinds of GetShownDiskDeviceList.
constexpr int kKindLibraryDevices = 0;
constexpr int kKindAll = 1;
constexpr int kKind2 = 2;
constexpr int kKind3 = 3;
constexpr int kKind4 = 4;

// Identification types that a device keeps even while a library uses it.
constexpr int kGuidType999 = 999;
constexpr int kGuidType1000 = 1000;

// Display types the library and mount-path conditions ask for.
constexpr int kAnyDisplayType = -1;
constexpr int kDisplayTypeDisk = 1;
constexpr int kDisplayType59 = 59;
constexpr int kDisplayType3000 = 3000;
constexpr int kOrdinaryDisplayMin = 2;
constexpr int kOrdinaryDisplayMax = 1000;

// Disk-library types with conditions of their own.
constexpr int kLibraryType0 = 0;
constexpr int kLibraryType3 = 3;
constexpr int kLibraryType4 = 4;
constexpr int kLibraryType6 = 6;
constexpr int kLibraryType7 = 7;
constexpr int kLibraryType8 = 8;
// Mount-path types of a library's first mount path.
constexpr int kMountPathType2 = 2;
constexpr int kMountPathType4 = 4;
constexpr int kMountPathType5 = 5;
constexpr int kMountPathType7 = 7;
constexpr const char* kDiskFolderMark = "ZQDiskFolder";

constexpr uint32_t kOpModify = 3;
constexpr uint32_t kElementName = tktag::kDiskDevice;  // [u32][new name]
constexpr uint32_t kElementDRUHost = tktag::kDRUHost;

// What a device must be to be listed.
struct DeviceFilter {
  int filter = kFilterAll;
  bool dropInUse = false;
  bool dropFolders = false;
  int wantedDisplayType = kAnyDisplayType;
  bool noSpecialGuid = false;
  bool onlyGuid999 = false;
  bool ordinaryDisplay = false;
  // The library that uses each device, found once for the whole list.
  ZQMACDiskDevice::MagLibraryUsers users;

  DeviceFilter(int requested, ZQMACMediaConfig& config, ZQMACMagLib* library) : filter(requested), users(config) {
    if (filter == kFilterNotInUse) {
      filter = kFilterAll;
      dropInUse = true;
    } else if (filter == kFilterNotFolder) {
      filter = kFilterAll;
      dropFolders = true;
    }
    if (library != nullptr) applyLibrary(config, *library);
  }

  void applyLibrary(ZQMACMediaConfig& config, ZQMACMagLib& library) {
    switch (library.GetMagLibType()) {
      case kLibraryType4:
        onlyGuid999 = true;
        wantedDisplayType = kDisplayTypeDisk;
        return;
      case kLibraryType7: wantedDisplayType = kDisplayType3000; return;
      case kLibraryType8:
        wantedDisplayType = kDisplayType59;
        dropInUse = filter == kFilterAll;
        return;
      default: break;
    }
    if (library.GetMagLibType() == kLibraryType6) ordinaryDisplay = true;
    if (library.GetMagLibType() == kLibraryType0 || library.GetMagLibType() == kLibraryType3)
      wantedDisplayType = kDisplayTypeDisk;
    ZQMACMountPath* first = library.GetMountPathList().GetFirstNode();
    if (first == nullptr) return;
    switch (first->GetMountPathType()) {
      case kMountPathType2:
        noSpecialGuid = true;
        wantedDisplayType = kDisplayTypeDisk;
        break;
      case kMountPathType4:
      case kMountPathType5:
        onlyGuid999 = true;
        wantedDisplayType = kDisplayTypeDisk;
        break;
      case kMountPathType7:
        ordinaryDisplay = true;
        if (ZQMACDiskDevice* foreign = config.FindDBNode<ZQMACDiskDevice>(first->GetForeignAgantId()))
          wantedDisplayType = foreign->GetDisplayDeviceType();
        break;
      default: break;
    }
  }

  bool passes(ZQMACDiskDevice& device) const {
    const int guidType = device.GetGuidType();
    const bool specialGuid = guidType == kGuidType999 || guidType == kGuidType1000;
    ZQMACMagLib* user = users.Of(device);
    const int display = device.GetDisplayDeviceType();
    if ((filter == kFilterAll || filter == kFilterKind2) && !specialGuid && user != nullptr) return false;
    if (dropInUse && user != nullptr) return false;
    if (wantedDisplayType >= 1 && wantedDisplayType != display) return false;
    if (noSpecialGuid && specialGuid) return false;
    if (onlyGuid999 && guidType != kGuidType999) return false;
    if (ordinaryDisplay && (display < kOrdinaryDisplayMin || display > kOrdinaryDisplayMax || display == kDisplayType59))
      return false;
    if (dropFolders && user != nullptr && usedAsFolder(*user, device)) return false;
    return true;
  }

  // The library uses the device as a disk folder: through a mount path of
  // type 4 or 5 on that very device whose name carries the folder mark.
  static bool usedAsFolder(ZQMACMagLib& library, const ZQMACDiskDevice& device) {
    ZQMACLinkedList<ZQMACMountPath> paths = library.GetMountPathList();
    for (ZQMACMountPath* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode()) {
      const int type = path->GetMountPathType();
      if ((type == kMountPathType4 || type == kMountPathType5) &&
          path->GetForeignAgantId() == static_cast<int>(device.GetId()) &&
          path->GetName().find(kDiskFolderMark) != std::string::npos)
        return true;
    }
    return false;
  }
};

bool lookupMMDiskDeviceList(EvMMConfigMgr& reply, ZQMACMediaConfig& config, int filter, ZQMACMagLib* library) {
  const DeviceFilter conditions(filter, config, library);
  const int kind = conditions.filter < kFilterKind2 ? kKindLibraryDevices : kKind2;
  tkmm::RecordWriter out(reply);
  for (unsigned long long handle : tkmm::handlesOf(config.GetShownDiskDeviceList(true, kind), config)) {
    ZQMACDiskDevice* device = config.FindObject<ZQMACDiskDevice>(handle);
    if (device == nullptr || !conditions.passes(*device)) continue;
    out.idText(tkmm::kItemDiskDevice, device->GetId(), device->GetTextA(true));
  }
  return true;
}

// Operation 3: the new name and the DRU host of the device of 11003.
class DeviceChange : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override { return operation == kOpModify; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type == kElementName)
      m_name.set(MessageWalker::readPairText(value, length));
    else if (type == kElementDRUHost)
      m_druId = MessageWalker::readI32(value, length);
    else
      return false;
    return true;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACDiskDevice* device = record.object<ZQMACDiskDevice>();
    if (device == nullptr) return tkmm::SetOutcome::success();
    // The name and the DRU host are one change: stored together, and a
    // refused host (or commit) leaves the device with its old name.
    const std::string oldName = device->GetName();
    const tkmm::SetOutcome outcome = tkmm::storedTogether(kSetTag, "the device's changes", [&] {
      if (m_name.has && !device->SetName(m_name.value)) return tkmm::SetOutcome::lastError(*device);
      if (m_druId >= 0 && !device->SetDRUId(m_druId)) return tkmm::SetOutcome::lastError(*device);
      return tkmm::SetOutcome::success();
    });
    if (outcome.kind() != tkmm::SetOutcome::Kind::Success && m_name.has) device->AssignName(oldName);
    return outcome;
  }

 private:
  tkmm::ElementValue<std::string> m_name;
  int m_druId = -1;  // not sent
};

}  // namespace

bool EvMMConfigMgr::onMsgGetDiskDeviceList(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDeviceList, kListTag, [&](ZQMACMediaConfig& config) {
    return lookupMMDiskDeviceList(*this, config, static_cast<int>(request->elementCount), nullptr);
  });
}

bool EvMMConfigMgr::onMsgGetDiskDeviceListWithMagLibrary(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDeviceList, kListWithLibraryTag, [&](ZQMACMediaConfig& config) {
    ZQMACMagLib* library = config.FindObject<ZQMACMagLib>(request->objectHandle);
    const int filter = static_cast<int>(request->payloadWord(kLibraryFilterOffset));
    return lookupMMDiskDeviceList(*this, config, filter, library);
  });
}

bool EvMMConfigMgr::onMsgGetDiskDevices(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDevices, kDevicesTag, [&](ZQMACMediaConfig& config) {
    tkmm::RecordWriter out(*this);
    uint32_t kinds = 0;
    if (config.HasShownDiskDevice(true, kKind3)) kinds |= 1u;
    if (config.HasShownDiskDevice(true, kKind4)) kinds |= 2u;
    out.u32(kItemDiskKinds, kinds);
    out.flag(kItemKind2Devices, config.HasShownDiskDevice(true, kKind2));
    for (unsigned long long handle : tkmm::handlesOf(config.GetShownDiskDeviceList(false, kKindAll), config)) {
      ZQMACDiskDevice* device = config.FindObject<ZQMACDiskDevice>(handle);
      if (device == nullptr || (!device->TestStateA() && device->GetSanDBId() > 0)) continue;
      out.handle(tkmm::kItemObjectHandle, handle);
      tkmm::diskDeviceRecord(out, config, *device);
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetDiskDeviceProperties(MessageInfo* request) {
  return tkmm::runPropertyGet(*this, request, kReplyDevices, kPropertiesTag,
                              [&](ZQMACMediaConfig& config, ZQMACInterface& object) {
                                tkmm::RecordWriter out(*this);
                                if (auto* device = dynamic_cast<ZQMACDiskDevice*>(&object))
                                  tkmm::diskDeviceRecord(out, config, *device);
                                return true;
                              });
}

bool EvMMConfigMgr::onMsgSetDiskDevice(MessageInfo* request) {
  DeviceChange change;
  return tkmm::runSet(request, kSetTag, change);
}
