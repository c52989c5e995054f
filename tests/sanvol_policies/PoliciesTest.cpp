// Replication policies: the listing, the SnapMirror guard, and the add,
// delete and update records with their guards and answers.
#include <gtest/gtest.h>

#include "platform/client/ClientProperties.h"
#include "platform/content/SubclientContent.h"
#include "tests/sanvol_policies/PolicyFixture.h"

namespace policytest {
namespace {

using Policies = PolicyTest;

constexpr uint32_t kAdd = 1, kDelete = 2, kUpdate = 3;

// The elements an add requires, for a policy named `name`.
StreamBuilder addElements(const std::string& name, uint32_t enabled = 1) {
  return StreamBuilder().op(kAdd).pair(11642, 0, name).u32(11645, enabled).u32(11644, 30).pair(11643, 3, "").u32(
      11741, 0);
}

// ---------------------------------------------------------------- listing

TEST_F(Policies, TheListingSendsCopyManagerAndPoolOnlyForPoliciesThatReplicate) {
  const int32_t plain = seedPolicy("plain", 3);
  const int32_t copied = seedPolicy("copied", 4, true, 5, 9);
  EXPECT_EQ(handler.onMsgGetReplicationPolicies(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11641u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11642, 11644, 11643, 11645, 11699, 11700, 11741, 2052,  //
                                  11642, 11644, 11643, 11645, 11646, 11625, 11699, 11700, 11741, 2052}));
  const std::vector<std::string> expected = {
      wordAndText(static_cast<uint32_t>(plain), "plain"), le32(30), le32(3), le32(0), le32(1), le32(4), le32(2),
      le32(0), wordAndText(static_cast<uint32_t>(copied), "copied"), le32(30), le32(4), le32(1), le32(5),
      wordAndText(9, "fix me"), le32(1), le32(4), le32(2), le32(0)};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[0].items[i].bytes, expected[i]) << "item " << i;
}

TEST_F(Policies, AnUnreadableListIsAnsweredInsideTheOpenReply) {
  testkit::replicadb::failNext("GetReplicationPolicyList", -1, "no service");
  EXPECT_EQ(handler.onMsgGetReplicationPolicies(words(0).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectFailure(got[0], catalogueText(0x390000a0));
  EXPECT_EQ(got[1].messageId, 11641u);
  EXPECT_TRUE(got[1].items.empty());
}

// ---------------------------------------------------------------- SnapMirror guard

TEST_F(Policies, OnlyASnapMirrorPoolBehindAnOldCopyManagerIsRefused) {
  addClient(8, "old-cm", "old-cm", 12);
  addClient(9, "new-cm", "new-cm", 13);
  const int32_t oldManager = testkit::copymgr::seedController(8, 6, "old");
  const int32_t newManager = testkit::copymgr::seedController(9, 6, "new");
  const int32_t mirror = seedPool(3);
  const int32_t vault = seedPool(1);
  struct Case {
    const char* name;
    int32_t pool, type, manager;
    bool refused;
  } cases[] = {
      {"another copy manager type", mirror, 5, oldManager, false},
      {"release 12", mirror, 6, oldManager, true},
      {"release 13", mirror, 6, newManager, false},
      {"a SnapVault pool", vault, 6, oldManager, false},
      {"an unreadable controller", mirror, 6, 999, false},
      {"an unreadable pool", 999, 6, oldManager, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isSnapMirrorWithPre80CopyMananger(c.pool, c.type, static_cast<uint64_t>(c.manager)), c.refused);
  }
  EXPECT_TRUE(log.contains("getCopyMgrCtrlInfo Failed. Assuming it is a CopyManager that supports SnapMirror."));
  EXPECT_TRUE(log.contains("Failed to get scratch volume pool info for scratch pool id 999;"));
  EXPECT_EQ(testkit::copymgr::journal().calls("getCopyMgrCtrlInfo").size(), 3u) << "asked only for SnapMirror pools";
}

TEST_F(Policies, TheGuardRunsOnlyWhenPoolCopyManagerAndTypeAllCame) {
  addClient(8, "old-cm", "old-cm", 12);
  const uint32_t manager = static_cast<uint32_t>(testkit::copymgr::seedController(8, 6, "old"));
  const uint32_t pool = static_cast<uint32_t>(seedPool(3));
  auto add = [&](bool withPool, bool withManager) {
    StreamBuilder b = StreamBuilder().op(kAdd).pair(11642, 0, "p").u32(11645, 1).u32(11644, 30).pair(11643, 3, "");
    b.u32(11741, 6);
    if (withPool) b.pair(11625, pool, "pool");
    if (withManager) b.u32(11646, manager);
    return handler.onMsgManageReplicationPolicies(stream(b.end()).get());
  };
  EXPECT_EQ(add(true, true), 0);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], kAdd, 0, catalogueText(0x3900010d));
  EXPECT_TRUE(policies().empty());
  EXPECT_EQ(add(false, true), 1);
  EXPECT_EQ(add(true, false), 1);
  EXPECT_EQ(policies().size(), 2u);
  // An update without the type checks nothing.
  const int32_t id = policies()[0].policyId;
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(stream(StreamBuilder()
                                                              .op(kUpdate)
                                                              .pair(11642, static_cast<uint32_t>(id), "p")
                                                              .u32(11645, 1)
                                                              .pair(11625, pool, "pool")
                                                              .u32(11646, manager)
                                                              .end())
                                                       .get()),
            1);
}

// ---------------------------------------------------------------- add

TEST_F(Policies, AnAddWithoutReplicationStoresNoCopyManagerOrPoolAndAnswersTheNewId) {
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(addElements("gold", 0).u32(11646, 5).pair(11625, 9, "pool").u32(11700, 6).end()).get()),
            1);
  const auto stored = policies();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].policyName, "gold");
  EXPECT_FALSE(stored[0].replicationEnabled);
  EXPECT_EQ(stored[0].copyManagerId, 0);
  EXPECT_EQ(stored[0].scratchPoolId, 0);
  EXPECT_EQ(stored[0].snapEngineId, 3);
  EXPECT_EQ(stored[0].snapshotCount, 6);
  EXPECT_FALSE(stored[0].allowSnapOnDestination);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{4001, 2051, 11642}));
  EXPECT_EQ(got[0].items[1].bytes, wordAndText(1, "Success"));
  EXPECT_EQ(got[0].items[2].bytes, wordAndText(static_cast<uint32_t>(stored[0].policyId), "gold"));
}

TEST_F(Policies, AnAddWithReplicationStoresItsCopyManagerAndPoolAndALaterRecordUsesTheNewId) {
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(addElements("silver").u32(11646, 5).pair(11625, 9, "pool").end().op(kUpdate).u32(11644, 60).end())
                    .get()),
            1);
  const auto stored = policies();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].copyManagerId, 5);
  EXPECT_EQ(stored[0].scratchPoolId, 9);
  EXPECT_EQ(stored[0].retentionPeriod, 60) << "the update went to the added policy";
  EXPECT_EQ(replies().size(), 2u);
}

TEST_F(Policies, AMissingRequiredElementIsAnsweredAsAnOperationReply) {
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(StreamBuilder().op(kAdd).pair(11642, 0, "p").u32(11645, 0).u32(11644, 1).end()).get()),
            0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], kAdd, 0, catalogueText(0x39000089));
}

// Each element an add or a delete requires, left out with all the others
// there: the record is refused and nothing is stored or deleted.
TEST_F(Policies, EachRequiredElementLeftOutRefusesTheRecord) {
  for (const uint32_t leftOut : {11642u, 11645u, 11644u, 11643u, 11741u}) {
    SCOPED_TRACE(leftOut);
    StreamBuilder b = StreamBuilder().op(kAdd);
    if (leftOut != 11642) b.pair(11642, 0, "p");
    if (leftOut != 11645) b.u32(11645, 0);
    if (leftOut != 11644) b.u32(11644, 30);
    if (leftOut != 11643) b.pair(11643, 3, "");
    if (leftOut != 11741) b.u32(11741, 0);
    EXPECT_EQ(handler.onMsgManageReplicationPolicies(stream(b.end()).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectOperation(got[0], kAdd, 0, catalogueText(0x39000089));
    EXPECT_TRUE(policies().empty());
  }
  const int32_t id = seedPolicy("kept", 3);
  for (const uint32_t leftOut : {11642u, 4004u}) {
    SCOPED_TRACE(leftOut);
    StreamBuilder b = StreamBuilder().op(kDelete);
    if (leftOut != 11642) b.pair(11642, static_cast<uint32_t>(id), "");
    if (leftOut != 4004) b.u32(4004, 0);
    EXPECT_EQ(handler.onMsgManageReplicationPolicies(stream(b.end()).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectOperation(got[0], kDelete, 0, catalogueText(0x39000089));
    EXPECT_EQ(policies().size(), 1u);
  }
}

TEST_F(Policies, APartitionIsCutAtItsLastByteAndSetOnlyWithTheRecordThatCarriesIt) {
  const std::string full(4104, 'p');
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(addElements("a").u32(4105, kClient).text(11790, full).end()).get()),
            1);
  std::string partition;
  EXPECT_EQ(ClientProperties(kClient).getAltCachePartition(partition, nullptr), 0);
  EXPECT_EQ(partition, std::string(4103, 'p'));
  replies();

  testkit::replicadb::failNext("AddReplicationPolicy", -1, "refused");
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(addElements("b").u32(4105, kClient).text(11790, "Z:\\cache").end()).get()),
            0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], kAdd, 0, catalogueText(0x390000a2, "b"));
  EXPECT_EQ(ClientProperties(kClient).getAltCachePartition(partition, nullptr), 0);
  EXPECT_EQ(partition, std::string(4103, 'p')) << "the refused record changed nothing";

  // A client that cannot take the partition refuses the record with its text.
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(addElements("c").u32(4105, 99).text(11790, "Z:\\cache").end()).get()),
            0);
  expectOperation(replies().at(0), kAdd, 0, catalogueText(0x390000a1, "Z:\\cache"));
  EXPECT_EQ(policies().size(), 1u);
}

// ---------------------------------------------------------------- delete

TEST_F(Policies, DeletionIsRefusedWhileASubclientOfTheAskedTypesUsesThePolicy) {
  struct Case {
    const char* name;
    int32_t usedBy;  // the application type of the subclient that uses it
    uint32_t asked;  // element 4004
    bool refused;
  } cases[] = {
      {"type 47 when none is named", 47, 0, true},
      {"type 50 when none is named", 50, 0, true},
      {"another type when none is named", 9, 0, false},
      {"the named type", 9, 9, true},
      {"a type other than the named one", 47, 9, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t id = seedPolicy(c.name, 3);
    testkit::replicadb::seedPolicySubclient(id, 40, c.usedBy);
    EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                  stream(StreamBuilder().op(kDelete).pair(11642, static_cast<uint32_t>(id), "").u32(4004, c.asked).end())
                      .get()),
              c.refused ? 0 : 1);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    if (c.refused) {
      expectFailure(got[0], catalogueText(0x390000a3));
    } else {
      expectOperation(got[0], kDelete, 1, "Success");
    }
    ReplicationPolicyV3Record_t stored;
    EXPECT_EQ(testkit::replicadb::row(id, stored), c.refused);
  }
}

TEST_F(Policies, DeletionIsRefusedByAnOperationReplyWhileAReplicaBelongsToThePolicy) {
  const int32_t id = seedPolicy("kept", 3);
  ReplicationVolumeV5Record_t replica;
  replica.replicationPolicyId = id;
  testkit::replicadb::seed(replica);
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(StreamBuilder().op(kDelete).pair(11642, static_cast<uint32_t>(id), "").u32(4004, 0).end()).get()),
            0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], kDelete, 0, catalogueText(0x390000a4));
  EXPECT_EQ(policies().size(), 1u);
}

// ---------------------------------------------------------------- update

class PolicyUpdate : public PolicyTest {
 protected:
  PolicyUpdate() {
    policyId = seedPolicy("p", 3, true, 5, 9);
    unsigned long long set = 0;
    testkit::client::BackupSetSeed seed;
    seed.clientId = kClient;
    seed.appTypeId = 47;
    seed.name = "qra";
    seed.isDefault = true;
    EXPECT_EQ(testkit::client::addBackupSet(seed, set), 0);
    backupSet = static_cast<int>(set);
  }
  void addSubclient(int id, bool deleted) {
    EXPECT_EQ(tkcontent::addSubclient({id, kClient, 47, "sc", backupSet, policyId, deleted}), 0);
  }
  long long updateEngine(uint32_t engine) {
    return handler.onMsgManageReplicationPolicies(
        stream(StreamBuilder().u32(4106, 2).op(kUpdate).pair(11642, static_cast<uint32_t>(policyId), "p").pair(
                   11643, engine, "").end())
            .get());
  }
  int32_t policyId = 0;
  int backupSet = 0;
};

TEST_F(PolicyUpdate, AChangedEngineIsBlockedByALiveSubclientButNotByADeletedOne) {
  addSubclient(60, true);
  EXPECT_EQ(updateEngine(4), 1);
  expectOperation(replies().at(0), kUpdate, 1, "Success");
  addSubclient(61, false);
  EXPECT_EQ(updateEngine(5), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], kUpdate, 0, catalogueText(0x390000a6));
  ReplicationPolicyV3Record_t stored;
  ASSERT_TRUE(testkit::replicadb::row(policyId, stored));
  EXPECT_EQ(stored.snapEngineId, 4);
}

TEST_F(PolicyUpdate, AnUnchangedEngineSkipsTheSubclientScan) {
  addSubclient(61, false);
  EXPECT_EQ(updateEngine(3), 1);
  EXPECT_TRUE(testkit::client::journal().calls("getClientList").empty());
}

TEST_F(PolicyUpdate, EachFailingLookupOfTheScanIsAnsweredWithItsText) {
  addSubclient(61, false);
  const std::string code = std::to_string(0x2A000009);
  struct Case {
    const char* call;
    std::string text;
  } cases[] = {
      {"getClientList", "Unable to retrieve a list of client in this Tarnfold. [" + code + "]"},
      {"getDefaultBackupSet", "Unable to retrieve the default QRA Backup Set. [" + code + "]"},
      {"getSubclientList", "Unable to retrieve a list of QRA subclients. [" + code + "]"},
      {"getReplicationPolicy", "Unable to retrieve QR policy Id for QRA subclient [61]. [" + code + "]"},
      {"isDeleted", "Unable to determine if sublient [61] is deleted. [" + code + "]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    log.clear();
    testkit::client::journal().injectFailure(c.call, 0x2A000009, "down");
    EXPECT_EQ(updateEngine(8), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectOperation(got[0], kUpdate, 0, catalogueText(0x39000006));
    EXPECT_TRUE(log.contains(c.text));
  }
}

TEST_F(PolicyUpdate, AnUpdateKeepsWhatItsElementsDoNotName) {
  EXPECT_EQ(handler.onMsgManageReplicationPolicies(
                stream(StreamBuilder().op(kUpdate).pair(11642, static_cast<uint32_t>(policyId), "renamed").end()).get()),
            1);
  ReplicationPolicyV3Record_t stored;
  ASSERT_TRUE(testkit::replicadb::row(policyId, stored));
  EXPECT_EQ(stored.policyName, "renamed");
  EXPECT_EQ(stored.retentionPeriod, 30);
  EXPECT_EQ(stored.snapEngineId, 3);
  EXPECT_TRUE(stored.allowSnapOnDestination);
  EXPECT_EQ(stored.snapshotCount, 4);
  EXPECT_EQ(stored.copyManagerType, 2);
  // Replication is switched by the record: without 11645 it is off.
  EXPECT_FALSE(stored.replicationEnabled);
  EXPECT_EQ(stored.copyManagerId, 0);
  EXPECT_EQ(stored.scratchPoolId, 0);
}

}  // namespace
}  // namespace policytest
