// The control request's removals and deconfigurations
// (mmconfig/control/ControlOperations.h):
//  - 2 and 44 remove an object from the session; a configured object is
//    deconfigured first (44 with the force flag), and a disk library on
//    which cloud libraries still cache deduplication metadata is refused;
//  - 49 deconfigures the object; 126 deconfigures under a library, drive,
//    drive path, master drive pool or disk device exactly the parts on
//    media agents shown to the user, leaving the rest;
//  - 90 deconfigures with the force flag.
// Every deconfiguration is audited (0x540000B7) against the library of
// element 4108. Nothing here undoes a partial result: a loop that fails on
// its third item leaves the first two deconfigured and audited.
//
// A stored library that 2 or 44 removes leaves the database, and its named
// lock ("LibID<id>") then names nothing: its lock file goes with it, as it
// does after the storage-library request's delete.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/control/ControlOperations.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mdlock/MDLock.h"
#include "platform/reply/EvReturnData.h"

namespace tkmm::control {
namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMControl";

constexpr int kAuditDeconfigure = 0x540000B7;
constexpr int kParamLibraryAlias = 0x550000BF;
constexpr unsigned long kTextCachedDedupe = 0x23000F43;  // %1 the cloud libraries
constexpr std::size_t kCatalogueTextSize = 1024;

constexpr uint32_t kOpForcedRemove = 44;
constexpr uint32_t kOpShownPartsOnly = 126;
// Codes of a removal that the console must not take as a warning.
constexpr unsigned int kErrorRemovalRefused = 0x1F000095;
constexpr unsigned int kErrorRemovalRefusedToo = 470;

bool shown(ZQMACMediaAgent* agent) { return agent != nullptr && agent->IsShown(); }

// The deconfigurations of one record: each item audited when its
// operation succeeded; the first failure stops the rest.
class Deconfiguration {
 public:
  explicit Deconfiguration(const Record& record) : m_record(record) {}

  // The item deconfigured (flag false); `failing` is the object whose last
  // error tells a failure (the item itself unless said otherwise).
  bool item(ZQMACInterface& audited, const std::function<bool()>& operation, const ZQMACBase& failing) {
    if (m_failed != nullptr) return false;
    const std::vector<AuditParameter> parameters{objectParameter(audited)};
    if (!operation()) {
      m_failed = &failing;
      return false;
    }
    writeAuditRecord(kAuditDeconfigure, static_cast<int>(m_record.libraryId), parameters);
    return true;
  }
  bool item(ZQMACInterface& object) {
    return item(object, [&] { return object.Deconfigure(false); }, object);
  }
  const ZQMACBase* failed() const { return m_failed; }

 private:
  const Record& m_record;
  const ZQMACBase* m_failed = nullptr;
};

// 126 under a library part: its controllers on shown agents; for a tape or
// optical library itself also its drive pools on shown agents and the
// master pools none of whose pools is configured.
void deconfigureLibraryParts(Deconfiguration& run, ZQMACLms& lms, bool wholeLibrary) {
  ZQMACLinkedList<ZQMACLibController> controllers = lms.GetLibControllerList();
  for (ZQMACLibController* c = controllers.GetFirstNode(); c != nullptr; c = controllers.GetNextNode())
    if (shown(c->GetMediaAgent()) && !run.item(*c)) return;
  if (!wholeLibrary) return;
  ZQMACLinkedList<ZQMACDrivePool> pools = lms.GetDrivePoolList();
  for (ZQMACDrivePool* p = pools.GetFirstNode(); p != nullptr; p = pools.GetNextNode())
    if (shown(p->GetMediaAgent()) && !run.item(*p)) return;
  ZQMACLinkedList<ZQMACMasterDrivePool> masters = lms.GetMasterDrivePoolList();
  for (ZQMACMasterDrivePool* m = masters.GetFirstNode(); m != nullptr; m = masters.GetNextNode()) {
    bool anyConfigured = false;
    ZQMACLinkedList<ZQMACDrivePool> own = m->GetDrivePoolList();
    for (ZQMACDrivePool* p = own.GetFirstNode(); p != nullptr && !anyConfigured; p = own.GetNextNode())
      anyConfigured = p->TestStateA();
    if (!anyConfigured && !run.item(*m)) return;
  }
}

// 126: the parts of the object on shown media agents. False when the
// object's kind has no such parts (the general case then applies).
bool deconfigureShownParts(Deconfiguration& run, Record& record, ZQMACInterface& object) {
  switch (object.GetObjectType()) {
    case ZQMAC_OBJ_DMS: {
      auto* path = dynamic_cast<ZQMACDms*>(&object);
      ZQMACDrive* drive = path != nullptr ? path->GetDrive() : nullptr;
      // A path without its drive has nothing to deconfigure.
      if (drive != nullptr) run.item(object, [&] { return drive->DeconfigureDrive(); }, *drive);
      return true;
    }
    case ZQMAC_OBJ_DRIVE: {
      auto* drive = dynamic_cast<ZQMACDrive*>(&object);
      if (drive == nullptr) return false;
      ZQMACLinkedList<ZQMACDms> paths = drive->GetDmsList();
      for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode())
        if (shown(p->GetMediaAgent()) && !run.item(*p)) break;
      return true;
    }
    case ZQMAC_OBJ_MASTER_DRIVE_POOL: {
      auto* master = dynamic_cast<ZQMACMasterDrivePool*>(&object);
      if (master == nullptr) return false;
      ZQMACLinkedList<ZQMACDrivePool> pools = master->GetDrivePoolList();
      for (ZQMACDrivePool* p = pools.GetFirstNode(); p != nullptr; p = pools.GetNextNode())
        if (shown(p->GetMediaAgent()) && !run.item(*p)) break;
      return true;
    }
    case ZQMAC_OBJ_LMS:
    case ZQMAC_OBJ_LIBRARY_CHILD: {
      const bool wholeLibrary = object.GetObjectType() == ZQMAC_OBJ_LMS;
      ZQMACLms* lms = wholeLibrary ? dynamic_cast<ZQMACLms*>(&object) : object.GetLms();
      if (lms != nullptr) deconfigureLibraryParts(run, *lms, wholeLibrary);
      return true;
    }
    case ZQMAC_OBJ_DISK_DEVICE: {
      auto* device = dynamic_cast<ZQMACDiskDevice*>(&object);
      if (device == nullptr) return false;
      ZQMACLinkedList<ZQMACMediaAgent> agents = record.config.GetMediaAgentList();
      for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode()) {
        if (!shown(a)) continue;
        ZQMACDiskVolume* volume = device->FindVolumeByMediaAgent(a);
        if (volume != nullptr && !run.item(*volume)) break;
      }
      return true;
    }
    default:
      return false;
  }
}

bool isLibrary(const ZQMACInterface& object) {
  const unsigned int type = object.GetObjectType();
  return type == ZQMAC_OBJ_LMS || type == ZQMAC_OBJ_MAGLIB;
}

// Id of a library that was never stored.
constexpr unsigned int kNotStored = 0xFFFFFFFFu;

// Removes the lock file of a library that is gone. A lock another request
// holds is left to it (that request works on the library and releases the
// lock itself); a free one is taken so that only its holder removes the
// file. The library is gone either way: a file that stays is only a file.
void removeLibraryLockFile(unsigned int libraryId) {
  char key[20];
  std::snprintf(key, sizeof key, "LibID%d", static_cast<int>(libraryId));
  if (EvMMConfigMgr::isConfigLibraryLocked(key)) {
    EvDebug::Debug(kTag, "The lock [%s] of the removed library is held by another request; its file stays.", key);
    return;
  }
  MDLock* handle = EvMMConfigMgr::lockConfigLibrary(key);
  if (handle == nullptr) return;
  handle->unsetAndRemove();
  EvMMConfigMgr::unlockConfigLibrary(handle);
}

}  // namespace

SetOutcome removeObject(Record& record, uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  ZQMACInterface* object = record.object;
  if (object != nullptr && object->TestStateA()) {
    bool associated = false;
    std::string libraries;
    std::string error;
    if (!EvMMConfigMgr::checkForHybridCloudAssociations(record.libraryId, associated, libraries, error)) {
      EvDebug::Error(kTag, "MMGetHybridCloudAssociations returned error during lookup [%s]", error.c_str());
      return record.answer(operation, AnswerStatus::kFailure, error);
    }
    if (associated) {
      char text[kCatalogueTextSize];
      EvGetLocText(kTextCachedDedupe, text, sizeof text, EvReturnData::returnLocaleId(record.sequence()), libraries);
      EvDebug::Error(kTag, "Disk library [%lu] has cached dedupe metadata for the following cloud libraries [%s]",
                     static_cast<unsigned long>(record.libraryId), libraries.c_str());
      return record.answer(operation, AnswerStatus::kFailure, text);
    }
    // The removal is audited before it is tried.
    writeAuditRecord(kAuditDeconfigure, static_cast<int>(record.libraryId), {objectParameter(*object)});
    if (!object->Deconfigure(operation == kOpForcedRemove)) {
      std::string text;
      const unsigned int code = object->GetLastError(text);
      EvDebug::Error(kTag, "%s", text.c_str());
      const bool refused =
          operation == kOpForcedRemove || code == kErrorRemovalRefused || code == kErrorRemovalRefusedToo;
      return record.answer(operation, refused ? AnswerStatus::kFailure : AnswerStatus::kWarning, text);
    }
  }
  if (object != nullptr && record.hasLibraryId && record.autoRefresh) {
    if (isLibrary(*object))
      record.sendRefreshNotice(ZqEntities::ENTITY_LIBRARY);
    else if (object->GetObjectType() == ZQMAC_OBJ_MOUNT_PATH)
      record.sendRefreshNotice(ZqEntities::ENTITY_MOUNT_PATH);
  }
  // The object leaves the session (and, for a stored one, the database).
  const bool storedLibrary = object != nullptr && isLibrary(*object) && object->GetId() != kNotStored;
  const unsigned int libraryId = storedLibrary ? object->GetId() : 0;
  if (object != nullptr && !record.config.DeleteObject(object))
    return record.failWithLastError(operation, record.config);
  if (storedLibrary) removeLibraryLockFile(libraryId);
  return record.succeed();
}

SetOutcome deconfigureObject(Record& record, uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  if (record.object == nullptr) return record.succeed();
  ZQMACInterface& object = *record.object;
  Deconfiguration run(record);
  if (operation != kOpShownPartsOnly || !deconfigureShownParts(run, record, object)) {
    if (record.autoRefresh && isLibrary(object)) record.sendRefreshNotice(ZqEntities::ENTITY_LIBRARY);
    const std::string textA = object.GetTextA(false);
    if (!object.Deconfigure(false)) return record.failWithLastError(operation, object);
    ZQMACLms* lms = object.GetLms();
    ZQMACLibrary* library = lms != nullptr ? lms->GetLibrary() : nullptr;
    std::vector<AuditParameter> parameters;
    if (library != nullptr) parameters.push_back({kParamLibraryAlias, {library->GetAliasName()}});
    AuditParameter named = objectParameter(object);
    named.texts.back() = textA;  // as it was before the deconfiguration
    parameters.push_back(named);
    if (object.GetObjectType() == ZQMAC_OBJ_DRIVE) parameters.push_back(driveParameter(object));
    writeAuditRecord(kAuditDeconfigure, static_cast<int>(record.libraryId), parameters);
  }
  if (run.failed() != nullptr) return record.failWithLastError(operation, *run.failed());
  return record.succeed();
}

SetOutcome deconfigureForced(Record& record, uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  if (record.object == nullptr) return record.succeed();
  // Audited before it is tried; the record stays when it fails.
  writeAuditRecord(kAuditDeconfigure, static_cast<int>(record.libraryId), {objectParameter(*record.object)});
  if (!record.object->Deconfigure(true)) return record.failWithLastError(operation, *record.object);
  return record.succeed();
}

}  // namespace tkmm::control
