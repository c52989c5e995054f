// The remaining operations, each against stored state: snapshot parameters,
// scratch-volume views, subclients, hosts and copy managers, VSS devices,
// file-level recovery with its cascade, replication sets and fan-in.
#include <gtest/gtest.h>

#include "tests/replicadb/ReplicaFixture.h"

namespace {

using replicatest::ReplicaTest;

class Operations : public ReplicaTest {};

TEST_F(Operations, SnapshotParametersOfAVolumeAreAddedReadUpdatedAndRemoved) {
  const int32_t volume = addDevice(5, "/dev/a");
  AddVolSnapParamsV2Args_t add;
  add.params.volumeId = volume;
  add.params.snapEngineId = 2;
  add.params.commandHint1 = "pre 'x'";
  add.params.rollbackCommandHint = "rb";
  AddVolSnapParamsV2Ret_t added;
  ASSERT_TRUE(client_.AddVolSnapParams(add, added)) << added.errorText;
  EXPECT_FALSE(client_.AddVolSnapParams(add, added));
  QueryVolSnapParamsV2Args_t q;
  q.volumeId = volume;
  QueryVolSnapParamsV2Ret_t got;
  ASSERT_TRUE(client_.QueryVolSnapParams(q, got));
  EXPECT_EQ("pre 'x'", got.params.commandHint1);
  EXPECT_EQ("rb", got.params.rollbackCommandHint);
  UpdateVolSnapParamsV2Args_t up;
  up.params = got.params;
  up.params.syncClientId = 9;
  up.params.commandHint1.clear();
  UpdateVolSnapParamsV2Ret_t upRet;
  ASSERT_TRUE(client_.UpdateVolSnapParams(up, upRet));
  ASSERT_TRUE(client_.QueryVolSnapParams(q, got));
  EXPECT_EQ(9, got.params.syncClientId);
  EXPECT_EQ("", got.params.commandHint1);
  RemoveVolSnapParamArgs_t rm;
  rm.volumeId = volume;
  RemoveVolSnapParamRet_t rmRet;
  ASSERT_TRUE(client_.RemoveVolSnapParams(rm, rmRet));
  EXPECT_FALSE(client_.QueryVolSnapParams(q, got));
  EXPECT_EQ("volume " + std::to_string(volume) + " has no snapshot parameters", got.errorText);
}

TEST_F(Operations, AScratchVolumeComesWithItsVolumeDeviceNamesMountPointsAndReplicas) {
  const int32_t pool = addPool("p");
  const int32_t a = addDevice(5, "/dev/a", "/ma"), b = addDevice(6, "/dev/b", "/mb");
  const int32_t sa = addScratch(pool, a);
  addScratch(pool, b);
  const int32_t replica = addReplica(b, a, -1, sa);
  QueryRVScratchVolV6Args_t one;
  one.scratchVolumeId = sa;
  QueryRVScratchVolV6Ret_t ret;
  ASSERT_TRUE(client_.QueryRVScratchVol(one, ret)) << ret.errorText;
  ASSERT_EQ(1u, ret.scratchVolumes.size());
  ASSERT_EQ(1u, ret.volumes.size());
  EXPECT_EQ(a, ret.volumes[0].volumeId);
  ASSERT_EQ(1u, ret.deviceNames.size());
  ASSERT_EQ(1u, ret.mountPoints.size());
  EXPECT_EQ("/ma", ret.mountPoints[0].mountPath);
  ASSERT_EQ(1u, ret.replicas.size());
  EXPECT_EQ(replica, ret.replicas[0].replicaId);
  QueryRVScratchVolV6Args_t all;
  ASSERT_TRUE(client_.QueryRVScratchVol(all, ret));
  EXPECT_EQ(2u, ret.scratchVolumes.size());
  EXPECT_EQ(2u, ret.volumes.size());

  QueryScratchVolByIdRet_t byId;
  ASSERT_TRUE(client_.QueryRVScratchVol(QueryScratchVolByIdArgs_t(sa), byId));
  EXPECT_EQ(a, byId.scratchVolume.volumeId);
  EXPECT_EQ(pool, byId.scratchVolume.poolId);
  QueryRVScratchVolBySNRVolIdV2Args_t byVolume;
  byVolume.volumeId = a;
  QueryRVScratchVolBySNRVolIdV2Ret_t byVolumeRet;
  ASSERT_TRUE(client_.QueryRVScratchVolBySNRVolId(byVolume, byVolumeRet));
  EXPECT_EQ(sa, byVolumeRet.scratchVolume.scratchVolumeId);
  QuerySNRVolumeByIdV3Args_t qv;
  qv.volumeId = a;
  QuerySNRVolumeByIdV3Ret_t qvRet;
  ASSERT_TRUE(client_.QuerySNRVolume(qv, qvRet));
  EXPECT_EQ(sa, qvRet.scratchVolume.scratchVolumeId);
  EXPECT_EQ(replica, qvRet.replica.replicaId);
  GetSNRInfoByClientIdAndVolIdV3Ret_t info;
  ASSERT_TRUE(client_.GetSNRInfoByClientAndVol(GetSNRInfoByClientIdAndVolIdV3Args_t(6, b), info));
  EXPECT_EQ("/dev/b", info.deviceName.deviceName);
  ASSERT_EQ(1u, info.mountPoints.size());
  EXPECT_FALSE(client_.GetSNRInfoByClientAndVol(GetSNRInfoByClientIdAndVolIdV3Args_t(5, b), info));
  GetRVScratchVolPoolV3ListRet_t pools;
  ASSERT_TRUE(client_.GetRVScrathVolPoolList(pools));
  ASSERT_EQ(1u, pools.pools.size());
  EXPECT_EQ(1, pools.pools[0].poolType);
  // A scratch volume that holds a replica stays.
  RemoveRVScratchVolumeArgs_t rm;
  rm.scratchVolumeId = sa;
  RemoveRVScratchVolumeRet_t rmRet;
  EXPECT_FALSE(client_.RemoveRVScratchVol(rm, rmRet));
  EXPECT_EQ("scratch volume " + std::to_string(sa) + " holds a replica", rmRet.errorText);
}

TEST_F(Operations, InstallationRecordsAreListedAsStored) {
  testkit::replicadb::seedPolicySubclient(3, 30, 47);
  testkit::replicadb::seedPolicySubclient(3, 31, 50);
  testkit::replicadb::seedPolicySubclient(3, 32, 12);
  testkit::replicadb::seedPolicySubclient(4, 40, 47);
  GetQRSCListByPolicyArgs_t sc(3);
  GetQRSCListByPolicyRet_t scRet;
  ASSERT_TRUE(client_.GetSCListByQRPolicy(sc, scRet));
  EXPECT_EQ((std::vector<int32_t>{30, 31, 32}), scRet.subclientIds);
  sc.values = {47, 50};
  ASSERT_TRUE(client_.GetSCListByQRPolicy(sc, scRet));
  EXPECT_EQ((std::vector<int32_t>{30, 31}), scRet.subclientIds);

  testkit::replicadb::seedSubclientVolume(8);
  testkit::replicadb::seedSubclientVolume(2);
  GetQRSubclientVolumesListRet_t vols;
  ASSERT_TRUE(client_.GetSubclientVolumesList(vols));
  EXPECT_EQ((std::vector<int32_t>{2, 8}), vols.volumeIds);

  testkit::replicadb::seed(VEHostRecord_t{12, "filer-1", true});
  GetVEHostsRet_t hosts;
  ASSERT_TRUE(client_.GetVEHosts(hosts));
  ASSERT_EQ(1u, hosts.hosts.size());
  EXPECT_EQ(12, hosts.hosts[0].hostId);
  EXPECT_TRUE(hosts.hosts[0].item11718);
  testkit::replicadb::seed(QRCopyMgrCtrlRecord_t{-1, "cm", 1, 5, "client5", 2, "t"});
  GetQRCopyMgrCtrlsRet_t cms;
  ASSERT_TRUE(client_.GetCopyMgrs(cms));
  ASSERT_EQ(1u, cms.controllers.size());
  EXPECT_EQ("client5", cms.controllers[0].clientName);
  SnapEngineInfoV3Record_t engine;
  engine.engineName = "engine";
  engine.commandHint6 = "six";
  testkit::replicadb::seed(engine);
  GetSnapEngineInfoV3ListRet_t engines;
  ASSERT_TRUE(client_.GetSnapEngineInfoList(engines));
  ASSERT_EQ(1u, engines.engines.size());
  EXPECT_EQ("six", engines.engines[0].commandHint6);

  const int32_t device = deviceNameOf(addDevice(5, "/dev/vss"));
  IsDevVSSSnapRet_t vss;
  ASSERT_TRUE(client_.IsDevVSSSnap(IsDevVSSSnapArgs_t(device), vss));
  EXPECT_EQ(0, vss.result);
  testkit::replicadb::seedVSSSnapDevice(device, "\\\\?\\Volume{1}", "{guid}");
  ASSERT_TRUE(client_.IsDevVSSSnap(IsDevVSSSnapArgs_t(device), vss));
  EXPECT_EQ(1, vss.result);
  EXPECT_EQ("\\\\?\\Volume{1}", vss.snapshotText1);
  EXPECT_EQ("{guid}", vss.snapshotText2);

  ReplicationVolumeV5Record_t replica;
  replica.replicaText2 = "snap-'1'";
  const int32_t replicaId = testkit::replicadb::seed(replica);
  QueryQRVolByUniqueSnapIdArgs_t unique;
  unique.uniqueSnapId = "snap-'1'";
  QueryQRVolByUniqueSnapIdRet_t uniqueRet;
  ASSERT_TRUE(client_.QueryReplicationVolumeByUniqueSnapId(unique, uniqueRet));
  ASSERT_EQ(1u, uniqueRet.replicas.size());
  EXPECT_EQ(replicaId, uniqueRet.replicas[0].replicaId);
  testkit::replicadb::seed(ApplicationDirsRecord_t{-1, 4, 1 << 25, replicaId, "C:\\db", "R:\\db"});
  QueryAppDirByReplicaVolArgs_t dirs;
  dirs.replicaId = replicaId;
  QueryAppDirByReplicaVolRet_t dirsRet;
  ASSERT_TRUE(client_.QueryAppDirByReplicaVol(dirs, dirsRet));
  ASSERT_EQ(1u, dirsRet.directories.size());
  EXPECT_EQ("R:\\db", dirsRet.directories[0].replicaDirectory);
  RemoveReplicationVolumeRet_t removed;
  ASSERT_TRUE(client_.DeleteReplicationVolume(RemoveReplicationVolumeArgs_t(replicaId), removed));
  EXPECT_EQ(0, count("ApplicationDirs"));
  EXPECT_FALSE(client_.DeleteReplicationVolume(RemoveReplicationVolumeArgs_t(replicaId), removed));
}

TEST_F(Operations, DeletingAConsistencyPointTakesItsSnapshotsMountsAndSharesAlong) {
  const int32_t cp = testkit::replicadb::seedConsistencyPoint(FLRConsistencyPointRecord_t::empty(), 5, 1);
  const int32_t other = testkit::replicadb::seedConsistencyPoint(FLRConsistencyPointRecord_t::empty(), 5, 1);
  const int32_t snap =
      testkit::replicadb::seed(FLRSnapshotRecord_t(-1, cp, "s1", "vol", "filer / path", 4, "share", 0));
  const int32_t otherSnap = testkit::replicadb::seed(FLRSnapshotRecord_t(-1, other, "s2", nullptr, nullptr, 2, "", 0));
  testkit::replicadb::seed(FLRSnapPairRecord_t{-1, snap, 2013});
  testkit::replicadb::seed(FLRPairPathRecord_t{-1, snap, "src", "pair"});
  AddFLRSnapMountPointArgs_t mount;
  mount.mountPoint = FLRSnapMountPointRecord_t(-1, snap, "M:\\");
  AddFLRSnapMountPointRet_t mounted;
  ASSERT_TRUE(client_.AddFLRSnapMountPoint(mount, mounted)) << mounted.errorText;
  AddFLRSnapNetworkShareArgs_t share;
  share.share = FLRSnapNetworkShareRecord_t(-1, mounted.mountPointId, "share$");
  AddFLRSnapNetworkShareRet_t shared;
  ASSERT_TRUE(client_.AddFLRSnapNetworkShare(share, shared)) << shared.errorText;

  QueryFLRSnapshotsByCPIdRet_t listed;
  ASSERT_TRUE(client_.QueryFLRSnapshotsByCPId(QueryFLRSnapshotsByCPIdArgs_t(cp), listed));
  ASSERT_EQ(1u, listed.snapshots.size());
  EXPECT_TRUE(listed.snapshots[0].IsONTAPSnapshot());
  EXPECT_EQ("filer / path", listed.snapshots[0].snapText3);
  EXPECT_EQ(1u, listed.pairs.size());
  EXPECT_EQ(1u, listed.pairPaths.size());
  ASSERT_EQ(1u, listed.mountPoints.size());
  ASSERT_EQ(1u, listed.shares.size());
  EXPECT_EQ("share$", listed.shares[0].shareName);

  UpdateFLRSnapshotArgs_t up;
  up.snapshots.push_back(listed.snapshots[0]);
  up.snapshots[0].sharePath = "new share";
  UpdateFLRSnapshotRet_t upRet;
  ASSERT_TRUE(client_.UpdateFLRSnapshot(up, upRet)) << upRet.errorText;
  QueryCDRSnapBySnapIdRet_t one;
  ASSERT_TRUE(client_.QueryCDRSnapBySnapId(QueryCDRSnapBySnapIdArgs_t(snap), one));
  EXPECT_EQ("new share", one.snapshot.sharePath);

  DelCPRet_t deleted;
  ASSERT_TRUE(client_.DelCP(DelCPArgs_t(cp, false), deleted)) << deleted.errorText;
  QueryCPByIdRet_t gone;
  EXPECT_FALSE(client_.QueryCPById(QueryCPByIdArgs_t(cp), gone));
  EXPECT_EQ(-1, gone.consistencyPoint.cpId);
  for (const char* table : {"FLRSnapPair", "FLRPairPath", "FLRSnapMountPoint", "FLRSnapNetworkShare"}) {
    SCOPED_TRACE(table);
    EXPECT_EQ(0, count(table));
  }
  FLRSnapshotRecord_t kept;
  EXPECT_TRUE(testkit::replicadb::row(otherSnap, kept));
  EXPECT_EQ(1, count("FLRSnapshot"));
}

TEST_F(Operations, ReplicationSetsRecoveryPointsAndFanInDetailsAreSelectedByTheirKeys) {
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"C:\\", "x", "client5", 1, 5}, 7);
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"D:\\", "y", "client5", 2, 5}, 7);
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"C:\\", "z", "client6", 3, 6}, 8);
  FindRepSetByVolumeArgs_t find(7);
  FindRepSetByVolumeRet_t found;
  ASSERT_TRUE(client_.FindRepSetByVolume(find, found));
  EXPECT_EQ(2u, found.volumes.size());
  find.paths = {"D:\\"};
  ASSERT_TRUE(client_.FindRepSetByVolume(find, found));
  ASSERT_EQ(1u, found.volumes.size());
  EXPECT_EQ("y", found.volumes[0].secondText);

  const int32_t rp = testkit::replicadb::seedRecoveryPoint(RPInfo1Record_t{-1, 1, "rp", "", 2}, 9, "vol'1");
  testkit::replicadb::seedRecoveryPoint(RPInfo1Record_t{-1, 1, "rp2", "", 2}, 9, "vol2");
  QueryRPByDstClientIdAndVolNameRet_t rps;
  ASSERT_TRUE(client_.QueryRPByDstClientIdAndVolName(QueryRPByDstClientIdAndVolNameArgs_t(9, "vol'1", false), rps));
  ASSERT_EQ(1u, rps.recoveryPoints.size());
  EXPECT_EQ(rp, rps.recoveryPoints[0].rpId);
  FanInDetail_t detail;
  detail.destClientId = 9;
  detail.text8 = "eight";
  testkit::replicadb::seedFanInDetail(detail, rp);
  QueryFanInDetailInfoByRPIdRet_t details;
  ASSERT_TRUE(client_.QueryFanInRPDetails(QueryFanInDetailInfoByRPIdArgs_t(rp), details));
  ASSERT_EQ(1u, details.details.size());
  EXPECT_EQ("eight", details.details[0].text8);
  ASSERT_TRUE(client_.QueryFanInRPDetails(QueryFanInDetailInfoByRPIdArgs_t(rp + 100), details));
  EXPECT_TRUE(details.details.empty());
}

TEST_F(Operations, AppliancesAreListedInIdOrderWithTheirNames) {
  for (const char* name : {"b", "a'quoted"}) {
    AddQRApplianceArgs_t args;
    args.appliance.applianceName = name;
    AddQRApplianceRet_t ret;
    ASSERT_TRUE(client_.AddQRAppliance(args, ret));
  }
  GetQRApplianceListRet_t list;
  ASSERT_TRUE(client_.GetQRApplianceList(list));
  ASSERT_EQ(2u, list.appliances.size());
  EXPECT_EQ("b", list.appliances.front().applianceName);
  EXPECT_EQ("a'quoted", list.appliances.back().applianceName);
  GetQRUserApplicationListListRet_t apps;
  ASSERT_TRUE(client_.GetApplicationList(apps));
  EXPECT_TRUE(apps.applications.empty());
}

}  // namespace
