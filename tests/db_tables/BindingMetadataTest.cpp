// Every binding of the area against its column table: catalogue metadata,
// what the database object tells the engine, the row struct, and the
// registration in a transaction.
#include <gtest/gtest.h>

#include <cstddef>

#include "Db/TKView/MMS2getMountPathNameGUIView.h"
#include "Db/Tbl/HVGlobalParam.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/testkit/db.h"
#include "tests/db_tables/BindingChecks.h"
#include "tests/support/TestDatabase.h"

namespace {

using namespace dbtables;

class Bindings : public ::testing::Test {
 protected:
  void SetUp() override { testkit::db::reset(); }
  void TearDown() override { testkit::db::reset(); }
};

// One test per binding, each running every check against its column table.
#define BINDING_TESTS(Name, Expected, Line)                                  \
  TEST_F(Bindings, Name##CatalogueAnswersFromItsColumnTable) {               \
    checkCatalogue<Name##_t2>(Expected());                                   \
    checkCatalogueNotCopyable<Name##_t2>();                                  \
  }                                                                          \
  TEST_F(Bindings, Name##ObjectTellsTheEngineItsIdentity) {                  \
    checkTableObject<Name, Name##_t2>(Expected());                           \
  }                                                                          \
  TEST_F(Bindings, Name##RowFollowsItsColumnTable) { checkRow<Name##_t>(Expected()); } \
  TEST_F(Bindings, Name##RegistersInItsTransactionAndLogsAFailure) {         \
    tktest::TestDatabase db;                                                 \
    checkRegistration<Name>(Expected(), Line);                               \
  }

BINDING_TESTS(MMLibrary, expectedMMLibrary, 1181)
BINDING_TESTS(HVGlobalParam, expectedHVGlobalParam, 501)
BINDING_TESTS(MMDrive, expectedMMDrive, 1144)
BINDING_TESTS(MMDrivePool, expectedMMDrivePool, 650)
BINDING_TESTS(MMDeviceController, expectedMMDeviceController, MMDeviceController_info.line)
BINDING_TESTS(MMMountPath, expectedMMMountPath, MMMountPath_info.line)
BINDING_TESTS(MMS2getMountPathNameGUIView, expectedMountPathView, MMS2getMountPathNameGUIView_info.line)

TEST_F(Bindings, ColumnCountsAndCodeCountsAreThoseOfTheTables) {
  struct Case {
    const ExpectedBinding& e;
    size_t columns, ints, wides, fixedTexts, heapTexts;
  };
  const Case cases[] = {
      {expectedMMLibrary(), 62, 41, 9, 10, 2},        {expectedHVGlobalParam(), 5, 1, 2, 1, 1},
      {expectedMMDrive(), 58, 38, 6, 12, 2},          {expectedMMDrivePool(), 18, 15, 0, 2, 1},
      {expectedMMDeviceController(), 19, 16, 0, 3, 0}, {expectedMMMountPath(), 26, 22, 1, 3, 0},
      {expectedMountPathView(), 28, 25, 0, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.e.className);
    size_t ints = 0, wides = 0, fixed = 0, heap = 0;
    for (const ExpectedColumn& col : c.e.columns) {
      std::string code = col.code;
      if (code == "i") ++ints;
      else if (code == "x") ++wides;
      else if (code.size() > 1) ++fixed;
      else ++heap;
    }
    EXPECT_EQ(c.columns, c.e.columns.size());
    EXPECT_EQ(c.ints, ints);
    EXPECT_EQ(c.wides, wides);
    EXPECT_EQ(c.fixedTexts, fixed);
    EXPECT_EQ(c.heapTexts, heap);
  }
}

TEST_F(Bindings, SchemaStringsAndStructureDefinitionsAsWrittenOut) {
  EXPECT_EQ("i|s129|s|x|x|", ZQDBSchemaString<HVGlobalParam_t>());
  EXPECT_EQ("i|s129|s|b|b|", HVGlobalParam_t2().getStructDef());
  EXPECT_EQ("i|s1025|u4097|i|i|i|i|x|i|i|i|s17|s33|s33|s33|s65|i|i|i|i|i|i|i|i|i|i|i|i|i|x|x|s34|s257|i|x|i|i|x|x|"
            "s33|i|i|i|u|i|i|i|i|i|i|i|s257|i|i|i|s513|i|s|",
            ZQDBSchemaString<MMDrive_t>());
  EXPECT_EQ("i|u257|i|i|i|i|i|s65|i|i|u|i|i|i|i|i|i|i|", ZQDBSchemaString<MMDrivePool_t>());
  EXPECT_EQ("i|u257|i|i|i|i|i|s65|i|i|u|i|i|i|i|i|i|i|", MMDrivePool_t2().getStructDef());
  EXPECT_EQ("i|i|i|i|i|i|i|s1025|s2049|s1025|i|i|i|i|i|i|i|i|i|", ZQDBSchemaString<MMDeviceController_t>());
  EXPECT_EQ("i|i|i|i|i|i|i|s1025|s2049|s1025|i|i|i|i|i|i|i|i|i|", MMDeviceController_t2().getStructDef());
  EXPECT_EQ("i|u4097|i|s1025|s2049|i|i|i|i|i|i|i|x|i|i|i|i|i|i|i|i|i|i|i|i|i|", ZQDBSchemaString<MMMountPath_t>());
  EXPECT_EQ("i|u4097|i|s1025|s2049|i|i|i|i|i|i|i|b|i|i|i|i|i|i|i|i|i|i|i|i|i|", MMMountPath_t2().getStructDef());
  EXPECT_EQ("i|s2049|i|i|i|i|s1025|s1025|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|i|",
            ZQDBSchemaString<MMS2getMountPathNameGUIView_t>());
  EXPECT_EQ(ZQDBSchemaString<MMS2getMountPathNameGUIView_t>(), MMS2getMountPathNameGUIView_t2().getStructDef());

  std::string library = ZQDBSchemaString<MMLibrary_t>();
  EXPECT_EQ(0u, library.rfind("i|s129|u513|i|", 0));
  EXPECT_EQ(library.size() - 7, library.rfind("|s|i|i|"));
  // The structure definition differs from the schema in the x codes only.
  std::string def = MMLibrary_t2().getStructDef();
  ASSERT_EQ(library.size(), def.size());
  int changed = 0;
  for (size_t i = 0; i < def.size(); ++i) {
    if (def[i] != library[i]) {
      EXPECT_EQ('x', library[i]);
      EXPECT_EQ('b', def[i]);
      ++changed;
    }
  }
  EXPECT_EQ(9, changed);
}

TEST_F(Bindings, SelectListsStartWithTheirFirstColumns) {
  EXPECT_EQ(0u, std::string(MMLibrary(nullptr).getSelectList()).rfind("LibraryId, LibraryName, AliasName, ", 0));
  EXPECT_EQ(0u, std::string(MMDrive(nullptr).getSelectList()).rfind("DriveId, DriveName, AliasName, ", 0));
  EXPECT_EQ(0u, std::string(MMDrivePool(nullptr).getSelectList())
                    .rfind("DrivePoolId, DrivePoolName, DrivePoolSoftState, ", 0));
  EXPECT_STREQ("id, name, value, created, modified", HVGlobalParam(nullptr).getSelectList());
  EXPECT_STREQ("LSTKName", MMDrive_t2().getColumnName_t2(55));
}

TEST_F(Bindings, FixedLayoutsOfTheRowsThePlatformFillsInArrays) {
  // Natural alignment, no packing: these rows travel in arrays between the
  // platform's table access and the handlers.
  EXPECT_EQ(0u, offsetof(MMMountPath_t, MountPathId));
  EXPECT_EQ(4u, offsetof(MMMountPath_t, MountPathName));
  EXPECT_EQ(4104u, offsetof(MMMountPath_t, MediaSideId));
  EXPECT_EQ(0u, offsetof(MMMountPath_t, OffLineTimeStamp) % 8);
  EXPECT_EQ(offsetof(MMMountPath_t, MountPathTypeId) + 8, offsetof(MMMountPath_t, OffLineTimeStamp));
  auto next4 = [](size_t end) { return (end + 3) / 4 * 4; };
  EXPECT_EQ(28u, offsetof(MMDeviceController_t, UserName));
  EXPECT_EQ(next4(offsetof(MMDeviceController_t, Folder) + 1025), offsetof(MMDeviceController_t, DeviceMounted));
  EXPECT_EQ(4u, offsetof(MMDrivePool_t, DrivePoolName));
  EXPECT_EQ(0u, offsetof(MMDrivePool_t, Descript) % 8);
  EXPECT_EQ(next4(offsetof(MMS2getMountPathNameGUIView_t, MountPathName) + 2049),
            offsetof(MMS2getMountPathNameGUIView_t, MediaId));
  EXPECT_EQ(next4(offsetof(MMS2getMountPathNameGUIView_t, UserPassword) + 1025),
            offsetof(MMS2getMountPathNameGUIView_t, IsEnabled));
  static_assert(sizeof(MMLibrary_t::AliasName) == 513);
  static_assert(sizeof(MMMountPath_t::UserPassword) == 2049);
  static_assert(sizeof(MMDeviceController_t::UserPassword) == 2049);
  static_assert(sizeof(MMS2getMountPathNameGUIView_t::UserPassword) == 1025);
}

TEST_F(Bindings, ViewIsKindOneWithHeaderTypeFourWithoutKeysOrOrder) {
  MMS2getMountPathNameGUIView view(nullptr);
  EXPECT_EQ(ZQDB_KIND_TABLE, view.getKind());
  EXPECT_EQ(4, view.getCatalogue()->getHeaderType());
  EXPECT_EQ("", view.getOrderBy());
  EXPECT_STREQ("Table MMS2getMountPathNameGUIView", view.getDescription());
  EXPECT_TRUE(static_cast<MMS2getMountPathNameGUIView_t2*>(view.getCatalogue())->getForeignKeyMap().empty());
}

}  // namespace
