// Mount-path operations naming a mount path or a library name that is not
// the request's library: library 6 "lonely" has mount path 41 on device 61,
// which ma2 reaches. Changing its properties (8), sharing (64) or
// unsharing it (128) through library 5, or adding a mount path with the id
// of one library and the name of the other (4, 16384), is refused with a
// text naming both, and nothing is written, sent or audited.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_mountpaths/MountPathFixture.h"

namespace mountpathtest {
namespace {

constexpr int kOtherMountPath = 41;

class Ownership : public MountPathTest {
 protected:
  void SetUp() override {
    MountPathTest::SetUp();
    tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{61, "dev61", 1}});
    tktest::addMountPath(m_db, kOtherMountPath, kLonelyLib, 61, "/mnt/lonely1");
    tktest::addDevicePath(m_db, {501, kMa2, 61, 6, "base2"});
  }
  // What a refused request must leave as it was.
  std::string state() {
    return m_db.text(
        "SELECT group_concat(DeviceControllerId || ':' || ClientId || ':' || DeviceId || ':' || DeviceAccessType || "
        "':' || Folder, ' ') FROM (SELECT * FROM MMDeviceController ORDER BY DeviceControllerId)") +
           " | " +
           m_db.text("SELECT group_concat(MountPathId || ':' || LibraryId || ':' || MaxConcurrentWriters || ':' || "
                     "Attribute || ':' || IsEnabled, ' ') FROM (SELECT * FROM MMMountPath ORDER BY MountPathId)");
  }
};

TEST_F(Ownership, AnotherLibrarysMountPathIsNeitherChangedNorSharedNorUnshared) {
  for (const long long operation : {8LL, 64LL, 128LL}) {
    SCOPED_TRACE(operation);
    // Unsharing needs a second device path on the device to be possible at all.
    if (operation == 128) tktest::addDevicePath(m_db, {502, kMa3, 61, 6, "base3"});
    const std::string before = state();
    const Answer a = call({{43, operation}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"},
                           {23, kOtherMountPath}, {24, "/mnt/lonely1"}},
                          {{7, operation == 8 ? kMa2 : kMa3}, {24, "/ma3/other"}, {54, 4}, {64, 3}});
    expectRefused(a, catalogueText(0x23000DA0, "41", "disklib"));
    EXPECT_EQ(state(), before);
    EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
    EXPECT_TRUE(testkit::mmdb::calls("MMMountPathDB::setMaxWriters").empty());
    EXPECT_TRUE(audits().empty());
  }
  // The library's own mount path is still shared.
  EXPECT_TRUE(call({{43, 64}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {23, kMountPath},
                    {24, "/mnt/disk1"}},
                   {{7, kMa3}, {24, "/ma3/path"}, {54, 4}})
                  .success);
}

TEST_F(Ownership, AnAddNamingOneLibraryByIdAndAnotherByNameIsRefused) {
  for (const long long operation : {4LL, 16384LL}) {
    SCOPED_TRACE(operation);
    const Answer a = call({{43, operation}, {1, kDiskLib}, {8, "lonely"}, {7, kMa2}, {3, "ma2"}, {24, "/mnt/new"},
                           {60, "newmp"}});
    expectRefused(a, catalogueText(0x23000DA1, "5", "lonely"));
    EXPECT_EQ(count("MMMountPath"), 2);
    EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::addDevice").empty());
    EXPECT_TRUE(audits().empty());
  }
}

}  // namespace
}  // namespace mountpathtest
