// A freed instance hands its graph to the next new one, which brings it up
// to the stored rows: after every kind of stored change (through the model,
// another connection, plain SQL) and after changes in memory that were
// never stored, the next instance is what a load of every row makes of a
// new instance, object by object; handles given before resolve nowhere.

#include <functional>
#include <memory>
#include <string>

#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"
#include "tests/support/ModelDump.h"

namespace modeldb {
namespace {

class HandOver : public ModelDatabase {
 protected:
  // How the last load laid its rows: {"taken over" or "own", "part" or
  // "every row"}; the journal is cleared.
  static std::pair<std::string, std::string> lastLay() {
    const auto calls = testkit::mac::journal().calls("LayStored");
    testkit::mac::journal().reset();
    if (calls.empty()) return {"none", "none"};
    return {calls.back().args.at(0), calls.back().args.at(1)};
  }

  // Frees `config` (its graph is parked), loads the next instance, which
  // takes the graph over, and checks it against a new instance built from
  // every row while it is held (so that one builds a graph of its own).
  // `how` is how the next instance must have laid the rows; a failure
  // names the caller's line.
  void expectNextInstanceAsNew(std::unique_ptr<ZQMACMediaConfig>& config, const std::string& how,
                               int line = __builtin_LINE()) {
    SCOPED_TRACE("called from line " + std::to_string(line));
    config.reset();
    testkit::mac::journal().reset();
    config = load();
    EXPECT_EQ(lastLay(), std::make_pair(std::string("taken over"), how));
    auto fresh = load();
    EXPECT_EQ(lastLay().first, "own");
    EXPECT_EQ(tktest::ModelDump::of(*config), tktest::ModelDump::of(*fresh));
  }

  static ZQMACMountPath* mountPath(ZQMACMediaConfig& config, int id) {
    return config.FindDBNode<ZQMACMountPath>(id);
  }
};

// ---------------------------------------------------------------- stored changes

TEST_F(HandOver, EveryKindOfStoredChangeIsSeenAsANewInstanceSeesIt) {
  const struct {
    const char* what;
    const char* sql;
    const char* how;  // how the next instance lays the rows
  } changes[] = {
      {"nothing", "", "part"},
      {"agent added", "INSERT INTO APP_Client (id, name, net_hostname) VALUES (9, 'ma9', 'ma9.example.net'); "
                      "INSERT INTO MMHost (ClientId) VALUES (9)", "every row"},
      {"agent renamed", "UPDATE APP_Client SET name = 'ma9x', net_hostname = 'ma9x.example.net' WHERE id = 9",
       "every row"},
      {"agent removed", "DELETE FROM MMHost WHERE ClientId = 9", "every row"},
      {"tape library added", "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
                             "VALUES (7, 'TapeLib7', 'TapeLib7', 1, 1)", "every row"},
      {"disk library added", "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
                             "VALUES (8, 'DiskLib8', 'DiskLib8', 3, 1)", "part"},
      {"disk library renamed", "UPDATE MMLibrary SET LibraryName = 'D8r', AliasName = 'D8r' WHERE LibraryId = 8",
       "part"},
      {"disk library hidden, disabled, given a watermark",
       "UPDATE MMLibrary SET ExtendedAttributes = 8192, LibraryEnabled = 0, LowWaterMarkMB = 7, "
       "LibraryAttribute = 3 WHERE LibraryId = 8", "part"},
      {"disk library's pools and controller added",
       "INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) VALUES (8, 8, 'mp8'); "
       "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId) VALUES (8, 8, 2); "
       "INSERT INTO MMLibraryController (LibraryControllerId, ClientId, LibraryId) VALUES (8, 2, 8)", "part"},
      // The library has no mount path: its agent is its first drive pool's.
      {"disk library's drive pool given another agent", "UPDATE MMDrivePool SET ClientId = 1 WHERE DrivePoolId = 8",
       "part"},
      {"disk library given a drive pool of a lower id", "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId) "
                                                        "VALUES (7, 8, 2)", "part"},
      {"its drive pool without an agent", "UPDATE MMDrivePool SET ClientId = 0 WHERE DrivePoolId = 7", "part"},
      {"disk library's master pool moved to another disk library", "UPDATE MMMasterPool SET LibraryId = 2 "
                                                                   "WHERE MasterPoolId = 8", "part"},
      {"and back", "UPDATE MMMasterPool SET LibraryId = 8 WHERE MasterPoolId = 8", "part"},
      {"disk library's drive pools removed", "DELETE FROM MMDrivePool WHERE DrivePoolId IN (7, 8)", "part"},
      {"one made again under its id", "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId) VALUES (8, 8, 2)",
       "part"},
      // Its first drive pool by id is that of its second master pool.
      {"disk library given a master pool of a lower id with a drive pool of a higher id",
       "INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) VALUES (6, 8, 'mp6'); "
       "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId) VALUES (11, 6, 1)", "part"},
      {"that drive pool given the lowest id", "UPDATE MMDrivePool SET DrivePoolId = 5 WHERE DrivePoolId = 11", "part"},
      {"and removed with its master pool", "DELETE FROM MMDrivePool WHERE DrivePoolId = 5; "
                                           "DELETE FROM MMMasterPool WHERE MasterPoolId = 6", "part"},
      {"libraries renamed", "UPDATE MMLibrary SET LibraryName = 'T7', AliasName = 'T7' WHERE LibraryId = 7; "
                            "UPDATE MMLibrary SET LibraryName = 'D8', AliasName = 'D8' WHERE LibraryId = 8",
       "every row"},
      {"controller added", "INSERT INTO MMLibraryController (LibraryControllerId, ClientId, LibraryId) VALUES (9, 2, 7)",
       "every row"},
      {"pools added", "INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) VALUES (9, 7, 'mp9'); "
                      "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId) VALUES (9, 9, 2)", "every row"},
      {"drive added", "INSERT INTO MMDrive (DriveId, AliasName, MasterPoolId) VALUES (9, 'Drive9', 9)", "every row"},
      {"drive path added", "INSERT INTO MMDrivePath (DrivePathId, DriveId, DrivePoolId, ClientId) VALUES (9, 9, 9, 2)",
       "every row"},
      {"drive renamed", "UPDATE MMDrive SET AliasName = 'Drive9x' WHERE DriveId = 9", "every row"},
      {"device added", "INSERT INTO MMDevice (DeviceId, DeviceTypeId, AliasName, DeviceEnabled) VALUES (9, 1, 'd9', 1)",
       "part"},
      {"volume added", "INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, DeviceControllerActive, "
                       "DeviceControllerEnabled, DeviceAccessible, DeviceAccessType, Folder) "
                       "VALUES (9, 2, 9, 1, 1, 1, 6, '/v9')", "part"},
      {"mount path added", "INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MediaSideId, "
                           "MountPathTypeId, NumberOfWriters) VALUES (9, '/mnt/nine', 8, 0, 1, 0); "
                           "INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (9, 9)", "part"},
      {"device and volume renamed", "UPDATE MMDevice SET AliasName = 'd9x' WHERE DeviceId = 9; "
                                    "UPDATE MMDeviceController SET Folder = '/v9x' WHERE DeviceControllerId = 9", "part"},
      {"mount path renamed", "UPDATE MMMountPath SET MountPathName = '/mnt/nine-x' WHERE MountPathId = 9", "part"},
      // Two loads in part after the mount path came: its device's first
      // volume still gives it its agent.
      {"its device reached through another agent", "UPDATE MMDeviceController SET ClientId = 1 "
                                                   "WHERE DeviceControllerId = 9", "part"},
      {"mount path moved", "UPDATE MMMountPathToStorageDevice SET DeviceId = 1 WHERE MountPathId = 9", "part"},
      {"mount path moved to another disk library", "UPDATE MMMountPath SET LibraryId = 2 WHERE MountPathId = 9",
       "part"},
      {"disk library with a mount path added",
       "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
       "VALUES (10, 'DiskLib10', 'DiskLib10', 4, 1); "
       "INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MediaSideId, MountPathTypeId, "
       "NumberOfWriters) VALUES (10, '/mnt/ten', 10, 0, 1, 0); "
       "INSERT INTO MMMountPathToStorageDevice (MountPathId, DeviceId) VALUES (10, 2)", "part"},
      {"disk library removed, its mount path's row left", "DELETE FROM MMLibrary WHERE LibraryId = 10", "part"},
      {"disk library back under the row", "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, "
                                          "LibraryEnabled) VALUES (10, 'DiskLib10b', 'DiskLib10b', 3, 1)", "part"},
      {"disk library turned into a tape library", "UPDATE MMLibrary SET LibraryTypeId = 1 WHERE LibraryId = 10",
       "every row"},
      {"and back", "UPDATE MMLibrary SET LibraryTypeId = 3 WHERE LibraryId = 10", "every row"},
      {"disk library removed with its mount path", "DELETE FROM MMMountPathToStorageDevice WHERE MountPathId = 10; "
                                                   "DELETE FROM MMMountPath WHERE MountPathId = 10; "
                                                   "DELETE FROM MMLibrary WHERE LibraryId = 10", "part"},
      {"copy manager added", "INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, ConcurrencyLimit, ClientId, "
                             "ControllerName) VALUES (9, 'cm9', 2, 2, 'cm9 on ma2')", "every row"},
      {"copy manager renamed, its limit and controller's name changed",
       "UPDATE MMCopyManager SET CopyManagerName = 'cm9x', ConcurrencyLimit = 5, ControllerName = 'cm9x on ma2' "
       "WHERE CopyManagerId = 9", "every row"},
      {"copy manager configured", "INSERT INTO MMObjectSetting (Kind, ObjectId, Name, Value) VALUES (10, 9, "
                                  "'Configured', '1')", "part"},
      {"copy manager made again under its id",
       "CREATE TEMP TABLE saved AS SELECT * FROM MMCopyManager; DELETE FROM MMCopyManager; "
       "INSERT INTO MMCopyManager SELECT * FROM saved; DROP TABLE saved", "every row"},
      {"copy manager removed", "DELETE FROM MMCopyManager WHERE CopyManagerId = 9", "every row"},
      {"tape library's drive pool renamed", "UPDATE MMDrivePool SET DrivePoolName = 'renamed' WHERE DrivePoolId = 1",
       "every row"},
      {"volume removed", "DELETE FROM MMDeviceController WHERE DeviceControllerId = 1", "part"},
      {"mount path removed", "DELETE FROM MMMountPathToStorageDevice WHERE MountPathId = 9; "
                             "DELETE FROM MMMountPath WHERE MountPathId = 9", "part"},
      {"device removed", "DELETE FROM MMDeviceController WHERE DeviceId = 9; DELETE FROM MMDevice WHERE DeviceId = 9",
       "part"},
      {"drive path and drive removed", "DELETE FROM MMDrivePath WHERE DrivePathId = 9; "
                                       "DELETE FROM MMDrive WHERE DriveId = 9", "every row"},
      // A change of more rows than a load in part lays is laid whole.
      {"two thousand devices added in one transaction",
       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) INSERT INTO MMDevice "
       "(DeviceId, DeviceTypeId, AliasName, DeviceEnabled) SELECT 1000 + i, 1, 'bulk' || i, 1 FROM n", "every row"},
      {"and removed again", "DELETE FROM MMDevice WHERE DeviceId > 1000", "every row"},
      {"pools, controller and libraries removed", "DELETE FROM MMDrivePool WHERE DrivePoolId = 9; "
                                                 "DELETE FROM MMMasterPool WHERE MasterPoolId = 9; "
                                                 "DELETE FROM MMLibraryController WHERE LibraryControllerId = 9; "
                                                 "DELETE FROM MMLibrary WHERE LibraryId IN (7, 8)", "every row"},
  };
  auto config = load();
  for (const auto& change : changes) {
    SCOPED_TRACE(change.what);
    if (*change.sql != '\0') db.execElsewhere(change.sql);
    expectNextInstanceAsNew(config, change.how);
  }
}

TEST_F(HandOver, ChangesStoredThroughTheModelAreSeenAsANewInstanceSeesThem) {
  auto config = load();
  // A mount path added, renamed and removed through the model.
  ZQMACMagLib* library = diskLibrary(*config);
  MountPathInfo info{};
  info.libraryId = static_cast<int>(library->GetId());
  info.path = "/mnt/added";
  info.userName = "backup";
  info.password = "secret";
  info.deviceId = 2;
  ZQMACMountPath* added = library->AddMountPath(info);
  ASSERT_NE(added, nullptr) << library->GetLastError();
  const int id = static_cast<int>(added->GetId());
  expectNextInstanceAsNew(config, "part");
  EXPECT_EQ(ZQMACGraph::GetPassword(mountPath(*config, id)), "") << "a load does not read the password";
  ASSERT_TRUE(mountPath(*config, id)->SetName("/mnt/renamed")) << mountPath(*config, id)->GetLastError();
  expectNextInstanceAsNew(config, "part");
  ASSERT_TRUE(config->DeleteObject(mountPath(*config, id))) << config->GetLastError();
  expectNextInstanceAsNew(config, "part");
  // A drive renamed, a drive path removed.
  ASSERT_TRUE(drive(*config, 1)->SetName("Drive1x")) << drive(*config, 1)->GetLastError();
  expectNextInstanceAsNew(config, "every row");
  ZQMACDms* path = elements(drive(*config, 2)->GetDmsList()).front();
  ASSERT_TRUE(config->DeleteObject(path)) << config->GetLastError();
  expectNextInstanceAsNew(config, "every row");
}

// A disk library made (rows only) and deconfigured (its objects go with
// their rows) through the model, as the storage-library request does: the
// instance still hands its graph over, and the next one lays only the
// changed rows. A tape library's deconfiguration is handed over too, and
// the next instance lays every row.
TEST_F(HandOver, LibrariesMadeAndDeconfiguredThroughTheModelAreHandedOver) {
  auto named = [](ZQMACMediaConfig& config, const std::string& name) -> ZQMACMagLib* {
    for (ZQMACMagLib* m : elements(config.GetMagLibList()))
      if (m->GetName() == name) return m;
    return nullptr;
  };
  auto config = load();
  std::string serialName;
  std::string name = "DiskLib9";
  int libraryId = 0;
  int newId = 0;
  int deviceId = 0;
  ASSERT_TRUE(config->AutoConfigLibrary("ma1", serialName, libraryId, "", name, newId, "/mnt/lib9", "backup", "secret",
                                        false, 0, deviceId, "", "", 0, 0))
      << config->GetLastError();
  expectNextInstanceAsNew(config, "part");
  ZQMACMagLib* made = named(*config, "DiskLib9");
  ASSERT_NE(made, nullptr);
  ASSERT_EQ(made->GetMountPathList().GetListCount(), 1);
  EXPECT_NE(made->GetMediaAgent(), nullptr) << "its mount path's media agent";

  // Within the instance: the re-read after a deconfiguration lays in part.
  ASSERT_TRUE(config->DeleteObject(made->GetMountPathList().GetFirstNode())) << config->GetLastError();
  ASSERT_TRUE(config->DeconfigureLibrary("", "DiskLib9")) << config->GetLastError();
  testkit::mac::journal().reset();
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  EXPECT_EQ(lastLay(), std::make_pair(std::string("own"), std::string("part")));
  EXPECT_EQ(tktest::ModelDump::of(*config), tktest::ModelDump::of(*load()));
  expectNextInstanceAsNew(config, "part");

  // A request's instance reads the configuration itself to deconfigure:
  // it takes the graph over.
  name = "DiskLib11";
  ASSERT_TRUE(config->AutoConfigLibrary("ma2", serialName, libraryId, "", name, newId, "/mnt/lib11", "", "", false, 0,
                                        deviceId, "", "", 0, 0))
      << config->GetLastError();
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  ASSERT_NE(named(*config, "DiskLib11"), nullptr);
  ASSERT_TRUE(config->DeleteObject(named(*config, "DiskLib11")->GetMountPathList().GetFirstNode()));
  config.reset();
  testkit::mac::journal().reset();
  config = std::make_unique<ZQMACMediaConfig>();
  ASSERT_TRUE(config->Initialize("cs01.example.net"));
  ASSERT_TRUE(config->DeconfigureLibrary("", "DiskLib11")) << config->GetLastError();
  EXPECT_EQ(lastLay(), std::make_pair(std::string("taken over"), std::string("part")));
  expectNextInstanceAsNew(config, "part");
  EXPECT_EQ(named(*config, "DiskLib11"), nullptr);

  ASSERT_TRUE(config->DeconfigureLibrary("", "TapeLib1")) << config->GetLastError();
  expectNextInstanceAsNew(config, "every row");
  EXPECT_EQ(tapeLibrary(*config), nullptr);
}

// An object deleted through the model goes with its rows; when the same
// rows come back (plain SQL), the rows the graph was laid over are as they
// were, and still the next instance makes the objects anew.
TEST_F(HandOver, ObjectsDeletedThroughTheModelAndStoredAgainAsTheyWereAreMadeAnew) {
  auto config = load();
  db.execElsewhere("CREATE TABLE keptPath AS SELECT * FROM MMMountPath WHERE MountPathId = 1; "
                   "CREATE TABLE keptLink AS SELECT * FROM MMMountPathToStorageDevice WHERE MountPathId = 1");
  ASSERT_TRUE(config->DeleteObject(mountPath(*config, 1))) << config->GetLastError();
  db.execElsewhere("INSERT INTO MMMountPath SELECT * FROM keptPath; "
                   "INSERT INTO MMMountPathToStorageDevice SELECT * FROM keptLink");
  expectNextInstanceAsNew(config, "part");
  EXPECT_NE(mountPath(*config, 1), nullptr);

  db.execElsewhere("CREATE TABLE keptLibrary AS SELECT * FROM MMLibrary WHERE LibraryId = 2; "
                   "CREATE TABLE keptMaster AS SELECT * FROM MMMasterPool WHERE LibraryId = 2; "
                   "CREATE TABLE keptPaths AS SELECT * FROM MMMountPath WHERE LibraryId = 2; "
                   "CREATE TABLE keptLinks AS SELECT * FROM MMMountPathToStorageDevice WHERE MountPathId IN "
                   "(SELECT MountPathId FROM keptPaths)");
  ASSERT_TRUE(config->DeleteObject(diskLibrary(*config))) << config->GetLastError();
  db.execElsewhere("INSERT INTO MMLibrary SELECT * FROM keptLibrary; INSERT INTO MMMasterPool SELECT * FROM keptMaster; "
                   "INSERT INTO MMMountPath SELECT * FROM keptPaths; "
                   "INSERT INTO MMMountPathToStorageDevice SELECT * FROM keptLinks");
  expectNextInstanceAsNew(config, "part");
  ASSERT_NE(diskLibrary(*config), nullptr);
  EXPECT_EQ(diskLibrary(*config)->GetMountPathList().GetListCount(), 2);

  // A tape library's drive path the same way: the full lay-over.
  db.execElsewhere("CREATE TABLE keptDrivePath AS SELECT * FROM MMDrivePath WHERE DrivePathId = 1");
  ZQMACDms* path = elements(drive(*config, 1)->GetDmsList()).front();
  ASSERT_TRUE(config->DeleteObject(path)) << config->GetLastError();
  db.execElsewhere("INSERT INTO MMDrivePath SELECT * FROM keptDrivePath");
  expectNextInstanceAsNew(config, "every row");
}

// ---------------------------------------------------------------- changes in memory

TEST_F(HandOver, ChangesInMemoryNeverStoredDoNotReachTheNextInstance) {
  auto config = load();
  ZQMACMountPath* path = mountPath(*config, 1);
  ASSERT_NE(path, nullptr);
  path->SetUserName("only in memory");
  path->SetUserPassword("secret in memory");
  ZQMACLinkedList<ZQMACDiskVolume> volumes = config->FindDBNode<ZQMACDiskDevice>(2)->GetVolumeList();
  volumes.GetFirstNode()->SetVolume("/only/in/memory");
  config->FindDBNode<ZQMACDiskDevice>(1)->SetRemoteHostUserName("someone");
  expectNextInstanceAsNew(config, "part");
  EXPECT_EQ(ZQMACGraph::GetPassword(mountPath(*config, 1)), "");
  EXPECT_EQ(config->FindDBNode<ZQMACDiskDevice>(1)->GetRemoteHostUserName(), "");

  // Objects of the tape side, changed in memory, are made anew too.
  ZQMACGraph::SetName(drive(*config, 1), "only in memory");
  tapeLibrary(*config)->GetLibrary()->SetVendor("nobody");
  ZQMACGraph::SetDetected(config->FindDBNode<ZQMACMediaAgent>(1), true);
  expectNextInstanceAsNew(config, "every row");
  EXPECT_EQ(drive(*config, 1)->GetName(), "Drive1");
  EXPECT_FALSE(config->FindDBNode<ZQMACMediaAgent>(1)->IsDetected());

  // A last error left on an object is a change too.
  drive(*config, 2)->SetLastError(7, "left behind");
  expectNextInstanceAsNew(config, "every row");
  EXPECT_EQ(drive(*config, 2)->GetLastErrorCode(), 0u);
}

TEST_F(HandOver, ObjectsMadeInMemoryGoWithTheHandOver) {
  auto config = load();
  const std::size_t objects = config->GetObjectCount();
  ASSERT_NE(ZQMACGraph::AddCostCategory(*config, 70, "Gold"), nullptr);
  ASSERT_NE(ZQMACGraph::AddMountPath(diskLibrary(*config), nullptr, -1, "/never/stored"), nullptr);
  expectNextInstanceAsNew(config, "part");
  EXPECT_EQ(config->GetObjectCount(), objects);
}

TEST_F(HandOver, WithinAnInstanceAReReadLaysOnlyTheChangedRowsAndTheTouchedObjects) {
  auto config = load();
  ZQMACMountPath* path = mountPath(*config, 1);
  const unsigned long long handle = path->GetHandle();
  path->SetUserName("only in memory");
  db.execElsewhere("UPDATE MMMountPath SET MountPathName = '/mnt/renamed' WHERE MountPathId = 2");
  testkit::mac::journal().reset();
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  EXPECT_EQ(lastLay(), std::make_pair(std::string("own"), std::string("part")));
  EXPECT_EQ(config->FindObject(handle), path) << "a re-read keeps the object and its handle";
  EXPECT_EQ(path->GetUserName(), "") << "laid again from its row";
  EXPECT_EQ(mountPath(*config, 2)->GetName(), "/mnt/renamed");
  config->FindDBNode<ZQMACMediaAgent>(2)->SetShown(false);
  ASSERT_TRUE(config->ReadCurrentConfig(true));
  EXPECT_EQ(lastLay(), std::make_pair(std::string("own"), std::string("every row")));
  auto fresh = load();
  EXPECT_EQ(tktest::ModelDump::of(*config), tktest::ModelDump::of(*fresh));
}

// A disk library is found by the name it answers to (letter case aside) as
// a walk over every library finds it, whatever changed since the load: the
// index kept beside the rows names it by its row's values, and what
// changed in memory since is found in the list.
TEST_F(HandOver, ALibraryIsFoundByItsNameAsAWalkOverEveryLibraryFindsIt) {
  auto walk = [](ZQMACMediaConfig& config, const std::string& name) -> ZQMACMagLib* {
    auto fold = [](std::string text) {
      for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      return text;
    };
    for (ZQMACMagLib* m : elements(config.GetMagLibList()))
      if (fold(m->GetAliasName()) == fold(name)) return m;
    return nullptr;
  };
  std::unique_ptr<ZQMACMediaConfig> config = load();
  const struct {
    const char* what;
    std::function<void()> change;
    const char* name;   // looked for, and found
    const char* gone;   // looked for, and not found
  } steps[] = {
      {"as loaded", [] {}, "disklib1", "NoSuchLibrary"},
      {"renamed by its row, handed over", [&] {
         db.execElsewhere("UPDATE MMLibrary SET AliasName = 'Renamed' WHERE LibraryId = 2");
         expectNextInstanceAsNew(config, "part");
       }, "RENAMED", "DiskLib1"},
      {"its alias emptied: it answers to its name", [&] {
         db.execElsewhere("UPDATE MMLibrary SET AliasName = '' WHERE LibraryId = 2");
         expectNextInstanceAsNew(config, "part");
       }, "DiskLib1", "Renamed"},
      {"renamed through the model, in the same instance", [&] {
         ASSERT_TRUE(diskLibrary(*config)->SetAliasName("Second")) << diskLibrary(*config)->GetLastError();
       }, "second", "DiskLib1"},
      {"made through the model, in the same instance", [&] {
         auto library = std::make_unique<ZQMACMagLib>();
         library->SetMediaConfig(config.get());
         library->SetMediaAgent(config->FindDBNode<ZQMACMediaAgent>(1));
         library->SetAliasName("Made");
         ASSERT_TRUE(library->Configure(false)) << library->GetLastError();
         library.release();  // the instance owns it
       }, "made", "Third"},
      {"both handed over: laid again in part", [&] { expectNextInstanceAsNew(config, "part"); }, "MADE", "DiskLib1"},
      {"the one made deconfigured by its name, letter case aside", [&] {
         ASSERT_TRUE(config->DeconfigureLibrary("", "MADE")) << config->GetLastError();
       }, "Second", "Made"},
      {"handed over", [&] { expectNextInstanceAsNew(config, "part"); }, "second", "Made"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    if (HasFatalFailure()) return;
    ZQMACMagLib* found = tkmac::findMagLibAnswering(*config, step.name);
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(found, walk(*config, step.name));
    EXPECT_EQ(tkmac::findMagLibAnswering(*config, step.gone), nullptr);
  }
  // A library freed by its instance leaves no mount path naming it, also
  // one that is in memory only.
  ZQMACMountPath* loose = ZQMACGraph::AddMountPath(diskLibrary(*config), nullptr, -1, "/never/stored");
  ASSERT_NE(loose, nullptr);
  const std::vector<ZQMACMountPath*> paths = elements(diskLibrary(*config)->GetMountPathList());
  ASSERT_EQ(paths.size(), 3u);
  delete diskLibrary(*config);
  for (ZQMACMountPath* path : paths) EXPECT_EQ(path->GetMagLib(), nullptr) << path->GetName();
}

// ---------------------------------------------------------------- what is not handed over

TEST_F(HandOver, AnInstanceWideOperationKeepsItsGraphToItself) {
  auto config = load();
  EXPECT_FALSE(config->DragNDrop(0, 0, 1));
  config.reset();
  testkit::mac::journal().reset();
  config = load();
  EXPECT_EQ(lastLay(), std::make_pair(std::string("own"), std::string("every row")));
}

TEST_F(HandOver, AnObjectFreedWhileItsRowStaysKeepsTheGraphToItself) {
  auto config = load();
  delete mountPath(*config, 1);  // its row is still stored
  config.reset();
  testkit::mac::journal().reset();
  config = load();
  EXPECT_EQ(lastLay(), std::make_pair(std::string("own"), std::string("every row")));
  EXPECT_NE(mountPath(*config, 1), nullptr);
}

TEST_F(HandOver, HandlesGivenBeforeTheHandOverResolveNowhere) {
  auto config = load();
  const unsigned long long handle = drive(*config, 1)->GetHandle();
  const ZQMACDrive* before = drive(*config, 1);
  config.reset();
  config = load();
  EXPECT_EQ(drive(*config, 1), before) << "the graph was handed over";
  EXPECT_EQ(config->FindObject(handle), nullptr);
  const unsigned long long again = drive(*config, 1)->GetHandle();
  EXPECT_NE(again, handle);
  EXPECT_EQ(config->FindObject(again), drive(*config, 1));
}

TEST_F(HandOver, OnlyOneInstanceHoldsAGraphAndASecondBuildsItsOwn) {
  auto first = load();
  first.reset();
  testkit::mac::journal().reset();
  auto one = load();
  auto two = load();
  const auto calls = testkit::mac::journal().calls("LayStored");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args.at(0), "taken over");
  EXPECT_EQ(calls[1].args.at(0), "own");
  EXPECT_EQ(tktest::ModelDump::of(*one), tktest::ModelDump::of(*two));
  // Both freed: one graph stays parked, the other is freed (the sanitizers
  // see to it that neither leaks nor is freed twice).
  one.reset();
  two.reset();
  auto three = load();
  EXPECT_EQ(lastLay().first, "taken over");
}

}  // namespace
}  // namespace modeldb
