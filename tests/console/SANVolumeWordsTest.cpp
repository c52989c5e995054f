// The SAN volume words of the console against the real host seeded with the
// demonstration SAN volume host (client 101, sanhost1).
#include <gtest/gtest.h>

#include "tests/console/ConsoleFixture.h"

namespace consoletest {
namespace {

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

}  // namespace
}  // namespace consoletest
