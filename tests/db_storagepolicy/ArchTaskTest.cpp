// The storage-policy task table (archTask): the row's assignment, whole rows
// through setValues and rowInsert, and the seal-store task insert of the
// disk-library setup wizard as the handler writes it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "Db/Tbl/archTask.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Seed.h"

namespace {

using tktest::expectSameRow;
using tktest::fillRow;

TEST(ArchTaskRow, AssignmentCopiesEveryColumnAndNotTheTextForm) {
  ArchTask_t from;
  fillRow(from, 4);
  std::strcpy(from.lastEvent.text, "2004-01-01 00:00:00");
  from.lastEvent.flag = 7;
  ArchTask_t to;
  std::strcpy(to.nextEvent.text, "stale");
  to.nextEvent.flag = 3;
  EXPECT_EQ(&to, &(to = from));
  expectSameRow(from, to);
  // The date parts and the flag come over; the text form is emptied.
  EXPECT_STREQ("", to.lastEvent.text);
  EXPECT_STREQ("", to.nextEvent.text);
  EXPECT_EQ(7, to.lastEvent.flag);
  EXPECT_EQ(0, to.nextEvent.flag);

  ArchTask_t copy;
  copy = from;
  ArchTask_t& alias = from;
  from = alias;  // self-assignment changes nothing
  expectSameRow(copy, from);
  from = ArchTask_t();  // a fresh row clears a filled one
  expectSameRow(ArchTask_t(), from);
}

using ArchTasks = tktest::DatabaseTest;

TEST_F(ArchTasks, SetValuesCopiesTheWholeRowAndAFullRowRoundTrips) {
  ArchTask out(nullptr);
  ArchTask_t row;
  fillRow(row, 8);
  out.setValues(&row);
  expectSameRow(row, *out.getDataPtr());
  out.setValues(nullptr);  // a null row changes nothing
  expectSameRow(row, *out.getDataPtr());
  ASSERT_EQ(0, out.rowInsert(true));
  int id = out.getDataPtr()->id;
  ASSERT_GT(id, 0);

  ArchTask in(nullptr);
  in.setWhere("id = %d", id);
  ASSERT_EQ(0, getOneRow(&in, false, -1, 0));
  expectSameRow(*out.getDataPtr(), *in.getDataPtr());
  EXPECT_STRNE("", in.getDataPtr()->lastEvent.text) << "a fetched date-time has its text form";
}

// The seal-store task of the disk-library setup wizard: an all-zero row
// with both date-times cleared, whose new id the caller reads back.
TEST_F(ArchTasks, TheSealStoreTaskInsertGivesEachTaskANewId) {
  std::set<int> ids;
  for (int i = 0; i < 3; ++i) {
    ArchTask task(nullptr);
    ArchTask_t row;
    task.setValues(&row);
    ASSERT_EQ(0, task.rowInsert(true));
    EXPECT_TRUE(ids.insert(task.getDataPtr()->id).second) << "id given twice";
  }
  EXPECT_GT(*ids.begin(), 0);
  tkdb::DbRows rows = db.query(
      "SELECT type, flags, active, periodType, numPeriod, dayNumber, dataSizeGB, lastEvent, nextEvent, "
      "percentCorruptLimit FROM archTask ORDER BY id");
  ASSERT_EQ(3u, rows.size());
  for (const tkdb::DbRow& r : rows) {
    for (size_t c = 0; c < r.size(); ++c) {
      // A cleared date-time is stored as NULL.
      EXPECT_EQ(c == 7 || c == 8 ? tkdb::DbValue() : tkdb::DbValue(0), r[c]) << "column " << c;
    }
  }
  // A deleted task's id is never given again.
  ASSERT_EQ(0, db.exec("DELETE FROM archTask WHERE id = ?", {*ids.rbegin()}));
  ArchTask again(nullptr);
  ArchTask_t row;
  again.setValues(&row);
  ASSERT_EQ(0, again.rowInsert(true));
  EXPECT_GT(again.getDataPtr()->id, *ids.rbegin());
}

TEST_F(ArchTasks, AFailedInsertLeavesTheIdAtZero) {
  testkit::db::journal().injectFailure("rowInsert", 206, "disk full");
  ArchTask task(nullptr);
  EXPECT_EQ(206, task.rowInsert(true));
  EXPECT_EQ(0, task.getDataPtr()->id);
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM archTask"));
}

}  // namespace
