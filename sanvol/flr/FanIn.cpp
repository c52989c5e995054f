// Fan-in recovery points: the listing of a destination volume's recovery
// points, the listing of the source and destination pairs under one of
// them, and the operations on one (mount and unmount its snapshot, delete
// its consistency point, publish an ONTAP snapshot under a share and take
// the share down again). All three are XML requests over one frame: the
// text holds the request on entry and the reply on return.
//
// Every reply is written into the text: the handler's own reply, or the
// generic reply (code -1 and a text) when the request failed, 0 when an
// operation succeeded. A failure reply carries -1 while the handler returns
// 0: the result tells the host whether a reply was written, the reply tells
// the console how the request went. Some failures of the operations are in addition answered on the
// request's socket with the one-call failure answer (status 0); the generic
// reply then carries -1 and no text.
//
// The operations work on the recovery point's destination client (named by
// its first fan-in detail) and keep the replica database in step:
// operation 0 records the mount point before it mounts and removes the record when
// the mount does not happen; 3 mounts first and undoes the mount and its
// record when a later step fails; 1 and 4 remove on the client first and
// the records after it. Nothing here runs in a transaction of its own: each
// replica database call is whole on its own. Two requests on one recovery
// point are not serialised against each other.
#include <cstdint>
#include <string>

#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "platform/client/ZQClient.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/tran/StoreStep.h"
#include "platform/xml/FanInMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using namespace EVGui;
using tksanvol::flr::beginsWith;
using tksanvol::flr::formatText;
using ZQGui::GenericResp;

constexpr const char* kListTag = "EvSANVolMgr::onMsgGetFanInRP";
constexpr const char* kPairTag = "EvSANVolMgr::onMsgGetFanInRPPair";
constexpr const char* kManageTag = "EvSANVolMgr::onMsgManageFanInRP";

// Catalogue ids of the generic reply (request's locale).
constexpr unsigned long kTextXmlInitialize = 0x23000451;
constexpr unsigned long kTextXmlUnreadable = 0x23000452;  // also an operation above 4
constexpr unsigned long kTextDeleteCP = 0x39000088;
constexpr unsigned long kTextRecoveryPoints = 0x390000f6;  // %1 volume name, %2 host name
constexpr unsigned long kTextDetails = 0x390000f7;
constexpr unsigned long kTextSnapshot = 0x390000f8;
constexpr unsigned long kTextHostName = 0x390000f9;
// Catalogue ids of the answers on the socket.
constexpr unsigned long kTextMountFailed = 0x39000083;    // %1 source text, %2 mount path
constexpr unsigned long kTextMountRecord = 0x39000085;    // %1 mount path
constexpr unsigned long kTextUnmountFailed = 0x39000086;  // %1 the mount point's path
constexpr unsigned long kTextUnmountRecord = 0x39000087;  // %1 the mount point's path
constexpr unsigned long kTextShareRecord = 0x390000e4;
constexpr unsigned long kTextShareRemoval = 0x390000e5;  // %1 the mount point's path, or none

constexpr std::size_t kTextSize = 1024;
constexpr long long kNotWritten = -1;

// Operations of the operation request.
enum Operation : uint32_t { kMount = 0, kUnmount = 1, kDeleteCP = 2, kPublish = 3, kUnpublish = 4 };

// ---------------------------------------------------------------- the XML frame

// One XML request: its record, the locale of its texts and the generic
// reply, whose code starts at -1.
class XmlCall {
 public:
  XmlCall(MessageInfo& request, const char* tag) : m_request(request), m_tag(tag), m_event(tag) {
    m_event.setLocaleId(request.sequenceNumber);
    m_locale = m_event.getLocaleId();
    setCode(GenericResp::kCodeFailure);
  }

  MessageInfo& request() { return m_request; }
  const char* tag() const { return m_tag; }
  unsigned long locale() const { return m_locale; }
  GenericResp& generic() { return m_generic; }

  void setCode(long long code) {
    m_generic.setint64(GenericResp::kCode.ordinal, GenericResp::kCode.tag, code, GenericResp::kClassHash,
                       GenericResp::kCode.hash);
  }
  // The generic reply with a text of its own; the reply to write.
  const CNMessageBase& failWithText(const std::string& text) {
    m_generic.setstring(GenericResp::kText.ordinal, GenericResp::kText.tag, text, GenericResp::kClassHash,
                        GenericResp::kText.hash);
    return m_generic;
  }
  // The generic reply with the catalogue text of `messageId`.
  template <class... Args>
  const CNMessageBase& fail(unsigned long messageId, const Args&... arguments) {
    char text[kTextSize] = {};
    EvGetLocText(messageId, text, sizeof text, m_locale, arguments...);
    return failWithText(text);
  }

 private:
  MessageInfo& m_request;
  const char* m_tag;
  EvEvent m_event;
  unsigned long m_locale = 0;
  GenericResp m_generic;
};

// The frame of the three requests: reads the request into a `Request`,
// lets `handle` (const CNMessageBase&(XmlCall&, const Request&)) choose the
// reply, and writes the reply into the text.
template <class Request, class Handle>
long long runXml(const char* tag, MessageInfo* record, std::string& text, Handle&& handle) {
  if (record == nullptr) {
    EvDebug::Debug(tag, "%s", "Bad Parameter Received.");
    return kNotWritten;
  }
  XmlCall call(*record, tag);
  Request request;
  const CNMessageBase* reply = &call.generic();
  const int initialized = CNMessageBase::Initialize();
  if (initialized != 0) {
    EvDebug::Error(tag, "Error [%d] return from CNMessageBase::Initialize.", initialized);
    call.fail(kTextXmlInitialize);
  } else if (const int read = request.unserialize(text); read != 0) {
    EvDebug::Error(tag, "Error [%d] return from %s::unserialize.", read, Request::kName);
    call.fail(kTextXmlUnreadable);
  } else {
    reply = &handle(call, static_cast<const Request&>(request));
  }
  const int written = reply->serialize(text, false);
  if (written != 0) {
    EvDebug::Error(tag, "Error [%d] return from %s::serialize.", written, reply->getClassName().c_str());
    // Nothing was written: the host is told so, whatever the operation did.
    text.clear();
    return kNotWritten;
  }
  return 0;
}

// ---------------------------------------------------------------- recovery points

// A network volume name cut after its share: "\\server\share\dir" looks
// up "\\server\share". False for a name that is no network path.
bool cutNetworkPath(std::string& name) {
  if (!beginsWith(name, "\\\\")) return false;
  const std::size_t server = name.find('\\', 2);
  if (server != std::string::npos) {
    const std::size_t share = name.find('\\', server + 1);
    if (share != std::string::npos) name.erase(share);
  }
  return true;
}

// Where a recovery point of a network volume is published: the first
// share's name, else the first snapshot's share path, else its own path.
std::string publishedPathOf(ReplicaDBClient& replicaDB, const RPInfo1Record_t& point) {
  QueryFLRSnapshotsByCPIdRet_t found;
  if (replicaDB.QueryFLRSnapshotsByCPId(QueryFLRSnapshotsByCPIdArgs_t(point.rpId), found)) {
    if (!found.shares.empty() && !found.shares.front().shareName.empty()) return found.shares.front().shareName;
    if (!found.snapshots.empty() && !found.snapshots.front().sharePath.empty())
      return found.snapshots.front().sharePath;
  }
  return point.mountPath;
}

const CNMessageBase& listRecoveryPoints(XmlCall& call, const CDRFanInGetRecoveryPointsReq& request,
                                        CDRFanInGetRecoveryPointsResp& reply) {
  using Req = CDRFanInGetRecoveryPointsReq;
  const int32_t clientId =
      static_cast<int32_t>(request.getint64(Req::kDestClientId.tag, Req::kClassHash, Req::kDestClientId.hash));
  const std::string& volume =
      request.getstringByRef(Req::kVolumeName.ordinal, Req::kVolumeName.tag, Req::kClassHash, Req::kVolumeName.hash);
  std::string lookedUp = volume;
  const bool network = cutNetworkPath(lookedUp);

  ReplicaDBClient replicaDB(1);
  QueryRPByDstClientIdAndVolNameRet_t found;
  if (!replicaDB.QueryRPByDstClientIdAndVolName(QueryRPByDstClientIdAndVolNameArgs_t(clientId, lookedUp, false),
                                                found)) {
    EvDebug::Error(call.tag(), "Error getting FAN in RPS for volume [%s] in client id [%lu]", volume.c_str(),
                   static_cast<unsigned long>(static_cast<uint32_t>(clientId)));
    std::string host;
    ZQClient(static_cast<unsigned long>(static_cast<uint32_t>(clientId))).getNetworkHostname(host, nullptr);
    if (host.empty()) host = "Unknown";
    return call.fail(kTextRecoveryPoints, volume, host);
  }
  using Resp = CDRFanInGetRecoveryPointsResp;
  using Item = CDRFanInRecoveryPoint;
  tkxml::MessageList& list = reply.getlistobject(Resp::kRecoveryPoints.ordinal, Resp::kRecoveryPoints.tag,
                                                 Resp::kClassHash, Resp::kRecoveryPoints.hash, true);
  Item item;
  for (const RPInfo1Record_t& point : found.recoveryPoints) {
    const bool mounted = !point.mountPath.empty();
    const std::string path = network && mounted ? publishedPathOf(replicaDB, point) : point.mountPath;
    item.setint64(Item::kId.ordinal, Item::kId.tag, point.rpId, Item::kClassHash, Item::kId.hash);
    item.setstring(Item::kText.ordinal, Item::kText.tag, point.rpText, Item::kClassHash, Item::kText.hash);
    item.setint64(Item::kValue.ordinal, Item::kValue.tag, point.rpValue1, Item::kClassHash, Item::kValue.hash);
    item.setint64(Item::kMounted.ordinal, Item::kMounted.tag, mounted ? 1 : 0, Item::kClassHash, Item::kMounted.hash);
    item.setstring(Item::kPath.ordinal, Item::kPath.tag, path, Item::kClassHash, Item::kPath.hash);
    item.setint64(Item::kSecondValue.ordinal, Item::kSecondValue.tag, point.rpValue2, Item::kClassHash,
                  Item::kSecondValue.hash);
    list.push_back(item);
  }
  return reply;
}

// ---------------------------------------------------------------- pairs

void setPair(CNMessageBase& pairInfo, const tkxml::FieldDef& field, int32_t id, const std::string& name) {
  CNMessageBase& pair = pairInfo.getObjectAccessor(true, true, field.ordinal, field.tag, CDRFanInPairInfo::kClassHash,
                                                   field.hash, field.ns, field.cls);
  pair.setint64(IdName::kId.ordinal, IdName::kId.tag, id, IdName::kClassHash, IdName::kId.hash);
  pair.setstring(IdName::kIdName.ordinal, IdName::kIdName.tag, name, IdName::kClassHash, IdName::kIdName.hash);
}

const CNMessageBase& listPairs(XmlCall& call, const CDRFanInGetPairsUnderRecoveryPointReq& request,
                               CDRFanInGetPairsUnderRecoveryPointResp& reply) {
  using Req = CDRFanInGetPairsUnderRecoveryPointReq;
  const int32_t rpId =
      static_cast<int32_t>(request.getint64(Req::kRecoveryPointId.tag, Req::kClassHash, Req::kRecoveryPointId.hash));
  ReplicaDBClient replicaDB(1);
  QueryFanInDetailInfoByRPIdRet_t found;
  if (!replicaDB.QueryFanInRPDetails(QueryFanInDetailInfoByRPIdArgs_t(rpId), found)) {
    EvDebug::Error(call.tag(), "Error getting FAN in details for RP [%d]", rpId);
    return call.fail(kTextDetails);
  }
  using Resp = CDRFanInGetPairsUnderRecoveryPointResp;
  using Item = CDRFanInPairInfo;
  tkxml::MessageList& list =
      reply.getlistobject(Resp::kPairs.ordinal, Resp::kPairs.tag, Resp::kClassHash, Resp::kPairs.hash, true);
  Item item;
  for (const FanInDetail_t& detail : found.details) {
    item.setstring(Item::kFirstText.ordinal, Item::kFirstText.tag, detail.text1, Item::kClassHash,
                   Item::kFirstText.hash);
    item.setstring(Item::kSecondText.ordinal, Item::kSecondText.tag, detail.text2, Item::kClassHash,
                   Item::kSecondText.hash);
    setPair(item, Item::kSecondPair, detail.value2, detail.text4);
    setPair(item, Item::kFirstPair, detail.value1, detail.text3);
    list.push_back(item);
  }
  return reply;
}

// ---------------------------------------------------------------- operations

// What the operations need of the recovery point, read in the preparation.
struct Target {
  int32_t rpId = -1;
  std::string mountPath;  // the request's
  bool writeable = false;
  FLRSnapshotRecord_t snapshot;
  QueryFLRSnapshotsByCPIdRet_t records;  // mount points, shares, pair paths
  int32_t clientId = -1;
  std::string host;
};

class RecoveryPointOperation {
 public:
  RecoveryPointOperation(XmlCall& call, Target& target)
      : m_call(call),
        m_target(target),
        m_answer(call.request(), call.tag()),
        m_session(target.host, target.clientId, nullptr, nullptr) {}

  const CNMessageBase& run(uint32_t operation) {
    switch (operation) {
      case kMount:
        return mount();
      case kUnmount:
        return unmount();
      case kPublish:
        return publish();
      default:
        return unpublish();
    }
  }

 private:
  // A failure answered on the socket; the generic reply keeps -1 and no text.
  const CNMessageBase& answerOnSocket(unsigned long messageId, const std::string& explanation,
                                      std::initializer_list<std::string> arguments) {
    tksanvol::flr::failWith(m_answer, messageId, explanation, arguments);
    return m_call.generic();
  }
  const CNMessageBase& succeed() {
    m_call.setCode(GenericResp::kCodeSuccess);
    return m_call.generic();
  }
  // The consistency point's FLR set; false (answered 0x390000f8) when it
  // cannot be read.
  bool flrSetOf(uint64_t& flrSetId) {
    QueryCPByIdRet_t found;
    if (!m_replicaDB.QueryCPById(QueryCPByIdArgs_t(m_target.rpId), found)) {
      EvDebug::Error(m_call.tag(), "QueryCPById failed:[%s]", found.errorText.c_str());
      return false;
    }
    flrSetId = found.consistencyPoint.flrSetId;
    return true;
  }
  // Removes a mount-point record this request added; a failure is only
  // logged (as a clean-up of a publishing when `publishing`).
  void dropMountRecord(int32_t mountPointId, bool publishing = false) {
    DeleteFLRSnapMountPointRet_t deleted;
    if (m_replicaDB.DeleteFLRSnapMountPoint(DeleteFLRSnapMountPointArgs_t(mountPointId), deleted)) return;
    if (publishing) {
      EvDebug::Error(m_call.tag(), "Error cleaning up failed mount:[%s]", deleted.errorText.c_str());
    } else {
      EvDebug::Error(m_call.tag(), "%s", deleted.errorText.c_str());
    }
  }
  std::string reason() const { return tksanvol::flr::reasonOf(m_session.getLastErrorString()); }

  // Operation 0: mounts the recovery point's snapshot at the request's path.
  const CNMessageBase& mount() {
    const FLRSnapshotRecord_t& snapshot = m_target.snapshot;
    AddFLRSnapMountPointArgs_t args;
    args.mountPoint = FLRSnapMountPointRecord_t(-1, snapshot.snapId, m_target.mountPath.c_str());
    AddFLRSnapMountPointRet_t added;
    if (!m_replicaDB.AddFLRSnapMountPoint(args, added))
      return answerOnSocket(kTextMountRecord, added.errorText, {m_target.mountPath});
    const std::string device = snapshot.IsVSSSnapshot() ? tksanvol::flr::kVSSMoniker + snapshot.snapName
                                                        : tksanvol::flr::deviceNameOf(snapshot.snapName);
    bool mounted = false;
    if (snapshot.IsONTAPSnapshot()) {
      uint64_t flrSetId = 0;
      if (!flrSetOf(flrSetId)) {
        // Nothing was mounted: the record added for it goes again.
        dropMountRecord(added.mountPointId);
        return m_call.fail(kTextSnapshot);
      }
      std::string user, password, chosen;
      tksanvol::flr::lockDataOf(flrSetId, user, password);
      mounted = m_session.addVolumeMountPointOntap(device, m_target.mountPath, snapshot.snapVolumeName,
                                                   snapshot.snapText3, user, password, &chosen, 0, m_call.locale());
    } else {
      mounted = m_session.addVolumeMountPoint(device, m_target.mountPath, std::string(), std::string(), nullptr,
                                              snapshot.snapText3, m_call.locale(), 0);
    }
    if (mounted) return succeed();
    answerOnSocket(kTextMountFailed,
                   formatText("Failed to mount path %s for snapshot %s on client %s. %s", m_target.mountPath.c_str(),
                              device.c_str(), m_target.host.c_str(), reason().c_str()),
                   {snapshot.snapText3, m_target.mountPath});
    dropMountRecord(added.mountPointId);
    return m_call.generic();
  }

  // Without a mount point there is nothing to unmount: said with the host.
  const CNMessageBase& noMountPoint() {
    return m_call.failWithText(formatText("Failed to remove mount point on client %s.", m_target.host.c_str()));
  }

  // Operation 1: unmounts the recovery point's mount and removes its record.
  const CNMessageBase& unmount() {
    if (m_target.records.mountPoints.empty()) return noMountPoint();
    const FLRSnapshotRecord_t& snapshot = m_target.snapshot;
    const FLRSnapMountPointRecord_t& mountPoint = m_target.records.mountPoints.front();
    std::string device = mountPoint.mountPath;
    uint64_t flrSetId = 0;
    if (snapshot.IsONTAPSnapshot()) {
      // A pair without a path is no network path.
      const bool network =
          !m_target.records.pairPaths.empty() && beginsWith(m_target.records.pairPaths.front().pairPath, "\\\\");
      if (!flrSetOf(flrSetId)) return m_call.fail(kTextSnapshot);
      if (!network) device = tksanvol::flr::ontapDeviceText(snapshot.snapName, mountPoint.mountPath);
    }
    if (!m_session.removeVolumeMountPoint(device, snapshot.snapText3, static_cast<unsigned long>(flrSetId),
                                          m_call.locale()))
      return answerOnSocket(kTextUnmountFailed,
                            formatText("Failed to remove mount point %s on client %s.", mountPoint.mountPath.c_str(),
                                       m_target.host.c_str()),
                            {mountPoint.mountPath});
    DeleteFLRSnapMountPointRet_t deleted;
    if (!m_replicaDB.DeleteFLRSnapMountPoint(DeleteFLRSnapMountPointArgs_t(mountPoint.mountPointId), deleted))
      return answerOnSocket(kTextUnmountRecord, deleted.errorText, {mountPoint.mountPath});
    return succeed();
  }

  // Operation 3: mounts the ONTAP snapshot and publishes it under the share
  // named by the request's path; a later step failing undoes the earlier.
  const CNMessageBase& publish() {
    FLRSnapshotRecord_t snapshot = m_target.snapshot;
    uint64_t flrSetId = 0;
    if (!flrSetOf(flrSetId)) return m_call.fail(kTextSnapshot);
    std::string user, password, chosen;
    tksanvol::flr::lockDataOf(flrSetId, user, password);
    const bool mounted =
        m_session.addVolumeMountPointOntap(snapshot.snapName, m_target.mountPath, snapshot.snapVolumeName,
                                           snapshot.snapText3, user, password, &chosen, m_target.writeable ? 1 : 0,
                                           m_call.locale()) &&
        !chosen.empty();
    if (!mounted)
      return answerOnSocket(kTextMountFailed,
                            formatText("Failed to mount path %s for snapshot %s on client %s. %s",
                                       m_target.mountPath.c_str(), snapshot.snapName.c_str(), m_target.host.c_str(),
                                       reason().c_str()),
                            {snapshot.snapText3, m_target.mountPath});
    // The mount point's record and the snapshot's share path are stored in
    // one step: a failure (or a kill) between them keeps neither.
    tktran::StoreStep step(m_call.tag());
    AddFLRSnapMountPointArgs_t args;
    args.mountPoint = FLRSnapMountPointRecord_t(-1, snapshot.snapId, chosen.c_str());
    AddFLRSnapMountPointRet_t added;
    if (!step.begin()) {
      answerOnSocket(kTextMountRecord, step.error(), {m_target.mountPath});
    } else if (!m_replicaDB.AddFLRSnapMountPoint(args, added)) {
      answerOnSocket(kTextMountRecord, added.errorText, {m_target.mountPath});
    } else {
      snapshot.sharePath = "\\\\" + tksanvol::flr::serverPartOf(snapshot.snapText3) + "\\" + m_target.mountPath;
      UpdateFLRSnapshotArgs_t update;
      update.snapshots.push_back(snapshot);
      UpdateFLRSnapshotRet_t updated;
      if (!m_replicaDB.UpdateFLRSnapshot(update, updated)) {
        answerOnSocket(kTextShareRecord, updated.errorText, {});
        dropMountRecord(added.mountPointId, true);
      } else if (step.commit()) {
        return succeed();
      } else {
        answerOnSocket(kTextShareRecord, step.error(), {});
      }
    }
    if (!m_session.removeVolumeMountPoint(chosen, snapshot.snapVolumeName, static_cast<unsigned long>(flrSetId),
                                          m_call.locale()))
      EvDebug::Error(m_call.tag(), "Error removing share on cleanup:[%s]", m_session.getLastErrorString().c_str());
    return m_call.generic();
  }

  // Where operation 4 finds the published share on the client; empty when
  // no rule applies.
  std::string shareRemovalPath(const FLRSnapMountPointRecord_t& mountPoint) const {
    const QueryFLRSnapshotsByCPIdRet_t& records = m_target.records;
    if (!records.shares.empty() && records.shares.front().mountPointId == mountPoint.mountPointId)
      return mountPoint.mountPath + "/" + tksanvol::flr::leafOf(records.shares.front().shareName);
    const FLRSnapshotRecord_t& snapshot = m_target.snapshot;
    if (mountPoint.snapId != snapshot.snapId) return std::string();
    // "\\server\share": what follows the backslash after the server.
    std::string shareName;
    const std::size_t slash = snapshot.sharePath.size() > 2 ? snapshot.sharePath.find('\\', 2) : std::string::npos;
    if (slash != std::string::npos) shareName = snapshot.sharePath.substr(slash + 1);
    if (beginsWith(mountPoint.mountPath, "/")) return mountPoint.mountPath + "/" + shareName;
    const std::string& source = snapshot.snapText3;
    const std::size_t first = source.find(" / ");
    const std::string server = tksanvol::flr::serverPartOf(source);
    std::string volume;
    if (first != std::string::npos) {
      const std::size_t second = source.find(" / ", first + 3);
      volume = source.substr(first + 3, second == std::string::npos ? std::string::npos : second - first - 3);
    }
    if (shareName.empty() || volume.empty()) return std::string();
    return "/" + server + "/" + volume + "/" + shareName;
  }

  // Operation 4: takes the published share down with its mount, then its
  // records and the snapshot's share path.
  const CNMessageBase& unpublish() {
    const QueryFLRSnapshotsByCPIdRet_t& records = m_target.records;
    if (records.mountPoints.empty()) return noMountPoint();
    const FLRSnapMountPointRecord_t& mountPoint = records.mountPoints.front();
    uint64_t flrSetId = 0;
    if (!flrSetOf(flrSetId)) return m_call.fail(kTextSnapshot);
    const std::string path = shareRemovalPath(mountPoint);
    if (path.empty()) {
      EvDebug::Error(m_call.tag(),
                     "Could not get mount point info to delete shared UNC path. Mounts:[%d] Shares:[%d] "
                     "FirstMount:[%s] FirstShare:[%s]",
                     static_cast<int>(records.mountPoints.size()), static_cast<int>(records.shares.size()),
                     mountPoint.mountPath.c_str(), records.shares.empty() ? "" : records.shares.front().shareName.c_str());
      return m_call.fail(kTextSnapshot);
    }
    if (!m_session.removeVolumeMountPoint(path, m_target.snapshot.snapVolumeName, static_cast<unsigned long>(flrSetId),
                                          m_call.locale()))
      return answerOnSocket(kTextUnmountFailed,
                            formatText("Failed to remove mount share %s on client %s.", mountPoint.mountPath.c_str(),
                                       m_target.host.c_str()),
                            {mountPoint.mountPath});
    // Only the share of this mount point goes with it: a share of another
    // mount point stays recorded while it stays on the client.
    if (!records.shares.empty() && records.shares.front().mountPointId == mountPoint.mountPointId) {
      DeleteFLRSnapNetworkShareRet_t deleted;
      if (!m_replicaDB.DeleteFLRSnapNetworkShare(DeleteFLRSnapNetworkShareArgs_t(records.shares.front().shareId),
                                                 deleted))
        return answerOnSocket(kTextShareRemoval, deleted.errorText, {mountPoint.mountPath});
    }
    DeleteFLRSnapMountPointRet_t deleted;
    if (!m_replicaDB.DeleteFLRSnapMountPoint(DeleteFLRSnapMountPointArgs_t(mountPoint.mountPointId), deleted))
      return answerOnSocket(kTextUnmountRecord, deleted.errorText, {mountPoint.mountPath});
    if (!m_target.snapshot.sharePath.empty()) {
      UpdateFLRSnapshotArgs_t update;
      update.snapshots.push_back(m_target.snapshot);
      update.snapshots.back().sharePath.clear();
      UpdateFLRSnapshotRet_t updated;
      if (!m_replicaDB.UpdateFLRSnapshot(update, updated))
        return answerOnSocket(kTextShareRemoval, updated.errorText, {});
    }
    return succeed();
  }

  XmlCall& m_call;
  Target& m_target;
  tksanvol::RequestAnswer m_answer;
  ReplicaDBClient m_replicaDB{1};
  ZQSVCClientSession m_session;
};

const CNMessageBase& manage(XmlCall& call, const CDRFanInExecuteRPOperationReq& request) {
  using Req = CDRFanInExecuteRPOperationReq;
  Target target;
  target.rpId =
      static_cast<int32_t>(request.getint64(Req::kRecoveryPointId.tag, Req::kClassHash, Req::kRecoveryPointId.hash));
  const uint32_t operation =
      static_cast<uint32_t>(request.getint64(Req::kOperation.tag, Req::kClassHash, Req::kOperation.hash));
  target.mountPath =
      request.getstringByRef(Req::kMountPath.ordinal, Req::kMountPath.tag, Req::kClassHash, Req::kMountPath.hash);
  target.writeable = request.getint64(Req::kWriteable.tag, Req::kClassHash, Req::kWriteable.hash) != 0;

  if (operation > kUnpublish) {
    EvDebug::Error(call.tag(), "Unsupported operation [%d] received from GUI", static_cast<int>(operation));
    return call.fail(kTextXmlUnreadable);
  }
  ReplicaDBClient replicaDB(1);
  if (operation == kDeleteCP) {
    DelCPRet_t deleted;
    if (!replicaDB.DelCP(DelCPArgs_t(target.rpId, false), deleted)) {
      EvDebug::Error(call.tag(), "%s", deleted.errorText.c_str());
      return call.fail(kTextDeleteCP);
    }
    call.setCode(GenericResp::kCodeSuccess);
    return call.generic();
  }

  QueryFanInDetailInfoByRPIdRet_t details;
  if (!replicaDB.QueryFanInRPDetails(QueryFanInDetailInfoByRPIdArgs_t(target.rpId), details)) {
    EvDebug::Error(call.tag(), "%s", details.errorText.c_str());
    return call.fail(kTextDetails);
  }
  if (details.details.empty()) {
    EvDebug::Error(call.tag(), "No fan-in details for RP [%d]", target.rpId);
    return call.fail(kTextDetails);
  }
  if (!replicaDB.QueryFLRSnapshotsByCPId(QueryFLRSnapshotsByCPIdArgs_t(target.rpId), target.records)) {
    EvDebug::Error(call.tag(), "%s", target.records.errorText.c_str());
    return call.fail(kTextSnapshot);
  }
  if (target.records.snapshots.empty()) {
    EvDebug::Error(call.tag(), "No snapshot for RP [%d]", target.rpId);
    return call.fail(kTextSnapshot);
  }
  target.snapshot = target.records.snapshots.front();
  target.clientId = details.details.front().destClientId;
  const int hostCode = ZQClient(static_cast<unsigned long>(static_cast<uint32_t>(target.clientId)))
                           .getNetworkHostname(target.host, nullptr);
  if (hostCode != 0) {
    EvDebug::Error(call.tag(), "ZQClient::getNetworkHostName() failed. Error code [%d]", hostCode);
    return call.fail(kTextHostName);
  }
  RecoveryPointOperation work(call, target);
  return work.run(operation);
}

}  // namespace

long long EvSANVolMgr::onMsgGetFanInRP(MessageInfo* request, std::string& text) {
  CDRFanInGetRecoveryPointsResp reply;
  return runXml<CDRFanInGetRecoveryPointsReq>(
      kListTag, request, text,
      [&](XmlCall& call, const CDRFanInGetRecoveryPointsReq& r) -> const CNMessageBase& {
        return listRecoveryPoints(call, r, reply);
      });
}

long long EvSANVolMgr::onMsgGetFanInRPPair(MessageInfo* request, std::string& text) {
  CDRFanInGetPairsUnderRecoveryPointResp reply;
  return runXml<CDRFanInGetPairsUnderRecoveryPointReq>(
      kPairTag, request, text,
      [&](XmlCall& call, const CDRFanInGetPairsUnderRecoveryPointReq& r) -> const CNMessageBase& {
        return listPairs(call, r, reply);
      });
}

long long EvSANVolMgr::onMsgManageFanInRP(MessageInfo* request, std::string& text) {
  return runXml<CDRFanInExecuteRPOperationReq>(kManageTag, request, text, manage);
}
