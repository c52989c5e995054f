// The SAN volume host and volume listings that feed the console's
// SAN-volume view. Both are simple Get requests: the reply is begun on the
// handler object, the worker adds one record per host or device name, and
// the reply is ended whatever the worker did. Everything listed comes from
// the replica database service; host names come from the client records.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

constexpr const char* kHostsTag = "EvSANVolMgr::onMsgGetSANVolumeHosts";
constexpr const char* kLookupHostsTag = "EvSANVolMgr::lookupSANVolumeHosts";
constexpr const char* kVolumesTag = "EvSANVolMgr::onMsgGetSANVolumes";
constexpr const char* kLookupVolumesTag = "EvSANVolMgr::lookupSANVolumes";

constexpr unsigned long kReplyVolumeHosts = tktag::kReplySanVolumeHosts;
constexpr unsigned long kReplyVolumes = tktag::kReplySanVolumes;
// The volumes of the host could not be read.
constexpr unsigned long kTextVolumesUnreadable = 0x39000092;
constexpr int kLevelRights = 10;

// Items of the listings.
enum : unsigned long {
  kItemHostFlag = tktag::kHostFlag,
  kItemHost = tktag::kSanVolumeHost,
  kItemFilerClient = tktag::kFilerClient,
  kItemDeviceName = tktag::kDeviceName,
  kItemOsDeviceName = tktag::kOsDeviceName,
  kItemDeviceConfigured = tktag::kDeviceConfigured,
  kItemDeviceExtraFlag = tktag::kDeviceNameFlag,
  kItemAccessPath = tktag::kReplicaAccessPath,
  kItemVolumeId = tktag::kSanVolume,
  kItemDeviceIdType = tktag::kDeviceIdType,
  kItemDeviceId = tktag::kDeviceId,
  kItemFsType = tktag::kFileSystemType,
  kItemLun = tktag::kLun,
  kItemStartLba = tktag::kStartLBA,
  kItemBlockCount = tktag::kSanVolumeBlockCount,
  kItemBlockSize = tktag::kSanVolumeBlockSize,
  kItemBackupFromSnap = tktag::kBackupFromSnapshot,
  kItemVolumeLock = tktag::kVolumeLock,
  kItemQmState = tktag::kProtectionState,
  kItemQmProtected = tktag::kProtected,
  kItemCostCategory = tktag::kReplicaCostCategory,
  kItemAppliance = tktag::kAppliance,
  kItemVolumeType = tktag::kVolumeType,
  kItemTailFlag = tktag::kTailFlag,
  kItemReplicationSubclient = tktag::kSubclientContent,
  kItemMountPoint = tktag::kVolumeMountPoint,
  kItemReplicaId = tktag::kReplica,
  kItemPointInTime = tktag::kPointInTime,
  kItemModificationTime = tktag::kModificationTime,
  kItemCreationTime = tktag::kCreationTime,
  kItemRole = tktag::kReplicaRole,
  kItemPrimaryVolume = tktag::kPrimaryVolume,
  kItemDoNotPrune = tktag::kDoNotPrune,
  kItem11713 = tktag::kReplicaFlag11713,
  kItemPolicy = tktag::kReplicationPolicy,
  kItem11751 = tktag::kSnapshotSourceVolume,
  kItem11774 = tktag::kReplicaFlag11774,
  kItem11775 = tktag::kReplicaFlag11775,
  kItem11746 = tktag::kEngineValue11746,
  kItemScratchVolume = tktag::kScratchVolume,
  kItemScratchPool = tktag::kScratchVolumePool,
  kItemUsePermanentReplica = tktag::kUsePermanentReplica,
  kItemPermanentDeviceIdType = tktag::kPermanentReplicaDeviceIdType,
  kItemPermanentDeviceId = tktag::kPermanentReplicaDeviceId,
  kItemPermanentLun = tktag::kPermanentReplicaLun,
};

constexpr uint32_t kFlagCaseSensitive = 0x1;
constexpr uint32_t kFlagExtra = 0x2;
// A scratch pool is listed by id with this fixed text, not its name.
constexpr const char* kScratchPoolText = "fix me";

uint32_t u32(int32_t value) { return static_cast<uint32_t>(value); }
uint64_t u64(int64_t value) { return static_cast<uint64_t>(value); }

// Client names by id, each client looked up once per listing; a client
// whose lookup gives nothing is listed with an empty name.
class ClientNames {
 public:
  const std::string& nameOf(int32_t clientId) {
    auto found = m_names.find(clientId);
    if (found != m_names.end()) return found->second;
    std::string name;
    ZQClient client(static_cast<unsigned long>(static_cast<uint32_t>(clientId)));
    client.getName(name, nullptr);
    return m_names.emplace(clientId, name).first->second;
  }

 private:
  std::map<int32_t, std::string> m_names;
};

// A host's device names are read from the service a page at a time, so that
// the listing holds the records of one page beside the reply's one frame,
// however many volumes the host has. A thousand device names with their
// volumes, mount points, replicas and scratch volumes come to about a
// megabyte of records, far below a frame, while a page still reads enough
// rows that its statements cost little beside the rows themselves.
constexpr int32_t kDeviceNamesPerPage = 1000;

// The records of one page of a host's listing found by the key each listed
// object looks them up by, built once per page so that the listing costs
// time in proportion to its rows. A page holds everything that belongs to
// its device names and their volumes, each list in service order: the first
// record of a key is the one the whole listing would find, and mount points
// keep the service's order within their device name.
class HostRecords {
 public:
  explicit HostRecords(const QuerySNRDeviceV6Ret_t& devices) {
    for (const SNRVolumeRecordV4_t& volume : devices.volumes) m_volumes.emplace(volume.volumeId, &volume);
    for (const SNRVolumeMountPointRecord_t& mountPoint : devices.mountPoints)
      m_mountPoints[mountPoint.deviceNameId].push_back(&mountPoint);
    for (const ReplicationVolumeV5Record_t& replica : devices.replicas)
      m_replicas.emplace(replica.physicalVolumeId, &replica);
    for (const RVScratchVolumeV2Record_t& scratch : devices.scratchVolumes)
      m_scratchVolumes.emplace(scratch.volumeId, &scratch);
  }

  const SNRVolumeRecordV4_t* volume(int32_t volumeId) const { return find(m_volumes, volumeId); }
  const ReplicationVolumeV5Record_t* replica(int32_t volumeId) const { return find(m_replicas, volumeId); }
  const RVScratchVolumeV2Record_t* scratchVolume(int32_t volumeId) const { return find(m_scratchVolumes, volumeId); }
  const std::vector<const SNRVolumeMountPointRecord_t*>& mountPoints(int32_t deviceNameId) const {
    static const std::vector<const SNRVolumeMountPointRecord_t*> kNone;
    auto found = m_mountPoints.find(deviceNameId);
    return found != m_mountPoints.end() ? found->second : kNone;
  }

 private:
  template <class T>
  static const T* find(const std::unordered_map<int32_t, const T*>& index, int32_t key) {
    auto found = index.find(key);
    return found != index.end() ? found->second : nullptr;
  }

  std::unordered_map<int32_t, const SNRVolumeRecordV4_t*> m_volumes;
  std::unordered_map<int32_t, std::vector<const SNRVolumeMountPointRecord_t*>> m_mountPoints;
  std::unordered_map<int32_t, const ReplicationVolumeV5Record_t*> m_replicas;
  std::unordered_map<int32_t, const RVScratchVolumeV2Record_t*> m_scratchVolumes;
};

// Appliance names by id, for the whole listing (the first of an id, as the
// service lists them).
class ApplianceNames {
 public:
  explicit ApplianceNames(const GetQRApplianceListRet_t& appliances) {
    for (const QRApplianceRecord_t& appliance : appliances.appliances)
      m_names.emplace(appliance.applianceId, &appliance.applianceName);
  }
  // Empty for appliance 0 and for an appliance the list does not hold.
  std::string nameOf(int32_t applianceId) const {
    if (applianceId == 0) return std::string();
    auto found = m_names.find(applianceId);
    return found != m_names.end() ? *found->second : std::string();
  }

 private:
  std::unordered_map<int32_t, const std::string*> m_names;
};

// The replica items of the volume's replica.
void addReplica(EvReturnData& reply, const ReplicationVolumeV5Record_t& replica) {
  tksanvol::addU32(reply, kItemReplicaId, u32(replica.replicaId));
  tksanvol::addU32(reply, kItemPointInTime, u32(replica.pointInTime));
  tksanvol::addU32(reply, kItemModificationTime, u32(replica.modificationTime));
  tksanvol::addU32(reply, kItemCreationTime, u32(replica.creationTime));
  tksanvol::addU32(reply, kItemRole, u32(replica.role));
  tksanvol::addU32(reply, kItemPrimaryVolume, u32(replica.primaryVolumeId));
  tksanvol::addFlag(reply, kItemDoNotPrune, replica.doNotPrune);
  tksanvol::addFlag(reply, kItem11713, replica.item11713);
  tksanvol::addIdText(reply, kItemPolicy, u32(replica.replicationPolicyId), "");
  tksanvol::addU32(reply, kItem11751, u32(replica.item11751));
  tksanvol::addFlag(reply, kItem11774, replica.item11774);
  tksanvol::addFlag(reply, kItem11775, replica.item11775);
  tksanvol::addU32(reply, kItem11746, u32(replica.item11746));
}

// The items of a device name and its volume, up to 11694.
void addDeviceAndVolume(EvReturnData& reply, const SNRVolumeDeviceNameV4Record_t& device,
                        const SNRVolumeRecordV4_t& volume, const std::string& clientName,
                        const std::unordered_set<int32_t>& replicationVolumes, const ApplianceNames& appliances) {
  tksanvol::addU32(reply, kItemVolumeId, u32(device.volumeId));
  tksanvol::addIdText(reply, kItemHost, u32(device.hostId), clientName);
  if (isNasVolume(volume.volumeType)) tksanvol::addU32(reply, kItemFilerClient, u32(device.filerClientId));
  tksanvol::addHdr12Text(reply, kItemDeviceName, u32(device.deviceNameId), u32(device.hostId),
                         device.caseSensitive ? kFlagCaseSensitive : 0u, device.deviceName);
  if (!device.osDeviceName.empty()) tksanvol::addIdText(reply, kItemOsDeviceName, 0, device.osDeviceName);
  tksanvol::addFlag(reply, kItemDeviceConfigured, device.deviceConfigured);
  tksanvol::addFlag(reply, kItemDeviceExtraFlag, device.extraFlag);
  tksanvol::addText(reply, kItemAccessPath, device.accessPath);
  tksanvol::addU32(reply, kItemDeviceIdType, u32(volume.deviceIdType));
  tksanvol::addText(reply, kItemDeviceId, volume.deviceId);
  tksanvol::addText(reply, kItemFsType, volume.fsType);
  tksanvol::addU32(reply, kItemLun, u32(volume.lun));
  tksanvol::addU64(reply, kItemStartLba, u64(volume.startLba));
  tksanvol::addU64(reply, kItemBlockCount, u64(volume.blockCount));
  tksanvol::addU32(reply, kItemBlockSize, u32(volume.blockSize));
  tksanvol::addFlag(reply, kItemBackupFromSnap, volume.backupFromSnap);
  tksanvol::addU32(reply, kItemVolumeLock, volume.volumeLock ? 1u : 0u);
  tksanvol::addU32(reply, kItemQmState, u32(volume.qmState));
  tksanvol::addFlag(reply, kItemQmProtected, volume.qmProtected);
  tksanvol::addIdText(reply, kItemCostCategory, static_cast<uint32_t>(volume.costCategoryId), "");
  tksanvol::addIdText(reply, kItemAppliance, u32(volume.applianceId), appliances.nameOf(volume.applianceId));
  tksanvol::addU32(reply, kItemVolumeType, u32(volume.volumeType));
  tksanvol::addFlag(reply, kItemTailFlag, volume.tailFlag);
  tksanvol::addFlag(reply, kItemReplicationSubclient, replicationVolumes.count(volume.volumeId) != 0);
}

// 11611, 11610 and 11612 from the volume of the permanent replica; false
// (logged) when either lookup failed.
bool addPermanentReplica(EvReturnData& reply, ReplicaDBClient& service, int32_t volumeId) {
  QueryPermanentReplicaArgs_t replicaArgs;
  replicaArgs.volumeId = volumeId;
  QueryPermanentReplicaRet_t replicaRet;
  if (!service.QueryPermanentReplica(replicaArgs, replicaRet)) {
    EvDebug::Error(kLookupVolumesTag, "%s", replicaRet.errorText.c_str());
    return false;
  }
  QuerySNRVolumeByIdArgs_t volumeArgs;
  volumeArgs.volumeId = replicaRet.replica.physicalVolumeId;
  QuerySNRVolumeByIdRet_t volumeRet;
  if (!service.QuerySNRVolume(volumeArgs, volumeRet)) {
    EvDebug::Error(kLookupVolumesTag, "%s", volumeRet.errorText.c_str());
    return false;
  }
  tksanvol::addU32(reply, kItemPermanentDeviceIdType, u32(volumeRet.volume.deviceIdType));
  tksanvol::addText(reply, kItemPermanentDeviceId, volumeRet.volume.deviceId);
  tksanvol::addU32(reply, kItemPermanentLun, u32(volumeRet.volume.lun));
  return true;
}

// The records of one page's device names. False (logged) at a device name
// that could not be listed: its record, and the listing, end there.
bool addPage(EvReturnData& reply, ReplicaDBClient& service, const QuerySNRDeviceV6Ret_t& page,
             ClientNames& clientNames, const std::unordered_set<int32_t>& replicationVolumes,
             const ApplianceNames& appliances) {
  const HostRecords records(page);
  for (const SNRVolumeDeviceNameV4Record_t& device : page.deviceNames) {
    const SNRVolumeRecordV4_t* volume = records.volume(device.volumeId);
    if (volume == nullptr) {
      EvDebug::Error(kLookupVolumesTag, "%s", "Error: Device name is not associated with a volume.");
      return false;
    }
    addDeviceAndVolume(reply, device, *volume, clientNames.nameOf(device.hostId), replicationVolumes, appliances);

    for (const SNRVolumeMountPointRecord_t* mountPoint : records.mountPoints(device.deviceNameId)) {
      const uint32_t flags =
          (mountPoint->caseSensitive ? kFlagCaseSensitive : 0u) | (mountPoint->extraFlag ? kFlagExtra : 0u);
      tksanvol::addHdr12Text(reply, kItemMountPoint, u32(mountPoint->mountPointId), u32(device.hostId), flags,
                             mountPoint->mountPath);
    }
    if (const ReplicationVolumeV5Record_t* replica = records.replica(volume->volumeId)) addReplica(reply, *replica);
    if (const RVScratchVolumeV2Record_t* scratch = records.scratchVolume(volume->volumeId)) {
      tksanvol::addU32(reply, kItemScratchVolume, u32(scratch->scratchVolumeId));
      tksanvol::addIdText(reply, kItemScratchPool, u32(scratch->poolId), kScratchPoolText);
    }
    tksanvol::addFlag(reply, kItemUsePermanentReplica, volume->usePermanentReplica);
    if (volume->backupFromSnap && volume->usePermanentReplica && !addPermanentReplica(reply, service, volume->volumeId))
      return false;
    tksanvol::endRecord(reply);
  }
  return true;
}

}  // namespace

long long EvSANVolMgr::onMsgGetSANVolumeHosts(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kHostsTag;
  rules.replyId = kReplyVolumeHosts;
  rules.log = tksanvol::GetLog::TarnfoldId;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupSANVolumeHosts(&m); });
}

long long EvSANVolMgr::lookupSANVolumeHosts(MessageInfo* request) {
  if (request == nullptr) return 0;
  ReplicaDBClient service(1);
  GetVEHostsRet_t hosts;
  if (!service.GetVEHosts(hosts)) {
    // An empty list would say there are no hosts.
    tksanvol::RequestAnswer(*request, kLookupHostsTag).lookupFailed(hosts.errorText.c_str());
    return 0;
  }
  EvSecurityCheck security(request->sequenceNumber);
  for (const VEHostRecord_t& host : hosts.hosts) {
    const unsigned long hostId = static_cast<unsigned long>(static_cast<uint32_t>(host.hostId));
    if (!security.canManageClient(request->userId, request->tarnfoldId(), hostId)) {
      EvDebug::DebugLvl(kLevelRights, kLookupHostsTag,
                        "user [id:%d ] does not have permissions to manage client[ id:%d ]",
                        static_cast<int>(request->userId), static_cast<int>(host.hostId));
      continue;
    }
    tksanvol::addFlag(*this, kItemHostFlag, host.item11718);
    tksanvol::addIdText(*this, kItemHost, u32(host.hostId), host.hostName);
    tksanvol::endRecord(*this);
    EvDebug::DebugLvl(kLevelRights, kLookupHostsTag, "user [id:%d ] has permissions to manage client[ id:%d ]",
                      static_cast<int>(request->userId), static_cast<int>(host.hostId));
  }
  return 1;
}

long long EvSANVolMgr::onMsgGetSANVolumes(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kVolumesTag;
  rules.replyId = kReplyVolumes;
  rules.log = tksanvol::GetLog::TarnfoldIdAndSANHostId;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupSANVolumes(&m); });
}

long long EvSANVolMgr::lookupSANVolumes(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kLookupVolumesTag);
  const int32_t hostId = static_cast<int32_t>(request->elementCount);

  ReplicaDBClient service(1);
  QuerySNRDeviceV6Args_t page(hostId);
  page.maxDeviceNames = kDeviceNamesPerPage;
  QuerySNRDeviceV6Ret_t devices;
  if (!service.QuerySNRDevice(page, devices)) {
    answer.lookupFailed(devices.errorText.c_str(), kTextVolumesUnreadable);
    return 0;
  }
  GetQRSubclientVolumesListRet_t subclientVolumes;
  if (!service.GetSubclientVolumesList(subclientVolumes)) {
    answer.lookupFailed(subclientVolumes.errorText.c_str(), kTextVolumesUnreadable);
    return 0;
  }
  const std::unordered_set<int32_t> replicationVolumes(subclientVolumes.volumeIds.begin(),
                                                       subclientVolumes.volumeIds.end());
  GetQRApplianceListRet_t applianceList;
  if (!service.GetQRApplianceList(applianceList)) {
    answer.lookupFailed(applianceList.errorText.c_str(), kTextVolumesUnreadable);
    return 0;
  }

  const ApplianceNames appliances(applianceList);
  ClientNames clientNames;
  for (;;) {
    if (!addPage(*this, service, devices, clientNames, replicationVolumes, appliances)) return 0;
    // A short page is the last; a full one may be followed by an empty one.
    if (devices.deviceNames.size() < static_cast<std::size_t>(kDeviceNamesPerPage)) return 1;
    page.afterDeviceNameId = devices.deviceNames.back().deviceNameId;
    // The page listed is let go before the next is read.
    devices = QuerySNRDeviceV6Ret_t{};
    if (!service.QuerySNRDevice(page, devices)) {
      // Answered as a failure of the first page; the records listed so far
      // stay in the reply, which the handler ends.
      answer.lookupFailed(devices.errorText.c_str(), kTextVolumesUnreadable);
      return 0;
    }
  }
}
