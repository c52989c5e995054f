// Mount and unmount commands: the client volume service's calls, the
// recorded mount points and the answers on the client's socket.
#include <gtest/gtest.h>

#include <functional>

#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

constexpr const char* kTag = "EvSANVolMgr::onMsgVolumeMountPointCommand";
constexpr const char* kHost = "sanclient.example.com";

class Mounts : public VolumesTest {
 protected:
  void SetUp() override { setUpClient(12); }
  void setUpClient(unsigned long long release) {
    testkit::replicadb::exec("DELETE FROM \"APP_Client\" WHERE \"id\" = 9");
    ASSERT_EQ(testkit::client::addClient({9, "sanclient", kHost, release, ""}), 0);
    testkit::clientvol::seedHost(kHost, 9);
    m_device = addDeviceName(9, addVolume({}), "E:");
  }
  // 11633 and 11653 of client 9, then the extra elements, then the record's end.
  std::unique_ptr<MessageInfo> command(uint32_t operation, const std::function<void(tktest::StreamBuilder&)>& more = {},
                                       const std::string& path = "M:\\snap") {
    tktest::StreamBuilder b;
    b.raw(11633, hdr12(static_cast<uint32_t>(m_device), 9, 0, "E:")).raw(11653, hdr12(0, 9, 1, path));
    b.text(11675, "NTFS").u32(4106, 2).op(operation);
    if (more) more(b);
    return stream(b.end());
  }
  int32_t m_device = -1;
};

TEST_F(Mounts, AMountOnRelease12UsesTheVssSnapshotAndAnswersTheNewId) {
  testkit::replicadb::seedVSSSnapDevice(m_device, "src-dev", "{ssid-1}");
  EXPECT_EQ(handler.onMsgVolumeMountPointCommand(command(1).get()), 1);
  const auto mounts = testkit::clientvol::journal().calls("addVolumeMountPoint");
  ASSERT_EQ(mounts.size(), 1u);
  EXPECT_EQ(mounts[0].args, (std::vector<std::string>{kHost, std::string("VSS_SNAP_SSID_MONIKER\x15{ssid-1}"),
                                                      "M:\\snap", "NTFS", "", "src-dev", "9", "3"}));
  const auto points = testkit::replicadb::rows<SNRVolumeMountPointRecord_t>();
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(std::tie(points[0].deviceNameId, points[0].mountPath, points[0].caseSensitive, points[0].extraFlag),
            std::make_tuple(m_device, std::string("M:\\snap"), true, false));
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 1024u);
  EXPECT_EQ(itemsOf(replies[0]),
            (Items{{4001, le32(1)},
                   {2051, wordAndText(1, "Success")},
                   {11653, hdr12(static_cast<uint32_t>(points[0].mountPointId), 9, 1, "M:\\snap")}}));
}

TEST_F(Mounts, OnlyAClientOfRelease12OrLaterIsAskedAboutVssSnapshots) {
  // A client without a recorded release counts as release 12.
  const struct {
    unsigned long long release;
    std::size_t asked;
  } cases[] = {{11, 0}, {0, 1}, {13, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.release);
    resetStandIns();
    setUpClient(c.release);
    EXPECT_EQ(handler.onMsgVolumeMountPointCommand(command(1).get()), 1);
    client.replies();
    EXPECT_EQ(testkit::replicadb::calls("IsDevVSSSnap").size(), c.asked);
  }
}

TEST_F(Mounts, AnUnmountRemovesTheMountOnTheClientAndItsRecord) {
  ASSERT_EQ(handler.onMsgVolumeMountPointCommand(command(1).get()), 1);
  client.replies();
  const int32_t point = testkit::replicadb::rows<SNRVolumeMountPointRecord_t>().at(0).mountPointId;
  tktest::StreamBuilder b;
  b.pair(11602, 9, kHost).raw(11653, hdr12(static_cast<uint32_t>(point), 9, 0, "M:\\snap")).u32(4106, 2).op(2);
  EXPECT_EQ(handler.onMsgVolumeMountPointCommand(stream(b.end()).get()), 1);
  expectOperationAnswer(client.replies().at(0), 2, 1, "Success");
  EXPECT_TRUE(testkit::clientvol::agent(kHost).mounts.empty());
  EXPECT_TRUE(testkit::replicadb::rows<SNRVolumeMountPointRecord_t>().empty());
}

TEST_F(Mounts, EachMountAndUnmountFailureIsAnsweredWithItsText) {
  const auto unmountOf = [](const std::string& path, bool withClient) {
    return [path, withClient](tktest::StreamBuilder& b) {
      if (withClient) b.pair(11602, 9, kHost);
      b.raw(11653, hdr12(77, 9, 0, path));
    };
  };
  const struct {
    const char* name;
    uint32_t operation;
    std::function<void()> arrange;
    std::function<void(tktest::StreamBuilder&)> more;
    bool operationAnswer;
    std::string text;
    const char* log;
  } cases[] = {
      {"source volume not found", 1, [] {}, [](tktest::StreamBuilder& b) { b.u32(11751, 55); }, true,
       tktest::catalogueText(0x39000006), "Cannot get the device name of volume id 55"},
      {"client refuses the mount", 1,
       [] { testkit::clientvol::journal().injectFailure("addVolumeMountPoint", 0, "agent busy"); }, {}, false,
       tktest::catalogueText(0x39000083, "E:", "M:\\snap"),
       "Failed to add mount point M:\\snap for device E: on client sanclient.example.com. Reason: agent busy"},
      {"mount not recorded", 1, [] { testkit::replicadb::failNext("AddSNRMountPoint", -1, "row locked"); }, {},
       false, tktest::catalogueText(0x39000085, "M:\\snap"), "row locked"},
      {"unmount without the client", 2, [] {}, unmountOf("M:\\x", false), true, tktest::catalogueText(0x39000089),
       "All information required to process this request was not received"},
      {"client refuses the unmount", 2, [] {}, unmountOf("M:\\x", true), false,
       tktest::catalogueText(0x39000086, "M:\\x"),
       "Failed to remove mount point M:\\x on client sanclient.example.com."},
      {"unmount not recorded", 2,
       [this] {
         ASSERT_EQ(handler.onMsgVolumeMountPointCommand(command(1, {}, "M:\\y").get()), 1);
         client.replies();
         testkit::replicadb::failNext("RemoveSNRMountPoint", -1, "no such mount point");
       },
       unmountOf("M:\\y", true), false, tktest::catalogueText(0x39000087, "M:\\y"), "no such mount point"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetStandIns();
    setUpClient(12);
    c.arrange();
    EXPECT_EQ(handler.onMsgVolumeMountPointCommand(command(c.operation, c.more).get()), 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    if (c.operationAnswer) {
      expectOperationAnswer(replies[0], c.operation, 0, c.text);
    } else {
      expectFailure(replies[0], c.text);
    }
    EXPECT_TRUE(logged(kTag, -1, c.log));
  }
}

TEST_F(Mounts, ASourceLookupWithoutAMountPointIsRefusedBeforeAnyLookup) {
  tktest::StreamBuilder b;
  b.raw(11633, hdr12(static_cast<uint32_t>(m_device), 9, 0, "E:")).u32(11632, 5).u32(4106, 2).op(1);
  EXPECT_EQ(handler.onMsgVolumeMountPointCommand(stream(b.end()).get()), 0);
  expectOperationAnswer(client.replies().at(0), 1, 0, tktest::catalogueText(0x39000089));
  EXPECT_TRUE(testkit::replicadb::journal().calls().empty());
}

}  // namespace
}  // namespace volumestest
