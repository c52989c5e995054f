// The demonstration installation that `tkhost --seed-demo` puts into an
// empty central database, so that a newcomer's console shows real answers.
// Everything goes in through one all-or-nothing change; a database that
// already holds a library or a media agent is left as it is.
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/journal/Journal.h"
#include "platform/mmdb/MMMediaConfigDB.h"

int MMMediaConfigDB::seedDemo(int& made, std::string& report, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::seedDemo";
  made = 0;
  report.clear();
  if (!beginCall(kTag, mmTranText(tran))) return -1;
  int count = 0;
  bool seeded = false;
  int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int {
    count = 0;
    tkdb::DbRow row;
    int code = s.queryOne("SELECT 1 FROM \"MMLibrary\" UNION ALL SELECT 1 FROM \"MMHost\" LIMIT 1", {}, row);
    if (code == DB_OK) return DB_OK;  // not empty: nothing to make
    if (code != DB_NO_ROW) return code;
    // Inserts one row and hands back its id; `objects` counts what the
    // consoles see as objects.
    auto insert = [&](const char* sql, const std::vector<tkdb::DbValue>& values, int& id, int objects) -> int {
      int result = s.exec(sql, values);
      if (result != DB_OK) return result;
      id = static_cast<int>(s.lastInsertId());
      count += objects;
      return DB_OK;
    };
    int ignored = 0;
    int agents[2] = {};
    const char* const kAgentNames[2] = {"ma1", "ma2"};
    for (int i = 0; i < 2; ++i) {
      const std::string name = kAgentNames[i];
      code = insert("INSERT INTO \"APP_Client\" (\"name\", \"net_hostname\", \"displayName\", "
                    "\"simOperatingSystemId\", \"installDirectory\") VALUES (?, ?, ?, ?, '/opt/tarnkeep')",
                    {name, name + ".example.net", name, 2}, agents[i], 0);
      if (code != DB_OK) return code;
      code = insert("INSERT INTO \"MMHost\" (\"ClientId\", \"Attribute\") VALUES (?, 0)", {agents[i]}, ignored, 1);
      if (code != DB_OK) return code;
    }

    int tape = 0;
    code = insert("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", \"LibraryEnabled\", "
                  "\"BarCodeReaderPresent\", \"DriveCount\", \"BaseAddress\", \"LibraryVendor\", \"LibraryModel\") "
                  "VALUES ('TapeLib1', 'TapeLib1', 1, 1, 1, 2, 1, 'DEMO', 'TAPE-2')",
                  {}, tape, 1);
    if (code != DB_OK) return code;
    code = insert("INSERT INTO \"MMLibraryController\" (\"ControllerName\", \"ClientId\", \"LibraryId\", \"IsActive\", "
                  "\"IsEnabled\", \"ControllerType\") VALUES ('/dev/sg1', ?, ?, 1, 1, 1)",
                  {agents[0], tape}, ignored, 1);
    if (code != DB_OK) return code;
    int master = 0;
    code = insert("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\") VALUES (?, 'MasterPool(TapeLib1)')",
                  {tape}, master, 1);
    if (code != DB_OK) return code;
    int pools[2] = {};
    for (int i = 0; i < 2; ++i) {
      code = insert("INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                    "\"MasterPoolId\") VALUES (?, 1, ?, ?)",
                    {std::string("DrivePool(") + kAgentNames[i] + ")", agents[i], master}, pools[i], 1);
      if (code != DB_OK) return code;
    }
    for (int d = 1; d <= 2; ++d) {
      int drive = 0;
      const std::string name = "Drive" + std::to_string(d);
      code = insert("INSERT INTO \"MMDrive\" (\"DriveName\", \"AliasName\", \"DriveEnabled\", \"MasterPoolId\", "
                    "\"DriveNumber\", \"SerialNumber\", \"DriveVendor\", \"DriveModel\") "
                    "VALUES (?, ?, 1, ?, ?, ?, 'DEMO', 'LTO')",
                    {name, name, master, d, "SN000" + std::to_string(d)}, drive, 1);
      if (code != DB_OK) return code;
      for (int i = 0; i < 2; ++i) {
        code = insert("INSERT INTO \"MMDrivePath\" (\"DriveId\", \"DrivePoolId\", \"ClientId\", \"PathName\", "
                      "\"IsEnabled\") VALUES (?, ?, ?, ?, 1)",
                      {drive, pools[i], agents[i], "/dev/nst" + std::to_string(d - 1)}, ignored, 1);
        if (code != DB_OK) return code;
      }
    }

    int disk = 0;
    code = insert("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", \"LibraryEnabled\", "
                  "\"LowWaterMarkMB\") VALUES ('DiskLib1', 'DiskLib1', 3, 1, 1024)",
                  {}, disk, 1);
    if (code != DB_OK) return code;
    int diskMaster = 0;
    code = insert("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MaxDrivesToSwitch\") "
                  "VALUES (?, 'MasterPool(DiskLib1)', -1)",
                  {disk}, diskMaster, 0);
    if (code != DB_OK) return code;
    for (int i = 0; i < 2; ++i) {
      const std::string folder = "/srv/disklib1/mp" + std::to_string(i + 1);
      int device = 0;
      code = insert("INSERT INTO \"MMDevice\" (\"DeviceTypeId\", \"AliasName\", \"DeviceEnabled\") VALUES (1, ?, 1)",
                    {"DiskLib1 device " + std::to_string(i + 1)}, device, 1);
      if (code != DB_OK) return code;
      code = insert("INSERT INTO \"MMDeviceController\" (\"ClientId\", \"DeviceId\", \"DeviceControllerActive\", "
                    "\"DeviceControllerEnabled\", \"DeviceAccessible\", \"Folder\") VALUES (?, ?, 1, 1, 1, ?)",
                    {agents[i], device, folder}, ignored, 1);
      if (code != DB_OK) return code;
      int mountPath = 0;
      code = insert("INSERT INTO \"MMMountPath\" (\"MountPathName\", \"IsEnabled\", \"MaxConcurrentWriters\", "
                    "\"MountPathTypeId\", \"MasterPoolId\", \"LibraryId\") VALUES (?, 1, 10, 1, ?, ?)",
                    {folder, diskMaster, disk}, mountPath, 1);
      if (code != DB_OK) return code;
      code = insert("INSERT INTO \"MMMountPathToStorageDevice\" (\"MountPathId\", \"DeviceId\") VALUES (?, ?)",
                    {mountPath, device}, ignored, 0);
      if (code != DB_OK) return code;
      // The media-management service gives every agent with a path to a
      // disk library's device a drive pool of the library, as it does for
      // a mount path added later: changing the path's properties or its
      // device paths reads it.
      code = insert("INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                    "\"MasterPoolId\", \"MaxDrivesToSwitch\") VALUES (?, 1, ?, ?, -1)",
                    {std::string("DrivePool(") + std::to_string(agents[i]) + ")", agents[i], diskMaster}, ignored, 0);
      if (code != DB_OK) return code;
    }
    // A small vendor catalogue for the configuration dialogs: drives (0),
    // libraries reached directly (1), libraries a library server serves (2).
    struct VendorRow {
      int catalogue;
      const char* vendor;
      const char* product;
      const char* label;
    };
    static constexpr VendorRow kVendors[] = {
        {0, "DEMO", "LTO", "LTO"},
        {0, "Tapewright", "TW-800", "LTO"},
        {0, "Reelmark", "RM-Cartridge 3", "RMC"},
        {1, "DEMO", "TAPE-2", "DEMO TAPE-2"},
        {1, "DEMO", "TAPE-4", "DEMO TAPE-4"},
        {1, "Tapewright", "TW-Changer 24", "Tapewright TW-Changer 24"},
        {2, "DEMO", "TAPE-9", "DEMO TAPE-9 library server"},
        {2, "Reelmark", "RM-Silo", "Reelmark RM-Silo library server"},
    };
    for (const VendorRow& v : kVendors) {
      code = insert("INSERT INTO \"MMVendorCatalogue\" (\"Catalogue\", \"Vendor\", \"Product\", \"Label\") "
                    "VALUES (?, ?, ?, ?)",
                    {v.catalogue, std::string(v.vendor), std::string(v.product), std::string(v.label)}, ignored, 0);
      if (code != DB_OK) return code;
    }
    seeded = true;
    return DB_OK;
  });
  if (rc != 0) return rc;
  if (!seeded) {
    report = "the database already holds a configuration; nothing was seeded";
    return 0;
  }
  made = count;
  report = "seeded " + std::to_string(count) +
           " objects: media agents ma1 and ma2; tape library TapeLib1 with a controller on ma1, master pool "
           "MasterPool(TapeLib1), drive pools DrivePool(ma1) and DrivePool(ma2), drives Drive1 and Drive2 with "
           "a drive path from each agent; disk library DiskLib1 with mount paths /srv/disklib1/mp1 (ma1) and "
           "/srv/disklib1/mp2 (ma2) on two disk devices, each agent with a drive pool of it; a vendor catalogue of "
           "three drives, three libraries and two library-server libraries";
  return 0;
}
