// The SAN volume listings and discovery end to end: the real tkhost with
// the handler library, its database given a volume host and a volume as
// another server process would write them (or the demonstration host),
// reached over its socket.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "tests/support/FrameSession.h"
#include "tests/support/HostHarness.h"

namespace {

std::string frame(const std::string& handler, int64_t sequence, uint64_t firstField) {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.firstField = firstField;
  return tkwire::encodeStreamRequest(r);
}

class HostVolumes : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_dir.file("host.db").c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 30000);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error != nullptr ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_LOG_DIR", m_dir.file("log")}}};
};

TEST_F(HostVolumes, TheHostsAndAHostsVolumesAreListedOverTheSocket) {
  exec("INSERT INTO \"VEHost\" (\"hostId\", \"hostName\", \"item11718\") VALUES (7, 'sanhost', 1)");
  const int a = m_host.connect();
  ASSERT_GE(a, 0);
  auto replies = hosttest::sendAndRead(a, frame("onMsgGetSANVolumeHosts", 5, tkwire::firstFieldOf(2, 0)));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11601u);
  EXPECT_EQ(replies[0].sequence, 5);
  ASSERT_EQ(tktest::tagsOf(replies[0]), (std::vector<uint32_t>{11718, 11602, 2052}));
  EXPECT_EQ(replies[0].items[1].bytes, tktest::le32(7) + "sanhost");

  replies = hosttest::sendAndRead(a, frame("onMsgGetSANVolumes", 6, tkwire::firstFieldOf(2, 7)));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11604u);
  EXPECT_TRUE(replies[0].items.empty());
  ::close(a);
  EXPECT_EQ(m_host.stop(), 0);
}

// Texts of `length` characters in SQL, different for each i.
std::string longTextSql(const std::string& prefix, int length) {
  return "substr('" + prefix + "' || i || '-' || replace(hex(zeroblob(" + std::to_string(length) +
         ")), '0', 'n'), 1, " + std::to_string(length) + ")";
}

TEST_F(HostVolumes, AListingLongerThanAFrameArrivesWholeAndARecordNoFrameHoldsIsAFailureTheHostLogs) {
  // 1,500 volumes of about 24 KB each: 37 MB, more than two frames hold.
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < 1500) ";
  exec("BEGIN; " + n + "INSERT INTO \"SNRVolume\" (\"volumeId\", \"deviceId\", \"fsType\") SELECT 5000 + i, " +
       longTextSql("dev", 4103) + ", " + longTextSql("fs", 4103) + " FROM n; " + n +
       "INSERT INTO \"SNRVolumeDeviceName\" (\"deviceNameId\", \"hostId\", \"deviceName\") SELECT 6000 + i, 7, " +
       longTextSql("dn", 4091) + " FROM n; " + n +
       "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", \"osDeviceName\", \"accessPath\") "
       "SELECT 6000 + i, 5000 + i, " + longTextSql("os", 4099) + ", " + longTextSql("ap", 4103) + " FROM n; " + n +
       "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", \"mountPath\") SELECT 7000 + i, "
       "6000 + i, " + longTextSql("mp", 4091) + " FROM n; COMMIT");
  const int a = m_host.connect();
  ASSERT_GE(a, 0);
  auto replies = hosttest::sendAndRead(a, frame("onMsgGetSANVolumes", 6, tkwire::firstFieldOf(2, 7)));
  ASSERT_EQ(replies.size(), 3u);
  std::vector<uint32_t> volumes;
  for (const tkwire::Reply& reply : replies) {
    EXPECT_EQ(reply.messageId, 11604u);
    EXPECT_EQ(reply.sequence, 6);
    ASSERT_FALSE(reply.items.empty());
    EXPECT_EQ(reply.items.back().tag, 2052u) << "every frame ends on a whole record";
    for (const tkwire::Item& item : reply.items)
      if (item.tag == 11618) volumes.push_back(item.u32());
  }
  ASSERT_EQ(volumes.size(), 1500u);
  for (uint32_t i = 0; i < 1500; ++i) ASSERT_EQ(volumes[i], 5000 + i);

  // The first volume's mount points alone make 17 MB.
  exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < 4200) INSERT INTO "
       "\"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", \"mountPath\") SELECT 9000 + i, 6000, " +
       longTextSql("mp", 4091) + " FROM n");
  const std::string text =
      "Reply [11604] was not sent whole: one of its records is larger than a reply frame may be (16777216 bytes).";
  replies = hosttest::sendAndRead(a, frame("onMsgGetSANVolumes", 7, tkwire::firstFieldOf(2, 7)));
  tktest::expectStatus(replies, 7, 0, text);
  EXPECT_NE(m_host.log().find("ERROR " + text), std::string::npos) << m_host.log();
  ::close(a);

  // The console says so and ends with the failure status.
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_host.socket(), "san-volumes", "7"}, {},
                            m_dir.file("console.out"), m_dir.file("console.err")));
  EXPECT_EQ(console.exitCode(), 3);
  EXPECT_NE(hosttest::readFile(m_dir.file("console.out")).find(text), std::string::npos);
  EXPECT_EQ(m_host.stop(), 0);
}

TEST(HostDiscovery, TheDemonstrationHostsVolumesAreDiscoveredAndRecorded) {
  tktest::TempDir dir;
  hosttest::Host host{dir, dir.file("demo.sock"), {"--seed-demo"},
                      {{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  const int a = host.connect();
  ASSERT_GE(a, 0);
  tkwire::StreamRequest discover;
  discover.handler = "onMsgSetSANVolumeHost";
  discover.sequence = 5;
  tkwire::appendElement(discover.stream, 11602, tktest::le32(101) + "sanhost1");
  tkwire::appendU32(discover.stream, 4001, 47);
  tkwire::appendU32(discover.stream, 2052, 0);
  discover.firstField = tkwire::firstFieldOf(2, 3);
  auto replies = hosttest::sendAndRead(a, tkwire::encodeStreamRequest(discover));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11604u);
  EXPECT_EQ(tktest::tagsOf(replies[0]),
            (std::vector<uint32_t>{11614, 11619, 11796, 2052, 11614, 11619, 11796, 2052}));
  EXPECT_EQ(replies[0].items[6].bytes, "/data");
  ::close(a);
  EXPECT_EQ(host.stop(), 0);
}

}  // namespace
