// Creating a replication-store library (operations 1 and 64): what is made,
// each failure with its text and what stays, the space limits, the password
// handed to the library set-up, and the copy of operation 64.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "frame/ZQPassword.h"
#include "platform/db/DBtable.h"
#include "tests/ezconfig_rpstore/RPStoreFixture.h"

namespace rpstoretest {
namespace {

class RPStoreCreate : public RPStoreTest {
 protected:
  long long newLibrary() { return m_db.scalar("SELECT IFNULL(MAX(LibraryId), 0) FROM MMLibrary WHERE AliasName = 'rplib'"); }
  static std::string decrypted(const std::string& encrypted) {
    char plain[2048] = {};
    int length = sizeof plain;
    return ZQPassword::decrypt(encrypted.c_str(), plain, &length) == 0 ? std::string(plain) : "(not encrypted)";
  }
};

TEST_F(RPStoreCreate, MakesTheLibraryItsStoreAndScheduleAndAnswersTheirIds) {
  checkRightsPerAgent(true);
  const Answer a = call(creation());
  ASSERT_TRUE(a.success) << a.xml;
  const long long library = newLibrary();
  ASSERT_GT(library, 0);
  EXPECT_EQ(a.libraryId, library);
  EXPECT_EQ(m_db.scalar("SELECT LibraryTypeId FROM MMLibrary WHERE LibraryId = ?", {library}), 10);
  const long long mountPath = m_db.scalar("SELECT MountPathId FROM MMMountPath WHERE LibraryId = ?", {library});
  EXPECT_EQ(m_db.scalar("SELECT MountPathTypeId FROM MMMountPath WHERE MountPathId = ?", {mountPath}), 9);
  const auto rows = m_db.query("SELECT RPStoreId, Name, LibraryId, MountPathId, State, MinSpace, MaxSpace FROM MMRPStoreConfig");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].i, a.storeId);
  EXPECT_EQ(rows[0][1].s, "rplib");
  EXPECT_EQ(rows[0][2].i, library);
  EXPECT_EQ(rows[0][3].i, mountPath);
  EXPECT_EQ(rows[0][4].i, 2);
  EXPECT_EQ(rows[0][5].i, 100);
  EXPECT_EQ(rows[0][6].i, 4000);
  EXPECT_EQ(m_db.text("SELECT PropValue FROM MMRPStoreProp WHERE RPStoreId = ? AND PropName = 'OffPeak Schedule'",
                      {a.storeId}),
            kWindow);
  const auto audits = testkit::audit::records();
  ASSERT_EQ(audits.size(), 1u);
  EXPECT_EQ(audits[0].operationId, 0x540000B5);
  EXPECT_EQ(audits[0].userId, static_cast<int>(kAlice));
  ASSERT_EQ(audits[0].params.size(), 1u);
  EXPECT_EQ(audits[0].params[0].messageId, 0x5500018B);
  EXPECT_EQ(audits[0].params[0].arguments, (std::vector<std::string>{"rplib", "/data/rp1"}));
  ASSERT_EQ(testkit::security::libraryUsers().size(), 1u);
  EXPECT_EQ(testkit::security::libraryUsers()[0], std::make_pair(static_cast<unsigned long>(kAlice),
                                                                  static_cast<unsigned long>(library)));
}

TEST_F(RPStoreCreate, EachFailureAnswersItsTextAndKeepsWhatWasMadeBefore) {
  struct Case {
    const char* name;
    std::function<void(Request&)> setup;
    std::string text;
    bool libraryStays;
  };
  const std::string failed = catalogue(0x240001BE);
  const Case cases[] = {
      {"the agent's client record unreadable",
       [](Request&) { testkit::mmdb::failNext("MMMiscDB::getClientInfo", 1, "gone"); }, catalogue(0x230008B0), false},
      {"neither agent nor device",
       [](Request& r) {
         r.operation = 64;
         r.library = {{8, "rplib"}, {24, "/data/rp1"}};
       },
       catalogue(0x2300091F), false},
      {"no mount path",
       [](Request& r) {
         r.operation = 64;
         r.library.erase(24);
       },
       catalogue(0x230008B7), false},
      {"an existing library's name", [](Request& r) { r.library[8] = "disklib"; }, catalogue(0x2400033D, "disklib"),
       false},
      {"the set-up refused", [](Request&) { testkit::mac::failNext("AutoConfigLibrary", 9, "disk offline"); },
       "disk offline", false},
      {"the user not given rights",
       [](Request&) { testkit::security::journal().injectFailure("addUserToLibrary", 1, "no"); },
       catalogue(0x24000330, "rplib"), true},
      {"the library type", [](Request&) { testkit::mmdb::failNext("MMLibraryDB::setLibraryTypeId", 1, "x"); }, failed,
       true},
      {"the mount paths", [](Request&) { testkit::mmdb::failNext("MMMountPathDB::getListForLibrary", 1, "x"); },
       failed, true},
      {"the mount-path type", [](Request&) { testkit::mmdb::failNext("MMMountPathDB::setMountPathType", 1, "x"); },
       failed, true},
      {"the media side", [](Request&) { testkit::mmdb::failNext("MMMediaSideDB::getInfo", 1, "x"); }, failed, true},
      {"the transaction", [](Request&) { testkit::db::journal().injectFailure("startTran", 290, "x"); },
       "The transaction could not be started (x)", true},
      {"the store row", [](Request&) { testkit::mmdb::failNext("MMRPStoreConfigDB::addRPStoreConfig", 1, "x"); },
       failed, true},
      {"the schedule", [](Request&) { testkit::mmdb::failNext("MMMiscDB::setRPStoreProp", 1, "x"); }, failed, true},
      {"the commit", [](Request&) { testkit::db::journal().injectFailure("commitTran", 254, "x"); },
       "The transaction could not be committed (x)", true},
  };
  int folder = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshStandIns();
    checkRightsPerAgent(true);
    ASSERT_EQ(m_db.exec("DELETE FROM MMLibrary WHERE AliasName = 'rplib'"), 0);
    Request r = creation();
    // A folder of its own: the libraries that stay keep theirs.
    r.library[24] = "/data/rp-" + std::to_string(++folder);
    r.library.erase(7);
    r.library[3] = "ma2";
    if (std::string(c.name) == "the agent's client record unreadable") {
      r.library.erase(3);
      r.library[7] = kMa2;
    }
    c.setup(r);
    expectRefused(call(r), c.text);
    EXPECT_EQ(newLibrary() > 0, c.libraryStays);
    EXPECT_EQ(count("MMRPStoreConfig"), 0);
    EXPECT_EQ(count("MMRPStoreProp"), 0);
    EXPECT_TRUE(testkit::audit::records().empty());
    EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("MAID2"));
  }
}

TEST_F(RPStoreCreate, SpaceLimitsAreClampedAsSixtyFourBitValues) {
  const long long big = (1LL << 32) + 7;  // 7 when narrowed to 32 bits
  struct Case {
    long long capacity, min, max;
    long long storedMin, storedMax;
  };
  const Case cases[] = {
      {5120000, 100, 4000, 100, 4000}, {5120000, 5000, 5000, 5000, 5000}, {5120000, 5001, 6000, 0, 5000},
      {5120000, -5, -5, 0, 5000},      {5120000, big, big, 0, 5000},      {1LL << 45, 7, big, 7, 2147483647},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.capacity) + " " + std::to_string(c.min) + " " + std::to_string(c.max));
    ASSERT_EQ(m_db.exec("DELETE FROM MMRPStoreConfig"), 0);
    ASSERT_EQ(m_db.exec("DELETE FROM MMLibrary WHERE AliasName = 'rplib'"), 0);
    tkmac::setNewMountPathCapacity(c.capacity);
    Request r = creation(64);
    r.store = {{6, c.min}, {7, c.max}};
    ASSERT_TRUE(call(r).success);
    EXPECT_EQ(m_db.scalar("SELECT MinSpace FROM MMRPStoreConfig"), c.storedMin);
    EXPECT_EQ(m_db.scalar("SELECT MaxSpace FROM MMRPStoreConfig"), c.storedMax);
  }
}

TEST_F(RPStoreCreate, BothCreatingOperationsHandTheSetUpThePlainPassword) {
  for (long long operation : {1LL, 64LL}) {
    SCOPED_TRACE(operation);
    ASSERT_EQ(m_db.exec("DELETE FROM MMLibrary WHERE AliasName = 'rplib'"), 0);
    Request r = creation(operation);
    r.library[33] = "proxy!";
    ASSERT_TRUE(call(r).success);
    const long long library = newLibrary();
    EXPECT_EQ(decrypted(m_db.text("SELECT UserPassword FROM MMMountPath WHERE LibraryId = ?", {library})), "s3cret");
    const std::string user = m_db.text("SELECT UserName FROM MMMountPath WHERE LibraryId = ?", {library});
    ASSERT_EQ(user.rfind("owner", 0), 0u);
    EXPECT_EQ(decrypted(user.substr(5)), "proxy!");
  }
}

TEST_F(RPStoreCreate, WithAPolicyTheCopyAndItsCandidateAreForTheAgentResolvedByName) {
  Request r = creation(64);
  r.library.erase(7);
  r.library[3] = "ma2";
  r.library[19] = "BLR copy";
  r.store[2] = kPolicy;
  const Answer a = call(r);
  ASSERT_TRUE(a.success) << a.text;
  const auto copies = m_db.query("SELECT id, archGroupId, name, type, flags FROM archGroupCopy");
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0][1].i, kPolicy);
  EXPECT_EQ(copies[0][2].s, "BLR copy");
  EXPECT_EQ(copies[0][3].i, 9);
  EXPECT_EQ(copies[0][4].i, 16384);
  const long long pool = m_db.scalar(
      "SELECT P.DrivePoolId FROM MMDrivePool P JOIN MMMasterPool M ON M.MasterPoolId = P.MasterPoolId "
      "WHERE M.LibraryId = ? AND P.ClientId = ?",
      {newLibrary(), kMa2});
  const auto candidates = m_db.query("SELECT CopyId, DrivePoolId, ClientId FROM MMCopyFailoverCandidate");
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0][0].i, copies[0][0].i);
  EXPECT_EQ(candidates[0][1].i, pool);
  EXPECT_EQ(candidates[0][2].i, kMa2);
}

TEST_F(RPStoreCreate, WithoutAPolicyNoCopyIsMade) {
  EXPECT_TRUE(call(creation(64)).success);
  EXPECT_EQ(count("MMRPStoreConfig"), 1);
  EXPECT_EQ(count("archGroupCopy"), 0);
  EXPECT_EQ(testkit::archivemgr::journal().count("createArchGroupCopy"), 0u);
}

TEST_F(RPStoreCreate, AFailedCopyKeepsLibraryStoreAndAuditAndAnswersMinusOne) {
  Request r = creation(64);
  r.store[2] = kPolicy;
  testkit::archivemgr::failNextCopy(12, "archive manager down");
  expectRefused(call(r), catalogue(0x24000141));
  EXPECT_GT(newLibrary(), 0);
  EXPECT_EQ(count("MMRPStoreConfig"), 1);
  EXPECT_EQ(testkit::audit::records().size(), 1u);
  EXPECT_EQ(count("archGroupCopy"), 0);
}

}  // namespace
}  // namespace rpstoretest
