// The client-info objects: mount paths, devices and device paths really
// added, changed and removed, all or nothing, and seen by the table access.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/db_access/AccessFixture.h"

namespace dbaccess {
namespace {

MMConfigDeviceControllerInfo entry(uint32_t operation, uint32_t clientId, uint32_t controllerId, const char* folder,
                                   uint32_t accessType) {
  MMConfigDeviceControllerInfo e;
  e.operation = operation;
  e.clientId = clientId;
  e.deviceControllerId = controllerId;
  MMCopyText(e.folder, folder);
  MMCopyText(e.userName, "svc");
  MMCopyText(e.password, "ENC(pw)");
  e.deviceAccessType = accessType;
  e.enabled = 1;
  return e;
}

TEST_F(AccessTest, AListUpdateAddsChangesAndRemovesDevicePaths) {
  run("INSERT INTO APP_Client (id, name) VALUES (14, 'ma3')");
  run("INSERT INTO MMHost (ClientId) VALUES (14)");
  std::vector<MMConfigDeviceControllerInfo> list;
  list.push_back(entry(MM_DEVICE_CONTROLLER_ADD, 14, 0, "/mnt/c", 20));
  MMConfigDeviceControllerInfo change = entry(MM_DEVICE_CONTROLLER_CHANGE, kMA1, kCtrlMA1, "/mnt/a2", 4);
  change.enabled = 0;
  list.push_back(change);
  list.push_back(entry(MM_DEVICE_CONTROLLER_REMOVE, kMA2, kCtrlMA2, "", 22));
  ZQMMDeviceInfo devices(1);
  ASSERT_EQ(0, devices.configDeviceControllerList(kDevice, list));

  MMDeviceControllerDB controllers(&log);
  MMDeviceController_t row;
  ASSERT_EQ(0, controllers.getInfoByHstAndDeviceId(14, kDevice, row, nullptr));
  EXPECT_STREQ("/mnt/c", row.Folder);
  EXPECT_STREQ("svc", row.UserName);
  EXPECT_STREQ("ENC(pw)", row.UserPassword);
  EXPECT_EQ(20, row.DeviceAccessType);
  EXPECT_EQ(1, row.DeviceControllerEnabled);
  ASSERT_EQ(0, controllers.getInfo(kCtrlMA1, row, nullptr));
  EXPECT_STREQ("/mnt/a2", row.Folder);
  EXPECT_EQ(4, row.DeviceAccessType);
  EXPECT_EQ(0, row.DeviceControllerEnabled);
  EXPECT_EQ(-1, controllers.getInfo(kCtrlMA2, row, nullptr));
  EXPECT_EQ(100, controllers.getDBError());

  auto calls = testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"31", "3", "1:14:0:20:/mnt/c", "2:11:41:4:/mnt/a2", "3:12:42:22:"}),
            calls[0].args);
}

TEST_F(AccessTest, AListUpdateWithOneBadEntryChangesNothing) {
  std::vector<MMConfigDeviceControllerInfo> list;
  list.push_back(entry(MM_DEVICE_CONTROLLER_CHANGE, kMA1, kCtrlMA1, "/mnt/changed", 4));
  list.push_back(entry(MM_DEVICE_CONTROLLER_REMOVE, kMA2, 999, "", 0));  // no such path of the device
  ZQMMDeviceInfo devices(1);
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_NOT_FOUND, devices.configDeviceControllerList(kDevice, list));
  int code = 0;
  char text[2048];
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_NOT_FOUND, devices.GetLastError(code, text, sizeof text));
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_NOT_FOUND, code);
  EXPECT_STREQ("Device [31] has no device controller [999].", text);
  EXPECT_EQ("/mnt/a", db.text("SELECT Folder FROM MMDeviceController WHERE DeviceControllerId = 41"));

  // A second path of the same media agent to the device, an unknown
  // operation and a device that does not exist are refused as well.
  list = {entry(MM_DEVICE_CONTROLLER_ADD, kMA1, 0, "/mnt/again", 4)};
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_EXISTS, devices.configDeviceControllerList(kDevice, list));
  list = {entry(7, kMA1, kCtrlMA1, "/x", 4)};
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, devices.configDeviceControllerList(kDevice, list));
  list = {entry(MM_DEVICE_CONTROLLER_ADD, kPlainClient, 0, "/x", 4)};
  EXPECT_EQ(ZQMM_ERR_MEDIA_AGENT_NOT_FOUND, devices.configDeviceControllerList(kDevice, list));
  EXPECT_EQ(ZQMM_ERR_DEVICE_NOT_FOUND, devices.configDeviceControllerList(99, {}));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMDeviceController"));
  // An empty list for an existing device changes nothing and succeeds.
  EXPECT_EQ(0, devices.configDeviceControllerList(kDevice, {}));
  EXPECT_EQ(0, devices.GetErrorCode(code));
}

TEST_F(AccessTest, AScriptedFailureOfAClientInfoCallCarriesItsCodeAndText) {
  testkit::mmdb::failNext("ZQMMDeviceInfo::configDeviceControllerList", 1234, "media manager unreachable");
  ZQMMDeviceInfo devices(1);
  std::vector<MMConfigDeviceControllerInfo> list{entry(MM_DEVICE_CONTROLLER_REMOVE, kMA2, kCtrlMA2, "", 0)};
  EXPECT_EQ(1234, devices.configDeviceControllerList(kDevice, list));
  int code = 0;
  char text[64];
  devices.GetLastError(code, text, sizeof text);
  EXPECT_EQ(1234, code);
  EXPECT_STREQ("media manager unreachable", text);
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMDeviceController"));
}

TEST_F(AccessTest, AddingADeviceFillsItsIdAndGivesTheMediaAgentAPath) {
  MMDeviceParams device;
  MMCopyText(device.deviceName, "Device#");
  device.deviceType = 2;
  device.cloudServiceType = 5;
  MMDeviceControllerParams controller;
  controller.clientId = kMA2;
  controller.deviceId = static_cast<uint32_t>(-1);
  MMCopyText(controller.folder, "\\\\filer\\share");
  MMCopyText(controller.userName, "O'Neil");
  MMCopyText(controller.password, "ENC(pw)");
  controller.deviceAccessType = 6;
  ZQMMDeviceInfo devices(1);
  ASSERT_EQ(0, devices.addDevice(device, controller, 0));
  ASSERT_GT(device.deviceId, kDevice);
  EXPECT_EQ(static_cast<uint32_t>(device.deviceId), controller.deviceId);
  // A placeholder name ending in '#' becomes a name of its own.
  MMDeviceDB access(&log);
  MMDevice_t row;
  ASSERT_EQ(0, access.getInfo(device.deviceId, row, nullptr));
  EXPECT_EQ("Device#" + std::to_string(device.deviceId), std::string(row.AliasName));
  EXPECT_EQ(2, row.DeviceTypeId);
  EXPECT_EQ(5, row.CloudServiceType);
  // The new device can be renamed to the requested name and found by it.
  ASSERT_EQ(0, access.renameDevice(device.deviceId, "NAS O'Neil", nullptr));
  ASSERT_EQ(0, access.getInfoByAliasName("nas o'neil", row, nullptr));
  EXPECT_EQ(device.deviceId, row.DeviceId);
  MMDeviceControllerDB controllers(&log);
  MMDeviceController_t path;
  ASSERT_EQ(0, controllers.getInfoByHstAndDeviceId(kMA2, device.deviceId, path, nullptr));
  EXPECT_STREQ("O'Neil", path.UserName);
  EXPECT_STREQ("\\\\filer\\share", path.Folder);

  // A second media agent gets its own path; the same one is refused.
  controller.clientId = kMA1;
  int newId = 0;
  ASSERT_EQ(0, devices.addDeviceController(device.deviceId, controller, newId));
  EXPECT_GT(newId, kCtrlMA2);
  EXPECT_EQ(ZQMM_ERR_CONTROLLER_EXISTS, devices.addDeviceController(device.deviceId, controller, newId));
  // A named device must be new.
  MMDeviceParams again;
  MMCopyText(again.deviceName, "Device31");
  again.deviceType = 3;
  again.deviceId = -5;
  EXPECT_EQ(ZQMM_ERR_DUPLICATE_NAME, devices.addDevice(again, controller, 0));
  EXPECT_EQ(-5, again.deviceId);
}

TEST_F(AccessTest, AddingADeviceForAnUnknownMediaAgentLeavesNoDeviceBehind) {
  MMDeviceParams device;
  MMCopyText(device.deviceName, "Lonely device");
  device.deviceType = 1;
  MMDeviceControllerParams controller;
  controller.clientId = kPlainClient;
  ZQMMDeviceInfo devices(1);
  EXPECT_EQ(ZQMM_ERR_MEDIA_AGENT_NOT_FOUND, devices.addDevice(device, controller, 0));
  EXPECT_EQ(0, device.deviceId);
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMDevice"));
}

TEST_F(AccessTest, AMountPathIsCreatedOnADeviceAndDeletedWithItsMedium) {
  char folder[1024];
  std::snprintf(folder, sizeof folder, "%s", "MP_O'Neil_01.02.2026");
  MMSMountpathInfo info;
  info.libraryId = kDiskLib;
  info.baseFolder = folder;
  info.numberOfWriters = 1000;
  info.maxWriters = 25;
  info.mountPathType = MOUNTPATH_TYPE_SHARED_DEVICE;
  info.deviceId = kDevice;
  info.setUserName("svc");
  info.setPassword("ENC(pw)");
  ZQMMmountPath creator(info, 1);
  int id = 0;
  ASSERT_EQ(0, creator.addMountPath(id));
  EXPECT_GT(id, kMP2);

  MMMountPathDB paths(&log);
  MMMountPath_t row;
  ASSERT_EQ(0, paths.getInfo(id, row, nullptr));
  EXPECT_STREQ("MP_O'Neil_01.02.2026", row.MountPathName);
  EXPECT_EQ(kDiskLib, row.LibraryId);
  EXPECT_EQ(kDiskPool, row.MasterPoolId);
  EXPECT_EQ(25, row.MaxConcurrentWriters);
  EXPECT_EQ(1000, row.NumberOfWriters);
  EXPECT_EQ(7, row.MountPathTypeId);
  EXPECT_STREQ("svc", row.UserName);
  EXPECT_EQ(1, row.IsEnabled);
  MMDevice_t device;
  MMDeviceDB devices(&log);
  ASSERT_EQ(0, devices.getInfoByMountPath(id, device, nullptr));
  EXPECT_EQ(kDevice, device.DeviceId);
  MMMedia_t medium;
  MMMediaDB media(&log);
  ASSERT_EQ(0, media.getInfoByMountPathId(id, medium, nullptr));
  MMLibrary_t library;
  MMLibraryDB libraries(&log);
  ASSERT_EQ(0, libraries.getInfoByMountPathId(id, library, nullptr));
  EXPECT_EQ(kDiskLib, library.LibraryId);
  // The name is taken within the library.
  int other = 0;
  EXPECT_EQ(ZQMM_ERR_DUPLICATE_NAME, creator.addMountPath(other));
  EXPECT_EQ(0, other);

  ZQMMmountPath remover(1);
  ASSERT_EQ(0, remover.delMountPath(id, false));
  EXPECT_EQ(-1, paths.getInfo(id, row, nullptr));
  EXPECT_EQ(-1, media.getInfoByMountPathId(id, medium, nullptr));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPathToStorageDevice"));
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMedia"));
  EXPECT_EQ(ZQMM_ERR_MOUNTPATH_NOT_FOUND, remover.delMountPath(id, false));
}

TEST_F(AccessTest, AMountPathThatHoldsDataIsDeletedOnlyWithForce) {
  run("INSERT INTO MMRPStoreConfig (RPStoreId, Name, LibraryId, MountPathId) VALUES (5, 'store', 1, 51)");
  ZQMMmountPath remover(1);
  EXPECT_EQ(ZQMM_ERR_MOUNTPATH_HAS_DATA, remover.delMountPath(kMP1, false));
  int code = 0;
  char text[2048];
  remover.GetLastError(code, text, sizeof text);
  EXPECT_EQ(419, code);
  EXPECT_STREQ("Mount path [51] still holds 2 backups.", text);
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPath"));
  ASSERT_EQ(0, remover.delMountPath(kMP1, true));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMMountPath"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMediaBackup"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMRPStoreConfig"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMediaSide WHERE MediaSideId = 71"));
}

TEST_F(AccessTest, AMountPathNeedsAnExistingLibraryAndDeviceAndAName) {
  MMSMountpathInfo info;
  info.libraryId = 99;
  info.baseFolder = "MP9";
  ZQMMmountPath creator(info, 1);
  int id = -3;
  EXPECT_EQ(ZQMM_ERR_LIBRARY_NOT_FOUND, creator.addMountPath(id));
  info.libraryId = kEmptyLib;
  info.deviceId = 99;
  EXPECT_EQ(ZQMM_ERR_DEVICE_NOT_FOUND, creator.addMountPath(id));
  info.baseFolder = "";
  info.deviceId = kDevice;
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, creator.addMountPath(id));
  ZQMMmountPath withoutInfo(1);
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, withoutInfo.addMountPath(id));
  EXPECT_EQ(-3, id);
  EXPECT_EQ(2, scalar("SELECT COUNT(*) FROM MMMountPath"));
  // A library without a master pool gets one with its first mount path.
  info.baseFolder = "First";
  ASSERT_EQ(0, creator.addMountPath(id));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMMasterPool WHERE LibraryId = 3"));
}

TEST_F(AccessTest, PruningControlNeedsAKnownActionAndMountPath) {
  ZQMMmountPath paths(1);
  MMStartStopOnGoingPruningReq request;
  request.version = 1;
  request.action = MM_PRUNING_STOP;
  request.mountPathId = kMP1;
  request.tarnfoldId = 2;
  EXPECT_EQ(0, paths.performStartStopPruningConfig(request));
  request.action = 3;
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, paths.performStartStopPruningConfig(request));
  request.action = MM_PRUNING_START;
  request.mountPathId = 99;
  EXPECT_EQ(ZQMM_ERR_MOUNTPATH_NOT_FOUND, paths.performStartStopPruningConfig(request));
  auto calls = testkit::mmdb::calls("ZQMMmountPath::performStartStopPruningConfig");
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ((std::vector<std::string>{"1", "2", "51", "2"}), calls[0].args);
}

TEST_F(AccessTest, AMediaAgentUninstallsALibraryByIdAndName) {
  ZQMMmedAgentInfo agent(1);
  EXPECT_EQ(ZQMM_ERR_LIBRARY_NOT_FOUND, agent.uninstallLibrary(kTapeLib, "DiskLib1"));
  EXPECT_EQ(3, scalar("SELECT COUNT(*) FROM MMLibrary"));
  ASSERT_EQ(0, agent.uninstallLibrary(kTapeLib, "tapelib1"));
  ASSERT_EQ(0, agent.uninstallLibrary(kDiskLib, nullptr));
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMLibrary"));
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMMountPath"));
  EXPECT_EQ(ZQMM_ERR_LIBRARY_NOT_FOUND, agent.uninstallLibrary(kDiskLib, nullptr));
}

TEST_F(AccessTest, ACopyFailoverCandidateIsWrittenInTheCallersTransaction) {
  ZQMMDBCopyFailover failover(1);
  {
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    ASSERT_EQ(0, failover.addCFCandidate(500, kDrivePool, kMA1, 1, 0, false, &tran));
    ASSERT_EQ(0, failover.addCFCandidate(500, kDrivePool, kMA1, 2, 0, false, &tran));  // replaces the first
    ASSERT_EQ(0, tran.rollbackTran());
  }
  EXPECT_EQ(0, scalar("SELECT COUNT(*) FROM MMCopyFailoverCandidate"));
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  ASSERT_EQ(0, failover.addCFCandidate(500, kDrivePool, kMA1, 1, 0, false, &tran));
  ASSERT_EQ(0, tran.commitTran());
  EXPECT_EQ(1, scalar("SELECT COUNT(*) FROM MMCopyFailoverCandidate WHERE CopyId = 500 AND DrivePoolId = 91"));
  // Drive pool 0 (the media agent has none in the library) is refused, and
  // the text is there for both kinds of caller.
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, failover.addCFCandidate(501, 0, kMA1, 1, 0, false, nullptr));
  char text[2048];
  EXPECT_STREQ("No drive pool was given for the copy failover.", failover.getLastError(text, sizeof text));
  EXPECT_EQ(ZQMM_ERR_BAD_REQUEST, failover.getErrorCode());
}

}  // namespace
}  // namespace dbaccess
