// Seeding the central database of a test: rows of any table with bound
// values, and the rows most suites need (clients, mount paths on a storage
// device, device paths, stored credentials). A failure fails the running
// test with the statement.
//
//   tktest::insertRows(db, "MMDrivePool (DrivePoolId, MasterPoolId, ClientId)", {{1, 10, 7}, {2, 10, 8}});
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/db/DBValue.h"
#include "tests/support/TestDatabase.h"

namespace tktest {

// A test with a fresh database of its own.
class DatabaseTest : public ::testing::Test {
 protected:
  TestDatabase db;
};

// "INSERT INTO <into> VALUES (?, ...), (...)" with the rows' values bound.
inline void insertRows(TestDatabase& db, const std::string& into, const std::vector<tkdb::DbRow>& rows) {
  std::string sql = "INSERT INTO " + into + " VALUES ";
  std::vector<tkdb::DbValue> params;
  for (size_t r = 0; r < rows.size(); ++r) {
    sql += r == 0 ? "(" : ", (";
    for (size_t i = 0; i < rows[r].size(); ++i) {
      sql += i == 0 ? "?" : ", ?";
      params.push_back(rows[r][i]);
    }
    sql += ")";
  }
  EXPECT_EQ(0, db.exec(sql, params)) << sql;
}

// A client named `name` on host "<name>.example.net".
inline void addClient(TestDatabase& db, int id, const std::string& name) {
  insertRows(db, "APP_Client (id, name, net_hostname)", {{id, name, name + ".example.net"}});
}

// A mount path of a library on one storage device ("mp<id>" unless named).
inline void addMountPath(TestDatabase& db, int mountPathId, int libraryId, int deviceId, const std::string& name = "",
                         int mediaSideId = 0, int mountPathType = 1) {
  insertRows(db, "MMMountPath (MountPathId, MountPathName, LibraryId, MediaSideId, MountPathTypeId, NumberOfWriters)",
             {{mountPathId, name.empty() ? "mp" + std::to_string(mountPathId) : name, libraryId, mediaSideId,
               mountPathType, 0}});
  insertRows(db, "MMMountPathToStorageDevice (MountPathId, DeviceId)", {{mountPathId, deviceId}});
}

// A device path (device controller) of a media agent to a storage device.
struct DevicePath {
  int id;
  int clientId;
  int deviceId;
  int access;
  std::string folder;
  std::string user = "";
  std::string password = "";
  int enabled = 1;
  int accessible = 1;
  int credentialAssocId = 0;
};

inline void addDevicePath(TestDatabase& db, const DevicePath& p) {
  insertRows(db,
             "MMDeviceController (DeviceControllerId, ClientId, DeviceId, DeviceControllerActive, "
             "DeviceControllerEnabled, DeviceAccessible, DeviceAccessType, Folder, UserName, UserPassword, "
             "CredentialAssocId)",
             {{p.id, p.clientId, p.deviceId, 1, p.enabled, p.accessible, p.access, p.folder, p.user, p.password,
               p.credentialAssocId}});
}

// A stored credential, associated under `assocId` (entity type 3).
inline void addCredential(TestDatabase& db, int credentialId, const std::string& name, int assocId) {
  insertRows(db, "APP_Credentials (credentialId, credentialName, recordType)", {{credentialId, name, 1}});
  insertRows(db, "APP_CredentialAssoc (assocId, credentialId, entityType, entityId)",
             {{assocId, credentialId, 3, assocId}});
}

}  // namespace tktest
