// Test control of the archive clusters' answers: setCluster(address, info)
// scripts what the cluster behind an access node reports; journal() records
// "queryCluster" (agent name, address) and takes injected failures.
#pragma once

#include "platform/centera/CenteraInfo.h"

namespace testkit::centera {

inline tkjournal::Journal& journal() { return tkcentera::journal(); }
inline void setCluster(const std::string& address, const tkcentera::ClusterInfo& info) {
  tkcentera::setCluster(address, info);
}
inline void reset() {
  tkcentera::journal().reset();
  tkcentera::clearClusters();
}

}  // namespace testkit::centera
