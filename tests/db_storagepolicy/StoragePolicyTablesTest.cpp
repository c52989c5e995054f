// The storage-policy table (archGroup) and its copies (archGroupCopy):
// whole rows through the bindings, and the reads and updates of the setup
// wizards, run exactly as the handlers write them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Db/Tbl/archGroup.h"
#include "Db/Tbl/archGroupCopy.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_storagepolicy/RowFill.h"
#include "tests/db_storagepolicy/World.h"
#include "tests/support/TestDatabase.h"

namespace {

using namespace sptest;

class StoragePolicyTables : public ::testing::Test {
 protected:
  tktest::TestDatabase db;
  World world{db};
};

// --- whole rows ----------------------------------------------------------------------

TEST_F(StoragePolicyTables, AFullPolicyRowRoundTrips) {
  ArchGroup out(nullptr);
  fillRow(*out.getDataPtr(), 3, "id");
  ASSERT_EQ(0, out.rowInsert(true));
  int id = out.getDataPtr()->id;
  ASSERT_GT(id, 0);
  EXPECT_EQ(576u, std::strlen(out.getDataPtr()->name)) << "the name fills its field";

  ArchGroup in(nullptr);
  in.setWhere("id = %d", id);
  ASSERT_EQ(0, getOneRow(&in, false, -1, 0));
  expectRowsEqual(*out.getDataPtr(), *in.getDataPtr());
  // The catalogue carries the fetched values too.
  auto* cat = dynamic_cast<ArchGroup_t2*>(in.getCatalogue());
  ASSERT_NE(nullptr, cat);
  auto* key = dynamic_cast<ZQDB_int*>(cat->getPrimaryData().at(0));
  ASSERT_NE(nullptr, key);
  EXPECT_FALSE(key->isNull());
  EXPECT_EQ(id, key->getValue());
  EXPECT_EQ(static_cast<long long>(sizeof(int)), in.getIndicators()[0]) << "id is not NULL";
  EXPECT_EQ(static_cast<long long>(std::strlen(out.getDataPtr()->description)), in.getIndicators()[3]);
}

TEST_F(StoragePolicyTables, AFullCopyRowRoundTrips) {
  ArchGroupCopy out(nullptr);
  fillRow(*out.getDataPtr(), 5, "id");
  ASSERT_GT(out.getDataPtr()->extendedFlags, 0xFFFFFFFFLL) << "64-bit columns carry more than 32 bits";
  ASSERT_EQ(0, out.rowInsert(true));
  int id = out.getDataPtr()->id;
  ASSERT_GT(id, 0);

  ArchGroupCopy in(nullptr);
  in.setWhere("id = %d", id);
  ASSERT_EQ(0, getOneRow(&in, false, -1, 0));
  expectRowsEqual(*out.getDataPtr(), *in.getDataPtr());
}

TEST_F(StoragePolicyTables, ARowFetchedAgainReplacesItsHeapDescription) {
  world.policy(1, "SP_Gold", 1, 11);
  world.policy(2, "SP_Silver", 2, 21);
  ASSERT_EQ(0, db.exec("UPDATE archGroup SET description = 'first' WHERE id = 1"));
  ArchGroup g(nullptr);
  g.setWhere("id = %d", 1);
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  ASSERT_NE(nullptr, g.getDataPtr()->description);
  EXPECT_STREQ("first", g.getDataPtr()->description);
  // A NULL description after a set one leaves the field null, nothing leaks.
  g.setWhere("id = %d", 2);
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_EQ(nullptr, g.getDataPtr()->description);
  EXPECT_STREQ("SP_Silver", g.getDataPtr()->name);
}

TEST_F(StoragePolicyTables, NamesCompareWithoutRegardToCaseAndQuotesAreDoubled) {
  world.policy(4, "SP_Gold", 1, 41);
  world.policy(5, "O'Brien's policy", 1, 51);
  ArchGroup g(nullptr);
  g.setWhere("name = '%s'", "sp_GOLD");
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_EQ(4, g.getDataPtr()->id);
  g.setWhere("name = '%s'", "o'brien's POLICY");
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_EQ(5, g.getDataPtr()->id);
  g.setWhere("name = '%s'", "x' OR '1' = '1");
  EXPECT_EQ(100, getOneRow(&g, false, -1, 0));
}

// --- the tape-library setup wizard: a policy by id, for its type ----------------------

TEST_F(StoragePolicyTables, PolicyReadById) {
  world.policy(7, "SP_Tape", 1, 71);
  world.policy(8, "SP_Other", 3, 81);
  struct Case {
    int id;
    int rc;
    int type;
  } cases[] = {{7, 0, 1}, {8, 0, 3}, {9, 100, 0}, {-1, 100, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    ArchGroup g(nullptr);
    ArchGroup_t* row = g.getDataPtr();
    g.setWhere("id = %d", c.id);
    int rc = getOneRow(&g, false, -1, 0);
    EXPECT_EQ(c.rc, rc);
    if (rc == 0) {
      EXPECT_EQ(c.id, row->id);
      EXPECT_EQ(c.type, row->type);
    }
  }
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  ArchGroup g(nullptr);
  g.setWhere("id = %d", 7);
  int rc = getOneRow(&g, false, -1, 0);
  EXPECT_EQ(204, rc);
  EXPECT_STRNE("", DBtable::getErrorStr(rc));
}

// --- the disk-library setup wizard: flags of a policy, deduplication of a copy --------

TEST_F(StoragePolicyTables, PolicyFlagsAreOredIn) {
  struct Case {
    int start;
    int bits;
    int expect;
  } cases[] = {{0, 544, 0x220}, {0, 160, 0xA0}, {0x1, 544, 0x221}, {0x20, 160, 0xA0}, {0x220, 544, 0x220}};
  int id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    ++id;
    world.policy(id, "SP_" + std::to_string(id), 1, 0, c.start);
    ArchGroup g(nullptr);
    g.setWhere("id = %d", id);
    ASSERT_EQ(0, g.rowUpdate("flags = flags | %d", c.bits));
    EXPECT_EQ(c.expect, db.scalar("SELECT flags FROM archGroup WHERE id = ?", {id}));
  }
  // Each update reached its own policy only.
  id = 100;
  for (const Case& c : cases) {
    ++id;
    EXPECT_EQ(c.expect, db.scalar("SELECT flags FROM archGroup WHERE id = ?", {id}));
  }
}

TEST_F(StoragePolicyTables, AFlagUpdateOfAMissingPolicyOrAFailingOneIsNoSuccess) {
  ArchGroup g(nullptr);
  g.setWhere("id = %d", 404);
  int rc = g.rowUpdate("flags = flags | %d", 544);
  EXPECT_NE(0, rc);
  world.policy(1, "SP_Gold", 1, 11, 0);
  testkit::db::journal().injectFailure("rowUpdate", 203, "constraint");
  g.setWhere("id = %d", 1);
  rc = g.rowUpdate("flags = flags | %d", 160);
  EXPECT_EQ(203, rc);
  EXPECT_STRNE("", DBtable::getErrorStr(rc));
  EXPECT_EQ(0, db.scalar("SELECT flags FROM archGroup WHERE id = 1"));
}

TEST_F(StoragePolicyTables, CopyDeduplicationAndSealTaskAreSetTogether) {
  world.policy(1, "SP_Disk", 1, 11);
  world.copy(11, 1, "Primary", 0, 0x3);
  world.copy(12, 1, "Secondary", 0, 0);
  ArchGroupCopy c(nullptr);
  c.setWhere("id = %d", 11);
  ASSERT_EQ(0, c.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, 42));
  // The statement the engine ran is the update as written, on the copy table.
  std::vector<std::string> sql = testkit::db::statements();
  ASSERT_FALSE(sql.empty());
  EXPECT_EQ("UPDATE \"archGroupCopy\" SET dedupeFlags = (dedupeFlags | 786432), sealStoreTaskId = 42 WHERE id = 11",
            sql.back());
  tkdb::DbRows rows = db.query("SELECT id, dedupeFlags, sealStoreTaskId FROM archGroupCopy ORDER BY id");
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(0xC0003, rows[0][1].i);
  EXPECT_EQ(42, rows[0][2].i);
  EXPECT_EQ(0, rows[1][1].i);
  EXPECT_EQ(0, rows[1][2].i);
}

TEST_F(StoragePolicyTables, TheCopyUpdateOfAMissingCopyIsNoSuccess) {
  ArchGroupCopy c(nullptr);
  c.setWhere("id = %d", 77);
  EXPECT_NE(0, c.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, 1));
}

TEST_F(StoragePolicyTables, TheHandlersQueriesWorkInTheTextModeToo) {
  DBtable::b_newDBBase = 0;
  world.policy(3, "SP_Text", 1, 31, 0x1);
  world.copy(31, 3, "Primary");
  ArchGroup g(nullptr);
  g.setWhere("id = %d", 3);
  ASSERT_EQ(0, getOneRow(&g, false, -1, 0));
  EXPECT_EQ(1, g.getDataPtr()->type);
  EXPECT_STREQ("SP_Text", g.getDataPtr()->name);
  ASSERT_EQ(0, g.rowUpdate("flags = flags | %d", 160));
  ArchGroupCopy c(nullptr);
  c.setWhere("id = %d", 31);
  ASSERT_EQ(0, c.rowUpdate("dedupeFlags = (dedupeFlags | %d), sealStoreTaskId = %d", 786432, 9));
  DBtable::b_newDBBase = 1;
  EXPECT_EQ(0xA1, db.scalar("SELECT flags FROM archGroup WHERE id = 3"));
  EXPECT_EQ(9, db.scalar("SELECT sealStoreTaskId FROM archGroupCopy WHERE id = 31"));
}

}  // namespace
