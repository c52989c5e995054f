// The rows of many tape libraries, made in bulk by SQL (a recursive count
// per table instead of a statement per row), for the benchmarks that need a
// large stored configuration:
//
//   for (const tkbench::BulkInsert& step : tkbench::tapeLibraryRows(shape))
//     rc |= exec(step.sql, step.count);   // the count binds to ?1
//
// Each library has a controller on agent A, a master pool, two drive pools
// (odd ids on agent B, even ids on agent A) and `drivesPerLibrary` drives,
// each with one drive path from agent A. Row ids (and the numbers in names)
// are firstId, firstId + 1, ... in every table, so that the rows fit beside
// what a database already holds.
//
// tapeLibrarySettings gives the same objects the model's own settings
// (MMObjectSetting) that the console's configuration of them stores: a
// library's six from its set request, a drive's drive id and a drive path's
// access path. Like an installation's rows, both are written after the
// schema step made the change log's triggers (bench/Installation.h), so
// that every row has its birth.
#pragma once

#include <string>
#include <vector>

#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkbench {

struct TapeLibraryShape {
  int libraries = 0;
  int drivesPerLibrary = 20;
  long long firstId = 1;
  long long agentA = 1;
  long long agentB = 2;
};

struct BulkInsert {
  std::string sql;   // its parameter ?1 is `count`
  long long count;
};

inline std::vector<BulkInsert> tapeLibraryRows(const TapeLibraryShape& shape) {
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) ";
  const std::string o = std::to_string(shape.firstId - 1);   // added to every id
  const std::string per = std::to_string(shape.drivesPerLibrary);
  const std::string a = std::to_string(shape.agentA);
  const std::string b = std::to_string(shape.agentB);
  const long long drives = static_cast<long long>(shape.libraries) * shape.drivesPerLibrary;
  return {
      {n + "INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
           "\"LibraryEnabled\", \"DriveCount\") SELECT " + o + " + i, 'lib' || (" + o + " + i), 'Library ' || (" +
           o + " + i), 1, 1, " + per + " FROM n",
       shape.libraries},
      {n + "INSERT INTO \"MMLibraryController\" (\"LibraryControllerId\", \"ControllerName\", \"ClientId\", "
           "\"LibraryId\", \"IsActive\", \"IsEnabled\") SELECT " + o + " + i, '/dev/sg' || (" + o + " + i), " + a +
           ", " + o + " + i, 1, 1 FROM n",
       shape.libraries},
      {n + "INSERT INTO \"MMMasterPool\" (\"MasterPoolId\", \"LibraryId\", \"MasterPoolName\") SELECT " + o +
           " + i, " + o + " + i, 'MasterPool(Library ' || (" + o + " + i) || ')' FROM n",
       shape.libraries},
      {n + "INSERT INTO \"MMDrivePool\" (\"DrivePoolId\", \"DrivePoolName\", \"ClientId\", \"MasterPoolId\", "
           "\"DrivePoolEnabled\") SELECT " + o + " + i, 'DrivePool ' || (" + o + " + i), CASE i % 2 WHEN 1 THEN " +
           b + " ELSE " + a + " END, " + o + " + (i + 1) / 2, 1 FROM n",
       2LL * shape.libraries},
      {n + "INSERT INTO \"MMDrive\" (\"DriveId\", \"DriveName\", \"AliasName\", \"MasterPoolId\", \"DriveNumber\", "
           "\"SerialNumber\", \"DriveEnabled\") SELECT " + o + " + i, 'drive' || (" + o + " + i), 'Drive ' || (" + o +
           " + i), " + o + " + (i - 1) / " + per + " + 1, (i - 1) % " + per + " + 1, 'SN' || (" + o + " + i), 1 FROM n",
       drives},
      {n + "INSERT INTO \"MMDrivePath\" (\"DrivePathId\", \"DriveId\", \"DrivePoolId\", \"ClientId\", \"PathName\", "
           "\"IsEnabled\") SELECT " + o + " + i, " + o + " + i, " + o + " + ((i - 1) / " + per + ") * 2 + 1, " + a +
           ", '/dev/nst' || (" + o + " + i), 1 FROM n",
       drives},
  };
}

inline std::vector<BulkInsert> tapeLibrarySettings(const TapeLibraryShape& shape) {
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?1) ";
  const std::string o = std::to_string(shape.firstId - 1);
  const long long drives = static_cast<long long>(shape.libraries) * shape.drivesPerLibrary;
  auto kind = [](MMStoredKind k) { return std::to_string(static_cast<int>(k)); };
  // One setting of every object of a kind: `value` an SQL expression of i.
  auto each = [&](MMStoredKind k, const char* name, const std::string& value, long long count) {
    return BulkInsert{n + "INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") SELECT " +
                          kind(k) + ", " + o + " + i, '" + name + "', " + value + " FROM n",
                      count};
  };
  namespace s = tkmac::setting;
  return {
      each(MMStoredKind::Library, s::kDoorLock, "'0'", shape.libraries),
      each(MMStoredKind::Library, s::kVolumeRange, "'A' || (" + o + " + i) || '00-A' || (" + o + " + i) || '99'",
           shape.libraries),
      each(MMStoredKind::Library, s::kAutoConfigDDS, "'0'", shape.libraries),
      each(MMStoredKind::Library, s::kAutoConfigFailover, "'1'", shape.libraries),
      each(MMStoredKind::Library, s::kUseACSLSCleanPool, "'0'", shape.libraries),
      each(MMStoredKind::Library, s::kUseIPDriveID, "'0'", shape.libraries),
      each(MMStoredKind::Drive, s::kDriveIdString, "'SN' || (" + o + " + i)", drives),
      each(MMStoredKind::DrivePath, s::kAccessPath, "'/dev/nst' || (" + o + " + i)", drives),
  };
}

}  // namespace tkbench
