// The declarations of what the model stores: every declared value set on an
// object of the demonstration installation, stored, and read back by a
// fresh load of another instance is the value set; the names and kind
// numbers, which files keep, stay as they are.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frame/ZQPassword.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACStoredSettings.h"
#include "tests/object_model_db/ModelDatabaseFixture.h"

namespace {

using tkmac::StoredSettingRow;
using tkmac::StoredType;

class StoredSettings : public modeldb::ModelDatabase {
 protected:
  // The first object of the graph that keeps the row's member.
  static ZQMACInterface* holderOf(ZQMACMediaConfig& config, const StoredSettingRow& row) {
    std::vector<ZQMACInterface*> objects = reachable(config);
    for (ZQMACCopyMgrDevice* d : elements(config.GetCopyMgrDeviceList())) objects.push_back(d);
    for (ZQMACInterface* object : objects) {
      MMStoredKind kind;
      if (tkmac::storedKindOf(*object, kind) && kind == row.kind && row.member(*object).holder != nullptr)
        return object;
    }
    return nullptr;
  }

  // Sets the member to the `round`th value of its type; its text comes back.
  static std::string setValue(const StoredSettingRow& row, ZQMACInterface& object, int round) {
    const tkmac::StoredMember member = row.member(object);
    member.holder->MarkChanged(member.address);
    switch (row.type) {
      case StoredType::Flag:
        *static_cast<bool*>(member.address) = round % 2 == 0;
        return round % 2 == 0 ? "1" : "0";
      case StoredType::Number:
        *static_cast<int*>(member.address) = 4700 + round;
        return std::to_string(4700 + round);
      case StoredType::Unsigned:
        *static_cast<unsigned int*>(member.address) = 60000u + round;
        return std::to_string(60000u + round);
      default:
        *static_cast<std::string*>(member.address) = std::string(row.name) + " value " + std::to_string(round);
        return *static_cast<std::string*>(member.address);
    }
  }

  static std::string readValue(const StoredSettingRow& row, ZQMACInterface& object) {
    const tkmac::StoredMember member = row.member(object);
    switch (row.type) {
      case StoredType::Flag: return *static_cast<bool*>(member.address) ? "1" : "0";
      case StoredType::Number: return std::to_string(*static_cast<int*>(member.address));
      case StoredType::Unsigned: return std::to_string(*static_cast<unsigned int*>(member.address));
      default: return *static_cast<std::string*>(member.address);
    }
  }

  // A password as the model keeps it: encrypted, never laid back.
  std::string storedPassword(const StoredSettingRow& row, ZQMACInterface& object) {
    const std::string encrypted =
        db.text("SELECT \"Value\" FROM \"MMObjectSetting\" WHERE \"Kind\" = ? AND \"ObjectId\" = ? AND \"Name\" = ?",
                {static_cast<int>(row.kind), static_cast<int>(object.GetId()), std::string(row.name)});
    std::vector<char> plain(encrypted.size() + 64, '\0');
    int length = static_cast<int>(plain.size());
    if (ZQPassword::decrypt(encrypted.c_str(), plain.data(), &length) != 0) return "(not a stored password)";
    return std::string(plain.data(), static_cast<size_t>(length));
  }
};

TEST_F(StoredSettings, EveryDeclaredValueSetTwiceAndStoredIsTheSecondValueAfterAFreshLoad) {
  // The demonstration installation has no copy manager.
  ASSERT_EQ(0, db.exec("INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, ConcurrencyLimit, ClientId, "
                       "ControllerName) VALUES (1, 'cm1', 2, 1, 'cm1')"));
  for (const StoredSettingRow& row : tkmac::storedSettingRows()) {
    if (row.type == StoredType::Marker) continue;  // the class of what the load makes
    SCOPED_TRACE(std::string(row.name) + " of kind " + std::to_string(static_cast<int>(row.kind)));
    auto config = load();
    ZQMACInterface* object = holderOf(*config, row);
    ASSERT_NE(object, nullptr) << "the demonstration installation has no object that keeps it";
    std::string value;
    for (int round = 1; round <= 2; ++round) {
      value = setValue(row, *object, round);
      ASSERT_TRUE(tkmac::storeChanges(*object)) << object->GetLastError();
      EXPECT_FALSE(object->IsMarkedChanged(row.member(*object).address)) << "a stored change stays marked";
    }
    auto reloaded = load();
    ZQMACInterface* again = holderOf(*reloaded, row);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetId(), object->GetId());
    if (row.type == StoredType::Password) {
      EXPECT_EQ(readValue(row, *again), "") << "a password is never handed out";
      EXPECT_EQ(storedPassword(row, *again), value);
    } else {
      EXPECT_EQ(readValue(row, *again), value);
    }
  }
}

TEST_F(StoredSettings, NamesAreUniquePerKindAndTheKindNumbersWrittenToFilesStayAsTheyAre) {
  std::set<std::pair<int, std::string>> seen;
  for (const StoredSettingRow& row : tkmac::storedSettingRows())
    EXPECT_TRUE(seen.insert({static_cast<int>(row.kind), row.name}).second) << row.name << " is declared twice";
  const std::vector<std::pair<MMStoredKind, int>> numbers = {
      {MMStoredKind::MediaAgent, 0}, {MMStoredKind::Library, 1},   {MMStoredKind::LibraryController, 2},
      {MMStoredKind::MasterPool, 3}, {MMStoredKind::DrivePool, 4}, {MMStoredKind::Drive, 5},
      {MMStoredKind::DrivePath, 6},  {MMStoredKind::MountPath, 7}, {MMStoredKind::Device, 8},
      {MMStoredKind::DeviceController, 9}, {MMStoredKind::CopyManager, 10}};
  for (const auto& [kind, number] : numbers) EXPECT_EQ(static_cast<int>(kind), number);
  EXPECT_EQ(kStoredKinds, 11);
}

TEST_F(StoredSettings, ValuesSetOnADetectedLibraryBeforeItWasStoredAreStoredWhenItIsConfigured) {
  auto config = load();
  testkit::mac::DetectedLibrary d =
      testkit::mac::addDetectedLibrary(*config, config->FindDBNode<ZQMACMediaAgent>(2), "Detected1");
  ASSERT_NE(d.lms, nullptr);
  ASSERT_TRUE(d.lms->GetLibrary()->SetVolumeRangeString("VR-NEW"));
  ASSERT_TRUE(d.lms->SetAutoDiscover(true, 7));
  ASSERT_TRUE(d.paths.front()->SetAccessPath("/dev/nst-new"));
  ZQMACGraph::SetShownFlag(d.lms, false);
  ASSERT_TRUE(d.lms->Configure(0)) << d.lms->GetLastError();
  auto reloaded = load();
  ZQMACLms* again = nullptr;
  for (ZQMACLms* l : elements(reloaded->GetLmsList()))
    if (l->GetId() == d.lms->GetId()) again = l;
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->GetLibrary()->GetVolumeRangeString(), "VR-NEW");
  EXPECT_TRUE(again->IsAutoDiscover());
  EXPECT_EQ(again->GetAutoDiscoverMediaType(), 7);
  EXPECT_FALSE(again->IsShown());
  ZQMACDms* path = nullptr;
  for (ZQMACDms* p : elements(again->GetDmsList()))
    if (p->GetId() == d.paths.front()->GetId()) path = p;
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(path->GetPathDetail(), "/dev/nst-new");
}

TEST_F(StoredSettings, ALibraryShownStateFollowsItsSettingAndOnlyATapeLibraryStoredBeforeKeepsTheOldBit) {
  // Bit 0x2000 of a disk library's ExtendedAttributes is the storage-library
  // request's own; a tape library's was only ever the model's hidden state.
  const struct {
    const char* name;
    std::vector<const char*> sql;
    bool tapeShown;
    bool diskShown;
  } cases[] = {
      {"the bit on both", {"UPDATE MMLibrary SET ExtendedAttributes = 8192"}, false, true},
      {"the bit on both, the tape library shown by its setting",
       {"UPDATE MMLibrary SET ExtendedAttributes = 8192", "INSERT INTO MMObjectSetting VALUES (1, 1, 'Shown', '1')"},
       true, true},
      {"no bit, both hidden by their settings",
       {"INSERT INTO MMObjectSetting VALUES (1, 1, 'Shown', '0'), (1, 2, 'Shown', '0')"}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(0, db.exec("DELETE FROM MMObjectSetting"));
    ASSERT_EQ(0, db.exec("UPDATE MMLibrary SET ExtendedAttributes = 0"));
    for (const char* sql : c.sql) ASSERT_EQ(0, db.exec(sql)) << sql;
    auto config = load();
    EXPECT_EQ(tapeLibrary(*config)->IsShown(), c.tapeShown);
    EXPECT_EQ(tapeLibrary(*config)->GetLibrary()->IsShown(), c.tapeShown);
    EXPECT_EQ(diskLibrary(*config)->IsShown(), c.diskShown);
  }
}

}  // namespace

// A removal takes the settings of every object it removed, those removed
// with it included, and no other object's: a setting whose object went
// some other way (here drive 99, never stored) is no part of it.
TEST_F(StoredSettings, ARemovalTakesTheSettingsOfWhatItRemovedAndOfNoOtherObject) {
  ASSERT_EQ(0, db.exec("INSERT INTO \"MMObjectSetting\" (\"Kind\", \"ObjectId\", \"Name\", \"Value\") VALUES "
                       "(1, 1, 'DoorLock', '1'), (2, 1, 'ServerHost', 'h'), (5, 1, 'DriveIdString', 'a'), "
                       "(5, 2, 'DriveIdString', 'b'), (6, 1, 'AccessPath', 'p1'), (6, 4, 'AccessPath', 'p4'), "
                       "(1, 2, 'Shown', '0'), (8, 1, 'GuidType', '3'), (5, 99, 'DriveIdString', 'no drive')"));
  const std::string left =
      "SELECT group_concat(\"Kind\" || '/' || \"ObjectId\", ' ') FROM (SELECT * FROM \"MMObjectSetting\" "
      "ORDER BY \"Kind\", \"ObjectId\")";
  struct Removal {
    const char* what;
    bool disk;         // the disk library, else the tape library
    const char* left;  // the settings left after it: kind/id
  };
  const std::vector<Removal> removals = {
      {"the tape library with its controller, drives and paths", false, "1/2 5/99 8/1"},
      {"the disk library with its mount paths: its devices stay", true, "5/99 8/1"},
  };
  for (const Removal& removal : removals) {
    SCOPED_TRACE(removal.what);
    std::unique_ptr<ZQMACMediaConfig> config = load();
    ZQMACInterface* library =
        removal.disk ? static_cast<ZQMACInterface*>(diskLibrary(*config)) : tapeLibrary(*config);
    ASSERT_NE(library, nullptr);
    ASSERT_TRUE(config->DeleteObject(library)) << config->GetLastError();
    EXPECT_EQ(db.text(left), removal.left);
  }
}
