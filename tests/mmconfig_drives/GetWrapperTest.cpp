// What every Get of the drive, mount-path and catalogue families shares
// with the Get wrapper: a client whose session was taken over gets the
// force-close notice and an empty block with the handler's reply id; a
// handle of nothing, or of an object of another kind, gets an empty block;
// a null request is refused without an answer.
#include <gtest/gtest.h>

#include "platform/testkit/debuglog.h"
#include "tests/mmconfig_drives/DrivesFixture.h"

namespace {

using drivetest::Handler;

struct Get {
  const char* name;
  Handler handler;
  uint32_t replyId;
};

const Get kGets[] = {
    {"onMsgGetMMMasterDrivePools", &EvMMConfigMgr::onMsgGetMMMasterDrivePools, 11014},
    {"onMsgGetMMMasterDrivePoolProperties", &EvMMConfigMgr::onMsgGetMMMasterDrivePoolProperties, 11014},
    {"onMsgGetMMDrivePools", &EvMMConfigMgr::onMsgGetMMDrivePools, 11017},
    {"onMsgGetMMDrivePoolProperties", &EvMMConfigMgr::onMsgGetMMDrivePoolProperties, 11017},
    {"onMsgGetMMDrives", &EvMMConfigMgr::onMsgGetMMDrives, 11022},
    {"onMsgGetMMDriveProperties", &EvMMConfigMgr::onMsgGetMMDriveProperties, 11022},
    {"onMsgGetMMDriveDeviceProperties", &EvMMConfigMgr::onMsgGetMMDriveDeviceProperties, 11227},
    {"onMsgGetMMLibraryChildren", &EvMMConfigMgr::onMsgGetMMLibraryChildren, 11047},
    {"onMsgGetMMEmptyDrives", &EvMMConfigMgr::onMsgGetMMEmptyDrives, 11045},
    {"onMsgGetDriveIdList", &EvMMConfigMgr::onMsgGetDriveIdList, 11224},
    {"onMsgGetMMMountPaths", &EvMMConfigMgr::onMsgGetMMMountPaths, 11027},
    {"onMsgGetMMMountPathProperties", &EvMMConfigMgr::onMsgGetMMMountPathProperties, 11027},
    {"onMsgGetMMLibraryTypes", &EvMMConfigMgr::onMsgGetMMLibraryTypes, 11050},
    {"onMsgGetMMDriveTypes", &EvMMConfigMgr::onMsgGetMMDriveTypes, 11052},
    {"onMsgGetMMDriveVendorModelTypes", &EvMMConfigMgr::onMsgGetMMDriveVendorModelTypes, 11070},
    {"onMsgGetMMLibraryVendors", &EvMMConfigMgr::onMsgGetMMLibraryVendors, 11091},
    {"onMsgGetMMLibraryMediaTypes", &EvMMConfigMgr::onMsgGetMMLibraryMediaTypes, 11076},
    {"onMsgGetMMMediaConfigInfo", &EvMMConfigMgr::onMsgGetMMMediaConfigInfo, 11084},
    {"onMsgGetMMMediaConfigParam", &EvMMConfigMgr::onMsgGetMMMediaConfigParam, 11081},
};

class GetWrapper : public drivetest::DrivesTest {
 protected:
  void SetUp() override {
    drivetest::DrivesTest::SetUp();
    w = testkit::mac::seedWorld(config());
    ZQMACGraph::SetDriveVendors(config(), {{"DriveCo", "LT-7", "x"}});
    testkit::mmlib::scriptMediaTypes(5, {{1, "Data cartridge"}});
  }
  testkit::mac::World w;
};

TEST_F(GetWrapper, AClientWhoseSessionWasTakenOverGetsTheNoticeAndAnEmptyBlock) {
  for (const Get& g : kGets) {
    SCOPED_TRACE(g.name);
    const auto replies = ask(g.handler, h(w.lms), {{4, 5}, {16, 1}}, &m_b);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].messageId, 11055u);
    EXPECT_EQ(replies[1].messageId, g.replyId);
    EXPECT_EQ(replies[1].sequence, libtest::kSequence);
    EXPECT_TRUE(replies[1].items.empty());
  }
  EXPECT_EQ(testkit::mmlib::journal().calls("getMediaTypeList").size(), 0u);
}

TEST_F(GetWrapper, HandlesOfNothingOrOfAnotherKindGiveEmptyBlocks) {
  // A disk device is the one object no request of these families is about.
  const unsigned long long other = h(w.diskDevice);
  for (const Get& g : kGets) {
    if (g.replyId >= 11050 && g.replyId != 11224) continue;  // the catalogues take no handle
    for (unsigned long long handle : {0ull, 0xFFFFFFF0ull, 1ull << 40, other}) {
      SCOPED_TRACE(std::string(g.name) + " handle " + std::to_string(handle));
      EXPECT_TRUE(only(g.handler, g.replyId, handle).empty());
      EXPECT_TRUE(only(g.handler, g.replyId, handle, {{12, 0xFFFFFFFE}, {16, 1}}).empty());
    }
  }
}

TEST_F(GetWrapper, ANullRequestIsRefusedWithoutAnAnswer) {
  testkit::debuglog::Capture log;
  testkit::reply::Recorder recorder;
  for (const Get& g : kGets) {
    SCOPED_TRACE(g.name);
    EXPECT_FALSE((m_mgr.*g.handler)(nullptr));
    EXPECT_TRUE(log.contains(std::string("EvMMConfigMgr::") + g.name, "Bad Parameter Received."));
  }
  EXPECT_FALSE(m_mgr.onMsgSetMMMediaConfigParam(nullptr));
  EXPECT_TRUE(recorder.replies().empty());
}

}  // namespace
