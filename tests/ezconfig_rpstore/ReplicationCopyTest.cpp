// Block-level replication copies (operation 32) and the off-peak schedule
// writer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ezconfig/rpstore/RPStoreRequest.h"
#include "platform/db/DBtable.h"
#include "platform/errors/FXErrorUtil.h"
#include "tests/ezconfig_rpstore/RPStoreFixture.h"

namespace rpstoretest {
namespace {

class RPStoreCopy : public RPStoreTest {
 protected:
  // Operation 32 on disklib by name, through ma2 by name.
  static Request copyRequest(long long policy) {
    Request r;
    r.operation = 32;
    r.library = {{3, "ma2"}, {8, "disklib"}, {13, policy}, {19, "c1"}};
    return r;
  }
};

TEST_F(RPStoreCopy, TheRecordCarriesEachValueAtItsOffsetAndDrivePoolZeroWithoutAPool) {
  const Answer a = call(copyRequest(kPolicy));
  ASSERT_TRUE(a.success) << a.text;
  const auto calls = testkit::archivemgr::journal().calls("createArchGroupCopy");
  ASSERT_EQ(calls.size(), 1u);
  const std::vector<std::string> expected = {
      "0=30",    "8=0",     "16=0",    "24=0",      "32=0",    "40=10001", "44=10001", "48=c1",
      "112=0",   "116=0",   "117=1",   "120=16384", "128=0",   "136=9",    "176=-1",   "184=0",
      "188=0",   "200=1",   "204=0",   "208=0",     "216=0",   "224=0",    "232=0",    "240=1",
      "256=1",   "296=0",   "300=0",   "536=2147483647", "544=tran"};
  EXPECT_EQ(calls[0].args, expected);
  // Without a pool the candidate is refused, and the copy is committed all the same.
  EXPECT_EQ(count("archGroupCopy", "archGroupId = 30 AND name = 'c1'"), 1);
  EXPECT_EQ(count("MMCopyFailoverCandidate"), 0);
}

TEST_F(RPStoreCopy, TheCandidateIsTheLibrarysFirstPoolOnTheAgent) {
  tktest::insertRows(m_db, "MMMasterPool (MasterPoolId, LibraryId, MasterPoolName)", {{80, kDiskLib, "m"}});
  tktest::insertRows(m_db, "MMDrivePool (DrivePoolId, DrivePoolName, ClientId, MasterPoolId)",
                     {{81, "p3", kMa3, 80}, {82, "p2", kMa2, 80}, {83, "p2b", kMa2, 80}});
  ASSERT_TRUE(call(copyRequest(kPolicy)).success);
  EXPECT_EQ(testkit::archivemgr::journal().calls("createArchGroupCopy").at(0).args.at(3), "24=82");
  EXPECT_EQ(m_db.scalar("SELECT DrivePoolId FROM MMCopyFailoverCandidate WHERE ClientId = 2"), 82);
}

TEST_F(RPStoreCopy, PolicyZeroMakesNothingAndAFailedCopyAnswersItsText) {
  EXPECT_TRUE(call(copyRequest(0)).success);
  EXPECT_EQ(testkit::archivemgr::journal().count("createArchGroupCopy"), 0u);
  testkit::archivemgr::failNextCopy(12, "archive manager down");
  expectRefused(call(copyRequest(kPolicy)), catalogue(0x24000141));
  expectRefused(call(copyRequest(99)), catalogue(0x24000141));  // no such policy
  EXPECT_EQ(count("archGroupCopy"), 0);
}

// ---------------------------------------------------------------- the off-peak schedule

class RPStoreSchedule : public RPStoreTest {
 protected:
  CWyError write(const std::string& window) {
    EVGui::RPStoreLibraryInfo store;
    if (!window.empty()) {
      EVGui::IntervalWindow w;
      EXPECT_EQ(w.unserialize(window), 0);
      store.setObjectAccessor(w, Store::kOffPeakSchedule.ordinal, Store::kOffPeakSchedule.tag, Store::kClassHash,
                              Store::kOffPeakSchedule.hash);
    }
    DBtran tran(true);
    const CWyError result = tkezconfig::WriteRpStoreOffPeakScheduleInfo(store, 1, tran);
    EXPECT_EQ(tran.commitTran(0), 0);
    return result;
  }
  void SetUp() override {
    RPStoreTest::SetUp();
    tktest::insertRows(m_db, "MMRPStoreConfig (RPStoreId, Name, LibraryId)", {{1, "s", kDiskLib}});
    tktest::insertRows(m_db, "MMRPStoreProp (RPStoreId, PropName, PropValue)", {{1, "OffPeak Schedule", "before"}});
  }
  std::string stored() { return m_db.text("SELECT PropValue FROM MMRPStoreProp WHERE RPStoreId = 1"); }
};

TEST_F(RPStoreSchedule, AStorePartWithoutAWindowKeepsTheStoredSchedule) {
  EXPECT_FALSE(write("").IsError());
  EXPECT_EQ(stored(), "before");
  EXPECT_FALSE(write(kWindow).IsError());
  EXPECT_NE(stored().find("22:00"), std::string::npos) << stored();
}

TEST_F(RPStoreSchedule, FailuresAreErrorsSeventyOneAndFiveWithTheirTexts) {
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 13, 1056, 8);
  CWyError error = write(kWindow);
  testkit::xml::clearFailures();
  ASSERT_TRUE(error.IsError());
  ASSERT_NE(error.GetDetails(), nullptr);
  EXPECT_EQ(error.GetDetails()->givenCode, 71);
  EXPECT_EQ(error.GetDetails()->text,
            "Unable to serialize off peak pruning Window information from RP store id [1], Code [8]");

  testkit::mmdb::failNext("MMMiscDB::setRPStoreProp", 17, "locked");
  error = write(kWindow);
  ASSERT_TRUE(error.IsError());
  EXPECT_EQ(error.GetDetails()->givenCode, 5);
  EXPECT_EQ(error.GetDetails()->text, "Unable to save the rp store property [OffPeak Schedule], RP store ID [1], Code [17]");
  EXPECT_EQ(stored(), "before");
}

}  // namespace
}  // namespace rpstoretest
