// The media-configuration table access on its own: what it refuses before
// touching a row, what it refuses for the rows' sake, and that a refusal
// leaves every row as it was.
#include <string>
#include <vector>

#include "platform/mmdb/MMMediaConfigDB.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

using TableAccess = ModelDatabase;

// A fingerprint of the rows a change could touch.
std::string rowsOf(tktest::TestDatabase& db) {
  std::string out;
  for (const char* sql :
       {"SELECT group_concat(LibraryId || AliasName || LibraryEnabled || BarCodeReaderPresent, ',') FROM MMLibrary",
        "SELECT group_concat(MasterPoolId || MasterPoolName, ',') FROM MMMasterPool",
        "SELECT group_concat(DrivePoolId || DrivePoolName || DrivePoolType, ',') FROM MMDrivePool",
        "SELECT group_concat(DriveId || AliasName || DriveEnabled, ',') FROM MMDrive",
        "SELECT group_concat(DrivePathId || PathName, ',') FROM MMDrivePath",
        "SELECT group_concat(DeviceId || AliasName, ',') FROM MMDevice",
        "SELECT group_concat(DeviceControllerId || Folder, ',') FROM MMDeviceController",
        "SELECT group_concat(ClientId || Attribute, ',') FROM MMHost"})
    out += db.text(sql) + "|";
  return out;
}

TEST_F(TableAccess, RefusedChangesReportTheirCodeAndLeaveTheRows) {
  struct Case {
    const char* what;
    MMStoredKind kind;
    int id;
    bool renames;
    std::string name;
    int configured;
    std::vector<MMStoredColumn> settings;
    int code;
  };
  const int keep = MMMediaConfigDB::kKeepConfigured;
  const std::vector<Case> cases = {
      {"a column the kind cannot set", MMStoredKind::Drive, 1, false, "", 1, {{"DriveBroken", 1}},
       MMS2_ERROR_BAD_ARGUMENT},
      {"a text for a number", MMStoredKind::Drive, 1, false, "", 1, {{"DriveNumber", "7"}}, MMS2_ERROR_BAD_ARGUMENT},
      {"a number for a text", MMStoredKind::MountPath, 1, false, "", 1, {{"UserName", 7}}, MMS2_ERROR_BAD_ARGUMENT},
      {"a setting past its column", MMStoredKind::Drive, 1, false, "", 1, {{"SerialNumber", std::string(33, 's')}},
       MMS2_ERROR_BAD_ARGUMENT},
      {"a configured state the kind has not", MMStoredKind::MasterPool, 1, false, "", 0, {}, MMS2_ERROR_BAD_ARGUMENT},
      {"an empty name", MMStoredKind::DrivePool, 1, true, "", keep, {}, MMS2_ERROR_BAD_ARGUMENT},
      {"a name past its column", MMStoredKind::DrivePool, 1, true, std::string(257, 'p'), keep, {},
       MMS2_ERROR_TEXT_TOO_LONG},
      {"a missing object", MMStoredKind::Drive, 99, true, "x", 1, {}, MMS2_ERROR_NOT_FOUND},
      {"a duplicate device name", MMStoredKind::Device, 2, true, "DiskLib1 device 1", 1, {}, MMS2_ERROR_DUPLICATE_NAME},
  };
  const std::string before = rowsOf(db);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MMMediaConfigDB access;
    EXPECT_EQ(access.storeObject(c.kind, c.id, c.renames ? c.name.c_str() : nullptr, c.configured, c.settings), -1);
    EXPECT_EQ(access.getErrorCode(), c.code) << access.lastErrorText();
    EXPECT_FALSE(access.lastErrorText().empty());
    EXPECT_EQ(rowsOf(db), before);
  }

  // Master-pool names are unique within their library only.
  MMMediaConfigDB access;
  EXPECT_EQ(access.storeObject(MMStoredKind::MasterPool, 1, "MasterPool(DiskLib1)", keep, {}), 0)
      << access.lastErrorText();
  ASSERT_EQ(0, db.exec("INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) VALUES (3, 1, 'Other')"));
  EXPECT_EQ(access.storeObject(MMStoredKind::MasterPool, 1, "Other", keep, {}), -1);
  EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_DUPLICATE_NAME);
}

TEST_F(TableAccess, RemovalsThatWouldLeaveRowsBehindAreRefused) {
  struct Case {
    const char* what;
    MMStoredKind kind;
    int id;
    int code;
  };
  const Case cases[] = {
      {"a master pool that holds drives", MMStoredKind::MasterPool, 1, MMS2_ERROR_REFERENCE},
      {"a master pool that holds mount paths", MMStoredKind::MasterPool, 2, MMS2_ERROR_REFERENCE},
      {"a device under a mount path", MMStoredKind::Device, 1, MMS2_ERROR_REFERENCE},
      {"a media agent that still reaches devices", MMStoredKind::MediaAgent, 2, MMS2_ERROR_REFERENCE},
      {"a library that is gone", MMStoredKind::Library, 77, MMS2_ERROR_NOT_FOUND},
  };
  const std::string before = rowsOf(db);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MMMediaConfigDB access;
    EXPECT_EQ(access.removeObject(c.kind, c.id), -1);
    EXPECT_EQ(access.getErrorCode(), c.code) << access.lastErrorText();
    EXPECT_EQ(rowsOf(db), before);
  }

  // A drive pool that a storage-policy copy writes through stays.
  ASSERT_EQ(0, db.exec("INSERT INTO MMDataPath (CopyId, DrivePoolId) VALUES (5, 2)"));
  MMMediaConfigDB access;
  EXPECT_EQ(access.removeObject(MMStoredKind::DrivePool, 2), -1);
  EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_REFERENCE);
  EXPECT_EQ(access.removeObject(MMStoredKind::MasterPool, 1), -1);
  EXPECT_EQ(rowsOf(db), before);
  ASSERT_EQ(0, db.exec("DELETE FROM MMDataPath"));

  // A drive pool goes with its own drive paths; the drives and the paths of
  // the other pool stay.
  ASSERT_EQ(access.removeObject(MMStoredKind::DrivePool, 2), 0) << access.lastErrorText();
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath WHERE DrivePoolId = 2"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath"), 2);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive"), 2);
}

TEST_F(TableAccess, SettableColumnsAndNameWidthsFollowTheRows) {
  EXPECT_EQ(MMMediaConfigDB::nameWidth(MMStoredKind::Library), 512u);
  EXPECT_EQ(MMMediaConfigDB::nameWidth(MMStoredKind::Drive), 4096u);
  EXPECT_EQ(MMMediaConfigDB::nameWidth(MMStoredKind::DrivePool), 256u);
  EXPECT_EQ(MMMediaConfigDB::nameWidth(MMStoredKind::MountPath), 4096u);
  EXPECT_EQ(MMMediaConfigDB::nameWidth(MMStoredKind::Device), 512u);
  EXPECT_EQ(MMMediaConfigDB::settableColumns(MMStoredKind::MediaAgent), std::vector<std::string>{"Attribute"});
  EXPECT_EQ(MMMediaConfigDB::settableColumns(MMStoredKind::DrivePath), std::vector<std::string>{"DrivePoolId"});
}

}  // namespace
}  // namespace modeldb
