// The NAS-client configuration interface against the in-process services
// over loopback: lists, the two-stage configuration, remove and restore,
// attach retries on the fake clock, connection reuse, errors passed through
// and made from the catalogue, and transport failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nas/clients/NasClientConfigInterface.h"
#include "platform/nasclient/NasClientMessages.h"
#include "platform/testkit/client.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/nasclient.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/TestDatabase.h"

namespace {

namespace nk = testkit::nasclient;

class NasInterface : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::client::reset();
    testkit::client::PlatformSettings settings;
    settings.platformType = 1;
    settings.tarnkeeperClientName = "csclient";
    settings.tarnkeeperHostName = "cs1";
    settings.physicalMachine = "phys";
    testkit::client::setPlatformInfo(settings);
    nk::reset("cs1");
    nk::addMediaAgentHost("ma1");
    nk::addMediaAgentHost("ma2");
    nk::setMediaAgents({{"ma1", "ma1.lab", 2}, {"ma2", "ma2.lab", 3}});
    nk::setStoragePolicies({{"sp1", 5, 1}, {"sp2", 6, 2}});
    nk::setNasClients({{"filer1", "ma1", false}, {"filer2", "ma2", true}});
    nas.SetLocalPlatformType(ZqsPlatType_e(1));
  }
  void TearDown() override { testkit::client::reset(); }

  std::vector<std::string> sentTypes() {
    std::vector<std::string> types;
    for (const auto& call : nk::journal().calls("SendXDRMessage")) types.push_back(call.args[0]);
    return types;
  }
  std::vector<std::string> attachedHosts() {
    std::vector<std::string> hosts;
    for (const auto& call : nk::journal().calls("Attach_RemoteDLL")) hosts.push_back(call.args[0]);
    return hosts;
  }

  tktest::TestDatabase db;
  NasClientConfigInterface nas;
};

// ---- construction and lists ------------------------------------------------

TEST_F(NasInterface, ANewObjectHasNoErrorAndNoText) {
  EXPECT_EQ(nas.GetErrorCode(), 0u);
  EXPECT_EQ(nas.GetErrorText(), nullptr);
}

TEST_F(NasInterface, TheThreeListsComeBackAsItems) {
  NasMediaAgentItem* agents = nullptr;
  int count = 0;
  ASSERT_TRUE(nas.GetNasMediaAgentList(agents, count)) << nas.GetErrorText();
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(agents[1].GetName(), "ma2");
  EXPECT_STREQ(agents[1].GetHostname(), "ma2.lab");
  EXPECT_EQ(agents[1].GetId(), 3);

  StoragePolicyItem* policies = nullptr;
  ASSERT_TRUE(nas.GetStoragePolicyList(policies, count));
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(policies[0].GetName(), "sp1");
  EXPECT_EQ(policies[0].GetId(), 5);
  EXPECT_EQ(policies[1].GetType(), 2);

  NasClientItem* clients = nullptr;
  ASSERT_TRUE(nas.GetNasClientList(clients, count));
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(clients[0].GetName(), "filer1");
  EXPECT_STREQ(clients[0].GetProxyMediaAgent(), "ma1");
  EXPECT_EQ(clients[0].GetId(), 0);
  EXPECT_FALSE(clients[0].IsDeleted());
  EXPECT_TRUE(clients[1].IsDeleted());
  // One attach served all three, and every reply body was released.
  EXPECT_EQ(attachedHosts(), (std::vector<std::string>{"cs1"}));
  EXPECT_EQ(nk::journal().calls("FreeReceivedMessage").size(), 3u);
  const auto attach = nk::journal().calls("Attach_RemoteDLL");
  EXPECT_EQ(attach[0].args, (std::vector<std::string>{"cs1", "sLNNCWTK", "csclient", "-1"}));
}

TEST_F(NasInterface, AnEmptyTableIsAnEmptyListAndASecondFetchReplacesTheFirst) {
  NasClientItem* first = nullptr;
  int count = 0;
  ASSERT_TRUE(nas.GetNasClientList(first, count));
  ASSERT_EQ(count, 2);
  nk::setNasClients({{"only", "ma1", false}});
  NasClientItem* second = nullptr;
  ASSERT_TRUE(nas.GetNasClientList(second, count));
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(second[0].GetName(), "only");
  nk::setNasClients({});
  ASSERT_TRUE(nas.GetNasClientList(second, count));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(second, nullptr);
}

TEST_F(NasInterface, AListReplyWithAnErrorGivesItsCodeAndTextAndNoList) {
  nk::answerError(tknas::kStoragePolicyList, 0x29000099, "policies are locked");
  StoragePolicyItem* policies = reinterpret_cast<StoragePolicyItem*>(1);
  int count = 7;
  EXPECT_FALSE(nas.GetStoragePolicyList(policies, count));
  EXPECT_EQ(policies, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(nas.GetErrorCode(), 0x29000099u);
  EXPECT_STREQ(nas.GetErrorText(), "policies are locked");
  EXPECT_EQ(nk::journal().calls("FreeReceivedMessage").size(), 1u);
}

TEST_F(NasInterface, DeletingAListEmptiesIt) {
  NasMediaAgentItem* agents = nullptr;
  int count = 0;
  ASSERT_TRUE(nas.GetNasMediaAgentList(agents, count));
  nas.DeleteNasMediaAgentList();
  nas.DeleteNasMediaAgentList();
  nas.DeleteStoragePolicyList();
  nas.DeleteNasClientList();
}

// ---- configuration ---------------------------------------------------------

TEST_F(NasInterface, ConfiguringAddsTheClientAtTheTarnkeepThenAtItsMediaAgent) {
  int out = 5;
  ASSERT_TRUE(nas.ConfigureNasClient("ma1", "filer3", nullptr, 1, 2, 3, out)) << nas.GetErrorText();
  EXPECT_EQ(out, 0);
  EXPECT_EQ(sentTypes(), (std::vector<std::string>{"0x29000702", "0x29000902"}));
  EXPECT_EQ(attachedHosts(), (std::vector<std::string>{"cs1", "ma1"}));
  const auto rows = nk::nasClients();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].name, "filer3");
  EXPECT_EQ(rows[2].proxyMediaAgent, "ma1");
  const auto configured = nk::configurations();
  ASSERT_EQ(configured.size(), 1u);
  EXPECT_EQ(configured[0].host, "ma1");
  EXPECT_FALSE(configured[0].hasText3);
  EXPECT_EQ(configured[0].number3, 3);
  const auto frees = nk::journal().calls("FreeReceivedMessage");
  ASSERT_EQ(frees.size(), 2u);
  EXPECT_EQ(frees[0].args[0], "0x29000800");
  EXPECT_EQ(frees[1].args[0], "0x29000A00");
}

TEST_F(NasInterface, InvalidConfigureArgumentsFailBeforeAnyAttach) {
  struct Case {
    const char* what;
    const char* text1;
    const char* text2;
    int number2, number3;
  };
  const Case cases[] = {{"no media agent", nullptr, "f", 0, 0},
                        {"no second text", "ma1", nullptr, 0, 0},
                        {"negative number2", "ma1", "f", -1, 0},
                        {"negative number3", "ma1", "f", 0, -1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    int out = 9;
    EXPECT_FALSE(nas.ConfigureNasClient(k.text1, k.text2, nullptr, 0, k.number2, k.number3, out));
    EXPECT_EQ(out, 9);
    EXPECT_EQ(nas.GetErrorCode(), tknas::kErrInvalidArguments);
    EXPECT_STREQ(nas.GetErrorText(), "The NAS client request has invalid arguments.");
  }
  EXPECT_TRUE(attachedHosts().empty());
}

TEST_F(NasInterface, AFailingTarnkeepStageSendsNothingToTheMediaAgentButReleasesBothReplies) {
  nk::answerError(tknas::kConfigureAtTarnkeepReply, 0x29000050, "client exists");
  int out = 0;
  EXPECT_FALSE(nas.ConfigureNasClient("ma1", "filer1", "x", 0, 0, 0, out));
  EXPECT_EQ(nas.GetErrorCode(), 0x29000050u);
  EXPECT_STREQ(nas.GetErrorText(), "client exists");
  EXPECT_EQ(sentTypes(), (std::vector<std::string>{"0x29000702"}));
  EXPECT_TRUE(nk::configurations().empty());
  EXPECT_EQ(nk::journal().calls("FreeReceivedMessage").size(), 2u);
}

TEST_F(NasInterface, AMediaAgentErrorIsPassedThrough) {
  nk::answerError(tknas::kConfigureAtMediaAgentReply, 0x29000051, nullptr);
  int out = 0;
  EXPECT_FALSE(nas.ConfigureNasClient("ma1", "filer3", nullptr, 0, 0, 0, out));
  EXPECT_EQ(nas.GetErrorCode(), 0x29000051u);
  EXPECT_EQ(nas.GetErrorText(), nullptr);  // no text was ever made
}

TEST_F(NasInterface, TheMediaAgentConnectionIsReusedForTheSamePeerAndClosedForAnother) {
  int out = 0;
  ASSERT_TRUE(nas.ConfigureNasClient("ma1", "f1", nullptr, 0, 0, 0, out));
  ASSERT_TRUE(nas.ConfigureNasClient("ma1", "f2", nullptr, 0, 0, 0, out));
  EXPECT_EQ(attachedHosts(), (std::vector<std::string>{"cs1", "ma1"}));
  EXPECT_TRUE(nk::journal().calls("Disconnect").empty());
  ASSERT_TRUE(nas.ConfigureNasClient("ma2", "f3", nullptr, 0, 0, 0, out));
  EXPECT_EQ(attachedHosts(), (std::vector<std::string>{"cs1", "ma1", "ma2"}));
  const auto disconnects = nk::journal().calls("Disconnect");
  ASSERT_EQ(disconnects.size(), 1u);
  EXPECT_EQ(disconnects[0].args[0], "120");
  EXPECT_EQ(nk::configurations().back().host, "ma2");
}

// ---- remove and restore ------------------------------------------------------

TEST_F(NasInterface, RemoveAndRestoreSetAndClearTheDeletedMark) {
  ASSERT_TRUE(nas.RemoveNasClient(4, "filer1", "ma1")) << nas.GetErrorText();
  EXPECT_TRUE(nk::nasClients()[0].deleted);
  ASSERT_TRUE(nas.UndeleteNasClient(4, "filer1", "ma1")) << nas.GetErrorText();
  EXPECT_FALSE(nk::nasClients()[0].deleted);
  // The open Tarnkeep connection served both.
  EXPECT_EQ(attachedHosts(), (std::vector<std::string>{"cs1"}));
  const auto sends = nk::journal().calls("SendXDRMessage");
  ASSERT_EQ(sends.size(), 2u);
  // Only the name is sent for a remove; proxy first, then the name, for a restore.
  EXPECT_EQ(sends[0].args[1], "0000000100000006" "66696c6572310000");
  EXPECT_EQ(sends[1].args[1], "00000001000000036d613100" "0000000100000006" "66696c6572310000");
}

TEST_F(NasInterface, AnUnknownClientIsAnsweredWithTheServicesCodeAndText) {
  EXPECT_FALSE(nas.RemoveNasClient(0, "ghost", nullptr));
  EXPECT_EQ(nas.GetErrorCode(), tknasclient::kServiceError);
  EXPECT_STREQ(nas.GetErrorText(), "NAS client [ghost] is not known.");
}

TEST_F(NasInterface, ArgumentChecksOfRemoveAndRestore) {
  EXPECT_FALSE(nas.RemoveNasClient(0, nullptr, "ma1"));
  EXPECT_EQ(nas.GetErrorCode(), tknas::kErrInvalidArguments);
  EXPECT_TRUE(attachedHosts().empty());
  EXPECT_FALSE(nas.UndeleteNasClient(0, "filer2", nullptr));
  EXPECT_EQ(nas.GetErrorCode(), tknas::kErrNoMemory);
  EXPECT_TRUE(sentTypes().empty());
}

// ---- attaching ---------------------------------------------------------------

TEST_F(NasInterface, TheTarnkeepAttachGivesUpAfterFiveAttemptsAndFourPauses) {
  testkit::clock::FakeClock clock(1'000'000);
  nk::refuseAttaches("cs1", 5);
  NasClientItem* clients = nullptr;
  int count = 0;
  EXPECT_FALSE(nas.GetNasClientList(clients, count));
  EXPECT_EQ(clock.now(), 1'000'000 + 4 * 3);
  EXPECT_EQ(attachedHosts().size(), 5u);
  EXPECT_EQ(nas.GetErrorCode(), tknas::kErrAttachTarnkeep);
  EXPECT_STREQ(nas.GetErrorText(),
               "Could not attach to the NAS client service of the Tarnkeep [cs1] (peer []): "
               "Host [cs1] refused the connection.");
  // Attempts are counted per call: the next call has all five again.
  nk::refuseAttaches("cs1", 4);
  EXPECT_TRUE(nas.GetNasClientList(clients, count));
  EXPECT_EQ(attachedHosts().size(), 10u);
  EXPECT_EQ(clock.now(), 1'000'000 + 8 * 3);
}

TEST_F(NasInterface, TheMediaAgentAttachGivesUpAtTheTenthFailureAfterNinePauses) {
  testkit::clock::FakeClock clock(2'000'000);
  nk::refuseAttaches("ma1", 10);
  int out = 0;
  EXPECT_FALSE(nas.ConfigureNasClient("ma1", "f", nullptr, 0, 0, 0, out));
  EXPECT_EQ(clock.now(), 2'000'000 + 9 * 3);
  EXPECT_EQ(nas.GetErrorCode(), tknas::kErrAttachMediaAgent);
  EXPECT_STREQ(nas.GetErrorText(),
               "Could not attach to the NAS client service of media agent [ma1]: Host [ma1] refused the connection.");
  EXPECT_TRUE(sentTypes().empty());
  nk::refuseAttaches("ma1", 9);
  EXPECT_TRUE(nas.ConfigureNasClient("ma1", "f", nullptr, 0, 0, 0, out)) << nas.GetErrorText();
}

TEST_F(NasInterface, ATransportFailureAbortsTheConnectionAndTheNextCallAttachesAnew) {
  nk::dropNextReply("cs1", "sLNNCWTK");
  EXPECT_FALSE(nas.RemoveNasClient(0, "filer1", nullptr));
  EXPECT_EQ(nas.GetErrorCode(), tknas::kErrTransportTarnkeep);
  EXPECT_STREQ(nas.GetErrorText(),
               "Communication with the Tarnkeep's NAS client service [cs1] failed: "
               "Receiving from [cs1] failed: the connection was closed.");
  EXPECT_EQ(nk::journal().calls("AbortConnection").size(), 1u);
  EXPECT_TRUE(nas.RemoveNasClient(0, "filer1", nullptr));
  EXPECT_EQ(attachedHosts().size(), 2u);
}

TEST_F(NasInterface, AMediaAgentTransportFailureIsReportedAsTheMediaAgents) {
  nk::dropNextReply("ma1", "sLNNCWMA");
  int out = 0;
  EXPECT_FALSE(nas.ConfigureNasClient("ma1", "filer3", nullptr, 0, 0, 0, out));
  EXPECT_EQ(nas.GetErrorCode(), tknas::kErrTransportMediaAgent);
  EXPECT_NE(std::string(nas.GetErrorText()).find("media agent [ma1]"), std::string::npos);
}

// ---- every session call failing in turn ---------------------------------------

// The two stages are two services: a failure after the Tarnkeep stage leaves
// the Tarnkeep's row (as the protocol has it); nothing else may change, and
// every failure leaves a code and a text.
TEST_F(NasInterface, EachFailingSessionCallEndsInAnErrorAndNoHalfChange) {
  testkit::clock::FakeClock clock;  // the attach retries pause on it
  bool ok = false;
  unsigned long code = 0;
  std::string text;
  std::vector<tknasclient::NasClientRow> rows;
  tktest::SweepPlan plan;
  plan.setup = [&] { nk::setNasClients({{"filer1", "ma1", false}}); };
  plan.request = [&] {
    NasClientConfigInterface fresh;
    int out = 0;
    ok = fresh.ConfigureNasClient("ma1", "filer9", nullptr, 0, 0, 0, out);
    code = fresh.GetErrorCode();
    text = fresh.GetErrorText() != nullptr ? fresh.GetErrorText() : "";
  };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    rows = nk::nasClients();
    if (run.k == 0 && (!ok || rows.size() != 2)) return "the clean run did not add the client";
    if (run.k != 0 && !ok && (code == 0 || text.empty())) return "a failure without code or text";
    if (rows.empty() || rows.size() > 2 || rows[0].name != "filer1" || rows[0].deleted)
      return "the table changed beyond the added client";
    return "";
  };
  const tktest::SweepReport report = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
