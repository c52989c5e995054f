// Media-management table access: storing what the mount-path and drive
// requests add, each all or nothing: a new mount path of a disk library as
// the model keeps one (master pool, medium and media side, the mount path,
// its device link), the devices and device controllers of network shares,
// and a new NDMP drive path with its drive (and a new pool).
#include <string>

#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/DBSession.h"
#include "platform/journal/Journal.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMLibraryName.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/mmdb/MMStoredReferences.h"

namespace {

#define MM_WIDTH(Row, Field) (sizeof(Row{}.Field) - 1)

// Inserts a row; the new id into `id`.
int insertRow(tkdb::Session& s, const char* sql, const std::vector<tkdb::DbValue>& values, int& id) {
  const int rc = s.exec(sql, values);
  if (rc == DB_OK) id = static_cast<int>(s.lastInsertId());
  return rc;
}

}  // namespace

int MMMediaConfigDB::insertMountPath(const MMNewMountPath& m, int& id, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertMountPath";
  if (!beginCall(kTag, m.libraryId, m.name, m.userName, m.password.size(), m.typeId, m.deviceId,
                       mmTranText(tran)))
    return -1;
  if (!checkText(kTag, "mount path", m.name.c_str(), MM_WIDTH(MMMountPath_t, MountPathName), false) ||
      !checkText(kTag, "user name", m.userName.c_str(), MM_WIDTH(MMMountPath_t, UserName), true) ||
      !checkText(kTag, "password", m.password.c_str(), MM_WIDTH(MMMountPath_t, UserPassword), true))
    return -1;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int code = s.queryOne(std::string("SELECT ") + tkmmdb::kAnsweredNameSql + " FROM \"MMLibrary\" WHERE \"LibraryId\" = ?",
                          {m.libraryId}, row);
    if (code == DB_NO_ROW) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "The disk library is no longer in the configuration.", false};
      return kRefused;
    }
    if (code != DB_OK) return code;
    const std::string libraryName = row.at(0).s;
    code = s.queryOne("SELECT 1 FROM \"MMMountPath\" WHERE \"LibraryId\" = ? AND \"MountPathName\" = ?",
                      {m.libraryId, m.name}, row);
    if (code == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "The library has a mount path [" + m.name + "] already.", false};
      return kRefused;
    }
    if (code != DB_NO_ROW) return code;
    if (m.deviceId != 0) {
      code = requireRow(s, "SELECT 1 FROM \"MMDevice\" WHERE \"DeviceId\" = ?", m.deviceId,
                        "The disk device is no longer in the configuration.", refusal);
      if (code != DB_OK) return code;
    }
    int master = 0;
    code = s.queryOne("SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ? ORDER BY "
                      "\"MasterPoolId\" LIMIT 1",
                      {m.libraryId}, row);
    if (code == DB_OK) {
      master = static_cast<int>(row.at(0).i);
    } else if (code == DB_NO_ROW) {
      code = insertRow(s,
                       "INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MaxDrivesToSwitch\") "
                       "VALUES (?, ?, -1)",
                       {m.libraryId, tkmmdb::masterPoolName(libraryName)}, master);
      if (code != DB_OK) return code;
    } else {
      return code;
    }
    int media = 0;
    int side = 0;
    code = insertRow(s,
                     "INSERT INTO \"MMMedia\" (\"MediaName\", \"LibraryId\", \"MasterPoolId\", \"MediaEnabled\") "
                     "VALUES (?, ?, ?, 1)",
                     {tkmmdb::mediumName(libraryName), m.libraryId, master}, media);
    if (code != DB_OK) return code;
    code = insertRow(s, "INSERT INTO \"MMMediaSide\" (\"MediaId\", \"MasterPoolId\", \"TotalCapacity\") VALUES (?, ?, ?)",
                     {media, master, m.capacity}, side);
    if (code != DB_OK) return code;
    code = insertRow(s,
                     "INSERT INTO \"MMMountPath\" (\"MountPathName\", \"MediaSideId\", \"UserName\", \"UserPassword\", "
                     "\"IsEnabled\", \"MaxConcurrentWriters\", \"MagneticSpaceRsrvInMB\", \"MountPathTypeId\", "
                     "\"MasterPoolId\", \"LibraryId\") VALUES (?, ?, ?, ?, 1, ?, ?, ?, ?, ?)",
                     {m.name, side, m.userName, m.password, m.maxConcurrentWriters, m.reserveSpaceMB, m.typeId, master,
                      m.libraryId},
                     made);
    if (code != DB_OK || m.deviceId == 0) return code;
    return s.exec("INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") VALUES (?, ?)",
                  {made, m.deviceId});
  });
  if (rc != 0) return rc;
  id = made;
  return 0;
}

int MMMediaConfigDB::insertDevice(MMStoredDevice& device, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertDevice";
  if (!beginCall(kTag, device.name, device.typeId, mmTranText(tran))) return -1;
  if (!checkText(kTag, "device name", device.name.c_str(), nameWidth(MMStoredKind::Device), false)) return -1;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int code = s.queryOne("SELECT 1 FROM \"MMDevice\" WHERE \"AliasName\" = ?", {device.name}, row);
    if (code == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "Another device is already named [" + device.name + "].", false};
      return kRefused;
    }
    if (code != DB_NO_ROW) return code;
    return insertRow(s,
                     "INSERT INTO \"MMDevice\" (\"DeviceTypeId\", \"AliasName\", \"DeviceEnabled\", \"DRUHostId\") "
                     "VALUES (?, ?, 1, ?)",
                     {device.typeId, device.name, device.druHostId}, made);
  });
  if (rc != 0) return rc;
  device.id = made;
  return 0;
}

int MMMediaConfigDB::insertDeviceController(MMStoredDeviceController& c, const std::string& password, bool detected,
                                            DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertDeviceController";
  if (!beginCall(kTag, c.clientId, c.deviceId, c.folder, c.userName, password.size(), c.accessType,
                       c.credentialAssocId, detected, mmTranText(tran)))
    return -1;
  // A volume on data-server access (bits 16, 32, 128) has no folder.
  const bool dataServer = (c.accessType & 0xB0) != 0;
  if (!checkText(kTag, "volume", c.folder.c_str(), nameWidth(MMStoredKind::DeviceController), dataServer)) return -1;
  if (!checkText(kTag, "user name", c.userName.c_str(), MM_WIDTH(MMDeviceController_t, UserName), true) ||
      !checkText(kTag, "password", password.c_str(), MM_WIDTH(MMDeviceController_t, UserPassword), true))
    return -1;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    const struct {
      const char* sql;
      int id;
      const char* missing;
    } checks[] = {{"SELECT 1 FROM \"MMDevice\" WHERE \"DeviceId\" = ?", c.deviceId,
                   "The disk device is no longer in the configuration."},
                  {"SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", c.clientId, "The media agent is not stored."}};
    for (const auto& check : checks) {
      const int code = requireRow(s, check.sql, check.id, check.missing, refusal);
      if (code != DB_OK) return code;
    }
    // The credential it logs in with must be stored.
    std::string missing;
    const int code = checkStoredReferences(s, MMStoredKind::DeviceController, 0,
                                           {{"CredentialAssocId", c.credentialAssocId}}, missing);
    if (code == DB_NO_ROW) {
      refusal = {MMS2_ERROR_REFERENCE, 0, missing, false};
      return kRefused;
    }
    if (code != DB_OK) return code;
    return insertRow(s,
                     "INSERT INTO \"MMDeviceController\" (\"ClientId\", \"DeviceId\", \"DeviceControllerActive\", "
                     "\"DeviceControllerEnabled\", \"DeviceAccessible\", \"Folder\", \"UserName\", \"UserPassword\", "
                     "\"DeviceAccessType\", \"CredentialAssocId\") VALUES (?, ?, 1, 1, ?, ?, ?, ?, ?, ?)",
                     {c.clientId, c.deviceId, detected ? 1 : 0, c.folder, c.userName, password, c.accessType,
                      c.credentialAssocId},
                     made);
  });
  if (rc != 0) return rc;
  c.id = made;
  return 0;
}

int MMMediaConfigDB::insertNdmpDrivePath(MMNewNdmpDrivePath& p, int& pathId, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertNdmpDrivePath";
  if (!beginCall(kTag, p.masterPoolId, p.clientId, p.drivePoolId, p.drivePoolName, p.drive.name,
                       p.drive.driveNumber, p.pathName, mmTranText(tran)))
    return -1;
  if (!checkText(kTag, "drive name", p.drive.name.c_str(), tkmmdb::driveNameWidth(), false) ||
      !checkText(kTag, "access path", p.pathName.c_str(), nameWidth(MMStoredKind::DrivePath), false) ||
      (p.drivePoolId == 0 &&
       !checkText(kTag, "drive pool name", p.drivePoolName.c_str(), nameWidth(MMStoredKind::DrivePool), false)))
    return -1;
  // The drive's texts as the server or the request gave them, each whole
  // in its column or not at all.
  if (!checkText(kTag, "drive serial number", p.drive.serialNumber.c_str(), MM_WIDTH(MMDrive_t, SerialNumber), true) ||
      !checkText(kTag, "drive firmware revision", p.drive.firmware.c_str(), MM_WIDTH(MMDrive_t, FirmwareRevision),
                 true) ||
      !checkText(kTag, "drive vendor", p.drive.vendor.c_str(), MM_WIDTH(MMDrive_t, DriveVendor), true) ||
      !checkText(kTag, "drive model", p.drive.model.c_str(), MM_WIDTH(MMDrive_t, DriveModel), true))
    return -1;
  int pool = p.drivePoolId;
  int drive = 0;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    const struct {
      bool wanted;
      const char* sql;
      int id;
      const char* missing;
    } checks[] = {
        {true, "SELECT 1 FROM \"MMMasterPool\" WHERE \"MasterPoolId\" = ?", p.masterPoolId,
         "The master drive pool is no longer in the configuration."},
        {true, "SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", p.clientId, "The media agent is not stored."},
        {pool != 0, "SELECT 1 FROM \"MMDrivePool\" WHERE \"DrivePoolId\" = ?", pool,
         "The drive pool is no longer in the configuration."},
    };
    for (const auto& check : checks) {
      if (!check.wanted) continue;
      const int code = requireRow(s, check.sql, check.id, check.missing, refusal);
      if (code != DB_OK) return code;
    }
    int code = DB_OK;
    if (pool == 0) {
      code = s.queryOne("SELECT 1 FROM \"MMDrivePool\" P JOIN \"MMMasterPool\" M ON M.\"MasterPoolId\" = "
                        "P.\"MasterPoolId\" WHERE P.\"DrivePoolName\" = ? AND M.\"LibraryId\" = (SELECT "
                        "\"LibraryId\" FROM \"MMMasterPool\" WHERE \"MasterPoolId\" = ?)",
                        {p.drivePoolName, p.masterPoolId}, row);
      if (code == DB_OK) {
        refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "The library has a drive pool [" + p.drivePoolName + "] already.",
                   false};
        return kRefused;
      }
      if (code != DB_NO_ROW) return code;
      code = insertRow(s,
                       "INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                       "\"MasterPoolId\", \"DrivePoolType\", \"Descript\") VALUES (?, 1, ?, ?, ?, ?)",
                       {p.drivePoolName, p.clientId, p.masterPoolId, p.drivePoolType, p.proxyHost}, pool);
      if (code != DB_OK) return code;
    }
    code = insertRow(s,
                     "INSERT INTO \"MMDrive\" (\"DriveName\", \"AliasName\", \"DriveEnabled\", \"MasterPoolId\", "
                     "\"DriveNumber\", \"SerialNumber\", \"DriveVendor\", \"DriveModel\", \"FirmwareRevision\") "
                     "VALUES (?, ?, 1, ?, ?, ?, ?, ?, ?)",
                     {p.drive.name, p.drive.name, p.masterPoolId, p.drive.driveNumber, p.drive.serialNumber,
                      p.drive.vendor, p.drive.model, p.drive.firmware},
                     drive);
    if (code != DB_OK) return code;
    code = insertRow(s,
                     "INSERT INTO \"MMDrivePath\" (\"DriveId\", \"DrivePoolId\", \"ClientId\", \"PathName\", "
                     "\"IsEnabled\") VALUES (?, ?, ?, ?, 1)",
                     {drive, pool, p.clientId, p.pathName}, made);
    for (const auto& [name, value] : p.pathSettings) {
      if (code != DB_OK) break;
      code = s.exec(kMMObjectSettingUpsert, {static_cast<int>(MMStoredKind::DrivePath), made, name, value});
    }
    return code;
  });
  if (rc != 0) return rc;
  p.drivePoolId = pool;
  p.drive.id = drive;
  pathId = made;
  return 0;
}
