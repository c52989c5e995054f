// A volume listing longer than one reply frame holds, read off the client's
// socket frame by frame: it goes out whole in several frames of whole
// records, or, when one record alone is larger than a frame, as a failure
// that names the limit; never cut short.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/reply/ReplyChannel.h"
#include "platform/reply/ReplyFrame.h"
#include "tests/sanvol_volumes/VolumesFixture.h"

namespace volumestest {
namespace {

constexpr int32_t kHost = 101;
constexpr int64_t kSeq = 0x0003000000000044LL;
constexpr int kFirstVolume = 500000;
constexpr int kFirstDeviceName = 600000;
constexpr int kFirstMountPoint = 700000;
// The longest text each item form carries whole.
constexpr int kHdr12Text = 4091;
constexpr int kIdText = 4099;
constexpr int kText = 4103;

// `length` characters that begin with the prefix and the number: the same
// text as longText() below makes in SQL.
std::string longText(const std::string& prefix, int i, int length) {
  std::string text = prefix + std::to_string(i) + "-" + std::string(static_cast<std::size_t>(length), 'n');
  text.resize(static_cast<std::size_t>(length));
  return text;
}
std::string longTextSql(const std::string& prefix, int length) {
  return "substr('" + prefix + "' || i || '-' || replace(hex(zeroblob(" + std::to_string(length) +
         ")), '0', 'n'), 1, " + std::to_string(length) + ")";
}

// What the host's problem log was told.
std::mutex g_problemsMutex;
std::vector<std::string> g_problems;
void keepProblem(const char* text) {
  std::lock_guard<std::mutex> guard(g_problemsMutex);
  g_problems.emplace_back(text);
}

class LongListing : public VolumesTest {
 protected:
  LongListing() {
    g_problems.clear();
    tkreply::setProblemLog(keepProblem);
    addClient(kHost, "sanhost");
  }
  ~LongListing() override { tkreply::setProblemLog(nullptr); }

  // `count` volumes of the host, each with its device name and one mount
  // point, every text as long as its item carries whole.
  void seedVolumes(int count) {
    const std::string n = numberedRows(count);
    seedInOneTransaction({
        n + kInsertWholeVolumes + "SELECT " + std::to_string(kFirstVolume) + " + i, " + longTextSql("dev", kText) +
            ", 3, i % 7, i * 4096, 2097152 + i, 512, 0, 0, " + longTextSql("fs", kText) +
            ", 0, 0, 0, 0, 0, 0, 1 FROM n",
        n + "INSERT INTO \"SNRVolumeDeviceName\" (\"deviceNameId\", \"hostId\", \"deviceName\") SELECT " +
            std::to_string(kFirstDeviceName) + " + i, " + std::to_string(kHost) + ", " +
            longTextSql("dn", kHdr12Text) + " FROM n",
        n + "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", \"caseSensitive\", "
            "\"osDeviceName\", \"deviceConfigured\", \"extraFlag\", \"accessPath\", \"filerClientId\") SELECT " +
            std::to_string(kFirstDeviceName) + " + i, " + std::to_string(kFirstVolume) + " + i, 0, " +
            longTextSql("os", kIdText) + ", 0, 0, " + longTextSql("ap", kText) + ", 0 FROM n",
        n + "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", \"mountPath\", "
            "\"caseSensitive\", \"extraFlag\") SELECT " + std::to_string(kFirstMountPoint) + " + i, " +
            std::to_string(kFirstDeviceName) + " + i, " + longTextSql("mp", kHdr12Text) + ", 0, 0 FROM n",
    });
  }

  // The items of the record of volume i as seedVolumes made it.
  static Items expectedRecord(int i) {
    Items items = {
        {11618, le32(static_cast<uint32_t>(kFirstVolume + i))},
        {11602, le32(kHost) + "sanhost"},
        {11633, hdr12(static_cast<uint32_t>(kFirstDeviceName + i), kHost, 0, longText("dn", i, kHdr12Text))},
        {11704, le32(0) + longText("os", i, kIdText)},
        {11703, le32(0)},
        {11723, le32(0)},
        {11773, longText("ap", i, kText)},
        {11606, le32(3)},
        {11615, longText("dev", i, kText)},
        {11675, longText("fs", i, kText)},
        {11607, le32(static_cast<uint32_t>(i % 7))},
        {11608, le64(static_cast<uint64_t>(i) * 4096)},
        {11614, le64(2097152 + static_cast<uint64_t>(i))},
        {11619, le32(512)},
    };
    const Items flags = plainVolumeFlags();
    items.insert(items.end(), flags.begin(), flags.end());
    const uint32_t mountPointId = static_cast<uint32_t>(kFirstMountPoint + i);
    items.push_back({11653, hdr12(mountPointId, kHost, 0, longText("mp", i, kHdr12Text))});
    items.push_back({11684, le32(0)});
    items.push_back({2052, le32(0)});
    return items;
  }

  static std::size_t wireBytes(const Items& items) {
    std::size_t bytes = 0;
    for (const Item& item : items) bytes += 8 + item.second.size();
    return bytes;
  }

  // The listing asked on `on` (each listing closes its connection's writing
  // side when it is read).
  std::vector<std::string> list(const Connection& on, long long& result) {
    FrameReader reader(on);
    std::unique_ptr<MessageInfo> request = tktest::StreamBuilder()
                                               .socket(static_cast<int>(on.socket().GetSocketDescriptor()))
                                               .user(kUser)
                                               .sequence(kSeq)
                                               .firstWord(kTarnfold)
                                               .count(kHost)
                                               .build();
    result = handler.onMsgGetSANVolumes(request.get());
    return reader.finish();
  }
};

// Header of an item frame's body: kind, message id, sequence, item count.
constexpr std::size_t kFrameHeader = 20;

TEST_F(LongListing, AListingLongerThanOneFrameGoesOutWholeInFramesOfWholeRecords) {
  constexpr int kVolumes = 1500;
  seedVolumes(kVolumes);

  long long result = -1;
  const std::vector<std::string> bodies = list(client, result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(bodies.size(), 3u) << "about 680 records of 24 KB fill a frame";

  int next = 0;  // the volume whose record comes next
  for (std::size_t f = 0; f < bodies.size(); ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    EXPECT_LE(bodies[f].size(), tkwire::kMaxFrameBytes);
    const std::optional<tkwire::Reply> reply = tkwire::decodeReply(bodies[f]);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->kind, tkwire::kReplyItems);
    EXPECT_EQ(reply->messageId, 11604u);
    EXPECT_EQ(reply->sequence, kSeq);
    // The frame holds whole records, in order, exactly as listed.
    Items expected;
    const int first = next;
    while (expected.size() < reply->items.size() && next < kVolumes) {
      const Items record = expectedRecord(next++);
      expected.insert(expected.end(), record.begin(), record.end());
    }
    ASSERT_EQ(reply->items.size(), expected.size());
    ASSERT_TRUE(itemsOf(*reply) == expected) << "records " << first << " to " << next - 1 << " differ";
    EXPECT_EQ(bodies[f].size(), kFrameHeader + wireBytes(expected));
    // A frame is written only when the next record would not fit it.
    if (f + 1 < bodies.size()) {
      EXPECT_GT(bodies[f].size() + wireBytes(expectedRecord(next)), tkwire::kMaxFrameBytes);
    }
  }
  EXPECT_EQ(next, kVolumes) << "every volume is listed once";
  // What the listing held at once stayed within one frame.
  EXPECT_LE(handler.largestHeld(), tkwire::kMaxFrameBytes - kFrameHeader);
  EXPECT_TRUE(g_problems.empty());
}

TEST_F(LongListing, AFrameThatCouldNotBeWrittenIsFollowedByNoOtherFrameOfTheListing) {
  seedVolumes(1500);
  testkit::reply::failNextWrites(1);  // the first frame, as for a peer that has gone away
  long long result = -1;
  const std::vector<std::string> bodies = list(client, result);
  EXPECT_TRUE(bodies.empty()) << "a later frame alone would be a listing cut short at its start";
  EXPECT_LE(handler.largestHeld(), tkwire::kMaxFrameBytes - kFrameHeader);

  // The next listing of the object goes out whole.
  const Connection another;
  const std::vector<std::string> again = list(another, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(again.size(), 3u);
}

TEST_F(LongListing, ARecordLargerThanAFrameIsAFailureThatNamesTheLimitAfterTheRecordsBeforeIt) {
  seedVolumes(2);
  // The second device name gets mount points enough for 17 MB.
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < 4200) ";
  ASSERT_EQ(testkit::replicadb::exec(n + "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", "
                                         "\"mountPath\", \"caseSensitive\", \"extraFlag\") SELECT " +
                                     std::to_string(kFirstMountPoint + 10) + " + i, " +
                                     std::to_string(kFirstDeviceName + 1) + ", " + longTextSql("mp", kHdr12Text) +
                                     ", 0, 0 FROM n"),
            0);

  long long result = -1;
  const std::vector<std::string> bodies = list(client, result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(bodies.size(), 2u);
  const std::optional<tkwire::Reply> records = tkwire::decodeReply(bodies[0]);
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ(records->messageId, 11604u);
  EXPECT_TRUE(itemsOf(*records) == expectedRecord(0)) << "the record before the large one went out whole";
  const std::optional<tkwire::Reply> failure = tkwire::decodeReply(bodies[1]);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->sequence, kSeq);
  const std::string text =
      "Reply [11604] was not sent whole: one of its records is larger than a reply frame may be (16777216 bytes).";
  expectFailure(*failure, text);
  ASSERT_EQ(g_problems.size(), 1u);
  EXPECT_EQ(g_problems[0].rfind(text, 0), 0u) << g_problems[0];
  EXPECT_NE(g_problems[0].find("1 frames of it sent before"), std::string::npos) << g_problems[0];
  EXPECT_LE(handler.largestHeld(), tkwire::kMaxFrameBytes - kFrameHeader);

  // The next listing on the same handler object goes out as usual.
  ASSERT_EQ(testkit::replicadb::exec("DELETE FROM \"SNRVolumeMountPoint\" WHERE \"mountPointId\" > " +
                                     std::to_string(kFirstMountPoint + 10)),
            0);
  const Connection another;
  const std::vector<std::string> again = list(another, result);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(again.size(), 1u);
  const std::optional<tkwire::Reply> whole = tkwire::decodeReply(again[0]);
  ASSERT_TRUE(whole.has_value());
  Items both = expectedRecord(0);
  const Items second = expectedRecord(1);
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_TRUE(itemsOf(*whole) == both);
}

}  // namespace
}  // namespace volumestest
