// File-level-recovery mounts on a client: a snapshot device mounted at a
// path (paths that begin with a slash), and unmounted again.
//
//   ZQFLRClientApi agent(hostName, clientId, nullptr);
//   if (agent.FLRMountSnap("/dev/snap1", "/mnt/flr1") != 0) ...
//
// 0 on success, a non-zero code on failure (an unknown host, a path that
// is already mounted or not mounted). The agents behind it are in memory
// (platform/clientvol/ClientAgents.h); the network pointer is unused.
#pragma once

#include <string>

class CZqNetwork;

class ZQFLRClientApi {
 public:
  ZQFLRClientApi(const std::string& hostName, int clientId, CZqNetwork* network = nullptr);

  int FLRMountSnap(const char* device, const char* mountPath);
  int FLRUnmountSnap(const char* mountPath);
  // The text of the last failure.
  const std::string& lastError() const { return m_lastError; }

 private:
  std::string m_host;
  std::string m_lastError;
};
