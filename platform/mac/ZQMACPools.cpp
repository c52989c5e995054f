// Bodies of the object model that the drive listings read: drive identity,
// empty drive bays, the ACSLS drive-id query of a media agent, a media
// agent's shown copy-manager controllers, and the process-wide
// media-configuration parameter. Only the ACSLS query reaches outside the
// graph (in reality it asks the ACSLS server through the agent), so only it
// is journalled and can be made to fail.
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACPlatform.h"

std::atomic<bool> ZQMACMediaConfig::m_bCheckSerialNumber{true};

// ---------------------------------------------------------------- drives

bool ZQMACDrive::IsSame(const ZQMACDrive* other, bool byIdentity, bool byName) const {
  if (other == nullptr) return false;
  if (other == this) return true;
  if (byIdentity && !GetDeviceTextA().empty() && GetDeviceTextA() == other->GetDeviceTextA() &&
      GetVendor() == other->GetVendor() && GetProduct() == other->GetProduct())
    return true;
  return byName && !GetName().empty() && GetName() == other->GetName();
}

bool ZQMACLms::IsEmptyDrive(int bay, const ZQMACMediaAgent* /*agent*/, const std::string& /*filter*/) {
  ZQMACLinkedList<ZQMACDrive> drives = m_driveList;
  for (ZQMACDrive* drive = drives.GetFirstNode(); drive != nullptr; drive = drives.GetNextNode())
    if (drive->GetDriveNumber() == bay) return false;
  return true;
}

// ---------------------------------------------------------------- media agents

std::vector<std::string> ZQMACMediaAgent::GetACSLSDriveIDList(const std::string& vendor, const std::string& product,
                                                              const std::string& acslsText) {
  tkmac::journal().record("GetACSLSDriveIDList", GetName(), vendor, product, acslsText);
  tkjournal::Failure failure;
  if (tkmac::journal().takeFailure("GetACSLSDriveIDList", failure)) {
    SetLastError(static_cast<unsigned int>(failure.code), failure.text);
    return {};
  }
  ClearLastError();
  auto it = m_acslsDriveIds.find(acslsText);
  return it == m_acslsDriveIds.end() ? std::vector<std::string>() : it->second;
}

ZQMACLinkedList<ZQMACCopyMgrController> ZQMACMediaAgent::GetCopyMgrControllerList(bool shownOnly) const {
  if (!shownOnly) return m_copyMgrControllerList;
  ZQMACLinkedList<ZQMACCopyMgrController> all = m_copyMgrControllerList;
  ZQMACLinkedList<ZQMACCopyMgrController> shown;
  for (ZQMACCopyMgrController* c = all.GetFirstNode(); c != nullptr; c = all.GetNextNode())
    if (c->IsShown()) shown.AddNode(c);
  return shown;
}
