// Bodies of the object model that the copy-manager requests use: the shown
// devices, the controllers of a device, the concurrency limit and the
// software copy manager that an agent gets. "SetConcurrencyLimit" and
// "AddSoftwareCopyManager" can be scripted to fail (ZQMACPlatform.h).
//
// In an instance loaded from the central database a software copy manager
// is a row of its own (MMCopyManager: the device with its one controller),
// a stored kind as any other (MMStoredKinds.h): written before the instance
// changes, so that a re-read and a restart find what a request answered
// "Success" for; removed with its row (the device takes its controller
// along and the controller its device); its configured state a setting of
// the model's own. The loads lay the rows with every other kind's
// (ZQMACDbLoader.cpp), and a row born again under the id of one laid
// before makes a new object. An instance filled another way (a test's
// loader) keeps them in memory only.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMCopyManagerDB.h"
#include "platform/mmdb/MMDerivedNames.h"

namespace {

// Whether the device has a row to write: false, without a last error, for
// one of an instance not loaded from the central database.
bool storedDevice(const ZQMACCopyMgrDevice& device) {
  const ZQMACMediaConfig* owner = device.GetOwner();
  return owner != nullptr && ZQMACGraph::IsDatabaseBacked(*owner);
}

MMStoredCopyManager rowOf(ZQMACCopyMgrDevice& device, const std::string& name, int limit) {
  MMStoredCopyManager row;
  row.id = static_cast<int>(device.GetId());
  row.name = name;
  row.concurrencyLimit = limit;
  return row;
}

}  // namespace

namespace tkmac {

bool storeCopyManager(ZQMACCopyMgrDevice& device, const std::string& name, int limit) {
  if (!storedDevice(device)) return true;
  if (device.GetId() == 0xFFFFFFFFu) {
    device.SetLastError(kErrorNotStored,
                        "The object is not stored in the configuration database; it cannot be changed there.");
    return false;
  }
  MMCopyManagerDB access;
  if (access.updateCopyManager(rowOf(device, name, limit)) != 0) {
    device.SetLastError(modelErrorOf(access), access.lastErrorText());
    return false;
  }
  return true;
}

}  // namespace tkmac

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
  if (!tkmac::storeCopyManager(*this, GetName(), limit)) return false;
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
  // Made to fit its column, as every name made of another object's is.
  const std::string name = tkmmdb::copyManagerName(GetName());
  // Stored first: a refused row leaves the instance as it was.
  MMStoredCopyManager row;
  row.id = -1;
  row.name = name;
  row.concurrencyLimit = concurrencyLimit;
  row.clientId = static_cast<int>(GetId());
  row.controllerName = name;
  MMCopyManagerDB access;
  const bool stored = ZQMACGraph::IsDatabaseBacked(*owner);
  if (stored && access.insertCopyManager(row) != 0) {
    SetLastError(tkmac::modelErrorOf(access), access.lastErrorText());
    return false;
  }
  ZQMACCopyMgrDevice* device = ZQMACGraph::AddCopyMgrDevice(*owner, row.id, name);
  ZQMACCopyMgrController* controller =
      device != nullptr ? ZQMACGraph::AddCopyMgrController(device, this, row.id, name) : nullptr;
  if (controller == nullptr) {
    SetLastError(owner->GetLastErrorCode(), owner->GetLastError());
    if (device != nullptr) owner->DeleteObject(device);
    if (stored) access.removeCopyManager(row.id);
    return false;
  }
  ZQMACGraph::SetConcurrencyLimit(device, concurrencyLimit);
  return true;
}
