// The fan-in requests under the fault sweep: each made once for each
// platform call failing in turn. Every run must write a reply into the text
// (or return -1 with no text when the reply itself could not be written),
// claim success only when nothing failed on the way, and leave the replica
// database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/sanvol_flr/FlrFixture.h"
#include "tests/support/FaultSweep.h"

namespace flrtest {
namespace {

class FanInFaultSweep : public FlrTest {
 protected:
  struct Outcome {
    long long result = 0;
    std::string text;
  };

  int32_t seedRecoveryPoint(int32_t engine, const std::string& sharePath = "") {
    const unsigned long long set = seedSet(kClient, true, 0, "user", "secret");
    const int32_t cp = seedCP(static_cast<int32_t>(set), 1, 1);
    FanInDetail_t detail;
    detail.destClientId = kClient;
    testkit::replicadb::seedFanInDetail(detail, cp);
    snapId = seedSnapshot(cp, "snap", engine, "/vol/v1", "filer / v", sharePath);
    return cp;
  }

  // Sweeps one request; `clientMount` is mounted on the client before each
  // run; `judgedTables` are those a request changes step by step.
  void sweep(const char* name, const std::string& request,
             const std::function<long long(MessageInfo*, std::string&)>& call, const std::string& clientMount = "",
             std::vector<std::string> judgedTables = {}) {
    SCOPED_TRACE(name);
    Outcome out;
    tktest::FaultSweep sweeper;
    tktest::SweepPlan plan;
    plan.judgedTables = std::move(judgedTables);
    plan.setup = [&] {
      testkit::clientvol::reset();
      testkit::clientvol::seedHost(kClientHost, kClient);
      if (!clientMount.empty()) {
        testkit::clientvol::scriptOntapMountPath(kClientHost, clientMount);
        std::string chosen;
        ZQSVCClientSession(kClientHost, kClient).addVolumeMountPointOntap("snap", "leaf", "", "", "", "", &chosen, 0, 0);
        testkit::clientvol::journal().reset();
      }
    };
    plan.request = [&] {
      auto record = client.request(kSequence);
      out.text = request;
      out.result = call(record.get(), out.text);
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      if (out.result == -1) return out.text.empty() ? "" : "-1 with a text";
      if (out.result != 0 || out.text.empty()) return "no reply written";
      const bool success = out.text.find("i1=\"-1\"") == std::string::npos;
      if (run.k == 0) return success ? "" : "the clean run failed";
      if (!success) return "";
      for (const char* step : {"AddFLRSnapMountPoint", "DeleteFLRSnapMountPoint", "DeleteFLRSnapNetworkShare",
                               "UpdateFLRSnapshot", "DelCP", "addVolumeMountPoint", "addVolumeMountPointOntap",
                               "removeVolumeMountPoint"})
        if (run.failed(step)) return std::string("success claimed after a failed ") + step;
      return "";
    };
    const tktest::SweepReport report = sweeper.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }

  std::function<long long(MessageInfo*, std::string&)> manage() {
    return [this](MessageInfo* m, std::string& t) { return handler.onMsgManageFanInRP(m, t); };
  }
  static std::string operation(int32_t rp, int op, const std::string& path) {
    return "<EVGui_CDRFanInExecuteRPOperationReq i1=\"" + std::to_string(rp) + "\" i2=\"" + std::to_string(op) +
           "\" s3=\"" + path + "\"/>";
  }

  int32_t snapId = -1;
};

TEST_F(FanInFaultSweep, ListingsAlwaysWriteAReply) {
  const int32_t rp = seedRecoveryPoint(4, "\\\\filer\\pub");
  testkit::replicadb::seedRecoveryPoint(RPInfo1Record_t{-1, 1, "rp", "/mnt/a", 2}, kClient, "\\\\filer\\v");
  testkit::replicadb::seedFanInDetail(FanInDetail_t{"a", "b", 1, 2, "c", "d", kClient, "", "", "", ""}, rp);
  sweep("recovery points", "<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"\\\\filer\\v\\d\"/>",
        [this](MessageInfo* m, std::string& t) { return handler.onMsgGetFanInRP(m, t); });
  sweep("pairs", "<EVGui_CDRFanInGetPairsUnderRecoveryPointReq i1=\"" + std::to_string(rp) + "\"/>",
        [this](MessageInfo* m, std::string& t) { return handler.onMsgGetFanInRPPair(m, t); });
}

TEST_F(FanInFaultSweep, OperationsAlwaysWriteAReplyAndLeaveNoHalfMount) {
  // A record added and removed again moves only the id counter: ids are
  // never handed out twice.
  const std::vector<std::string> idCounter = {"sqlite_sequence"};
  const int32_t vss = seedRecoveryPoint(2);
  sweep("mount", operation(vss, 0, "X:"), manage(), "", idCounter);
  const int32_t ontap = seedRecoveryPoint(4);
  sweep("ONTAP mount", operation(ontap, 0, "Y:"), manage(), "", idCounter);
  sweep("publish", operation(ontap, 3, "pub"), manage(), "", idCounter);
  sweep("delete", operation(seedRecoveryPoint(2), 2, ""), manage());
}

TEST_F(FanInFaultSweep, UnmountsAlwaysWriteAReply) {
  const int32_t rp = seedRecoveryPoint(4, "\\\\filer\\leaf");
  const int32_t mp = seedMountPoint(snapId, "/mnt/a");
  seedShare(mp, "\\\\filer\\leaf");
  sweep("unmount", operation(rp, 1, ""), manage(), "/mnt/a",
        // Removed on the client first, then record by record.
        {"FLRSnapMountPoint"});
  sweep("unpublish", operation(rp, 4, ""), manage(), "/mnt/a",
        {"FLRSnapNetworkShare", "FLRSnapMountPoint", "FLRSnapshot"});
}

}  // namespace
}  // namespace flrtest
