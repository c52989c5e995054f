// The object model's calls that the library-change request and drag and
// drop make: the library's setters that can fail, the library's drive and
// discovery calls, a controller's SCSI-bus update, the object action and
// DragNDrop. A setter that can fail stores its value first (in the
// library's column, else among the model's own settings) and changes the
// instance only once it is stored; the inline setters stage theirs for
// ZQMACGraph::StoreLibrarySettings. Each is journaled and can be made to
// fail (platform/testkit/mac.h).
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"

using tkmac::failed;

int ZQMACLibrary::SetDeviceValue(unsigned int value) {
  tkmac::journal().record("SetDeviceValue", GetHandle(), value);
  if (failed(*this, "SetDeviceValue")) return 0;
  if (!ZQMACGraph::StoreSettings(this, {}, {{tkmac::setting::kDeviceValue, std::to_string(value)}})) return 0;
  m_uDeviceValue = value;
  ClearLastError();
  return 1;
}

bool ZQMACLibrary::SetDeviceTextC(const std::string& text) {
  tkmac::journal().record("SetDeviceTextC", GetHandle(), text);
  if (failed(*this, "SetDeviceTextC")) return false;
  if (!ZQMACGraph::StoreSettings(this, {}, {{tkmac::setting::kDeviceTextC, text}})) return false;
  m_sDeviceTextC = text;
  ClearLastError();
  return true;
}

bool ZQMACLibrary::SetDriveCount(int count) {
  tkmac::journal().record("SetDriveCount", GetHandle(), count);
  if (failed(*this, "SetDriveCount")) return false;
  if (count < 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The drive count cannot be negative.");
    return false;
  }
  if (!ZQMACGraph::StoreSettings(this, {{"DriveCount", count}}, {})) return false;
  m_iDriveCount = count;
  ClearLastError();
  return true;
}

bool ZQMACLibrary::SetDoorLockFlag(bool locked) {
  tkmac::journal().record("SetDoorLockFlag", GetHandle(), locked);
  if (failed(*this, "SetDoorLockFlag")) return false;
  if (!ZQMACGraph::StoreSettings(this, {}, {{tkmac::setting::kDoorLock, locked ? "1" : "0"}})) return false;
  m_bDoorLock = locked;
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
  if (!ZQMACGraph::StoreSettings(this, {},
                                 {{tkmac::setting::kAutoDiscover, on ? "1" : "0"},
                                  {tkmac::setting::kAutoDiscoverMediaType, std::to_string(mediaType)}}))
    return false;
  m_bAutoDiscover = on;
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
  if (!ZQMACGraph::StoreSettings(this, {},
                                 {{tkmac::setting::kScsiAddress, std::to_string(source->GetAddress())},
                                  {tkmac::setting::kControllerText, source->GetControllerText()}}))
    return false;
  m_uAddress = source->GetAddress();
  m_uControllerType = source->GetControllerType();
  m_sControllerText = source->GetControllerText();
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
