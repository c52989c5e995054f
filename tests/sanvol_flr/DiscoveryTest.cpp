// Discovery of the applications that support file-level recovery, through
// the discovery tool on the client, and the credentials of FLR sets.
#include <gtest/gtest.h>

#include "sanvol/flr/FlrShared.h"
#include "tests/sanvol_flr/FlrFixture.h"

namespace flrtest {
namespace {

using Discovery = FlrTest;
using testkit::network::flrReply;

constexpr const char* kTool = "FLRSnapTool.exe";

void scriptDiscovery(const std::vector<testkit::network::ToolReply>& replies, int cutAfter = -1) {
  testkit::network::addHost(kClientHost);
  testkit::network::ToolScript tool;
  tool.replies = replies;
  tool.cutAfter = cutAfter;
  testkit::network::scriptTool(kClientHost, kTool, tool);
}

TEST_F(Discovery, EachApplicationIsListedWithItsPathsUntilAMessageWithoutAName) {
  testkit::client::setPlatformInfo({1, "tarnkeep-cs", "", "machine"});
  scriptDiscovery({flrReply("SQL", {"C:\\db", "D:\\log"}), flrReply("Files", {"E:\\"}), flrReply(nullptr, {}),
                   flrReply("Never", {"F:"})});
  EXPECT_EQ(handler.onMsgFLRDiscoverApps(words(kClient).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11801u);
  EXPECT_EQ(got[0].sequence, kSequence);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11802, 11803, 11803, 2052, 11802, 11803, 2052}));
  EXPECT_EQ(got[0].items[0].bytes, "SQL");
  EXPECT_EQ(got[0].items[1].bytes, "C:\\db");
  EXPECT_EQ(got[0].items[2].bytes, "D:\\log");
  EXPECT_EQ(got[0].items[3].bytes, le32(0));
  EXPECT_EQ(got[0].items[4].bytes, "Files");
  EXPECT_EQ(got[0].items[5].bytes, "E:\\");
  const auto attaches = testkit::network::journal().calls("Attach_RemoteCommand");
  ASSERT_EQ(attaches.size(), 1u);
  EXPECT_EQ(attaches[0].args, (std::vector<std::string>{kClientHost, kTool, "-o discover", "tarnkeep-cs", "120"}));
  EXPECT_EQ(testkit::network::journal().calls("ReplyDisconnect").size(), 1u);
}

TEST_F(Discovery, AnApplicationWithoutPathsEndsTheDiscoveryAsDone) {
  testkit::client::setPlatformInfo({0, "tarnkeep-cs", "", "the-physical-machine"});
  scriptDiscovery({flrReply("SQL", {}), flrReply("Files", {"E:\\"})});
  EXPECT_EQ(handler.onMsgFLRDiscoverApps(words(kClient).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].items.empty());
  EXPECT_TRUE(log.contains("Application [SQL] did not return any paths. Terminating."));
  const auto attaches = testkit::network::journal().calls("Attach_RemoteCommand");
  ASSERT_EQ(attaches.size(), 1u);
  EXPECT_EQ(attaches[0].args[3], "the-physical-machine") << "not the central server: the machine's name";
}

TEST_F(Discovery, AReceiveFailureKeepsTheApplicationsListedBeforeIt) {
  scriptDiscovery({flrReply("SQL", {"C:\\db"}), flrReply("Files", {"E:\\"})}, 1);
  EXPECT_EQ(handler.onMsgFLRDiscoverApps(words(kClient).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11802, 11803, 2052}));
  EXPECT_TRUE(log.contains("Could not receive from discover FLR applications.  Terminating. Error:["));
}

TEST_F(Discovery, AFailedAttachIsAnsweredInsideTheOpenReplyWhichThenEndsEmpty) {
  EXPECT_EQ(handler.onMsgFLRDiscoverApps(words(kClient).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectFailure(got[0], catalogueText(0x390000ad, kClientHost));
  EXPECT_EQ(got[1].messageId, 11801u);
  EXPECT_TRUE(got[1].items.empty());
  EXPECT_TRUE(log.contains(std::string("CZqNetwork::attach() to [") + kClientHost + "] returned error ["));
  EXPECT_TRUE(testkit::network::journal().calls("ReplyDisconnect").empty());
}

TEST_F(Discovery, ANullRequestIsRefusedWithoutAReply) {
  EXPECT_EQ(handler.onMsgFLRDiscoverApps(nullptr), 0);
  EXPECT_TRUE(replies().empty());
}

// ---------------------------------------------------------------- credentials

using Impersonation = FlrTest;

TEST_F(Impersonation, SetZeroReturnsZeroAndLeavesTheTextsAlone) {
  std::string user = "keep", password = "this";
  EXPECT_EQ(tksanvol::flr::GetImpersonation(0, user, password), 0);
  EXPECT_EQ(user, "keep");
  EXPECT_EQ(password, "this");
}

TEST_F(Impersonation, TheDefaultSetOfTheDestinationClientLendsItsCredentialsWhenItHasAUserName) {
  const unsigned long destination = 9;
  addClient(destination, "dest", "dest.example.com");
  seedSet(destination, false, 0, "other", "x");
  const unsigned long long def = seedSet(destination, true, 0, "svc-user", "s3cret");
  const unsigned long long given = seedSet(kClient, false, static_cast<int>(destination), "own-user", "own-pw");
  std::string user, password;
  EXPECT_EQ(tksanvol::flr::GetImpersonation(given, user, password), 1);
  EXPECT_EQ(user, "svc-user");
  EXPECT_EQ(password, "s3cret");
  EXPECT_TRUE(log.contains("Getting impersonation from repset:[" + std::to_string(def) + "] instead of current repset:[" +
                           std::to_string(given) + "]."));
  EXPECT_FALSE(log.contains("s3cret"));
}

TEST_F(Impersonation, AnEmptyUserNameOfTheDefaultSetFallsBackToTheSetsOwn) {
  const unsigned long destination = 9;
  addClient(destination, "dest", "dest.example.com");
  seedSet(destination, true, 0, "", "");
  const unsigned long long given = seedSet(kClient, false, static_cast<int>(destination), "own-user", "own-pw");
  std::string user, password;
  EXPECT_EQ(tksanvol::flr::GetImpersonation(given, user, password), 1);
  EXPECT_EQ(user, "own-user");
  EXPECT_EQ(password, "own-pw");
  EXPECT_TRUE(log.contains("GetImpersonation: Using impersonation from repset:[" + std::to_string(given) + "]."));
  EXPECT_FALSE(log.contains("own-pw"));
}

TEST_F(Impersonation, ASetThatIsItselfTheDefaultUsesItsOwnCredentials) {
  const unsigned long long given = seedSet(kClient, true, kClient, "me", "pw");
  std::string user, password;
  EXPECT_EQ(tksanvol::flr::GetImpersonation(given, user, password), 1);
  EXPECT_EQ(user, "me");
  EXPECT_EQ(password, "pw");
  EXPECT_FALSE(log.contains("instead of current repset"));
}

}  // namespace
}  // namespace flrtest
