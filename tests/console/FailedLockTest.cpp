// A lock that fails through the real host: another process holds a write
// transaction on the database longer than the host waits for it, so the
// configuration cannot be read. The console says under the lock that what
// follows is not done until a lock succeeds, and ends with status 3.
#include <sqlite3.h>

#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;

TEST_F(ConsoleFixture, ALockThatFailsBecauseTheDatabaseIsHeldSaysWhatFollowsIsNotDone) {
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(m_dir.file("host.db").c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string script = writeFile("held.tk", "lock\nlibraries\n");
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(),
                            {"--socket", m_host.socket(), "--timeout", "60000", "--script", script}, {},
                            m_dir.file("held.out"), m_dir.file("held.err")));
  // The other process lets go once the lock has been answered.
  const int64_t deadline = hosttest::nowMs() + 60000;
  while (hosttest::readFile(m_dir.file("held.out")).find("\n> libraries") == std::string::npos &&
         hosttest::readFile(m_dir.file("held.out")).find("(the lock failed") == std::string::npos &&
         hosttest::nowMs() < deadline)
    hosttest::pauseMs(50);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(console.exitCode(60000), 3);
  const std::string out = hosttest::readFile(m_dir.file("held.out"));
  EXPECT_NE(out.find(": 0 (failure) \"The media-management configuration could not be read: "), std::string::npos)
      << out;
  EXPECT_NE(out.find("(database is locked)\"\n  (the lock failed: this connection holds no configuration session, "
                     "and what follows on it that needs one is not done until a `lock` succeeds)\n> libraries\n"),
            std::string::npos)
      << out;
}

}  // namespace
