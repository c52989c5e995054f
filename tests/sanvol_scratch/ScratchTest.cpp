// Scratch-volume pools and scratch volumes: the two listings item by item,
// and the pool and scratch-volume changes with their answers and guards.
#include <gtest/gtest.h>

#include <optional>

#include "platform/testkit/content.h"
#include "tests/sanvol_scratch/ScratchFixture.h"

namespace scratchtest {
namespace {

using ScratchPools = ScratchTest;
using ScratchVolumes = ScratchTest;

constexpr uint32_t kAll = 0xFFFFFFFFu;

// ---------------------------------------------------------------- pools

TEST_F(ScratchPools, TheListingSendsEachPoolWithItsEngineAsAnIdWithoutText) {
  RVScratchVolumePoolV3Record_t pool;
  pool.poolName = "gold";
  pool.item11634 = 4;
  pool.item11635 = -1;
  pool.snapEngineId = 6;
  pool.poolType = 3;
  const int32_t id = testkit::replicadb::seed(pool);
  EXPECT_EQ(handler.onMsgGetRVScratchVolumePools(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11622u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11625, 11634, 11635, 11643, 11740, 2052}));
  const std::vector<std::string> expected = {wordAndText(static_cast<uint32_t>(id), "gold"), le32(4), le32(kAll),
                                             le32(6), le32(3), le32(0)};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[0].items[i].bytes, expected[i]) << "item " << i;
}

TEST_F(ScratchPools, AnAddedPoolGetsItsDefaultsAndIsAnsweredWithItsNewIdAndName) {
  struct Case {
    const char* name;
    std::optional<uint32_t> engine, type;
    int32_t storedEngine, storedType;
  } cases[] = {
      {"plain", std::nullopt, std::nullopt, 1, 1},
      {"mirror", std::nullopt, 3u, 0, 3},
      {"engine zero", 0u, std::nullopt, 1, 1},
      {"engine four", 4u, 3u, 4, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StreamBuilder request = body().op(1).pair(11625, 0, c.name);
    if (c.engine) request.pair(11643, *c.engine, "");
    if (c.type) request.u32(11740, *c.type);
    EXPECT_EQ(managePools(request.end()), 1);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(tagsOf(got[0]), (Tags{4001, 2051, 11625}));
    EXPECT_EQ(got[0].items[1].bytes, wordAndText(1, "Success"));
    const RVScratchVolumePoolV3Record_t stored = testkit::replicadb::rows<RVScratchVolumePoolV3Record_t>().back();
    EXPECT_EQ(got[0].items[2].bytes, wordAndText(static_cast<uint32_t>(stored.poolId), c.name));
    EXPECT_EQ(stored.poolName, c.name);
    EXPECT_EQ(stored.snapEngineId, c.storedEngine);
    EXPECT_EQ(stored.poolType, c.storedType);
  }
}

TEST_F(ScratchPools, ALaterRecordOfTheRequestWorksOnThePoolJustAdded) {
  // The name fills its value to the end, with no terminator.
  EXPECT_EQ(managePools(body().op(1).pair(11625, 0, "new").end().op(3).pair(11643, 5, "").end()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  const RVScratchVolumePoolV3Record_t stored = testkit::replicadb::rows<RVScratchVolumePoolV3Record_t>().back();
  EXPECT_EQ(got[0].items[2].bytes, wordAndText(static_cast<uint32_t>(stored.poolId), "new"));
  expectOperation(got[1], 3, 1, "Success");
  EXPECT_EQ(stored.snapEngineId, 5);
  EXPECT_EQ(stored.poolName, "new");
}

TEST_F(ScratchPools, AnUpdateChangesTheEngineOnlyWhenOneCameAndNeverTheType) {
  RVScratchVolumePoolV3Record_t pool;
  pool.poolName = "old";
  pool.snapEngineId = 2;
  pool.poolType = 3;
  const uint32_t id = static_cast<uint32_t>(testkit::replicadb::seed(pool));
  EXPECT_EQ(managePools(body().op(3).pair(11625, id, "renamed").u32(11740, 1).end()), 1);
  RVScratchVolumePoolV3Record_t stored = testkit::replicadb::rows<RVScratchVolumePoolV3Record_t>().back();
  EXPECT_EQ(stored.poolName, "renamed");
  EXPECT_EQ(stored.snapEngineId, 2);
  EXPECT_EQ(stored.poolType, 3);
  EXPECT_EQ(managePools(body().op(3).pair(11625, id, "again").pair(11643, 7, "").end()), 1);
  stored = testkit::replicadb::rows<RVScratchVolumePoolV3Record_t>().back();
  EXPECT_EQ(stored.snapEngineId, 7);
  EXPECT_EQ(stored.poolType, 3);
  const auto calls = testkit::replicadb::calls("UpdateRVScratchVolPool");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[0], "1");
  EXPECT_EQ(calls[1].args[0], "2");
  for (const auto& reply : replies()) expectOperation(reply, 3, 1, "Success");
}

TEST_F(ScratchPools, ARefusedDeletionIsAnsweredByItsReason) {
  const int32_t holding = seedPool(1);
  seedScratch(seedVolume(1, "v"), holding);
  const int32_t named = seedPool(1);
  ReplicationPolicyV3Record_t policy;
  policy.policyName = "p";
  policy.scratchPoolId = named;
  testkit::replicadb::seed(policy);
  const int32_t other = seedPool(1);
  struct Case {
    int32_t pool;
    unsigned long text;
  } cases[] = {{holding, 0x39000105}, {named, 0x39000104}, {other, 0x39000099}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pool);
    if (c.pool == other) testkit::replicadb::failNext("RemoveRVScratchVolPool", -5, "locked");
    EXPECT_EQ(managePools(body().op(2).pair(11625, static_cast<uint32_t>(c.pool), "").end()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectAnswer(got[0], catalogueText(c.text));
  }
  EXPECT_EQ(testkit::replicadb::rows<RVScratchVolumePoolV3Record_t>().size(), 3u);
}

// ---------------------------------------------------------------- scratch-volume listing

TEST_F(ScratchVolumes, AScratchVolumeIsListedWithReplicaThenDeviceAndMountsThenPermanentReplica) {
  addClient(7, "client7");
  QRApplianceRecord_t appliance;
  appliance.applianceName = "qr1";
  const int32_t applianceId = testkit::replicadb::seed(appliance);
  SNRVolumeRecordV4_t v;
  v.deviceId = "naa.1";
  v.deviceIdType = 4;
  v.fsType = "NTFS";
  v.lun = 3;
  v.startLba = 0x100000005LL;
  v.blockCount = 77;
  v.blockSize = 512;
  v.volumeLock = true;
  v.qmState = 2;
  v.qmProtected = true;
  v.applianceId = applianceId;
  v.costCategoryId = 0x100000009LL;
  v.tailFlag = true;
  v.extraFlag = true;
  v.backupFromSnap = true;
  v.usePermanentReplica = true;
  v.volumeType = 2;
  const int32_t volume = testkit::replicadb::seed(v);
  SNRVolumeDeviceNameV4Record_t d;
  d.volumeId = volume;
  d.hostId = 7;
  d.deviceName = "/dev/sdb";
  d.caseSensitive = true;
  d.osDeviceName = "sdb";
  d.deviceConfigured = true;
  d.accessPath = "/a";
  d.filerClientId = 12;
  const int32_t device = testkit::replicadb::seedDeviceName(d);
  const int32_t elsewhere = seedDevice(seedVolume(1, "other"), 7, "/dev/sdc");
  SNRVolumeMountPointRecord_t point;
  point.deviceNameId = device;
  point.mountPath = "/m1";
  point.extraFlag = true;
  const int32_t first = testkit::replicadb::seed(point);
  point.deviceNameId = elsewhere;
  point.mountPath = "/not-this";
  testkit::replicadb::seed(point);
  point.deviceNameId = device;
  point.mountPath = "/m2";
  point.caseSensitive = true;
  point.extraFlag = false;
  const int32_t second = testkit::replicadb::seed(point);
  const int32_t pool = seedPool(1);
  const int32_t scratch = seedScratch(volume, pool);
  ReplicationVolumeV5Record_t r;
  r.physicalVolumeId = volume;
  r.primaryVolumeId = 40;
  r.scratchVolumeId = scratch;
  r.pointInTime = 100;
  r.modificationTime = 300;
  r.creationTime = 200;
  r.role = 2;
  r.doNotPrune = true;
  r.item11713 = true;
  r.replicationPolicyId = 9;
  r.item11751 = 11;
  r.item11775 = true;
  r.item11746 = 5;
  const int32_t replica = testkit::replicadb::seed(r);
  const int32_t permanentVolume = seedVolume(1, "perm", 6);
  testkit::replicadb::exec("UPDATE \"SNRVolume\" SET \"lun\" = 2 WHERE \"volumeId\" = ?", {permanentVolume});
  const int32_t permanent = seedReplica(volume, permanentVolume, -1, 0, "");
  testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?", {permanent});

  EXPECT_EQ(handler.onMsgGetRVScratchVolumes(words(kAll).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11638u);
  const auto u = [](int64_t n) { return le32(static_cast<uint32_t>(n)); };
  const std::vector<std::pair<uint32_t, std::string>> expected = {
      {11624, u(scratch)}, {11618, u(volume)}, {11606, u(4)}, {11615, "naa.1"}, {11675, "NTFS"}, {11607, u(3)},
      {11608, le64(0x100000005ULL)}, {11614, le64(77)}, {11619, u(512)}, {11620, u(1)}, {11711, u(2)},
      {11712, u(1)}, {11708, wordAndText(static_cast<uint32_t>(applianceId), "qr1")}, {11730, wordAndText(9, "")},
      {11742, u(2)}, {11776, u(1)}, {11613, u(1)}, {11698, u(1)}, {11694, u(0)},
      {11625, wordAndText(static_cast<uint32_t>(pool), "fix me")},
      {11626, u(replica)}, {11627, u(100)}, {11629, u(300)}, {11628, u(200)}, {11631, u(2)}, {11688, u(1)},
      {11713, u(1)}, {11632, u(40)}, {11642, wordAndText(9, "")}, {11751, u(11)}, {11774, u(0)}, {11775, u(1)},
      {11746, u(5)},
      {11633, hdr12(static_cast<uint32_t>(device), 7, 1, "/dev/sdb")}, {11602, wordAndText(7, "client7")},
      {11704, wordAndText(0, "sdb")}, {11703, u(1)}, {11723, u(0)}, {11773, "/a"}, {9223, u(12)},
      {11653, hdr12(static_cast<uint32_t>(first), 7, 2, "/m1")},
      {11653, hdr12(static_cast<uint32_t>(second), 7, 1, "/m2")},
      {11684, u(1)}, {11611, u(6)}, {11610, "perm"}, {11612, u(2)}, {2052, u(0)}};
  ASSERT_EQ(got[0].items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(got[0].items[i].tag, expected[i].first);
    EXPECT_EQ(got[0].items[i].bytes, expected[i].second);
  }
}

TEST_F(ScratchVolumes, AVolumeThatCannotBeCompletedEndsTheListingAfterTheEarlierOnes) {
  struct Case {
    const char* name;
    bool withVolume;
    unsigned long text;
  } cases[] = {{"no volume", false, 0x3900009a}, {"no device name", true, 0x3900009b}};
  const int32_t pool = seedPool(1);
  const int32_t complete = seedVolume(1, "ok");
  seedDevice(complete, 7, "/dev/ok");
  const int32_t listed = seedScratch(complete, pool);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t broken = seedScratch(c.withVolume ? seedVolume(1, "bare") : 999, pool);
    EXPECT_EQ(handler.onMsgGetRVScratchVolumes(words(kAll).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 2u);
    expectAnswer(got[0], catalogueText(c.text));
    EXPECT_EQ(got[1].messageId, 11638u);
    ASSERT_FALSE(got[1].items.empty());
    EXPECT_EQ(got[1].items.front().bytes, le32(static_cast<uint32_t>(listed)));
    EXPECT_EQ(got[1].items.back().tag, 2052u) << "only whole objects";
    testkit::replicadb::exec("DELETE FROM \"RVScratchVolume\" WHERE \"scratchVolumeId\" = ?", {broken});
  }
}

// ---------------------------------------------------------------- scratch-volume changes

TEST_F(ScratchVolumes, AnAddedScratchVolumeIsAnsweredWithItsNewId) {
  const int32_t pool = seedPool(1);
  const int32_t volume = seedVolume(1, "v");
  EXPECT_EQ(manageVolumes(body().op(1).u32(11618, static_cast<uint32_t>(volume)).pair(11625, static_cast<uint32_t>(pool), "pool").end()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{4001, 2051, 11624}));
  EXPECT_EQ(got[0].items[1].bytes, wordAndText(1, "Success"));
  const auto stored = testkit::replicadb::rows<RVScratchVolumeV2Record_t>();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].volumeId, volume);
  EXPECT_EQ(stored[0].poolId, pool);
  EXPECT_EQ(got[0].items[2].bytes, le32(static_cast<uint32_t>(stored[0].scratchVolumeId)));
}

TEST_F(ScratchVolumes, AVolumeInSubclientContentIsNotAdded) {
  const int32_t volume = seedVolume(1, "v");
  ASSERT_EQ(testkit::content::addContent(61, volume, "E:"), 0);
  EXPECT_EQ(manageVolumes(body().op(1).u32(11618, static_cast<uint32_t>(volume)).pair(11625, static_cast<uint32_t>(seedPool(1)), "").end()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectAnswer(got[0], catalogueText(0x3900009c));
  EXPECT_TRUE(testkit::replicadb::rows<RVScratchVolumeV2Record_t>().empty());
}

TEST_F(ScratchVolumes, AVolumesCostCategoryIsSentAsTheOnlyChangedField) {
  const int32_t volume = seedVolume(1, "v");
  EXPECT_EQ(manageVolumes(body().op(83).u32(11618, static_cast<uint32_t>(volume)).u32(11730, 14).end()), 1);
  expectOperation(replies().at(0), 83, 1, "Success");
  const auto calls = testkit::replicadb::calls("UpdateSNRVolume");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"3", std::to_string(volume), "2048"}));
  const SNRVolumeRecordV4_t stored = testkit::replicadb::rows<SNRVolumeRecordV4_t>().at(0);
  EXPECT_EQ(stored.costCategoryId, 14);
  EXPECT_EQ(stored.deviceId, "v");
}

}  // namespace
}  // namespace scratchtest
