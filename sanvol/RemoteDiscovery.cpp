// The remote tool sessions of the discovery requests (see RemoteDiscovery.h).
#include "sanvol/RemoteDiscovery.h"

#include "frame/EvEvent.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "platform/client/ZQClient.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/network/CNSessionMessages.h"
#include "platform/network/CZqNetwork.h"
#include "platform/reply/EvReturnData.h"
#include "sanvol/LocalClientName.h"

namespace tksanvol {
namespace {

constexpr unsigned long kStatusFailure = 0;

}  // namespace

void buildToolCommand(CNSession::zqsExecuteRemoteCommandType& command, const char* program, const char* arguments) {
  using C = CNSession::zqsExecuteRemoteCommandType;
  command.setint64(C::kFlags.ordinal, C::kFlags.tag, 1, C::kClassHash, C::kFlags.hash);
  command.setint64(C::kValue.ordinal, C::kValue.tag, 0, C::kClassHash, C::kValue.hash);
  command.setstring(C::kArguments.ordinal, C::kArguments.tag, arguments, C::kClassHash, C::kArguments.hash);
  command.setstring(C::kProgram.ordinal, C::kProgram.tag, program, C::kClassHash, C::kProgram.hash);
}

std::string clientHost(unsigned long clientId) {
  std::string host;
  ZQClient client(clientId);
  client.getNetworkHostnameMangled(host, nullptr);
  return host;
}

bool attachTool(CZqNetwork& network, MessageInfo& request, const char* tag, const std::string& host,
                CNMessageBase& command, int& flag) {
  const CWyError attached = network.Attach_RemoteCommand(host, command, nullptr, localClientName(), kToolTimeout, flag);
  if (!attached.IsError()) return true;
  EvDebug::Debug(tag, "CZqNetwork::attach() to [%s] returned error [%s]", host.c_str(), attached.AsString().c_str());
  EvEvent event(tag);
  event.setLocaleId(request.sequenceNumber);
  event << host.c_str();
  char text[RequestAnswer::kAnswerBufferSize] = {};
  event.evPrintf(kTextAttachFailed, text, sizeof text, 0);
  sendResponse(request.sequenceNumber, &request.socket, kStatusFailure, text, nullptr);
  return false;
}

}  // namespace tksanvol
