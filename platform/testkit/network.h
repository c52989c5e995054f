// Test control of the remote sessions: the tools of client hosts, their
// replies and the journal of the session calls.
//
//   testkit::network::reset();
//   testkit::network::ToolScript tool;
//   tool.replies = {testkit::network::snapReply(4, 7), testkit::network::snapReply(0, 0)};
//   testkit::network::scriptTool("client1", "ZQSnapTool.exe", tool);
//   ... the request ...
//   testkit::network::journal().calls("Attach_RemoteCommand")  // host, program, arguments, local name, time-out
//   testkit::network::journal().injectFailure("ReceiveXDRMessage", 5, "link down");
#pragma once

#include <string>
#include <vector>

#include "platform/network/RemoteTools.h"

namespace testkit::network {

using tknetwork::ToolReply;
using tknetwork::ToolScript;

// A host that answers, with no tools yet.
inline void addHost(const std::string& host) { tknetwork::addHost(host); }
inline void scriptTool(const std::string& host, const std::string& program, const ToolScript& script) {
  tknetwork::scriptTool(host, program, script);
}

// A snapshot discovery reply (0x37000001).
inline ToolReply snapReply(uint64_t applicationCode, uint32_t value) {
  snapDiscoveryResp reply;
  reply.applicationCode = applicationCode;
  reply.value = value;
  return ToolReply{tknetwork::kSnapDiscoveryReply, tknetwork::encodeSnapDiscovery(reply)};
}
// An FLR discovery reply (0x37000002); a null name is sent as absent.
inline ToolReply flrReply(const char* applicationName, const std::vector<std::string>& paths) {
  return ToolReply{tknetwork::kFLRDiscoveryReply, tknetwork::encodeFLRDiscovery(applicationName, paths)};
}
// Any bytes under any type (malformed or unexpected replies).
inline ToolReply rawReply(uint32_t type, tknetwork::Bytes bytes) { return ToolReply{type, std::move(bytes)}; }

inline tkjournal::Journal& journal() { return tknetwork::journal(); }

// Forgets hosts, tools, calls and failures.
inline void reset() {
  tknetwork::resetTools();
  tknetwork::journal().reset();
}

}  // namespace testkit::network
