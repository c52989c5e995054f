// The object model's calls by which the library request adds library
// controllers: new NDMP and IP controllers with the library they own, a
// new media agent, attaching a controller to its agent (stored at once in
// a database-backed instance), reading a library's device information
// through an agent, and the libraries that library servers share.
//
// Journal names (platform/testkit/mac.h reads them): "AddLibController"
// (agent's handle, the controller's access path), "GetDeviceInfo" (agent's
// handle, host, access path), "Clone" (the source's handle),
// "FindLSLibrary" (host, vendor, product, identification),
// "GetLSLibraryList" (host, refresh). A failure injected into
// "AddLibController", "GetDeviceInfo" or "GetLSLibraryList" makes the next
// call fail with its code and text as the last error of the agent (of the
// instance for the list). What the servers answer is the network stand-in's
// (platform/ndmpdetect, scripted through platform/testkit/ndmpdetect.h).
#include <memory>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"

using tkmac::failed;

namespace {

bool sameLibrary(const ZQMACLibrary* library, const std::string& vendor, const std::string& product,
                 const std::string& identification) {
  return library != nullptr && library->GetVendor() == vendor && library->GetProduct() == product &&
         library->GetDeviceIdentifier() == identification;
}

}  // namespace

// ---------------------------------------------------------------- controllers

ZQMACIPLibController::ZQMACIPLibController() { m_ownLibrary.make(); }

ZQMACNdmpLibController::ZQMACNdmpLibController() { m_ownLibrary.make(); }

ZQMACNdmpLibController::ZQMACNdmpLibController(ZQMACNdmpLibController* source)
    : ZQMACBase(source != nullptr ? static_cast<const ZQMACBase&>(*source) : ZQMACBase()),
      ZQMACLibController(source != nullptr ? static_cast<const ZQMACLibController&>(*source) : ZQMACLibController()) {
  m_ownLibrary.make();
}

void ZQMACLibController::SetAccessPath(const std::string& path) {
  Touch();
  m_sName = path;
  m_sControllerText = path;
}

void ZQMACLibController::Clone(const ZQMACLibController* source) {
  Touch();
  ZQMACMediaConfig* owner = source != nullptr ? source->GetOwner() : nullptr;
  tkmac::journal().record("Clone", owner != nullptr ? owner->GetHandle(source) : 0);
  if (source == nullptr) return;
  m_sServerHostName = source->m_sServerHostName;
  m_sUnitHostName = source->m_sUnitHostName;
  m_uControllerType = source->m_uControllerType;
  m_uUnitValue = source->m_uUnitValue;
  m_bServerFlag = source->m_bServerFlag;
  ZQMACLibrary* from = source->GetLibrary();
  m_ownLibrary.make();
  ZQMACLibrary* to = m_ownLibrary.get();
  if (from == nullptr || from == to) return;
  // Field by field: the copy must not take the source library's links.
  ZQMACGraph::SetName(to, from->GetName());
  ZQMACGraph::DeviceIdentity identity;
  identity.vendor = from->GetVendor();
  identity.product = from->GetProduct();
  identity.textA = from->GetDeviceTextA();
  identity.textB = from->GetDeviceTextB();
  identity.textC = from->GetDeviceTextC();
  identity.value = from->GetDeviceValue();
  ZQMACGraph::SetDeviceIdentity(to, identity);
  to->SetIdentificationText(from->GetDeviceIdentifier());
  ZQMACGraph::LibraryGeometry geometry;
  geometry.baseAddress = from->GetBaseAddress();
  geometry.driveCount = from->GetDriveCount();
  geometry.slotCount = from->GetSlotCount();
  geometry.type = from->GetType();
  geometry.vtlType = from->GetVTLType();
  ZQMACGraph::SetGeometry(to, geometry);
  ZQMACGraph::SetSlotRange(to, from->GetSlotRange());
  to->SetVolumeRangeString(from->GetVolumeRangeString());
  to->SetAliasName(from->GetAliasName());
}

// ---------------------------------------------------------------- media agents

ZQMACMediaAgent::ZQMACMediaAgent(const std::string& name, ZQMACMediaConfig* config, void* /*network*/) {
  m_sName = name;
  m_sNetHostName = name;
  if (config != nullptr && config->AdoptObject(this) != 0) ZQMACGraph::EnterMediaAgent(*config, this);
}

void ZQMACGraph::EnterLibController(ZQMACMediaAgent* agent, ZQMACLibController* controller) {
  controller->m_pMediaAgent = agent;
  agent->m_libControllerList.AddNode(controller);
  if (auto* ip = dynamic_cast<ZQMACIPLibController*>(controller)) agent->GetOwner()->m_ipLibControllerList.AddNode(ip);
}

bool ZQMACMediaAgent::AddLibController(ZQMACLibController* controller) {
  tkmac::journal().record("AddLibController", GetHandle(),
                          controller != nullptr ? controller->GetControllerText() : std::string());
  if (failed(*this, "AddLibController")) return false;
  ZQMACMediaConfig* config = GetOwner();
  if (controller == nullptr || config == nullptr ||
      (controller->GetOwner() != nullptr && controller->GetOwner() != config)) {
    SetLastError(tkmac::kErrorAdoptRefused, "The library controller cannot be added to this media agent.");
    return false;
  }
  const bool adopted = controller->GetOwner() == nullptr;
  if (adopted && !ZQMACGraph::InsertLibController(this, controller)) return false;
  if (adopted && config->AdoptObject(controller) == 0) {
    SetLastError(config->GetLastErrorCode(), config->GetLastError());
    ZQMACGraph::RemoveInsertedLibController(controller);
    return false;
  }
  ZQMACGraph::EnterLibController(this, controller);
  if (adopted) ZQMACGraph::EnterStoredControllerLibrary(*config, controller);
  ClearLastError();
  return true;
}

void ZQMACGraph::EnterStoredControllerLibrary(ZQMACMediaConfig& config, ZQMACLibController* controller) {
  ZQMACLibrary* own = controller->m_ownLibrary.get();
  if (controller->m_pLms != nullptr || own == nullptr || own->m_iId <= 0 || !IsDatabaseBacked(config)) return;
  ZQMACLms* lms = AddLms(config, own->m_iId, NewLibraryName(own, controller));
  if (lms == nullptr) return;  // the instance refused it: a re-read shows the library
  // What the library's row holds (MMMediaConfigDB::insertLibraryController):
  // a tape library, not configured, no alias, the controller's description.
  ZQMACLibrary* library = lms->m_pLibrary;
  library->m_iType = 1;
  library->m_iDriveCount = own->m_iDriveCount;
  library->m_iBaseAddress = own->m_iBaseAddress;
  library->m_sVendor = own->m_sVendor;
  library->m_sProduct = own->m_sProduct;
  // And the library's settings stored beside it.
  for (const tkmac::StoredSettingRow& row : tkmac::storedSettingRows()) {
    if (row.kind != MMStoredKind::Library || row.in != tkmac::StoredIn::Setting) continue;
    const tkmac::StoredMember from = row.member(*own);
    const tkmac::StoredMember to = row.member(*library);
    if (from.address == nullptr || to.address == nullptr) continue;
    switch (row.type) {
      case tkmac::StoredType::Flag: *static_cast<bool*>(to.address) = *static_cast<const bool*>(from.address); break;
      case tkmac::StoredType::Number: *static_cast<int*>(to.address) = *static_cast<const int*>(from.address); break;
      case tkmac::StoredType::Unsigned:
        *static_cast<unsigned int*>(to.address) = *static_cast<const unsigned int*>(from.address);
        break;
      case tkmac::StoredType::Text:
        *static_cast<std::string*>(to.address) = *static_cast<const std::string*>(from.address);
        break;
      default: break;
    }
  }
  controller->m_pLms = lms;
  lms->m_libControllerList.AddNode(controller);
  ShowLibraryParts(lms);
}

bool ZQMACMediaAgent::GetDeviceInfo(const std::string& host, ZQMACLibController* controller, ZQMACDms* drivePath) {
  // ---- NDMP drives: a drive path instead of a controller (ZQMACNdmpDrives.cpp) ----
  if (controller == nullptr && drivePath != nullptr) return GetNdmpDriveInfo(host, drivePath);
  // ---- end of the NDMP drives ----
  const std::string path = controller != nullptr ? controller->GetControllerText() : std::string();
  tkmac::journal().record("GetDeviceInfo", GetHandle(), host, path);
  if (failed(*this, "GetDeviceInfo")) return false;
  if (controller == nullptr || controller->GetLibrary() == nullptr) {
    SetLastError(tkmac::kErrorNoController, "No library controller was given to read.");
    return false;
  }
  tkndmpdetect::Library found;
  std::string error;
  if (!tkndmpdetect::probeNdmp(host, path, found, error)) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, error);
    return false;
  }
  // A stored library takes the description first, so that the next load
  // shows what the library reported.
  if (!ZQMACGraph::StoreLibraryDescription(this, controller, found.vendor, found.product, found.driveCount,
                                           found.baseAddress))
    return false;
  tkndmpdetect::fill(*controller, found);
  ClearLastError();
  return true;
}

// ---------------------------------------------------------------- library servers

ZQMACIPLibController* ZQMACMediaConfig::FindLSLibrary(const std::string& host, const std::string& vendor,
                                                      const std::string& product, const std::string& identification) {
  tkmac::journal().record("FindLSLibrary", host, vendor, product, identification);
  ZQMACLinkedList<ZQMACIPLibController> controllers = m_ipLibControllerList;
  for (ZQMACIPLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode()) {
    if (c->GetServerHostName() == host && sameLibrary(c->GetLibrary(), vendor, product, identification)) return c;
  }
  return nullptr;
}

ZQMACLinkedList<ZQMACIPLibController> ZQMACMediaConfig::GetLSLibraryList(const std::string& host, bool refresh) {
  NoteChange();  // an instance-wide change: the graph is not handed over
  tkmac::journal().record("GetLSLibraryList", host, refresh);
  ZQMACLinkedList<ZQMACIPLibController> list;
  if (failed(*this, "GetLSLibraryList")) return list;
  std::vector<tkndmpdetect::Library> libraries;
  std::string error;
  if (!tkndmpdetect::probeLibraryServer(host, libraries, error)) {
    SetLastError(tkndmpdetect::kErrorNoAnswer, error);
    return list;
  }
  // Every controller is made before any is entered: a refusal half way
  // leaves the instance as it was.
  std::vector<std::unique_ptr<ZQMACIPLibController>> made;
  std::vector<ZQMACIPLibController*> controllers;
  for (const tkndmpdetect::Library& library : libraries) {
    ZQMACIPLibController* known = FindLSLibrary(host, library.vendor, library.product, library.identification);
    if (known == nullptr) {
      made.push_back(std::make_unique<ZQMACIPLibController>());
      known = made.back().get();
      known->SetServerHostName(host);
      known->SetAccessPath(library.name);
      ZQMACGraph::SetServerFlag(known, true);
    }
    controllers.push_back(known);
  }
  for (auto& controller : made) {
    if (AdoptObject(controller.get()) == 0) {
      // Those adopted so far go again; nothing else changed yet.
      for (auto& adopted : made) {
        if (adopted.get() == controller.get()) break;
        adopted.reset();
      }
      return ZQMACLinkedList<ZQMACIPLibController>();
    }
  }
  for (auto& controller : made) ZQMACGraph::EnterIPLibController(*this, controller.release());
  for (size_t i = 0; i < controllers.size(); ++i) {
    tkndmpdetect::fill(*controllers[i], libraries[i]);
    list.AddNode(controllers[i]);
  }
  ClearLastError();
  return list;
}
