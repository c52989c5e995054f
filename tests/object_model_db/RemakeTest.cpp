// When the change log cannot tell which rows were made again since the
// graph was laid (pruned past its read, its epoch renewed, a trigger that
// marks births gone), a re-read makes every object of a row anew: every
// handle of the old graph names nothing, every object is listed under a
// new handle with its whole record, and nothing of the old graph stays
// reachable (the sanitizers would find an object freed while a list held
// it, or one left over). An object the instance made and stored itself
// after its last read keeps its handle, and objects changed in memory go
// with the rest.
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
    ZQMACInterface* stillThere = kept->FindObject(deviceHandle, ZQMAC_OBJ_DISK_DEVICE);
    ASSERT_NE(stillThere, nullptr) << "the device the instance stored itself keeps its handle";
    EXPECT_EQ(stillThere->GetId(), deviceId);
    const std::map<unsigned long long, ZQMACInterface*> after = handlesOf(*kept);
    EXPECT_EQ(after.size(), before.size() + 1);
    for (const auto& [handle, object] : after) {
      EXPECT_EQ(kept->FindObject(handle, object->GetObjectType()), object);
      if (handle != deviceHandle) {
        EXPECT_GT(handle, before.rbegin()->first) << "a new handle";
      }
    }
    EXPECT_EQ(kept->GetObjectCount(), after.size());
    EXPECT_EQ(elements(kept->GetIPLibControllerList()).size(), 1u) << "the new controller only";
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

}  // namespace
}  // namespace modeldb
