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

TEST_F(Security, CheckerTakesTheLocaleFromTheSequenceNumberAndAllowsUntilDenied) {
  EvSecurityCheck check((0x0409LL << 48) | 55);
  EXPECT_EQ(check.getLocale(), 0x0409u);
  EXPECT_STREQ(check.getResponseString(), "");
  EXPECT_EQ(EvSecurityMgr(-1LL).getLocale(), 65535u);

  EXPECT_TRUE(check.canManageTarnkeep(7, 2) && check.canManageMediaAgent(7, 2, 12) && check.canAdminLibrary(7, 2, 3) &&
              check.canManageClient(7, 2, 4) && check.userHasRight(7, 1, false, 2018, 2, 0, 0, 0, 0, 0, 0, 2, true) &&
              check.canBrowse(7, 2, 4, 84, 0, 99, 0, false, "") &&
              check.canRestore(7, 2, 0, 0, 0, 0, 0, 0, false, false, false, "", ""));
}

TEST_F(Security, DenialsMatchUserAndObjectAndLongTextsAreCut) {
  testkit::security::deny("canManageMediaAgent", 7, 12, "No rights on media agent 12.");
  EvSecurityCheck check(1);
  EXPECT_FALSE(check.canManageMediaAgent(7, 2, 12));
  EXPECT_STREQ(check.getResponseString(), "No rights on media agent 12.");
  EXPECT_TRUE(check.canManageMediaAgent(7, 2, 13));  // other object
  EXPECT_TRUE(check.canManageMediaAgent(8, 2, 12));  // other user
  EXPECT_TRUE(check.canAdminLibrary(7, 2, 12));      // other question

  testkit::security::deny("canManageTarnkeep", 9);
  EXPECT_FALSE(check.canManageTarnkeep(9, 2));
  EXPECT_NE(std::string(check.getResponseString()).find("User [9]"), std::string::npos);
  testkit::security::deny("canManageTarnkeep", testkit::security::kAny, 5);  // an object never matches here
  EXPECT_TRUE(check.canManageTarnkeep(10, 2));

  testkit::security::deny("*", 1, testkit::security::kAny, std::string(400, 'r'));
  EvSecurityMgr mgr(0);
  EXPECT_FALSE(mgr.canManageClient(1, 2, 3));
  EXPECT_EQ(std::strlen(mgr.getResponseString()), 255u);
}

TEST_F(Security, EvSecurityNewAnswersPermissionQuestions) {
  EvSecurityNew sec(nullptr, 0x0409);
  EXPECT_EQ(sec.tranStatus(), 0);
  EXPECT_EQ(sec.locale(), 0x0409);
  bool allowed = false;
  EXPECT_EQ(sec.hasPermissionForUserOnEntity(allowed, 8, 7, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_TRUE(allowed);
  EXPECT_EQ(sec.getUTF8ErrorMessage(), "");
  testkit::security::deny("hasPermissionForUserOnEntity", 7, 12, "no permission 8 on client 12");
  sec.hasPermissionForUserOnEntity(allowed, 8, 7, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_FALSE(allowed);
  EXPECT_EQ(sec.getUTF8ErrorMessage(), "no permission 8 on client 12");
}

TEST(ZQPasswordTest, EncryptDecryptCompareAndRefuseWhatDoesNotFit) {
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

  char small[8];
  length = sizeof small;
  EXPECT_EQ(ZQPassword::encrypt("longer than eight", small, &length), -1);
  EXPECT_STREQ(small, "");
  length = sizeof small;
  EXPECT_EQ(ZQPassword::decrypt("not encrypted", small, &length), -1);
  EXPECT_EQ(ZQPassword::encrypt(nullptr, small, &length), -1);
  EXPECT_EQ(ZQPassword::encrypt("x", nullptr, &length), -1);
}

}  // namespace
