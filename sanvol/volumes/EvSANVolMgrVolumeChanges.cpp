// Changes of SAN volumes in the replica database: record a discovered
// volume with its device name and mount points (operation 48), replace the
// mount points of a device name (15), delete a volume with its replicas (2)
// and update a volume, its permanent replica, its continuous-replication
// history name and its device name (3).
//
// The elements of a stream are kept for the whole request, so a later
// record inherits what an earlier one set, and every 11653 adds to one
// mount-point list that is never emptied. A failing step is answered and
// ends the request; the steps before it stay done.
//
// An update starts from the volume's current record and changes only what
// the request says, so fields it does not send (block size, file-system
// type, tail flag, ...) keep their values.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/reply/EvReturnData.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/volumes/UniqueIdClient.h"

namespace {

constexpr const char* kTag = "EvSANVolMgr::onMsgSetSANVolume";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextDeleteFailed = 0x39000094;
constexpr unsigned long kTextUpdateFailed = 0x39000095;
constexpr unsigned long kTextNotRecorded = 0x39000096;
constexpr unsigned long kTextMountPointNotRemoved = 0x39000087;  // %1 the mount path
constexpr unsigned long kTextAddFailed = 0x39000139;             // %1, %2 the mount path or device name

// ---------------------------------------------------------------- elements and operations

enum : unsigned int {
  kElementHost = tktag::kSanVolumeHost,
  kElementDeviceIdType = tktag::kDeviceIdType,
  kElementLun = tktag::kLun,
  kElementLba = tktag::kStartLBA,
  kElementSnapDeviceId = tktag::kPermanentReplicaDeviceId,
  kElementSnapDeviceIdType = tktag::kPermanentReplicaDeviceIdType,
  kElementSnapLun = tktag::kPermanentReplicaLun,
  kElementBackupFromSnap = tktag::kBackupFromSnapshot,
  kElementBlockCount = tktag::kSanVolumeBlockCount,
  kElementDeviceId = tktag::kDeviceId,
  kElementVolumeId = tktag::kSanVolume,
  kElementBlockSize = tktag::kSanVolumeBlockSize,
  kElementVolumeLock = tktag::kVolumeLock,
  kElementDeviceName = tktag::kDeviceName,
  kElementMountPoint = tktag::kVolumeMountPoint,
  kElementFsType = tktag::kFileSystemType,
  kElementUsePermanentReplica = tktag::kUsePermanentReplica,
  kElementDeviceConfigured = tktag::kDeviceConfigured,
  kElementOsDeviceName = tktag::kOsDeviceName,
  kElementAppliance = tktag::kAppliance,
  kElementQmState = tktag::kProtectionState,
  kElementQmProtected = tktag::kProtected,
  kElementHistoryName = tktag::kHistoryName,
  kElementVolumeType = tktag::kVolumeType,
  kElementAccessPath = tktag::kReplicaAccessPath,
  kElementFilerClientId = tktag::kFilerClient,
};

enum : unsigned long long {
  kOperationAdd = 48,
  kOperationReplaceMountPoints = 15,
  kOperationDelete = 2,
  kOperationUpdate = 3,
};

constexpr int32_t kNoFiler = 1;  // a filer client id of 1 or less names no filer
constexpr uint32_t kFlagCaseSensitive = 0x1;
constexpr uint32_t kFlagExtra = 0x2;
constexpr int kLevelReceived = 7;

constexpr const char* kAddMissing = "Did not receive required data for the new volume.";
constexpr const char* kDeleteWithoutDevice = "Did not receive device name of volume to be deleted.";
constexpr const char* kDeleteWithoutVolume = "Did not receive SNRVolume.Id of the volume to be deleted.";
constexpr const char* kUpdateWithoutVolume = "Did not receive volume ID of the volume to be updated.";
constexpr const char* kUpdateWithoutDevice =
    "Did not receive device name of the volume whose access path or history name is to be updated.";

// Everything the request's elements said so far.
struct Received {
  std::optional<tksanvol::IdText> host;
  std::optional<uint32_t> deviceIdType, lun, snapDeviceIdType, snapLun, backupFromSnap, volumeId, blockSize,
      volumeLock, usePermanentReplica, deviceConfigured, qmState, qmProtected, volumeType;
  std::optional<int32_t> filerClientId;
  std::optional<uint64_t> lba, blockCount;
  std::optional<std::string> snapDeviceId, deviceId, fsType, osDeviceName, historyName, accessPath;
  std::optional<tksanvol::Hdr12Text> deviceName;
  std::optional<tksanvol::IdText> appliance;
  std::vector<SNRVolumeMountPointRecord_t> mountPoints;
};

std::string orEmpty(const std::optional<std::string>& text) { return text ? *text : std::string(); }

// The filer client id of a NAS volume: the request's (1 when absent), or,
// when that names no filer, the one in the volume's unique id when it has
// one.
int32_t filerClientIdOf(const Received& r, int volumeType) {
  int32_t filer = r.filerClientId ? *r.filerClientId : kNoFiler;
  if (filer <= kNoFiler && isNasVolume(volumeType)) {
    if (const auto parsed = tksanvol::clientIdOfUniqueId(orEmpty(r.deviceId))) filer = *parsed;
  }
  return filer;
}

// The snapshot device's volume of a permanent replica.
template <class Record>
Record snapshotVolumeOf(const Received& r) {
  Record volume;
  volume.deviceId = orEmpty(r.snapDeviceId);
  volume.deviceIdType = static_cast<int32_t>(r.snapDeviceIdType.value_or(0));
  volume.lun = static_cast<int32_t>(r.snapLun.value_or(0));
  volume.startLba = static_cast<int64_t>(r.lba.value_or(0));
  volume.blockSize = static_cast<int32_t>(r.blockSize.value_or(0));
  volume.blockCount = static_cast<int64_t>(r.blockCount.value_or(0));
  return volume;
}

class SetVolume final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* v, unsigned int n) override;
  bool supportsOperation(unsigned long long operation) const override {
    return operation == kOperationAdd || operation == kOperationReplaceMountPoints ||
           operation == kOperationDelete || operation == kOperationUpdate;
  }
  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    switch (context.operation) {
      case kOperationAdd: return add(context);
      case kOperationReplaceMountPoints: return replaceMountPoints(context);
      case kOperationDelete: return remove(context);
      default: return update(context);
    }
  }

 private:
  tksanvol::RecordOutcome add(tksanvol::StreamContext& context);
  tksanvol::RecordOutcome replaceMountPoints(tksanvol::StreamContext& context);
  tksanvol::RecordOutcome remove(tksanvol::StreamContext& context);
  tksanvol::RecordOutcome update(tksanvol::StreamContext& context);

  // A failure whose catalogue text takes `argument` (once per entry).
  tksanvol::RecordOutcome failWith(tksanvol::StreamContext& context, unsigned long messageId, const std::string& text,
                                   std::initializer_list<std::string> arguments) {
    EvEvent& event = context.answer.event();
    event.clearArguments();
    for (const std::string& argument : arguments) event << argument;
    context.answer.fail(messageId, text.c_str());
    event.clearArguments();
    return tksanvol::RecordOutcome::Failed;
  }

  Received m_r;
  ReplicaDBClient m_service{1};
};

bool SetVolume::takeElement(tksanvol::StreamContext&, unsigned int type, const char* v, unsigned int n) {
  // Each is logged as "Received, <name> = <value>.".
  auto number = [&](std::optional<uint32_t>& field, const char* name) {
    field = tksanvol::readU32(v, n);
    EvDebug::DebugLvl(kLevelReceived, kTag, "Received, %s = %lu.", name, static_cast<unsigned long>(*field));
  };
  auto wide = [&](std::optional<uint64_t>& field, const char* name) {
    field = tksanvol::readU64(v, n);
    EvDebug::DebugLvl(kLevelReceived, kTag, "Received, %s = %llu.", name, static_cast<unsigned long long>(*field));
  };
  auto text = [&](std::optional<std::string>& field, const char* name) {
    field = tksanvol::readText(v, n);
    EvDebug::DebugLvl(kLevelReceived, kTag, "Received, %s = %s.", name, field->c_str());
  };
  switch (type) {
    case kElementHost:
      m_r.host = tksanvol::readIdText(v, n);
      EvDebug::DebugLvl(kLevelReceived, kTag, "Received, SanVolumeHostId=%d, SanVolumeHostName = %s.",
                        static_cast<int>(m_r.host->id), m_r.host->text.c_str());
      return true;
    case kElementDeviceIdType: number(m_r.deviceIdType, "DeviceIdType"); return true;
    case kElementLun: number(m_r.lun, "LUN"); return true;
    case kElementLba: wide(m_r.lba, "LBA"); return true;
    case kElementSnapDeviceId: text(m_r.snapDeviceId, "SnapDeviceId"); return true;
    case kElementSnapDeviceIdType: number(m_r.snapDeviceIdType, "SnapDeviceIdType"); return true;
    case kElementSnapLun: number(m_r.snapLun, "SnapLUN"); return true;
    case kElementBackupFromSnap: number(m_r.backupFromSnap, "BackupFromSnap"); return true;
    case kElementBlockCount: wide(m_r.blockCount, "LogicalBlockCount"); return true;
    case kElementDeviceId: text(m_r.deviceId, "DeviceId"); return true;
    case kElementVolumeId: number(m_r.volumeId, "VolumeID"); return true;
    case kElementBlockSize: number(m_r.blockSize, "BlockSize"); return true;
    case kElementVolumeLock: number(m_r.volumeLock, "VolumeLock"); return true;
    case kElementDeviceName:
      m_r.deviceName = tksanvol::readHdr12Text(v, n);
      EvDebug::DebugLvl(kLevelReceived, kTag, "Received, SNRDeviceNameId=%d, SNRDeviceName = %s.",
                        static_cast<int>(m_r.deviceName->id), m_r.deviceName->text.c_str());
      return true;
    case kElementMountPoint: {
      const tksanvol::Hdr12Text point = tksanvol::readHdr12Text(v, n);
      EvDebug::DebugLvl(kLevelReceived, kTag, "Received, SNRMountPointId=%d, SNRMountPoint = %s.",
                        static_cast<int>(point.id), point.text.c_str());
      SNRVolumeMountPointRecord_t record;
      record.mountPath = point.text;
      record.caseSensitive = (point.flags & kFlagCaseSensitive) != 0;
      record.extraFlag = (point.flags & kFlagExtra) != 0;
      m_r.mountPoints.push_back(record);
      return true;
    }
    case kElementFsType: text(m_r.fsType, "File System Type"); return true;
    case kElementUsePermanentReplica:
      number(m_r.usePermanentReplica, "Use Permanent Replica");
      return true;
    case kElementDeviceConfigured: number(m_r.deviceConfigured, "Device Configured"); return true;
    case kElementOsDeviceName: text(m_r.osDeviceName, "OS Device Name"); return true;
    case kElementAppliance:
      m_r.appliance = tksanvol::readIdText(v, n);
      EvDebug::DebugLvl(kLevelReceived, kTag, "Received, ApplianceId =%d, ApplianceName = %s.",
                        static_cast<int>(m_r.appliance->id), m_r.appliance->text.c_str());
      return true;
    case kElementQmState: number(m_r.qmState, "Quillmere Volume QMState"); return true;
    case kElementQmProtected: number(m_r.qmProtected, "Quillmere Protected flag"); return true;
    case kElementHistoryName: text(m_r.historyName, "Quillmere global history name"); return true;
    case kElementVolumeType:
      m_r.volumeType = tksanvol::readU32(v, n);
      EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Volume Type = %d.", static_cast<int>(*m_r.volumeType));
      return true;
    case kElementAccessPath: text(m_r.accessPath, "Access Path"); return true;
    case kElementFilerClientId:
      m_r.filerClientId = tksanvol::readI32(v, n);
      EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Filer Client Id = %d.", *m_r.filerClientId);
      return true;
    default:
      return false;
  }
}

// Operation 48: the volume, its device name, mount points and history name
// in one call, then its permanent replica when asked for.
tksanvol::RecordOutcome SetVolume::add(tksanvol::StreamContext& context) {
  MessageInfo& request = context.request();
  if (!m_r.deviceId || !m_r.deviceIdType || !m_r.lba || !m_r.blockSize || !m_r.deviceName || !m_r.lun ||
      !m_r.blockCount || !m_r.backupFromSnap || !m_r.volumeType || !m_r.host) {
    EvDebug::Debug(kTag, "%s", kAddMissing);
    sendResponse(request.sequenceNumber, &request.socket, 0, kAddMissing, nullptr);
    return tksanvol::RecordOutcome::Failed;
  }
  const int volumeType = static_cast<int>(*m_r.volumeType);
  AddSNRDeviceV5Args_t args;
  SNRVolumeRecordV4_t& volume = args.volume;
  volume.deviceIdType = static_cast<int32_t>(*m_r.deviceIdType);
  volume.deviceId = *m_r.deviceId;
  volume.lun = static_cast<int32_t>(*m_r.lun);
  volume.startLba = static_cast<int64_t>(*m_r.lba);
  volume.blockCount = static_cast<int64_t>(*m_r.blockCount);
  volume.blockSize = static_cast<int32_t>(*m_r.blockSize);
  volume.backupFromSnap = *m_r.backupFromSnap != 0;
  volume.volumeLock = m_r.volumeLock.value_or(0) != 0;
  volume.fsType = orEmpty(m_r.fsType);
  volume.usePermanentReplica = m_r.usePermanentReplica.value_or(0) != 0;
  volume.applianceId = m_r.appliance ? static_cast<int32_t>(m_r.appliance->id) : 0;
  volume.qmProtected = m_r.qmProtected && *m_r.qmProtected == 1;
  volume.qmState = static_cast<int32_t>(m_r.qmState.value_or(0));
  volume.volumeType = volumeType;
  volume.auxText.clear();
  volume.extraFlag = false;

  SNRVolumeDeviceNameV4Record_t& device = args.deviceName;
  device.deviceName = m_r.deviceName->text;
  device.caseSensitive = m_r.deviceName->flags != 0;
  device.hostId = static_cast<int32_t>(m_r.host->id);
  device.osDeviceName = orEmpty(m_r.osDeviceName);
  device.deviceConfigured = m_r.deviceConfigured.value_or(0) != 0;
  device.accessPath = orEmpty(m_r.accessPath);
  device.filerClientId = filerClientIdOf(m_r, volumeType);
  args.mountPoints = m_r.mountPoints;
  args.historyName.historyName = orEmpty(m_r.historyName);

  AddSNRDeviceV5Ret_t added;
  if (!m_service.AddSNRDevice(args, added)) {
    const std::string& named = m_r.mountPoints.empty() ? m_r.deviceName->text : m_r.mountPoints.front().mountPath;
    return failWith(context, kTextAddFailed, added.errorText, {named, named});
  }
  if (m_r.usePermanentReplica.value_or(0) != 0) {
    CreatePermanentReplicaV3Args_t replica;
    replica.snapshotVolume = snapshotVolumeOf<SNRVolumeRecordV3_t>(m_r);
    replica.sourceVolumeId = added.volumeId;
    CreatePermanentReplicaV3Ret_t created;
    if (!m_service.CreatePermanentReplica(replica, created))
      return context.answer.lookupFailed(created.errorText.c_str(), kTextNotRecorded);
  }
  context.answer.success(tksanvol::AnswerForm::OperationResponse, kOperationAdd);
  return tksanvol::RecordOutcome::GoOn;
}

// Operation 15: the device name's mount points become the request's; mount
// points marked extra stay.
tksanvol::RecordOutcome SetVolume::replaceMountPoints(tksanvol::StreamContext& context) {
  if (!m_r.deviceName) return context.answer.missingInformation();
  const int32_t deviceNameId = static_cast<int32_t>(m_r.deviceName->id);
  QuerySNRVolMountPointBySNRVolDevIdArgs_t query;
  query.deviceNameId = deviceNameId;
  QuerySNRVolMountPointBySNRVolDevIdRet_t current;
  if (!m_service.QuerySNRVolMountPoint(query, current)) return context.answer.lookupFailed(current.errorText.c_str());
  for (const SNRVolumeMountPointRecord_t& point : current.mountPoints) {
    if (point.extraFlag) continue;
    RemoveSNRMountPointArgs_t args;
    args.mountPointId = point.mountPointId;
    RemoveSNRMountPointRet_t removed;
    if (!m_service.RemoveSNRMountPoint(args, removed))
      return failWith(context, kTextMountPointNotRemoved, removed.errorText, {point.mountPath});
  }
  for (const SNRVolumeMountPointRecord_t& point : m_r.mountPoints) {
    AddSNRMountPointArgs_t args;
    args.mountPoint = point;
    args.mountPoint.deviceNameId = deviceNameId;
    AddSNRMountPointRet_t added;
    if (!m_service.AddSNRMountPoint(args, added))
      return context.answer.lookupFailed(added.errorText.c_str(), kTextNotRecorded);
  }
  context.answer.success(tksanvol::AnswerForm::OperationResponse, kOperationReplaceMountPoints);
  return tksanvol::RecordOutcome::GoOn;
}

// Operation 2: the volume's replicas, then its device name.
tksanvol::RecordOutcome SetVolume::remove(tksanvol::StreamContext& context) {
  if (!m_r.deviceName) return context.answer.missingInformation(kDeleteWithoutDevice);
  if (!m_r.volumeId) return context.answer.missingInformation(kDeleteWithoutVolume);
  const int32_t volumeId = static_cast<int32_t>(*m_r.volumeId);
  GetReplicationVolumeListRet_t replicas;
  if (!m_service.GetReplicationVolumeList(replicas)) return context.answer.lookupFailed(replicas.errorText.c_str());
  for (const ReplicationVolumeRecord_t& replica : replicas.replicas) {
    if (replica.physicalVolumeId != volumeId) continue;
    RemoveReplicationVolumeArgs_t args(-1);
    args.replicaId = replica.replicaId;
    RemoveReplicationVolumeRet_t deleted;
    if (!m_service.DeleteReplicationVolume(args, deleted))
      return context.answer.lookupFailed(deleted.errorText.c_str(), kTextDeleteFailed);
  }
  DeleteSNRDeviceArgs_t args;
  args.deviceNameId = static_cast<int32_t>(m_r.deviceName->id);
  DeleteSNRDeviceRet_t deleted;
  if (!m_service.DeleteSNRDevice(args, deleted))
    return context.answer.lookupFailed(deleted.errorText.c_str(), kTextDeleteFailed);
  context.answer.success(tksanvol::AnswerForm::OperationResponse, kOperationDelete);
  return tksanvol::RecordOutcome::GoOn;
}

// Operation 3: the volume record, its permanent replica, its history name
// and its device name's access path, in that order.
tksanvol::RecordOutcome SetVolume::update(tksanvol::StreamContext& context) {
  if (!m_r.volumeId) return context.answer.missingInformation(kUpdateWithoutVolume);
  // The access path and the history name belong to the device name: without
  // it they would be dropped under a "Success", so nothing is changed.
  if (!m_r.deviceName && (m_r.accessPath || (m_r.historyName && !m_r.historyName->empty())))
    return context.answer.missingInformation(kUpdateWithoutDevice);
  const int32_t volumeId = static_cast<int32_t>(*m_r.volumeId);
  QuerySNRVolumeByIdV4Args_t query;
  query.volumeId = volumeId;
  QuerySNRVolumeByIdV4Ret_t current;
  if (!m_service.QuerySNRVolume(query, current)) return context.answer.lookupFailed(current.errorText.c_str());

  // The received fields over the current record.
  UpdateSNRVolumeV4Args_t change;
  SNRVolumeRecordV4_t& volume = change.volume;
  volume = current.volume;
  volume.changeMask = 0;
  volume.volumeId = volumeId;
  if (m_r.appliance) volume.applianceId = static_cast<int32_t>(m_r.appliance->id);
  if (m_r.deviceIdType) volume.deviceIdType = static_cast<int32_t>(*m_r.deviceIdType);
  if (m_r.lun) volume.lun = static_cast<int32_t>(*m_r.lun);
  if (m_r.deviceId) volume.deviceId = *m_r.deviceId;
  if (m_r.backupFromSnap) volume.backupFromSnap = *m_r.backupFromSnap != 0;
  if (m_r.volumeLock) volume.volumeLock = *m_r.volumeLock != 0;
  if (m_r.usePermanentReplica) volume.usePermanentReplica = *m_r.usePermanentReplica != 0;
  if (m_r.qmState) volume.qmState = static_cast<int32_t>(*m_r.qmState);
  if (m_r.qmProtected) volume.qmProtected = *m_r.qmProtected != 0;
  if (m_r.volumeType) volume.volumeType = static_cast<int32_t>(*m_r.volumeType);
  if (isNasVolume(volume.volumeType)) {
    if (m_r.blockCount) volume.blockCount = static_cast<int64_t>(*m_r.blockCount);
    if (m_r.lba) volume.startLba = static_cast<int64_t>(*m_r.lba);
  }

  if (current.volume.usePermanentReplica) {
    DeletePermanentReplicaArgs_t args;
    args.volumeId = volumeId;
    DeletePermanentReplicaRet_t deleted;
    if (!m_service.DeletePermanentReplica(args, deleted))
      return context.answer.lookupFailed(deleted.errorText.c_str(), kTextUpdateFailed);
  }
  UpdateSNRVolumeV4Ret_t updated;
  if (!m_service.UpdateSNRVolume(change, updated))
    return context.answer.lookupFailed(updated.errorText.c_str(), kTextUpdateFailed,
                                       tksanvol::AnswerForm::OperationResponse, kOperationUpdate);
  if (m_r.usePermanentReplica.value_or(0) != 0) {
    CreatePermanentReplicaV4Args_t replica;
    replica.snapshotVolume = snapshotVolumeOf<SNRVolumeRecordV4_t>(m_r);
    replica.sourceVolumeId = volumeId;
    CreatePermanentReplicaV4Ret_t created;
    if (!m_service.CreatePermanentReplica(replica, created))
      return context.answer.lookupFailed(created.errorText.c_str(), kTextNotRecorded);
  }
  if (m_r.historyName && !m_r.historyName->empty() && m_r.deviceName) {
    // History names are read back by volume id.
    AddQuillmereVolHistoryNameArgs_t args;
    args.historyName.volumeId = volumeId;
    args.historyName.historyName = *m_r.historyName;
    AddQuillmereVolHistoryNameRet_t added;
    if (!m_service.AddQMGlobalHistoryName(args, added))
      return context.answer.lookupFailed(added.errorText.c_str(), kTextNotRecorded);
  }
  if (m_r.deviceName && m_r.accessPath) {
    UpdateSNRDeviceV4Args_t args;
    args.deviceName.deviceNameId = static_cast<int32_t>(m_r.deviceName->id);
    args.deviceName.UpdateAccessPath(*m_r.accessPath);
    const int32_t filer = m_r.filerClientId ? *m_r.filerClientId : kNoFiler;
    if (filer <= kNoFiler && isNasVolume(static_cast<int>(m_r.volumeType.value_or(0)))) {
      // Only a filer found in the unique id is stored; none leaves the
      // device name's filer as it is.
      if (const auto parsed = tksanvol::clientIdOfUniqueId(orEmpty(m_r.deviceId)))
        args.deviceName.UpdateFilerClientId(*parsed);
    }
    UpdateSNRDeviceV4Ret_t changed;
    if (!m_service.UpdateSNRDevice(args, changed))
      return context.answer.lookupFailed(changed.errorText.c_str(), kTextUpdateFailed);
  }
  context.answer.success(tksanvol::AnswerForm::OperationResponse, kOperationUpdate);
  return tksanvol::RecordOutcome::GoOn;
}

}  // namespace

long long EvSANVolMgr::onMsgSetSANVolume(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTag;
  SetVolume handler;
  return tksanvol::runElementStream(request, rules, handler);
}
