// A host with more device names than the listing reads from the service at
// once (1,000 a page): the answer is the same, to the byte, as one read of
// them all would give, whatever falls on a page's edge; the service is asked
// page after page; and a page that cannot be read is answered as the first
// one would be, after the records already listed.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

constexpr int32_t kHost = 101;
constexpr int64_t kSeq = 0x0003000000000044LL;
constexpr int kPage = 1000;  // device names the listing reads at once
constexpr int kFirstVolume = 500000;
constexpr int kFirstDeviceName = 600000;
constexpr int kFirstMountPoint = 700000;
// The last device name of the first page and the first of the second share
// one volume.
constexpr int kShared = kPage - 1;

class PagedListing : public VolumesTest {
 protected:
  PagedListing() { addClient(kHost, "sanhost"); }

  static int volumeOf(int i) { return kFirstVolume + (i == kPage ? kShared : i); }

  // `count` device names of the host, each with its volume and one mount
  // point, but for device name kPage, which shares the volume of the one
  // before it. Around the first page's edge: more mount points for the two
  // device names there, two replicas and two scratch volumes on their shared
  // volume, a replica and a scratch volume on the volumes just before and
  // just after.
  void seed(int count) {
    const std::string n = numberedRows(count);
    seedInOneTransaction({
        n + kInsertWholeVolumes + "SELECT " + std::to_string(kFirstVolume) +
            " + i, 'dev' || i, 3, 0, 0, 100, 512, 0, 0, 'ext4', 0, 0, 0, 0, 0, 0, 1 FROM n",
        n + "INSERT INTO \"SNRVolumeDeviceName\" (\"deviceNameId\", \"hostId\", \"deviceName\") SELECT " +
            std::to_string(kFirstDeviceName) + " + i, " + std::to_string(kHost) + ", '/dev/p' || i FROM n",
        n + "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", \"caseSensitive\", "
            "\"deviceConfigured\", \"extraFlag\", \"filerClientId\") SELECT " +
            std::to_string(kFirstDeviceName) + " + i, " + std::to_string(kFirstVolume) + " + CASE WHEN i = " +
            std::to_string(kPage) + " THEN " + std::to_string(kShared) + " ELSE i END, 0, 0, 0, 0 FROM n",
        n + "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", \"mountPath\", "
            "\"caseSensitive\", \"extraFlag\") SELECT " + std::to_string(kFirstMountPoint) + " + i, " +
            std::to_string(kFirstDeviceName) + " + i, '/p' || i, 0, 0 FROM n",
    });
    if (::testing::Test::HasFatalFailure()) return;

    m_extraMounts.assign(static_cast<std::size_t>(count), {});
    for (const int i : {kShared, kPage, kShared}) {
      if (i >= count) continue;
      const std::string path = "/more" + std::to_string(m_extraMounts[i].size()) + "-" + std::to_string(i);
      m_extraMounts[i].push_back({addMountPoint(kFirstDeviceName + i, path, true, i == kPage), path});
    }
    for (const int i : {kShared, kShared - 1, kPage + 1, kShared}) {
      if (i >= count) continue;
      ReplicationVolumeV5Record_t replica;
      replica.physicalVolumeId = kFirstVolume + i;
      replica.primaryVolumeId = 40 + i;
      replica.pointInTime = 1000 + i;
      replica.creationTime = 2000 + i;
      replica.modificationTime = 3000 + i;
      replica.role = 1;
      replica.replicationPolicyId = 7;
      replica.doNotPrune = i == kShared;
      replica.item11751 = 5;
      replica.item11713 = true;
      replica.item11775 = true;
      replica.item11746 = 9;
      const int32_t id = testkit::replicadb::seed(replica);
      ASSERT_GT(id, 0);
      if (m_replicas.count(kFirstVolume + i) == 0) m_replicas[kFirstVolume + i] = {id, replica};
    }
    for (const int i : {kPage + 1, kShared, kShared - 1, kShared}) {
      if (i >= count) continue;
      RVScratchVolumeV2Record_t scratch;
      scratch.volumeId = kFirstVolume + i;
      scratch.poolId = 3 + i;
      const int32_t id = testkit::replicadb::seed(scratch);
      ASSERT_GT(id, 0);
      if (m_scratch.count(kFirstVolume + i) == 0) m_scratch[kFirstVolume + i] = {id, scratch.poolId};
    }
  }

  // The items of device name i's record as seed() made it.
  Items expectedRecord(int i) const {
    const int volume = volumeOf(i);
    const std::string deviceName = "/dev/p" + std::to_string(i);
    Items items = {
        {11618, le32(static_cast<uint32_t>(volume))},
        {11602, le32(kHost) + "sanhost"},
        {11633, hdr12(static_cast<uint32_t>(kFirstDeviceName + i), kHost, 0, deviceName)},
        {11703, le32(0)},
        {11723, le32(0)},
        {11773, ""},
        {11606, le32(3)},
        {11615, "dev" + std::to_string(volume - kFirstVolume)},
        {11675, "ext4"},
        {11607, le32(0)},
        {11608, le64(0)},
        {11614, le64(100)},
        {11619, le32(512)},
    };
    const Items flags = plainVolumeFlags();
    items.insert(items.end(), flags.begin(), flags.end());
    items.push_back({11653, hdr12(static_cast<uint32_t>(kFirstMountPoint + i), kHost, 0, "/p" + std::to_string(i))});
    for (const auto& [id, path] : m_extraMounts[static_cast<std::size_t>(i)])
      items.push_back({11653, hdr12(static_cast<uint32_t>(id), kHost, i == kPage ? 3u : 1u, path)});
    if (auto found = m_replicas.find(volume); found != m_replicas.end()) {
      const auto& [id, r] = found->second;
      const Items replica = {
          {11626, le32(static_cast<uint32_t>(id))},
          {11627, le32(static_cast<uint32_t>(r.pointInTime))},
          {11629, le32(static_cast<uint32_t>(r.modificationTime))},
          {11628, le32(static_cast<uint32_t>(r.creationTime))},
          {11631, le32(1)},
          {11632, le32(static_cast<uint32_t>(r.primaryVolumeId))},
          {11688, le32(r.doNotPrune ? 1 : 0)},
          {11713, le32(1)},
          {11642, le32(7)},
          {11751, le32(5)},
          {11774, le32(0)},
          {11775, le32(1)},
          {11746, le32(9)},
      };
      items.insert(items.end(), replica.begin(), replica.end());
    }
    if (auto found = m_scratch.find(volume); found != m_scratch.end()) {
      items.push_back({11624, le32(static_cast<uint32_t>(found->second.first))});
      items.push_back({11625, le32(static_cast<uint32_t>(found->second.second)) + "fix me"});
    }
    items.push_back({11684, le32(0)});
    items.push_back({2052, le32(0)});
    return items;
  }
  Items expectedRecords(int first, int end) const {
    Items all;
    for (int i = first; i < end; ++i) {
      const Items record = expectedRecord(i);
      all.insert(all.end(), record.begin(), record.end());
    }
    return all;
  }

  // The listing on a connection of its own, with every frame that reached
  // the client decoded.
  std::vector<tkwire::Reply> list(long long& result) {
    const Connection on;
    FrameReader reader(on);
    std::unique_ptr<MessageInfo> request = get(kHost, kSeq);
    request->socket = on.socket();
    result = handler.onMsgGetSANVolumes(request.get());
    std::vector<tkwire::Reply> replies;
    for (const std::string& body : reader.finish()) {
      std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
      EXPECT_TRUE(reply.has_value());
      if (reply) replies.push_back(*reply);
    }
    return replies;
  }

  // The names of the replica database calls, in order.
  static std::vector<std::string> serviceCalls() {
    std::vector<std::string> names;
    for (const tkjournal::Call& call : testkit::replicadb::journal().calls()) names.push_back(call.name);
    return names;
  }

  std::vector<std::vector<std::pair<int32_t, std::string>>> m_extraMounts;  // by device name, beyond the first
  std::map<int32_t, std::pair<int32_t, ReplicationVolumeV5Record_t>> m_replicas;  // the first of each volume
  std::map<int32_t, std::pair<int32_t, int32_t>> m_scratch;  // the first of each volume: id, pool
};

TEST_F(PagedListing, AListingOverSeveralPagesIsTheSameToTheByteAsOneReadOfThemAll) {
  const std::vector<std::string> afterTheFirstPage = {"QuerySNRDevice", "GetSubclientVolumesList",
                                                      "GetQRApplianceList", "QuerySNRDevice"};
  const struct {
    const char* what;
    int deviceNames;
    int pages;  // the service's device queries
  } cases[] = {
      {"one device name past a full page", kPage + 1, 2},
      {"two full pages, then an empty one", 2 * kPage, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(testkit::replicadb::exec("DELETE FROM \"SNRVolumeMountPoint\"; DELETE FROM \"ReplicationVolume\"; "
                                       "DELETE FROM \"RVScratchVolume\"; DELETE FROM \"SNRVolumeDeviceNameEx\"; "
                                       "DELETE FROM \"SNRVolumeDeviceName\"; DELETE FROM \"SNRVolume\""),
              0);
    m_replicas.clear();
    m_scratch.clear();
    seed(c.deviceNames);
    testkit::replicadb::reset();

    long long result = -1;
    const std::vector<tkwire::Reply> replies = list(result);
    EXPECT_EQ(result, 1);
    ASSERT_FALSE(replies.empty());
    Items items;
    for (const tkwire::Reply& reply : replies) {
      EXPECT_EQ(reply.messageId, 11604u);
      EXPECT_EQ(reply.sequence, kSeq);
      const Items frame = itemsOf(reply);
      items.insert(items.end(), frame.begin(), frame.end());
    }
    const Items expected = expectedRecords(0, c.deviceNames);
    ASSERT_EQ(items.size(), expected.size());
    for (std::size_t at = 0; at < items.size(); ++at)
      ASSERT_EQ(items[at], expected[at]) << "item " << at << " (tag " << expected[at].first << ")";

    // The first page, the two lookups once, then page after page until a
    // short one.
    std::vector<std::string> calls = serviceCalls();
    std::vector<std::string> expectedCalls = afterTheFirstPage;
    expectedCalls.resize(3 + static_cast<std::size_t>(c.pages - 1), "QuerySNRDevice");
    EXPECT_EQ(calls, expectedCalls);
  }
}

TEST_F(PagedListing, ALaterPageThatCannotBeReadIsAnsweredAfterTheRecordsOfThePagesBefore) {
  seed(kPage + 10);
  testkit::replicadb::failCall("QuerySNRDevice", 2, -1, "the second page is gone");

  long long result = -1;
  const std::vector<tkwire::Reply> replies = list(result);
  EXPECT_EQ(result, 0);
  // The failure answer goes out at once; the records of the first page, in
  // the reply's one frame, when the reply ends.
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].sequence, kSeq);
  expectFailure(replies[0], tktest::catalogueText(0x39000092));
  EXPECT_EQ(replies[1].messageId, 11604u);
  EXPECT_EQ(replies[1].sequence, kSeq);
  EXPECT_TRUE(itemsOf(replies[1]) == expectedRecords(0, kPage)) << "the first page's records, and no others";
  EXPECT_EQ(testkit::replicadb::calls("QuerySNRDevice").size(), 2u) << "no page is asked after the failed one";
  EXPECT_TRUE(log.contains("the second page is gone"));
}

}  // namespace
}  // namespace volumestest
