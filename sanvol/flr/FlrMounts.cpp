// Mounts of file-level-recovery snapshots on a client (operation 1) and
// their unmounts (operation 2), with the mount-point records of the replica
// database.
//
// Three kinds of snapshot: a "/dev" device path, mounted by the client's
// FLR agent; a VSS snapshot, mounted by the client volume service under a
// moniker; an ONTAP snapshot, mounted by the volume service with the
// credentials of its FLR set at a path the client chooses (any other engine
// goes through the volume service like VSS, without the moniker). Every
// client-side call goes to the client's network host name, or its client
// name when it has none.
//
// Values and the texts a mount rewrote (snapshot name, mount path) carry
// over to later records of the request. What was done on the client stays
// done when its record cannot be written.
#include <string>

#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/clientvol/ZQFLRClientApi.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::RecordOutcome;
using tksanvol::flr::beginsWith;
using tksanvol::flr::formatText;

constexpr const char* kTag = "EvSANVolMgr::onMsgManageFLRSnapshotMount";

constexpr unsigned long kTextMountFailed = 0x39000083;    // %1 device name, %2 mount path
constexpr unsigned long kTextMountRecord = 0x39000085;    // %1 mount path
constexpr unsigned long kTextUnmountFailed = 0x39000086;  // %1 mount path
constexpr unsigned long kTextUnmountRecord = 0x39000087;  // %1 mount path

constexpr int kLevelReceived = 7;

class SnapshotMount final : public tksanvol::StreamHandler {
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
        m_host = clientHostOf(m_clientId, m_clientName);
        return true;
      }
      case kElementSnapId:
        m_snapId = tksanvol::readI32(value, length);
        m_hasSnapId = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap id = %d", m_snapId);
        return true;
      case kElementSnapName:
        m_snapName = tksanvol::readText(value, length);
        m_hasSnapName = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap Name = %s.", m_snapName.c_str());
        return true;
      case kElementMountPoint: {
        const tksanvol::IdText mountPoint = tksanvol::flr::readLeadingIdText(value, length);
        m_mountPointId = static_cast<int32_t>(mountPoint.id);
        m_mountPath = mountPoint.text;
        m_hasMountPoint = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap Mount Point = %s, Mount Point Id = %d.",
                          m_mountPath.c_str(), m_mountPointId);
        return true;
      }
      case kElementSnapVolume:
        m_volumeName = tksanvol::readText(value, length);
        m_hasVolumeName = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Snap Vol Name = %s.", m_volumeName.c_str());
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
    event.clearArguments();
    switch (context.operation) {
      case tksanvol::flr::kOperationAdd:
        return mount(context);
      case tksanvol::flr::kOperationRemove:
        return unmount(context);
      default:
        return tksanvol::flr::invalidOperation(context);
    }
  }

 private:
  static RecordOutcome fail(tksanvol::StreamContext& context, unsigned long messageId, const std::string& text,
                            std::initializer_list<std::string> arguments) {
    return tksanvol::flr::failWith(context.answer, messageId, text, arguments);
  }

  RecordOutcome mount(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_hasClient || !m_hasSnapId || !m_hasSnapName || !m_hasMountPoint ||
        !m_hasVolumeName)
      return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                               tksanvol::AnswerForm::OperationResponse, context.operation);
    m_snapName = tksanvol::flr::deviceNameOf(m_snapName);
    ReplicaDBClient replicaDB(1);
    if (beginsWith(m_snapName, "/dev")) {
      ZQFLRClientApi agent(m_host, m_clientId, nullptr);
      if (agent.FLRMountSnap(m_snapName.c_str(), m_mountPath.c_str()) != 0)
        return fail(context, kTextMountFailed,
                    formatText("Failed to mount path %s for snapshot %s on client %s", m_mountPath.c_str(),
                               m_snapName.c_str(), m_clientName.c_str()),
                    {m_snapName, m_mountPath});
    } else {
      QueryCDRSnapBySnapIdRet_t snap;
      if (!replicaDB.QueryCDRSnapBySnapId(QueryCDRSnapBySnapIdArgs_t(m_snapId), snap))
        return fail(context, kTextMountRecord, snap.errorText, {m_mountPath});
      const FLRSnapshotRecord_t& record = snap.snapshot;
      m_snapName = tksanvol::flr::deviceNameOf(record.snapName);
      const std::string device = record.IsVSSSnapshot() ? tksanvol::flr::kVSSMoniker + m_snapName : m_snapName;
      ZQSVCClientSession session(m_host, m_clientId, nullptr, nullptr);
      bool mounted = false;
      if (record.IsONTAPSnapshot()) {
        QueryCPByIdRet_t cp;
        if (!replicaDB.QueryCPById(QueryCPByIdArgs_t(record.cpId), cp))
          return fail(context, kTextMountFailed,
                      formatText("QueryCPById failed with error [%s]", cp.errorText.c_str()),
                      {device, m_mountPath});
        // The set id is kept as a 32-bit number and widened where it is passed on.
        const int32_t flrSetId = static_cast<int32_t>(cp.consistencyPoint.flrSetId);
        EvDebug::Debug(kTag, "FLRSetId [%lu]", static_cast<unsigned long>(static_cast<uint32_t>(flrSetId)));
        std::string user, password;
        tksanvol::flr::GetImpersonation(static_cast<unsigned long long>(static_cast<uint32_t>(flrSetId)), user,
                                        password);
        std::string chosen;
        mounted = session.addVolumeMountPointOntap(device, m_mountPath, record.snapVolumeName, record.snapText3,
                                                   user, password, &chosen, 0, m_locale);
        if (mounted && chosen.empty()) {
          mounted = false;
        } else {
          m_mountPath = chosen;
        }
      } else {
        const std::string& volume = record.IsVSSSnapshot() ? record.snapText3 : m_volumeName;
        mounted = session.addVolumeMountPoint(device, m_mountPath, std::string(), std::string(), nullptr, volume,
                                              m_locale, 0);
      }
      if (!mounted)
        return fail(context, kTextMountFailed,
                    formatText("Failed to mount path %s for snapshot %s on client %s. %s", m_mountPath.c_str(),
                               device.c_str(), m_clientName.c_str(),
                               tksanvol::flr::reasonOf(session.getLastErrorString()).c_str()),
                    {device, m_mountPath});
    }
    AddFLRSnapMountPointArgs_t args;
    args.mountPoint = FLRSnapMountPointRecord_t(-1, m_snapId, m_mountPath.c_str());
    AddFLRSnapMountPointRet_t added;
    if (!replicaDB.AddFLRSnapMountPoint(args, added))
      return fail(context, kTextMountRecord, added.errorText, {m_mountPath});
    MessageInfo& request = context.request();
    const tksanvol::ReplyItem item = tksanvol::ReplyItem::idText(static_cast<uint32_t>(added.mountPointId), m_mountPath);
    if (!EvSANVolMgr::sendOperationResponseWith(request.sequenceNumber, request.socket, context.operation, 1,
                                                "Success", tksanvol::flr::kElementMountPoint, item.data(),
                                                item.length()))
      return RecordOutcome::Failed;
    return RecordOutcome::GoOn;
  }

  RecordOutcome unmount(tksanvol::StreamContext& context) {
    if (!context.hasTarnfoldId || !m_hasClient || !m_hasMountPoint || !m_hasVolumeName) {
      // Answered with the text itself, not a catalogue text.
      return tksanvol::flr::answerWithText(context.answer, tksanvol::RequestAnswer::kMissingInformationLog,
                                           tksanvol::AnswerForm::OperationResponse, context.operation);
    }
    if (beginsWith(m_mountPath, "/")) {
      ZQFLRClientApi agent(m_host, m_clientId, nullptr);
      if (agent.FLRUnmountSnap(m_mountPath.c_str()) != 0)
        return fail(context, kTextUnmountFailed,
                    formatText("Failed to unmount path %s for snapshot on client %s", m_mountPath.c_str(),
                               m_clientName.c_str()),
                    {m_mountPath});
    } else {
      std::string device = m_mountPath;
      std::string volume = m_volumeName;
      int32_t flrSetId = 0;
      if (m_snapId != 0) {
        ReplicaDBClient replicaDB(1);
        QueryCDRSnapBySnapIdRet_t snap;
        if (!replicaDB.QueryCDRSnapBySnapId(QueryCDRSnapBySnapIdArgs_t(m_snapId), snap))
          return fail(context, kTextUnmountFailed, snap.errorText, {m_mountPath});
        const FLRSnapshotRecord_t& record = snap.snapshot;
        if (record.IsONTAPSnapshot()) {
          const bool sharePath = beginsWith(m_volumeName, "\\\\");
          QueryCPByIdRet_t cp;
          if (!replicaDB.QueryCPById(QueryCPByIdArgs_t(record.cpId), cp))
            return fail(context, kTextUnmountFailed, cp.errorText, {m_mountPath});
          flrSetId = static_cast<int32_t>(cp.consistencyPoint.flrSetId);
          if (!sharePath) {
            device = tksanvol::flr::ontapDeviceText(record.snapName, m_mountPath);
            volume = record.snapText3;
          }
          EvDebug::Debug(kTag, "FLRSetId:[%lu] SnapId:[%d] Mount:[%s]",
                         static_cast<unsigned long>(static_cast<uint32_t>(flrSetId)), m_snapId, m_mountPath.c_str());
        }
      }
      ZQSVCClientSession session(m_host, m_clientId, nullptr, nullptr);
      if (!session.removeVolumeMountPoint(device, volume, static_cast<unsigned long>(static_cast<uint32_t>(flrSetId)),
                                          m_locale))
        return fail(context, kTextUnmountFailed,
                    formatText("Failed to remove mount point %s on client %s.", m_mountPath.c_str(),
                               m_clientName.c_str()),
                    {m_mountPath});
    }
    ReplicaDBClient replicaDB(1);
    DeleteFLRSnapMountPointRet_t deleted;
    if (!replicaDB.DeleteFLRSnapMountPoint(DeleteFLRSnapMountPointArgs_t(m_mountPointId), deleted))
      return fail(context, kTextUnmountRecord, deleted.errorText, {m_mountPath});
    context.answer.success(tksanvol::AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

  int32_t m_clientId = 0;
  std::string m_clientName;
  std::string m_host;
  bool m_hasClient = false;
  int32_t m_snapId = 0;
  bool m_hasSnapId = false;
  std::string m_snapName;
  bool m_hasSnapName = false;
  int32_t m_mountPointId = 0;
  std::string m_mountPath;
  bool m_hasMountPoint = false;
  std::string m_volumeName;
  bool m_hasVolumeName = false;
  unsigned long m_locale = 0;
};

}  // namespace

long long EvSANVolMgr::onMsgManageFLRSnapshotMount(MessageInfo* request) {
  SnapshotMount handler;
  return tksanvol::runElementStream(request, tksanvol::flr::mountRules(kTag), handler);
}
