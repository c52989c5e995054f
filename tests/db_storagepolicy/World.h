// Seeding of the tables the storage-policy bindings and their procedures
// work on: policies, copies, their data paths into drive pools, master
// pools, libraries, aging rules, mount paths with their devices, device
// controllers, media sides, drives and clients. Plain SQL on the test
// thread's connection; every helper fails the running test on an error.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "Db/Tbl/archTask.h"
#include "tests/support/TestDatabase.h"

namespace sptest {

class World {
 public:
  explicit World(tktest::TestDatabase& db) : m_db(db) {}

  void policy(int id, const std::string& name, int type, int defaultCopy, int flags = 0) {
    run("INSERT INTO archGroup (id, name, type, defaultCopy, flags) VALUES (?, ?, ?, ?, ?)",
        {id, name, type, defaultCopy, flags});
  }
  void copy(int id, int policyId, const std::string& name, int sidbStore = 0, int dedupeFlags = 0) {
    run("INSERT INTO archGroupCopy (id, archGroupId, copy, name, SIDBStoreId, dedupeFlags, sealStoreTaskId) "
        "VALUES (?, ?, ?, ?, ?, ?, 0)",
        {id, policyId, id, name, sidbStore, dedupeFlags});
  }
  void library(int id, const std::string& alias, int thresholdPercentage = 0) {
    run("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, ThresholdPercentage) VALUES (?, ?, ?, ?)",
        {id, alias, alias, thresholdPercentage});
  }
  void masterPool(int id, int libraryId) {
    run("INSERT INTO MMMasterPool (MasterPoolId, LibraryId) VALUES (?, ?)", {id, libraryId});
  }
  void drivePool(int id, int masterPoolId, int clientId) {
    run("INSERT INTO MMDrivePool (DrivePoolId, DrivePoolName, MasterPoolId, ClientId) VALUES (?, ?, ?, ?)",
        {id, "pool" + std::to_string(id), masterPoolId, clientId});
  }
  void dataPath(int copyId, int drivePoolId) {
    run("INSERT INTO MMDataPath (CopyId, DrivePoolId) VALUES (?, ?)", {copyId, drivePoolId});
  }
  void agingRule(int copyId, int days, int cycles, int flags) {
    run("INSERT INTO archAgingRule (copyId, retentionDays, retentionCycles, flags) VALUES (?, ?, ?, ?)",
        {copyId, days, cycles, flags});
  }
  void client(int id, const std::string& name, const std::string& host) {
    run("INSERT INTO APP_Client (id, name, net_hostname) VALUES (?, ?, ?)", {id, name, host});
  }
  void device(int id, int typeId) {
    run("INSERT INTO MMDevice (DeviceId, DeviceTypeId) VALUES (?, ?)", {id, typeId});
  }
  void mediaSide(int id, int mediaId) {
    run("INSERT INTO MMMediaSide (MediaSideId, MediaId) VALUES (?, ?)", {id, mediaId});
  }
  void drive(int id, int masterPoolId, int mediaId) {
    run("INSERT INTO MMDrive (DriveId, DriveName, MasterPoolId, MediaId) VALUES (?, ?, ?, ?)",
        {id, "drive" + std::to_string(id), masterPoolId, mediaId});
  }
  struct MountPath {
    int id;
    std::string name;
    int libraryId;
    int masterPoolId = 0;
    int mediaSideId = 0;
    int typeId = 1;
    int enabled = 1;
    int offline = 0;
    int offlineReason = 0;
    int reserveMB = 0;
    int maxDataMB = 0;
  };
  void mountPath(const MountPath& mp) {
    run("INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MasterPoolId, MediaSideId, "
        "MountPathTypeId, IsEnabled, IsOffline, OfflineReason, MagneticSpaceRsrvInMB, MaxDataToWriteMB) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {mp.id, mp.name, mp.libraryId, mp.masterPoolId, mp.mediaSideId, mp.typeId, mp.enabled, mp.offline,
         mp.offlineReason, mp.reserveMB, mp.maxDataMB});
  }
  void mountPathOnDevice(int mountPathId, int deviceId) {
    run("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (?, ?)", {mountPathId, deviceId});
  }
  void controller(int id, int clientId, int deviceId, const std::string& folder) {
    run("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, Folder, DeviceControllerEnabled) "
        "VALUES (?, ?, ?, ?, 1)",
        {id, clientId, deviceId, folder});
  }

  // A library with one master pool, a drive pool for a media agent, and the
  // given copies writing through it.
  void libraryWithPool(int libraryId, const std::string& alias, int masterPoolId, int drivePoolId, int clientId,
                       int threshold = 0) {
    library(libraryId, alias, threshold);
    masterPool(masterPoolId, libraryId);
    drivePool(drivePoolId, masterPoolId, clientId);
  }

 private:
  void run(const std::string& sql, const std::vector<tkdb::DbValue>& params) {
    int rc = m_db.exec(sql, params);
    EXPECT_EQ(0, rc) << sql;
  }
  tktest::TestDatabase& m_db;
};

}  // namespace sptest
