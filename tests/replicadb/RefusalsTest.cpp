// The result codes callers tell apart, each arising from the stored state,
// and the refusals with a text where a call names what does not exist.
#include <gtest/gtest.h>

#include "Db/Proc/QR_GetDeviceID.h"
#include "tests/replicadb/ReplicaFixture.h"

namespace {

using replicatest::ReplicaTest;

class Refusals : public ReplicaTest {};

TEST_F(Refusals, AddingADeviceTheClientAlreadyHasAnswersMinus12AndAddsNothing) {
  addDevice(5, "/dev/SDB");
  const long long volumes = count("SNRVolume");
  AddSNRDeviceV5Args_t args;
  args.deviceName.hostId = 5;
  args.deviceName.deviceName = "/dev/sdb";  // letter case aside, the same device
  AddSNRDeviceV5Ret_t ret;
  EXPECT_FALSE(client_.AddSNRDevice(args, ret));
  EXPECT_EQ(-12, ret.resultCode);
  EXPECT_EQ("client 5 already has the device /dev/sdb", ret.errorText);
  EXPECT_EQ(volumes, count("SNRVolume"));
  // Another client may have a device of that name.
  args.deviceName.hostId = 6;
  EXPECT_TRUE(client_.AddSNRDevice(args, ret)) << ret.errorText;
  EXPECT_EQ(0, ret.resultCode);
}

TEST_F(Refusals, APoolIsRefusedMinus27WhileItHoldsScratchVolumesAndMinus11WhileAPolicyNamesIt) {
  const int32_t pool = addPool("p");
  const int32_t scratch = addScratch(pool, addDevice(5, "/dev/sdc"));
  RemoveRVScratchVolumePoolArgs_t args;
  args.poolId = pool;
  RemoveRVScratchVolumePoolRet_t ret;
  EXPECT_FALSE(client_.RemoveRVScratchVolPool(args, ret));
  EXPECT_EQ(-27, ret.resultCode);
  EXPECT_EQ("scratch volume pool " + std::to_string(pool) + " holds scratch volumes", ret.errorText);

  RemoveRVScratchVolumeArgs_t rs;
  rs.scratchVolumeId = scratch;
  RemoveRVScratchVolumeRet_t rsRet;
  ASSERT_TRUE(client_.RemoveRVScratchVol(rs, rsRet)) << rsRet.errorText;
  AddReplicationPolicyV3Args_t policy;
  policy.policy.scratchPoolId = pool;
  AddReplicationPolicyV3Ret_t policyRet;
  ASSERT_TRUE(client_.AddReplicationPolicy(policy, policyRet));
  EXPECT_FALSE(client_.RemoveRVScratchVolPool(args, ret));
  EXPECT_EQ(-11, ret.resultCode);
  EXPECT_EQ(1, count("RVScratchVolumePool"));

  RemoveReplicationPolicyArgs_t rp;
  rp.policyId = policyRet.policyId;
  RemoveReplicationPolicyRet_t rpRet;
  ASSERT_TRUE(client_.DeleteReplicationPolicy(rp, rpRet));
  EXPECT_TRUE(client_.RemoveRVScratchVolPool(args, ret)) << ret.errorText;
  EXPECT_EQ(0, count("RVScratchVolumePool"));
}

TEST_F(Refusals, ConsistencyPointListingsAnswerMinus3WithAnEmptyListWhenNoneIsStored) {
  QueryFLRCPsByClientIdAndAppTypeRet_t byClient;
  EXPECT_FALSE(client_.QueryCPsByClientIdAndAppType(QueryFLRCPsByClientIdAndAppTypeV1Args_t(5, 33), byClient));
  EXPECT_EQ(-3, byClient.resultCode);
  EXPECT_TRUE(byClient.consistencyPoints.empty());
  QueryFLRConsistencyPointsByFLRSetIdRet_t bySet;
  EXPECT_FALSE(client_.QueryFLRConsistencyPointsByFLRSetId(QueryFLRConsistencyPointsByFLRSetIdV1Args_t(100), bySet));
  EXPECT_EQ(-3, bySet.resultCode);

  const int32_t cp = testkit::replicadb::seedConsistencyPoint(
      FLRConsistencyPointRecord_t(-1, 100, 200, 300, true, false, 1, 2, true, 3, 4, 5, 6), 5, 33);
  EXPECT_TRUE(client_.QueryCPsByClientIdAndAppType(QueryFLRCPsByClientIdAndAppTypeV1Args_t(5, 33), byClient));
  EXPECT_EQ(0, byClient.resultCode);
  ASSERT_EQ(1u, byClient.consistencyPoints.size());
  EXPECT_EQ(cp, byClient.consistencyPoints[0].cpId);
  EXPECT_EQ(100u, byClient.consistencyPoints[0].flrSetId);
  EXPECT_EQ(200u, byClient.consistencyPoints[0].creationTime);
  EXPECT_EQ(6, byClient.consistencyPoints[0].cpValue6);
  EXPECT_TRUE(client_.QueryFLRConsistencyPointsByFLRSetId(QueryFLRConsistencyPointsByFLRSetIdV1Args_t(100), bySet));
  EXPECT_EQ(1u, bySet.consistencyPoints.size());
}

TEST_F(Refusals, APoolWithoutDeviceNamesHasNoClientMinus19AndClientZero) {
  const int32_t pool = addPool("p");
  GetClientIdByPoolIdRet_t ret;
  EXPECT_FALSE(client_.GetClientIdByPoolId(GetClientIdByPoolIdArgs_t(pool), ret));
  EXPECT_EQ(-19, ret.resultCode);
  EXPECT_EQ(0, ret.clientId);
  addScratch(pool, addDevice(7, "/dev/sdd"));
  EXPECT_TRUE(client_.GetClientIdByPoolId(GetClientIdByPoolIdArgs_t(pool), ret)) << ret.errorText;
  EXPECT_EQ(7, ret.clientId);
  EXPECT_EQ(0, ret.resultCode);
}

TEST_F(Refusals, CallsAboutObjectsThatDoNotExistFailWithTheirText) {
  QuerySNRVolumeByIdV4Args_t qv;
  qv.volumeId = 42;
  QuerySNRVolumeByIdV4Ret_t qvRet;
  EXPECT_FALSE(client_.QuerySNRVolume(qv, qvRet));
  EXPECT_EQ("volume 42 does not exist", qvRet.errorText);
  DeleteSNRDeviceArgs_t dd;
  dd.deviceNameId = 9;
  DeleteSNRDeviceRet_t ddRet;
  EXPECT_FALSE(client_.DeleteSNRDevice(dd, ddRet));
  EXPECT_EQ("device name 9 does not exist", ddRet.errorText);
  QueryQMGlobalHistoryNameByVolumeIdArgs_t qh;
  qh.volumeId = 3;
  QueryQMGlobalHistoryNameByVolumeIdRet_t qhRet;
  EXPECT_FALSE(client_.QueryQMGlobalHistoryNameByVolId(qh, qhRet));
  EXPECT_EQ("volume 3 has no history name", qhRet.errorText);
  QuerySNRVolume2ByIdV5Args_t q2;
  q2.volumeId = addDevice(5, "/dev/sde");
  q2.queryField = 7;
  QuerySNRVolume2ByIdV5Ret_t q2Ret;
  EXPECT_FALSE(client_.QuerySNRVolume2(q2, q2Ret));
  EXPECT_EQ("no volume query for field 7 and value 0", q2Ret.errorText);
  UpdateSNRVolumeV4Args_t uv;
  uv.volume.volumeId = 777;
  UpdateSNRVolumeV4Ret_t uvRet;
  EXPECT_FALSE(client_.UpdateSNRVolume(uv, uvRet));
  EXPECT_EQ("volume 777 does not exist", uvRet.errorText);
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM SNRVolume WHERE volumeId = 777"));
}

class Devices : public ReplicaTest {};

TEST_F(Devices, ADeviceAddedByTheReplicationManagerIsFoundByTheDeviceIdProcedure) {
  AddSNRDeviceV5Args_t args;
  args.deviceName.hostId = 5;
  args.deviceName.deviceName = "O'Neil's \"disk\"; DROP TABLE SNRVolume --";
  args.historyName.historyName = "hist-1";
  SNRVolumeMountPointRecord_t mp;
  mp.mountPath = "E:\\it's";
  args.mountPoints = {mp, mp};
  args.mountPoints[1].mountPath = "F:\\";
  AddSNRDeviceV5Ret_t ret;
  ASSERT_TRUE(manager_.AddSNRDevice(args, ret, nullptr)) << ret.errorText;
  ASSERT_EQ(2u, ret.mountPaths.size());
  EXPECT_EQ("E:\\it's", ret.mountPaths[0].mountPath);
  EXPECT_EQ("F:\\", ret.mountPaths[1].mountPath);

  QR_GetDeviceID proc(nullptr);
  proc.setValues(5, args.deviceName.deviceName.c_str(), "other");
  ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
  const int32_t device = proc.getDataPtr()->o_deviceID;
  EXPECT_EQ(deviceNameOf(ret.volumeId), device);

  // The rest of the device name's record, its mount points and history name.
  SNRVolumeDeviceNameV4Record_t stored;
  ASSERT_TRUE(testkit::replicadb::row(device, stored));
  EXPECT_EQ(ret.volumeId, stored.volumeId);
  QuerySNRVolMountPointBySNRVolDevIdArgs_t q;
  q.deviceNameId = device;
  QuerySNRVolMountPointBySNRVolDevIdRet_t mps;
  ASSERT_TRUE(manager_.QuerySNRVolMountPoint(q, mps, nullptr));
  ASSERT_EQ(2u, mps.mountPoints.size());
  EXPECT_EQ(device, mps.mountPoints[0].deviceNameId);
  QueryQMGlobalHistoryNameByVolumeIdArgs_t qh;
  qh.volumeId = ret.volumeId;
  QueryQMGlobalHistoryNameByVolumeIdRet_t name;
  ASSERT_TRUE(client_.QueryQMGlobalHistoryNameByVolId(qh, name));
  EXPECT_EQ("hist-1", name.historyName.historyName);
  // The latest name wins.
  AddQuillmereVolHistoryNameArgs_t later;
  later.historyName = QuillmereHistoryNameRecord_t{ret.volumeId, "hist-2"};
  AddQuillmereVolHistoryNameRet_t laterRet;
  ASSERT_TRUE(client_.AddQMGlobalHistoryName(later, laterRet));
  ASSERT_TRUE(client_.QueryQMGlobalHistoryNameByVolId(qh, name));
  EXPECT_EQ("hist-2", name.historyName.historyName);
}

TEST_F(Devices, ConfiguringRenamesAndMarksADeviceAndUnconfiguringClearsTheMarks) {
  const int32_t device = deviceNameOf(addDevice(5, "/dev/sdf"));
  ConfigureDeviceV2Args_t args;
  args.deviceName.deviceNameId = device;
  args.deviceName.deviceName = "/dev/mapper/vg-a";
  args.deviceName.configFlag = true;
  ConfigureDeviceV2Ret_t ret;
  ASSERT_TRUE(manager_.ConfigureDevice(args, ret, nullptr)) << ret.errorText;
  SNRVolumeDeviceNameV4Record_t stored;
  ASSERT_TRUE(testkit::replicadb::row(device, stored));
  EXPECT_EQ("/dev/mapper/vg-a", stored.deviceName);
  EXPECT_TRUE(stored.configFlag);
  EXPECT_TRUE(stored.deviceConfigured);
  EXPECT_EQ(5, stored.hostId);
  UnconfigureDeviceArgs_t un;
  un.deviceNameId = device;
  UnconfigureDeviceRet_t unRet;
  ASSERT_TRUE(client_.UnconfigureDevice(un, unRet));
  ASSERT_TRUE(testkit::replicadb::row(device, stored));
  EXPECT_FALSE(stored.configFlag);
  EXPECT_FALSE(stored.deviceConfigured);
}

TEST_F(Devices, MountPointsAreAddedUpdatedListedWithTheirMountedFlagAndRemoved) {
  const int32_t volume = addDevice(5, "/dev/sdg", "/mnt/one");
  const int32_t device = deviceNameOf(volume);
  AddSNRMountPointArgs_t add;
  add.mountPoint.deviceNameId = device;
  add.mountPoint.mountPath = "/mnt/two";
  AddSNRMountPointRet_t added;
  ASSERT_TRUE(manager_.AddMountPoint(add, added, nullptr)) << added.errorText;
  testkit::replicadb::setMounted(added.mountPointId, true);
  QuerySNRMountPointBySNRVolIdArgs_t q;
  q.volumeId = volume;
  QuerySNRMountPointBySNRVolIdRet_t listed;
  ASSERT_TRUE(client_.QuerySNRMountPointBySNRVolId(q, listed));
  ASSERT_EQ(2u, listed.mountPoints.size());
  EXPECT_FALSE(listed.mountPoints[0].mounted);
  EXPECT_EQ("/mnt/one", listed.mountPoints[0].mountPoint.mountPath);
  EXPECT_TRUE(listed.mountPoints[1].mounted);
  EXPECT_EQ(added.mountPointId, listed.mountPoints[1].mountPoint.mountPointId);

  UpdateSNRMountPointArgs_t up;
  up.mountPoint = SNRVolumeMountPointRecord_t{added.mountPointId, device, "/mnt/three", true, true};
  UpdateSNRMountPointRet_t upRet;
  ASSERT_TRUE(manager_.UpdateSNRVolMountPoint(up, upRet, nullptr)) << upRet.errorText;
  SNRVolumeMountPointRecord_t stored;
  ASSERT_TRUE(testkit::replicadb::row(added.mountPointId, stored));
  EXPECT_EQ("/mnt/three", stored.mountPath);
  EXPECT_TRUE(stored.caseSensitive && stored.extraFlag);

  RemoveSNRMountPointArgs_t rm;
  rm.mountPointId = added.mountPointId;
  RemoveSNRMountPointRet_t rmRet;
  ASSERT_TRUE(client_.RemoveSNRMountPoint(rm, rmRet));
  EXPECT_FALSE(client_.RemoveSNRMountPoint(rm, rmRet));
  EXPECT_EQ("mount point " + std::to_string(added.mountPointId) + " does not exist", rmRet.errorText);
}

TEST_F(Devices, DeletingTheLastDeviceNameOfAVolumeRemovesTheVolumeWithWhatIsStoredUnderIt) {
  const int32_t volume = addDevice(5, "/dev/sdh");
  const int32_t pool = addPool("p");
  addScratch(pool, volume);
  AddVolSnapParamsV2Args_t params;
  params.params.volumeId = volume;
  AddVolSnapParamsV2Ret_t paramsRet;
  ASSERT_TRUE(client_.AddVolSnapParams(params, paramsRet)) << paramsRet.errorText;
  DeleteSNRDeviceArgs_t del;
  del.deviceNameId = deviceNameOf(volume);
  DeleteSNRDeviceRet_t delRet;
  ASSERT_TRUE(client_.DeleteSNRDevice(del, delRet)) << delRet.errorText;
  for (const char* table : {"SNRVolume", "SNRVolumeDeviceName", "SNRVolumeDeviceNameEx", "SNRVolumeMountPoint",
                            "RVScratchVolume", "VolSnapParams"}) {
    SCOPED_TRACE(table);
    EXPECT_EQ(0, count(table));
  }
}

}  // namespace
