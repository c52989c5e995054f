// The object model's calls behind the tape-library setup wizard: which tape
// libraries are shown, the alias names of libraries and drives, the drive
// identifiers test and the wizard's configuration of a library. The setters
// and EZConfig are journaled and can be made to fail
// (platform/testkit/mac.h); in a database-backed instance a name or a
// configured state is stored before the model takes it.
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace {

// A library is seen through its controllers: shown while the media agent of
// one of them is. A controller without a media agent shows nothing; a
// library without any controller (not reached yet) keeps its own flag.
bool seenThroughAgent(ZQMACLms& lms) {
  ZQMACLinkedList<ZQMACLibController> controllers = lms.GetLibControllerList();
  if (controllers.GetFirstNode() == nullptr) return true;
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    ZQMACMediaAgent* agent = c->GetMediaAgent();
    if (agent != nullptr && agent->IsShown()) return true;
  }
  return false;
}

// Stores a new alias name of an owned object (library or drive) and keeps
// the model's name beside it.
bool storeAlias(ZQMACInterface& object, const std::string& alias) {
  if (object.GetOwner() == nullptr) return true;
  if (alias.empty()) {
    object.SetLastError(tkmac::kErrorInvalidName, "The alias name cannot be empty.");
    return false;
  }
  return ZQMACGraph::StoreObject(&object, &alias, MMMediaConfigDB::kKeepConfigured);
}

}  // namespace

ZQMACLinkedList<ZQMACLms> ZQMACMediaConfig::GetShownLmsList() const {
  ZQMACLinkedList<ZQMACLms> all = m_lmsList;
  ZQMACLinkedList<ZQMACLms> out;
  for (ZQMACLms* lms = all.GetFirstNode(); lms != nullptr; lms = all.GetNextNode())
    if (lms->IsShown() && seenThroughAgent(*lms)) out.AddNode(lms);
  return out;
}

bool ZQMACLibrary::SetAliasName(const std::string& alias) {
  if (GetOwner() != nullptr) {
    tkmac::journal().record("SetLibraryAliasName", GetHandle(), alias);
    if (tkmac::failed(*this, "SetLibraryAliasName")) return false;
  }
  if (!storeAlias(*this, alias)) return false;
  m_sAliasName = alias;
  // A stored library comes back under its alias: its parts take it now.
  if (m_iId > 0 && m_pLms != nullptr && !alias.empty()) ZQMACGraph::NameStoredLibrary(m_pLms, alias);
  ClearLastError();
  return true;
}

bool ZQMACLibrary::IsDriveIdentifierPresent(int /*reserved*/) const { return !m_driveIdentifiers.empty(); }

bool ZQMACDrive::SetAliasName(const std::string& alias) {
  tkmac::journal().record("SetDriveAliasName", GetHandle(), alias);
  if (tkmac::failed(*this, "SetDriveAliasName")) return false;
  if (!storeAlias(*this, alias)) return false;
  m_sAliasName = alias;
  // A stored drive comes back under its alias: its name is it now.
  if (m_iId > 0 && !alias.empty()) ZQMACGraph::NameStoredDrive(this, alias);
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::EZConfig(unsigned long long library, unsigned long long second) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("EZConfig", library, second);
  if (tkmac::failed(*this, "EZConfig")) return false;
  ZQMACLms* lms = FindObject<ZQMACLms>(library);
  if (lms == nullptr) {
    SetLastError(tkmac::kErrorUnknownObject, "The library to configure is not part of this configuration.");
    return false;
  }
  if (!lms->TestStateA() && !lms->Configure(0)) {
    SetLastError(lms->GetLastErrorCode(), lms->GetLastError());
    return false;
  }
  ClearLastError();
  return true;
}
