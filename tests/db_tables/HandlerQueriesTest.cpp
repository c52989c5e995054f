// The where clauses and update texts that the handlers run on these tables,
// verbatim (blanks, letter cases, "WITH (NOLOCK)", subqueries, bit tests and
// all), against seeded rows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Seed.h"

namespace {

class HandlerQueries : public tktest::DatabaseTest {
 protected:

  void run(const std::string& sql, const std::vector<tkdb::DbValue>& params = {}) {
    ASSERT_EQ(0, db.exec(sql, params)) << sql;
  }

  // Two libraries, each with one master pool: library 1 has pool 10,
  // library 2 has pool 20.
  void seedLibrariesAndPools() {
    run("INSERT INTO MMLibrary (LibraryId, AliasName, LowWaterMarkMB, WarningWaterMark, ThresholdPercentage, "
        "ThresholdVariation, ExtendedAttributes, Descript) VALUES (1, 'DiskLib', 100, 200, 80, 5, 65536, 'first')");
    run("INSERT INTO MMLibrary (LibraryId, AliasName, LowWaterMarkMB, WarningWaterMark, ThresholdPercentage, "
        "ThresholdVariation, ExtendedAttributes) VALUES (2, 'TapeLib', 1, 2, 3, 4, 5)");
    run("INSERT INTO MMMasterPool (MasterPoolId, LibraryId) VALUES (10, 1), (20, 2)");
  }
};

// --- library: the storage-library request's update of an existing library ---------------

constexpr const char* kLibraryUpdate =
    "LowWaterMarkMB = %d, WarningWaterMark = %d, ThresholdPercentage = %d, ThresholdVariation = %d, "
    "ExtendedAttributes = %d, AliasName = '%s'";

TEST_F(HandlerQueries, LibraryUpdateChangesTheSixPropertiesOfThatLibraryOnly) {
  seedLibrariesAndPools();
  MMLibrary_t row;
  row.LibraryId = 1;
  row.LowWaterMarkMB = 2048;
  row.WarningWaterMark = 4096;
  row.ThresholdPercentage = 90;
  row.ThresholdVariation = 3;
  row.ExtendedAttributes = 0x1 | 0x200 | 0x2000000;
  ASSERT_TRUE(row.setAliasName("Disk Lib 'East' 100%s"));

  MMLibrary table(nullptr);
  table.setWhere("LibraryId = %d", row.LibraryId);
  ASSERT_EQ(0, table.rowUpdate(kLibraryUpdate, row.LowWaterMarkMB, row.WarningWaterMark, row.ThresholdPercentage,
                               row.ThresholdVariation, row.ExtendedAttributes, row.AliasName));

  tkdb::DbRows changed = db.query(
      "SELECT LowWaterMarkMB, WarningWaterMark, ThresholdPercentage, ThresholdVariation, ExtendedAttributes, "
      "AliasName, Descript FROM MMLibrary WHERE LibraryId = 1");
  ASSERT_EQ(1u, changed.size());
  EXPECT_EQ((tkdb::DbRow{2048, 4096, 90, 3, 0x2000201, "Disk Lib 'East' 100%s", "first"}), changed[0]);
  EXPECT_EQ("TapeLib", db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 2"));
  EXPECT_EQ(1, db.scalar("SELECT LowWaterMarkMB FROM MMLibrary WHERE LibraryId = 2"));

  // The next read by id sees the change through the binding.
  MMLibrary reader(nullptr);
  reader.setWhere("LibraryId = %d", 1);
  ASSERT_EQ(0, getOneRow(&reader, false, -1, 0));
  EXPECT_STREQ("Disk Lib 'East' 100%s", reader.getDataPtr()->AliasName);
  EXPECT_EQ(0x2000201, reader.getDataPtr()->ExtendedAttributes);
}

TEST_F(HandlerQueries, LibraryUpdateThatFindsNothingOrFailsIsNoSuccess) {
  seedLibrariesAndPools();
  MMLibrary table(nullptr);
  table.setWhere("LibraryId = %d", 99);
  int result = table.rowUpdate(kLibraryUpdate, 1, 2, 3, 4, 5, "x");
  EXPECT_NE(0, result);
  EXPECT_NE(nullptr, DBtable::getErrorStr(result));
  testkit::db::journal().injectFailure("rowUpdate", 204, "locked");
  table.setWhere("LibraryId = %d", 1);
  result = table.rowUpdate(kLibraryUpdate, 1, 2, 3, 4, 5, "x");
  EXPECT_EQ(204, result);
  EXPECT_STRNE("", DBtable::getErrorStr(result));
  EXPECT_EQ("DiskLib", db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"));
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'x'"));
}

// A new library name must fit the 512-byte field; the longest is written
// and read whole.
TEST_F(HandlerQueries, LibraryNamesOfMoreThan512BytesAreRefusedWhole) {
  MMLibrary_t row;
  for (size_t length : {0, 1, 511, 512, 513, 514, 4096}) {
    SCOPED_TRACE(length);
    std::string name(length, 'n');
    if (length > 0) name[0] = 'N';
    ASSERT_TRUE(row.setAliasName("before"));
    EXPECT_EQ(length <= 512, row.setAliasName(name.c_str()));
    EXPECT_EQ(length <= 512 ? name : std::string("before"), row.AliasName);  // a refused name is not taken
  }
  EXPECT_FALSE(row.setAliasName(nullptr));
  EXPECT_STREQ("before", row.AliasName);
  EXPECT_EQ(512u, MMLibrary_t::kAliasNameMax);

  seedLibrariesAndPools();
  std::string name(512, 'a');
  name[0] = '\'';
  name[511] = 'Z';
  ASSERT_TRUE(row.setAliasName(name.c_str()));
  MMLibrary table(nullptr);
  table.setWhere("LibraryId = %d", 2);
  ASSERT_EQ(0, table.rowUpdate(kLibraryUpdate, 1, 2, 3, 4, 5, row.AliasName));
  EXPECT_EQ(name, db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 2"));
  ASSERT_EQ(0, getOneRow(&table, false, -1, 0));
  EXPECT_EQ(name, table.getDataPtr()->AliasName);
}

// --- drive: the drive operation of the storage-library request --------------------------

constexpr const char* kDriveByAlias =
    "AliasName = '%s' AND MasterPoolId IN (SELECT MasterPoolId FROM MMMasterPool WHERE LibraryId = %d) ";

TEST_F(HandlerQueries, DriveIsFoundByAliasAmongTheDrivesOfTheLibrary) {
  seedLibrariesAndPools();
  run("INSERT INTO MMDrive (DriveId, AliasName, MasterPoolId) VALUES (5, 'Drive 1', 10), (6, 'Drive 1', 20), "
      "(7, 'Drive 2', 10), (8, 'O''Hara drive', 20)");
  struct Case {
    const char* alias;
    int library;
    int result;
    int driveId;
  };
  const Case cases[] = {
      {"Drive 1", 1, 0, 5},         {"Drive 1", 2, 0, 6},   {"drive 1", 2, 0, 6},  // names ignore letter case
      {"DRIVE 2", 1, 0, 7},         {"Drive 2", 2, 100, 0},  // a drive of another library
      {"O'Hara drive", 2, 0, 8},    {"Drive 3", 1, 100, 0},  {"Drive 1", 3, 100, 0},
      {"x' OR '1'='1", 1, 100, 0},  // quotes in the name stay inside the literal
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.alias) + " in library " + std::to_string(c.library));
    MMDrive table(nullptr);
    table.setWhere(kDriveByAlias, c.alias, c.library);
    EXPECT_EQ(c.result, getOneRow(&table, false, -1, 0));
    if (c.result == 0) {
      EXPECT_EQ(c.driveId, table.getDataPtr()->DriveId);
    }
  }
}

// --- drive pool: the storage-library request and the device-path request -----------------

constexpr const char* kPoolOfAgentInLibrary =
    "MasterPoolId in (select MasterPoolId from MMMasterPool where LibraryId = %d) and ClientId = %d";

constexpr const char* kPoolOfDevicePath =
    "MasterPoolid = (\tSELECT DISTINCT MP.MasterPoolId FROM MMMountPathToStorageDevice MSD WITH (NOLOCK), "
    "MMDeviceController MDC WITH (NOLOCK), MMMountPath MP WITH (NOLOCK) WHERE MSD.DeviceId = MDC.DeviceId AND "
    "MSD.MountPathId = MP.MountPathId AND MP.MountPathId = %d AND MDC.ClientId = %d AND MDC.DeviceId = %d AND "
    "MDC.DeviceControllerId = %d)";

TEST_F(HandlerQueries, DrivePoolOfAMediaAgentInALibrary) {
  seedLibrariesAndPools();
  run("INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId, MaxDrivesToSwitch) VALUES "
      "(1, 10, 7, 3), (2, 10, 8, 4), (3, 20, 7, 5)");
  struct Case {
    int library, client, result, maxDrives;
  };
  for (const Case& c : {Case{1, 7, 0, 3}, Case{1, 8, 0, 4}, Case{2, 7, 0, 5}, Case{2, 8, 100, 0}, Case{3, 7, 100, 0}}) {
    SCOPED_TRACE(std::to_string(c.library) + "/" + std::to_string(c.client));
    MMDrivePool table(nullptr);
    table.setWhere(kPoolOfAgentInLibrary, c.library, c.client);
    EXPECT_EQ(c.result, getOneRow(&table, false, -1, 0));
    if (c.result == 0) {
      EXPECT_EQ(c.maxDrives, table.getDataPtr()->MaxDrivesToSwitch);
    }
  }
}

TEST_F(HandlerQueries, DrivePoolOfADevicePathThroughItsMountPath) {
  seedLibrariesAndPools();
  // Mount path 31 of library 1 (master pool 10) on device 9; controllers of
  // clients 7 and 8 on device 9; mount path 32 of library 2 on device 12.
  run("INSERT INTO MMMountPath (MountPathId, MountPathName, MasterPoolId, LibraryId) VALUES "
      "(31, '/mnt/a', 10, 1), (32, '/mnt/b', 20, 2)");
  run("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (31, 9), (32, 12)");
  run("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId) VALUES (100, 7, 9), (101, 8, 9), "
      "(102, 7, 12)");
  run("INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId, MaxDrivesToSwitch) VALUES "
      "(1, 10, 7, 11), (2, 20, 7, 22)");
  struct Case {
    int mountPath, client, device, controller, result, maxDrives;
  };
  for (const Case& c : {Case{31, 7, 9, 100, 0, 11}, Case{32, 7, 12, 102, 0, 22}, Case{31, 7, 9, 101, 100, 0},
                        Case{31, 8, 12, 101, 100, 0}, Case{33, 7, 9, 100, 100, 0}}) {
    SCOPED_TRACE(std::to_string(c.mountPath) + "/" + std::to_string(c.controller));
    MMDrivePool table(nullptr);
    table.setWhere(kPoolOfDevicePath, c.mountPath, c.client, c.device, c.controller);
    EXPECT_EQ(c.result, getOneRow(&table, false, -1, 0));
    if (c.result == 0) {
      EXPECT_EQ(c.maxDrives, table.getDataPtr()->MaxDrivesToSwitch);
      // The device-path request widens it to 64 bits.
      long long widened = table.getDataPtr()->MaxDrivesToSwitch;
      EXPECT_EQ(c.maxDrives, widened);
    }
  }
}

// --- device controller: the three lookups of the storage-library request ------------------

class DeviceControllerQueries : public HandlerQueries {
 protected:
  void SetUp() override {
    // Device 9 (type 3) carries mount path 31; device 12 (type 3) and 13
    // (type 4) carry none. Client 7 reaches device 9 with a folder and
    // credentials; client 8 reaches device 12.
    run("INSERT INTO MMDevice (DeviceId, DeviceTypeId) VALUES (9, 3), (12, 3), (13, 4)");
    run("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (31, 9)");
    run("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, UserName, UserPassword, Folder, "
        "DeviceAccessType) VALUES "
        "(100, 7, 9, 'Svc''User', 'ENC:Pw''1', '\\\\filer\\share', 6), "
        "(101, 8, 12, 'other', 'ENC:x', '/export/d', 16 + 8), "
        "(102, 8, 13, 'Svc''User', 'ENC:Pw''1', '\\\\filer\\share', 128)");
  }
};

TEST_F(DeviceControllerQueries, SameMediaAgentOnTheDeviceOfAMountPath) {
  constexpr const char* kWhere =
      "DeviceId = (select DeviceId from MMMountPathToStorageDevice where MountPathId = %d) AND ClientId = %d";
  struct Case {
    int mountPath, client, result;
  };
  for (const Case& c : {Case{31, 7, 0}, Case{31, 8, 100}, Case{32, 7, 100}}) {
    SCOPED_TRACE(std::to_string(c.mountPath) + "/" + std::to_string(c.client));
    MMDeviceController table(nullptr);
    table.setIsolationType(4);
    table.setWhere(kWhere, c.mountPath, c.client);
    EXPECT_EQ(c.result, getOneRow(&table, false, -1, 0));
  }
}

TEST_F(DeviceControllerQueries, ExistingControllerOfTheAgentByDeviceIdThenByAnyAgent) {
  struct Case {
    int client, device, first, second, deviceFound;
  };
  // First the media agent's own controller of the device, then any controller of it.
  for (const Case& c : {Case{7, 9, 0, 0, 9}, Case{8, 9, 100, 0, 9}, Case{7, 14, 100, 100, 0}}) {
    SCOPED_TRACE(std::to_string(c.client) + "/" + std::to_string(c.device));
    MMDeviceController table(nullptr);
    table.setIsolationType(4);
    table.setTop(1);
    table.setWhere("ClientId = %d  and  DeviceId = %d", c.client, c.device);
    EXPECT_EQ(c.first, getOneRow(&table, false, -1, 0));
    table.setWhere("DeviceId = %d", c.device);
    EXPECT_EQ(c.second, getOneRow(&table, false, -1, 0));
    if (c.second == 0) {
      EXPECT_EQ(c.deviceFound, table.getDataPtr()->DeviceId);
      EXPECT_STREQ("\\\\filer\\share", table.getDataPtr()->Folder);
      EXPECT_STREQ("Svc'User", table.getDataPtr()->UserName);
      EXPECT_STREQ("ENC:Pw'1", table.getDataPtr()->UserPassword);
    }
  }
}

TEST_F(DeviceControllerQueries, ExistingControllerByCredentialsFolderAndDeviceType) {
  constexpr const char* kByAgent =
      "ClientId = %d and UserName = '%s' and UserPassword = '%s' and Folder = '%s' and  DeviceId in (select DeviceId "
      "from MMDevice where DeviceTypeId = %d)";
  constexpr const char* kByAnyAgent =
      "UserName = '%s' and UserPassword = '%s' and Folder = '%s' and  DeviceId in (select DeviceId from MMDevice "
      "where DeviceTypeId = %d)";
  struct Case {
    int client;
    const char* user;
    const char* password;
    const char* folder;
    int type;
    int first, second, device;
  };
  const Case cases[] = {
      {7, "Svc'User", "ENC:Pw'1", "\\\\filer\\share", 3, 0, 0, 9},
      {7, "SVC'USER", "ENC:Pw'1", "\\\\FILER\\Share", 3, 0, 0, 9},  // names and folders ignore letter case
      {8, "Svc'User", "ENC:Pw'1", "\\\\filer\\share", 4, 0, 0, 13},
      {9, "Svc'User", "ENC:Pw'1", "\\\\filer\\share", 3, 100, 0, 9},  // another agent's controller
      {7, "Svc'User", "ENC:wrong", "\\\\filer\\share", 3, 100, 100, 0},
      {7, "Svc'User", "ENC:Pw'1", "\\\\filer\\share", 5, 100, 100, 0},  // no device of that type
      {7, "' OR 1=1 --", "x", "y", 3, 100, 100, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " type " + std::to_string(c.type) + " client " + std::to_string(c.client));
    MMDeviceController table(nullptr);
    table.setIsolationType(4);
    table.setTop(1);
    table.setWhere(kByAgent, c.client, c.user, c.password, c.folder, c.type);
    EXPECT_EQ(c.first, getOneRow(&table, false, -1, 0));
    table.setWhere(kByAnyAgent, c.user, c.password, c.folder, c.type);
    EXPECT_EQ(c.second, getOneRow(&table, false, -1, 0));
    if (c.second == 0) {
      EXPECT_EQ(c.device, table.getDataPtr()->DeviceId);
    }
  }
}

TEST_F(DeviceControllerQueries, SharingCheckTestsTheDataServerBitsOfTheDevicesControllers) {
  // Device 9: access type 6 (no data-server bit); device 12: 16 + 8; device 13: 128.
  struct Case {
    int device, result, accessType;
  };
  for (const Case& c : {Case{9, 100, 0}, Case{12, 0, 24}, Case{13, 0, 128}, Case{14, 100, 0}}) {
    SCOPED_TRACE(c.device);
    MMDeviceController table(nullptr);
    table.setWhere("DeviceId = %d AND DeviceAccessType & %d > 0", c.device, 176);
    table.setTop(1);
    EXPECT_EQ(c.result, getOneRow(&table, false, -1, 0));
    if (c.result == 0) {
      EXPECT_EQ(c.accessType, table.getDataPtr()->DeviceAccessType);
      EXPECT_NE(0, table.getDataPtr()->DeviceAccessType & 176);
    }
  }
}

TEST_F(DeviceControllerQueries, TopOneReadsOneRowOfSeveral) {
  run("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId) VALUES (103, 9, 9), (104, 10, 9)");
  MMDeviceController table(nullptr);
  table.setIsolationType(4);
  table.setTop(1);
  table.setWhere("DeviceId = %d", 9);
  EXPECT_EQ(0, getOneRow(&table, false, -1, 0));
  EXPECT_EQ(100, table.getDataPtr()->DeviceControllerId);  // in the table's order
  bool limited = false;
  for (const std::string& sql : testkit::db::statements()) {
    if (sql.find("MMDeviceController") != std::string::npos && sql.find("LIMIT 1") != std::string::npos) limited = true;
  }
  EXPECT_TRUE(limited);
}

// --- the mount-path view: the audit of sharing a mount path -----------------------------

TEST_F(HandlerQueries, MountPathNameForTheShareAuditFromTheView) {
  run("INSERT INTO MMMountPath (MountPathId, MountPathName) VALUES (31, '/mnt/Disk''A'), (32, '[Share] 100%')");
  run("INSERT INTO MMMountPath (MountPathId, MountPathName, OffLineTimeStamp) VALUES (33, 'far future', ?), "
      "(34, 'far past', ?)",
      {5000000000LL, -5000000000LL});
  // A mount path reached over two devices is still one row.
  run("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (31, 9), (31, 4)");
  struct Case {
    int mountPath;
    int result;
    const char* name;
  };
  const Case cases[] = {
      {31, 0, "/mnt/Disk'A"}, {32, 0, "[Share] 100%"}, {33, 0, "far future"}, {34, 0, "far past"}, {35, 100, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mountPath);
    MMS2getMountPathNameGUIView view(nullptr);
    MMS2getMountPathNameGUIView_t* row = view.getDataPtr();
    view.setIsolationType(4);
    view.setWhere("MountPathID = %d", c.mountPath);
    std::string name;
    int result = getOneRow(&view, true, -1, 0);
    EXPECT_EQ(c.result, result);
    if (result == 0) name = row->MountPathName;
    EXPECT_EQ(c.name, name);
  }
  EXPECT_EQ(4, db.scalar("SELECT COUNT(*) FROM MMS2getMountPathNameGUIView"));
  EXPECT_EQ(4, db.scalar("SELECT DeviceId FROM MMS2getMountPathNameGUIView WHERE MountPathId = 31"));

  MMS2getMountPathNameGUIView clamped(nullptr);
  clamped.setWhere("MountPathID = %d", 33);
  ASSERT_EQ(0, getOneRow(&clamped, true, -1, 0));
  EXPECT_EQ(2147483647, clamped.getDataPtr()->OffLineTimeStamp);
  clamped.setWhere("MountPathID = %d", 34);
  ASSERT_EQ(0, getOneRow(&clamped, true, -1, 0));
  EXPECT_EQ(-2147483647 - 1, clamped.getDataPtr()->OffLineTimeStamp);
}

TEST_F(HandlerQueries, ViewIsReadOnly) {
  run("INSERT INTO MMMountPath (MountPathId, MountPathName) VALUES (31, 'a')");
  MMS2getMountPathNameGUIView view(nullptr);
  view.getDataPtr()->MountPathId = 40;
  EXPECT_NE(0, view.rowInsert(true));
  view.setWhere("MountPathID = %d", 31);
  EXPECT_NE(0, view.rowUpdate("IsEnabled = %d", 1));
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM MMMountPath"));
}

}  // namespace
