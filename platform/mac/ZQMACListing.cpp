// Bodies of the object model that the library listing reads: the shown
// libraries, disk devices and archive-cluster agents of a configuration,
// icon numbers, drive counts, library identity and the virtual-tape-library
// types. They read the graph only; none of them changes it.
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"

namespace {

// The virtual-tape-library types in the order the consoles offer them.
const std::vector<std::pair<int, const char*>>& vtlTypes() {
  static const std::vector<std::pair<int, const char*>>* types = new std::vector<std::pair<int, const char*>>{
      {0, "Physical library"},
      {1, "Virtual tape library"},
      {2, "Virtual tape library with deduplication"},
  };  // lives for the whole process
  return *types;
}

// The elements of `list` for which `keep` holds, in order.
template <class T, class Keep>
ZQMACLinkedList<T> filtered(const ZQMACLinkedList<T>& list, Keep keep) {
  ZQMACLinkedList<T> out;
  list.ForEachNode([&](T* element) {
    if (keep(*element)) out.AddNode(element);
  });
  return out;
}

// Kind 0: the devices a disk library is made on (none of the kinds 2 to 4);
// kind 1: every device; any other kind: that display type.
bool diskDeviceListed(ZQMACDiskDevice& device, bool shownOnly, int deviceType) {
  const int type = device.GetDisplayDeviceType();
  const bool ofKind = deviceType == 0 ? type < 2 || type > 4 : deviceType == 1 ? true : type == deviceType;
  return ofKind && (!shownOnly || device.IsShown());
}

}  // namespace

// ---------------------------------------------------------------- configuration

unsigned int ZQMACMediaConfig::GetIconId(ZQMACInterface* object) const {
  if (object == nullptr || !OwnsObject(object)) return 0;
  return object->GetObjectType() * 10u + (object->TestStateA() ? 0u : 1u);
}

ZQMACLinkedList<ZQMACDiskDevice> ZQMACMediaConfig::GetShownDiskDeviceList(bool shownOnly, int deviceType) const {
  return filtered(m_diskDeviceList,
                  [&](ZQMACDiskDevice& device) { return diskDeviceListed(device, shownOnly, deviceType); });
}

bool ZQMACMediaConfig::HasShownDiskDevice(bool shownOnly, int deviceType) const {
  return m_diskDeviceList.AnyNode(
      [&](ZQMACDiskDevice* device) { return diskDeviceListed(*device, shownOnly, deviceType); });
}

ZQMACLinkedList<ZQMACMediaAgent> ZQMACMediaConfig::GetAvailableMediaAgentForCentraCluster(bool detectedOnly) const {
  return filtered(m_mediaAgentList, [&](ZQMACMediaAgent& agent) {
    return agent.IsShown() && agent.IsCenteraAgent() && (!detectedOnly || agent.IsDetected());
  });
}

bool ZQMACMediaConfig::GetLibraryServerConfigInfo(ZQMACLibController* controller) const {
  if (controller == nullptr || !OwnsObject(controller) || !controller->TestServerFlag()) return false;
  ZQMACLibrary* library = controller->GetLibrary();
  return library != nullptr && !library->GetSlotRange().empty();
}

// ---------------------------------------------------------------- libraries

bool ZQMACLibrary::IsSame(const ZQMACLibrary* other, bool byIdentity, bool byName) const {
  if (other == nullptr) return false;
  if (other == this) return true;
  if (byIdentity && !GetDeviceTextA().empty() && GetDeviceTextA() == other->GetDeviceTextA() &&
      GetVendor() == other->GetVendor() && GetProduct() == other->GetProduct())
    return true;
  return byName && !GetName().empty() && GetName() == other->GetName();
}

const std::vector<int>& ZQMACLibrary::GetVTLTypeList() {
  static const std::vector<int>* list = [] {
    auto* types = new std::vector<int>();  // lives for the whole process
    for (const auto& entry : vtlTypes()) types->push_back(entry.first);
    return types;
  }();
  return *list;
}

std::string ZQMACLibrary::GetVTLTypeString(int vtlType) {
  for (const auto& entry : vtlTypes())
    if (entry.first == vtlType) return entry.second;
  return std::string();
}

unsigned int ZQMACLms::GetCurrentDriveCount(const ZQMACMediaAgent* agent, int /*reserved*/,
                                            const std::string& /*filter*/) {
  if (agent == nullptr) return static_cast<unsigned int>(m_driveList.GetListCount());
  unsigned int count = 0;
  m_driveList.ForEachNode([&](ZQMACDrive* drive) {
    if (ZQMACGraph::DmsOf(*drive).AnyNode([&](ZQMACDms* path) { return path->GetMediaAgent() == agent; })) ++count;
  });
  return count;
}

unsigned int ZQMACLibController::CheckType() const { return m_uDetectedType; }
