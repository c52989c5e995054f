// The storage-policy table (archGroup) and its copies (archGroupCopy): whole
// rows through the bindings, and the reads and updates of the setup wizards,
// run exactly as the handlers write them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

class StoragePolicyTables : public tktest::DatabaseTest {
 protected:
  void policies(const std::vector<tkdb::DbRow>& rows) {
    tktest::insertRows(db, "archGroup (id, name, type, defaultCopy, flags)", rows);
  }
};

TEST_F(StoragePolicyTables, FullPolicyAndCopyRowsRoundTripAndReachTheCatalogue) {
  int id = tktest::expectTableRoundTrip<ArchGroup>("id", 3);
  tktest::expectTableRoundTrip<ArchGroupCopy>("id", 5);
  ArchGroup in(nullptr);
  in.setWhere("id = %d", id);
  ASSERT_EQ(0, getOneRow(&in, false, -1, 0));
  EXPECT_EQ(576u, std::strlen(in.getDataPtr()->name)) << "the name fills its field";
  auto* key = dynamic_cast<ZQDB_int*>(in.getCatalogue()->getPrimaryData().at(0));
  ASSERT_NE(nullptr, key);
  EXPECT_FALSE(key->isNull());
  EXPECT_EQ(id, key->getValue());
  EXPECT_EQ(static_cast<long long>(sizeof(int)), in.getIndicators()[0]) << "id is not NULL";
  EXPECT_EQ(static_cast<long long>(std::strlen(in.getDataPtr()->description)), in.getIndicators()[3]);
}

TEST_F(StoragePolicyTables, ARowFetchedAgainReplacesItsHeapDescription) {
  policies({{1, "SP_Gold", 1, 11, 0}, {2, "SP_Silver", 2, 21, 0}});
  ASSERT_EQ(0, db.exec("UPDATE archGroup SET description = 'first' WHERE id = 1"));
  ArchGroup g(nullptr);
  g.setWhere("id = %d", 1);
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_STREQ("first", g.getDataPtr()->description);
  // A NULL description after a set one leaves the field null, nothing leaks.
  g.setWhere("id = %d", 2);
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_EQ(nullptr, g.getDataPtr()->description);
  EXPECT_STREQ("SP_Silver", g.getDataPtr()->name);
}

// The tape-library setup wizard reads a policy by id, for its type.
TEST_F(StoragePolicyTables, PolicyReadById) {
  policies({{7, "SP_Tape", 1, 71, 0}, {8, "SP_Other", 3, 81, 0}});
  struct Case {
    int id, rc, type;
  };
  for (const Case& c : {Case{7, 0, 1}, Case{8, 0, 3}, Case{9, 100, 0}, Case{-1, 100, 0}}) {
    SCOPED_TRACE(c.id);
    ArchGroup g(nullptr);
    g.setWhere("id = %d", c.id);
    EXPECT_EQ(c.rc, getOneRow(&g, false, -1, 0));
    EXPECT_EQ(c.rc == 0 ? c.id : 0, g.getDataPtr()->id);
    EXPECT_EQ(c.type, g.getDataPtr()->type);
  }
}

// The disk-library setup wizard ORs flags into a policy.
TEST_F(StoragePolicyTables, PolicyFlagsAreOredIntoThatPolicyOnly) {
  struct Case {
    int id, start, bits, expect;
  } cases[] = {{101, 0, 544, 0x220}, {102, 0, 160, 0xA0}, {103, 0x1, 544, 0x221}, {104, 0x20, 160, 0xA0},
               {105, 0x220, 544, 0x220}};
  for (const Case& c : cases) policies({{c.id, "SP_" + std::to_string(c.id), 1, 0, c.start}});
  for (const Case& c : cases) {
    ArchGroup g(nullptr);
    g.setWhere("id = %d", c.id);
    ASSERT_EQ(0, g.rowUpdate("flags = flags | %d", c.bits));
  }
  for (const Case& c : cases) EXPECT_EQ(c.expect, db.scalar("SELECT flags FROM archGroup WHERE id = ?", {c.id}));

  ArchGroup g(nullptr);
  g.setWhere("id = %d", 404);
  EXPECT_NE(0, g.rowUpdate("flags = flags | %d", 544)) << "a missing policy";
}

TEST_F(StoragePolicyTables, CopyDeduplicationAndSealTaskAreSetTogether) {
  policies({{1, "SP_Disk", 1, 11, 0}});
  tktest::insertRows(db, "archGroupCopy (id, archGroupId, copy, name, dedupeFlags)",
                     {{11, 1, 11, "Primary", 0x3}, {12, 1, 12, "Secondary", 0}});
  ArchGroupCopy c(nullptr);
  c.setWhere("id = %d", 11);
  ASSERT_EQ(0, c.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, 42));
  // The statement the engine ran is the update as written, on the copy table.
  EXPECT_EQ("UPDATE \"archGroupCopy\" SET dedupeFlags = (dedupeFlags | 786432), sealStoreTaskId = 42 WHERE id = 11",
            testkit::db::statements().back());
  EXPECT_EQ((tkdb::DbRows{{11, 0xC0003, 42}, {12, 0, 0}}),
            db.query("SELECT id, dedupeFlags, IFNULL(sealStoreTaskId, 0) FROM archGroupCopy ORDER BY id"));
  c.setWhere("id = %d", 77);
  EXPECT_NE(0, c.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, 1)) << "a missing copy";
}

TEST_F(StoragePolicyTables, TheHandlersQueriesWorkInTheTextModeToo) {
  policies({{3, "SP_Text", 1, 31, 0x1}});
  tktest::insertRows(db, "archGroupCopy (id, archGroupId, copy, name)", {{31, 3, 31, "Primary"}});
  DBtable::b_newDBBase = 0;
  ArchGroup g(nullptr);
  g.setWhere("id = %d", 3);
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_EQ(1, g.getDataPtr()->type);
  EXPECT_STREQ("SP_Text", g.getDataPtr()->name);
  ASSERT_EQ(0, g.rowUpdate("flags = flags | %d", 160));
  ArchGroupCopy c(nullptr);
  c.setWhere("id = %d", 31);
  ASSERT_EQ(0, c.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, 9));
  EXPECT_EQ(0xA1, db.scalar("SELECT flags FROM archGroup WHERE id = 3"));
  EXPECT_EQ(9, db.scalar("SELECT sealStoreTaskId FROM archGroupCopy WHERE id = 31"));
}

}  // namespace
