// Rights through the host come from the users table: the seeded operator
// may look but not change, a user the table does not know is refused, and
// a right an administrator grants with SQL counts.
#include <gtest/gtest.h>

#include "tests/host_installation/InstallationFixture.h"
#include "tests/support/DatabaseDump.h"

namespace {

using installtest::ConsoleRun;

class HostUserRights : public installtest::InstallationFixture {};

TEST_F(HostUserRights, TheOperatorsDeleteIsRefusedByTheHostWithItsTextAndAlertAndNothingChanges) {
  // The operator may change nothing at all: the host refuses the change
  // before the handler runs, in the XML form the handler would answer.
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  const ConsoleRun run = console({"--user", "2", "storage-library", "43=2", "8=DiskLib1", "request.6=1"});
  EXPECT_EQ(run.status, 3) << run.out;
  EXPECT_NE(run.out.find("<EVGui_GenericResp i1=\"-1\" s2=\"User [operator] may not change anything in this "
                         "installation.\"/>"),
            std::string::npos)
      << run.out;
  const std::string log = debugLog();
  EXPECT_NE(log.find("alert [1020] condition [12] for [2]: User [operator] may not change anything in this "
                     "installation."),
            std::string::npos)
      << log;
  const tktest::DatabaseDump after = tktest::DatabaseDump::take();
  EXPECT_EQ(after, before) << tktest::DatabaseDump::describeChanges(before, after);
}

TEST_F(HostUserRights, TheOperatorMayLookButNotTakeTheConfigurationLock) {
  EXPECT_EQ(console({"--user", "2", "ndmp-servers"}).status, 0);
  const ConsoleRun lock = console({"--user", "2", "lock"});
  EXPECT_EQ(lock.status, 3);
  EXPECT_NE(lock.out.find("User [operator] may look at but not change the installation."), std::string::npos)
      << lock.out;
  // The administrator, the console's default user, may.
  EXPECT_EQ(console({"lock"}).status, 0);
}

TEST_F(HostUserRights, AUserTheTableDoesNotKnowIsRefused) {
  const tktest::DatabaseDump before = tktest::DatabaseDump::take();
  const ConsoleRun lock = console({"--user", "9", "lock"});
  EXPECT_EQ(lock.status, 3);
  EXPECT_NE(lock.out.find("User [9] is not a user of this installation."), std::string::npos) << lock.out;
  const ConsoleRun remove = console({"--user", "9", "storage-library", "43=2", "8=TapeLib1", "request.6=1"});
  EXPECT_EQ(remove.status, 3);
  EXPECT_NE(remove.out.find("i1=\"-1\""), std::string::npos) << remove.out;
  EXPECT_EQ(tktest::DatabaseDump::take(), before);
}

TEST_F(HostUserRights, ARightGrantedWithSqlCoversItsEntityOnly) {
  // User 5 may change library 1 (TapeLib1) and nothing else.
  ASSERT_EQ(m_db.exec("INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (5, 'tapes')"), 0);
  ASSERT_EQ(m_db.exec("INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") "
                      "VALUES (5, 'Library', 1, 1)"),
            0);
  const ConsoleRun other = console({"--user", "5", "storage-library", "43=2", "8=DiskLib1", "request.6=1"});
  EXPECT_NE(other.out.find("User [tapes] does not have the rights to delete this library."), std::string::npos)
      << other.out;
  const ConsoleRun own = console({"--user", "5", "storage-library", "43=2", "8=TapeLib1", "request.6=1"});
  EXPECT_EQ(own.status, 0) << own.out;
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TapeLib1' AND "
                        "\"LibraryEnabled\" = 1"),
            0);
}

TEST(HostRightsSource, AnUnknownRightsSourceStopsTheHostAtStart) {
  tktest::TempDir dir;
  hosttest::Child host;
  ASSERT_TRUE(host.start(hosttest::hostBinary(), {"--socket", dir.file("s")},
                         {{"TK_DB", dir.file("db")}, {"TK_RIGHTS", "everyone"}}, dir.file("out"), dir.file("err")));
  EXPECT_EQ(host.exitCode(), 2);
  EXPECT_NE(hosttest::readFile(dir.file("err")).find("TK_RIGHTS takes table or scripted, not everyone"),
            std::string::npos);
}

}  // namespace
