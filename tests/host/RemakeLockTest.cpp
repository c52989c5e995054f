// When an administrator's script changed more rows than the change log
// keeps, the host cannot tell which rows were made again since it last read
// them, and the next lock makes every object anew: it still answers within
// the time the console waits (3,000 ms) on an installation of thousands of
// drives.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/mmdb/MMConfigChangeLog.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"

namespace {

constexpr int kLibraries = 500;
constexpr int kDrivesPerLibrary = 20;
constexpr int kConsoleWaitMs = 3000;

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

TEST(HostRemake, TheFirstLockAfterALogPrunedPastTheHostsReadAnswersWithinTheConsolesWait) {
  tktest::TestDatabase db;
  tktest::TempDir dir;
  hosttest::Host host{dir,
                      dir.file("host.sock"),
                      {"--seed-demo"},
                      {{"TK_DB", db.path()}, {"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}}};
  ASSERT_TRUE(host.up()) << host.log();
  // The host has read the configuration once (the schema and the log's
  // triggers are made) before the libraries are added. Each console comes
  // on a connection of its own and leaves: the graph of a console that left
  // is handed to the next one's instance.
  auto session = [&](int64_t sequence) {
    const int fd = host.connect();
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(hosttest::takeLock(fd, sequence)) << host.log();
    EXPECT_TRUE(hosttest::releaseLock(fd, sequence + 1));
    ::close(fd);
  };
  session(1);
  db.execElsewhere(bulkLibraries());
  ASSERT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive WHERE DriveId > 1000"), kLibraries * kDrivesPerLibrary);
  // The host reads them all.
  session(3);
  session(5);
  // An administrator's script of more changes than the log keeps: devices
  // made and removed again.
  const std::string made = std::to_string(tkmmdb::kLogKept / 2 + 1024);
  db.execElsewhere("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + made +
                   ") INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) "
                   "SELECT 100000 + i, 1, 'script' || i, 1 FROM n; DELETE FROM MMDevice WHERE DeviceId > 100000");
  ASSERT_GT(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);

  const int fd = host.connect();
  ASSERT_GE(fd, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(hosttest::takeLock(fd, 7)) << host.log();
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(took, kConsoleWaitMs) << "the lock after the pruned log took " << took << " ms";
  EXPECT_TRUE(hosttest::releaseLock(fd, 8));
  ::close(fd);
  EXPECT_EQ(host.stop(), 0) << host.log();
}

}  // namespace
