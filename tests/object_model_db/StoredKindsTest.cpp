// Every kind of the registry of stored kinds lives whole: an object made by
// SQL is read by a re-read and by a new instance, one made again under its
// id is another object, one removed through the model leaves no row, and
// one made once more under the same id after its removal is new again. A
// kind added to the registry without a case here fails the walk; a part
// its row makes (a copy manager's controller) goes and comes back with it.
// Objects read beside the configuration (DRU hosts, archive clusters) and
// copy managers made again by SQL while another instance kept their rows
// are new objects in each instance.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/mmdb/MMStoredKinds.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace modeldb {
namespace {

constexpr int kId = 900;

class StoredKinds : public ModelDatabase {
 protected:
  // The object of the type and id the instance holds, or null.
  static ZQMACInterface* find(ZQMACMediaConfig& config, unsigned int type, int id) {
    std::vector<ZQMACInterface*> all = reachable(config);
    for (ZQMACCopyMgrDevice* d : elements(config.GetCopyMgrDeviceList())) all.push_back(d);
    for (ZQMACCopyMgrController* c : elements(config.GetCopyMgrControllerList())) all.push_back(c);
    for (ZQMACInterface* object : all)
      if (object->GetObjectType() == type && static_cast<int>(object->GetId()) == id) return object;
    return nullptr;
  }

  // A new instance of a restarted process: nothing the process kept.
  static std::unique_ptr<ZQMACMediaConfig> restarted() {
    MMMediaConfigDB::forgetLoaded();
    return load();
  }

  long long rowsOf(const MMStoredKindRow& kind, int id) {
    return db.scalar(std::string("SELECT COUNT(*) FROM \"") + kind.table + "\" WHERE \"" + kind.key + "\" = ?", {id});
  }
};

// Each kind's case: the model's type of its object and the SQL that makes
// one under kId (with what it needs of its own), and the type of a part
// that its row makes with it (0: none).
struct KindCase {
  MMStoredKind kind;
  unsigned int type;
  const char* make;
  unsigned int part = 0;
};

const std::vector<KindCase>& kindCases() {
  static const std::vector<KindCase> cases = {
      {MMStoredKind::MediaAgent, ZQMAC_OBJ_MEDIA_AGENT,
       "INSERT OR IGNORE INTO APP_Client (id, name, net_hostname) VALUES (900, 'ma900', 'ma900.example.net'); "
       "INSERT INTO MMHost (ClientId, Attribute) VALUES (900, 0)"},
      {MMStoredKind::Library, ZQMAC_OBJ_MAGLIB,
       "INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
       "VALUES (900, 'Lib900', 'Lib900', 3, 1)"},
      {MMStoredKind::LibraryController, ZQMAC_OBJ_LIB_CONTROLLER,
       "INSERT INTO MMLibraryController (LibraryControllerId, ClientId, LibraryId, ControllerName) "
       "VALUES (900, 1, 1, 'ctl900')"},
      {MMStoredKind::MasterPool, ZQMAC_OBJ_MASTER_DRIVE_POOL,
       "INSERT INTO MMMasterPool (MasterPoolId, LibraryId, MasterPoolName) VALUES (900, 1, 'mp900')"},
      {MMStoredKind::DrivePool, ZQMAC_OBJ_DRIVE_POOL,
       "INSERT INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId, DrivePoolName) VALUES (900, 1, 1, 'dp900')"},
      {MMStoredKind::Drive, ZQMAC_OBJ_DRIVE,
       "INSERT INTO MMDrive (DriveId, DriveName, AliasName, DriveEnabled, MasterPoolId) "
       "VALUES (900, 'drive900', 'drive900', 1, 1)"},
      {MMStoredKind::DrivePath, ZQMAC_OBJ_DMS,
       "INSERT INTO MMDrivePath (DrivePathId, DriveId, DrivePoolId, ClientId, PathName) "
       "VALUES (900, 1, 1, 1, '/dev/st900')"},
      {MMStoredKind::MountPath, ZQMAC_OBJ_MOUNT_PATH,
       "INSERT INTO MMMountPath (MountPathId, MountPathName, LibraryId, MasterPoolId) "
       "VALUES (900, '/srv/disklib1/mp900', 2, 2)"},
      {MMStoredKind::Device, ZQMAC_OBJ_DISK_DEVICE,
       "INSERT INTO MMDevice (DeviceId, AliasName, DeviceTypeId, DeviceEnabled) VALUES (900, 'dev900', 1, 1)"},
      {MMStoredKind::DeviceController, ZQMAC_OBJ_DISK_VOLUME,
       "INSERT INTO MMDeviceController (DeviceControllerId, ClientId, DeviceId, Folder) "
       "VALUES (900, 1, 2, '/srv/v900')"},
      {MMStoredKind::CopyManager, ZQMAC_OBJ_COPY_MGR_DEVICE,
       "INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, ConcurrencyLimit, ClientId, ControllerName) "
       "VALUES (900, 'cm900', 3, 1, 'cm900')",
       ZQMAC_OBJ_COPY_MGR_CONTROLLER},
  };
  return cases;
}

TEST_F(StoredKinds, TheRegistryHoldsEveryKindOnceUnderItsOwnNumberWithAModelTypeAndBirthTriggers) {
  ASSERT_EQ(storedKinds().size(), static_cast<size_t>(kStoredKinds));
  std::set<int> covered;
  for (const KindCase& c : kindCases()) covered.insert(static_cast<int>(c.kind));
  for (int number = 0; number < kStoredKinds; ++number) {
    SCOPED_TRACE(number);
    const MMStoredKindRow& row = storedKinds()[static_cast<size_t>(number)];
    EXPECT_EQ(static_cast<int>(row.kind), number) << "a row stands at its kind's number";
    EXPECT_EQ(covered.count(number), 1u) << "every kind of the registry has its case in the walk";
    EXPECT_FALSE(row.removal.empty()) << "every kind says how it is removed";
    EXPECT_EQ(MMMediaConfigDB::rowTable(row.kind), std::string(row.table));
    if (row.born) {
      const std::string trigger = std::string("MMConfigChange_") + row.table + "_inserted";
      EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger' AND name = ?", {trigger}), 1)
          << trigger;
    }
  }
  // The numbers are written to files: they never change.
  EXPECT_EQ(static_cast<int>(MMStoredKind::DeviceController), 9);
  EXPECT_EQ(static_cast<int>(MMStoredKind::CopyManager), 10);
}

TEST_F(StoredKinds, EveryKindIsMadeRereadRestartedMadeAgainRemovedAndMadeOnceMore) {
  auto kept = load();
  for (const KindCase& c : kindCases()) {
    const MMStoredKindRow& row = storedKind(c.kind);
    SCOPED_TRACE(row.what);
    MMStoredKind mapped;
    // made by SQL (another connection): read by a re-read and a restart
    db.execElsewhere(c.make);
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    ZQMACInterface* made = find(*kept, c.type, kId);
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(tkmac::storedKindOf(*made, mapped));
    EXPECT_EQ(mapped, c.kind) << "the model's type maps to the kind";
    const unsigned long long first = made->GetHandle();
    ASSERT_NE(first, 0u);
    ZQMACInterface* part = c.part != 0 ? find(*kept, c.part, kId) : nullptr;
    const unsigned long long firstPart = part != nullptr ? part->GetHandle() : 0;
    EXPECT_EQ(part != nullptr, c.part != 0) << "the row makes its part";
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    EXPECT_EQ(kept->FindObject(first), find(*kept, c.type, kId)) << "a re-read keeps the object";
    EXPECT_NE(find(*restarted(), c.type, kId), nullptr) << "a restart reads it";

    // made again by SQL under its id, every value as it was: another object
    const std::string where = std::string(" WHERE \"") + row.key + "\" = " + std::to_string(kId);
    db.execElsewhere(std::string("CREATE TEMP TABLE saved AS SELECT * FROM \"") + row.table + "\"" + where +
                     "; DELETE FROM \"" + row.table + "\"" + where + "; INSERT INTO \"" + row.table +
                     "\" SELECT * FROM saved; DROP TABLE saved");
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    EXPECT_EQ(kept->FindObject(first), nullptr) << "the old handle names nothing";
    ZQMACInterface* remade = find(*kept, c.type, kId);
    ASSERT_NE(remade, nullptr);
    const unsigned long long second = remade->GetHandle();
    EXPECT_NE(second, first);
    if (c.part != 0) {
      // The part goes with its whole and comes back with the new one, once.
      EXPECT_EQ(kept->FindObject(firstPart), nullptr) << "the old part's handle names nothing";
      ZQMACInterface* newPart = find(*kept, c.part, kId);
      ASSERT_NE(newPart, nullptr);
      EXPECT_NE(newPart->GetHandle(), firstPart);
      if (c.part == ZQMAC_OBJ_COPY_MGR_CONTROLLER) {
        auto* controller = static_cast<ZQMACCopyMgrController*>(newPart);
        EXPECT_EQ(controller->GetCopyMgrDevice(), remade);
        ASSERT_NE(controller->GetMediaAgent(), nullptr);
        std::vector<ZQMACCopyMgrController*> ofAgent = elements(controller->GetMediaAgent()->GetCopyMgrControllerList());
        EXPECT_EQ(std::count(ofAgent.begin(), ofAgent.end(), controller), 1);
        EXPECT_EQ(elements(kept->GetCopyMgrControllerList()).size(), elements(kept->GetCopyMgrDeviceList()).size());
      }
    }

    // removed through the model: no row, no object after a re-read or a restart
    ASSERT_TRUE(kept->DeleteObject(remade)) << kept->GetLastError();
    EXPECT_EQ(rowsOf(row, kId), 0);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM MMObjectSetting WHERE Kind = ? AND ObjectId = ?",
                        {static_cast<int>(c.kind), kId}),
              0);
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    EXPECT_EQ(find(*kept, c.type, kId), nullptr);
    EXPECT_EQ(find(*restarted(), c.type, kId), nullptr);

    // made once more under the same id: a new object again
    db.execElsewhere(c.make);
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    ZQMACInterface* again = find(*kept, c.type, kId);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again->GetHandle(), first);
    EXPECT_NE(again->GetHandle(), second);
    ASSERT_TRUE(kept->DeleteObject(again)) << kept->GetLastError();
  }
}

// One instance keeps the objects of the rows it read; another reads them
// again after they were made again by SQL under their ids (so that the
// process keeps the new rows at the place the first instance reads next).
// The first must not take the new rows for its old objects.
TEST_F(StoredKinds, ObjectsReadBesideMadeAgainWhileAnotherInstanceKeptTheirRowsAreNewInEach) {
  db.execElsewhere(
      "INSERT INTO MMDRUHost (HostId, HostName, UserName, UserPassword, Port) VALUES (5, 'dru5', 'user', 'secret', "
      "8400); INSERT INTO MMCenteraCluster (ClusterId, Name, ClusterName, ClusterIdentity, Capacity, Version) VALUES "
      "(3, 'three', 'c3', 'id-3', 300, 'v3'); INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, "
      "ConcurrencyLimit, ClientId, ControllerName) VALUES (7, 'cm7', 2, 1, 'cm7')");
  auto kept = load();
  auto other = load();
  struct Beside {
    const char* what;
    const char* table;
    unsigned int type;
    int id;
  };
  const Beside cases[] = {{"DRU host", "MMDRUHost", ZQMAC_OBJ_HOST, 5},
                          {"archive cluster", "MMCenteraCluster", ZQMAC_OBJ_CENTERA_CLUSTER, 3},
                          {"copy manager", "MMCopyManager", ZQMAC_OBJ_COPY_MGR_DEVICE, 7}};
  auto handleOf = [&](ZQMACMediaConfig& config, const Beside& c) -> unsigned long long {
    if (c.type == ZQMAC_OBJ_HOST) {
      for (ZQMACHost* h : elements(config.GetDRUHostList()))
        if (static_cast<int>(h->GetId()) == c.id) return h->GetHandle();
      return 0;
    }
    if (c.type == ZQMAC_OBJ_CENTERA_CLUSTER) {
      for (ZQMACCenteraCluster* cl : elements(config.GetCenteraClusterList()))
        if (static_cast<int>(cl->GetId()) == c.id) return cl->GetHandle();
      return 0;
    }
    ZQMACInterface* object = find(config, c.type, c.id);
    return object != nullptr ? object->GetHandle() : 0;
  };
  for (const Beside& c : cases) {
    SCOPED_TRACE(c.what);
    const unsigned long long keptBefore = handleOf(*kept, c);
    const unsigned long long otherBefore = handleOf(*other, c);
    ASSERT_NE(keptBefore, 0u);
    ASSERT_NE(otherBefore, 0u);
    db.execElsewhere(std::string("CREATE TEMP TABLE saved AS SELECT * FROM ") + c.table + "; DELETE FROM " + c.table +
                     "; INSERT INTO " + c.table + " SELECT * FROM saved; DROP TABLE saved");
    ASSERT_TRUE(other->ReadCurrentConfig(false)) << other->GetLastError();
    ASSERT_TRUE(kept->ReadCurrentConfig(false)) << kept->GetLastError();
    for (auto* config : {kept.get(), other.get()}) {
      SCOPED_TRACE(config == kept.get() ? "the instance that read last" : "the instance that read first");
      const unsigned long long before = config == kept.get() ? keptBefore : otherBefore;
      EXPECT_EQ(config->FindObject(before), nullptr) << "the old object's handle names nothing";
      const unsigned long long now = handleOf(*config, c);
      EXPECT_NE(now, 0u);
      EXPECT_NE(now, before);
    }
  }
}

}  // namespace
}  // namespace modeldb
