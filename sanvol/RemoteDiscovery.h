// What the discovery requests share: running a discovery tool on a client
// through a remote session. Each request builds the tool's command, finds
// the client's host and attaches; a failed attach is answered here, once,
// in the same words for every tool. The caller then receives the tool's
// replies and disconnects.
//
//   CNSession::zqsExecuteRemoteCommandType command;
//   tksanvol::buildToolCommand(command, "ZQSnapTool.exe", "-o discover");
//   CZqNetwork network;
//   int flag = 0;
//   if (!tksanvol::attachTool(network, *request, kTag, tksanvol::clientHost(clientId), command, flag))
//     return 0;                                   // answered 0x390000ad
//   ... ReceiveXDRMessage until the list ends ...
//   network.ReplyDisconnect(tksanvol::kToolTimeout, flag);
#pragma once

#include <string>

class CNMessageBase;
class CZqNetwork;
struct MessageInfo;
namespace CNSession {
class zqsExecuteRemoteCommandType;
}

namespace tksanvol {

// Seconds a tool session may take to attach and to disconnect.
inline constexpr int kToolTimeout = 120;
// The client's host could not be reached. %1 the host name.
inline constexpr unsigned long kTextAttachFailed = 0x390000ad;

// The command that runs `program` with `arguments` on the client, its
// fields set in the order the session expects them.
void buildToolCommand(CNSession::zqsExecuteRemoteCommandType& command, const char* program, const char* arguments);
// The host a client is reached at (its mangled network host name; empty
// when the client cannot be read, which the attach then reports).
std::string clientHost(unsigned long clientId);
// Attaches to the tool on `host`. On failure: logs "CZqNetwork::attach() to
// [host] returned error [text]" at debug level under `tag`, answers the
// catalogue text of 0x390000ad with the host name (sendResponse, status 0)
// and returns false; the session then needs no disconnect.
bool attachTool(CZqNetwork& network, MessageInfo& request, const char* tag, const std::string& host,
                CNMessageBase& command, int& flag);

}  // namespace tksanvol
