// The storage-policy task table (archTask): the row's assignment, whole rows
// through setValues and rowInsert, and the seal-store task insert of the
// disk-library setup wizard as the handler writes it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "Db/Tbl/archTask.h"
#include "platform/testkit/db.h"
#include "tests/db_storagepolicy/RowFill.h"
#include "tests/support/TestDatabase.h"

namespace {

using namespace sptest;

DB_DATETIME dateTime(int16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second) {
  DB_DATETIME dt;
  dt = tagTIMESTAMP_STRUCT{year, month, day, hour, minute, second, 0};
  return dt;
}

TEST(ArchTaskRow, AssignmentCopiesEveryColumnAndNotTheTextForm) {
  ArchTask_t from;
  fillRow(from, 4);
  from.id = 17;
  std::strcpy(from.lastEvent.text, "2004-01-01 00:00:00");
  from.lastEvent.flag = 7;
  from.nextEvent.flag = 0;
  ArchTask_t to;
  std::strcpy(to.nextEvent.text, "stale");
  to.nextEvent.flag = 3;
  ArchTask_t& result = (to = from);
  EXPECT_EQ(&to, &result);
  expectRowsEqual(from, to);
  EXPECT_EQ(17, to.id);
  EXPECT_EQ(from.dataSizeGB, to.dataSizeGB);
  EXPECT_EQ(from.percentCorruptLimit, to.percentCorruptLimit);
  // The date parts and the flag come over; the text form is emptied.
  EXPECT_STREQ("", to.lastEvent.text);
  EXPECT_STREQ("", to.nextEvent.text);
  EXPECT_EQ(7, to.lastEvent.flag);
  EXPECT_EQ(0, to.nextEvent.flag);
}

TEST(ArchTaskRow, SelfAssignmentChangesNothing) {
  ArchTask_t row;
  fillRow(row, 2);
  ArchTask_t copy;
  copy = row;
  ArchTask_t& alias = row;
  row = alias;
  expectRowsEqual(copy, row);
}

TEST(ArchTaskRow, AFreshRowAssignedOverAFilledOneClearsIt) {
  ArchTask_t filled;
  fillRow(filled, 9);
  filled = ArchTask_t();
  EXPECT_EQ(0, filled.id);
  EXPECT_EQ(0, filled.type);
  EXPECT_EQ(0, filled.dataSizeGB);
  EXPECT_TRUE(filled.lastEvent.isCleared());
  EXPECT_TRUE(filled.nextEvent.isCleared());
  EXPECT_EQ(0, filled.percentCorruptLimit);
}

class ArchTasks : public ::testing::Test {
 protected:
  tktest::TestDatabase db;
};

TEST_F(ArchTasks, SetValuesCopiesTheWholeRowIntoTheObject) {
  ArchTask task(nullptr);
  ArchTask_t row;
  fillRow(row, 6);
  row.id = 5;
  task.setValues(&row);
  expectRowsEqual(row, *task.getDataPtr());
  // A null row changes nothing.
  task.setValues(nullptr);
  expectRowsEqual(row, *task.getDataPtr());
  // A fresh row read back after setValues is all zero, as it went in.
  ArchTask_t fresh;
  task.setValues(&fresh);
  expectRowsEqual(fresh, *task.getDataPtr());
}

TEST_F(ArchTasks, AFullRowRoundTripsThroughTheTable) {
  ArchTask out(nullptr);
  ArchTask_t row;
  fillRow(row, 8);
  row.lastEvent = dateTime(2023, 12, 31, 23, 59, 58);
  row.nextEvent = dateTime(2024, 2, 29, 0, 0, 1);
  out.setValues(&row);
  ASSERT_EQ(0, out.rowInsert(true));
  int id = out.getDataPtr()->id;
  ASSERT_GT(id, 0);

  ArchTask in(nullptr);
  in.setWhere("id = %d", id);
  ASSERT_EQ(0, getOneRow(&in, false, -1, 0));
  expectRowsEqual(*out.getDataPtr(), *in.getDataPtr());
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
    int id = task.getDataPtr()->id;
    EXPECT_GT(id, 0);
    EXPECT_TRUE(ids.insert(id).second) << "id " << id << " given twice";
  }
  tkdb::DbRows rows = db.query(
      "SELECT type, flags, active, periodType, numPeriod, dayNumber, dataSizeGB, lastEvent, nextEvent, "
      "percentCorruptLimit FROM archTask ORDER BY id");
  ASSERT_EQ(3u, rows.size());
  for (const tkdb::DbRow& r : rows) {
    for (size_t c = 0; c < r.size(); ++c) {
      if (c == 7 || c == 8) {
        EXPECT_TRUE(r[c].isNull()) << "a cleared date-time is stored as NULL";
      } else {
        EXPECT_EQ(tkdb::DbValue(0), r[c]) << "column " << c;
      }
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
  ArchTask_t row;
  task.setValues(&row);
  int rc = task.rowInsert(true);
  EXPECT_EQ(206, rc);
  EXPECT_STRNE("", DBtable::getErrorStr(rc));
  EXPECT_EQ(0, task.getDataPtr()->id);
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM archTask"));
}

TEST_F(ArchTasks, AnInsertInARolledBackTransactionLeavesNoRow) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  ArchTask task(&tran);
  ArchTask_t row;
  task.setValues(&row);
  ASSERT_EQ(0, task.rowInsert(true));
  EXPECT_GT(task.getDataPtr()->id, 0);
  ASSERT_EQ(0, tran.rollbackTran());
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM archTask"));
}

}  // namespace
