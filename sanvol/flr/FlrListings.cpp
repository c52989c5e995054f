// The listings of file-level recovery and the requests beside them: the
// consistency points of a client's application or of an FLR set, the
// snapshots of a consistency point with their pairs, mount points and
// shares, the alternate cache partition of a scratch pool's client, the
// deletion of consistency points and the replication sets of paths.
//
// The three listings read request words, not an element stream: the first
// parameter (payload position 4) and the two words after it (positions 8
// and 12). The deletion and the path lookup are element streams; the path
// lookup only logs elements it does not know and walks on.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvSecurity.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/BackupSet.h"
#include "platform/client/ClientProperties.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::RecordOutcome;

// ---------------------------------------------------------------- log tags

constexpr const char* kTagGetCPs = "EvSANVolMgr::onMsgFLRGetCPs";
constexpr const char* kTagGetSnaps = "EvSANVolMgr::onMsgFLRGetSnaps";
constexpr const char* kTagAltCache = "EvSANVolMgr::onMsgGetAltCachePartitionByPoolId";
constexpr const char* kTagManageCP = "EvSANVolMgr::onMsgManageFLRCP";
// The path lookup logs under the name it has always logged under.
constexpr const char* kTagFindPath = "EvSANVolMgr::onMsgFindVolumeRepSet";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextPathLookupFailed = 0x390000e7;
constexpr unsigned long kTextPoolLookupFailed = 0x390000e8;
constexpr unsigned long kTextAltCacheFailed = 0x390000e9;
constexpr unsigned long kTextCPLookupFailed = 0x390000ed;
constexpr unsigned long kTextSnapLookupFailed = 0x390000ee;
constexpr unsigned long kTextDelCPFailed = 0x39000088;

// ---------------------------------------------------------------- request words and replies

// Payload positions of the request words.
constexpr std::size_t kBodyWord0 = 8;
constexpr std::size_t kBodyWord1 = 12;

constexpr unsigned long kReplyCPs = tktag::kReplyConsistencyPoints;
constexpr unsigned long kReplySnaps = tktag::kReplySnapshots;
constexpr unsigned long kReplyRepSets = tktag::kReplyReplicationSets;

constexpr int kLevelReceived = 7;
constexpr int kLevelDefaultFlag = 1;

// Elements of the stream requests.
constexpr unsigned int kElementCPId = tktag::kConsistencyPoint;
constexpr unsigned int kElementRepSetId = tktag::kFlrSetId;
constexpr unsigned int kElementPath = tktag::kSnapshotVolumeOrPath;
// The one operation of the consistency-point request: deletion.
constexpr unsigned long long kOperationDelete = 2;

using tksanvol::flr::answerWithText;

// ---------------------------------------------------------------- consistency points

template <class Ret>
bool listOrNone(bool ok, Ret& ret) {
  if (ok) return true;
  if (ret.resultCode != kFLRNoneFound) return false;
  ret.consistencyPoints.clear();
  return true;
}

void addConsistencyPoint(EvReturnData& reply, const FLRConsistencyPointRecord_t& cp, bool isDefault) {
  tksanvol::addU32(reply, 11806, static_cast<uint32_t>(cp.cpId));
  tksanvol::addU32(reply, 11628, static_cast<uint32_t>(cp.creationTime));
  tksanvol::addU32(reply, 8500, static_cast<uint32_t>(cp.flrSetId));
  tksanvol::addIdText(reply, 8519, isDefault ? 1u : 0u, "Default Flag");
  tksanvol::addU64(reply, 2180, cp.jobId);
  tksanvol::addFlag(reply, 11825, cp.item11825);
  tksanvol::addFlag(reply, 11819, cp.item11819);
  tksanvol::addFlag(reply, 11820, cp.item11820);
  tksanvol::endRecord(reply);
}

// ---------------------------------------------------------------- snapshots

// What the snapshot listing finds for each snapshot.
struct SnapshotIndex {
  std::map<int32_t, std::vector<int32_t>> pairValues;                // by snapshot id
  std::map<int32_t, const FLRSnapMountPointRecord_t*> mountPoints;   // by snapshot id
  std::map<int32_t, int32_t> snapOfMountPoint;                       // by mount-point id
  std::map<int32_t, const FLRSnapNetworkShareRecord_t*> shares;      // by snapshot id (0: mount point unlisted)

  explicit SnapshotIndex(const QueryFLRSnapshotsByCPIdRet_t& ret) {
    for (const FLRSnapPairRecord_t& pair : ret.pairs) pairValues[pair.snapId].push_back(pair.pairValue);
    for (const FLRSnapMountPointRecord_t& mountPoint : ret.mountPoints) {
      mountPoints[mountPoint.snapId] = &mountPoint;
      snapOfMountPoint[mountPoint.mountPointId] = mountPoint.snapId;
    }
    for (const FLRSnapNetworkShareRecord_t& share : ret.shares) {
      const auto it = snapOfMountPoint.find(share.mountPointId);
      shares[it != snapOfMountPoint.end() ? it->second : 0] = &share;
    }
  }
};

void addSnapshot(EvReturnData& reply, const FLRSnapshotRecord_t& snapshot, const SnapshotIndex& index) {
  tksanvol::addU32(reply, 11810, static_cast<uint32_t>(snapshot.snapId));
  tksanvol::addU32(reply, 11806, static_cast<uint32_t>(snapshot.cpId));
  if (const auto pairs = index.pairValues.find(snapshot.snapId); pairs != index.pairValues.end()) {
    for (int32_t value : pairs->second) tksanvol::addIdText(reply, 2013, static_cast<uint32_t>(value), "");
  }
  tksanvol::addText(reply, 11811, snapshot.snapName);
  tksanvol::addText(reply, 11821, snapshot.snapVolumeName);
  if (const auto mp = index.mountPoints.find(snapshot.snapId); mp != index.mountPoints.end()) {
    tksanvol::addIdText(reply, 11812, static_cast<uint32_t>(mp->second->mountPointId), mp->second->mountPath);
  } else {
    tksanvol::addIdText(reply, 11812, 0, "");
  }
  if (const auto share = index.shares.find(snapshot.snapId); share != index.shares.end()) {
    tksanvol::addIdText(reply, 11813, static_cast<uint32_t>(share->second->shareId), share->second->shareName);
  } else if (snapshot.IsONTAPSnapshot()) {
    tksanvol::addIdText(reply, 11813, static_cast<uint32_t>(-1), snapshot.sharePath);
  } else {
    tksanvol::addIdText(reply, 11813, 0, "");
  }
  tksanvol::addU32(reply, 11833, static_cast<uint32_t>(snapshot.engineType));
  tksanvol::endRecord(reply);
}

// ---------------------------------------------------------------- consistency-point deletion

class ManageCP final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    if (type != kElementCPId) return false;
    m_cpId = tksanvol::readU32(value, length);
    EvDebug::DebugLvl(kLevelReceived, kTagManageCP, "Received, CP id = %lu", static_cast<unsigned long>(m_cpId));
    return true;
  }
  bool supportsOperation(unsigned long long operation) const override { return operation == kOperationDelete; }
  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    // A consistency point 0 counts as not received.
    if (!context.hasTarnfoldId || m_cpId == 0)
      return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                               tksanvol::AnswerForm::OperationResponse, kOperationDelete);
    ReplicaDBClient replicaDB(1);
    DelCPRet_t ret;
    if (!replicaDB.DelCP(DelCPArgs_t(static_cast<int32_t>(m_cpId), false), ret))
      return context.answer.fail(kTextDelCPFailed, ret.errorText.c_str());
    context.answer.success(tksanvol::AnswerForm::OperationResponse, kOperationDelete);
    return RecordOutcome::GoOn;
  }

 private:
  uint32_t m_cpId = 0;
};

// ---------------------------------------------------------------- replication sets of paths

// Each record is answered with a reply 11826 of its own; the reply of a
// record is ended before the next one is begun, and the last when the
// stream ends. The paths and the set id carry over from record to record,
// as every value of these requests does.
class FindPathRepSet final : public tksanvol::StreamHandler {
 public:
  explicit FindPathRepSet(EvReturnData& reply) : m_reply(reply) {}

  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementRepSetId:
        m_repSetId = tksanvol::readI32(value, length);
        m_hasRepSetId = m_repSetId != 0;
        EvDebug::DebugLvl(kLevelReceived, kTagFindPath, "Received, Rep Set id = %d", m_repSetId);
        return true;
      case kElementPath:
        m_paths.push_back(tksanvol::readText(value, length));
        EvDebug::DebugLvl(kLevelReceived, kTagFindPath, "Received, Path = [%s]", m_paths.back().c_str());
        return true;
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long) const override { return true; }
  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    endOpenReply();
    // A set id 0 counts as not received.
    if (!context.hasTarnfoldId || !m_hasRepSetId || m_paths.empty())
      return context.answer.missingInformation();
    FindRepSetByVolumeArgs_t args(m_repSetId);
    args.paths = m_paths;
    ReplicaDBClient replicaDB(1);
    FindRepSetByVolumeRet_t ret;
    if (!replicaDB.FindRepSetByVolume(args, ret))
      return context.answer.fail(kTextPathLookupFailed, ret.errorText.c_str());
    if (!tksanvol::beginReply(m_reply, context.request(), kReplyRepSets, kTagFindPath)) return RecordOutcome::Failed;
    m_open = true;
    for (const RepSetVolume_t& volume : ret.volumes) {
      tksanvol::addIdText(m_reply, 11795, static_cast<uint32_t>(volume.clientId), volume.clientName);
      tksanvol::addText(m_reply, 4008, volume.secondText);
      tksanvol::addU32(m_reply, 4007, static_cast<uint32_t>(volume.value));
      tksanvol::addText(m_reply, 11821, volume.path);
      tksanvol::endRecord(m_reply);
    }
    return RecordOutcome::GoOn;
  }
  void endOpenReply() {
    if (!m_open) return;
    m_reply.end(0);
    m_open = false;
  }

 private:
  EvReturnData& m_reply;
  bool m_open = false;
  // -1 until element 11808 sets it; 0 there counts as not received.
  int32_t m_repSetId = -1;
  bool m_hasRepSetId = false;
  std::vector<std::string> m_paths;
};

}  // namespace

// ---------------------------------------------------------------- entry points

long long EvSANVolMgr::onMsgFLRGetCPs(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kTagGetCPs, "%s", "Bad Parameter Received.");
    return 0;
  }
  const int32_t tarnfoldId = static_cast<int32_t>(request->tarnfoldId());
  const int32_t clientId = static_cast<int32_t>(request->elementCount);
  const int32_t flrSetId = static_cast<int32_t>(request->payloadWord(kBodyWord0));
  const int32_t appType = static_cast<int32_t>(request->payloadWord(kBodyWord1));
  EvDebug::DebugLvl(kLevelReceived, kTagGetCPs, "Received TarnfoldId = %d", tarnfoldId);
  EvDebug::DebugLvl(kLevelReceived, kTagGetCPs, "Received clientid = %d", clientId);
  EvDebug::DebugLvl(kLevelReceived, kTagGetCPs, "Received Rep Set id = %d", flrSetId);
  EvDebug::DebugLvl(kLevelReceived, kTagGetCPs, "Received App Type   = %d", appType);

  tksanvol::RequestAnswer answer(*request, kTagGetCPs);
  {
    EvSecurityCheck security(request->sequenceNumber);
    if (!security.canBrowse(request->userId, request->tarnfoldId(), static_cast<unsigned long>(clientId),
                            tksanvol::flr::kAppTypeFileReplication, 0,
                            static_cast<unsigned long long>(static_cast<uint32_t>(flrSetId)), 0, false, "")) {
      const char* refusal = security.getResponseString();
      answerWithText(answer, refusal != nullptr ? refusal : "");
      return 0;
    }
  }

  std::vector<FLRConsistencyPointRecord_t> consistencyPoints;
  ReplicaDBClient replicaDB(1);
  if (flrSetId == 0) {
    QueryFLRCPsByClientIdAndAppTypeRet_t ret;
    if (!listOrNone(replicaDB.QueryCPsByClientIdAndAppType(QueryFLRCPsByClientIdAndAppTypeV1Args_t(clientId, appType),
                                                           ret),
                    ret)) {
      answer.fail(kTextCPLookupFailed, ret.errorText.c_str());
      return 0;
    }
    consistencyPoints = std::move(ret.consistencyPoints);
  } else {
    QueryFLRConsistencyPointsByFLRSetIdRet_t ret;
    if (!listOrNone(
            replicaDB.QueryFLRConsistencyPointsByFLRSetId(QueryFLRConsistencyPointsByFLRSetIdV1Args_t(flrSetId), ret),
            ret)) {
      answerWithText(answer, ret.errorText);
      return 0;
    }
    consistencyPoints = std::move(ret.consistencyPoints);
  }

  if (!tksanvol::beginReply(*this, *request, kReplyCPs, kTagGetCPs)) return 0;
  // A failed default check keeps the flag of the consistency point before
  // (true for the first).
  bool isDefault = true;
  for (const FLRConsistencyPointRecord_t& cp : consistencyPoints) {
    BackupSet set(cp.flrSetId);
    bool flag = isDefault;
    const int rc = set.isDefaultBackupSet(flag, nullptr);
    if (rc != 0) {
      EvDebug::DebugLvl(kLevelDefaultFlag, kTagGetCPs, "Error [%d] returned from isDefaultBackupSet.", rc);
    } else {
      isDefault = flag;
    }
    addConsistencyPoint(*this, cp, isDefault);
  }
  end(0);
  return 1;
}

long long EvSANVolMgr::onMsgFLRGetSnaps(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kTagGetSnaps, "%s", "Bad Parameter Received.");
    return 0;
  }
  const int32_t cpId = static_cast<int32_t>(request->payloadWord(kBodyWord1));
  EvDebug::DebugLvl(kLevelReceived, kTagGetSnaps, "Received TarnfoldId = %d", static_cast<int32_t>(request->tarnfoldId()));
  EvDebug::DebugLvl(kLevelReceived, kTagGetSnaps, "Received clientid = %d", static_cast<int32_t>(request->elementCount));
  EvDebug::DebugLvl(kLevelReceived, kTagGetSnaps, "Received CPid = %d", cpId);

  tksanvol::RequestAnswer answer(*request, kTagGetSnaps);
  ReplicaDBClient replicaDB(1);
  QueryFLRSnapshotsByCPIdRet_t ret;
  if (!replicaDB.QueryFLRSnapshotsByCPId(QueryFLRSnapshotsByCPIdArgs_t(cpId), ret)) {
    answer.fail(kTextSnapLookupFailed, ret.errorText.c_str());
    return 0;
  }
  const SnapshotIndex index(ret);
  if (!tksanvol::beginReply(*this, *request, kReplySnaps, kTagGetSnaps)) return 0;
  for (const FLRSnapshotRecord_t& snapshot : ret.snapshots) addSnapshot(*this, snapshot, index);
  end(0);
  return 1;
}

long long EvSANVolMgr::onMsgGetAltCachePartitionByPoolId(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kTagAltCache, "%s", "Bad Parameter Received.");
    return 0;
  }
  const int32_t poolId = static_cast<int32_t>(request->elementCount);
  EvDebug::DebugLvl(kLevelReceived, kTagAltCache, "Received TarnfoldId = %d", static_cast<int32_t>(request->tarnfoldId()));
  EvDebug::DebugLvl(kLevelReceived, kTagAltCache, "Received Scratch Pool Id = %d", poolId);

  tksanvol::RequestAnswer answer(*request, kTagAltCache);
  int32_t clientId = 0;
  {
    ReplicaDBClient replicaDB(1);
    GetClientIdByPoolIdRet_t ret;
    if (replicaDB.GetClientIdByPoolId(GetClientIdByPoolIdArgs_t(poolId), ret)) {
      clientId = ret.clientId;
    } else if (ret.resultCode != GetClientIdByPoolIdRet_t::kPoolWithoutClient) {
      answer.fail(kTextPoolLookupFailed, ret.errorText.c_str());
      return 0;
    }
  }
  std::string partition;
  if (clientId != 0) {
    ClientProperties properties(static_cast<unsigned long>(clientId));
    const int rc = properties.getAltCachePartition(partition, nullptr);
    if (rc != 0) {
      char line[tksanvol::RequestAnswer::kAnswerBufferSize];
      std::snprintf(line, sizeof line, "ClientProperties::getAltCachePartition() failed. Err Code = [%d]", rc);
      answer.fail(kTextAltCacheFailed, line);
      return 0;
    }
  }
  const tksanvol::ReplyItem item = tksanvol::ReplyItem::idText(static_cast<uint32_t>(clientId), partition);
  return sendOperationResponseWith(request->sequenceNumber, request->socket, std::nullopt, 1, "Success", 11823,
                                   item.data(), item.length())
             ? 1
             : 0;
}

long long EvSANVolMgr::onMsgManageFLRCP(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagManageCP;
  rules.missingOperation = tksanvol::MissingOperation::AnswerMissingInformation;
  ManageCP handler;
  return tksanvol::runElementStream(request, rules, handler);
}

long long EvSANVolMgr::onMsgFindPathRepSet(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagFindPath;
  rules.hasOperations = false;
  rules.unknownElement = tksanvol::UnknownElement::LogAndGoOn;
  FindPathRepSet handler(*this);
  const long long result = tksanvol::runElementStream(request, rules, handler);
  handler.endOpenReply();
  return result;
}
