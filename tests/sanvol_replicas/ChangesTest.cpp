// Reserving volumes, updating and releasing replicas, and naming the
// applications a replica holds: the rows the service keeps afterwards, its
// journal, and the one answer of each record.
#include <gtest/gtest.h>

#include "tests/sanvol_replicas/ReplicaFixture.h"

namespace replicastest {
namespace {

using tktest::StreamBuilder;

class Changes : public ReplicaTest {
 protected:
  void SetUp() override {
    ReplicationVolumeV5Record_t r;
    r.pointInTime = 10;
    r.creationTime = 11;
    r.modificationTime = 12;
    r.role = 1;
    r.primaryVolumeId = 101;
    r.physicalVolumeId = 102;
    r.replicationPolicyId = 3;
    r.scratchVolumeId = 4;
    r.doNotPrune = true;
    r.jobId = 0x900000001ull;
    r.auxId = 77;
    r.replicaText = "kept";
    replica = testkit::replicadb::seed(r);
    testkit::replicadb::reset();
  }
  ReplicationVolumeV5Record_t stored() {
    ReplicationVolumeV5Record_t r;
    EXPECT_TRUE(testkit::replicadb::row(replica, r));
    return r;
  }
  int32_t replica = -1;
};

// ---------------------------------------------------------------- reservation

TEST_F(Changes, AReservationReservesTheVolumesOfItsFirstRecordOnlyInElementOrder) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < 3; ++i) ids.push_back(static_cast<uint32_t>(testkit::replicadb::seed(SNRVolumeRecordV4_t{})));
  testkit::replicadb::reset();
  auto msg =
      stream(StreamBuilder().u32(11618, ids[1]).u32(4106, 2).u32(11618, ids[0]).end().u32(11618, ids[2]).end());
  EXPECT_EQ(mgr.onMsgReserveSnrVolume(msg.get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectSuccess(replies[0], 0x22);
  const auto calls = testkit::replicadb::calls("ReserveSNRVolume");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(testkit::replicadb::isReserved(static_cast<int32_t>(ids[0])));
  EXPECT_TRUE(testkit::replicadb::isReserved(static_cast<int32_t>(ids[1])));
  EXPECT_FALSE(testkit::replicadb::isReserved(static_cast<int32_t>(ids[2])));
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgReserveSnrVolume", 7, "Received, SanVolumeId=" + std::to_string(ids[1]) + "."));
}

TEST_F(Changes, AFailedReservationIsAnsweredWithItsOwnTextAndAStreamWithoutRecordWithNothing) {
  testkit::replicadb::failNext("ReserveSNRVolume", -1, "volume 9 is taken");
  EXPECT_EQ(mgr.onMsgReserveSnrVolume(stream(StreamBuilder().u32(11618, 9).end()).get()), 0);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x22, catalogueText(0x390000ae));
  EXPECT_EQ(mgr.onMsgReserveSnrVolume(stream(StreamBuilder().u32(11618, 9)).get()), 1);
  EXPECT_TRUE(client.replies().empty());
  EXPECT_EQ(mgr.onMsgReserveSnrVolume(nullptr), 0);
  EXPECT_EQ(mgr.onMsgReserveSnrVolume(stream(StreamBuilder().u32(4001, 1).end()).get()), 0);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].items[0].bytes.substr(0, 4), le32(0));
}

// ---------------------------------------------------------------- update

TEST_F(Changes, AnUpdateChangesOnlyTheReceivedFieldsAndFlagsBecomeTrueOnlyFor1) {
  auto msg = stream(StreamBuilder()
                        .u32(4106, 2)
                        .u32(11626, static_cast<uint32_t>(replica))
                        .i32(11627, -5)
                        .u32(11631, 2)
                        .raw(11642, le32(8) + "policy text")
                        .u32(11688, 2)
                        .u32(11695, 1)
                        .end());
  EXPECT_EQ(mgr.onMsgUpdateReplica(msg.get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectSuccess(replies[0], 0x22);
  const ReplicationVolumeV5Record_t r = stored();
  EXPECT_EQ(r.pointInTime, -5);
  EXPECT_EQ(r.creationTime, 11);
  EXPECT_EQ(r.modificationTime, 12);
  EXPECT_EQ(r.role, 2);
  EXPECT_EQ(r.primaryVolumeId, 101);
  EXPECT_EQ(r.physicalVolumeId, 102);
  EXPECT_EQ(r.replicationPolicyId, 8);
  EXPECT_EQ(r.scratchVolumeId, 4);
  EXPECT_FALSE(r.doNotPrune);  // 2 is not 1
  EXPECT_TRUE(r.snapshotActive);
  EXPECT_EQ(r.jobId, 0x900000001ull);
  EXPECT_EQ(r.auxId, 77);
  EXPECT_EQ(r.replicaText, "kept");
  const std::string tag = "EvSANVolMgr::onMsgUpdateReplica";
  EXPECT_TRUE(logged(tag, 7, "Received, do not prune value = true."));
  EXPECT_TRUE(logged(tag, 7, "Received, point in time = -5."));
  EXPECT_TRUE(logged(tag, 7, "Received, Replication Policy ID = 8."));
  EXPECT_TRUE(logged(tag, 7, "Received, Replication Volume ID = " + std::to_string(replica) + "."));
}

TEST_F(Changes, ALaterUpdateRecordInheritsTheValuesOfTheEarlierOnes) {
  ReplicationVolumeV5Record_t other;
  other.pointInTime = 1;
  const int32_t second = testkit::replicadb::seed(other);
  auto msg = stream(StreamBuilder()
                        .u32(4106, 2)
                        .u32(11626, static_cast<uint32_t>(replica))
                        .u32(11627, 500)
                        .u32(11696, 1)
                        .end()
                        .u32(11626, static_cast<uint32_t>(second))
                        .end());
  EXPECT_EQ(mgr.onMsgUpdateReplica(msg.get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectSuccess(replies[0], 0x22);
  expectSuccess(replies[1], 0x22);
  ReplicationVolumeV5Record_t r;
  ASSERT_TRUE(testkit::replicadb::row(second, r));
  EXPECT_EQ(r.pointInTime, 500);
  EXPECT_TRUE(r.activateSnapshot);
  EXPECT_EQ(stored().pointInTime, 500);
}

TEST_F(Changes, AnUpdateRecordWithoutTarnfoldIdOrReplicaIdIsRefusedAndNothingIsWritten) {
  const struct {
    const char* name;
    StreamBuilder stream;
  } cases[] = {
      {"no Tarnfold id", StreamBuilder().u32(11626, 1).u32(11627, 5).end()},
      {"no replica id", StreamBuilder().u32(4106, 2).u32(11627, 5).end()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::reset();
    EXPECT_EQ(mgr.onMsgUpdateReplica(stream(c.stream).get()), 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x22, catalogueText(0x39000089));
    EXPECT_TRUE(testkit::replicadb::journal().calls().empty());
    EXPECT_TRUE(logged("EvSANVolMgr::onMsgUpdateReplica", -1, "Required fields are missing."));
  }
}

TEST_F(Changes, AnUpdateOfAnUnknownReplicaOrAFailedWriteIsAnsweredWithItsOwnText) {
  EXPECT_EQ(mgr.onMsgUpdateReplica(stream(StreamBuilder().u32(4106, 2).u32(11626, 999).end()).get()), 0);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x22, catalogueText(0x39000006));
  testkit::replicadb::failNext("UpdateReplicationVolume", -1, "write failed");
  auto msg = stream(StreamBuilder().u32(4106, 2).u32(11626, static_cast<uint32_t>(replica)).u32(11627, 3).end());
  EXPECT_EQ(mgr.onMsgUpdateReplica(msg.get()), 0);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x22, catalogueText(0x39000095));
  EXPECT_EQ(stored().pointInTime, 10);
}

// ---------------------------------------------------------------- release

TEST_F(Changes, AReleaseDeletesTheReplicaWithItsApplicationsAndASecondReleaseFails) {
  testkit::replicadb::seed(QRVolumeApp_t{replica, "app"});
  EXPECT_EQ(mgr.onMsgReleaseReplica(simple(static_cast<uint32_t>(replica)).get()), 1);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectSuccess(replies[0], 0x21);
  EXPECT_TRUE(testkit::replicadb::rows<ReplicationVolumeV5Record_t>().empty());
  EXPECT_TRUE(testkit::replicadb::rows<QRVolumeApp_t>().empty());
  EXPECT_EQ(mgr.onMsgReleaseReplica(simple(static_cast<uint32_t>(replica)).get()), 0);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x21, catalogueText(0x39000094));
  EXPECT_EQ(mgr.onMsgReleaseReplica(nullptr), 0);
  EXPECT_TRUE(client.replies().empty());
}

// ---------------------------------------------------------------- replicated applications

class ReplicatedApps : public Changes {
 protected:
  void addDir(int32_t category, int32_t subclient = 0, int32_t onReplica = -2) {
    ApplicationDirsRecord_t d;
    d.subclientId = subclient;
    d.appCode = static_cast<int32_t>(static_cast<uint32_t>(category) << 25) | 0x1234;
    d.replicaId = onReplica == -2 ? replica : onReplica;
    d.appDirId = testkit::replicadb::seed(d);
    dirs.push_back(d);
  }
  // The reply: 1024 with 2051 [1]"Success" and 11690 the names.
  void expectNames(const std::string& names) {
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 1024u);
    EXPECT_EQ(replies[0].sequence, 0x21);
    EXPECT_EQ(itemsOf(replies[0]), (Items{{2051, wordAndText(1, "Success")}, {11690, names}}));
  }
  std::vector<ApplicationDirsRecord_t> dirs;
};

TEST_F(ReplicatedApps, TypesComeOnceInFirstSeenOrderBeforeTheUserApplicationsOfTheSubclientContent) {
  testkit::content::setAppTypeName(15, "Exchange");
  testkit::content::setAppTypeName(9, "SQL Server");
  QRUserAppDefsRecord_t app;
  app.appName = "Billing";
  const int32_t billing = testkit::replicadb::seed(app);
  testkit::content::addSubclient({31, 5, 84, "sc1", 0, 0, false});
  testkit::content::addContent(31, 101, std::to_string(billing));  // the primary volume
  testkit::content::addContent(31, 102, "999");                   // another volume
  addDir(1);
  addDir(7, 31);
  addDir(0);
  addDir(1);
  addDir(12);   // unsupported
  addDir(-1);   // unsupported (a negative code)
  EXPECT_EQ(mgr.onMsgGetReplicatedApps(simple(static_cast<uint32_t>(replica)).get()), 1);
  expectNames("Exchange, SQL Server, Billing");
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgGetReplicatedApps", 0, "Unsupported application type [12]."));
  EXPECT_TRUE(logged("EvSANVolMgr::onMsgGetReplicatedApps", 0, "Unsupported application type [-1]."));
}

TEST_F(ReplicatedApps, NamesThatCannotBeFoundAreUnknownOrLeftOut) {
  testkit::content::addSubclient({31, 5, 84, "sc1", 0, 0, false});
  testkit::content::addContent(31, 101, "not a number");
  testkit::content::addSubclient({32, 5, 84, "sc2", 0, 0, false});
  testkit::content::addContent(32, 101, "4242");  // no such user application
  addDir(6);
  addDir(7, 31);
  addDir(7, 32);
  addDir(7, 32, 9999);  // its replica is unknown
  EXPECT_EQ(mgr.onMsgGetReplicatedApps(simple(static_cast<uint32_t>(replica)).get()), 1);
  expectNames("Unknown Application");
  const std::string tag = "EvSANVolMgr::onMsgGetReplicatedApps";
  EXPECT_TRUE(logged(tag, -1, "Could not determine the application name for app type [53]."));
  EXPECT_TRUE(logged(tag, 0,
                     "Could not convert User App Id not a number, from volume 101, AppDirId " +
                         std::to_string(dirs[1].appDirId) + ". Skipping User App lookup"));
}

TEST_F(ReplicatedApps, AReplicaWithoutDirectoriesGetsAnEmptyNameList) {
  EXPECT_EQ(mgr.onMsgGetReplicatedApps(simple(static_cast<uint32_t>(replica)).get()), 1);
  expectNames("");
}

TEST_F(ReplicatedApps, TheDirectoryLookupFailureAndTheAllocationFailureAreAnswered) {
  testkit::replicadb::failNext("QueryAppDirByReplicaVol", -1, "dirs unreadable");
  EXPECT_EQ(mgr.onMsgGetReplicatedApps(simple(static_cast<uint32_t>(replica)).get()), 0);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x21, catalogueText(0x39000006));
  testkit::reply::failNextAllocations(1);
  EXPECT_EQ(mgr.onMsgGetReplicatedApps(simple(static_cast<uint32_t>(replica)).get()), 0);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x21, catalogueText(0x23000002));
}

// ---------------------------------------------------------------- fault sweep

TEST_F(ReplicatedApps, EveryFailingPlatformCallOfAChangeEndsInAnAnswerAndLeavesNoHalfChange) {
  testkit::content::setAppTypeName(9, "SQL Server");
  QRUserAppDefsRecord_t app;
  app.appName = "Billing";
  const int32_t billing = testkit::replicadb::seed(app);
  testkit::content::addSubclient({31, 5, 84, "sc1", 0, 0, false});
  testkit::content::addContent(31, 101, std::to_string(billing));
  addDir(0);
  addDir(7, 31);
  const uint32_t spare = static_cast<uint32_t>(testkit::replicadb::seed(SNRVolumeRecordV4_t{}));
  const uint32_t id = static_cast<uint32_t>(replica);
  const struct {
    const char* name;
    std::function<void()> request;
    uint32_t listingId;
  } cases[] = {
      {"reserve", [this, spare] { mgr.onMsgReserveSnrVolume(stream(StreamBuilder().u32(11618, spare).end()).get()); }, 0},
      {"update",
       [this, id] {
         mgr.onMsgUpdateReplica(
             stream(StreamBuilder().u32(4106, 2).u32(11626, id).u32(11627, 1).u32(11688, 0).end()).get());
       },
       0},
      {"release", [this, id] { mgr.onMsgReleaseReplica(simple(id).get()); }, 0},
      // Its answer is an operation reply whose last item is the names.
      {"replicated applications", [this, id] { mgr.onMsgGetReplicatedApps(simple(id).get()); }, 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.request, c.listingId);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace replicastest
