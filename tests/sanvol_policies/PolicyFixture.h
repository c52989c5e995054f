// Shared pieces of the replication-policy and snapshot tests: a fresh
// central database with every stand-in the handlers reach put back, a client
// connection, request builders and the shapes of the answers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/testkit/client.h"
#include "platform/testkit/copymgr.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/network.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace policytest {

using tktest::catalogueText;
using tktest::le32;
using tktest::StreamBuilder;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

inline constexpr int64_t kSequence = 0x52;
inline constexpr int32_t kClient = 7;
inline constexpr const char* kClientHost = "client7.example.com";

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

class PolicyTest : public ::testing::Test {
 protected:
  PolicyTest() {
    resetStandIns();
    addClient(static_cast<unsigned long>(kClient), "client7", kClientHost, 13);
  }
  ~PolicyTest() override { resetStandIns(); }

  static void resetStandIns() {
    testkit::reply::reset();
    testkit::replicadb::reset();
    testkit::copymgr::reset();
    testkit::client::reset();
    testkit::network::reset();
  }

  static void addClient(unsigned long id, const std::string& name, const std::string& host,
                        unsigned long long release) {
    testkit::client::ClientSeed seed;
    seed.id = id;
    seed.name = name;
    seed.hostName = host;
    seed.releaseId = release;
    EXPECT_EQ(testkit::client::addClient(seed), 0);
  }

  // A simple request: the Tarnfold id and the first parameter.
  std::unique_ptr<MessageInfo> words(uint32_t firstParameter) {
    return StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .firstWord(2)
        .count(firstParameter)
        .build();
  }
  // An element-stream request on the client connection.
  std::unique_ptr<MessageInfo> stream(StreamBuilder builder) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor())).sequence(kSequence).build();
  }
  std::vector<tkwire::Reply> replies() { return client.replies(); }

  // A policy as stored; its id.
  static int32_t seedPolicy(const std::string& name, int32_t engine, bool enabled = false, int32_t copyManager = 0,
                            int32_t pool = 0) {
    ReplicationPolicyV3Record_t p;
    p.policyName = name;
    p.retentionPeriod = 30;
    p.snapEngineId = engine;
    p.replicationEnabled = enabled;
    p.copyManagerId = copyManager;
    p.scratchPoolId = pool;
    p.allowSnapOnDestination = true;
    p.snapshotCount = 4;
    p.copyManagerType = 2;
    return testkit::replicadb::seed(p);
  }
  static int32_t seedPool(int32_t type) {
    RVScratchVolumePoolV3Record_t pool;
    pool.poolName = "pool";
    pool.poolType = type;
    return testkit::replicadb::seed(pool);
  }
  static std::vector<ReplicationPolicyV3Record_t> policies() {
    return testkit::replicadb::rows<ReplicationPolicyV3Record_t>();
  }

  tktest::TestDatabase db;
  tktest::Connection client;
  testkit::debuglog::Capture log;
  EvSANVolMgr handler;
};

}  // namespace policytest
