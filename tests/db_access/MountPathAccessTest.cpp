// Mount paths, devices, device controllers, media, RP stores and the other
// rows of the table access.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

TEST_F(AccessTest, TheSingleColumnChangesOfAMountPath) {
  MMMountPathDB paths(&log);
  ASSERT_EQ(0, paths.setMaxWriters(kMP2, 999, nullptr));
  ASSERT_EQ(0, paths.setMagneticReserveSpace(kMP2, 4096, nullptr));
  ASSERT_EQ(0, paths.setAttribute(kMP2, 0x2008, nullptr));
  ASSERT_EQ(0, paths.setDisabled(kMP2, nullptr));
  ASSERT_EQ(0, paths.setMountPathType(kMP2, MOUNTPATH_TYPE_RP_STORE, nullptr));
  MMMountPath_t row;
  ASSERT_EQ(0, paths.getInfo(kMP2, row, nullptr));
  EXPECT_EQ(999, row.MaxConcurrentWriters);
  EXPECT_EQ(4096, row.MagneticSpaceRsrvInMB);
  EXPECT_EQ(0x2008, row.Attribute);
  EXPECT_EQ(0, row.IsEnabled);
  EXPECT_EQ(9, row.MountPathTypeId);
  ASSERT_EQ(0, paths.setEnabled(kMP2, nullptr));
  EXPECT_EQ(1, scalar("SELECT IsEnabled FROM MMMountPath WHERE MountPathId = 52"));
  // The other mount path is untouched.
  ASSERT_EQ(0, paths.getInfo(kMP1, row, nullptr));
  EXPECT_EQ(10, row.MaxConcurrentWriters);
  EXPECT_EQ(8, row.Attribute);
  // Values a mount path cannot hold are refused.
  EXPECT_EQ(-1, paths.setMaxWriters(kMP2, -1, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, paths.getErrorCode());
  EXPECT_EQ(-1, paths.setMagneticReserveSpace(kMP2, -5, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, paths.getErrorCode());
}

TEST_F(AccessTest, OfflineCarriesReasonAndTimeAndOnlineClearsThem) {
  testkit::mmdb::journal().reset();
  MMMountPathDB paths(&log);
  ASSERT_EQ(0, paths.setOffline(kMP1, MOUNTPATH_OFFLINE_FOR_DELETION, nullptr));
  MMMountPath_t row;
  ASSERT_EQ(0, paths.getInfo(kMP1, row, nullptr));
  EXPECT_EQ(1, row.IsOffline);
  EXPECT_EQ(6, row.OfflineReason);
  EXPECT_GT(row.OffLineTimeStamp, 0);
  ASSERT_EQ(0, paths.setOnline(kMP1, nullptr));
  ASSERT_EQ(0, paths.getInfo(kMP1, row, nullptr));
  EXPECT_EQ(0, row.IsOffline);
  EXPECT_EQ(0, row.OfflineReason);
  EXPECT_EQ(0, row.OffLineTimeStamp);
  auto calls = testkit::mmdb::calls("MMMountPathDB::setOffline");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"51", "6", "null"}), calls[0].args);
}

TEST_F(AccessTest, TheMountPathCountOfALibrary) {
  MMMountPathDB paths(&log);
  int count = -1;
  ASSERT_EQ(0, paths.getMountPathCountForLibrary(kDiskLib, count, nullptr));
  EXPECT_EQ(2, count);
  ASSERT_EQ(0, paths.getMountPathCountForLibrary(kEmptyLib, count, nullptr));
  EXPECT_EQ(0, count);
  count = 42;
  testkit::db::journal().injectFailure("exec", DB_ERR_IO, "disk I/O error");
  EXPECT_EQ(-1, paths.getMountPathCountForLibrary(kDiskLib, count, nullptr));
  EXPECT_EQ(42, count);
  EXPECT_EQ(DB_ERR_IO, paths.getDBError());
}

TEST_F(AccessTest, RenamingADeviceKeepsNamesUniqueAndAllowsACaseChange) {
  run("INSERT INTO MMDevice (DeviceId, AliasName, DeviceTypeId) VALUES (32, 'Other', 3)");
  MMDeviceDB devices(&log);
  EXPECT_EQ(-1, devices.renameDevice(kDevice, "OTHER", nullptr));
  EXPECT_EQ(MMS2_ERROR_DUPLICATE_NAME, devices.getErrorCode());
  ASSERT_EQ(0, devices.renameDevice(kDevice, "device31", nullptr));
  ASSERT_EQ(0, devices.renameDevice(kDevice, "NAS share \\\\filer\\vol1", nullptr));
  MMDevice_t row;
  ASSERT_EQ(0, devices.getInfoByMountPath(kMP2, row, nullptr));
  EXPECT_STREQ("NAS share \\\\filer\\vol1", row.AliasName);
  EXPECT_EQ(-1, devices.renameDevice(kDevice, "", nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, devices.getErrorCode());
  EXPECT_EQ(-1, devices.renameDevice(99, "Nowhere", nullptr));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, devices.getErrorCode());
}

TEST_F(AccessTest, AControllerMayBeAddedOnlyForKnownLibraryDeviceAndMediaAgent) {
  MMDeviceControllerDB controllers(&log);
  EXPECT_EQ(0, controllers.canAddController(kDiskLib, 0, kMA1, nullptr));
  EXPECT_EQ(0, controllers.canAddController(kDiskLib, kDevice, kMA2, nullptr));
  EXPECT_EQ(-1, controllers.canAddController(99, 0, kMA1, nullptr));
  EXPECT_EQ(MMS2_ERROR_REFERENCE, controllers.getErrorCode());
  EXPECT_EQ(-1, controllers.canAddController(kDiskLib, 99, kMA1, nullptr));
  EXPECT_EQ(-1, controllers.canAddController(kDiskLib, 0, kPlainClient, nullptr));
  char text[2048];
  EXPECT_STREQ("Client [13] is not a media agent.", controllers.getLastError(text, sizeof text));
  EXPECT_STREQ("An object that the change refers to does not exist.",
               MMS2BaseError::getErrorStringForCode(controllers.getErrorCode(), text, sizeof text, 0));
}

TEST_F(AccessTest, PowerStateAndVersionOfMediaAgents) {
  MMHostDB hosts(&log);
  bool managed = true;
  bool off = true;
  ASSERT_EQ(0, hosts.isPowerManagedMA(kMA1, managed, off, nullptr));
  EXPECT_FALSE(managed);
  EXPECT_FALSE(off);
  ASSERT_EQ(0, hosts.isPowerManagedMA(kMA2, managed, off, nullptr));
  EXPECT_TRUE(managed);
  EXPECT_TRUE(off);
  managed = off = false;
  EXPECT_EQ(-1, hosts.isPowerManagedMA(kPlainClient, managed, off, nullptr));
  EXPECT_EQ(100, hosts.getDBError());
  EXPECT_FALSE(managed);

  MMMiscDB misc(&log);
  int release = 0;
  int servicePack = 0;
  ASSERT_EQ(0, misc.getMAVersionInfo(kMA1, release, servicePack, nullptr));
  EXPECT_EQ(16, release);
  EXPECT_EQ(20, servicePack);
  release = servicePack = -9;
  EXPECT_EQ(-1, misc.getMAVersionInfo(kPlainClient, release, servicePack, nullptr));
  EXPECT_EQ(-9, release);
  EXPECT_EQ(-9, servicePack);
}

TEST_F(AccessTest, DeletingTheBackupsOfAMediumReportsThemInJobOrder) {
  MMMediaDB media(&log);
  std::vector<ArchDeleteBackupByMedia_t> deleted(1);  // the call appends
  bool empty = false;
  int count = -1;
  ASSERT_EQ(0, media.deleteAllBackupsFromOldMedia(kMedia1, -1, empty, count, true, true, nullptr, deleted));
  EXPECT_TRUE(empty);
  EXPECT_EQ(2, count);
  ASSERT_EQ(3u, deleted.size());
  EXPECT_EQ(1001, deleted[1].jobId);
  EXPECT_EQ(9, deleted[1].copyId);
  EXPECT_EQ(1002, deleted[2].jobId);
  EXPECT_EQ(5, deleted[2].appId);
  EXPECT_EQ(7, deleted[2].archGroupId);
  EXPECT_EQ(kMedia1, deleted[2].mediaId);
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMediaBackup"));
  EXPECT_EQ(0, scalar("SELECT DataWritten FROM MMMedia WHERE MediaId = 61"));
  // A medium that does not exist is refused and reports nothing.
  deleted.clear();
  count = -1;
  EXPECT_EQ(-1, media.deleteAllBackupsFromOldMedia(99, -1, empty, count, true, true, nullptr, deleted));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, media.getErrorCode());
  EXPECT_TRUE(deleted.empty());
  EXPECT_EQ(-1, count);
}

TEST_F(AccessTest, DeletingTheBackupsOfOneCopyLeavesTheOthers) {
  MMMediaDB media(&log);
  std::vector<ArchDeleteBackupByMedia_t> deleted;
  bool empty = true;
  int count = 0;
  ASSERT_EQ(0, media.deleteAllBackupsFromOldMedia(kMedia1, 8, empty, count, true, false, nullptr, deleted));
  EXPECT_FALSE(empty);
  EXPECT_EQ(1, count);
  ASSERT_EQ(1u, deleted.size());
  EXPECT_EQ(1002, deleted[0].jobId);
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMMediaBackup"));
  EXPECT_EQ(4096, scalar("SELECT DataWritten FROM MMMedia WHERE MediaId = 61"));
}

TEST_F(AccessTest, RPStoresAreAddedReadUpdatedByMaskAndDeletedWithTheirProperties) {
  MMRPStoreConfigDB stores(&log);
  MMRPStoreConfig_t row;
  std::snprintf(row.Name, sizeof row.Name, "%s", "RP store 1");
  row.LibraryId = kDiskLib;
  row.MountPathId = kMP2;
  row.State = kRPStoreStateCreated;
  row.MinSpace = 10;
  row.MaxSpace = 5000;
  int id = 0;
  ASSERT_EQ(0, stores.addRPStoreConfig(row, id, nullptr));
  EXPECT_GT(id, 0);
  EXPECT_EQ(id, row.RPStoreId);

  MMMiscDB misc(&log);
  ASSERT_EQ(0, misc.setRPStoreProp(id, "OffPeak Schedule", "<windows/>", nullptr));
  ASSERT_EQ(0, misc.setRPStoreProp(id, "offpeak schedule", "<windows a='1'/>", nullptr));  // same property
  std::string value = "stale";
  ASSERT_EQ(0, misc.getRPStoreProp(id, "OffPeak Schedule", value, nullptr));
  EXPECT_EQ("<windows a='1'/>", value);
  ASSERT_EQ(0, misc.getRPStoreProp(id, "Unset Property", value, nullptr));
  EXPECT_EQ("", value);
  EXPECT_EQ(-1, misc.getRPStoreProp(id + 100, "OffPeak Schedule", value, nullptr));
  EXPECT_EQ(100, misc.getDBError());

  MMRPStoreConfig_t update;
  update.RPStoreId = id;
  std::snprintf(update.Name, sizeof update.Name, "%s", "renamed");
  update.MinSpace = 77;
  update.MaxSpace = 88;
  ASSERT_EQ(0, stores.updateRPStoreConfig(update, MM_RPSTORE_UPDATE_MAX_SPACE, nullptr));
  MMRPStoreConfig_t read;
  ASSERT_EQ(0, stores.getInfo(id, read, nullptr));
  EXPECT_STREQ("RP store 1", read.Name);
  EXPECT_EQ(10, read.MinSpace);
  EXPECT_EQ(88, read.MaxSpace);
  EXPECT_EQ(kRPStoreStateCreated, read.State);
  ASSERT_EQ(0, stores.updateRPStoreConfig(update, MM_RPSTORE_UPDATE_NAME | MM_RPSTORE_UPDATE_MIN_SPACE, nullptr));
  ASSERT_EQ(0, stores.getInfo(id, read, nullptr));
  EXPECT_STREQ("renamed", read.Name);
  EXPECT_EQ(77, read.MinSpace);
  // A mask without a column of the row still needs the store.
  EXPECT_EQ(0, stores.updateRPStoreConfig(update, MM_RPSTORE_UPDATE_SCHEDULE, nullptr));
  update.RPStoreId = id + 100;
  EXPECT_EQ(-1, stores.updateRPStoreConfig(update, MM_RPSTORE_UPDATE_SCHEDULE, nullptr));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, stores.getErrorCode());

  MMRPStoreConfig_t* list = nullptr;
  int count = 0;
  ASSERT_EQ(0, stores.getRPStoresForLibrary(kDiskLib, list, count, nullptr));
  ASSERT_EQ(1, count);
  EXPECT_EQ(id, list[0].RPStoreId);
  MMRPStoreConfigDB::DeleteList(list, __FILE__, __LINE__);

  ASSERT_EQ(0, stores.deleteRPStoreForMP(kMP2, nullptr));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreConfig"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreProp"));
  EXPECT_EQ(0, stores.deleteRPStoreForMP(kMP2, nullptr));  // none left: no failure
}

TEST_F(AccessTest, AnRPStoreNeedsANameAndAnExistingLibrary) {
  MMRPStoreConfigDB stores(&log);
  MMRPStoreConfig_t row;
  row.LibraryId = kDiskLib;
  int id = -4;
  EXPECT_EQ(-1, stores.addRPStoreConfig(row, id, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, stores.getErrorCode());
  std::snprintf(row.Name, sizeof row.Name, "%s", "store");
  row.LibraryId = 99;
  EXPECT_EQ(-1, stores.addRPStoreConfig(row, id, nullptr));
  EXPECT_EQ(MMS2_ERROR_REFERENCE, stores.getErrorCode());
  EXPECT_EQ(-4, id);
  EXPECT_EQ(0, row.RPStoreId);
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreConfig"));
}

TEST_F(AccessTest, ReplicationPairsOfAMountPathAreThoseOfItsStores) {
  run("INSERT INTO MMRPStoreConfig (RPStoreId, Name, LibraryId, MountPathId) VALUES (5, 'a', 1, 51), "
      "(6, 'b', 1, 52)");
  run("INSERT INTO BlrPair (PairId, RPStoreId, HeadProxyClientId) VALUES (1, 5, 11), (2, 6, 11), (3, 5, 12)");
  MMMiscDB misc(&log);
  BlrPair_t* pairs = nullptr;
  int count = 0;
  ASSERT_EQ(0, misc.getBLRPairsForMountPath(kMP1, pairs, count, nullptr));
  ASSERT_EQ(2, count);
  EXPECT_EQ(1, pairs[0].PairId);
  EXPECT_EQ(3, pairs[1].PairId);
  EXPECT_EQ(12, pairs[1].HeadProxyClientId);
  MMMiscDB::DeleteList(pairs, __FILE__, __LINE__);
  ASSERT_EQ(0, misc.getBLRPairsForMountPath(99, pairs, count, nullptr));
  EXPECT_EQ(0, count);
  EXPECT_EQ(nullptr, pairs);
}

TEST_F(AccessTest, ADistributedStorageIsAttachedToAnExistingMountPath) {
  MMMiscDB misc(&log);
  ASSERT_EQ(0, misc.setDistributedStorageForMountPath(kMP1, 7, nullptr));
  ASSERT_EQ(0, misc.setDistributedStorageForMountPath(kMP1, 8, nullptr));
  EXPECT_EQ(8, scalar("SELECT DistributedStorageId FROM MMMountPathToDistributedStorage WHERE MountPathId = 51"));
  EXPECT_EQ(-1, misc.setDistributedStorageForMountPath(99, 8, nullptr));
  EXPECT_EQ(MMS2_ERROR_NOT_FOUND, misc.getErrorCode());
  EXPECT_EQ(-1, misc.setDistributedStorageForMountPath(kMP1, 0, nullptr));
  EXPECT_EQ(MMS2_ERROR_BAD_ARGUMENT, misc.getErrorCode());
}

TEST_F(AccessTest, HybridCloudMappingsAreFoundByCloudLibraryAndRemovedByDiskLibrary) {
  MMHybridCloudMappingDB mappings(&log);
  MMHybridCloudMapping_t row;
  EXPECT_EQ(-1, mappings.getInfoByCloudLibId(kEmptyLib, row, nullptr));
  EXPECT_EQ(100, mappings.getDBError());  // no hybrid cloud: the caller stops quietly
  ZQMMDBLibInfo libInfo(1);
  ASSERT_EQ(0, libInfo.setHybridCloudLib(kDiskLib, kEmptyLib, 1, 7));
  ASSERT_EQ(0, mappings.getInfoByCloudLibId(kEmptyLib, row, nullptr));
  EXPECT_EQ(kEmptyLib, row.CloudLibraryId);
  EXPECT_EQ(kDiskLib, row.DiskLibraryId);
  EXPECT_EQ(0, mappings.deleteHybridCloudMappingByDiskLib(kDiskLib, nullptr));
  EXPECT_EQ(-1, mappings.getInfoByCloudLibId(kEmptyLib, row, nullptr));
  EXPECT_EQ(0, mappings.deleteHybridCloudMappingByDiskLib(kDiskLib, nullptr));  // none: no failure
  // Unpairing removes only that pairing; a flag other than 0 and 1 is refused.
  ASSERT_EQ(0, libInfo.setHybridCloudLib(kDiskLib, kEmptyLib, 1, 7));
  ASSERT_EQ(0, libInfo.setHybridCloudLib(kTapeLib, kEmptyLib, 0, 7));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMHybridCloudMapping"));
  ASSERT_EQ(0, libInfo.setHybridCloudLib(kDiskLib, kEmptyLib, 0, 7));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMHybridCloudMapping"));
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, libInfo.setHybridCloudLib(kDiskLib, kEmptyLib, 2, 7));
  EXPECT_EQ(ZQMM_ERR_LIBRARY_NOT_FOUND, libInfo.setHybridCloudLib(99, kEmptyLib, 1, 7));
}

TEST_F(AccessTest, NDMPHostEntriesAreAddedFoundChangedAndDeleted) {
  MMNDMPHostInfoDB hosts(&log);
  MMNDMPHostInfo_t row;
  EXPECT_EQ(1, hosts.getInfoByClientId(kMA1, row, nullptr));  // no entry: 1 and code 261
  EXPECT_EQ(261, hosts.getErrorCode());
  EXPECT_EQ(100, hosts.getDBError());
  std::snprintf(row.login, sizeof row.login, "%s", "ndmp");
  std::snprintf(row.password, sizeof row.password, "%s", "ENC(secret)");
  std::snprintf(row.hostTag, sizeof row.hostTag, "%s", " ");
  row.listenPort = 10000;
  row.osType = 12;
  row.hostSettingA = 2;
  row.hostSettingB = 1;
  row.capabilityFlags = 0x80000001u;
  row.clientId = kMA1;
  int id = 0;
  ASSERT_EQ(0, hosts.addNDMPHostInfo(row, id, nullptr));
  EXPECT_EQ(id, row.ndmpHostId);
  ASSERT_EQ(0, hosts.setLoginAndPassword(id, "O'Neil", "ENC(other)", nullptr));
  ASSERT_EQ(0, hosts.setOSType(id, 16, nullptr));
  ASSERT_EQ(0, hosts.setFirmwareRevision(id, "9.8", nullptr));
  ASSERT_EQ(0, hosts.setListenPort(id, 10001, nullptr));
  ASSERT_EQ(0, hosts.setCapabilityFlags(id, 0xFFFFFFFFu, nullptr));
  MMNDMPHostInfo_t read;
  ASSERT_EQ(0, hosts.getInfoByClientIdAndOSType(kMA1, 16, read, nullptr));
  EXPECT_STREQ("O'Neil", read.login);
  EXPECT_STREQ("ENC(other)", read.password);
  EXPECT_STREQ("9.8", read.firmwareRevision);
  EXPECT_EQ(10001, read.listenPort);
  EXPECT_EQ(0xFFFFFFFFu, read.capabilityFlags);
  EXPECT_STREQ(" ", read.hostTag);
  EXPECT_EQ(1, hosts.getInfoByClientIdAndOSType(kMA1, 12, read, nullptr));
  EXPECT_EQ(-1, hosts.setFirmwareRevision(id, std::string(33, 'v').c_str(), nullptr));
  EXPECT_EQ(MMS2_ERROR_TEXT_TOO_LONG, hosts.getErrorCode());
  EXPECT_EQ(-1, hosts.setListenPort(id, 70000, nullptr));
  ASSERT_EQ(0, hosts.deleteNDMPHostInfo(id, nullptr));
  EXPECT_EQ(-1, hosts.deleteNDMPHostInfo(id, nullptr));
  EXPECT_EQ(1, hosts.getInfoByClientId(kMA1, read, nullptr));
}

}  // namespace
}  // namespace dbaccess
