// Deleting a library: operation 2 of the storage-library request, under the
// library's delete lock taken by the frame. A library of type 9 leaves the
// media-management tables in one call. Any other library is refused while
// cloud libraries keep cached deduplication metadata on it (when the
// request asks for that check); then, without a media agent, the model
// deconfigures it whole (it refuses while mount paths remain), and with
// one, only that media agent's drive pools and library controllers go,
// with the master drive pools left without an enabled drive pool.
//
// The per-agent walk deletes object by object, each removal whole; a
// failure stops the walk and answers the object's reason, and what went
// before stays gone.
#include <string>
#include <vector>

#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvEvent.h"
#include "frame/EvGuiAudit.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mac/ZQMACNames.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMLibraryDB.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::StorageLibDeleteLibrary";

constexpr int kLibraryTypeTableOnly = 9;
constexpr unsigned long kTextCloudLibrariesCache = 0x23000F43;  // %1 the cloud libraries
constexpr int kAuditObjectDeleted = 0x540000B7;
constexpr int kParamObject = 0x5500018B;

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibraryRequest;
using tkezconfig::StorageLibResult;
using Info = EVGui::StorageLibraryInfo;
using Request = EVGui::ConfigureStorageLibraryReq;

const StorageLibResult kFailure{StorageLibOutcome::kFailure, false};
// A removed library is answered with the success response without a description.
const StorageLibResult kRemoved{StorageLibOutcome::kForceDeleteSuccess, false};

bool servesAgent(const ZQMACMediaAgent* agent, const std::string& name) {
  return agent != nullptr && tkmac::sameName(agent->GetName(), name);
}

template <class T>
std::vector<T*> elements(ZQMACLinkedList<T> list) {
  std::vector<T*> out;
  for (T* e = list.GetFirstNode(); e != nullptr; e = list.GetNextNode()) out.push_back(e);
  return out;
}

// Steps 1: the table removal of a type-9 library.
StorageLibResult uninstall(StorageLibraryRequest& w) {
  MMLibraryDB libraries;
  if (libraries.uninstallLibrary(w.libraryId) != 0) {
    char error[1024];
    libraries.getLastError(error, sizeof error);
    EvDebug::Error(kTag, "MMLibraryDB::uninstallLibrary returned error deleting Library [%s]", error);
    w.fail(error);
    return kFailure;
  }
  tkezconfig::auditLibraryDeconfigured(w.record.userId, w.libraryName);
  EvDebug::Debug(kTag, "Successfully deleted library [%s]", w.libraryName.c_str());
  return kRemoved;
}

// Step 3: false (answer set) when cloud libraries cache metadata on the
// library, or when that cannot be told.
bool noCloudLibraryCaches(StorageLibraryRequest& w) {
  const CNMessageBase& library = *w.library;
  const tkxml::FieldDef check = Info::kAssociationCheck;
  if (!library.isSet(check.ordinal, Info::kClassHash, check.hash) ||
      library.getint64(check.tag, Info::kClassHash, check.hash) != 0)
    return true;
  bool associated = false;
  std::string names;
  std::string error;
  if (!EvMMConfigMgr::checkForHybridCloudAssociations(static_cast<unsigned long>(w.libraryId), associated, names,
                                                      error)) {
    EvDebug::Error(kTag, "MMGetHybridCloudAssociations returned error during lookup [%s]", error.c_str());
    w.fail(error.empty() ? "The hybrid cloud associations of the library could not be read." : error);
    return false;
  }
  if (!associated) return true;
  EvDebug::Error(kTag, "Disk library [%s] has cached dedupe metadata for the following cloud libraries [%s]",
                 w.libraryName.c_str(), names.c_str());
  char text[1024];
  EvGetLocText(kTextCloudLibrariesCache, text, sizeof text, w.locale, names);
  w.fail(text);
  return false;
}

// Step 9: one object of the walk leaves the configuration, with its audit.
bool deleteObject(StorageLibraryRequest& w, ZQMACInterface* object) {
  const std::string name = object->GetName();
  const std::string display = object->GetDisplayName();
  if (!w.config->DeleteObject(object)) {
    const std::string reason = object->GetLastError().empty() ? w.config->GetLastError() : object->GetLastError();
    EvDebug::Error(kTag, "ZQMACMediaConfig::DeconfigLibrary returns error deleting  DrivePools for Library [%s]",
                   reason.c_str());
    w.fail(reason.empty() ? "The library's parts could not be deleted." : reason);
    return false;
  }
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(kAuditObjectDeleted, static_cast<int>(w.record.userId));
  EvMessageContainer message;
  message.SetMessageID(kParamObject, true);
  message << name.c_str() << display.c_str();
  audit.addGUIAuditParam(message, 0, 0, nullptr, nullptr);
  audit.guiAudit(0);
  return true;
}

// Steps 5 to 8: the media agent's parts of the library.
StorageLibResult deleteAgentParts(StorageLibraryRequest& w) {
  if (!w.config->ReadCurrentConfig(false)) {
    const std::string reason = w.config->GetLastError();
    EvDebug::Error(kTag, "Failed to read the configuration: %s", reason.c_str());
    w.fail(reason.empty() ? "The configuration could not be read." : reason);
    return kFailure;
  }
  // The library the request found, locked and checked, by its id: a tape
  // library's parts (a disk library has none of these).
  auto* server = dynamic_cast<ZQMACLms*>(tkmac::findLibraryById(*w.config, w.libraryId));
  if (server == nullptr) return StorageLibResult{};
  for (ZQMACDrivePool* pool : elements(server->GetDrivePoolList()))
    if (servesAgent(pool->GetMediaAgent(), w.mediaAgentName) && !deleteObject(w, pool)) return kFailure;
  for (ZQMACLibController* controller : elements(server->GetLibControllerList()))
    if (servesAgent(controller->GetMediaAgent(), w.mediaAgentName) && !deleteObject(w, controller)) return kFailure;
  for (ZQMACMasterDrivePool* master : elements(server->GetMasterDrivePoolList())) {
    bool inUse = false;
    for (ZQMACDrivePool* pool : elements(master->GetDrivePoolList())) inUse = inUse || pool->TestStateA();
    if (!inUse && !deleteObject(w, master)) return kFailure;
  }
  return StorageLibResult{};
}

}  // namespace

StorageLibResult EvMMConfigMgr::StorageLibDeleteLibrary(StorageLibraryRequest& w) {
  if (w.libraryTypeId == kLibraryTypeTableOnly) return uninstall(w);
  // An absent delete-enable value reads 0: nothing is deleted.
  if (w.request.getint64(Request::kDeleteEnable.tag, Request::kClassHash, Request::kDeleteEnable.hash) == 0)
    return StorageLibResult{};
  if (!noCloudLibraryCaches(w)) return kFailure;
  if (!w.mediaAgentName.empty()) return deleteAgentParts(w);
  std::string reason;
  if (!tkezconfig::deconfigureLibrary(w, reason)) {
    w.fail(reason.empty() ? "The library could not be deconfigured." : reason);
    return kFailure;
  }
  tkezconfig::auditLibraryDeconfigured(w.record.userId, w.libraryName);
  EvDebug::Debug(kTag, "Deconfiguring library [%s] [%s]", w.libraryName.c_str(), "Deconfigured");
  return kRemoved;
}
