// Sharing a mount path with another media agent (operation 64) and
// unsharing it (128): the device path sent, the refusals that send nothing,
// the access type and credential settled for the entry, and the audit.
#include <gtest/gtest.h>

#include <string>

#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"

namespace mountpathtest {
namespace {

constexpr const char* kSend = "ZQMMDeviceInfo::configDeviceControllerList";

class ShareMountPath : public MountPathTest {
 protected:
  // Mount path 40 of ma2, shared with (64) or unshared from (128) ma3.
  static Fields library(long long operation, int agent = kMa2) {
    return {{43, operation}, {1, kDiskLib}, {8, "disklib"}, {7, agent}, {3, agent == kMa2 ? "ma2" : "ma3"},
            {23, kMountPath}, {24, "/mnt/disk1"}};
  }
  static Fields second(long long access = 4, const std::string& path = "/ma3/path") {
    return {{7, kMa3}, {24, path}, {54, access}};
  }
  long long ma3Access() {
    return m_db.scalar("SELECT DeviceAccessType FROM MMDeviceController WHERE ClientId = 3 AND DeviceId = 60");
  }
  void ma3Path() { tktest::addDevicePath(m_db, {501, kMa3, kDevice, 6, "/ma3/old"}); }
};

TEST_F(ShareMountPath, ShareAddsTheAgentsDevicePathAndAuditsTheShare) {
  const Answer a = call(library(64), second(20));
  ASSERT_TRUE(a.success) << a.xml;
  const auto sent = testkit::mmdb::calls(kSend);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].args, (std::vector<std::string>{"60", "1", "1:3:0:20:/ma3/path"}));
  EXPECT_EQ(m_db.text("SELECT Folder FROM MMDeviceController WHERE ClientId = 3 AND DeviceId = 60"), "/ma3/path");
  EXPECT_EQ(ma3Access(), 20);
  const auto records = auditsOf(0x5400020E);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].params[0].arguments, std::vector<std::string>{"disklib"});
}

TEST_F(ShareMountPath, AnAccessTypeOutsideTheFourteenTakesTheAgentsOwn) {
  ASSERT_EQ(m_db.exec("UPDATE MMDeviceController SET DeviceAccessType = 22 WHERE DeviceControllerId = 500"), 0);
  const std::pair<long long, long long> cases[] = {{4, 4}, {134, 134}, {38, 38}, {2, 22}, {0, 22}, {16, 22}, {8, 22}};
  for (const auto& [requested, stored] : cases) {
    SCOPED_TRACE(requested);
    ASSERT_TRUE(call(library(64), second(requested)).success);
    EXPECT_EQ(ma3Access(), stored);
    ASSERT_EQ(m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 3"), 0);
  }
}

TEST_F(ShareMountPath, ASharerWithoutADevicePathIsNoRefusalAndGivesAnEnabledPath) {
  ASSERT_EQ(m_db.exec("DELETE FROM MMDeviceController WHERE DeviceControllerId = 500"), 0);
  ASSERT_TRUE(call(library(64), second(2)).success);
  EXPECT_EQ(ma3Access(), 6);
  EXPECT_EQ(m_db.scalar("SELECT DeviceControllerEnabled FROM MMDeviceController WHERE ClientId = 3"), 1);
}

TEST_F(ShareMountPath, RefusalsSendNothingAndAuditNothing) {
  struct Case {
    const char* name;
    Fields library;
    std::function<void(CNMessageBase&)> second;  // edits the second description
    std::function<void()> arm;
    std::string text;
  };
  const Case cases[] = {
      {"device unread", library(64), nullptr,
       [] { testkit::mmdb::failNext("MMDeviceDB::getInfoByMountPath", MMS2_ERROR_DATABASE, "x"); }, errorText(415)},
      {"agent reaches the device already", library(64), nullptr, [&] { ma3Path(); }, catalogueText(0x23000950)},
      {"sharer's path unread", library(8), nullptr,
       [] { testkit::mmdb::failNext("MMDeviceControllerDB::getInfoByHstAndDeviceId", MMS2_ERROR_DATABASE, "x"); },
       errorText(415)},
      {"the last device path", library(128), nullptr, [] {}, catalogueText(0x2300093f)},
      {"no drive pool", library(64), nullptr,
       [&] { ASSERT_EQ(m_db.exec("DELETE FROM MMDrivePool WHERE ClientId = 2"), 0); }, catalogueText(0x230006ec)},
      {"credential id 0", library(64),
       [](CNMessageBase& s) { setCredential(s, Info::kCredential, 0, "none"); },
       [] {}, catalogueText(0x23000d7b)},
      {"no path and no data server", library(64),
       [](CNMessageBase& s) {
         s.setstring(Info::kMountPathName.ordinal, Info::kMountPathName.tag, "", Info::kClassHash,
                     Info::kMountPathName.hash);
       },
       [] {}, catalogueText(0x2300091a)},
      {"the service refuses", library(64), nullptr,
       [] { testkit::mmdb::failNext(kSend, ZQMM_ERR_BAD_REQUEST, "bad"); }, errorText(ZQMM_ERR_BAD_REQUEST)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arm();
    const std::size_t sent = testkit::mmdb::calls(kSend).size();
    const Answer a = call(requestWith(c.library, second(), [&](CNMessageBase&, CNMessageBase& s) {
      if (c.second) c.second(s);
    }));
    expectRefused(a, c.text);
    if (std::string(c.name) != "the service refuses") {
      EXPECT_EQ(testkit::mmdb::calls(kSend).size(), sent);
    }
    ASSERT_EQ(m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 3"), 0);
    ASSERT_EQ(m_db.exec("INSERT OR IGNORE INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId, MaxDrivesToSwitch) "
                        "VALUES (20, 10, 2, 7)"),
              0);
  }
  EXPECT_EQ(count("MMDeviceController"), 1);
  EXPECT_TRUE(auditsOf(0x5400020E).empty());
  EXPECT_TRUE(auditsOf(0x540000b7).empty());
}

TEST_F(ShareMountPath, ADataServerShareWithoutAPathIsSent) {
  ASSERT_TRUE(call(library(64), second(20, "")).success);
  EXPECT_EQ(testkit::mmdb::calls(kSend).size(), 1u);
  EXPECT_EQ(ma3Access(), 20);
}

TEST_F(ShareMountPath, UnshareRemovesTheAgentsPathEvenWithoutAPathAndAuditsIt) {
  ma3Path();
  const Answer a = call(library(128, kMa3), second(4, ""));
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(testkit::mmdb::calls(kSend).at(0).args, (std::vector<std::string>{"60", "1", "3:3:501:4:"}));
  EXPECT_EQ(count("MMDeviceController"), 1);
  EXPECT_EQ(count("MMDeviceController", "ClientId = 2"), 1);
  const auto records = auditsOf(0x540000b7);
  ASSERT_EQ(records.size(), 1u);
  ASSERT_EQ(records[0].params.size(), 1u);
  EXPECT_EQ(records[0].params[0].messageId, 0x5500018b);
  EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{"dev60", ""}));
}

TEST_F(ShareMountPath, TheCredentialMustFitTheVendorOnlyWhenSharingASharedDevicePathFoundByName) {
  // Mount path 40 lies on a type-7 path of a device of vendor type 300.
  ASSERT_EQ(m_db.exec("UPDATE MMMountPath SET MountPathTypeId = 7 WHERE MountPathId = 40"), 0);
  ASSERT_EQ(m_db.exec("UPDATE MMDevice SET DeviceTypeId = 300 WHERE DeviceId = 60"), 0);
  tktest::insertRows(m_db, "APP_Credentials (credentialId, credentialName, recordType)",
                     {{5, "fits", 400}, {6, "misfit", 103}});
  struct Case {
    const char* name;
    bool byName;
    long long credential;
    std::string text;  // "" for success
  };
  const Case cases[] = {
      {"misfit by name", true, 6, catalogueText(0x23000d7b)},
      {"unknown by name", true, 99, catalogueText(0x230006ec)},
      {"fits by name", true, 5, ""},
      {"misfit by id: not checked", false, 6, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields first = library(64);
    if (c.byName) first.insert_or_assign(23, 0);
    const Answer a = call(requestWith(first, second(), [&](CNMessageBase&, CNMessageBase& s) {
      setCredential(s, Info::kCredential, c.credential, c.name);
    }));
    if (c.text.empty()) {
      EXPECT_TRUE(a.success) << a.xml;
    } else {
      expectRefused(a, c.text);
    }
    ASSERT_EQ(m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 3"), 0);
  }
  const auto records = auditsOf(0x5400020E);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].params.back().arguments, std::vector<std::string>{"fits by name"});
}

}  // namespace
}  // namespace mountpathtest
