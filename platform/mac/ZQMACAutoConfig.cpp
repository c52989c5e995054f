// The library set-up of the object model (ZQMACMediaConfig::AutoConfigLibrary):
// a library is made on a media agent from a mount path, a serial number the
// agent sees, or a disk device, and stored in the central database in one
// all-or-nothing change, so the next load and the table access see it whole
// or not at all.
//
// A disk library is stored as the model keeps one: the library row, its
// master pool, the agent's drive pool in it, the device with the agent's
// device controller (folder, user name, encrypted password), a medium with
// its media side (capacity as set for tests), and the mount path on the
// medium and the device.
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMMountPath.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/db/TextWidth.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMLibraryName.h"
#include "platform/security/StoredPassword.h"

namespace tkmac {
namespace {

constexpr long long kDefaultCapacity = 5120000;
constexpr int kDiskLibraryType = 3;
constexpr int kTapeLibraryType = 1;
constexpr int kMountPathTypeDisk = 1;
constexpr int kMountPathWriters = 10;
// Widest library name the library row holds.
constexpr std::size_t kLibraryNameWidth = 128;

struct SetUpState {
  std::mutex mutex;
  std::vector<VisibleLibrary> visible;
  long long capacity = kDefaultCapacity;
};

SetUpState& setUpState() {
  static SetUpState* state = new SetUpState();  // lives for the whole process
  return *state;
}

// A failure of the set-up: the last error's code and text.
struct Refusal {
  unsigned int code = 0;
  std::string text;
};

// What a disk library is made of.
struct DiskParts {
  int agentId = 0;
  std::string agentName;
  std::string name;
  std::string folder;
  int deviceId = 0;  // an existing device, or 0 for a new one
  int deviceType = 1;
  std::string deviceName;
  std::string userName;
  std::string password;  // encrypted
  long long capacity = kDefaultCapacity;
};

// Inserts a row; the new id into `id`.
int insert(tkdb::Session& s, const char* sql, const std::vector<tkdb::DbValue>& values, int& id) {
  const int rc = s.exec(sql, values);
  if (rc == DB_OK) id = static_cast<int>(s.lastInsertId());
  return rc;
}

}  // namespace

int insertFolderDevice(tkdb::Session& s, const FolderDevice& d, int& deviceId, int& volumeId) {
  int rc = insert(s, "INSERT INTO \"MMDevice\" (\"DeviceTypeId\", \"AliasName\", \"DeviceEnabled\") VALUES (?, ?, 1)",
                  {d.deviceType, d.deviceName}, deviceId);
  if (rc != DB_OK) return rc;
  return insert(s,
                "INSERT INTO \"MMDeviceController\" (\"ClientId\", \"DeviceId\", \"DeviceControllerActive\", "
                "\"DeviceControllerEnabled\", \"DeviceAccessible\", \"Folder\", \"UserName\", \"UserPassword\") "
                "VALUES (?, ?, 1, 1, 1, ?, ?, ?)",
                {d.agentId, deviceId, d.folder, d.userName, d.password}, volumeId);
}

namespace {

int makeDiskLibrary(tkdb::Session& s, DiskParts& p, int& libraryId) {
  int library = 0;
  int master = 0;
  int ignored = 0;
  int rc = insert(s,
                  "INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", \"LibraryEnabled\") "
                  "VALUES (?, ?, ?, 1)",
                  {p.name, p.name, kDiskLibraryType}, library);
  if (rc != DB_OK) return rc;
  rc = insert(s, "INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MaxDrivesToSwitch\") VALUES (?, ?, -1)",
              {library, tkmmdb::masterPoolName(p.name)}, master);
  if (rc != DB_OK) return rc;
  rc = insert(s,
              "INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", \"MasterPoolId\") "
              "VALUES (?, 1, ?, ?)",
              {tkmmdb::drivePoolName(p.agentName), p.agentId, master}, ignored);
  if (rc != DB_OK) return rc;
  if (p.deviceId == 0) {
    rc = insertFolderDevice(s,
                            {p.agentId, p.deviceName.empty() ? tkmmdb::folderDeviceName(p.name) : p.deviceName,
                             p.deviceType, p.folder, p.userName, p.password},
                            p.deviceId, ignored);
    if (rc != DB_OK) return rc;
  }
  int media = 0;
  int side = 0;
  rc = insert(s, "INSERT INTO \"MMMedia\" (\"MediaName\", \"LibraryId\", \"MasterPoolId\", \"MediaEnabled\") VALUES (?, ?, ?, 1)",
              {tkmmdb::mediumName(p.name), library, master}, media);
  if (rc != DB_OK) return rc;
  rc = insert(s, "INSERT INTO \"MMMediaSide\" (\"MediaId\", \"MasterPoolId\", \"TotalCapacity\") VALUES (?, ?, ?)",
              {media, master, p.capacity}, side);
  if (rc != DB_OK) return rc;
  int mountPath = 0;
  rc = insert(s,
              "INSERT INTO \"MMMountPath\" (\"MountPathName\", \"MediaSideId\", \"UserName\", \"UserPassword\", "
              "\"IsEnabled\", \"MaxConcurrentWriters\", \"MountPathTypeId\", \"MasterPoolId\", \"LibraryId\") "
              "VALUES (?, ?, ?, ?, 1, ?, ?, ?, ?)",
              {p.folder, side, p.userName, p.password, kMountPathWriters, kMountPathTypeDisk, master, library},
              mountPath);
  if (rc != DB_OK) return rc;
  rc = s.exec("INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") VALUES (?, ?)",
              {mountPath, p.deviceId});
  if (rc != DB_OK) return rc;
  libraryId = library;
  return DB_OK;
}

// Why the texts of a new disk library cannot be stored whole ("" when they
// can). A new mount path is the folder of a new device's controller too, so
// it is held to the narrower of the two columns; an existing device keeps
// its folder and name.
std::string diskTextProblem(const DiskParts& p, bool newFolder) {
  constexpr std::size_t kFolderWidth =
      std::min(TK_TEXT_WIDTH(MMMountPath_t, MountPathName), TK_TEXT_WIDTH(MMDeviceController_t, Folder));
  constexpr std::size_t kUserNameWidth =
      std::min(TK_TEXT_WIDTH(MMMountPath_t, UserName), TK_TEXT_WIDTH(MMDeviceController_t, UserName));
  constexpr std::size_t kDeviceNameWidth = TK_TEXT_WIDTH(MMDevice_t, AliasName);
  if (newFolder && !tkdb::fitsWhole(p.folder, kFolderWidth)) return tkdb::notWhole("mount path", p.folder, kFolderWidth);
  if (!tkdb::fitsWhole(p.userName, kUserNameWidth)) return tkdb::notWhole("user name", p.userName, kUserNameWidth);
  if (newFolder && !tkdb::fitsWhole(p.deviceName, kDeviceNameWidth))
    return tkdb::notWhole("device name", p.deviceName, kDeviceNameWidth);
  return std::string();
}

// A library that answers to `name` already (the libraries' one name
// rule); DB_NO_ROW when none.
int nameInUse(tkdb::Session& s, const std::string& name) { return tkmmdb::libraryNameTaken(s, name, 0); }

}  // namespace

void setVisibleLibraries(std::vector<VisibleLibrary> libraries) {
  std::lock_guard<std::mutex> guard(setUpState().mutex);
  setUpState().visible = std::move(libraries);
}

void setNewMountPathCapacity(long long capacity) {
  std::lock_guard<std::mutex> guard(setUpState().mutex);
  setUpState().capacity = capacity;
}

long long newMountPathCapacity() {
  std::lock_guard<std::mutex> guard(setUpState().mutex);
  return setUpState().capacity;
}

}  // namespace tkmac

bool ZQMACMediaConfig::AutoConfigLibrary(const std::string& mediaAgentName, std::string& serialLibraryName,
                                         int& libraryId, const std::string& serialNumber, std::string& libraryName,
                                         int& newLibraryId, const std::string& mountPath, const std::string& userName,
                                         const std::string& password, bool flag, int storageVendorType, int& deviceId,
                                         const std::string& deviceName, const std::string& autoConfigText,
                                         int credentialId, int provisionedStorageType) {
  // Not an instance-wide change: only rows are written, and the next load
  // lays them, so the graph can still be handed over.
  tkmac::journal().record("AutoConfigLibrary", mediaAgentName, serialLibraryName, libraryId, serialNumber, libraryName,
                          mountPath, userName, password.size(), flag, storageVendorType, deviceId, deviceName,
                          autoConfigText, credentialId, provisionedStorageType);
  tkjournal::Failure failure;
  if (tkmac::journal().takeFailure("AutoConfigLibrary", failure)) {
    SetLastError(static_cast<unsigned int>(failure.code), failure.text);
    return false;
  }
  tkmac::DiskParts parts;
  std::vector<tkmac::VisibleLibrary> visible;
  {
    std::lock_guard<std::mutex> guard(tkmac::setUpState().mutex);
    parts.capacity = tkmac::setUpState().capacity;
    visible = tkmac::setUpState().visible;
  }
  std::string passwordRefusal;
  if (!tkpassword::storedFormFor(password, tkpassword::kPasswordColumnWidth, parts.password, passwordRefusal)) {
    SetLastError(tkmac::kErrorInvalidValue, passwordRefusal);
    return false;
  }
  parts.agentName = mediaAgentName;
  parts.name = libraryName;
  parts.userName = userName;
  parts.deviceName = deviceName;
  parts.deviceType = storageVendorType > 0 ? storageVendorType : 1;

  tkmac::Refusal refusal;
  int made = 0;
  int madeDevice = 0;
  std::string foundName;
  tkdb::Session s;
  const int rc = s.atomically([&]() -> int {
    tkdb::DbRow row;
    int code = s.queryOne("SELECT C.\"id\" FROM \"APP_Client\" C JOIN \"MMHost\" H ON H.\"ClientId\" = C.\"id\" "
                          "WHERE C.\"name\" = ? COLLATE NOCASE",
                          {mediaAgentName}, row);
    if (code == DB_NO_ROW) {
      refusal = {tkmac::kErrorUnknownMediaAgent, "The media agent [" + mediaAgentName + "] is not known."};
      return code;
    }
    if (code != DB_OK) return code;
    parts.agentId = static_cast<int>(row.at(0).i);

    if (mountPath.empty() && !serialNumber.empty()) {
      const tkmac::VisibleLibrary* seen = nullptr;
      for (const tkmac::VisibleLibrary& v : visible)
        if (v.serialNumber == serialNumber && v.mediaAgent == mediaAgentName) seen = &v;
      if (seen == nullptr) {
        refusal = {tkmac::kErrorNotSeen,
                   "The media agent [" + mediaAgentName + "] sees no library with serial number [" + serialNumber + "]."};
        return DB_NO_ROW;
      }
      code = s.queryOne(std::string("SELECT \"LibraryId\", ") + tkmmdb::kAnsweredNameSql +
                            " FROM \"MMLibrary\" WHERE \"SerialNumber\" = ?",
                        {serialNumber}, row);
      if (code == DB_OK) {  // configured already: taken as it is
        made = static_cast<int>(row.at(0).i);
        foundName = row.at(1).s;
        return DB_OK;
      }
      if (code != DB_NO_ROW) return code;
      const std::string name = libraryName.empty() ? serialNumber : libraryName;
      if ((code = tkmac::nameInUse(s, name)) != DB_NO_ROW) {
        if (code == DB_OK) refusal = {tkmac::kErrorNameInUse, tkmmdb::libraryNameTakenText(name)};
        return code == DB_OK ? DB_ERR_CONSTRAINT : code;
      }
      code = tkmac::insert(s,
                           "INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
                           "\"LibraryEnabled\", \"SerialNumber\", \"LibraryVendor\", \"LibraryModel\") "
                           "VALUES (?, ?, ?, 1, ?, ?, ?)",
                           {name, name, tkmac::kTapeLibraryType, serialNumber, seen->vendor, seen->model}, made);
      if (code != DB_OK) return code;
      int ignored = 0;
      foundName = name;
      return tkmac::insert(s,
                           "INSERT INTO \"MMLibraryController\" (\"ControllerName\", \"ClientId\", \"LibraryId\", "
                           "\"IsActive\", \"IsEnabled\", \"ControllerType\") VALUES (?, ?, ?, 1, 1, 1)",
                           {serialNumber, parts.agentId, made}, ignored);
    }

    if (parts.name.empty() || parts.name.size() > tkmac::kLibraryNameWidth) {
      refusal = {tkmac::kErrorInvalidName, "The library name must be 1 to 128 bytes long."};
      return DB_ERR_INPUT;
    }
    if ((code = tkmac::nameInUse(s, parts.name)) != DB_NO_ROW) {
      if (code == DB_OK) refusal = {tkmac::kErrorNameInUse, tkmmdb::libraryNameTakenText(parts.name)};
      return code == DB_OK ? DB_ERR_CONSTRAINT : code;
    }
    if (!mountPath.empty()) {
      parts.folder = mountPath;
      if (std::string problem = tkmac::diskTextProblem(parts, true); !problem.empty()) {
        refusal = {tkmac::kErrorInvalidValue, problem};
        return DB_ERR_INPUT;
      }
    } else if (deviceId > 0) {
      code = s.queryOne("SELECT \"Folder\" FROM \"MMDeviceController\" WHERE \"DeviceId\" = ? AND \"ClientId\" = ? "
                        "ORDER BY \"DeviceControllerId\" LIMIT 1",
                        {deviceId, parts.agentId}, row);
      if (code == DB_NO_ROW)
        refusal = {tkmac::kErrorNotSeen, "The media agent [" + mediaAgentName + "] has no folder on device [" +
                                             std::to_string(deviceId) + "]."};
      if (code != DB_OK) return code;
      parts.folder = row.at(0).s;
      parts.deviceId = deviceId;
      if (std::string problem = tkmac::diskTextProblem(parts, false); !problem.empty()) {
        refusal = {tkmac::kErrorInvalidValue, problem};
        return DB_ERR_INPUT;
      }
    } else {
      refusal = {tkmac::kErrorInvalidValue, "No mount path, serial number or device was given."};
      return DB_ERR_INPUT;
    }
    code = tkmac::makeDiskLibrary(s, parts, made);
    madeDevice = parts.deviceId;
    return code;
  });
  if (rc != DB_OK) {
    if (refusal.code == 0) {
      refusal = {tkmac::kErrorDatabase, std::string("The library could not be stored: ") + DBtable::getErrorStr(rc)};
      if (!s.errorText().empty()) refusal.text += " (" + s.errorText() + ")";
    }
    SetLastError(refusal.code, refusal.text);
    return false;
  }
  ClearLastError();
  if (!serialNumber.empty() && mountPath.empty()) {
    serialLibraryName = foundName;
    libraryName = foundName;
  } else {
    deviceId = madeDevice;
  }
  libraryId = made;
  newLibraryId = made;
  return true;
}
