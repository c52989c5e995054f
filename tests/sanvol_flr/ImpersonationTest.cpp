// The credentials of FLR sets.
#include <gtest/gtest.h>

#include "sanvol/flr/FlrShared.h"
#include "tests/sanvol_flr/FlrFixture.h"

namespace flrtest {
namespace {

// ---------------------------------------------------------------- credentials

using Impersonation = FlrTest;

TEST_F(Impersonation, SetZeroReturnsZeroAndLeavesTheTextsAlone) {
  std::string user = "keep", password = "this";
  EXPECT_EQ(tksanvol::flr::GetImpersonation(0, user, password), 0);
  EXPECT_EQ(user, "keep");
  EXPECT_EQ(password, "this");
}

TEST_F(Impersonation, TheDefaultSetOfTheDestinationClientLendsItsCredentialsWhenItHasAUserName) {
  const unsigned long destination = 9;
  addClient(destination, "dest", "dest.example.com");
  seedSet(destination, false, 0, "other", "x");
  const unsigned long long def = seedSet(destination, true, 0, "svc-user", "s3cret");
  const unsigned long long given = seedSet(kClient, false, static_cast<int>(destination), "own-user", "own-pw");
  std::string user, password;
  EXPECT_EQ(tksanvol::flr::GetImpersonation(given, user, password), 1);
  EXPECT_EQ(user, "svc-user");
  EXPECT_EQ(password, "s3cret");
  EXPECT_TRUE(log.contains("Getting impersonation from repset:[" + std::to_string(def) + "] instead of current repset:[" +
                           std::to_string(given) + "]."));
  EXPECT_FALSE(log.contains("s3cret"));
}

TEST_F(Impersonation, AnEmptyUserNameOfTheDefaultSetFallsBackToTheSetsOwn) {
  const unsigned long destination = 9;
  addClient(destination, "dest", "dest.example.com");
  seedSet(destination, true, 0, "", "");
  const unsigned long long given = seedSet(kClient, false, static_cast<int>(destination), "own-user", "own-pw");
  std::string user, password;
  EXPECT_EQ(tksanvol::flr::GetImpersonation(given, user, password), 1);
  EXPECT_EQ(user, "own-user");
  EXPECT_EQ(password, "own-pw");
  EXPECT_TRUE(log.contains("GetImpersonation: Using impersonation from repset:[" + std::to_string(given) + "]."));
  EXPECT_FALSE(log.contains("own-pw"));
}

TEST_F(Impersonation, ASetThatIsItselfTheDefaultUsesItsOwnCredentials) {
  const unsigned long long given = seedSet(kClient, true, kClient, "me", "pw");
  std::string user, password;
  EXPECT_EQ(tksanvol::flr::GetImpersonation(given, user, password), 1);
  EXPECT_EQ(user, "me");
  EXPECT_EQ(password, "pw");
  EXPECT_FALSE(log.contains("instead of current repset"));
}

}  // namespace
}  // namespace flrtest
