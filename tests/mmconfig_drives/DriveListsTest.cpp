// Which objects each list sends, chosen by the handle's kind and the fixed
// payload's selectors and modes: drive pools of a library or a master pool,
// master pools, drive paths of a pool or drive and the short list of any
// object of a library, the children of a library, its empty drive bays and
// the drive ids of a controller. Records are the subject of
// DriveRecordsTest; here the handles (11003) and short items count.
#include <gtest/gtest.h>

#include <functional>

#include "tests/mmconfig_drives/DrivesFixture.h"

namespace {

using drivetest::DriveWorld;
using drivetest::Expected;
using drivetest::Handler;
using drivetest::idText;
using drivetest::Word;
using drivetest::u32Bytes;

// The handles of the 11003 items, in order.
std::vector<unsigned long long> handlesIn(const std::vector<Expected>& items) {
  std::vector<unsigned long long> out;
  for (const Expected& item : items) {
    if (item.tag != 11003 || item.bytes.size() != 8) continue;
    unsigned long long value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(item.bytes[static_cast<size_t>(i)]);
    out.push_back(value);
  }
  return out;
}

class DriveLists : public drivetest::DrivesTest {
 protected:
  void SetUp() override {
    drivetest::DrivesTest::SetUp();
    dw = drivetest::seedDriveWorld(config());
  }
  std::vector<unsigned long long> hs(std::initializer_list<const ZQMACInterface*> objects) const {
    std::vector<unsigned long long> out;
    for (const ZQMACInterface* o : objects) out.push_back(h(o));
    return out;
  }
  DriveWorld dw;
};

TEST_F(DriveLists, TheSelectorAndTheHandleChooseThePoolsListed) {
  struct Case {
    const char* name;
    Handler handler;
    uint32_t replyId;
    const ZQMACInterface* object;
    std::vector<Word> words;
    std::vector<const ZQMACInterface*> expected;
  };
  const ZQMACMasterDrivePool* emptyMaster = ZQMACGraph::AddMasterDrivePool(dw.w.lms, 65, "Empty");
  const Case cases[] = {
      {"pools of a library: selector 0", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017, dw.w.lms, {}, {dw.w.pool1, dw.w.pool2}},
      {"pools of a master pool: selector not 0", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017, dw.w.master,
       {{16, 7}}, {dw.w.pool1, dw.w.pool2}},
      {"selector 0 with a master pool's handle lists nothing", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017,
       dw.w.master, {}, {}},
      {"selector 1 with a library's handle lists nothing", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017, dw.w.lms,
       {{16, 1}}, {}},
      {"the word at 12 does not select pools", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017, dw.w.lms,
       {{12, 1}}, {dw.w.pool1, dw.w.pool2}},
      {"master pools of a library", &EvMMConfigMgr::onMsgGetMMMasterDrivePools, 11014, dw.w.lms, {},
       {dw.w.master, emptyMaster}},
      {"master pools of a drive pool: nothing", &EvMMConfigMgr::onMsgGetMMMasterDrivePools, 11014, dw.w.pool1, {}, {}},
      {"drive paths of a pool", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.pool1, {}, {dw.w.dms11, dw.w.dms21}},
      {"drive paths of a drive", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.drive1, {}, {dw.w.dms11, dw.w.dms12}},
      {"the full list of a library: nothing", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.lms, {}, {}},
      {"short list of a library", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.lms, {{12, 0xFFFFFFFE}},
       {dw.w.dms11, dw.w.dms12, dw.w.dms21, dw.w.dms22}},
      {"short list of the library's controller node", &EvMMConfigMgr::onMsgGetMMDrives, 11022,
       dw.w.lms->GetLibControllerNode(), {{12, 0xFFFFFFFE}}, {dw.w.dms11, dw.w.dms12, dw.w.dms21, dw.w.dms22}},
      {"short list of a master pool: its first pool's paths", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.master,
       {{12, 0xFFFFFFFE}}, {dw.w.dms11, dw.w.dms21}},
      {"short list of a master pool without pools", &EvMMConfigMgr::onMsgGetMMDrives, 11022, emptyMaster,
       {{12, 0xFFFFFFFE}}, {}},
      {"short list of a pool", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.pool2, {{12, 0xFFFFFFFE}},
       {dw.w.dms12, dw.w.dms22}},
      {"short list of a drive", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.drive2, {{12, 0xFFFFFFFE}},
       {dw.w.dms21, dw.w.dms22}},
      {"short list of a disk library: nothing", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.diskLibrary,
       {{12, 0xFFFFFFFE}}, {}},
      {"another mode is the full list", &EvMMConfigMgr::onMsgGetMMDrives, 11022, dw.w.pool1, {{12, 0xFFFFFFFF}},
       {dw.w.dms11, dw.w.dms21}},
      {"unknown handle", &EvMMConfigMgr::onMsgGetMMDrives, 11022, nullptr, {{12, 0xFFFFFFFE}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Expected> items = only(c.handler, c.replyId, c.object == nullptr ? 0xFFFFFFF0ull : h(c.object), c.words);
    std::vector<unsigned long long> expected;
    for (const ZQMACInterface* o : c.expected) expected.push_back(h(o));
    EXPECT_EQ(handlesIn(items), expected);
  }
}

TEST_F(DriveLists, TheShortListSendsIdAndTextOfEachPath) {
  ZQMACGraph::SetDisplayName(dw.w.dms11, "shown name");
  ZQMACGraph::SetTexts(dw.w.dms11, "", "text B 11");
  ZQMACGraph::SetTexts(dw.w.dms21, "", "text B 21");
  const std::vector<Expected> ofMaster =
      only(&EvMMConfigMgr::onMsgGetMMDrives, 11022, h(dw.w.master), {{12, 0xFFFFFFFE}});
  drivetest::expectItems(ofMaster, {{11003, tktest::le64(h(dw.w.dms11))},
                                    {2240, idText(711, "shown name")},
                                    {11150, "text B 11"},
                                    {2052, u32Bytes(0)},
                                    {11003, tktest::le64(h(dw.w.dms21))},
                                    {2240, idText(721, "Drive2 via ma1")},
                                    {11150, "text B 21"},
                                    {2052, u32Bytes(0)}});
  const std::vector<Expected> ofPool = only(&EvMMConfigMgr::onMsgGetMMDrives, 11022, h(dw.w.pool1), {{12, 0xFFFFFFFE}});
  drivetest::expectItems(ofPool, {{11003, tktest::le64(h(dw.w.dms11))},
                                  {2240, idText(711, "text B 11")},
                                  {11150, "text B 11"},
                                  {2052, u32Bytes(0)},
                                  {11003, tktest::le64(h(dw.w.dms21))},
                                  {2240, idText(721, "text B 21")},
                                  {11150, "text B 21"},
                                  {2052, u32Bytes(0)}});
}

TEST_F(DriveLists, TheFullListSendsOnlyTheOwnIdOfAnAcslsDrive) {
  ZQMACGraph::SetAcslsStates(dw.w.controller1, true, false);
  ZQMACGraph::SetACSLSDriveIds(dw.w.agent1, "acs0", {"D-1"});
  testkit::mac::journal().reset();
  const std::vector<Expected> items = only(&EvMMConfigMgr::onMsgGetMMDrives, 11022, h(dw.w.drive1));
  std::vector<std::string> ids;
  for (const Expected& item : items)
    if (item.tag == 11135 || item.tag == 11136) ids.push_back(std::to_string(item.tag) + " " + item.bytes);
  EXPECT_EQ(ids, (std::vector<std::string>{"11135 D-9", "11135 D-9"}));
  // The ACSLS server is not asked for a list it does not send.
  EXPECT_EQ(testkit::mac::journal().count("GetACSLSDriveIDList"), 0u);
}

// ---------------------------------------------------------------- children and bays

std::vector<Expected> nodeRecord(const ZQMACMediaConfig& c, const DriveWorld& dw) {
  return {{11171, idText(5, "TapeLib1")},
          {11003, tktest::le64(c.GetHandle(dw.w.lms->GetLibControllerNode()))},
          {11031, ""},
          {11150, ""},
          {11162, u32Bytes(1)},
          {11116, u32Bytes(101)},
          {2052, u32Bytes(0)}};
}
std::vector<Expected> bays(std::initializer_list<uint32_t> numbers) {
  std::vector<Expected> out;
  for (uint32_t n : numbers) {
    out.push_back({11043, u32Bytes(n)});
    out.push_back({2052, u32Bytes(0)});
  }
  return out;
}

TEST_F(DriveLists, TheChildrenAreTheNodeThenDrivesOrMasterPoolsThenTheEmptyBays) {
  ZQMACGraph::SetGeometry(dw.w.library, ZQMACGraph::LibraryGeometry{1, 4, 40, 7, 0});
  const std::vector<Expected> masters = only(&EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047, h(dw.w.lms));
  ASSERT_EQ(masters.size(), 7u + 9u + 4u);
  drivetest::expectItems(std::vector<Expected>(masters.begin(), masters.begin() + 7), nodeRecord(config(), dw));
  EXPECT_EQ(handlesIn(masters), hs({dw.w.lms->GetLibControllerNode(), dw.w.master}));
  EXPECT_EQ(masters[8].tag, 8235u);
  drivetest::expectItems(std::vector<Expected>(masters.end() - 4, masters.end()), bays({3, 4}));

  const std::vector<Expected> drives =
      only(&EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047, h(dw.w.lms), {{16, 2}});
  EXPECT_EQ(handlesIn(drives), hs({dw.w.lms->GetLibControllerNode(), dw.w.drive1, dw.w.drive2}));
  drivetest::expectItems(std::vector<Expected>(drives.end() - 4, drives.end()), bays({3, 4}));

  // A stand-alone unit has no controller node.
  ZQMACGraph::SetStandAlone(dw.w.library, true);
  const std::vector<Expected> alone = only(&EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047, h(dw.w.lms));
  EXPECT_EQ(handlesIn(alone), hs({dw.w.master}));
  EXPECT_EQ(alone.front().tag, 11003u);
}

TEST_F(DriveLists, EmptyBaysRunFromOneToTheDriveCountAndFollowTheStandAloneRule) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<Expected> expected;
  };
  ZQMACLibrary* library = dw.w.library;
  ZQMACMediaConfig& c = config();
  DriveWorld& world = dw;
  const Case cases[] = {
      {"drive count 6 with drives 1 and 2", [&] { ZQMACGraph::SetGeometry(library, {1, 6, 40, 7, 0}); },
       bays({3, 4, 5, 6})},
      {"drive count 0", [&] { ZQMACGraph::SetGeometry(library, {1, 0, 40, 7, 0}); }, {}},
      {"a negative drive count", [&] { ZQMACGraph::SetGeometry(library, {1, -3, 40, 7, 0}); }, {}},
      {"a drive numbered 3 fills bay 3", [&] {
         ZQMACGraph::SetGeometry(library, {1, 4, 40, 7, 0});
         ZQMACGraph::SetDriveNumber(world.w.drive2, 3);
       }, bays({2, 4})},
      {"stand-alone with drives lists no bay", [&] {
         ZQMACGraph::SetGeometry(library, {1, 4, 40, 7, 0});
         ZQMACGraph::SetStandAlone(library, true);
       }, {}},
      {"stand-alone without drives lists every bay", [&] {
         ZQMACGraph::SetGeometry(library, {1, 2, 40, 7, 0});
         ZQMACGraph::SetStandAlone(library, true);
         c.DeleteObject(world.w.drive1);
         c.DeleteObject(world.w.drive2);
       }, bays({1, 2})},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    config().ClearObjects();
    dw = drivetest::seedDriveWorld(config());
    library = dw.w.library;
    k.arrange();
    drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetMMEmptyDrives, 11045, h(dw.w.lms)), k.expected);
  }
}

TEST_F(DriveLists, TheDriveIdListIsWhatTheControllersAgentReports) {
  ZQMACGraph::SetACSLSDriveIds(dw.w.agent1, "acs0", {"D-1", "D-2"});
  testkit::mac::journal().reset();
  drivetest::expectItems(only(&EvMMConfigMgr::onMsgGetDriveIdList, 11224, h(dw.w.controller1)),
                         {{11136, "D-1"}, {11136, "D-2"}});
  const auto calls = testkit::mac::journal().calls("GetACSLSDriveIDList");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"ma1", "VendorCo", "Changer X", "acs0"}));

  SCOPED_TRACE("no ids, another kind of object, a controller without agent, a failed query");
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetDriveIdList, 11224, h(dw.w.controller2)).empty());
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetDriveIdList, 11224, h(dw.w.lms)).empty());
  ZQMACLibController* lonely = ZQMACGraph::AddLibController(dw.w.lms, nullptr, 59, "no agent");
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetDriveIdList, 11224, h(lonely)).empty());
  testkit::mac::failNext("GetACSLSDriveIDList", 5, "the ACSLS server does not answer");
  EXPECT_TRUE(only(&EvMMConfigMgr::onMsgGetDriveIdList, 11224, h(dw.w.controller1)).empty());
  EXPECT_EQ(dw.w.agent1->GetLastError(), "the ACSLS server does not answer");
}

}  // namespace
