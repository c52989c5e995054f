// Shared pieces of the device operations of the storage-library request
// (create device 256, drive maintenance 512, vault lock 4096) and the
// data-server types of a library: the storage-library installation of
// tests/ezconfig_storagelib plus a tape library with drives, and readers of
// what the operations leave in the database and the model.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/mac/ZQMACMediaConfig.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/testkit/mac.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"

namespace storagelibtest {

// Tape library 8 ("tapelib") with master pool 80 and drives 81 "Drive1",
// 82 "O'Neil" and 83 "Drive3"; drive 84 "Drive1" of another library (6).
inline constexpr int kTapeLib = 8;
inline constexpr int kDrive1 = 81;
inline constexpr int kDriveONeil = 82;

inline void seedTapeLibrary(tktest::TestDatabase& db) {
  tktest::insertRows(db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{kTapeLib, "tapelib", 1}});
  tktest::insertRows(db, "MMMasterPool (MasterPoolId, LibraryId, MasterPoolName)",
                     {{80, kTapeLib, "MasterPool(tapelib)"}, {85, kLonelyLib, "MasterPool(lonely)"}});
  tktest::insertRows(db, "MMDrive (DriveId, AliasName, MasterPoolId, DriveNumber)",
                     {{kDrive1, "Drive1", 80, 1}, {kDriveONeil, "O'Neil", 80, 2}, {83, "Drive3", 80, 3},
                      {84, "Drive1", 85, 1}});
}

class StorageLibDeviceTest : public StorageLibTest {
 protected:
  void SetUp() override {
    StorageLibTest::SetUp();
    seedTapeLibrary(m_db);
    testkit::audit::reset();
  }

  // A configuration as the next request reads it.
  std::unique_ptr<ZQMACMediaConfig> load() {
    auto config = std::make_unique<ZQMACMediaConfig>();
    EXPECT_TRUE(config->Initialize("site-a"));
    EXPECT_TRUE(config->ReadCurrentConfig(false)) << config->GetLastError();
    return config;
  }
  static ZQMACDiskDevice* deviceNamed(ZQMACMediaConfig& config, const std::string& name) {
    ZQMACLinkedList<ZQMACDiskDevice> devices = config.GetDiskDeviceList();
    for (ZQMACDiskDevice* d = devices.GetFirstNode(); d != nullptr; d = devices.GetNextNode())
      if (d->GetName() == name) return d;
    return nullptr;
  }

  long long count(const std::string& table) { return m_db.scalar("SELECT COUNT(*) FROM " + table); }
  std::vector<testkit::audit::Record> audits() const { return testkit::audit::records(); }
  static std::vector<tkjournal::Call> macCalls(const std::string& name) {
    return testkit::mac::journal().calls(name);
  }
};

}  // namespace storagelibtest
