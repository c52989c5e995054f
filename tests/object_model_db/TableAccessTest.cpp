// The media-configuration table access on its own: what it refuses before
// touching a row, what it refuses for the rows' sake, and that a refusal
// leaves every row as it was.
#include <functional>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/mmdb/MMStoredReferences.h"
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

  // So are mount-path names, on the add and on the rename alike.
  ASSERT_EQ(0, db.exec("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId) "
                       "VALUES (3, 'L3', 'L3', 3)"));
  MMNewMountPath path;
  path.libraryId = 2;
  path.name = "/srv/disklib1/mp1";
  int id = 0;
  EXPECT_EQ(access.insertMountPath(path, id), -1);
  EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_DUPLICATE_NAME);
  EXPECT_EQ(access.storeObject(MMStoredKind::MountPath, 2, "/srv/disklib1/mp1", keep, {}), -1);
  EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_DUPLICATE_NAME);
  path.libraryId = 3;
  ASSERT_EQ(access.insertMountPath(path, id), 0) << access.lastErrorText();
  EXPECT_EQ(access.storeObject(MMStoredKind::MountPath, id, "/srv/disklib1/mp2", keep, {}), 0)
      << access.lastErrorText();
  EXPECT_EQ(db.text("SELECT group_concat(LibraryId || ':' || MountPathName, ',') FROM (SELECT * FROM MMMountPath "
                    "ORDER BY MountPathId)"),
            "2:/srv/disklib1/mp1,2:/srv/disklib1/mp2,3:/srv/disklib1/mp2");
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

  // A media agent that only a copy manager names: the registry's own check
  // refuses it, with the connection's foreign keys off as well.
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (id, name, net_hostname) VALUES (30, 'ma30', 'ma30.example.net'); "
                       "INSERT INTO MMHost (ClientId, Attribute) VALUES (30, 0); "
                       "INSERT INTO MMCopyManager (CopyManagerName, ClientId) VALUES ('cm30', 30)"));
  {
    tkdb::Session s;
    ASSERT_EQ(s.exec("PRAGMA foreign_keys = OFF"), DB_OK);
    EXPECT_EQ(access.removeObject(MMStoredKind::MediaAgent, 30), -1);
    EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_REFERENCE);
    EXPECT_EQ(access.lastErrorText(), "The media agent still reaches libraries, drives, devices or copy managers.");
    ASSERT_EQ(s.exec("PRAGMA foreign_keys = ON"), DB_OK);
  }
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMHost WHERE ClientId = 30"), 1);

  // A drive pool goes with its own drive paths; the drives and the paths of
  // the other pool stay.
  ASSERT_EQ(access.removeObject(MMStoredKind::DrivePool, 2), 0) << access.lastErrorText();
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath WHERE DrivePoolId = 2"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath"), 2);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive"), 2);
}

// Every reference a change may set, walked: an id never stored and one
// removed since are refused naming the object, the row keeps its value; an
// object that is there is taken. A reference added without a case here
// fails the walk.
TEST_F(TableAccess, EveryReferenceAChangeSetsNamesAnObjectThatIsStored) {
  struct Case {
    MMStoredKind kind;
    const char* column;
    int owner;             // the object whose row changes
    const char* makeSql;   // makes the object named, under the id it takes as ?1
    const char* removeSql; // removes it again, by the id as ?1 (null: the registry's removal)
  };
  const Case cases[] = {
      {MMStoredKind::DrivePool, "CopyManagerCtrlId", 2,
       "INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, ClientId) VALUES (?1, 'cm', 1)", nullptr},
      {MMStoredKind::DrivePath, "DrivePoolId", 1,
       "INSERT INTO MMDrivePool (DrivePoolId, DrivePoolName, ClientId, MasterPoolId) VALUES (?1, 'p', 1, 1)", nullptr},
      {MMStoredKind::Device, "DRUHostId", 1, "INSERT INTO MMDRUHost (HostId, HostName) VALUES (?1, 'dru' || ?1)",
       "DELETE FROM MMDRUHost WHERE HostId = ?1"},
      {MMStoredKind::DeviceController, "CredentialAssocId", 1,
       "INSERT INTO APP_Credentials (credentialId, credentialName) VALUES (?1, 'credential' || ?1)",
       "DELETE FROM APP_Credentials WHERE credentialId = ?1"},
  };
  size_t walked = 0;
  for (const MMStoredReference& r : storedReferences()) {
    SCOPED_TRACE(r.column);
    const Case* c = nullptr;
    for (const Case& each : cases)
      if (each.kind == r.kind && std::string(each.column) == r.column) c = &each;
    ASSERT_NE(c, nullptr) << "a reference without a case";
    ++walked;
    const MMStoredKindRow& owner = storedKind(r.kind);
    const std::string value = std::string("SELECT IFNULL(\"") + r.column + "\", 0) FROM \"" + owner.table +
                              "\" WHERE \"" + owner.key + "\" = ?";
    const long long stored = db.scalar(value, {c->owner});
    MMMediaConfigDB access;
    auto point = [&](int id) {
      return access.storeObject(r.kind, c->owner, nullptr, MMMediaConfigDB::kKeepConfigured, {{r.column, id}});
    };
    // Never stored.
    EXPECT_EQ(point(977), -1);
    EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_REFERENCE);
    EXPECT_EQ(access.lastErrorText(), missingReferenceText(r.what, 977));
    EXPECT_EQ(db.scalar(value, {c->owner}), stored);
    // Made and removed again before the change.
    tkdb::Session s;
    ASSERT_EQ(s.exec(c->makeSql, {950}), DB_OK);
    if (c->removeSql != nullptr) {
      ASSERT_EQ(s.exec(c->removeSql, {950}), DB_OK);
    } else {
      ASSERT_EQ(access.removeObject(r.refers, 950), 0) << access.lastErrorText();
    }
    EXPECT_EQ(point(950), -1);
    EXPECT_EQ(access.lastErrorText(), missingReferenceText(r.what, 950));
    EXPECT_EQ(db.scalar(value, {c->owner}), stored);
    // There: taken, and written again unchanged it is not asked for.
    ASSERT_EQ(s.exec(c->makeSql, {951}), DB_OK);
    EXPECT_EQ(point(951), 0) << access.lastErrorText();
    EXPECT_EQ(db.scalar(value, {c->owner}), 951);
    // Left naming nothing by an older database, it is written again
    // unchanged without being asked for; 0 names nothing.
    const MMStoredKindRow& named = storedKind(r.refers);
    ASSERT_EQ(s.exec("PRAGMA foreign_keys = OFF"), DB_OK);
    ASSERT_EQ(s.exec(std::string("DELETE FROM \"") + (r.table != nullptr ? r.table : named.table) + "\" WHERE \"" +
                         (r.key != nullptr ? r.key : named.key) + "\" = 951"),
              DB_OK);
    ASSERT_EQ(s.exec("PRAGMA foreign_keys = ON"), DB_OK);
    EXPECT_EQ(point(951), 0) << access.lastErrorText();
    EXPECT_EQ(point(0), 0) << "0 names nothing";
  }
  EXPECT_EQ(walked, std::size(cases));

  // New objects name their media agent: one not stored is refused, and
  // nothing is made.
  const std::string before = rowsOf(db);
  MMMediaConfigDB access;
  const std::function<int()> adds[] = {
      [&] {
        int id = 0;
        return access.insertDrivePool(1, 977, "P977", 0, id);
      },
      [&] {
        MMStoredLibrary library;
        library.name = "Lib977";
        MMStoredLibraryController controller;
        controller.name = "/dev/sg977";
        controller.clientId = 977;
        return access.insertLibraryController("ma977", library, controller);
      },
  };
  for (const auto& add : adds) {
    EXPECT_EQ(add(), -1);
    EXPECT_EQ(access.getErrorCode(), MMS2_ERROR_REFERENCE);
    EXPECT_EQ(access.lastErrorText(), missingReferenceText("media agent", 977));
  }
  EXPECT_EQ(rowsOf(db), before);
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
