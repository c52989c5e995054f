// Consoles that list the NAS clients at once are each answered in full, and
// the host goes on: the listings decode the NAS-client service's replies on
// the connections' threads at the same time (a host built with
// ThreadSanitizer ends on a race between them). A listing of many NDMP
// servers holds what it answers, not every row of the NDMP host table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"

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

// The NDMP host list hands over an entry of 4 KB a row; a listing that held
// them all at once grew by 84 MB at 20,000 servers. What it must hold is
// the names it sorts and its answer: a few MB.
TEST(HostNasListing, AListingOfManyNdmpServersHoldsItsNamesAndNotEveryRowOfTheHostTable) {
  if (!hosttest::PeakResident::tellsWhatCodeHolds()) GTEST_SKIP() << "memory under the thread sanitizer";
  constexpr int kServers = 20000;
  constexpr long kBoundKb = 16 * 1024;
  tktest::TestDatabase db;
  tktest::TempDir dir;
  std::map<std::string, std::string> env = hosttest::measuredMemoryEnv();
  env.emplace("TK_DB", db.path());
  env.emplace("TK_LOCK_DIR", dir.file("locks"));
  hosttest::Host host{dir, dir.file("ndmp.sock"), {}, env};
  ASSERT_TRUE(host.up()) << host.log();
  const int fd = host.connect();
  ASSERT_GE(fd, 0);
  int64_t sequence = 0;
  // The names of one listing of every kind of server, each followed by its
  // end of record.
  const auto listNames = [&] {
    tkwire::StreamRequest request;
    request.handler = "onMsgGetMMNDMPServers";
    request.sequence = ++sequence;
    request.firstField = tkwire::firstFieldOf(2, 1);
    std::vector<std::string> names;
    for (const tkwire::Reply& reply : hosttest::sendAndRead(fd, tkwire::encodeStreamRequest(request))) {
      EXPECT_EQ(reply.messageId, 11059u);
      EXPECT_EQ(reply.sequence, sequence);
      for (std::size_t i = 0; i < reply.items.size(); i += 2) {
        EXPECT_EQ(reply.items[i].tag, 11058u);
        names.push_back(reply.items[i].bytes);
        EXPECT_TRUE(i + 1 < reply.items.size() && reply.items[i + 1].tag == 2052u &&
                    reply.items[i + 1].bytes == tktest::le32(0));
      }
    }
    return names;
  };
  // The first request has the host make the schema; then the servers come
  // as an administrator's script adds them: a NAS client each with its row.
  EXPECT_TRUE(listNames().empty());
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                        std::to_string(kServers) + ") ";
  db.execElsewhere("BEGIN; " + n +
                   "INSERT INTO APP_Client (id, name, net_hostname) SELECT 10000 + i, 'ndmp' || i, "
                   "'ndmp' || i || '.example.net' FROM n; " + n +
                   "INSERT INTO MMNDMPHostInfo (ndmpHostId, clientId, osType, login, listenPort, "
                   "firmwareRevision, hostSettingA, hostSettingB) SELECT i, 10000 + i, 6, 'root', 10000, '9.1', 2, "
                   "1 FROM n; COMMIT");
  std::vector<std::string> expected;
  for (int i = 1; i <= kServers; ++i) expected.push_back("ndmp" + std::to_string(i));
  std::sort(expected.begin(), expected.end());
  // A first listing warms the host up: what a listing leaves to be reused
  // is not what it holds.
  EXPECT_EQ(listNames().size(), static_cast<std::size_t>(kServers));

  hosttest::PeakResident peak(host.child().pid());
  const std::vector<std::string> names = listNames();
  const long grown = peak.grownKb();
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kServers));
  EXPECT_TRUE(names == expected) << "the names are not every server's in byte order";
  ASSERT_GE(grown, 0);
  EXPECT_LT(grown, kBoundKb) << "the listing of " << kServers << " NDMP servers grew the host by " << grown << " KB";
  RecordProperty("grown_kb", std::to_string(grown));
  ::close(fd);
  EXPECT_EQ(host.stop(), 0) << host.log();
}

}  // namespace
