// Rights answered from the users table (the host's source): each question
// asks about its kind of entity, look-only rights pass only the questions
// that look, and a library given to a user is the user's to change.
#include <gtest/gtest.h>

#include "frame/EvSecurity.h"
#include "platform/testkit/security.h"
#include "tests/support/TestDatabase.h"

namespace {

class UsersTable : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::security::reset();
    // User 3 may change media agent 2 and library 5 and look at everything;
    // user 4 is known and holds nothing.
    ASSERT_EQ(m_db.exec("INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (3, 'backup'), (4, 'guest')"), 0);
    ASSERT_EQ(m_db.exec("INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") "
                        "VALUES (3, 'MediaAgent', 2, 1), (3, 'Library', 5, 1), (3, '*', -1, 0)"),
              0);
    testkit::security::useUsersTable(true);
  }
  void TearDown() override { testkit::security::reset(); }

  tktest::TestDatabase m_db;
};

TEST_F(UsersTable, EachQuestionAsksAboutItsKindOfEntity) {
  EvSecurityCheck check(1);
  EXPECT_TRUE(check.canManageMediaAgent(3, 2, 2));
  EXPECT_FALSE(check.canManageMediaAgent(3, 2, 7));
  EXPECT_STREQ(check.getResponseString(), "User [backup] may look at but not change media agent [7].");
  EXPECT_TRUE(check.canAdminLibrary(3, 2, 5));
  EXPECT_FALSE(check.canAdminLibrary(3, 2, 2));  // a media agent's id is no library's
  EXPECT_FALSE(check.canManageTarnkeep(3, 2));
  EXPECT_STREQ(check.getResponseString(), "User [backup] may look at but not change the installation.");
  EXPECT_FALSE(check.canManageClient(3, 2, 9));
  // Entity kind 1 is the installation, 2 a client.
  EXPECT_FALSE(check.userHasRight(3, 1, false, 2018, 2, 0, 0, 0, 0, 0, 0, 2, true));
  EXPECT_FALSE(check.userHasRight(3, 2, false, 2009, 9, 0, 0, 0, 0, 0, 0, 2, true));
  EXPECT_STREQ(check.getResponseString(), "User [backup] may look at but not change client [9].");
}

TEST_F(UsersTable, ALookOnlyRightPassesBrowsingAndNothingElse) {
  EvSecurityCheck check(1);
  EXPECT_TRUE(check.canBrowse(3, 2, 9, 84, 0, 0, 0, false, ""));
  EXPECT_FALSE(check.canRestore(3, 2, 9, 0, 0, 0, 0, 0, false, false, false, "", ""));
  // A user with no right at all may not even look.
  EXPECT_FALSE(check.canBrowse(4, 2, 9, 84, 0, 0, 0, false, ""));
  EXPECT_STREQ(check.getResponseString(), "User [guest] has no rights on client [9].");
  EvSecurityNew permissions(nullptr, 0);
  bool allowed = true;
  EXPECT_EQ(permissions.hasPermissionForUserOnEntity(allowed, 8, 3, 11, 9, 0, 0, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_FALSE(allowed);
  EXPECT_EQ(permissions.getUTF8ErrorMessage(), "User [backup] may look at but not change client [9].");
}

TEST_F(UsersTable, AnUnknownUserIsRefusedEverythingAndGetsNoLibrary) {
  EvSecurityCheck check(1);
  EXPECT_FALSE(check.canBrowse(8, 2, 9, 84, 0, 0, 0, false, ""));
  EXPECT_STREQ(check.getResponseString(), "User [8] is not a user of this installation.");
  std::string error;
  EXPECT_NE(check.addUserToLibrary(8, 0, 6, error, nullptr), 0);
  EXPECT_EQ(error, "User [8] is not a user of this installation.");
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"UMUserRights\" WHERE \"userId\" = 8"), 0);
}

TEST_F(UsersTable, ALibraryGivenToAUserIsTheUsersToChange) {
  EvSecurityCheck check(1);
  EXPECT_FALSE(check.canAdminLibrary(4, 2, 6));
  std::string error = "stale";
  EXPECT_EQ(check.addUserToLibrary(4, 0, 6, error, nullptr), 0);
  EXPECT_EQ(error, "");
  EXPECT_TRUE(check.canAdminLibrary(4, 2, 6));
  EXPECT_FALSE(check.canAdminLibrary(4, 2, 5));
  // Given twice, it is one right.
  EXPECT_EQ(check.addUserToLibrary(4, 0, 6, error, nullptr), 0);
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"UMUserRights\" WHERE \"userId\" = 4"), 1);
  EXPECT_TRUE(testkit::security::libraryUsers().empty());
}

TEST_F(UsersTable, ATableThatCannotBeReadRefuses) {
  ASSERT_EQ(m_db.exec("DROP TABLE \"UMUserRights\""), 0);
  EvSecurityCheck check(1);
  EXPECT_FALSE(check.canManageMediaAgent(3, 2, 2));
  EXPECT_STREQ(check.getResponseString(), "The rights of user [3] could not be read.");
}

TEST_F(UsersTable, TheDemonstrationUsersAreSeededOnce) {
  ASSERT_EQ(m_db.exec("DELETE FROM \"UMUsers\""), 0);
  std::string report;
  EXPECT_EQ(tksecurity::seedDemoUsers(report), 2);
  EXPECT_EQ(tksecurity::seedDemoUsers(report), 0);
  EvSecurityCheck check(1);
  EXPECT_TRUE(check.canManageTarnkeep(1, 2));
  EXPECT_FALSE(check.canManageTarnkeep(2, 2));
  EXPECT_TRUE(check.canBrowse(2, 2, 9, 84, 0, 0, 0, false, ""));
}

}  // namespace
