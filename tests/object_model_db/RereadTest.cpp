// Re-reading the configuration after a change reads only the rows of what
// changed, and scans no table of a kind where nothing changed, and leaves
// the graph as a load of every row makes it: after each kind of change
// (through the model, the table access, another connection, another
// process, another thread, plain SQL), under the fault sweep (a re-read and
// a console's lock), inside a transaction, and when the change log cannot
// be trusted (pruned, a trigger dropped, the schema changed by hand).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/testkit/db.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ModelDump.h"
#include "tests/support/SeededSession.h"

namespace modeldb {
namespace {

// The configuration tables that the loads scanned, in order, among the
// statements run since the first `from` the database journal holds:
// "MMDrive" for the rows the change log names, "MMDrive whole" for every
// row. (The first configuration table a scan reads from names its kind:
// a column may be looked up in another table before it. A scan selects its
// columns by name.)
std::vector<std::string> configurationScans(size_t from = 0) {
  static const std::vector<std::string> kTables = {"MMHost",      "MMLibrary",   "MMLibraryController",
                                                   "MMMasterPool", "MMDrivePool", "MMDrive",
                                                   "MMDrivePath", "MMMountPath", "MMDevice",
                                                   "MMDeviceController"};
  std::vector<std::string> scans;
  const std::vector<std::string> statements = testkit::db::statements();
  for (size_t i = from; i < statements.size(); ++i) {
    const std::string& sql = statements[i];
    if (sql.rfind("SELECT ", 0) != 0 || sql.rfind("SELECT *", 0) == 0 || sql == tkmmdb::changeLogHeaderQuery())
      continue;
    std::string table;
    for (size_t at = sql.find(" FROM \""); at != std::string::npos && table.empty();
         at = sql.find(" FROM \"", at + 1)) {
      const size_t start = at + 7;
      const std::string named = sql.substr(start, sql.find('"', start) - start);
      if (std::find(kTables.begin(), kTables.end(), named) != kTables.end()) table = named;
    }
    if (table.empty()) continue;
    scans.push_back(sql.find("MMConfigChange") == std::string::npos ? table + " whole" : table);
  }
  return scans;
}

class Reread : public ModelDatabase {
 protected:
  void SetUp() override {
    ModelDatabase::SetUp();
    testkit::mmdb::reset();
    kept = load();
  }

  // How the last load read ("part" or "whole") and how many rows it read;
  // the journal is cleared.
  static std::pair<std::string, long> lastRead() {
    const auto reads = testkit::mmdb::calls("MMMediaConfigDB::loadCurrent.read");
    testkit::mmdb::reset();
    if (reads.empty()) return {"none", 0};
    return {reads.back().args.at(0), std::stol(reads.back().args.at(1))};
  }

  // The graph of a new instance that reads every row.
  static std::string fullReload() {
    // Neither rows the process keeps nor a graph a freed instance left: a
    // load of every row into objects made anew.
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    return tktest::ModelDump::of(*load());
  }

  // Re-reads the kept instance and checks it, and a new instance made from
  // what the process keeps, against a load of every row. `how` is how the
  // re-read must have read.
  // The scans the re-read made are kept in `scanned`.
  void expectEqualToFullReload(const std::string& how, long mostRows = 1 << 30) {
    testkit::mmdb::reset();
    testkit::db::journal().reset();
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    scanned = configurationScans();
    const auto [read, rows] = lastRead();
    EXPECT_EQ(read, how);
    EXPECT_LE(rows, mostRows);
    const std::string fresh = tktest::ModelDump::of(*load());
    const std::string second = lastRead().first;
    if (how == "part") {
      EXPECT_EQ(second, "part") << "a second load with nothing changed reads nothing whole";
    }
    const std::string full = fullReload();
    EXPECT_EQ(tktest::ModelDump::of(*kept), full);
    EXPECT_EQ(fresh, full);
  }


  // Plain SQL in a process of its own, as an administrator's sqlite3 run
  // beside the server.
  void sqlOfAnotherProcess(const std::string& sql) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      execlp("sqlite3", "sqlite3", db.path().c_str(), sql.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "sqlite3 ended with " << status;
  }

  std::unique_ptr<ZQMACMediaConfig> kept;
  std::vector<std::string> scanned;
};

using Scans = std::vector<std::string>;

// ---------------------------------------------------------------- kinds of change

TEST_F(Reread, NothingChangedReadsNoRow) {
  expectEqualToFullReload("part", 0);
}

TEST_F(Reread, LibrariesMadeAndRemovedThroughTheTableAccess) {
  MMMediaConfigDB access;
  MMStoredLibrary library;
  library.name = "DiskLib2";
  library.aliasName = "DiskLib2";
  library.libraryTypeId = 3;
  ASSERT_EQ(access.insertDiskLibrary(library), 0) << access.lastErrorText();
  expectEqualToFullReload("part", 1);
  MMStoredLibrary tape;
  MMStoredLibraryController controller;
  tape.name = "TapeLib2";
  controller.name = "/dev/sg9";
  controller.clientId = 2;
  ASSERT_EQ(access.insertLibraryController("", tape, controller), 0) << access.lastErrorText();
  expectEqualToFullReload("part", 2);
  ASSERT_EQ(access.removeObject(MMStoredKind::Library, library.libraryId), 0) << access.lastErrorText();
  ASSERT_EQ(access.removeObject(MMStoredKind::Library, 1), 0) << access.lastErrorText();
  expectEqualToFullReload("part");
}

TEST_F(Reread, MountPathsAddedAndDeletedThroughTheModel) {
  ZQMACMagLib* library = diskLibrary(*kept);
  ASSERT_NE(library, nullptr);
  MountPathInfo info{};
  info.libraryId = static_cast<int>(library->GetId());
  info.path = "/mnt/added";
  info.deviceId = 2;
  ZQMACMountPath* added = library->AddMountPath(info);
  ASSERT_NE(added, nullptr) << library->GetLastError();
  const unsigned long long handle = added->GetHandle();
  // The mount path, its link to the device, and nothing of the rest.
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(kept->FindObject(handle), added) << "a stored object keeps its handle";
  ASSERT_TRUE(kept->DeleteObject(added)) << kept->GetLastError();
  expectEqualToFullReload("part", 0);
  EXPECT_EQ(kept->FindObject(handle), nullptr);
}

// Libraries made through the model in a kept instance: a re-read lays each
// one's row over the object the request made (one object a row, its handle
// kept), and one that another connection removes goes from every list the
// instance keeps, the IP controllers' among them.
TEST_F(Reread, LibrariesMadeThroughTheModelAreOneObjectEachAndGoFromEveryList) {
  // The name is free (the request's check, which indexes the libraries).
  ASSERT_EQ(tkmac::findMagLibAnswering(*kept, "MlNew9"), nullptr);
  auto library = std::make_unique<ZQMACMagLib>();
  library->SetMediaConfig(kept.get());
  library->SetMediaAgent(kept->FindDBNode<ZQMACMediaAgent>(2));
  library->SetAliasName("MlNew9");
  ASSERT_TRUE(library->Configure(false)) << library->GetLastError();
  ZQMACMagLib* made = library.release();  // the instance owns it
  const unsigned long long handle = made->GetHandle();
  expectEqualToFullReload("part");
  EXPECT_EQ(kept->FindObject(handle), made);
  auto controller = std::make_unique<ZQMACIPLibController>();
  controller->SetServerHostName("ls1.example.net");
  controller->SetAccessPath("LS1");
  ZQMACMediaAgent* agent = kept->FindDBNode<ZQMACMediaAgent>(2);
  ASSERT_TRUE(agent->AddLibController(controller.get())) << agent->GetLastError();
  ZQMACIPLibController* added = controller.release();
  ASSERT_NE(added->GetLms(), nullptr);
  const std::string id = std::to_string(added->GetLms()->GetId());
  expectEqualToFullReload("part");
  ASSERT_EQ(elements(kept->GetIPLibControllerList()).size(), 1u);
  db.execElsewhere("DELETE FROM MMLibraryController WHERE LibraryId = " + id + "; DELETE FROM MMLibrary WHERE "
                   "LibraryId = " + id);
  expectEqualToFullReload("part");
  EXPECT_TRUE(elements(kept->GetIPLibControllerList()).empty());
}

// What the check of the instance's lists says (Debug builds end the
// process with it after every load and every drop): the list and the
// objects, or nothing for a graph as a load leaves it.
TEST_F(Reread, TheListCheckNamesTheListAndTheObject) {
  ZQMACIPLibController foreign;
  const struct {
    const char* what;
    std::function<std::string(ZQMACMediaConfig&)> fault;
    const char* says;  // empty: no fault
  } rows[] = {
      {"a loaded graph", [](ZQMACMediaConfig& c) { return ZQMACGraph::LaidFault(c, "a load"); }, ""},
      {"a list holding an object of no instance", [&](ZQMACMediaConfig& c) {
         ZQMACGraph::EnterIPLibController(c, &foreign);
         return ZQMACGraph::LaidFault(c, "a load");
       }, "after a load the instance's list of IP library controllers holds 0x"},
      {"two disk libraries of one row", [](ZQMACMediaConfig& c) {
         ZQMACGraph::AddMagLib(c, nullptr, 2, "Twin");
         return ZQMACGraph::LaidFault(c, "a load");
       }, "list of disk libraries holds disk library 2 \"DiskLib1\" ("},
      {"a library that goes, still listed", [](ZQMACMediaConfig& c) {
         return ZQMACGraph::HeldFault(c, {elements(c.GetMagLibList()).front()}, "a test");
       }, "the instance's list of disk libraries holds disk library 2 \"DiskLib1\" ("},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto config = load();
    const std::string fault = row.fault(*config);
    if (*row.says == '\0') {
      EXPECT_EQ(fault, "");
    } else {
      EXPECT_NE(fault.find(row.says), std::string::npos) << fault;
    }
    config->NoteChange();  // not handed over
  }
}

TEST_F(Reread, DrivesPoolsAndPathsChangedThroughTheModel) {
  ZQMACDrive* second = drive(*kept, 2);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(second->SetName("Renamed")) << second->GetLastError();
  expectEqualToFullReload("part", 1);
  ASSERT_TRUE(kept->DeleteObject(drive(*kept, 2))) << kept->GetLastError();
  expectEqualToFullReload("part", 0);
  MMMediaConfigDB access;
  int pool = 0;
  ASSERT_EQ(access.insertDrivePool(1, 1, "DrivePool(extra)", 1, pool), 0) << access.lastErrorText();
  ASSERT_EQ(access.storeObject(MMStoredKind::DrivePath, 1, nullptr, 0, {}), 0) << access.lastErrorText();
  expectEqualToFullReload("part", 2);
}

TEST_F(Reread, DevicesVolumesAndAgentsChangedThroughTheTableAccess) {
  MMMediaConfigDB access;
  MMStoredDevice device;
  device.name = "NewDevice";
  device.typeId = 1;
  ASSERT_EQ(access.insertDevice(device), 0) << access.lastErrorText();
  MMStoredDeviceController volume;
  volume.clientId = 1;
  volume.deviceId = device.id;
  volume.folder = "/srv/new";
  ASSERT_EQ(access.insertDeviceController(volume, "", true), 0) << access.lastErrorText();
  expectEqualToFullReload("part", 2);
  ASSERT_EQ(access.storeObject(MMStoredKind::MediaAgent, 2, "ma2-renamed", MMMediaConfigDB::kKeepConfigured, {}), 0)
      << access.lastErrorText();
  // A client's change reads every media agent again (two here).
  expectEqualToFullReload("part", 2);
  ASSERT_EQ(access.removeObject(MMStoredKind::Device, device.id), 0) << access.lastErrorText();
  expectEqualToFullReload("part", 0);
}

TEST_F(Reread, ChangesOfAnotherThreadAndOfPlainSqlAreSeen) {
  std::thread other([] {
    MMMediaConfigDB access;
    EXPECT_EQ(access.storeObject(MMStoredKind::Drive, 1, "FromAnotherThread", MMMediaConfigDB::kKeepConfigured, {}),
              0)
        << access.lastErrorText();
  });
  other.join();
  expectEqualToFullReload("part", 1);
  db.execElsewhere("UPDATE MMDrive SET DriveEnabled = 0; DELETE FROM MMDrivePath WHERE DrivePathId = 4; "
         "UPDATE MMMountPathToStorageDevice SET DeviceId = 1 WHERE MountPathId = 2; "
         "UPDATE MMLibrary SET LibraryId = 40 WHERE LibraryId = 2; UPDATE MMMasterPool SET LibraryId = 40 "
         "WHERE LibraryId = 2; UPDATE MMMountPath SET LibraryId = 40 WHERE LibraryId = 2");
  expectEqualToFullReload("part");
  db.execElsewhere("UPDATE APP_Client SET net_hostname = 'ma1.example.org' WHERE id = 1; "
         "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES (30, 1, 'raw', 1)");
  expectEqualToFullReload("part", 3);
}

// Lists of many rows, changed here and there by plain SQL: each re-read
// reads the changed rows only and still equals a load of every row; and a
// re-read after a change at the end of a long list holds the rows at its
// start where the read before held them (kept, not copied).
TEST_F(Reread, ManyRowsChangedHereAndThereAreReadAsALoadOfEveryRowReadsThem) {
  // Drives 101..500 in the tape library, devices 101..500 each with a
  // volume of ma1 (disk side and tape side alike).
  const std::string count = "WITH RECURSIVE n(i) AS (SELECT 101 UNION ALL SELECT i + 1 FROM n WHERE i < 500) ";
  db.execElsewhere(count + "INSERT INTO MMDrive (DriveId, DriveName, MasterPoolId, DriveNumber, SerialNumber, "
                   "DriveEnabled) SELECT i, 'drive' || i, 1, i, 'SN' || i, 1 FROM n; " +
                   count + "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) SELECT i, 1, "
                   "'device' || i, 1 FROM n; " +
                   count + "INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, "
                   "DeviceControllerEnabled, DeviceAccessible, Folder) SELECT i, 1, i, 1, 1, '/srv/v' || i FROM n");
  expectEqualToFullReload("part", 1200);
  // The last drive and the last device change twice after each change.
  const std::string atTheEnd =
      "UPDATE MMDrive SET DriveEnabled = 1 - DriveEnabled WHERE DriveId = (SELECT MAX(DriveId) FROM MMDrive); "
      "UPDATE MMDevice SET DeviceEnabled = 1 - DeviceEnabled WHERE DeviceId = (SELECT MAX(DeviceId) FROM MMDevice)";
  struct Change {
    const char* what;
    std::string sql;
    long rows;       // the rows the re-read reads
    bool longLists;  // the lists stay long enough for chunks of their own
    // The process forgets what it read before the first change at the end:
    // that read reads every row, and the next shares its rows.
    bool wholeFirst = false;
  };
  const std::vector<Change> changes = {
      {"one row in the middle of each list and one further on",
       "UPDATE MMDrive SET DriveName = 'renamed' WHERE DriveId IN (200, 300); "
       "UPDATE MMDevice SET AliasName = 'renamed' || DeviceId WHERE DeviceId IN (200, 300)",
       4, true},
      {"a run of rows longer than a chunk goes",
       "DELETE FROM MMDrive WHERE DriveId BETWEEN 220 AND 360; "
       "DELETE FROM MMDeviceController WHERE DeviceId BETWEEN 220 AND 360; "
       "DELETE FROM MMDevice WHERE DeviceId BETWEEN 220 AND 360",
       0, true},
      {"rows come back into the gap, and after the last",
       "INSERT INTO MMDrive (DriveId, DriveName, MasterPoolId, SerialNumber, DriveEnabled) VALUES "
       "(221, 'back221', 1, 'SNb221', 1), (359, 'back359', 1, 'SNb359', 1), (900, 'after', 1, 'SNa900', 1); "
       "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES "
       "(221, 1, 'back221', 1), (900, 1, 'after900', 1)",
       5, true},
      {"one row after the last",
       "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES (901, 1, 'after901', 1)", 1,
       true},
      {"all but a chunk's worth go",
       "DELETE FROM MMDrive WHERE DriveId > 180 AND DriveId <> 400; "
       "DELETE FROM MMDeviceController WHERE DeviceId > 180; DELETE FROM MMDevice WHERE DeviceId > 180",
       0, true},
      {"all but a few go",
       "DELETE FROM MMDrive WHERE DriveId > 120 AND DriveId <> 400; "
       "DELETE FROM MMDeviceController WHERE DeviceId > 120; DELETE FROM MMDevice WHERE DeviceId > 120",
       0, false},
      {"rows come back after the last, then a read of every row",
       "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) SELECT i, 1, 'back' || i, 1 FROM "
       "(WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) SELECT i FROM n); "
       "INSERT INTO MMDrive (DriveId, DriveName, MasterPoolId, SerialNumber, DriveEnabled) SELECT i, 'back' || i, "
       "1, 'SNk' || i, 1 FROM (WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
       "SELECT i FROM n)",
       402, true, true},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    db.execElsewhere(change.sql);
    expectEqualToFullReload("part", change.rows);
    MMMediaConfigDB access;
    MMStoredSnapshot changed;
    MMStoredSnapshot again;
    db.execElsewhere(atTheEnd);
    if (change.wholeFirst) testkit::mmdb::forgetConfigurationReads();
    ASSERT_EQ(access.loadCurrent(changed), 0) << access.lastErrorText();
    if (change.wholeFirst) {
      // Every row of the kinds, counted: the drives, devices and volumes
      // alone are hundreds.
      const std::pair<std::string, long> read = lastRead();
      EXPECT_EQ(read.first, "whole");
      EXPECT_GT(read.second, 400);
    } else
      EXPECT_EQ(lastRead(), (std::pair<std::string, long>("part", 2)));
    db.execElsewhere(atTheEnd);
    ASSERT_EQ(access.loadCurrent(again), 0) << access.lastErrorText();
    EXPECT_EQ(lastRead(), (std::pair<std::string, long>("part", 2)));
    ASSERT_FALSE(again.drives->empty());
    ASSERT_FALSE(again.devices->empty());
    EXPECT_EQ(&changed.drives->front() == &again.drives->front(), change.longLists);
    EXPECT_EQ(&changed.devices->front() == &again.devices->front(), change.longLists);
  }
  expectEqualToFullReload("part", 0);
}

// An object changed in memory and never stored takes its stored values
// again, as a load of every row gives them.
// Ids far apart (an administrator's row with an id of its own) take the
// loader's lookups off their flat tables: the re-read still keeps each
// object and equals a load of every row.
TEST_F(Reread, FarApartIdsAreKeptAndReadLikeCloseOnes) {
  db.execElsewhere("INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
         "\"LibraryEnabled\") VALUES (5000000, 'FarLib', 'FarLib', 3, 1)");
  expectEqualToFullReload("part", 1);
  ZQMACMagLib* far = nullptr;
  ZQMACLinkedList<ZQMACMagLib> libraries = kept->GetMagLibList();
  for (ZQMACMagLib* library = libraries.GetFirstNode(); library != nullptr; library = libraries.GetNextNode())
    if (library->GetId() == 5000000u) far = library;
  ASSERT_NE(far, nullptr);
  const unsigned long long handle = far->GetHandle();
  db.execElsewhere("UPDATE \"MMLibrary\" SET \"AliasName\" = 'FarLib2' WHERE \"LibraryId\" = 5000000");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(kept->FindObject(handle), far) << "the far library keeps its address and handle";
  EXPECT_EQ(far->GetName(), "FarLib2");
  db.execElsewhere("DELETE FROM \"MMLibrary\" WHERE \"LibraryId\" = 5000000");
  expectEqualToFullReload("part");
  EXPECT_EQ(kept->FindObject(handle), nullptr);
}

TEST_F(Reread, UnstoredChangesInMemoryAreUndone) {
  ZQMACDrive* first = drive(*kept, 1);
  ASSERT_NE(first, nullptr);
  ZQMACGraph::SetName(first, "only in memory");
  ZQMACGraph::SetConfigured(first, false);
  ZQMACGraph::SetName(diskLibrary(*kept), "also only in memory");
  expectEqualToFullReload("part", 0);
  EXPECT_EQ(drive(*kept, 1), first);
}

// A kind the log names nothing of is not scanned at all; a kind with a
// change is scanned for the changed rows only, whoever changed them.
TEST_F(Reread, OnlyTheKindsWithLoggedChangesAreScanned) {
  expectEqualToFullReload("part", 0);
  EXPECT_EQ(scanned, Scans{});

  db.execElsewhere("UPDATE MMDrive SET DriveName = 'renamed' WHERE DriveId = 1");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(scanned, Scans{"MMDrive"});

  // Three kinds among ten; the device link counts as the mount path's.
  db.execElsewhere("UPDATE MMDrive SET DriveEnabled = 0 WHERE DriveId = 2; "
         "UPDATE MMMountPathToStorageDevice SET DeviceId = 1 WHERE MountPathId = 2; "
         "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES (31, 1, 'raw31', 1)");
  expectEqualToFullReload("part", 3);
  EXPECT_EQ(scanned, (Scans{"MMDrive", "MMMountPath", "MMDevice"}));

  // A client's change can touch any media agent: that kind is read whole,
  // the others not at all.
  std::thread other([] {
    MMMediaConfigDB access;
    EXPECT_EQ(access.storeObject(MMStoredKind::MediaAgent, 1, "ma1-renamed", MMMediaConfigDB::kKeepConfigured, {}), 0)
        << access.lastErrorText();
  });
  other.join();
  expectEqualToFullReload("part", 2);
  EXPECT_EQ(scanned, Scans{"MMHost whole"});

  // More changed rows of a kind than half of those kept: one scan of the
  // table instead of the rows by the log's ids.
  db.execElsewhere("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) INSERT INTO "
                   "MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) SELECT 1000 + i, 1, 'bulk' || i, 1 "
                   "FROM n");
  expectEqualToFullReload("part");
  EXPECT_EQ(scanned, Scans{"MMDevice whole"});

  expectEqualToFullReload("part", 0);
  EXPECT_EQ(scanned, Scans{});
}

TEST_F(Reread, ChangesOfAnotherProcessAreSeen) {
  sqlOfAnotherProcess("UPDATE MMLibrary SET AliasName = 'FromAnotherProcess' WHERE LibraryId = 2; "
                      "DELETE FROM MMDrivePath WHERE DrivePathId = 3");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(scanned, (Scans{"MMLibrary", "MMDrivePath"}));
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "FromAnotherProcess");
  // A trigger that another process drops leaves the log incomplete.
  sqlOfAnotherProcess("DROP TRIGGER MMConfigChange_MMDevice_updated; UPDATE MMDevice SET AliasName = 'unlogged'");
  expectEqualToFullReload("whole");
}

// DRU hosts and archive clusters are read beside the configuration: again
// only once the log has moved on since the process last read them.
TEST_F(Reread, DruHostsArchiveClustersAndVendorCataloguesAreReadAgainOnlyWhenTheLogMovedOn) {
  // The tables a re-read of the kept instance reads them from.
  auto besideReads = [&] {
    testkit::db::journal().reset();
    EXPECT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    Scans reads;
    for (const std::string& sql : testkit::db::statements())
      for (const char* table : {"MMVendorCatalogue", "MMDRUHost", "MMCenteraCluster"})
        if (sql.rfind("SELECT ", 0) == 0 && sql.find(std::string(" FROM \"") + table + "\"") != std::string::npos)
          reads.push_back(table);
    return reads;
  };
  const Scans both{"MMVendorCatalogue", "MMDRUHost", "MMCenteraCluster"};
  EXPECT_EQ(besideReads(), Scans{}) << "kept from the first load";
  const int drives = kept->GetVendorInfo()->GetDriveVendorInfoSize();

  // A catalogue entry an administrator adds with SQL is offered from the
  // next read on, and kept after it.
  db.execElsewhere("INSERT INTO MMVendorCatalogue (Catalogue, Vendor, Product, Label) VALUES (0, 'ACME', 'T9', 'LTO')");
  EXPECT_EQ(besideReads(), both);
  ASSERT_EQ(kept->GetVendorInfo()->GetDriveVendorInfoSize(), drives + 1);
  EXPECT_EQ(kept->GetVendorInfo()->GetDriveVendorInfo()[drives].first, "ACME");
  EXPECT_EQ(besideReads(), Scans{});
  EXPECT_EQ(load()->GetVendorInfo()->GetDriveVendorInfoSize(), drives + 1) << "a new instance is given them too";

  db.execElsewhere("INSERT INTO MMDRUHost (HostId, HostName, UserName, UserPassword, Port) "
                   "VALUES (5, 'dru5', 'user', 'secret', 8400)");
  EXPECT_EQ(besideReads(), both);
  ASSERT_EQ(kept->GetDRUHostList().GetListCount(), 1);
  EXPECT_EQ(besideReads(), Scans{});
  expectEqualToFullReload("part", 0);

  sqlOfAnotherProcess("INSERT INTO MMCenteraCluster (ClusterId, Name, ClusterName, ClusterIdentity, Capacity, "
                      "Version) VALUES (3, 'three', 'c3', 'id-3', 300, 'v3'); "
                      "INSERT INTO MMCenteraAccessNode (ClusterId, Address) VALUES (3, 'node-a')");
  EXPECT_EQ(besideReads(), both);
  ASSERT_EQ(kept->GetCenteraClusterList().GetListCount(), 1);
  expectEqualToFullReload("part", 0);
  sqlOfAnotherProcess("UPDATE MMCenteraAccessNode SET Address = 'node-b' WHERE ClusterId = 3; "
                      "DELETE FROM MMDRUHost WHERE HostId = 5");
  EXPECT_EQ(besideReads(), both);
  EXPECT_EQ(kept->GetDRUHostList().GetListCount(), 0);
  expectEqualToFullReload("part", 0);

  // Any logged change moves the log on; forgetting what was read, too.
  db.execElsewhere("UPDATE MMDrive SET DriveName = 'renamed' WHERE DriveId = 1");
  EXPECT_EQ(besideReads(), both);
  testkit::mmdb::forgetConfigurationReads();
  EXPECT_EQ(besideReads(), both);
  EXPECT_EQ(besideReads(), Scans{});
  // Inside the thread's transaction nothing kept is used.
  DBtran tran(true);
  ASSERT_TRUE(tran.isOpen());
  EXPECT_EQ(besideReads(), both);
  ASSERT_EQ(tran.rollbackTran(), 0);
}

// ---------------------------------------------------------------- what cannot be trusted

TEST_F(Reread, ALogPrunedPastTheKeptReadReadsEverythingThenInPartAgain) {
  const unsigned long long driveHandle = drive(*kept, 1)->GetHandle();
  // More changes than the log keeps: devices made and removed again.
  const std::string made = std::to_string(tkmmdb::kLogKept / 2 + 1024);
  db.execElsewhere("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + made +
         ") INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) "
         "SELECT 1000 + i, 1, 'bulk' || i, 1 FROM n; DELETE FROM MMDevice WHERE DeviceId > 1000; "
         "UPDATE MMLibrary SET AliasName = 'AfterThePrune' WHERE LibraryId = 2");
  EXPECT_GT(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);
  expectEqualToFullReload("whole");
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "AfterThePrune");
  // Which rows were made again under their ids in the pruned entries, the
  // log cannot tell: every object of a row is made anew.
  EXPECT_EQ(kept->FindObject(driveHandle), nullptr);
  ASSERT_NE(drive(*kept, 1), nullptr);
  const unsigned long long libraryHandle = diskLibrary(*kept)->GetHandle();
  // The pruned entries were read before: the log is good again.
  db.execElsewhere("UPDATE MMLibrary SET AliasName = 'AfterTheWholeRead' WHERE LibraryId = 2");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(scanned, Scans{"MMLibrary"});
  EXPECT_EQ(diskLibrary(*kept)->GetHandle(), libraryHandle);
}

TEST_F(Reread, ASchemaChangedByHandIsCheckedForTheTriggersOnce) {
  // A change of the schema that leaves every trigger: still read in part.
  db.execElsewhere("CREATE TABLE AdminNotes (Note TEXT); UPDATE MMDrive SET DriveName = 'noted' WHERE DriveId = 2");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(scanned, Scans{"MMDrive"});
  // A trigger dropped with no change of its table yet: the read that finds
  // it missing trusts nothing and reads everything, and the trigger is
  // made again; a change after it is logged as before.
  db.execElsewhere("DROP TRIGGER MMConfigChange_MMLibrary_updated");
  expectEqualToFullReload("whole");
  db.execElsewhere("UPDATE MMLibrary SET AliasName = 'unlogged' WHERE LibraryId = 2");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "unlogged");
  // A trigger replaced by hand under its name, with a body that records
  // nothing, and a change it did not record: the load itself looks at the
  // schema's own triggers before it believes the log (the schema moved),
  // makes it again as the schema makes it, and reads everything.
  const char* kTextOf = "SELECT sql FROM sqlite_master WHERE name = 'MMConfigChange_MMLibrary_updated'";
  const std::string made = db.text(kTextOf);
  db.execElsewhere("DROP TRIGGER MMConfigChange_MMLibrary_updated; CREATE TRIGGER MMConfigChange_MMLibrary_updated "
                   "AFTER UPDATE ON MMLibrary BEGIN SELECT 1; END; "
                   "UPDATE MMLibrary SET AliasName = 'unrecorded' WHERE LibraryId = 2");
  expectEqualToFullReload("whole");
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "unrecorded");
  db.execElsewhere(std::string("CREATE TABLE seen AS ") + kTextOf);
  EXPECT_EQ(db.text("SELECT sql FROM seen"), made) << "made again by the load";
  db.execElsewhere("DROP TABLE seen; UPDATE MMLibrary SET AliasName = 'logged again' WHERE LibraryId = 2");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "logged again");
  // The same, met by a load while its connection cannot write (as when
  // another process holds the write lock past the time-out): the trigger
  // is not made again, and that read fails. The next load looks at the
  // triggers again before it believes the log, and sees the change the
  // replaced trigger did not record.
  db.execElsewhere("DROP TRIGGER MMConfigChange_MMLibrary_updated; "
                   "CREATE TRIGGER MMConfigChange_MMLibrary_updated AFTER UPDATE ON MMLibrary BEGIN SELECT 1; END");
  ASSERT_EQ(0, db.exec("PRAGMA query_only = 1"));
  EXPECT_FALSE(kept->ReadCurrentConfig(false));
  ASSERT_EQ(0, db.exec("PRAGMA query_only = 0"));
  db.execElsewhere("UPDATE MMLibrary SET AliasName = 'while it was away' WHERE LibraryId = 2");
  expectEqualToFullReload("whole");
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "while it was away");
  // The same once more, in a process whose connection ran many other
  // statements between the two loads: the first of them named a table
  // made by hand meanwhile, which made SQLite read the new schema as it
  // compiled it, and the others turned the statement cache over, so that
  // no statement of the next load is compiled again against a newer
  // schema. Only the load's own look at the triggers finds the replaced one.
  db.execElsewhere("CREATE TABLE AdminNotes2 (Note TEXT); DROP TRIGGER MMConfigChange_MMLibrary_updated; "
                   "CREATE TRIGGER MMConfigChange_MMLibrary_updated AFTER UPDATE ON MMLibrary BEGIN SELECT 1; END; "
                   "UPDATE MMLibrary SET AliasName = 'with the cache turned over' WHERE LibraryId = 2");
  for (int i = 0; i < 200; ++i)
    ASSERT_EQ(0, db.scalar("SELECT COUNT(*) + " + std::to_string(i) + " - " + std::to_string(i) + " FROM AdminNotes2"));
  expectEqualToFullReload("whole");
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "with the cache turned over");
  db.execElsewhere(std::string("CREATE TABLE seen AS ") + kTextOf);
  EXPECT_EQ(db.text("SELECT sql FROM seen"), made) << "made again by the load";
}

// A row made again while the trigger that marks rows born was away is not
// taken for the one that went: the log cannot tell, so every object is
// made anew.
TEST_F(Reread, ARowMadeAgainWhileItsTriggerWasAwayIsANewObject) {
  const unsigned long long handle = drive(*kept, 2)->GetHandle();
  db.execElsewhere("DROP TRIGGER MMConfigChange_MMDrive_inserted; CREATE TEMP TABLE saved AS SELECT * FROM MMDrive "
                   "WHERE DriveId = 2; DELETE FROM MMDrive WHERE DriveId = 2; INSERT INTO MMDrive SELECT * FROM saved");
  expectEqualToFullReload("whole");
  EXPECT_EQ(kept->FindObject(handle), nullptr);
  ASSERT_NE(drive(*kept, 2), nullptr);
}

// The triggers are counted again whenever the schema changed since a
// thread last found them all: a drop through this thread's own connection
// is seen as one by another process is; a thread of its own counts them
// before it trusts the log.
TEST_F(Reread, ATriggerDroppedOnTheReadersOwnConnectionIsNoticed) {
  expectEqualToFullReload("part", 0);
  std::string otherThread;
  std::thread([&] {
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    otherThread = lastRead().first;
  }).join();
  EXPECT_EQ(otherThread, "part") << "another thread's connection finds the triggers as they are";

  // The read that finds it missing reads everything; the trigger is made
  // again, and what comes after it is logged.
  ASSERT_EQ(0, db.exec("DROP TRIGGER MMConfigChange_MMLibrary_updated"));
  expectEqualToFullReload("whole");
  expectEqualToFullReload("part", 0);
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET AliasName = 'logged' WHERE LibraryId = 2"));
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(diskLibrary(*kept)->GetName(), "logged");
}

TEST_F(Reread, InsideTheThreadsTransactionEverythingIsReadAndNothingKept) {
  {
    DBtran tran(true);
    ASSERT_TRUE(tran.isOpen());
    ASSERT_EQ(0, db.exec("INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) "
                         "VALUES (40, 1, 'uncommitted', 1)"));
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    EXPECT_EQ(lastRead().first, "whole");
    EXPECT_NE(kept->FindDBNode<ZQMACDiskDevice>(40), nullptr) << "the transaction's own change is seen";
    ASSERT_EQ(tran.rollbackTran(), 0);
  }
  expectEqualToFullReload("part", 0);
  EXPECT_EQ(kept->FindDBNode<ZQMACDiskDevice>(40), nullptr);
}

TEST_F(Reread, APrunedLogOrAMissingTriggerReadsEverything) {
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = Pruned + 1000000; UPDATE MMDrive SET DriveName = 'pruned'");
  expectEqualToFullReload("whole");
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = 0");
  expectEqualToFullReload("part", 0);

  db.execElsewhere("DROP TRIGGER MMConfigChange_MMDrive_updated; UPDATE MMDrive SET DriveName = 'untracked'");
  expectEqualToFullReload("whole");
  // That read put the trigger back and started a new history.
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'MMConfigChange_MMDrive_updated'"), 1);
  expectEqualToFullReload("part", 0);
  testkit::db::reset();
  testkit::mmdb::reset();
  expectEqualToFullReload("part", 0);
  db.execElsewhere("UPDATE MMDrive SET DriveName = 'tracked' WHERE DriveId = 1");
  expectEqualToFullReload("part", 1);
}

TEST_F(Reread, ADatabaseWithoutTheLogIsReadWholeUntilItHasOne) {
  // As a database made before the log: no tables and no triggers.
  std::string drop;
  for (const tkdb::DbRow& row : db.query("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE "
                                         "'MMConfigChange%'"))
    drop += "DROP TRIGGER \"" + row.at(0).s + "\"; ";
  db.execElsewhere(drop + "DROP TABLE MMConfigEpoch; DROP TABLE MMConfigChange");
  expectEqualToFullReload("whole");
  testkit::db::reset();
  testkit::mmdb::reset();
  expectEqualToFullReload("whole");
  db.execElsewhere("DELETE FROM MMDrivePath WHERE DrivePathId = 1");
  expectEqualToFullReload("part", 0);
}

// A log dropped by hand is made again with its sequence from the start:
// nothing of it counts as pruned, so that after one whole read the reads
// read in part again.
TEST_F(Reread, ALogDroppedByHandStartsAgainWithNothingPruned) {
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = 70000; DROP TABLE MMConfigChange");
  testkit::db::reset();
  expectEqualToFullReload("whole");
  EXPECT_EQ(db.scalar("SELECT Pruned FROM MMConfigEpoch"), 0);
  db.execElsewhere("DELETE FROM MMDrivePath WHERE DrivePathId = 1");
  expectEqualToFullReload("part", 0);
}

// A row deleted and inserted again under its id, even with every value as
// it was, is another object: the handle of the old one names nothing after
// the re-read, the new row's object gets a new handle, and the objects
// around it keep theirs.
TEST_F(Reread, ARowInsertedAgainUnderItsIdIsANewObjectWithANewHandle) {
  const struct {
    const char* table;
    const char* key;
    int id;
    unsigned int type;
  } cases[] = {
      {"MMHost", "ClientId", 2, ZQMAC_OBJ_MEDIA_AGENT},
      {"MMLibrary", "LibraryId", 1, ZQMAC_OBJ_LMS},
      {"MMLibrary", "LibraryId", 2, ZQMAC_OBJ_MAGLIB},
      {"MMLibraryController", "LibraryControllerId", 1, ZQMAC_OBJ_LIB_CONTROLLER},
      {"MMMasterPool", "MasterPoolId", 1, ZQMAC_OBJ_MASTER_DRIVE_POOL},
      {"MMDrivePool", "DrivePoolId", 2, ZQMAC_OBJ_DRIVE_POOL},
      {"MMDrive", "DriveId", 2, ZQMAC_OBJ_DRIVE},
      {"MMDrivePath", "DrivePathId", 3, ZQMAC_OBJ_DMS},
      {"MMMountPath", "MountPathId", 2, ZQMAC_OBJ_MOUNT_PATH},
      {"MMDevice", "DeviceId", 2, ZQMAC_OBJ_DISK_DEVICE},
      {"MMDeviceController", "DeviceControllerId", 2, ZQMAC_OBJ_DISK_VOLUME},
  };
  auto find = [&](unsigned int type, int id) -> ZQMACInterface* {
    for (ZQMACInterface* object : reachable(*kept))
      if (object->GetObjectType() == type && static_cast<int>(object->GetId()) == id) return object;
    return nullptr;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    ZQMACInterface* object = find(c.type, c.id);
    ZQMACInterface* bystander = find(ZQMAC_OBJ_DRIVE, 1);
    ASSERT_NE(object, nullptr);
    ASSERT_NE(bystander, nullptr);
    const unsigned long long handle = object->GetHandle();
    const unsigned long long bystanderHandle = bystander->GetHandle();
    const std::string where = std::string(" WHERE \"") + c.key + "\" = " + std::to_string(c.id);
    db.execElsewhere(std::string("PRAGMA foreign_keys = OFF; CREATE TEMP TABLE saved AS SELECT * FROM ") + c.table +
                     where + "; DELETE FROM " + c.table + where + "; INSERT INTO " + c.table +
                     " SELECT * FROM saved; DROP TABLE saved");
    expectEqualToFullReload("part");
    EXPECT_EQ(kept->FindObject(handle), nullptr) << "the old object's handle names nothing";
    ZQMACInterface* remade = find(c.type, c.id);
    ASSERT_NE(remade, nullptr);
    EXPECT_NE(remade->GetHandle(), handle);
    EXPECT_EQ(kept->FindObject(remade->GetHandle(), c.type), remade);
    EXPECT_EQ(kept->FindObject(bystanderHandle, ZQMAC_OBJ_DRIVE), find(ZQMAC_OBJ_DRIVE, 1)) << "another object keeps its handle";
  }

  // The DRU hosts and archive clusters read beside the configuration too.
  db.execElsewhere("INSERT INTO MMDRUHost (HostId, HostName, UserName, UserPassword, Port) "
                   "VALUES (5, 'dru5', 'user', 'secret', 8400); INSERT INTO MMCenteraCluster (ClusterId, Name, "
                   "ClusterName, ClusterIdentity, Capacity, Version) VALUES (3, 'three', 'c3', 'id-3', 300, 'v3')");
  ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
  auto besideHandles = [&] {
    ZQMACHost* host = kept->GetDRUHostList().GetFirstNode();
    ZQMACCenteraCluster* cluster = kept->GetCenteraClusterList().GetFirstNode();
    return std::vector<unsigned long long>{host != nullptr ? host->GetHandle() : 0,
                                           cluster != nullptr ? cluster->GetHandle() : 0};
  };
  const std::vector<unsigned long long> before = besideHandles();
  db.execElsewhere("CREATE TEMP TABLE h AS SELECT * FROM MMDRUHost; CREATE TEMP TABLE c AS SELECT * FROM "
                   "MMCenteraCluster; DELETE FROM MMDRUHost; DELETE FROM MMCenteraCluster; INSERT INTO MMDRUHost "
                   "SELECT * FROM h; INSERT INTO MMCenteraCluster SELECT * FROM c");
  ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
  const std::vector<unsigned long long> after = besideHandles();
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i == 0 ? "DRU host" : "archive cluster");
    EXPECT_NE(before[i], 0u);
    EXPECT_NE(after[i], 0u);
    EXPECT_NE(after[i], before[i]);
    EXPECT_EQ(kept->FindObject(before[i]), nullptr);
  }
}

// A read in part lists what the log names since the kept read, the rows
// born among it too: the laying that follows learns them from that list,
// for the rows read with it and for those read beside it, and reads the
// log again only past it (a look of its newest entry). Rows born again
// are new objects all the same.
TEST_F(Reread, TheRowsBornSinceTheKeptReadAreLearnedFromTheReadsOwnListOfTheLog) {
  ZQMACInterface* drive = nullptr;
  for (ZQMACInterface* object : reachable(*kept))
    if (object->GetObjectType() == ZQMAC_OBJ_DRIVE && object->GetId() == 2) drive = object;
  ASSERT_NE(drive, nullptr);
  const unsigned long long handle = drive->GetHandle();
  db.execElsewhere("PRAGMA foreign_keys = OFF; CREATE TEMP TABLE saved AS SELECT * FROM MMDrive WHERE DriveId = 2; "
                   "DELETE FROM MMDrive WHERE DriveId = 2; INSERT INTO MMDrive SELECT * FROM saved; DROP TABLE saved");
  const size_t from = testkit::db::statements().size();
  ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
  const std::vector<std::string> statements = testkit::db::statements();
  // The look before the read, the read's own, and the look past it.
  EXPECT_EQ(std::count(statements.begin() + static_cast<std::ptrdiff_t>(from), statements.end(),
                       tkmmdb::changeLogHeaderQuery()),
            3);
  EXPECT_EQ(kept->FindObject(handle), nullptr) << "the drive born again is a new object";
  EXPECT_EQ(tktest::ModelDump::of(*kept), fullReload());
}

// The model's own settings are read again only after one of them changed,
// and a re-read of the disk side leaves those of the tape side laid: a
// drive keeps its id, whatever other rows changed, and a setting changed
// by hand is laid over its object at the next re-read. An object a re-read
// in part makes takes the settings kept from before (here a disk library
// hidden before its row was stored).
TEST_F(Reread, SettingsAreReadAgainOnlyWhenOneChangedAndStayLaidOverWhatARereadLeavesAlone) {
  auto settingReads = [] {
    int reads = 0;
    for (const std::string& sql : testkit::db::statements())
      if (sql.find("FROM \"MMObjectSetting\"") != std::string::npos && sql.rfind("SELECT", 0) == 0) ++reads;
    return reads;
  };
  const std::string drives = std::to_string(static_cast<int>(MMStoredKind::Drive));
  const std::string libraries = std::to_string(static_cast<int>(MMStoredKind::Library));
  const std::string driveId = tkmac::setting::kDriveIdString;
  db.execElsewhere("INSERT INTO MMObjectSetting (Kind, ObjectId, Name, Value) VALUES (" + drives + ", 1, '" + driveId +
                   "', 'SN-1')");
  ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
  EXPECT_EQ(tktest::ModelDump::of(*kept), fullReload());

  const struct {
    const char* change;
    std::string sql;
    int settingReads;
    // Against a load of every row (which reads the settings anew, so
    // that the next re-read lays them all), else left to the next row.
    bool compared = true;
  } cases[] = {
      {"a volume's folder", "UPDATE MMDeviceController SET Folder = '/srv/moved' WHERE DeviceControllerId = 2", 0},
      {"a device's name", "UPDATE MMDevice SET AliasName = 'renamed' WHERE DeviceId = 2", 0},
      {"the drive's id by hand",
       "UPDATE MMObjectSetting SET Value = 'SN-9' WHERE Kind = " + drives + " AND ObjectId = 1 AND Name = '" +
           driveId + "'",
       1},
      {"a disk library hidden before it is stored",
       "INSERT INTO MMObjectSetting (Kind, ObjectId, Name, Value) VALUES (" + libraries + ", 60, '" +
           tkmac::setting::kShown + "', '0')",
       1, false},
      {"the disk library stored",
       "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
       "VALUES (60, 'HiddenLib', 'HiddenLib', 3, 1)",
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    db.execElsewhere(c.sql);
    testkit::db::journal().reset();
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    EXPECT_EQ(settingReads(), c.settingReads);
    if (c.compared) {
      EXPECT_EQ(tktest::ModelDump::of(*kept), fullReload());
    }
  }
  const std::string dump = tktest::ModelDump::of(*kept);
  EXPECT_NE(dump.find("driveid=SN-9"), std::string::npos);
  const size_t hidden = dump.find("'HiddenLib' display=");
  ASSERT_NE(hidden, std::string::npos) << dump;
  EXPECT_NE(dump.substr(hidden, dump.find('\n', hidden) - hidden).find(" shown=0"), std::string::npos) << dump;
}

// A renewed epoch says the log's history is another one, even where its
// newest sequence number is the one the kept read ended at.
TEST_F(Reread, AnEpochRenewedWithoutAnyChangeReadsEverything) {
  const long long newest = db.scalar("SELECT MAX(Seq) FROM MMConfigChange");
  db.execElsewhere("UPDATE MMConfigEpoch SET Epoch = 'renewed by hand'");
  ASSERT_EQ(db.scalar("SELECT MAX(Seq) FROM MMConfigChange"), newest);
  expectEqualToFullReload("whole");
  expectEqualToFullReload("part", 0);
}

// ---------------------------------------------------------------- the fault sweep

// A change made through the model, or by another session, then the
// re-read: whichever call fails, a re-read leaves the graph as a load of
// every row makes it.
TEST_F(Reread, UnderTheFaultSweepEveryRereadEqualsAFullReload) {
  auto sweepOf = [&](const std::function<void()>& change) {
    tktest::SweepPlan plan;
    plan.setup = [&] { ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError(); };
    plan.request = [&] {
      change();
      kept->ReadCurrentConfig(false);
    };
    plan.check = [&](const tktest::SweepRun&) -> std::string {
      if (!kept->ReadCurrentConfig(false)) return "the re-read after the run failed: " + kept->GetLastError();
      if (tktest::ModelDump::of(*kept) != fullReload()) return "the re-read graph differs from a full reload";
      return "";
    };
    return tktest::FaultSweep().run(plan);
  };
  const tktest::SweepReport deleted = sweepOf([&] {
    ZQMACDrive* second = drive(*kept, 2);
    if (second != nullptr) kept->DeleteObject(second);
  });
  EXPECT_TRUE(deleted.clean()) << deleted;
  const tktest::SweepReport added = sweepOf([] {
    MMMediaConfigDB other;
    MMNewMountPath path;
    path.libraryId = 2;
    path.name = "/mnt/sweep";
    path.deviceId = 1;
    int id = 0;
    other.insertMountPath(path, id);
  });
  EXPECT_TRUE(added.clean()) << added;
}

// A console's lock over the session it loaded: the lock reads the
// configuration again in part, and under the sweep each of its calls
// failing in turn still ends answered, with the database as it was.
class LockReread : public tktest::SeededSessionTest {
 protected:
  LockReread() : SeededSessionTest(resetStandIns, 7, 0x4242) {}
  static void resetStandIns() {
    tktest::resetSessionStandIns();
    testkit::mmdb::reset();
  }
  void TearDown() override {
    SeededSessionTest::TearDown();
    testkit::mmdb::stop();
  }
  // The lock; the scans its read made.
  Scans lock() {
    const size_t from = testkit::db::statements().size();
    auto request = m_a.request(100);
    request->firstWord = 2;
    request->elementCount = EvMMConfigMgr::kLockOpLock;
    m_mgr.LockMMConfiguration(request.get(), 1000, true);
    return configurationScans(from);
  }
  // Each run: a fresh session (a whole read after the sweep forgot what
  // was kept), then `change`, then the lock.
  tktest::SweepReport sweepLock(const std::function<void()>& change, Scans& cleanScans, std::string& cleanRead) {
    tktest::SweepPlan plan;
    Scans scans;
    plan.setup = [&] {
      freshSession();
      change();
      testkit::mmdb::reset();
    };
    plan.request = [&] { scans = lock(); };
    plan.check = [&](const tktest::SweepRun& run) {
      if (run.k == 0) {
        cleanScans = scans;
        const auto reads = testkit::mmdb::calls("MMMediaConfigDB::loadCurrent.read");
        cleanRead = reads.empty() ? "none" : reads.back().args.at(0);
      }
      return tktest::answeredOnSocket(m_a.replies(), run);
    };
    return tktest::FaultSweep().run(plan);
  }
};

TEST_F(LockReread, UnderTheFaultSweepALockReadsInPartWhatChangedOnly) {
  // What the process's first lock registers once is out of the way.
  freshSession();
  lock();
  Scans scans;
  std::string read;
  const tktest::SweepReport unchanged = sweepLock([] {}, scans, read);
  EXPECT_TRUE(unchanged.clean()) << unchanged;
  EXPECT_EQ(read, "part");
  EXPECT_EQ(scans, Scans{});

  const tktest::SweepReport changed = sweepLock(
      [&] {
        MMMediaConfigDB access;
        EXPECT_EQ(access.storeObject(MMStoredKind::Drive, 2, "SweptDrive", MMMediaConfigDB::kKeepConfigured, {}), 0)
            << access.lastErrorText();
      },
      scans, read);
  EXPECT_TRUE(changed.clean()) << changed;
  EXPECT_EQ(read, "part");
  EXPECT_EQ(scans, Scans{"MMDrive"});
  EXPECT_GT(changed.calls, unchanged.calls) << "the scan of the changed kind is a call of its own";
}

}  // namespace
}  // namespace modeldb
