// Shared pieces of the SnapVault and scratch-volume tests: a fresh central
// database with every stand-in the handlers reach put back, a client
// connection, request builders, seeds of a SnapVault volume and its
// sources, and the shapes of the answers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/client.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/ndmp.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace scratchtest {

using tktest::catalogueText;
using tktest::le32;
using tktest::le64;
using tktest::StreamBuilder;
using tktest::tagsOf;
using tktest::wordAndText;
using Tags = std::vector<uint32_t>;

inline constexpr int64_t kSequence = 0x53;
inline constexpr uint32_t kUser = 5;

inline std::string hdr12(uint32_t id, uint32_t client, uint32_t flags, const std::string& text) {
  return le32(id) + le32(client) + le32(flags) + text;
}

// The one-call status answer: 1024 with the single item 2051 [status][text].
inline void expectAnswer(const tkwire::Reply& reply, const std::string& text, uint32_t status = 0) {
  EXPECT_EQ(reply.messageId, 1024u);
  ASSERT_EQ(tagsOf(reply), Tags{2051});
  EXPECT_EQ(reply.items[0].bytes, wordAndText(status, text));
}
// An operation reply: 4001 [operation], 2051 [status][text].
inline void expectOperation(const tkwire::Reply& reply, uint32_t operation, uint32_t status, const std::string& text) {
  EXPECT_EQ(reply.messageId, 1024u);
  ASSERT_EQ(tagsOf(reply), (Tags{4001, 2051}));
  EXPECT_EQ(reply.items[0].bytes, le32(operation));
  EXPECT_EQ(reply.items[1].bytes, wordAndText(status, text));
}

// A SnapVault volume with a scratch volume on it, and the sources whose
// replicas it holds.
struct Vault {
  int32_t volume = -1;
  int32_t scratch = -1;
  int32_t pool = -1;
};

class ScratchTest : public ::testing::Test {
 protected:
  ScratchTest() { resetStandIns(); }
  ~ScratchTest() override { resetStandIns(); }

  static void resetStandIns() {
    testkit::reply::reset();
    testkit::replicadb::reset();
    testkit::client::reset();
    testkit::ndmp::reset();
    testkit::security::reset();
    testkit::alerts::reset();
  }

  static void addClient(unsigned long id, const std::string& name) {
    testkit::client::ClientSeed seed;
    seed.id = id;
    seed.name = name;
    seed.hostName = name + ".example.com";
    EXPECT_EQ(testkit::client::addClient(seed), 0);
  }

  std::unique_ptr<MessageInfo> words(uint32_t firstParameter) {
    return StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .sequence(kSequence)
        .user(kUser, "alice")
        .firstWord(2)
        .count(firstParameter)
        .build();
  }
  // An element-stream request with the Tarnfold id in front.
  std::unique_ptr<MessageInfo> stream(StreamBuilder builder) {
    return builder.socket(static_cast<int>(client.socket().GetSocketDescriptor())).sequence(kSequence).build();
  }
  std::vector<tkwire::Reply> replies() { return client.replies(); }

  // A request body that opens with the Tarnfold id.
  static StreamBuilder body() { return StreamBuilder().u32(4106, 2); }
  long long manageVolumes(StreamBuilder builder) { return handler.onMsgManageRVScratchVolumes(stream(builder).get()); }
  long long managePools(StreamBuilder builder) { return handler.onMsgManageRVScratchVolumePools(stream(builder).get()); }

  static int32_t seedVolume(int32_t type, const std::string& uniqueId, int32_t idType = 2) {
    SNRVolumeRecordV4_t v;
    v.volumeType = type;
    v.deviceId = uniqueId;
    v.deviceIdType = idType;
    return testkit::replicadb::seed(v);
  }
  static int32_t seedDevice(int32_t volume, int32_t host, const std::string& name) {
    SNRVolumeDeviceNameV4Record_t d;
    d.volumeId = volume;
    d.hostId = host;
    d.deviceName = name;
    return testkit::replicadb::seedDeviceName(d);
  }
  static int32_t seedPool(int32_t type) {
    RVScratchVolumePoolV3Record_t p;
    p.poolName = "pool";
    p.poolType = type;
    return testkit::replicadb::seed(p);
  }
  static int32_t seedScratch(int32_t volume, int32_t pool) {
    RVScratchVolumeV2Record_t s;
    s.volumeId = volume;
    s.poolId = pool;
    return testkit::replicadb::seed(s);
  }
  static int32_t seedReplica(int32_t primary, int32_t physical, int32_t scratch, int32_t kind, const std::string& text) {
    ReplicationVolumeV5Record_t r;
    r.primaryVolumeId = primary;
    r.physicalVolumeId = physical;
    r.scratchVolumeId = scratch;
    r.item11746 = kind;
    r.replicaText = text;
    return testkit::replicadb::seed(r);
  }
  // A SnapVault volume (type 3, "sv-uid") reached by host 7, with a scratch
  // volume in a pool of `poolType`.
  static Vault seedVault(int32_t poolType = 1) {
    Vault v;
    v.volume = seedVolume(3, "sv-uid");
    seedDevice(v.volume, 7, "/vol/sv");
    v.pool = seedPool(poolType);
    v.scratch = seedScratch(v.volume, v.pool);
    return v;
  }
  // A source volume reached by host 8 with a replica of kind `kind` on the vault.
  static int32_t seedSource(const Vault& v, const std::string& uniqueId, int32_t kind = 5, int32_t idType = 2) {
    const int32_t source = seedVolume(1, uniqueId, idType);
    if (idType != 11) seedDevice(source, 8, "/src/" + uniqueId);
    return seedReplica(source, v.volume, v.scratch, kind, "rt-" + uniqueId);
  }
  static std::vector<tkjournal::Call> deletions() { return testkit::ndmp::journal().calls("deleteSnapVaultReplica"); }
  // A release of the scratch volume (operation 12), without a replica.
  long long release(int32_t scratch) {
    return manageVolumes(body().op(12).u32(11624, static_cast<uint32_t>(scratch)).end());
  }

  tktest::TestDatabase db;
  tktest::Connection client;
  testkit::debuglog::Capture log;
  EvSANVolMgr handler;
};

}  // namespace scratchtest
