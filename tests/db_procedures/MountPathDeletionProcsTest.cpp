// The mount-path deletion procedures over seeded mount paths, media,
// backups, volumes and jobs, in both engine modes, and what the forced
// deletion and the deletability request make of them: the check with its
// bits, reason and store list (a null reason reads as the empty text, a
// long one is cut to 2,047 characters), the jobs to kill, the two records
// made in the deletion's transaction, and the store list of the deleted
// mount paths with its list text.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Db/Proc/MMCheckMPCanDelete.h"
#include "Db/Proc/MMGetDDBListForDeletedMP.h"
#include "Db/Proc/MMGetRunningJobsForMountPath.h"
#include "Db/Proc/MMInsertDeletedMPToDDB.h"
#include "Db/Proc/MMInsertDeletedMPToPhysicalCleanup.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

class Deletion : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    tktest::addMountPath(db, 200, 5, 80, "mp200", 20);
    tktest::addMountPath(db, 201, 5, 81, "mp201", 21);
    tktest::addMountPath(db, 202, 5, 82, "mp202", 22);
    tktest::addMountPath(db, 300, 6, 83, "mp300", 30);
    ASSERT_EQ(0, db.exec("INSERT INTO MMMediaSide (MediaSideId, MediaId, DataWrittenBytes) VALUES "
                         "(20, 2000, 500), (21, 2001, 0), (22, 2002, 0), (30, 3000, 10)"));
    ASSERT_EQ(0, db.exec("INSERT INTO MMMediaBackup (JobId, MediaId) VALUES (71, 2000), (72, 2000), (72, 2000), "
                         "(90, 3000)"));
    ASSERT_EQ(0, db.exec("INSERT INTO JMJobInfo (jobId, tarnfoldId) VALUES (72, 2), (90, 2), (95, 2)"));
    ASSERT_EQ(0, db.exec("INSERT INTO MMVolume (MediaSideId, SIDBStoreId) VALUES (20, 41), (20, 42), (20, 41), "
                         "(20, 0), (22, 43), (30, 42)"));
    ASSERT_EQ(0, db.exec("INSERT INTO archGroupCopy (id, archGroupId, SIDBStoreId) VALUES (601, 61, 41), "
                         "(602, 62, 41), (603, 63, 42)"));
  }
};

const char* const kStores200 = "<SIDBList><SIDB id=\"41\"/><SIDB id=\"42\"/></SIDBList>";

// --- the check ---------------------------------------------------------------------------

TEST_F(Deletion, AFreeMountPathMayGoAndLeavesTextAndListAlone) {
  tktest::forBothModes([&](int mode) {
    int code = -1;
    std::string text = "before", list = "before";
    EXPECT_EQ(0, checkMountPathCanDelete(201, 5, 0, code, text, list));
    EXPECT_EQ(0, code);
    EXPECT_EQ("before", text);
    EXPECT_EQ("before", list);
    if (mode == 0) {
      EXPECT_EQ("44", tktest::lastValuesCheck());
    }
  });
}

TEST_F(Deletion, AMountPathInUseNeedsForceWithItsBitsReasonJobsAndStores) {
  tktest::forBothModes([&](int) {
    int code = 0;
    std::string text, list;
    EXPECT_EQ(0, checkMountPathCanDelete(200, 5, 0, code, text, list));
    EXPECT_EQ(kMountPathContentToDelete | kMountPathDDBReferences | kMountPathRunningJobs, code);
    EXPECT_EQ(
        "Mount path [mp200] is in use: backups of 2 jobs keep data on it, 2 deduplication databases reference it and "
        "1 running jobs use it. It can only be deleted with force.",
        text);
    EXPECT_EQ(kStores200, list);

    MMCheckMPCanDelete proc(nullptr);
    proc.setValues(200, 5, 0);
    ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
    ASSERT_NE(nullptr, proc.getDataPtr()->o_JobsListXML);
    EXPECT_STREQ("<JobList><Job id=\"71\"/><Job id=\"72\"/></JobList>", proc.getDataPtr()->o_JobsListXML);
  });
}

TEST_F(Deletion, ReferencesAloneOnANeverWrittenMountPathAskForNoCleanup) {
  int code = 0;
  std::string text, list;
  EXPECT_EQ(0, checkMountPathCanDelete(202, 0, 0, code, text, list));  // library 0: any
  EXPECT_EQ(kMountPathDDBReferences | kMountPathNoPhysicalCleanup, code);
  EXPECT_EQ("<SIDBList><SIDB id=\"43\"/></SIDBList>", list);
  MMCheckMPCanDelete proc(nullptr);
  proc.setValues(202, 5, 0);
  ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
  EXPECT_EQ(nullptr, proc.getDataPtr()->o_JobsListXML);  // no backups: no list at all
}

TEST_F(Deletion, NoRowOrAFailureMakesTheCheckAnswer261WithTheDatabasesText) {
  int code = 9;
  std::string text = "x", list = "keep";
  EXPECT_EQ(kMountPathCheckFailed, checkMountPathCanDelete(200, 6, 0, code, text, list));  // another library
  EXPECT_EQ(0, code);
  EXPECT_EQ(DBtable::getErrorStr(100), text);
  EXPECT_EQ("keep", list);
  EXPECT_EQ(kMountPathCheckFailed, checkMountPathCanDelete(999, 5, 0, code, text, list));
  testkit::db::failProcedure("MMCheckMPCanDelete", 209, "broken");
  int fetched = 0;
  EXPECT_EQ(kMountPathCheckFailed, checkMountPathCanDelete(200, 5, 0, code, text, list, &fetched));
  EXPECT_EQ(209, fetched);
  EXPECT_EQ(DBtable::getErrorStr(209), text);
}

TEST_F(Deletion, ANullReasonReadsAsEmptyAndANullStoreListIsNotTaken) {
  testkit::db::overrideProcedure("MMCheckMPCanDelete", {{3, nullptr, nullptr, nullptr}});
  int code = 0;
  std::string text = "before", list = "before";
  EXPECT_EQ(0, checkMountPathCanDelete(200, 5, 0, code, text, list));
  EXPECT_EQ(3, code);
  EXPECT_EQ("", text);
  EXPECT_EQ("before", list);
  EXPECT_EQ("", mountPathCheckReason(nullptr));
}

// The reason goes through a 2,048-byte buffer: at most 2,047 characters,
// never split inside a character; the store list goes on whole.
TEST_F(Deletion, ALongReasonIsCutWhileTheStoreListStaysWhole) {
  std::string longList = "<SIDBList>";
  for (int i = 1; i <= 300; ++i) longList += "<SIDB id=\"" + std::to_string(1000 + i) + "\"/>";
  longList += "</SIDBList>";
  ASSERT_GT(longList.size(), 4000u);
  testkit::db::overrideProcedure("MMCheckMPCanDelete", {{2, std::string(3000, 'r'), "", longList}});
  int code = 0;
  std::string text, list;
  EXPECT_EQ(0, checkMountPathCanDelete(200, 5, 0, code, text, list));
  EXPECT_EQ(std::string(2047, 'r'), text);
  EXPECT_EQ(longList, list);

  const std::string accented = std::string(2046, 'a') + "\xC3\xA9" + "tail";  // é straddles the limit
  EXPECT_EQ(std::string(2046, 'a'), mountPathCheckReason(accented.c_str()));
  EXPECT_EQ(std::string(2047, 'b'), mountPathCheckReason(std::string(2047, 'b').c_str()));
}

// --- running jobs ------------------------------------------------------------------------

TEST_F(Deletion, RunningJobsOfTheMountPathOrOfTheWholeLibrary) {
  tktest::forBothModes([&](int mode) {
    std::vector<int> jobs;
    EXPECT_EQ(100, runningJobsOfMountPath(200, 5, 1, jobs));
    EXPECT_EQ((std::vector<int>{72}), jobs);  // 71 is not running, 95 has no backup there
    if (mode == 0) {
      EXPECT_EQ("44", tktest::lastValuesCheck());
    }
    jobs.clear();
    ASSERT_EQ(0, db.exec("INSERT INTO MMMediaBackup (JobId, MediaId) VALUES (95, 2002)"));
    EXPECT_EQ(100, runningJobsOfMountPath(200, 5, 2, jobs));
    EXPECT_EQ((std::vector<int>{72, 95}), jobs);  // every mount path of library 5
    jobs.clear();
    EXPECT_EQ(100, runningJobsOfMountPath(300, 0, 2, jobs));  // the mount path's own library
    EXPECT_EQ((std::vector<int>{90}), jobs);
    jobs.clear();
    EXPECT_EQ(100, runningJobsOfMountPath(201, 5, 1, jobs));
    EXPECT_TRUE(jobs.empty());
    ASSERT_EQ(0, db.exec("DELETE FROM MMMediaBackup WHERE JobId = 95"));
  });
}

TEST_F(Deletion, AnUnknownLevelOrAFailureEndsTheWalkWithItsCode) {
  std::vector<int> jobs;
  EXPECT_EQ(DB_ERR_INPUT, runningJobsOfMountPath(200, 5, 3, jobs));
  EXPECT_TRUE(jobs.empty());
  testkit::db::journal().injectFailure("getNextRow", 204, "locked");
  EXPECT_EQ(204, runningJobsOfMountPath(200, 5, 1, jobs));
  EXPECT_TRUE(jobs.empty());
}

// --- records in the deletion's transaction -------------------------------------------------

TEST_F(Deletion, MarkingTheStoresIsUndoneWithTheDeletionsTransaction) {
  tktest::forBothModes([&](int mode) {
    testkit::db::journal().reset();
    {
      DBtran tran;
      ASSERT_EQ(0, tran.startTran());
      int error = -1;
      EXPECT_EQ(0, markDeletedMountPathInDDBs(200, kStores200, tran, &error));
      EXPECT_EQ(0, error);
      std::vector<tkjournal::Call> added = testkit::db::journal().calls("addObject");
      ASSERT_EQ(1u, added.size());
      EXPECT_EQ("MMInsertDeletedMPToDDB", added[0].args.at(0));
      EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM MMDeletedMountPathDDB WHERE MountPathId = 200"));
      EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM MMVolume WHERE MediaSideId = 20 AND SIDBStoreId <> 0"));
      EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM MMVolume WHERE MediaSideId = 30 AND SIDBStoreId = 42"));
      if (mode == 0) {
        EXPECT_EQ(std::to_string(19 + std::string(kStores200).size()), tktest::lastValuesCheck());
      }
      EXPECT_EQ(0, tran.rollbackTran());
    }
    EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM MMDeletedMountPathDDB"));
    EXPECT_EQ(3, db.scalar("SELECT COUNT(*) FROM MMVolume WHERE MediaSideId = 20 AND SIDBStoreId <> 0"));
  });
}

// A list that is not a store list is refused whole: in the text mode it
// stands between quotes with every quote doubled, reaches the procedure
// as it was, and nothing of it runs or is recorded.
TEST_F(Deletion, AHostileStoreListIsEscapedAndRefused) {
  const std::string hostile = "<SIDBList><SIDB id=\"41\"/></SIDBList>'); DELETE FROM MMVolume; --";
  tktest::forBothModes([&](int mode) {
    testkit::db::journal().reset();
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    if (mode == 0) {
      MMInsertDeletedMPToDDB proc(&tran);
      proc.setValues(200, hostile.c_str());
      EXPECT_EQ("200,'<SIDBList><SIDB id=\"41\"/></SIDBList>''); DELETE FROM MMVolume; --'", proc.getValuesClause());
      EXPECT_EQ(std::to_string(19 + hostile.size() + 1), tktest::lastValuesCheck());  // the quote counts twice
    }
    int error = 0;
    EXPECT_EQ(kDeletedMountPathRecordFailed, markDeletedMountPathInDDBs(200, hostile, tran, &error));
    EXPECT_EQ(DB_ERR_INPUT, error);
    std::vector<tkjournal::Call> calls = testkit::db::journal().calls("procedure");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("'" + hostile + "'", calls.back().args.at(2));
    EXPECT_EQ(0, tran.commitTran());
    EXPECT_EQ(6, db.scalar("SELECT COUNT(*) FROM MMVolume"));
    EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM MMDeletedMountPathDDB"));
  });
}

TEST_F(Deletion, MarkingAnEmptyListRecordsNothingAndFailuresAre261) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  int error = -1;
  EXPECT_EQ(0, markDeletedMountPathInDDBs(200, "", tran, &error));
  EXPECT_EQ(0, error);
  EXPECT_EQ(kDeletedMountPathRecordFailed, markDeletedMountPathInDDBs(999, kStores200, tran, &error));
  EXPECT_EQ(DB_ERR_INPUT, error);  // no such mount path
  testkit::db::failProcedure("MMInsertDeletedMPToDDB", 205, "disk");
  EXPECT_EQ(kDeletedMountPathRecordFailed, markDeletedMountPathInDDBs(200, kStores200, tran, &error));
  EXPECT_EQ(205, error);
  testkit::db::overrideProcedure("MMInsertDeletedMPToDDB", {});
  EXPECT_EQ(kDeletedMountPathRecordFailed, markDeletedMountPathInDDBs(200, kStores200, tran, &error));
  EXPECT_EQ(100, error);  // no row is a failure here
  EXPECT_EQ(0, tran.commitTran());
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM MMDeletedMountPathDDB"));
  EXPECT_EQ(5, deletedMountPathRecordError(5, 0));
  EXPECT_EQ(7, deletedMountPathRecordError(0, 7));
  EXPECT_EQ(0, deletedMountPathRecordError(0, 0));
}

TEST_F(Deletion, ThePhysicalCleanupRecordKeepsLibraryAndNameOnce) {
  tktest::forBothModes([&](int) {
    ASSERT_EQ(0, db.exec("DELETE FROM MMMountPathPhysicalCleanup"));
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    int error = -1;
    EXPECT_EQ(0, registerMountPathForPhysicalCleanup(200, tran, &error));
    EXPECT_EQ(0, registerMountPathForPhysicalCleanup(200, tran, &error));
    EXPECT_EQ(0, error);
    EXPECT_EQ(kDeletedMountPathRecordFailed, registerMountPathForPhysicalCleanup(999, tran, &error));
    EXPECT_EQ(DB_ERR_INPUT, error);
    EXPECT_EQ(0, tran.commitTran());
    tkdb::DbRows rows = db.query("SELECT MountPathId, LibraryId, MountPathName FROM MMMountPathPhysicalCleanup");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(200, rows[0][0].i);
    EXPECT_EQ(5, rows[0][1].i);
    EXPECT_EQ("mp200", rows[0][2].s);
  });
  DBtran undone;
  ASSERT_EQ(0, undone.startTran());
  EXPECT_EQ(0, registerMountPathForPhysicalCleanup(202, undone));
  EXPECT_EQ(0, undone.rollbackTran());
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM MMMountPathPhysicalCleanup WHERE MountPathId = 202"));
}

// --- stores of the deleted mount paths ---------------------------------------------------

TEST(DeletedMountPathList, IdsAscendingEachOnceWithoutBlanks) {
  EXPECT_EQ("<MountPathIdList><MountPath id=\"3\"/><MountPath id=\"9\"/><MountPath id=\"12\"/></MountPathIdList>",
            deletedMountPathList(std::vector<int>{12, 3, 9, 3}));
  EXPECT_EQ("<MountPathIdList><MountPath id=\"7\"/></MountPathIdList>", deletedMountPathList(std::set<int>{7}));
  std::map<int, std::string> deletion{{40, "b"}, {4, "a"}};
  std::vector<int> keys;
  for (const auto& entry : deletion) keys.push_back(entry.first);
  EXPECT_EQ("<MountPathIdList><MountPath id=\"4\"/><MountPath id=\"40\"/></MountPathIdList>",
            deletedMountPathList(keys));
  EXPECT_EQ("", deletedMountPathList(std::vector<int>{}));
}

TEST_F(Deletion, AnEmptyListIsTwoQuotesAfterACheckOf4AndYieldsNoRow) {
  DBtable::b_newDBBase = 0;
  MMGetDDBListForDeletedMP proc(nullptr);
  proc.resetClauses();
  proc.setValues(deletedMountPathList(std::vector<int>{}).c_str());
  EXPECT_EQ("''", proc.getValuesClause());
  EXPECT_EQ("4", tktest::lastValuesCheck());
  int count = -1;
  EXPECT_EQ(100, getNextRow(&proc, &count, -1, 0));
  EXPECT_EQ(0, count);
  const std::string list = deletedMountPathList(std::vector<int>{200});
  proc.setValues(list.c_str());
  EXPECT_EQ("'" + list + "'", proc.getValuesClause());
  EXPECT_EQ(std::to_string(list.size() + 4), tktest::lastValuesCheck());
}

TEST_F(Deletion, TheStoresOfTheDeletedMountPathsWithTheirCopiesAndPolicies) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  ASSERT_EQ(0, markDeletedMountPathInDDBs(200, kStores200, tran));
  ASSERT_EQ(0, markDeletedMountPathInDDBs(202, "<SIDBList><SIDB id=\"43\"/></SIDBList>", tran));
  ASSERT_EQ(0, tran.commitTran());
  struct Row {
    int store, copy, policy, reference;
    bool operator==(const Row& o) const {
      return store == o.store && copy == o.copy && policy == o.policy && reference == o.reference;
    }
  };
  tktest::forBothModes([&](int) {
    std::vector<Row> rows;
    int result = forEachDDBOfDeletedMountPaths(
        deletedMountPathList(std::vector<int>{202, 200}), [&](const MMGetDDBListForDeletedMP_t& r) {
          rows.push_back({r.o_SIDBStoreId, r.o_CopyId, r.o_StoragePolicyId, r.o_HasReference});
        });
    EXPECT_EQ(100, result);
    // 42 is still referenced by a volume of mount path 300; 43 has no copy.
    EXPECT_EQ((std::vector<Row>{{41, 601, 61, 0}, {41, 602, 62, 0}, {42, 603, 63, 1}, {43, 0, 0, 0}}), rows);
    rows.clear();
    EXPECT_EQ(100, forEachDDBOfDeletedMountPaths("", [&](const MMGetDDBListForDeletedMP_t&) { ADD_FAILURE(); }));
    EXPECT_EQ(100, forEachDDBOfDeletedMountPaths(deletedMountPathList(std::vector<int>{201}),
                                                 [&](const MMGetDDBListForDeletedMP_t&) { ADD_FAILURE(); }));
  });
}

TEST_F(Deletion, AListThatCannotBeReadIsRefused) {
  for (const char* bad : {"<MountPathIdList><MountPath id=\"x\"/></MountPathIdList>",
                          "<MountPathIdList><MountPath id=\"3\"/>", "3,4", "<MountPathIdList></MountPathIdList>junk",
                          "<MountPathIdList><MountPath id=\"99999999999\"/></MountPathIdList>"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(DB_ERR_INPUT, forEachDDBOfDeletedMountPaths(bad, [](const MMGetDDBListForDeletedMP_t&) {}));
  }
}

// The forced deletion from check to DV2 jobs: the store list of the check
// goes on unchanged; cleanup records are made as its bits ask.
TEST_F(Deletion, FromTheCheckToTheStoresOfTheDV2Jobs) {
  int code = 0;
  std::string text, list;
  ASSERT_EQ(0, checkMountPathCanDelete(200, 5, 0, code, text, list));
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  if ((code & kMountPathContentToDelete) != 0 && !list.empty()) {
    ASSERT_EQ(0, markDeletedMountPathInDDBs(200, list, tran));
  }
  if ((code & kMountPathNoPhysicalCleanup) == 0) {
    ASSERT_EQ(0, registerMountPathForPhysicalCleanup(200, tran));
  }
  ASSERT_EQ(0, tran.commitTran());
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM MMMountPathPhysicalCleanup WHERE MountPathId = 200"));
  std::vector<int> stores;
  EXPECT_EQ(100, forEachDDBOfDeletedMountPaths(
                     deletedMountPathList(std::vector<int>{200}),
                     [&](const MMGetDDBListForDeletedMP_t& r) { stores.push_back(r.o_SIDBStoreId); }));
  EXPECT_EQ((std::vector<int>{41, 41, 42}), stores);
}

}  // namespace
