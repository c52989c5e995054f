// The fault sweep over the SAN volume listings, discovery, changes and
// mount commands: each platform call failing in turn still ends the request
// with an answer on the client's socket (unless the failed call is the
// reply's own opening or writing). The listings and discovery change
// nothing in the database; a change's steps are each whole, and the steps
// before a failed one stay done.
#include <gtest/gtest.h>

#include <functional>

#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/mmdb/MMNDMPHostInfoDB.h"
#include "tests/sanvol_volumes/VolumesFixture.h"
#include "tests/support/FaultSweep.h"

namespace volumestest {
namespace {

using VolumesFaultSweep = VolumesTest;

// "" when the client got the listing's reply, else what is wrong.
std::string replyArrived(const Connection& connection, uint32_t replyId, const tktest::SweepRun& run) {
  const auto replies = connection.replies();
  if (run.failed("begin") || run.failed("write")) return "";
  if (replies.empty() || replies.back().messageId != replyId)
    return "no reply " + std::to_string(replyId) + " after the failure of " + run.failedCall;
  return "";
}

TEST_F(VolumesFaultSweep, EveryFailureStillEndsTheVolumeListing) {
  tktest::FaultSweep sweep;
  const tktest::SweepReport report = sweep.run({
      .setup =
          [&] {
            testkit::replicadb::reset();
            client.replies();
            addClient(7, "client7");
            QRApplianceRecord_t appliance;
            appliance.applianceName = "appliance-1";
            SNRVolumeRecordV4_t permanentVolume;
            const int32_t permanentVolumeId = addVolume(permanentVolume);
            SNRVolumeRecordV4_t volume;
            volume.backupFromSnap = true;
            volume.usePermanentReplica = true;
            volume.applianceId = testkit::replicadb::seed(appliance);
            const int32_t volumeId = addVolume(volume);
            addMountPoint(addDeviceName(7, volumeId, "E:"), "E:\\");
            addDeviceName(7, addVolume({}), "F:");
            ReplicationVolumeV5Record_t permanent;
            permanent.primaryVolumeId = volumeId;
            permanent.physicalVolumeId = permanentVolumeId;
            testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?",
                                     {testkit::replicadb::seed(permanent)});
          },
      .request = [&] { handler.onMsgGetSANVolumes(get(7).get()); },
      .check = [&](const tktest::SweepRun& run) { return replyArrived(client, 11604, run); },
      .judgedTables = {},
  });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(VolumesFaultSweep, EveryFailureStillEndsTheHostListing) {
  tktest::FaultSweep sweep;
  const tktest::SweepReport report = sweep.run({
      .setup =
          [&] {
            client.replies();
            testkit::replicadb::seed(VEHostRecord_t{10, "hostA", true});
            testkit::replicadb::seed(VEHostRecord_t{11, "hostB", false});
          },
      .request = [&] { handler.onMsgGetSANVolumeHosts(get(0).get()); },
      .check = [&](const tktest::SweepRun& run) { return replyArrived(client, 11601, run); },
      .judgedTables = {},
  });
  EXPECT_TRUE(report.clean()) << report;
}

// The tables a volume change writes, step by step.
const std::vector<std::string> kVolumeTables = {"SNRVolume",           "SNRVolumeDeviceName", "SNRVolumeDeviceNameEx",
                                                "SNRVolumeMountPoint", "ReplicationVolume",   "QuillmereHistoryName",
                                                "sqlite_sequence"};

// "" when the client got an answer (an operation reply may end with its
// result after the status item) or the reply `replyId`.
std::string answered(const Connection& connection, uint32_t replyId, const tktest::SweepRun& run) {
  const auto replies = connection.replies();
  for (const auto& reply : replies) {
    if (replyId != 0 && reply.messageId == replyId) return "";
    for (const auto& item : reply.items)
      if (reply.messageId == 1024 && item.tag == 2051) return "";
  }
  return tktest::answeredOnSocket(replies, run);
}

TEST_F(VolumesFaultSweep, EveryFailureStillAnswersADiscovery) {
  for (uint32_t operation : {47u, 58u}) {
    SCOPED_TRACE(operation);
    tktest::FaultSweep sweep;
    const tktest::SweepReport report = sweep.run({
        .setup =
            [&] {
              resetStandIns();
              client.replies();
              addClient(7, "sanhost");
              addClient(42, "filer1");
              MMNDMPHostInfo_t row;
              row.clientId = 42;
              row.osType = 2;
              int id = 0;
              MMNDMPHostInfoDB().addNDMPHostInfo(row, id);
              testkit::ndmp::Filer filer;
              filer.mountPoints.push_back({"a", "/vol/a", "", 1 << 20});
              testkit::ndmp::seedFiler("filer1.example.com", filer);
              testkit::clientvol::seedHost("sanhost", 7);
              ZQSVCClientVolumeInfo volume;
              volume.idString = "client42:/vol/a";
              volume.volumeType = 5;
              volume.mountPoints.push_back({"/mnt/a", false});
              testkit::clientvol::seedVolume("sanhost", volume);
            },
        .request =
            [&] {
              handler.onMsgSetSANVolumeHost(
                  stream(tktest::StreamBuilder().pair(11602, 7, "sanhost").u32(4106, 2).op(operation).end()).get());
            },
        .check = [&](const tktest::SweepRun& run) { return answered(client, 11604, run); },
        .judgedTables = {},
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(VolumesFaultSweep, EveryFailureStillAnswersAVolumeChange) {
  int32_t volumeId = -1;
  int32_t deviceId = -1;
  auto seedVolume = [&] {
    resetStandIns();
    client.replies();
    SNRVolumeRecordV4_t volume;
    volume.usePermanentReplica = true;
    volume.volumeType = 5;
    volumeId = addVolume(volume);
    deviceId = addDeviceName(7, volumeId, "E:");
    addMountPoint(deviceId, "E:\\old");
    ReplicationVolumeV5Record_t replica;
    replica.physicalVolumeId = volumeId;
    testkit::replicadb::seed(replica);
    ReplicationVolumeV5Record_t permanent;
    permanent.primaryVolumeId = volumeId;
    permanent.physicalVolumeId = addVolume({});
    testkit::replicadb::exec("UPDATE \"ReplicationVolume\" SET \"permanent\" = 1 WHERE \"replicaId\" = ?",
                             {testkit::replicadb::seed(permanent)});
  };
  const std::function<void(tktest::StreamBuilder&)> records[] = {
      [&](tktest::StreamBuilder& b) {
        b.pair(11602, 7, "sanhost").text(11615, "client42:/vol/b").u32(11606, 3).u64(11608, 0).u32(11619, 512);
        b.raw(11633, hdr12(0, 7, 0, "F:")).u32(11607, 0).u64(11614, 1).u32(11613, 1).u32(11742, 5);
        b.raw(11653, hdr12(0, 7, 0, "F:\\")).u32(11684, 1).op(48);
      },
      [&](tktest::StreamBuilder& b) {
        b.raw(11633, hdr12(static_cast<uint32_t>(deviceId), 7, 0, "E:")).raw(11653, hdr12(0, 7, 0, "E:\\new"));
        b.op(15);
      },
      [&](tktest::StreamBuilder& b) {
        b.raw(11633, hdr12(static_cast<uint32_t>(deviceId), 7, 0, "E:")).i32(11618, volumeId).op(2);
      },
      [&](tktest::StreamBuilder& b) {
        b.raw(11633, hdr12(static_cast<uint32_t>(deviceId), 7, 0, "E:")).i32(11618, volumeId).u32(11684, 1);
        b.text(11724, "history").text(11773, "/export").text(11615, "client42:/vol/a").op(3);
      },
  };
  for (const auto& record : records) {
    tktest::FaultSweep sweep;
    const tktest::SweepReport report = sweep.run({
        .setup = seedVolume,
        .request =
            [&] {
              tktest::StreamBuilder b;
              record(b);
              handler.onMsgSetSANVolume(stream(b.u32(4106, 2).end()).get());
            },
        .check = [&](const tktest::SweepRun& run) { return answered(client, 0, run); },
        .judgedTables = kVolumeTables,
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

TEST_F(VolumesFaultSweep, EveryFailureStillAnswersAMountOrUnmount) {
  int32_t deviceId = -1;
  auto setup = [&](bool mounted) {
    resetStandIns();
    client.replies();
    testkit::client::addClient({9, "sanclient", "sanclient", 12, ""});
    testkit::clientvol::seedHost("sanclient", 9);
    deviceId = addDeviceName(9, addVolume({}), "E:");
    testkit::replicadb::seedVSSSnapDevice(deviceId, "src", "ssid");
    addMountPoint(deviceId, "M:\\a");
    if (mounted) {
      ZQSVCClientSession("sanclient", 9).addVolumeMountPoint("E:", "M:\\a", "", "", nullptr, "", 9, 0);
      client.replies();
    }
  };
  for (uint32_t operation : {1u, 2u}) {
    SCOPED_TRACE(operation);
    tktest::FaultSweep sweep;
    const tktest::SweepReport report = sweep.run({
        .setup = [&] { setup(operation == 2); },
        .request =
            [&] {
              tktest::StreamBuilder b;
              b.pair(11602, 9, "sanclient").raw(11633, hdr12(static_cast<uint32_t>(deviceId), 9, 0, "E:"));
              b.raw(11653, hdr12(1, 9, 0, operation == 1 ? "M:\\b" : "M:\\a")).u32(11632, 0).u32(4106, 2);
              handler.onMsgVolumeMountPointCommand(stream(b.op(operation).end()).get());
            },
        .check = [&](const tktest::SweepRun& run) { return answered(client, 0, run); },
        .judgedTables = {"SNRVolumeMountPoint", "sqlite_sequence"},
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace volumestest
