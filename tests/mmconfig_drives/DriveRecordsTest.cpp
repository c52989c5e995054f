// The records of master drive pools, drive pools, drives and drive paths
// item by item, to the byte, one table per record kind. Each row seeds the
// drive world afresh, changes what it is about and asks for the record of
// one object through its property request.
#include <gtest/gtest.h>

#include <functional>

#include "tests/mmconfig_drives/DrivesFixture.h"

namespace {

using drivetest::DriveWorld;
using drivetest::Expected;
using drivetest::Handler;
using drivetest::idText;
using drivetest::join;
using drivetest::low32;
using drivetest::tail;
using drivetest::u32Bytes;

struct Case {
  const char* name;
  // Changes the world; returns the object asked for.
  std::function<ZQMACInterface*(ZQMACMediaConfig&, DriveWorld&)> arrange;
  std::function<std::vector<Expected>(const ZQMACMediaConfig&, const DriveWorld&)> expected;
};

class DriveRecords : public drivetest::DrivesTest {
 protected:
  void runTable(Handler handler, uint32_t replyId, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      config().ClearObjects();
      DriveWorld dw = drivetest::seedDriveWorld(config());
      ZQMACInterface* object = c.arrange(config(), dw);
      const std::vector<Expected> expected = c.expected(config(), dw);
      drivetest::expectItems(only(handler, replyId, h(object)), expected);
    }
  }
};

// ---------------------------------------------------------------- master pools

TEST_F(DriveRecords, AMasterPoolRecordCarriesItsIdItsTextItsDrivesAndTheHeader) {
  runTable(&EvMMConfigMgr::onMsgGetMMMasterDrivePoolProperties, 11014,
           {{"master pool over both pools (four drive paths)",
             [](ZQMACMediaConfig&, DriveWorld& dw) { return dw.w.master; },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join({{8235, idText(60, "MDP1")}, {11031, "Master one"}, {8236, u32Bytes(4)}}, tail(21, "master"));
             }},
            {"master pool without pools counts no drive",
             [](ZQMACMediaConfig&, DriveWorld& dw) { return ZQMACGraph::AddMasterDrivePool(dw.w.lms, 65, "Empty"); },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join({{8235, idText(65, "Empty")}, {11031, ""}, {8236, u32Bytes(0)}}, tail(21));
             }}});
}

// ---------------------------------------------------------------- drive pools

std::vector<Expected> poolHead() {
  return {{8061, idText(61, "DP_ma1")}, {11031, "Pool one"}, {2049, idText(5, "TapeLib1")},
          {2048, idText(2, "ma1")},     {11030, u32Bytes(7)}};
}
std::vector<Expected> poolRest(uint32_t type = 0) {
  return join({{11018, u32Bytes(2)},
               {8227, idText(type, "")},
               {11095, ""},
               {11132, u32Bytes(431)},
               {11123, idText(431, "CopyMgr1 on ma1")},
               {11217, u32Bytes(44)},
               {11218, idText(44, "Gold")}},
              tail(31, "pool"));
}

TEST_F(DriveRecords, ADrivePoolRecordCarriesLibraryAgentChoicesAndHeaderInOrder) {
  runTable(&EvMMConfigMgr::onMsgGetMMDrivePoolProperties, 11017,
           {{"pool of ma1 with its copy manager and cost category",
             [](ZQMACMediaConfig&, DriveWorld& dw) { return dw.w.pool1; },
             [](const ZQMACMediaConfig&, const DriveWorld&) { return join(poolHead(), poolRest()); }},
            {"an NDMP pool sends its proxy client host after the OS id",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               dw.w.pool1->SetType(3);
               ZQMACGraph::SetProxyClientHost(dw.w.pool1, "proxy1");
               return dw.w.pool1;
             },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join(join(poolHead(), {{11019, idText(0, "proxy1")}}), poolRest(3));
             }},
            {"a copy-manager controller that is not shown is not offered",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACGraph::SetShownFlag(dw.w.copyController, false);
               return dw.w.pool1;
             },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               std::vector<Expected> rest = poolRest();
               rest.erase(rest.begin() + 4);
               return join(poolHead(), rest);
             }},
            {"a pool without media agent and library part sends their empty forms",
             [](ZQMACMediaConfig& c, DriveWorld& dw) {
               ZQMACDrivePool* pool = ZQMACGraph::AddDrivePool(dw.w.lms, nullptr, 63, "DP_none");
               c.DeleteObject(dw.w.library);
               return pool;
             },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join({{8061, idText(63, "DP_none")},
                            {11031, ""},
                            {2049, idText(0xFFFFFFFF, "")},
                            {2048, idText(0xFFFFFFFF, "")},
                            {11030, u32Bytes(0xFFFFFFFF)},
                            {11018, u32Bytes(0)},
                            {8227, idText(0, "")},
                            {11095, ""},
                            {11132, u32Bytes(0)},
                            {11217, u32Bytes(0)},
                            {11218, idText(44, "Gold")}},
                           tail(31));
             }}});
}

// ---------------------------------------------------------------- drives

std::vector<Expected> drive1Texts() {
  return {{2281, "DriveCo"}, {11032, "LT-7"}, {8202, "D1SN"}, {2282, "fw7"}, {11023, "drive one"}};
}
std::vector<Expected> drive1Head() {
  return join({{11225, idText(71, "Drive1")}, {11031, "Drive text A"}, {8252, "Drive1-alias"}},
              join(drive1Texts(), {{11043, u32Bytes(1)}, {11053, u32Bytes(4)}, {11094, u32Bytes(1)}}));
}
std::vector<Expected> ids(const std::vector<std::string>& choices, const std::string& current) {
  std::vector<Expected> out;
  for (const std::string& c : choices) out.push_back({11136, c});
  out.push_back({11135, current});
  return out;
}

TEST_F(DriveRecords, ADriveRecordSendsItsIdsInTheFormOfItsLibrary) {
  runTable(&EvMMConfigMgr::onMsgGetMMDriveDeviceProperties, 11227,
           {{"IBM form: the IBM id twice",
             [](ZQMACMediaConfig&, DriveWorld& dw) { return dw.w.drive1; },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join(join(drive1Head(), ids({"IBM-1"}, "IBM-1")), tail(141, "drive"));
             }},
            {"IBM form with an empty IBM id: no id item",
             [](ZQMACMediaConfig&, DriveWorld& dw) { return dw.w.drive2; },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join({{11225, idText(72, "Drive2")},
                            {11031, ""},
                            {8252, ""},
                            {2281, "DriveCo"},
                            {11032, "LT-7"},
                            {8202, "D2SN"},
                            {2282, "fw7"},
                            {11023, "drive two"},
                            {11043, u32Bytes(2)},
                            {11053, u32Bytes(0)},
                            {11094, u32Bytes(1)}},
                           tail(141));
             }},
            {"ACSLS form: the reported ids, then the drive's own one it did not report",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACGraph::SetAcslsStates(dw.w.controller1, true, false);
               ZQMACGraph::SetACSLSDriveIds(dw.w.agent1, "acs0", {"D-1", "D-2"});
               return dw.w.drive1;
             },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join(join(drive1Head(), ids({"D-1", "D-2", "D-9"}, "D-9")), tail(141, "drive"));
             }},
            {"ACSLS form: a reported own id is not sent twice",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACGraph::SetAcslsStates(dw.w.controller1, false, true);
               ZQMACGraph::SetACSLSDriveIds(dw.w.agent1, "acs0", {"D-1", "D-9"});
               return dw.w.drive1;
             },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join(join(drive1Head(), ids({"D-1", "D-9"}, "D-9")), tail(141, "drive"));
             }},
            {"ACSLS form: the first controller whose agent reports ids gives them",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACGraph::SetAcslsStates(dw.w.controller1, true, true);
               ZQMACGraph::SetACSLSDriveIds(dw.w.agent2, "acs1", {"X-1"});
               return dw.w.drive1;
             },
             [](const ZQMACMediaConfig&, const DriveWorld&) {
               return join(join(drive1Head(), ids({"X-1", "D-9"}, "D-9")), tail(141, "drive"));
             }}});
}

TEST_F(DriveRecords, TheShortDriveRecordOfTheChildrenRequestCarriesNamesAndHeaderOnly) {
  DriveWorld dw = drivetest::seedDriveWorld(config());
  ZQMACGraph::SetGeometry(dw.w.library, ZQMACGraph::LibraryGeometry{1, 2, 40, 7, 0});
  const std::vector<Expected> items =
      only(&EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047, h(dw.w.lms), {{16, 1}});
  // Node record (7 items), then drive 1 and drive 2 with their handles.
  ASSERT_EQ(items.size(), 7u + 2 * 9u);
  const std::vector<Expected> drive1 = join({{11003, tktest::le64(h(dw.w.drive1))},
                                             {11225, idText(71, "Drive1")},
                                             {11031, "Drive text A"},
                                             {8252, "Drive1-alias"}},
                                            tail(141, "drive"));
  drivetest::expectItems(std::vector<Expected>(items.begin() + 7, items.begin() + 16), drive1);
}

// ---------------------------------------------------------------- drive paths

std::vector<Expected> pathLongHead(const ZQMACMediaConfig& c, const DriveWorld& dw) {
  return join(join({{2240, idText(71, "Drive1")},
                    {8252, "Drive1-alias"},
                    {11184, u32Bytes(711)},
                    {11031, "path text A"},
                    {2048, idText(2, "ma1")},
                    {11030, u32Bytes(7)}},
                   drive1Texts()),
              {{11054, idText(low32(c.GetHandle(dw.w.dms11)), "/dev/nst0")}, {11024, "ma1 bus 0 target 1"}});
}
std::vector<Expected> pathLongRest(const std::vector<Expected>& driveIds) {
  return join(join({{11011, idText(0, "")},
                    {11043, u32Bytes(1)},
                    {11053, u32Bytes(0)},
                    {11056, u32Bytes(1)},
                    {11094, u32Bytes(1)}},
                   driveIds),
              join({{11078, drivetest::zeros(8)}, {11115, u32Bytes(6)}}, tail(40, "path text B")));
}

TEST_F(DriveRecords, ADrivePathRecordIsLongWithAMediaAgentAndShortWithout) {
  runTable(&EvMMConfigMgr::onMsgGetMMDriveProperties, 11022,
           {{"long record: the path's own agent, IBM ids",
             [](ZQMACMediaConfig&, DriveWorld& dw) { return dw.w.dms11; },
             [](const ZQMACMediaConfig& c, const DriveWorld& dw) {
               return join(pathLongHead(c, dw), pathLongRest(ids({"IBM-1"}, "IBM-1")));
             }},
            {"long record: another path of the agent to the same drive follows the path",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACDms* second = ZQMACGraph::AddDms(dw.w.drive1, dw.w.pool1, dw.w.agent1, 713, "second");
               ZQMACGraph::SetUnitAddress(second, {"", 0, 0, true});
               ZQMACGraph::SetPathTexts(second, {"/dev/nst9", "ma1 bus 2", false});
               // A path to another drive with the same identity counts as the same drive.
               ZQMACGraph::SetDeviceIdentity(dw.w.drive2, {"DriveCo", "LT-7", "D1SN", "", "", 0});
               ZQMACGraph::SetUnitAddress(dw.w.dms21, {"", 0, 0, true});
               return dw.w.dms11;
             },
             [](const ZQMACMediaConfig& c, const DriveWorld& dw) {
               ZQMACLinkedList<ZQMACDms> paths = dw.w.agent1->GetDmsList();
               const ZQMACDms* second = paths[2];
               auto items = join(pathLongHead(c, dw), {{11054, idText(low32(c.GetHandle(dw.w.dms21)), "/dev/nst1")},
                                                       {11024, "ma1 bus 0 target 2"},
                                                       {11054, idText(low32(c.GetHandle(second)), "/dev/nst9")},
                                                       {11024, "ma1 bus 2"}});
               return join(items, pathLongRest(ids({"IBM-1"}, "IBM-1")));
             }},
            {"long record: ACSLS ids in full",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACGraph::SetAcslsStates(dw.w.controller1, true, false);
               ZQMACGraph::SetACSLSDriveIds(dw.w.agent1, "acs0", {"D-1"});
               return dw.w.dms11;
             },
             [](const ZQMACMediaConfig& c, const DriveWorld& dw) {
               return join(pathLongHead(c, dw), pathLongRest(ids({"D-1", "D-9"}, "D-9")));
             }},
            {"short record: a path without media agent",
             [](ZQMACMediaConfig&, DriveWorld& dw) {
               ZQMACDms* orphan = ZQMACGraph::AddDms(dw.w.drive2, dw.w.pool1, nullptr, 799, "orphan");
               ZQMACGraph::SetPathTexts(orphan, {"/dev/x", "detail x", true});
               ZQMACGraph::SetTexts(orphan, "not sent", "orphan B");
               return orphan;
             },
             [](const ZQMACMediaConfig& c, const DriveWorld& dw) {
               ZQMACLinkedList<ZQMACDms> paths = dw.w.drive2->GetDmsList();
               return std::vector<Expected>{{2240, idText(72, "Drive2")},
                                            {8252, ""},
                                            {11184, u32Bytes(799)},
                                            {2281, "DriveCo"},
                                            {11032, "LT-7"},
                                            {8202, "D2SN"},
                                            {2282, "fw7"},
                                            {11023, "drive two"},
                                            {11054, idText(low32(c.GetHandle(paths[2])), "/dev/x")},
                                            {11024, "detail x"},
                                            {11150, "orphan B"},
                                            {11056, u32Bytes(1)},
                                            {2052, u32Bytes(0)}};
             }},
            {"long record of a path whose drive is gone: the drive's items empty",
             [](ZQMACMediaConfig& c, DriveWorld& dw) {
               c.DeleteObject(dw.w.drive2);
               return dw.w.dms22;
             },
             [](const ZQMACMediaConfig& c, const DriveWorld& dw) {
               return join(join({{2240, idText(0xFFFFFFFF, "")},
                                 {8252, ""},
                                 {11184, u32Bytes(722)},
                                 {11031, ""},
                                 {2048, idText(3, "ma2")},
                                 {11030, u32Bytes(9)},
                                 {2281, ""},
                                 {11032, ""},
                                 {8202, ""},
                                 {2282, ""},
                                 {11023, ""},
                                 {11054, idText(low32(c.GetHandle(dw.w.dms22)), "")},
                                 {11024, ""},
                                 {11011, idText(0, "")},
                                 {11043, u32Bytes(0)},
                                 {11053, u32Bytes(0)},
                                 {11056, u32Bytes(0)},
                                 {11094, u32Bytes(0)},
                                 {11078, drivetest::zeros(8)},
                                 {11115, u32Bytes(0)}},
                                tail(41)),
                           {});
             }}});
}

TEST_F(DriveRecords, TextsLongerThanTheItemBufferAreCutByLayout) {
  DriveWorld dw = drivetest::seedDriveWorld(config());
  const std::string longText(5000, 'v');
  ZQMACGraph::SetName(dw.w.master, longText);
  ZQMACGraph::SetTexts(dw.w.master, longText, longText);
  const std::vector<Expected> items = only(&EvMMConfigMgr::onMsgGetMMMasterDrivePoolProperties, 11014, h(dw.w.master));
  ASSERT_EQ(items.size(), 8u);
  EXPECT_EQ(items[0].bytes.size(), 4u + 4099u);  // id+text
  EXPECT_EQ(items[1].bytes.size(), 4103u);       // bare text
  EXPECT_EQ(items[4].bytes.size(), 4103u);
}

}  // namespace
