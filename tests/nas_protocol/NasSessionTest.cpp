// The protocol routines over real loopback connections to the in-process
// NAS-client services: every message type round trip, the journal of bodies,
// refusals of unexpected types, releasing received bodies once, and aborting
// the connection on a transport failure.
#include <gtest/gtest.h>

#include <string>

#include "nas/clients/UtilityRoutines.h"
#include "platform/nasclient/NasClientMessages.h"
#include "platform/nasclient/NasClientServices.h"
#include "platform/network/CZqNetwork.h"
#include "platform/testkit/nasclient.h"
#include "tests/support/TestDatabase.h"

namespace {

namespace nk = testkit::nasclient;

char* c(const char* s) { return const_cast<char*>(s); }

zqsRemoteDLLRequest tarnkeepRequest() {
  zqsRemoteDLLRequest request;
  std::snprintf(request.library, sizeof request.library, "%s", tknasclient::kTarnkeepLibrary);
  std::snprintf(request.process, sizeof request.process, "%s", tknasclient::kTarnkeepProcess);
  return request;
}

class NasSession : public ::testing::Test {
 protected:
  void SetUp() override {
    nk::reset("cs1");
    nk::setMediaAgents({{"ma1", "ma1.lab", 2}, {"ma2", "", 3}});
    nk::setStoragePolicies({{"sp1", 5, 1}});
    nk::setNasClients({{"filer1", "ma1", false}, {"filer2", "ma2", true}});
    int flag = 1;
    CWyError error = network.Attach_RemoteDLL("cs1", tarnkeepRequest(), "local", -1, flag);
    ASSERT_FALSE(error.IsError()) << error.AsString();
    ASSERT_EQ(error.GetCode(), 1);
    ASSERT_EQ(flag, 0);
  }

  template <class Reply>
  CWyError exchange(unsigned long type, void* body, int length, unsigned long replyType, Reply& reply,
                    int& received) {
    CWyError error = UtilSendMessage(network, type, body, length);
    if (error.IsError()) return error;
    return UtilReceiveMessage(network, replyType, &reply, sizeof reply, kNasReplyTimeout, &received);
  }

  tktest::TestDatabase db;
  CZqNetwork network;
};

TEST_F(NasSession, AnAttachToAConnectedPeerReportsTheExistingConnection) {
  int flag = 1;
  CWyError error = network.Attach_RemoteDLL("cs1", tarnkeepRequest(), "local", -1, flag);
  EXPECT_FALSE(error.IsError());
  EXPECT_EQ(error.GetCode(), 0);
  EXPECT_TRUE(network.IsConnected());
  EXPECT_EQ(network.GetPeerName(), "cs1");
}

TEST_F(NasSession, TheThreeListsComeBackFromTheTables) {
  ncwNasMediaAgentList agents;
  int received = 0;
  ASSERT_FALSE(exchange(tknas::kGetMediaAgents, nullptr, 0, tknas::kMediaAgentList, agents, received).IsError());
  EXPECT_EQ(received, 1);
  ASSERT_EQ(agents.count, 2u);
  EXPECT_STREQ(agents.entries[1].name, "ma2");
  EXPECT_STREQ(agents.entries[1].hostName, "");
  EXPECT_EQ(agents.entries[1].id, 3);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kMediaAgentList, &agents, sizeof agents));
  EXPECT_EQ(agents.entries, nullptr);

  ncwStoragePolicyList policies;
  ASSERT_FALSE(
      exchange(tknas::kGetStoragePolicies, nullptr, 0, tknas::kStoragePolicyList, policies, received).IsError());
  ASSERT_EQ(policies.count, 1u);
  EXPECT_EQ(policies.entries[0].type, 1);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kStoragePolicyList, &policies, sizeof policies));

  ncwNasClientList clients;
  ASSERT_FALSE(exchange(tknas::kGetNasClients, nullptr, 0, tknas::kNasClientList, clients, received).IsError());
  ASSERT_EQ(clients.count, 2u);
  EXPECT_EQ(clients.entries[1].flags, 1u);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kNasClientList, &clients, sizeof clients));
}

TEST_F(NasSession, AnEmptyTableGivesAnEmptyList) {
  nk::setNasClients({});
  ncwNasClientList clients;
  int received = 0;
  ASSERT_FALSE(exchange(tknas::kGetNasClients, nullptr, 0, tknas::kNasClientList, clients, received).IsError());
  EXPECT_EQ(clients.count, 0u);
  EXPECT_EQ(clients.entries, nullptr);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kNasClientList, &clients, sizeof clients));
}

TEST_F(NasSession, AddRemoveAndRestoreChangeTheNasClientTable) {
  ncwConfigureNasClientRequest configure{c("ma1"), c("filer3"), nullptr, 0, 1, 2};
  ncwAddNasClientResponse added;
  int received = 0;
  ASSERT_FALSE(exchange(tknas::kConfigureAtTarnkeep, &configure, sizeof configure, tknas::kConfigureAtTarnkeepReply,
                        added, received)
                   .IsError());
  EXPECT_EQ(added.errorCode, 0u);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kConfigureAtTarnkeepReply, &added, sizeof added));

  ncwRemoveNasClientRequest remove{c("filer3")};
  ncwNasResponse reply;
  ASSERT_FALSE(
      exchange(tknas::kRemoveNasClient, &remove, sizeof remove, tknas::kRemoveNasClientReply, reply, received)
          .IsError());
  EXPECT_EQ(reply.errorCode, 0u);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply));
  auto rows = nk::nasClients();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].name, "filer3");
  EXPECT_EQ(rows[2].proxyMediaAgent, "ma1");
  EXPECT_TRUE(rows[2].deleted);

  ncwUndeleteNasClientRequest undelete{c("ma1"), c("filer3")};
  ASSERT_FALSE(exchange(tknas::kUndeleteNasClient, &undelete, sizeof undelete, tknas::kUndeleteNasClientReply, reply,
                        received)
                   .IsError());
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kUndeleteNasClientReply, &reply, sizeof reply));
  EXPECT_FALSE(nk::nasClients()[2].deleted);
}

TEST_F(NasSession, AnUnknownNameAndAScriptedErrorAreAnsweredWithCodeAndText) {
  ncwRemoveNasClientRequest remove{c("nobody")};
  ncwNasResponse reply;
  int received = 0;
  ASSERT_FALSE(
      exchange(tknas::kRemoveNasClient, &remove, sizeof remove, tknas::kRemoveNasClientReply, reply, received)
          .IsError());
  EXPECT_EQ(reply.errorCode, tknasclient::kServiceError);
  EXPECT_STREQ(reply.errorText, "NAS client [nobody] is not known.");
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply));

  nk::answerError(tknas::kNasClientList, 0x29000077, nullptr);
  ncwNasClientList clients;
  ASSERT_FALSE(exchange(tknas::kGetNasClients, nullptr, 0, tknas::kNasClientList, clients, received).IsError());
  EXPECT_EQ(clients.errorCode, 0x29000077u);
  EXPECT_EQ(clients.errorText, nullptr);
  EXPECT_EQ(clients.entries, nullptr);
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kNasClientList, &clients, sizeof clients));
}

TEST_F(NasSession, TheJournalHoldsEachMessageWithItsBody) {
  nk::journal().reset();
  ncwRemoveNasClientRequest remove{c("f")};
  ncwNasResponse reply;
  int received = 0;
  ASSERT_FALSE(
      exchange(tknas::kRemoveNasClient, &remove, sizeof remove, tknas::kRemoveNasClientReply, reply, received)
          .IsError());
  UtilFreeMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply);
  const auto sends = nk::journal().calls("SendXDRMessage");
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].args, (std::vector<std::string>{"0x29000B00", "000000010000000166000000"}));
  const auto got = nk::journal().calls("received");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].args[0], "0x29000C00");
  EXPECT_EQ(got[0].args[1].substr(0, 8), "00000001");  // the text is present
  const auto receives = nk::journal().calls("ReceiveXDRMessage");
  ASSERT_EQ(receives.size(), 1u);
  EXPECT_EQ(receives[0].args, (std::vector<std::string>{"0x29000C00", "480"}));
}

TEST_F(NasSession, AReplyOfAnotherTypeIsRefusedAndAbortsTheConnection) {
  ASSERT_FALSE(UtilSendMessage(network, tknas::kGetNasClients, nullptr, 0).IsError());
  ncwStoragePolicyList wrong;
  int received = 1;
  CWyError error =
      UtilReceiveMessage(network, tknas::kStoragePolicyList, &wrong, sizeof wrong, kNasReplyTimeout, &received);
  EXPECT_TRUE(error.IsError());
  EXPECT_NE(error.AsString().find("0x29000600"), std::string::npos);
  EXPECT_EQ(received, 0);
  EXPECT_FALSE(network.IsConnected());
  const auto aborts = nk::journal().calls("AbortConnection");
  ASSERT_EQ(aborts.size(), 1u);
  EXPECT_EQ(aborts[0].args[0], "2");
  EXPECT_EQ(aborts[0].args[2], "2");
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kStoragePolicyList, &wrong, sizeof wrong));
}

TEST_F(NasSession, ATypeOutsideTheProtocolIsNotSent) {
  CWyError error = UtilSendMessage(network, 0x29000D00, nullptr, 0);
  EXPECT_TRUE(error.IsError());
  EXPECT_FALSE(network.IsConnected());
}

TEST_F(NasSession, ADroppedReplyIsATransportFailureAtOnce) {
  nk::dropNextReply("cs1", tknasclient::kTarnkeepLibrary);
  ncwNasClientList clients;
  int received = 1;
  CWyError error = exchange(tknas::kGetNasClients, nullptr, 0, tknas::kNasClientList, clients, received);
  EXPECT_TRUE(error.IsError());
  EXPECT_NE(error.AsString().find("closed"), std::string::npos);
  EXPECT_EQ(received, 0);
  EXPECT_FALSE(network.IsConnected());
}

TEST_F(NasSession, AnInjectedSendFailureAbortsTheConnectionWithItsCode) {
  nk::journal().injectFailure("SendXDRMessage", 55, "link down");
  CWyError error = UtilSendMessage(network, tknas::kGetNasClients, nullptr, 0);
  EXPECT_EQ(error.GetCode(), 55);
  EXPECT_FALSE(network.IsConnected());
  const auto aborts = nk::journal().calls("AbortConnection");
  ASSERT_EQ(aborts.size(), 1u);
  EXPECT_EQ(aborts[0].args, (std::vector<std::string>{"2", "55", "2", "-1"}));
}

TEST_F(NasSession, AReceivedBodyIsReleasedOnceAndForeignPointersAreNotFreed) {
  ncwNasResponse reply;
  ncwRemoveNasClientRequest remove{c("nobody")};
  int received = 0;
  ASSERT_FALSE(
      exchange(tknas::kRemoveNasClient, &remove, sizeof remove, tknas::kRemoveNasClientReply, reply, received)
          .IsError());
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply));
  EXPECT_TRUE(UtilFreeMessage(network, tknas::kRemoveNasClientReply, &reply, sizeof reply));  // now all zero
  ncwNasResponse foreign{c("mine"), 1};
  EXPECT_FALSE(UtilFreeMessage(network, tknas::kRemoveNasClientReply, &foreign, sizeof foreign));
  EXPECT_STREQ(foreign.errorText, "mine");
}

TEST_F(NasSession, DisconnectEndsTheSessionAndASecondOneHasNothingToEnd) {
  EXPECT_TRUE(UtilDisconnectSession(network));
  EXPECT_FALSE(network.IsConnected());
  EXPECT_TRUE(UtilDisconnectSession(network));
  EXPECT_EQ(nk::journal().calls("Disconnect").size(), 1u);
  EXPECT_EQ(nk::journal().calls("Disconnect")[0].args[0], "120");
}

TEST(NasSessionAttach, UnknownHostsRefusalsAndMissingLibrariesFailTheAttach) {
  nk::reset("cs1");
  CZqNetwork network;
  int flag = 0;
  EXPECT_TRUE(network.Attach_RemoteDLL("elsewhere", tarnkeepRequest(), "l", -1, flag).IsError());
  EXPECT_EQ(flag, 1);
  nk::refuseAttaches("CS1", 1);
  CWyError refused = network.Attach_RemoteDLL("cs1", tarnkeepRequest(), "l", -1, flag);
  EXPECT_TRUE(refused.IsError());
  EXPECT_NE(refused.AsString().find("refused"), std::string::npos);
  CWyError attached = network.Attach_RemoteDLL("cs1", tarnkeepRequest(), "l", -1, flag);
  EXPECT_EQ(attached.GetCode(), 1);
  EXPECT_FALSE(attached.IsError());
}

}  // namespace
