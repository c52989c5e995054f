// Replication policies: how replicas of snapshot volumes are made (the
// snapshot engine, how long replicas and how many snapshots are kept, and
// whether the system's own copy managers replicate them into which scratch
// pool). onMsgGetReplicationPolicies lists them; onMsgManageReplicationPolicies
// adds (1), deletes (2) and updates (3) one policy per record.
//
// The manage request walks an element stream (the frame of SANVolFrame.h);
// the values received stay for the records after the one that brought
// them, and an added policy's id replaces the id of the kept policy
// element. Guards, in the order they are checked:
//   - a SnapMirror scratch pool (type 3) behind a copy manager of type 6
//     whose client runs a release older than 13 is refused (add, update);
//     a pool or controller that cannot be read lets the policy through;
//   - a policy that a QRA subclient or a replica still uses is not deleted;
//   - a policy's snapshot engine is not changed while a live (not deleted)
//     subclient of the Tarnfold uses the policy.
// An add or update may also set a client's alternate cache partition; it
// runs with the policy's change in one transaction, so a refused or failed
// record leaves neither behind. Records before a failing one keep their
// effects and their answers.
//
// Lasting state: none.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ClientProperties.h"
#include "platform/client/ZQClient.h"
#include "platform/content/SubclientContent.h"
#include "platform/copymgr/ZQMMCopyManager.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/tran/StoreStep.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

// ---------------------------------------------------------------- log tags

constexpr const char* kTagList = "EvSANVolMgr::onMsgGetReplicationPolicies";
constexpr const char* kTagListWorker = "EvSANVolMgr::lookupReplicationPolicies";
constexpr const char* kTagManage = "EvSANVolMgr::onMsgManageReplicationPolicies";
constexpr const char* kTagSnapMirror = "isSnapMirrorWithPre80CopyMananger";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextListFailed = 0x390000a0;
constexpr unsigned long kTextAltCacheFailed = 0x390000a1;  // %1 the partition
constexpr unsigned long kTextAddFailed = 0x390000a2;       // %1 the policy name
constexpr unsigned long kTextUsedBySubclient = 0x390000a3;
constexpr unsigned long kTextUsedByReplica = 0x390000a4;
constexpr unsigned long kTextDeleteFailed = 0x390000a5;
constexpr unsigned long kTextEngineInUse = 0x390000a6;
constexpr unsigned long kTextUpdateFailed = 0x390000a7;
constexpr unsigned long kTextSnapMirrorTooOld = 0x3900010d;

// ---------------------------------------------------------------- replies, elements, items

constexpr unsigned long kReplyPolicies = tktag::kReplyReplicationPolicies;

constexpr unsigned int kPolicy = tktag::kReplicationPolicy;
constexpr unsigned int kEngine = tktag::kSnapshotEngine;
constexpr unsigned int kRetention = tktag::kRetentionPeriod;
constexpr unsigned int kEnabled = tktag::kReplicationEnabled;
constexpr unsigned int kCopyManager = tktag::kPolicyCopyManager;
constexpr unsigned int kPool = tktag::kScratchVolumePool;
constexpr unsigned int kAppType = tktag::kApplicationType;
constexpr unsigned int kAllowSnap = tktag::kSnapshotOnDestinationAllowed;
constexpr unsigned int kSnapshots = tktag::kSnapshotsKept;
constexpr unsigned int kCopyManagerType = tktag::kCopyManagerType;
constexpr unsigned int kAltCache = tktag::kPolicyCachePartition;
constexpr unsigned int kClient = tktag::kClientId;

constexpr int kLevelReceived = 7;

enum Operation : unsigned long long { kAdd = 1, kDelete = 2, kUpdate = 3 };

// The text the listing sends for a policy's scratch pool.
constexpr const char* kPoolText = "fix me";

// ---------------------------------------------------------------- SnapMirror

constexpr int32_t kCopyManagerTypeFiler = 6;
constexpr int32_t kPoolTypeSnapMirror = 3;
// The first copy-manager release that replicates to SnapMirror pools.
constexpr unsigned long long kSnapMirrorRelease = 13;

// ---------------------------------------------------------------- subclients

// The QRA application types a policy's subclients are looked for under when
// the request names none (or 0).
constexpr int32_t kQRAAppTypes[] = {47, 50};
constexpr int kClientListKind = 2;
constexpr int kSubclientListKind = 1;

// A text made from a printf pattern, cut at the answer buffer's size.
__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
  char text[tksanvol::RequestAnswer::kAnswerBufferSize];
  va_list values;
  va_start(values, pattern);
  std::vsnprintf(text, sizeof text, pattern, values);
  va_end(values);
  return text;
}

// One received number and whether it came.
struct Received {
  uint32_t value = 0;
  bool present = false;
  int32_t asInt() const { return static_cast<int32_t>(value); }
};

class PolicyChange final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    const uint32_t number = tksanvol::readU32(value, length);
    const unsigned long asUnsigned = number;
    switch (type) {
      case kPolicy:
        m_policy = tksanvol::readIdText(value, length);
        m_hasPolicy = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, ReplicationPolicyId=%d, ReplicationPolicyName = %s.",
                          static_cast<int>(m_policy.id), m_policy.text.c_str());
        return true;
      case kEngine:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Snap Engine ID = %d.", static_cast<int>(number));
        return take(m_engine, number);
      case kRetention:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Retention period= %ld.",
                          static_cast<long>(static_cast<int32_t>(number)));
        return take(m_retention, number);
      case kEnabled:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Enable Halvane Replication = %lu.", asUnsigned);
        return take(m_enabled, number);
      case kCopyManager:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Copy Manager Id = %lu.", asUnsigned);
        return take(m_copyManager, number);
      case kPool:
        m_pool = tksanvol::readIdText(value, length);
        m_hasPool = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, ScratchVolumePoolId=%d, ScratchVolumePoolName = %s.",
                          static_cast<int>(m_pool.id), m_pool.text.c_str());
        return true;
      case kAppType:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, AppTypeId=%lu.", asUnsigned);
        return take(m_appType, number);
      case kAllowSnap:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Allow Snap on Destination Vol = %lu.", asUnsigned);
        return take(m_allowSnap, number);
      case kSnapshots:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, NSnapshot = %lu.", asUnsigned);
        return take(m_snapshots, number);
      case kCopyManagerType:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, CopyManagerType = %d.", static_cast<int>(number));
        return take(m_copyManagerType, number);
      case kAltCache:
        // The value may fill the whole value buffer without a terminator.
        m_altCache = tksanvol::readText(value, length);
        m_hasAltCache = true;
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Alt. Cache Part. = %s", m_altCache.c_str());
        return true;
      case kClient:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Client Id = [%d]", static_cast<int>(number));
        return take(m_client, number);
      default:
        return false;
    }
  }

  bool supportsOperation(unsigned long long op) const override { return op == kAdd || op == kDelete || op == kUpdate; }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    const unsigned long long op = context.operation;
    if (!hasRequired(op))
      return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                               tksanvol::AnswerForm::OperationResponse, op);
    if (op == kDelete) return remove(context);
    // An add or update changes the partition and the policy together.
    const unsigned long failureText = op == kAdd ? kTextAddFailed : kTextUpdateFailed;
    tktran::StoreStep step(kTagManage);
    if (!step.begin()) return failChange(context, failureText, step.error());
    const tksanvol::RecordOutcome outcome = op == kAdd ? add(context) : update(context);
    if (outcome == tksanvol::RecordOutcome::Failed) return outcome;  // the transaction rolls back
    if (!step.commit()) return failChange(context, failureText, step.error());
    if (op == kAdd) {
      const tksanvol::ReplyItem item = tksanvol::ReplyItem::idText(m_policy.id, m_policy.text);
      MessageInfo& request = context.request();
      EvSANVolMgr::sendOperationResponseWith(request.sequenceNumber, request.socket, op, 1, "Success", kPolicy,
                                             item.data(), item.length());
    } else {
      context.answer.success(tksanvol::AnswerForm::OperationResponse, op);
    }
    return tksanvol::RecordOutcome::GoOn;
  }

 private:
  static bool take(Received& field, uint32_t value) {
    field.value = value;
    field.present = true;
    return true;
  }

  bool hasRequired(unsigned long long op) const {
    switch (op) {
      case kAdd:
        return m_hasPolicy && m_enabled.present && m_retention.present && m_engine.present &&
               m_copyManagerType.present;
      case kDelete:
        return m_hasPolicy && m_appType.present;
      default:
        return m_hasPolicy;
    }
  }

  // A failure of the record as an operation reply of its operation; the
  // policy name (add) goes with it as the catalogue argument.
  tksanvol::RecordOutcome failChange(tksanvol::StreamContext& context, unsigned long messageId,
                                     const std::string& explanation) {
    EvEvent& event = context.answer.event();
    event.clearArguments();
    if (messageId == kTextAddFailed) event << m_policy.text;
    return context.answer.fail(messageId, explanation.c_str(), tksanvol::AnswerForm::OperationResponse,
                               context.operation);
  }

  // The checks an add and an update share: the alternate cache partition,
  // then the SnapMirror guard. Failed when the record was refused.
  tksanvol::RecordOutcome prepare(tksanvol::StreamContext& context, const char* setCall) {
    const unsigned long long op = context.operation;
    if (m_client.present && m_hasAltCache) {
      ClientProperties properties(m_client.value);
      const int code = properties.setAltCachePartition(m_altCache, nullptr);
      if (code != 0) {
        char line[tksanvol::RequestAnswer::kAnswerBufferSize];
        std::snprintf(line, sizeof line, "ClientProperties::%s() failed. Err Code = [%d]", setCall, code);
        EvDebug::Debug(kTagManage, "%s", line);
        EvEvent& event = context.answer.event();
        event.clearArguments();
        event << m_altCache;
        return context.answer.fail(kTextAltCacheFailed, line, tksanvol::AnswerForm::OperationResponse, op);
      }
    }
    if (m_hasPool && m_copyManagerType.present && m_copyManager.present &&
        isSnapMirrorWithPre80CopyMananger(static_cast<int32_t>(m_pool.id), m_copyManagerType.asInt(),
                                          m_copyManager.value)) {
      context.answer.event().clearArguments();
      return context.answer.fail(kTextSnapMirrorTooOld, "SnapMirror is only supported with 8.0 copymanagers or later.",
                                 tksanvol::AnswerForm::OperationResponse, op);
    }
    return tksanvol::RecordOutcome::GoOn;
  }

  // ---- add (1)
  tksanvol::RecordOutcome add(tksanvol::StreamContext& context) {
    if (prepare(context, "setAltCachePartition") == tksanvol::RecordOutcome::Failed)
      return tksanvol::RecordOutcome::Failed;
    AddReplicationPolicyV3Args_t args;
    ReplicationPolicyV3Record_t& p = args.policy;
    p.policyId = -1;
    p.policyName = m_policy.text;
    p.retentionPeriod = m_retention.asInt();
    p.replicationEnabled = m_enabled.value == 1;
    // Without replication the policy names no copy manager and no pool.
    p.copyManagerId = p.replicationEnabled && m_copyManager.present ? m_copyManager.asInt() : 0;
    p.scratchPoolId = p.replicationEnabled && m_hasPool ? static_cast<int32_t>(m_pool.id) : 0;
    p.snapEngineId = m_engine.asInt();
    p.allowSnapOnDestination = m_allowSnap.present && m_allowSnap.value == 1;
    p.snapshotCount = m_snapshots.present ? m_snapshots.asInt() : 0;
    p.copyManagerType = m_copyManagerType.asInt();
    ReplicaDBClient db(1);
    AddReplicationPolicyV3Ret_t ret;
    if (!db.AddReplicationPolicy(args, ret)) return failChange(context, kTextAddFailed, ret.errorText);
    m_policy.id = static_cast<uint32_t>(ret.policyId);
    return tksanvol::RecordOutcome::GoOn;
  }

  // ---- delete (2)
  tksanvol::RecordOutcome remove(tksanvol::StreamContext& context) {
    const unsigned long long op = context.operation;
    const int32_t policyId = static_cast<int32_t>(m_policy.id);
    ReplicaDBClient db(1);
    GetQRSCListByPolicyArgs_t subclientArgs(policyId);
    subclientArgs.values = appTypes();
    GetQRSCListByPolicyRet_t subclients;
    if (!db.GetSCListByQRPolicy(subclientArgs, subclients))
      return context.answer.lookupFailed(subclients.errorText.c_str());
    if (!subclients.subclientIds.empty()) {
      EvDebug::Debug(kTagManage, "Replication policy [%d] is used by [%zu] QRA subclients.", static_cast<int>(policyId),
                     subclients.subclientIds.size());
      return context.answer.fail(kTextUsedBySubclient,
                                 "Unable to delete this QR policy because it is in use by at least one QRA subclient.");
    }
    GetReplicationVolumeListRet_t replicas;
    if (!db.GetReplicationVolumeList(replicas)) return context.answer.lookupFailed(replicas.errorText.c_str());
    for (const ReplicationVolumeRecord_t& replica : replicas.replicas) {
      if (replica.replicationPolicyId != policyId) continue;
      return context.answer.fail(kTextUsedByReplica,
                                 "Unable to delete this QR policy because it has an associated QR volume.",
                                 tksanvol::AnswerForm::OperationResponse, op);
    }
    RemoveReplicationPolicyArgs_t args;
    args.policyId = policyId;
    RemoveReplicationPolicyRet_t ret;
    if (!db.DeleteReplicationPolicy(args, ret))
      return context.answer.fail(kTextDeleteFailed, ret.errorText.c_str(), tksanvol::AnswerForm::OperationResponse, op);
    context.answer.success(tksanvol::AnswerForm::OperationResponse, op);
    return tksanvol::RecordOutcome::GoOn;
  }

  // The application types whose subclients are asked about: the one of
  // element 4004, or the QRA types when it named none.
  std::vector<int32_t> appTypes() const {
    if (m_appType.present && m_appType.value != 0) return {m_appType.asInt()};
    return std::vector<int32_t>(std::begin(kQRAAppTypes), std::end(kQRAAppTypes));
  }

  // ---- update (3)
  tksanvol::RecordOutcome update(tksanvol::StreamContext& context) {
    const unsigned long long op = context.operation;
    if (prepare(context, "settAltCachePartition") == tksanvol::RecordOutcome::Failed)
      return tksanvol::RecordOutcome::Failed;
    ReplicaDBClient db(1);
    QueryReplicationPolicyV2ByIdArgs_t queryArgs;
    queryArgs.policyId = static_cast<int32_t>(m_policy.id);
    QueryReplicationPolicyV2ByIdRet_t stored;
    if (!db.QueryReplicationPolicy(queryArgs, stored))
      return context.answer.lookupFailed(stored.errorText.c_str(), tksanvol::kTextLookupFailed,
                                         tksanvol::AnswerForm::OperationResponse, op);
    if (m_engine.present && m_engine.asInt() != stored.policy.snapEngineId &&
        engineInUse(context) == tksanvol::RecordOutcome::Failed)
      return tksanvol::RecordOutcome::Failed;

    UpdateReplicationPolicyV2Args_t args;
    ReplicationPolicyV2Record_t& p = args.policy;
    p.policyId = static_cast<int32_t>(m_policy.id);
    p.policyName = m_policy.text;
    p.replicationEnabled = m_enabled.present && m_enabled.value == 1;
    p.scratchPoolId = p.replicationEnabled && m_hasPool ? static_cast<int32_t>(m_pool.id) : 0;
    p.copyManagerId = p.replicationEnabled && m_copyManager.present ? m_copyManager.asInt() : 0;
    // -1 (the record's default) keeps the stored retention and engine.
    if (m_retention.present) p.retentionPeriod = m_retention.asInt();
    if (m_engine.present) p.snapEngineId = m_engine.asInt();
    p.allowSnapOnDestination = m_allowSnap.present ? m_allowSnap.value == 1 : stored.policy.allowSnapOnDestination;
    p.snapshotCount = m_snapshots.present ? m_snapshots.asInt() : stored.policy.snapshotCount;
    UpdateReplicationPolicyV2Ret_t ret;
    if (!db.UpdateReplicationPolicy(args, ret)) return failChange(context, kTextUpdateFailed, ret.errorText);
    return tksanvol::RecordOutcome::GoOn;
  }

  // Refuses the engine change while a live subclient of the Tarnfold uses
  // the policy: each client's default backup set of the application types,
  // its subclients, their policy and deleted mark. A client without such a
  // backup set has no such subclient.
  tksanvol::RecordOutcome engineInUse(tksanvol::StreamContext& context) {
    const unsigned long long op = context.operation;
    const int32_t policyId = static_cast<int32_t>(m_policy.id);
    auto failed = [&](const std::string& text) {
      return context.answer.lookupFailed(text.c_str(), tksanvol::kTextLookupFailed,
                                         tksanvol::AnswerForm::OperationResponse, op);
    };
    ClientApplicationList lists;
    std::vector<int> clients;
    std::vector<std::string> clientNames;
    int code = lists.getClientList(clients, clientNames, static_cast<int>(context.tarnfoldId), nullptr, kClientListKind);
    if (code != 0) return failed(format("Unable to retrieve a list of client in this Tarnfold. [%d]", code));
    for (const int clientId : clients) {
      for (const int32_t appType : appTypes()) {
        int backupSetId = 0;
        std::string backupSetName;
        code = lists.getDefaultBackupSet(clientId, appType, backupSetId, backupSetName, nullptr);
        if (code == tkclient::kErrorUnknownBackupSet) continue;
        if (code != 0) return failed(format("Unable to retrieve the default QRA Backup Set. [%d]", code));
        std::vector<int> subclients;
        std::vector<std::string> subclientNames;
        code = lists.getSubclientList(subclients, subclientNames, appType, backupSetId, nullptr, kSubclientListKind);
        if (code != 0) return failed(format("Unable to retrieve a list of QRA subclients. [%d]", code));
        for (const int subclientId : subclients) {
          ReplicationSubclientConfiguration subclient(subclientId);
          int usedPolicy = 0;
          code = subclient.getReplicationPolicy(usedPolicy, nullptr);
          if (code != 0)
            return failed(format("Unable to retrieve QR policy Id for QRA subclient [%ld]. [%d]",
                                 static_cast<long>(subclientId), code));
          bool deleted = false;
          code = subclient.isDeleted(deleted, nullptr);
          if (code != 0)
            return failed(format("Unable to determine if sublient [%ld] is deleted. [%d]",
                                 static_cast<long>(subclientId), code));
          if (!deleted && usedPolicy == policyId)
            return context.answer.fail(
                kTextEngineInUse,
                "Unable to update the snap engine of this QR policy because it is in use by a QRA subclient.",
                tksanvol::AnswerForm::OperationResponse, op);
        }
      }
    }
    return tksanvol::RecordOutcome::GoOn;
  }

  tksanvol::IdText m_policy;  // id and name, kept whole
  bool m_hasPolicy = false;
  tksanvol::IdText m_pool;    // pool id 0 until it came
  bool m_hasPool = false;
  std::string m_altCache;
  bool m_hasAltCache = false;
  Received m_engine, m_retention, m_enabled, m_copyManager, m_appType, m_allowSnap, m_snapshots, m_copyManagerType,
      m_client;
};

}  // namespace

// ---------------------------------------------------------------- SnapMirror check

bool isSnapMirrorWithPre80CopyMananger(int32_t scratchPoolId, int32_t copyManagerType, uint64_t copyManagerId) {
  if (copyManagerType != kCopyManagerTypeFiler) return false;
  ReplicaDBClient db(1);
  QueryRVScratchVolPoolV3Args_t args;
  args.poolId = scratchPoolId;
  QueryRVScratchVolPoolV3Ret_t pool;
  bool snapMirror = false;
  if (!db.QueryRVScratchVolPool(args, pool)) {
    EvDebug::Debug(kTagSnapMirror, "Failed to get scratch volume pool info for scratch pool id %d;",
                   static_cast<int>(scratchPoolId));
  } else {
    snapMirror = pool.pool.poolType == kPoolTypeSnapMirror;
    EvDebug::Debug(kTagSnapMirror, "Got scratch volume pool type [%s] for scratch pool id %d;",
                   snapMirror ? "ONTAP_SNAPMIRROR" : "SNAPVAULT", static_cast<int>(scratchPoolId));
  }
  if (!snapMirror) return false;
  ZQMMCopyManager copyManagers(1);
  MMCopyMgrCtrl controller;
  if (copyManagers.getCopyMgrCtrlInfo(copyManagerId, controller) != 0) {
    EvDebug::Debug(kTagSnapMirror, "%s", "getCopyMgrCtrlInfo Failed. Assuming it is a CopyManager that supports SnapMirror.");
    return false;
  }
  // A release that cannot be read stays the first one that is new enough.
  unsigned long long release = kSnapMirrorRelease;
  ZQClient client(static_cast<unsigned long>(controller.clientId));
  client.getReleaseId(release, nullptr);
  return release < kSnapMirrorRelease;
}

// ---------------------------------------------------------------- listing

long long EvSANVolMgr::onMsgGetReplicationPolicies(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagList;
  rules.replyId = kReplyPolicies;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupReplicationPolicies(&m); });
}

long long EvSANVolMgr::lookupReplicationPolicies(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagListWorker);
  ReplicaDBClient db(1);
  GetReplicationPolicyV3ListRet_t ret;
  if (!db.GetReplicationPolicyList(ret)) {
    answer.lookupFailed(ret.errorText.c_str(), kTextListFailed);
    return 0;
  }
  for (const ReplicationPolicyV3Record_t& p : ret.policies) {
    tksanvol::addIdText(*this, kPolicy, static_cast<uint32_t>(p.policyId), p.policyName);
    tksanvol::addU32(*this, kRetention, static_cast<uint32_t>(p.retentionPeriod));
    tksanvol::addIdText(*this, kEngine, static_cast<uint32_t>(p.snapEngineId), "");
    tksanvol::addFlag(*this, kEnabled, p.replicationEnabled);
    if (p.replicationEnabled) {
      tksanvol::addU32(*this, kCopyManager, static_cast<uint32_t>(p.copyManagerId));
      tksanvol::addIdText(*this, kPool, static_cast<uint32_t>(p.scratchPoolId), kPoolText);
    }
    tksanvol::addFlag(*this, kAllowSnap, p.allowSnapOnDestination);
    tksanvol::addU32(*this, kSnapshots, static_cast<uint32_t>(p.snapshotCount));
    tksanvol::addU32(*this, kCopyManagerType, static_cast<uint32_t>(p.copyManagerType));
    tksanvol::endRecord(*this);
  }
  return 1;
}

// ---------------------------------------------------------------- manage

long long EvSANVolMgr::onMsgManageReplicationPolicies(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagManage;
  PolicyChange handler;
  return tksanvol::runElementStream(request, rules, handler);
}
