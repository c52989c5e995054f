// Writing the object model back: renames, Configure and Deconfigure with
// the settings the setters staged, and deletions reach the tables through
// the table access, all or nothing, and the next session loads them as the
// first one left them.
#include <functional>
#include <string>

#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

using WriteBack = ModelDatabase;

// ---------------------------------------------------------------- renames

TEST_F(WriteBack, ARenameOfEveryKindIsStoredAndReloadsIdentically) {
  struct Case {
    const char* what;
    std::function<ZQMACInterface*(ZQMACMediaConfig&)> find;
    const char* check;  // the stored name, by id 1 or 2
  };
  const Case cases[] = {
      {"tape library", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return tapeLibrary(c); },
       "SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"},
      {"disk library", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return diskLibrary(c); },
       "SELECT AliasName FROM MMLibrary WHERE LibraryId = 2"},
      {"media agent", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return c.FindDBNode<ZQMACMediaAgent>(2); },
       "SELECT name FROM APP_Client WHERE id = 2"},
      {"controller",
       [](ZQMACMediaConfig& c) -> ZQMACInterface* { return tapeLibrary(c)->GetLibControllerList().GetFirstNode(); },
       "SELECT ControllerName FROM MMLibraryController WHERE LibraryControllerId = 1"},
      {"master pool",
       [](ZQMACMediaConfig& c) -> ZQMACInterface* { return tapeLibrary(c)->GetMasterDrivePoolList().GetFirstNode(); },
       "SELECT MasterPoolName FROM MMMasterPool WHERE MasterPoolId = 1"},
      {"drive pool",
       [](ZQMACMediaConfig& c) -> ZQMACInterface* { return tapeLibrary(c)->GetDrivePoolList()[1]; },
       "SELECT DrivePoolName FROM MMDrivePool WHERE DrivePoolId = 2"},
      {"drive", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return drive(c, 2); },
       "SELECT AliasName FROM MMDrive WHERE DriveId = 2"},
      {"drive path", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return drive(c, 1)->GetDmsList()[0]; },
       "SELECT PathName FROM MMDrivePath WHERE DrivePathId = 1"},
      {"mount path", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return c.FindDBNode<ZQMACMountPath>(2); },
       "SELECT MountPathName FROM MMMountPath WHERE MountPathId = 2"},
      {"disk device", [](ZQMACMediaConfig& c) -> ZQMACInterface* { return c.FindDBNode<ZQMACDiskDevice>(1); },
       "SELECT AliasName FROM MMDevice WHERE DeviceId = 1"},
  };
  auto config = load();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ZQMACInterface* object = c.find(*config);
    ASSERT_NE(object, nullptr);
    const unsigned long long handle = object->GetHandle();
    const std::string name = std::string("renamed ") + c.what;
    ASSERT_TRUE(object->SetName(name)) << object->GetLastError();
    EXPECT_EQ(object->GetName(), name);
    EXPECT_EQ(db.text(c.check), name) << "the row carries the new name";
    auto reloaded = load();
    ZQMACInterface* again = c.find(*reloaded);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetName(), name);
    EXPECT_EQ(again->GetId(), object->GetId());
    ASSERT_TRUE(config->ReadCurrentConfig(true));
    EXPECT_EQ(config->FindObject(handle), object) << "the renaming session keeps its handle";
    EXPECT_EQ(object->GetName(), name);
  }
  EXPECT_EQ(tapeLibrary(*config)->GetLibrary()->GetName(), "renamed tape library")
      << "the library part carries the library's name";
}

TEST_F(WriteBack, ARefusedRenameLeavesTheObjectAndTheRowsAsTheyWere) {
  auto config = load();
  ZQMACMagLib* disk = diskLibrary(*config);
  ZQMACMountPath* mountPath = config->FindDBNode<ZQMACMountPath>(2);
  // A library stored without an alias (as a controller's new library is)
  // answers to its name.
  ASSERT_EQ(db.exec("INSERT INTO MMLibrary (LibraryName, AliasName, LibraryTypeId) VALUES ('Unaliased Lib', '', 1)"),
            0);
  struct Case {
    const char* what;
    ZQMACInterface* object;
    std::string name;
    const char* check;
    const char* expectedText;  // part of the last error
    unsigned int code;         // the model's code for the table access's refusal
  };
  const Case cases[] = {
      {"duplicate library name", disk, "TapeLib1", "SELECT AliasName FROM MMLibrary WHERE LibraryId = 2",
       "The name [TapeLib1] is already used by another library.", tkmac::kErrorNameInUse},
      {"another library's alias in other letter case", disk, "tAPElIB1",
       "SELECT AliasName FROM MMLibrary WHERE LibraryId = 2",
       "The name [tAPElIB1] is already used by another library.", tkmac::kErrorNameInUse},
      {"the name of a library without an alias", disk, "unaliased lib",
       "SELECT AliasName FROM MMLibrary WHERE LibraryId = 2",
       "The name [unaliased lib] is already used by another library.", tkmac::kErrorNameInUse},
      {"library name past its column", disk, std::string(513, 'x'), "SELECT AliasName FROM MMLibrary WHERE LibraryId = 2",
       "longer than 512", tkmac::kErrorInvalidValue},
      {"duplicate mount path in its library", mountPath, "/srv/disklib1/mp1",
       "SELECT MountPathName FROM MMMountPath WHERE MountPathId = 2", "already named", tkmac::kErrorNameInUse},
      {"duplicate media agent", config->FindDBNode<ZQMACMediaAgent>(1), "ma2", "SELECT name FROM APP_Client WHERE id = 1",
       "already named", tkmac::kErrorNameInUse},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = c.object->GetName();
    const std::string stored = db.text(c.check);
    EXPECT_FALSE(c.object->SetName(c.name));
    EXPECT_EQ(c.object->GetName(), before);
    EXPECT_EQ(db.text(c.check), stored);
    EXPECT_NE(c.object->GetLastError().find(c.expectedText), std::string::npos) << c.object->GetLastError();
    EXPECT_EQ(c.object->GetLastErrorCode(), c.code);
  }

  // A database failure in the middle of the change.
  testkit::mmdb::reset();
  testkit::mmdb::failNext("MMMediaConfigDB::storeObject", MMS2_ERROR_DATABASE, "disk I/O error", 205);
  EXPECT_FALSE(disk->SetName("Elsewhere"));
  EXPECT_EQ(disk->GetName(), "DiskLib1");
  EXPECT_EQ(disk->GetLastError(), "disk I/O error");
  EXPECT_EQ(db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 2"), "DiskLib1");

  // A row another session removed: nothing is written, the object says so.
  ASSERT_EQ(0, db.exec("DELETE FROM MMDrivePath WHERE DrivePathId = 1"));
  ZQMACDms* path = drive(*config, 1)->GetDmsList()[0];
  EXPECT_FALSE(path->SetName("/dev/nst9"));
  EXPECT_EQ(path->GetLastErrorCode(), tkmac::kErrorObjectGone);
  EXPECT_EQ(path->GetName(), "/dev/nst0");
}

// ---------------------------------------------------------------- Configure

TEST_F(WriteBack, ConfigureStoresWhatTheSettersStagedAndANewSessionLoadsIt) {
  auto config = load();
  ZQMACMountPath* mountPath = config->FindDBNode<ZQMACMountPath>(1);
  mountPath->SetUserName("backup-user");
  mountPath->SetUserPassword("encrypted-secret");
  ASSERT_TRUE(mountPath->Configure(0)) << mountPath->GetLastError();
  ZQMACDrivePool* pool = tapeLibrary(*config)->GetDrivePoolList()[0];
  pool->SetType(3);
  ASSERT_TRUE(pool->Configure(0)) << pool->GetLastError();
  ZQMACMediaAgent* ma2 = config->FindDBNode<ZQMACMediaAgent>(2);
  ma2->SetShown(false);
  ASSERT_TRUE(ma2->Configure(0)) << ma2->GetLastError();
  ZQMACDiskVolume* volume = config->FindDBNode<ZQMACDiskDevice>(2)->GetVolumeList()[0];
  volume->SetVolume("/srv/elsewhere");
  volume->SetDeviceAccessType(6);
  ASSERT_EQ(db.exec("INSERT INTO APP_Credentials (credentialId, credentialName) VALUES (17, 'nas')"), 0);
  volume->SetCredentialId(17);
  ASSERT_TRUE(volume->Configure(0)) << volume->GetLastError();
  ZQMACDrive* drive2 = drive(*config, 2);
  ASSERT_TRUE(drive2->Deconfigure(false)) << drive2->GetLastError();
  EXPECT_FALSE(drive2->TestStateA());

  EXPECT_EQ(db.text("SELECT UserName FROM MMMountPath WHERE MountPathId = 1"), "backup-user");
  EXPECT_EQ(db.text("SELECT UserPassword FROM MMMountPath WHERE MountPathId = 1"), "encrypted-secret");
  EXPECT_EQ(db.scalar("SELECT DrivePoolType FROM MMDrivePool WHERE DrivePoolId = 1"), 3);
  EXPECT_EQ(db.scalar("SELECT Attribute FROM MMHost WHERE ClientId = 2"), 0x2000);
  EXPECT_EQ(db.text("SELECT Folder FROM MMDeviceController WHERE DeviceControllerId = 2"), "/srv/elsewhere");
  EXPECT_EQ(db.scalar("SELECT DeviceAccessType FROM MMDeviceController WHERE DeviceControllerId = 2"), 6);
  EXPECT_EQ(db.scalar("SELECT DriveEnabled FROM MMDrive WHERE DriveId = 2"), 0);

  auto reloaded = load();
  EXPECT_EQ(reloaded->FindDBNode<ZQMACMountPath>(1)->GetUserName(), "backup-user");
  EXPECT_TRUE(tapeLibrary(*reloaded)->GetDrivePoolList()[0]->IsNdmp());
  EXPECT_FALSE(reloaded->FindDBNode<ZQMACMediaAgent>(2)->IsShown());
  ZQMACDiskVolume* again = reloaded->FindDBNode<ZQMACDiskDevice>(2)->GetVolumeList()[0];
  EXPECT_EQ(again->GetVolume(), "/srv/elsewhere");
  EXPECT_EQ(again->GetDeviceAccessType(), 6);
  EXPECT_EQ(again->GetCredentialId(), 17);
  EXPECT_FALSE(drive(*reloaded, 2)->TestStateA());
  EXPECT_TRUE(drive(*reloaded, 1)->TestStateA());

  ma2->SetShown(true);
  ASSERT_TRUE(ma2->Configure(0));
  EXPECT_EQ(db.scalar("SELECT Attribute FROM MMHost WHERE ClientId = 2"), 0);
}

TEST_F(WriteBack, ALibraryAndItsLibraryPartShareOneConfiguredStateAndRow) {
  auto config = load();
  ZQMACLms* lms = tapeLibrary(*config);
  ZQMACLibrary* library = lms->GetLibrary();
  ASSERT_TRUE(lms->Deconfigure(false)) << lms->GetLastError();
  EXPECT_FALSE(library->TestStateA());
  EXPECT_EQ(db.scalar("SELECT LibraryEnabled FROM MMLibrary WHERE LibraryId = 1"), 0);
  library->SetBarCodeReader(false);  // taken only while the library is not configured
  ASSERT_TRUE(library->Configure(0)) << library->GetLastError();
  EXPECT_TRUE(lms->TestStateA());
  EXPECT_EQ(db.scalar("SELECT LibraryEnabled FROM MMLibrary WHERE LibraryId = 1"), 1);
  EXPECT_EQ(db.scalar("SELECT BarCodeReaderPresent FROM MMLibrary WHERE LibraryId = 1"), 0);
  auto reloaded = load();
  EXPECT_TRUE(tapeLibrary(*reloaded)->TestStateA());
  EXPECT_FALSE(tapeLibrary(*reloaded)->GetLibrary()->GetBarCodeReader());
}

TEST_F(WriteBack, ALibrarysShownStateIsASettingOfItsOwnAndItsExtendedAttributesAreLeftAlone) {
  ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET ExtendedAttributes = 65 WHERE LibraryId IN (1, 2)"));
  const std::string shown = "SELECT Value FROM MMObjectSetting WHERE Kind = 1 AND Name = 'Shown' AND ObjectId = ?";
  auto config = load();
  ZQMACLms* tape = tapeLibrary(*config);
  ZQMACMagLib* disk = diskLibrary(*config);
  ZQMACGraph::SetShownFlag(tape->GetLibrary(), false);
  ZQMACGraph::SetShownFlag(disk, false);
  ASSERT_TRUE(tape->GetLibrary()->Configure(0)) << tape->GetLibrary()->GetLastError();
  ASSERT_TRUE(disk->Configure(0)) << disk->GetLastError();
  EXPECT_EQ(db.scalar("SELECT ExtendedAttributes FROM MMLibrary WHERE LibraryId = 1"), 65);
  EXPECT_EQ(db.scalar("SELECT ExtendedAttributes FROM MMLibrary WHERE LibraryId = 2"), 65);
  EXPECT_EQ(db.text(shown, {1}), "0");
  EXPECT_EQ(db.text(shown, {2}), "0");
  auto reloaded = load();
  EXPECT_FALSE(tapeLibrary(*reloaded)->IsShown());
  EXPECT_FALSE(tapeLibrary(*reloaded)->GetLibrary()->IsShown());
  EXPECT_FALSE(diskLibrary(*reloaded)->IsShown());

  // Shown again; a Deconfigure writes it too, a rename alone does not.
  ZQMACGraph::SetShownFlag(disk, true);
  ASSERT_TRUE(disk->Deconfigure(false)) << disk->GetLastError();
  EXPECT_EQ(db.text(shown, {2}), "1");
  ZQMACGraph::SetShownFlag(tape->GetLibrary(), true);
  ASSERT_TRUE(tape->GetLibrary()->SetName("TapeLibRenamed"));
  EXPECT_EQ(db.text(shown, {1}), "0");
  EXPECT_TRUE(diskLibrary(*load())->IsShown());
  EXPECT_EQ(db.scalar("SELECT ExtendedAttributes FROM MMLibrary WHERE LibraryId = 2"), 65);
}

TEST_F(WriteBack, ARefusedConfigureKeepsTheConfiguredState) {
  auto config = load();
  ZQMACDrive* drive1 = drive(*config, 1);
  ASSERT_TRUE(drive1->TestStateA());
  testkit::mmdb::reset();
  testkit::mmdb::failNext("MMMediaConfigDB::storeObject", MMS2_ERROR_DATABASE, "database is locked", 204);
  EXPECT_FALSE(drive1->Deconfigure(false));
  EXPECT_TRUE(drive1->TestStateA());
  EXPECT_EQ(drive1->GetLastError(), "database is locked");
  EXPECT_EQ(db.scalar("SELECT DriveEnabled FROM MMDrive WHERE DriveId = 1"), 1);
}

TEST_F(WriteBack, ChangesOfAnInstanceNotLoadedFromTheDatabaseStayInMemory) {
  ZQMACMediaConfig config;
  testkit::mac::World w = testkit::mac::seedWorld(config);
  ASSERT_TRUE(w.lms->SetName("Somewhere"));
  ASSERT_TRUE(w.drive1->Deconfigure(false));
  ASSERT_TRUE(config.DeleteObject(w.drive2));
  EXPECT_EQ(db.text("SELECT AliasName FROM MMLibrary WHERE LibraryId = 1"), "TapeLib1");
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive"), 2);
}

// ---------------------------------------------------------------- deletions

TEST_F(WriteBack, ADeleteRemovesTheRowsAndTheHandlesOfWhatGoesWithIt) {
  auto config = load();
  ZQMACDrive* drive1 = drive(*config, 1);
  const unsigned long long driveHandle = drive1->GetHandle();
  const unsigned long long pathHandle = drive1->GetDmsList().GetFirstNode()->GetHandle();
  ZQMACMediaAgent* ma1 = config->FindDBNode<ZQMACMediaAgent>(1);
  ASSERT_TRUE(config->DeleteObject(drive1)) << config->GetLastError();
  EXPECT_EQ(config->FindObject(driveHandle), nullptr);
  EXPECT_EQ(config->FindObject(pathHandle), nullptr);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive WHERE DriveId = 1"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePath WHERE DriveId = 1"), 0);
  EXPECT_EQ(elements(ma1->GetDmsList()).size(), 1u);
  reachable(*config);
  EXPECT_EQ(drive(*load(), 1), nullptr);

  ZQMACMountPath* mountPath = config->FindDBNode<ZQMACMountPath>(2);
  const unsigned long long mountPathHandle = mountPath->GetHandle();
  ASSERT_TRUE(config->DeleteObject(mountPath)) << config->GetLastError();
  EXPECT_EQ(config->FindObject(mountPathHandle), nullptr);
  EXPECT_EQ(config->FindDBNode<ZQMACMountPath>(2), nullptr);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPath WHERE MountPathId = 2"), 0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMMountPathToStorageDevice WHERE MountPathId = 2"), 0);
  EXPECT_EQ(elements(diskLibrary(*config)->GetMountPathList()).size(), 1u);

  // The whole tape library, with everything of it.
  ZQMACLms* lms = tapeLibrary(*config);
  const unsigned long long lmsHandle = lms->GetHandle();
  const unsigned long long poolHandle = lms->GetDrivePoolList().GetFirstNode()->GetHandle();
  ASSERT_TRUE(config->DeleteObject(lms)) << config->GetLastError();
  EXPECT_EQ(config->FindObject(lmsHandle), nullptr);
  EXPECT_EQ(config->FindObject(poolHandle), nullptr);
  for (const char* table : {"MMDrive", "MMDrivePath", "MMLibraryController"})
    EXPECT_EQ(db.scalar(std::string("SELECT COUNT(*) FROM ") + table), 0) << table;
  // The disk library's agents keep their drive pools of it.
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrivePool WHERE MasterPoolId NOT IN (SELECT MasterPoolId FROM "
                      "MMMasterPool WHERE LibraryId IN (SELECT LibraryId FROM MMLibrary))"),
            0);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMLibrary"), 1);
  EXPECT_EQ(elements(ma1->GetLibControllerList()).size(), 0u);
  EXPECT_EQ(config->GetObjectCount(), 2u + 1u + 1u + 2u + 2u) << "agents, disk library, mount path, devices, volumes";
  reachable(*config);
  auto reloaded = load();
  EXPECT_EQ(reloaded->GetObjectCount(), config->GetObjectCount());
}

TEST_F(WriteBack, ARefusedDeleteKeepsTheObjectItsHandleAndItsRows) {
  auto config = load();
  ZQMACMediaAgent* ma1 = config->FindDBNode<ZQMACMediaAgent>(1);
  const unsigned long long handle = ma1->GetHandle();
  EXPECT_FALSE(config->DeleteObject(ma1)) << "it still controls the tape library";
  EXPECT_EQ(config->FindObject(handle), ma1);
  EXPECT_NE(ma1->GetLastError().find("still reaches"), std::string::npos) << ma1->GetLastError();
  EXPECT_EQ(config->GetLastError(), ma1->GetLastError());
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMHost WHERE ClientId = 1"), 1);

  ZQMACLms* lms = tapeLibrary(*config);
  testkit::mmdb::reset();
  testkit::mmdb::failNext("MMMediaConfigDB::removeObject", MMS2_ERROR_DATABASE, "disk I/O error", 205);
  EXPECT_FALSE(config->DeleteObject(lms));
  EXPECT_EQ(tapeLibrary(*config), lms);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMDrive"), 2);
  EXPECT_EQ(reachable(*config).size(), 53u);
}

}  // namespace
}  // namespace modeldb
