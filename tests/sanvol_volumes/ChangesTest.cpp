// SAN volume changes (add, replace mount points, delete, update): the
// answers on the client's socket, the replica database's calls in order
// and the rows they leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

using Changes = VolumesTest;

std::vector<std::string> serviceCalls() {
  std::vector<std::string> names;
  for (const auto& call : testkit::replicadb::journal().calls()) names.push_back(call.name);
  return names;
}

// Every element an add needs, for a NAS volume of type 5 on host 7.
tktest::StreamBuilder addRecord() {
  tktest::StreamBuilder b;
  b.pair(11602, 7, "sanhost")
      .text(11615, "client42:/vol/a")
      .u32(11606, 3)
      .u64(11608, 63)
      .u32(11619, 512)
      .raw(11633, hdr12(0, 7, 1, "\\\\filer\\a"))
      .u32(11607, 4)
      .u64(11614, 1000)
      .u32(11613, 1)
      .u32(11742, 5)
      .text(11675, "WAFL")
      .text(11724, "history-a")
      .raw(11653, hdr12(0, 7, 3, "/mnt/a"));
  return b;
}

TEST_F(Changes, AnAddRecordsTheVolumeWithItsFilerFromTheUniqueIdAndItsPermanentReplica) {
  EXPECT_EQ(handler.onMsgSetSANVolume(
                stream(addRecord().u32(9223, 1).u32(11684, 1).text(11610, "snap-dev").u32(4106, 2).op(48).end()).get()),
            1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectOperationAnswer(replies[0], 48, 1, "Success");
  EXPECT_EQ(serviceCalls(), (std::vector<std::string>{"AddSNRDevice", "CreatePermanentReplica"}));

  const auto devices = testkit::replicadb::rows<SNRVolumeDeviceNameV4Record_t>();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].filerClientId, 42);
  EXPECT_EQ(devices[0].hostId, 7);
  EXPECT_TRUE(devices[0].caseSensitive);
  SNRVolumeRecordV4_t volume;
  ASSERT_TRUE(testkit::replicadb::row(devices[0].volumeId, volume));
  EXPECT_EQ(std::tie(volume.deviceId, volume.blockSize, volume.blockCount, volume.fsType, volume.volumeType),
            std::make_tuple(std::string("client42:/vol/a"), 512, int64_t{1000}, std::string("WAFL"), 5));
  const auto points = testkit::replicadb::rows<SNRVolumeMountPointRecord_t>();
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(std::tie(points[0].mountPath, points[0].caseSensitive, points[0].extraFlag),
            std::make_tuple(std::string("/mnt/a"), true, true));
  const auto permanent = testkit::replicadb::calls("CreatePermanentReplica");
  ASSERT_EQ(permanent.size(), 1u);
  EXPECT_NE(std::find(permanent[0].args.begin(), permanent[0].args.end(), std::to_string(devices[0].volumeId)),
            permanent[0].args.end());
}

TEST_F(Changes, AnAddKeepsAGivenFilerAndOneWithoutANumberKeepsOne) {
  const struct {
    const char* name;
    std::string deviceId;
    std::optional<uint32_t> filer;
    int32_t stored;
  } cases[] = {
      {"given filer", "client42:/vol/a", 7, 7},
      {"colon before the seventh character", "ab:/vol/a", std::nullopt, 1},
      {"short id", "cl", std::nullopt, 1},
      {"number too large", "client4294967296:/vol/a", std::nullopt, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::exec("DELETE FROM \"SNRVolumeMountPoint\"");
    testkit::replicadb::exec("DELETE FROM \"SNRVolumeDeviceName\"");
    tktest::StreamBuilder b = addRecord().text(11615, c.deviceId);
    if (c.filer) b.u32(9223, *c.filer);
    EXPECT_EQ(handler.onMsgSetSANVolume(stream(b.u32(4106, 2).op(48).end()).get()), 1);
    client.replies();
    const auto devices = testkit::replicadb::rows<SNRVolumeDeviceNameV4Record_t>();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].filerClientId, c.stored);
  }
}

TEST_F(Changes, AnAddWithoutItsRequiredDataIsRefusedWithThePlainText) {
  handler.onMsgSetSANVolume(stream(tktest::StreamBuilder().u32(11742, 5).u32(4106, 2).op(48).end()).get());
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], "Did not receive required data for the new volume.");
  EXPECT_TRUE(serviceCalls().empty());
}

TEST_F(Changes, AFailedAddWithoutMountPointsNamesTheDeviceTwice) {
  testkit::replicadb::failNext("AddSNRDevice", -1, "device table locked");
  tktest::StreamBuilder b;
  b.pair(11602, 7, "sanhost").text(11615, "id").u32(11606, 3).u64(11608, 0).u32(11619, 512);
  b.raw(11633, hdr12(0, 7, 0, "E:")).u32(11607, 0).u64(11614, 1).u32(11613, 0).u32(11742, 0);
  EXPECT_EQ(handler.onMsgSetSANVolume(stream(b.u32(4106, 2).op(48).end()).get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], tktest::catalogueText(0x39000139, "E:", "E:"));
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgSetSANVolume", -1, "device table locked"));
}

TEST_F(Changes, ReplacingMountPointsKeepsExtraOnesAndAddsTheRequestsInOrder) {
  const int32_t device = addDeviceName(7, addVolume({}), "E:");
  addMountPoint(device, "E:\\old");
  addMountPoint(device, "E:\\kept", false, true);
  EXPECT_EQ(handler.onMsgSetSANVolume(stream(tktest::StreamBuilder()
                                                 .raw(11633, hdr12(static_cast<uint32_t>(device), 7, 0, "E:"))
                                                 .raw(11653, hdr12(0, 7, 0, "E:\\kept"))
                                                 .raw(11653, hdr12(0, 7, 1, "E:\\new"))
                                                 .u32(4106, 2)
                                                 .op(15)
                                                 .end())
                                          .get()),
            1);
  expectOperationAnswer(client.replies().at(0), 15, 1, "Success");
  EXPECT_EQ(serviceCalls(), (std::vector<std::string>{"QuerySNRVolMountPoint", "RemoveSNRMountPoint",
                                                      "AddSNRMountPoint", "AddSNRMountPoint"}));
  std::vector<std::string> paths;
  for (const auto& p : testkit::replicadb::rows<SNRVolumeMountPointRecord_t>()) paths.push_back(p.mountPath);
  EXPECT_EQ(paths, (std::vector<std::string>{"E:\\kept", "E:\\kept", "E:\\new"}));
}

TEST_F(Changes, ADeleteRemovesTheVolumesReplicasThenItsDeviceName) {
  const int32_t volumeId = addVolume({});
  const int32_t other = addVolume({});
  const int32_t device = addDeviceName(7, volumeId, "E:");
  for (int32_t physical : {volumeId, other, volumeId}) {
    ReplicationVolumeV5Record_t replica;
    replica.physicalVolumeId = physical;
    testkit::replicadb::seed(replica);
  }
  EXPECT_EQ(handler.onMsgSetSANVolume(stream(tktest::StreamBuilder()
                                                 .raw(11633, hdr12(static_cast<uint32_t>(device), 7, 0, "E:"))
                                                 .i32(11618, volumeId)
                                                 .u32(4106, 2)
                                                 .op(2)
                                                 .end())
                                          .get()),
            1);
  expectOperationAnswer(client.replies().at(0), 2, 1, "Success");
  EXPECT_EQ(serviceCalls(), (std::vector<std::string>{"GetReplicationVolumeList", "DeleteReplicationVolume",
                                                      "DeleteReplicationVolume", "DeleteSNRDevice"}));
  const auto left = testkit::replicadb::rows<ReplicationVolumeV5Record_t>();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].physicalVolumeId, other);
  EXPECT_TRUE(testkit::replicadb::rows<SNRVolumeDeviceNameV4Record_t>().empty());
}

TEST_F(Changes, ADeleteOrUpdateWithoutItsIdsIsRefusedWithItsText) {
  const struct {
    uint32_t operation;
    bool withDevice;
    const char* log;
  } cases[] = {
      {2, false, "Did not receive device name of volume to be deleted."},
      {2, true, "Did not receive SNRVolume.Id of the volume to be deleted."},
      {3, true, "Did not receive volume ID of the volume to be updated."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    tktest::StreamBuilder b;
    if (c.withDevice) b.raw(11633, hdr12(1, 7, 0, "E:"));
    EXPECT_EQ(handler.onMsgSetSANVolume(stream(b.u32(4106, 2).op(c.operation).end()).get()), 0);
    expectFailure(client.replies().at(0), tktest::catalogueText(0x39000089));
    EXPECT_TRUE(logged("EvSANVolMgr::onMsgSetSANVolume", -1, c.log));
  }
  EXPECT_TRUE(serviceCalls().empty());
}

TEST_F(Changes, AnUpdateOfAnAccessPathOrHistoryNameWithoutItsDeviceNameIsRefusedAndChangesNothing) {
  const int32_t volumeId = addVolume(SNRVolumeRecordV4_t{});
  const struct {
    const char* name;
    const char* accessPath;   // null: not sent
    const char* historyName;  // null: not sent
    bool refused;
  } cases[] = {
      {"access path", "/export/b", nullptr, true},
      {"history name", nullptr, "history-b", true},
      {"both", "/export/b", "history-b", true},
      {"an empty history name names nothing to store", nullptr, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::journal().reset();
    tktest::StreamBuilder b;
    b.i32(11618, volumeId).u32(11712, 1);
    if (c.accessPath != nullptr) b.text(11773, c.accessPath);
    if (c.historyName != nullptr) b.text(11724, c.historyName);
    EXPECT_EQ(handler.onMsgSetSANVolume(stream(b.u32(4106, 2).op(3).end()).get()), c.refused ? 0 : 1);
    if (c.refused) {
      expectFailure(client.replies().at(0), tktest::catalogueText(0x39000089));
      EXPECT_TRUE(logged("EvSANVolMgr::onMsgSetSANVolume", -1,
                         "Did not receive device name of the volume whose access path or history name is to be "
                         "updated."));
      EXPECT_TRUE(serviceCalls().empty());
    } else {
      expectOperationAnswer(client.replies().at(0), 3, 1, "Success");
    }
    SNRVolumeRecordV4_t after;
    ASSERT_TRUE(testkit::replicadb::row(volumeId, after));
    EXPECT_EQ(after.qmProtected, !c.refused);
    EXPECT_TRUE(testkit::replicadb::rows<QuillmereHistoryNameRecord_t>().empty());
  }
}

TEST_F(Changes, AnUpdateSendingOnlyTheAccessPathKeepsTheUnsentFields) {
  SNRVolumeRecordV4_t volume;
  volume.blockSize = 4096;
  volume.fsType = "ext4";
  volume.startLba = 2048;
  volume.blockCount = 77;
  volume.tailFlag = true;
  volume.volumeType = 5;
  const int32_t volumeId = addVolume(volume);
  const int32_t device = addDeviceName(7, volumeId, "/dev/sdb");
  EXPECT_EQ(handler.onMsgSetSANVolume(stream(tktest::StreamBuilder()
                                                 .i32(11618, volumeId)
                                                 .raw(11633, hdr12(static_cast<uint32_t>(device), 7, 0, "/dev/sdb"))
                                                 .text(11773, "/export/b")
                                                 .text(11724, "history-b")
                                                 .u32(4106, 2)
                                                 .op(3)
                                                 .end())
                                          .get()),
            1);
  expectOperationAnswer(client.replies().at(0), 3, 1, "Success");
  EXPECT_EQ(serviceCalls(), (std::vector<std::string>{"QuerySNRVolume", "UpdateSNRVolume", "AddQMGlobalHistoryName",
                                                      "UpdateSNRDevice"}));
  SNRVolumeRecordV4_t after;
  ASSERT_TRUE(testkit::replicadb::row(volumeId, after));
  EXPECT_EQ(std::tie(after.blockSize, after.fsType, after.startLba, after.blockCount, after.tailFlag, after.volumeType),
            std::make_tuple(4096, std::string("ext4"), int64_t{2048}, int64_t{77}, true, 5));
  const auto devices = testkit::replicadb::rows<SNRVolumeDeviceNameV4Record_t>();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].accessPath, "/export/b");
  // The history name is read back by the volume's id.
  const auto names = testkit::replicadb::rows<QuillmereHistoryNameRecord_t>();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].volumeId, volumeId);
  EXPECT_EQ(names[0].historyName, "history-b");
}

TEST_F(Changes, AnUpdateReplacesThePermanentReplicaAndAFailedUpdateIsAnOperationAnswer) {
  SNRVolumeRecordV4_t volume;
  volume.usePermanentReplica = true;
  const int32_t volumeId = addVolume(volume);
  ReplicationVolumeV5Record_t permanent;
  permanent.primaryVolumeId = volumeId;
  permanent.physicalVolumeId = addVolume({});
  testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?",
                           {testkit::replicadb::seed(permanent)});
  auto update = [&] {
    return stream(tktest::StreamBuilder().i32(11618, volumeId).u32(11684, 1).u32(4106, 2).op(3).end());
  };
  EXPECT_EQ(handler.onMsgSetSANVolume(update().get()), 1);
  expectOperationAnswer(client.replies().at(0), 3, 1, "Success");
  EXPECT_EQ(serviceCalls(), (std::vector<std::string>{"QuerySNRVolume", "DeletePermanentReplica",
                                                      "UpdateSNRVolume", "CreatePermanentReplica"}));

  testkit::replicadb::failNext("UpdateSNRVolume", -1, "volume row locked");
  EXPECT_EQ(handler.onMsgSetSANVolume(update().get()), 0);
  expectOperationAnswer(client.replies().at(0), 3, 0, tktest::catalogueText(0x39000095));
}

TEST_F(Changes, TwoRecordsOfOneStreamAreAnsweredApartAndShareTheMountPointList) {
  const int32_t device = addDeviceName(7, addVolume({}), "E:");
  EXPECT_EQ(handler.onMsgSetSANVolume(stream(tktest::StreamBuilder()
                                                 .raw(11633, hdr12(static_cast<uint32_t>(device), 7, 0, "E:"))
                                                 .raw(11653, hdr12(0, 7, 0, "E:\\a"))
                                                 .u32(4106, 2)
                                                 .op(15)
                                                 .end()
                                                 .raw(11653, hdr12(0, 7, 0, "E:\\b"))
                                                 .end())
                                          .get()),
            1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectOperationAnswer(replies[1], 15, 1, "Success");
  std::vector<std::string> paths;
  for (const auto& p : testkit::replicadb::rows<SNRVolumeMountPointRecord_t>()) paths.push_back(p.mountPath);
  EXPECT_EQ(paths, (std::vector<std::string>{"E:\\a", "E:\\b"}));
}

}  // namespace
}  // namespace volumestest
