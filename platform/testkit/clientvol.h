// Test control of the client volume service and the FLR agent: seed the
// client hosts and their volumes, script the agents' outputs, read their
// state and the journal of calls.
//
//   testkit::clientvol::reset();
//   testkit::clientvol::seedHost("client1", 7);
//   testkit::clientvol::seedVolume("client1", volume);
//   testkit::clientvol::scriptVVMFlag("client1", true);
//   ... the request ...
//   testkit::clientvol::agent("client1").mounts          // what the client holds now
//   testkit::clientvol::journal().calls("AddCIFSShare")  // host, then the arguments
//   testkit::clientvol::journal().injectFailure("DelCIFSShare", 0, "share busy");
#pragma once

#include "platform/clientvol/ClientAgents.h"

namespace testkit::clientvol {

using tkclientvol::Agent;

inline void seedHost(const std::string& host, int clientId) { tkclientvol::seedHost(host, clientId); }
inline void seedVolume(const std::string& host, const ZQSVCClientVolumeInfo& volume) {
  tkclientvol::seedVolume(host, volume);
}
inline Agent agent(const std::string& host) { return tkclientvol::snapshot(host); }

// Outputs used once each, in order.
inline void scriptDeviceText(const std::string& host, const std::string& text) {
  tkclientvol::scriptDeviceText(host, text);
}
inline void scriptVVMFlag(const std::string& host, bool vvm) { tkclientvol::scriptVVMFlag(host, vvm); }
inline void scriptOntapMountPath(const std::string& host, const std::string& path) {
  tkclientvol::scriptOntapMountPath(host, path);
}
inline void scriptDeviceListResult(const std::string& host, const std::vector<volumeInfo>& result) {
  tkclientvol::scriptDeviceListResult(host, result);
}
inline void scriptVolumeList(const std::string& host, const std::vector<ZQSVCClientVolumeInfo>& volumes) {
  tkclientvol::scriptVolumeList(host, volumes);
}

inline tkjournal::Journal& journal() { return tkclientvol::journal(); }

// Forgets hosts, calls and failures.
inline void reset() {
  tkclientvol::resetAgents();
  tkclientvol::journal().reset();
}

}  // namespace testkit::clientvol
