// Fresh ids from every add, never reused; masked updates that change only
// the marked fields; whole-record updates that store what their version has.
#include <gtest/gtest.h>

#include <set>

#include "tests/replicadb/ReplicaFixture.h"

namespace {

using replicatest::ReplicaTest;

class Ids : public ReplicaTest {};

TEST_F(Ids, AddsOnDifferentClientObjectsGetDistinctIdsAndDeletedIdsAreNeverHandedOutAgain) {
  std::set<int32_t> appliances;
  for (int i = 0; i < 3; ++i) {
    ReplicaDBClient own(1);
    AddQRApplianceArgs_t args;
    args.appliance.applianceName = "app" + std::to_string(i);
    AddQRApplianceRet_t ret;
    ASSERT_TRUE(own.AddQRAppliance(args, ret)) << ret.errorText;
    EXPECT_GT(ret.applianceId, 0);
    appliances.insert(ret.applianceId);
  }
  EXPECT_EQ(3u, appliances.size());
  const int32_t last = *appliances.rbegin();
  DeleteQRApplianceArgs_t del;
  del.applianceId = last;
  DeleteQRApplianceRet_t delRet;
  ASSERT_TRUE(client_.DeleteQRAppliance(del, delRet)) << delRet.errorText;
  AddQRApplianceArgs_t again;
  AddQRApplianceRet_t againRet;
  ASSERT_TRUE(client_.AddQRAppliance(again, againRet));
  EXPECT_GT(againRet.applianceId, last);
}

TEST_F(Ids, EveryKindOfAddAfterADeleteGetsAnIdAboveAllEarlierOnes) {
  const int32_t v1 = addDevice(5, "/dev/sda");
  DeleteSNRDeviceArgs_t del;
  del.deviceNameId = deviceNameOf(v1);
  DeleteSNRDeviceRet_t delRet;
  ASSERT_TRUE(client_.DeleteSNRDevice(del, delRet)) << delRet.errorText;
  const int32_t v2 = addDevice(5, "/dev/sda");
  EXPECT_GT(v2, v1);
  EXPECT_GT(deviceNameOf(v2), del.deviceNameId);

  const int32_t p1 = addPool("p1");
  RemoveRVScratchVolumePoolArgs_t rp;
  rp.poolId = p1;
  RemoveRVScratchVolumePoolRet_t rpRet;
  ASSERT_TRUE(client_.RemoveRVScratchVolPool(rp, rpRet)) << rpRet.errorText;
  EXPECT_GT(addPool("p2"), p1);

  AddReplicationPolicyV3Args_t pa;
  AddReplicationPolicyV3Ret_t pr1, pr2;
  ASSERT_TRUE(client_.AddReplicationPolicy(pa, pr1));
  RemoveReplicationPolicyArgs_t pd;
  pd.policyId = pr1.policyId;
  RemoveReplicationPolicyRet_t pdRet;
  ASSERT_TRUE(client_.DeleteReplicationPolicy(pd, pdRet));
  ASSERT_TRUE(client_.AddReplicationPolicy(pa, pr2));
  EXPECT_GT(pr2.policyId, pr1.policyId);

  AddQRUserAppDefsArgs_t ua;
  AddQRUserAppDefsRet_t ur1, ur2;
  ASSERT_TRUE(client_.AddApplication(ua, ur1));
  DeleteQRUserAppDefsArgs_t ud;
  ud.userAppId = ur1.userAppId;
  DeleteQRUserAppDefsRet_t udRet;
  ASSERT_TRUE(client_.DeleteApplication(ud, udRet));
  ASSERT_TRUE(client_.AddApplication(ua, ur2));
  EXPECT_GT(ur2.userAppId, ur1.userAppId);
}

class MaskedUpdates : public ReplicaTest {};

TEST_F(MaskedUpdates, EachVolumeMaskBitChangesItsFieldAndNothingElse) {
  struct Case {
    const char* name;
    void (*mark)(SNRVolumeRecordV3_t&);
    void (*expect)(const SNRVolumeRecordV4_t&);
  };
  const Case cases[] = {
      {"qmState", [](SNRVolumeRecordV3_t& v) { v.SetQMState(2); },
       [](const SNRVolumeRecordV4_t& v) { EXPECT_EQ(2, v.qmState); }},
      {"qmProtected", [](SNRVolumeRecordV3_t& v) { v.SetQuillmereProtected(true); },
       [](const SNRVolumeRecordV4_t& v) { EXPECT_TRUE(v.qmProtected); }},
      {"applianceId",
       [](SNRVolumeRecordV3_t& v) {
         v.applianceId = 44;
         v.changeMask |= 0x400;
       },
       [](const SNRVolumeRecordV4_t& v) { EXPECT_EQ(44, v.applianceId); }},
      {"costCategoryId", [](SNRVolumeRecordV3_t& v) { v.SetCostCategoryId(-5); },
       [](const SNRVolumeRecordV4_t& v) { EXPECT_EQ(-5, v.costCategoryId); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t id = addDevice(5, std::string("/dev/") + c.name);
    SNRVolumeRecordV4_t before;
    ASSERT_TRUE(testkit::replicadb::row(id, before));
    const tkdb::DbRow rowBefore = db.query("SELECT * FROM SNRVolume WHERE volumeId = ?", {id}).at(0);
    // Every other field of the sent record differs from the stored one.
    UpdateSNRVolumeV3Args_t args;
    args.volume.volumeId = id;
    args.volume.deviceId = "changed";
    args.volume.blockCount = 7;
    args.volume.fsType = "xfs";
    args.volume.qmState = 1;
    args.volume.applianceId = 9;
    c.mark(args.volume);
    UpdateSNRVolumeV3Ret_t ret;
    ASSERT_TRUE(client_.UpdateSNRVolume(args, ret)) << ret.errorText;
    SNRVolumeRecordV4_t after;
    ASSERT_TRUE(testkit::replicadb::row(id, after));
    c.expect(after);
    // No other column of the row changed, although the record sent other
    // values for every field.
    EXPECT_EQ(0, after.changeMask);
    const tkdb::DbRows columns = db.query("SELECT name FROM pragma_table_info('SNRVolume') ORDER BY cid");
    const tkdb::DbRows now = db.query("SELECT * FROM SNRVolume WHERE volumeId = ?", {id});
    ASSERT_EQ(1u, now.size());
    ASSERT_EQ(columns.size(), rowBefore.size());
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i][0].s == c.name) continue;
      EXPECT_EQ(rowBefore[i], now[0][i]) << columns[i][0].s;
    }
  }
}

TEST_F(MaskedUpdates, MaskZeroChangesNothingForAnyMaskedKind) {
  const int32_t volume = addDevice(5, "/dev/sda");
  const tkdb::DbRows volumesBefore = db.query("SELECT * FROM SNRVolume");
  const tkdb::DbRows devicesBefore = db.query("SELECT * FROM SNRVolumeDeviceNameFull");
  UpdateSNRVolumeV3Args_t v;
  v.volume.volumeId = volume;
  v.volume.qmState = 2;
  UpdateSNRVolumeV3Ret_t vr;
  EXPECT_TRUE(client_.UpdateSNRVolume(v, vr)) << vr.errorText;
  UpdateSNRDeviceV4Args_t d;
  d.deviceName.deviceNameId = deviceNameOf(volume);
  d.deviceName.accessPath = "x";
  d.deviceName.filerClientId = 9;
  UpdateSNRDeviceV4Ret_t dr;
  EXPECT_TRUE(client_.UpdateSNRDevice(d, dr)) << dr.errorText;
  EXPECT_EQ(volumesBefore, db.query("SELECT * FROM SNRVolume"));
  EXPECT_EQ(devicesBefore, db.query("SELECT * FROM SNRVolumeDeviceNameFull"));

  AddQRUserAppDefsArgs_t add;
  add.application.appName = "db";
  add.application.appTag = "tag";
  AddQRUserAppDefsRet_t added;
  ASSERT_TRUE(client_.AddApplication(add, added));
  UpdateQRUserAppDefsArgs_t u;
  u.application.userAppId = added.userAppId;
  u.application.appName = "other";
  UpdateQRUserAppDefsRet_t ur;
  EXPECT_TRUE(client_.UpdateApplication(u, ur));
  EXPECT_EQ("db", db.text("SELECT appName FROM QRUserAppDefs"));
}

TEST_F(MaskedUpdates, DeviceAndApplicationBitsChangeOnlyTheirFields) {
  const int32_t volume = addDevice(5, "/dev/sda");
  const int32_t device = deviceNameOf(volume);
  UpdateSNRDeviceV4Args_t d;
  d.deviceName.deviceNameId = device;
  d.deviceName.hostId = 99;
  d.deviceName.deviceName = "renamed";
  d.deviceName.UpdateAccessPath("\\\\filer\\share");
  UpdateSNRDeviceV4Ret_t dr;
  ASSERT_TRUE(client_.UpdateSNRDevice(d, dr)) << dr.errorText;
  SNRVolumeDeviceNameV4Record_t stored;
  ASSERT_TRUE(testkit::replicadb::row(device, stored));
  EXPECT_EQ("\\\\filer\\share", stored.accessPath);
  EXPECT_EQ(1, stored.filerClientId);
  EXPECT_EQ(5, stored.hostId);
  EXPECT_EQ("/dev/sda", stored.deviceName);
  d.deviceName.changeMask = 0;
  d.deviceName.UpdateFilerClientId(12);
  d.deviceName.accessPath = "ignored";
  ASSERT_TRUE(client_.UpdateSNRDevice(d, dr));
  ASSERT_TRUE(testkit::replicadb::row(device, stored));
  EXPECT_EQ(12, stored.filerClientId);
  EXPECT_EQ("\\\\filer\\share", stored.accessPath);

  struct Case {
    int32_t bit;
    const char* column;
  };
  const Case cases[] = {{0x2, "appName"}, {0x4, "appTag"}, {0x8, "suspendScript"}, {0x10, "resumeScript"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    AddQRUserAppDefsArgs_t add;
    add.application = QRUserAppDefsRecord_t{-1, 3, "name", "tag", "suspend", "resume", 0};
    AddQRUserAppDefsRet_t added;
    ASSERT_TRUE(client_.AddApplication(add, added));
    UpdateQRUserAppDefsArgs_t u;
    u.application = QRUserAppDefsRecord_t{added.userAppId, 77, "N", "T", "S", "R", c.bit};
    UpdateQRUserAppDefsRet_t ur;
    ASSERT_TRUE(client_.UpdateApplication(u, ur)) << ur.errorText;
    QueryQRUserAppDefsArgs_t q;
    q.userAppId = added.userAppId;
    QueryQRUserAppDefsRet_t got;
    ASSERT_TRUE(client_.QueryApplication(q, got));
    EXPECT_EQ(3, got.application.appId);
    EXPECT_EQ(0, got.application.changeMask);
    EXPECT_EQ(c.bit == 0x2 ? "N" : "name", got.application.appName);
    EXPECT_EQ(c.bit == 0x4 ? "T" : "tag", got.application.appTag);
    EXPECT_EQ(c.bit == 0x8 ? "S" : "suspend", got.application.suspendScript);
    EXPECT_EQ(c.bit == 0x10 ? "R" : "resume", got.application.resumeScript);
  }
}

class WholeUpdates : public ReplicaTest {};

TEST_F(WholeUpdates, AVersion4VolumeUpdateStoresEveryFieldAsSent) {
  const int32_t id = addDevice(5, "/dev/sda");
  UpdateSNRVolumeV4Args_t args;
  SNRVolumeRecordV4_t& v = args.volume;
  v.volumeId = id;
  v.deviceId = "it's \"quoted\"";
  v.deviceIdType = 3;
  v.lun = 4;
  v.startLba = 1LL << 40;
  v.blockCount = (1LL << 41) + 1;
  v.blockSize = 512;
  v.backupFromSnap = true;
  v.volumeLock = true;
  v.fsType = "ntfs";
  v.usePermanentReplica = true;
  v.auxText = "aux";
  v.extraFlag = true;
  v.qmProtected = true;
  v.applianceId = 8;
  v.qmState = 2;
  v.costCategoryId = -5;
  v.tailFlag = true;
  v.volumeType = 4;
  UpdateSNRVolumeV4Ret_t ret;
  ASSERT_TRUE(client_.UpdateSNRVolume(args, ret)) << ret.errorText;
  QuerySNRVolumeByIdV5Args_t q;
  q.volumeId = id;
  QuerySNRVolumeByIdV5Ret_t got;
  ASSERT_TRUE(client_.QuerySNRVolume(q, got)) << got.errorText;
  const SNRVolumeRecordV4_t& g = got.volume;
  EXPECT_EQ(v.deviceId, g.deviceId);
  EXPECT_EQ(3, g.deviceIdType);
  EXPECT_EQ(4, g.lun);
  EXPECT_EQ(1LL << 40, g.startLba);
  EXPECT_EQ((1LL << 41) + 1, g.blockCount);
  EXPECT_EQ(512, g.blockSize);
  EXPECT_TRUE(g.backupFromSnap && g.volumeLock && g.usePermanentReplica && g.extraFlag && g.qmProtected && g.tailFlag);
  EXPECT_EQ("ntfs", g.fsType);
  EXPECT_EQ("aux", g.auxText);
  EXPECT_EQ(8, g.applianceId);
  EXPECT_EQ(2, g.qmState);
  EXPECT_EQ(-5, g.costCategoryId);
  EXPECT_EQ(4, g.volumeType);
  // The version-1 form cuts the 64-bit numbers to 32 bits.
  QuerySNRVolumeByIdArgs_t q1;
  q1.volumeId = id;
  QuerySNRVolumeByIdRet_t got1;
  ASSERT_TRUE(client_.QuerySNRVolume(q1, got1));
  EXPECT_EQ(v.deviceId, got1.volume.deviceId);
  EXPECT_EQ(1, got1.volume.blockCount);
}

TEST_F(WholeUpdates, AnOlderVersionStoresOnlyTheFieldsThatVersionHas) {
  ReplicationVolumeV5Record_t seeded;
  seeded.item11751 = 5;
  seeded.item11746 = 6;
  seeded.replicaText = "kept";
  const int32_t id = testkit::replicadb::seed(seeded);
  UpdateReplicationVolume42Args_t args;
  args.replica.replicaId = id;
  args.replica.role = 3;
  args.replica.jobId = 1ULL << 40;
  args.replica.activateSnapshot = true;
  UpdateReplicationVolume42Ret_t ret;
  ASSERT_TRUE(client_.UpdateReplicationVolume(args, ret)) << ret.errorText;
  ReplicationVolumeV5Record_t stored;
  ASSERT_TRUE(testkit::replicadb::row(id, stored));
  EXPECT_EQ(3, stored.role);
  EXPECT_EQ(1ULL << 40, stored.jobId);
  EXPECT_TRUE(stored.activateSnapshot);
  EXPECT_EQ(5, stored.item11751);
  EXPECT_EQ(6, stored.item11746);
  EXPECT_EQ("kept", stored.replicaText);

  RVScratchVolumePoolV3Record_t pool;
  pool.poolName = "p";
  pool.snapEngineId = 4;
  pool.poolType = 2;
  const int32_t poolId = testkit::replicadb::seed(pool);
  UpdateRVScratchVolPoolArgs_t up;
  up.pool.poolId = poolId;
  up.pool.poolName = "renamed";
  UpdateRVScratchVolPoolRet_t upRet;
  ASSERT_TRUE(client_.UpdateRVScratchVolPool(up, upRet)) << upRet.errorText;
  QueryRVScratchVolPoolV3Args_t qp;
  qp.poolId = poolId;
  QueryRVScratchVolPoolV3Ret_t got;
  ASSERT_TRUE(client_.QueryRVScratchVolPool(qp, got));
  EXPECT_EQ("renamed", got.pool.poolName);
  EXPECT_EQ(4, got.pool.snapEngineId);
  EXPECT_EQ(2, got.pool.poolType);
}

TEST_F(WholeUpdates, APolicyUpdateKeepsRetentionAndEngineWhereTheRecordCarriesMinusOne) {
  AddReplicationPolicyV3Args_t add;
  add.policy.policyName = "gold";
  add.policy.retentionPeriod = 30;
  add.policy.snapEngineId = 2;
  add.policy.copyManagerType = 7;
  AddReplicationPolicyV3Ret_t added;
  ASSERT_TRUE(client_.AddReplicationPolicy(add, added));
  UpdateReplicationPolicyV2Args_t up;
  up.policy.policyId = added.policyId;
  up.policy.policyName = "silver";
  up.policy.snapshotCount = 4;
  UpdateReplicationPolicyV2Ret_t upRet;
  ASSERT_TRUE(client_.UpdateReplicationPolicy(up, upRet)) << upRet.errorText;
  GetReplicationPolicyV3ListRet_t list;
  ASSERT_TRUE(client_.GetReplicationPolicyList(list));
  ASSERT_EQ(1u, list.policies.size());
  EXPECT_EQ("silver", list.policies[0].policyName);
  EXPECT_EQ(30, list.policies[0].retentionPeriod);
  EXPECT_EQ(2, list.policies[0].snapEngineId);
  EXPECT_EQ(4, list.policies[0].snapshotCount);
  EXPECT_EQ(7, list.policies[0].copyManagerType);
  up.policy.retentionPeriod = 10;
  ASSERT_TRUE(client_.UpdateReplicationPolicy(up, upRet));
  QueryReplicationPolicyV2ByIdArgs_t q;
  q.policyId = added.policyId;
  QueryReplicationPolicyV2ByIdRet_t got;
  ASSERT_TRUE(client_.QueryReplicationPolicy(q, got));
  EXPECT_EQ(10, got.policy.retentionPeriod);
}

}  // namespace
