// The registry of stored kinds (MMStoredKinds.h).
#include "platform/mmdb/MMStoredKinds.h"

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "frame/mac/ZQMACBase.h"
#include "platform/db/TextWidth.h"
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

// Each row names the model's object types of its kind (MMKindObject): the
// kind of an object (the writers' tkmac::storedKindOf), which objects the
// lay-over of every row makes (ZQMACGraph::IsLaidType) and relinks whole
// (the loader's drop of what it no longer reaches), and which a row born
// again frees (ZQMACGraph::FreeReborn) all go by them.
std::vector<MMStoredKindRow> makeKinds() {
  using K = MMStoredKind;
  std::vector<MMStoredKindRow> kinds = {
      {.kind = K::MediaAgent,
       .objects = {{.type = ZQMAC_OBJ_MEDIA_AGENT}},
       .what = "media agent",
       .table = "MMHost",
       .key = "ClientId",
       .nameTable = "APP_Client",
       .nameKey = "id",
       .nameColumn = "name",
       .nameWidth = MM_WIDTH(APP_Client_t, name),
       .born = true,
       .unique = true,
       .settable = {{"Attribute", 0}},
       .removal = {{Step::RefuseWhile,
                    "SELECT 1 FROM \"MMLibraryController\" WHERE \"ClientId\" = ?1 UNION ALL SELECT 1 FROM "
                    "\"MMDrivePool\" WHERE \"ClientId\" = ?1 UNION ALL SELECT 1 FROM \"MMDrivePath\" WHERE "
                    "\"ClientId\" = ?1 UNION ALL SELECT 1 FROM \"MMDeviceController\" WHERE \"ClientId\" = ?1 UNION "
                    "ALL SELECT 1 FROM \"MMCopyManager\" WHERE \"ClientId\" = ?1 LIMIT 1",
                    "The media agent still reaches libraries, drives, devices or copy managers.", nullptr},
                   MM_DELETE_ROW("MMHost", "ClientId")}},
      // A tape or optical library is an object with two parts, its library
      // and its controller group: they go with it. The group stores
      // nothing.
      {.kind = K::Library,
       .objects = {{.type = ZQMAC_OBJ_LMS},
                   {.type = ZQMAC_OBJ_MAGLIB},
                   {.type = ZQMAC_OBJ_LIBRARY, .ownRow = false, .linksRebuilt = false},
                   {.type = ZQMAC_OBJ_LIBRARY_CHILD, .stored = false, .ownRow = false, .linksRebuilt = false}},
       .what = "library",
       .table = "MMLibrary",
       .key = "LibraryId",
       .nameTable = "MMLibrary",
       .nameKey = "LibraryId",
       .nameColumn = "AliasName",
       .nameWidth = MMLibrary_t::kAliasNameMax,
       .born = true,
       .enabledColumn = "LibraryEnabled",
       .unique = true,
       .settable = {{"BarCodeReaderPresent", 0},
                    {"LowWaterMarkMB", 0},
                    {"LibraryAttribute", 0},
                    {"ExtendedAttributes", 0},
                    {"VTLType", 0},
                    {"LibraryTypeId", 0},
                    {"LibraryVendor", MM_WIDTH(MMLibrary_t, LibraryVendor)},
                    {"LibraryModel", MM_WIDTH(MMLibrary_t, LibraryModel)},
                    {"DriveCount", 0},
                    {"BaseAddress", 0}},
       .removal = {{Step::Run,
                    "DELETE FROM \"MMDrivePath\" WHERE \"DriveId\" IN (SELECT \"DriveId\" FROM \"MMDrive\" WHERE "
                    "\"MasterPoolId\" IN (SELECT \"MasterPoolId\" FROM \"MMMasterPool\" WHERE \"LibraryId\" = ?))",
                    nullptr, nullptr},
                   {Step::Rows, nullptr, nullptr, &removeLibrary}}},
      // An IP library controller is a controller row like any (a setting
      // of the model's own makes it one); the links it holds to what its
      // library server serves are no row's.
      {.kind = K::LibraryController,
       .objects = {{.type = ZQMAC_OBJ_LIB_CONTROLLER}, {.type = ZQMAC_OBJ_IP_LIB_CONTROLLER, .linksRebuilt = false}},
       .what = "library controller",
       .table = "MMLibraryController",
       .key = "LibraryControllerId",
       .nameTable = "MMLibraryController",
       .nameKey = "LibraryControllerId",
       .nameColumn = "ControllerName",
       .nameWidth = MM_WIDTH(MMLibraryController_t, ControllerName),
       .born = true,
       .enabledColumn = "IsEnabled",
       .settable = {{"ControllerType", 0}},
       .removal = {MM_DELETE_ROW("MMLibraryController", "LibraryControllerId")}},
      {.kind = K::MasterPool,
       .objects = {{.type = ZQMAC_OBJ_MASTER_DRIVE_POOL}},
       .what = "master pool",
       .table = "MMMasterPool",
       .key = "MasterPoolId",
       .nameTable = "MMMasterPool",
       .nameKey = "MasterPoolId",
       .nameColumn = "MasterPoolName",
       .nameWidth = MM_WIDTH(MMMasterPool_t, MasterPoolName),
       .born = true,
       .unique = true,
       .uniqueScope = "LibraryId",
       .settable = {{"MasterPoolType", 0}},
       .removal = {{Step::RefuseWhile, "SELECT 1 FROM \"MMDrive\" WHERE \"MasterPoolId\" = ? LIMIT 1",
                    "The master pool still holds drives.", nullptr},
                   {Step::RefuseWhile, "SELECT 1 FROM \"MMMountPath\" WHERE \"MasterPoolId\" = ? LIMIT 1",
                    "The master pool still holds mount paths.", nullptr},
                   {Step::RefuseWhile,
                    "SELECT 1 FROM \"MMDataPath\" WHERE \"DrivePoolId\" IN (SELECT \"DrivePoolId\" FROM "
                    "\"MMDrivePool\" WHERE \"MasterPoolId\" = ?) LIMIT 1",
                    "Storage-policy copies still write through a drive pool of the master pool.", nullptr},
                   {Step::Run,
                    "DELETE FROM \"MMDrivePath\" WHERE \"DrivePoolId\" IN (SELECT \"DrivePoolId\" FROM "
                    "\"MMDrivePool\" WHERE \"MasterPoolId\" = ?)",
                    nullptr, nullptr},
                   {Step::Run, "DELETE FROM \"MMDrivePool\" WHERE \"MasterPoolId\" = ?", nullptr, nullptr},
                   MM_DELETE_ROW("MMMasterPool", "MasterPoolId")}},
      {.kind = K::DrivePool,
       .objects = {{.type = ZQMAC_OBJ_DRIVE_POOL}},
       .what = "drive pool",
       .table = "MMDrivePool",
       .key = "DrivePoolId",
       .nameTable = "MMDrivePool",
       .nameKey = "DrivePoolId",
       .nameColumn = "DrivePoolName",
       .nameWidth = MM_WIDTH(MMDrivePool_t, DrivePoolName),
       .born = true,
       .enabledColumn = "DrivePoolEnabled",
       .settable = {{"DrivePoolType", 0},
                    {"CopyManagerCtrlId", 0},
                    {"CostCategoryId", 0},
                    {"Descript", MM_WIDTH(MMDrivePool_t, DrivePoolName)}},
       .removal = {{Step::RefuseWhile, "SELECT 1 FROM \"MMDataPath\" WHERE \"DrivePoolId\" = ? LIMIT 1",
                    "Storage-policy copies still write through the drive pool.", nullptr},
                   {Step::Run, "DELETE FROM \"MMDrivePath\" WHERE \"DrivePoolId\" = ?", nullptr, nullptr},
                   MM_DELETE_ROW("MMDrivePool", "DrivePoolId")}},
      {.kind = K::Drive,
       .objects = {{.type = ZQMAC_OBJ_DRIVE}},
       .what = "drive",
       .table = "MMDrive",
       .key = "DriveId",
       .nameTable = "MMDrive",
       .nameKey = "DriveId",
       .nameColumn = "AliasName",
       .nameWidth = MM_WIDTH(MMDrive_t, AliasName),
       .born = true,
       .enabledColumn = "DriveEnabled",
       .settable = {{"DriveNumber", 0}, {"SerialNumber", MM_WIDTH(MMDrive_t, SerialNumber)}},
       .removal = {{Step::Run, "DELETE FROM \"MMDrivePath\" WHERE \"DriveId\" = ?", nullptr, nullptr},
                   MM_DELETE_ROW("MMDrive", "DriveId")}},
      {.kind = K::DrivePath,
       .objects = {{.type = ZQMAC_OBJ_DMS}},
       .what = "drive path",
       .table = "MMDrivePath",
       .key = "DrivePathId",
       .nameTable = "MMDrivePath",
       .nameKey = "DrivePathId",
       .nameColumn = "PathName",
       .nameWidth = kDrivePathNameWidth,
       .born = true,
       .enabledColumn = "IsEnabled",
       .settable = {{"DrivePoolId", 0}},
       .removal = {MM_DELETE_ROW("MMDrivePath", "DrivePathId")}},
      {.kind = K::MountPath,
       .objects = {{.type = ZQMAC_OBJ_MOUNT_PATH}},
       .what = "mount path",
       .table = "MMMountPath",
       .key = "MountPathId",
       .nameTable = "MMMountPath",
       .nameKey = "MountPathId",
       .nameColumn = "MountPathName",
       .nameWidth = MM_WIDTH(MMMountPath_t, MountPathName),
       .born = true,
       .enabledColumn = "IsEnabled",
       .unique = true,
       .uniqueScope = "LibraryId",
       .settable = {{"UserName", MM_WIDTH(MMMountPath_t, UserName)},
                    {"UserPassword", MM_WIDTH(MMMountPath_t, UserPassword)},
                    {"MountPathTypeId", 0}},
       .removal = {{Step::Rows, nullptr, nullptr, &removeMountPath}}},
      {.kind = K::Device,
       .objects = {{.type = ZQMAC_OBJ_DISK_DEVICE}},
       .what = "device",
       .table = "MMDevice",
       .key = "DeviceId",
       .nameTable = "MMDevice",
       .nameKey = "DeviceId",
       .nameColumn = "AliasName",
       .nameWidth = MM_WIDTH(MMDevice_t, AliasName),
       .born = true,
       .enabledColumn = "DeviceEnabled",
       .unique = true,
       .settable = {{"DeviceTypeId", 0}, {"DRUHostId", 0}},
       .removal = {{Step::RefuseWhile, "SELECT 1 FROM \"MMMountPathToStorageDevice\" WHERE \"DeviceId\" = ? LIMIT 1",
                    "Mount paths still lie on the device.", nullptr},
                   {Step::Run, "DELETE FROM \"MMDeviceController\" WHERE \"DeviceId\" = ?", nullptr, nullptr},
                   MM_DELETE_ROW("MMDevice", "DeviceId")}},
      {.kind = K::DeviceController,
       .objects = {{.type = ZQMAC_OBJ_DISK_VOLUME}},
       .what = "disk volume",
       .table = "MMDeviceController",
       .key = "DeviceControllerId",
       .nameTable = "MMDeviceController",
       .nameKey = "DeviceControllerId",
       .nameColumn = "Folder",
       .nameWidth = MM_WIDTH(MMDeviceController_t, Folder),
       .born = true,
       .enabledColumn = "DeviceControllerEnabled",
       .settable = {{"UserName", MM_WIDTH(MMDeviceController_t, UserName)},
                    {"UserPassword", MM_WIDTH(MMDeviceController_t, UserPassword)},
                    {"DeviceAccessType", 0},
                    {"CredentialAssocId", 0}},
       .removal = {MM_DELETE_ROW("MMDeviceController", "DeviceControllerId")}},
      // A copy manager's one row holds the device and its controller: the
      // controller is a part of the device, made, laid and freed with it.
      //
      // A drive pool that copies through a copy manager names it: the
      // removal is refused while one does, naming them, rather than leave
      // the pool copying through nothing or change how it copies unasked.
      {.kind = K::CopyManager,
       .objects = {{.type = ZQMAC_OBJ_COPY_MGR_DEVICE}, {.type = ZQMAC_OBJ_COPY_MGR_CONTROLLER, .ownRow = false}},
       .what = "copy manager",
       .table = "MMCopyManager",
       .key = "CopyManagerId",
       .nameTable = "MMCopyManager",
       .nameKey = "CopyManagerId",
       .nameColumn = "CopyManagerName",
       .nameWidth = MMCopyManagerDB::kNameWidth,
       .born = true,
       .stateSetting = "Configured",
       .settable = {{"ConcurrencyLimit", 0}, {"ControllerName", MMCopyManagerDB::kNameWidth}},
       .removal = {{Step::RefuseNaming,
                    "SELECT \"DrivePoolName\" FROM \"MMDrivePool\" WHERE \"CopyManagerCtrlId\" = ? ORDER BY "
                    "\"DrivePoolId\"",
                    "Drive pools still copy through the copy manager:", nullptr},
                   MM_DELETE_ROW("MMCopyManager", "CopyManagerId")}},
  };
  return kinds;
}

// The kind of each object type (types are small numbers), from the rows.
struct TypeIndex {
  static constexpr unsigned int kTypes = 64;
  const MMKindObject* object[kTypes] = {};
  MMStoredKind kind[kTypes] = {};
};

const TypeIndex& typeIndex() {
  static const TypeIndex index = [] {
    TypeIndex built;
    for (const MMStoredKindRow& row : storedKinds())
      for (const MMKindObject& object : row.objects)
        if (object.type < TypeIndex::kTypes && built.object[object.type] == nullptr) {
          built.object[object.type] = &object;
          built.kind[object.type] = row.kind;
        }
    return built;
  }();
  return index;
}

}  // namespace

const std::vector<MMStoredKindRow>& storedKinds() {
  static const std::vector<MMStoredKindRow> kinds = makeKinds();
  return kinds;
}

namespace {

// The names and texts of each kind, as wide as the registry lets a change
// make them.
[[maybe_unused]] const bool kWidthsDeclared = [] {
  for (const MMStoredKindRow& row : storedKinds()) {
    if (row.nameTable != nullptr && row.nameColumn != nullptr)
      tkdb::declareTextWidth(row.nameTable, row.nameColumn, row.nameWidth);
    for (const MMSettableColumn& column : row.settable)
      if (column.textWidth != 0) tkdb::declareTextWidth(row.table, column.column, column.textWidth);
  }
  return true;
}();

}  // namespace

const MMKindObject* storedKindOfType(unsigned int type, MMStoredKind& kind) {
  const TypeIndex& index = typeIndex();
  if (type >= TypeIndex::kTypes || index.object[type] == nullptr) return nullptr;
  kind = index.kind[type];
  return index.object[type];
}

const MMStoredKindRow& storedKind(MMStoredKind kind) {
  return storedKinds()[static_cast<size_t>(kind)];
}

bool storedKindOfNumber(int number, MMStoredKind& kind) {
  if (number < 0 || number >= kStoredKinds) return false;
  kind = static_cast<MMStoredKind>(number);
  return true;
}
