// When the change log cannot tell which rows were made again since the
// graph was laid (pruned past its read, its epoch renewed, a trigger that
// marks births gone), a re-read makes every object of a row anew: every
// handle of the old graph names nothing, every object is listed under a
// new handle with its whole record, and nothing of the old graph stays
// reachable (the sanitizers would find an object freed while a list held
// it, or one left over). An object the instance made and stored itself
// after its last read is made anew too (the log cannot tell its row from
// another made under its id since), and objects changed in memory go with
// the rest.
#include <map>
#include <string>
#include <vector>

#include "tests/object_model_db/ModelDatabaseFixture.h"
#include "tests/support/ModelDump.h"

namespace modeldb {
namespace {

class Remake : public ModelDatabase {
 protected:
  // The graph of a new instance that reads every row.
  static std::string fullReload() {
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    return tktest::ModelDump::of(*load());
  }

  // The handle of every object a list or link reaches, given now.
  static std::map<unsigned long long, ZQMACInterface*> handlesOf(ZQMACMediaConfig& config) {
    std::map<unsigned long long, ZQMACInterface*> handles;
    for (ZQMACInterface* object : reachable(config)) {
      const unsigned long long handle = config.GetHandle(object);
      EXPECT_NE(handle, 0u);
      handles[handle] = object;
    }
    return handles;
  }
};

TEST_F(Remake, AfterALogThatCannotTellEveryOldHandleNamesNothingAndEveryObjectIsNewWithItsRecord) {
  const struct {
    const char* why;
    const char* sql;
  } cases[] = {
      {"log pruned past the read", "UPDATE MMConfigEpoch SET Pruned = Pruned + 1000000"},
      {"epoch renewed", "UPDATE MMConfigEpoch SET Epoch = Epoch || ' again'"},
      {"births trigger dropped, a row made again",
       "DROP TRIGGER MMConfigChange_MMDrive_inserted; CREATE TEMP TABLE saved AS SELECT * FROM MMDrive "
       "WHERE DriveId = 2; DELETE FROM MMDrive WHERE DriveId = 2; INSERT INTO MMDrive SELECT * FROM saved"},
  };
  // The tape library's controller is an IP controller: the instance keeps
  // it in a list of its own too, which a lay-over of every row does not
  // make anew.
  db.execElsewhere("INSERT INTO MMObjectSetting (Kind, ObjectId, Name, Value) VALUES (2, 1, 'IPController', '1')");
  // Drives enough that the objects of the old graph leave more places
  // free than the instance keeps for its objects, and it closes them.
  db.execElsewhere("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60) INSERT INTO MMDrive "
                   "(DriveId, DriveName, AliasName, MasterPoolId, DriveNumber, DriveEnabled) SELECT 100 + i, "
                   "'bulk' || i, 'bulk' || i, 1, 10 + i, 1 FROM n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    std::unique_ptr<ZQMACMediaConfig> kept = load();
    // Objects changed in memory and not stored go with the others.
    ASSERT_NE(drive(*kept, 1), nullptr);
    drive(*kept, 1)->SetPropertyD(7);
    tapeLibrary(*kept)->GetLibrary()->SetPropertyD(7);
    const std::map<unsigned long long, ZQMACInterface*> before = handlesOf(*kept);
    ASSERT_GE(before.size(), static_cast<size_t>(kDemoObjects));
    ASSERT_EQ(elements(kept->GetIPLibControllerList()).size(), 1u);
    // A device the instance makes and stores itself after its read.
    auto* device = new ZQMACDiskDevice();
    ASSERT_TRUE(kept->AddDiskDevice(device)) << kept->GetLastError();
    const unsigned long long deviceHandle = kept->GetHandle(device);
    const unsigned int deviceId = device->GetId();
    ASSERT_NE(deviceHandle, 0u);
    ASSERT_NE(deviceId, 0xFFFFFFFFu);

    db.execElsewhere(c.sql);
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();

    for (const auto& [handle, object] : before) EXPECT_EQ(kept->FindObject(handle), nullptr) << handle;
    EXPECT_EQ(kept->FindObject(deviceHandle), nullptr) << "the device the instance stored itself is made anew too";
    ZQMACInterface* stillThere = kept->FindDBNode<ZQMACDiskDevice>(static_cast<int>(deviceId));
    ASSERT_NE(stillThere, nullptr) << "its row is laid as a new object";
    const std::map<unsigned long long, ZQMACInterface*> after = handlesOf(*kept);
    EXPECT_EQ(after.size(), before.size() + 1);
    for (const auto& [handle, object] : after) {
      EXPECT_EQ(kept->FindObject(handle, object->GetObjectType()), object);
      EXPECT_GT(handle, deviceHandle) << "a new handle";
    }
    EXPECT_EQ(kept->GetObjectCount(), after.size());
    EXPECT_EQ(elements(kept->GetIPLibControllerList()).size(), 1u) << "the new controller only";
    // The device laid anew leaves the instance from its place as any
    // object does.
    const unsigned long long stillThereHandle = kept->GetHandle(stillThere);
    ASSERT_TRUE(kept->DeleteObject(stillThere)) << kept->GetLastError();
    EXPECT_EQ(kept->FindObject(stillThereHandle), nullptr);
    EXPECT_EQ(kept->GetObjectCount(), after.size() - 1);
    EXPECT_EQ(kept->GetObjectCount(), handlesOf(*kept).size());
    const std::string remade = tktest::ModelDump::of(*kept);
    EXPECT_EQ(remade, fullReload());
    // A change after it lands on the graph laid anew.
    db.execElsewhere(std::string("UPDATE MMDrive SET AliasName = 'after: ") + c.why + "' WHERE DriveId = 1");
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    const std::string changed = tktest::ModelDump::of(*kept);
    EXPECT_NE(changed, remade);
    EXPECT_EQ(changed, fullReload());
  }
}

// A graph handed over from a freed instance to the next one is made anew
// in the same way: the handles the freed instance gave were dropped when it
// parked, and the new one's objects are those of a load of every row.
TEST_F(Remake, AGraphHandedOverAfterALogThatCannotTellIsMadeAnew) {
  {
    std::unique_ptr<ZQMACMediaConfig> first = load();
    ASSERT_NE(drive(*first, 2), nullptr);
    drive(*first, 2)->SetPropertyD(3);
    tapeLibrary(*first)->GetLibControllerNode()->SetPropertyD(3);
  }
  db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = Pruned + 1000000");
  std::unique_ptr<ZQMACMediaConfig> next = load();
  EXPECT_EQ(next->GetObjectCount(), handlesOf(*next).size());
  const std::string dump = tktest::ModelDump::of(*next);
  EXPECT_EQ(dump, fullReload());
}

// The lay-over of every row finds the objects of the kinds before by their
// ids: a second tape library whose rows take ids in a run of their own,
// near the others, past them, or far past any other (an id set by hand),
// is linked as one of close ids is, in a first load and when the whole
// graph is made anew.
TEST_F(Remake, RowsOfIdsInRunsFarApartAreLinkedAsCloseOnes) {
  for (const int first : {40, 700, 1500, 60000, 5000000}) {
    SCOPED_TRACE(first);
    const std::string f = std::to_string(first);
    const std::string g = std::to_string(first + 1);
    const std::string h = std::to_string(first + 2);
    db.execElsewhere(
        "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) VALUES (" + f +
        ", 'Far" + f + "', 'Far" + f + "', 1, 1); INSERT INTO MMLibraryController (LibraryControllerId, "
        "ControllerName, ClientId, LibraryId, IsActive, IsEnabled) VALUES (" + f + ", '/dev/sg" + f + "', 2, " + f +
        ", 1, 1); INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) VALUES (" + f + ", " + f +
        ", 'MasterPool" + f + "'); INSERT INTO MMDrivePool (DrivePoolId, DrivePoolName, ClientId, MasterPoolId, "
        "DrivePoolEnabled) VALUES (" + f + ", 'Pool" + f + "', 1, " + f + ", 1), (" + g + ", 'Pool" + g + "', 2, " +
        f + ", 1); INSERT INTO MMDrive (DriveId, DriveName, AliasName, MasterPoolId, DriveNumber, DriveEnabled) "
        "VALUES (" + f + ", 'd" + f + "', 'd" + f + "', " + f + ", 1, 1), (" + g + ", 'd" + g + "', 'd" + g + "', " + f +
        ", 2, 1), (" + h + ", 'd" + h + "', 'd" + h + "', " + f + ", 3, 1); INSERT INTO MMDrivePath (DrivePathId, "
        "DriveId, DrivePoolId, ClientId, PathName, IsEnabled) VALUES (" + f + ", " + f + ", " + g + ", 2, '/dev/nst" +
        f + "', 1), (" + g + ", " + g + ", " + f + ", 1, '/dev/nst" + g + "', 1), (" + h + ", " + h + ", " + g +
        ", 2, '/dev/nst" + h + "', 1)");
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    std::unique_ptr<ZQMACMediaConfig> config = load();
    for (const char* read : {"first load", "made anew"}) {
      SCOPED_TRACE(read);
      if (std::string(read) == "made anew") {
        db.execElsewhere("UPDATE MMConfigEpoch SET Pruned = Pruned + 1000000");
        ASSERT_TRUE(config->ReadCurrentConfig(false)) << config->GetLastError();
      }
      // Library, controller, master pool, drive pool and drive of each
      // path, by their ids: the path's drive id is its own, its pool the
      // second pool for the first and last drive, and its media agent the
      // pool's.
      std::map<unsigned int, std::vector<unsigned int>> seen;  // library id: what its objects name
      for (ZQMACLms* lms : elements(config->GetLmsList())) {
        std::vector<unsigned int>& named = seen[lms->GetId()];
        for (ZQMACLibController* c : elements(lms->GetLibControllerList()))
          named.insert(named.end(), {c->GetId(), c->GetMediaAgent() != nullptr ? c->GetMediaAgent()->GetId() : 0u});
        for (ZQMACMasterDrivePool* m : elements(lms->GetMasterDrivePoolList()))
          for (ZQMACDrivePool* p : elements(m->GetDrivePoolList()))
            named.insert(named.end(), {m->GetId(), p->GetId(), p->GetMasterDrivePool() == m ? 1u : 0u});
        for (ZQMACDrive* d : elements(lms->GetDriveList()))
          for (ZQMACDms* p : elements(d->GetDmsList()))
            named.insert(named.end(), {d->GetId(), p->GetId(), p->GetDrive() == d ? 1u : 0u,
                                       p->GetDrivePool() != nullptr ? p->GetDrivePool()->GetId() : 0u,
                                       p->GetMediaAgent() != nullptr ? p->GetMediaAgent()->GetId() : 0u});
      }
      const unsigned int u = static_cast<unsigned int>(first);
      const std::vector<unsigned int> far = {u, 2,                                     // controller on ma2
                                             u, u, 1, u, u + 1, 1,                     // master pool, its pools
                                             u, u, 1, u + 1, 2, u + 1, u + 1, 1, u, 1, u + 2, u + 2, 1, u + 1, 2};
      const std::vector<unsigned int> demo = {1, 1, 1, 1, 1, 1, 2, 1,
                                              1, 1, 1, 1, 1, 1, 2, 1, 2, 2, 2, 3, 1, 1, 1, 2, 4, 1, 2, 2};
      EXPECT_EQ(seen, (std::map<unsigned int, std::vector<unsigned int>>{{1, demo}, {u, far}}));
      EXPECT_EQ(config->GetObjectCount(), handlesOf(*config).size());
    }
    config.reset();
    db.execElsewhere("DELETE FROM MMDrivePath WHERE DrivePathId >= " + f + "; DELETE FROM MMDrive WHERE DriveId >= " +
                     f + "; DELETE FROM MMDrivePool WHERE DrivePoolId >= " + f +
                     "; DELETE FROM MMMasterPool WHERE MasterPoolId >= " + f +
                     "; DELETE FROM MMLibraryController WHERE LibraryControllerId >= " + f +
                     "; DELETE FROM MMLibrary WHERE LibraryId >= " + f);
  }
}

}  // namespace
}  // namespace modeldb
