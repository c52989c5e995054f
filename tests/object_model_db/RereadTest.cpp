// Re-reading the configuration after a change reads only the rows of what
// changed, and leaves the graph as a load of every row makes it: after each
// kind of change (through the model, the table access, another connection,
// another thread, plain SQL), under the fault sweep, inside a transaction,
// and when the change log cannot be trusted.
#include <sqlite3.h>

#include <functional>
#include <string>
#include <thread>

#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/testkit/db.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/ModelDump.h"

namespace modeldb {
namespace {

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
    testkit::mmdb::forgetConfigurationReads();
    return tktest::ModelDump::of(*load());
  }

  // Re-reads the kept instance and checks it, and a new instance made from
  // what the process keeps, against a load of every row. `how` is how the
  // re-read must have read.
  void expectEqualToFullReload(const std::string& how, long mostRows = 1 << 30) {
    testkit::mmdb::reset();
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
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

  // Plain SQL on a connection of its own, as an administrator's sqlite3.
  void rawSql(const std::string& sql) {
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().c_str(), &handle), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(handle);
  }

  std::unique_ptr<ZQMACMediaConfig> kept;
};

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
  rawSql("UPDATE MMDrive SET DriveEnabled = 0; DELETE FROM MMDrivePath WHERE DrivePathId = 4; "
         "UPDATE MMMountPathToStorageDevice SET DeviceId = 1 WHERE MountPathId = 2; "
         "UPDATE MMLibrary SET LibraryId = 40 WHERE LibraryId = 2; UPDATE MMMasterPool SET LibraryId = 40 "
         "WHERE LibraryId = 2; UPDATE MMMountPath SET LibraryId = 40 WHERE LibraryId = 2");
  expectEqualToFullReload("part");
  rawSql("UPDATE APP_Client SET net_hostname = 'ma1.example.org' WHERE id = 1; "
         "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES (30, 1, 'raw', 1)");
  expectEqualToFullReload("part", 3);
}

// An object changed in memory and never stored takes its stored values
// again, as a load of every row gives them.
// Ids far apart (an administrator's row with an id of its own) take the
// loader's lookups off their flat tables: the re-read still keeps each
// object and equals a load of every row.
TEST_F(Reread, FarApartIdsAreKeptAndReadLikeCloseOnes) {
  rawSql("INSERT INTO \"MMLibrary\" (\"LibraryId\", \"LibraryName\", \"AliasName\", \"LibraryTypeId\", "
         "\"LibraryEnabled\") VALUES (5000000, 'FarLib', 'FarLib', 3, 1)");
  expectEqualToFullReload("part", 1);
  ZQMACMagLib* far = nullptr;
  ZQMACLinkedList<ZQMACMagLib> libraries = kept->GetMagLibList();
  for (ZQMACMagLib* library = libraries.GetFirstNode(); library != nullptr; library = libraries.GetNextNode())
    if (library->GetId() == 5000000u) far = library;
  ASSERT_NE(far, nullptr);
  const unsigned long long handle = far->GetHandle();
  rawSql("UPDATE \"MMLibrary\" SET \"AliasName\" = 'FarLib2' WHERE \"LibraryId\" = 5000000");
  expectEqualToFullReload("part", 1);
  EXPECT_EQ(kept->FindObject(handle), far) << "the far library keeps its address and handle";
  EXPECT_EQ(far->GetName(), "FarLib2");
  rawSql("DELETE FROM \"MMLibrary\" WHERE \"LibraryId\" = 5000000");
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

// ---------------------------------------------------------------- what cannot be trusted

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
  rawSql("UPDATE MMConfigEpoch SET Pruned = Pruned + 1000000; UPDATE MMDrive SET DriveName = 'pruned'");
  expectEqualToFullReload("whole");
  rawSql("UPDATE MMConfigEpoch SET Pruned = 0");
  expectEqualToFullReload("part", 0);

  rawSql("DROP TRIGGER MMConfigChange_MMDrive_update; UPDATE MMDrive SET DriveName = 'untracked'");
  expectEqualToFullReload("whole");
  expectEqualToFullReload("whole");
  // A new connection puts the trigger back and starts a new history.
  testkit::db::reset();
  testkit::mmdb::reset();
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'MMConfigChange_MMDrive_update'"), 1);
  expectEqualToFullReload("whole");
  rawSql("UPDATE MMDrive SET DriveName = 'tracked' WHERE DriveId = 1");
  expectEqualToFullReload("part", 1);
}

TEST_F(Reread, ADatabaseWithoutTheLogIsReadWholeUntilItHasOne) {
  // As a database made before the log: no tables and no triggers.
  std::string drop;
  for (const tkdb::DbRow& row : db.query("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE "
                                         "'MMConfigChange%'"))
    drop += "DROP TRIGGER \"" + row.at(0).s + "\"; ";
  rawSql(drop + "DROP TABLE MMConfigEpoch; DROP TABLE MMConfigChange");
  expectEqualToFullReload("whole");
  testkit::db::reset();
  testkit::mmdb::reset();
  expectEqualToFullReload("whole");
  rawSql("DELETE FROM MMDrivePath WHERE DrivePathId = 1");
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

}  // namespace
}  // namespace modeldb
