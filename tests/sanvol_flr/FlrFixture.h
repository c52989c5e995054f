// Shared pieces of the file-level-recovery tests: a fresh central database,
// every stand-in the handlers reach put back, a client connection, request
// builders for the word requests and the element streams, and seeders of
// consistency points, snapshots, mounts, shares and FLR sets.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clientvol/ZQFLRClientApi.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/testkit/client.h"
#include "platform/testkit/clientvol.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/network.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace flrtest {

using tktest::catalogueText;
using tktest::le32;
using tktest::le64;
using tktest::StreamBuilder;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

inline constexpr int64_t kSequence = 0x51;
inline constexpr int32_t kClient = 7;
inline constexpr const char* kClientName = "client7";
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
// The inline success reply: 4001 [operation], 2051 [1]["Success"], then the
// result item [id][text].
inline void expectSuccessWith(const tkwire::Reply& reply, uint32_t operation, uint32_t tag, uint32_t id,
                              const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  ASSERT_EQ(tagsOf(reply), (Tags{4001, 2051, tag}));
  EXPECT_EQ(reply.items[0].bytes, le32(operation));
  EXPECT_EQ(reply.items[1].bytes, wordAndText(1, "Success"));
  EXPECT_EQ(reply.items[2].bytes, wordAndText(id, text));
}

class FlrTest : public ::testing::Test {
 protected:
  FlrTest() {
    resetStandIns();
    addClient(static_cast<unsigned long>(kClient), kClientName, kClientHost);
  }
  ~FlrTest() override { resetStandIns(); }

  static void resetStandIns() {
    testkit::reply::reset();
    testkit::replicadb::reset();
    testkit::clientvol::reset();
    testkit::client::reset();
    testkit::network::reset();
    testkit::security::reset();
  }

  static void addClient(unsigned long id, const std::string& name, const std::string& host) {
    testkit::client::ClientSeed seed;
    seed.id = id;
    seed.name = name;
    seed.hostName = host;
    EXPECT_EQ(testkit::client::addClient(seed), 0);
  }

  // A word request: the Tarnfold id, the first parameter, body words 0 and 1.
  std::unique_ptr<MessageInfo> words(uint32_t firstParameter, uint32_t word0 = 0, uint32_t word1 = 0,
                                     uint32_t tarnfoldId = 2) {
    return StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .user(3)
        .firstWord(tarnfoldId)
        .count(firstParameter)
        .payloadWord(8, word0)
        .payloadWord(12, word1)
        .build();
  }
  // An element-stream request on the client connection.
  std::unique_ptr<MessageInfo> stream(StreamBuilder builder) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor())).sequence(kSequence).build();
  }
  std::vector<tkwire::Reply> replies() { return client.replies(); }

  // ---- seeding
  int32_t seedCP(int32_t flrSetId, uint32_t creationTime, uint64_t jobId, int32_t clientId = kClient,
                 int32_t appType = 84, bool f11825 = true, bool f11820 = false, bool f11819 = true) {
    return testkit::replicadb::seedConsistencyPoint(
        FLRConsistencyPointRecord_t(-1, static_cast<uint64_t>(flrSetId), creationTime, jobId, f11825, f11820, -1, -1,
                                    f11819, -1, 0, 0, 0),
        clientId, appType);
  }
  int32_t seedSnapshot(int32_t cpId, const std::string& name, int32_t engine, const std::string& volume = "E:",
                       const std::string& source = "", const std::string& sharePath = "") {
    return testkit::replicadb::seed(
        FLRSnapshotRecord_t(-1, cpId, name.c_str(), volume.c_str(), source.c_str(), engine, sharePath, 0));
  }
  int32_t seedMountPoint(int32_t snapId, const std::string& path) {
    return testkit::replicadb::seed(FLRSnapMountPointRecord_t(-1, snapId, path.c_str()));
  }
  int32_t seedShare(int32_t mountPointId, const std::string& name) {
    return testkit::replicadb::seed(FLRSnapNetworkShareRecord_t(-1, mountPointId, name.c_str()));
  }
  // An FLR set of a client; its id.
  unsigned long long seedSet(unsigned long clientId, bool isDefault, int destination = 0,
                             const std::string& user = "", const std::string& password = "") {
    testkit::client::BackupSetSeed set;
    set.clientId = clientId;
    set.appTypeId = 84;
    set.name = "set";
    set.isDefault = isDefault;
    set.destinationHostId = destination;
    set.lockDataUserName = user;
    set.lockDataPassword = password;
    unsigned long long id = 0;
    EXPECT_EQ(testkit::client::addBackupSet(set, id), 0);
    return id;
  }

  // True when some captured line has the tag and exactly the text.
  bool logged(const std::string& tag, const std::string& text) const {
    for (const auto& line : log.lines())
      if (line.tag == tag && line.text == text) return true;
    return false;
  }

  tktest::TestDatabase db;
  tktest::Connection client;
  testkit::debuglog::Capture log;
  EvSANVolMgr handler;
};

}  // namespace flrtest
