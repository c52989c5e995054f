// The drive-change request (onMsgSetMMDrive), through the Set loop of
// HandlerSkeleton.h, one record (element 4001) at a time:
//
//   3   change the drive, or the drive path and its drive, of 11003: the
//       drive's name (8252) and description (11023); the drive path's SCSI
//       address, taken from the drive path of the leading u32 of 11054, and
//       its access path (11024); the drive's id string (11135). Each step
//       only when its element came, in that order; a refused step ends the
//       request and keeps the earlier ones.
//   12  the object action of the object of 11003, audited under the library
//       of 4108 with the library's alias (when the object has one), the
//       object's name, the drive's description (with 4115, for a drive)
//       and the outcome.
//
// Handles are checked by kind: in operation 3 a handle of anything other
// than a drive or a drive path, and in both operations an unknown handle,
// change nothing and answer "Success". A 11054 that names no drive path is
// refused with its value before anything is asked of the model.
#include <cstdint>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/HandlerSkeleton.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::SetOutcome;

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMDrive";

constexpr uint32_t kOpModify = 3;
constexpr uint32_t kOpObjectAction = 12;

constexpr uint32_t kElementLibraryId = 4108;
constexpr uint32_t kElementDriveDetail = 4115;
constexpr uint32_t kElementName = 8252;
constexpr uint32_t kElementDescription = 11023;
constexpr uint32_t kElementScsiSource = 11054;  // [u32 handle][text]
constexpr uint32_t kElementAccessPath = 11024;
constexpr uint32_t kElementDriveId = 11135;
// Kept for the operations that add and probe NDMP drives; stored, not used.
constexpr uint32_t kElementsIgnored[] = {8203, 8259, 8261, 11073, 11074, 11069, 11043, 2048, 11058, 8202, 2282};

constexpr int kAuditObjectAction = 0x540001D6;
constexpr int kParamLibraryAlias = 0x550000BF;
constexpr int kParamObjectName = 0x55000456;
constexpr int kParamDriveDescription = 0x550000BE;
constexpr int kParamActionDone = 0x550005D5;

template <class T>
using Value = tkmm::ElementValue<T>;

class DriveRequest : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override {
    return operation == kOpModify || operation == kOpObjectAction;
  }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementLibraryId: m_libraryId.set(MessageWalker::readU32(value, length)); return true;
      case kElementDriveDetail: m_driveDetail.set(true); return true;
      case kElementName: m_name.set(MessageWalker::readText(value, length)); return true;
      case kElementDescription: m_description.set(MessageWalker::readText(value, length)); return true;
      case kElementScsiSource: m_scsiSource.set(MessageWalker::readU32(value, length)); return true;
      case kElementAccessPath: m_accessPath.set(MessageWalker::readText(value, length)); return true;
      case kElementDriveId: m_driveId.set(MessageWalker::readText(value, length)); return true;
      default:
        for (uint32_t t : kElementsIgnored)
          if (t == type) return true;
        return false;
    }
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(EvReturnData::returnLocaleId(record.request.sequenceNumber));
    return record.operation == kOpModify ? modify(record) : objectAction(record);
  }

 private:
  SetOutcome modify(const tkmm::SetRecord& record);
  SetOutcome objectAction(const tkmm::SetRecord& record);

  Value<uint32_t> m_libraryId;
  Value<bool> m_driveDetail;
  Value<std::string> m_name;
  Value<std::string> m_description;
  Value<uint32_t> m_scsiSource;
  Value<std::string> m_accessPath;
  Value<std::string> m_driveId;
};

SetOutcome DriveRequest::modify(const tkmm::SetRecord& record) {
  ZQMACDms* path = record.object<ZQMACDms>();
  ZQMACDrive* drive = path != nullptr ? path->GetDrive() : record.object<ZQMACDrive>();
  if (path == nullptr && drive == nullptr) return SetOutcome::success();
  if (drive != nullptr) {
    if (m_name.has && !drive->SetName(m_name.value)) return SetOutcome::lastError(*drive);
    if (m_description.has && !drive->SetDeviceTextC(m_description.value)) return SetOutcome::lastError(*drive);
  }
  if (path != nullptr) {
    if (m_scsiSource.has) {
      ZQMACDms* source = record.config.FindObject<ZQMACDms>(m_scsiSource.value);
      if (source == nullptr)
        return SetOutcome::failure("The drive path [" + std::to_string(m_scsiSource.value) +
                                   "] to take the SCSI bus from does not exist.");
      if (!path->UpdateSCSIBus(source)) return SetOutcome::lastError(*path);
    }
    if (m_accessPath.has && !path->SetAccessPath(m_accessPath.value)) return SetOutcome::lastError(*path);
  }
  if (drive != nullptr && m_driveId.has && !drive->SetDriveIdString(m_driveId.value))
    return SetOutcome::lastError(*drive);
  return SetOutcome::success();
}

SetOutcome DriveRequest::objectAction(const tkmm::SetRecord& record) {
  ZQMACInterface* object = record.anyObject();
  if (object == nullptr) return SetOutcome::success();
  if (!object->RunObjectAction()) return SetOutcome::lastError(*object);
  std::vector<tkmm::AuditParameter> parameters;
  ZQMACLms* lms = object->GetLms();
  if (lms != nullptr && lms->GetLibrary() != nullptr)
    parameters.push_back({kParamLibraryAlias, {lms->GetLibrary()->GetAliasName()}});
  parameters.push_back({kParamObjectName, {object->GetDisplayName()}});
  auto* drive = dynamic_cast<ZQMACDrive*>(object);
  if (m_driveDetail.has && object->GetObjectType() == ZQMAC_OBJ_DRIVE && drive != nullptr)
    parameters.push_back({kParamDriveDescription, {drive->GetDeviceTextC()}});
  parameters.push_back({kParamActionDone, {}});
  tkmm::writeAuditRecord(kAuditObjectAction, static_cast<int>(m_libraryId.value), parameters);
  return SetOutcome::success();
}

}  // namespace

bool EvMMConfigMgr::onMsgSetMMDrive(MessageInfo* request) {
  DriveRequest handler;
  return tkmm::runSet(request, kTag, handler);
}
