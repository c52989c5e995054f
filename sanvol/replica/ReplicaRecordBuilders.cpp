// The record builders of the volume and replica listings; see
// ReplicaRecordBuilders.h for the item orders.
#include "sanvol/replica/ReplicaRecordBuilders.h"

#include "frame/ElementTags.h"
#include "frame/SANVolReplyItems.h"
#include "platform/reply/EvReturnData.h"

namespace {

// Item tags of the volume, replica, device-name and mount-point groups.
constexpr unsigned long kItemVolumeId = tktag::kSanVolume;
constexpr unsigned long kItemDeviceIdType = tktag::kDeviceIdType;
constexpr unsigned long kItemDeviceId = tktag::kDeviceId;
constexpr unsigned long kItemFsType = tktag::kFileSystemType;
constexpr unsigned long kItemLun = tktag::kLun;
constexpr unsigned long kItemStartLba = tktag::kStartLBA;
constexpr unsigned long kItemBlockCount = tktag::kSanVolumeBlockCount;
constexpr unsigned long kItemBlockSize = tktag::kSanVolumeBlockSize;
constexpr unsigned long kItemVolumeLock = tktag::kVolumeLock;
constexpr unsigned long kItemQMState = tktag::kProtectionState;
constexpr unsigned long kItemQMProtected = tktag::kProtected;
constexpr unsigned long kItemAppliance = tktag::kAppliance;
constexpr unsigned long kItemCostCategory = tktag::kReplicaCostCategory;
constexpr unsigned long kItemVolumeType = tktag::kVolumeType;
constexpr unsigned long kItemTailFlag = tktag::kTailFlag;
constexpr unsigned long kItemHeldBySubclient = tktag::kSubclientContent;
constexpr unsigned long kItemBackupFromSnap = tktag::kBackupFromSnapshot;

constexpr unsigned long kItemReplicaId = tktag::kReplica;
constexpr unsigned long kItemPointInTime = tktag::kPointInTime;
constexpr unsigned long kItemModificationTime = tktag::kModificationTime;
constexpr unsigned long kItemCreationTime = tktag::kCreationTime;
constexpr unsigned long kItemRole = tktag::kReplicaRole;
constexpr unsigned long kItemDoNotPrune = tktag::kDoNotPrune;
constexpr unsigned long kItem11713 = tktag::kReplicaFlag11713;
constexpr unsigned long kItemJobId = tktag::kJobId;
constexpr unsigned long kItemPrimaryVolumeId = tktag::kPrimaryVolume;
constexpr unsigned long kItemSourceClientName = tktag::kSourceClient;
constexpr unsigned long kItemPolicy = tktag::kReplicationPolicy;
constexpr unsigned long kItemSnapshotActive = tktag::kSnapshotActive;
constexpr unsigned long kItemActivateSnapshot = tktag::kActivateSnapshot;
constexpr unsigned long kItem11751 = tktag::kSnapshotSourceVolume;
constexpr unsigned long kItem11774 = tktag::kReplicaFlag11774;
constexpr unsigned long kItem11775 = tktag::kReplicaFlag11775;
constexpr unsigned long kItem11746 = tktag::kEngineValue11746;

constexpr unsigned long kItemDeviceName = tktag::kDeviceName;
constexpr unsigned long kItemClient = tktag::kSanVolumeHost;
constexpr unsigned long kItemDeviceConfigured = tktag::kDeviceConfigured;
constexpr unsigned long kItem11723 = tktag::kDeviceNameFlag;
constexpr unsigned long kItemAccessPath = tktag::kReplicaAccessPath;
constexpr unsigned long kItemOsDeviceName = tktag::kOsDeviceName;
constexpr unsigned long kItemFilerClientId = tktag::kFilerClient;
constexpr unsigned long kItemMountPoint = tktag::kVolumeMountPoint;

constexpr uint32_t kFlagCaseSensitive = 0x1;
constexpr uint32_t kFlagExtra = 0x2;

// The name of `id` in the map when the id is non-zero and the map holds it.
std::string nameOf(const IdNameMap& names, int32_t id) {
  if (id == 0) return std::string();
  const auto it = names.find(id);
  return it != names.end() ? it->second : std::string();
}

uint32_t u32Of(int32_t value) { return static_cast<uint32_t>(value); }

}  // namespace

namespace tksanvol {

void addVolumeDetails(EvReturnData& reply, const SNRVolumeRecordV4_t& volume, const std::string& applianceName,
                      const std::string& costCategoryName, bool heldBySubclient) {
  addU32(reply, kItemDeviceIdType, u32Of(volume.deviceIdType));
  addText(reply, kItemDeviceId, volume.deviceId);
  addText(reply, kItemFsType, volume.fsType);
  addU32(reply, kItemLun, u32Of(volume.lun));
  addU64(reply, kItemStartLba, static_cast<uint64_t>(volume.startLba));
  addU64(reply, kItemBlockCount, static_cast<uint64_t>(volume.blockCount));
  addU32(reply, kItemBlockSize, u32Of(volume.blockSize));
  addFlag(reply, kItemVolumeLock, volume.volumeLock);
  addU32(reply, kItemQMState, u32Of(volume.qmState));
  addFlag(reply, kItemQMProtected, volume.qmProtected);
  addIdText(reply, kItemAppliance, u32Of(volume.applianceId), applianceName);
  // Replies carry the low 32 bits of the 64-bit cost category.
  addIdText(reply, kItemCostCategory, static_cast<uint32_t>(static_cast<uint64_t>(volume.costCategoryId)),
            costCategoryName);
  addU32(reply, kItemVolumeType, u32Of(volume.volumeType));
  addFlag(reply, kItemTailFlag, volume.tailFlag);
  addFlag(reply, kItemHeldBySubclient, heldBySubclient);
  addFlag(reply, kItemBackupFromSnap, volume.backupFromSnap);
}

void addReplicaDetails(EvReturnData& reply, const ReplicationVolumeV4Record_t& replica,
                       const std::optional<std::string>& sourceClientName) {
  addU32(reply, kItemReplicaId, u32Of(replica.replicaId));
  addU32(reply, kItemPointInTime, u32Of(replica.pointInTime));
  addU32(reply, kItemModificationTime, u32Of(replica.modificationTime));
  addU32(reply, kItemCreationTime, u32Of(replica.creationTime));
  addU32(reply, kItemRole, u32Of(replica.role));
  addFlag(reply, kItemDoNotPrune, replica.doNotPrune);
  addFlag(reply, kItem11713, replica.item11713);
  addU64(reply, kItemJobId, replica.jobId);
  addU32(reply, kItemPrimaryVolumeId, u32Of(replica.primaryVolumeId));
  if (sourceClientName) addText(reply, kItemSourceClientName, *sourceClientName);
  addIdText(reply, kItemPolicy, u32Of(replica.replicationPolicyId), std::string_view());
  addFlag(reply, kItemSnapshotActive, replica.snapshotActive);
  addFlag(reply, kItemActivateSnapshot, replica.activateSnapshot);
  addU32(reply, kItem11751, u32Of(replica.item11751));
  addFlag(reply, kItem11774, replica.item11774);
  addFlag(reply, kItem11775, replica.item11775);
  addU32(reply, kItem11746, u32Of(replica.item11746));
}

void addDeviceDetails(EvReturnData& reply, const SNRVolumeDeviceNameV4Record_t& device, const std::string& clientName,
                      FilerItem filer) {
  addHdr12Text(reply, kItemDeviceName, u32Of(device.deviceNameId), u32Of(device.hostId),
               device.caseSensitive ? kFlagCaseSensitive : 0u, device.deviceName);
  addIdText(reply, kItemClient, u32Of(device.hostId), clientName);
  addFlag(reply, kItemDeviceConfigured, device.deviceConfigured);
  addFlag(reply, kItem11723, device.extraFlag);
  addText(reply, kItemAccessPath, device.accessPath);
  if (filer == FilerItem::BeforeOsDeviceNameAlways) addU32(reply, kItemFilerClientId, u32Of(device.filerClientId));
  if (!device.osDeviceName.empty()) addIdText(reply, kItemOsDeviceName, 0, device.osDeviceName);
  if (filer == FilerItem::AfterOsDeviceNameWhenAFiler && device.filerClientId > 1)
    addU32(reply, kItemFilerClientId, u32Of(device.filerClientId));
}

}  // namespace tksanvol

void AddPVol(EvReturnData& reply, const SNRVolumeRecordV4_t& volume, const IdNameMap& applianceNames,
             const IdNameMap& costCategoryNames, bool heldBySubclient) {
  tksanvol::addU32(reply, kItemVolumeId, u32Of(volume.volumeId));
  tksanvol::addVolumeDetails(reply, volume, nameOf(applianceNames, volume.applianceId),
                             nameOf(costCategoryNames, static_cast<int32_t>(volume.costCategoryId)),
                             heldBySubclient);
}

void AddQRVol(EvReturnData& reply, const ReplicationVolumeV5Record_t& replica) {
  tksanvol::addReplicaDetails(reply, replica, std::nullopt);
}

void AddDevice(EvReturnData& reply, const SNRVolumeDeviceNameV4Record_t& device, const IdNameMap& clientNames) {
  const auto it = clientNames.find(device.hostId);
  tksanvol::addDeviceDetails(reply, device, it != clientNames.end() ? it->second : tksanvol::kUnknownClientName,
                             tksanvol::FilerItem::AfterOsDeviceNameWhenAFiler);
}

void AddMountPoint(EvReturnData& reply, const SNRVolumeMountPointRecord_t& mountPoint, int clientId) {
  const uint32_t flags = (mountPoint.caseSensitive ? kFlagCaseSensitive : 0u) | (mountPoint.extraFlag ? kFlagExtra : 0u);
  tksanvol::addHdr12Text(reply, kItemMountPoint, u32Of(mountPoint.mountPointId), static_cast<uint32_t>(clientId),
                         flags, mountPoint.mountPath);
}
