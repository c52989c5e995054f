// Every file-level-recovery request under the fault sweep: made once for
// each platform call failing in turn. Every run must end with an answer on
// the client's socket (a status reply, or the listing when the failed call
// only lost a default flag or a log line), raise nothing, and leave the
// database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/sanvol_flr/FlrFixture.h"
#include "tests/support/FaultSweep.h"

namespace flrtest {
namespace {

class FlrFaultSweep : public FlrTest {
 protected:
  // Client agents live in memory: each run starts from the same ones.
  void freshAgents() {
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kClientHost, kClient);
    testkit::clientvol::seedHost(kClientName, kClient);
    testkit::network::reset();
    testkit::network::addHost(kClientHost);
    testkit::network::ToolScript tool;
    tool.replies = {testkit::network::flrReply("SQL", {"C:\\db"}), testkit::network::flrReply(nullptr, {})};
    testkit::network::scriptTool(kClientHost, "FLRSnapTool.exe", tool);
  }

  // Sweeps one request; `listing` is the reply id a run may end with instead
  // of a status (0: a status reply is required).
  void sweep(const char* name, const std::function<std::unique_ptr<MessageInfo>()>& make,
             const std::function<long long(MessageInfo*)>& call, const std::function<void()>& arrange = {},
             uint32_t listing = 0, std::vector<std::string> judgedTables = {}) {
    SCOPED_TRACE(name);
    tktest::FaultSweep sweeper;
    tktest::SweepPlan plan;
    plan.judgedTables = std::move(judgedTables);
    plan.setup = [&] {
      freshAgents();
      if (arrange) arrange();
    };
    plan.request = [&] {
      auto request = make();
      call(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const auto got = replies();
      for (const auto& reply : got) {
        if (listing != 0 && reply.messageId == listing) return "";
        // The inline success reply carries its result after the status item.
        for (const auto& item : reply.items)
          if (reply.messageId == 1024 && item.tag == 2051) return "";
      }
      return tktest::answeredOnSocket(got, run);
    };
    const tktest::SweepReport report = sweeper.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
};

TEST_F(FlrFaultSweep, ListingsAndLookupsAlwaysAnswer) {
  const unsigned long long set = seedSet(kClient, true, kClient, "u", "p");
  const int32_t cp = seedCP(static_cast<int32_t>(set), 1, 1);
  const int32_t snap = seedSnapshot(cp, "s", 2);
  seedShare(seedMountPoint(snap, "X:"), "sh");
  testkit::replicadb::seedRepSetVolume(RepSetVolume_t{"A:", "", "c", 1, 1}, 30);
  sweep("consistency points", [&] { return words(kClient, 0, 84); },
        [&](MessageInfo* m) { return handler.onMsgFLRGetCPs(m); }, {}, 11805);
  sweep("snapshots", [&] { return words(kClient, 0, static_cast<uint32_t>(cp)); },
        [&](MessageInfo* m) { return handler.onMsgFLRGetSnaps(m); }, {}, 11809);
  sweep("alternate cache partition", [&] { return words(5); },
        [&](MessageInfo* m) { return handler.onMsgGetAltCachePartitionByPoolId(m); });
  sweep("path lookup", [&] { return stream(StreamBuilder().u32(4106, 2).u32(11808, 30).text(11821, "A:").end()); },
        [&](MessageInfo* m) { return handler.onMsgFindPathRepSet(m); }, {}, 11826);
  sweep("discovery", [&] { return words(kClient); },
        [&](MessageInfo* m) { return handler.onMsgFLRDiscoverApps(m); }, {}, 11801);
  sweep("consistency-point deletion",
        [&] { return stream(StreamBuilder().u32(4106, 2).op(2).u32(11806, static_cast<uint32_t>(cp)).end()); },
        [&](MessageInfo* m) { return handler.onMsgManageFLRCP(m); });
}

TEST_F(FlrFaultSweep, MountsAndUnmountsAlwaysAnswerAndNeverHalfWriteARecord) {
  const unsigned long long set = seedSet(kClient, true, kClient, "u", "p");
  const int32_t cp = seedCP(static_cast<int32_t>(set), 1, 1);
  const int32_t vss = seedSnapshot(cp, "{v}", 2, "E:", "src");
  const int32_t ontap = seedSnapshot(cp, "o", 4, "/vol/v", "filer / v");
  const int32_t mp = seedMountPoint(ontap, "Q:");
  auto mount = [&](int32_t snap, const char* path) {
    return stream(StreamBuilder()
                      .u32(4106, 2)
                      .op(1)
                      .pair(11602, kClient, kClientName)
                      .i32(11810, snap)
                      .text(11811, "n")
                      .pair(11812, 0, path)
                      .text(11821, "E:")
                      .end());
  };
  sweep("VSS mount", [&] { return mount(vss, "X:"); },
        [&](MessageInfo* m) { return handler.onMsgManageFLRSnapshotMount(m); });
  sweep("ONTAP mount", [&] { return mount(ontap, "Y:"); },
        [&](MessageInfo* m) { return handler.onMsgManageFLRSnapshotMount(m); });
  sweep("ONTAP unmount",
        [&] {
          return stream(StreamBuilder()
                            .u32(4106, 2)
                            .op(2)
                            .pair(11602, kClient, kClientName)
                            .i32(11810, ontap)
                            .pair(11812, static_cast<uint32_t>(mp), "Q:")
                            .text(11821, "E:")
                            .end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageFLRSnapshotMount(m); },
        [&] {
          ZQSVCClientSession(kClientHost, kClient).addVolumeMountPoint("d", "Q:", "", "", nullptr, "", 0, 0);
          testkit::clientvol::journal().reset();
        });
}

TEST_F(FlrFaultSweep, SharesAndUnsharesAlwaysAnswerAndNeverHalfWriteARecord) {
  const unsigned long long set = seedSet(kClient, true, kClient, "u", "p");
  const int32_t cp = seedCP(static_cast<int32_t>(set), 1, 1);
  const int32_t vss = seedSnapshot(cp, "v", 2);
  const int32_t ontap = seedSnapshot(cp, "o", 4, "/vol/v", "filer / v", "\\\\filer\\pub");
  const int32_t mp = seedMountPoint(vss, "X:");
  const int32_t share = seedShare(mp, "old");
  sweep("plain share",
        [&] {
          return stream(StreamBuilder()
                            .u32(4106, 2)
                            .op(1)
                            .pair(11602, kClient, kClientName)
                            .pair(11812, static_cast<uint32_t>(mp), "X:")
                            .pair(11813, 0, "new")
                            .u32(11817, 3)
                            .end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageFLRSnapshotNetworkShare(m); });
  sweep("publishing",
        [&] {
          return stream(StreamBuilder()
                            .u32(4106, 2)
                            .op(1)
                            .pair(11602, kClient, kClientName)
                            .pair(11812, 0, "")
                            .pair(11813, 0, "pub2")
                            .u32(11817, 3)
                            .u32(11833, 4)
                            .text(11821, "\\\\filer\\v")
                            .i32(11810, ontap)
                            .end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageFLRSnapshotNetworkShare(m); }, {}, 0,
        // A publishing is a sequence of steps each whole: the mount made on
        // the client keeps its record when the share path cannot be written.
        {"FLRSnapMountPoint", "sqlite_sequence"});
  sweep("plain unshare",
        [&] {
          return stream(StreamBuilder()
                            .u32(4106, 2)
                            .op(2)
                            .pair(11602, kClient, kClientName)
                            .pair(11812, static_cast<uint32_t>(mp), "X:")
                            .pair(11813, static_cast<uint32_t>(share), "old")
                            .end());
        },
        [&](MessageInfo* m) { return handler.onMsgManageFLRSnapshotNetworkShare(m); },
        [&] {
          ZQSVCClientSession(kClientName, kClient).AddCIFSShare("old", "X:", 1, nullptr);
          testkit::clientvol::journal().reset();
        });
}

}  // namespace
}  // namespace flrtest
