// Seeding of the tables the device-path, mount-path deletion, hybrid-cloud
// and client-properties objects read, for one test database.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestDatabase.h"

namespace dbprocs2 {

// A mount path of a library on one storage device, with its media side.
inline void addMountPath(tktest::TestDatabase& db, int mountPathId, int libraryId, int deviceId,
                         const std::string& name = "", int mediaSideId = 0, int mountPathType = 1) {
  ASSERT_EQ(0, db.exec("INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MediaSideId, MountPathTypeId, "
                       "NumberOfWriters) VALUES (?, ?, ?, ?, ?, 0)",
                       {mountPathId, name.empty() ? "mp" + std::to_string(mountPathId) : name, libraryId, mediaSideId,
                        mountPathType}));
  ASSERT_EQ(0, db.exec("INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (?, ?)",
                       {mountPathId, deviceId}));
}

struct Path {
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

// A device path (device controller).
inline void addPath(tktest::TestDatabase& db, const Path& p) {
  ASSERT_EQ(0, db.exec("INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, "
                       "DeviceControllerActive, DeviceControllerEnabled, DeviceAccessible, DeviceAccessType, Folder, "
                       "UserName, UserPassword, CredentialAssocId) VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?, ?, ?)",
                       {p.id, p.clientId, p.deviceId, p.enabled, p.accessible, p.access, p.folder, p.user, p.password,
                        p.credentialAssocId}));
}

// A stored credential, associated with a device path's association id.
inline void addCredential(tktest::TestDatabase& db, int credentialId, const std::string& name, int assocId) {
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Credentials (credentialId, credentialName, recordType) VALUES (?, ?, 1)",
                       {credentialId, name}));
  ASSERT_EQ(0, db.exec("INSERT INTO APP_CredentialAssoc (assocId, credentialId, entityType, entityId) "
                       "VALUES (?, ?, 3, ?)",
                       {assocId, credentialId, assocId}));
}

inline void addClient(tktest::TestDatabase& db, int id, const std::string& name) {
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Client (id, name, net_hostname) VALUES (?, ?, ?)",
                       {id, name, name + ".example.net"}));
}

}  // namespace dbprocs2
