// Loading the media-configuration object model from the central database,
// against a plain SQLite scan of the same rows.
//
//   load/ours  a new configuration instance reads the whole stored
//              configuration from the database (ReadCurrentConfig): 2 media
//              agents, 500 tape libraries with a controller, a master pool
//              and two drive pools each, 10,000 drives and 10,000 drive
//              paths, and the objects' own settings; and is
//              freed again. The table access keeps the rows it read and
//              would otherwise read only what changed since, so each
//              repetition first forgets them (and frees them, as a load
//              that replaces them would): every row comes from the
//              database every time
//   load/raw   the same SELECTs (same tables, columns and order, the
//              settings after every kind) stepped
//              with sqlite3 directly, every column read, nothing built, on a
//              connection opened as the engine opens its own
//
// The database is made once per process in a temporary directory (TK_DB),
// as an installation has it: the first configuration read made the schema
// with the change log's triggers before any row was written, so the log
// marks every row born, and the libraries, drives and paths have the settings
// their configuration stores.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench/Installation.h"
#include "bench/RawSqlite.h"
#include "bench/TapeLibraryRows.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBSession.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/testkit/mmdb.h"

namespace {

constexpr int kLibraries = 500;
constexpr int kDrivesPerLibrary = 20;

// The scans the loader makes, as plain SQL (platform/mmdb/MMMediaConfigDB.cpp),
// one per kind of stored object in the order of the kinds (MMStoredKind).
const char* const kScans[] = {
    "SELECT H.\"ClientId\", C.\"name\", C.\"net_hostname\", C.\"displayName\", C.\"simOperatingSystemId\", "
    "H.\"Attribute\" FROM \"MMHost\" H JOIN \"APP_Client\" C ON C.\"id\" = H.\"ClientId\" ORDER BY H.\"ClientId\"",
    "SELECT \"LibraryId\", \"AliasName\", \"LibraryName\", \"LibraryTypeId\", \"VTLType\", \"LibraryEnabled\", "
    "\"BarCodeReaderPresent\", \"DriveCount\", \"BaseAddress\", \"LibraryAttribute\", \"ExtendedAttributes\", "
    "\"LowWaterMarkMB\", \"LibraryVendor\", \"LibraryModel\", \"FirmwareRevision\", \"SerialNumber\" "
    "FROM \"MMLibrary\" ORDER BY \"LibraryId\"",
    "SELECT \"LibraryControllerId\", \"ControllerName\", \"ClientId\", \"LibraryId\", \"IsActive\", \"IsEnabled\", "
    "\"ControllerType\" FROM \"MMLibraryController\" ORDER BY \"LibraryControllerId\"",
    "SELECT \"MasterPoolId\", \"MasterPoolName\", \"LibraryId\", \"MasterPoolType\" FROM \"MMMasterPool\" "
    "ORDER BY \"MasterPoolId\"",
    "SELECT \"DrivePoolId\", \"DrivePoolName\", \"MasterPoolId\", \"ClientId\", \"DrivePoolType\", "
    "\"DrivePoolEnabled\", \"CopyManagerCtrlId\", \"CostCategoryId\", \"Descript\" FROM \"MMDrivePool\" "
    "ORDER BY \"DrivePoolId\"",
    "SELECT \"DriveId\", \"AliasName\", \"DriveName\", \"SerialNumber\", \"MasterPoolId\", \"DriveNumber\", "
    "\"DriveEnabled\", \"DriveVendor\", \"DriveModel\", \"FirmwareRevision\" FROM \"MMDrive\" "
    "ORDER BY \"DriveId\"",
    "SELECT \"DrivePathId\", \"DriveId\", \"DrivePoolId\", \"ClientId\", \"PathName\", \"IsEnabled\" "
    "FROM \"MMDrivePath\" ORDER BY \"DrivePathId\"",
    "SELECT M.\"MountPathId\", M.\"MountPathName\", M.\"UserName\", M.\"LibraryId\", M.\"MountPathTypeId\", "
    "M.\"IsEnabled\", (SELECT MIN(D.\"DeviceId\") FROM \"MMMountPathToStorageDevice\" D WHERE D.\"MountPathId\" = "
    "M.\"MountPathId\") FROM \"MMMountPath\" M ORDER BY M.\"MountPathId\"",
    "SELECT \"DeviceId\", \"AliasName\", \"DeviceTypeId\", \"DRUHostId\" FROM \"MMDevice\" ORDER BY \"DeviceId\"",
    "SELECT \"DeviceControllerId\", \"ClientId\", \"DeviceId\", \"Folder\", \"UserName\", \"DeviceControllerEnabled\", "
    "\"DeviceAccessType\", \"CredentialAssocId\", \"SNRVolumeId\" FROM \"MMDeviceController\" "
    "ORDER BY \"DeviceControllerId\"",
};

// The settings, read after every kind.
constexpr const char kSettings[] =
    "SELECT \"Kind\", \"ObjectId\", \"Name\", \"Value\" FROM \"MMObjectSetting\" "
    "ORDER BY \"Kind\", \"ObjectId\", \"Name\"";

// The stored configuration of the benchmark, made once.
const std::string& database() {
  static const std::string path = [] {
    char dir[] = "/tmp/tkbench.XXXXXX";
    if (mkdtemp(dir) == nullptr) std::abort();
    std::string file = std::string(dir) + "/tarnkeep.db";
    setenv("TK_DB", file.c_str(), 1);
    static std::string directory = dir;
    std::atexit([] {
      for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((directory + "/tarnkeep.db" + suffix).c_str());
      ::rmdir(directory.c_str());
    });
    std::string error;
    if (!tkbench::readConfigurationFirst(error)) {
      std::fprintf(stderr, "could not make the benchmark database: %s\n", error.c_str());
      std::abort();
    }
    tkdb::Session s;
    const char* const steps[] = {
        "INSERT INTO \"APP_Client\" (\"id\", \"name\", \"net_hostname\") VALUES (1, 'ma1', 'ma1.example.net'), "
        "(2, 'ma2', 'ma2.example.net')",
        "INSERT INTO \"MMHost\" (\"ClientId\") VALUES (1), (2)",
    };
    int rc = 0;
    for (const char* step : steps) rc |= s.exec(step);
    tkbench::TapeLibraryShape shape;
    shape.libraries = kLibraries;
    shape.drivesPerLibrary = kDrivesPerLibrary;
    for (const auto& part : {tkbench::tapeLibraryRows(shape), tkbench::tapeLibrarySettings(shape)})
      for (const tkbench::BulkInsert& step : part) rc |= s.exec(step.sql, {step.count});
    // The log marks every object born, or the load would be timed on a database
    // no installation has.
    tkdb::DbRow unborn;
    if (rc == 0)
      rc = s.queryOne(tkbench::unbornRowsQuery(), {}, unborn);
    if (rc != 0 || unborn.empty() || unborn[0].i != 0) {
      std::fprintf(stderr, "could not make the benchmark database: %s\n",
                   rc != 0 ? s.errorText().c_str() : "rows not logged as born");
      std::abort();
    }
    testkit::mmdb::forgetConfigurationReads();
    return file;
  }();
  return path;
}

void loadOurs(benchmark::State& state) {
  database();
  size_t objects = 0;
  for (auto _ : state) {
    testkit::mmdb::forgetConfigurationReads();
    auto config = std::make_unique<ZQMACMediaConfig>();
    config->Initialize("bench");
    if (!config->ReadCurrentConfig(false)) {
      state.SkipWithError(config->GetLastError().c_str());
      break;
    }
    objects = config->GetObjectCount();
    config.reset();  // freeing the model is part of what a load costs:
    tkmac::dropParkedGraph();  // a freed instance leaves its graph for the next one
  }
  state.counters["objects"] = static_cast<double>(objects);
}

void loadRaw(benchmark::State& state) {
  sqlite3* db = tkbench::openAsEngine(database());
  if (db == nullptr) {
    state.SkipWithError("cannot open the database");
    return;
  }
  sqlite3_stmt* settings = nullptr;
  if (sqlite3_prepare_v2(db, kSettings, -1, &settings, nullptr) != SQLITE_OK) {
    state.SkipWithError(sqlite3_errmsg(db));
    sqlite3_close(db);
    return;
  }
  size_t rows = 0;
  long long sum = 0;
  // Steps `stmt` to its end, reading every column of every row; the rows.
  auto stepAll = [&sum](sqlite3_stmt* stmt) {
    size_t n = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      ++n;
      for (int c = 0; c < columns; ++c) {
        if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
          sum += sqlite3_column_bytes(stmt, c) + *sqlite3_column_text(stmt, c);
        else
          sum += sqlite3_column_int64(stmt, c);
      }
    }
    sqlite3_reset(stmt);
    return n;
  };
  for (auto _ : state) {
    rows = 0;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const char* sql : kScans) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        state.SkipWithError(sqlite3_errmsg(db));
        break;
      }
      rows += stepAll(stmt);
      sqlite3_finalize(stmt);
    }
    rows += stepAll(settings);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(sum);
  }
  sqlite3_finalize(settings);
  state.counters["rows"] = static_cast<double>(rows);
  sqlite3_close(db);
}

}  // namespace

BENCHMARK(loadOurs)->Name("load/ours")->Unit(benchmark::kMillisecond);
BENCHMARK(loadRaw)->Name("load/raw")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
