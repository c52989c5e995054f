// Mounts and unmounts of FLR snapshots: the three kinds of snapshot, the
// host the client calls go to, the records, and each failure answer.
#include <gtest/gtest.h>

#include "tests/sanvol_flr/FlrFixture.h"

namespace flrtest {
namespace {

class Mounts : public FlrTest {
 protected:
  Mounts() { testkit::clientvol::seedHost(kClientHost, kClient); }

  // The elements every mount needs, before the record's own.
  static StreamBuilder mountRecord(int32_t snapId, const std::string& snapName, const std::string& path,
                                   const std::string& volume = "E:", uint32_t mountPointId = 0) {
    return StreamBuilder()
        .u32(4106, 2)
        .op(1)
        .pair(11602, kClient, kClientName)
        .i32(11810, snapId)
        .text(11811, snapName)
        .pair(11812, mountPointId, path)
        .text(11821, volume);
  }
  static StreamBuilder unmountRecord(int32_t snapId, const std::string& path, uint32_t mountPointId,
                                     const std::string& volume = "E:") {
    return StreamBuilder()
        .u32(4106, 2)
        .op(2)
        .pair(11602, kClient, kClientName)
        .i32(11810, snapId)
        .pair(11812, mountPointId, path)
        .text(11821, volume);
  }
  std::vector<FLRSnapMountPointRecord_t> mountRows() { return testkit::replicadb::rows<FLRSnapMountPointRecord_t>(); }
  std::vector<std::string> argsOf(const std::string& call) {
    const auto calls = testkit::clientvol::journal().calls(call);
    return calls.empty() ? std::vector<std::string>{} : calls.back().args;
  }
};

// ---------------------------------------------------------------- mounts

TEST_F(Mounts, ADevicePathIsMountedByTheAgentWithoutLookingTheSnapshotUp) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "s", 2);
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(mountRecord(snap, "/dev/snap1", "/mnt/flr").end()).get()), 1);
  const auto rows = mountRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].snapId, snap);
  EXPECT_EQ(rows[0].mountPath, "/mnt/flr");
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectSuccessWith(got[0], 1, 11812, static_cast<uint32_t>(rows[0].mountPointId), "/mnt/flr");
  EXPECT_EQ(argsOf("FLRMountSnap"), (std::vector<std::string>{kClientHost, "/dev/snap1", "/mnt/flr"}));
  EXPECT_TRUE(testkit::replicadb::calls("QueryCDRSnapBySnapId").empty());
  EXPECT_EQ(testkit::clientvol::agent(kClientHost).agentMounts.count("/mnt/flr"), 1u);
}

TEST_F(Mounts, AVSSSnapshotIsMountedUnderItsMonikerFromItsSourceVolume) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "{1234-abcd}", 2, "E:", "\\\\?\\Volume{src}");
  // A name that merely contains /dev takes the record path.
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(mountRecord(snap, "x/dev", "X:\\flr").end()).get()), 1);
  EXPECT_EQ(argsOf("addVolumeMountPoint"),
            (std::vector<std::string>{kClientHost, std::string("VSS_SNAP_SSID_MONIKER\x15QSV{1234-abcd}"), "X:\\flr",
                                      "", "", "\\\\?\\Volume{src}", "0", "0"}));
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  const auto rows = mountRows();
  ASSERT_EQ(rows.size(), 1u);
  expectSuccessWith(got[0], 1, 11812, static_cast<uint32_t>(rows[0].mountPointId), "X:\\flr");
}

TEST_F(Mounts, AnotherEngineIsMountedWithTheRequestsVolumeAndNoMoniker) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "plain", 1, "E:", "ignored");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(mountRecord(snap, "any", "Y:\\", "F:").end()).get()), 1);
  EXPECT_EQ(argsOf("addVolumeMountPoint"),
            (std::vector<std::string>{kClientHost, "plain", "Y:\\", "", "", "F:", "0", "0"}));
}

TEST_F(Mounts, AnONTAPSnapshotIsMountedWhereTheClientChoosesWithItsSetsCredentials) {
  const unsigned long long set = seedSet(kClient, true, 0, "filer-user", "filer-pw");
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "ontap-snap", 4, "/vol/v1", "filer / vol1");
  testkit::clientvol::scriptOntapMountPath(kClientHost, "Z:\\chosen");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(mountRecord(snap, "ontap-snap", "Z:\\asked").end()).get()), 1);
  EXPECT_EQ(argsOf("addVolumeMountPointOntap"),
            (std::vector<std::string>{kClientHost, "ontap-snap", "Z:\\asked", "/vol/v1", "filer / vol1", "filer-user",
                                      "********", "0", "0"}));
  const auto rows = mountRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].mountPath, "Z:\\chosen");
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectSuccessWith(got[0], 1, 11812, static_cast<uint32_t>(rows[0].mountPointId), "Z:\\chosen");
  EXPECT_FALSE(log.contains("filer-pw"));
  EXPECT_TRUE(log.contains("FLRSetId [" + std::to_string(set) + "]"));
}

TEST_F(Mounts, AClientWithoutANetworkHostNameIsAddressedByItsClientName) {
  addClient(8, "bare", "");
  testkit::clientvol::seedHost("bare", 8);
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "s", 2);
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(StreamBuilder()
                                                            .u32(4106, 2)
                                                            .op(1)
                                                            .pair(11602, 8, "bare")
                                                            .i32(11810, snap)
                                                            .text(11811, "/dev/s")
                                                            .pair(11812, 0, "/mnt/b")
                                                            .text(11821, "E:")
                                                            .end())
                                                     .get()),
            1);
  EXPECT_EQ(argsOf("FLRMountSnap"), (std::vector<std::string>{"bare", "/dev/s", "/mnt/b"}));
}

TEST_F(Mounts, EachMountFailureIsAnsweredWithItsEvent) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t vss = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "vss", 2, "E:", "src");
  const int32_t ontap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "ontap", 4);
  const std::string moniker = std::string("VSS_SNAP_SSID_MONIKER\x15") + "vss";
  const struct {
    const char* name;
    std::function<void()> arrange;
    StreamBuilder request;
    std::string text;
  } cases[] = {
      {"the agent fails", [] { testkit::clientvol::journal().injectFailure("FLRMountSnap", 5, "busy"); },
       mountRecord(vss, "/dev/x", "/mnt/x").end(), catalogueText(0x39000083, "/dev/x", "/mnt/x")},
      {"the snapshot is unknown", [] {}, mountRecord(999, "vss", "X:").end(), catalogueText(0x39000085, "X:")},
      {"its consistency point is unknown",
       [] { testkit::replicadb::failNext("QueryCPById", -1, "cp gone"); }, mountRecord(ontap, "ontap", "X:").end(),
       catalogueText(0x39000083, "ontap", "X:")},
      {"the volume service fails",
       [] { testkit::clientvol::journal().injectFailure("addVolumeMountPoint", 0, "no such volume"); },
       mountRecord(vss, "vss", "X:").end(), catalogueText(0x39000083, moniker, "X:")},
      {"the ONTAP mount fails",
       [] { testkit::clientvol::journal().injectFailure("addVolumeMountPointOntap", 0, "filer refused"); },
       mountRecord(ontap, "ontap", "X:").end(), catalogueText(0x39000083, "ontap", "")},
      {"the record cannot be added",
       [] { testkit::replicadb::failNext("AddFLRSnapMountPoint", -1, "table locked"); },
       mountRecord(vss, "vss", "W:").end(), catalogueText(0x39000085, "W:")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(c.request).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], c.text);
  }
  EXPECT_TRUE(log.contains("Failed to mount path X: for snapshot " + moniker + " on client client7. Reason: no such volume"));
  EXPECT_TRUE(log.contains("QueryCPById failed with error [cp gone]"));
  EXPECT_TRUE(mountRows().empty());
  // What was mounted on the client before its record failed stays mounted.
  EXPECT_EQ(testkit::clientvol::agent(kClientHost).mounts.count("W:"), 1u);
}

TEST_F(Mounts, AMountWithoutAllItsElementsIsRefusedAndAnInvalidOperationAnsweredLiterally) {
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(
                stream(StreamBuilder().u32(4106, 2).op(1).pair(11602, kClient, kClientName).end()).get()),
            0);
  auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 1, 0, catalogueText(0x39000089));
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(StreamBuilder().op(3).end()).get()), 0);
  got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectFailure(got[0], "Received invalid operation type");
  EXPECT_TRUE(log.contains("Received invalid operation type [3]."));
}

// ---------------------------------------------------------------- unmounts

TEST_F(Mounts, ASlashPathIsUnmountedByTheAgentWithoutAReplicaLookup) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "s", 2);
  const int32_t mp = seedMountPoint(snap, "/mnt/flr");
  ASSERT_EQ(ZQFLRClientApi(kClientHost, kClient).FLRMountSnap("/dev/s", "/mnt/flr"), 0);
  testkit::replicadb::reset();
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(
                stream(unmountRecord(snap, "/mnt/flr", static_cast<uint32_t>(mp)).end()).get()),
            1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 2, 1, "Success");
  EXPECT_TRUE(mountRows().empty());
  EXPECT_TRUE(testkit::replicadb::calls("QueryCDRSnapBySnapId").empty());
  EXPECT_EQ(testkit::replicadb::calls("DeleteFLRSnapMountPoint").size(), 1u);
  EXPECT_TRUE(testkit::clientvol::agent(kClientHost).agentMounts.empty());
}

TEST_F(Mounts, ADrivePathWithSnapshotIdZeroIsRemovedWithTheRequestsVolumeAndSetZero) {
  const int32_t mp = seedMountPoint(seedSnapshot(seedCP(5, 1, 1), "s", 2), "X:\\flr");
  ZQSVCClientSession(kClientHost, kClient).addVolumeMountPoint("dev", "X:\\flr", "", "", nullptr, "E:", 0, 0);
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(
                stream(unmountRecord(0, "X:\\flr", static_cast<uint32_t>(mp), "G:").end()).get()),
            1);
  EXPECT_EQ(argsOf("removeVolumeMountPoint"), (std::vector<std::string>{kClientHost, "X:\\flr", "G:", "0", "0"}));
  EXPECT_TRUE(testkit::replicadb::calls("QueryCDRSnapBySnapId").empty());
  EXPECT_TRUE(mountRows().empty());
}

TEST_F(Mounts, AnONTAPUnmountNamesTheLunUnlessTheVolumeIsASharePath) {
  const unsigned long long set = seedSet(kClient, true);
  const int32_t snap = seedSnapshot(seedCP(static_cast<int32_t>(set), 1, 1), "osnap", 4, "/vol/v", "filer / vol1");
  ZQSVCClientSession session(kClientHost, kClient);
  ASSERT_TRUE(session.addVolumeMountPoint("d", "Q:\\m", "", "", nullptr, "", 0, 0));
  ASSERT_TRUE(session.addVolumeMountPoint("d", "R:\\m", "", "", nullptr, "", 0, 0));
  const int32_t lun = seedMountPoint(snap, "Q:\\m");
  const int32_t shared = seedMountPoint(snap, "R:\\m");
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(
                stream(unmountRecord(snap, "Q:\\m", static_cast<uint32_t>(lun)).end()).get()),
            1);
  EXPECT_EQ(argsOf("removeVolumeMountPoint"),
            (std::vector<std::string>{kClientHost, "<ONTAP_LUN><SNAPNAME>osnap</SNAPNAME><MOUNT>Q:\\m</MOUNT>",
                                      "filer / vol1", std::to_string(set), "0"}));
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(
                stream(unmountRecord(snap, "R:\\m", static_cast<uint32_t>(shared), "\\\\filer\\pub").end()).get()),
            1);
  EXPECT_EQ(argsOf("removeVolumeMountPoint"),
            (std::vector<std::string>{kClientHost, "R:\\m", "\\\\filer\\pub", std::to_string(set), "0"}));
  EXPECT_TRUE(mountRows().empty());
  EXPECT_TRUE(testkit::clientvol::agent(kClientHost).mounts.empty());
}

TEST_F(Mounts, AnUnmountWithoutItsVolumeIsRefusedWithTheLiteralText) {
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(StreamBuilder()
                                                            .u32(4106, 2)
                                                            .op(2)
                                                            .pair(11602, kClient, kClientName)
                                                            .pair(11812, 4, "X:")
                                                            .end())
                                                     .get()),
            0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectOperation(got[0], 2, 0, "All information required to process this request was not received");
}

TEST_F(Mounts, EachUnmountFailureIsAnsweredWithItsEvent) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "s", 2);
  const struct {
    const char* name;
    std::function<void()> arrange;
    StreamBuilder request;
    std::string text;
  } cases[] = {
      {"the agent fails", [] {}, unmountRecord(snap, "/mnt/none", 4).end(), catalogueText(0x39000086, "/mnt/none")},
      {"the snapshot is unknown", [] {}, unmountRecord(999, "X:", 4).end(), catalogueText(0x39000086, "X:")},
      {"the volume service fails", [] {}, unmountRecord(snap, "X:", 4).end(), catalogueText(0x39000086, "X:")},
      {"the record is unknown",
       [] { ZQSVCClientSession(kClientHost, kClient).addVolumeMountPoint("d", "V:", "", "", nullptr, "", 0, 0); },
       unmountRecord(snap, "V:", 77).end(), catalogueText(0x39000087, "V:")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(c.request).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], c.text);
  }
  EXPECT_TRUE(log.contains("Failed to remove mount point X: on client client7."));
  EXPECT_TRUE(log.contains("Failed to unmount path /mnt/none for snapshot on client client7"));
}

// ---------------------------------------------------------------- streams

TEST_F(Mounts, ALaterRecordInheritsAndUnknownElementsBetweenRecordsAreSkipped) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "s", 2);
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(mountRecord(snap, "/dev/a", "/mnt/a")
                                                            .end()
                                                            .u32(11999, 1)
                                                            .pair(11812, 0, "/mnt/b")
                                                            .end())
                                                     .get()),
            1);
  const auto rows = mountRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].mountPath, "/mnt/b");
  EXPECT_EQ(replies().size(), 2u);
  EXPECT_TRUE(log.contains("Has received an unprocessed element type [11999-unknown]"));
}

TEST_F(Mounts, ShortAndOverlongValuesAreReadSafely) {
  const int32_t snap = seedSnapshot(seedCP(5, 1, 1), "s", 2);
  // A mount point of two bytes reads id 0 (not the 5 of its bytes) and an empty path; a 4,104-byte
  // snapshot name is cut to 4,103 characters.
  const std::string longName = "/dev/" + std::string(4099, 'n');
  EXPECT_EQ(handler.onMsgManageFLRSnapshotMount(stream(StreamBuilder()
                                                            .u32(4106, 2)
                                                            .op(1)
                                                            .pair(11602, kClient, kClientName)
                                                            .i32(11810, snap)
                                                            .raw(11811, longName)
                                                            .raw(11812, std::string("\x05\x00", 2))
                                                            .text(11821, "E:")
                                                            .end())
                                                     .get()),
            0);
  EXPECT_EQ(argsOf("FLRMountSnap"),
            (std::vector<std::string>{kClientHost, longName.substr(0, 4103), ""}));
  EXPECT_TRUE(log.contains("Received, Snap Mount Point = , Mount Point Id = 0."));
}

}  // namespace
}  // namespace flrtest
