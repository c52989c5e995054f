// How snapshots are taken: the snapshot engines the replica database knows
// (onMsgGetSnapEngineInfo), the snapshot parameters of one volume
// (onMsgGetVolumeSnapParams, onMsgManageVolumeSnapParams: its engine, the
// clients that mount, synchronise and snapshot it, and the command hints of
// each), and the snapshot-capable applications installed on a client
// (onMsgGetZqSnapInstalledApps), which the snapshot tool discovers there.
//
// The manage request walks an element stream (the frame of SANVolFrame.h);
// every record stores one whole parameter record built from the elements
// received so far, with the record's defaults for those that never came
// (consoles send whole records). Unlike most handlers it answers an unknown
// element and walks on. Each change is one call of the replica database
// service, whole or not at all.
//
// The discovery attaches to "ZQSnapTool.exe -o discover" on the client and
// reads one 16-byte reply per application (0x37000001: a 64-bit code and a
// 32-bit value) until a code of 0; a reply of another type or size is a
// receive error, which is answered, and what was listed before it stays.
//
// Lasting state: none.
#include <cstdint>
#include <iterator>
#include <string>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/content/SubclientContent.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/network/CNSessionMessages.h"
#include "platform/network/CZqNetwork.h"
#include "platform/network/RemoteToolReplies.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/RemoteDiscovery.h"

namespace {

// ---------------------------------------------------------------- log tags

constexpr const char* kTagEngines = "EvSANVolMgr::onMsgGetSnapEngineInfo";
constexpr const char* kTagEnginesWorker = "EvSANVolMgr::lookupSnapEngineInfo";
constexpr const char* kTagParams = "EvSANVolMgr::onMsgGetVolumeSnapParams";
constexpr const char* kTagParamsWorker = "EvSANVolMgr::lookupVolumeSnapParams";
constexpr const char* kTagManage = "EvSANVolMgr::onMsgManageVolumeSnapParams";
constexpr const char* kTagApps = "EvSANVolMgr::onMsgGetZqSnapInstalledApps";
constexpr const char* kTagAppsWorker = "EvSANVolMgr::lookupZqSnapInstalledApps";

// ---------------------------------------------------------------- catalogue ids

constexpr unsigned long kTextEnginesFailed = 0x390000a8;
constexpr unsigned long kTextParamsFailed = 0x390000a9;
constexpr unsigned long kTextRemoveFailed = 0x390000aa;
constexpr unsigned long kTextAddFailed = 0x390000ab;
constexpr unsigned long kTextUpdateFailed = 0x390000ac;
constexpr unsigned long kTextReceiveFailed = 0x39000046;

// ---------------------------------------------------------------- replies, elements, items

constexpr unsigned long kReplyEngines = tktag::kReplySnapEngines;
constexpr unsigned long kReplyParams = tktag::kReplySnapEngineParams;
constexpr unsigned long kReplyApps = tktag::kReplySnapApplications;

constexpr unsigned int kVolume = tktag::kSanVolume;
constexpr unsigned int kEngine = tktag::kSnapshotEngine;
constexpr unsigned int kEngineFlags[] = {
    tktag::kEngineFlag11654, tktag::kEngineFlag11655, tktag::kEngineFlag11656, tktag::kEngineFlag11657};
constexpr unsigned int kHints[] = {
    tktag::kMountOption, tktag::kSecondMountCommandHint, tktag::kFirstSyncCommandHint, tktag::kSecondSyncCommandHint,
    tktag::kFirstSnapCommandHint, tktag::kSecondSnapCommandHint};
constexpr unsigned int kMountClient = tktag::kMountClient;
constexpr unsigned int kSnapClient = tktag::kSnapClient;
constexpr unsigned int kSyncClient = tktag::kSyncClient;
constexpr unsigned int kRollbackHint = tktag::kRollbackCommandHint;
constexpr unsigned int kEngineValue1 = tktag::kCopyManagerItem8501;
constexpr unsigned int kEngineValue2 = tktag::kEngineValue11746;
constexpr unsigned long kItemApplication = tktag::kSnapshotApplication;

constexpr int kLevelReceived = 7;

enum Operation : unsigned long long { kAdd = 1, kRemove = 2, kUpdate = 3 };

// The text the engine listing sends for the engine of a volume's parameters.
constexpr const char* kEngineText = "fixme";

// ---------------------------------------------------------------- discovery

constexpr unsigned long kSnapDiscoveryMessage = 0x37000001;
constexpr const char* kSnapTool = "ZQSnapTool.exe";
constexpr const char* kSnapToolArguments = "-o discover";
constexpr const char* kUnknownApplication = "Unknown Application";

// The application type of a discovered application's code (flag bit
// cleared).
int32_t applicationType(uint64_t code) {
  switch (code) {
    case 4: case 16: case 70: case 81: return 4;
    case 9: case 15: case 53: return 53;
    case 22: return 22;
    default: return 0;
  }
}

// ---------------------------------------------------------------- snapshot-parameter changes

// The six hints in record order.
std::string* hintField(VolSnapParamsV2Record_t& p, std::size_t index) {
  std::string* fields[] = {&p.commandHint1, &p.commandHint2, &p.commandHint3,
                           &p.commandHint4, &p.commandHint5, &p.commandHint6};
  return fields[index];
}

class SnapParamsChange final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    const uint32_t number = tksanvol::readU32(value, length);
    switch (type) {
      case kVolume:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, SNR Volume Id = %lu.", static_cast<unsigned long>(number));
        m_params.volumeId = static_cast<int32_t>(number);
        m_hasVolume = true;
        return true;
      case kEngine:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Snap Engine ID = %d.", static_cast<int>(number));
        m_params.snapEngineId = static_cast<int32_t>(number);
        return true;
      case kMountClient:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Mount Client Id = %lu.", static_cast<unsigned long>(number));
        m_params.mountClientId = static_cast<int32_t>(number);
        return true;
      case kSyncClient:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Sync Client Id = %lu.", static_cast<unsigned long>(number));
        m_params.syncClientId = static_cast<int32_t>(number);
        return true;
      case kSnapClient:
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Snap Client Id = %lu.", static_cast<unsigned long>(number));
        m_params.snapClientId = static_cast<int32_t>(number);
        return true;
      case kRollbackHint:
        m_params.rollbackCommandHint = tksanvol::readText(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Rollback command hint = %s",
                          m_params.rollbackCommandHint.c_str());
        return true;
      default:
        break;
    }
    for (std::size_t i = 0; i < std::size(kHints); ++i) {
      if (type != kHints[i]) continue;
      std::string& hint = *hintField(m_params, i);
      hint = tksanvol::readText(value, length);
      EvDebug::DebugLvl(kLevelReceived, kTagManage, "Received, Mount command hint = %s.", hint.c_str());
      return true;
    }
    return false;
  }

  bool supportsOperation(unsigned long long op) const override { return op == kAdd || op == kRemove || op == kUpdate; }

  tksanvol::RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    using tksanvol::AnswerForm;
    const unsigned long long op = context.operation;
    if (!context.hasTarnfoldId || (op == kRemove && !m_hasVolume))
      return context.answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                               AnswerForm::OperationResponse, op);
    ReplicaDBClient db(1);
    bool done = false;
    std::string error;
    unsigned long failureText = 0;
    if (op == kRemove) {
      RemoveVolSnapParamArgs_t args;
      args.volumeId = m_params.volumeId;
      RemoveVolSnapParamRet_t ret;
      done = db.RemoveVolSnapParams(args, ret);
      error = ret.errorText;
      failureText = kTextRemoveFailed;
    } else if (op == kAdd) {
      AddVolSnapParamsV2Args_t args;
      args.params = m_params;
      AddVolSnapParamsV2Ret_t ret;
      done = db.AddVolSnapParams(args, ret);
      error = ret.errorText;
      failureText = kTextAddFailed;
    } else {
      UpdateVolSnapParamsV2Args_t args;
      args.params = m_params;
      UpdateVolSnapParamsV2Ret_t ret;
      done = db.UpdateVolSnapParams(args, ret);
      error = ret.errorText;
      failureText = kTextUpdateFailed;
    }
    if (!done) return context.answer.lookupFailed(error.c_str(), failureText, AnswerForm::OperationResponse, op);
    context.answer.success(AnswerForm::OperationResponse, op);
    return tksanvol::RecordOutcome::GoOn;
  }

 private:
  // The values received so far, over the record's defaults; the flag is
  // never set by a request.
  VolSnapParamsV2Record_t m_params;
  bool m_hasVolume = false;
};

}  // namespace

// ---------------------------------------------------------------- snapshot engines

long long EvSANVolMgr::onMsgGetSnapEngineInfo(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagEngines;
  rules.replyId = kReplyEngines;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupSnapEngineInfo(&m); });
}

long long EvSANVolMgr::lookupSnapEngineInfo(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagEnginesWorker);
  ReplicaDBClient db(1);
  GetSnapEngineInfoV3ListRet_t ret;
  if (!db.GetSnapEngineInfoList(ret)) {
    answer.lookupFailed(ret.errorText.c_str(), kTextEnginesFailed);
    return 0;
  }
  for (const SnapEngineInfoV3Record_t& e : ret.engines) {
    tksanvol::addIdText(*this, kEngine, static_cast<uint32_t>(e.snapEngineId), e.engineName);
    const bool flags[] = {e.item11654, e.item11655, e.item11656, e.item11657};
    for (std::size_t i = 0; i < std::size(kEngineFlags); ++i) tksanvol::addFlag(*this, kEngineFlags[i], flags[i]);
    const std::string* hints[] = {&e.commandHint1, &e.commandHint2, &e.commandHint3,
                                  &e.commandHint4, &e.commandHint5, &e.commandHint6};
    for (std::size_t i = 0; i < std::size(kHints); ++i) tksanvol::addText(*this, kHints[i], *hints[i]);
    tksanvol::addText(*this, kRollbackHint, e.rollbackCommandHint);
    tksanvol::addU32(*this, kEngineValue1, static_cast<uint32_t>(e.item8501));
    tksanvol::addU32(*this, kEngineValue2, static_cast<uint32_t>(e.item11746));
    tksanvol::endRecord(*this);
  }
  return 1;
}

// ---------------------------------------------------------------- volume snapshot parameters

long long EvSANVolMgr::onMsgGetVolumeSnapParams(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagParams;
  rules.replyId = kReplyParams;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupVolumeSnapParams(&m); });
}

long long EvSANVolMgr::lookupVolumeSnapParams(MessageInfo* request) {
  if (request == nullptr) return 0;
  tksanvol::RequestAnswer answer(*request, kTagParamsWorker);
  ReplicaDBClient db(1);
  QueryVolSnapParamsV2Args_t args;
  args.volumeId = static_cast<int32_t>(request->elementCount);
  QueryVolSnapParamsV2Ret_t ret;
  if (!db.QueryVolSnapParams(args, ret)) {
    answer.lookupFailed(ret.errorText.c_str(), kTextParamsFailed);
    return 0;
  }
  VolSnapParamsV2Record_t& p = ret.params;
  tksanvol::addU32(*this, kVolume, static_cast<uint32_t>(p.volumeId));
  tksanvol::addIdText(*this, kEngine, static_cast<uint32_t>(p.snapEngineId), kEngineText);
  tksanvol::addU32(*this, kMountClient, static_cast<uint32_t>(p.mountClientId));
  tksanvol::addU32(*this, kSyncClient, static_cast<uint32_t>(p.syncClientId));
  tksanvol::addU32(*this, kSnapClient, static_cast<uint32_t>(p.snapClientId));
  for (std::size_t i = 0; i < std::size(kHints); ++i) tksanvol::addText(*this, kHints[i], *hintField(p, i));
  tksanvol::addText(*this, kRollbackHint, p.rollbackCommandHint);
  tksanvol::endRecord(*this);
  return 1;
}

long long EvSANVolMgr::onMsgManageVolumeSnapParams(MessageInfo* request) {
  tksanvol::StreamRules rules;
  rules.tag = kTagManage;
  rules.unknownElement = tksanvol::UnknownElement::AnswerAndGoOn;
  SnapParamsChange handler;
  return tksanvol::runElementStream(request, rules, handler);
}

// ---------------------------------------------------------------- installed snapshot applications

long long EvSANVolMgr::onMsgGetZqSnapInstalledApps(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagApps;
  rules.replyId = kReplyApps;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return lookupZqSnapInstalledApps(&m); });
}

long long EvSANVolMgr::lookupZqSnapInstalledApps(MessageInfo* request) {
  if (request == nullptr) return 0;
  CNSession::zqsExecuteRemoteCommandType command;
  tksanvol::buildToolCommand(command, kSnapTool, kSnapToolArguments);
  CZqNetwork network;
  int flag = 0;
  if (!tksanvol::attachTool(network, *request, kTagAppsWorker, tksanvol::clientHost(request->elementCount), command,
                            flag))
    return 0;

  // Each reply is decoded by its XDR routine into this buffer, which holds
  // exactly one reply: a reply of another type or size fails the receive.
  snapDiscoveryResp reply;
  zqsDatabuf_v2 buffer;
  buffer.setExternalBuffer(&reply, sizeof reply);
  for (;;) {
    reply = snapDiscoveryResp{};
    unsigned long type = kSnapDiscoveryMessage;
    const CWyError received = network.ReceiveXDRMessage(&type, buffer, nullptr, 0, -1, flag);
    if (received.IsError()) {
      EvDebug::Debug(kTagAppsWorker, "Could not receive from discover zqsnap applications.  Terminating. Error:[%s]",
                     received.AsString().c_str());
      tksanvol::RequestAnswer answer(*request, kTagAppsWorker);
      answer.fail(kTextReceiveFailed, received.AsString().c_str());
      break;
    }
    if (reply.applicationCode == 0) break;
    const uint64_t flagBit = reply.applicationCode & snapDiscoveryResp::kApplicationFlag;
    const int32_t appType = applicationType(reply.applicationCode & ~snapDiscoveryResp::kApplicationFlag);
    std::string name;
    AppTypeNameId names(appType);
    if (names.GetAppTypeName(name, nullptr) != 0) {
      EvDebug::Error(kTagAppsWorker, "Could not determine the application name for app type [%ld]. %s",
                     static_cast<long>(appType), names.getErrorString().c_str());
      name = kUnknownApplication;
    }
    tksanvol::addIdText(*this, kItemApplication, static_cast<uint32_t>(appType) | static_cast<uint32_t>(flagBit), name);
    tksanvol::addU32(*this, kVolume, reply.value);
    tksanvol::endRecord(*this);
  }
  network.ReplyDisconnect(tksanvol::kToolTimeout, flag);
  return 1;
}
