// What a mount-path add reads of the database does not grow with the rest
// of the installation: its lookups (mount paths of the library, the name in
// use, the controllers of the device, the drive pools of the agent) go
// through indexes, so that an installation of thousands of libraries,
// drives and mount paths costs an add what it costs a small one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/db.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"

namespace mountpathtest {
namespace {

using AddScan = MountPathTest;

constexpr int kBulk = 400;  // objects of each kind added elsewhere

Fields add(const std::string& path) {
  return {{43, 4}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {24, path}, {60, path.substr(5)}};
}

// `n` objects of each kind beside the test's own: disk libraries with a
// master pool and a mount path on a device of its own that ma2 reaches,
// clients, tape drives in those master pools with a drive pool and a path
// of ma2 each.
void seedElsewhere(tktest::TestDatabase& db, int n) {
  const std::string count = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(n) + ") ";
  const std::string ma2 = std::to_string(kMa2);
  for (const std::string& insert : std::vector<std::string>{
           "INSERT INTO MMLibrary (LibraryId, AliasName, LibraryName, LibraryTypeId) "
           "SELECT 1000 + i, 'bulk' || i, 'bulk' || i, 3 FROM n",
           "INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) SELECT 1000 + i, 1000 + i, "
           "'pool' || i FROM n",
           "INSERT INTO MMDevice (DeviceId, AliasName, DeviceTypeId) SELECT 1000 + i, 'bulkdev' || i, 1 FROM n",
           "INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, Folder) SELECT 1000 + i, " + ma2 +
               ", 1000 + i, '/bulk/' || i FROM n",
           "INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MasterPoolId) SELECT 1000 + i, "
           "'/bulk/' || i, 1000 + i, 1000 + i FROM n",
           "INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) SELECT 1000 + i, 1000 + i FROM n",
           "INSERT INTO APP_Client (id, name, net_hostname) SELECT 1000 + i, 'client' || i, "
           "'client' || i || '.example.net' FROM n",
           "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId, DrivePoolName) SELECT 1000 + i, 1000 + i, " +
               ma2 + ", 'drivepool' || i FROM n",
           "INSERT INTO MMDrive (DriveId, MasterPoolId, AliasName) SELECT 1000 + i, 1000 + i, 'drive' || i FROM n",
           "INSERT INTO MMDrivePath (DrivePathId, DriveId, DrivePoolId, ClientId, PathName) SELECT 1000 + i, "
           "1000 + i, 1000 + i, " + ma2 + ", '/dev/nst' || i FROM n",
       }) {
    ASSERT_EQ(db.exec(count + insert), 0) << insert;
  }
}

TEST_F(AddScan, ReadsNoMoreRowsInAnInstallationOfThousandsOfObjects) {
  auto scanned = [&](const std::string& path) -> long long {
    const long long before = testkit::db::scannedRows();
    const Answer a = call(add(path));
    EXPECT_TRUE(a.success) << path << ": " << a.xml;
    return testkit::db::scannedRows() - before;
  };
  scanned("/mnt/first");  // the first load reads every row
  const long long small = scanned("/mnt/small");
  // Nor does it walk the schema's table: the change log's triggers, found
  // in place by the header read before the re-read, are not counted again
  // by the re-read nor by the look for rows born again after it.
  EXPECT_EQ(small, 0);
  seedElsewhere(m_db, kBulk);
  scanned("/mnt/reread");  // reads what the seed changed
  EXPECT_EQ(scanned("/mnt/large"), small);
  EXPECT_EQ(count("MMMountPath"), kBulk + 5);  // the fixture's, the four added
}

}  // namespace
}  // namespace mountpathtest
