// Vault lock (operation 4096), drive maintenance (operation 512) and the
// data-server types of a library's devices.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/mmdb/MMBaseDB.h"
#include "tests/ezconfig_storagelibdevice/StorageLibDeviceFixture.h"

namespace storagelibtest {
namespace {

using tktest::catalogueText;

constexpr const char* kNoVault = "Cannot find the vault, the mount path/device id may be wrong!";

class VaultLock : public StorageLibDeviceTest {
 protected:
  Answer lock(Fields extra) {
    Fields fields{{43, 4096}, {7, kMa2}, {69, 30}};
    for (auto& [tag, value] : extra) fields[tag] = value;
    return call(fields);
  }
  // The vault-lock verifications asked: (volume handle, value).
  static std::vector<std::vector<std::string>> verifications() {
    std::vector<std::vector<std::string>> asked;
    for (const tkjournal::Call& c : macCalls("VerifyDevice")) asked.push_back(c.args);
    return asked;
  }
};

TEST_F(VaultLock, TheMountPathsDeviceIsLockedAndAuditedLikeTheControlRequest) {
  const Answer a = lock({{23, kMountPath}});
  ASSERT_TRUE(a.success) << a.xml;
  const auto asked = verifications();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0][1], "3");
  EXPECT_EQ(asked[0][2], "30");

  auto config = load();
  ZQMACDiskDevice* device = config->FindDBNode<ZQMACDiskDevice>(kDevice);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(audits().size(), 1u);
  const std::vector<testkit::audit::Record> written = audits();
  const testkit::audit::Record& record = written[0];
  EXPECT_EQ(record.operationId, 0x540000B5);
  ASSERT_EQ(record.params.size(), 1u);
  EXPECT_EQ(record.params[0].messageId, 0x5500018B);
  EXPECT_EQ(record.params[0].arguments,
            (std::vector<std::string>{device->GetDisplayName(), device->GetTextA(false) + ", Vault Lock"}));
}

TEST_F(VaultLock, AnUnknownMountPathFallsBackToTheDeviceId) {
  EXPECT_TRUE(lock({{23, 999}, {53, kDevice}}).success);
  EXPECT_EQ(verifications().size(), 1u);
  // By the device's alias as well (the frame resolves it).
  EXPECT_TRUE(lock({{55, "dev60"}}).success);
}

TEST_F(VaultLock, NoDeviceOrADeviceWithoutVolumesHasNoVault) {
  tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{61, "bare", 1}});
  expectRefused(lock({{23, 999}}), kNoVault);
  expectRefused(lock({{53, 61}}), kNoVault);
  EXPECT_TRUE(verifications().empty());
  EXPECT_TRUE(audits().empty());
}

TEST_F(VaultLock, OnlyTheLow32BitsOfTheValueAndOnlyTheFirstVolumeAreUsed) {
  tktest::addDevicePath(m_db, {501, kMa3, kDevice, 6, "other"});
  ASSERT_TRUE(lock({{53, kDevice}, {69, (1LL << 32) + 7}}).success);
  const auto asked = verifications();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0][2], "7");
}

TEST_F(VaultLock, ARefusedVaultAnswersTheVolumesLastError) {
  tkmac::VerifyOutcome refused;
  refused.succeed = false;
  refused.errorCode = 9;
  refused.errorText = "the vault is sealed";
  testkit::mac::scriptVerification("base1", 3, refused);
  expectRefused(lock({{23, kMountPath}}), "the vault is sealed");
  // A value that is no number of days is refused by the volume too.
  testkit::mac::reset();
  expectRefused(lock({{23, kMountPath}, {69, -1}}), "The vault-lock value is not a number of days.");
  EXPECT_TRUE(audits().empty());
}

// ---------------------------------------------------------------- drive maintenance

class DriveMaintenance : public StorageLibDeviceTest {
 protected:
  Answer maintain(long long option, const std::string& drive, int library = kTapeLib) {
    return call({{43, 512}, {7, kMa2}, {1, library}, {8, "tapelib"}, {82, option}, {78, drive}});
  }
  std::vector<tkjournal::Call> driveCalls() const {
    std::vector<tkjournal::Call> made;
    for (const char* name : {"MMDriveDB::resetAllCounters", "MMDriveDB::resetCleaningCounters", "MMDriveDB::setGood"})
      for (const tkjournal::Call& c : testkit::mmdb::calls(name)) made.push_back(c);
    return made;
  }
};

TEST_F(DriveMaintenance, EachOptionMakesExactlyItsOneCallAndAuditsTheDrive) {
  const struct {
    long long option;
    const char* call;
    int message;
  } cases[] = {{1, "MMDriveDB::resetAllCounters", 0x55000531},
               {2, "MMDriveDB::resetCleaningCounters", 0x55000532},
               {3, "MMDriveDB::setGood", 0x55000533}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    testkit::mmdb::reset();
    testkit::audit::reset();
    const Answer a = maintain(c.option, "Drive1");
    ASSERT_TRUE(a.success) << a.xml;
    const auto made = driveCalls();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].name, c.call);
    EXPECT_EQ(made[0].args[0], std::to_string(kDrive1));
    ASSERT_EQ(audits().size(), 1u);
    const std::vector<testkit::audit::Record> written = audits();
  const testkit::audit::Record& record = written[0];
    EXPECT_EQ(record.operationId, 0);  // the frame's record sets no operation
    EXPECT_EQ(record.entityId, kTapeLib);
    ASSERT_EQ(record.params.size(), 1u);
    EXPECT_EQ(record.params[0].messageId, c.message);
    EXPECT_EQ(record.params[0].arguments, (std::vector<std::string>{"Drive1", "tapelib"}));
  }
}

TEST_F(DriveMaintenance, AQuotedNameFindsItsDrive) {
  ASSERT_TRUE(maintain(2, "O'Neil").success);
  const auto made = driveCalls();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].args[0], std::to_string(kDriveONeil));
}

TEST_F(DriveMaintenance, AnInvalidOptionOrNoNameIsRefusedWithoutAQuery) {
  using Case = std::pair<long long, std::string>;
  for (const auto& [option, name] : {Case{0, "Drive1"}, Case{4, "Drive1"}, Case{2, ""}}) {
    testkit::db::journal().reset();
    expectRefused(maintain(option, name), catalogueText(0x23000AB2));
    for (const std::string& sql : testkit::db::statements()) EXPECT_EQ(sql.find("MMDrive"), std::string::npos) << sql;
  }
  EXPECT_TRUE(driveCalls().empty());
  EXPECT_TRUE(audits().empty());
}

TEST_F(DriveMaintenance, ANameThatIsNoDriveOfTheLibraryTouchesNothing) {
  expectRefused(maintain(1, "NoSuchDrive"), catalogueText(0x23000AB2));
  // Drive3 is a drive of the tape library, not of library 6.
  expectRefused(maintain(1, "Drive3", kLonelyLib), catalogueText(0x23000AB2));
  EXPECT_TRUE(driveCalls().empty());
  EXPECT_TRUE(audits().empty());
}

TEST_F(DriveMaintenance, AFailedQueryOrCallIsAnsweredWithItsText) {
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  expectRefused(maintain(1, "Drive1"), catalogueText(0x230001E3));
  EXPECT_TRUE(driveCalls().empty());

  testkit::mmdb::failNext("MMDriveDB::resetCleaningCounters", MMS2_ERROR_DATABASE, "disk full", 205);
  char text[1025];
  ErrorTrans::getErrorString(MMS2_ERROR_DATABASE, text, sizeof text, 0);
  expectRefused(maintain(2, "Drive1"), text);
  EXPECT_TRUE(audits().empty());
}

// ---------------------------------------------------------------- data-server types

class DataServerTypes : public StorageLibDeviceTest {
 protected:
  int types(int library, std::map<int, int>& out) {
    return EvMMConfigMgr::CheckAndGetDataServerTypeConfiguredInLibrary(library, 0, 0, out);
  }
};

TEST_F(DataServerTypes, ALibraryWithoutMountPathsLeavesTheMapAsItWas) {
  std::map<int, int> found{{1, 32}};
  EXPECT_EQ(types(kLonelyLib, found), 1);
  EXPECT_EQ(found, (std::map<int, int>{{1, 32}}));
}

TEST_F(DataServerTypes, ADeviceOnTwoMountPathsKeepsTheTypeOfTheLastRowRead) {
  tktest::addMountPath(m_db, 41, kDiskLib, kDevice, "/mnt/disk2");
  tktest::insertRows(m_db, "MMDevice (DeviceId, AliasName, DeviceTypeId)", {{62, "dev62", 1}});
  tktest::addMountPath(m_db, 42, kDiskLib, 62, "/mnt/disk3");
  m_db.exec("UPDATE MMDeviceController SET DeviceAccessType = 22 WHERE DeviceControllerId = 500");
  tktest::addDevicePath(m_db, {501, kMa3, kDevice, 132, "late"});
  tktest::addDevicePath(m_db, {502, kMa3, 62, 6, "plain"});
  std::map<int, int> found;
  EXPECT_EQ(types(kDiskLib, found), 1);
  // Device 60: 16 from controller 500, then 128 from controller 501.
  EXPECT_EQ(found, (std::map<int, int>{{kDevice, 128}, {62, 0}}));
}

TEST_F(DataServerTypes, AFailedListOrFetchAnswersZeroKeepingWhatWasWritten) {
  std::map<int, int> found;
  testkit::mmdb::failNext("MMMountPathDB::getListForLibrary", MMS2_ERROR_DATABASE, "disk full", 205);
  EXPECT_EQ(types(kDiskLib, found), 0);
  EXPECT_TRUE(found.empty());
  testkit::db::failProcedure("MMS2GetDevicePathsForMountPath", 205, "disk full");
  found[5] = 16;
  EXPECT_EQ(types(kDiskLib, found), 0);
  EXPECT_EQ(found, (std::map<int, int>{{5, 16}}));
}

}  // namespace
}  // namespace storagelibtest
