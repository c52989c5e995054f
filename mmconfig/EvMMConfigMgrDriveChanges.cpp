// The drive-change request (onMsgSetMMDrive), through the Set loop of
// HandlerSkeleton.h, one record (element 4001) at a time:
//
//   1   add an NDMP drive path (access path 11024) through the NDMP server
//       11058: into the drive pool of 11074, or the library's (11073) NDMP
//       pool of the media agent (2048) for that server and the drive
//       vendor of 11069, or a new NDMP pool. The drive takes the texts of
//       8202 and 2282 and the vendor table's entry; the media agent stores
//       path, drive (number 11043) and a new pool in one change. A vendor
//       index beyond the table and a found pool without a media agent are
//       refused before anything is made.
//   3   change the drive, or the drive path and its drive, of 11003: the
//       drive's name (8252) and description (11023); the drive path's SCSI
//       address, taken from the drive path of the leading u32 of 11054, and
//       its access path (11024); the drive's id string (11135). Each step
//       only when its element came, in that order; a refused step ends the
//       request, and what the steps before it changed is kept, in the
//       store as in the session.
//   12  the object action of the object of 11003, audited under the library
//       of 4108 with the library's alias (when the object has one), the
//       object's name, the drive's description (with 4115, for a drive)
//       and the outcome.
//   58  probe the NDMP server 11058 for the drive at 11024, through the
//       media agent of 2048 when there is one, else directly; answered with
//       reply 11133 (the drive's serial text, vendor and product, and its
//       identification text).
//
// Handles are checked by kind: in operation 3 a handle of anything other
// than a drive or a drive path, and in both operations an unknown handle,
// change nothing and answer "Success". A 11054 that names no drive path is
// refused with its value before anything is asked of the model. The
// handles of 11073 and 11074 count only when they name a library or a
// drive pool of the session's configuration.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/ChangeNotices.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::SetOutcome;

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetMMDrive";

constexpr uint32_t kOpAddNdmpPath = 1;
constexpr uint32_t kOpModify = 3;
constexpr uint32_t kOpObjectAction = 12;
constexpr uint32_t kOpProbeNdmp = 58;

constexpr uint32_t kElementLibraryId = tktag::kLibraryId;
constexpr uint32_t kElementDriveDetail = tktag::kDriveDetail;
constexpr uint32_t kElementName = tktag::kDriveAlias;
constexpr uint32_t kElementDescription = tktag::kDriveTextC;
constexpr uint32_t kElementScsiSource = tktag::kDrivePath;  // [u32 handle][text]
constexpr uint32_t kElementAccessPath = tktag::kPathDetail;
constexpr uint32_t kElementDriveId = tktag::kDriveId;
constexpr uint32_t kElementLibrary = tktag::kLibraryHandle;    // u64 handle
constexpr uint32_t kElementPool = tktag::kPoolHandle;       // u64 handle
constexpr uint32_t kElementVendor = tktag::kDriveVendorModel;     // index into the drive vendor table
constexpr uint32_t kElementNumber = tktag::kDriveNumber;
constexpr uint32_t kElementMediaAgent = tktag::kMediaAgent;  // [u32 id][text]
constexpr uint32_t kElementHost = tktag::kNdmpServer;
constexpr uint32_t kElementFirmware = tktag::kDriveTextA;
constexpr uint32_t kElementSerial = tktag::kDriveTextB;
constexpr uint32_t kElementsIgnored[] = {tktag::kUnused8203, tktag::kUnused8259, tktag::kVaultLock};

constexpr int kNdmpPoolType = 3;
constexpr unsigned int kUnitValueNew = 1;

// Reply 11133: the probed drive.
constexpr unsigned long kReplyProbedDrive = tktag::kReplyProbedDrive;
constexpr unsigned long kItemSerial = tktag::kDriveTextB;
constexpr unsigned long kItemVendorProduct = tktag::kDriveVendorModel;
constexpr unsigned long kItemIdentification = tktag::kDescription;

constexpr int kAuditObjectAction = 0x540001D6;
constexpr int kParamLibraryAlias = 0x550000BF;
constexpr int kParamObjectName = 0x55000456;
constexpr int kParamDriveDescription = 0x550000BE;
constexpr int kParamActionDone = 0x550005D5;

template <class T>
using Value = tkmm::ElementValue<T>;

class DriveRequest : public tkmm::SetRecordHandler {
 public:
  explicit DriveRequest(MessageInfo* request) : m_request(request) {}

  bool servesOperation(uint32_t operation) const override {
    return operation == kOpProbeNdmp || operation == kOpObjectAction || operation == kOpAddNdmpPath ||
           operation == kOpModify;
  }
  bool needsObject(uint32_t operation) const override {
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
      case kElementLibrary: m_library.set(MessageWalker::readU64(value, length)); return true;
      case kElementPool: m_pool.set(MessageWalker::readU64(value, length)); return true;
      case kElementVendor: m_vendor.set(MessageWalker::readU32(value, length)); return true;
      case kElementNumber: m_number.set(MessageWalker::readU32(value, length)); return true;
      case kElementMediaAgent:
        m_agentName.set(length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length));
        return true;
      case kElementHost: m_host.set(MessageWalker::readText(value, length)); return true;
      case kElementFirmware: m_firmware.set(MessageWalker::readText(value, length)); return true;
      case kElementSerial: m_serial.set(MessageWalker::readText(value, length)); return true;
      default:
        for (uint32_t t : kElementsIgnored)
          if (t == type) return true;
        return false;
    }
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(EvReturnData::returnLocaleId(record.request.sequenceNumber));
    switch (record.operation) {
      case kOpProbeNdmp: return probe(record);
      case kOpObjectAction: return objectAction(record);
      case kOpAddNdmpPath: return addNdmpPath(record);
      default: return modify(record);
    }
  }

 private:
  SetOutcome modify(const tkmm::SetRecord& record);
  SetOutcome modifySteps(const tkmm::SetRecord& record, ZQMACDms* path, ZQMACDrive* drive);
  SetOutcome objectAction(const tkmm::SetRecord& record);
  SetOutcome probe(const tkmm::SetRecord& record);
  SetOutcome addNdmpPath(const tkmm::SetRecord& record);

  MessageInfo* m_request;

  Value<uint32_t> m_libraryId;
  Value<bool> m_driveDetail;
  Value<std::string> m_name;
  Value<std::string> m_description;
  Value<uint32_t> m_scsiSource;
  Value<std::string> m_accessPath;
  Value<std::string> m_driveId;
  Value<unsigned long long> m_library;
  Value<unsigned long long> m_pool;
  Value<uint32_t> m_vendor;
  Value<uint32_t> m_number;
  Value<std::string> m_agentName;
  Value<std::string> m_host;
  Value<std::string> m_firmware;
  Value<std::string> m_serial;
};

SetOutcome DriveRequest::probe(const tkmm::SetRecord& record) {
  ZQMACNdmpDms path;
  if (!path.SetAccessPath(m_accessPath.value)) return SetOutcome::lastError(path);
  path.SetServerHostName(m_host.value);
  bool found = false;
  std::string error;
  if (ZQMACMediaAgent* agent = m_agentName.has ? record.config.FindDBNode(m_agentName.value) : nullptr) {
    found = agent->GetDeviceInfo(m_host.value, nullptr, &path);
    error = agent->GetLastError();
  } else {
    ZQNDMPAutoDetect detector(m_host.value, &record.config);
    found = detector.GetDeviceInfo(&path);
    error = detector.GetLastError();
  }
  if (!found) return SetOutcome::failure(error);
  const ZQMACDrive& drive = *path.GetDrive();
  EvReturnData reply;
  if (!reply.begin(kReplyProbedDrive, m_request->sequenceNumber, &m_request->socket, true)) {
    tkmm::answerAllocationFailure(kTag, *m_request);
    return SetOutcome::answered(false, false);
  }
  tkmm::RecordWriter out(reply);
  out.text(kItemSerial, drive.GetDeviceTextA());
  out.idText(kItemVendorProduct, 0xFFFFFFFFu, drive.GetVendor() + " " + drive.GetProduct());
  out.text(kItemIdentification, drive.GetDeviceIdentifier());
  out.endOfRecord();
  reply.end(0);
  return SetOutcome::answered(true, true);
}

SetOutcome DriveRequest::addNdmpPath(const tkmm::SetRecord& record) {
  ZQMACMediaConfig& config = record.config;
  const ZQMACVendorInfo* vendors = config.GetVendorInfo();
  const int size = vendors->GetDriveVendorInfoSize();
  if (size <= 0 || m_vendor.value >= static_cast<uint32_t>(size))
    return SetOutcome::failure("selected vendor type index [" + std::to_string(m_vendor.value) +
                               "] > total drive vendor type size [" + std::to_string(size) + "]");
  const ZQMACVendorEntry& vendor = vendors->GetDriveVendorInfo()[m_vendor.value];
  ZQMACLms* library = m_library.has ? config.FindObject<ZQMACLms>(m_library.value) : nullptr;
  ZQMACDrivePool* pool = m_pool.has ? config.FindObject<ZQMACDrivePool>(m_pool.value) : nullptr;
  std::unique_ptr<ZQMACDrivePool> newPool;
  // A media agent made for this record goes again when the record fails.
  struct MadeAgent {
    ZQMACMediaConfig& config;
    ZQMACMediaAgent* agent = nullptr;
    ~MadeAgent() {
      if (agent != nullptr) config.DeleteObject(agent);
    }
  } madeAgent{config};
  if (pool == nullptr) {
    if (!m_agentName.has || !m_host.has)
      return SetOutcome::failure(ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle));
    ZQMACMediaAgent* agent = config.FindDBNode(m_agentName.value);
    if (agent == nullptr) {
      // A name the configuration does not know: a media agent that only
      // this configuration holds (not stored) until its path is stored.
      auto made = std::make_unique<ZQMACMediaAgent>(m_agentName.value, &config, nullptr);
      if (made->GetOwner() == nullptr) return SetOutcome::lastError(config);
      agent = made.release();
      madeAgent.agent = agent;
    }
    if (library != nullptr) pool = library->FindDrivePool(agent, vendor.third, nullptr, m_host.value, 0);
    if (pool == nullptr) {
      newPool = std::make_unique<ZQMACDrivePool>();
      if (!newPool->SetProxyClientHost(m_host.value)) return SetOutcome::lastError(*newPool);
      newPool->SetType(kNdmpPoolType);
      newPool->SetMediaAgent(agent);
      pool = newPool.get();
    }
  }
  ZQMACMediaAgent* agent = pool->GetMediaAgent();
  if (agent == nullptr)
    return SetOutcome::failure("The drive pool [" + pool->GetName() + "] has no media agent to add the drive path to.");

  ZQMACNdmpDms path;
  if (!path.SetAccessPath(m_accessPath.value)) return SetOutcome::lastError(path);
  path.SetServerHostName(pool->GetProxyClientHost());
  path.SetUnitMediaAgent(agent);
  ZQMACDrive* drive = path.GetDrive();
  drive->SetFirmware(m_firmware.value);
  drive->SetSerialNumber(m_serial.value);
  drive->SetProduct(vendor.second);
  drive->SetVendor(vendor.first);
  drive->SetPoolMatchText(vendor.third);
  agent->GetDeviceInfo(pool->GetProxyClientHost(), nullptr, &path);  // what the server reports, when it answers
  path.SetUnitValue(kUnitValueNew);
  pool->AddDms(&path);
  if (agent->AddDms(&path, library, static_cast<int>(m_number.value), nullptr) == nullptr)
    return SetOutcome::lastError(*agent);
  madeAgent.agent = nullptr;
  return SetOutcome::success();
}

// The model stores each step; the steps of one record commit together,
// and a refused step keeps what the steps before it changed in the store as
// in the session.
SetOutcome DriveRequest::modify(const tkmm::SetRecord& record) {
  ZQMACDms* path = record.object<ZQMACDms>();
  ZQMACDrive* drive = path != nullptr ? path->GetDrive() : record.object<ZQMACDrive>();
  if (path == nullptr && drive == nullptr) return SetOutcome::success();
  return tkmm::storedAsKept(kTag, "the drive's changes", {drive, path},
                            [&] { return modifySteps(record, path, drive); });
}

SetOutcome DriveRequest::modifySteps(const tkmm::SetRecord& record, ZQMACDms* path, ZQMACDrive* drive) {
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
  DriveRequest handler(request);
  return tkmm::runSet(request, kTag, handler);
}
