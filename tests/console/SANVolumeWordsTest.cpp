// The SAN volume words of the console against the real host seeded with the
// demonstration SAN volume host (client 101, sanhost1).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/console/ConsoleFixture.h"

namespace consoletest {
namespace {

// `count` volumes of SAN host `host` in the database at `path`, each with
// its device name and a mount point.
void addVolumes(const std::string& path, uint32_t host, int count) {
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
                        std::to_string(count) + ") ";
  const std::string sql =
      "BEGIN;" + n +
      "INSERT INTO \"SNRVolume\" (\"volumeId\", \"deviceId\", \"deviceIdType\", \"lun\", \"blockCount\", "
      "\"blockSize\", \"fsType\") SELECT 1000000 + i, 'paced-volume-' || i, 3, 0, 2097152, 512, 'ext4' FROM n;" +
      n + "INSERT INTO \"SNRVolumeDeviceName\" (\"deviceNameId\", \"hostId\", \"deviceName\") SELECT 1000000 + i, " +
      std::to_string(host) + ", '/dev/paced' || i FROM n;" + n +
      "INSERT INTO \"SNRVolumeDeviceNameEx\" (\"deviceNameId\", \"volumeId\", \"caseSensitive\") SELECT "
      "1000000 + i, 1000000 + i, 1 FROM n;" +
      n + "INSERT INTO \"SNRVolumeMountPoint\" (\"mountPointId\", \"deviceNameId\", \"mountPath\", "
          "\"caseSensitive\") SELECT 1000000 + i, 1000000 + i, '/paced/v' || i, 1 FROM n; COMMIT;";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 30000);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

TEST_F(ConsoleFixture, SanWordsListHostsAndDiscoverAHostsVolumes) {
  ConsoleRun run = console({"san-hosts"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("101 \"sanhost1\""), std::string::npos) << run.out;

  run = console({"san-discover", "101", "sanhost1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("reply 11604"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"scsi-3600a0b800012\""), std::string::npos) << run.out;

  run = console({"san-discover", "101", "sanhost1", "mount-paths"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"/data\""), std::string::npos) << run.out;

  run = console({"san-volumes", "101"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("reply 11604"), std::string::npos) << run.out;
}

// The seeded host's volumes are on its agent, not recorded: the volume
// listing is empty until the console records one, as the seed summary says.
TEST_F(ConsoleFixture, TheSeededHostsVolumesAreListedOnceRecordedAsTheSeedSays) {
  EXPECT_NE(m_host.log().find("which san-discover 101 sanhost1 shows and san-volumes 101 lists once they are "
                              "recorded (onMsgSetSANVolume operation 48)"),
            std::string::npos)
      << m_host.log();
  ConsoleRun run = console({"san-volumes", "101"});
  EXPECT_EQ(run.status, 0) << run.err;
  // Device names are shown as their words: the id (signed), the client, the
  // flags and the name.
  constexpr const char* kSdb = ", client 101, flags 1: \"/dev/sdb\"\n";
  EXPECT_EQ(run.out.find(kSdb), std::string::npos) << run.out;
  run = console({"san-discover", "101", "sanhost1"});
  EXPECT_NE(run.out.find(kSdb), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("tag 11633 (device name) len 14: id -1, client 101, flags 0: \"E:\"\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("tag 11653 (mount point) len 15: id -1, client 101, flags 0: \"E:\\\\\"\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("ffffffff65"), std::string::npos) << run.out;
  run = console({"onMsgSetSANVolume", "11602=idtext:101:sanhost1", "11615=scsi-3600a0b800012", "11606=3",
                 "11608=u64:0", "11619=512", "11633=hdr12:0,101,1:/dev/sdb", "11607=0", "11614=u64:4194304",
                 "11613=0", "11742=0", "11675=ext4", "11653=hdr12:0,101,1:/data", "4106=2", "4001=48", "2052=0"});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  run = console({"san-volumes", "101"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(kSdb), std::string::npos) << run.out;
  // The rest of the summary is there too, not cut.
  EXPECT_NE(m_host.log().find("NDMP filer filer2 (login root, password demo)"), std::string::npos) << m_host.log();
}

TEST_F(ConsoleFixture, SanWordsRefuseWrongArgumentsAndAnUnknownHostIsAFailure) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"san-hosts", "1"}, {"san-volumes"}, {"san-discover", "x", "sanhost1"},
        {"san-discover", "101", "sanhost1", "all"}}) {
    SCOPED_TRACE(words[0]);
    EXPECT_EQ(console(words).status, 64);
  }
  // The host's client agent is not there: volume detection fails.
  EXPECT_EQ(console({"san-discover", "101", "otherhost"}).status, 3);
}

// A listing of more than one frame reaches an output that is read only
// once the host is done with the request (a pipe nobody reads meanwhile,
// as behind `| less`): the console takes the answer off the connection as
// it comes, so the host never waits on a full socket until its send
// time-out gives up on the console.
TEST_F(ConsoleFixture, AListingOfSeveralFramesComesWholeToAnOutputReadOnlyOnceTheHostIsDone) {
  // More volumes than one frame holds (about 320 bytes each).
  constexpr int kVolumes = 60000;
  hosttest::Host host(m_dir, m_dir.file("paced.sock"), {"--seed-demo", "--verbose"},
                      {{"TK_LOCK_DIR", m_dir.file("paced-locks")}}, "paced");
  ASSERT_TRUE(host.up()) << host.log();
  addVolumes(m_dir.file("paced.db"), 101, kVolumes);

  // The pipe is opened for reading first, so that the console's open of it
  // does not wait; nothing is read from it for now.
  const std::string pipe = m_dir.file("paced-console.out");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  hosttest::Child console;
  // A loaded machine may take the host seconds to list the first frame.
  ASSERT_TRUE(console.start(hosttest::consoleBinary(),
                            {"--socket", host.socket(), "--timeout", "120000", "--wait", "120000", "san-volumes", "101"},
                            {}, pipe,
                            m_dir.file("paced-console.err")));
  const int64_t deadline = hosttest::nowMs() + 300000;
  while (host.log().find("onMsgGetSANVolumes returned") == std::string::npos && hosttest::nowMs() < deadline)
    hosttest::pauseMs(50);
  ASSERT_NE(host.log().find("onMsgGetSANVolumes returned 1"), std::string::npos) << host.log();

  ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);
  std::string out;
  char buffer[1 << 16];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0);
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(reader);
  EXPECT_EQ(console.exitCode(), 0) << hosttest::readFile(m_dir.file("paced-console.err"));
  std::size_t records = 0;
  std::size_t frames = 0;
  for (std::size_t at = 0; (at = out.find(" (end of record) ", at)) != std::string::npos; ++at) ++records;
  for (std::size_t at = 0; (at = out.find("reply 11604 seq 1\n", at)) != std::string::npos; ++at) ++frames;
  EXPECT_EQ(records, static_cast<std::size_t>(kVolumes));
  EXPECT_GE(frames, 2u) << "the listing fits one frame: it shows nothing of the pace";
  EXPECT_EQ(out.find("(connection closed by the host)"), std::string::npos);
}

}  // namespace
}  // namespace consoletest
