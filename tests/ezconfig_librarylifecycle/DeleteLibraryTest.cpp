// Deleting a library through the storage-library request: the table removal
// of a type-9 library, the delete-enable value, the hybrid-cloud check, the
// whole-library deconfiguration and the walk over one media agent's parts.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_librarylifecycle/LifecycleFixture.h"

namespace lifecycletest {
namespace {

using tktest::catalogueText;

constexpr int kDeconfigured = 0x54000070;
constexpr int kPartDeleted = 0x540000B7;

class DeleteLibrary : public LifecycleTest {
 protected:
  long long rows(const char* table, const char* where) {
    return value(std::string("SELECT COUNT(*) FROM ") + table + " WHERE " + where);
  }
};

TEST_F(DeleteLibrary, ATypeNineLibraryLeavesTheTablesAndIsAnsweredWithoutDescription) {
  tktest::insertRows(m_db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{8, "rplib", 9}});
  tktest::insertRows(m_db, "MMMasterPool (MasterPoolId, LibraryId)", {{95, 8}});
  const Answer a = send(requestText({{43, 2}, {8, "rplib"}}));
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_FALSE(a.has(Info::kLibraryId));
  EXPECT_EQ(rows("MMLibrary", "LibraryId = 8") + rows("MMMasterPool", "LibraryId = 8"), 0);
  EXPECT_EQ(audits(kDeconfigured), (std::vector<std::vector<Param>>{{{0x550000BF, {"rplib"}}}}));

  tktest::insertRows(m_db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{8, "rplib", 9}});
  testkit::mmdb::failNext("MMLibraryDB::uninstallLibrary", 77, "the library is busy");
  expectRefused(send(requestText({{43, 2}, {8, "rplib"}})), "the library is busy");
}

TEST_F(DeleteLibrary, WithoutADeleteEnableValueNothingIsDeleted) {
  for (long long enable : {-1LL, 0LL}) {
    SCOPED_TRACE(enable);
    const Answer a = send(requestText({{43, 2}, {8, "lonely"}}, {}, enable));
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(a.number(Info::kLibraryId), kLonelyLib);
  }
  EXPECT_EQ(rows("MMLibrary", "LibraryId = 6"), 1);
  EXPECT_EQ(testkit::mac::journal().count("DeconfigureLibrary"), 0u);
}

TEST_F(DeleteLibrary, TheHybridCloudCheckRunsOnlyWhenAskedAndRefusesWithTheCloudLibrariesNames) {
  tktest::insertRows(m_db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{11, "cloudA", 3}, {12, "cloudB", 3}});
  auto associate = [&] {
    tktest::insertRows(m_db, "MMHybridCloudMapping (CloudLibraryId, DiskLibraryId)",
                       {{11, kLonelyLib}, {12, kLonelyLib}});
  };
  // Not asked: the library goes with its associations.
  for (const Fields& skip : {Fields{{43, 2}, {8, "lonely"}}, Fields{{43, 2}, {8, "lonely"}, {41, 1}}}) {
    associate();
    EXPECT_TRUE(send(requestText(skip, {}, 1)).success);
    EXPECT_EQ(rows("MMLibrary", "LibraryId = 6"), 0);
    tktest::insertRows(m_db, "MMLibrary (LibraryId, AliasName, LibraryTypeId)", {{kLonelyLib, "lonely", 3}});
  }
  // Asked, and named only: the check gets the id found by name.
  associate();
  expectRefused(send(requestText({{43, 2}, {8, "lonely"}, {41, 0}}, {}, 1)),
                catalogueText(0x23000F43, "cloudA, cloudB"));
  EXPECT_EQ(rows("MMLibrary", "LibraryId = 6"), 1);
}

TEST_F(DeleteLibrary, AWholeLibraryIsDeconfiguredOnlyOnceItsMountPathsAreGone) {
  const Answer a = send(requestText({{43, 2}, {8, "LONELY"}}, {}, 1));
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_FALSE(a.has(Info::kLibraryId));
  EXPECT_EQ(rows("MMLibrary", "LibraryId = 6"), 0);
  EXPECT_EQ(audits(kDeconfigured), (std::vector<std::vector<Param>>{{{0x550000BF, {"LONELY"}}}}));

  const Answer kept = send(requestText({{43, 2}, {8, "disklib"}}, {}, 1));
  EXPECT_EQ(kept.code, -1);
  EXPECT_NE(kept.text.find("mount paths"), std::string::npos) << kept.text;
  EXPECT_EQ(rows("MMLibrary", "LibraryId = 5") + rows("MMMountPath", "LibraryId = 5"), 2);
}

TEST_F(DeleteLibrary, OneMediaAgentsPartsGoWithTheMasterPoolsTheyEmpty) {
  const Answer a = send(requestText({{43, 2}, {8, "TapeLib"}, {3, "MA2"}}, {}, 1));
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.number(Info::kLibraryId), kTapeLib);
  EXPECT_EQ(value("SELECT GROUP_CONCAT(DrivePoolId) FROM MMDrivePool"), 92);
  EXPECT_EQ(value("SELECT GROUP_CONCAT(LibraryControllerId) FROM MMLibraryController WHERE LibraryId = 7"), 81);
  EXPECT_EQ(value("SELECT GROUP_CONCAT(MasterPoolId) FROM MMMasterPool"), 90);
  int user = 0;
  const auto records = audits(kPartDeleted, &user);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], (std::vector<Param>{{0x5500018B, {"DP ma2", "DP ma2"}}}));
  EXPECT_EQ(records[2], (std::vector<Param>{{0x5500018B, {"tapelib on ma2", "tapelib on ma2"}}}));
  EXPECT_EQ(records[3], (std::vector<Param>{{0x5500018B, {"MP ma2", "MP ma2"}}}));
  EXPECT_EQ(user, static_cast<int>(kAlice));  // the requester, whoever holds the console session

  // A library no server carries answers success and deletes nothing.
  EXPECT_TRUE(send(requestText({{43, 2}, {8, "disklib"}, {3, "ma2"}}, {}, 1)).success);
  EXPECT_EQ(rows("MMLibrary", "LibraryId = 5"), 1);
}

}  // namespace
}  // namespace lifecycletest
