// Four small requests around replicas:
//   onMsgGetSrcVolumesBySnapId     the source volumes of a snapshot (reply
//                                  11753); the snapshot id is a text in the
//                                  first-parameter place of the body
//   onMsgImportSnapshotCommand     imports a snapshot on a client by running
//                                  the snapshot tool there, once per record
//   onMsgGetHostsInstalledPackage  the clients that have every one of the
//                                  given application packages (reply 11794)
//   onMsgQRSubclientHasSchedule    whether a replication subclient is
//                                  covered by a scheduled task (item 4300),
//                                  through IsQRSubClientCoveredBySchedule
//
// The three element requests only log an element they do not know: the
// import and the package hosts read on, the schedule request stops there
// without an answer. Their values persist across the records of a request.
// An import answers the requester with plain texts and records its outcome
// in the event log (major event 0x39000062 on failure, info event
// 0x39000063 on success, each naming the source host); every other failure
// is one status answer with a catalogue text.
//
// Lasting state: none.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Db/Tbl/TM_AssocEntity.h"
#include "frame/ElementTags.h"
#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/client/ClientApplicationList.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/network/CNSessionMessages.h"
#include "platform/network/CZqNetwork.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/reply/EvReturnData.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/LocalClientName.h"

namespace {

// ---------------------------------------------------------------- log tags

constexpr const char* kTagSources = "EvSANVolMgr::onMsgGetSrcVolumesBySnapId";
constexpr const char* kTagSourcesWorker = "EvSANVolMgr::lookupSrcVolumesBySnapId";
constexpr const char* kTagImport = "EvSANVolMgr::onMsgImportSnapshotCommand";
constexpr const char* kTagPackages = "EvSANVolMgr::onMsgGetHostsInstalledPackage";
constexpr const char* kTagSchedule = "EvSANVolMgr::onMsgQRSubclientHasSchedule";
constexpr const char* kTagCoverage = "IsQRSubClientCoverdBySchedule";

// ---------------------------------------------------------------- catalogue and event ids

constexpr unsigned long kTextScheduleUnknown = 0x39000091;
constexpr unsigned long kTextSnapshotIdMissing = 0x390000ea;
constexpr unsigned long kTextSourcesFailed = 0x390000eb;
constexpr unsigned long kTextClientListFailed = 0x390000ec;
constexpr int kEventImportFailed = 0x39000062;     // %1 the source host
constexpr int kEventImportSucceeded = 0x39000063;  // %1 the source host

// ---------------------------------------------------------------- elements and items

constexpr unsigned int kElementJobId = tktag::kJobId;
constexpr unsigned int kElementClearReadOnly = tktag::kClearReadOnly;
constexpr unsigned int kElementVssWriteable = tktag::kVssWriteable;
constexpr unsigned int kElementMap = tktag::kMap;
constexpr unsigned int kElementClient = tktag::kImportClient;
constexpr unsigned int kElementSourceHost = tktag::kSourceHost;
constexpr unsigned int kElementAppType = tktag::kImportAppType;
constexpr unsigned int kElementSubclientId = tktag::kSubclientId;

constexpr unsigned long kReplySources = tktag::kReplyImportSources;
constexpr unsigned long kItemPrimaryVolumeId = tktag::kPrimaryVolume;
constexpr unsigned long kItemPhysicalVolumeId = tktag::kSanVolume;
constexpr unsigned long kReplyPackageHosts = tktag::kReplyPackageHosts;
constexpr unsigned long kItemPackageHost = tktag::kReplicationSetClient;
constexpr unsigned long kItemCovered = tktag::kCoveredBySchedule;

constexpr int kLevelReceived = 7;

// Where the source-volume listing finds the snapshot id: the first-parameter
// place of the body.
constexpr std::size_t kSnapshotIdOffset = 4;

// ---------------------------------------------------------------- the import tool

constexpr const char* kImportTool = "ZQSnaptool.exe";
constexpr int kImportWait = 120;
// The map is kept in a 4,104-byte buffer: 4,103 characters and the terminator.
constexpr std::size_t kMapBufferSize = 4104;

constexpr const char* kUnknownSourceHost = "Unknown Host";
constexpr const char* kImportMissingText = "All information required to process this request was not received";
constexpr const char* kImportFailedText = "Import operation failed. Check Log file ZQSnapTool.log";

constexpr unsigned long kStatusFailure = 0;
constexpr unsigned long kStatusSuccess = 1;

// The tool's argument line; built to its full length, so a long map
// reaches the tool whole.
std::string importArguments(uint64_t jobId, const std::string& map, bool clearReadOnly, bool vssWriteable,
                            uint32_t clientId, const std::string& clientName) {
  std::string line = "-j " + std::to_string(jobId) + " -s " + map + " -o import ";
  line += clearReadOnly ? "-cro" : " ";
  line += ' ';
  line += vssWriteable ? "-clearROflags" : " ";
  line += " -client " + std::to_string(static_cast<int>(clientId)) + " -cn " + clientName;
  return line;
}

// The remote run: the command line as the sub-object of the request.
void buildImportRequest(CNSession::zqsRemoteExecuteAsUserRequestType& request, const std::string& arguments) {
  using Request = CNSession::zqsRemoteExecuteAsUserRequestType;
  using Line = CNSession::zqsRemoteCommandLineType;
  CNMessageBase& line = request.getObjectAccessor(true, true, Request::kCommand.ordinal, Request::kCommand.tag,
                                                  Request::kClassHash, Request::kCommand.hash, Line::kNamespace,
                                                  Line::kClassNumber);
  line.setint64(Line::kValue.ordinal, Line::kValue.tag, 0, Line::kClassHash, Line::kValue.hash);
  line.setstring(Line::kArguments.ordinal, Line::kArguments.tag, arguments, Line::kClassHash, Line::kArguments.hash);
  line.setstring(Line::kProgram.ordinal, Line::kProgram.tag, kImportTool, Line::kClassHash, Line::kProgram.hash);
}

// An entry of the event log naming the source host.
void importEvent(bool succeeded, const std::string& sourceHost) {
  EvEvent event(kTagImport);
  event << sourceHost.c_str();
  if (succeeded)
    event.InfoEvent(kEventImportSucceeded);
  else
    event.MajorEvent(kEventImportFailed);
}

// ---------------------------------------------------------------- snapshot import

class ImportSnapshot final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    switch (type) {
      case kElementJobId:
        m_jobId = tksanvol::readU64(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTagImport, "Received, Job ID = %llu.",
                          static_cast<unsigned long long>(m_jobId));
        return true;
      case kElementClearReadOnly:
        m_clearReadOnly = tksanvol::readFlag(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTagImport, "Received, Clear Read Only flag = %d.",
                          static_cast<int>(tksanvol::readU32(value, length)));
        return true;
      case kElementVssWriteable:
        m_vssWriteable = tksanvol::readFlag(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTagImport, "Received, VSS Snap Writeable flag = %d.",
                          static_cast<int>(tksanvol::readU32(value, length)));
        return true;
      case kElementMap: {
        m_map = tksanvol::readText(value, length);
        m_hasMap = true;
        const bool cut = static_cast<std::size_t>(length) + 1 > kMapBufferSize;
        EvDebug::DebugLvl(kLevelReceived, kTagImport, "%s Src/Dest Map", cut ? "Overflow detected in " : "Received, ");
        return true;
      }
      case kElementClient:
        m_client = tksanvol::readIdText(value, length);
        m_hasClient = true;
        EvDebug::DebugLvl(kLevelReceived, kTagImport, "HostName received, %s, id = %d", m_client.text.c_str(),
                          static_cast<int>(m_client.id));
        return true;
      case kElementSourceHost:
        m_source = tksanvol::readIdText(value, length);
        m_hasSource = true;
        EvDebug::DebugLvl(kLevelReceived, kTagImport, "Src HostName received, %s, id = %d", m_source.text.c_str(),
                          static_cast<int>(m_source.id));
        return true;
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    MessageInfo& m = context.request();
    if (!m_hasClient || !m_hasSource || !m_hasMap) {
      importEvent(false, m_hasSource ? m_source.text : std::string(kUnknownSourceHost));
      EvDebug::Error(kTagImport, "%s", "All information required to import snapshots was not received");
      sendResponse(m.sequenceNumber, &m.socket, kStatusFailure, kImportMissingText, nullptr);
      return tksanvol::RecordOutcome::Failed;
    }

    ZQClient client(m_client.text, true, 0);
    std::string networkName;
    client.getNetworkHostnameMangled(networkName, nullptr);
    std::string clientName = "UnknownHost";
    client.getName(clientName, nullptr);
    CNSession::zqsRemoteExecuteAsUserRequestType request;
    buildImportRequest(request,
                       importArguments(m_jobId, m_map, m_clearReadOnly, m_vssWriteable, m_client.id, clientName));

    CZqNetwork network;
    zqsRemoteExecuteResponseType response{};
    int flag = 0;
    const CWyError run =
        network.ExecRemoteCmdAndWait(networkName, request, tksanvol::localClientName(), response, kImportWait, flag);
    if (run.IsError()) {
      EvDebug::Error(kTagImport, "CZqNetwork::attach() to [%s] returned error [%s]", m_client.text.c_str(),
                     run.AsString().c_str());
      return importFailed(m);
    }
    if (response.errorCode != 0) {
      EvDebug::Error(kTagImport, "ZQSnapTool failed to import the Vss shadow. Error Code [%d]",
                     static_cast<int>(response.errorCode));
      return importFailed(m);
    }
    importEvent(true, m_source.text);
    sendResponse(m.sequenceNumber, &m.socket, kStatusSuccess, "Success", nullptr);
    return tksanvol::RecordOutcome::GoOn;
  }

 private:
  tksanvol::RecordOutcome importFailed(MessageInfo& m) {
    sendResponse(m.sequenceNumber, &m.socket, kStatusFailure, kImportFailedText, nullptr);
    importEvent(false, m_source.text);
    return tksanvol::RecordOutcome::Failed;
  }

  uint64_t m_jobId = 0;  // a record without a job id runs as job 0
  bool m_clearReadOnly = false;
  bool m_vssWriteable = false;
  std::string m_map;
  bool m_hasMap = false;
  tksanvol::IdText m_client;
  bool m_hasClient = false;
  tksanvol::IdText m_source;
  bool m_hasSource = false;
};

// ---------------------------------------------------------------- package hosts

class PackageHosts final : public tksanvol::StreamHandler {
 public:
  explicit PackageHosts(EvReturnData& reply) : m_reply(reply) {}

  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    if (type != kElementAppType) return false;
    const int32_t appType = tksanvol::readI32(value, length);
    EvDebug::DebugLvl(kLevelReceived, kTagPackages, "Received, App Type Id = %d.", static_cast<int>(appType));
    m_appTypes.push_back(appType);
    return true;
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  // The clients that appear in the list of every application type; each
  // record starts from nothing, so a record never lists another's clients.
  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    if (!context.hasTarnfoldId || m_appTypes.empty())
      return context.answer.missingInformation(
          "All information required to find client with installed QR modules was not received");
    std::map<int, std::string> clients;  // ascending client id
    bool firstType = true;
    for (const int32_t appType : m_appTypes) {
      std::vector<int> ids;
      std::vector<std::string> names;
      ClientApplicationList list;
      const int code =
          list.getClientListByAppType(ids, names, static_cast<int>(context.tarnfoldId), appType, nullptr);
      if (code != 0) {
        EvDebug::Debug(kTagPackages, "Could not get list of clients using app type id %lu. [%d]",
                       static_cast<unsigned long>(static_cast<uint32_t>(appType)), code);
        return context.answer.fail(kTextClientListFailed, list.getErrorString().c_str());
      }
      if (firstType) {
        for (std::size_t i = 0; i < ids.size() && i < names.size(); ++i) clients.emplace(ids[i], names[i]);
        firstType = false;
        continue;
      }
      const std::set<int> present(ids.begin(), ids.end());
      std::erase_if(clients, [&present](const auto& client) { return present.count(client.first) == 0; });
    }

    if (!tksanvol::beginReply(m_reply, context.request(), kReplyPackageHosts, kTagPackages))
      return tksanvol::RecordOutcome::Failed;
    for (const auto& [id, name] : clients) tksanvol::addIdText(m_reply, kItemPackageHost, static_cast<uint32_t>(id), name);
    tksanvol::endRecord(m_reply);
    m_reply.end(0);
    return tksanvol::RecordOutcome::GoOn;
  }

 private:
  EvReturnData& m_reply;
  std::vector<int32_t> m_appTypes;
};

// ---------------------------------------------------------------- subclient schedule

class SubclientSchedule final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    if (type != kElementSubclientId) return false;
    m_subclientId = tksanvol::readI32(value, length);
    m_hasSubclientId = true;
    EvDebug::DebugLvl(kLevelReceived, kTagSchedule, "Received, SubclientId =%d.", static_cast<int>(m_subclientId));
    return true;
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    if (!m_hasSubclientId) return context.answer.missingInformation();
    bool covered = false;
    if (IsQRSubClientCoveredBySchedule(m_subclientId, &covered) == 0)
      return context.answer.fail(kTextScheduleUnknown, "Could not determine whether the subclient has a schedule");
    MessageInfo& m = context.request();
    const uint32_t flag = covered ? 1u : 0u;
    if (!EvSANVolMgr::sendOperationResponseWith(m.sequenceNumber, m.socket, std::nullopt, kStatusSuccess, "Success",
                                                kItemCovered, &flag, sizeof flag))
      return tksanvol::RecordOutcome::Failed;
    return tksanvol::RecordOutcome::GoOn;
  }

 private:
  int32_t m_subclientId = 0;
  bool m_hasSubclientId = false;
};

}  // namespace

// ---------------------------------------------------------------- entry points

long long EvSANVolMgr::onMsgGetSrcVolumesBySnapId(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagSources;
  rules.replyId = kReplySources;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupSrcVolumesBySnapId(&m); });
}

long long EvSANVolMgr::lookupSrcVolumesBySnapId(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagSourcesWorker);
  // Read within the body, terminated or not.
  const std::string snapshotId = request->payloadText(kSnapshotIdOffset);
  if (snapshotId.empty()) {
    answer.fail(kTextSnapshotIdMissing, "Snapshot ID is empty.");
    return 0;
  }
  const std::size_t colon = snapshotId.rfind(':');
  if (colon == std::string::npos) {
    answer.fail(kTextSnapshotIdMissing, "Snapshot ID is missing.");
    return 0;
  }
  QueryQRVolByUniqueSnapIdArgs_t args;
  args.uniqueSnapId = snapshotId.substr(colon + 1);
  ReplicaDBClient db(1);
  QueryQRVolByUniqueSnapIdRet_t ret;
  if (!db.QueryReplicationVolumeByUniqueSnapId(args, ret)) {
    EvDebug::Error(kTagSourcesWorker, "%s", ret.errorText.c_str());
    answer.fail(kTextSourcesFailed, "Unable to retrieve list of source volumes used in snapshot.");
    return 0;
  }
  for (const ReplicationVolumeV3Record_t& replica : ret.replicas) {
    tksanvol::addU32(*this, kItemPrimaryVolumeId, static_cast<uint32_t>(replica.primaryVolumeId));
    tksanvol::addU32(*this, kItemPhysicalVolumeId, static_cast<uint32_t>(replica.physicalVolumeId));
    tksanvol::endRecord(*this);
  }
  return 1;
}

long long EvSANVolMgr::onMsgImportSnapshotCommand(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagImport;
  rules.hasOperations = false;
  rules.unknownElement = tksanvol::UnknownElement::LogAndGoOn;
  ImportSnapshot handler;
  return tksanvol::runElementStream(request, rules, handler);
}

long long EvSANVolMgr::onMsgGetHostsInstalledPackage(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagPackages;
  rules.hasOperations = false;
  rules.unknownElement = tksanvol::UnknownElement::LogAndGoOn;
  PackageHosts handler(*this);
  return tksanvol::runElementStream(request, rules, handler);
}

long long EvSANVolMgr::onMsgQRSubclientHasSchedule(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagSchedule;
  rules.hasOperations = false;
  rules.unknownElement = tksanvol::UnknownElement::LogAndStopSilently;
  SubclientSchedule handler;
  return tksanvol::runElementStream(request, rules, handler);
}

int IsQRSubClientCoveredBySchedule(int subclientId, bool* covered) {
  if (covered != nullptr) *covered = false;
  int result = 0;
  switch (subclientCoverage(subclientId, &result)) {
    case SubclientCoverage::Covered:
      if (covered != nullptr) *covered = true;
      return 1;
    case SubclientCoverage::NotCovered:
      return 1;
    case SubclientCoverage::Error:
      break;
  }
  EvDebug::Error(kTagCoverage, "error reading TM_AssocEntity table, error[%s]", DBtable::getErrorStr(result));
  return 0;
}
