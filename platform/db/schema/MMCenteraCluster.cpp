// The archive clusters: one row per cluster the media agents write to, with
// its name in the configuration (unique without regard to letter case), the
// cluster's own name, identity, capacity (bytes, and as text) and version;
// and the access nodes through which the cluster is reached, one row per
// cluster and address. Read and written by MMCenteraClusterDB.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMCenteraCluster",
                       "CREATE TABLE IF NOT EXISTS \"MMCenteraCluster\" ("
                       "\"ClusterId\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "\"Name\" TEXT COLLATE NOCASE NOT NULL UNIQUE, "
                       "\"ClusterName\" TEXT NOT NULL DEFAULT '', "
                       "\"ClusterIdentity\" TEXT NOT NULL DEFAULT '', "
                       "\"Capacity\" INTEGER NOT NULL DEFAULT 0, "
                       "\"Version\" TEXT NOT NULL DEFAULT '')");
  tkdb::registerSchema("MMCenteraAccessNode",
                       "CREATE TABLE IF NOT EXISTS \"MMCenteraAccessNode\" ("
                       "\"ClusterId\" INTEGER NOT NULL, "
                       "\"Address\" TEXT NOT NULL, "
                       "PRIMARY KEY (\"ClusterId\", \"Address\"))");
  return true;
}();

}  // namespace
