// Media-management table access: the archive clusters (MMCenteraCluster)
// and their access nodes (MMCenteraAccessNode), for the object model's
// clusters. Conventions in platform/mmdb/MMBaseDB.h.
//
// A cluster's name must be 1 to kTextWidth bytes and new among the clusters
// (without regard to letter case): MMS2_ERROR_DUPLICATE_NAME otherwise.
// Every other text is at most kTextWidth bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"

struct MMStoredCenteraCluster {
  int id = 0;
  std::string name;
  std::string clusterName;
  std::string clusterId;
  long long capacity = 0;
  std::string version;
  std::vector<std::string> accessNodes;  // sorted
};

class MMCenteraClusterDB : public MMTableAccess {
 public:
  static constexpr std::size_t kTextWidth = 255;

  explicit MMCenteraClusterDB(MMDebug* log = nullptr) : MMTableAccess(log) {}

  // Every cluster in id order with its access nodes; `out` is replaced
  // only on success.
  int loadAll(std::vector<MMStoredCenteraCluster>& out, DBtran* tran = nullptr);
  // Stores a new cluster with its access nodes; its id comes back in
  // cluster.id.
  int insertCluster(MMStoredCenteraCluster& cluster, DBtran* tran = nullptr);
  // Writes the values of the stored cluster cluster.id (not its access
  // nodes); MMS2_ERROR_NOT_FOUND when its row is gone.
  int updateCluster(const MMStoredCenteraCluster& cluster, DBtran* tran = nullptr);
  // Adds an access node (one the cluster has already stays) or removes one
  // (MMS2_ERROR_NOT_FOUND when the cluster does not have it).
  int addAccessNode(int id, const std::string& address, DBtran* tran = nullptr);
  int removeAccessNode(int id, const std::string& address, DBtran* tran = nullptr);
  // Removes the cluster with its access nodes (MMS2_ERROR_NOT_FOUND when it
  // is gone already).
  int removeCluster(int id, DBtran* tran = nullptr);

 private:
  bool checkCluster(const char* tag, const MMStoredCenteraCluster& cluster);
};
