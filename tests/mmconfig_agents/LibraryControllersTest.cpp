// The library-controller requests: the list of a library's controllers, one
// controller's record in its full and short forms, and the change that
// moves a controller onto another controller's SCSI bus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "tests/mmconfig_agents/AgentsFixture.h"

namespace {

using agenttest::idText;
using agenttest::Items;
using agenttest::Message;
using agenttest::operationResponse;
using tktest::le32;

constexpr uint32_t kReply = tktag::kReplyLibraryControllers;

class LibraryControllers : public agenttest::AgentsTest {
 protected:
  void SetUp() override {
    AgentsTest::SetUp();
    auto& w = m_world;
    ZQMACGraph::SetGeometry(w.library, ZQMACGraph::LibraryGeometry{1, 6, 40, 7, 0});
    ZQMACGraph::SetLibraryAlias(w.library, "TL1-alias");
    ZQMACGraph::SetDeviceIdentity(w.library, {"VendorCo", "Changer X", "SN123", "1.0", "unit", 77});
    ZQMACGraph::SetLibraryAttribute(w.library, 5);
    ZQMACGraph::SetBarCodeReaderFlag(w.library, true);
    ZQMACGraph::SetDoorLock(w.library, true);
    ZQMACGraph::SetLibraryFlags(w.library, true, false, true, false);
    ZQMACGraph::SetAutoDiscover(w.lms, true);
    ZQMACGraph::SetOSId(w.agent1, 0x100000007ll);
    ZQMACGraph::SetDetected(w.agent1, true);
    ZQMACGraph::SetConfigured(w.controller1, true);
    ZQMACGraph::SetTexts(w.controller1, "Ctl A", "Ctl B");
    ZQMACGraph::SetPropertyC(w.controller1, 9);
    ZQMACGraph::SetUnitAddress(w.controller1, {"ma1 /dev/sg1", 3, 2, true});
    ZQMACGraph::SetUnitHostName(w.controller1, "filer.example.net");
    ZQMACGraph::SetStateB(w.dms12, true);  // one drive path pending
    // Further controllers of ma1: the same library (listed), another
    // library, and a stand-alone unit of the same identity (neither listed).
    m_sibling = ZQMACGraph::AddLibController(w.lms, w.agent1, 53, "TapeLib1 second path");
    ZQMACGraph::SetUnitAddress(m_sibling, {"ma1 /dev/sg2", 4, 1, true});
    ZQMACLms* other = ZQMACGraph::AddLms(config(), 6, "TapeLib2");
    ZQMACGraph::SetUnitAddress(ZQMACGraph::AddLibController(other, w.agent1, 54, "other"), {"ma1 /dev/sg3", 0, 1, true});
    ZQMACLms* single = ZQMACGraph::AddLms(config(), 7, "Single");
    ZQMACGraph::SetDeviceIdentity(single->GetLibrary(), {"VendorCo", "Changer X", "SN123", "", "", 0});
    ZQMACGraph::SetStandAlone(single->GetLibrary(), true);
    ZQMACGraph::SetUnitAddress(ZQMACGraph::AddLibController(single, w.agent1, 55, "single"), {"ma1 /dev/st0", 0, 1, true});
  }

  // Rows 1 to 20 of controller1's record.
  Items libraryPart(uint32_t controllerId, unsigned long long handle, const std::string& controllerText,
                    uint32_t address, uint32_t controllerType) const {
    return {{8215, idText(controllerId, "TapeLib1")},
            {8081, le32(7)},
            {8251, "TL1-alias"},
            {2220, idText(0, "VendorCo")},
            {2221, idText(0, "Changer X")},
            {8213, "SN123"},
            {11005, "1.0"},
            {11006, "unit"},
            {11008, le32(address)},
            {11009, le32(2)},
            {11115, le32(controllerType)},
            {11164, le32(1)},
            {11177, le32(1)},
            {11414, le32(1)},
            {11415, le32(0)},
            {11430, le32(1)},
            {11431, le32(0)},
            {11416, le32(5)},
            {11179, le32(1)},
            {11007, idText(low32(handle), controllerText)}};
  }

  ZQMACLibController* m_sibling = nullptr;
};

TEST_F(LibraryControllers, AControllerWithAnAgentSendsTheFullRecordOfThirtySevenItems) {
  const unsigned long long h = handleOf(m_world.controller1);
  Items expected = libraryPart(51, h, "ma1 /dev/sg1", 3, 2);
  const Items tail = {{11031, "Ctl A"},
                      {2048, idText(2, "ma1")},
                      {11030, le32(7)},
                      {11058, "filer.example.net"},
                      {11007, idText(low32(handleOf(m_sibling)), "ma1 /dev/sg2")},
                      {11158, le32(1)},
                      {11157, le32(0)},
                      {11159, le32(6)},
                      {11160, le32(0)},
                      {11010, le32(77)},
                      {11053, le32(9)},
                      {11078, std::string(8, '\0')},
                      {11149, le32(0)},
                      {11162, le32(1)},
                      {11116, le32(210)},
                      {11150, "Ctl B"},
                      {2052, le32(0)}};
  expected.insert(expected.end(), tail.begin(), tail.end());
  ASSERT_EQ(expected.size(), 37u);
  agenttest::expectItems(get(&EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, kReply, h), expected);
}

TEST_F(LibraryControllers, AControllerWithoutAnAgentSendsTheShortRecord) {
  ZQMACLibController* lone = ZQMACGraph::AddLibController(m_world.lms, nullptr, 56, "no agent");
  ZQMACGraph::SetTexts(lone, "", "lone");
  ZQMACGraph::SetDetectedType(lone, 4);  // not configured: the detected type
  Items expected = libraryPart(56, handleOf(lone), "", 1, 0);
  expected[1].second = le32(4);
  expected.push_back({11150, "lone"});
  expected.push_back({2052, le32(0)});
  agenttest::expectItems(get(&EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, kReply, handleOf(lone)), expected);
}

TEST_F(LibraryControllers, ANamelessAgentAndStateBSendAllOnesForOsAndPendingPaths) {
  ZQMACGraph::SetName(m_world.agent2, "");
  ZQMACGraph::SetStateB(m_world.controller2, true);
  const Items items = get(&EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, kReply, handleOf(m_world.controller2));
  ASSERT_GE(items.size(), 26u);
  EXPECT_EQ(items[21], (std::pair<uint32_t, std::string>{2048, idText(3, "")}));
  EXPECT_EQ(items[22], (std::pair<uint32_t, std::string>{11030, le32(0xFFFFFFFF)}));
  // No unit host, no further controllers (not configured): 11158 follows.
  EXPECT_EQ(items[23], (std::pair<uint32_t, std::string>{11158, le32(0xFFFFFFFF)}));
}

TEST_F(LibraryControllers, TheListSendsEachControllerOfTheLibraryWithItsHandleInOrder) {
  const Items items = get(&EvMMConfigMgr::onMsgGetMMLibraryControllers, kReply, handleOf(m_world.lms));
  std::vector<std::string> handles;
  std::size_t ends = 0;
  for (const auto& [tag, bytes] : items) {
    if (tag == 11003) handles.push_back(bytes);
    if (tag == 2052) ++ends;
  }
  EXPECT_EQ(handles, (std::vector<std::string>{tktest::le64(handleOf(m_world.controller1)),
                                               tktest::le64(handleOf(m_world.controller2)),
                                               tktest::le64(handleOf(m_sibling))}));
  EXPECT_EQ(ends, 3u);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items[0].first, 11003u);
}

TEST_F(LibraryControllers, AHandleOfAnotherKindOrOfNothingGivesAnEmptyBlock) {
  const unsigned long long handles[] = {0, 0xFFFFFFFFull, 0x100000000ull + handleOf(m_world.lms),
                                        handleOf(m_world.agent1), handleOf(m_world.drive1), handleOf(m_world.library)};
  for (unsigned long long h : handles) {
    SCOPED_TRACE(h);
    EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMLibraryControllers, kReply, h).empty());
    EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, kReply, h).empty());
  }
  // A controller is no library, a library no controller.
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMLibraryControllers, kReply, handleOf(m_world.controller1)).empty());
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, kReply, handleOf(m_world.lms)).empty());
}

// ---------------------------------------------------------------- change

class ControllerChange : public LibraryControllers {
 protected:
  std::vector<Message> change(const tktest::StreamBuilder& s, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetMMLibraryController, s, expected);
  }
  tktest::StreamBuilder modify() const { return stream().op(3).handle(handleOf(m_world.controller1)); }
  std::vector<std::vector<std::string>> busCalls() const {
    std::vector<std::vector<std::string>> out;
    for (const auto& call : testkit::mac::journal().calls("UpdateSCSIBus")) out.push_back(call.args);
    return out;
  }
};

TEST_F(ControllerChange, TheControllerIdOfTheRecordComesBackAsTheSourceOfTheChange) {
  const Items record =
      get(&EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, kReply, handleOf(m_world.controller2));
  ASSERT_EQ(record[19].first, 11007u);
  const uint32_t sourceId = ctltest::wordOf(record[19].second);
  EXPECT_EQ(change(modify().u32(4108, 5).pair(11007, sourceId, "ignored", true).end(), true),
            (std::vector<Message>{operationResponse(3, 1, "Success")}));
  EXPECT_EQ(busCalls(), (std::vector<std::vector<std::string>>{
                            {std::to_string(handleOf(m_world.controller1)), std::to_string(handleOf(m_world.controller2))}}));
}

TEST_F(ControllerChange, RecordsThatChangeNothingAnswerSuccess) {
  SCOPED_TRACE("no 11007, then an unknown controller");
  EXPECT_EQ(change(modify().end().handle(handleOf(m_world.lms)).pair(11007, low32(handleOf(m_world.controller2)), "").end(), true),
            (std::vector<Message>{operationResponse(3, 1, "Success"), operationResponse(3, 1, "Success")}));
  EXPECT_TRUE(busCalls().empty());
}

TEST_F(ControllerChange, ASourceThatNamesNoLiveControllerIsRefusedAndChangesNothing) {
  for (uint32_t source : {0u, low32(handleOf(m_world.lms)), low32(handleOf(m_world.agent1)), 0xFFFFFFFFu}) {
    SCOPED_TRACE(source);
    EXPECT_EQ(change(modify().pair(11007, source, "").end().op(4).end(), false),
              (std::vector<Message>{operationResponse(3, 0, "source controller not found")}));
  }
  EXPECT_TRUE(busCalls().empty());
}

TEST_F(ControllerChange, ARefusedMoveAnswersTheControllersLastError) {
  testkit::mac::failNext("UpdateSCSIBus", 0x1F000077, "bus busy");
  EXPECT_EQ(change(modify().pair(11007, low32(handleOf(m_world.controller2)), "").end(), false),
            (std::vector<Message>{operationResponse(3, 0, "bus busy")}));
}

TEST_F(ControllerChange, AMissingHandleOrAnotherOperationIsRefused) {
  EXPECT_EQ(change(stream().op(3).end(), false),
            (std::vector<Message>{operationResponse(3, 0, agenttest::text(0x240001F3))}));
  EXPECT_EQ(change(stream().op(1).handle(handleOf(m_world.controller1)).end(), false),
            (std::vector<Message>{agenttest::statusReply(0, "Received invalid operation type")}));
  EXPECT_TRUE(busCalls().empty());
}

}  // namespace
