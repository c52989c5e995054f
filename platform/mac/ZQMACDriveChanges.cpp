// The object model's calls behind the drive-change request: a drive's
// description and drive id, a drive path's SCSI address (taken from
// another drive path) and access path. Each stores its value among the
// model's own settings as it sets it (platform/mac/ZQMACStoredSettings.h),
// and keeps the old value when nothing was stored; an object not stored
// yet keeps it in the instance until it is.
//
// Journal names (each can be made to fail, the code and text then the
// object's last error): "SetDeviceTextC" (handle, text), "SetDriveIdString"
// (handle, id), "UpdateSCSIBus" (handle, the source's handle),
// "SetAccessPath" (handle, path).
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"

bool ZQMACDrive::SetDeviceTextC(const std::string& text) {
  tkmac::journal().record("SetDeviceTextC", GetHandle(), text);
  if (tkmac::failed(*this, "SetDeviceTextC")) return false;
  Touch();
  if (!tkmac::setStored(*this, *this, m_sDeviceTextC, text)) return false;
  ClearLastError();
  return true;
}

bool ZQMACDrive::SetDriveIdString(const std::string& id) {
  tkmac::journal().record("SetDriveIdString", GetHandle(), id);
  if (tkmac::failed(*this, "SetDriveIdString")) return false;
  Touch();
  if (!tkmac::setStored(*this, *this, m_sDriveId, id)) return false;
  ClearLastError();
  return true;
}

bool ZQMACDms::UpdateSCSIBus(ZQMACDms* source) {
  ZQMACMediaConfig* owner = GetOwner();
  const unsigned long long sourceHandle = owner != nullptr ? owner->GetHandle(source) : 0;
  tkmac::journal().record("UpdateSCSIBus", GetHandle(), sourceHandle);
  // Only a live drive path of this path's own instance is taken.
  if (source == nullptr || sourceHandle == 0 || owner->FindObject<ZQMACDms>(sourceHandle) != source) {
    SetLastError(tkmac::kErrorNoController, "The drive path to take the SCSI bus from does not exist.");
    return false;
  }
  if (tkmac::failed(*this, "UpdateSCSIBus")) return false;
  if (!ZQMACGraph::TakeScsiBus(this, this, *source)) return false;
  ClearLastError();
  return true;
}

bool ZQMACDms::SetAccessPath(const std::string& path) {
  tkmac::journal().record("SetAccessPath", GetHandle(), path);
  if (tkmac::failed(*this, "SetAccessPath")) return false;
  Touch();
  if (!tkmac::setStored(*this, *this, m_sPathDetail, path)) return false;
  ClearLastError();
  return true;
}
