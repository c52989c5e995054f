// The credential, job-information and task-association tables: full rows
// through the database and back, the where clauses the handlers run on
// them as they write them, and the rules the handlers apply to the answers.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "Db/Tbl/APP_Credentials.h"
#include "Db/Tbl/JMJobInfo.h"
#include "Db/Tbl/TM_AssocEntity.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/Seed.h"

namespace {

class Tables : public tktest::DatabaseTest {
 protected:
  size_t queriesOn(const std::string& object) {
    size_t n = 0;
    for (const tkjournal::Call& call : testkit::db::journal().calls("sql")) {
      if (call.args.size() >= 2 && call.args[0] == object && call.args[1] == "getOneRow") ++n;
    }
    return n;
  }
};

// --- APP_Credentials -------------------------------------------------------------------------

TEST_F(Tables, FullRowsOfTheCredentialAndTaskAssociationTablesRoundTrip) {
  tktest::forBothModes([](int mode) { tktest::expectTableRoundTrip<APP_Credentials>("credentialId", 10 + mode); });
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM APP_Credentials"));
  tktest::expectTableRoundTrip<TM_AssocEntity>("assocId", 8);
}

TEST_F(Tables, CredentialNamesFitUpTo1020Characters) {
  const std::string fits(1020, 'n');
  const std::string tooLong(1021, 'u');
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Credentials (credentialName, userName, recordType) VALUES (?, ?, 4)",
                       {fits, tooLong}));
  APP_Credentials read(nullptr);
  read.setWhere("CredentialId = %d", 1);
  ASSERT_EQ(0, getOneRow(&read, false, -1, 0));
  EXPECT_EQ(fits, read.getDataPtr()->credentialName);
  EXPECT_EQ(std::string(1020, 'u'), read.getDataPtr()->userName);  // cut to its field, terminated
  EXPECT_EQ(nullptr, read.getDataPtr()->credentialInfo);
}

TEST(CredentialRule, VendorTypeThreeTakesFourAnd103OthersTheirOwnPlus100) {
  struct Case {
    int recordType;
    int vendorType;
    bool fits;
  };
  const Case cases[] = {
      {4, 3, true},   {103, 3, true}, {3, 3, false},  {104, 3, false},           {0, 3, false},
      {105, 5, true}, {5, 5, false},  {4, 5, false},  {103, 5, false},           {100, 0, true},
      {104, 4, true}, {4, 4, false},  {99, -1, true}, {INT_MIN, INT_MAX, false}, {INT_MAX, INT_MAX - 100, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.fits, credentialFitsVendor(c.recordType, c.vendorType))
        << "record type " << c.recordType << ", vendor type " << c.vendorType;
  }
}

TEST_F(Tables, CredentialCheckReadsTheRowAndFailsOnNoRowAsOnAnError) {
  ASSERT_EQ(0, db.exec("INSERT INTO APP_Credentials (credentialName, recordType) VALUES ('nas', 103), ('s3', 105)"));
  int result = -1;
  EXPECT_EQ(CredentialCheck::Fits, checkCredentialForVendor(1, 3, &result));
  EXPECT_EQ(0, result);
  EXPECT_EQ(CredentialCheck::Misfit, checkCredentialForVendor(1, 5, &result));
  EXPECT_EQ(CredentialCheck::Fits, checkCredentialForVendor(2, 5, &result));
  EXPECT_EQ(CredentialCheck::Misfit, checkCredentialForVendor(2, 3, &result));
  EXPECT_EQ(CredentialCheck::LookupFailed, checkCredentialForVendor(3, 5, &result));
  EXPECT_EQ(100, result);
  EXPECT_NE(std::string::npos, testkit::db::statements().back().find("WHERE CredentialId = 3"))
      << testkit::db::statements().back();
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  EXPECT_EQ(CredentialCheck::LookupFailed, checkCredentialForVendor(2, 5, &result));
  EXPECT_EQ(204, result);
}

// --- JMJobInfo ---------------------------------------------------------------------------------

TEST_F(Tables, JobRowRoundTripsThroughTheHandlersWhereClause) {
  JMJobInfo insert(nullptr);
  tktest::fillRow(*insert.getDataPtr(), 3);
  insert.getDataPtr()->jobId = 4711;
  insert.getDataPtr()->tarnfoldId = 2;
  ASSERT_EQ(0, insert.rowInsert(true));

  JMJobInfo read(nullptr);
  read.setWhere("JobId in (%s)", jobInfoIdList({4711}).c_str());
  ASSERT_EQ(0, getOneRow(&read, false, -1, 0));
  tktest::expectSameRow(*insert.getDataPtr(), *read.getDataPtr());

  // The key is the pair: the same job id under another installation is a row of its own.
  insert.getDataPtr()->tarnfoldId = 3;
  ASSERT_EQ(0, insert.rowInsert(true));
  EXPECT_NE(0, insert.rowInsert(true));
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM JMJobInfo WHERE jobId = 4711"));
}

TEST(JobIdList, DecimalIdsJoinedByCommasOnly) {
  EXPECT_EQ("", jobInfoIdList({}));
  EXPECT_EQ("42", jobInfoIdList({42}));
  EXPECT_EQ("3,1,2", jobInfoIdList({3, 1, 2}));
  EXPECT_EQ("-1,2147483647", jobInfoIdList({-1, INT_MAX}));
}

// A poll's result means the jobs are still there, gone or unverifiable.
static_assert(jobInfoPollOf(0) == JobPoll::StillThere && jobInfoPollOf(100) == JobPoll::Gone);
static_assert(jobInfoPollOf(204) == JobPoll::Unverifiable && jobInfoPollOf(1) == JobPoll::Unverifiable);

TEST_F(Tables, JobQueryFindsAnyListedJob) {
  ASSERT_EQ(0, db.exec("INSERT INTO JMJobInfo (jobId, tarnfoldId) VALUES (5, 2), (9, 2)"));
  JMJobInfo jobs(nullptr);
  jobs.setWhere("JobId in (%s)", "1,2,9");
  EXPECT_EQ(0, getOneRow(&jobs, false, -1, 0));
  EXPECT_EQ(9, jobs.getDataPtr()->jobId);
  jobs.setWhere("JobId in (%s)", "1,2,3");
  EXPECT_EQ(100, getOneRow(&jobs, false, -1, 0));
}

TEST_F(Tables, WaitEndsAfterOnePollAndOneMoreIntervalWhenTheJobsAreGone) {
  testkit::clock::FakeClock clock(1'000'000);
  ASSERT_EQ(0, db.exec("INSERT INTO JMJobInfo (jobId, tarnfoldId) VALUES (5, 2)"));
  int result = -1;
  EXPECT_EQ(JobWait::Gone, waitForJobsGone({6, 7}, clock.now(), &result));
  EXPECT_EQ(100, result);
  EXPECT_EQ(1'000'005, clock.now());
  EXPECT_EQ(1u, queriesOn("JMJobInfo"));
  EXPECT_NE(std::string::npos, testkit::db::statements().back().find("WHERE JobId in (6,7)"))
      << testkit::db::statements().back();
}

TEST_F(Tables, WaitPollsEveryFiveSecondsAndFailsAfter600) {
  testkit::clock::FakeClock clock(2'000'000);
  ASSERT_EQ(0, db.exec("INSERT INTO JMJobInfo (jobId, tarnfoldId) VALUES (5, 2)"));
  int result = -1;
  EXPECT_EQ(JobWait::TimedOut, waitForJobsGone({5}, clock.now(), &result));
  EXPECT_EQ(0, result);
  // Polls at 0, 5, ..., 595 seconds: the last one still within the limit.
  EXPECT_EQ(120u, queriesOn("JMJobInfo"));
  EXPECT_EQ(2'000'600, clock.now());
}

TEST_F(Tables, WaitStartedLateMakesOnlyThePollsLeftWithinTheLimit) {
  testkit::clock::FakeClock clock(3'000'000);
  ASSERT_EQ(0, db.exec("INSERT INTO JMJobInfo (jobId, tarnfoldId) VALUES (5, 2)"));
  EXPECT_EQ(JobWait::TimedOut, waitForJobsGone({5}, clock.now() - 599));
  EXPECT_EQ(1u, queriesOn("JMJobInfo"));
  testkit::db::journal().reset();
  EXPECT_EQ(JobWait::TimedOut, waitForJobsGone({5}, clock.now() - 600));
  EXPECT_EQ(0u, queriesOn("JMJobInfo"));
}

// A wait for no jobs asks nothing; a database error ends it at once, without
// a sleep.
TEST_F(Tables, WaitForNoJobsOrOnADatabaseErrorEndsAtOnce) {
  testkit::clock::FakeClock clock(4'000'000);
  EXPECT_EQ(JobWait::Gone, waitForJobsGone({}, clock.now()));
  EXPECT_EQ(0u, queriesOn("JMJobInfo"));
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  int result = -1;
  EXPECT_EQ(JobWait::Unverifiable, waitForJobsGone({5}, clock.now(), &result));
  EXPECT_EQ(204, result);
  EXPECT_EQ(4'000'000, clock.now());
}

// --- TM_AssocEntity --------------------------------------------------------------------------

// 0 and 1004 mean covered, 100 not covered, anything else an error.
static_assert(subclientCoverageOf(0) == SubclientCoverage::Covered &&
              subclientCoverageOf(1004) == SubclientCoverage::Covered);
static_assert(subclientCoverageOf(100) == SubclientCoverage::NotCovered);
static_assert(subclientCoverageOf(204) == SubclientCoverage::Error);
static_assert(subclientCoverageOf(1) == SubclientCoverage::Error);

TEST_F(Tables, SubclientCoverageOnSeededAssociations) {
  ASSERT_EQ(0, db.exec("INSERT INTO TM_AssocEntity (assocType, taskId, subclientId) VALUES "
                       "(1, 5, 10), (1, 1, 11), (1, 1, 12), (1, 7, 12), (1, 5, 99)"));
  struct Case {
    int subclient;
    SubclientCoverage expected;
    int result;
  };
  const Case cases[] = {
      {10, SubclientCoverage::Covered, 0},
      {11, SubclientCoverage::NotCovered, 100},  // only task 1: not a schedule
      {12, SubclientCoverage::Covered, 0},
      {13, SubclientCoverage::NotCovered, 100},
  };
  for (const Case& c : cases) {
    int result = -1;
    EXPECT_EQ(c.expected, subclientCoverage(c.subclient, &result)) << c.subclient;
    EXPECT_EQ(c.result, result) << c.subclient;
  }
  EXPECT_NE(std::string::npos, testkit::db::statements().back().find("WHERE subclientId=13 and taskId <> 1"))
      << testkit::db::statements().back();

  int result = -1;
  testkit::db::journal().injectFailure("getOneRow", 1004, "a row, and a warning");
  EXPECT_EQ(SubclientCoverage::Covered, subclientCoverage(11, &result));
  EXPECT_EQ(1004, result);
  testkit::db::journal().injectFailure("getOneRow", 204, "locked");
  EXPECT_EQ(SubclientCoverage::Error, subclientCoverage(10, &result));
  EXPECT_EQ(204, result);
}

}  // namespace
