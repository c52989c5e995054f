// Client-info objects of the media-management service, over the tables of
// the table access and the bindings.
#include "platform/db/TextWidth.h"
#include "platform/mmdb/ZQMMClientInfo.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmdb/MMJournal.h"
#include "platform/mmdb/MMLayouts.h"

namespace {

using Refused = ZQMMbase::Refused;
constexpr int kRefused = ZQMMbase::kRefused;

// A text of a fixed-size record field, never read past the field.
template <size_t N>
std::string fieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// DB_OK when `sql` finds a row for `id`; kRefused with `missing` when it
// finds none; else the engine's code.
int mustExist(tkdb::Session& s, const char* sql, int id, Refused& r, Refused missing) {
  tkdb::DbRow row;
  int rc = s.queryOne(sql, {id}, row);
  if (rc == DB_NO_ROW) {
    r = std::move(missing);
    return kRefused;
  }
  return rc;
}

int mustExistLibrary(tkdb::Session& s, int libraryId, Refused& r) {
  return mustExist(s, "SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", libraryId, r,
                   {ZQMM_ERR_LIBRARY_NOT_FOUND, "No library with id [" + std::to_string(libraryId) + "]."});
}

int mustExistDevice(tkdb::Session& s, int deviceId, Refused& r) {
  return mustExist(s, "SELECT 1 FROM \"MMDevice\" WHERE \"DeviceId\" = ?", deviceId, r,
                   {ZQMM_ERR_DEVICE_NOT_FOUND, "No device with id [" + std::to_string(deviceId) + "]."});
}

// Adds a device path; the engine's code, or kRefused.
int insertController(tkdb::Session& s, int deviceId, const MMDeviceControllerParams& c, Refused& refused,
                     long long& newId) {
  int rc =
      mustExist(s, "SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", static_cast<int>(c.clientId), refused,
                {ZQMM_ERR_MEDIA_AGENT_NOT_FOUND, "Client [" + std::to_string(c.clientId) + "] is not a media agent."});
  if (rc != DB_OK) return rc;
  tkdb::DbRow row;
  rc = s.queryOne("SELECT \"DeviceControllerId\" FROM \"MMDeviceController\" WHERE \"ClientId\" = ? AND "
                  "\"DeviceId\" = ?",
                  {static_cast<int>(c.clientId), deviceId}, row);
  if (rc == DB_OK) {
    refused = {ZQMM_ERR_CONTROLLER_EXISTS, "Media agent [" + std::to_string(c.clientId) +
                                               "] already has a device path to device [" + std::to_string(deviceId) +
                                               "]."};
    return kRefused;
  }
  if (rc != DB_NO_ROW) return rc;
  rc = s.exec(
      "INSERT INTO \"MMDeviceController\" (\"ClientId\", \"DeviceId\", \"DeviceControllerActive\", "
      "\"DeviceControllerEnabled\", \"SNRVolumeId\", \"UseCount\", \"UserName\", \"UserPassword\", \"Folder\", "
      "\"DeviceMounted\", \"DeviceAccessible\", \"VolumeRecoveryStatus\", \"VolumeRecoveryTime\", "
      "\"VolumeScsiReserved\", \"DeviceAccessType\", \"RMStatus\", \"RMStatusUpdateTime\", \"CredentialAssocId\") "
      "VALUES (?, ?, 1, 1, 0, 0, ?, ?, ?, 0, 1, 0, 0, 0, ?, 0, 0, 0)",
      {static_cast<int>(c.clientId), deviceId, fieldText(c.userName), fieldText(c.password), fieldText(c.folder),
       static_cast<int>(c.deviceAccessType)});
  if (rc != DB_OK) return rc;
  newId = s.lastInsertId();
  return DB_OK;
}

// The device path `controllerId` of the device, or kRefused.
int findController(tkdb::Session& s, int deviceId, int controllerId, Refused& refused) {
  tkdb::DbRow row;
  int rc = s.queryOne("SELECT 1 FROM \"MMDeviceController\" WHERE \"DeviceControllerId\" = ? AND \"DeviceId\" = ?",
                      {controllerId, deviceId}, row);
  if (rc == DB_NO_ROW) {
    refused = {ZQMM_ERR_CONTROLLER_NOT_FOUND, "Device [" + std::to_string(deviceId) + "] has no device controller [" +
                                                  std::to_string(controllerId) + "]."};
    return kRefused;
  }
  return rc;
}

// Every media agent with a device path to the device gets a drive pool in
// the master pool of each mount path on it (as the media-management service
// sets a media agent up for a library), so that the media agent can write to
// the mount path and its device path can be changed later.
int ensureDrivePools(tkdb::Session& s, long long deviceId) {
  return s.exec(
      "INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", \"MasterPoolId\", "
      "\"MaxDrivesToSwitch\") "
      "SELECT DISTINCT 'DrivePool(' || C.\"ClientId\" || ')', 1, C.\"ClientId\", M.\"MasterPoolId\", P.\"MaxDrivesToSwitch\" "
      "FROM \"MMDeviceController\" C JOIN \"MMMountPathToStorageDevice\" D ON D.\"DeviceId\" = C.\"DeviceId\" "
      "JOIN \"MMMountPath\" M ON M.\"MountPathId\" = D.\"MountPathId\" "
      "JOIN \"MMMasterPool\" P ON P.\"MasterPoolId\" = M.\"MasterPoolId\" "
      "WHERE C.\"DeviceId\" = ? AND NOT EXISTS (SELECT 1 FROM \"MMDrivePool\" X WHERE X.\"ClientId\" = C.\"ClientId\" "
      "AND X.\"MasterPoolId\" = M.\"MasterPoolId\")",
      {deviceId});
}

std::string describeEntry(const MMConfigDeviceControllerInfo& e) {
  // Passwords are never journaled.
  return std::to_string(e.operation) + ":" + std::to_string(e.clientId) + ":" + std::to_string(e.deviceControllerId) +
         ":" + std::to_string(e.deviceAccessType) + ":" + fieldText(e.folder);
}

}  // namespace

int tkmmdb::removeMountPathRows(tkdb::Session& s, int mountPathId) {
  static const char* const kSteps[] = {
      "DELETE FROM \"MMMediaBackup\" WHERE \"MediaId\" IN (SELECT S.\"MediaId\" FROM \"MMMediaSide\" S JOIN "
      "\"MMMountPath\" M ON M.\"MediaSideId\" = S.\"MediaSideId\" WHERE M.\"MountPathId\" = ?)",
      "DELETE FROM \"MMMedia\" WHERE \"MediaId\" IN (SELECT S.\"MediaId\" FROM \"MMMediaSide\" S JOIN "
      "\"MMMountPath\" M ON M.\"MediaSideId\" = S.\"MediaSideId\" WHERE M.\"MountPathId\" = ?)",
      "DELETE FROM \"MMMediaSide\" WHERE \"MediaSideId\" IN (SELECT \"MediaSideId\" FROM \"MMMountPath\" WHERE "
      "\"MountPathId\" = ?)",
      "DELETE FROM \"MMMountPathToStorageDevice\" WHERE \"MountPathId\" = ?",
      "DELETE FROM \"MMMountPathToDistributedStorage\" WHERE \"MountPathId\" = ?",
      "DELETE FROM \"MMRPStoreProp\" WHERE \"RPStoreId\" IN (SELECT \"RPStoreId\" FROM \"MMRPStoreConfig\" WHERE "
      "\"MountPathId\" = ?)",
      "DELETE FROM \"MMRPStoreConfig\" WHERE \"MountPathId\" = ?",
      "DELETE FROM \"MMMountPath\" WHERE \"MountPathId\" = ?",
  };
  for (const char* step : kSteps) {
    int rc = s.exec(step, {mountPathId});
    if (rc != DB_OK) return rc;
  }
  return DB_OK;
}

// ---- ZQMMbase -------------------------------------------------------------------------

int ZQMMbase::GetLastError(int& code, char* buffer, int length) const {
  code = m_code;
  if (buffer != nullptr && length > 0) std::snprintf(buffer, static_cast<size_t>(length), "%s", m_text.c_str());
  return m_code;
}

bool ZQMMbase::journalCall(const char* call, std::vector<std::string> args) {
  tkmmdb::journal().record(call, std::move(args));
  tkmmdb::Failure failure;
  if (!tkmmdb::takeFailure(call, failure)) return true;
  fail(call, failure.code, failure.text);
  return false;
}

int ZQMMbase::fail(const char* tag, int code, const std::string& text) {
  m_code = code != 0 ? code : ZQMM_ERR_DATABASE;
  m_text = text;
  EvDebug::Error(tag, "Error [%d]: %s", m_code, text.c_str());
  return m_code;
}

int ZQMMbase::changeAtomically(const char* tag, const char* failure,
                               const std::function<int(tkdb::Session&, Refused&)>& work) {
  tkdb::Session session(nullptr);
  Refused refused;
  int rc = session.atomically([&]() { return work(session, refused); });
  if (rc == DB_OK) return ZQMM_SUCCESS;
  if (rc == kRefused) return fail(tag, refused.code, refused.text);
  std::string detail = std::string(failure) + ": " + DBtable::getErrorStr(rc);
  if (!session.errorText().empty()) detail += " (" + session.errorText() + ")";
  return fail(tag, ZQMM_ERR_DATABASE, detail);
}

// ---- ZQMMmountPath -----------------------------------------------------------------------

int ZQMMmountPath::addMountPath(int& newMountPathId) {
  static constexpr const char* kTag = "ZQMMmountPath::addMountPath";
  const MMSMountpathInfo* info = m_info;
  if (!beginCall(kTag, [&] {
        return info == nullptr ? tkjournal::args("no mount path")
                               : tkjournal::args(info->libraryId, info->baseFolder, info->deviceId,
                                                 info->mountPathType, info->numberOfWriters, info->maxWriters);
      })) {
    return errorCode();
  }
  if (info == nullptr) return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The object was made without a mount path.");
  const char* name = info->baseFolder;
  constexpr size_t kNameMax = sizeof(MMMountPath_t::MountPathName) - 1;
  constexpr size_t kUserMax = sizeof(MMMountPath_t::UserName) - 1;
  constexpr size_t kPasswordMax = sizeof(MMMountPath_t::UserPassword) - 1;
  if (name == nullptr || name[0] == '\0') return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The mount path has no name.");
  if (std::string refusal; !tkdb::fitsColumn("mount path name", std::string_view(name, strnlen(name, kNameMax + 1)),
                                              kNameMax, refusal)) {
    return fail(kTag, ZQMM_ERR_BAD_REQUEST, refusal);
  }
  const char* user = info->userName != nullptr ? info->userName : "";
  const char* password = info->password != nullptr ? info->password : "";
  if (strnlen(user, kUserMax + 1) > kUserMax || strnlen(password, kPasswordMax + 1) > kPasswordMax) {
    return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The user name or password of the mount path is too long.");
  }
  const std::string mountPathName = name;
  long long newId = 0;
  int rc = changeAtomically(
      kTag, "The mount path was not added",
      [&](tkdb::Session& s, Refused& r) -> int {
        int code = mustExistLibrary(s, info->libraryId, r);
        if (code != DB_OK) return code;
        if (info->deviceId > 0) {
          code = mustExistDevice(s, info->deviceId, r);
          if (code != DB_OK) return code;
        }
        tkdb::DbRow row;
        code = s.queryOne("SELECT 1 FROM \"MMMountPath\" WHERE \"LibraryId\" = ? AND \"MountPathName\" = ?",
                          {info->libraryId, mountPathName}, row);
        if (code == DB_OK) {
          r = {ZQMM_ERR_DUPLICATE_NAME, "The library already has a mount path named [" + mountPathName + "]."};
          return kRefused;
        }
        if (code != DB_NO_ROW) return code;
        // The library's master pool; a library without one gets one.
        long long masterPoolId = 0;
        code = s.queryOne("SELECT MIN(\"MasterPoolId\") FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?",
                          {info->libraryId}, row);
        if (code != DB_OK) return code;
        if (!row.empty() && !row.front().isNull()) {
          masterPoolId = row.front().i;
        } else {
          code = s.exec("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\") VALUES (?, ?)",
                        {info->libraryId, "MasterPool_" + std::to_string(info->libraryId)});
          if (code != DB_OK) return code;
          masterPoolId = s.lastInsertId();
        }
        code = s.exec("INSERT INTO \"MMMedia\" (\"LibraryId\", \"MasterPoolId\", \"NumberOfSides\", "
                      "\"MediaEnabled\") VALUES (?, ?, 1, 1)",
                      {info->libraryId, masterPoolId});
        if (code != DB_OK) return code;
        const long long mediaId = s.lastInsertId();
        code = s.exec("INSERT INTO \"MMMediaSide\" (\"MediaId\", \"MasterPoolId\", \"SideNumber\") VALUES (?, ?, 1)",
                      {mediaId, masterPoolId});
        if (code != DB_OK) return code;
        const long long mediaSideId = s.lastInsertId();
        MMMountPath_t path;
        path.MediaSideId = static_cast<int>(mediaSideId);
        path.IsEnabled = 1;
        path.NumberOfWriters = info->numberOfWriters;
        path.MaxConcurrentWriters = info->maxWriters;
        path.MountPathTypeId = info->mountPathType;
        path.MasterPoolId = static_cast<int>(masterPoolId);
        path.LibraryId = info->libraryId;
        const MMLayout& layout = tkmmdb::mountPathLayout();
        std::vector<tkdb::DbValue> values = MMTableAccess::recordValues(layout, &path, nullptr);
        // Texts longer than the row's arrays go in whole (they were checked).
        for (int i = 0; i < layout.count; ++i) {
          const std::string column = layout.cols[i].name;
          if (column == "MountPathName") values[static_cast<size_t>(i)] = tkdb::DbValue(mountPathName);
          if (column == "UserName") values[static_cast<size_t>(i)] = tkdb::DbValue(user);
          if (column == "UserPassword") values[static_cast<size_t>(i)] = tkdb::DbValue(password);
          // The database gives the id: never one a deleted mount path had
          // (the largest id plus one would give the last deleted one again).
          if (column == "MountPathId") values[static_cast<size_t>(i)] = tkdb::DbValue();
        }
        code = s.exec(MMTableAccess::insertSql(layout, nullptr), values);
        if (code != DB_OK) return code;
        newId = s.lastInsertId();
        if (info->deviceId > 0) {
          code = s.exec("INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") VALUES (?, ?)",
                        {newId, info->deviceId});
          if (code != DB_OK) return code;
          code = ensureDrivePools(s, info->deviceId);
          if (code != DB_OK) return code;
        }
        return DB_OK;
      });
  if (rc != ZQMM_SUCCESS) return rc;
  newMountPathId = static_cast<int>(newId);
  return ZQMM_SUCCESS;
}

int ZQMMmountPath::delMountPath(int mountPathId, bool force) {
  static constexpr const char* kTag = "ZQMMmountPath::delMountPath";
  if (!beginCall(kTag, mountPathId, force)) return errorCode();
  return changeAtomically(
      kTag, "The mount path was not deleted",
      [&](tkdb::Session& s, Refused& r) -> int {
        int code =
            mustExist(s, "SELECT 1 FROM \"MMMountPath\" WHERE \"MountPathId\" = ?", mountPathId, r,
                      {ZQMM_ERR_MOUNTPATH_NOT_FOUND, "No mount path with id [" + std::to_string(mountPathId) + "]."});
        if (code != DB_OK) return code;
        if (!force) {
          tkdb::DbRow row;
          code = s.queryOne(
              "SELECT COUNT(*) FROM \"MMMediaBackup\" B JOIN \"MMMediaSide\" S ON S.\"MediaId\" = B.\"MediaId\" "
              "JOIN \"MMMountPath\" M ON M.\"MediaSideId\" = S.\"MediaSideId\" WHERE M.\"MountPathId\" = ?",
              {mountPathId}, row);
          if (code != DB_OK) return code;
          if (!row.empty() && row.front().i > 0) {
            r = {ZQMM_ERR_MOUNTPATH_HAS_DATA, "Mount path [" + std::to_string(mountPathId) + "] still holds " +
                                                  std::to_string(row.front().i) + " backups."};
            return kRefused;
          }
        }
        return tkmmdb::removeMountPathRows(s, mountPathId);
      });
}

int ZQMMmountPath::performStartStopPruningConfig(const MMStartStopOnGoingPruningReq& request) {
  static constexpr const char* kTag = "ZQMMmountPath::performStartStopPruningConfig";
  if (!beginCall(kTag, request.version, request.action, request.mountPathId, request.tarnfoldId)) {
    return errorCode();
  }
  if (request.action != MM_PRUNING_START && request.action != MM_PRUNING_STOP) {
    return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The pruning action " + std::to_string(request.action) + " is unknown.");
  }
  tkdb::Session session(nullptr);
  tkdb::DbRow row;
  int rc = session.queryOne("SELECT 1 FROM \"MMMountPath\" WHERE \"MountPathId\" = ?",
                            {static_cast<long long>(request.mountPathId)}, row);
  if (rc == DB_NO_ROW) {
    return fail(kTag, ZQMM_ERR_MOUNTPATH_NOT_FOUND, "No mount path with id [" + std::to_string(request.mountPathId) + "].");
  }
  if (rc != DB_OK) return fail(kTag, ZQMM_ERR_DATABASE, std::string("The mount path was not read: ") + DBtable::getErrorStr(rc));
  EvDebug::DebugLvl(2, kTag, "%s pruning of aged data on mount path [%u]",
                    request.action == MM_PRUNING_START ? "Starting" : "Stopping", request.mountPathId);
  return ZQMM_SUCCESS;
}

// ---- ZQMMDeviceInfo ----------------------------------------------------------------------

int ZQMMDeviceInfo::addDevice(MMDeviceParams& device, MMDeviceControllerParams& controller, int value) {
  static constexpr const char* kTag = "ZQMMDeviceInfo::addDevice";
  const std::string name = fieldText(device.deviceName);
  if (!beginCall(kTag, [&] {
        return tkjournal::args(name, device.deviceType, device.cloudServiceType, controller.clientId,
                               fieldText(controller.folder), controller.deviceAccessType, value);
      })) {
    return errorCode();
  }
  if (name.empty()) return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The device has no name.");
  if (name.size() >= sizeof device.deviceName) {
    return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The device name is not terminated inside its field.");
  }
  if (device.deviceType < 1) return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The device has no type.");
  // A name ending in '#' is a placeholder: the device is named after its id.
  const bool numbered = name.back() == '#';
  long long deviceId = 0;
  long long controllerId = 0;
  int rc = changeAtomically(
      kTag, "The device was not added",
      [&](tkdb::Session& s, Refused& r) -> int {
        tkdb::DbRow row;
        int code = DB_NO_ROW;
        if (!numbered) {
          code = s.queryOne("SELECT 1 FROM \"MMDevice\" WHERE \"AliasName\" = ?", {name}, row);
          if (code == DB_OK) {
            r = {ZQMM_ERR_DUPLICATE_NAME, "Another device is already named [" + name + "]."};
            return kRefused;
          }
          if (code != DB_NO_ROW) return code;
        }
        code = s.exec("INSERT INTO \"MMDevice\" (\"AliasName\", \"DeviceTypeId\", \"CloudServiceType\", "
                      "\"DeviceEnabled\", \"DeviceAccessible\") VALUES (?, ?, ?, 1, 1)",
                      {name, device.deviceType, device.cloudServiceType});
        if (code != DB_OK) return code;
        deviceId = s.lastInsertId();
        if (numbered) {
          code = s.exec("UPDATE \"MMDevice\" SET \"AliasName\" = ? WHERE \"DeviceId\" = ?",
                        {name + std::to_string(deviceId), deviceId});
          if (code != DB_OK) return code;
        }
        return insertController(s, static_cast<int>(deviceId), controller, r, controllerId);
      });
  if (rc != ZQMM_SUCCESS) return rc;
  device.deviceId = static_cast<int32_t>(deviceId);
  controller.deviceId = static_cast<uint32_t>(deviceId);
  return ZQMM_SUCCESS;
}

int ZQMMDeviceInfo::addDeviceController(int deviceId, MMDeviceControllerParams& controller, int& newControllerId) {
  static constexpr const char* kTag = "ZQMMDeviceInfo::addDeviceController";
  if (!beginCall(kTag, [&] {
        return tkjournal::args(deviceId, controller.clientId, fieldText(controller.folder),
                               controller.deviceAccessType);
      })) {
    return errorCode();
  }
  long long controllerId = 0;
  int rc = changeAtomically(
      kTag, "The device controller was not added",
      [&](tkdb::Session& s, Refused& r) -> int {
        int code = mustExistDevice(s, deviceId, r);
        if (code != DB_OK) return code;
        return insertController(s, deviceId, controller, r, controllerId);
      });
  if (rc != ZQMM_SUCCESS) return rc;
  controller.deviceId = static_cast<uint32_t>(deviceId);
  newControllerId = static_cast<int>(controllerId);
  return ZQMM_SUCCESS;
}

int ZQMMDeviceInfo::configDeviceControllerList(int deviceId, const std::vector<MMConfigDeviceControllerInfo>& list) {
  static constexpr const char* kTag = "ZQMMDeviceInfo::configDeviceControllerList";
  if (!beginCall(kTag, [&] {
        std::vector<std::string> args = tkjournal::args(deviceId, list.size());
        for (const MMConfigDeviceControllerInfo& entry : list) args.push_back(describeEntry(entry));
        return args;
      })) {
    return errorCode();
  }
  return changeAtomically(
      kTag, "The device paths were not changed",
      [&](tkdb::Session& s, Refused& r) -> int {
        int code = mustExistDevice(s, deviceId, r);
        if (code != DB_OK) return code;
        for (const MMConfigDeviceControllerInfo& entry : list) {
          const int controllerId = static_cast<int>(entry.deviceControllerId);
          switch (entry.operation) {
            case MM_DEVICE_CONTROLLER_ADD: {
              long long ignored = 0;
              code = insertController(s, deviceId, entry, r, ignored);
              break;
            }
            case MM_DEVICE_CONTROLLER_CHANGE:
              code = findController(s, deviceId, controllerId, r);
              if (code != DB_OK) break;
              code = s.exec("UPDATE \"MMDeviceController\" SET \"Folder\" = ?, \"UserName\" = ?, \"UserPassword\" = ?, "
                            "\"DeviceAccessType\" = ?, \"DeviceControllerEnabled\" = ? WHERE \"DeviceControllerId\" = ?",
                            {fieldText(entry.folder), fieldText(entry.userName), fieldText(entry.password),
                             static_cast<int>(entry.deviceAccessType), entry.enabled != 0 ? 1 : 0, controllerId});
              break;
            case MM_DEVICE_CONTROLLER_REMOVE:
              code = findController(s, deviceId, controllerId, r);
              if (code != DB_OK) break;
              code = s.exec("DELETE FROM \"MMDeviceController\" WHERE \"DeviceControllerId\" = ?", {controllerId});
              break;
            default:
              r = {ZQMM_ERR_BAD_REQUEST, "The device-path operation " + std::to_string(entry.operation) +
                                             " is unknown."};
              code = kRefused;
              break;
          }
          if (code != DB_OK) return code;
        }
        return ensureDrivePools(s, deviceId);
      });
}

// ---- ZQMMlcpInfo -------------------------------------------------------------------------

int ZQMMlcpInfo::switchControl(int activeControllerId, int requestedControllerId) {
  static constexpr const char* kTag = "ZQMMlcpInfo::switchControl";
  if (!beginCall(kTag, activeControllerId, requestedControllerId)) return errorCode();
  return changeAtomically(
      kTag, "Control was not switched",
      [&](tkdb::Session& s, Refused& r) -> int {
        tkdb::DbRow row;
        int code = s.queryOne("SELECT \"LibraryId\" FROM \"MMLibraryController\" WHERE \"LibraryControllerId\" = ?",
                              {requestedControllerId}, row);
        if (code == DB_NO_ROW) {
          r = {ZQMM_ERR_CONTROLLER_NOT_FOUND,
               "No library controller with id [" + std::to_string(requestedControllerId) + "]."};
          return kRefused;
        }
        if (code != DB_OK) return code;
        const long long libraryId = row.front().i;
        code = s.queryOne("SELECT IFNULL(MIN(\"LibraryControllerId\"), 0) FROM \"MMLibraryController\" WHERE "
                          "\"LibraryId\" = ? AND \"IsActive\" <> 0",
                          {libraryId}, row);
        if (code != DB_OK) return code;
        if (row.front().i != activeControllerId) {
          r = {ZQMM_ERR_BAD_REQUEST, "Library controller [" + std::to_string(activeControllerId) +
                                         "] is not the active controller of library [" + std::to_string(libraryId) +
                                         "]."};
          return kRefused;
        }
        return s.exec("UPDATE \"MMLibraryController\" SET \"IsActive\" = CASE WHEN \"LibraryControllerId\" = ? "
                      "THEN 1 ELSE 0 END WHERE \"LibraryId\" = ?",
                      {requestedControllerId, libraryId});
      });
}

// ---- ZQMMmedAgentInfo --------------------------------------------------------------------

int ZQMMmedAgentInfo::uninstallLibrary(int libraryId, const char* name) {
  static constexpr const char* kTag = "ZQMMmedAgentInfo::uninstallLibrary";
  if (!beginCall(kTag, libraryId, name)) return errorCode();
  const std::string libraryName = name != nullptr ? name : "";
  return changeAtomically(
      kTag, "The library was not uninstalled",
      [&](tkdb::Session& s, Refused& r) -> int {
        if (!libraryName.empty()) {
          tkdb::DbRow row;
          int code = s.queryOne("SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ? AND \"AliasName\" = ?",
                                {libraryId, libraryName}, row);
          if (code == DB_NO_ROW) {
            r = {ZQMM_ERR_LIBRARY_NOT_FOUND,
                 "No library with id [" + std::to_string(libraryId) + "] named [" + libraryName + "]."};
            return kRefused;
          }
          if (code != DB_OK) return code;
        }
        bool found = false;
        int code = tkmmdb::removeLibraryRows(s, libraryId, found);
        if (code == DB_OK && !found) {
          r = {ZQMM_ERR_LIBRARY_NOT_FOUND, "No library with id [" + std::to_string(libraryId) + "]."};
          return kRefused;
        }
        return code;
      });
}

// ---- ZQMMDBLibInfo -----------------------------------------------------------------------

int ZQMMDBLibInfo::setHybridCloudLib(int libraryId, int cloudLibraryId, int pairingFlag, unsigned int userId) {
  static constexpr const char* kTag = "ZQMMDBLibInfo::setHybridCloudLib";
  if (!beginCall(kTag, libraryId, cloudLibraryId, pairingFlag, userId)) return errorCode();
  if (pairingFlag != 0 && pairingFlag != 1) {
    return fail(kTag, ZQMM_ERR_BAD_REQUEST, "The pairing flag " + std::to_string(pairingFlag) + " is neither 0 nor 1.");
  }
  if (libraryId == cloudLibraryId) {
    return fail(kTag, ZQMM_ERR_BAD_REQUEST, "A library cannot be paired with itself.");
  }
  return changeAtomically(
      kTag, "The hybrid-cloud pairing was not changed",
      [&](tkdb::Session& s, Refused& r) -> int {
        for (int id : {libraryId, cloudLibraryId}) {
          int code = mustExistLibrary(s, id, r);
          if (code != DB_OK) return code;
        }
        if (pairingFlag == 1) {
          return s.exec("INSERT INTO \"MMHybridCloudMapping\" (\"CloudLibraryId\", \"DiskLibraryId\") VALUES (?, ?) "
                        "ON CONFLICT (\"CloudLibraryId\") DO UPDATE SET \"DiskLibraryId\" = excluded.\"DiskLibraryId\"",
                        {cloudLibraryId, libraryId});
        }
        return s.exec("DELETE FROM \"MMHybridCloudMapping\" WHERE \"CloudLibraryId\" = ? AND \"DiskLibraryId\" = ?",
                      {cloudLibraryId, libraryId});
      });
}

// ---- ZQMMDBCopyFailover ------------------------------------------------------------------

int ZQMMDBCopyFailover::failBoth(const char* tag, int code, const std::string& text) {
  ZQMMbase::fail(tag, code, text);
  setError(code, 0, text);
  return code;
}

int ZQMMDBCopyFailover::addCFCandidate(int copyId, int drivePoolId, int clientId, int priority, int flags,
                                       bool isDefault, DBtran* tran) {
  static constexpr const char* kTag = "ZQMMDBCopyFailover::addCFCandidate";
  clearError();
  if (!ZQMMbase::beginCall(kTag, copyId, drivePoolId, clientId, priority, flags, isDefault,
                                 mmTranText(tran))) {
    int code = 0;
    ZQMMbase::GetErrorCode(code);
    setError(code, 0, ZQMMbase::lastErrorText());
    return code;
  }
  if (copyId <= 0) return failBoth(kTag, ZQMM_ERR_BAD_REQUEST, "No storage-policy copy was given.");
  if (drivePoolId <= 0) return failBoth(kTag, ZQMM_ERR_BAD_REQUEST, "No drive pool was given for the copy failover.");
  tkdb::Session session(tran);
  tkdb::DbRow row;
  int rc = session.queryOne("SELECT 1 FROM \"MMDrivePool\" WHERE \"DrivePoolId\" = ?", {drivePoolId}, row);
  if (rc == DB_NO_ROW) {
    return failBoth(kTag, ZQMM_ERR_BAD_REQUEST, "No drive pool with id [" + std::to_string(drivePoolId) + "].");
  }
  if (rc == DB_OK) {
    rc = session.exec(
        "INSERT INTO \"MMCopyFailoverCandidate\" (\"CopyId\", \"DrivePoolId\", \"ClientId\", \"Priority\", \"Flags\", "
        "\"IsDefault\") VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (\"CopyId\", \"DrivePoolId\") DO UPDATE SET "
        "\"ClientId\" = excluded.\"ClientId\", \"Priority\" = excluded.\"Priority\", \"Flags\" = excluded.\"Flags\", "
        "\"IsDefault\" = excluded.\"IsDefault\"",
        {copyId, drivePoolId, clientId, priority, flags, isDefault ? 1 : 0});
  }
  if (rc != DB_OK) {
    std::string text = std::string("The copy-failover candidate was not added: ") + DBtable::getErrorStr(rc);
    if (!session.errorText().empty()) text += " (" + session.errorText() + ")";
    failBoth(kTag, ZQMM_ERR_DATABASE, text);
    setError(ZQMM_ERR_DATABASE, rc, text);
    return ZQMM_ERR_DATABASE;
  }
  return ZQMM_SUCCESS;
}
