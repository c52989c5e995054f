// The fault sweep over the SAN volume listings: each platform call failing
// in turn still ends the listing with its reply on the client's socket
// (unless the failed call is the reply's own opening or writing), and the
// listings change nothing in the database.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace volumestest
