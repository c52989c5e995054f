// The registry of stored kinds (MMStoredKinds.h).
#include "platform/mmdb/MMStoredKinds.h"

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/mmdb/MMCopyManagerDB.h"
#include "platform/mmdb/MMLayouts.h"
#include "platform/mmdb/MMRows.h"

namespace {

// The width of a char-array field, without its terminator.
#define MM_WIDTH(Row, Field) (sizeof(Row{}.Field) - 1)

// The widest drive-path name; the table is the model's own.
constexpr size_t kDrivePathNameWidth = 1024;

using Step = MMRemovalStep;

// The row of the object itself, by its key: the last step of most removals.
#define MM_DELETE_ROW(table, key) \
  Step { Step::Run, "DELETE FROM \"" table "\" WHERE \"" key "\" = ?", nullptr, nullptr }

int removeLibrary(tkdb::Session& s, int id) {
  bool found = false;
  return tkmmdb::removeLibraryRows(s, id, found);
}

int removeMountPath(tkdb::Session& s, int id) { return tkmmdb::removeMountPathRows(s, id); }

std::vector<MMStoredKindRow> makeKinds() {
  using K = MMStoredKind;
  std::vector<MMStoredKindRow> kinds = {
      {K::MediaAgent, "media agent", "MMHost", "ClientId", "APP_Client", "id", "name", MM_WIDTH(APP_Client_t, name),
       true, nullptr, nullptr, true, nullptr, {{"Attribute", 0}},
       {{Step::RefuseWhile,
         "SELECT 1 FROM \"MMLibraryController\" WHERE \"ClientId\" = ?1 UNION ALL SELECT 1 FROM \"MMDrivePool\" "
         "WHERE \"ClientId\" = ?1 UNION ALL SELECT 1 FROM \"MMDrivePath\" WHERE \"ClientId\" = ?1 UNION ALL "
         "SELECT 1 FROM \"MMDeviceController\" WHERE \"ClientId\" = ?1 UNION ALL SELECT 1 FROM \"MMCopyManager\" "
         "WHERE \"ClientId\" = ?1 LIMIT 1",
         "The media agent still reaches libraries, drives, devices or copy managers.", nullptr},
        MM_DELETE_ROW("MMHost", "ClientId")}},
      {K::Library, "library", "MMLibrary", "LibraryId", "MMLibrary", "LibraryId", "AliasName",
       MMLibrary_t::kAliasNameMax, true, "LibraryEnabled", nullptr, true, nullptr,
       {{"BarCodeReaderPresent", 0},
        {"LowWaterMarkMB", 0},
        {"LibraryAttribute", 0},
        {"ExtendedAttributes", 0},
        {"VTLType", 0},
        {"LibraryTypeId", 0},
        {"LibraryVendor", MM_WIDTH(MMLibrary_t, LibraryVendor)},
        {"LibraryModel", MM_WIDTH(MMLibrary_t, LibraryModel)},
        {"DriveCount", 0},
        {"BaseAddress", 0}},
       {{Step::Run,
         "DELETE FROM \"MMDrivePath\" WHERE \"DriveId\" IN (SELECT \"DriveId\" FROM \"MMDrive\" WHERE "
         "\"MasterPoolId\" IN (SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?))",
         nullptr, nullptr},
        {Step::Rows, nullptr, nullptr, &removeLibrary}}},
      {K::LibraryController, "library controller", "MMLibraryController", "LibraryControllerId",
       "MMLibraryController", "LibraryControllerId", "ControllerName", MM_WIDTH(MMLibraryController_t, ControllerName),
       true, "IsEnabled", nullptr, false, nullptr, {{"ControllerType", 0}},
       {MM_DELETE_ROW("MMLibraryController", "LibraryControllerId")}},
      {K::MasterPool, "master pool", "MMMasterPool", "MasterPoolId", "MMMasterPool", "MasterPoolId", "MasterPoolName",
       MM_WIDTH(MMMasterPool_t, MasterPoolName), true, nullptr, nullptr, true, "LibraryId", {{"MasterPoolType", 0}},
       {{Step::RefuseWhile, "SELECT 1 FROM \"MMDrive\" WHERE \"MasterPoolId\" = ? LIMIT 1",
         "The master pool still holds drives.", nullptr},
        {Step::RefuseWhile, "SELECT 1 FROM \"MMMountPath\" WHERE \"MasterPoolId\" = ? LIMIT 1",
         "The master pool still holds mount paths.", nullptr},
        {Step::RefuseWhile,
         "SELECT 1 FROM \"MMDataPath\" WHERE \"DrivePoolId\" IN (SELECT \"DrivePoolId\" FROM \"MMDrivePool\" WHERE "
         "\"MasterPoolId\" = ?) LIMIT 1",
         "Storage-policy copies still write through a drive pool of the master pool.", nullptr},
        {Step::Run,
         "DELETE FROM \"MMDrivePath\" WHERE \"DrivePoolId\" IN (SELECT \"DrivePoolId\" FROM \"MMDrivePool\" WHERE "
         "\"MasterPoolId\" = ?)",
         nullptr, nullptr},
        {Step::Run, "DELETE FROM \"MMDrivePool\" WHERE \"MasterPoolId\" = ?", nullptr, nullptr},
        MM_DELETE_ROW("MMMasterPool", "MasterPoolId")}},
      {K::DrivePool, "drive pool", "MMDrivePool", "DrivePoolId", "MMDrivePool", "DrivePoolId", "DrivePoolName",
       MM_WIDTH(MMDrivePool_t, DrivePoolName), true, "DrivePoolEnabled", nullptr, false, nullptr,
       {{"DrivePoolType", 0},
        {"CopyManagerCtrlId", 0},
        {"CostCategoryId", 0},
        {"Descript", MM_WIDTH(MMDrivePool_t, DrivePoolName)}},
       {{Step::RefuseWhile, "SELECT 1 FROM \"MMDataPath\" WHERE \"DrivePoolId\" = ? LIMIT 1",
         "Storage-policy copies still write through the drive pool.", nullptr},
        {Step::Run, "DELETE FROM \"MMDrivePath\" WHERE \"DrivePoolId\" = ?", nullptr, nullptr},
        MM_DELETE_ROW("MMDrivePool", "DrivePoolId")}},
      {K::Drive, "drive", "MMDrive", "DriveId", "MMDrive", "DriveId", "AliasName", MM_WIDTH(MMDrive_t, AliasName),
       true, "DriveEnabled", nullptr, false, nullptr,
       {{"DriveNumber", 0}, {"SerialNumber", MM_WIDTH(MMDrive_t, SerialNumber)}},
       {{Step::Run, "DELETE FROM \"MMDrivePath\" WHERE \"DriveId\" = ?", nullptr, nullptr},
        MM_DELETE_ROW("MMDrive", "DriveId")}},
      {K::DrivePath, "drive path", "MMDrivePath", "DrivePathId", "MMDrivePath", "DrivePathId", "PathName",
       kDrivePathNameWidth, true, "IsEnabled", nullptr, false, nullptr, {{"DrivePoolId", 0}},
       {MM_DELETE_ROW("MMDrivePath", "DrivePathId")}},
      {K::MountPath, "mount path", "MMMountPath", "MountPathId", "MMMountPath", "MountPathId", "MountPathName",
       MM_WIDTH(MMMountPath_t, MountPathName), true, "IsEnabled", nullptr, true, "LibraryId",
       {{"UserName", MM_WIDTH(MMMountPath_t, UserName)},
        {"UserPassword", MM_WIDTH(MMMountPath_t, UserPassword)},
        {"MountPathTypeId", 0}},
       {{Step::Rows, nullptr, nullptr, &removeMountPath}}},
      {K::Device, "device", "MMDevice", "DeviceId", "MMDevice", "DeviceId", "AliasName",
       MM_WIDTH(MMDevice_t, AliasName), true, "DeviceEnabled", nullptr, true, nullptr,
       {{"DeviceTypeId", 0}, {"DRUHostId", 0}},
       {{Step::RefuseWhile, "SELECT 1 FROM \"MMMountPathToStorageDevice\" WHERE \"DeviceId\" = ? LIMIT 1",
         "Mount paths still lie on the device.", nullptr},
        {Step::Run, "DELETE FROM \"MMDeviceController\" WHERE \"DeviceId\" = ?", nullptr, nullptr},
        MM_DELETE_ROW("MMDevice", "DeviceId")}},
      {K::DeviceController, "disk volume", "MMDeviceController", "DeviceControllerId", "MMDeviceController",
       "DeviceControllerId", "Folder", MM_WIDTH(MMDeviceController_t, Folder), true, "DeviceControllerEnabled",
       nullptr, false, nullptr,
       {{"UserName", MM_WIDTH(MMDeviceController_t, UserName)},
        {"UserPassword", MM_WIDTH(MMDeviceController_t, UserPassword)},
        {"DeviceAccessType", 0},
        {"CredentialAssocId", 0}},
       {MM_DELETE_ROW("MMDeviceController", "DeviceControllerId")}},
      // A drive pool that copies through a copy manager names it: the
      // removal is refused while one does, naming them, rather than leave
      // the pool copying through nothing or change how it copies unasked.
      {K::CopyManager, "copy manager", "MMCopyManager", "CopyManagerId", "MMCopyManager", "CopyManagerId",
       "CopyManagerName", MMCopyManagerDB::kNameWidth, true, nullptr, "Configured", false, nullptr,
       {{"ConcurrencyLimit", 0}, {"ControllerName", MMCopyManagerDB::kNameWidth}},
       {{Step::RefuseNaming,
         "SELECT \"DrivePoolName\" FROM \"MMDrivePool\" WHERE \"CopyManagerCtrlId\" = ? ORDER BY \"DrivePoolId\"",
         "Drive pools still copy through the copy manager:", nullptr},
        MM_DELETE_ROW("MMCopyManager", "CopyManagerId")}},
  };
  return kinds;
}

}  // namespace

const std::vector<MMStoredKindRow>& storedKinds() {
  static const std::vector<MMStoredKindRow> kinds = makeKinds();
  return kinds;
}

const MMStoredKindRow& storedKind(MMStoredKind kind) {
  return storedKinds()[static_cast<size_t>(kind)];
}

bool storedKindOfNumber(int number, MMStoredKind& kind) {
  if (number < 0 || number >= kStoredKinds) return false;
  kind = static_cast<MMStoredKind>(number);
  return true;
}
