// Every policy, engine, parameter and discovery request under the fault
// sweep: made once for each platform call failing in turn. Every run must
// end with an answer on the client's socket (a status reply, an operation
// reply, or the listing when the failed call only lost a log line or a
// default), and leave the database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/content/SubclientContent.h"
#include "tests/sanvol_policies/PolicyFixture.h"
#include "tests/support/FaultSweep.h"

namespace policytest {
namespace {

class PolicyFaultSweep : public PolicyTest {
 protected:
  // `listing`: the reply id a run may end with instead of a status (0: none).
  void sweep(const char* name, const std::function<std::unique_ptr<MessageInfo>()>& make,
             const std::function<long long(MessageInfo*)>& call, uint32_t listing = 0) {
    SCOPED_TRACE(name);
    tktest::FaultSweep sweeper;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      // The tool on the client lives in memory: each run starts from the same one.
      testkit::network::reset();
      testkit::network::addHost(kClientHost);
      testkit::network::ToolScript tool;
      tool.replies = {testkit::network::snapReply(4, 1), testkit::network::snapReply(0, 0)};
      testkit::network::scriptTool(kClientHost, "ZQSnapTool.exe", tool);
    };
    plan.request = [&] {
      auto request = make();
      call(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const auto got = replies();
      for (const auto& reply : got) {
        if (listing != 0 && reply.messageId == listing) return "";
        // The add's success reply carries the new policy after its status.
        if (reply.messageId == 1024 && reply.items.size() == 3 && reply.items[1].tag == 2051) return "";
      }
      return tktest::answeredOnSocket(got, run);
    };
    const tktest::SweepReport report = sweeper.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
};

TEST_F(PolicyFaultSweep, PolicyRequestsAlwaysAnswerAndNeverHalfChange) {
  const uint32_t manager = static_cast<uint32_t>(testkit::copymgr::seedController(kClient, 6, "cm"));
  const uint32_t pool = static_cast<uint32_t>(seedPool(3));
  const int32_t used = seedPolicy("used", 3, true, static_cast<int32_t>(manager), static_cast<int32_t>(pool));
  const int32_t idle = seedPolicy("idle", 3);
  unsigned long long set = 0;
  testkit::client::BackupSetSeed backupSet;
  backupSet.clientId = kClient;
  backupSet.appTypeId = 47;
  backupSet.isDefault = true;
  backupSet.name = "qra";
  ASSERT_EQ(testkit::client::addBackupSet(backupSet, set), 0);
  ASSERT_EQ(tkcontent::addSubclient({61, kClient, 47, "sc", static_cast<int>(set), used, true}), 0);

  sweep("listing", [&] { return words(0); }, [&](MessageInfo* m) { return handler.onMsgGetReplicationPolicies(m); },
        11641);
  sweep("add",
        [&] {
          return stream(StreamBuilder()
                            .op(1)
                            .pair(11642, 0, "new")
                            .u32(11645, 1)
                            .u32(11644, 30)
                            .pair(11643, 3, "")
                            .u32(11741, 6)
                            .u32(11646, manager)
                            .pair(11625, pool, "pool")
                            .u32(4105, kClient)
                            .text(11790, "Z:\\cache")
                            .end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageReplicationPolicies(m); });
  sweep("delete",
        [&] {
          return stream(
              StreamBuilder().op(2).pair(11642, static_cast<uint32_t>(idle), "").u32(4004, 0).end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageReplicationPolicies(m); });
  sweep("update with a new engine",
        [&] {
          return stream(StreamBuilder()
                            .u32(4106, 2)
                            .op(3)
                            .pair(11642, static_cast<uint32_t>(used), "used")
                            .pair(11643, 9, "")
                            .u32(11645, 1)
                            .u32(11741, 6)
                            .u32(11646, manager)
                            .pair(11625, pool, "pool")
                            .u32(4105, kClient)
                            .text(11790, "Y:\\cache")
                            .end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageReplicationPolicies(m); });
}

TEST_F(PolicyFaultSweep, EngineParameterAndDiscoveryRequestsAlwaysAnswer) {
  SnapEngineInfoV3Record_t engine;
  engine.engineName = "e";
  testkit::replicadb::seed(engine);
  const int32_t volume = testkit::replicadb::seed(SNRVolumeRecordV4_t());
  const int32_t withParams = testkit::replicadb::seed(SNRVolumeRecordV4_t());
  VolSnapParamsV2Record_t params;
  params.volumeId = withParams;
  testkit::replicadb::seed(params);
  tkcontent::setAppTypeName(4, "Exchange");

  sweep("engines", [&] { return words(0); }, [&](MessageInfo* m) { return handler.onMsgGetSnapEngineInfo(m); },
        11652);
  sweep("parameters", [&] { return words(static_cast<uint32_t>(withParams)); },
        [&](MessageInfo* m) { return handler.onMsgGetVolumeSnapParams(m); }, 11665);
  for (uint32_t op : {1u, 3u, 2u}) {
    SCOPED_TRACE(op);
    const uint32_t target = static_cast<uint32_t>(op == 1 ? volume : withParams);
    sweep("parameter change",
          [&] { return stream(StreamBuilder().u32(4106, 2).op(op).u32(11618, target).text(11658, "h").end()); },
          [&](MessageInfo* m) { return handler.onMsgManageVolumeSnapParams(m); });
  }
  sweep("installed applications", [&] { return words(kClient); },
        [&](MessageInfo* m) { return handler.onMsgGetZqSnapInstalledApps(m); }, 11677);
}

}  // namespace
}  // namespace policytest
