// The model's library set-up as the replication-store and storage-library
// requests use it: the three keys (mount path, serial number, device), and
// refusals that store nothing.
#include <gtest/gtest.h>

#include <string>

#include "frame/mac/ZQMACMediaConfig.h"
#include "tests/ezconfig_rpstore/RPStoreFixture.h"

namespace rpstoretest {
namespace {

class AutoConfigLibrary : public RPStoreTest {
 protected:
  struct Call {
    std::string agent;
    std::string serial;
    std::string name;
    std::string mountPath;
    int deviceId;
  };
  struct Result {
    bool ok = false;
    int libraryId = 0;
    int newLibraryId = -9999;
    int deviceId = 0;
    std::string name;
    std::string serialName;
    std::string error;
  };
  Result configure(const Call& c) {
    ZQMACMediaConfig config;
    EXPECT_TRUE(config.Initialize("site-a"));
    Result r;
    r.libraryId = -1;
    r.deviceId = c.deviceId;
    r.name = c.name;
    r.ok = config.AutoConfigLibrary(c.agent, r.serialName, r.libraryId, c.serial, r.name, r.newLibraryId, c.mountPath,
                                    "user", "pw", false, 0, r.deviceId, "", "", 0, 0);
    r.error = config.GetLastError();
    return r;
  }
};

TEST_F(AutoConfigLibrary, EachKeyMakesItsLibrary) {
  const Result disk = configure({"ma2", "", "lib", "/data/new", 0});
  ASSERT_TRUE(disk.ok) << disk.error;
  EXPECT_EQ(disk.libraryId, disk.newLibraryId);
  EXPECT_EQ(m_db.text("SELECT MountPathName FROM MMMountPath WHERE LibraryId = ?", {disk.libraryId}), "/data/new");
  EXPECT_EQ(m_db.scalar("SELECT DeviceId FROM MMMountPathToStorageDevice M JOIN MMMountPath P ON P.MountPathId = "
                        "M.MountPathId WHERE P.LibraryId = ?",
                        {disk.libraryId}),
            disk.deviceId);

  const Result overDevice = configure({"ma2", "", "overdev", "", 60});
  ASSERT_TRUE(overDevice.ok) << overDevice.error;
  EXPECT_EQ(m_db.text("SELECT MountPathName FROM MMMountPath WHERE LibraryId = ?", {overDevice.libraryId}),
            "/data/Disk1");
  EXPECT_EQ(overDevice.deviceId, 60);

  tkmac::setVisibleLibraries({{"ma2", "SN-7", "ACME", "T100"}});
  const Result tape = configure({"ma2", "SN-7", "", "", 0});
  ASSERT_TRUE(tape.ok) << tape.error;
  EXPECT_EQ(tape.serialName, "SN-7");
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibraryController WHERE LibraryId = ? AND ClientId = 2",
                        {tape.libraryId}),
            1);
  const Result again = configure({"ma2", "SN-7", "other", "", 0});
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.libraryId, tape.libraryId);  // configured already: taken as it is
  EXPECT_EQ(again.serialName, "SN-7");
}

TEST_F(AutoConfigLibrary, RefusalsStoreNothingAndSayWhy) {
  struct Case {
    const char* name;
    Call call;
    std::string error;
  };
  const Case cases[] = {
      {"unknown agent", {"nobody", "", "lib", "/x", 0}, "The media agent [nobody] is not known."},
      {"a name in use", {"ma2", "", "DISKLIB", "/x", 0}, "The name [DISKLIB] is already used by another library."},
      {"a serial the agent does not see", {"ma2", "SN-9", "lib", "", 0}, "The media agent [ma2] sees no library with serial number [SN-9]."},
      {"a device without the agent's folder", {"ma3", "", "lib", "", 60},
       "The media agent [ma3] has no folder on device [60]."},
      {"no key", {"ma2", "", "lib", "", 0}, "No mount path, serial number or device was given."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = configure(c.call);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(count("MMLibrary"), 1);
    EXPECT_EQ(count("MMDevice"), 1);
  }
}

}  // namespace
}  // namespace rpstoretest
