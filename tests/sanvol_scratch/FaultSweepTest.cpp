// Every SnapVault and scratch-volume request under the fault sweep: made
// once for each platform call failing in turn. Every run must end with an
// answer on the client's socket (a status reply, an operation reply, or the
// listing when the failed call only lost a log line or a name), and leave
// the database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/sanvol_scratch/ScratchFixture.h"
#include "tests/support/FaultSweep.h"

namespace scratchtest {
namespace {

class ScratchFaultSweep : public ScratchTest {
 protected:
  // `listing`: the reply id a run may end with instead of a status (0: none).
  void sweep(const char* name, const std::function<std::unique_ptr<MessageInfo>()>& make,
             const std::function<long long(MessageInfo*)>& call, uint32_t listing = 0) {
    SCOPED_TRACE(name);
    tktest::FaultSweep sweeper;
    tktest::SweepPlan plan;
    plan.request = [&] {
      auto request = make();
      call(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const auto got = replies();
      for (const auto& reply : got) {
        if (listing != 0 && reply.messageId == listing) return "";
        // An add's success reply carries the new id after its status.
        if (reply.messageId == 1024 && reply.items.size() == 3 && reply.items[1].tag == 2051) return "";
      }
      return tktest::answeredOnSocket(got, run);
    };
    const tktest::SweepReport report = sweeper.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
  std::function<std::unique_ptr<MessageInfo>()> pools(StreamBuilder builder) {
    return [this, builder] { return stream(builder); };
  }
  const std::function<long long(MessageInfo*)> managePool = [this](MessageInfo* m) {
    return handler.onMsgManageRVScratchVolumePools(m);
  };
  const std::function<long long(MessageInfo*)> manageVolume = [this](MessageInfo* m) {
    return handler.onMsgManageRVScratchVolumes(m);
  };
};

TEST_F(ScratchFaultSweep, HostListingAndReleaseAlwaysAnswerAndNeverHalfChange) {
  addClient(7, "c7");
  ASSERT_EQ(testkit::client::installPackage(7, 1031), 0);
  sweep("hosts", [&] { return words(0); }, [&](MessageInfo* m) { return handler.onMsgGetSnapVaultCapableHosts(m); },
        11601);
  const Vault v = seedVault(3);
  seedSource(v, "a");
  seedSource(v, "raw", 8, 11);
  sweep("release", pools(body().op(12).u32(11624, static_cast<uint32_t>(v.scratch)).end()), manageVolume);
}

TEST_F(ScratchFaultSweep, PoolAndScratchVolumeRequestsAlwaysAnswerAndNeverHalfChange) {
  addClient(7, "c7");
  const int32_t pool = seedPool(1);
  const int32_t volume = seedVolume(2, "listed");
  seedDevice(volume, 7, "/dev/l");
  const int32_t scratch = seedScratch(volume, pool);
  const int32_t free = seedVolume(1, "free");
  const uint32_t p = static_cast<uint32_t>(pool);
  sweep("pools", [&] { return words(0); }, [&](MessageInfo* m) { return handler.onMsgGetRVScratchVolumePools(m); },
        11622);
  sweep("scratch volumes", [&] { return words(0xFFFFFFFFu); },
        [&](MessageInfo* m) { return handler.onMsgGetRVScratchVolumes(m); }, 11638);
  sweep("add pool", pools(body().op(1).pair(11625, 0, "n").u32(11740, 3).end()), managePool);
  sweep("update pool", pools(body().op(3).pair(11625, p, "m").pair(11643, 2, "").end()), managePool);
  sweep("pool cost", pools(body().op(83).pair(11625, p, "").u32(11730, 4).end()), managePool);
  sweep("delete pool", pools(body().op(2).pair(11625, static_cast<uint32_t>(seedPool(1)), "").end()), managePool);
  sweep("add volume", pools(body().op(1).u32(11618, static_cast<uint32_t>(free)).pair(11625, p, "").end()),
        manageVolume);
  sweep("volume cost", pools(body().op(83).u32(11618, static_cast<uint32_t>(volume)).u32(11730, 4).end()),
        manageVolume);
  sweep("remove volume", pools(body().op(2).u32(11624, static_cast<uint32_t>(scratch)).end()), manageVolume);
}

}  // namespace
}  // namespace scratchtest
