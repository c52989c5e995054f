// Remote sessions with scripted tools on client hosts: attach, receive,
// free, disconnect, and runs as a user.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/network/CNSessionMessages.h"
#include "platform/network/CZqNetwork.h"
#include "platform/testkit/network.h"

namespace {

using CNSession::zqsExecuteRemoteCommandType;
using CNSession::zqsRemoteCommandLineType;
using CNSession::zqsRemoteExecuteAsUserRequestType;

zqsExecuteRemoteCommandType command(const std::string& program, const std::string& arguments) {
  using C = zqsExecuteRemoteCommandType;
  C message;
  message.setint64(C::kFlags.ordinal, C::kFlags.tag, 1, C::kClassHash, C::kFlags.hash);
  message.setint64(C::kValue.ordinal, C::kValue.tag, 0, C::kClassHash, C::kValue.hash);
  message.setstring(C::kArguments.ordinal, C::kArguments.tag, arguments, C::kClassHash, C::kArguments.hash);
  message.setstring(C::kProgram.ordinal, C::kProgram.tag, program, C::kClassHash, C::kProgram.hash);
  return message;
}

zqsRemoteExecuteAsUserRequestType runRequest(const std::string& program, const std::string& arguments) {
  using R = zqsRemoteExecuteAsUserRequestType;
  using L = zqsRemoteCommandLineType;
  R request;
  CNMessageBase& line = request.getObjectAccessor(true, true, R::kCommand.ordinal, R::kCommand.tag, R::kClassHash,
                                                  R::kCommand.hash, L::kNamespace, L::kClassNumber);
  line.setint64(L::kValue.ordinal, L::kValue.tag, 0, L::kClassHash, L::kValue.hash);
  line.setstring(L::kArguments.ordinal, L::kArguments.tag, arguments, L::kClassHash, L::kArguments.hash);
  line.setstring(L::kProgram.ordinal, L::kProgram.tag, program, L::kClassHash, L::kProgram.hash);
  return request;
}

class RemoteSession : public ::testing::Test {
 protected:
  void SetUp() override { testkit::network::reset(); }
  void TearDown() override { testkit::network::reset(); }

  CWyError attach(CZqNetwork& network, const std::string& host, const std::string& program) {
    auto message = command(program, "-o discover");
    int flag = -1;
    return network.Attach_RemoteCommand(host, message, nullptr, "tarnkeep", 120, flag);
  }
  // Receives one reply of `type` into `reply`.
  template <class Reply>
  CWyError receive(CZqNetwork& network, unsigned long type, Reply& reply, zqsDatabuf_v2& buffer) {
    reply = Reply{};
    buffer.setExternalBuffer(&reply, sizeof reply);
    int flag = -1;
    return network.ReceiveXDRMessage(&type, buffer, nullptr, 0, 5, flag);
  }
};

TEST_F(RemoteSession, AnUnknownHostFailsTheAttachWithAText) {
  CZqNetwork network;
  auto message = command("ZQSnapTool.exe", "-o discover");
  int flag = 0;
  const CWyError error = network.Attach_RemoteCommand("nowhere", message, nullptr, "tarnkeep", 120, flag);
  ASSERT_TRUE(error.IsError());
  EXPECT_EQ(error.AsString(), "Host [nowhere] is unknown or cannot be reached.");
  EXPECT_EQ(flag, 1);
  EXPECT_FALSE(network.IsConnected());

  testkit::network::addHost("client1");
  const CWyError noTool = attach(network, "client1", "ZQSnapTool.exe");
  EXPECT_EQ(noTool.AsString(), "Program [ZQSnapTool.exe] was not found on host [client1].");
}

TEST_F(RemoteSession, TheToolsRepliesArriveInOrderAndTheJournalNamesProgramAndArguments) {
  testkit::network::ToolScript tool;
  tool.replies = {testkit::network::snapReply(0x20000004, 7), testkit::network::snapReply(53, 9),
                  testkit::network::snapReply(0, 0)};
  testkit::network::scriptTool("Client1.example", "ZQSnapTool.exe", tool);

  CZqNetwork network;
  ASSERT_FALSE(attach(network, "client1.EXAMPLE", "ZQSnapTool.exe").IsError());
  EXPECT_TRUE(network.IsConnected());
  EXPECT_EQ(network.GetPeerName(), "client1.EXAMPLE");
  snapDiscoveryResp reply;
  zqsDatabuf_v2 buffer;
  std::vector<std::pair<uint64_t, uint32_t>> got;
  for (int i = 0; i < 3; ++i) {
    const CWyError error = receive(network, 0x37000001, reply, buffer);
    ASSERT_FALSE(error.IsError()) << error.AsString();
    got.emplace_back(reply.applicationCode, reply.value);
  }
  EXPECT_EQ(got, (std::vector<std::pair<uint64_t, uint32_t>>{{0x20000004, 7}, {53, 9}, {0, 0}}));
  // The tool has nothing more to say.
  EXPECT_EQ(receive(network, 0x37000001, reply, buffer).AsString(),
            "Receiving from [client1.EXAMPLE] failed: the connection was closed.");
  int flag = -1;
  EXPECT_FALSE(network.ReplyDisconnect(120, flag).IsError());
  EXPECT_EQ(flag, 0);
  EXPECT_FALSE(network.IsConnected());

  const auto attaches = testkit::network::journal().calls("Attach_RemoteCommand");
  ASSERT_EQ(attaches.size(), 1u);
  EXPECT_EQ(attaches[0].args,
            (std::vector<std::string>{"client1.EXAMPLE", "ZQSnapTool.exe", "-o discover", "tarnkeep", "120"}));
  const auto receives = testkit::network::journal().calls("ReceiveXDRMessage");
  ASSERT_EQ(receives.size(), 4u);
  EXPECT_EQ(receives[0].args, (std::vector<std::string>{"0x37000001", "5"}));
  EXPECT_EQ(testkit::network::journal().calls("ReplyDisconnect")[0].args, (std::vector<std::string>{"120"}));
}

TEST_F(RemoteSession, FLRRepliesPointIntoTheSessionUntilFreedAndAreFreedOnce) {
  testkit::network::ToolScript tool;
  tool.replies = {testkit::network::flrReply("SQL Server", {"C:\\data", "D:\\logs"}),
                  testkit::network::flrReply(nullptr, {})};
  testkit::network::scriptTool("client2", "FLRSnapTool.exe", tool);
  CZqNetwork network;
  ASSERT_FALSE(attach(network, "client2", "FLRSnapTool.exe").IsError());
  FLRDiscoveryAppsResp reply;
  zqsDatabuf_v2 buffer;
  ASSERT_FALSE(receive(network, 0x37000002, reply, buffer).IsError());
  ASSERT_NE(reply.applicationName, nullptr);
  EXPECT_STREQ(reply.applicationName, "SQL Server");
  ASSERT_EQ(reply.pathCount, 2u);
  EXPECT_STREQ(reply.paths[0], "C:\\data");
  EXPECT_STREQ(reply.paths[1], "D:\\logs");

  EXPECT_FALSE(network.FreeReceivedMessage(0x37000002, buffer).IsError());
  EXPECT_EQ(reply.applicationName, nullptr);
  EXPECT_EQ(reply.paths, nullptr);
  // Nothing is freed twice.
  EXPECT_TRUE(network.FreeReceivedMessage(0x37000002, buffer).IsError());

  ASSERT_FALSE(receive(network, 0x37000002, reply, buffer).IsError());
  EXPECT_EQ(reply.applicationName, nullptr);
  EXPECT_EQ(reply.pathCount, 0u);
  int flag = 0;
  network.ReplyDisconnect(120, flag);
  // After the disconnect the texts are gone with the session; nothing to free.
  EXPECT_TRUE(network.FreeReceivedMessage(0x37000002, buffer).IsError());
}

TEST_F(RemoteSession, TheNextReceiveFreesTheTextsOfThePreviousOne) {
  testkit::network::ToolScript tool;
  tool.replies = {testkit::network::flrReply("A", {"/a"}), testkit::network::flrReply("B", {"/b"})};
  testkit::network::scriptTool("client2", "FLRSnapTool.exe", tool);
  CZqNetwork network;
  ASSERT_FALSE(attach(network, "client2", "FLRSnapTool.exe").IsError());
  FLRDiscoveryAppsResp first, second;
  zqsDatabuf_v2 firstBuffer, secondBuffer;
  ASSERT_FALSE(receive(network, 0x37000002, first, firstBuffer).IsError());
  ASSERT_FALSE(receive(network, 0x37000002, second, secondBuffer).IsError());
  EXPECT_STREQ(second.paths[0], "/b");
  // The first buffer no longer holds a decoded reply of the session.
  EXPECT_TRUE(network.FreeReceivedMessage(0x37000002, firstBuffer).IsError());
  EXPECT_FALSE(network.FreeReceivedMessage(0x37000002, secondBuffer).IsError());
}

TEST_F(RemoteSession, WrongTypesAreReceiveErrors) {
  testkit::network::ToolScript tool;
  tool.replies = {testkit::network::snapReply(4, 1)};
  testkit::network::scriptTool("client1", "ZQSnapTool.exe", tool);
  CZqNetwork network;
  ASSERT_FALSE(attach(network, "client1", "ZQSnapTool.exe").IsError());
  FLRDiscoveryAppsResp flr;
  zqsDatabuf_v2 buffer;
  // A type no routine knows.
  unsigned long type = 0x37000003;
  buffer.setExternalBuffer(&flr, sizeof flr);
  int flag = 0;
  EXPECT_EQ(network.ReceiveXDRMessage(&type, buffer, nullptr, 0, 5, flag).AsString(),
            "No XDR routine for message type 0x37000003.");
  EXPECT_EQ(flag, 1);
  // A known type that the tool did not send.
  EXPECT_EQ(receive(network, 0x37000002, flr, buffer).AsString(),
            "Received message type 0x37000001 from [client1] where 0x37000002 was expected.");
}

TEST_F(RemoteSession, AListThatBreaksOffFailsTheReceiveInTheMiddle) {
  for (int cut : {0, 1, 2}) {
    SCOPED_TRACE(cut);
    testkit::network::ToolScript tool;
    tool.replies = {testkit::network::flrReply("A", {"/a"}), testkit::network::flrReply("B", {"/b", "/c"})};
    tool.cutAfter = cut;
    testkit::network::scriptTool("client2", "FLRSnapTool.exe", tool);
    CZqNetwork network;
    ASSERT_FALSE(attach(network, "client2", "FLRSnapTool.exe").IsError());
    FLRDiscoveryAppsResp reply;
    zqsDatabuf_v2 buffer;
    int received = 0;
    CWyError error;
    while (!(error = receive(network, 0x37000002, reply, buffer)).IsError()) ++received;
    EXPECT_EQ(received, cut);
    EXPECT_EQ(error.AsString(),
              "Receiving from [client2] failed: the connection was closed in the middle of a message.");
    EXPECT_EQ(reply.applicationName, nullptr);
  }
}

TEST_F(RemoteSession, AMalformedReplyIsAReceiveErrorNotAnOverrun) {
  testkit::network::ToolScript tool;
  tool.replies = {testkit::network::rawReply(0x37000002, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF})};
  testkit::network::scriptTool("client2", "FLRSnapTool.exe", tool);
  CZqNetwork network;
  ASSERT_FALSE(attach(network, "client2", "FLRSnapTool.exe").IsError());
  FLRDiscoveryAppsResp reply;
  zqsDatabuf_v2 buffer;
  const CWyError error = receive(network, 0x37000002, reply, buffer);
  EXPECT_EQ(error.AsString(), "A message from [client2] could not be decoded: a path count of 4294967295 is more "
                              "than the message holds.");
  EXPECT_EQ(reply.pathCount, 0u);
  EXPECT_TRUE(network.FreeReceivedMessage(0x37000002, buffer).IsError());
}

TEST_F(RemoteSession, ScriptedAndInjectedFailuresAreReported) {
  testkit::network::ToolScript refusing;
  refusing.attachCode = 0x2200;
  refusing.attachText = "access denied";
  testkit::network::scriptTool("client1", "ZQSnapTool.exe", refusing);
  CZqNetwork network;
  const CWyError refused = attach(network, "client1", "ZQSnapTool.exe");
  EXPECT_EQ(refused.GetCode(), 0x2200);
  EXPECT_EQ(refused.AsString(), "access denied");

  testkit::network::scriptTool("client1", "ZQSnapTool.exe", testkit::network::ToolScript{});
  testkit::network::journal().injectFailure("Attach_RemoteCommand", 7, "link down");
  EXPECT_EQ(attach(network, "client1", "ZQSnapTool.exe").AsString(), "link down");
  ASSERT_FALSE(attach(network, "client1", "ZQSnapTool.exe").IsError());
  testkit::network::journal().injectFailure("ReceiveXDRMessage", 8, "timed out");
  snapDiscoveryResp reply;
  zqsDatabuf_v2 buffer;
  EXPECT_EQ(receive(network, 0x37000001, reply, buffer).AsString(), "timed out");
  int flag = 0;
  EXPECT_FALSE(network.ReplyDisconnect(120, flag).IsError());
  EXPECT_TRUE(network.ReplyDisconnect(120, flag).IsError()) << "a second disconnect has no session";
}

TEST_F(RemoteSession, ARunReportsTheToolsExitCodeAndARunErrorApart) {
  testkit::network::ToolScript tool;
  tool.exitCode = 3;
  testkit::network::scriptTool("client3", "ZQSnaptool.exe", tool);
  CZqNetwork network;
  auto request = runRequest("ZQSnaptool.exe", "-j 9 -s map -o import");
  zqsRemoteExecuteResponseType response;
  response.value = 77;
  int flag = -1;
  CWyError error = network.ExecRemoteCmdAndWait("client3", request, "tarnkeep", response, 120, flag);
  ASSERT_FALSE(error.IsError()) << error.AsString();
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(response.errorCode, 3);
  EXPECT_EQ(response.value, 0) << "the answer is zeroed first";
  const auto runs = testkit::network::journal().calls("ExecRemoteCmdAndWait");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].args, (std::vector<std::string>{"client3", "ZQSnaptool.exe", "-j 9 -s map -o import",
                                                    "tarnkeep", "120"}));

  tool.runCode = 0x44;
  tool.runText = "The service could not start the program.";
  testkit::network::scriptTool("client3", "ZQSnaptool.exe", tool);
  error = network.ExecRemoteCmdAndWait("client3", request, "tarnkeep", response, 120, flag);
  EXPECT_EQ(error.AsString(), "The service could not start the program.");
  EXPECT_EQ(flag, 1);
  error = network.ExecRemoteCmdAndWait("elsewhere", request, "tarnkeep", response, 120, flag);
  EXPECT_EQ(error.AsString(), "Host [elsewhere] is unknown or cannot be reached.");
}

TEST_F(RemoteSession, TheRemoteCommandMessagesKeepTheirFieldsThroughTheirText) {
  auto message = command("FLRSnapTool.exe", "-o discover");
  std::string text;
  ASSERT_EQ(message.serialize(text), 0);
  zqsExecuteRemoteCommandType back;
  ASSERT_EQ(back.unserialize(text), 0) << text;
  EXPECT_TRUE(back == message);
  EXPECT_EQ(back.getTagID(), 0x09000111u);
  auto request = runRequest("ZQSnaptool.exe", "-x");
  ASSERT_EQ(request.serialize(text), 0);
  zqsRemoteExecuteAsUserRequestType requestBack;
  ASSERT_EQ(requestBack.unserialize(text), 0) << text;
  EXPECT_TRUE(requestBack == request);
  EXPECT_EQ(requestBack.getTagID(), 0x0900030Du);
}

TEST_F(RemoteSession, TheRegistryKnowsTheRemoteRunClassesByNumberAndHash) {
  const struct {
    unsigned cls;
    unsigned hash;
    const char* name;
  } classes[] = {{45, 0x09000111, "CNSession::zqsExecuteRemoteCommandType"},
                 {37, 0x0900030D, "CNSession::zqsRemoteExecuteAsUserRequestType"},
                 {1281, 0x09000501, "CNSession::zqsRemoteCommandLineType"}};
  for (const auto& c : classes) {
    SCOPED_TRACE(c.name);
    const auto byNumber = tkxml::findClass(9, c.cls);
    ASSERT_NE(byNumber, nullptr);
    EXPECT_EQ(byNumber->classHash, c.hash);
    EXPECT_EQ(byNumber->name, c.name);
    EXPECT_EQ(tkxml::findClassByHash(c.hash), byNumber);
  }
  for (const auto& problem : tkxml::registryProblems()) EXPECT_EQ(problem.find("CNSession"), std::string::npos) << problem;
}

TEST_F(RemoteSession, SessionsOnTwoThreadsRunAtOnce) {
  for (const char* host : {"a", "b"}) {
    testkit::network::ToolScript tool;
    for (uint32_t i = 1; i <= 200; ++i) tool.replies.push_back(testkit::network::snapReply(i, i * 2));
    testkit::network::scriptTool(host, "ZQSnapTool.exe", tool);
  }
  std::atomic<int> good{0};
  auto work = [&](const char* host) {
    for (int round = 0; round < 5; ++round) {
      CZqNetwork network;
      auto message = command("ZQSnapTool.exe", "-o discover");
      int flag = 0;
      if (network.Attach_RemoteCommand(host, message, nullptr, "t", 120, flag).IsError()) return;
      snapDiscoveryResp reply;
      zqsDatabuf_v2 buffer;
      buffer.setExternalBuffer(&reply, sizeof reply);
      for (uint32_t i = 1; i <= 200; ++i) {
        unsigned long type = 0x37000001;
        if (network.ReceiveXDRMessage(&type, buffer, nullptr, 0, 5, flag).IsError()) return;
        if (reply.applicationCode != i || reply.value != i * 2) return;
      }
      network.ReplyDisconnect(120, flag);
      ++good;
    }
  };
  std::thread first(work, "a");
  std::thread second(work, "b");
  first.join();
  second.join();
  EXPECT_EQ(good.load(), 10);
}

}  // namespace
