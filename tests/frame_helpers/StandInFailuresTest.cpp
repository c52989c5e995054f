// Failures of the platform services that the handlers cannot rule out: a
// rights question the security service cannot answer, host services that
// fail, an installation name that cannot be read, and a named lock that
// cannot be taken or released. Each fails as the real service would, with
// the scripted code and text, once, and the next call is as before.
#include <gtest/gtest.h>

#include <functional>

#include "frame/EvExternal.h"
#include "frame/EvSecurity.h"
#include "platform/mdlock/MDLock.h"
#include "platform/testkit/external.h"
#include "platform/testkit/focus.h"
#include "platform/testkit/mdlock.h"
#include "platform/testkit/security.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDatabase.h"

namespace {

class StandInFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::security::reset();
    testkit::external::reset();
    testkit::focus::reset();
    testkit::mdlock::reset();
  }
  void TearDown() override { SetUp(); }
  tktest::TestDatabase m_db;  // the permission checker's transaction
};

TEST_F(StandInFailures, ARightsQuestionTheServiceCannotAnswerIsRefusedWithTheFailuresText) {
  const struct {
    const char* question;
    std::function<bool(EvSecurityCheck&)> ask;
  } questions[] = {
      {"canManageTarnkeep", [](EvSecurityCheck& s) { return s.canManageTarnkeep(7, 2); }},
      {"canManageMediaAgent", [](EvSecurityCheck& s) { return s.canManageMediaAgent(7, 2, 12); }},
      {"canAdminLibrary", [](EvSecurityCheck& s) { return s.canAdminLibrary(7, 2, 3); }},
      {"canManageClient", [](EvSecurityCheck& s) { return s.canManageClient(7, 2, 4); }},
      {"userHasRight", [](EvSecurityCheck& s) { return s.userHasRight(7, 1, false, 2018, 2, 0, 0, 0, 0, 0, 0, 2, 1); }},
      {"canBrowse", [](EvSecurityCheck& s) { return s.canBrowse(7, 2, 4, 84, 0, 99, 0, false, ""); }},
      {"canRestore",
       [](EvSecurityCheck& s) { return s.canRestore(7, 2, 0, 0, 0, 0, 0, 0, false, false, false, "", ""); }},
  };
  for (const auto& q : questions) {
    SCOPED_TRACE(q.question);
    EvSecurityCheck security(1);
    testkit::security::journal().injectFailure(q.question, 5, "security service unreachable");
    EXPECT_FALSE(q.ask(security));
    EXPECT_STREQ(security.getResponseString(), "security service unreachable");
    EXPECT_TRUE(q.ask(security)) << "only the scripted call fails";

    testkit::security::journal().injectFailure(q.question, 5, "");
    EXPECT_FALSE(q.ask(security));
    EXPECT_STREQ(security.getResponseString(), "The security service could not answer.");
  }

  EvSecurityNew checker(nullptr, 0);
  bool allowed = true;
  testkit::security::journal().injectFailure("hasPermissionForUserOnEntity", 42, "no answer");
  EXPECT_EQ(checker.hasPermissionForUserOnEntity(allowed, 1, 7, 3, 9, 0, 0, 0, 0, 0, 0, 0, 0), 42);
  EXPECT_FALSE(allowed);
  EXPECT_EQ(checker.getUTF8ErrorMessage(), "no answer");
  EXPECT_EQ(checker.hasPermissionForUserOnEntity(allowed, 1, 7, 3, 9, 0, 0, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_TRUE(allowed);
}

TEST_F(StandInFailures, HostServicesFailWithTheirResult) {
  EvExternal services(0);
  testkit::external::setAutoRefresh(true);
  testkit::external::journal().injectFailure("isAutoRefreshSet", -1, "setting unreadable");
  EXPECT_FALSE(services.isAutoRefreshSet()) << "a setting that cannot be read sends no notices";
  EXPECT_TRUE(services.isAutoRefreshSet());

  std::string encrypted = "left over";
  testkit::external::journal().injectFailure("encryptForTransport", -1, "no key");
  EXPECT_EQ(services.encryptForTransport("secret", encrypted), 0);
  EXPECT_EQ(encrypted, "");
  EXPECT_EQ(services.encryptForTransport("secret", encrypted), 1);
  EXPECT_NE(encrypted, "");

  ZQGui::GenericResp message;
  std::string xml = "<ZQGui_GenericResp/>";
  testkit::external::journal().injectFailure("preProcessXMLStringForPassword", 17, "unreadable");
  EXPECT_EQ(services.preProcessXMLStringForPassword(nullptr, message, xml), 17);
}

TEST_F(StandInFailures, AnInstallationNameThatCannotBeReadIsTheDefaultOne) {
  testkit::focus::ScopedFocus focus("site-a");
  testkit::focus::journal().injectFailure("getFocus", -1, "registry unreadable");
  EXPECT_EQ(ZQPI_Focus::getFocus(), tkfocus::kDefaultFocus);
  EXPECT_EQ(ZQPI_Focus::getFocus(), "site-a");
}

TEST_F(StandInFailures, ANamedLockThatCannotBeTakenOrReleased) {
  tktest::TempDir dir;
  tktest::ScopedEnv lockDir("TK_LOCK_DIR", dir.path());
  MDLock a("failing");
  MDLock probe("failing");
  testkit::mdlock::journal().injectFailure("set", -1, "lock table full");
  EXPECT_FALSE(a.set(MDLock::kNoTimeLimit));
  EXPECT_FALSE(probe.isSet()) << "nothing was taken";
  ASSERT_TRUE(a.set(MDLock::kNoTimeLimit));

  testkit::mdlock::journal().injectFailure("unset", -1, "cannot unlock");
  EXPECT_FALSE(a.unset());
  EXPECT_TRUE(probe.isSet()) << "still held until the object goes";
  EXPECT_TRUE(a.unset());
  EXPECT_FALSE(probe.isSet());
}

}  // namespace
