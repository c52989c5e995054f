// The SAN volume host and volume listings, read off the client's socket to
// the byte, with the replica database, client and rights stand-ins behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

constexpr const char* kHostsLookupTag = "EvSANVolMgr::lookupSANVolumeHosts";
constexpr const char* kVolumesLookupTag = "EvSANVolMgr::lookupSANVolumes";
constexpr int64_t kSeq = 0x0003000000000044LL;

// ---------------------------------------------------------------- volume hosts

using Hosts = VolumesTest;

TEST_F(Hosts, ListsOnlyTheHostsTheUserMayManageInServiceOrder) {
  testkit::replicadb::seed(VEHostRecord_t{10, "hostA", true});
  testkit::replicadb::seed(VEHostRecord_t{11, "hostB", false});
  testkit::replicadb::seed(VEHostRecord_t{12, "hostC", false});
  testkit::security::deny("canManageClient", kUser, 11);

  EXPECT_EQ(handler.onMsgGetSANVolumeHosts(get(0).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11601u);
  EXPECT_EQ(replies[0].sequence, kSeq);
  ASSERT_EQ(tagsOf(replies[0]), (Tags{11718, 11602, 2052, 11718, 11602, 2052}));
  EXPECT_EQ(replies[0].items[0].bytes, le32(1));
  EXPECT_EQ(replies[0].items[1].bytes, le32(10) + "hostA");
  EXPECT_EQ(replies[0].items[2].bytes, le32(0));
  EXPECT_EQ(replies[0].items[3].bytes, le32(0));
  EXPECT_EQ(replies[0].items[4].bytes, le32(12) + "hostC");

  const auto asked = testkit::security::journal().calls("canManageClient");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[1].args, (std::vector<std::string>{"5", "2", "11"}));
  EXPECT_TRUE(logged(kHostsLookupTag, 10, "user [id:5 ] has permissions to manage client[ id:10 ]"));
  EXPECT_TRUE(logged(kHostsLookupTag, 10, "user [id:5 ] does not have permissions to manage client[ id:11 ]"));
}

TEST_F(Hosts, AUserWhoMayManageNoHostGetsAnEmptyReply) {
  testkit::replicadb::seed(VEHostRecord_t{10, "hostA", true});
  testkit::security::deny("canManageClient");
  EXPECT_EQ(handler.onMsgGetSANVolumeHosts(get(0).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11601u);
  EXPECT_TRUE(replies[0].items.empty());
}

TEST_F(Hosts, AnUnreadableHostListIsAnsweredAsAFailureBeforeTheEmptyReply) {
  testkit::replicadb::seed(VEHostRecord_t{10, "hostA", true});
  testkit::replicadb::failNext("GetVEHosts", -1, "the hosts are not there");
  EXPECT_EQ(handler.onMsgGetSANVolumeHosts(get(0).get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectFailure(replies[0], tktest::catalogueText(0x39000006));
  EXPECT_EQ(replies[0].sequence, kSeq);
  EXPECT_EQ(replies[1].messageId, 11601u);
  EXPECT_TRUE(replies[1].items.empty());
  EXPECT_TRUE(logged(kHostsLookupTag, -1, "the hosts are not there"));
  EXPECT_TRUE(testkit::security::journal().calls("canManageClient").empty());
}

// ---------------------------------------------------------------- volumes

using Volumes = VolumesTest;

TEST_F(Volumes, AVolumeRecordCarriesEveryItemInOrder) {
  addClient(7, "client7");
  QRApplianceRecord_t appliance;
  appliance.applianceName = "appliance-1";
  const int32_t applianceId = testkit::replicadb::seed(appliance);

  SNRVolumeRecordV4_t permanentVolume;
  permanentVolume.deviceId = "perm-dev";
  permanentVolume.deviceIdType = 4;
  permanentVolume.lun = 6;
  const int32_t permanentVolumeId = addVolume(permanentVolume);

  SNRVolumeRecordV4_t volume;
  volume.deviceId = "dev-uid-1";
  volume.deviceIdType = 2;
  volume.lun = 3;
  volume.startLba = 0x100000000LL;
  volume.blockCount = 0x200000001LL;
  volume.blockSize = 512;
  volume.backupFromSnap = true;
  volume.volumeLock = true;
  volume.fsType = "NTFS";
  volume.usePermanentReplica = true;
  volume.qmProtected = true;
  volume.applianceId = applianceId;
  volume.qmState = 2;
  volume.costCategoryId = 0x700000009LL;
  volume.tailFlag = true;
  volume.volumeType = 3;
  const int32_t volumeId = addVolume(volume);
  testkit::replicadb::seedSubclientVolume(volumeId);

  SNRVolumeDeviceNameV4Record_t device;
  device.caseSensitive = true;
  device.osDeviceName = "\\\\.\\PhysicalDrive1";
  device.deviceConfigured = true;
  device.extraFlag = true;
  device.accessPath = "\\\\?\\Volume{1}";
  device.filerClientId = 9;
  const int32_t deviceNameId = addDeviceName(7, volumeId, "E:", device);
  const int32_t mountA = addMountPoint(deviceNameId, "E:\\", true, false);
  const int32_t mountB = addMountPoint(deviceNameId, "C:\\mnt\\e", false, true);

  ReplicationVolumeV5Record_t replica;
  replica.pointInTime = 100;
  replica.creationTime = 200;
  replica.modificationTime = 300;
  replica.role = 1;
  replica.primaryVolumeId = 44;
  replica.physicalVolumeId = volumeId;
  replica.replicationPolicyId = 8;
  replica.doNotPrune = true;
  replica.item11751 = 12;
  replica.item11713 = true;
  replica.item11774 = false;
  replica.item11775 = true;
  replica.item11746 = 13;
  const int32_t replicaId = testkit::replicadb::seed(replica);

  RVScratchVolumeV2Record_t scratch;
  scratch.volumeId = volumeId;
  scratch.poolId = 6;
  const int32_t scratchId = testkit::replicadb::seed(scratch);

  ReplicationVolumeV5Record_t permanent;
  permanent.primaryVolumeId = volumeId;
  permanent.physicalVolumeId = permanentVolumeId;
  const int32_t permanentId = testkit::replicadb::seed(permanent);
  ASSERT_EQ(testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?",
                                     {permanentId}),
            0);

  EXPECT_EQ(handler.onMsgGetSANVolumes(get(7).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  const auto& r = replies[0];
  EXPECT_EQ(r.messageId, 11604u);
  EXPECT_EQ(r.sequence, kSeq);
  ASSERT_EQ(tagsOf(r), (Tags{11618, 11602, 9223,  11633, 11704, 11703, 11723, 11773, 11606, 11615, 11675, 11607,
                             11608, 11614, 11619, 11613, 11620, 11711, 11712, 11730, 11708, 11742, 11776, 11694,
                             11653, 11653, 11626, 11627, 11629, 11628, 11631, 11632, 11688, 11713, 11642, 11751,
                             11774, 11775, 11746, 11624, 11625, 11684, 11611, 11610, 11612, 2052}));
  const std::vector<std::string> expected = {
      le32(volumeId),
      le32(7) + "client7",
      le32(9),
      hdr12(deviceNameId, 7, 1, "E:"),
      le32(0) + "\\\\.\\PhysicalDrive1",
      le32(1),
      le32(1),
      "\\\\?\\Volume{1}",
      le32(2),
      "dev-uid-1",
      "NTFS",
      le32(3),
      le64(0x100000000ULL),
      le64(0x200000001ULL),
      le32(512),
      le32(1),
      le32(1),
      le32(2),
      le32(1),
      le32(9),  // the low 32 bits of the cost category, an empty text
      le32(applianceId) + "appliance-1",
      le32(3),
      le32(1),
      le32(1),
      hdr12(mountA, 7, 1, "E:\\"),
      hdr12(mountB, 7, 2, "C:\\mnt\\e"),
      le32(replicaId),
      le32(100),
      le32(300),
      le32(200),
      le32(1),
      le32(44),
      le32(1),
      le32(1),
      le32(8),
      le32(12),
      le32(0),
      le32(1),
      le32(13),
      le32(scratchId),
      le32(6) + "fix me",
      le32(1),
      le32(4),
      "perm-dev",
      le32(6),
      le32(0),
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("item " + std::to_string(i) + " tag " + std::to_string(r.items[i].tag));
    EXPECT_EQ(r.items[i].bytes, expected[i]);
  }
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgGetSANVolumes", 7, "Received TarnfoldId = 2, SANHostId = 7"));
}

TEST_F(Volumes, OptionalItemsFollowTheVolumeAndDeviceName) {
  addClient(7, "client7");
  struct Case {
    const char* name;
    int32_t volumeType;
    std::string osDeviceName;
    bool backupFromSnap;
    bool usePermanentReplica;
    int32_t applianceId;
    bool has9223;
    bool has11704;
  };
  const Case cases[] = {
      {"a volume of type 2 is a NAS volume", 2, "", false, false, 0, true, false},
      {"a volume of type 6 is a NAS volume", 6, "disk1", false, false, 0, true, true},
      {"a volume of type 1 is none", 1, "disk1", false, false, 0, false, true},
      {"a volume of type 7 is none", 7, "", true, false, 0, false, false},
      {"an appliance not in the list gives an empty name", 0, "", false, true, 55, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(testkit::replicadb::exec("DELETE FROM \"SNRVolumeDeviceName\""), 0);
    SNRVolumeRecordV4_t volume;
    volume.volumeType = c.volumeType;
    volume.backupFromSnap = c.backupFromSnap;
    volume.usePermanentReplica = c.usePermanentReplica;
    volume.applianceId = c.applianceId;
    const int32_t volumeId = addVolume(volume);
    SNRVolumeDeviceNameV4Record_t device;
    device.osDeviceName = c.osDeviceName;
    device.filerClientId = 31;
    addDeviceName(7, volumeId, "dev", device);

    Connection connection;
    auto request = get(7);
    request->socket = connection.socket();
    EvSANVolMgr listing;
    EXPECT_EQ(listing.onMsgGetSANVolumes(request.get()), 1);
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 1u);
    const auto& r = replies[0];
    Tags tags{11618, 11602};
    if (c.has9223) tags.push_back(9223);
    tags.push_back(11633);
    if (c.has11704) tags.push_back(11704);
    for (uint32_t t : {11703, 11723, 11773, 11606, 11615, 11675, 11607, 11608, 11614, 11619, 11613, 11620, 11711,
                       11712, 11730, 11708, 11742, 11776, 11694, 11684, 2052})
      tags.push_back(t);
    ASSERT_EQ(tagsOf(r), tags);
    if (c.has9223) {
      EXPECT_EQ(r.find(9223)->bytes, le32(31));
    }
    EXPECT_EQ(r.find(11730)->bytes.size(), 4u);
    EXPECT_EQ(r.find(11708)->bytes, le32(static_cast<uint32_t>(c.applianceId)));
    EXPECT_EQ(r.find(11684)->bytes, le32(c.usePermanentReplica ? 1 : 0));
  }
}

TEST_F(Volumes, TwoDeviceNamesOfOneClientLookTheNameUpOnce) {
  addClient(7, "client7");
  addDeviceName(7, addVolume({}), "E:");
  addDeviceName(7, addVolume({}), "F:");
  EXPECT_EQ(handler.onMsgGetSANVolumes(get(7).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  const auto hosts = replies[0].findAll(11602);
  ASSERT_EQ(hosts.size(), 2u);
  EXPECT_EQ(hosts[0]->bytes, le32(7) + "client7");
  EXPECT_EQ(hosts[1]->bytes, le32(7) + "client7");
  EXPECT_EQ(testkit::client::journal().calls("getName").size(), 1u);
}

TEST_F(Volumes, EachRecordTakesItsOwnMountPointsInServiceOrderAndTheFirstReplicaAndScratchVolumeOfItsVolume) {
  addClient(7, "client7");
  const int32_t v1 = addVolume({});
  const int32_t v2 = addVolume({});
  const int32_t d1 = addDeviceName(7, v1, "D1");
  const int32_t d2 = addDeviceName(7, v2, "D2");
  addDeviceName(7, v1, "D3");  // a second device name of the first volume
  const int32_t m1 = addMountPoint(d2, "m1");
  const int32_t m2 = addMountPoint(d1, "m2");
  const int32_t m3 = addMountPoint(d2, "m3");
  const int32_t m4 = addMountPoint(d1, "m4");
  auto replicaOf = [](int32_t volume) {
    ReplicationVolumeV5Record_t replica;
    replica.physicalVolumeId = volume;
    return testkit::replicadb::seed(replica);
  };
  const int32_t r1 = replicaOf(v2);
  const int32_t r2 = replicaOf(v1);
  replicaOf(v1);
  auto scratchOf = [](int32_t volume) {
    RVScratchVolumeV2Record_t scratch;
    scratch.volumeId = volume;
    scratch.poolId = 6;
    return testkit::replicadb::seed(scratch);
  };
  const int32_t s1 = scratchOf(v1);
  scratchOf(v1);

  EXPECT_EQ(handler.onMsgGetSANVolumes(get(7).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  // Per record, the items that come from the other lists.
  Items picked;
  for (const auto& item : replies[0].items)
    if (item.tag == 11633 || item.tag == 11653 || item.tag == 11626 || item.tag == 11624 || item.tag == 2052)
      picked.emplace_back(item.tag, item.tag == 11633 ? item.bytes.substr(12) : item.bytes);
  auto mount = [](int32_t id, const std::string& path) {
    return Item{11653, hdr12(static_cast<uint32_t>(id), 7, 0, path)};
  };
  const auto u32 = [](int32_t v) { return le32(static_cast<uint32_t>(v)); };
  EXPECT_EQ(picked, (Items{{11633, "D1"}, mount(m2, "m2"), mount(m4, "m4"), {11626, u32(r2)}, {11624, u32(s1)},
                           {2052, le32(0)},
                           {11633, "D2"}, mount(m1, "m1"), mount(m3, "m3"), {11626, u32(r1)}, {2052, le32(0)},
                           {11633, "D3"}, {11626, u32(r2)}, {11624, u32(s1)}, {2052, le32(0)}}));
}

TEST_F(Volumes, AClientWithoutARecordIsListedWithAnEmptyName) {
  addDeviceName(9, addVolume({}), "E:");
  EXPECT_EQ(handler.onMsgGetSANVolumes(get(9).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].find(11602)->bytes, le32(9));
}

TEST_F(Volumes, AHostWithoutDeviceNamesGetsAnEmptyReply) {
  addDeviceName(8, addVolume({}), "E:");
  EXPECT_EQ(handler.onMsgGetSANVolumes(get(7).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11604u);
  EXPECT_TRUE(replies[0].items.empty());
}

TEST_F(Volumes, EachFailedLookupIsAnsweredBeforeTheEmptyReply) {
  addClient(7, "client7");
  addDeviceName(7, addVolume({}), "E:");
  for (const char* call : {"QuerySNRDevice", "GetSubclientVolumesList", "GetQRApplianceList"}) {
    SCOPED_TRACE(call);
    testkit::replicadb::failNext(call, -1, std::string(call) + " is down");
    Connection connection;
    auto request = get(7);
    request->socket = connection.socket();
    EvSANVolMgr listing;
    EXPECT_EQ(listing.onMsgGetSANVolumes(request.get()), 0);
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].messageId, 1024u);
    EXPECT_EQ(replies[0].sequence, kSeq);
    ASSERT_EQ(tagsOf(replies[0]), Tags{2051});
    EXPECT_EQ(replies[0].items[0].bytes, wordAndText(0, tktest::catalogueText(0x39000092)));
    EXPECT_EQ(replies[1].messageId, 11604u);
    EXPECT_TRUE(replies[1].items.empty());
  }
}

TEST_F(Volumes, AFailedPermanentReplicaLookupLeavesItsRecordUnclosed) {
  addClient(7, "client7");
  SNRVolumeRecordV4_t plain;
  const int32_t first = addVolume(plain);
  SNRVolumeRecordV4_t snap;
  snap.backupFromSnap = true;
  snap.usePermanentReplica = true;
  const int32_t second = addVolume(snap);
  addDeviceName(7, first, "E:");
  addDeviceName(7, second, "F:");
  addDeviceName(7, addVolume({}), "G:");

  EXPECT_EQ(handler.onMsgGetSANVolumes(get(7).get()), 0) << "no permanent replica: the lookup fails";
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u) << "no failure answer";
  const Tags tags = tagsOf(replies[0]);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 11618u), 2);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 2052u), 1);
  EXPECT_EQ(tags.back(), 11684u);
}

TEST_F(Volumes, ADeviceNameWithoutItsVolumeEndsTheListingAfterTheRecordsSoFar) {
  addClient(7, "client7");
  addDeviceName(7, addVolume({}), "E:");
  addDeviceName(7, 999, "F:");
  addDeviceName(7, addVolume({}), "G:");
  EXPECT_EQ(handler.onMsgGetSANVolumes(get(7).get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  const Tags tags = tagsOf(replies[0]);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 11618u), 1);
  EXPECT_EQ(tags.back(), 2052u);
  EXPECT_TRUE(logged(kVolumesLookupTag, -1, "Error: Device name is not associated with a volume."));
}

TEST_F(Volumes, NoRequestRecordSendsNothing) {
  EXPECT_EQ(handler.onMsgGetSANVolumes(nullptr), 0);
  EXPECT_EQ(handler.onMsgGetSANVolumeHosts(nullptr), 0);
  EXPECT_TRUE(client.replies().empty());
}

}  // namespace
}  // namespace volumestest
