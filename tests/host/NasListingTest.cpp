// Consoles that list the NAS clients at once are each answered in full, and
// the host goes on: the listings decode the NAS-client service's replies on
// the connections' threads at the same time (a host built with
// ThreadSanitizer ends on a race between them).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/HostHarness.h"

namespace {

TEST(HostNasListing, ConsolesListingTheNasClientsAtOnceAreEachAnsweredInFull) {
  tktest::TempDir dir;
  const std::string socket = dir.file("nas.sock");
  hosttest::Host host(dir, socket, {"--seed-demo"});
  ASSERT_TRUE(host.up()) << host.log();
  constexpr int kConsoles = 4;
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::unique_ptr<hosttest::Child>> consoles;
    for (int c = 0; c < kConsoles; ++c) {
      consoles.push_back(std::make_unique<hosttest::Child>());
      const std::string name = "console" + std::to_string(c);
      ASSERT_TRUE(consoles.back()->start(hosttest::consoleBinary(), {"--socket", socket, "nas-clients"}, {},
                                         dir.file(name + ".out"), dir.file(name + ".err")));
    }
    for (int c = 0; c < kConsoles; ++c) {
      const std::string name = "console" + std::to_string(c);
      EXPECT_EQ(consoles[c]->exitCode(), 0) << hosttest::readFile(dir.file(name + ".err")) << host.log();
      // The demonstration's NAS client, served by its media agent.
      EXPECT_NE(hosttest::readFile(dir.file(name + ".out")).find("\"nasma1\""), std::string::npos)
          << hosttest::readFile(dir.file(name + ".out"));
    }
    ASSERT_TRUE(host.child().running()) << host.log();
  }
  EXPECT_EQ(host.stop(), 0) << host.log();
}

}  // namespace
