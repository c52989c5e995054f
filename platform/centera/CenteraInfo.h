// How a media agent reads an archive cluster's identity: it asks the
// cluster through one of its access nodes. This stand-in answers from what
// a test scripted per access-node address; an address nothing answers at
// is a failure, as an unreachable cluster is.
//
// Journal "queryCluster" (agent name, address); a failure injected into it
// makes the next query fail with its text.
#pragma once

#include <string>

#include "platform/journal/Journal.h"

namespace tkcentera {

struct ClusterInfo {
  std::string clusterId;
  std::string clusterName;
  long long capacity = 0;  // bytes
  std::string version;
};

// Fills `info` and returns true, or false with the reason in `error`.
bool queryCluster(const std::string& agentName, const std::string& address, ClusterInfo& info, std::string& error);

tkjournal::Journal& journal();
// What the cluster behind `address` answers from now on.
void setCluster(const std::string& address, const ClusterInfo& info);
// No cluster answers anywhere.
void clearClusters();

}  // namespace tkcentera
