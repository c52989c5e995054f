// Loading the object model from the central database: the graph the tables
// make, re-reads that keep every stored object with its handle, texts cut
// to their columns, unusable rows, and the demonstration seeding.
#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

using Load = ModelDatabase;

// ---------------------------------------------------------------- the graph

TEST_F(Load, TheDemoTablesBecomeTheGraphWithItsLinks) {
  auto config = load();
  auto agents = elements(config->GetMediaAgentList());
  ASSERT_EQ(agents.size(), 2u);
  EXPECT_EQ(agents[0]->GetName(), "ma1");
  EXPECT_EQ(agents[0]->GetId(), 1u);
  EXPECT_EQ(agents[0]->GetNetHostName(), "ma1.example.net");
  EXPECT_EQ(agents[0]->GetOSId(), 2);
  EXPECT_TRUE(agents[0]->IsShown());
  EXPECT_EQ(config->FindDBNode<ZQMACMediaAgent>(2), agents[1]);
  EXPECT_EQ(config->FindDBNode("ma2"), agents[1]);

  ZQMACLms* lms = tapeLibrary(*config);
  ASSERT_NE(lms, nullptr);
  EXPECT_EQ(lms->GetName(), "TapeLib1");
  EXPECT_EQ(lms->GetId(), 1u);
  EXPECT_TRUE(lms->TestStateA());
  ASSERT_NE(lms->GetLibrary(), nullptr);
  EXPECT_EQ(lms->GetLibrary()->GetType(), 1);
  EXPECT_EQ(lms->GetLibrary()->GetDriveCount(), 2);
  EXPECT_EQ(lms->GetLibrary()->GetBaseAddress(), 1);
  EXPECT_TRUE(lms->GetLibrary()->GetBarCodeReader());
  EXPECT_EQ(lms->GetLibrary()->GetLms(), lms);

  auto controllers = elements(lms->GetLibControllerList());
  ASSERT_EQ(controllers.size(), 1u);
  EXPECT_EQ(controllers[0]->GetName(), "/dev/sg1");
  EXPECT_EQ(controllers[0]->GetMediaAgent(), agents[0]);
  EXPECT_EQ(controllers[0]->GetLibrary(), lms->GetLibrary());
  EXPECT_EQ(elements(agents[0]->GetLibControllerList()), controllers);

  auto masters = elements(lms->GetMasterDrivePoolList());
  ASSERT_EQ(masters.size(), 1u) << "the disk library's master pool is not a drive pool's";
  auto pools = elements(lms->GetDrivePoolList());
  ASSERT_EQ(pools.size(), 2u);
  EXPECT_EQ(elements(masters[0]->GetDrivePoolList()), pools);
  EXPECT_EQ(pools[0]->GetName(), "DrivePool(ma1)");
  EXPECT_EQ(pools[0]->GetMediaAgent(), agents[0]);
  EXPECT_EQ(pools[1]->GetMediaAgent(), agents[1]);
  EXPECT_EQ(pools[1]->GetMasterDrivePool(), masters[0]);

  auto drives = elements(lms->GetDriveList());
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[1]->GetName(), "Drive2");
  EXPECT_EQ(drives[1]->GetDriveNumber(), 2);
  EXPECT_EQ(drives[1]->GetDriveIdString(), "SN0002");
  auto paths = elements(drives[1]->GetDmsList());
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0]->GetId(), 3u);
  EXPECT_EQ(paths[0]->GetName(), "/dev/nst1");
  EXPECT_EQ(paths[0]->GetMediaAgent(), agents[0]);
  EXPECT_EQ(paths[0]->GetDrivePool(), pools[0]);
  EXPECT_EQ(paths[1]->GetDrivePool(), pools[1]);
  EXPECT_EQ(paths[1]->GetLms(), lms);
  EXPECT_EQ(elements(lms->GetDmsList()).size(), 4u);
  EXPECT_EQ(lms->CountDrives(false), 2u);
  EXPECT_EQ(masters[0]->CountDrives(false), 4u);

  ZQMACMagLib* disk = diskLibrary(*config);
  ASSERT_NE(disk, nullptr);
  EXPECT_EQ(disk->GetName(), "DiskLib1");
  EXPECT_EQ(disk->GetId(), 2u);
  EXPECT_EQ(disk->GetLowWatermark(), 1024);
  EXPECT_EQ(disk->GetMediaAgent(), agents[0]);
  EXPECT_EQ(disk->GetMediaConfig(), config.get());
  auto mountPaths = elements(disk->GetMountPathList());
  ASSERT_EQ(mountPaths.size(), 2u);
  EXPECT_EQ(mountPaths[1]->GetName(), "/srv/disklib1/mp2");
  EXPECT_EQ(mountPaths[1]->GetMediaAgent(), agents[1]);
  EXPECT_EQ(mountPaths[1]->GetForeignAgantId(), 2);
  EXPECT_EQ(mountPaths[1]->GetMountPathType(), 1);
  EXPECT_EQ(config->FindDBNode<ZQMACMountPath>(2), mountPaths[1]);

  auto devices = elements(config->GetDiskDeviceList());
  ASSERT_EQ(devices.size(), 2u);
  auto volumes = elements(devices[0]->GetVolumeList());
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0]->GetVolume(), "/srv/disklib1/mp1");
  EXPECT_EQ(volumes[0]->GetMediaAgent(), agents[0]);
  EXPECT_EQ(volumes[0]->GetDiskDevice(), devices[0]);

  // 20 objects, plus the library part and controller group of the tape library.
  EXPECT_EQ(config->GetObjectCount(), static_cast<size_t>(kDemoObjects) + 2);
  EXPECT_EQ(reachable(*config).size(), 53u);
}

TEST_F(Load, HiddenAttributesAndDisabledRowsAreLoadedAsSuch) {
  ASSERT_EQ(0, db.exec("UPDATE MMHost SET Attribute = 8192 + 1 WHERE ClientId = 2"));
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET LibraryEnabled = 0 WHERE LibraryId = 2"));
  ASSERT_EQ(0, db.exec("INSERT INTO MMObjectSetting (Kind, ObjectId, Name, Value) VALUES (1, 2, 'Shown', '0')"));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET DriveEnabled = 0 WHERE DriveId = 1"));
  auto config = load();
  ZQMACMediaAgent* ma2 = config->FindDBNode<ZQMACMediaAgent>(2);
  ASSERT_NE(ma2, nullptr);
  EXPECT_FALSE(ma2->IsShown());
  EXPECT_EQ(ma2->GetAttribute(), 8193);
  EXPECT_FALSE(diskLibrary(*config)->IsShown());
  EXPECT_FALSE(diskLibrary(*config)->TestStateA());
  EXPECT_TRUE(tapeLibrary(*config)->IsShown());
  EXPECT_FALSE(drive(*config, 1)->TestStateA());
  EXPECT_TRUE(drive(*config, 2)->TestStateA());
}

TEST_F(Load, HandlesOfTheWrongTypeAreUnknownHandles) {
  auto config = load();
  const unsigned long long lms = tapeLibrary(*config)->GetHandle();
  const unsigned long long disk = diskLibrary(*config)->GetHandle();
  EXPECT_EQ(config->FindObject<ZQMACMagLib>(lms), nullptr);
  EXPECT_EQ(config->FindObject<ZQMACLms>(disk), nullptr);
  EXPECT_EQ(config->FindObject(lms, ZQMAC_OBJ_MAGLIB), nullptr);
  EXPECT_EQ(config->FindObject<ZQMACDrive>(drive(*config, 1)->GetDmsList().GetFirstNode()->GetHandle()), nullptr);
  EXPECT_EQ(config->FindObject<ZQMACLms>(tapeLibrary(*config)->GetLibrary()->GetHandle()), nullptr)
      << "the library part is not the library-management object";
}

// A load of every row lays each object's own settings (MMObjectSetting) as
// it makes the object, a re-read in a pass of their own: both over the
// values its row gave it, and only on the object of the setting's kind and
// id.
TEST_F(Load, EveryLoadLaysEachObjectsSettingsOverWhatItsRowGave) {
  struct Row {
    const char* what;
    int kind;  // MMStoredKind
    int id;
    const char* name;
    const char* value;
    std::function<std::string(ZQMACMediaConfig&)> read;
    const char* expected;
  };
  auto controller = [](ZQMACMediaConfig& c) { return elements(tapeLibrary(c)->GetLibControllerList()).at(0); };
  auto path = [](ZQMACMediaConfig& c, int id) -> ZQMACDms* {
    for (ZQMACDms* p : elements(tapeLibrary(c)->GetDmsList()))
      if (static_cast<int>(p->GetId()) == id) return p;
    return nullptr;
  };
  auto device = [](ZQMACMediaConfig& c, int id) -> ZQMACDiskDevice* {
    for (ZQMACDiskDevice* d : elements(c.GetDiskDeviceList()))
      if (static_cast<int>(d->GetId()) == id) return d;
    return nullptr;
  };
  const Row rows[] = {
      {"a controller's server host over its agent's", 2, 1, "ServerHost", "ls1.example.net",
       [&](ZQMACMediaConfig& c) { return controller(c)->GetServerHostName(); }, "ls1.example.net"},
      {"a drive's drive id over its serial number", 5, 2, "DriveIdString", "ID-0002",
       [](ZQMACMediaConfig& c) { return drive(c, 2)->GetDriveIdString(); }, "ID-0002"},
      {"a drive path's server host over its agent's", 6, 3, "ServerHost", "moved.example.net",
       [&](ZQMACMediaConfig& c) { return path(c, 3)->GetServerHostName(); }, "moved.example.net"},
      {"the path beside it keeps its agent's", 6, 3, "ServerHost", "moved.example.net",
       [&](ZQMACMediaConfig& c) { return path(c, 4)->GetServerHostName(); }, "ma2.example.net"},
      {"a tape library's door lock", 1, 1, "DoorLock", "1",
       [](ZQMACMediaConfig& c) { return std::to_string(tapeLibrary(c)->GetDoorLockFlag()); }, "1"},
      {"a disk device's remote volume", 8, 2, "RemoteHostVolume", "/export/v2",
       [&](ZQMACMediaConfig& c) { return device(c, 2)->GetRemoteHostVolume(); }, "/export/v2"},
      {"a disk volume's vault lock", 9, 1, "VaultLock", "7",
       [&](ZQMACMediaConfig& c) { return std::to_string(elements(device(c, 1)->GetVolumeList()).at(0)->GetVaultLock()); },
       "7"},
      {"a setting of a drive that is not stored", 5, 99, "DriveIdString", "ID-0099",
       [](ZQMACMediaConfig& c) { return drive(c, 1)->GetDriveIdString() + "," + drive(c, 2)->GetDriveIdString(); },
       "SN0001,SN0002"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(0, db.exec("DELETE FROM \"MMObjectSetting\""));
    auto reread = load();
    ASSERT_EQ(0, db.exec("INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES (?, ?, ?, ?)",
                         {row.kind, row.id, row.name, row.value}));
    ASSERT_TRUE(reread->ReadCurrentConfig(false)) << reread->GetLastError();
    EXPECT_EQ(row.read(*reread), row.expected) << "a re-read";
    // A load of every row: nothing read before, no graph parked to take over.
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    auto whole = load();
    EXPECT_EQ(row.read(*whole), row.expected) << "a load of every row";
  }
}

// ---------------------------------------------------------------- re-reads

TEST_F(Load, AReReadKeepsEveryStoredObjectWithItsHandleAndRefreshesItsFields) {
  auto config = load();
  std::vector<ZQMACInterface*> before = reachable(*config);
  std::sort(before.begin(), before.end());
  before.erase(std::unique(before.begin(), before.end()), before.end());
  std::vector<unsigned long long> handles;
  for (ZQMACInterface* object : before) handles.push_back(object->GetHandle());
  ZQMACDrive* drive1 = drive(*config, 1);
  const unsigned long long drive1Handle = drive1->GetHandle();

  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET AliasName = 'Drive One', DriveNumber = 7 WHERE DriveId = 1"));
  ASSERT_EQ(0, db.exec("UPDATE MMDrivePool SET ClientId = 1 WHERE DrivePoolId = 2"));
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET AliasName = 'Disks' WHERE LibraryId = 2"));

  for (bool refresh : {true, false}) {
    SCOPED_TRACE(refresh ? "ReadCurrentConfig(true)" : "ReadCurrentConfig(false)");
    ASSERT_TRUE(config->ReadCurrentConfig(refresh)) << config->GetLastError();
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_TRUE(config->OwnsObject(before[i]));
      EXPECT_EQ(before[i]->GetHandle(), handles[i]);
      EXPECT_EQ(config->FindObject(handles[i]), before[i]);
    }
    EXPECT_EQ(drive(*config, 1), drive1);
    EXPECT_EQ(config->FindObject(drive1Handle), drive1);
    EXPECT_EQ(drive1->GetName(), "Drive One");
    EXPECT_EQ(drive1->GetDriveNumber(), 7);
    EXPECT_EQ(diskLibrary(*config)->GetName(), "Disks");
    auto pools = elements(tapeLibrary(*config)->GetDrivePoolList());
    ASSERT_EQ(pools.size(), 2u);
    EXPECT_EQ(pools[1]->GetMediaAgent(), config->FindDBNode<ZQMACMediaAgent>(1)) << "links are refreshed too";
    EXPECT_EQ(config->GetObjectCount(), static_cast<size_t>(kDemoObjects) + 2);
    EXPECT_EQ(reachable(*config).size(), 53u) << "no list holds an object twice";
  }
}

TEST_F(Load, AReReadFreesOnlyWhatLeftTheDatabaseAndUnlinksItEverywhere) {
  auto config = load();
  ZQMACLms* lms = tapeLibrary(*config);
  ZQMACMediaAgent* ma2 = config->FindDBNode<ZQMACMediaAgent>(2);
  ZQMACDms* gonePath = elements(drive(*config, 2)->GetDmsList())[1];  // path 4: drive 2 via ma2
  const unsigned long long pathHandle = gonePath->GetHandle();
  const unsigned long long drive2Handle = drive(*config, 2)->GetHandle();
  ZQMACMountPath* keptMountPath = config->FindDBNode<ZQMACMountPath>(1);

  ASSERT_EQ(0, db.exec("DELETE FROM MMDrivePath WHERE DrivePathId = 4"));
  ASSERT_EQ(0, db.exec("INSERT INTO MMDrive (DriveId, AliasName, MasterPoolId, DriveNumber) VALUES (9, 'Drive9', 1, 9)"));
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();

  EXPECT_EQ(config->FindObject(pathHandle), nullptr);
  EXPECT_EQ(config->FindObject(drive2Handle), drive(*config, 2));
  EXPECT_EQ(elements(ma2->GetDmsList()).size(), 1u);
  EXPECT_EQ(elements(lms->GetDmsList()).size(), 3u);
  EXPECT_EQ(elements(drive(*config, 2)->GetDmsList()).size(), 1u);
  ZQMACDrive* added = drive(*config, 9);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetName(), "Drive9");
  EXPECT_GT(added->GetHandle(), drive2Handle) << "a new object gets a new handle";
  EXPECT_EQ(config->FindDBNode<ZQMACMountPath>(1), keptMountPath);

  // The whole tape library leaves: its parts, pools, drives and paths go,
  // the media agents stay and no longer list them.
  const unsigned long long lmsHandle = lms->GetHandle();
  const unsigned long long partHandle = lms->GetLibrary()->GetHandle();
  const unsigned long long controllerHandle = lms->GetLibControllerList().GetFirstNode()->GetHandle();
  ASSERT_EQ(0, db.exec("DELETE FROM MMDrivePath"));
  ASSERT_EQ(0, db.exec("DELETE FROM MMDrive"));
  ASSERT_EQ(0, db.exec("DELETE FROM MMDrivePool"));
  ASSERT_EQ(0, db.exec("DELETE FROM MMLibraryController"));
  ASSERT_EQ(0, db.exec("DELETE FROM MMLibrary WHERE LibraryId = 1"));
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  EXPECT_EQ(config->FindObject(lmsHandle), nullptr);
  EXPECT_EQ(config->FindObject(partHandle), nullptr);
  EXPECT_EQ(config->FindObject(controllerHandle), nullptr);
  EXPECT_TRUE(config->GetLmsList().GetListCount() == 0);
  EXPECT_EQ(elements(ma2->GetLibControllerList()).size(), 0u);
  EXPECT_EQ(elements(ma2->GetDmsList()).size(), 0u);
  EXPECT_EQ(config->FindDBNode<ZQMACMediaAgent>(2), ma2);
  reachable(*config);
}

TEST_F(Load, ObjectsOfKindsTheDatabaseDoesNotHoldStayAndForgetWhatLeft) {
  auto config = load();
  ZQMACMediaAgent* ma2 = config->FindDBNode<ZQMACMediaAgent>(2);
  ZQMACNode* category = ZQMACGraph::AddCostCategory(*config, 43, "Tier1");
  ASSERT_NE(category, nullptr);
  // A stored copy manager of ma2: its controller outlives the agent.
  ASSERT_EQ(0, db.exec("INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, ConcurrencyLimit, ClientId, "
                       "ControllerName) VALUES (43, 'CopyMgr1', 2, 2, 'CopyMgr1 on ma2')"));
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  ZQMACCopyMgrDevice* device = config->GetCopyMgrDeviceList().GetFirstNode();
  ZQMACCopyMgrController* controller = config->GetCopyMgrControllerList().GetFirstNode();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->GetMediaAgent(), ma2);
  ASSERT_EQ(0, db.exec("DELETE FROM MMHost WHERE ClientId = 2"));
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  EXPECT_EQ(config->FindDBNode<ZQMACMediaAgent>(2), nullptr);
  EXPECT_TRUE(config->OwnsObject(category)) << "a kind the database does not hold stays";
  EXPECT_TRUE(config->OwnsObject(controller));
  EXPECT_EQ(controller->GetMediaAgent(), nullptr) << "the agent that left is forgotten";
  EXPECT_EQ(controller->GetCopyMgrDevice(), device);
  EXPECT_EQ(elements(config->GetCopyMgrControllerList()).size(), 1u);
  EXPECT_EQ(tapeLibrary(*config)->GetDrivePoolList()[1]->GetMediaAgent(), nullptr)
      << "a pool of an agent without a host row has no agent";
  reachable(*config);
}

TEST_F(Load, ObjectsTheInstanceMadeButNeverStoredGoAtTheNextReRead) {
  auto config = load();
  ZQMACMediaAgent* unstored = ZQMACGraph::AddMediaAgent(*config, -1, "scratch", "scratch");
  ASSERT_NE(unstored, nullptr);
  const unsigned long long handle = unstored->GetHandle();
  EXPECT_FALSE(unstored->SetName("renamed")) << "a change the database cannot take is refused";
  EXPECT_EQ(unstored->GetLastErrorCode(), tkmac::kErrorNotStored);
  ASSERT_TRUE(config->ReadCurrentConfig(true));
  EXPECT_EQ(config->FindObject(handle), nullptr);
  EXPECT_EQ(elements(config->GetMediaAgentList()).size(), 2u);
}

TEST_F(Load, AFailedReadLeavesTheGraphAsItWas) {
  auto config = load();
  ZQMACDrive* drive1 = drive(*config, 1);
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET DriveNumber = 'not a number' WHERE DriveId = 2"));
  EXPECT_FALSE(config->ReadCurrentConfig(true));
  EXPECT_EQ(config->GetLastErrorCode(), tkmac::kErrorDatabase);
  EXPECT_NE(config->GetLastError().find("MMDrive"), std::string::npos) << config->GetLastError();
  EXPECT_EQ(drive(*config, 1), drive1);
  EXPECT_EQ(reachable(*config).size(), 53u);

  ZQMACMediaConfig other;
  ASSERT_TRUE(other.Initialize("cs01"));
  EXPECT_FALSE(other.ReadCurrentConfig(false));
  EXPECT_EQ(other.GetObjectCount(), 0u);
}

TEST_F(Load, ALoadTakesNoHandlesUntilOneIsAskedFor) {
  const uint32_t next = tkmac::peekNextHandle();
  auto config = load();
  ASSERT_TRUE(config->ReadCurrentConfig(true));
  EXPECT_EQ(tkmac::peekNextHandle(), next);
  ASSERT_EQ(0, db.exec("INSERT INTO MMDrive (DriveId, AliasName, MasterPoolId) VALUES (9, 'Drive9', 1)"));
  ASSERT_TRUE(config->ReadCurrentConfig(true));
  EXPECT_EQ(tkmac::peekNextHandle(), next) << "the new drive too has none until asked";
  EXPECT_EQ(drive(*config, 9)->GetHandle(), next);
  EXPECT_EQ(tkmac::peekNextHandle(), next + 1);
}

TEST_F(Load, ALoadWithNoHandleLeftStillSucceeds) {
  auto config = load();
  ZQMACDrive* drive1 = drive(*config, 1);
  ASSERT_EQ(0, db.exec("INSERT INTO MMDrive (DriveId, AliasName, MasterPoolId) VALUES (9, 'Drive9', 1), "
                       "(10, 'Drive10', 1)"));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET AliasName = 'changed' WHERE DriveId = 1"));
  testkit::mac::ScopedHandleCounter counter(0xFFFFFFFFu);  // one handle left
  ASSERT_TRUE(config->ReadCurrentConfig(true)) << config->GetLastError();
  EXPECT_EQ(drive(*config, 1), drive1);
  EXPECT_EQ(drive1->GetName(), "changed");
  EXPECT_EQ(reachable(*config).size(), 55u);
  EXPECT_EQ(drive(*config, 9)->GetHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(drive(*config, 10)->GetHandle(), 0u) << "none is left to give";
  EXPECT_EQ(drive(*config, 9)->GetHandle(), 0xFFFFFFFFu) << "a given handle stays";
  EXPECT_EQ(config->FindObject(0xFFFFFFFFu), drive(*config, 9));
}

// ---------------------------------------------------------------- texts

TEST_F(Load, TextsFromTheDatabaseAreCutToTheirColumns) {
  const std::string longName(600, 'a');
  // 511 ASCII bytes, then a two-byte character that would end past 512.
  std::string wideName(511, 'b');
  wideName += "\xC3\xA9" "tail";
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET AliasName = ? WHERE LibraryId = 1", {longName}));
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET AliasName = ? WHERE LibraryId = 2", {wideName}));
  ASSERT_EQ(0, db.exec("UPDATE MMDrivePool SET DrivePoolName = ? WHERE DrivePoolId = 1", {longName}));
  ASSERT_EQ(0, db.exec("UPDATE APP_Client SET net_hostname = ? WHERE id = 1", {std::string(700, 'h')}));
  auto config = load();
  EXPECT_EQ(tapeLibrary(*config)->GetName(), std::string(512, 'a'));
  EXPECT_EQ(tapeLibrary(*config)->GetLibrary()->GetName(), std::string(512, 'a'));
  EXPECT_EQ(diskLibrary(*config)->GetName(), std::string(511, 'b')) << "never half a character";
  EXPECT_EQ(elements(tapeLibrary(*config)->GetDrivePoolList())[0]->GetName(), std::string(256, 'a'));
  EXPECT_EQ(config->FindDBNode<ZQMACMediaAgent>(1)->GetNetHostName(), std::string(512, 'h'));
}

// A text cell that holds NULL reads as the empty text, one that holds a
// number as its decimal text, each into its own field only.
TEST_F(Load, NullAndNumberTextsReadAsEmptyAndAsTheirDigits) {
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET AliasName = NULL, DriveName = 4711, DriveVendor = NULL WHERE DriveId = 1"));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET AliasName = 815, DriveVendor = 'V2' WHERE DriveId = 2"));
  auto config = load();
  ZQMACDrive* first = drive(*config, 1);
  ZQMACDrive* second = drive(*config, 2);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->GetName(), "4711");
  EXPECT_EQ(first->GetAliasName(), "");
  EXPECT_EQ(first->GetVendor(), "");
  EXPECT_EQ(second->GetName(), "815");
  EXPECT_EQ(second->GetAliasName(), "815");
  EXPECT_EQ(second->GetVendor(), "V2") << "a NULL of one row leaves the next row's text alone";
}

// A library or drive without an alias goes by its own name, read only for
// such a row: the next row, with an alias, goes by its alias.
TEST_F(Load, WithoutAnAliasALibraryOrDriveGoesByItsOwnName) {
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET AliasName = '', LibraryName = 'OwnName' WHERE LibraryId = 1"));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET AliasName = '', DriveName = 'own1' WHERE DriveId = 1"));
  ASSERT_EQ(0, db.exec("UPDATE MMDrive SET AliasName = 'alias2', DriveName = 'own2' WHERE DriveId = 2"));
  auto config = load();
  EXPECT_EQ(tapeLibrary(*config)->GetName(), "OwnName");
  EXPECT_EQ(tapeLibrary(*config)->GetLibrary()->GetAliasName(), "");
  ASSERT_NE(drive(*config, 1), nullptr);
  ASSERT_NE(drive(*config, 2), nullptr);
  EXPECT_EQ(drive(*config, 1)->GetName(), "own1");
  EXPECT_EQ(drive(*config, 2)->GetName(), "alias2");
}

// The description of an NDMP pool (the NDMP server it reaches) is a text of
// any length: it is read whole, not cut to the width of the pool's name.
TEST_F(Load, AnNdmpPoolsServerIsReadWholeWhateverTheWidthOfItsName) {
  std::string server(300, 's');
  server += ".example.net";
  ASSERT_EQ(0, db.exec("UPDATE MMDrivePool SET DrivePoolType = 3, Descript = ? WHERE DrivePoolId = 1", {server}));
  auto config = load();
  const auto pools = elements(tapeLibrary(*config)->GetDrivePoolList());
  ASSERT_FALSE(pools.empty());
  ASSERT_TRUE(pools[0]->IsNdmp());
  EXPECT_EQ(pools[0]->GetProxyClientHost(), server);
}

// ---------------------------------------------------------------- seeding

TEST_F(Load, SeedingFillsOnlyAnEmptyDatabaseAndSaysWhatItMade) {
  std::string report;
  EXPECT_EQ(tkmac::seedDemoInstallation(report), 0);
  EXPECT_NE(report.find("nothing was seeded"), std::string::npos) << report;
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMLibrary"), 2);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMHost"), 2);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath"), 4);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE LibraryId = 2"), 2);
}

TEST(Seeding, AFailedSeedingStoresNothing) {
  tktest::TestDatabase db;
  testkit::mmdb::reset();
  ASSERT_EQ(0, db.exec("CREATE TRIGGER no_paths BEFORE INSERT ON MMMountPath BEGIN SELECT RAISE(ABORT, 'full'); END"));
  std::string report;
  EXPECT_EQ(tkmac::seedDemoInstallation(report), -1);
  EXPECT_NE(report.find("could not be stored"), std::string::npos) << report;
  for (const char* table : {"APP_Client", "MMHost", "MMLibrary", "MMDrive", "MMDrivePath", "MMDevice"})
    EXPECT_EQ(db.scalar(std::string("SELECT COUNT(*) FROM ") + table), 0) << table;
  testkit::mmdb::stop();
}

}  // namespace
}  // namespace modeldb
