// Changing a library through the storage-library request: watermarks and
// thresholds as stored, the refusals that leave the row as it was, the
// writer limit of the master pool, the controller switch, and the audit
// parameters in their order. Every change is read back from the database.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_librarylifecycle/LifecycleFixture.h"
#include "tests/support/FileSizeLimit.h"

namespace lifecycletest {
namespace {

using tktest::catalogueText;
using Client = ZqEntities::ClientEntity;

constexpr int kChanged = 0x5400006A;

class ModifyLibrary : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    resetLibrary();
    tktest::insertRows(m_db, "MMMasterPool (MasterPoolId, LibraryId, MaxDrivesToSwitch)", {{96, kDiskLib, 50}});
  }
  void resetLibrary() {
    m_db.exec("UPDATE MMLibrary SET LowWaterMarkMB = 10, WarningWaterMark = 20, ThresholdPercentage = 80, "
              "ThresholdVariation = 10, ExtendedAttributes = 0 WHERE LibraryId = 5");
  }
  Answer modify(const Fields& changes, const std::function<void(CNMessageBase&, CNMessageBase&)>& more = {},
                const char* library = "disklib") {
    return send(requestText({{43, 32}, {7, kMa2}, {8, library}}, changes, -1, more));
  }
  // LowWaterMarkMB, WarningWaterMark, ThresholdPercentage, ThresholdVariation, ExtendedAttributes, AliasName.
  std::string row(int libraryId = kDiskLib) {
    return m_db.text("SELECT LowWaterMarkMB || '/' || WarningWaterMark || '/' || ThresholdPercentage || '/' || "
                     "ThresholdVariation || '/' || ExtendedAttributes || '/' || AliasName FROM MMLibrary "
                     "WHERE LibraryId = ?",
                     {libraryId});
  }
};

TEST_F(ModifyLibrary, WatermarksAndThresholdsAreStoredAsLimited) {
  struct Case {
    const char* name;
    Fields changes;
    const char* stored;
  } const cases[] = {
      {"low above the requested warning", {{67, 150}, {68, 60}}, "60/60/80/10/0/disklib"},
      {"low above the current warning", {{67, 30}}, "20/20/80/10/0/disklib"},
      {"a low of 0 leaves it", {{68, 40}}, "10/40/80/10/0/disklib"},
      {"high alone keeps the low threshold", {{74, 90}}, "10/20/90/20/0/disklib"},
      {"low alone", {{75, 50}}, "10/20/80/30/0/disklib"},
      {"both", {{74, 60}, {75, 5}}, "10/20/60/55/0/disklib"},
      {"nothing: rewritten, no audit", {}, "10/20/80/10/0/disklib"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetLibrary();
    testkit::audit::reset();
    const Answer a = modify(c.changes);
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(row(), c.stored);
    EXPECT_EQ(audits(kChanged).size(), std::string(c.name).rfind("nothing", 0) == 0 ? 0u : 1u);
  }
}

TEST_F(ModifyLibrary, RefusalsComeBeforeAnyWrite) {
  const std::string longName(513, 'n');
  struct Case {
    const char* name;
    Fields changes;
    unsigned long text;  // a catalogue text, or 0: `literal`
    const char* library;
    const char* literal = nullptr;
  } const cases[] = {
      {"high of 9", {{74, 9}}, 0x23000A05, "disklib"},
      {"low equal to high", {{74, 50}, {75, 50}}, 0x23000A05, "disklib"},
      {"usePnpWhenBlank out of range", {{73, 5}}, 0x23000A08, "disklib"},
      {"usePnpWhenBlank on a disk library", {{73, 1}}, 0x23000921, "disklib"},
      {"preventDataDelFromMntPth out of range", {{72, 3}}, 0x23000AAF, "disklib"},
      {"markLibForMaintenance out of range", {{87, 7}}, 0x23000D4F, "disklib"},
      {"usage option out of range", {{69, 3}}, 0x23000917, "disklib"},
      {"negative warning", {{68, -5}}, 0x23000921, "disklib"},
      // A name too long for its column is refused naming the limit.
      {"name too long", {{8, longName}}, 0, "disklib", "The library name is longer than 512 bytes."},
      {"watermark on a tape library", {{67, 10}}, 0x23000921, "tapelib"},
  };
  const std::string before = row();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRefused(modify(c.changes, {}, c.library), c.text != 0 ? catalogueText(c.text) : std::string(c.literal));
    EXPECT_EQ(row(), before);
  }
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(ModifyLibrary, AChangeThatCannotBeCommittedAnswersTheDatabasesReasonAndKeepsNothing) {
  const std::string before = row();
  Answer a;
  {
    // The change's pages stay in memory until the commit writes the log.
    tktest::FileSizeLimit limit(0);
    ASSERT_TRUE(limit.set());
    a = modify({{67, 150}, {68, 60}});
  }
  expectRefused(a, "The change could not be stored: The transaction could not be committed "
                   "(disk I/O error: File too large)");
  EXPECT_EQ(row(), before);
  EXPECT_TRUE(audits(kChanged).empty());
}

TEST_F(ModifyLibrary, TheWriterLimitGoesToTheOneMasterPool) {
  for (auto [requested, stored] : {std::pair{5000, 1000}, std::pair{-1, -1}}) {
    SCOPED_TRACE(requested);
    ASSERT_TRUE(modify({{65, requested}}).success);
    EXPECT_EQ(value("SELECT MaxDrivesToSwitch FROM MMMasterPool WHERE MasterPoolId = 96"), stored);
  }
  // Two master pools: refused, and the row update made before goes too.
  tktest::insertRows(m_db, "MMMasterPool (MasterPoolId, LibraryId)", {{97, kDiskLib}});
  const std::string before = row();
  expectRefused(modify({{65, 10}, {68, 30}}), catalogueText(0x23000920));
  EXPECT_EQ(row(), before);
  EXPECT_EQ(before, "10/20/80/10/0/disklib");
  // None: refused with a text that says so.
  m_db.exec("DELETE FROM MMMasterPool WHERE LibraryId = 5");
  const Answer none = modify({{65, 10}});
  EXPECT_EQ(none.code, -1);
  EXPECT_NE(none.text.find("no master pool"), std::string::npos) << none.text;
}

TEST_F(ModifyLibrary, TheAuditListsEveryChangeInItsOrder) {
  m_db.exec("UPDATE MMLibrary SET ExtendedAttributes = 33554432 WHERE LibraryId = 5");  // bit 0x2000000
  const Answer a = modify({{8, "it's new"},
                           {65, 7},
                           {67, 15},
                           {68, 30},
                           {69, 1},
                           {72, 1},
                           {74, 90},
                           {75, 40},
                           {77, 1},
                           {83, 1},
                           {84, 0},
                           {87, 1}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(row(), "15/30/90/50/" + std::to_string(0x1 | 0x200 | 0x40000 | 0x400000 | 0x1000000) + "/it's new");
  const std::vector<Param> expected = {
      {0x550000BF, {"disklib"}},
      {0x55000011, {"it's new"}},
      {0x5500046E, {"10", "15"}},
      {0x5500046F, {"20", "30"}},
      {0x55000470, {"50", "7"}},
      {0x55000471, {std::to_string(0x55000475), std::to_string(0x55000474)}},
      {0x550004E6, {}},
      {0x55000587, {}},
      {0x550005A6, {}},
      {0x550004C5, {}},
      {0x5500017E, {}},
      {0x550004C7, {"80", "90"}},
      {0x550004C8, {"70", "40"}},
  };
  EXPECT_EQ(audits(kChanged), std::vector<std::vector<Param>>{expected});
}

TEST_F(ModifyLibrary, TheActiveControllerSwitchesToTheNamedMediaAgent) {
  auto agent = [](int hostId) {
    return [hostId](CNMessageBase& first, CNMessageBase&) {
      CNMessageBase& c = child(first, Info::kClassHash, Info::kActiveControllerAgent);
      c.setint64(Client::kId.ordinal, Client::kId.tag, hostId, Client::kClassHash, Client::kId.hash);
      c.setstring(Client::kClientName.ordinal, Client::kClientName.tag, "ma3", Client::kClassHash,
                  Client::kClientName.hash);
    };
  };
  ASSERT_TRUE(modify({}, agent(kMa3), "tapelib").success);
  EXPECT_EQ(value("SELECT LibraryControllerId FROM MMLibraryController WHERE LibraryId = 7 AND IsActive = 1"), 81);
  // A library without an active controller (309) is switched too.
  m_db.exec("UPDATE MMLibraryController SET IsActive = 0");
  ASSERT_TRUE(modify({}, agent(kMa2), "tapelib").success);
  EXPECT_EQ(value("SELECT LibraryControllerId FROM MMLibraryController WHERE LibraryId = 7 AND IsActive = 1"), 80);
  // A media agent without a controller of the library is refused.
  EXPECT_EQ(modify({}, agent(kMa3), "disklib").code, -1);
}

}  // namespace
}  // namespace lifecycletest
