// The object model's calls behind the control request's changes of the
// configuration's shape: replacing an object by another, moving an object
// to another host, attaching a copied library controller to its library,
// deconfiguring a drive with its paths, the library's controller lookup by
// media agent, the disk device's volume by media agent, and the volume's
// verification (vault lock).
//
// Each stores its change (the configured states of a replacement in their
// tables, a host move and a vault lock among the model's own settings,
// platform/mac/ZQMACStoredSettings.h); the instance keeps what it had when
// nothing was stored. Every call that can fail in reality takes a
// scripted failure first (tkmac::failed).
#include <charconv>
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace {

constexpr const char* kAnyHost = "__Any_Host__";

unsigned long long handleOf(const ZQMACInterface* object) { return object != nullptr ? object->GetHandle() : 0; }

}  // namespace

bool ZQMACMediaConfig::ReplaceObject(ZQMACInterface* object, ZQMACInterface* replacement, bool keep) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("ReplaceObject", handleOf(object), handleOf(replacement), keep);
  if (tkmac::failed(*this, "ReplaceObject")) return false;
  if (!OwnsObject(object) || !OwnsObject(replacement) || object == replacement) {
    SetLastError(tkmac::kErrorUnknownObject, "The object to replace or its replacement is not known.");
    return false;
  }
  // The replacement takes the object's place in the configuration: both
  // configured states are stored in one step before either changes.
  if (!ZQMACGraph::StoreConfiguredStates({{object, 0}, {replacement, object->TestStateA() ? 1 : 0}}, *this))
    return false;
  ZQMACGraph::SetConfigured(replacement, object->TestStateA());
  ZQMACGraph::SetConfigured(object, false);
  ClearLastError();
  return true;
}

bool ZQMACMediaConfig::UpdateHost(ZQMACInterface* object, const std::string& host, const std::string& agent) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("UpdateHost", handleOf(object), host, agent);
  if (tkmac::failed(*this, "UpdateHost")) return false;
  if (!OwnsObject(object)) {
    SetLastError(tkmac::kErrorUnknownObject, "The object to move is not known.");
    return false;
  }
  if (host.empty()) {
    SetLastError(tkmac::kErrorInvalidName, "No host was given.");
    return false;
  }
  if (auto* unit = dynamic_cast<ZQMACScsiUnit*>(object)) {
    const std::string before = unit->GetServerHostName();
    unit->SetServerHostName(host);
    if (!tkmac::storeChanges(*object)) {
      unit->SetServerHostName(before);
      object->ForgetChanged(&unit->GetServerHostName());
      SetLastError(object->GetLastErrorCode(), object->GetLastError());
      return false;
    }
  }
  ClearLastError();
  return true;
}

bool ZQMACLms::FindMediaAgent(const ZQMACMediaAgent* agent, const std::string& host) const {
  if (agent == nullptr) return false;
  ZQMACLinkedList<ZQMACLibController> controllers = m_libControllerList;
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    if (c->GetMediaAgent() != agent) continue;
    if (host == kAnyHost || c->GetServerHostName() == host) return true;
  }
  return false;
}

bool ZQMACLibController::AttachToLibrary(ZQMACLms* lms, bool /*configure*/) {
  tkmac::journal().record("AttachToLibrary", GetHandle(), handleOf(lms));
  if (tkmac::failed(*this, "AttachToLibrary")) return false;
  if (lms == nullptr || GetOwner() == nullptr || lms->GetOwner() != GetOwner()) {
    SetLastError(tkmac::kErrorUnknownObject, "The library controller cannot be attached to this library.");
    return false;
  }
  ZQMACGraph::LinkLibController(lms, this);
  ClearLastError();
  return true;
}

bool ZQMACDrive::DeconfigureDrive() {
  tkmac::journal().record("DeconfigureDrive", GetHandle());
  if (tkmac::failed(*this, "DeconfigureDrive")) return false;
  if (!ZQMACGraph::StoreObject(this, nullptr, 0)) return false;
  ZQMACLinkedList<ZQMACDms> paths = m_dmsList;
  for (ZQMACDms* path = paths.GetFirstNode(); path != nullptr; path = paths.GetNextNode())
    ZQMACGraph::SetConfigured(path, false);
  m_bConfigured = false;
  ClearLastError();
  return true;
}

ZQMACDiskVolume* ZQMACDiskDevice::FindVolumeByMediaAgent(const ZQMACMediaAgent* agent) const {
  if (agent == nullptr) return nullptr;
  ZQMACLinkedList<ZQMACDiskVolume> volumes = m_volumeList;
  for (ZQMACDiskVolume* v = volumes.GetFirstNode(); v != nullptr; v = volumes.GetNextNode())
    if (v->GetMediaAgent() == agent) return v;
  return nullptr;
}

// The vault-lock verification (VerifyDevice, platform/mac/ZQMACDiskDevices.cpp).
bool ZQMACDiskVolume::LockVault(std::string& value) {
  Touch();
  int days = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, days);
  if (value.empty() || error != std::errc() || stop != end || days < 0) {
    SetLastError(tkmac::kErrorInvalidValue, "The vault-lock value is not a number of days.");
    return false;
  }
  if (!tkmac::setStored(*this, *this, m_iVaultLock, days)) return false;
  ClearLastError();
  return true;
}
