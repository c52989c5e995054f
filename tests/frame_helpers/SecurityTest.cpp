// Rights checks and password helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/EvSecurity.h"
#include "frame/ZQPassword.h"
#include "platform/testkit/adapters.h"
#include "platform/testkit/security.h"

namespace {

class Security : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::security::reset();
    testkit::adapters::reset();
  }
  void TearDown() override { testkit::security::reset(); }
};

TEST_F(Security, CheckerTakesTheLocaleFromTheSequenceNumber) {
  EvSecurityCheck check((0x0409LL << 48) | 55);
  EXPECT_EQ(check.getLocale(), 0x0409u);
  EXPECT_STREQ(check.getResponseString(), "");
  EvSecurityMgr all(-1LL);
  EXPECT_EQ(all.getLocale(), 65535u);
  EXPECT_EQ(all.replyId(), 0);
  EXPECT_EQ(all.sequenceNumber(), 0);  // the base is made with sequence 0
}

TEST_F(Security, EverythingIsAllowedUntilDenied) {
  EvSecurityCheck check(1);
  EXPECT_TRUE(check.canManageTarnkeep(7, 2));
  EXPECT_TRUE(check.canManageMediaAgent(7, 2, 12));
  EXPECT_TRUE(check.canAdminLibrary(7, 2, 3));
  EXPECT_TRUE(check.canManageClient(7, 2, 4));
  EXPECT_TRUE(check.userHasRight(7, 1, false, 2018, 2, 0, 0, 0, 0, 0, 0, 2, true));
  EXPECT_TRUE(check.canBrowse(7, 2, 4, 84, 0, 99, 0, false, ""));
  EXPECT_TRUE(check.canRestore(7, 2, 0, 0, 0, 0, 0, 0, false, false, false, "", ""));
  EXPECT_EQ(testkit::security::journal().calls().size(), 7u);
}

TEST_F(Security, DenialsMatchUserAndObject) {
  testkit::security::deny("canManageMediaAgent", 7, 12, "No rights on media agent 12.");
  EvSecurityCheck check(1);
  EXPECT_FALSE(check.canManageMediaAgent(7, 2, 12));
  EXPECT_STREQ(check.getResponseString(), "No rights on media agent 12.");
  EXPECT_TRUE(check.canManageMediaAgent(7, 2, 13));   // other object
  EXPECT_TRUE(check.canManageMediaAgent(8, 2, 12));   // other user
  EXPECT_TRUE(check.canAdminLibrary(7, 2, 12));       // other question

  testkit::security::deny("canManageTarnkeep", 9);
  EXPECT_FALSE(check.canManageTarnkeep(9, 2));
  EXPECT_NE(std::string(check.getResponseString()).find("User [9]"), std::string::npos);

  testkit::security::deny("canManageTarnkeep", testkit::security::kAny, 5);  // an object never matches here
  EXPECT_TRUE(check.canManageTarnkeep(10, 2));
}

TEST_F(Security, QuestionsAreJournaledWithTheirArguments) {
  EvSecurityMgr mgr(0);
  mgr.userHasRight(7, 2, false, 2009, 31, 0, 0, 0, 0, 0, 0, 2, true);
  mgr.canRestore(7, 2, 31, 0, 0, 0, 0, 0, false, true, false, "", "x");
  auto calls = testkit::security::journal().calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].name, "userHasRight");
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"7", "2", "false", "2009", "31", "0", "0", "0", "0", "0", "0",
                                                     "2", "true"}));
  EXPECT_EQ(calls[1].args.size(), 13u);
  EXPECT_EQ(calls[1].args[9], "true");
  EXPECT_EQ(calls[1].args[12], "x");
}

TEST_F(Security, LongRefusalTextIsCutToTheBuffer) {
  testkit::security::deny("*", 1, testkit::security::kAny, std::string(400, 'r'));
  EvSecurityMgr mgr(0);
  EXPECT_FALSE(mgr.canManageClient(1, 2, 3));
  EXPECT_EQ(std::strlen(mgr.getResponseString()), 255u);
}

TEST_F(Security, AddUserToLibraryReportsThroughTheErrorText) {
  EvSecurityCheck check(1);
  std::string error = "stale";
  EXPECT_EQ(check.addUserToLibrary(7, 0, 42, error, nullptr), 0);
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(testkit::security::libraryUsers(), (std::vector<std::pair<unsigned long, unsigned long>>{{7, 42}}));

  testkit::security::journal().injectFailure("addUserToLibrary", -5, "association table locked");
  EXPECT_NE(check.addUserToLibrary(7, 0, 43, error, nullptr), 0);
  EXPECT_EQ(error, "association table locked");
  testkit::security::deny("addUserToLibrary", 7, 44, "library 44 is closed");
  check.addUserToLibrary(7, 0, 44, error, nullptr);
  EXPECT_EQ(error, "library 44 is closed");
  EXPECT_EQ(testkit::security::libraryUsers().size(), 1u);
}

TEST_F(Security, EvSecurityNewOpensAndCommitsThroughItsWrapper) {
  {
    EvSecurityNew sec(nullptr, 0x0409);
    EXPECT_EQ(sec.tranStatus(), 0);
    EXPECT_EQ(sec.locale(), 0x0409);
    bool allowed = false;
    EXPECT_EQ(sec.hasPermissionForUserOnEntity(allowed, 8, 7, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_TRUE(allowed);
    EXPECT_EQ(sec.getUTF8ErrorMessage(), "");

    testkit::security::deny("hasPermissionForUserOnEntity", 7, 12, "no permission 8 on client 12");
    allowed = true;
    sec.hasPermissionForUserOnEntity(allowed, 8, 7, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(allowed);
    EXPECT_EQ(sec.getUTF8ErrorMessage(), "no permission 8 on client 12");
    EXPECT_EQ(testkit::adapters::tranJournal().count("commitIfOwnTran"), 0u);
  }
  auto tran = testkit::adapters::tranJournal().calls();
  ASSERT_EQ(tran.size(), 3u);
  EXPECT_EQ(tran[0].name, "TranWrapper");
  EXPECT_EQ(tran[0].args, (std::vector<std::string>{"EvSecurityNew", "false"}));
  EXPECT_EQ(tran[1].name, "ensureTran");
  EXPECT_EQ(tran[2].name, "commitIfOwnTran");
}

TEST_F(Security, EvSecurityNewKeepsTheStatusOfOpeningItsTransaction) {
  testkit::adapters::tranJournal().injectFailure("ensureTran", -8, "no connection");
  testkit::adapters::tranJournal().injectFailure("commitIfOwnTran", -9, "commit failed");
  EvSecurityNew sec(nullptr, 0);
  EXPECT_EQ(sec.tranStatus(), -8);
}

TEST(ZQPasswordTest, EncryptDecryptAndCompare) {
  char encrypted[2048];
  int length = sizeof encrypted;
  ASSERT_EQ(ZQPassword::encrypt("p@ss%w0rd", encrypted, &length), 0);
  EXPECT_EQ(length, static_cast<int>(std::strlen(encrypted)));
  EXPECT_STRNE(encrypted, "p@ss%w0rd");

  char plain[64];
  int plainLength = sizeof plain;
  ASSERT_EQ(ZQPassword::decrypt(encrypted, plain, &plainLength), 0);
  EXPECT_STREQ(plain, "p@ss%w0rd");
  EXPECT_EQ(plainLength, 9);

  ZQPassword stored;
  stored.putEncPwd(encrypted);
  EXPECT_EQ(stored.compareEncPwd(encrypted), 1);
  char other[2048];
  int otherLength = sizeof other;
  ZQPassword::encrypt("different", other, &otherLength);
  EXPECT_EQ(stored.compareEncPwd(other), 0);
  EXPECT_EQ(stored.compareEncPwd(nullptr), 0);
}

TEST(ZQPasswordTest, RefusesWhatDoesNotFit) {
  char small[8];
  int length = sizeof small;
  EXPECT_EQ(ZQPassword::encrypt("longer than eight", small, &length), -1);
  EXPECT_STREQ(small, "");
  length = sizeof small;
  EXPECT_EQ(ZQPassword::decrypt("not encrypted", small, &length), -1);
  EXPECT_EQ(ZQPassword::encrypt(nullptr, small, &length), -1);
  EXPECT_EQ(ZQPassword::encrypt("x", nullptr, &length), -1);
}

}  // namespace
