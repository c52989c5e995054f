// The stand-in answers of archive clusters (see CenteraInfo.h).
#include "platform/centera/CenteraInfo.h"

#include <map>
#include <mutex>

namespace tkcentera {
namespace {

struct Clusters {
  std::mutex mutex;
  std::map<std::string, ClusterInfo> byAddress;
};

Clusters& clusters() {
  static Clusters c;
  return c;
}

}  // namespace

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

bool queryCluster(const std::string& agentName, const std::string& address, ClusterInfo& info, std::string& error) {
  journal().record("queryCluster", agentName, address);
  tkjournal::Failure failure;
  if (journal().takeFailure("queryCluster", failure)) {
    error = failure.text;
    return false;
  }
  Clusters& c = clusters();
  std::lock_guard<std::mutex> guard(c.mutex);
  auto it = c.byAddress.find(address);
  if (it == c.byAddress.end()) {
    error = "No archive cluster answers at [" + address + "].";
    return false;
  }
  info = it->second;
  return true;
}

void setCluster(const std::string& address, const ClusterInfo& info) {
  Clusters& c = clusters();
  std::lock_guard<std::mutex> guard(c.mutex);
  c.byAddress[address] = info;
}

void clearClusters() {
  Clusters& c = clusters();
  std::lock_guard<std::mutex> guard(c.mutex);
  c.byAddress.clear();
}

}  // namespace tkcentera
