// Scratch-volume pools and scratch volumes: the volumes set aside as replica
// targets, grouped into pools with a snapshot engine and a pool type.
//
//   onMsgGetRVScratchVolumePools     reply 11622, every pool
//   onMsgGetRVScratchVolumes         reply 11638, the scratch volumes that
//                                    the first parameter selects (-1: all)
//   onMsgManageRVScratchVolumePools  add (1), delete (2), update (3), cost
//                                    category of the pool's volumes (83)
//   onMsgManageRVScratchVolumes      add a volume to a pool (1), remove (2),
//                                    release (12), a volume's cost category (83)
//
// The manage requests walk an element stream (frame/SANVolFrame.h); the
// values received persist across its records. Each change is one call of
// the replica database service. A release first frees the space SnapVault
// replicas hold on the volume (sanvol/SnapVaultHosts.cpp); when that fails
// nothing is released.
//
// A listed scratch volume is written only once everything it needs has been
// read, so a listing that stops at a volume it cannot complete carries the
// complete objects before it and nothing of that one.
//
// Lasting state: none.
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ZQClient.h"
#include "platform/content/SubclientContent.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"

namespace {

using tksanvol::AnswerForm;
using tksanvol::RecordOutcome;

// ---------------------------------------------------------------- log tags

constexpr const char* kTagPools = "EvSANVolMgr::onMsgGetRVScratchVolumePools";
constexpr const char* kTagPoolsWorker = "EvSANVolMgr::lookupScratchPools";
constexpr const char* kTagVolumes = "EvSANVolMgr::onMsgGetRVScratchVolumes";
constexpr const char* kTagVolumesWorker = "EvSANVolMgr::lookupScratchVolumes";
constexpr const char* kTagManagePools = "EvSANVolMgr::onMsgManageRVScratchVolumePools";
constexpr const char* kTagManageVolumes = "EvSANVolMgr::onMsgManageRVScratchVolumes";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextVolumeUpdateFailed = 0x39000095;
constexpr unsigned long kTextPoolAddFailed = 0x39000097;  // %1 the pool name
constexpr unsigned long kTextPoolUpdateFailed = 0x39000098;
constexpr unsigned long kTextPoolDeleteFailed = 0x39000099;
constexpr unsigned long kTextNoVolume = 0x3900009a;
constexpr unsigned long kTextNoDeviceName = 0x3900009b;
constexpr unsigned long kTextInSubclientContent = 0x3900009c;
constexpr unsigned long kTextAddFailed = 0x3900009d;
constexpr unsigned long kTextRemoveFailed = 0x3900009e;
constexpr unsigned long kTextReleaseFailed = 0x3900009f;
constexpr unsigned long kTextPoolNamedByPolicy = 0x39000104;
constexpr unsigned long kTextPoolHasVolumes = 0x39000105;

// ---------------------------------------------------------------- replies, elements, items

constexpr unsigned long kReplyPools = tktag::kReplyScratchVolumePools;
constexpr unsigned long kReplyVolumes = tktag::kReplyScratchVolumes;

constexpr unsigned int kVolume = tktag::kSanVolume;
constexpr unsigned int kScratchVolume = tktag::kScratchVolume;
constexpr unsigned int kPool = tktag::kScratchVolumePool;
constexpr unsigned int kReplica = tktag::kReplica;
constexpr unsigned int kEngine = tktag::kSnapshotEngine;
constexpr unsigned int kCostCategory = tktag::kReplicaCostCategory;
constexpr unsigned int kPoolType = tktag::kPoolType;

constexpr int kLevelReceived = 7;

enum Operation : unsigned long long { kAdd = 1, kDelete = 2, kUpdate = 3, kRelease = 12, kCost = 83 };

constexpr int32_t kDefaultPoolType = 1;
constexpr int32_t kDefaultEngine = 1;
// The text every listed scratch volume carries beside its pool id.
constexpr const char* kPoolText = "fix me";
constexpr const char* kFreeFailed = "Failed to Free Snapvault Replica Space";

uint32_t u32(int32_t value) { return static_cast<uint32_t>(value); }

// ---------------------------------------------------------------- elements both manage requests share

struct CommonElements {
  // The pool element as it came: its id and name.
  tksanvol::IdText pool;
  bool hasPool = false;
  uint64_t costCategory = 0;
  bool hasCostCategory = false;

  bool take(const char* tag, unsigned int type, const char* value, unsigned int length) {
    if (type == kPool) {
      pool = tksanvol::readIdText(value, length);
      hasPool = true;
      EvDebug::DebugLvl(kLevelReceived, tag, "Received, ScratchVolumePoolId=%d, ScratchVolumePoolName = %s.",
                        static_cast<int>(pool.id), pool.text.c_str());
      return true;
    }
    if (type == kCostCategory) {
      costCategory = tksanvol::readU32(value, length);
      hasCostCategory = true;
      EvDebug::DebugLvl(kLevelReceived, tag, "Received, Cost CategoryId = %lu.",
                        static_cast<unsigned long>(costCategory));
      return true;
    }
    return false;
  }
};

RecordOutcome missing(tksanvol::StreamContext& c) {
  return c.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog, AnswerForm::OperationResponse,
                                     c.operation);
}

RecordOutcome succeeded(tksanvol::StreamContext& c) {
  c.answer.success(AnswerForm::OperationResponse, c.operation);
  return RecordOutcome::GoOn;
}

// Success with the record's result as the last item of the operation reply.
RecordOutcome succeededWith(tksanvol::StreamContext& c, unsigned long tag, const tksanvol::ReplyItem& item) {
  MessageInfo& m = c.request();
  EvSANVolMgr::sendOperationResponseWith(m.sequenceNumber, m.socket, c.operation, 1, "Success", tag, item.data(),
                                         item.length());
  return RecordOutcome::GoOn;
}

// ---------------------------------------------------------------- pool changes

class PoolChange final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    if (m_common.take(kTagManagePools, type, value, length)) return true;
    if (type == kEngine) {
      m_engine = static_cast<int32_t>(tksanvol::readU32(value, length));
      // Engine 0 from a client means the default engine.
      if (m_engine == 0) m_engine = kDefaultEngine;
      m_hasEngine = true;
      EvDebug::DebugLvl(kLevelReceived, kTagManagePools, "Received, SnapEngineInfoId = %d.", static_cast<int>(m_engine));
      return true;
    }
    if (type == kPoolType) {
      m_poolType = tksanvol::readI32(value, length);
      m_hasPoolType = true;
      EvDebug::DebugLvl(kLevelReceived, kTagManagePools, "Received, Pool Type = %d.", static_cast<int>(m_poolType));
      return true;
    }
    return false;
  }

  bool supportsOperation(unsigned long long op) const override {
    return op == kAdd || op == kDelete || op == kUpdate || op == kCost;
  }

  RecordOutcome onRecord(tksanvol::StreamContext& c) override {
    if (!c.hasTarnfoldId || !m_common.hasPool || (c.operation == kCost && !m_common.hasCostCategory))
      return missing(c);
    ReplicaDBClient db(1);
    switch (c.operation) {
      case kAdd: return add(c, db);
      case kDelete: return remove(c, db);
      case kUpdate: return update(c, db);
      default: return costCategory(c, db);
    }
  }

 private:
  RecordOutcome add(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    AddRVScratchVolPoolV3Args_t args;
    args.pool.poolName = m_common.pool.text;
    args.pool.poolType = m_hasPoolType ? m_poolType : kDefaultPoolType;
    args.pool.snapEngineId = m_hasEngine ? m_engine : 0;
    if (args.pool.poolType == kDefaultPoolType && !m_hasEngine) args.pool.snapEngineId = kDefaultEngine;
    AddRVScratchVolPoolV3Ret_t ret;
    if (!db.AddRVScratchVolPool(args, ret)) {
      EvDebug::Debug(kTagManagePools, "%s", ret.errorText.c_str());
      c.answer.event() << m_common.pool.text;
      return c.answer.lookupFailed(ret.errorText.c_str(), kTextPoolAddFailed);
    }
    // Later records of the request name the new pool.
    m_common.pool.id = u32(ret.poolId);
    return succeededWith(c, kPool, tksanvol::ReplyItem::idText(m_common.pool.id, m_common.pool.text));
  }

  RecordOutcome remove(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    RemoveRVScratchVolumePoolArgs_t args;
    args.poolId = static_cast<int32_t>(m_common.pool.id);
    RemoveRVScratchVolumePoolRet_t ret;
    if (!db.RemoveRVScratchVolPool(args, ret))
      return c.answer.lookupFailed(ret.errorText.c_str(), getEventIdFromDelScratchPoolFailure(ret.resultCode));
    return succeeded(c);
  }

  // The name, and the engine when one came; never the pool type.
  RecordOutcome update(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    bool done = false;
    std::string error;
    if (m_hasEngine) {
      UpdateRVScratchVolPoolV2Args_t args;
      args.pool.poolId = static_cast<int32_t>(m_common.pool.id);
      args.pool.poolName = m_common.pool.text;
      args.pool.snapEngineId = m_engine;
      UpdateRVScratchVolPoolV2Ret_t ret;
      done = db.UpdateRVScratchVolPool(args, ret);
      error = ret.errorText;
    } else {
      UpdateRVScratchVolPoolArgs_t args;
      args.pool.poolId = static_cast<int32_t>(m_common.pool.id);
      args.pool.poolName = m_common.pool.text;
      UpdateRVScratchVolPoolRet_t ret;
      done = db.UpdateRVScratchVolPool(args, ret);
      error = ret.errorText;
    }
    if (!done) return c.answer.lookupFailed(error.c_str(), kTextPoolUpdateFailed);
    return succeeded(c);
  }

  RecordOutcome costCategory(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    UpdateCostCategoryToVolsInPoolArgs_t args;
    args.poolId = static_cast<int32_t>(m_common.pool.id);
    args.costCategoryId = m_common.costCategory;
    UpdateCostCategoryToVolsInPoolRet_t ret;
    if (!db.UpdateCostToVolsInPool(args, ret)) return c.answer.lookupFailed(ret.errorText.c_str(), kTextPoolUpdateFailed);
    return succeeded(c);
  }

  CommonElements m_common;
  int32_t m_engine = 0;
  bool m_hasEngine = false;
  int32_t m_poolType = kDefaultPoolType;
  bool m_hasPoolType = false;
};

// ---------------------------------------------------------------- scratch-volume changes

class ScratchVolumeChange final : public tksanvol::StreamHandler {
 public:
  explicit ScratchVolumeChange(EvSANVolMgr& owner) : m_owner(owner) {}

  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    if (m_common.take(kTagManageVolumes, type, value, length)) return true;
    const uint32_t number = tksanvol::readU32(value, length);
    switch (type) {
      case kVolume:
        m_volume = static_cast<int32_t>(number);
        EvDebug::DebugLvl(kLevelReceived, kTagManageVolumes, "Received, SNR Volume ID = %lu.",
                          static_cast<unsigned long>(number));
        return true;
      case kScratchVolume:
        m_scratchVolume = static_cast<int32_t>(number);
        EvDebug::DebugLvl(kLevelReceived, kTagManageVolumes, "Received, Scratch Volume ID = %lu.",
                          static_cast<unsigned long>(number));
        return true;
      case kReplica:
        m_replica = static_cast<int32_t>(number);
        EvDebug::DebugLvl(kLevelReceived, kTagManageVolumes, "Received, QR Volume Id = %d", static_cast<int>(number));
        return true;
      default:
        return false;
    }
  }

  bool supportsOperation(unsigned long long op) const override {
    return op == kAdd || op == kDelete || op == kRelease || op == kCost;
  }

  RecordOutcome onRecord(tksanvol::StreamContext& c) override {
    const unsigned long long op = c.operation;
    const bool complete = op == kAdd     ? m_volume && m_common.hasPool
                          : op == kCost  ? m_volume && m_common.hasCostCategory
                                         : m_scratchVolume.has_value();
    if (!c.hasTarnfoldId || !complete) return missing(c);
    ReplicaDBClient db(1);
    switch (op) {
      case kAdd: return add(c, db);
      case kDelete: return remove(c, db);
      case kRelease: return release(c, db);
      default: return costCategory(c, db);
    }
  }

 private:
  RecordOutcome add(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    std::vector<int> subclients;
    ContentQuery content;
    if (content.getSCListHavingVolId(*m_volume, subclients, nullptr) != 0) {
      EvDebug::Debug(kTagManageVolumes, "Error retrieving a list of associated subclients.");
      return c.answer.lookupFailed("Error retrieving a list of associated subclients.");
    }
    if (!subclients.empty()) {
      EvDebug::Debug(kTagManageVolumes, "Volumes that are part of subclient content may not be used in scratch pools.");
      return c.answer.fail(kTextInSubclientContent,
                           "Volumes that are part of subclient content may not be used in scratch pools.");
    }
    AddRVScratchVolumeArgs_t args;
    args.poolId = static_cast<int32_t>(m_common.pool.id);
    args.volumeId = *m_volume;
    AddRVScratchVolumeRet_t ret;
    if (!db.AddRVScratchVol(args, ret)) return c.answer.lookupFailed(ret.errorText.c_str(), kTextAddFailed);
    return succeededWith(c, kScratchVolume, tksanvol::ReplyItem::u32(u32(ret.scratchVolumeId)));
  }

  RecordOutcome remove(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    RemoveRVScratchVolumeArgs_t args;
    args.scratchVolumeId = *m_scratchVolume;
    RemoveRVScratchVolumeRet_t ret;
    if (!db.RemoveRVScratchVol(args, ret)) return c.answer.lookupFailed(ret.errorText.c_str(), kTextRemoveFailed);
    return succeeded(c);
  }

  // Without a replica the whole scratch volume is released: the service is
  // told so, as the space release was.
  RecordOutcome release(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    ReleaseRVScratchVolumeV2Args_t args;
    args.scratchVolumeId = *m_scratchVolume;
    args.flag = !m_replica.has_value();
    if (m_replica) args.replicaId = *m_replica;
    if (!m_owner.FreeSnapvaultReplicaSpace(&c.request(), m_replica.value_or(*m_scratchVolume), args.flag))
      return c.answer.fail(kTextReleaseFailed, kFreeFailed);
    ReleaseRVScratchVolumeV2Ret_t ret;
    if (!db.ReleaseRVScratchVol(args, ret)) return c.answer.lookupFailed(ret.errorText.c_str(), kTextReleaseFailed);
    return succeeded(c);
  }

  RecordOutcome costCategory(tksanvol::StreamContext& c, ReplicaDBClient& db) {
    UpdateSNRVolumeV3Args_t args;
    args.volume.volumeId = *m_volume;
    args.volume.SetCostCategoryId(static_cast<int>(m_common.costCategory));
    UpdateSNRVolumeV3Ret_t ret;
    if (!db.UpdateSNRVolume(args, ret)) return c.answer.lookupFailed(ret.errorText.c_str(), kTextVolumeUpdateFailed);
    return succeeded(c);
  }

  EvSANVolMgr& m_owner;
  CommonElements m_common;
  std::optional<int32_t> m_volume;
  std::optional<int32_t> m_scratchVolume;
  std::optional<int32_t> m_replica;
};

// ---------------------------------------------------------------- the scratch-volume listing

// The permanent replica's volume of a volume: device-id type, device id, LUN.
struct PermanentVolume {
  int32_t deviceIdType = -1;
  std::string deviceId;
  int32_t lun = -1;
};

// Everything one listed scratch volume needs, read before any of it is sent.
struct ScratchEntry {
  const RVScratchVolumeV2Record_t* scratch = nullptr;
  const SNRVolumeRecordV4_t* volume = nullptr;
  const ReplicationVolumeV5Record_t* replica = nullptr;
  const SNRVolumeDeviceNameV4Record_t* device = nullptr;
  std::optional<PermanentVolume> permanent;
};

template <class Record, class Match>
const Record* findFirst(const std::vector<Record>& records, Match match) {
  for (const Record& r : records)
    if (match(r)) return &r;
  return nullptr;
}

void addVolumeItems(EvReturnData& reply, const ScratchEntry& e, const std::list<QRApplianceRecord_t>& appliances) {
  const SNRVolumeRecordV4_t& v = *e.volume;
  std::string applianceName;
  if (v.applianceId != 0) {
    for (const QRApplianceRecord_t& a : appliances) {
      if (a.applianceId != v.applianceId) continue;
      applianceName = a.applianceName;
      break;
    }
  }
  tksanvol::addU32(reply, kScratchVolume, u32(e.scratch->scratchVolumeId));
  tksanvol::addU32(reply, kVolume, u32(v.volumeId));
  tksanvol::addU32(reply, 11606, u32(v.deviceIdType));
  tksanvol::addText(reply, 11615, v.deviceId);
  tksanvol::addText(reply, 11675, v.fsType);
  tksanvol::addU32(reply, 11607, u32(v.lun));
  tksanvol::addU64(reply, 11608, static_cast<uint64_t>(v.startLba));
  tksanvol::addU64(reply, 11614, static_cast<uint64_t>(v.blockCount));
  tksanvol::addU32(reply, 11619, u32(v.blockSize));
  tksanvol::addFlag(reply, 11620, v.volumeLock);
  tksanvol::addU32(reply, 11711, u32(v.qmState));
  tksanvol::addFlag(reply, 11712, v.qmProtected);
  tksanvol::addIdText(reply, 11708, u32(v.applianceId), applianceName);
  tksanvol::addIdText(reply, kCostCategory, static_cast<uint32_t>(v.costCategoryId), "");
  tksanvol::addU32(reply, 11742, u32(v.volumeType));
  tksanvol::addFlag(reply, 11776, v.tailFlag);
  tksanvol::addFlag(reply, 11613, v.backupFromSnap);
  tksanvol::addFlag(reply, 11698, v.extraFlag);
  tksanvol::addU32(reply, 11694, 0);
  tksanvol::addIdText(reply, kPool, u32(e.scratch->poolId), kPoolText);
}

void addReplicaItems(EvReturnData& reply, const ReplicationVolumeV5Record_t& r) {
  tksanvol::addU32(reply, kReplica, u32(r.replicaId));
  tksanvol::addU32(reply, 11627, u32(r.pointInTime));
  tksanvol::addU32(reply, 11629, u32(r.modificationTime));
  tksanvol::addU32(reply, 11628, u32(r.creationTime));
  tksanvol::addU32(reply, 11631, u32(r.role));
  tksanvol::addFlag(reply, 11688, r.doNotPrune);
  tksanvol::addFlag(reply, 11713, r.item11713);
  tksanvol::addU32(reply, 11632, u32(r.primaryVolumeId));
  tksanvol::addIdText(reply, 11642, u32(r.replicationPolicyId), "");
  tksanvol::addU32(reply, 11751, u32(r.item11751));
  tksanvol::addFlag(reply, 11774, r.item11774);
  tksanvol::addFlag(reply, 11775, r.item11775);
  tksanvol::addU32(reply, 11746, u32(r.item11746));
}

void addDeviceItems(EvReturnData& reply, const ScratchEntry& e, const std::vector<SNRVolumeMountPointRecord_t>& points) {
  const SNRVolumeDeviceNameV4Record_t& d = *e.device;
  std::string clientName;
  ZQClient client(static_cast<unsigned long>(u32(d.hostId)));
  client.getName(clientName, nullptr);  // an unknown client goes out with an empty name
  tksanvol::addHdr12Text(reply, 11633, u32(d.deviceNameId), u32(d.hostId), d.caseSensitive ? 1u : 0u, d.deviceName);
  tksanvol::addIdText(reply, 11602, u32(d.hostId), clientName);
  if (!d.osDeviceName.empty()) tksanvol::addIdText(reply, 11704, 0, d.osDeviceName);
  tksanvol::addFlag(reply, 11703, d.deviceConfigured);
  tksanvol::addFlag(reply, 11723, d.extraFlag);
  tksanvol::addText(reply, 11773, d.accessPath);
  if (isNasVolume(e.volume->volumeType)) tksanvol::addU32(reply, 9223, u32(d.filerClientId));
  for (const SNRVolumeMountPointRecord_t& p : points) {
    if (p.deviceNameId != d.deviceNameId) continue;
    const uint32_t flags = (p.caseSensitive ? 1u : 0u) | (p.extraFlag ? 2u : 0u);
    tksanvol::addHdr12Text(reply, 11653, u32(p.mountPointId), u32(d.hostId), flags, p.mountPath);
  }
  tksanvol::addFlag(reply, 11684, e.volume->usePermanentReplica);
  if (e.permanent) {
    tksanvol::addU32(reply, 11611, u32(e.permanent->deviceIdType));
    tksanvol::addText(reply, 11610, e.permanent->deviceId);
    tksanvol::addU32(reply, 11612, u32(e.permanent->lun));
  }
}

// The volume of the permanent replica of `volumeId`; false after the answer.
bool readPermanentVolume(ReplicaDBClient& db, tksanvol::RequestAnswer& answer, int32_t volumeId,
                         PermanentVolume& out) {
  QueryPermanentReplicaArgs_t args;
  args.volumeId = volumeId;
  QueryPermanentReplicaRet_t replica;
  if (!db.QueryPermanentReplica(args, replica)) {
    answer.lookupFailed(replica.errorText.c_str());
    return false;
  }
  QuerySNRVolumeByIdArgs_t volumeArgs;
  volumeArgs.volumeId = replica.replica.physicalVolumeId;
  QuerySNRVolumeByIdRet_t volume;
  if (!db.QuerySNRVolume(volumeArgs, volume)) {
    answer.lookupFailed(volume.errorText.c_str());
    return false;
  }
  out.deviceIdType = volume.volume.deviceIdType;
  out.deviceId = volume.volume.deviceId;
  out.lun = volume.volume.lun;
  return true;
}

}  // namespace

unsigned long getEventIdFromDelScratchPoolFailure(int code) {
  switch (code) {
    case RemoveRVScratchVolumePoolRet_t::kPoolHasVolumes: return kTextPoolHasVolumes;
    case RemoveRVScratchVolumePoolRet_t::kPoolNamedByPolicy: return kTextPoolNamedByPolicy;
    default: return kTextPoolDeleteFailed;
  }
}

// ---------------------------------------------------------------- pools

long long EvSANVolMgr::onMsgGetRVScratchVolumePools(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagPools;
  rules.replyId = kReplyPools;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupScratchPools(&m); });
}

long long EvSANVolMgr::lookupScratchPools(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagPoolsWorker);
  ReplicaDBClient db(1);
  GetRVScratchVolPoolV3ListRet_t ret;
  if (!db.GetRVScrathVolPoolList(ret)) {
    EvDebug::Debug(kTagPoolsWorker, "%s", ret.errorText.c_str());
    answer.lookupFailed(ret.errorText.c_str());
    return 0;
  }
  for (const RVScratchVolumePoolV3Record_t& pool : ret.pools) {
    tksanvol::addIdText(*this, kPool, u32(pool.poolId), pool.poolName);
    tksanvol::addU32(*this, 11634, u32(pool.item11634));
    tksanvol::addU32(*this, 11635, u32(pool.item11635));
    tksanvol::addIdText(*this, kEngine, u32(pool.snapEngineId), "");
    tksanvol::addU32(*this, kPoolType, u32(pool.poolType));
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgManageRVScratchVolumePools(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagManagePools;
  PoolChange handler;
  return tksanvol::runElementStream(request, rules, handler);
}

// ---------------------------------------------------------------- scratch volumes

long long EvSANVolMgr::onMsgGetRVScratchVolumes(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagVolumes;
  rules.replyId = kReplyVolumes;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupScratchVolumes(&m); });
}

long long EvSANVolMgr::lookupScratchVolumes(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagVolumesWorker);
  ReplicaDBClient db(1);
  QueryRVScratchVolV6Args_t args;
  args.scratchVolumeId = static_cast<int32_t>(request->elementCount);
  QueryRVScratchVolV6Ret_t ret;
  if (!db.QueryRVScratchVol(args, ret)) {
    answer.lookupFailed(ret.errorText.c_str());
    return 0;
  }
  GetQRApplianceListRet_t appliances;
  if (!db.GetQRApplianceList(appliances)) {
    answer.lookupFailed(appliances.errorText.c_str());
    return 0;
  }
  for (const RVScratchVolumeV2Record_t& scratch : ret.scratchVolumes) {
    ScratchEntry e;
    e.scratch = &scratch;
    e.volume = findFirst(ret.volumes, [&](const SNRVolumeRecordV4_t& v) { return v.volumeId == scratch.volumeId; });
    if (e.volume == nullptr) {
      const std::string why =
          "There is no SNRVolume associated with this Scratch volume-" + std::to_string(scratch.volumeId) + ".";
      answer.fail(kTextNoVolume, why.c_str());
      return 0;
    }
    const int32_t volumeId = e.volume->volumeId;
    e.replica = findFirst(ret.replicas,
                          [&](const ReplicationVolumeV5Record_t& r) { return r.physicalVolumeId == volumeId; });
    e.device = findFirst(ret.deviceNames,
                         [&](const SNRVolumeDeviceNameV4Record_t& d) { return d.volumeId == volumeId; });
    if (e.device == nullptr) {
      const std::string why =
          "There is no device name associated with this SNR Volume " + std::to_string(scratch.volumeId) + ".";
      answer.fail(kTextNoDeviceName, why.c_str());
      return 0;
    }
    if (e.volume->backupFromSnap && e.volume->usePermanentReplica) {
      e.permanent.emplace();
      if (!readPermanentVolume(db, answer, volumeId, *e.permanent)) return 0;
    }
    addVolumeItems(*this, e, appliances.appliances);
    if (e.replica != nullptr) addReplicaItems(*this, *e.replica);
    addDeviceItems(*this, e, ret.mountPoints);
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgManageRVScratchVolumes(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagManageVolumes;
  ScratchVolumeChange handler(*this);
  return tksanvol::runElementStream(request, rules, handler);
}
