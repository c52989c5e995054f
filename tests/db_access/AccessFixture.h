// A fresh central database per test with the table access's journal on, and
// a small world to read: two media agents, a disk library with a master
// pool, a device with two device paths, two mount paths on it (each with a
// medium and a media side), a tape library with a drive, a drive pool and two
// library controllers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/DBtable.h"
#include "platform/mmdb/MMDB.h"
#include "platform/testkit/db.h"
#include "platform/testkit/mmdb.h"
#include "tests/support/TestDatabase.h"

namespace dbaccess {

// Ids of the seeded world.
inline constexpr int kMA1 = 11;           // media agent "ma1"
inline constexpr int kMA2 = 12;           // media agent "ma2"
inline constexpr int kPlainClient = 13;   // a client that is no media agent
inline constexpr int kDiskLib = 1;        // "DiskLib1"
inline constexpr int kTapeLib = 2;        // "TapeLib1"
inline constexpr int kEmptyLib = 3;       // "EmptyLib", no mount paths
inline constexpr int kDiskPool = 21;      // master pool of kDiskLib
inline constexpr int kTapePool = 22;      // master pool of kTapeLib
inline constexpr int kDevice = 31;        // "Device31", type 2
inline constexpr int kCtrlMA1 = 41;       // device path of ma1 to kDevice
inline constexpr int kCtrlMA2 = 42;       // device path of ma2 to kDevice
inline constexpr int kMP1 = 51;           // "MP1" of kDiskLib on kDevice
inline constexpr int kMP2 = 52;           // "MP2" of kDiskLib on kDevice
inline constexpr int kMedia1 = 61;        // medium of kMP1, two backups on it
inline constexpr int kMedia2 = 62;        // medium of kMP2, empty
inline constexpr int kSide1 = 71;
inline constexpr int kSide2 = 72;
inline constexpr int kDrive = 81;         // drive of kTapeLib
inline constexpr int kDrivePool = 91;     // drive pool of ma1 in kTapeLib
inline constexpr int kLibCtrlMA1 = 101;   // controller of ma1 for kTapeLib, active
inline constexpr int kLibCtrlMA2 = 102;   // controller of ma2 for kTapeLib

class AccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::mmdb::reset();
    seed();
  }
  void TearDown() override { testkit::mmdb::stop(); }

  void run(const std::string& sql, const std::vector<tkdb::DbValue>& params = {}) {
    ASSERT_EQ(0, db.exec(sql, params)) << sql;
  }

  void seed() {
    run("INSERT INTO APP_Client (id, name, net_hostname, releaseId, servicePack, clientDescription) VALUES "
        "(11, 'ma1', 'ma1.example.net', 16, 20, 'first agent'), (12, 'ma2', 'ma2.example.net', 16, 19, NULL), "
        "(13, 'desk', 'desk.example.net', 11, 0, NULL)");
    run("INSERT INTO MMHost (ClientId, Attribute, IsPowerManaged, IsPoweredOff, Descript) VALUES "
        "(11, 0, 0, 0, 'host of ma1'), (12, 0, 1, 1, NULL)");
    run("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LowWaterMarkMB, Descript, "
        "ExtendedAttributes) VALUES (1, 'disk1', 'DiskLib1', 3, 100, 'the disk library', 1), "
        "(2, 'tape1', 'TapeLib1', 1, 0, NULL, 0), (3, 'empty', 'EmptyLib', 3, 0, NULL, 0)");
    run("INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName, MaxDrivesToSwitch) VALUES "
        "(21, 1, 'disk pool', 25), (22, 2, 'tape pool', 0)");
    run("INSERT INTO MMDevice (DeviceId, AliasName, DeviceTypeId, DeviceAttribute) VALUES (31, 'Device31', 2, 77)");
    run("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, DeviceControllerEnabled, UserName, "
        "UserPassword, Folder, DeviceAccessType) VALUES (41, 11, 31, 1, 'user1', 'enc1', '/mnt/a', 6), "
        "(42, 12, 31, 1, 'user2', 'enc2', '/mnt/b', 22)");
    run("INSERT INTO MMMedia (MediaId, MediaName, LibraryId, MasterPoolId, Descript, DataWritten) VALUES "
        "(61, 'media1', 1, 21, 'medium of MP1', 4096), (62, 'media2', 1, 21, NULL, 0)");
    run("INSERT INTO MMMediaSide (MediaSideId, MediaId, TotalCapacity, SideName) VALUES "
        "(71, 61, 5120000, 'side1'), (72, 62, 0, 'side2')");
    run("INSERT INTO MMMountPath (MountPathId, MountPathName, MediaSideId, LibraryId, MasterPoolId, IsEnabled, "
        "MaxConcurrentWriters, MountPathTypeId, Attribute, MagneticSpaceRsrvInMB, IsOffline) VALUES "
        "(51, 'MP1', 71, 1, 21, 1, 10, 7, 8, 2048, 0), (52, 'MP2', 72, 1, 21, 1, 5, 7, 0, 0, 0)");
    run("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (51, 31), (52, 31)");
    run("INSERT INTO MMMediaBackup (JobId, AppId, ArchGroupId, CopyId, MediaId) VALUES "
        "(1002, 5, 7, 8, 61), (1001, 5, 7, 9, 61)");
    run("INSERT INTO MMDrive (DriveId, DriveName, AliasName, MasterPoolId, DriveBroken, CleaningRequired, "
        "NumMountsLifeTime, NumSoftErrsSinceClean, MinutesUsedSinceClean, MinutesUsedLifeTime) VALUES "
        "(81, 'drive1', 'Drive1', 22, 1, 1, 40, 3, 90, 900)");
    run("INSERT INTO MMDrivePool (DrivePoolId, DrivePoolName, ClientId, MasterPoolId, MaxDrivesToSwitch, Descript) "
        "VALUES (91, 'pool of ma1', 11, 22, 4, 'the pool')");
    run("INSERT INTO MMLibraryController (LibraryControllerId, ControllerName, ClientId, LibraryId, IsActive) VALUES "
        "(101, 'ctrl ma1', 11, 2, 1), (102, 'ctrl ma2', 12, 2, 0)");
  }

  long long scalar(const std::string& sql, const std::vector<tkdb::DbValue>& params = {}) {
    return db.scalar(sql, params);
  }

  tktest::TestDatabase db;
  MMDebug log;
};

}  // namespace dbaccess
