// Shared pieces of the copy-manager, device-configuration, appliance and
// Quillmere tests: a fresh central database with one client and its agent,
// every stand-in the handlers reach put back, a client connection, request
// builders and the answer checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/testkit/client.h"
#include "platform/testkit/clientvol.h"
#include "platform/testkit/content.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/events.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace cctest {

using tktest::catalogueText;
using tktest::le32;
using tktest::StreamBuilder;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;
using Args = std::vector<std::string>;

inline constexpr int64_t kSequence = 0x52;
inline constexpr uint32_t kClient = 7;
inline constexpr const char* kHost = "client7.example.com";
inline constexpr const char* kDisplayName = "Client Seven";
inline constexpr const char* kMissing = "All information required to process this request was not received";

// The one-call failure answer: 1024 with the single item 2051 [0][text].
inline void expectFailure(const tkwire::Reply& reply, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, kSequence);
  ASSERT_EQ(tagsOf(reply), Tags{2051});
  EXPECT_EQ(reply.items[0].bytes, wordAndText(0, text));
}
// An operation reply: 4001 [operation], 2051 [status][text].
inline void expectOperation(const tkwire::Reply& reply, uint32_t operation, uint32_t status, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.sequence, kSequence);
  ASSERT_EQ(tagsOf(reply), (Tags{4001, 2051}));
  EXPECT_EQ(reply.items[0].bytes, le32(operation));
  EXPECT_EQ(reply.items[1].bytes, wordAndText(status, text));
}
inline void expectSuccess(const tkwire::Reply& reply, uint32_t operation) {
  expectOperation(reply, operation, 1, "Success");
}

// The arguments of every journaled call of that name, in order.
inline std::vector<Args> argsOf(const std::vector<tkjournal::Call>& calls) {
  std::vector<Args> out;
  for (const auto& call : calls) out.push_back(call.args);
  return out;
}

class ContinuousTest : public ::testing::Test {
 protected:
  ContinuousTest() {
    resetStandIns();
    addClient(kClient, kHost, 15);
    testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
  }
  ~ContinuousTest() override { resetStandIns(); }

  static void resetStandIns() {
    testkit::reply::reset();
    testkit::replicadb::reset();
    testkit::clientvol::reset();
    testkit::client::reset();
    testkit::security::reset();
    testkit::events::reset();
  }
  static void addClient(unsigned long id, const std::string& host, unsigned long long releaseId) {
    testkit::client::ClientSeed seed;
    seed.id = id;
    seed.name = "client" + std::to_string(id);
    seed.hostName = host;
    seed.releaseId = releaseId;
    seed.displayName = kDisplayName;
    EXPECT_EQ(testkit::client::addClient(seed), 0);
  }
  // The client agent as a test arranges it, its calls then forgotten.
  static ZQSVCClientSession agentSession() { return ZQSVCClientSession(kHost, static_cast<int>(kClient)); }
  static void forgetAgentCalls() { testkit::clientvol::journal().reset(); }
  static std::vector<Args> agentCalls(const std::string& name) {
    return argsOf(testkit::clientvol::journal().calls(name));
  }
  static std::vector<Args> dbCalls(const std::string& name) { return argsOf(testkit::replicadb::calls(name)); }

  // An element-stream request on the client connection (Tarnfold id 2).
  std::unique_ptr<MessageInfo> stream(StreamBuilder builder) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .user(3)
        .firstWord(2)
        .build();
  }
  // A request without elements: the first parameter, then payload words
  // and a text from position 8 on.
  std::unique_ptr<MessageInfo> simple(StreamBuilder builder = StreamBuilder()) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .user(3)
        .firstWord(2)
        .build();
  }
  std::vector<tkwire::Reply> replies() { return client.replies(); }

  tktest::TestDatabase db;
  tktest::Connection client;
  testkit::debuglog::Capture log;
  EvSANVolMgr handler;
};

}  // namespace cctest
