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

// The seeded host's volumes are on its agent, not stored: the volume
// listing is empty until a discovery stores them, as the seed summary says.
TEST_F(ConsoleFixture, TheSeededHostsVolumesAreListedOnceDiscoveredAsTheSeedSays) {
  EXPECT_NE(m_host.log().find("listed by san-volumes 101 once san-discover 101 sanhost1 has stored them"),
            std::string::npos)
      << m_host.log();
  ConsoleRun run = console({"san-volumes", "101"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("scsi-3600a0b800012"), std::string::npos) << run.out;
  ASSERT_EQ(console({"san-discover", "101", "sanhost1"}).status, 0);
  run = console({"san-volumes", "101"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"/dev/sdb\""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"E:\""), std::string::npos) << run.out;
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
