// When an administrator's script changed more rows than the change log
// keeps, the host cannot tell which rows were made again since it last read
// them, and the next lock makes every object anew (the model's own test:
// tests/object_model_db/RemakeTest.cpp), on an installation of thousands of
// drives: the lock is granted, and its session lists every library. How
// long that lock takes, against a fresh start's first lock, is the bench's
// (bench/RemakeBench.cpp, remake_lock_10000).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/mmdb/MMConfigChangeLog.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"

namespace {

constexpr int kLibraries = 500;
constexpr int kDrivesPerLibrary = 20;

// Tape libraries of 20 drives, each drive with a path from the first
// media agent, beside what the demonstration seeded (ids from 1,001).
std::string bulkLibraries() {
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ";
  const std::string libraries = std::to_string(kLibraries);
  const std::string drives = std::to_string(kLibraries * kDrivesPerLibrary);
  const std::string per = std::to_string(kDrivesPerLibrary);
  const std::string agent = "(SELECT MIN(ClientId) FROM MMHost)";
  return n + libraries +
         ") INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled, DriveCount) "
         "SELECT 1000 + i, 'bulk' || i, 'Bulk ' || i, 1, 1, " + per + " FROM n; " + n + libraries +
         ") INSERT INTO MMLibraryController (LibraryControllerId, ControllerName, ClientId, LibraryId, IsActive, "
         "IsEnabled) SELECT 1000 + i, '/dev/sgb' || i, " + agent + ", 1000 + i, 1, 1 FROM n; " + n + libraries +
         ") INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) SELECT 1000 + i, 1000 + i, "
         "'MasterPool(Bulk ' || i || ')' FROM n; " + n + libraries +
         ") INSERT INTO MMDrivePool (DrivePoolId, DrivePoolName, ClientId, MasterPoolId, DrivePoolEnabled) "
         "SELECT 1000 + i, 'BulkPool ' || i, " + agent + ", 1000 + i, 1 FROM n; " + n + drives +
         ") INSERT INTO MMDrive (DriveId, DriveName, AliasName, MasterPoolId, DriveNumber, SerialNumber, "
         "DriveEnabled) SELECT 1000 + i, 'bulkdrive' || i, 'Bulk drive ' || i, 1000 + (i - 1) / " + per +
         " + 1, (i - 1) % " + per + " + 1, 'BSN' || i, 1 FROM n; " + n + drives +
         ") INSERT INTO MMDrivePath (DrivePathId, DriveId, DrivePoolId, ClientId, PathName, IsEnabled) "
         "SELECT 1000 + i, 1000 + i, 1000 + (i - 1) / " + per + " + 1, " + agent + ", '/dev/nstb' || i, 1 FROM n";
}

// The library listing of the lock holder's session: each library's id
// (item 2049) with its name.
std::map<uint32_t, std::string> libraries(int fd, int64_t sequence) {
  std::map<uint32_t, std::string> listed;
  for (const tkwire::Reply& reply : hosttest::sendAndRead(fd, hosttest::streamFrame("onMsgGetMMLibraries", sequence)))
    for (const tkwire::Item& item : reply.items)
      if (item.tag == 2049 && item.bytes.size() >= 4) listed[item.u32()] = item.bytes.substr(4);
  return listed;
}

TEST(HostRemake, TheFirstLockAfterALogPrunedPastTheHostsReadIsGrantedAndListsEveryLibrary) {
  tktest::TestDatabase db;
  tktest::TempDir dir;
  hosttest::Host host{dir,
                      dir.file("host.sock"),
                      {"--seed-demo"},
                      {{"TK_DB", db.path()}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  // The host has read the configuration once (the schema and the log's
  // triggers are made) before the libraries are added. Each console comes
  // on a connection of its own, lists the libraries and leaves: the graph
  // of a console that left is handed to the next one's instance.
  auto session = [&](int64_t sequence) {
    std::map<uint32_t, std::string> listed;
    const int fd = host.connect();
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(hosttest::takeLock(fd, sequence)) << host.log();
    listed = libraries(fd, sequence + 1);
    EXPECT_TRUE(hosttest::releaseLock(fd, sequence + 2));
    ::close(fd);
    return listed;
  };
  session(1);
  db.execElsewhere(bulkLibraries());
  ASSERT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive WHERE DriveId > 1000"), kLibraries * kDrivesPerLibrary);
  // The host reads them all.
  const std::map<uint32_t, std::string> read = session(4);
  ASSERT_EQ(read.size(), static_cast<std::size_t>(kLibraries) + 2) << "the demonstration's two and the bulk";
  EXPECT_EQ(session(7), read);
  // An administrator's script of more changes than the log keeps: devices
  // made and removed again.
  const std::string made = std::to_string(tkmmdb::kLogKept / 2 + 1024);
  db.execElsewhere("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + made +
                   ") INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) "
                   "SELECT 100000 + i, 1, 'script' || i, 1 FROM n; DELETE FROM MMDevice WHERE DeviceId > 100000");
  ASSERT_GT(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);

  // The lock is granted, and its session lists every library.
  EXPECT_EQ(session(10), read);
  EXPECT_EQ(host.stop(), 0) << host.log();
}

}  // namespace
