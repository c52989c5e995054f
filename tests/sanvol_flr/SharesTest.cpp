// Network shares of mounted FLR snapshots: plain CIFS shares and ONTAP
// publishing, their removal, the records each step writes, and each
// failure answer.
#include <gtest/gtest.h>

#include "tests/sanvol_flr/FlrFixture.h"

namespace flrtest {
namespace {

class Shares : public FlrTest {
 protected:
  Shares() { testkit::clientvol::seedHost(kClientName, kClient); }

  static StreamBuilder shareRecord(uint32_t mountPointId, const std::string& path, const std::string& share,
                                   uint32_t shareId = 0) {
    return StreamBuilder()
        .u32(4106, 2)
        .op(1)
        .pair(11602, kClient, kClientName)
        .pair(11812, mountPointId, path)
        .pair(11813, shareId, share)
        .u32(11817, 10);
  }
  static StreamBuilder unshareRecord(uint32_t mountPointId, const std::string& path, const std::string& share,
                                     uint32_t shareId) {
    return StreamBuilder()
        .u32(4106, 2)
        .op(2)
        .pair(11602, kClient, kClientName)
        .pair(11812, mountPointId, path)
        .pair(11813, shareId, share);
  }
  std::vector<std::string> argsOf(const std::string& call) {
    const auto calls = testkit::clientvol::journal().calls(call);
    return calls.empty() ? std::vector<std::string>{} : calls.back().args;
  }
  std::vector<FLRSnapNetworkShareRecord_t> shareRows() {
    return testkit::replicadb::rows<FLRSnapNetworkShareRecord_t>();
  }
  FLRSnapshotRecord_t snapshot(int32_t id) {
    FLRSnapshotRecord_t out;
    EXPECT_TRUE(testkit::replicadb::row(id, out));
    return out;
  }
};

// ---------------------------------------------------------------- plain shares

TEST_F(Shares, APlainShareIsCreatedOnTheClientAndRecordedWithItsRemarkAbsentOrEmpty) {
  const int32_t mp = seedMountPoint(seedSnapshot(seedCP(5, 1, 1), "s", 2), "X:\\flr");
  // Without a remark element: no remark object.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(shareRecord(static_cast<uint32_t>(mp), "X:\\flr", "flr1").end()).get()),
            1);
  EXPECT_EQ(argsOf("AddCIFSShare"), (std::vector<std::string>{kClientName, "flr1", "X:\\flr", "10", "(none)"}));
  // With an empty remark: an empty text.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(shareRecord(static_cast<uint32_t>(mp), "X:\\flr", "flr2").text(11816, "").end()).get()),
            1);
  EXPECT_EQ(argsOf("AddCIFSShare"), (std::vector<std::string>{kClientName, "flr2", "X:\\flr", "10", ""}));
  const auto rows = shareRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].mountPointId, mp);
  EXPECT_EQ(rows[0].shareName, "flr1");
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectSuccessWith(got[0], 1, 11813, static_cast<uint32_t>(rows[0].shareId), "flr1");
  expectSuccessWith(got[1], 1, 11813, static_cast<uint32_t>(rows[1].shareId), "flr2");
  EXPECT_EQ(testkit::clientvol::agent(kClientName).shares.size(), 2u);
}

TEST_F(Shares, AnONTAPTypeWithoutASharePathVolumeIsAPlainShare) {
  const int32_t mp = seedMountPoint(seedSnapshot(seedCP(5, 1, 1), "s", 4), "X:\\flr");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(shareRecord(static_cast<uint32_t>(mp), "X:\\flr", "flr1").u32(11833, 4).text(11821, "E:").end())
                    .get()),
            1);
  EXPECT_EQ(testkit::clientvol::journal().calls("AddCIFSShare").size(), 1u);
  EXPECT_EQ(shareRows().size(), 1u);
}

TEST_F(Shares, PlainShareRequirementsAndFailures) {
  const int32_t mp = seedMountPoint(seedSnapshot(seedCP(5, 1, 1), "s", 2), "X:\\flr");
  // No maximum of connections: refused for a share.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(stream(StreamBuilder()
                                                                   .u32(4106, 2)
                                                                   .op(1)
                                                                   .pair(11602, kClient, kClientName)
                                                                   .pair(11812, static_cast<uint32_t>(mp), "X:")
                                                                   .pair(11813, 0, "s")
                                                                   .end())
                                                            .get()),
            0);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 1, 0, catalogueText(0x39000089));

  testkit::clientvol::journal().injectFailure("AddCIFSShare", 0, "share exists");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(shareRecord(static_cast<uint32_t>(mp), "X:\\flr", "flr1").end()).get()),
            0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e3, "flr1", kClientName));
  EXPECT_TRUE(log.contains("Failed to add network share flr1 for mount point X:\\flr  on client client7. Reason: share exists"));

  // The record fails: the CIFS share stays on the client.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(stream(shareRecord(999, "X:\\flr", "flr3").end()).get()), 0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e4, "flr3"));
  EXPECT_EQ(testkit::clientvol::agent(kClientName).shares.count("flr3"), 1u);
  EXPECT_TRUE(shareRows().empty());
}

// ---------------------------------------------------------------- ONTAP publishing

TEST_F(Shares, PublishingWithoutAMountPointAddsOneAndWritesTheSharePathIntoTheSnapshot) {
  const unsigned long long set = seedSet(kClient, true, 0, "u", "p");
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4, "/vol/v", "filer1 / vol1");
  testkit::clientvol::scriptOntapMountPath(kClientName, "/ontap/pub");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(stream(shareRecord(0, "", "\\\\filer1\\shares\\pub")
                                                                  .u32(11833, 4)
                                                                  .text(11821, "\\\\filer1\\vol1")
                                                                  .text(11811, "osnap")
                                                                  .i32(11810, snap)
                                                                  .u32(11836, 1)
                                                                  .end())
                                                           .get()),
            1);
  EXPECT_EQ(argsOf("addVolumeMountPointOntap"), (std::vector<std::string>{kClientName, "osnap", "pub", "/vol/v",
                                                                          "filer1 / vol1", "u", "********", "1", "0"}));
  const auto mounts = testkit::replicadb::rows<FLRSnapMountPointRecord_t>();
  ASSERT_EQ(mounts.size(), 1u);
  EXPECT_EQ(mounts[0].mountPath, "/ontap/pub");
  EXPECT_EQ(mounts[0].snapId, snap);
  EXPECT_EQ(snapshot(snap).sharePath, "\\\\filer1\\pub");
  EXPECT_TRUE(shareRows().empty()) << "a publishing records no share";
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectSuccessWith(got[0], 1, 11813, 0, "pub");
}

TEST_F(Shares, PublishingWithAMountPointAddsNoneAndASourceWithoutSeparatorIsTheServer) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4, "/vol/v", "filer2");
  const int32_t mp = seedMountPoint(snap, "/ontap/m");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(stream(shareRecord(static_cast<uint32_t>(mp), "/ontap/m", "pub")
                                                                  .u32(11833, 4)
                                                                  .text(11821, "\\\\filer2\\vol")
                                                                  .i32(11810, snap)
                                                                  .end())
                                                           .get()),
            1);
  EXPECT_EQ(testkit::replicadb::rows<FLRSnapMountPointRecord_t>().size(), 1u);
  EXPECT_EQ(snapshot(snap).sharePath, "\\\\filer2\\pub");
}

TEST_F(Shares, AFailedPublishingRecordsNothingAndIsAnsweredAsAFailure) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t ontap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4, "/vol/v", "filer2");
  const int32_t vss = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "vsnap", 2);
  const struct {
    const char* name;
    std::function<void()> arrange;
    int32_t snap;
  } cases[] = {
      {"the client refuses", [] { testkit::clientvol::journal().injectFailure("addVolumeMountPointOntap", 0, "no"); },
       ontap},
      {"the recorded engine is not ONTAP", [] {}, vss},
      {"the snapshot is unknown", [] {}, 999},
      {"its consistency point is unknown", [] { testkit::replicadb::failNext("QueryCPById", -1, "cp gone"); }, ontap},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(stream(shareRecord(0, "", "pub")
                                                                    .u32(11833, 4)
                                                                    .text(11821, "\\\\filer2\\vol")
                                                                    .i32(11810, c.snap)
                                                                    .end())
                                                             .get()),
              0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], catalogueText(0x390000e3, "pub", kClientName));
  }
  EXPECT_TRUE(testkit::replicadb::rows<FLRSnapMountPointRecord_t>().empty());
  EXPECT_TRUE(snapshot(ontap).sharePath.empty());
  EXPECT_TRUE(log.contains("Failed to add network share pub for mount point  on client client7. Reason: no"));
}

TEST_F(Shares, APublishingWhoseRecordsCannotBeWrittenIsAnsweredWithTheirEvents) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4, "/vol/v", "filer2");
  testkit::replicadb::failNext("AddFLRSnapMountPoint", -1, "locked");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(shareRecord(0, "M:", "pub").u32(11833, 4).text(11821, "\\\\f\\v").i32(11810, snap).end()).get()),
            0);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x39000085, "M:"));
  testkit::replicadb::failNext("UpdateFLRSnapshot", -1, "locked");
  testkit::clientvol::scriptOntapMountPath(kClientName, "/ontap/2");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(shareRecord(0, "M:", "pub2").u32(11833, 4).text(11821, "\\\\f\\v").i32(11810, snap).end()).get()),
            0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e4));
}

// ---------------------------------------------------------------- unshares

TEST_F(Shares, APlainUnshareRemovesTheShareAndItsRecordAndShareIdZeroDeletesNoRecord) {
  const int32_t mp = seedMountPoint(seedSnapshot(seedCP(5, 1, 1), "s", 2), "X:\\flr");
  const int32_t share = seedShare(mp, "flr1");
  const int32_t other = seedShare(mp, "flr2");
  ZQSVCClientSession session(kClientName, kClient);
  ASSERT_TRUE(session.AddCIFSShare("flr1", "X:\\flr", 1, nullptr));
  ASSERT_TRUE(session.AddCIFSShare("flr2", "X:\\flr", 1, nullptr));
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(unshareRecord(static_cast<uint32_t>(mp), "X:\\flr", "flr1", static_cast<uint32_t>(share))
                           .end()
                           .pair(11813, 0, "flr2")
                           .end())
                    .get()),
            1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectOperation(got[0], 2, 1, "Success");
  expectOperation(got[1], 2, 1, "Success");
  const auto rows = shareRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].shareId, other) << "share id 0 deletes no record";
  EXPECT_TRUE(testkit::clientvol::agent(kClientName).shares.empty());
  EXPECT_EQ(testkit::replicadb::rows<FLRSnapMountPointRecord_t>().size(), 1u);
}

TEST_F(Shares, UnpublishingRemovesTheMountClearsTheSharePathAndDeletesTheMountRecord) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4, "/vol/v", "filer1 / vol1",
                                    "\\\\filer1\\pub");
  testkit::clientvol::scriptOntapMountPath(kClientName, "/ontap/pub");
  ASSERT_TRUE(ZQSVCClientSession(kClientName, kClient)
                  .addVolumeMountPointOntap("osnap", "pub", "/vol/v", "filer1 / vol1", "", "", nullptr, 0, 0));
  const int32_t mp = seedMountPoint(snap, "/ontap/pub");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(unshareRecord(static_cast<uint32_t>(mp), "", "\\\\filer1\\shares\\pub", 0)
                           .u32(11833, 4)
                           .text(11821, "\\\\filer1\\vol1")
                           .i32(11810, snap)
                           .end())
                    .get()),
            1);
  EXPECT_EQ(argsOf("removeVolumeMountPoint"),
            (std::vector<std::string>{kClientName, "/filer1/vol1/pub", "\\\\filer1\\vol1", std::to_string(set), "0"}));
  EXPECT_TRUE(snapshot(snap).sharePath.empty());
  EXPECT_TRUE(testkit::replicadb::rows<FLRSnapMountPointRecord_t>().empty());
  EXPECT_TRUE(testkit::clientvol::agent(kClientName).mounts.empty());
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 2, 1, "Success");
}

TEST_F(Shares, TheUnpublishDeviceTextFollowsTheMountPathOrTheVolume) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4);
  const struct {
    const char* name;
    std::string mountPath, volume, expected;
  } cases[] = {
      {"a mount path", "/ontap/m", "\\\\f\\v", "/ontap/m/pub"},
      {"a volume without a further backslash", "", "\\\\f", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    handler.onMsgManageFLRSnapshotNetworkShare(
        stream(unshareRecord(0, c.mountPath, "pub", 0).u32(11833, 4).text(11821, c.volume).i32(11810, snap).end())
            .get());
    ASSERT_FALSE(argsOf("removeVolumeMountPoint").empty());
    EXPECT_EQ(argsOf("removeVolumeMountPoint")[1], c.expected);
    replies();
  }
}

TEST_F(Shares, UnshareFailuresAreAnsweredEachInItsWay) {
  const int32_t mp = seedMountPoint(seedSnapshot(seedCP(5, 1, 1), "s", 2), "X:\\flr");
  // No share element: refused.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(StreamBuilder().u32(4106, 2).op(2).pair(11602, kClient, kClientName).end()).get()),
            0);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 2, 0, catalogueText(0x39000089));
  // The client has no such share.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(unshareRecord(static_cast<uint32_t>(mp), "X:", "nope", 3).end()).get()),
            0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], catalogueText(0x390000e6, "nope", kClientName));
  EXPECT_TRUE(log.contains("Failed to remove share nope on client client7."));
  // The share record cannot be deleted: the service's own text.
  ASSERT_TRUE(ZQSVCClientSession(kClientName, kClient).AddCIFSShare("gone", "X:", 1, nullptr));
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(
                stream(unshareRecord(static_cast<uint32_t>(mp), "X:", "gone", 555).end()).get()),
            0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], "network share 555 does not exist");
}

TEST_F(Shares, InvalidOperationsAreAnsweredLiterallyAndUnknownElementsSkipped) {
  EXPECT_EQ(handler.onMsgManageFLRSnapshotNetworkShare(stream(StreamBuilder().u32(11999, 1).end()).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], "Received invalid operation type");
  EXPECT_TRUE(log.contains("Has received an unprocessed element type [11999-unknown]"));
}

}  // namespace
}  // namespace flrtest
