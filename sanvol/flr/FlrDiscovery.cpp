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

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "frame/SANVolReplyItems.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/network/CNSessionMessages.h"
#include "platform/network/CZqNetwork.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/RemoteDiscovery.h"

namespace {

constexpr const char* kTagDiscover = "EvSANVolMgr::onMsgFLRDiscoverApps";
constexpr const char* kTagWorker = "EvSANVolMgr::DiscoverFLRSupportedApps";

constexpr unsigned long kReplyDiscovery = tktag::kReplyFlrDiscovery;
constexpr unsigned long kFLRDiscoveryMessage = 0x37000002;

constexpr const char* kDiscoveryTool = "FLRSnapTool.exe";
constexpr const char* kDiscoveryArguments = "-o discover";

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
  tksanvol::buildToolCommand(command, kDiscoveryTool, kDiscoveryArguments);
  CZqNetwork network;
  int flag = 0;
  if (!tksanvol::attachTool(network, *request, kTagWorker, tksanvol::clientHost(request->elementCount), command, flag))
    return 0;

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
  network.ReplyDisconnect(tksanvol::kToolTimeout, flag);
  return 1;
}
