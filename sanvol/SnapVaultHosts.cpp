// SnapVault: the clients that have a SnapVault package installed
// (onMsgGetSnapVaultCapableHosts, for users who may manage the Tarnkeep),
// and freeing the space that SnapVault or SnapMirror replicas hold on a
// SnapVault volume before a scratch volume or a replica is released
// (FreeSnapvaultReplicaSpace, called by the scratch-volume release).
//
// The release refuses while a snapshot of the volume is mounted or while
// more than one host reaches the volume; otherwise it asks the filer to
// delete the replica of every source volume that uses the volume, in the
// service's order. Replicas deleted before a failing one stay deleted: the
// filer cannot put them back. Its own answers are plain texts with status
// 0, and the caller answers a refusal once more with its own message.
//
// Lasting state: none.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvAlertEx.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ClientProperties.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/ndmp/NasUtil.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

constexpr const char* kTagHosts = "EvSANVolMgr::onMsgGetSnapVaultCapableHosts";
constexpr const char* kTagHostsWorker = "EvSANVolMgr::lookupSnapVaultCapableHosts";
constexpr const char* kTagRelease = "EvSANVolMgr::FreeSnapvaultReplicaSpace";

constexpr unsigned long kReplyHosts = tktag::kReplySanVolumeHosts;
constexpr unsigned long kItemHost = tktag::kSanVolumeHost;
constexpr unsigned long kItemPackages = tktag::kSnapVaultPackages;
constexpr unsigned long kTextClientListFailed = 0x390000de;

constexpr long kRightsAlertCondition = 12;
constexpr int kLevelInfo = 10;

// The SnapVault packages in the order they are asked, with their bit.
struct Package {
  int id;
  uint32_t bit;
  const char* check;  // the name of the check in log lines
  bool failureLeavesClientOut;
};
constexpr Package kPackages[] = {
    {1029, 1, "isOpenSystemSVInstalled", false},
    {1031, 2, "isONTAPSVInstalled", true},
    {1066, 4, "isONTAPSSInstalled", true},
};

// ---------------------------------------------------------------- the release

constexpr int32_t kSnapVaultVolumeType = 3;
constexpr int32_t kSnapMirrorPoolType = 3;
constexpr int32_t kDeviceIdTypeWithoutHost = 11;
constexpr int32_t kSnapshotsQueryField = 24;
constexpr int32_t kSnapshotsQueryValue = 5;
constexpr int32_t kSourcesQueryField = 1;

constexpr const char* kNoScratchVolume = "Cannot access scratch volume information from the Tarnkeeper DB";
constexpr const char* kNoReplica = "Cannot access QR Volume information from the Tarnkeeper DB";
constexpr const char* kNoVolume = "Cannot access Volume information from the Tarnkeeper DB";
constexpr const char* kNoSource = "Cannot access source volume information from the Tarnkeeper DB";
constexpr const char* kNoPool = "Cannot access scratch volume pool information from the Tarnkeeper DB";
constexpr const char* kMultipleHosts = "Snapvault volume is being accessed by multiple hosts";
constexpr const char* kNotReleased = "SnapVault/SnapMirror replica space could not be released";

#define TK_SIXTEEN_TABS "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t"
constexpr const char* kMountedSnapshot =
    "failed to release the scratch volume because at least one snapshot is mounted " TK_SIXTEEN_TABS
    "\n\tSnapshot Volume Id = %d," TK_SIXTEEN_TABS "\n\tMount Path         = %s," TK_SIXTEEN_TABS
    "\n\tQR Volume Id       = %d";
#undef TK_SIXTEEN_TABS

// The filer's release mode for a replica of `kind` whose scratch volume is
// in a pool of `poolType`.
int releaseMode(int32_t kind, int32_t poolType) {
  const bool mirror = poolType == kSnapMirrorPoolType;
  if (kind == 5) return mirror ? 7 : 6;
  if (kind == 8) return 7;
  return 5;
}

unsigned long clientIdOf(int32_t id) { return static_cast<unsigned long>(static_cast<uint32_t>(id)); }

// The release's own answer: the text with status 0; the release fails.
bool refuse(MessageInfo& request, const char* text, const std::string& serviceError = std::string()) {
  if (!serviceError.empty()) EvDebug::Error(kTagRelease, "%s", serviceError.c_str());
  EvDebug::Error(kTagRelease, "%s", text);
  sendResponse(request.sequenceNumber, &request.socket, 0, text, nullptr);
  return false;
}

// The one host that reaches `volumeId` (`reportedVolumeId` names the
// SnapVault volume in the log line); false after the answer.
bool onlyHostOf(ReplicaDBClient& db, MessageInfo& request, int32_t volumeId, int32_t reportedVolumeId,
                int32_t& hostId) {
  QuerySNRVolDevNameBySNRVolIdV2Args_t args(volumeId);
  QuerySNRVolDevNameBySNRVolIdV2Ret_t ret;
  if (!db.QuerySNRVolDevName(args, ret)) return refuse(request, kNoSource, ret.errorText);
  if (ret.deviceNames.size() != 1) {
    EvDebug::Error(kTagRelease, "Snapvault volume %d is being accessed by %zu hosts", static_cast<int>(reportedVolumeId),
                   ret.deviceNames.size());
    return refuse(request, kMultipleHosts);
  }
  hostId = ret.deviceNames.front().hostId;
  return true;
}

// Whether a snapshot of the volume is mounted; false (logged) when that
// cannot be told.
bool snapshotMounted(ReplicaDBClient& db, int32_t volumeId, bool& mounted) {
  QuerySNRVolume2ByIdV5Args_t args;
  args.volumeId = volumeId;
  args.queryField = kSnapshotsQueryField;
  args.queryValue = kSnapshotsQueryValue;
  QuerySNRVolume2ByIdV5Ret_t ret;
  if (!db.QuerySNRVolume2(args, ret)) {
    EvDebug::Error(kTagRelease, "Cannot check if the scratch volume has snapshots");
    return false;
  }
  mounted = false;
  for (const ReplicationVolumeV5Record_t& snapshot : ret.replicas) {
    QuerySNRMountPointBySNRVolIdArgs_t pointArgs;
    pointArgs.volumeId = snapshot.physicalVolumeId;
    QuerySNRMountPointBySNRVolIdRet_t points;
    if (!db.QuerySNRMountPointBySNRVolId(pointArgs, points)) {
      EvDebug::Error(kTagRelease, "Cannot check the mount point status of the snapshot");
      return false;
    }
    for (const SNRVolumeMountPointExRecord_t& point : points.mountPoints) {
      if (!point.mounted) continue;
      EvDebug::Error(kTagRelease, kMountedSnapshot, static_cast<int>(snapshot.physicalVolumeId),
                     point.mountPoint.mountPath.c_str(), static_cast<int>(snapshot.replicaId));
      mounted = true;
      return true;
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- SnapVault-capable hosts

long long EvSANVolMgr::onMsgGetSnapVaultCapableHosts(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Error(kTagHosts, "Bad Parameter Received.");
    return 0;
  }
  EvSecurityCheck security(request->sequenceNumber);
  if (!security.canManageTarnkeep(request->userId, request->tarnfoldId())) {
    const std::string user(request->userName, strnlen(request->userName, sizeof request->userName));
    EvDebug::Error(kTagHosts, "User [%s] does not have [Manager Application] permissions for Tarnkeep",
                   user.c_str());
    const char* reason = security.getResponseString();
    sendResponse(request->sequenceNumber, &request->socket, 0, reason, nullptr);
    EvAlertEx alert;
    alert.setCondition(kRightsAlertCondition);
    // The refusal text is data: it fills the format, never is one.
    alert.fmtNewMsgString("Attempt to Browse snapvault capable hosts denied.\n\n%s\n", reason);
    alert.sendAlert(0, 0, 0);
    return 0;
  }
  tksanvol::GetRules rules;
  rules.tag = kTagHosts;
  rules.replyId = kReplyHosts;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupSnapVaultCapableHosts(&m); });
}

long long EvSANVolMgr::lookupSnapVaultCapableHosts(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagHostsWorker);
  ClientApplicationList list;
  std::vector<int> ids;
  std::vector<std::string> names;
  if (list.getClientList(ids, names, static_cast<int>(request->tarnfoldId()), nullptr, 2) != 0) {
    EvDebug::Error(kTagHostsWorker, "ClientApplicationList::getClientList(). %s", list.getErrorString().c_str());
    EvDebug::Debug(kTagHostsWorker, "Cannot get host list");
    answer.fail(kTextClientListFailed, list.getErrorString().c_str());
    return 0;
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::string name = i < names.size() ? names[i] : std::string();
    ClientProperties properties(clientIdOf(ids[i]));
    uint32_t bits = 0;
    bool listed = true;
    for (const Package& package : kPackages) {
      bool installed = false;
      const int rc = properties.isInstalled(package.id, installed, nullptr);
      if (rc != 0) {
        EvDebug::Debug(kTagHostsWorker, "ClientProperties::%s() failed for client %s. %s", package.check, name.c_str(),
                       ClientProperties::getErrorString(rc).c_str());
        // A client whose ONTAP packages cannot be told is left out; the
        // checks after it are not asked.
        if (package.failureLeavesClientOut) {
          listed = false;
          break;
        }
        continue;
      }
      if (installed) bits |= package.bit;
    }
    if (!listed || bits == 0) continue;
    tksanvol::addIdText(*this, kItemHost, static_cast<uint32_t>(ids[i]), name);
    tksanvol::addU32(*this, kItemPackages, bits);
    tksanvol::endRecord(*this);
  }
  return 1;
}

// ---------------------------------------------------------------- replica-space release

bool EvSANVolMgr::FreeSnapvaultReplicaSpace(MessageInfo* request, int32_t id, bool isScratchVolume) {
  if (request == nullptr) return false;
  MessageInfo& m = *request;
  EvDebug::DebugLvl(kLevelInfo, kTagRelease, "Tyring to release space from snapvault for %s %d",
                    isScratchVolume ? "scratch volume id " : "QR Volume id", static_cast<int>(id));
  ReplicaDBClient db(1);

  int32_t volumeId = -1;
  std::vector<ReplicationVolumeV5Record_t> sources;
  if (isScratchVolume) {
    QueryScratchVolByIdArgs_t args(id);
    QueryScratchVolByIdRet_t ret;
    if (!db.QueryRVScratchVol(args, ret)) return refuse(m, kNoScratchVolume, ret.errorText);
    volumeId = ret.scratchVolume.volumeId;
    EvDebug::DebugLvl(kLevelInfo, kTagRelease, "QR Physical Volume id of the scratch volume %d is: %d",
                      static_cast<int>(id), static_cast<int>(volumeId));
  } else {
    QueryReplicationVolumeByIdV5Args_t args;
    args.replicaId = id;
    QueryReplicationVolumeByIdV5Ret_t ret;
    if (!db.QueryReplicationVolume(args, ret)) return refuse(m, kNoReplica, ret.errorText);
    volumeId = ret.replica.physicalVolumeId;
    EvDebug::DebugLvl(kLevelInfo, kTagRelease, "QR Physical Volume id of the QR Volume %d is: %d",
                      static_cast<int>(id), static_cast<int>(volumeId));
    sources.push_back(ret.replica);
  }

  QuerySNRVolumeByIdV4Args_t volumeArgs;
  volumeArgs.volumeId = volumeId;
  QuerySNRVolumeByIdV4Ret_t volume;
  if (!db.QuerySNRVolume(volumeArgs, volume)) return refuse(m, kNoVolume, volume.errorText);
  if (volume.volume.volumeType != kSnapVaultVolumeType) {
    EvDebug::DebugLvl(kLevelInfo, kTagRelease, "QR Physical Volume %d is not a Snapvault volume",
                      static_cast<int>(volumeId));
    return true;
  }

  bool mounted = false;
  if (!snapshotMounted(db, volumeId, mounted) || mounted) return false;

  const std::string& uniqueId = volume.volume.deviceId;
  EvDebug::DebugLvl(kLevelInfo, kTagRelease, "Unique id of QR Physical Volume %d is: %s", static_cast<int>(volumeId),
                    uniqueId.c_str());
  int32_t snapVaultHost = -1;
  if (!onlyHostOf(db, m, volumeId, volumeId, snapVaultHost)) return false;
  EvDebug::DebugLvl(kLevelInfo, kTagRelease, "ClientId of the SnapVault volume %d is: %lu", static_cast<int>(volumeId),
                    clientIdOf(snapVaultHost));

  if (isScratchVolume) {
    QuerySNRVolume2ByIdV5Args_t args;
    args.volumeId = volumeId;
    args.queryField = kSourcesQueryField;
    QuerySNRVolume2ByIdV5Ret_t ret;
    if (!db.QuerySNRVolume2(args, ret)) return refuse(m, kNoSource, ret.errorText);
    sources = std::move(ret.replicas);
    EvDebug::DebugLvl(kLevelInfo, kTagRelease, "Number of source volumes using scratch volume %d: %zu",
                      static_cast<int>(id), sources.size());
  }

  NasUtil filer;
  for (const ReplicationVolumeV5Record_t& replica : sources) {
    QuerySNRVolumeByIdV5Args_t sourceArgs;
    sourceArgs.volumeId = replica.primaryVolumeId;
    QuerySNRVolumeByIdV5Ret_t source;
    if (!db.QuerySNRVolume(sourceArgs, source)) return refuse(m, kNoSource, source.errorText);

    QueryRVScratchVolBySNRVolIdV2Args_t scratchArgs;
    scratchArgs.volumeId = replica.physicalVolumeId;
    QueryRVScratchVolBySNRVolIdV2Ret_t scratch;
    if (!db.QueryRVScratchVolBySNRVolId(scratchArgs, scratch)) return refuse(m, kNoScratchVolume, scratch.errorText);
    QueryRVScratchVolPoolV3Args_t poolArgs;
    poolArgs.poolId = scratch.scratchVolume.poolId;
    QueryRVScratchVolPoolV3Ret_t pool;
    if (!db.QueryRVScratchVolPool(poolArgs, pool)) return refuse(m, kNoPool, pool.errorText);
    EvDebug::DebugLvl(kLevelInfo, kTagRelease, "Got scratch volume pool type [%s] for scratch pool id %d;",
                      pool.pool.poolType == kSnapMirrorPoolType ? "ONTAP_SNAPMIRROR" : "SNAPVAULT",
                      static_cast<int>(poolArgs.poolId));

    const int mode = releaseMode(replica.item11746, pool.pool.poolType);
    const SNRVolumeRecordV4_t& sourceVolume = source.volume;
    EvDebug::DebugLvl(kLevelInfo, kTagRelease, "Releasing space for SVClientId = %lu, Source Vol Id = %d,  Source Unique id = %s",
                      clientIdOf(snapVaultHost), static_cast<int>(sourceVolume.volumeId), sourceVolume.deviceId.c_str());
    int32_t sourceHost = 0;
    if (sourceVolume.deviceIdType != kDeviceIdTypeWithoutHost &&
        !onlyHostOf(db, m, replica.primaryVolumeId, volumeId, sourceHost))
      return false;
    if (filer.deleteSnapVaultReplica(clientIdOf(snapVaultHost), uniqueId, clientIdOf(sourceHost),
                                     replica.primaryVolumeId, sourceVolume.deviceId, sourceVolume.deviceIdType,
                                     replica.replicaText, mode) == -1)
      return refuse(m, kNotReleased);
  }
  return true;
}
