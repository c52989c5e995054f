// When an administrator's script changed more rows than the change log
// keeps, the host cannot tell which rows were made again since it last read
// them, and the next lock makes every object anew: it still answers within
// the time the console waits (3,000 ms) on an installation of thousands of
// drives.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

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
  // triggers are made) before the libraries are added.
  const int fd = host.connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd, 1)) << host.log();
  ASSERT_TRUE(hosttest::releaseLock(fd, 2));
  db.execElsewhere(bulkLibraries());
  ASSERT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive WHERE DriveId > 1000"), kLibraries * kDrivesPerLibrary);
  // The host reads them all, then the log is pruned past that read.
  ASSERT_TRUE(hosttest::takeLock(fd, 3)) << host.log();
  ASSERT_TRUE(hosttest::releaseLock(fd, 4));
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = Pruned + 1000000");

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(hosttest::takeLock(fd, 5)) << host.log();
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(took, kConsoleWaitMs) << "the lock after the pruned log took " << took << " ms";
  EXPECT_TRUE(hosttest::releaseLock(fd, 6));
  ::close(fd);
  EXPECT_EQ(host.stop(), 0) << host.log();
}

}  // namespace
