// Automatic sharing of a hybrid cloud's disk library: the device paths the
// cloud library's media agents lack on the disk library's devices are added
// one list update per run of rows of a device; failures are logged and never
// stop the devices after them; a path that would be stored cut is skipped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/testkit/mmdb.h"
#include "tests/support/Seed.h"

namespace {

constexpr const char* kTag = "EvMMConfigMgr::autoShareMAsForHybridDisk";
constexpr const char* kProc = "MMS2GetMissingHybridCloudMAsForDisk";
constexpr const char* kApply = "ZQMMDeviceInfo::configDeviceControllerList";

class AutoShare : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    testkit::mmdb::reset();
    tktest::insertRows(db, "MMLibrary (LibraryId, AliasName)", {{10, "disk-lib"}, {20, "cloud-A"}, {30, "lonely"}});
    tktest::insertRows(db, "MMHybridCloudMapping (CloudLibraryId, DiskLibraryId)", {{20, 10}});
    tktest::insertRows(db, "MMDevice (DeviceId, AliasName)",
                       {{70, "d70"}, {71, "d71"}, {80, "cloud"}, {7, "d7"}, {9, "d9"}});
    for (int client : {11, 12, 13, 14}) tktest::insertRows(db, "MMHost (ClientId)", {{client}});
    tktest::addMountPath(db, 1000, 10, 70);
    tktest::addMountPath(db, 1001, 10, 71);
    tktest::addMountPath(db, 2000, 20, 80, "cloud", 0, 7);
    for (int client : {11, 12, 13}) tktest::addDevicePath(db, {800 + client, client, 80, 4, "bucket"});
    tktest::addDevicePath(db, {701, 11, 70, 4, "/disk70", "du", "dp"});
  }
  void TearDown() override {
    testkit::db::clearProcedureOverrides();
    testkit::mmdb::stop();
  }

  // The device paths of a device: "client:access:folder:user:password", by client.
  std::vector<std::string> pathsOf(int device) {
    std::vector<std::string> out;
    for (const tkdb::DbRow& row :
         db.query("SELECT ClientId, DeviceAccessType, IFNULL(Folder, ''), IFNULL(UserName, ''), "
                  "IFNULL(UserPassword, '') FROM MMDeviceController WHERE DeviceId = ? ORDER BY ClientId",
                  {device})) {
      out.push_back(std::to_string(row[0].i) + ":" + std::to_string(row[1].i) + ":" + row[2].s + ":" + row[3].s +
                    ":" + row[4].s);
    }
    return out;
  }
  // The devices and entry counts of the list updates made.
  std::vector<std::string> updates() {
    std::vector<std::string> out;
    for (const auto& call : testkit::mmdb::calls(kApply)) out.push_back(call.args.at(0) + "x" + call.args.at(1));
    return out;
  }
};

TEST_F(AutoShare, TheMissingPathsOfEachDeviceAreAddedInOneUpdatePerDevice) {
  testkit::debuglog::Capture log;
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_EQ((std::vector<std::string>{"70x2", "71x3"}), updates());
  EXPECT_EQ((std::vector<std::string>{"11:4:/disk70:du:dp", "12:4:/disk70:du:dp", "13:4:/disk70:du:dp"}), pathsOf(70));
  EXPECT_EQ((std::vector<std::string>{"11:20:::", "12:20:::", "13:20:::"}), pathsOf(71));
  EXPECT_FALSE(log.contains(kTag, "Failed"));
  // Nothing is missing any more: a second run changes nothing.
  testkit::mmdb::reset();
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_TRUE(updates().empty());
}

TEST_F(AutoShare, ALibraryWithoutAMappingCallsNoProcedureAndLogsNothing) {
  testkit::debuglog::Capture log;
  EvMMConfigMgr::autoShareMAsForHybridDisk(30);
  EXPECT_TRUE(testkit::db::journal().calls("procedure").empty());
  EXPECT_TRUE(updates().empty());
  EXPECT_FALSE(log.contains(kTag, ""));
}

TEST_F(AutoShare, AFailedMappingLookupIsLoggedAndSharesNothing) {
  testkit::debuglog::Capture log;
  testkit::mmdb::failNext("MMHybridCloudMappingDB::getInfoByCloudLibId", MMS2_ERROR_DATABASE, "locked", 5);
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_TRUE(testkit::db::journal().calls("procedure").empty());
  EXPECT_TRUE(updates().empty());
  EXPECT_TRUE(log.contains(kTag, "Failed to check for hybrid cloud association, automatic sharing of associated disk "
                                 "library's mountpaths will not happen, if there is a disk library."));
}

// Rows of device 7, 9, 7: the device comes back, so it gets a second update.
TEST_F(AutoShare, ADeviceWhoseRowsAreNotAdjacentGetsTwoSeparateUpdates) {
  testkit::db::overrideProcedure(kProc, {{7, "/s7", "u", "p", 0, 1, 12}, {9, "", "", "", 0, 1, 13},
                                         {7, "/s7", "u", "p", 0, 1, 14}});
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_EQ((std::vector<std::string>{"7x1", "9x1", "7x1"}), updates());
  EXPECT_EQ((std::vector<std::string>{"12:4:/s7:u:p", "14:4:/s7:u:p"}), pathsOf(7));
  EXPECT_EQ((std::vector<std::string>{"13:20:::"}), pathsOf(9));
}

TEST_F(AutoShare, AFailedUpdateIsLoggedAndTheNextDeviceStillGetsItsOwn) {
  testkit::debuglog::Capture log;
  testkit::mmdb::failNext(kApply, 422, "disk full");
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_EQ((std::vector<std::string>{"70x2", "71x3"}), updates());
  EXPECT_EQ((std::vector<std::string>{"11:4:/disk70:du:dp"}), pathsOf(70));
  EXPECT_EQ(3u, pathsOf(71).size());
  EXPECT_TRUE(log.contains(kTag, "Failed to send config request for the automatic adding of device controllers for disk "
                                 "library associated to hybrid cloud, due to error[422], cloudLib[20], device[70]"));

  // The last device's failure has its own line.
  testkit::mmdb::reset();
  ASSERT_EQ(0, db.exec("DELETE FROM MMDeviceController WHERE DeviceId = 71"));
  log.clear();
  testkit::mmdb::failNext(kApply, 422, "disk full");
  testkit::mmdb::failNext(kApply, 418, "gone");
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_TRUE(log.contains(kTag, "Failed to send config request for the automatic adding of device controllers for "
                                 "disk library associated to hybrid cloud, due to error[422], cloudLib[20], device[70]"));
  EXPECT_TRUE(log.contains(kTag, "associated to hybrid cloud, due to error[418]"));
  EXPECT_FALSE(log.contains(kTag, "error[418], cloudLib"));
}

TEST_F(AutoShare, AReadErrorAfterSomeRowsAppliesWhatWasReadAndIsLogged) {
  testkit::debuglog::Capture log;
  testkit::db::overrideProcedure(kProc, {{7, "", "", "", 0, 1, 12},
                                         {9, "", "", "", 0, 1, 13},
                                         {9, "", "", "", 0, 1, "not a number"},
                                         {9, "", "", "", 0, 1, 14}});
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_EQ((std::vector<std::string>{"7x1", "9x1"}), updates());
  EXPECT_EQ((std::vector<std::string>{"12:20:::"}), pathsOf(7));
  EXPECT_EQ((std::vector<std::string>{"13:20:::"}), pathsOf(9));
  EXPECT_TRUE(log.contains(kTag, "Failed to retrieve hybrid cloud MAs, automatic sharing of associated disk "
                                 "library's mountpaths will not happen"));
}

TEST_F(AutoShare, AnOverLongRowIsSkippedWithALogLineAndTheOthersAdded) {
  testkit::debuglog::Capture log;
  testkit::db::overrideProcedure(kProc, {{7, "/ok", "u", "p", 0, 1, 12},
                                         {7, std::string(1024, 'f'), "u", "p", 0, 1, 13},
                                         {7, "/ok", "u", std::string(2048, 'p'), 0, 1, 14},
                                         {9, "/ok", std::string(1024, 'u'), "p", 0, 1, 11}});
  EvMMConfigMgr::autoShareMAsForHybridDisk(20);
  EXPECT_EQ((std::vector<std::string>{"7x1"}), updates());
  EXPECT_EQ((std::vector<std::string>{"12:4:/ok:u:p"}), pathsOf(7));
  EXPECT_TRUE(pathsOf(9).empty());
  for (const char* agent : {"[13] to device [7]", "[14] to device [7]", "[11] to device [9]"}) {
    EXPECT_TRUE(log.contains(kTag, std::string("Skipped the automatic adding of the device controller of media agent ") +
                                       agent + " for disk library associated to hybrid cloud [20]"))
        << agent;
  }
  EXPECT_FALSE(log.contains(kTag, "Failed"));
}

}  // namespace
