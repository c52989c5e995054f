// The references between tables: the check finds a row that points at a
// row that is gone, an uninstalled library leaves none behind, and a
// mount-path table made by an older build (its key without an identity) is
// made again with one, keeping its rows and what hangs on it.
#include <gtest/gtest.h>

#include "platform/db/DBSession.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "platform/testkit/db.h"
#include "tests/support/ReferenceCheck.h"
#include "tests/support/Seed.h"
#include "tests/support/StoreCheck.h"

namespace {

using References = tktest::DatabaseTest;

// A tape library 7 with master pool 70, drive pools 71 and 72 of two media
// agents, and drive 73 reached from both, its paths in those pools.
void seedTapeLibrary(tktest::TestDatabase& db) {
  tktest::insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId)", {{7, "t", "Tape7", 1}});
  tktest::insertRows(db, "MMMasterPool (MasterPoolId, LibraryId)", {{70, 7}});
  tktest::insertRows(db, "MMDrivePool (DrivePoolId, MasterPoolId, ClientId)", {{71, 70, 1}, {72, 70, 2}});
  tktest::insertRows(db, "MMDrive (DriveId, MasterPoolId)", {{73, 70}});
  tktest::insertRows(db, "MMDrivePath (DriveId, DrivePoolId, ClientId)", {{73, 71, 1}, {73, 72, 2}});
  tktest::insertRows(db, "MMLibraryController (LibraryId, ClientId)", {{7, 1}});
}

TEST_F(References, TheCheckNamesARowThatPointsAtARowThatIsGone) {
  seedTapeLibrary(db);
  EXPECT_EQ(tktest::danglingReferences(), "");
  // 0 names no row.
  tktest::insertRows(db, "MMDrivePath (DriveId, DrivePoolId, ClientId)", {{73, 0, 3}});
  EXPECT_EQ(tktest::danglingReferences(), "");
  ASSERT_EQ(db.exec("DELETE FROM MMDrive"), 0);
  EXPECT_EQ(tktest::danglingReferences(),
            "MMDrivePath(DriveId) -> MMDrive: 3 rows point at none, values 73 73 73\n");
  // The registry's references too: a volume's credential names a stored
  // credential (0 and below name none).
  ASSERT_EQ(db.exec("DELETE FROM MMDrivePath"), 0);
  tktest::insertRows(db, "APP_Credentials (credentialId, credentialName)", {{5, "nas-cred"}});
  tktest::insertRows(db, "MMDeviceController (ClientId, DeviceId, Folder, CredentialAssocId)",
                     {{1, 0, "/a", 5}, {1, 0, "/b", 0}, {1, 0, "/c", -1}});
  EXPECT_EQ(tktest::danglingReferences(), "");
  tktest::insertRows(db, "MMDeviceController (ClientId, DeviceId, Folder, CredentialAssocId)", {{1, 0, "/d", 77}});
  EXPECT_EQ(tktest::danglingReferences(),
            "MMDeviceController(CredentialAssocId) -> APP_Credentials: 1 rows point at none, values 77\n");
}

TEST_F(References, TheTextCheckNamesATextLongerThanItsColumnCountingBytes) {
  seedTapeLibrary(db);
  // FirmwareRevision holds 32 bytes: 32 pass, 16 two-byte letters pass, 17 do not.
  std::string twoByte;
  for (int i = 0; i < 16; ++i) twoByte += "\xC3\xA9";
  ASSERT_EQ(db.exec("UPDATE MMDrive SET FirmwareRevision = '" + std::string(32, 'f') + "'"), 0);
  tktest::insertRows(db, "MMDrive (DriveId, MasterPoolId, FirmwareRevision)", {{74, 70, twoByte}});
  EXPECT_EQ(tktest::overlongTextsIn(tktest::sessionQuery), "");
  tktest::insertRows(db, "MMDrive (DriveId, MasterPoolId, FirmwareRevision)", {{75, 70, twoByte + "\xC3\xA9"}});
  EXPECT_EQ(tktest::overlongTextsIn(tktest::sessionQuery),
            "MMDrive.FirmwareRevision: 1 rows longer than 32 bytes, the longest 34\n");
  // A platform table's own widths count too (a DRU host's name, 255).
  tktest::insertRows(db, "MMDRUHost (HostName)", {{std::string(256, 'h')}});
  EXPECT_EQ(tktest::overlongTextsIn(tktest::sessionQuery),
            "MMDrive.FirmwareRevision: 1 rows longer than 32 bytes, the longest 34\n"
            "MMDRUHost.HostName: 1 rows longer than 255 bytes, the longest 256\n");
}

TEST_F(References, AnUninstalledLibraryLeavesNoRowPointingAtWhatWentWithIt) {
  seedTapeLibrary(db);
  MMLibraryDB libraries;
  ASSERT_EQ(libraries.uninstallLibrary(7), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePool"), 0);
  EXPECT_EQ(tktest::danglingReferences(), "");
}

TEST_F(References, AnUninstalledLibraryTakesThePathsCrossingToAnotherLibraryAndLeavesThatLibrarysOwnAsTheyWere) {
  seedTapeLibrary(db);
  // Library 8: master pool 80, drive pool 81, drive 83 with a path in its
  // own pool. Paths cross: drive 73 has one in pool 81, drive 83 one in
  // pool 71, and drive 83 one in no pool yet.
  tktest::insertRows(db, "MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId)", {{8, "t", "Tape8", 1}});
  tktest::insertRows(db, "MMMasterPool (MasterPoolId, LibraryId)", {{80, 8}});
  tktest::insertRows(db, "MMDrivePool (DrivePoolId, MasterPoolId, ClientId)", {{81, 80, 1}});
  tktest::insertRows(db, "MMDrive (DriveId, MasterPoolId)", {{83, 80}});
  tktest::insertRows(db, "MMDrivePath (DriveId, DrivePoolId, ClientId)",
                     {{83, 81, 1}, {73, 81, 3}, {83, 71, 4}, {83, 0, 5}});
  ASSERT_EQ(tktest::danglingReferences(), "");
  ASSERT_EQ(MMLibraryDB().uninstallLibrary(7), 0);
  // What names library 7's drive or pools goes; library 8's own paths stay
  // in the pools they were in (none moved to no pool or to another pool).
  EXPECT_EQ(db.text("SELECT group_concat(DriveId || ':' || DrivePoolId || ':' || ClientId, ' ') FROM (SELECT * FROM "
                    "MMDrivePath ORDER BY ClientId)"),
            "83:81:1 83:0:5");
  EXPECT_EQ(db.text("SELECT group_concat(DrivePoolId, ' ') FROM MMDrivePool"), "81");
  EXPECT_EQ(db.text("SELECT group_concat(DriveId, ' ') FROM MMDrive"), "83");
  EXPECT_EQ(tktest::danglingReferences(), "");
}

TEST_F(References, AMountPathTableOfAnOlderBuildIsRebuiltWithItsRowsAndGivesNoIdTwice) {
  // No configuration is read here: the schema step alone puts the change
  // log's triggers back on the rebuilt table, in the rebuild's transaction.
  ASSERT_EQ(db.exec("SELECT 1"), 0);
  // The file as an older build left it: a plain key, mount paths 4 and 7.
  db.execElsewhere(
      "DROP INDEX \"MMMountPath_MasterPoolId\"; DROP TABLE MMMountPath; CREATE TABLE MMMountPath (MountPathId "
      "INTEGER, MountPathName TEXT COLLATE NOCASE, MediaSideId INTEGER, UserName TEXT, UserPassword TEXT, IsEnabled "
      "INTEGER, NumberOfWriters INTEGER, MaxConcurrentWriters INTEGER, CurrentFileMarker INTEGER, IsOffline INTEGER, "
      "OfflineReason INTEGER, MountPathTypeId INTEGER, OffLineTimeStamp INTEGER, origTFtarnfoldID INTEGER, "
      "origTFmediaSideID INTEGER, MaxDataToWriteMB INTEGER, MagneticSpaceRsrvInMB INTEGER, Attribute INTEGER, "
      "MasterPoolId INTEGER, LibraryId INTEGER, RMStatus INTEGER, RMStatusUpdateTime INTEGER, OrigTFMountPathId "
      "INTEGER, MagneticChunkFileIncrSizeMB INTEGER, MountPathOfflineReasonEventId INTEGER, StagingMountPathId "
      "INTEGER, PRIMARY KEY (MountPathId)); "
      "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId) VALUES (5, 'd', 'Disk5', 3); "
      "INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MaxConcurrentWriters) VALUES "
      "(4, '/mnt/a', 5, 3), (7, '/mnt/b', 5, 9)");
  for (const char* event : {"inserted", "delete", "updated"})
    db.execElsewhere(tkdb::schemaStatementFor(std::string("MMConfigChange_MMMountPath_") + event));
  ASSERT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'MMMountPath'"), 3);

  testkit::db::reset();  // the next open finds the older table
  EXPECT_NE(db.text("SELECT sql FROM sqlite_master WHERE name = 'MMMountPath'").find("AUTOINCREMENT"),
            std::string::npos);
  EXPECT_EQ(db.text("SELECT group_concat(MountPathId || ' ' || MountPathName || ' ' || MaxConcurrentWriters, ', ') "
                    "FROM MMMountPath"),
            "4 /mnt/a 3, 7 /mnt/b 9");
  // The change log's three triggers come back.
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'MMMountPath'"), 3);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'MMMountPath'"), 2);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMS2getMountPathNameGUIView"), 2);

  ZQMMmountPath removal(1);
  ASSERT_EQ(removal.delMountPath(7, true), 0);
  MMSMountpathInfo info;
  info.libraryId = 5;
  info.baseFolder = "/mnt/c";
  ZQMMmountPath paths(info, 1);
  int made = 0;
  ASSERT_EQ(paths.addMountPath(made), 0);
  EXPECT_EQ(made, 8);
}

TEST_F(References, AnOlderMountPathTableWithOtherColumnsIsLeftAsItWas) {
  ASSERT_EQ(db.exec("SELECT 1"), 0);
  db.execElsewhere(
      "DROP INDEX \"MMMountPath_MasterPoolId\"; DROP TABLE MMMountPath; CREATE TABLE MMMountPath (MountPathId "
      "INTEGER, MountPathName TEXT, LibraryId INTEGER, PRIMARY KEY (MountPathId)); INSERT INTO MMMountPath VALUES "
      "(3, '/x', 1)");
  testkit::db::reset();
  // Not a column's name stored as text in the columns it lacks: nothing.
  EXPECT_EQ(db.text("SELECT group_concat(MountPathId || ' ' || MountPathName || ' ' || LibraryId) FROM MMMountPath"),
            "3 /x 1");
  EXPECT_EQ(db.text("SELECT sql FROM sqlite_master WHERE name = 'MMMountPath'").find("AUTOINCREMENT"),
            std::string::npos);
}

}  // namespace
