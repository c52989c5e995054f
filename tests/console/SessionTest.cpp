// What a console session keeps and what it never leaves silent: a session
// piped line by line is answered line by line on one connection, so the
// handles of a listing stay good; answers that did nothing end with status
// 3 and say why; requests the console knows to be empty are refused before
// they are sent; a host that is still starting is waited for.
#include <fcntl.h>
#include <poll.h>

#include <filesystem>
#include <regex>

#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

// tkconsole with its standard input and output on pipes, so that a test can
// write one line, wait for its answer, and only then write the next.
class PipedConsole {
 public:
  explicit PipedConsole(const std::vector<std::string>& args) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> store{hosttest::consoleBinary()};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~PipedConsole() {
    closeInput();
    if (m_out >= 0) ::close(m_out);
    if (m_pid > 0 && !m_status) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  PipedConsole(const PipedConsole&) = delete;
  PipedConsole& operator=(const PipedConsole&) = delete;

  bool started() const { return m_pid > 0; }
  void send(const std::string& line) { ASSERT_TRUE(tkwire::writeAll(m_in, line + "\n")); }
  void closeInput() {
    if (m_in >= 0) ::close(m_in);
    m_in = -1;
  }

  // Everything printed so far, once it matches `pattern` (a regular
  // expression searched in it) or the console has ended; false when it did
  // not come within the reply limit.
  bool awaitOutput(const std::string& pattern) {
    const std::regex wanted(pattern);
    const int64_t deadline = hosttest::nowMs() + hosttest::kReplyMs;
    for (;;) {
      if (std::regex_search(m_output, wanted)) return true;
      const int64_t left = deadline - hosttest::nowMs();
      if (left <= 0) return false;
      pollfd p{m_out, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) != 1) return false;
      char buffer[4096];
      const ssize_t n = ::read(m_out, buffer, sizeof buffer);
      if (n <= 0) return std::regex_search(m_output, wanted);
      m_output.append(buffer, static_cast<size_t>(n));
    }
  }
  const std::string& output() const { return m_output; }

  int exitCode() {
    int status = 0;
    const int64_t deadline = hosttest::nowMs() + hosttest::kStartMs;
    while (::waitpid(m_pid, &status, WNOHANG) != m_pid) {
      if (hosttest::nowMs() >= deadline) return -1;
      char buffer[4096];
      pollfd p{m_out, POLLIN, 0};
      if (::poll(&p, 1, 10) == 1) {
        const ssize_t n = ::read(m_out, buffer, sizeof buffer);
        if (n > 0) m_output.append(buffer, static_cast<size_t>(n));
      }
    }
    m_status = status;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t m_pid = -1;
  int m_in = -1;
  int m_out = -1;
  std::string m_output;
  std::optional<int> m_status;
};

TEST_F(ConsoleFixture, APipedSessionIsAnsweredLineByLineAndKeepsItsHandles) {
  PipedConsole session({"--socket", m_host.socket(), "--script", "-"});
  ASSERT_TRUE(session.started());

  // Each answer arrives while the next line has not been written yet.
  session.send("lock");
  ASSERT_TRUE(session.awaitOutput(R"(> lock\nreply 1024 seq 1\n  tag 2051 \(status\) len \d+: 1 \(success\)[^\n]*\n)"))
      << session.output();
  session.send("libraries");
  ASSERT_TRUE(session.awaitOutput(R"(> libraries\nreply 11002 seq 2\n(.*\n)*?  tag 11003 [^\n]*: (\d+)\n)"))
      << session.output();
  std::smatch handle;
  const std::string listed = session.output();
  ASSERT_TRUE(std::regex_search(listed, handle, std::regex(R"(tag 11003 [^\n]*: (\d+)\n)")));

  session.send("library " + handle[1].str());
  ASSERT_TRUE(session.awaitOutput("> library " + handle[1].str() + R"(\nreply 11002 seq 3\n  tag \d+)"))
      << session.output();
  session.send("unlock");
  ASSERT_TRUE(session.awaitOutput(R"(> unlock\nreply 1024 seq 4\n  tag 2051 \(status\) len 11: 1 \(success\) "Success"\n)"))
      << session.output();
  session.closeInput();
  EXPECT_EQ(session.exitCode(), 0) << session.output();
  EXPECT_EQ(session.output().find("empty answer"), std::string::npos) << session.output();

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
