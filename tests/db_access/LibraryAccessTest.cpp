// Libraries, library controllers (code 309), master pools, drives and drive
// pools through the table access.
#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

TEST_F(AccessTest, ALibraryIsFoundByIdNameAndMountPathWithEveryColumn) {
  MMLibraryDB libraries(&log);
  MMLibrary_t byName;
  ASSERT_EQ(0, libraries.getInfoByAliasName("DISKLIB1", byName, nullptr));
  EXPECT_EQ(kDiskLib, byName.LibraryId);
  EXPECT_STREQ("disk1", byName.LibraryName);
  EXPECT_STREQ("DiskLib1", byName.AliasName);
  EXPECT_EQ(3, byName.LibraryTypeId);
  EXPECT_EQ(100, byName.LowWaterMarkMB);
  EXPECT_EQ(1, byName.ExtendedAttributes);
  ASSERT_NE(nullptr, byName.Descript);
  EXPECT_STREQ("the disk library", byName.Descript);
  EXPECT_EQ(nullptr, byName.LibSvrConfig);
  MMLibrary_t tape;
  ASSERT_EQ(0, libraries.getInfo(kTapeLib, tape, nullptr));
  EXPECT_STREQ("TapeLib1", tape.AliasName);
  EXPECT_EQ(nullptr, tape.Descript);
}

TEST_F(AccessTest, ALibraryNameIsRequiredAndBoundedBeforeAnyQuery) {
  MMLibraryDB libraries(&log);
  MMLibrary_t row;
  EXPECT_EQ(-1, libraries.getInfoByAliasName(nullptr, row, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, libraries.getErrorCode());
  EXPECT_EQ(-1, libraries.getInfoByAliasName("", row, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, libraries.getErrorCode());
  const std::string tooLong(513, 'n');
  EXPECT_EQ(-1, libraries.renameLibrary(kDiskLib, tooLong.c_str(), nullptr));
  EXPECT_EQ(MMS2_ERROR_TEXT_TOO_LONG, libraries.getErrorCode());
  EXPECT_EQ("DiskLib1", db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"));
  const std::string longest(512, 'n');
  EXPECT_EQ(0, libraries.renameLibrary(kDiskLib, longest.c_str(), nullptr));
  EXPECT_EQ(longest, db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"));
}

TEST_F(AccessTest, RenamingALibraryRefusesANameAnotherLibraryCarries) {
  MMLibraryDB libraries(&log);
  EXPECT_EQ(-1, libraries.renameLibrary(kDiskLib, "tapelib1", nullptr));
  EXPECT_EQ(MMS2_ERROR_DUPLICATE_NAME, libraries.getErrorCode());
  EXPECT_EQ("DiskLib1", db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"));
  // Its own name in another letter case is no clash.
  EXPECT_EQ(0, libraries.renameLibrary(kDiskLib, "DISKLIB1", nullptr));
  EXPECT_EQ("DISKLIB1", db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"));
  EXPECT_EQ(-1, libraries.renameLibrary(99, "Elsewhere", nullptr));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, libraries.getErrorCode());
  EXPECT_EQ(100, libraries.getDBError());
}

TEST_F(AccessTest, DescriptionAndTypeOfALibraryChange) {
  MMLibraryDB libraries(&log);
  ASSERT_EQ(0, libraries.setDescription(kTapeLib, "tapes in the basement", nullptr));
  ASSERT_EQ(0, libraries.setLibraryTypeId(kTapeLib, 10, nullptr));
  MMLibrary_t row;
  ASSERT_EQ(0, libraries.getInfo(kTapeLib, row, nullptr));
  EXPECT_STREQ("tapes in the basement", row.Descript);
  EXPECT_EQ(10, row.LibraryTypeId);
  ASSERT_EQ(0, libraries.setDescription(kTapeLib, nullptr, nullptr));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 2 AND Descript IS NULL"));
  EXPECT_EQ(-1, libraries.setLibraryTypeId(99, 10, nullptr));
  EXPECT_EQ(100, libraries.getDBError());
}

TEST_F(AccessTest, UninstallingALibraryRemovesEverythingOfItAndNothingElse) {
  run("INSERT INTO MMRPStoreConfig (RPStoreId, Name, LibraryId, MountPathId) VALUES (5, 'store', 1, 51)");
  run("INSERT INTO MMRPStoreProp (RPStoreId, PropName, PropValue) VALUES (5, 'OffPeak Schedule', 'x')");
  run("INSERT INTO MMHybridCloudMapping (CloudLibraryId, DiskLibraryId) VALUES (3, 1)");
  MMLibraryDB libraries(&log);
  ASSERT_EQ(0, libraries.uninstallLibrary(kDiskLib, nullptr));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 1"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMountPath"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMountPathToStorageDevice"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMedia"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMediaSide"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMediaBackup"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreConfig"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreProp"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMHybridCloudMapping"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMasterPool WHERE LibraryId = 1"));
  // The other libraries, the device and its paths stay.
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMLibrary"));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMDrive"));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMDevice"));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMDeviceController"));
  ASSERT_EQ(0, libraries.uninstallLibrary(kTapeLib, nullptr));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMDrive"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMDrivePool"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMLibraryController"));
  EXPECT_EQ(-1, libraries.uninstallLibrary(kTapeLib, nullptr));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, libraries.getErrorCode());
}

TEST_F(AccessTest, AnUninstallThatFailsHalfwayLeavesTheLibraryWhole) {
  // Every statement runs up to the last one, which the database refuses:
  // everything comes back.
  run("CREATE TRIGGER refuseLibraryDelete BEFORE DELETE ON MMLibrary BEGIN SELECT RAISE(ABORT, 'kept'); END");
  MMLibraryDB libraries(&log);
  EXPECT_EQ(-1, libraries.uninstallLibrary(kDiskLib, nullptr));
  EXPECT_EQ(MMS2_ERROR_DATABASE, libraries.getErrorCode());
  EXPECT_NE(0, libraries.getDBError());
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPath"));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMediaBackup"));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMMasterPool WHERE LibraryId = 1"));
  EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM MMLibrary"));
}

// ---- library controllers: code 309 -----------------------------------------------------------

TEST_F(AccessTest, TheActiveControllerIsReadAndALibraryWithoutOneAnswers309) {
  MMLibraryControllerDB controllers(&log);
  MMLibraryController_t active;
  ASSERT_EQ(0, controllers.getInfoForActiveCtrl(kTapeLib, active, nullptr));
  EXPECT_EQ(kLibCtrlMA1, active.LibraryControllerId);
  EXPECT_EQ(kMA1, active.ClientId);
  EXPECT_EQ(1, active.IsActive);

  run("UPDATE MMLibraryController SET IsActive = 0");
  MMLibraryController_t none;
  EXPECT_EQ(-1, controllers.getInfoForActiveCtrl(kTapeLib, none, nullptr));
  EXPECT_EQ(309, controllers.getErrorCode());
  EXPECT_EQ(100, controllers.getDBError());
  EXPECT_EQ(0, none.LibraryControllerId);  // as constructed: a move then starts from controller 0
  char text[1025];
  EXPECT_STREQ("The library has no active library controller.",
               ErrorTrans::getErrorString(controllers.getErrorCode(), text, sizeof text, 0));
}

TEST_F(AccessTest, SwitchingControlMovesTheActiveFlagWithinTheLibrary) {
  MMLibraryControllerDB controllers(&log);
  ZQMMlcpInfo lcp(1);
  // The caller's view of the active controller must be current.
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, lcp.switchControl(kLibCtrlMA2, kLibCtrlMA1));
  ASSERT_EQ(0, lcp.switchControl(kLibCtrlMA1, kLibCtrlMA2));
  MMLibraryController_t active;
  ASSERT_EQ(0, controllers.getInfoForActiveCtrl(kTapeLib, active, nullptr));
  EXPECT_EQ(kLibCtrlMA2, active.LibraryControllerId);
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMLibraryController WHERE IsActive <> 0"));
  // After 309 the move starts from controller 0.
  run("UPDATE MMLibraryController SET IsActive = 0");
  ASSERT_EQ(0, lcp.switchControl(0, kLibCtrlMA1));
  ASSERT_EQ(0, controllers.getInfoForActiveCtrl(kTapeLib, active, nullptr));
  EXPECT_EQ(kLibCtrlMA1, active.LibraryControllerId);
  int code = 0;
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_NOT_FOUND, lcp.switchControl(kLibCtrlMA1, 999));
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_NOT_FOUND, lcp.GetErrorCode(code));
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_NOT_FOUND, code);
}

// ---- master pools, drives and drive pools ------------------------------------------------------

TEST_F(AccessTest, TheWriterLimitOfAMasterPoolChanges) {
  MMMasterPoolDB pools(&log);
  ASSERT_EQ(0, pools.setMaxSwitchForHost(kDiskPool, 1000, nullptr));
  ASSERT_EQ(0, pools.setMaxSwitchForHost(kTapePool, -1, nullptr));
  EXPECT_EQ(1000, scalar("SELECT MaxDrivesToSwitch FROM MMMasterPool WHERE MasterPoolId = 21"));
  EXPECT_EQ(-1, scalar("SELECT MaxDrivesToSwitch FROM MMMasterPool WHERE MasterPoolId = 22"));
  EXPECT_EQ(-1, pools.setMaxSwitchForHost(kDiskPool, -2, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, pools.getErrorCode());
  EXPECT_EQ(-1, pools.setMaxSwitchForHost(99, 5, nullptr));
  EXPECT_EQ(100, pools.getDBError());
}

TEST_F(AccessTest, DriveMaintenanceResetsTheRightCounters) {
  MMDriveDB drives(&log);
  ASSERT_EQ(0, drives.resetCleaningCounters(kDrive, nullptr));
  EXPECT_EQ(0, scalar("SELECT NumSoftErrsSinceClean + MinutesUsedSinceClean + CleaningRequired FROM MMDrive"));
  EXPECT_EQ(900, scalar("SELECT MinutesUsedLifeTime FROM MMDrive"));
  EXPECT_EQ(40, scalar("SELECT NumMountsLifeTime FROM MMDrive"));
  ASSERT_EQ(0, drives.resetAllCounters(kDrive, nullptr));
  EXPECT_EQ(0, scalar("SELECT MinutesUsedLifeTime + NumMountsLifeTime FROM MMDrive"));
  EXPECT_EQ(1, scalar("SELECT DriveBroken FROM MMDrive"));
  ASSERT_EQ(0, drives.setGood(kDrive, nullptr));
  EXPECT_EQ(0, scalar("SELECT DriveBroken FROM MMDrive"));
  for (auto call : {&MMDriveDB::resetAllCounters, &MMDriveDB::resetCleaningCounters, &MMDriveDB::setGood}) {
    EXPECT_EQ(-1, (drives.*call)(99, nullptr));
    EXPECT_EQ(MMS2_ERROR_NOT_FOUND, drives.getErrorCode());
  }
}

TEST_F(AccessTest, TheDrivePoolsOfAMediaAgentInALibrary) {
  MMDrivePoolDB pools(&log);
  MMDrivePool_t* rows = nullptr;
  int count = 0;
  ASSERT_EQ(0, pools.getList(kTapeLib, kMA1, rows, count, nullptr));
  ASSERT_EQ(1, count);
  EXPECT_EQ(kDrivePool, rows[0].DrivePoolId);
  EXPECT_EQ(4, rows[0].MaxDrivesToSwitch);
  MMDrivePoolDB::DeleteList(rows, __FILE__, __LINE__);
  ASSERT_EQ(0, pools.getList(kTapeLib, kMA2, rows, count, nullptr));
  EXPECT_EQ(0, count);
  EXPECT_EQ(nullptr, rows);
  ASSERT_EQ(0, pools.getList(kDiskLib, kMA1, rows, count, nullptr));
  EXPECT_EQ(0, count);
}

}  // namespace
}  // namespace dbaccess
