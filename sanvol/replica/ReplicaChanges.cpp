// The replica changes: reserving SAN volumes as replica targets
// (onMsgReserveSnrVolume), changing received fields of one replica
// (onMsgUpdateReplica), deleting one replica (onMsgReleaseReplica), and
// naming the applications whose data a replica holds
// (onMsgGetReplicatedApps).
//
// The reservation and the update walk an element stream (the frame of
// SANVolFrame.h, without operations); the reservation acts at its first
// record only, the update at every record, and a record's values and
// presence marks stay for the records after it. Each change is one call of
// the replica database service, whole or not at all; a failed record is
// answered once and ends the request, the records before it keep their
// effects. The release and the application names take the replica id from
// the first parameter.
//
// Lasting state: none.
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/content/SubclientContent.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

// ---------------------------------------------------------------- log tags

constexpr const char* kTagReserve = "EvSANVolMgr::onMsgReserveSnrVolume";
constexpr const char* kTagUpdate = "EvSANVolMgr::onMsgUpdateReplica";
constexpr const char* kTagRelease = "EvSANVolMgr::onMsgReleaseReplica";
constexpr const char* kTagApps = "EvSANVolMgr::onMsgGetReplicatedApps";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextReserveFailed = 0x390000ae;
constexpr unsigned long kTextReleaseFailed = 0x39000094;
constexpr unsigned long kTextUpdateFailed = 0x39000095;

// ---------------------------------------------------------------- elements and items

constexpr unsigned int kElementVolumeId = tktag::kSanVolume;
constexpr unsigned int kElementReplicaId = tktag::kReplica;
constexpr unsigned int kElementPointInTime = tktag::kPointInTime;
constexpr unsigned int kElementCreationTime = tktag::kCreationTime;
constexpr unsigned int kElementModificationTime = tktag::kModificationTime;
constexpr unsigned int kElementRole = tktag::kReplicaRole;
constexpr unsigned int kElementPrimaryVolumeId = tktag::kPrimaryVolume;
constexpr unsigned int kElementPolicy = tktag::kReplicationPolicy;
constexpr unsigned int kElementScratchVolumeId = tktag::kScratchVolume;
constexpr unsigned int kElementDoNotPrune = tktag::kDoNotPrune;
constexpr unsigned int kElementSnapshotActive = tktag::kSnapshotActive;
constexpr unsigned int kElementActivateSnapshot = tktag::kActivateSnapshot;

constexpr unsigned long kItemApplicationNames = tktag::kApplications;

constexpr int kLevelReceived = 7;
constexpr int kLevelGet = 10;

// ---------------------------------------------------------------- reservation

class Reservation final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    if (type != kElementVolumeId) return false;
    const int32_t volumeId = tksanvol::readI32(value, length);
    EvDebug::DebugLvl(kLevelReceived, kTagReserve, "Received, SanVolumeId=%d.", static_cast<int>(volumeId));
    m_args.volumeIds.push_back(volumeId);
    return true;
  }
  bool supportsOperation(unsigned long long) const override { return true; }
  // The first record reserves every volume received so far and ends the request.
  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    ReplicaDBClient db(1);
    ReserveSNRVolumeListRet_t ret;
    if (!db.ReserveSNRVolume(m_args, ret)) return context.answer.lookupFailed(ret.errorText.c_str(), kTextReserveFailed);
    context.answer.success(tksanvol::AnswerForm::Response);
    return tksanvol::RecordOutcome::Handled;
  }

 private:
  ReserveSNRVolumeListArgs_t m_args;
};

// ---------------------------------------------------------------- update

// One received field: its value (the low 32 bits) and whether it came.
struct Received {
  uint32_t value = 0;
  bool present = false;
};

class ReplicaUpdate final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    const uint32_t v = tksanvol::readU32(value, length);
    const unsigned long asUnsigned = v;
    const long asSigned = static_cast<int32_t>(v);
    const char* flagText = v != 0 ? "true" : "false";
    switch (type) {
      case kElementReplicaId:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, Replication Volume ID = %lu.", asUnsigned);
        return take(m_replicaId, v);
      case kElementPointInTime:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, point in time = %ld.", asSigned);
        return take(m_pointInTime, v);
      case kElementCreationTime:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, creation time = %ld.", asSigned);
        return take(m_creationTime, v);
      case kElementModificationTime:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, modification time = %ld.", asSigned);
        return take(m_modificationTime, v);
      case kElementRole:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, role = %lu.", asUnsigned);
        return take(m_role, v);
      case kElementPrimaryVolumeId:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, Primary Volume ID = %lu.", asUnsigned);
        return take(m_primaryVolumeId, v);
      case kElementVolumeId:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, Physical Volume ID = %lu.", asUnsigned);
        return take(m_physicalVolumeId, v);
      case kElementPolicy:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, Replication Policy ID = %lu.", asUnsigned);
        return take(m_policyId, v);
      case kElementScratchVolumeId:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, Scratch Volume ID = %lu.", asUnsigned);
        return take(m_scratchVolumeId, v);
      case kElementDoNotPrune:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, do not prune value = %s.", flagText);
        return take(m_doNotPrune, v);
      case kElementSnapshotActive:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, Is SnapshotActive value = %s.", flagText);
        return take(m_snapshotActive, v);
      case kElementActivateSnapshot:
        EvDebug::DebugLvl(kLevelReceived, kTagUpdate, "Received, ActivateSnapshot value = %s.", flagText);
        return take(m_activateSnapshot, v);
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    if (!context.hasTarnfoldId || !m_replicaId.present)
      return context.answer.missingInformation("Required fields are missing.");
    ReplicaDBClient db(1);
    QueryReplicationVolume42ByIdArgs_t queryArgs;
    queryArgs.replicaId = static_cast<int32_t>(m_replicaId.value);
    QueryReplicationVolume42ByIdRet_t current;
    if (!db.QueryReplicationVolume(queryArgs, current)) return context.answer.lookupFailed(current.errorText.c_str());

    UpdateReplicationVolume42Args_t update;
    update.replica = current.replica;
    ReplicationVolumeRecord42_t& r = update.replica;
    r.replicaId = static_cast<int32_t>(m_replicaId.value);
    apply(m_pointInTime, r.pointInTime);
    apply(m_creationTime, r.creationTime);
    apply(m_modificationTime, r.modificationTime);
    apply(m_role, r.role);
    apply(m_primaryVolumeId, r.primaryVolumeId);
    apply(m_physicalVolumeId, r.physicalVolumeId);
    apply(m_policyId, r.replicationPolicyId);
    apply(m_scratchVolumeId, r.scratchVolumeId);
    applyFlag(m_doNotPrune, r.doNotPrune);
    applyFlag(m_snapshotActive, r.snapshotActive);
    applyFlag(m_activateSnapshot, r.activateSnapshot);
    UpdateReplicationVolume42Ret_t ret;
    if (!db.UpdateReplicationVolume(update, ret)) return context.answer.lookupFailed(ret.errorText.c_str(), kTextUpdateFailed);
    context.answer.success(tksanvol::AnswerForm::Response);
    return tksanvol::RecordOutcome::GoOn;
  }

 private:
  static bool take(Received& field, uint32_t value) {
    field.value = value;
    field.present = true;
    return true;
  }
  static void apply(const Received& field, int32_t& to) {
    if (field.present) to = static_cast<int32_t>(field.value);
  }
  // A flag is set by exactly 1; any other value clears it.
  static void applyFlag(const Received& field, bool& to) {
    if (field.present) to = field.value == 1;
  }

  Received m_replicaId, m_pointInTime, m_creationTime, m_modificationTime, m_role, m_primaryVolumeId,
      m_physicalVolumeId, m_policyId, m_scratchVolumeId, m_doNotPrune, m_snapshotActive, m_activateSnapshot;
};

// ---------------------------------------------------------------- replicated applications

// The application type of each application category; category 7 is a user
// application, found through the subclient's content.
constexpr int kCategoryTypes[] = {9, 15, 4, 16, 6, 22, 53};
constexpr int kCategoryUserApplication = 7;

// The user application ids named by the subclient's volume items of the
// replica's primary volume.
void collectUserApplications(const ApplicationDirsRecord_t& dir, ReplicaDBClient& db, std::vector<int32_t>& out) {
  QueryReplicationVolumeByIdV4Args_t args;
  args.replicaId = dir.replicaId;
  QueryReplicationVolumeByIdV4Ret_t replica;
  if (!db.QueryReplicationVolume(args, replica)) {
    EvDebug::Debug(kTagApps, "Could not find source for QR Vol Id %d, AppDirId %d. Skipping User App lookup",
                   static_cast<int>(dir.replicaId), static_cast<int>(dir.appDirId));
    return;
  }
  ReplicationSubclientConfiguration configuration(dir.subclientId);
  auto it = configuration.begin();
  int volumeId = 0;
  BackupContent content;
  while (configuration.getNextVolItem(it, volumeId, content) == 0) {
    if (volumeId != replica.replica.primaryVolumeId) continue;
    const std::string text = content.empty() ? std::string() : *content.begin();
    const long userAppId = std::strtol(text.c_str(), nullptr, 10);
    if (userAppId != 0) {
      out.push_back(static_cast<int32_t>(userAppId));
    } else {
      EvDebug::Debug(kTagApps, "Could not convert User App Id %s, from volume %d, AppDirId %d. Skipping User App lookup",
                     text.c_str(), volumeId, static_cast<int>(dir.appDirId));
    }
  }
}

}  // namespace

long long EvSANVolMgr::onMsgReserveSnrVolume(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagReserve;
  rules.hasOperations = false;
  Reservation handler;
  return tksanvol::runElementStream(request, rules, handler);
}

long long EvSANVolMgr::onMsgUpdateReplica(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagUpdate;
  rules.hasOperations = false;
  ReplicaUpdate handler;
  return tksanvol::runElementStream(request, rules, handler);
}

long long EvSANVolMgr::onMsgReleaseReplica(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kTagRelease, "%s", "Bad Parameter Received.");
    return 0;
  }
  EvDebug::DebugLvl(kLevelGet, kTagRelease, "Received TarnfoldId = %d", static_cast<int>(request->tarnfoldId()));
  tksanvol::RequestAnswer answer(*request, kTagRelease);
  ReplicaDBClient db(1);
  RemoveReplicationVolumeRet_t ret;
  if (!db.DeleteReplicationVolume(RemoveReplicationVolumeArgs_t(static_cast<int32_t>(request->elementCount)), ret)) {
    answer.lookupFailed(ret.errorText.c_str(), kTextReleaseFailed);
    return 0;
  }
  answer.success(tksanvol::AnswerForm::Response);
  return 1;
}

long long EvSANVolMgr::onMsgGetReplicatedApps(MessageInfo* request) {
  if (request == nullptr) {
    EvDebug::Debug(kTagApps, "%s", "Bad Parameter Received.");
    return 0;
  }
  MessageInfo& m = *request;
  EvDebug::DebugLvl(kLevelGet, kTagApps, "Received TarnfoldId = %d", static_cast<int>(m.tarnfoldId()));
  tksanvol::RequestAnswer answer(m, kTagApps);
  ReplicaDBClient db(1);
  QueryAppDirByReplicaVolArgs_t dirArgs;
  dirArgs.replicaId = static_cast<int32_t>(m.elementCount);
  QueryAppDirByReplicaVolRet_t dirs;
  if (!db.QueryAppDirByReplicaVol(dirArgs, dirs)) {
    answer.lookupFailed(dirs.errorText.c_str());
    return 0;
  }

  std::vector<int> types;  // first-seen order, no repeats
  std::vector<int32_t> userApps;  // in order, repeats kept
  for (const auto& dir : dirs.directories) {
    const int32_t category = dir.appCode >> 25;
    if (category >= 0 && category < kCategoryUserApplication) {
      const int type = kCategoryTypes[category];
      bool seen = false;
      for (int t : types) seen = seen || t == type;
      if (!seen) types.push_back(type);
    } else if (category == kCategoryUserApplication) {
      collectUserApplications(dir, db, userApps);
    } else {
      EvDebug::Debug(kTagApps, "Unsupported application type [%ld].", static_cast<long>(category));
    }
  }

  std::string names;
  auto append = [&names](const std::string& name) {
    if (!names.empty()) names += ", ";
    names += name;
  };
  for (int type : types) {
    std::string name;
    AppTypeNameId typeName(type);
    if (typeName.GetAppTypeName(name, nullptr) != 0) {
      EvDebug::Error(kTagApps, "Could not determine the application name for app type [%d].", type);
      name = "Unknown Application";
    }
    append(name);
  }
  for (int32_t userAppId : userApps) {
    QueryQRUserAppDefsArgs_t args;
    args.userAppId = userAppId;
    QueryQRUserAppDefsRet_t app;
    if (db.QueryApplication(args, app)) append(app.application.appName);
  }
  // The names go out as one text item, cut like every text item.
  const std::size_t length = names.size() < tksanvol::kTextItemMax ? names.size() : tksanvol::kTextItemMax;
  if (!sendOperationResponseWith(m.sequenceNumber, m.socket, std::nullopt, 1, "Success", kItemApplicationNames,
                                 names.data(), static_cast<unsigned long>(length)))
    return 0;
  return 1;
}
