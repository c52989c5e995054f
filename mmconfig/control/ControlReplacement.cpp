// The control request's single-object changes of place
// (mmconfig/control/ControlOperations.h):
//  - 39 and 61 replace an object by another (element 11148); a configured
//    object that is in use warns the console (status text, code 3) once the
//    replacement is done;
//  - 118 moves an object to another host (name element 2048, agent 11058)
//    and answers twice: the result text, then "Success";
//  - 109 locks the vault of a disk device's first volume for the days of
//    element 8261.
// Each is audited before it is tried, and the record stays when it fails.
// Objects without a library part are audited against entity 0.
#include <cstdint>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/control/ControlOperations.h"
#include "platform/debuglog/EvDebug.h"

namespace tkmm::control {
namespace {

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMControl";

constexpr int kAuditVaultLock = 0x540000B5;
constexpr int kAuditHostUpdate = 0x540000B8;
constexpr int kAuditReplace = 0x540000B9;
constexpr int kParamHost = 0x5500018C;  // host text, agent text

constexpr unsigned long kTextReplaceInUse = 0x24000186;
constexpr unsigned long kTextReplaceLibrary = 0x2400018C;  // %1 the library's display name
constexpr unsigned long kTextHostUpdated = 0x240001EB;
constexpr unsigned long kTextHostUpdatedCopyManager = 0x240001EC;

constexpr uint32_t kOpReplaceKeeping = 61;
constexpr unsigned int kObjectTypeReplacementOfLibrary = 11;
constexpr int kWarningCode = 3;
constexpr const char* kWrongNode = "Wrong Node for Valut Lock!";

// The audit entity of an object: its library part's id, 0 without one.
int libraryEntityOf(ZQMACInterface& object) {
  ZQMACLms* lms = object.GetLms();
  return lms != nullptr ? static_cast<int>(lms->GetId()) : 0;
}

// The warning of a replacement, empty when there is none.
std::string replacementWarning(ZQMACInterface& object, const ZQMACInterface* replacement) {
  if (!object.TestStateA()) return std::string();
  const bool library = object.GetObjectType() == ZQMAC_OBJ_LMS;
  ZQMACInterface* linked = object.GetLinkedObject();
  const bool byItsKind = library && replacement != nullptr &&
                         replacement->GetObjectType() == kObjectTypeReplacementOfLibrary;
  if (linked != nullptr && linked->IsShown() && !byItsKind) return ZQMACBase::GetMessageString(kTextReplaceInUse);
  if (library) return ZQMACBase::GetMessageString(kTextReplaceLibrary, object.GetDisplayName().c_str());
  return std::string();
}

}  // namespace

SetOutcome replaceObject(Record& record, uint32_t operation) {
  ZQMACInterface* replacement = record.config.FindObject(record.hasReplacement ? record.replacement : 0);
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  if (record.object == nullptr) return record.succeed();
  ZQMACInterface& object = *record.object;
  writeAuditRecord(kAuditReplace, libraryEntityOf(object), {objectParameter(object)});
  const std::string warning = replacementWarning(object, replacement);
  // An unknown replacement reaches the model as null and is refused there.
  if (!record.config.ReplaceObject(&object, replacement, operation == kOpReplaceKeeping))
    return record.failWithLastError(operation, record.config);
  if (!warning.empty()) ::sendStatusResponse(warning, kWarningCode);
  return record.succeed();
}

SetOutcome updateHost(Record& record, uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  if (record.object == nullptr)
    return record.answer(operation, AnswerStatus::kFailure, ZQMACBase::GetMessageString(kTextNoObjectHandle));
  ZQMACInterface& object = *record.object;
  auto* pool = dynamic_cast<ZQMACDrivePool*>(&object);
  const bool copyManager =
      object.GetObjectType() == ZQMAC_OBJ_DRIVE_POOL && pool != nullptr && pool->GetCopyManagerId() > 0;
  const std::string result =
      ZQMACBase::GetMessageString(copyManager ? kTextHostUpdatedCopyManager : kTextHostUpdated);
  writeAuditRecord(kAuditHostUpdate, libraryEntityOf(object),
                   {objectParameter(object), {kParamHost, {record.name, record.agentText}}});
  if (!record.config.UpdateHost(&object, record.name, record.agentText))
    return record.failWithLastError(operation, record.config);
  EvMMConfigMgr::sendOperationResponse(record.sequence(), record.request.socket, operation,
                                       toWire(AnswerStatus::kSuccess), result.c_str(),
                                       static_cast<int>(result.size()));
  return record.succeed();
}

SetOutcome lockVault(Record& record, uint32_t operation) {
  EvMMConfigMgr::SetClientSequenceNumber(record.sequence());
  auto* device = record.object != nullptr && record.object->GetObjectType() == ZQMAC_OBJ_DISK_DEVICE
                     ? dynamic_cast<ZQMACDiskDevice*>(record.object)
                     : nullptr;
  // A device without volumes has no vault to lock either.
  ZQMACDiskVolume* volume = device != nullptr ? device->GetVolumeList().GetFirstNode() : nullptr;
  if (!record.hasVaultLock || volume == nullptr) {
    EvDebug::Error(kTag, "%s", kWrongNode);
    return record.answer(operation, AnswerStatus::kFailure, kWrongNode);
  }
  AuditParameter named = objectParameter(*device);
  named.texts.back() += ", Vault Lock";
  writeAuditRecord(kAuditVaultLock, static_cast<int>(device->GetId()), {named});
  std::string value = ZQMACBase::Int2String(record.vaultLock);
  if (!volume->VerifyDevice(ZQMACDiskVolume::ZQMAV_VERIFY_VAULT_LOCK, value))
    return record.failWithLastError(operation, *volume);
  return record.succeed();
}

}  // namespace tkmm::control
