// Network shares of mounted file-level-recovery snapshots: share
// (operation 1) and unshare (operation 2).
//
// Two ways. A plain share is a CIFS share of the snapshot's mount path on
// the client, recorded as a network-share record. An ONTAP snapshot whose
// volume name is a share path ("\\server\...") is published instead: the
// client volume service mounts it under the share name with the FLR set's
// credentials, and the share path goes into the snapshot's own record (and
// a mount-point record is added when the request names none). Unsharing
// undoes the one or the other.
//
// A publishing creates no share record: its reply carries share id 0, so an
// unshare that sends that id back deletes no share record. Values and the
// share name a publishing cut carry over to later records of the request;
// what was done on the client stays when its record cannot be written.
#include <optional>
#include <string>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/tran/StoreStep.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::RecordOutcome;
using tksanvol::flr::beginsWith;
using tksanvol::flr::failWith;
using tksanvol::flr::formatText;
using tksanvol::flr::leafOf;

constexpr const char* kTag = "EvSANVolMgr::onMsgManageFLRSnapshotNetworkShare";

constexpr unsigned long kTextShareFailed = 0x390000e3;    // %1 share name, %2 client name
constexpr unsigned long kTextShareRecord = 0x390000e4;    // %1 share name (when known)
constexpr unsigned long kTextMountRecord = 0x39000085;    // %1 mount path
constexpr unsigned long kTextUnshareFailed = 0x390000e6;  // %1 share name, %2 client name
constexpr unsigned long kTextUnmountRecord = 0x39000087;  // %1 mount path

constexpr unsigned int kElementRemark = tktag::kShareRemark;
constexpr unsigned int kElementMaxConnections = tktag::kShareMaxConnections;
constexpr unsigned int kElementWriteable = tktag::kWriteableSnapshot;
constexpr unsigned int kElementSnapType = tktag::kSnapshotType;
constexpr int32_t kSnapTypeONTAP = 4;

constexpr int kLevelReceived = 7;

bool isSharePath(const std::string& volume) { return beginsWith(volume, "\\\\"); }

class NetworkShare final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    using namespace tksanvol::flr;
    switch (type) {
      case kElementClient: {
        const tksanvol::IdText client = tksanvol::flr::readLeadingIdText(value, length);
        m_clientId = static_cast<int32_t>(client.id);
        m_clientName = client.text;
        m_hasClient = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Client Id=%d, Client Name = %s.", m_clientId,
                          m_clientName.c_str());
        return true;
      }
      case kElementRemark:
        m_remark = tksanvol::readText(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Remark = %s.", m_remark->c_str());
        return true;
      case kElementMountPoint: {
        const tksanvol::IdText mountPoint = tksanvol::flr::readLeadingIdText(value, length);
        m_mountPointId = static_cast<int32_t>(mountPoint.id);
        m_mountPath = mountPoint.text;
        m_hasMountPoint = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap Mount Point = %s.", m_mountPath.c_str());
        return true;
      }
      case kElementShare: {
        const tksanvol::IdText share = tksanvol::flr::readLeadingIdText(value, length);
        m_shareId = static_cast<int32_t>(share.id);
        m_shareName = share.text;
        m_hasShare = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Share Name = %s, Share id = %d.", m_shareName.c_str(),
                          m_shareId);
        return true;
      }
      case kElementMaxConnections:
        m_maxConnections = tksanvol::readI32(value, length);
        m_hasMaxConnections = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Max Connections = %d", m_maxConnections);
        return true;
      case kElementSnapName:
        m_snapName = tksanvol::readText(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap Name = %s.", m_snapName.c_str());
        return true;
      case kElementSnapVolume:
        m_volumeName = tksanvol::readText(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap Vol Name = %s.", m_volumeName.c_str());
        return true;
      case kElementSnapId:
        m_snapId = tksanvol::readI32(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap id = %d", m_snapId);
        return true;
      case kElementWriteable:
        m_writeable = tksanvol::readI32(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Create Writeable Snap flag = %d", m_writeable);
        return true;
      case kElementSnapType:
        m_snapType = tksanvol::readI32(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snapshot type = %d", m_snapType);
        return true;
      default:
        return false;
    }
  }
  // Every operation comes to onRecord, which answers an invalid one itself.
  bool supportsOperation(unsigned long long) const override { return true; }
  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    EvEvent& event = context.answer.event();
    event.setLocaleId(context.request().sequenceNumber);
    m_locale = event.getLocaleId();
    switch (context.operation) {
      case tksanvol::flr::kOperationAdd:
        return share(context);
      case tksanvol::flr::kOperationRemove:
        return unshare(context);
      default:
        return tksanvol::flr::invalidOperation(context);
    }
  }

 private:
  bool publishing() const { return m_snapType == kSnapTypeONTAP && isSharePath(m_volumeName); }

  // Looks the snapshot and its consistency point up; false when either
  // lookup failed, with its error text in `error`.
  bool lookUp(ReplicaDBClient& replicaDB, FLRSnapshotRecord_t& snapshot, int32_t& flrSetId, std::string& error) {
    QueryCDRSnapBySnapIdRet_t snap;
    if (!replicaDB.QueryCDRSnapBySnapId(QueryCDRSnapBySnapIdArgs_t(m_snapId), snap)) {
      error = snap.errorText;
      return false;
    }
    snapshot = snap.snapshot;
    QueryCPByIdRet_t cp;
    if (!replicaDB.QueryCPById(QueryCPByIdArgs_t(snapshot.cpId), cp)) {
      error = cp.errorText;
      return false;
    }
    flrSetId = static_cast<int32_t>(cp.consistencyPoint.flrSetId);
    EvDebug::Debug(kTag, "FLRSetId is %lu", static_cast<unsigned long>(static_cast<uint32_t>(flrSetId)));
    return true;
  }

  RecordOutcome share(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_hasClient || !m_hasMountPoint || !m_hasShare || !m_hasMaxConnections)
      return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                               tksanvol::AnswerForm::OperationResponse, context.operation);
    ReplicaDBClient replicaDB(1);
    ZQSVCClientSession session(m_clientName, m_clientId, nullptr, nullptr);
    int32_t replyShareId = 0;
    if (publishing()) {
      m_shareName = leafOf(m_shareName);
      FLRSnapshotRecord_t snapshot;
      int32_t flrSetId = 0;
      std::string error;
      if (!lookUp(replicaDB, snapshot, flrSetId, error))
        return failWith(context.answer, kTextShareFailed, error, {m_shareName, m_clientName});
      bool published = false;
      std::string chosen;
      if (snapshot.IsONTAPSnapshot()) {
        std::string user, password;
        tksanvol::flr::GetImpersonation(static_cast<unsigned long long>(static_cast<uint32_t>(flrSetId)), user,
                                        password);
        published = session.addVolumeMountPointOntap(m_snapName, m_shareName, snapshot.snapVolumeName,
                                                     snapshot.snapText3, user, password, &chosen, m_writeable,
                                                     m_locale) &&
                    !chosen.empty();
      }
      if (!published)
        return failWith(context.answer, kTextShareFailed,
                        formatText("Failed to add network share %s for mount point %s on client %s. %s",
                                   m_shareName.c_str(), m_snapName.c_str(), m_clientName.c_str(),
                                   tksanvol::flr::reasonOf(session.getLastErrorString()).c_str()),
                        {m_shareName, m_clientName});
      // The mount point's record and the snapshot's share path are stored
      // in one step: a failure (or a kill) between them keeps neither.
      tktran::StoreStep step(kTag);
      if (!step.begin()) return failWith(context.answer, kTextMountRecord, step.error(), {m_mountPath});
      if (m_mountPointId <= 0) {
        AddFLRSnapMountPointArgs_t args;
        args.mountPoint = FLRSnapMountPointRecord_t(-1, m_snapId, chosen.c_str());
        AddFLRSnapMountPointRet_t added;
        if (!replicaDB.AddFLRSnapMountPoint(args, added))
          return failWith(context.answer, kTextMountRecord, added.errorText, {m_mountPath});
        m_mountPointId = added.mountPointId;
      }
      if (m_mountPointId > 0) {
        snapshot.sharePath = "\\\\" + tksanvol::flr::serverPartOf(snapshot.snapText3) + "\\" + m_shareName;
        UpdateFLRSnapshotArgs_t update;
        update.snapshots.push_back(snapshot);
        UpdateFLRSnapshotRet_t updated;
        if (!replicaDB.UpdateFLRSnapshot(update, updated))
          return failWith(context.answer, kTextShareRecord, updated.errorText, {});
      }
      if (!step.commit()) return failWith(context.answer, kTextShareRecord, step.error(), {});
    } else {
      const std::string* remark = m_remark ? &*m_remark : nullptr;
      if (!session.AddCIFSShare(m_shareName, m_mountPath, m_maxConnections, remark))
        return failWith(context.answer, kTextShareFailed,
                        formatText("Failed to add network share %s for mount point %s  on client %s. %s",
                                   m_shareName.c_str(), m_mountPath.c_str(), m_clientName.c_str(),
                                   tksanvol::flr::reasonOf(session.getLastErrorString()).c_str()),
                        {m_shareName, m_clientName});
      AddFLRSnapNetworkShareArgs_t args;
      args.share = FLRSnapNetworkShareRecord_t(-1, m_mountPointId, m_shareName.c_str());
      AddFLRSnapNetworkShareRet_t added;
      if (!replicaDB.AddFLRSnapNetworkShare(args, added))
        return failWith(context.answer, kTextShareRecord, added.errorText, {m_shareName});
      replyShareId = added.shareId;
    }
    MessageInfo& request = context.request();
    const tksanvol::ReplyItem item = tksanvol::ReplyItem::idText(static_cast<uint32_t>(replyShareId), m_shareName);
    if (!EvSANVolMgr::sendOperationResponseWith(request.sequenceNumber, request.socket, context.operation, 1,
                                                "Success", tksanvol::flr::kElementShare, item.data(), item.length()))
      return RecordOutcome::Failed;
    return RecordOutcome::GoOn;
  }

  // The device text of an unpublishing: where the share was published.
  std::string unpublishDeviceText() const {
    const std::string leaf = isSharePath(m_shareName) ? leafOf(m_shareName) : m_shareName;
    if (!m_mountPath.empty()) return m_mountPath + "/" + leaf;
    const std::size_t slash = m_volumeName.find('\\', 2);
    if (m_volumeName.size() > 2 && slash != std::string::npos)
      return "/" + m_volumeName.substr(2, slash - 2) + "/" + m_volumeName.substr(slash + 1) + "/" + leaf;
    return std::string();
  }

  RecordOutcome unshare(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_hasClient || !m_hasShare)
      return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                               tksanvol::AnswerForm::OperationResponse, context.operation);
    ReplicaDBClient replicaDB(1);
    ZQSVCClientSession session(m_clientName, m_clientId, nullptr, nullptr);
    FLRSnapshotRecord_t snapshot;
    if (publishing()) {
      int32_t flrSetId = 0;
      std::string error;
      if (!lookUp(replicaDB, snapshot, flrSetId, error))
        return failWith(context.answer, kTextUnshareFailed, error, {m_shareName, m_clientName});
      if (!session.removeVolumeMountPoint(unpublishDeviceText(), m_volumeName,
                                          static_cast<unsigned long>(static_cast<uint32_t>(flrSetId)), m_locale))
        return failWith(context.answer, kTextUnshareFailed,
                        formatText("Failed to remove mount point %s on client %s.", m_mountPath.c_str(),
                                   m_clientName.c_str()),
                        {m_shareName, m_clientName});
    } else if (!session.DelCIFSShare(m_shareName)) {
      return failWith(context.answer, kTextUnshareFailed,
                      formatText("Failed to remove share %s on client %s.", m_shareName.c_str(), m_clientName.c_str()),
                      {m_shareName, m_clientName});
    }
    if (m_shareId > 0) {
      DeleteFLRSnapNetworkShareRet_t deleted;
      if (!replicaDB.DeleteFLRSnapNetworkShare(DeleteFLRSnapNetworkShareArgs_t(m_shareId), deleted))
        return tksanvol::flr::answerWithText(context.answer, deleted.errorText);
    }
    if (m_snapType == kSnapTypeONTAP && snapshot.snapId > 0 && !snapshot.sharePath.empty()) {
      snapshot.sharePath.clear();
      UpdateFLRSnapshotArgs_t update;
      update.snapshots.push_back(snapshot);
      UpdateFLRSnapshotRet_t updated;
      if (!replicaDB.UpdateFLRSnapshot(update, updated))
        return tksanvol::flr::answerWithText(context.answer, updated.errorText);
    }
    if (m_mountPointId > 0 && isSharePath(m_volumeName) && m_snapType == kSnapTypeONTAP) {
      DeleteFLRSnapMountPointRet_t deleted;
      if (!replicaDB.DeleteFLRSnapMountPoint(DeleteFLRSnapMountPointArgs_t(m_mountPointId), deleted))
        return failWith(context.answer, kTextUnmountRecord, deleted.errorText, {m_mountPath});
    }
    context.answer.success(tksanvol::AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

  int32_t m_clientId = 0;
  std::string m_clientName;
  bool m_hasClient = false;
  std::optional<std::string> m_remark;  // absent: no remark object at all
  int32_t m_mountPointId = 0;
  std::string m_mountPath;
  bool m_hasMountPoint = false;
  int32_t m_shareId = 0;
  std::string m_shareName;
  bool m_hasShare = false;
  int32_t m_maxConnections = 0;
  bool m_hasMaxConnections = false;
  std::string m_snapName;
  std::string m_volumeName;
  int32_t m_snapId = 0;
  int32_t m_writeable = 0;
  int32_t m_snapType = 0;
  unsigned long m_locale = 0;
};

}  // namespace

long long EvSANVolMgr::onMsgManageFLRSnapshotNetworkShare(MessageInfo* request) {
  NetworkShare handler;
  return tksanvol::runElementStream(request, tksanvol::flr::mountRules(kTag), handler);
}
