// The replica listings by policy and by client, the single-volume lookup,
// the free scratch volumes of a pool and the filer name of a NAS volume:
// whole records compared byte for byte, and each failure answered once.
#include <gtest/gtest.h>

#include "tests/sanvol_replicas/ReplicaFixture.h"

namespace replicastest {
namespace {

constexpr int32_t kPolicy = 3;
constexpr int32_t kSourceClient = 5;
constexpr int32_t kReplicaClient = 8;
constexpr uint64_t kJobId = 0x0000000500000007ull;

// A replica of a primary volume (client 5, two mount points, one of them
// flagged) on a physical volume seen by two device names (client 8 with an
// OS device name and a filer, and an unknown client 99), with a scratch
// record, an appliance and an application.
class Listings : public ReplicaTest {
 protected:
  void SetUp() override {
    testkit::client::addClient({kSourceClient, "src-host", "src.example.com", 0, ""});
    testkit::client::addClient({kReplicaClient, "rep-host", "rep.example.com", 0, ""});
    testkit::client::addClient({12, "filer12", "filer12.example.com", 0, ""});
    appliance = testkit::replicadb::seed(QRApplianceRecord_t{-1, "appliance-A"});

    SNRVolumeRecordV4_t primaryVolume;
    primaryVolume.deviceId = "uid-primary";
    primaryVolume.blockCount = 0x100000002ll;
    primaryVolume.blockSize = 512;
    primaryId = testkit::replicadb::seed(primaryVolume);
    SNRVolumeDeviceNameV4Record_t source;
    source.hostId = kSourceClient;
    source.volumeId = primaryId;
    source.deviceName = "/dev/src";
    sourceDevice = testkit::replicadb::seedDeviceName(source);
    seedMountPoint(sourceDevice, "/data", false);
    seedMountPoint(sourceDevice, "/data/.snap", true);

    SNRVolumeRecordV4_t physicalVolume;
    physicalVolume.deviceId = "uid-replica";
    physicalVolume.deviceIdType = 2;
    physicalVolume.lun = 4;
    physicalVolume.startLba = 0x200000001ll;
    physicalVolume.blockCount = 0x300000003ll;
    physicalVolume.blockSize = 4096;
    physicalVolume.volumeLock = true;
    physicalVolume.fsType = "NTFS";
    physicalVolume.qmState = 2;
    physicalVolume.qmProtected = true;
    physicalVolume.applianceId = appliance;
    physicalVolume.costCategoryId = 0x700000009ll;
    physicalVolume.tailFlag = true;
    physicalVolume.volumeType = 1;
    physicalVolume.backupFromSnap = true;
    physicalId = testkit::replicadb::seed(physicalVolume);
    SNRVolumeDeviceNameV4Record_t first;
    first.hostId = kReplicaClient;
    first.volumeId = physicalId;
    first.deviceName = "/dev/rep";
    first.caseSensitive = true;
    first.osDeviceName = "\\\\.\\PhysicalDrive2";
    first.deviceConfigured = true;
    first.accessPath = "E:";
    first.filerClientId = 3;
    firstDevice = testkit::replicadb::seedDeviceName(first);
    firstMount = seedMountPoint(firstDevice, "E:\\", false, true);
    SNRVolumeDeviceNameV4Record_t second;
    second.hostId = 99;
    second.volumeId = physicalId;
    second.deviceName = "/dev/rep2";
    second.extraFlag = true;
    secondDevice = testkit::replicadb::seedDeviceName(second);

    RVScratchVolumePoolV3Record_t pool;
    pool.poolName = "pool";
    poolId = testkit::replicadb::seed(pool);
    RVScratchVolumeV2Record_t scratch;
    scratch.volumeId = physicalId;
    scratch.poolId = poolId;
    scratchId = testkit::replicadb::seed(scratch);

    ReplicationVolumeV5Record_t r;
    r.pointInTime = 1000;
    r.creationTime = 1001;
    r.modificationTime = 1002;
    r.role = 1;
    r.primaryVolumeId = primaryId;
    r.physicalVolumeId = physicalId;
    r.replicationPolicyId = kPolicy;
    r.scratchVolumeId = scratchId;
    r.doNotPrune = true;
    r.jobId = kJobId;
    r.snapshotActive = true;
    r.item11751 = 6;
    r.item11713 = true;
    r.item11775 = true;
    r.item11746 = 9;
    r.replicaText = "snap-label";
    replica = testkit::replicadb::seed(r);
    testkit::replicadb::seed(QRVolumeApp_t{replica, "SQL Server"});
    testkit::replicadb::reset();
    testkit::client::reset();
  }

  int32_t seedMountPoint(int32_t device, const std::string& path, bool extra, bool caseSensitive = false) {
    SNRVolumeMountPointRecord_t mp;
    mp.deviceNameId = device;
    mp.mountPath = path;
    mp.extraFlag = extra;
    mp.caseSensitive = caseSensitive;
    return testkit::replicadb::seed(mp);
  }

  // The physical volume's items as AddPVol writes them.
  Items physicalVolumeItems() const {
    return {{11618, u32(physicalId)},         {11606, u32(2)},
            {11615, "uid-replica"},           {11675, "NTFS"},
            {11607, u32(4)},                  {11608, u64(0x200000001ull)},
            {11614, u64(0x300000003ull)},     {11619, u32(4096)},
            {11620, u32(1)},                  {11711, u32(2)},
            {11712, u32(1)},                  {11708, idText(appliance, "appliance-A")},
            {11730, idText(9, "")},           {11742, u32(1)},
            {11776, u32(1)},                  {11694, u32(0)},
            {11613, u32(1)}};
  }
  // The replica's items as AddQRVol writes them (11697 goes after 11632 where given).
  Items replicaItems(const std::string* sourceClient = nullptr) const {
    Items items{{11626, u32(replica)}, {11627, u32(1000)}, {11629, u32(1002)}, {11628, u32(1001)},
                {11631, u32(1)},       {11688, u32(1)},    {11713, u32(1)},    {2180, u64(kJobId)},
                {11632, u32(primaryId)}};
    if (sourceClient != nullptr) items.emplace_back(11697, *sourceClient);
    append(items, {{11642, idText(kPolicy, "")},
                   {11695, u32(1)},
                   {11696, u32(0)},
                   {11751, u32(6)},
                   {11774, u32(0)},
                   {11775, u32(1)},
                   {11746, u32(9)}});
    return items;
  }
  // The physical volume's two device names with the first one's mount point.
  Items deviceItems() const {
    return {{11633, hdr12(firstDevice, kReplicaClient, 1, "/dev/rep")},
            {11602, idText(kReplicaClient, "rep-host")},
            {11703, u32(1)},
            {11723, u32(0)},
            {11773, "E:"},
            {11704, idText(0, "\\\\.\\PhysicalDrive2")},
            {9223, u32(3)},
            {11653, hdr12(firstMount, kReplicaClient, 1, "E:\\")},
            {11633, hdr12(secondDevice, 99, 0, "/dev/rep2")},
            {11602, idText(99, "UnknownClient")},
            {11703, u32(0)},
            {11723, u32(1)},
            {11773, ""}};
  }
  // The whole record of the replica in a replica listing.
  Items listingRecord(const std::string& sourceClient, const Items& sourcePaths) const {
    Items items = physicalVolumeItems();
    append(items, replicaItems());
    append(items, {{11690, "SQL Server"}, {11697, sourceClient}, {11624, u32(scratchId)}, {11625, idText(poolId, "")}});
    append(items, deviceItems());
    append(items, {{11798, u64(0x100000002ull)}, {11799, u32(512)}, {11835, "snap-label"}});
    append(items, sourcePaths);
    items.emplace_back(2052, u32(0));
    return items;
  }

  int32_t primaryId = -1, physicalId = -1;
  int32_t appliance = -1, sourceDevice = -1, firstDevice = -1, secondDevice = -1, firstMount = -1;
  int32_t poolId = -1, scratchId = -1, replica = -1;
};

// ---------------------------------------------------------------- replica listings

TEST_F(Listings, ByPolicyAReplicaIsOneRecordWithItsVolumeDevicesScratchApplicationAndSourceMountPaths) {
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11604u);
  EXPECT_EQ(replies[0].sequence, 0x21);
  // 11697 names the client of the primary volume's first device name; the
  // flagged mount point is no source path.
  EXPECT_EQ(itemsOf(replies[0]), listingRecord("src-host", {{11796, "/data"}}));
  const auto asked = testkit::security::journal().calls("canRestore");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[2], "0");  // by policy: no client
}

TEST_F(Listings, ByClientTheRecordNamesTheRequestedClientAndItsRestoreRightIsAskedForThatClient) {
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByClient(simple(kSourceClient).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(itemsOf(replies[0]), listingRecord("src-host", {{11796, "/data"}}));
  const auto asked = testkit::security::journal().calls("canRestore");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[2], "5");
}

TEST_F(Listings, ByClientAPrimaryVolumeWithoutFreeMountPointsFallsBackToItsFirstDeviceNameOrNothing) {
  testkit::replicadb::exec("UPDATE \"SNRVolumeMountPoint\" SET \"extraFlag\" = 1");
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByClient(simple(kSourceClient).get()), 1);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  const Items withDevice = itemsOf(replies[0]);
  ASSERT_GE(withDevice.size(), 2u);
  EXPECT_EQ(withDevice[withDevice.size() - 2], (Item{11796, "/dev/src"}));
  // By policy the flagged mount points give no source path at all.
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()), 1);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  for (const auto& item : replies[0].items) EXPECT_NE(item.tag, 11796u);
}

TEST_F(Listings, ByClientAFilerPrimaryVolumeOfType2Or5IsNamedByTheFilersHostAndItsPath) {
  const struct {
    int type;
    std::string deviceId;
    Items expected;
  } cases[] = {
      {2, "client12:/vol/vol0", {{11796, "filer12.example.com:/vol/vol0"}}},
      {5, "client12:/vol/vol0", {{11796, "filer12.example.com:/vol/vol0"}}},
      {5, "client:/vol/vol0", {{11796, "UnknownFiler:/vol/vol0"}}},
      {2, "no-colon-here", {{11796, "UnknownFiler"}}},
      {3, "client12:/vol/vol0", {{11796, "/data"}}},  // a NAS type that is named by its mount points
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.deviceId + " type " + std::to_string(c.type));
    testkit::replicadb::exec("UPDATE \"SNRVolume\" SET \"volumeType\" = ?, \"deviceId\" = ? WHERE \"volumeId\" = ?",
                             {c.type, c.deviceId, primaryId});
    EXPECT_EQ(mgr.onMsgGetReplicationVolumesByClient(simple(kSourceClient).get()), 1);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(itemsOf(replies[0]), listingRecord("src-host", c.expected));
  }
}

TEST_F(Listings, AReplicaWithoutScratchRecordOrApplicationGetsMinusOneAndAnEmptyName) {
  testkit::replicadb::exec("DELETE FROM \"RVScratchVolume\"");
  testkit::replicadb::exec("DELETE FROM \"QRVolumeApp\"");
  testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"replicaText\" = ''");
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  Items expected = listingRecord("src-host", {{11796, "/data"}});
  for (auto& item : expected) {
    if (item.first == 11690) item.second = "";
    if (item.first == 11624) item.second = u32(-1);
    if (item.first == 11625) item.second = idText(-1, "");
  }
  std::erase_if(expected, [](const Item& i) { return i.first == 11835; });
  EXPECT_EQ(itemsOf(replies[0]), expected);
}

TEST_F(Listings, ByPolicyAPrimaryVolumeThatNoDeviceNameSeesIsNamedUnknownClient) {
  testkit::replicadb::exec("DELETE FROM \"SNRVolumeMountPoint\" WHERE \"deviceNameId\" = ?", {sourceDevice});
  testkit::replicadb::exec("DELETE FROM \"SNRVolumeDeviceName\" WHERE \"deviceNameId\" = ?", {sourceDevice});
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(itemsOf(replies[0]), listingRecord("UnknownClient", {}));
}

TEST_F(Listings, APolicyWithoutReplicasGetsAnEmptyReply) {
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(77).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11604u);
  EXPECT_TRUE(replies[0].items.empty());
}

TEST_F(Listings, AMissingVolumeIsAnsweredWithItsPlainTextBeforeAnyReplyIsBegun) {
  testkit::replicadb::exec("DELETE FROM \"SNRVolume\" WHERE \"volumeId\" = ?", {primaryId});
  for (auto handler : {&EvSANVolMgr::onMsgGetReplicationVolumesByPolicy}) {
    EXPECT_EQ((mgr.*handler)(simple(kPolicy).get()), 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x21, "Volume information for some of the QR Volumes is missing");
    EXPECT_FALSE(mgr.isOpen());
  }
}

TEST_F(Listings, ARefusedRestoreRightIsAnsweredWithItsRefusalTextAndNothingIsRead) {
  testkit::security::deny("canRestore", 7, kSourceClient, "No restore rights on src-host.");
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByClient(simple(kSourceClient).get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x21, "No restore rights on src-host.");
  EXPECT_TRUE(testkit::replicadb::calls("BrowseByClientId").empty());
}

TEST_F(Listings, TheFailuresOfTheClientListAndOfTheBrowseAreAnsweredWithTheirOwnTexts) {
  const struct {
    const char* name;
    bool byPolicy;
    std::function<void()> fail;
    unsigned long text;
  } cases[] = {
      {"client list", true, [] { testkit::client::journal().injectFailure("getClientList", 5, "no clients"); },
       0x39000006},
      {"browse by policy", true, [] { testkit::replicadb::failNext("BrowseByPolicyId", -1, "db down"); }, 0x390000af},
      {"browse by client", false, [] { testkit::replicadb::failNext("BrowseByClientId", -1, "db down"); }, 0x390000b0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.fail();
    auto msg = simple(c.byPolicy ? kPolicy : kSourceClient);
    EXPECT_EQ(c.byPolicy ? mgr.onMsgGetReplicationVolumesByPolicy(msg.get())
                         : mgr.onMsgGetReplicationVolumesByClient(msg.get()),
              0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x21, catalogueText(c.text));
    EXPECT_FALSE(mgr.isOpen());
  }
}

TEST_F(Listings, AnApplianceListFailureOnlyLosesTheApplianceNames) {
  testkit::replicadb::failNext("GetQRApplianceList", -1, "appliances unreadable");
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  Items expected = listingRecord("src-host", {{11796, "/data"}});
  for (auto& item : expected)
    if (item.first == 11708) item.second = idText(appliance, "");
  EXPECT_EQ(itemsOf(replies[0]), expected);
}

// ---------------------------------------------------------------- one volume

TEST_F(Listings, OneReplicaVolumeIsItsScratchVolumeAndPoolReplicaWithSourceClientDevicesAndPermanentFlag) {
  testkit::content::addSubclient({31, kSourceClient, 84, "sc1", 0, 0, false});
  testkit::content::addContent(31, physicalId, "1001");
  EXPECT_EQ(mgr.onMsgGetSnrVolume(simple(physicalId).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11604u);
  Items expected{{11624, u32(scratchId)}};
  Items volume = physicalVolumeItems();
  volume[12] = {11730, idText(9, "")};  // never a cost category name
  volume[15] = {11694, u32(1)};         // a subclient's content holds the volume
  append(expected, volume);
  expected.emplace_back(11625, idText(poolId, ""));
  const std::string source = "src-host";
  append(expected, replicaItems(&source));
  // Device names with the clients' names as the client lookup gives them.
  Items devices = deviceItems();
  devices[9] = {11602, idText(99, "")};
  // Only a NAS volume's devices carry their filer id here.
  devices.erase(devices.begin() + 6);
  append(expected, devices);
  append(expected, {{11684, u32(0)}, {2052, u32(0)}});
  EXPECT_EQ(itemsOf(replies[0]), expected);
}

TEST_F(Listings, OneVolumeOfANasTypeCarriesTheFilerIdOfEveryDeviceBefore11704) {
  testkit::replicadb::exec("UPDATE \"SNRVolume\" SET \"volumeType\" = 4 WHERE \"volumeId\" = ?", {physicalId});
  EXPECT_EQ(mgr.onMsgGetSnrVolume(simple(physicalId).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  Tags tags = tagsOf(replies[0]);
  const Tags deviceTags{11633, 11602, 11703, 11723, 11773, 9223, 11704, 11653,
                        11633, 11602, 11703, 11723, 11773, 9223, 11684, 2052};
  ASSERT_GE(tags.size(), deviceTags.size());
  EXPECT_EQ(Tags(tags.end() - static_cast<long>(deviceTags.size()), tags.end()), deviceTags);
  // The second device's filer id is the default 1, written all the same.
  EXPECT_EQ(replies[0].items[replies[0].items.size() - 3].bytes, u32(1));
}

TEST_F(Listings, AVolumeWithoutReplicaHasNoReplicaItemsAndThePermanentReplicaNeedsBothFlags) {
  SNRVolumeRecordV4_t snapshot;
  snapshot.deviceId = "uid-snap";
  snapshot.deviceIdType = 7;
  snapshot.lun = 11;
  const int32_t snapshotId = testkit::replicadb::seed(snapshot);
  ReplicationVolumeV5Record_t permanent;
  permanent.primaryVolumeId = primaryId;
  permanent.physicalVolumeId = snapshotId;
  const int32_t permanentId = testkit::replicadb::seed(permanent);
  testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?", {permanentId});
  const struct {
    bool backupFromSnap, usePermanent;
    Tags tail;
  } cases[] = {
      {false, true, {11633, 11602, 11703, 11723, 11773, 11653, 11653, 11684, 2052}},
      {true, false, {11633, 11602, 11703, 11723, 11773, 11653, 11653, 11684, 2052}},
      {true, true, {11633, 11602, 11703, 11723, 11773, 11653, 11653, 11684, 11611, 11610, 11612, 2052}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.backupFromSnap) + std::to_string(c.usePermanent));
    testkit::replicadb::exec(
        "UPDATE \"SNRVolume\" SET \"backupFromSnap\" = ?, \"usePermanentReplica\" = ? WHERE \"volumeId\" = ?",
        {c.backupFromSnap ? 1 : 0, c.usePermanent ? 1 : 0, primaryId});
    EXPECT_EQ(mgr.onMsgGetSnrVolume(simple(primaryId).get()), 1);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    const Tags tags = tagsOf(replies[0]);
    // 11624, 11618, the volume (16), 11625, then the device and the rest: no replica items.
    ASSERT_EQ(tags.size(), 19u + c.tail.size());
    EXPECT_EQ(Tags(tags.begin() + 19, tags.end()), c.tail);
    EXPECT_EQ(replies[0].items[18].bytes, idText(-1, ""));  // no scratch record
    if (c.tail.size() == 12u) {
      EXPECT_EQ(replies[0].items[27].bytes, u32(7));
      EXPECT_EQ(replies[0].items[28].bytes, "uid-snap");
      EXPECT_EQ(replies[0].items[29].bytes, u32(11));
    }
  }
}

TEST_F(Listings, OneReplicaWhosePrimaryVolumeNoDeviceNameSeesHasNoSourceClientItem) {
  testkit::replicadb::exec("DELETE FROM \"SNRVolumeDeviceName\" WHERE \"deviceNameId\" = ?", {sourceDevice});
  EXPECT_EQ(mgr.onMsgGetSnrVolume(simple(physicalId).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  for (const auto& item : replies[0].items) EXPECT_NE(item.tag, 11697u);
  EXPECT_NE(replies[0].find(11626), nullptr);
}

TEST_F(Listings, EachFailureOfTheVolumeLookupIsAnsweredOnceAndTheBegunReplyIsStillEnded) {
  testkit::replicadb::exec("UPDATE \"SNRVolume\" SET \"backupFromSnap\" = 1, \"usePermanentReplica\" = 1");
  const struct {
    const char* name;
    std::function<void()> fail;
  } cases[] = {
      {"subclients", [] { testkit::client::journal().injectFailure("getSCListHavingVolId", 5, "x"); }},
      {"volume", [] { testkit::replicadb::failNext("QuerySNRVolume", -1, "x"); }},
      {"appliances", [] { testkit::replicadb::failNext("GetQRApplianceList", -1, "x"); }},
      {"source device names", [] { testkit::replicadb::failNext("QuerySNRVolDevName", -1, "x"); }},
      {"device names", [] { testkit::replicadb::failNext("QuerySNRVolDevName", -1, "x", 2); }},
      {"mount points", [] { testkit::replicadb::failNext("QuerySNRVolMountPoint", -1, "x"); }},
      {"permanent replica", [] { testkit::replicadb::failNext("QueryPermanentReplica", -1, "x"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::reset();
    testkit::client::reset();
    c.fail();
    EXPECT_EQ(mgr.onMsgGetSnrVolume(simple(physicalId).get()), 1);
    EXPECT_FALSE(mgr.isOpen());
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 2u);
    expectFailure(replies[0], 0x21, catalogueText(0x39000006));
    EXPECT_EQ(replies[1].messageId, 11604u);
  }
}

// ---------------------------------------------------------------- scratch volumes

TEST_F(Listings, TheFreeScratchVolumesOfAPoolAreListedUntilTheyAreReserved) {
  SNRVolumeRecordV4_t spare;
  const int32_t spareId = testkit::replicadb::seed(spare);
  RVScratchVolumeV2Record_t scratch;
  scratch.volumeId = spareId;
  scratch.poolId = poolId;
  testkit::replicadb::seed(scratch);
  EXPECT_EQ(mgr.onMsgGetAvailableRvScratchVolumes(simple(poolId).get()), 1);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11681u);
  EXPECT_EQ(itemsOf(replies[0]), (Items{{11618, u32(spareId)}, {2052, u32(0)}}));

  EXPECT_EQ(mgr.onMsgReserveSnrVolume(stream(tktest::StreamBuilder().u32(4106, 2).u32(11618, static_cast<uint32_t>(spareId)).end()).get()), 1);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectSuccess(replies[0], 0x22);
  EXPECT_TRUE(testkit::replicadb::isReserved(spareId));

  EXPECT_EQ(mgr.onMsgGetAvailableRvScratchVolumes(simple(poolId).get()), 1);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].items.empty());
}

TEST_F(Listings, AFailedScratchListingIsAnsweredAndTheReplyItBeganIsEnded) {
  testkit::replicadb::failNext("GetAvailableVolFromPool", -1, "pool unreadable");
  EXPECT_EQ(mgr.onMsgGetAvailableRvScratchVolumes(simple(poolId).get()), 0);
  EXPECT_FALSE(mgr.isOpen());
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectFailure(replies[0], 0x21, catalogueText(0x39000006));
  EXPECT_EQ(replies[1].messageId, 11681u);
  EXPECT_TRUE(replies[1].items.empty());
}

// ---------------------------------------------------------------- filer names

TEST_F(Listings, TheFilerNameIsReadOnlyFromTheDigitsBetweenTheSixthCharacterAndTheColon) {
  const struct {
    const char* uniqueId;
    const char* name;
    bool asksTheClient;
  } cases[] = {
      {"client12:/vol/vol0", "filer12.example.com", true},
      {"client:/vol/vol0", "UnknownFiler", false},
      {"c:x", "UnknownFiler", false},
      {"client12", "UnknownFiler", false},
      {"client77:/vol", "UnknownFiler", true},  // no such client
      {"", "UnknownFiler", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uniqueId);
    testkit::client::reset();
    std::string name = "previous";
    EvSANVolMgr::GetNASFileServerNameFromUniqueId(c.uniqueId, name);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(testkit::client::journal().calls("getNetworkHostname").size(), c.asksTheClient ? 1u : 0u);
  }
}

TEST_F(Listings, ServiceTextsAreLoggedAsTextsNeverAsFormats) {
  testkit::replicadb::failNext("BrowseByPolicyId", -1, "bad %s %n text");
  EXPECT_EQ(mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()), 0);
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgGetReplicationVolumesByPolicy", -1, "bad %s %n text"));
}

// ---------------------------------------------------------------- fault sweep

TEST_F(Listings, EveryFailingPlatformCallOfAListingEndsInAnAnswerAndChangesNothing) {
  testkit::content::addSubclient({31, kSourceClient, 84, "sc1", 0, 0, false});
  testkit::content::addContent(31, physicalId, "1001");
  testkit::replicadb::exec("UPDATE \"SNRVolume\" SET \"backupFromSnap\" = 1, \"usePermanentReplica\" = 1");
  ReplicationVolumeV5Record_t permanent;
  permanent.primaryVolumeId = physicalId;
  permanent.physicalVolumeId = primaryId;
  const int32_t permanentId = testkit::replicadb::seed(permanent);
  testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?", {permanentId});
  const struct {
    const char* name;
    std::function<void()> request;
    uint32_t listingId;
  } cases[] = {
      {"by policy", [this] { mgr.onMsgGetReplicationVolumesByPolicy(simple(kPolicy).get()); }, 11604},
      {"by client", [this] { mgr.onMsgGetReplicationVolumesByClient(simple(kSourceClient).get()); }, 11604},
      {"one volume", [this] { mgr.onMsgGetSnrVolume(simple(physicalId).get()); }, 11604},
      {"scratch volumes", [this] { mgr.onMsgGetAvailableRvScratchVolumes(simple(poolId).get()); }, 11681},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.request, c.listingId);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace replicastest
