// Test control of the NAS-client services and their remote-library
// connections: tables, scripted error answers, refused attaches, dropped
// replies, and the journal of the session calls with their message bodies.
//
//   testkit::nasclient::reset("cs1");   // Tarnkeep service on host cs1
//   testkit::nasclient::addMediaAgentHost("ma1");
//   testkit::nasclient::answerError(0x29000C00, 0x29000099, "busy");
//   testkit::nasclient::refuseAttaches("cs1", 3);
//   testkit::nasclient::journal().calls("SendXDRMessage")  // type, body bytes in hex
//   testkit::nasclient::centralCalls().injectFailure("AddNasClientTK", 0, "disk full");
#pragma once

#include <string>

#include "platform/nasclient/NasClientServices.h"
#include "platform/nasclient/NasConfTK.h"
#include "platform/network/RemoteLibraries.h"
#include "platform/network/RemoteTools.h"

namespace testkit::nasclient {

using tknasclient::MediaAgentRow;
using tknasclient::NasClientRow;
using tknasclient::StoragePolicyRow;

// Forgets every library, script and call, and that the host process's
// services were installed (tknasclient::installHostServices installs them
// again); installs nothing.
inline void clear() {
  tknetwork::resetLibraries();
  tknasclient::resetServices();
  tknetwork::journal().reset();
  tknasclient::centralCalls().reset();
}

// Forgets every library, table, script and call; installs the Tarnkeep's
// service on `tarnkeepHost`.
inline void reset(const std::string& tarnkeepHost) {
  clear();
  tknasclient::installTarnkeepService(tarnkeepHost);
}

inline void addMediaAgentHost(const std::string& host) { tknasclient::installMediaAgentService(host); }

inline void setMediaAgents(std::vector<MediaAgentRow> rows) { tknasclient::setMediaAgents(std::move(rows)); }
inline void setStoragePolicies(std::vector<StoragePolicyRow> rows) {
  tknasclient::setStoragePolicies(std::move(rows));
}
inline void setNasClients(std::vector<NasClientRow> rows) { tknasclient::setNasClients(std::move(rows)); }
inline std::vector<NasClientRow> nasClients() { return tknasclient::nasClients(); }
inline std::vector<tknasclient::MediaAgentConfiguration> configurations() {
  return tknasclient::mediaAgentConfigurations();
}

inline void answerError(uint32_t replyType, uint32_t code, const char* text) {
  tknasclient::answerError(replyType, code, text);
}
inline void refuseAttaches(const std::string& host, int count) { tknetwork::refuseAttaches(host, count); }
inline void dropNextReply(const std::string& host, const std::string& library) {
  tknetwork::dropNextReply(host, library);
}

// "Attach_RemoteDLL" (host, library, local name, time-out), "SendXDRMessage"
// (type, body hex), "ReceiveXDRMessage" (type, time-out), "received" (type,
// body hex), "FreeReceivedMessage" (type), "AbortConnection" (kind, code,
// severity, time-out), "Disconnect" (time-out).
inline tkjournal::Journal& journal() { return tknetwork::journal(); }

// The central server's own NAS-client calls (platform/nasclient/NasConfTK.h):
// "AddNasClientTK" and "NasConfTKRemove".
inline tkjournal::Journal& centralCalls() { return tknasclient::centralCalls(); }

}  // namespace testkit::nasclient
