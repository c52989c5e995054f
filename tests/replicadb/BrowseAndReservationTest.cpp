// Browsing a client's or a policy's replicas with all they refer to, the
// volume queries by relation, and reserving scratch targets against the
// list of available volumes.
#include <gtest/gtest.h>

#include <algorithm>

#include "sanvol/replica/ReplicaPredicates.h"
#include "tests/replicadb/ReplicaFixture.h"

namespace {

using replicatest::ReplicaTest;

class Browse : public ReplicaTest {
 protected:
  void SetUp() override {
    primary = addDevice(5, "/dev/src", "/data");
    physical = addDevice(8, "/dev/rep", "/snap");
    pool = addPool("p");
    scratch = addScratch(pool, physical);
    policy = [&] {
      AddReplicationPolicyV3Args_t args;
      AddReplicationPolicyV3Ret_t ret;
      EXPECT_TRUE(client_.AddReplicationPolicy(args, ret));
      return ret.policyId;
    }();
    replica = addReplica(primary, physical, policy, scratch);
    testkit::replicadb::seed(QRVolumeApp_t{replica, "SQL Server"});
    addReplica(addDevice(6, "/dev/other"), addDevice(6, "/dev/other2"));  // another client's
  }
  int32_t primary = -1, physical = -1, pool = -1, scratch = -1, policy = -1, replica = -1;
};

TEST_F(Browse, AClientsReplicasComeWithTheirVolumesDeviceNamesMountPointsScratchRecordsAndApplications) {
  BrowseByClientIdV2Ret_t ret;
  ASSERT_TRUE(client_.BrowseByClientId(BrowseByClientIdV2Args_t(5), ret)) << ret.errorText;
  ASSERT_EQ(1u, ret.replicas.size());
  EXPECT_EQ(replica, ret.replicas[0].replicaId);
  ASSERT_EQ(2u, ret.volumes.size());
  FindVolumeById byId;
  byId.id = primary;
  EXPECT_NE(ret.volumes.end(), std::find_if(ret.volumes.begin(), ret.volumes.end(), byId));
  byId.id = physical;
  EXPECT_NE(ret.volumes.end(), std::find_if(ret.volumes.begin(), ret.volumes.end(), byId));
  EXPECT_EQ(2u, ret.deviceNames.size());
  ASSERT_EQ(2u, ret.mountPoints.size());
  EXPECT_EQ("/data", ret.mountPoints[0].mountPath);
  EXPECT_EQ("/snap", ret.mountPoints[1].mountPath);
  ASSERT_EQ(1u, ret.scratchVolumes.size());
  EXPECT_EQ(scratch, ret.scratchVolumes[0].scratchVolumeId);
  ASSERT_EQ(1u, ret.replicaApps.size());
  EXPECT_EQ("SQL Server", ret.replicaApps[0].appName);

  BrowseByPolicyIdV2Ret_t byPolicy;
  ASSERT_TRUE(client_.BrowseByPolicyId(BrowseByPolicyIdV2Args_t(policy), byPolicy));
  EXPECT_EQ(1u, byPolicy.replicas.size());
  EXPECT_EQ(2u, byPolicy.volumes.size());
}

TEST_F(Browse, AReplicaWhosePrimaryVolumeWasDeletedComesBackWithoutIt) {
  // The client's device name stays (another volume), so the replica is still the client's by policy.
  DeleteSNRDeviceArgs_t del;
  del.deviceNameId = deviceNameOf(primary);
  DeleteSNRDeviceRet_t delRet;
  ASSERT_TRUE(client_.DeleteSNRDevice(del, delRet)) << delRet.errorText;
  BrowseByPolicyIdV2Ret_t ret;
  ASSERT_TRUE(client_.BrowseByPolicyId(BrowseByPolicyIdV2Args_t(policy), ret)) << ret.errorText;
  ASSERT_EQ(1u, ret.replicas.size());
  EXPECT_EQ(primary, ret.replicas[0].primaryVolumeId);
  ASSERT_EQ(1u, ret.volumes.size());
  EXPECT_EQ(physical, ret.volumes[0].volumeId);
  ASSERT_EQ(1u, ret.deviceNames.size());
  EXPECT_EQ(8, ret.deviceNames[0].hostId);
  EXPECT_EQ(1u, ret.mountPoints.size());
  // By client: the primary volume was how the replica was the client's.
  BrowseByClientIdV2Ret_t byClient;
  ASSERT_TRUE(client_.BrowseByClientId(BrowseByClientIdV2Args_t(5), byClient));
  EXPECT_TRUE(byClient.replicas.empty());
}

TEST_F(Browse, VolumeQueriesFindTheReplicasHeldByAVolumeOrMadeFromIt) {
  QuerySNRVolume2ByIdV5Args_t held;
  held.volumeId = physical;
  held.queryField = 1;
  QuerySNRVolume2ByIdV5Ret_t ret;
  ASSERT_TRUE(client_.QuerySNRVolume2(held, ret)) << ret.errorText;
  ASSERT_EQ(1u, ret.replicas.size());
  EXPECT_EQ(replica, ret.replicas[0].replicaId);
  EXPECT_EQ(scratch, ret.scratchVolume.scratchVolumeId);
  QuerySNRVolume2ByIdV3Args_t made;
  made.volumeId = primary;
  made.queryField = 24;
  made.queryValue = 5;
  QuerySNRVolume2ByIdV3Ret_t madeRet;
  ASSERT_TRUE(client_.QuerySNRVolume2(made, madeRet)) << madeRet.errorText;
  ASSERT_EQ(1u, madeRet.replicas.size());
  EXPECT_EQ(physical, madeRet.replicas[0].physicalVolumeId);
  EXPECT_EQ(-1, madeRet.scratchVolume.scratchVolumeId);
  held.volumeId = primary;
  ASSERT_TRUE(client_.QuerySNRVolume2(held, ret));
  EXPECT_TRUE(ret.replicas.empty());

  QuerySNRDeviceV6Ret_t device;
  ASSERT_TRUE(client_.QuerySNRDevice(QuerySNRDeviceV6Args_t(8), device));
  EXPECT_EQ(1u, device.deviceNames.size());
  EXPECT_EQ(1u, device.volumes.size());
  EXPECT_EQ(1u, device.scratchVolumes.size());
  EXPECT_EQ(1u, device.replicas.size());
}

class Reservation : public ReplicaTest {};

TEST_F(Reservation, ReservedVolumesAndVolumesHoldingAReplicaAreNoLongerAvailableUntilReleased) {
  const int32_t pool = addPool("p");
  const int32_t a = addDevice(5, "/dev/a"), b = addDevice(5, "/dev/b"), c = addDevice(5, "/dev/c");
  addScratch(pool, a);
  addScratch(pool, b);
  const int32_t scratchC = addScratch(pool, c);
  GetAvailVolFromPoolArgs_t args;
  args.poolId = pool;
  GetAvailVolFromPoolRet_t ret;
  ASSERT_TRUE(client_.GetAvailableVolFromPool(args, ret));
  EXPECT_EQ((std::vector<int32_t>{a, b, c}), ret.volumeIds);

  ReserveSNRVolumeListArgs_t reserve;
  reserve.volumeIds = {b};
  ReserveSNRVolumeListRet_t reserved;
  ASSERT_TRUE(client_.ReserveSNRVolume(reserve, reserved)) << reserved.errorText;
  EXPECT_TRUE(testkit::replicadb::isReserved(b));
  const int32_t replica = addReplica(a, c, -1, scratchC);
  ASSERT_TRUE(client_.GetAvailableVolFromPool(args, ret));
  EXPECT_EQ((std::vector<int32_t>{a}), ret.volumeIds);

  // A list naming a volume that does not exist reserves none of it.
  reserve.volumeIds = {a, 999};
  EXPECT_FALSE(client_.ReserveSNRVolume(reserve, reserved));
  EXPECT_EQ("volume 999 does not exist", reserved.errorText);
  EXPECT_FALSE(testkit::replicadb::isReserved(a));

  ReleaseRVScratchVolumeV2Args_t release;
  release.replicaId = replica;
  ReleaseRVScratchVolumeV2Ret_t released;
  ASSERT_TRUE(client_.ReleaseRVScratchVol(release, released)) << released.errorText;
  ASSERT_TRUE(client_.GetAvailableVolFromPool(args, ret));
  EXPECT_EQ((std::vector<int32_t>{a, c}), ret.volumeIds);
}

TEST_F(Reservation, TheCostCategoryOfAPoolReachesEveryVolumeOfItsScratchVolumes) {
  const int32_t pool = addPool("p");
  const int32_t a = addDevice(5, "/dev/a"), other = addDevice(5, "/dev/b");
  addScratch(pool, a);
  UpdateCostCategoryToVolsInPoolArgs_t args;
  args.poolId = pool;
  args.costCategoryId = 1ULL << 33;
  UpdateCostCategoryToVolsInPoolRet_t ret;
  ASSERT_TRUE(client_.UpdateCostToVolsInPool(args, ret)) << ret.errorText;
  SNRVolumeRecordV4_t v;
  ASSERT_TRUE(testkit::replicadb::row(a, v));
  EXPECT_EQ(1LL << 33, v.costCategoryId);
  ASSERT_TRUE(testkit::replicadb::row(other, v));
  EXPECT_EQ(0, v.costCategoryId);
}

TEST_F(Reservation, APermanentReplicaIsCreatedFoundAndDeletedWithItsSnapshotVolume) {
  const int32_t source = addDevice(5, "/dev/a");
  CreatePermanentReplicaV4Args_t create;
  create.snapshotVolume.deviceId = "snap-dev";
  create.snapshotVolume.lun = 3;
  create.sourceVolumeId = source;
  CreatePermanentReplicaV4Ret_t created;
  ASSERT_TRUE(client_.CreatePermanentReplica(create, created)) << created.errorText;
  EXPECT_FALSE(client_.CreatePermanentReplica(create, created));
  QueryPermanentReplicaArgs_t q;
  q.volumeId = source;
  QueryPermanentReplicaRet_t found;
  ASSERT_TRUE(client_.QueryPermanentReplica(q, found)) << found.errorText;
  QuerySNRVolumeByIdArgs_t qv;
  qv.volumeId = found.replica.physicalVolumeId;
  QuerySNRVolumeByIdRet_t snap;
  ASSERT_TRUE(client_.QuerySNRVolume(qv, snap)) << snap.errorText;
  EXPECT_EQ("snap-dev", snap.volume.deviceId);
  EXPECT_EQ(3, snap.volume.lun);
  DeletePermanentReplicaArgs_t del;
  del.volumeId = source;
  DeletePermanentReplicaRet_t delRet;
  ASSERT_TRUE(client_.DeletePermanentReplica(del, delRet)) << delRet.errorText;
  EXPECT_FALSE(client_.QueryPermanentReplica(q, found));
  EXPECT_EQ(1, count("SNRVolume"));
  EXPECT_EQ(0, count("ReplicationVolume"));
}

}  // namespace
