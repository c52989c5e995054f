// The disk-device list with its filters and library conditions, and the
// records of disk devices and disk volumes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/mmconfig_diskdevices/DiskFixture.h"

namespace {

using disktest::idText;
using disktest::Items;
using disktest::text;
using tktest::le32;
using tktest::le64;

class DiskListing : public disktest::DiskTest {
 protected:
  void SetUp() override {
    DiskTest::SetUp();
    ZQMACGraph::SetTexts(m_device, "text 31", "");
    ZQMACMagLib* lib = m_world.diskLibrary;
    ZQMACGraph::SetMountPathType(m_world.mountPath1, 1);
    ZQMACGraph::SetForeignAgentId(m_world.mountPath1, 31);  // 31: ordinary, in use
    addDevice(32, 1, 999);                                   // in use as a disk folder
    usePath(lib, 23, "/d/ZQDiskFolder_32", 4, 32);
    addDevice(33, 1, 1000);  // free
    addDevice(34, 2);        // kind 2
    addDevice(35, 3000);     // free
    addDevice(36, 59);       // free
    addDevice(37, 1, 999);   // in use, not as a folder
    usePath(lib, 24, "/d/plain", 5, 37);
    ZQMACGraph::SetShownFlag(addDevice(38, 1), false);  // hidden
  }
  std::vector<uint32_t> listed(const Items& items) {
    std::vector<uint32_t> ids;
    for (const auto& [tag, bytes] : items) {
      EXPECT_EQ(tag, 11192u);
      ids.push_back(ctltest::wordOf(bytes));
    }
    return ids;
  }
  std::vector<uint32_t> list(uint32_t filter) {
    auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
    request->elementCount = filter;
    EXPECT_TRUE(m_mgr.onMsgGetDiskDeviceList(request.get()));
    return listed(itemsOfOnlyReply(11211));
  }
  std::vector<uint32_t> listFor(ZQMACMagLib* library, uint32_t filter) {
    auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
    request->objectHandle = handleOf(library);
    std::memcpy(request->payload() + 12, &filter, sizeof filter);
    EXPECT_TRUE(m_mgr.onMsgGetDiskDeviceListWithMagLibrary(request.get()));
    return listed(itemsOfOnlyReply(11211));
  }
  ZQMACMagLib* library(int type, int firstPathType = -1, int foreign = 0) {
    const int id = m_nextId++;
    ZQMACMagLib* l = ZQMACGraph::AddMagLib(config(), m_world.agent1, id, "L" + std::to_string(id));
    ZQMACGraph::SetMagLibType(l, type);
    if (firstPathType >= 0) usePath(l, id * 10, "/l", firstPathType, foreign);
    return l;
  }
  int m_nextId = 90;
};

TEST_F(DiskListing, EachFilterListsItsDevicesOneItemEachWithoutRecordEnds) {
  const struct {
    uint32_t filter;
    std::vector<uint32_t> ids;
  } cases[] = {
      {0, {32, 33, 35, 36, 37}},      // in use only with identification 999 or 1000
      {1, {31, 32, 33, 35, 36, 37}},  // in use or not
      {2, {34}},                      // the kind-2 devices
      {3, {34}},  // also of kind 2, without the in-use rule
      {5, {33, 35, 36}},  // never a device in use
      {6, {33, 35, 36, 37}},  // not the one used as a disk folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("filter " + std::to_string(c.filter));
    EXPECT_EQ(list(c.filter), c.ids);
  }
  const Items one = {{11192, idText(33, "text 33")}};
  auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
  request->elementCount = 5;
  ZQMACGraph::SetShownFlag(config().FindDBNode<ZQMACDiskDevice>(35), false);
  ZQMACGraph::SetShownFlag(config().FindDBNode<ZQMACDiskDevice>(36), false);
  ASSERT_TRUE(m_mgr.onMsgGetDiskDeviceList(request.get()));
  EXPECT_EQ(itemsOfOnlyReply(11211), one);
}

TEST_F(DiskListing, ADeviceSeveralLibrariesUseCountsAsTheFirstLibrarysInTheirList) {
  // A second disk library, after the world's in the list.
  ZQMACMagLib* second = library(1);
  addDevice(41, 1, 999);
  usePath(m_world.diskLibrary, 141, "/d/plain41", 5, 41);
  usePath(second, 142, "/d/ZQDiskFolder_41", 4, 41);
  addDevice(42, 1, 999);
  usePath(m_world.diskLibrary, 143, "/d/ZQDiskFolder_42", 4, 42);
  usePath(second, 144, "/d/plain42", 5, 42);
  addDevice(43, 1);  // the second library's alone
  usePath(second, 145, "/d/plain43", 5, 43);
  const struct {
    uint32_t filter;
    std::vector<uint32_t> ids;
  } cases[] = {
      {0, {32, 33, 35, 36, 37, 41, 42}},
      {1, {31, 32, 33, 35, 36, 37, 41, 42, 43}},
      {5, {33, 35, 36}},
      // 41: the first library uses it plainly; 42: as a disk folder.
      {6, {33, 35, 36, 37, 41}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("filter " + std::to_string(c.filter));
    EXPECT_EQ(list(c.filter), c.ids);
  }
  EXPECT_EQ(config().FindDBNode<ZQMACDiskDevice>(42)->UsedByMagLibrary(), m_world.diskLibrary);
  EXPECT_EQ(config().FindDBNode<ZQMACDiskDevice>(43)->UsedByMagLibrary(), second);
}

TEST_F(DiskListing, ALibraryNarrowsTheListByItsTypeAndFirstMountPath) {
  const struct {
    const char* name;
    int type, pathType, foreign;
    uint32_t filter;
    std::vector<uint32_t> ids;
  } cases[] = {
      {"type 4: identification 999, display type 1", 4, -1, 0, 1, {32, 37}},
      {"type 7: display type 3000", 7, -1, 0, 0, {35}},
      {"type 8, filter 0: display type 59, not in use", 8, -1, 0, 0, {36}},
      {"type 8, filter 2: display type 59 of kind 2", 8, -1, 0, 2, {}},
      {"type 0 without mount paths: display type 1", 0, -1, 0, 1, {31, 32, 33, 37}},
      {"type 6: ordinary display types only", 6, -1, 0, 1, {}},
      {"first path of type 2: no special identification", 1, 2, 0, 1, {31}},
      {"first path of type 4: identification 999", 1, 4, 0, 0, {32, 37}},
      {"first path of type 7: the display type of its device", 1, 7, 36, 1, {}},
      {"first path of type 7 on a kind-2 device", 1, 7, 34, 3, {34}},
  };
  EXPECT_EQ(listFor(nullptr, 5), (std::vector<uint32_t>{33, 35, 36}));  // no library: the filter alone
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(listFor(library(c.type, c.pathType, c.foreign), c.filter), c.ids);
  }
}

TEST_F(DiskListing, DeviceRecordsCarryTheDRUHostOrTheNoneText) {
  ZQMACDiskDevice* d = config().FindDBNode<ZQMACDiskDevice>(33);
  ZQMACGraph::SetGeometry(d, {5, 6, 7, 8, 9});
  const auto record = [&](uint32_t dru, const std::string& host) {
    return Items{{11192, idText(33, "Dev33")}, {11420, idText(dru, host)}, {11031, "text 33"},
                 {11205, "guid-33"},           {11206, "Cloud storage"},   {11606, le32(1)},
                 {11201, le32(5)},             {11202, le32(6)},           {11203, le32(7)},
                 {11204, le32(8)},             {11207, le32(9)},           {11150, ""},
                 {11162, le32(1)},             {11116, le32(121)},         {2052, le32(0)}};
  };
  const struct {
    int dru;
    std::string host;
  } cases[] = {{0, text(disktest::kTextNoDRUHost)}, {42, "dru-host1"}, {77, text(disktest::kTextNoDRUHost)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dru);
    ZQMACGraph::SetDRUId(d, c.dru);
    disktest::expectItems(get(&EvMMConfigMgr::onMsgGetDiskDeviceProperties, 11198, handleOf(d)),
                          record(static_cast<uint32_t>(c.dru), c.host));
  }
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetDiskDeviceProperties, 11198, handleOf(m_world.volume1)).empty());
}

TEST_F(DiskListing, AllDevicesComeWithTheKindsAndWithoutUnconfiguredSanDevices) {
  ZQMACDiskDevice* san = addDevice(39, 3);
  ZQMACGraph::SetGeometry(san, {4, 0, 0, 0, 0});  // a SAN device not configured: left out
  ZQMACGraph::SetGeometry(m_device, {4, 0, 0, 0, 0});
  ZQMACGraph::SetConfigured(m_device, true);
  const Items items = get(&EvMMConfigMgr::onMsgGetDiskDevices, 11198, 0);
  ASSERT_GE(items.size(), 3u);
  EXPECT_EQ(items[0], (std::pair<uint32_t, std::string>{11212, le32(1)}));  // kind 3, no kind 4
  EXPECT_EQ(items[1], (std::pair<uint32_t, std::string>{11419, le32(1)}));
  std::vector<uint32_t> ids;
  for (std::size_t i = 2; i + 1 < items.size(); ++i)
    if (items[i].first == 11003) ids.push_back(ctltest::wordOf(items[i + 1].second));
  EXPECT_EQ(ids, (std::vector<uint32_t>{31, 32, 33, 34, 35, 36, 37, 38}));  // hidden ones too
}

TEST_F(DiskListing, VolumeRecordsReadTheDeviceRowAndTheCredentialName) {
  storeDeviceRow("/vol/a", 6543);
  testkit::adapters::setCredentialName(17, "cloud-key");
  m_world.volume1->SetCredentialId(17);
  m_world.volume1->SetDeviceAccessType(2);
  ZQMACGraph::SetMountPoints(m_world.volume1, {"/m/c", "/m/a", "/m/b"});
  ZQMACGraph::SetSanDBId(m_world.volume1, 3);
  ZQMACGraph::SetConfigured(m_world.volume1, true);
  const Items first = {{11200, idText(311, "/vol/a")}, {11031, ""},     {11201, le32(3)},
                       {9640, le32(6543)},              {11208, "/vol/a"}, {2048, idText(2, "ma1")},
                       {11209, "/m/a"},                 {11209, "/m/b"}, {11209, "/m/c"},
                       {11150, ""},                     {11418, le32(2)}, {11162, le32(1)},
                       {11116, le32(240)},              {9819, idText(17, "cloud-key")}, {2052, le32(0)}};
  disktest::expectItems(get(&EvMMConfigMgr::onMsgGetDiskVolumeProperties, 11199, handleOf(m_world.volume1)), first);

  // No stored row, an unknown credential, no media agent: 0, an empty name, an empty agent entry.
  m_world.volume2->SetCredentialId(18);
  m_world.volume2->SetMediaAgent(nullptr);
  const Items second = {{11200, idText(312, "/vol/b")}, {11031, ""},      {11201, le32(0)},
                        {9640, le32(0)},                 {11208, "/vol/b"}, {2048, idText(0xFFFFFFFFu, "")},
                        {11150, ""},                     {11418, le32(0)}, {11162, le32(1)},
                        {11116, le32(241)},              {9819, idText(18, "")}, {2052, le32(0)}};
  Items all = {{11003, le64(handleOf(m_world.volume1))}};
  all.insert(all.end(), first.begin(), first.end());
  all.emplace_back(11003, le64(handleOf(m_world.volume2)));
  all.insert(all.end(), second.begin(), second.end());
  disktest::expectItems(get(&EvMMConfigMgr::onMsgGetDiskVolumes, 11199, handleOf(m_device)), all);

  // A SAN device lists only its configured volumes; a wrong-type handle lists nothing.
  ZQMACGraph::SetGeometry(m_device, {4, 0, 0, 0, 0});
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetDiskVolumes, 11199, handleOf(m_device)).size(), first.size() + 1);
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetDiskVolumes, 11199, handleOf(m_world.volume1)).empty());
}

}  // namespace
