// The replica listings: one volume with its replica, devices and mount
// points (onMsgGetSnrVolume, worker lookupSNRVolume), the replicas of a
// replication policy or of a client, the free scratch volumes of a pool,
// and the filer name of a NAS volume.
//
// All of them read the replica database service and write what they read;
// nothing is changed. The two replica listings check the restore right,
// gather every lookup and check that each replica's volumes are there
// before they begin their reply, so a refusal or a missing volume is
// answered once with nothing half sent. The single-volume lookup runs inside
// a begun Get reply: its failures are answered while the reply is open, and
// the frame ends that reply afterwards.
//
// Lasting state: none; every map and result lives on the call's stack.
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ZQClient.h"
#include "platform/content/SubclientContent.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/replica/ReplicaPredicates.h"
#include "sanvol/replica/ReplicaRecordBuilders.h"

namespace {

// ---------------------------------------------------------------- log tags

constexpr const char* kTagGetSnrVolume = "EvSANVolMgr::onMsgGetSnrVolume";
constexpr const char* kTagLookupSNRVolume = "EvSANVolMgr::lookupSNRVolume";
constexpr const char* kTagByPolicy = "EvSANVolMgr::onMsgGetReplicationVolumesByPolicy";
constexpr const char* kTagByClient = "EvSANVolMgr::onMsgGetReplicationVolumesByClient";
constexpr const char* kTagScratch = "EvSANVolMgr::onMsgGetAvailableRvScratchVolumes";
constexpr const char* kTagFilerName = "EvSANVolMgr::GetNASFileServerNameFromUniqueId";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextBrowseByPolicyFailed = 0x390000af;
constexpr unsigned long kTextBrowseByClientFailed = 0x390000b0;

// ---------------------------------------------------------------- replies and items

constexpr unsigned long kReplyVolumes = tktag::kReplySanVolumes;
constexpr unsigned long kReplyScratchVolumes = tktag::kReplyReplicaScratchVolumes;

constexpr unsigned long kItemScratchVolumeId = tktag::kScratchVolume;
constexpr unsigned long kItemVolumeId = tktag::kSanVolume;
constexpr unsigned long kItemPool = tktag::kScratchVolumePool;
constexpr unsigned long kItemUsePermanentReplica = tktag::kUsePermanentReplica;
constexpr unsigned long kItemPermanentDeviceIdType = tktag::kPermanentReplicaDeviceIdType;
constexpr unsigned long kItemPermanentDeviceId = tktag::kPermanentReplicaDeviceId;
constexpr unsigned long kItemPermanentLun = tktag::kPermanentReplicaLun;
constexpr unsigned long kItemApplicationName = tktag::kApplications;
constexpr unsigned long kItemSourceClientName = tktag::kSourceClient;
constexpr unsigned long kItemPrimaryBlockCount = tktag::kPrimaryBlockCount;
constexpr unsigned long kItemPrimaryBlockSize = tktag::kPrimaryBlockSize;
constexpr unsigned long kItemReplicaText = tktag::kReplicaLabel;
constexpr unsigned long kItemSourcePath = tktag::kSourcePath;

constexpr const char* kUnknownFiler = "UnknownFiler";
constexpr const char* kVolumesMissing = "Volume information for some of the QR Volumes is missing";
// The client list of every kind of client.
constexpr int kClientListKind = 2;
// Log levels.
constexpr int kLevelGet = 10;
constexpr int kLevelNames = 6;
constexpr int kLevelFiler = 2;

uint32_t u32Of(int32_t value) { return static_cast<uint32_t>(value); }

// ---------------------------------------------------------------- the replica listings

enum class Browse { ByPolicy, ByClient };

// What one replica listing found, indexed.
struct Listing {
  BrowseByClientIdV2Ret_t found;
  std::map<int32_t, const SNRVolumeRecordV4_t*> volumes;
  std::map<int32_t, std::vector<const SNRVolumeDeviceNameV4Record_t*>> devicesOfVolume;
  std::map<int32_t, std::vector<const SNRVolumeMountPointRecord_t*>> mountPointsOfDevice;
  std::map<int32_t, const RVScratchVolumeV2Record_t*> scratchOfVolume;
  std::map<int32_t, std::string> applicationOfReplica;

  void index() {
    for (const auto& v : found.volumes) volumes.emplace(v.volumeId, &v);
    for (const auto& d : found.deviceNames) devicesOfVolume[d.volumeId].push_back(&d);
    for (const auto& m : found.mountPoints) mountPointsOfDevice[m.deviceNameId].push_back(&m);
    for (const auto& s : found.scratchVolumes) scratchOfVolume.emplace(s.volumeId, &s);
    // A replica's first application in service order names it.
    for (const auto& a : found.replicaApps) applicationOfReplica.emplace(a.replicaId, a.appName);
  }
  const std::vector<const SNRVolumeDeviceNameV4Record_t*>& devicesOf(int32_t volumeId) const {
    static const std::vector<const SNRVolumeDeviceNameV4Record_t*> kNone;
    const auto it = devicesOfVolume.find(volumeId);
    return it != devicesOfVolume.end() ? it->second : kNone;
  }
  const std::vector<const SNRVolumeMountPointRecord_t*>& mountPointsOf(int32_t deviceNameId) const {
    static const std::vector<const SNRVolumeMountPointRecord_t*> kNone;
    const auto it = mountPointsOfDevice.find(deviceNameId);
    return it != mountPointsOfDevice.end() ? it->second : kNone;
  }
};

// The mount paths of the volume's device names whose extra flag is clear.
std::vector<std::string> sourceMountPaths(const Listing& listing, int32_t volumeId) {
  std::vector<std::string> paths;
  for (const auto* device : listing.devicesOf(volumeId))
    for (const auto* mp : listing.mountPointsOf(device->deviceNameId))
      if (!mp->extraFlag) paths.push_back(mp->mountPath);
  return paths;
}

// The source paths (11796) of a replica's primary volume.
std::vector<std::string> sourcePaths(const Listing& listing, const SNRVolumeRecordV4_t& primary, Browse browse) {
  if (browse == Browse::ByPolicy) return sourceMountPaths(listing, primary.volumeId);
  if (primary.volumeType == 2 || primary.volumeType == 5) {
    // A filer volume: the filer's name and the path after the filer.
    std::string filer;
    EvSANVolMgr::GetNASFileServerNameFromUniqueId(primary.deviceId, filer);
    const std::size_t colon = primary.deviceId.find(':');
    return {colon == std::string::npos ? filer : filer + primary.deviceId.substr(colon)};
  }
  std::vector<std::string> paths = sourceMountPaths(listing, primary.volumeId);
  if (paths.empty()) {
    const auto& devices = listing.devicesOf(primary.volumeId);
    if (!devices.empty()) paths.push_back(devices.front()->deviceName);
  }
  return paths;
}

std::string clientNameOf(const IdNameMap& clients, int32_t clientId, const char* tag) {
  const auto it = clients.find(clientId);
  if (it != clients.end()) return it->second;
  EvDebug::DebugLvl(kLevelNames, tag, "Could not find client name for client id %d", static_cast<int>(clientId));
  return tksanvol::kUnknownClientName;
}

long long listReplicas(EvSANVolMgr& reply, MessageInfo* request, Browse browse) {
  const char* tag = browse == Browse::ByPolicy ? kTagByPolicy : kTagByClient;
  if (request == nullptr) {
    EvDebug::Debug(tag, "%s", "Bad Parameter Received.");
    return 0;
  }
  MessageInfo& m = *request;
  const int32_t id = static_cast<int32_t>(m.elementCount);  // the policy or the client
  const unsigned long tarnfoldId = m.tarnfoldId();
  EvDebug::DebugLvl(kLevelGet, tag, "Received TarnfoldId = %d", static_cast<int>(tarnfoldId));
  tksanvol::RequestAnswer answer(m, tag);

  {
    EvSecurityCheck check(m.sequenceNumber);
    const unsigned long clientId = browse == Browse::ByClient ? static_cast<unsigned long>(u32Of(id)) : 0ul;
    if (!check.canRestore(m.userId, tarnfoldId, clientId, 0, 0, 0, 0, 0, false, false, false, std::string(),
                          std::string())) {
      const std::string reason = check.getResponseString();
      EvDebug::Error(tag, "%s", reason.c_str());
      sendResponse(m.sequenceNumber, &m.socket, 0, reason.c_str(), nullptr);
      return 0;
    }
  }

  IdNameMap clients;
  {
    ClientApplicationList list;
    std::vector<int> ids;
    std::vector<std::string> names;
    if (list.getClientList(ids, names, static_cast<int>(tarnfoldId), nullptr, kClientListKind) != 0) {
      const std::string text = "ClientApplicationList::getClientList(). " + list.getErrorString();
      answer.fail(tksanvol::kTextLookupFailed, text.c_str());
      return 0;
    }
    for (std::size_t i = 0; i < ids.size() && i < names.size(); ++i) clients.emplace(ids[i], names[i]);
  }
  std::string requestedClient;
  if (browse == Browse::ByClient) requestedClient = clientNameOf(clients, id, tag);

  // Appliance names only name things: without them the listing goes on.
  IdNameMap appliances;
  {
    ReplicaDBClient db(1);
    GetQRApplianceListRet_t ret;
    if (db.GetQRApplianceList(ret)) {
      for (const auto& a : ret.appliances) appliances.emplace(a.applianceId, a.applianceName);
    } else {
      EvDebug::DebugLvl(kLevelNames, tag, "%s", ret.errorText.c_str());
    }
  }

  Listing listing;
  {
    ReplicaDBClient db(1);
    bool ok = false;
    if (browse == Browse::ByPolicy) {
      BrowseByPolicyIdV2Ret_t ret;
      ok = db.BrowseByPolicyId(BrowseByPolicyIdV2Args_t(id), ret);
      listing.found = std::move(static_cast<BrowseByClientIdV2Ret_t&>(ret));
    } else {
      ok = db.BrowseByClientId(BrowseByClientIdV2Args_t(id), listing.found);
    }
    if (!ok) {
      answer.fail(browse == Browse::ByPolicy ? kTextBrowseByPolicyFailed : kTextBrowseByClientFailed,
                  listing.found.errorText.c_str());
      return 0;
    }
  }
  listing.index();
  for (const auto& replica : listing.found.replicas) {
    if (listing.volumes.count(replica.physicalVolumeId) == 0 || listing.volumes.count(replica.primaryVolumeId) == 0) {
      EvDebug::Debug(tag, "Could not find pvol info for id %d or id %d (QRVol Id = %d)",
                     static_cast<int>(replica.physicalVolumeId), static_cast<int>(replica.primaryVolumeId),
                     static_cast<int>(replica.replicaId));
      EvDebug::Error(tag, "%s", kVolumesMissing);
      sendResponse(m.sequenceNumber, &m.socket, 0, kVolumesMissing, nullptr);
      return 0;
    }
  }

  if (!reply.begin(kReplyVolumes, m.sequenceNumber, &m.socket, true)) {
    answer.fail(tksanvol::kTextAllocationFailed, "Memory allocation failed.");
    return 0;
  }
  const IdNameMap noCostCategories;
  for (const auto& replica : listing.found.replicas) {
    const SNRVolumeRecordV4_t& physical = *listing.volumes.at(replica.physicalVolumeId);
    const SNRVolumeRecordV4_t& primary = *listing.volumes.at(replica.primaryVolumeId);
    AddPVol(reply, physical, appliances, noCostCategories, false);
    AddQRVol(reply, replica);
    const auto app = listing.applicationOfReplica.find(replica.replicaId);
    tksanvol::addText(reply, kItemApplicationName,
                      app != listing.applicationOfReplica.end() ? app->second : std::string());
    if (browse == Browse::ByClient) {
      tksanvol::addText(reply, kItemSourceClientName, requestedClient);
    } else {
      // A primary volume that no device name sees has no client to name.
      const auto& primaryDevices = listing.devicesOf(primary.volumeId);
      tksanvol::addText(reply, kItemSourceClientName,
                        clientNameOf(clients, primaryDevices.empty() ? -1 : primaryDevices.front()->hostId, tag));
    }
    const auto scratch = listing.scratchOfVolume.find(physical.volumeId);
    const bool hasScratch = scratch != listing.scratchOfVolume.end();
    tksanvol::addU32(reply, kItemScratchVolumeId, hasScratch ? u32Of(scratch->second->scratchVolumeId) : u32Of(-1));
    tksanvol::addIdText(reply, kItemPool, hasScratch ? u32Of(scratch->second->poolId) : u32Of(-1), std::string());
    for (const auto* device : listing.devicesOf(physical.volumeId)) {
      AddDevice(reply, *device, clients);
      for (const auto* mp : listing.mountPointsOf(device->deviceNameId)) AddMountPoint(reply, *mp, device->hostId);
    }
    tksanvol::addU64(reply, kItemPrimaryBlockCount, static_cast<uint64_t>(primary.blockCount));
    tksanvol::addU32(reply, kItemPrimaryBlockSize, u32Of(primary.blockSize));
    if (!replica.replicaText.empty()) tksanvol::addText(reply, kItemReplicaText, replica.replicaText);
    for (const std::string& path : sourcePaths(listing, primary, browse))
      tksanvol::addText(reply, kItemSourcePath, path);
    tksanvol::endRecord(reply);
  }
  reply.end(0);
  return 1;
}

}  // namespace

// ---------------------------------------------------------------- one volume

long long EvSANVolMgr::onMsgGetSnrVolume(MessageInfo* request) {
  const tksanvol::GetRules rules{kTagGetSnrVolume, kReplyVolumes, tksanvol::GetLog::TarnfoldId};
  // The worker's failures are answered on their own; the request is handled
  // (a null request is refused by the frame).
  tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) {
    return lookupSNRVolume(static_cast<int>(m.elementCount), m.sequenceNumber, &m, 0, 0, true, false);
  });
  return request != nullptr ? 1 : 0;
}

long long EvSANVolMgr::lookupSNRVolume(int volumeId, long long sequenceNumber, MessageInfo* request, int queryField,
                                       int sourceClientId, bool checkSubclients, bool heldBySubclient) {
  if (request == nullptr) {
    EvDebug::Debug(kTagLookupSNRVolume, "%s", "Bad Parameter Received.");
    return 0;
  }
  tksanvol::RequestAnswer answer(*request, kTagLookupSNRVolume);
  answer.event().setLocaleId(sequenceNumber);
  auto failed = [&answer](const std::string& text) {
    answer.fail(tksanvol::kTextLookupFailed, text.c_str());
    return 0ll;
  };

  if (checkSubclients) {
    ContentQuery query;
    std::vector<int> subclients;
    if (query.getSCListHavingVolId(volumeId, subclients, nullptr) != 0) {
      EvDebug::Debug(kTagLookupSNRVolume, "Error retrieving a list of associated subclients for volume id [%d].",
                     volumeId);
      return failed("Error retrieving a list of associated subclients for volume id [" + std::to_string(volumeId) +
                    "].");
    }
    heldBySubclient = !subclients.empty();
  }

  ReplicaDBClient db(1);
  QuerySNRVolumeByIdV4Args_t volumeArgs;
  volumeArgs.volumeId = volumeId;
  volumeArgs.value = queryField;
  QuerySNRVolumeByIdV4Ret_t found;
  if (!db.QuerySNRVolume(volumeArgs, found)) return failed(found.errorText);
  GetQRApplianceListRet_t appliances;
  if (!db.GetQRApplianceList(appliances)) return failed(appliances.errorText);

  // The replica's source client, read before anything of the replica is written.
  std::optional<std::string> sourceClientName;
  if (found.replica.replicaId > 0) {
    int32_t clientId = sourceClientId;
    if (clientId == 0) {
      QuerySNRVolDevNameBySNRVolIdArgs_t args;
      args.volumeId = found.replica.primaryVolumeId;
      QuerySNRVolDevNameBySNRVolIdRet_t ret;
      if (!db.QuerySNRVolDevName(args, ret)) return failed(ret.errorText);
      // A primary volume that no device name sees has no source client.
      if (!ret.deviceNames.empty()) clientId = ret.deviceNames.front().hostId;
    }
    if (clientId != 0) {
      std::string name;
      ZQClient client(static_cast<unsigned long>(u32Of(clientId)));
      client.getName(name, nullptr);
      sourceClientName = name;
    }
  }
  QuerySNRVolDevNameBySNRVolIdV4Args_t deviceArgs;
  deviceArgs.volumeId = volumeId;
  QuerySNRVolDevNameBySNRVolIdV4Ret_t devices;
  if (!db.QuerySNRVolDevName(deviceArgs, devices)) return failed(devices.errorText);

  const SNRVolumeRecordV4_t& volume = found.volume;
  tksanvol::addU32(*this, kItemScratchVolumeId, u32Of(found.scratchVolume.scratchVolumeId));
  tksanvol::addU32(*this, kItemVolumeId, u32Of(volumeId));
  std::string applianceName;
  if (volume.applianceId != 0) {
    FindApplianceById byId;
    byId.id = volume.applianceId;
    for (const auto& a : appliances.appliances)
      if (byId(a)) {
        applianceName = a.applianceName;
        break;
      }
  }
  tksanvol::addVolumeDetails(*this, volume, applianceName, std::string(), heldBySubclient);
  tksanvol::addIdText(*this, kItemPool, u32Of(found.scratchVolume.poolId), std::string());
  if (found.replica.replicaId > 0) tksanvol::addReplicaDetails(*this, found.replica, sourceClientName);

  const tksanvol::FilerItem filer = isNasVolume(volume.volumeType) ? tksanvol::FilerItem::BeforeOsDeviceNameAlways
                                                                   : tksanvol::FilerItem::None;
  for (const auto& device : devices.deviceNames) {
    std::string clientName;
    ZQClient client(static_cast<unsigned long>(u32Of(device.hostId)));
    client.getName(clientName, nullptr);
    tksanvol::addDeviceDetails(*this, device, clientName, filer);
    QuerySNRVolMountPointBySNRVolDevIdArgs_t mpArgs;
    mpArgs.deviceNameId = device.deviceNameId;
    QuerySNRVolMountPointBySNRVolDevIdRet_t mountPoints;
    if (!db.QuerySNRVolMountPoint(mpArgs, mountPoints)) return failed(mountPoints.errorText);
    for (const auto& mp : mountPoints.mountPoints) AddMountPoint(*this, mp, device.hostId);
  }
  tksanvol::addFlag(*this, kItemUsePermanentReplica, volume.usePermanentReplica);

  if (volume.backupFromSnap && volume.usePermanentReplica) {
    QueryPermanentReplicaArgs_t permanentArgs;
    permanentArgs.volumeId = volumeId;
    QueryPermanentReplicaRet_t permanent;
    if (!db.QueryPermanentReplica(permanentArgs, permanent)) return failed(permanent.errorText);
    QuerySNRVolumeByIdArgs_t snapshotArgs;
    snapshotArgs.volumeId = permanent.replica.physicalVolumeId;
    QuerySNRVolumeByIdRet_t snapshot;
    if (!db.QuerySNRVolume(snapshotArgs, snapshot)) return failed(snapshot.errorText);
    tksanvol::addU32(*this, kItemPermanentDeviceIdType, u32Of(snapshot.volume.deviceIdType));
    tksanvol::addText(*this, kItemPermanentDeviceId, snapshot.volume.deviceId);
    tksanvol::addU32(*this, kItemPermanentLun, u32Of(snapshot.volume.lun));
  }
  tksanvol::endRecord(*this);
  return 1;
}

// ---------------------------------------------------------------- replicas of a policy or a client

long long EvSANVolMgr::onMsgGetReplicationVolumesByPolicy(MessageInfo* request) {
  return listReplicas(*this, request, Browse::ByPolicy);
}

long long EvSANVolMgr::onMsgGetReplicationVolumesByClient(MessageInfo* request) {
  return listReplicas(*this, request, Browse::ByClient);
}

// ---------------------------------------------------------------- free scratch volumes

long long EvSANVolMgr::onMsgGetAvailableRvScratchVolumes(MessageInfo* request) {
  const tksanvol::GetRules rules{kTagScratch, kReplyScratchVolumes, tksanvol::GetLog::TarnfoldId};
  // A failure is answered while the reply is open; the frame still ends it.
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) -> long long {
    ReplicaDBClient db(1);
    GetAvailVolFromPoolArgs_t args;
    args.poolId = static_cast<int32_t>(m.elementCount);
    GetAvailVolFromPoolRet_t ret;
    if (!db.GetAvailableVolFromPool(args, ret)) {
      tksanvol::RequestAnswer answer(m, kTagScratch);
      answer.fail(tksanvol::kTextLookupFailed, ret.errorText.c_str());
      return 0;
    }
    for (int32_t volumeId : ret.volumeIds) {
      tksanvol::addU32(*this, kItemVolumeId, u32Of(volumeId));
      tksanvol::endRecord(*this);
    }
    return 1;
  });
}

// ---------------------------------------------------------------- filer names

void EvSANVolMgr::GetNASFileServerNameFromUniqueId(const std::string& uniqueId, std::string& name) {
  name = kUnknownFiler;
  EvDebug::DebugLvl(kLevelGet, kTagFilerName, "Trying to get NAS Filer server name from %s", uniqueId.c_str());
  const std::size_t colon = uniqueId.find(':');
  if (colon == std::string::npos) {
    EvDebug::DebugLvl(kLevelFiler, kTagFilerName, "%s", "Could not find \":\" in the UniqueId argument");
    return;
  }
  // The client id: the digits between "client" and the ":", nothing else.
  constexpr std::size_t kPrefixLength = 6;
  long clientId = 0;
  if (colon > kPrefixLength) {
    const std::string digits = uniqueId.substr(kPrefixLength, colon - kPrefixLength);
    char* end = nullptr;
    clientId = std::strtol(digits.c_str(), &end, 10);
  }
  if (clientId <= 0) {
    EvDebug::DebugLvl(kLevelFiler, kTagFilerName, "%s", "Cannot figure out client id from the unique id");
    return;
  }
  std::string host;
  ZQClient client(static_cast<unsigned long>(clientId));
  const int code = client.getNetworkHostname(host, nullptr);
  if (code != 0) {
    EvDebug::DebugLvl(kLevelFiler, kTagFilerName, "ZQClient::getNetworkHostName failed with code = %d", code);
    return;
  }
  name = host;
}
