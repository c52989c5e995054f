// SnapVault-capable hosts and the release of the space SnapVault replicas
// hold on a scratch volume: who may list, which packages count, and which
// replicas the filer is asked to delete, in which mode, and what is left
// when a step fails.
#include <gtest/gtest.h>

#include <set>

#include "tests/sanvol_scratch/ScratchFixture.h"

namespace scratchtest {
namespace {

using SnapVaultHosts = ScratchTest;
using SpaceRelease = ScratchTest;

const std::string kReleaseFailed = catalogueText(0x3900009f);

// ---------------------------------------------------------------- host listing

TEST_F(SnapVaultHosts, ARefusedUserGetsTheRefusalTextAndAnAlertButNoListing) {
  // A refusal text with conversions in it must come out as it stands.
  testkit::security::deny("canManageTarnkeep", kUser, tksecurity::kAny, "no rights %s%n here");
  EXPECT_EQ(handler.onMsgGetSnapVaultCapableHosts(words(0).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u) << "no reply 11601 is begun";
  expectAnswer(got[0], "no rights %s%n here");
  const auto alerts = testkit::alerts::sent();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].condition, 12);
  EXPECT_EQ(alerts[0].message, "Attempt to Browse snapvault capable hosts denied.\n\nno rights %s%n here\n");
  EXPECT_TRUE(log.contains("User [alice] does not have [Manager Application] permissions for Tarnkeep"));
  EXPECT_TRUE(testkit::client::journal().calls("getClientList").empty());
}

TEST_F(SnapVaultHosts, ClientsAreListedWithTheBitsOfTheirPackagesUnlessAnOntapCheckFailed) {
  struct Case {
    unsigned long id;
    std::set<int> installed;
    int failing;    // the package whose check fails (0: none)
    int bits;       // -1: not listed
    int checks;     // checks asked
  } cases[] = {
      {11, {1066}, 0, 4, 3},
      {12, {1029, 1031}, 0, 3, 3},
      {13, {}, 0, -1, 3},
      {14, {1031}, 1029, 2, 3},
      {15, {1029, 1066}, 1031, -1, 2},
      {16, {1029}, 1066, -1, 3},
  };
  for (const Case& c : cases) {
    addClient(c.id, "c" + std::to_string(c.id));
    for (int package : c.installed) ASSERT_EQ(testkit::client::installPackage(c.id, package), 0);
    if (c.failing != 0)
      testkit::client::journal().injectFailure(
          "isInstalled:" + std::to_string(c.id) + ":" + std::to_string(c.failing), -1, "package table unreadable");
  }
  EXPECT_EQ(handler.onMsgGetSnapVaultCapableHosts(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11601u);
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    if (c.bits < 0) continue;
    expected.push_back(wordAndText(static_cast<uint32_t>(c.id), "c" + std::to_string(c.id)));
    expected.push_back(le32(static_cast<uint32_t>(c.bits)));
    expected.push_back(le32(0));
  }
  ASSERT_EQ(got[0].items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(got[0].items[i].tag, (Tags{11602, 11750, 2052})[i % 3]);
    EXPECT_EQ(got[0].items[i].bytes, expected[i]) << "item " << i;
  }
  const auto checks = testkit::client::journal().calls("isInstalled");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    int asked = 0;
    for (const auto& call : checks) asked += call.args[0] == std::to_string(c.id) ? 1 : 0;
    EXPECT_EQ(asked, c.checks);
  }
  EXPECT_TRUE(log.contains("ClientProperties::isOpenSystemSVInstalled() failed for client c14. "));
  EXPECT_TRUE(log.contains("ClientProperties::isONTAPSVInstalled() failed for client c15. "));
}

TEST_F(SnapVaultHosts, AnUnreadableClientListIsAnsweredInsideTheOpenReply) {
  testkit::client::journal().injectFailure("getClientList", -1, "no clients");
  EXPECT_EQ(handler.onMsgGetSnapVaultCapableHosts(words(0).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectAnswer(got[0], catalogueText(0x390000de));
  EXPECT_EQ(got[1].messageId, 11601u);
  EXPECT_TRUE(got[1].items.empty());
}

// ---------------------------------------------------------------- release

TEST_F(SpaceRelease, AVolumeThatIsNotASnapVaultVolumeIsReleasedWithoutTheFiler) {
  const int32_t volume = seedVolume(1, "plain");
  seedDevice(volume, 7, "/dev/a");
  const int32_t scratch = seedScratch(volume, seedPool(1));
  EXPECT_EQ(release(scratch), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 12, 1, "Success");
  EXPECT_TRUE(deletions().empty());
  const auto released = testkit::replicadb::calls("ReleaseRVScratchVol");
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(released[0].args, (std::vector<std::string>{"2", std::to_string(scratch), "-1", "1"}));
}

TEST_F(SpaceRelease, EachSourceReplicaIsDeletedInTheModeOfItsKindAndPool) {
  struct Case {
    int32_t kind, poolType;
    const char* mode;
  } cases[] = {{5, 3, "7"}, {5, 1, "6"}, {8, 3, "7"}, {8, 1, "7"}, {2, 3, "5"}, {2, 1, "5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.poolType));
    testkit::ndmp::reset();
    const Vault v = seedVault(c.poolType);
    const int32_t replica = seedSource(v, "src");
    const int32_t source = testkit::replicadb::rows<ReplicationVolumeV5Record_t>().back().primaryVolumeId;
    testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"item11746\" = ? WHERE \"replicaId\" = ?",
                             {c.kind, replica});
    EXPECT_EQ(release(v.scratch), 1);
    const auto calls = deletions();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"7", "sv-uid", "8", std::to_string(source), "src", "2",
                                                       "rt-src", c.mode}));
  }
  EXPECT_TRUE(testkit::replicadb::rows<ReplicationVolumeV5Record_t>().empty()) << "the releases removed the replicas";
}

TEST_F(SpaceRelease, ASourceWithDeviceIdTypeElevenIsReleasedWithHostZeroAndNoDeviceLookup) {
  const Vault v = seedVault();
  seedSource(v, "raw", 5, 11);
  EXPECT_EQ(release(v.scratch), 1);
  const auto calls = deletions();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[2], "0");
  EXPECT_EQ(calls[0].args[5], "11");
  EXPECT_EQ(testkit::replicadb::calls("QuerySNRVolDevName").size(), 1u) << "only the SnapVault volume's";
}

TEST_F(SpaceRelease, AReplicaGivenByIdIsTheOnlySourceReleased) {
  const Vault v = seedVault();
  seedSource(v, "a");
  const int32_t second = seedSource(v, "b");
  EXPECT_EQ(manageVolumes(body().op(12).u32(11624, static_cast<uint32_t>(v.scratch)).u32(11626, static_cast<uint32_t>(second)).end()), 1);
  const auto calls = deletions();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[4], "b");
  const auto released = testkit::replicadb::calls("ReleaseRVScratchVol");
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(released[0].args, (std::vector<std::string>{"2", std::to_string(v.scratch), std::to_string(second), "0"}));
  EXPECT_EQ(testkit::replicadb::rows<ReplicationVolumeV5Record_t>().size(), 1u);
}

TEST_F(SpaceRelease, AMountedSnapshotStopsTheReleaseWithOnlyTheCallersAnswer) {
  const Vault v = seedVault();
  seedSource(v, "a");
  const int32_t snapshotVolume = seedVolume(1, "snap");
  const int32_t device = seedDevice(snapshotVolume, 7, "/snap");
  SNRVolumeMountPointRecord_t point;
  point.deviceNameId = device;
  point.mountPath = "/mnt/%s";
  const int32_t mountPoint = testkit::replicadb::seed(point);
  testkit::replicadb::setMounted(mountPoint, true);
  const int32_t snapshot = seedReplica(v.volume, snapshotVolume, -1, 0, "");
  EXPECT_EQ(release(v.scratch), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectAnswer(got[0], kReleaseFailed);
  EXPECT_TRUE(deletions().empty());
  EXPECT_TRUE(testkit::replicadb::calls("ReleaseRVScratchVol").empty()) << "the scratch volume stays unreleased";
  EXPECT_TRUE(log.contains("Snapshot Volume Id = " + std::to_string(snapshotVolume) + ","));
  EXPECT_TRUE(log.contains("Mount Path         = /mnt/%s,"));
  EXPECT_TRUE(log.contains("QR Volume Id       = " + std::to_string(snapshot)));
}

TEST_F(SpaceRelease, ASnapVaultVolumeWithTwoDeviceNamesIsRefused) {
  const Vault v = seedVault();
  seedSource(v, "a");
  seedDevice(v.volume, 9, "/vol/sv-again");
  EXPECT_EQ(release(v.scratch), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectAnswer(got[0], "Snapvault volume is being accessed by multiple hosts");
  expectAnswer(got[1], kReleaseFailed);
  EXPECT_TRUE(deletions().empty());
}

TEST_F(SpaceRelease, AFilerFailureKeepsTheEarlierDeletionAndReleasesNothing) {
  const Vault v = seedVault();
  seedSource(v, "a");
  seedSource(v, "b");
  const int32_t second = testkit::replicadb::rows<ReplicationVolumeV5Record_t>().back().primaryVolumeId;
  testkit::ndmp::journal().injectFailure("deleteSnapVaultReplica:" + std::to_string(second), 0, "");
  EXPECT_EQ(release(v.scratch), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectAnswer(got[0], "SnapVault/SnapMirror replica space could not be released");
  expectAnswer(got[1], kReleaseFailed);
  const auto calls = deletions();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[4], "a");
  EXPECT_TRUE(testkit::replicadb::calls("ReleaseRVScratchVol").empty());
  EXPECT_EQ(testkit::replicadb::rows<ReplicationVolumeV5Record_t>().size(), 2u);
}

TEST_F(SpaceRelease, EachUnreadableRecordIsAnsweredWithItsOwnTextThenTheCallers) {
  struct Case {
    const char* call;
    const char* text;  // empty: the check sends no answer of its own
    bool byReplica;
  } cases[] = {
      {"QueryRVScratchVol", "Cannot access scratch volume information from the Tarnkeeper DB", false},
      {"QueryReplicationVolume", "Cannot access QR Volume information from the Tarnkeeper DB", true},
      {"QuerySNRVolume", "Cannot access Volume information from the Tarnkeeper DB", false},
      {"QuerySNRVolume2", "", false},
      {"QuerySNRMountPointBySNRVolId", "", false},
      {"QuerySNRVolDevName", "Cannot access source volume information from the Tarnkeeper DB", false},
      {"QueryRVScratchVolBySNRVolId", "Cannot access scratch volume information from the Tarnkeeper DB", false},
      {"QueryRVScratchVolPool", "Cannot access scratch volume pool information from the Tarnkeeper DB", false},
  };
  const Vault v = seedVault();
  const int32_t replica = seedSource(v, "a");
  // A snapshot, so that its mount points are asked for.
  const int32_t snapshotVolume = seedVolume(1, "snap");
  seedDevice(snapshotVolume, 7, "/snap");
  seedReplica(v.volume, snapshotVolume, -1, 0, "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    testkit::replicadb::reset();
    testkit::replicadb::failNext(c.call, -1, "service down");
    StreamBuilder request = body().op(12).u32(11624, static_cast<uint32_t>(v.scratch));
    if (c.byReplica) request.u32(11626, static_cast<uint32_t>(replica));
    EXPECT_EQ(manageVolumes(request.end()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), std::string(c.text).empty() ? 1u : 2u);
    if (got.size() == 2) expectAnswer(got[0], c.text);
    expectAnswer(got.back(), kReleaseFailed);
    EXPECT_TRUE(testkit::replicadb::calls("ReleaseRVScratchVol").empty());
  }
  EXPECT_TRUE(deletions().empty());
}

}  // namespace
}  // namespace scratchtest
