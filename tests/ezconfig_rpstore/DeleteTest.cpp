// Deleting a replication-store library (operation 2): the whole library,
// the refusal of a request naming one mount path, the refusal while pairs
// use a store,
// and each failure with its text and what stays.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_rpstore/RPStoreSeed.h"

namespace rpstoretest {
namespace {

class RPStoreDelete : public RPStoreTest {
 protected:
  void SetUp() override {
    RPStoreTest::SetUp();
    seedRPStoreLibrary(m_db);
  }
  // Operation 2 for "rplib8" named only (no id), optionally one mount path.
  static Request deletion(int mountPathId = 0) {
    Request r;
    r.operation = 2;
    r.library = {{8, "rplib8"}, {23, mountPathId}};
    return r;
  }
  void expectAudited() {
    const auto audits = testkit::audit::records();
    ASSERT_EQ(audits.size(), 1u);
    EXPECT_EQ(audits[0].operationId, 0x540000B7);
    ASSERT_EQ(audits[0].params.size(), 1u);
    EXPECT_EQ(audits[0].params[0].messageId, 0x550000BF);
    EXPECT_EQ(audits[0].params[0].arguments, (std::vector<std::string>{"rplib8"}));
  }
};

TEST_F(RPStoreDelete, ALibraryNamedOnlyGoesWithEveryMountPathAndStore) {
  const Answer a = call(deletion());
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.xml.find("RPStoreLibraryInfo"), std::string::npos) << a.xml;
  EXPECT_EQ(count("MMLibrary", "LibraryId = 8"), 0);
  EXPECT_EQ(count("MMMountPath", "LibraryId = 8"), 0);
  EXPECT_EQ(count("MMRPStoreConfig"), 0);
  EXPECT_EQ(count("MMRPStoreProp"), 0);
  EXPECT_EQ(count("MMLibrary", "LibraryId = 5"), 1);
  expectAudited();
}

TEST_F(RPStoreDelete, ALibraryWithoutMountPathsIsStillUninstalled) {
  ASSERT_EQ(m_db.exec("DELETE FROM MMRPStoreConfig"), 0);
  ASSERT_EQ(m_db.exec("DELETE FROM MMMountPathToStorageDevice WHERE MountPathId IN (80, 81)"), 0);
  ASSERT_EQ(m_db.exec("DELETE FROM MMMountPath WHERE LibraryId = 8"), 0);
  const Answer a = call(deletion());
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(count("MMLibrary", "LibraryId = 8"), 0);
  EXPECT_EQ(testkit::mmdb::calls("ZQMMmedAgentInfo::uninstallLibrary").size(), 1u);
  expectAudited();
}

// A mount path is not removed by itself here: the refusal names the
// mount-path deletion as the way, and one of another library names both.
TEST_F(RPStoreDelete, ANamedMountPathIsRefusedAndNothingIsRemoved) {
  const struct {
    int mountPath;
    std::string text;
  } cases[] = {
      {81, tktest::catalogueText(0x23000DA4, "81", "rplib8")},
      {40, tktest::catalogueText(0x23000DA0, "40", "rplib8")},  // of disk library 5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mountPath);
    expectRefused(call(deletion(c.mountPath)), c.text);
    EXPECT_EQ(count("MMMountPath", "MountPathId IN (40, 80, 81)"), 3);
    EXPECT_EQ(count("MMRPStoreConfig"), 2);
    EXPECT_EQ(count("MMLibrary", "LibraryId IN (5, 8)"), 2);
    EXPECT_TRUE(testkit::mmdb::calls("ZQMMmountPath::delMountPath").empty());
    EXPECT_TRUE(testkit::audit::records().empty());
  }
}

TEST_F(RPStoreDelete, PairsOnTheSecondMountPathStopAfterTheFirstIsGone) {
  addPair(m_db, 1, kStoreB, 3, "00112233445566778899aabbccddeeff", 1);
  addPair(m_db, 2, kStoreB, 3, "00112233445566778899aabbccddeeff", 1);
  const Answer a = call(deletion());
  expectRefused(a, catalogue(0x240001BE));
  EXPECT_EQ(count("MMMountPath", "MountPathId = 80"), 0);
  EXPECT_EQ(count("MMRPStoreConfig", "RPStoreId = 800"), 0);
  EXPECT_EQ(count("MMMountPath", "MountPathId = 81"), 1);
  EXPECT_EQ(count("MMRPStoreConfig", "RPStoreId = 801"), 1);
  EXPECT_EQ(count("MMLibrary", "LibraryId = 8"), 1);
  EXPECT_TRUE(testkit::audit::records().empty());
}

// A failing call, the text it is answered with, and the mount paths of the
// library left after it.
struct DeleteFailure {
  const char* call;
  bool catalogueText;  // 0x240001BE, else the service's own text
  long long mountPathsLeft;
};

class RPStoreDeleteFailure : public RPStoreDelete, public ::testing::WithParamInterface<DeleteFailure> {};

TEST_P(RPStoreDeleteFailure, AnswersItsTextAndKeepsTheLibrary) {
  const DeleteFailure& c = GetParam();
  testkit::mmdb::failNext(c.call, 7, "the service's own words");
  expectRefused(call(deletion()), c.catalogueText ? catalogue(0x240001BE) : "the service's own words");
  EXPECT_EQ(count("MMMountPath", "LibraryId = 8"), c.mountPathsLeft);
  EXPECT_EQ(count("MMLibrary", "LibraryId = 8"), 1);
  EXPECT_TRUE(testkit::audit::records().empty());
}

INSTANTIATE_TEST_SUITE_P(EachCall, RPStoreDeleteFailure,
                         ::testing::Values(DeleteFailure{"MMLibraryDB::getInfo", true, 2},
                                           DeleteFailure{"MMMountPathDB::getListForLibrary", true, 2},
                                           DeleteFailure{"MMMiscDB::getBLRPairsForMountPath", true, 2},
                                           DeleteFailure{"ZQMMmountPath::delMountPath", false, 2},
                                           DeleteFailure{"MMRPStoreConfigDB::deleteRPStoreForMP", true, 1},
                                           DeleteFailure{"ZQMMmedAgentInfo::uninstallLibrary", false, 0}));

}  // namespace
}  // namespace rpstoretest
