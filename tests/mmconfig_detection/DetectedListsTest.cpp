// The detected listings: the library controllers (reply 11097) and drive
// paths (reply 11099) of the media agents chosen for detection, exact item
// by item, with names chosen twice, agents of another installation, a
// console that does not hold the session, and the chosen names rewritten
// by another thread while listings run.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/mmconfig_detection/DetectionFixture.h"
#include "tests/support/FaultSweep.h"

namespace {

using dettest::concat;
using dettest::Item;

class DetectedLists : public dettest::DetectionTest {
 protected:
  void SetUp() override {
    DetectionTest::SetUp();
    ZQMACGraph::SetTexts(m_w.controller1, "", "ctl one");
    ZQMACGraph::SetTexts(m_w.controller2, "", "ctl two");
    ZQMACGraph::SetTexts(m_w.dms11, "", "path 11");
    ZQMACGraph::SetTexts(m_w.dms21, "", "path 21");
    ZQMACGraph::SetTexts(m_w.dms12, "", "path 12");
    ZQMACGraph::SetTexts(m_w.dms22, "", "path 22");
    ZQMACGraph::SetPropertyD(m_w.controller1, 0x11223344u);
    ZQMACGraph::SetPropertyD(m_w.dms21, 5);
    ZQMACGraph::SetConfigured(m_w.controller1, true);
    ZQMACGraph::SetConfigured(m_w.controller2, false);
    ZQMACGraph::SetConfigured(m_w.dms11, true);
    ZQMACGraph::SetConfigured(m_w.dms21, false);
    ZQMACGraph::SetShownFlag(m_w.dms21, false);
  }
  std::vector<Item> controller1() { return record(m_w.controller1, 8215, "ctl one", 0x11223344u, true, 210); }
  std::vector<Item> controller2() { return record(m_w.controller2, 8215, "ctl two", 0, true, 211); }
  std::vector<Item> agent1Paths() {
    return concat({record(m_w.dms11, 2240, "path 11", 0, true, 40), record(m_w.dms21, 2240, "path 21", 5, false, 41)});
  }
};

// The instance's agent order rules, not the order of the chosen names.
TEST_F(DetectedLists, ChosenAgentsListTheirControllersAndDrivePathsItemByItemInInstanceOrder) {
  const struct {
    std::vector<std::string> chosen;
    std::vector<Item> libraries;
    std::vector<Item> drives;
  } cases[] = {
      {{}, {}, {}},
      {{"ma1"}, controller1(), agent1Paths()},
      {{"ma2", "ma1", "ma1"}, concat({controller1(), controller1(), controller2()}),
       concat({agent1Paths(), agent1Paths(), record(m_w.dms12, 2240, "path 12", 0, true, 41),
               record(m_w.dms22, 2240, "path 22", 0, true, 41)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.chosen));
    if (!c.chosen.empty()) dettest::chooseAgents(c.chosen);
    dettest::expectItems(detectedLibraries(m_a), c.libraries);
    dettest::expectItems(detectedDrives(m_a), c.drives);
  }
}

TEST_F(DetectedLists, ForeignAgentsAndNamesThatDifferInCaseOrAreUnknownAreNotListed) {
  ZQMACGraph::SetForeign(m_w.agent2, true);
  const std::vector<std::vector<std::string>> cases = {{"ma2"}, {"MA1"}, {"ma1 "}, {"nobody"}, {""}};
  for (const auto& names : cases) {
    SCOPED_TRACE(names[0]);
    dettest::chooseAgents(names);
    dettest::expectItems(detectedLibraries(m_a), {});
    dettest::expectItems(detectedDrives(m_a), {});
  }
  dettest::chooseAgents({"ma2", "ma1"});
  dettest::expectItems(detectedLibraries(m_a), controller1());
}

TEST_F(DetectedLists, AConsoleWithoutTheSessionGetsEmptyBlocks) {
  dettest::chooseAgents({"ma1"});
  for (const bool drives : {false, true}) {
    SCOPED_TRACE(drives);
    auto request = m_b.request(dettest::kSequence, 0, kUser);
    EXPECT_TRUE(drives ? m_mgr.onMsgGetMMDetectedDrives(request.get()) : m_mgr.onMsgGetMMDetectedLibraries(request.get()));
    const std::vector<tkwire::Reply> replies = m_b.replies();
    ASSERT_FALSE(replies.empty());
    // Behind the notice that its session was taken over: an empty block.
    EXPECT_EQ(replies.back().messageId, drives ? dettest::kReplyDetectedDrives : dettest::kReplyDetectedLibraries);
    EXPECT_TRUE(replies.back().items.empty());
  }
}

TEST_F(DetectedLists, ListingsStaySoundWhileAnotherThreadRewritesTheChosenNames) {
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    while (!stop.load()) {
      dettest::chooseAgents({"ma1", "ma2", "ma1"});
      tkmm::detectAgents::clear();
    }
  });
  for (int i = 0; i < 200; ++i) {
    const std::vector<Item> items = detectedLibraries(m_a);
    // Whole records only: six items each.
    EXPECT_EQ(items.size() % 6, 0u);
  }
  stop.store(true);
  writer.join();
}

TEST_F(DetectedLists, EveryFailingPlatformCallStillAnswersTheConsole) {
  dettest::chooseAgents({"ma1", "ma2"});
  for (const bool drives : {false, true}) {
    SCOPED_TRACE(drives ? "drives" : "libraries");
    tktest::FaultSweep sweep;
    tktest::SweepPlan plan;
    plan.setup = [&] { m_a.replies(); };
    plan.request = [&] {
      auto request = m_a.request(dettest::kSequence, 0, kUser);
      if (drives)
        m_mgr.onMsgGetMMDetectedDrives(request.get());
      else
        m_mgr.onMsgGetMMDetectedLibraries(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::vector<tkwire::Reply> replies = m_a.replies();
      const uint32_t id = drives ? dettest::kReplyDetectedDrives : dettest::kReplyDetectedLibraries;
      for (const tkwire::Reply& reply : replies)
        if (reply.messageId == id) return reply.sequence == dettest::kSequence ? "" : "another sequence";
      return tktest::answeredOnSocket(replies, run);
    };
    const tktest::SweepReport report = sweep.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
