// Changing the properties of a mount path (operation 8): writers, reserved
// space, the attribute bits with their interlocks, enabling, the device's
// name and the credential, each optional; the pruning request; the one
// audit record listing every change; and what a refusal keeps.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"
#include "tests/ezconfig_mountpaths/MountPathFixture.h"

namespace mountpathtest {
namespace {

constexpr int kAuditProperties = 0x540000b9;
constexpr const char* kPruning = "ZQMMmountPath::performStartStopPruningConfig";

class MountPathProperties : public MountPathTest {
 protected:
  void SetUp() override {
    MountPathTest::SetUp();
    reset(0, 10);
    tktest::insertRows(m_db, "APP_Credentials (credentialId, credentialName, recordType)", {{4, "a", 103}, {6, "b", 103}});
  }
  // Mount path 40 as the request finds it.
  void reset(int attribute, int writers, int enabled = 1) {
    ASSERT_EQ(m_db.exec("UPDATE MMMountPath SET Attribute = ?, MaxConcurrentWriters = ?, MagneticSpaceRsrvInMB = 0, "
                        "IsEnabled = ?, origTFtarnfoldID = 4 WHERE MountPathId = 40",
                        {attribute, writers, enabled}),
              0);
  }
  static Fields library() {
    return {{43, 8}, {1, kDiskLib}, {8, "disklib"}, {7, kMa2}, {3, "ma2"}, {23, kMountPath}, {24, "/mnt/disk1"}};
  }
  Answer change(Fields second, long long credential = 0) {
    second.insert_or_assign(7, kMa2);
    second.try_emplace(24, "base1");
    return call(requestWith(library(), second, [&](CNMessageBase&, CNMessageBase& s) {
      if (credential != 0) setCredential(s, Info::kMountPathCredential, credential, credential == 4 ? "a" : "b");
    }));
  }
  long long row(const std::string& column) {
    return m_db.scalar("SELECT " + column + " FROM MMMountPath WHERE MountPathId = 40");
  }
  // The message ids of the last properties record.
  static std::vector<int> lastAudit() {
    const auto records = auditsOf(kAuditProperties);
    std::vector<int> ids;
    if (records.empty()) return ids;
    for (const auto& p : records.back().params) ids.push_back(p.messageId);
    return ids;
  }
  static bool audited(int id) {
    for (int m : lastAudit())
      if (m == id) return true;
    return false;
  }
};

TEST_F(MountPathProperties, WritersAndReservedSpaceAreNormalisedOrLeftAlone) {
  struct Case {
    Fields fields;
    const char* column;
    long long stored;
    int auditId;  // 0: nothing audited for it
  };
  const Case cases[] = {
      {{{64, -1}}, "MaxConcurrentWriters", 1000, 0x55000472}, {{{64, 5000}}, "MaxConcurrentWriters", 999, 0x55000472},
      {{{64, 1001}}, "MaxConcurrentWriters", 10, 0},          {{{64, -5}}, "MaxConcurrentWriters", 10, 0},
      {{}, "MaxConcurrentWriters", 10, 0},                    {{{66, 1}}, "MagneticSpaceRsrvInMB", 2048, 0x55000473},
      {{{66, 4096}}, "MagneticSpaceRsrvInMB", 4096, 0x55000473}, {{{66, 0}}, "MagneticSpaceRsrvInMB", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(change(c.fields).success);
    EXPECT_EQ(row(c.column), c.stored);
    EXPECT_EQ(lastAudit().size(), c.auditId == 0 ? 1u : 2u);
    if (c.auditId != 0) {
      EXPECT_TRUE(audited(c.auditId));
    }
    reset(0, 10);
  }
  const auto records = auditsOf(kAuditProperties);
  ASSERT_EQ(records.at(0).params.at(1).arguments, (std::vector<std::string>{"10", "1000"}));
}

TEST_F(MountPathProperties, AttributeBitsFollowTheirInterlocks) {
  struct Case {
    const char* name;
    int attribute;
    int writers;
    Fields fields;
    std::string refusal;  // "" when accepted
    int after;
    std::vector<int> audits;  // besides the device entry
  };
  const Case cases[] = {
      {"pruning off clears both", 0x108, 10, {{76, 0}}, "", 0, {0x550004c1, 0x550005f3}},
      {"DP settings off without pruning", 0x108, 10, {{76, 0}, {85, 0}}, catalogueText(0x23000cde), 0x108, {}},
      {"DP settings on, pruning on already", 0x8, 10, {{85, 1}}, "", 0x108, {0x550005f4}},
      {"DP settings on, pruning off", 0, 10, {{85, 1}}, catalogueText(0x23000cde), 0, {}},
      {"silo reserve on", 0, 10, {{71, 1}}, "", 0x2, {0x550004c2}},
      {"prevention with writers 0", 0, 10, {{89, 1}, {64, 0}}, "", 0x2000, {0x55000472, 0x5500069f}},
      {"prevention with writers 10", 0, 0, {{89, 1}, {64, 10}}, catalogueText(0x23000eb4), 0, {}},
      {"prevention lifted by opening", 0x2000, 0, {{89, 2}, {64, 10}}, "", 0, {0x55000472}},
      {"pruning 3", 0, 10, {{76, 3}}, catalogueText(0x23000a06), 0, {}},
      {"DP settings 3", 0, 10, {{85, 3}}, catalogueText(0x23000cdf), 0, {}},
      {"silo reserve 5", 0, 10, {{71, 5}}, catalogueText(0x23000a07), 0, {}},
      {"prevention -1", 0, 10, {{89, -1}}, catalogueText(0x23000eb5), 0, {}},
      {"enable 7", 0, 10, {{96, 7}}, catalogueText(0x230011fd), 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset(c.attribute, c.writers);
    testkit::audit::reset();
    const Answer a = change(c.fields);
    if (c.refusal.empty()) {
      ASSERT_TRUE(a.success) << a.xml;
      std::vector<int> expected{0x5500018b};
      expected.insert(expected.end(), c.audits.begin(), c.audits.end());
      EXPECT_EQ(lastAudit(), expected);
    } else {
      expectRefused(a, c.refusal);
      EXPECT_TRUE(auditsOf(kAuditProperties).empty());
    }
    EXPECT_EQ(row("Attribute"), c.after);
  }
}

TEST_F(MountPathProperties, AllBitsGoInOneWriteAndAPruningChangeIsSentToTheAgent) {
  ASSERT_TRUE(change({{76, 1}, {85, 1}, {71, 1}}).success);
  const auto writes = testkit::mmdb::calls("MMMountPathDB::setAttribute");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(row("Attribute"), 0x10A);
  ASSERT_EQ(testkit::mmdb::calls(kPruning).size(), 1u);
  EXPECT_EQ(testkit::mmdb::calls(kPruning)[0].args, (std::vector<std::string>{"1", "1", "40", "4"}));

  // A failed pruning request is only logged.
  testkit::mmdb::failNext(kPruning, 9, "agent away");
  EXPECT_TRUE(change({{76, 0}}).success);
  EXPECT_EQ(testkit::mmdb::calls(kPruning).at(1).args, (std::vector<std::string>{"1", "2", "40", "4"}));
  EXPECT_EQ(row("Attribute"), 0x2);
  // Unchanged pruning sends nothing.
  EXPECT_TRUE(change({{76, 0}, {71, 0}}).success);
  EXPECT_EQ(testkit::mmdb::calls(kPruning).size(), 2u);
}

TEST_F(MountPathProperties, TheDeviceIsRenamedUnlessOnlyTheCaseDiffers) {
  ASSERT_TRUE(change({{55, "DEV60"}}).success);
  EXPECT_TRUE(testkit::mmdb::calls("MMDeviceDB::renameDevice").empty());
  ASSERT_TRUE(change({{55, "disk-a"}}).success);
  EXPECT_EQ(m_db.text("SELECT AliasName FROM MMDevice WHERE DeviceId = 60"), "disk-a");
  const auto records = auditsOf(kAuditProperties);
  EXPECT_EQ(records.back().params.back().messageId, 0x550004c4);
  EXPECT_EQ(records.back().params.back().arguments, (std::vector<std::string>{"dev60", "disk-a"}));
}

TEST_F(MountPathProperties, TheCredentialAssociationIsAuditedByItsResult) {
  struct Case {
    long long credential;
    bool accepted;
    std::vector<std::string> audit;  // the credential entry's arguments; empty: none
    int auditId;
  };
  const Case cases[] = {
      {4, true, {"a"}, 0x55000744},        // 0: a first credential
      {4, true, {}, 0},                    // -3: unchanged
      {6, true, {"a", "b"}, 0x55000745},   // above 0: replaced
      {99, false, {}, 0},                  // any other: refused
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.credential);
    testkit::audit::reset();
    const Answer a = change({}, c.credential);
    if (!c.accepted) {
      expectRefused(a, catalogueText(0x23001262));
      continue;
    }
    ASSERT_TRUE(a.success) << a.xml;
    const auto params = auditsOf(kAuditProperties).at(0).params;
    ASSERT_EQ(params.size(), c.audit.empty() ? 1u : 2u);
    if (!c.audit.empty()) {
      EXPECT_EQ(params[1].messageId, c.auditId);
      EXPECT_EQ(params[1].arguments, c.audit);
    }
  }
}

TEST_F(MountPathProperties, EveryChangeIsAuditedInTheRecordsOrder) {
  const Answer a = change({{64, 0}, {66, 4096}, {76, 1}, {85, 1}, {71, 1}, {96, 0}, {55, "disk-a"}, {89, 1}}, 4);
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(lastAudit(), (std::vector<int>{0x5500018b, 0x55000472, 0x55000473, 0x550004c0, 0x550005f4, 0x55000744,
                                           0x550004c2, 0x55000731, 0x550004c4, 0x5500069f}));
  EXPECT_EQ(auditsOf(kAuditProperties).at(0).params.at(0).arguments, (std::vector<std::string>{"dev60", "base1"}));
  EXPECT_EQ(row("IsEnabled"), 0);
  EXPECT_EQ(row("Attribute"), 0x210A);
}

TEST_F(MountPathProperties, ARefusalUndoesTheEarlierWritesAndAuditsNothing) {
  expectRefused(change({{64, -1}, {66, 4096}, {76, 3}}), catalogueText(0x23000a06));
  EXPECT_EQ(row("MaxConcurrentWriters"), 10);
  EXPECT_EQ(row("MagneticSpaceRsrvInMB"), 0);
  EXPECT_TRUE(auditsOf(kAuditProperties).empty());
  EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
}

TEST_F(MountPathProperties, AFailureOfTheDevicePathKeepsNoPropertyAndNoRename) {
  struct Case {
    const char* name;
    std::function<void()> arm;
    std::string text;
    std::size_t sent;  // calls that reached the service
  };
  const Case cases[] = {
      {"the agent has no drive pool of the library",
       [&] { ASSERT_EQ(m_db.exec("DELETE FROM MMDrivePool WHERE ClientId = 2"), 0); }, catalogueText(0x230006ec), 0},
      {"the service refuses the device path",
       [] { testkit::mmdb::failNext("ZQMMDeviceInfo::configDeviceControllerList", ZQMM_ERR_BAD_REQUEST, "bad"); },
       errorText(ZQMM_ERR_BAD_REQUEST), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::mmdb::reset();
    c.arm();
    expectRefused(change({{64, 5}, {66, 4096}, {71, 1}, {96, 0}, {55, "Renamed"}}), c.text);
    EXPECT_EQ(row("MaxConcurrentWriters"), 10);
    EXPECT_EQ(row("MagneticSpaceRsrvInMB"), 0);
    EXPECT_EQ(row("Attribute"), 0);
    EXPECT_EQ(row("IsEnabled"), 1);
    EXPECT_EQ(m_db.text("SELECT AliasName FROM MMDevice WHERE DeviceId = 60"), "dev60");
    EXPECT_EQ(m_db.text("SELECT Folder FROM MMDeviceController WHERE DeviceControllerId = 500"), "base1");
    EXPECT_EQ(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").size(), c.sent);
    EXPECT_TRUE(auditsOf(kAuditProperties).empty());
    ASSERT_EQ(m_db.exec("INSERT OR IGNORE INTO MMDrivePool (DrivePoolId, MasterPoolId, ClientId, MaxDrivesToSwitch) "
                        "VALUES (20, 10, 2, 7)"),
              0);
  }
  // Once the agent's drive pool is there, the same change is stored whole.
  ASSERT_TRUE(change({{64, 5}, {66, 4096}, {71, 1}, {96, 0}, {55, "Renamed"}}).success);
  EXPECT_EQ(row("MaxConcurrentWriters"), 5);
  EXPECT_EQ(m_db.text("SELECT AliasName FROM MMDevice WHERE DeviceId = 60"), "Renamed");
}

TEST_F(MountPathProperties, MissingNamesAreRefusedEvenWithAMountPathId) {
  Fields first = library();
  first.insert_or_assign(8, "");
  expectRefused(call(first, {{64, -1}, {24, "base1"}}), catalogueText(0x2300091a));
  EXPECT_EQ(row("MaxConcurrentWriters"), 10);
}

TEST_F(MountPathProperties, AChangeWithoutAPathSendsNothingAndKeepsTheFolder) {
  ASSERT_TRUE(call(library(), {{7, kMa2}, {64, 20}}).success);
  EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
  EXPECT_EQ(m_db.text("SELECT Folder FROM MMDeviceController WHERE DeviceControllerId = 500"), "base1");
  EXPECT_EQ(row("MaxConcurrentWriters"), 20);
}

}  // namespace
}  // namespace mountpathtest
