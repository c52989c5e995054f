// Bodies of the object model that the copy-manager requests use: the shown
// devices, the controllers of a device, the concurrency limit and the
// software copy manager that an agent gets. Changes are made in the
// instance; "SetConcurrencyLimit" and "AddSoftwareCopyManager" can be
// scripted to fail (ZQMACPlatform.h).
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"

ZQMACLinkedList<ZQMACCopyMgrDevice> ZQMACMediaConfig::GetShownCopyMgrDeviceList() const {
  ZQMACLinkedList<ZQMACCopyMgrDevice> all = m_copyMgrDeviceList;
  ZQMACLinkedList<ZQMACCopyMgrDevice> out;
  for (ZQMACCopyMgrDevice* device = all.GetFirstNode(); device != nullptr; device = all.GetNextNode())
    if (device->IsShown()) out.AddNode(device);
  return out;
}

ZQMACLinkedList<ZQMACCopyMgrController> ZQMACCopyMgrDevice::GetControllerList() const {
  ZQMACLinkedList<ZQMACCopyMgrController> out;
  ZQMACMediaConfig* owner = GetOwner();
  if (owner == nullptr) return out;
  ZQMACLinkedList<ZQMACCopyMgrController> all = owner->GetCopyMgrControllerList();
  for (ZQMACCopyMgrController* c = all.GetFirstNode(); c != nullptr; c = all.GetNextNode())
    if (c->GetCopyMgrDevice() == this) out.AddNode(c);
  return out;
}

bool ZQMACCopyMgrDevice::SetConcurrencyLimit(int limit) {
  tkmac::journal().record("SetConcurrencyLimit", GetHandle(), limit);
  if (tkmac::failed(*this, "SetConcurrencyLimit")) return false;
  if (limit < 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The concurrency limit cannot be negative.");
    return false;
  }
  ZQMACGraph::SetConcurrencyLimit(this, limit);
  return true;
}

bool ZQMACMediaAgent::AddSoftwareCopyManager(int concurrencyLimit) {
  tkmac::journal().record("AddSoftwareCopyManager", GetHandle(), concurrencyLimit);
  if (tkmac::failed(*this, "AddSoftwareCopyManager")) return false;
  ZQMACMediaConfig* owner = GetOwner();
  if (owner == nullptr || concurrencyLimit < 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The software copy manager cannot be added to this media agent.");
    return false;
  }
  const std::string name = "Software copy manager on " + GetName();
  ZQMACCopyMgrDevice* device = ZQMACGraph::AddCopyMgrDevice(*owner, -1, name);
  if (device == nullptr) {
    SetLastError(owner->GetLastErrorCode(), owner->GetLastError());
    return false;
  }
  ZQMACGraph::SetConcurrencyLimit(device, concurrencyLimit);
  if (ZQMACGraph::AddCopyMgrController(device, this, -1, name) == nullptr) {
    SetLastError(owner->GetLastErrorCode(), owner->GetLastError());
    owner->DeleteObject(device);
    return false;
  }
  return true;
}
