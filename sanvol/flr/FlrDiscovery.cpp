// Discovery of the applications of a client that support file-level
// recovery: the discovery tool runs on the client through a remote session
// and answers one XDR message per application (its name and paths); the
// handler lists them in reply 11801.
//
// The reply is begun before the client is reached, so a failed attach is
// answered while it is open and the reply then ends empty. The session
// stops at a failed receive, a message without a name, or an application
// without paths; what was listed before stays listed and the discovery
// counts as done.
#include <string>

#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/network/CNSessionMessages.h"
#include "platform/network/CZqNetwork.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/LocalClientName.h"
#include "sanvol/SANVolFrame.h"
#include "sanvol/SANVolReplyItems.h"

namespace {

constexpr const char* kTagDiscover = "EvSANVolMgr::onMsgFLRDiscoverApps";
constexpr const char* kTagWorker = "EvSANVolMgr::DiscoverFLRSupportedApps";

constexpr unsigned long kTextAttachFailed = 0x390000ad;  // %1 the client's host name
constexpr unsigned long kReplyDiscovery = 11801;
constexpr unsigned long kFLRDiscoveryMessage = 0x37000002;
constexpr int kSessionTimeout = 120;
constexpr unsigned long kStatusFailure = 0;

constexpr const char* kDiscoveryTool = "FLRSnapTool.exe";
constexpr const char* kDiscoveryArguments = "-o discover";

// The tool to run and its arguments, fields set in the order the session
// expects them.
void buildCommand(CNSession::zqsExecuteRemoteCommandType& command) {
  using C = CNSession::zqsExecuteRemoteCommandType;
  command.setint64(C::kFlags.ordinal, C::kFlags.tag, 1, C::kClassHash, C::kFlags.hash);
  command.setint64(C::kValue.ordinal, C::kValue.tag, 0, C::kClassHash, C::kValue.hash);
  command.setstring(C::kArguments.ordinal, C::kArguments.tag, kDiscoveryArguments, C::kClassHash, C::kArguments.hash);
  command.setstring(C::kProgram.ordinal, C::kProgram.tag, kDiscoveryTool, C::kClassHash, C::kProgram.hash);
}

}  // namespace

long long EvSANVolMgr::onMsgFLRDiscoverApps(MessageInfo* request) {
  tksanvol::GetRules rules;
  rules.tag = kTagDiscover;
  rules.replyId = kReplyDiscovery;
  return tksanvol::runGet(*this, request, rules, [this](MessageInfo& m) { return DiscoverFLRSupportedApps(&m); });
}

long long EvSANVolMgr::DiscoverFLRSupportedApps(MessageInfo* request) {
  if (request == nullptr) return 0;
  CNSession::zqsExecuteRemoteCommandType command;
  buildCommand(command);

  std::string host;
  ZQClient client(request->elementCount);
  client.getNetworkHostnameMangled(host, nullptr);
  EvEvent event(kTagWorker);
  event.setLocaleId(request->sequenceNumber);
  const std::string localName = tksanvol::localClientName();

  CZqNetwork network;
  int flag = 0;
  const CWyError attached = network.Attach_RemoteCommand(host, command, nullptr, localName, kSessionTimeout, flag);
  if (attached.IsError()) {
    EvDebug::Debug(kTagWorker, "CZqNetwork::attach() to [%s] returned error [%s]", host.c_str(),
                   attached.AsString().c_str());
    event << host.c_str();
    char text[tksanvol::RequestAnswer::kAnswerBufferSize] = {};
    event.evPrintf(kTextAttachFailed, text, sizeof text, 0);
    sendResponse(request->sequenceNumber, &request->socket, kStatusFailure, text, nullptr);
    return 0;
  }

  FLRDiscoveryAppsResp reply;
  zqsDatabuf_v2 buffer;
  buffer.setExternalBuffer(&reply, sizeof reply);
  for (;;) {
    reply = FLRDiscoveryAppsResp{};
    unsigned long type = kFLRDiscoveryMessage;
    const CWyError received = network.ReceiveXDRMessage(&type, buffer, nullptr, 0, -1, flag);
    if (received.IsError()) {
      EvDebug::Debug(kTagWorker, "Could not receive from discover FLR applications.  Terminating. Error:[%s]",
                     received.AsString().c_str());
      break;
    }
    if (reply.applicationName == nullptr) break;
    if (reply.pathCount == 0 || reply.paths == nullptr) {
      EvDebug::Error(kTagWorker, "Application [%s] did not return any paths. Terminating.", reply.applicationName);
      break;
    }
    tksanvol::addText(*this, 11802, reply.applicationName);
    for (uint32_t i = 0; i < reply.pathCount; ++i) tksanvol::addText(*this, 11803, tksanvol::textOf(reply.paths[i]));
    tksanvol::endRecord(*this);
  }
  network.ReplyDisconnect(kSessionTimeout, flag);
  return 1;
}
