// What a console session keeps and what it never leaves silent: a session
// piped line by line is answered line by line on one connection, so the
// handles of a listing stay good; answers that did nothing end with status
// 3 and say why; requests the console knows to be empty are refused before
// they are sent; a host that is still starting is waited for.
#include <filesystem>
#include <regex>

#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

// What a console piped line by line (hosttest::PipedConsole, so that a test
// can write one line, wait for its answer, and only then write the next)
// has printed, once it matches `pattern` (a regular expression searched in
// it); false when the console ended or went quiet first.
bool awaitOutput(hosttest::PipedConsole& console, const std::string& pattern) {
  const std::regex wanted(pattern);
  while (!std::regex_search(console.printed(), wanted))
    if (!console.readSome()) return false;
  return true;
}

TEST_F(ConsoleFixture, APipedSessionIsAnsweredLineByLineAndKeepsItsHandles) {
  hosttest::PipedConsole session({"--socket", m_host.socket(), "--script", "-"}, false);
  ASSERT_TRUE(session.started());

  // Each answer arrives while the next line has not been written yet.
  ASSERT_TRUE(session.send("lock\n"));
  ASSERT_TRUE(awaitOutput(session, R"(> lock\nreply 1024 seq 1\n  tag 2051 \(status\) len \d+: 1 \(success\)[^\n]*\n)"))
      << session.printed();
  ASSERT_TRUE(session.send("libraries\n"));
  ASSERT_TRUE(awaitOutput(session, R"(> libraries\nreply 11002 seq 2\n(.*\n)*?  tag 11003 [^\n]*: (\d+)\n)"))
      << session.printed();
  std::smatch handle;
  const std::string listed = session.printed();
  ASSERT_TRUE(std::regex_search(listed, handle, std::regex(R"(tag 11003 [^\n]*: (\d+)\n)")));

  ASSERT_TRUE(session.send("library " + handle[1].str() + "\n"));
  ASSERT_TRUE(awaitOutput(session, "> library " + handle[1].str() + R"(\nreply 11002 seq 3\n  tag \d+)"))
      << session.printed();
  ASSERT_TRUE(session.send("unlock\n"));
  ASSERT_TRUE(awaitOutput(session, R"(> unlock\nreply 1024 seq 4\n  tag 2051 \(status\) len 11: 1 \(success\) "Success"\n)"))
      << session.printed();
  EXPECT_EQ(session.finish(""), 0) << session.printed();
  EXPECT_EQ(session.printed().find("empty answer"), std::string::npos) << session.printed();

  // The same handle in a session of its own names nothing there.
  const std::string script = writeFile("later.tk", "lock\nlibrary " + handle[1].str() + "\nunlock\n");
  const ConsoleRun later = console({"--script", script});
  EXPECT_EQ(later.status, 3) << later.out << later.err;
  EXPECT_NE(later.out.find("> library " + handle[1].str() + "\nreply 11002 seq 2\n  (empty answer: handles last one "
                                                             "connection; take the handle from `libraries` after "
                                                             "`lock` in the same --script or --script - session)\n"),
            std::string::npos)
      << later.out;
}

TEST_F(ConsoleFixture, AnswersThatDidNothingEndWithStatusThreeAndSayWhy) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string note;
  } cases[] = {
      {"a listing without the lock", {"libraries"},
       "  (nothing was done: no configuration session is open on this connection; take the lock first (`lock`), "
       "then `libraries` in the same --script or --script - session)\n"},
      {"a record without the lock", {"library", "12"}, "take the lock first (`lock`)"},
      {"an unlock with no lock held", {"unlock"},
       "  tag 2051 (status) len 11: 1 (success) \"Success\"\n  (nothing released: nobody holds the configuration "
       "lock)\n"},
      {"unlock-anyway too", {"unlock-anyway"}, "(nothing released: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ConsoleRun run = console(c.args);
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find(c.note), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
  }
  // A lock taken and released in one session is no such case.
  const std::string script = writeFile("both.tk", "lock\nlibraries\nunlock\n");
  const ConsoleRun run = console({"--script", script});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("  ("), std::string::npos) << run.out;
}

TEST_F(ConsoleFixture, AStorageLibraryRequestWithoutAKnownOperationIsRefusedBeforeSending) {
  const ConsoleRun none = console({"storage-library"});
  EXPECT_EQ(none.status, 64);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err.rfind("tkconsole: storage-library needs its operation, 43=CODE (1 create library, 2 delete "
                           "library, 4 add mount path, ",
                           0),
            0u)
      << none.err;
  const ConsoleRun unnamed = console({"storage-library", "8=TapeLib1"});
  EXPECT_EQ(unnamed.status, 64);
  EXPECT_EQ(unnamed.err, none.err);
  const ConsoleRun unknown = console({"storage-library", "43=3", "8=TapeLib1"});
  EXPECT_EQ(unknown.status, 64);
  EXPECT_EQ(unknown.err.rfind("tkconsole: storage-library has no operation 3; 43= takes 1 create library, ", 0), 0u)
      << unknown.err;
  // Nothing reached the host but the fixture's probe.
  const std::string log = m_host.log();
  size_t opened = 0;
  for (size_t at = log.find(" opened"); at != std::string::npos; at = log.find(" opened", at + 1)) ++opened;
  EXPECT_EQ(opened, 1u) << log;
}

TEST_F(ConsoleFixture, ADeletedLibraryLeavesNoLockFile) {
  const ConsoleRun run = console({"storage-library", "43=2", "8=TapeLib1", "request.6=1"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(m_dir.file("locks")))
    left.push_back(entry.path().filename().string());
  for (const std::string& name : left) EXPECT_EQ(name.find("LibID"), std::string::npos) << name;
}

TEST_F(ConsoleFixture, ALockHeldByAnotherNamesTheHolderByLogin) {
  const tktest::TempDir& dir = m_dir;
  hosttest::Host host(dir, dir.file("table.sock"), {"--seed-demo"},
                      {{"TK_RIGHTS", "table"}, {"TK_LOCK_DIR", dir.file("locks")}}, "table");
  const int holder = host.connect();
  ASSERT_GE(holder, 0) << host.log();
  ASSERT_TRUE(hosttest::takeLock(holder)) << host.log();
  const ConsoleRun run = runConsole(dir, {"--socket", host.socket()}, {"lock"});
  EXPECT_EQ(run.status, 3) << run.out;
  EXPECT_NE(run.out.find("3 (held) \""), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("[admin]"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("[]"), std::string::npos) << run.out;
  // Nobody forced the lock, so the take-over notice a listing gets names the
  // holder too, not an empty "user []".
  const ConsoleRun listing = runConsole(dir, {"--socket", host.socket()}, {"libraries"});
  EXPECT_EQ(listing.status, 3) << listing.out;
  EXPECT_NE(listing.out.find("\"Library and Drive Configuration was closed: user [admin] took over the "
                             "configuration.\"\n"),
            std::string::npos)
      << listing.out;
  ::close(holder);
}

TEST_F(ConsoleFixture, TheConsoleWaitsForAHostThatIsStillStarting) {
  const tktest::TempDir& dir = m_dir;
  const std::string socket = dir.file("late/tkhost.sock");
  // The console starts first; the host's socket does not exist yet.
  hosttest::Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", socket, "--timeout", "30000", "--list"}, {},
                            dir.file("c.out"), dir.file("c.err")));
  hosttest::Host host(dir, socket, {"--seed-demo"}, {}, "late");
  EXPECT_EQ(console.exitCode(), 0) << hosttest::readFile(dir.file("c.err")) << host.log();
  EXPECT_NE(hosttest::readFile(dir.file("c.out")).find("LockMMConfiguration "), std::string::npos);

  // No host at all: after --timeout, what to do.
  const ConsoleRun none =
      runConsole(dir, {"--socket", dir.file("none.sock"), "--timeout", "50"}, {"lock"});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "tkconsole: cannot reach the host at " + dir.file("none.sock") +
                          ": No such file or directory (start it with `tkhost --socket " + dir.file("none.sock") +
                          " &`, or pass --socket PATH where it listens)\n");
}

}  // namespace
