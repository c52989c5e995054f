// The object model's calls that the library-change request and drag and
// drop make: the library's setters that can fail, the library's drive and
// discovery calls, a controller's SCSI-bus update, the object action and
// DragNDrop. Each setter stores its value as it sets it (in the library's
// column or among the model's own settings, as ZQMACStoredSettings.h
// declares it), and keeps the old value when nothing was stored. Those
// the request journals can be made to fail (platform/testkit/mac.h).
#include <string>
#include <utility>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"

using tkmac::failed;

int ZQMACLibrary::SetDeviceValue(unsigned int value) {
  tkmac::journal().record("SetDeviceValue", GetHandle(), value);
  if (failed(*this, "SetDeviceValue")) return 0;
  Touch();
  if (!tkmac::setStored(*this, *this, m_uDeviceValue, value)) return 0;
  ClearLastError();
  return 1;
}

bool ZQMACLibrary::SetDeviceTextC(const std::string& text) {
  tkmac::journal().record("SetDeviceTextC", GetHandle(), text);
  if (failed(*this, "SetDeviceTextC")) return false;
  return setOwn(m_sDeviceTextC, text);
}

bool ZQMACLibrary::SetDriveCount(int count) {
  tkmac::journal().record("SetDriveCount", GetHandle(), count);
  if (failed(*this, "SetDriveCount")) return false;
  if (count < 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The drive count cannot be negative.");
    return false;
  }
  return setOwn(m_iDriveCount, count);
}

bool ZQMACLibrary::SetDoorLockFlag(bool locked) {
  tkmac::journal().record("SetDoorLockFlag", GetHandle(), locked);
  if (failed(*this, "SetDoorLockFlag")) return false;
  return setOwn(m_bDoorLock, locked);
}

bool ZQMACLibrary::SetBarCodeReader(bool present) {
  Touch();
  // A configured library keeps its flag.
  if (TestStateA()) return true;
  return setOwn(m_bBarCodeReader, present);
}

bool ZQMACLibrary::SetAutoConfigDDSFlag(bool on) { return setOwn(m_bAutoConfigDDS, on); }
bool ZQMACLibrary::SetAutoConfigFailoverFlag(bool on) { return setOwn(m_bAutoConfigFailover, on); }
bool ZQMACLibrary::SetUseACSLSCleanPoolFlag(bool on) { return setOwn(m_bUseACSLSCleanPool, on); }
bool ZQMACLibrary::SetUseIPDriveIDFlag(bool on) { return setOwn(m_bUseIPDriveID, on); }
bool ZQMACLibrary::SetLibAttributeFlag(int word) { return setOwn(m_iAttribute, word); }
bool ZQMACLibrary::SetVolumeRangeString(const std::string& range) { return setOwn(m_sVolumeRange, range); }
bool ZQMACLibrary::SetVTLType(int vtlType) { return setOwn(m_iVTLType, vtlType); }

template <class T, class V>
bool ZQMACLibrary::setOwn(T& member, V&& value) {
  Touch();
  if (!tkmac::setStored(*this, *this, member, std::forward<V>(value))) return false;
  ClearLastError();
  return true;
}

int ZQMACLms::GetLastOccupiedDriveNumber() const {
  int last = 0;
  ZQMACLinkedList<ZQMACDrive> drives = m_driveList;
  for (ZQMACDrive* drive = drives.GetFirstNode(); drive != nullptr; drive = drives.GetNextNode())
    if (drive->GetDriveNumber() > last) last = drive->GetDriveNumber();
  return last;
}

bool ZQMACLms::SetAutoDiscover(bool on, int mediaType) {
  tkmac::journal().record("SetAutoDiscover", GetHandle(), on, mediaType);
  if (failed(*this, "SetAutoDiscover")) return false;
  Touch();
  const bool wasOn = m_bAutoDiscover;
  m_bAutoDiscover = on;
  MarkChanged(&m_bAutoDiscover);
  if (!tkmac::setStored(*this, *this, m_iAutoDiscoverMediaType, mediaType)) {
    m_bAutoDiscover = wasOn;
    ForgetChanged(&m_bAutoDiscover);
    return false;
  }
  ClearLastError();
  return true;
}

bool ZQMACLms::SetDiscoverSchedule() {
  tkmac::journal().record("SetDiscoverSchedule", GetHandle());
  if (failed(*this, "SetDiscoverSchedule")) return false;
  ClearLastError();
  return true;
}

bool ZQMACLibController::UpdateSCSIBus(ZQMACLibController* source) {
  ZQMACMediaConfig* owner = GetOwner();
  const unsigned long long sourceHandle = owner != nullptr ? owner->GetHandle(source) : 0;
  tkmac::journal().record("UpdateSCSIBus", GetHandle(), sourceHandle);
  // Only a live controller of this controller's own instance is taken.
  if (source == nullptr || sourceHandle == 0 || owner->FindObject<ZQMACLibController>(sourceHandle) != source) {
    SetLastError(tkmac::kErrorNoController, "The library controller to take the SCSI bus from does not exist.");
    return false;
  }
  if (failed(*this, "UpdateSCSIBus")) return false;
  if (!ZQMACGraph::TakeScsiBus(this, this, *source)) return false;
  ClearLastError();
  return true;
}

bool ZQMACInterface::RunObjectAction() {
  tkmac::journal().record("RunObjectAction", GetHandle());
  if (failed(*this, "RunObjectAction")) return false;
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::DragNDrop(unsigned long long source, unsigned long long target, unsigned int mode) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("DragNDrop", source, target, mode);
  if (failed(*this, "DragNDrop")) return false;
  if (FindObject(source) == nullptr || (target != 0 && FindObject(target) == nullptr)) {
    SetLastError(tkmac::kErrorDropRefused, "The object dragged or the object dropped on no longer exists.");
    return false;
  }
  ClearLastError();
  return true;
}
