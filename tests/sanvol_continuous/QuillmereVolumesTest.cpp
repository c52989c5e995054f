// The life-cycle commands of a continuous-replication volume: what each
// asks of the client, what it records, the events of protection, and the
// refusals.
#include <gtest/gtest.h>

#include "tests/sanvol_continuous/ContinuousControlFixture.h"

namespace cctest {
namespace {

constexpr uint32_t kProtect = 109, kTerminate = 110, kSuspend = 111, kResume = 112;
constexpr uint32_t kActivate = 41, kDeactivate = 42, kRollback = 97;

class QuillmereVolumesTest : public ContinuousTest {
 protected:
  QuillmereVolumesTest() {
    m_volume.deviceId = "naa.700";
    m_volume.lun = 2;
    m_volume.applianceId = 4;
    m_volume.costCategoryId = 9;
    m_volume.fsType = "xfs";
    m_volume.volumeId = testkit::replicadb::seed(m_volume);
    m_id = static_cast<uint32_t>(m_volume.volumeId);
  }

  // A record of the command for the seeded volume "vol1" of client 7 on
  // server "qm1".
  StreamBuilder command(uint32_t operation) const {
    return StreamBuilder().u32(4106, 2).op(operation).u32(2009, kClient).text(11715, "qm1").pair(11716, m_id, "vol1");
  }
  long long run(StreamBuilder builder) {
    auto request = stream(std::move(builder));
    return handler.onMsgManageQuillmereVolume(request.get());
  }
  SNRVolumeRecordV4_t stored() const {
    SNRVolumeRecordV4_t volume;
    EXPECT_TRUE(testkit::replicadb::row(m_volume.volumeId, volume));
    return volume;
  }
  int32_t seedReplica(int32_t primaryVolumeId) const {
    ReplicationVolumeV5Record_t replica;
    replica.physicalVolumeId = m_volume.volumeId;
    replica.primaryVolumeId = primaryVolumeId;
    replica.role = 3;
    return testkit::replicadb::seed(replica);
  }
  static void seedHistoryName(int32_t volumeId, const std::string& name) {
    QuillmereHistoryNameRecord_t history;
    history.volumeId = volumeId;
    history.historyName = name;
    testkit::replicadb::seed(history);
  }

  SNRVolumeRecordV4_t m_volume;
  uint32_t m_id = 0;
};

TEST_F(QuillmereVolumesTest, EachStateCommandCallsTheClientAndRecordsOnlyTheStateAndFlag) {
  struct Case {
    uint32_t operation;
    const char* call;
    Args args;
    int state;
    bool isProtected;
    int agentSteps;  // what the client must have done before: protect, then suspend
  };
  const Case cases[] = {
      {kProtect, "ProtectQuillmereVolume", {kHost, "qm1", "vol1"}, 1, true, 0},
      {kSuspend, "SuspendQuillmereVolume", {kHost, "vol1"}, 2, true, 1},
      {kResume, "ResumeQuillmereVolume", {kHost, "vol1"}, 1, true, 2},
      {kTerminate, "TerminateQuillmereVolume", {kHost, "qm1", "vol1"}, 0, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
    if (c.agentSteps >= 1) agentSession().ProtectQuillmereVolume("qm1", "vol1");
    if (c.agentSteps >= 2) agentSession().SuspendQuillmereVolume("vol1");
    forgetAgentCalls();
    testkit::replicadb::reset();
    testkit::events::reset();
    EXPECT_EQ(run(command(c.operation).end()), 1);
    expectSuccess(replies().at(0), c.operation);
    EXPECT_EQ(agentCalls(c.call), std::vector<Args>{c.args});
    // Masks 0x100 and 0x200 only: every other field stays as stored.
    EXPECT_EQ(dbCalls("UpdateSNRVolume"), (std::vector<Args>{{"3", std::to_string(m_id), "768"}}));
    const SNRVolumeRecordV4_t volume = stored();
    EXPECT_EQ(volume.qmState, c.state);
    EXPECT_EQ(volume.qmProtected, c.isProtected);
    EXPECT_EQ(volume.applianceId, 4);
    EXPECT_EQ(volume.costCategoryId, 9);
    EXPECT_EQ(volume.fsType, "xfs");
    EXPECT_EQ(testkit::events::entries().size(), c.operation == kProtect ? 1u : 0u);
  }
}

TEST_F(QuillmereVolumesTest, ProtectRaisesItsEventOnSuccessAndOnEachFailure) {
  struct Case {
    const char* name;
    const char* clientFailure;
    const char* dbFailure;
    const char* kind;
    int messageId;
    std::string answer;
  };
  const Case cases[] = {
      {"success", nullptr, nullptr, "Info", 0x39000035, ""},
      {"client failure", "no driver", nullptr, "Major", 0x39000036, "Reason: no driver"},
      {"record failure", nullptr, "locked", "Major", 0x39000036, "locked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
    testkit::events::reset();
    if (c.clientFailure != nullptr) testkit::clientvol::journal().injectFailure("ProtectQuillmereVolume", 0, c.clientFailure);
    if (c.dbFailure != nullptr) testkit::replicadb::failNext("UpdateSNRVolume", -1, c.dbFailure);
    EXPECT_EQ(run(command(kProtect).end()), c.answer.empty() ? 1 : 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    if (c.answer.empty())
      expectSuccess(got[0], kProtect);
    else
      expectFailure(got[0], c.answer);
    const auto events = testkit::events::entries();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, c.kind);
    EXPECT_EQ(events[0].messageId, c.messageId);
    EXPECT_EQ(events[0].arguments, (Args{"vol1", kHost}));
  }
  EXPECT_TRUE(log.contains("Failed to protect Quillmere volume vol1 on client client7.example.com. Reason: no driver"));
}

TEST_F(QuillmereVolumesTest, TerminateIsRefusedWithoutATarnfoldIdOrForAVolumeASubclientHolds) {
  ASSERT_EQ(testkit::content::addSubclient({31, 7, 84, "sc1", 0, 0}), 0);
  ASSERT_EQ(testkit::content::addContent(31, static_cast<int>(m_id), "vol1"), 0);
  EXPECT_EQ(run(StreamBuilder().op(kTerminate).u32(2009, kClient).pair(11716, m_id, "vol1").end()), 0);
  EXPECT_EQ(run(command(kTerminate).end()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectOperation(got[0], kTerminate, 0, "Tarnfold ID missing for Quillmere volume termination");
  expectFailure(got[1], "Quillmere volume cannot be terminated while it is still part of subclient's content.");
  EXPECT_TRUE(agentCalls("TerminateQuillmereVolume").empty());
}

TEST_F(QuillmereVolumesTest, ActivateTakesItsSourceFromTheTimestampOrFromItsOneReplica) {
  const std::string id = std::to_string(m_id);
  struct Case {
    const char* name;
    bool timestamp;
    int replicas;
    Args call;  // empty: refused before the client
  };
  const Case cases[] = {
      {"timestamp", true, 1, {kHost, "qm1", "/mnt/a", "7", "", id, id, "1700000000"}},
      {"no replica", false, 0, {}},
      {"one replica", false, 1, {kHost, "qm1", "/mnt/a", "7", "hist-50", "50", id, "0"}},
      {"two replicas", false, 2, {}},
  };
  seedHistoryName(50, "hist-50");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::exec("DELETE FROM \"ReplicationVolume\"");
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
    testkit::replicadb::reset();
    int32_t replicaId = -1;
    for (int i = 0; i < c.replicas; ++i) replicaId = seedReplica(50);
    StreamBuilder b = command(kActivate).text(11726, "/mnt/a");
    if (c.timestamp) b.u32(11727, 1700000000);
    EXPECT_EQ(run(b.end()), c.call.empty() ? 0 : 1);
    if (c.call.empty()) {
      expectFailure(replies().at(0), "Cannot determine snapshot's source volume");
      EXPECT_TRUE(agentCalls("ActivateQMVolume").empty());
      continue;
    }
    expectSuccess(replies().at(0), kActivate);
    EXPECT_EQ(agentCalls("ActivateQMVolume"), std::vector<Args>{c.call});
    // With a timestamp no replica is read or written.
    EXPECT_EQ(dbCalls("UpdateReplicationVolume").size(), c.timestamp ? 0u : 1u);
    ReplicationVolumeV5Record_t replica;
    ASSERT_TRUE(testkit::replicadb::row(replicaId, replica));
    EXPECT_EQ(replica.snapshotActive && replica.activateSnapshot, !c.timestamp);
    EXPECT_EQ(replica.role, 3);
  }
}

TEST_F(QuillmereVolumesTest, DeactivateCallsTheClientAndMarksItsReplicaWhenThereIsOne) {
  for (bool withReplica : {false, true}) {
    SCOPED_TRACE(withReplica);
    const int32_t replicaId = withReplica ? seedReplica(50) : -1;
    agentSession().ActivateQMVolume("qm1", "/mnt/a", 7, "", 0, static_cast<int>(m_id), 0);
    forgetAgentCalls();
    testkit::replicadb::reset();
    EXPECT_EQ(run(command(kDeactivate).end()), 1);
    expectSuccess(replies().at(0), kDeactivate);
    EXPECT_EQ(agentCalls("DeactivateQMVolume"), (std::vector<Args>{{kHost, "qm1", "7", "", std::to_string(m_id)}}));
    EXPECT_EQ(dbCalls("UpdateReplicationVolume").size(), withReplica ? 1u : 0u);
    if (withReplica) {
      ReplicationVolumeV5Record_t replica;
      ASSERT_TRUE(testkit::replicadb::row(replicaId, replica));
      EXPECT_FALSE(replica.snapshotActive);
      EXPECT_TRUE(replica.activateSnapshot);
    }
  }
}

TEST_F(QuillmereVolumesTest, RollbackTakesTheTimestampFormOrTheHistoryNameForm) {
  seedHistoryName(m_volume.volumeId, "hist-own");
  const std::string id = std::to_string(m_id);
  EXPECT_EQ(run(command(kRollback).u32(11731, 1).u32(11732, 0).u32(11618, 88).u32(11727, 1234).end()), 1);
  EXPECT_EQ(run(command(kRollback).u32(11731, 0).u32(11732, 1).u32(11618, 88).end()), 1);
  EXPECT_EQ(agentCalls("RollbackQMVolumeFromVE"), (std::vector<Args>{{kHost, "qm1", id, "1234", "true", "false", "88"}}));
  EXPECT_EQ(agentCalls("RollbackQMVolumeFromBrowse"),
            (std::vector<Args>{{kHost, "qm1", "hist-own", "false", "true", id, "88"}}));
  EXPECT_TRUE(dbCalls("UpdateReplicationVolume").empty());
  EXPECT_TRUE(dbCalls("UpdateSNRVolume").empty());
  // Without the online state the rollback is refused.
  EXPECT_EQ(run(StreamBuilder().op(kRollback).u32(2009, kClient).pair(11716, m_id, "vol1").u32(11731, 1).end()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 3u);
  expectOperation(got[2], kRollback, 0, kMissing);
}

TEST_F(QuillmereVolumesTest, ALaterRecordInheritsWhatAnEarlierOneSent) {
  EXPECT_EQ(run(command(kProtect).end().op(kSuspend).end()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectSuccess(got[0], kProtect);
  expectSuccess(got[1], kSuspend);
  EXPECT_EQ(agentCalls("SuspendQuillmereVolume"), (std::vector<Args>{{kHost, "vol1"}}));
  EXPECT_EQ(stored().qmState, 2);
}

}  // namespace
}  // namespace cctest
