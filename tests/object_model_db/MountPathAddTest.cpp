// Adding a mount path to a disk library: stored whole with its device link
// and loaded back by the next session, or refused with its code and nothing
// left behind.
#include <functional>
#include <string>

#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

using MountPathAdd = ModelDatabase;

MountPathInfo describe(ZQMACMagLib& library, const std::string& path, int deviceId) {
  MountPathInfo info{};
  info.libraryId = static_cast<int>(library.GetId());
  info.path = path;
  info.maxConcurrentWriters = 1000;
  info.reserveSpaceMB = 1000;
  info.userName = "backup";
  info.password = "stored-secret";
  info.mountPathType = 4;
  info.deviceId = deviceId;
  return info;
}

TEST_F(MountPathAdd, ANewMountPathIsStoredOnItsDeviceAndTheNextSessionLoadsIt) {
  auto config = load();
  ZQMACMagLib* library = diskLibrary(*config);
  ASSERT_NE(library, nullptr);
  ZQMACMountPath* path = library->AddMountPath(describe(*library, "/mnt/disk3", 2));
  ASSERT_NE(path, nullptr) << library->GetLastError();
  EXPECT_NE(path->GetHandle(), 0u);
  EXPECT_EQ(path->GetMagLib(), library);
  EXPECT_EQ(path->GetMediaAgent(), config->FindDBNode<ZQMACMediaAgent>(2));
  EXPECT_EQ(elements(library->GetMountPathList()).size(), 3u);
  const auto calls = testkit::mac::journal().calls("AddMountPath");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[4], "13");  // the password's length, never the password

  const int id = static_cast<int>(path->GetId());
  const std::string row = "FROM MMMountPath WHERE MountPathId = " + std::to_string(id);
  EXPECT_EQ(db.text("SELECT MountPathName || '|' || UserName || '|' || UserPassword || '|' || MountPathTypeId || '|' || "
                    "MaxConcurrentWriters || '|' || MagneticSpaceRsrvInMB || '|' || LibraryId || '|' || MasterPoolId " +
                    row),
            "/mnt/disk3|backup|stored-secret|4|1000|1000|2|2");
  EXPECT_EQ(db.scalar("SELECT S.TotalCapacity FROM MMMediaSide S JOIN MMMountPath M ON M.MediaSideId = S.MediaSideId "
                      "WHERE M.MountPathId = " + std::to_string(id)),
            5120000);
  EXPECT_EQ(db.scalar("SELECT DeviceId FROM MMMountPathToStorageDevice WHERE MountPathId = " + std::to_string(id)), 2);

  auto again = load();
  ZQMACMountPath* loaded = again->FindDBNode<ZQMACMountPath>(id);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetName(), "/mnt/disk3");
  EXPECT_EQ(loaded->GetUserName(), "backup");
  EXPECT_EQ(loaded->GetMountPathType(), 4);
  EXPECT_EQ(loaded->GetForeignAgantId(), 2);
  EXPECT_EQ(loaded->GetMagLib(), diskLibrary(*again));
}

TEST_F(MountPathAdd, ARefusedMountPathLeavesNoRowAndNoObject) {
  struct Case {
    const char* what;
    std::function<void(MountPathInfo&)> change;
    std::function<void()> arrange;
    unsigned int code;
  };
  const Case cases[] = {
      {"a path the library has", [](MountPathInfo& i) { i.path = "/srv/disklib1/mp1"; }, [] {},
       ZQMACMagLib::kErrorMountPathInUse},
      {"an unknown device", [](MountPathInfo& i) { i.deviceId = 99; }, [] {}, ZQMACMagLib::kErrorMountPathNoDevice},
      {"an empty path", [](MountPathInfo& i) { i.path.clear(); }, [] {}, tkmac::kErrorInvalidValue},
      {"another library's id", [](MountPathInfo& i) { i.libraryId = 1; }, [] {}, tkmac::kErrorInvalidValue},
      {"a password of 2,049 bytes", [](MountPathInfo& i) { i.password.assign(2049, 'p'); }, [] {},
       tkmac::kErrorInvalidValue},
      {"negative settings", [](MountPathInfo& i) { i.reserveSpaceMB = -1; }, [] {}, tkmac::kErrorInvalidValue},
      {"a scripted refusal", [](MountPathInfo&) {},
       [] { testkit::mac::journal().injectFailure("AddMountPath", 752, "share unreachable"); }, 752},
      {"a database failure", [](MountPathInfo&) {},
       [] { testkit::mmdb::failNext("MMMediaConfigDB::insertMountPath", MMS2_ERROR_DATABASE, "disk I/O error", 205); },
       tkmac::kErrorDatabase},
  };
  auto config = load();
  ZQMACMagLib* library = diskLibrary(*config);
  const long long rows = db.scalar("SELECT COUNT(*) FROM MMMountPath");
  const long long sides = db.scalar("SELECT COUNT(*) FROM MMMediaSide");
  const std::size_t objects = config->GetObjectCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::mmdb::reset();
    c.arrange();
    MountPathInfo info = describe(*library, "/mnt/new", 1);
    c.change(info);
    EXPECT_EQ(library->AddMountPath(info), nullptr);
    EXPECT_EQ(library->GetLastErrorCode(), c.code) << library->GetLastError();
    EXPECT_FALSE(library->GetLastError().empty());
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath"), rows);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMediaSide"), sides);
    EXPECT_EQ(config->GetObjectCount(), objects);
  }
}

TEST_F(MountPathAdd, ADeviceNoMediaAgentReachesIsRefusedAndAnUnownedLibraryTakesNoMountPath) {
  ASSERT_EQ(0, db.exec("INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES (7, 1, 'bare', 1)"));
  auto config = load();
  ZQMACMagLib* library = diskLibrary(*config);
  EXPECT_EQ(library->AddMountPath(describe(*library, "/mnt/bare", 7)), nullptr);
  EXPECT_EQ(library->GetLastErrorCode(), ZQMACMagLib::kErrorMountPathUnreached);

  ZQMACMagLib unowned;
  EXPECT_EQ(unowned.AddMountPath(describe(unowned, "/mnt/x", 0)), nullptr);
  EXPECT_EQ(unowned.GetLastErrorCode(), tkmac::kErrorNotStored);
}

}  // namespace
}  // namespace modeldb
