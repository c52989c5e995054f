// Reading the archive clusters: each cluster in id order with its access
// nodes in address order, in one read; nodes of no cluster are left out,
// and an unusable row fails the read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mmdb/MMCenteraClusterDB.h"
#include "platform/testkit/mmdb.h"
#include "tests/support/TestDatabase.h"

namespace {

class ClusterRead : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::mmdb::reset();
    ASSERT_EQ(0, db.exec("INSERT INTO MMCenteraCluster (ClusterId, Name, ClusterName, ClusterIdentity, Capacity, "
                         "Version) VALUES (7, 'seven', 'c7', 'id-7', 700, 'v7'), (3, 'three', 'c3', 'id-3', 300, 'v3')"));
    ASSERT_EQ(0, db.exec("INSERT INTO MMCenteraAccessNode (ClusterId, Address) VALUES (7, 'n-b'), (3, 'n-z'), "
                         "(7, 'n-a'), (9, 'orphan'), (3, 'n-c')"));
  }
  void TearDown() override { testkit::mmdb::stop(); }
  tktest::TestDatabase db;
};

TEST_F(ClusterRead, ClustersInIdOrderWithTheirNodesInAddressOrder) {
  MMCenteraClusterDB access;
  std::vector<MMStoredCenteraCluster> clusters;
  ASSERT_EQ(access.loadAll(clusters), 0) << access.lastErrorText();
  ASSERT_EQ(clusters.size(), 2u);
  EXPECT_EQ(clusters[0].id, 3);
  EXPECT_EQ(clusters[0].name, "three");
  EXPECT_EQ(clusters[0].clusterName, "c3");
  EXPECT_EQ(clusters[0].clusterId, "id-3");
  EXPECT_EQ(clusters[0].capacity, 300);
  EXPECT_EQ(clusters[0].version, "v3");
  EXPECT_EQ(clusters[0].accessNodes, (std::vector<std::string>{"n-c", "n-z"}));
  EXPECT_EQ(clusters[1].id, 7);
  EXPECT_EQ(clusters[1].accessNodes, (std::vector<std::string>{"n-a", "n-b"}));
}

TEST_F(ClusterRead, AnUnusableRowFailsTheReadAndLeavesTheListAlone) {
  MMCenteraClusterDB access;
  std::vector<MMStoredCenteraCluster> clusters(1);
  ASSERT_EQ(0, db.exec("INSERT INTO MMCenteraAccessNode (ClusterId, Address) VALUES ('x', 'bad')"));
  EXPECT_NE(access.loadAll(clusters), 0);
  EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_BAD_VALUE);
  EXPECT_NE(access.lastErrorText().find("MMCenteraAccessNode"), std::string::npos) << access.lastErrorText();
  EXPECT_EQ(clusters.size(), 1u);
  ASSERT_EQ(0, db.exec("DELETE FROM MMCenteraAccessNode WHERE ClusterId = 'x'; "
                       "UPDATE MMCenteraCluster SET Capacity = 'lots' WHERE ClusterId = 3"));
  EXPECT_NE(access.loadAll(clusters), 0);
  EXPECT_NE(access.lastErrorText().find("MMCenteraCluster "), std::string::npos) << access.lastErrorText();
}

}  // namespace
