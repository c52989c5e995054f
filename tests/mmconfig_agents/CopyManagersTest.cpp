// The copy-manager requests: the shown devices, a device's controllers, the
// records of both, the rename and concurrency-limit change of a device and
// the software copy manager added to a media agent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/mmconfig_agents/AgentsFixture.h"

namespace {

using agenttest::idText;
using agenttest::Items;
using agenttest::Message;
using agenttest::operationResponse;
using agenttest::text;
using tktest::le32;
using tktest::le64;

class CopyManagers : public agenttest::AgentsTest {
 protected:
  void SetUp() override {
    AgentsTest::SetUp();
    m_device = m_world.copyDevice;
    ZQMACGraph::SetDisplayName(m_device, "Copy manager 1");
    ZQMACGraph::SetTexts(m_device, "CM text A", "CM text B");
    ZQMACGraph::SetDeviceIdentity(m_device, {"CMVendor", "CMProduct", "SN9", "2.1", "array", 0});
    ZQMACGraph::SetConcurrencyLimit(m_device, 4);
    ZQMACGraph::SetTexts(m_world.copyController, "ctl A", "ctl B");
    ZQMACGraph::SetCopyManagerTexts(m_world.copyController, "cm-41", "unit 0:1:2");
    m_second = ZQMACGraph::AddCopyMgrController(m_device, m_world.agent2, 432, "CopyMgr1 on ma2");
    ZQMACCopyMgrDevice* hidden = ZQMACGraph::AddCopyMgrDevice(config(), 45, "Hidden");
    ZQMACGraph::SetShownFlag(hidden, false);
  }
  Items deviceRecord() const {
    return {{11119, idText(43, "Copy manager 1")},
            {11031, "CM text A"},
            {11126, idText(0, "CMVendor")},
            {11127, idText(0, "CMProduct")},
            {11128, "SN9"},
            {11129, "2.1"},
            {11130, "array"},
            {11120, le32(4)},
            {11150, "CM text B"},
            {11162, le32(1)},
            {11116, le32(251)},
            {2052, le32(0)}};
  }
  std::vector<Message> setDevice(const tktest::StreamBuilder& s, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetMMCMDevice, s, expected);
  }
  std::vector<Message> addCopyManager(const tktest::StreamBuilder& s, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetMMCMController, s, expected);
  }

  ZQMACCopyMgrDevice* m_device = nullptr;
  ZQMACCopyMgrController* m_second = nullptr;
};

TEST_F(CopyManagers, TheShownDevicesAreListedWithTheirRecords) {
  Items expected = {{11003, le64(handleOf(m_device))}};
  const Items record = deviceRecord();
  expected.insert(expected.end(), record.begin(), record.end());
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMCMDevices, 11118, 0), expected);
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMCMDeviceProperties, 11118, handleOf(m_device)), record);
}

TEST_F(CopyManagers, TheControllersOfADeviceAreListedWithTheirAgents) {
  const Items first = {{11123, idText(431, "CopyMgr1 on ma1")},
                       {11031, "ctl A"},
                       {2048, idText(2, "ma1")},
                       {11131, idText(0, "cm-41")},
                       {11095, "unit 0:1:2"},
                       {11150, "ctl B"},
                       {11162, le32(1)},
                       {11116, le32(261)},
                       {2052, le32(0)}};
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMCMControllerProperties, 11122, handleOf(m_world.copyController)), first);
  const Items list = get(&EvMMConfigMgr::onMsgGetMMCMControllers, 11122, handleOf(m_device));
  ASSERT_EQ(list.size(), 20u);
  EXPECT_EQ(list[0], (std::pair<uint32_t, std::string>{11003, le64(handleOf(m_world.copyController))}));
  EXPECT_EQ(Items(list.begin() + 1, list.begin() + 10), first);
  EXPECT_EQ(list[10], (std::pair<uint32_t, std::string>{11003, le64(handleOf(m_second))}));
  EXPECT_EQ(list[13], (std::pair<uint32_t, std::string>{2048, idText(3, "ma2")}));
}

TEST_F(CopyManagers, AHandleOfAnotherKindGivesAnEmptyBlock) {
  for (unsigned long long h : {0ull, handleOf(m_world.lms), handleOf(m_world.agent1), 0x1FFFFFFFFull}) {
    SCOPED_TRACE(h);
    EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMCMDeviceProperties, 11118, h).empty());
    EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMCMControllers, 11122, h).empty());
    EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMCMControllerProperties, 11122, h).empty());
  }
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMCMControllers, 11122, handleOf(m_world.copyController)).empty());
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMCMControllerProperties, 11122, handleOf(m_device)).empty());
}

TEST_F(CopyManagers, TheDeviceIsRenamedAndItsLimitSet) {
  EXPECT_EQ(setDevice(stream().op(3).handle(handleOf(m_device)).pair(11119, 0, "CM-renamed").u32(11167, 9).end(), true),
            (std::vector<Message>{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_device->GetName(), "CM-renamed");
  EXPECT_EQ(m_device->GetConcurrencyLimit(), 9);
  SCOPED_TRACE("neither element, and an unknown device: nothing changes");
  EXPECT_EQ(setDevice(stream().op(3).handle(handleOf(m_world.lms)).u32(11167, 2).end(), true),
            (std::vector<Message>{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(m_device->GetConcurrencyLimit(), 9);
}

TEST_F(CopyManagers, ARefusedStepLeavesTheDeviceAsItWas) {
  testkit::mac::failNext("SetConcurrencyLimit", 0x1F000077, "limit refused");
  EXPECT_EQ(setDevice(stream().op(3).handle(handleOf(m_device)).pair(11119, 0, "CM-renamed").u32(11167, 9).end(), false),
            (std::vector<Message>{operationResponse(3, 0, "limit refused")}));
  EXPECT_EQ(m_device->GetName(), "CopyMgr1");
  EXPECT_EQ(m_device->GetConcurrencyLimit(), 4);
  SCOPED_TRACE("a refused rename does not set the limit");
  EXPECT_EQ(setDevice(stream().op(3).handle(handleOf(m_device)).pair(11119, 0, "").u32(11167, 9).end(), false).size(),
            1u);
  EXPECT_EQ(m_device->GetConcurrencyLimit(), 4);
  EXPECT_EQ(setDevice(stream().op(3).end(), false),
            (std::vector<Message>{operationResponse(3, 0, text(0x240001F3))}));
}

TEST_F(CopyManagers, ASoftwareCopyManagerIsAddedToTheNamedAgent) {
  EXPECT_EQ(addCopyManager(stream().op(1).u32(4106, 1).pair(2048, 0, "ma2").u32(11167, 3).end(), true),
            (std::vector<Message>{operationResponse(1, 1, "Success")}));
  const auto calls = testkit::mac::journal().calls("AddSoftwareCopyManager");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(handleOf(m_world.agent2)), "3"}));
  EXPECT_EQ(m_world.agent2->GetCopyMgrControllerList().GetListCount(), 2);

  EXPECT_EQ(addCopyManager(stream().op(1).u32(4106, 1).pair(2048, 0, "nobody").u32(11167, 3).end(), false),
            (std::vector<Message>{operationResponse(1, 0, "Failed to get mediaagent nobody")}));
  struct Case {
    const char* missing;
    tktest::StreamBuilder request;
  };
  const Case cases[] = {
      {"4106", stream().op(1).pair(2048, 0, "ma2").u32(11167, 3).end()},
      {"2048", stream().op(1).u32(4106, 1).u32(11167, 3).end()},
      {"11167", stream().op(1).u32(4106, 1).pair(2048, 0, "ma2").end()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.missing);
    EXPECT_EQ(addCopyManager(c.request, false), (std::vector<Message>{operationResponse(1, 0, text(0x240001F3))}));
  }
  testkit::mac::failNext("AddSoftwareCopyManager", 0x1F000077, "no room");
  EXPECT_EQ(addCopyManager(stream().op(1).u32(4106, 1).pair(2048, 0, "ma1").u32(11167, 3).end(), false),
            (std::vector<Message>{operationResponse(1, 0, "no room")}));
  EXPECT_EQ(testkit::mac::journal().calls("AddSoftwareCopyManager").size(), 2u);
}

}  // namespace
