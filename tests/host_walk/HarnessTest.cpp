// The host tests' harness (tests/support/HostHarness.h) as the walk leans on
// it: a wait for a process says what ended it, goes on while the started
// processes work and ends when they stand still, and a process that
// started a host leaves neither the host nor its folder behind however it
// ends.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/HostHarness.h"
#include "tests/support/Owned.h"
#include "tests/support/WaitFor.h"

namespace {

int64_t secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
}

// The seconds a timed-out wait's text gives: how long it waited, and how
// long the started processes spent no CPU time at its end (-1 where the
// text does not say). A wait ends at its bound or later, as late as this
// process's thread is next run on a busy machine.
struct WaitedSeconds {
  int waited = -1;
  int stalled = -1;
};
WaitedSeconds secondsOf(const std::string& text) {
  WaitedSeconds s;
  std::sscanf(text.c_str(), "timed out after %d s (the started processes spent no CPU time for the last %d s)",
              &s.waited, &s.stalled);
  return s;
}

TEST(HostHarness, AWaitForAProcessSaysWhatEndedIt) {
  struct Row {
    const char* name;
    std::vector<std::string> args;  // empty: a program that does not exist
    int fixedMs;                    // 0: the wait that goes on while the processes work
    int stallMs;
    std::string said;  // a regular expression of what the wait says
    int code;
    // A wait that timed out: the least it can say it waited, and that
    // nothing moved (-1: it says nothing of that).
    int waitedS;
    int stalledS;
  };
  const std::vector<Row> rows = {
      {"exit code", {"/bin/sh", "-c", "exit 3"}, 0, hosttest::kStallMs, "exited with code 3", 3, -1, -1},
      {"exit code 0", {"/bin/sh", "-c", "exit 0"}, 0, hosttest::kStallMs, "exited with code 0", 0, -1, -1},
      {"signal", {"/bin/sh", "-c", "kill -9 $$"}, 0, hosttest::kStallMs, "ended by signal 9 \\(SIGKILL\\)", -1, -1,
       -1},
      {"fixed time-out", {"/bin/sleep", "30"}, 1000, hosttest::kStallMs, "timed out after [0-9]+ s", -1, 1, -1},
      {"no progress", {"/bin/sleep", "30"}, 0, 1000,
       "timed out after [0-9]+ s \\(the started processes spent no CPU time for the last [0-9]+ s\\)", -1, 1, 1},
      {"no start", {}, 0, hosttest::kStallMs, "did not start", -1, -1, -1},
  };
  tktest::TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    hosttest::StallBound stall(row.stallMs);
    hosttest::Child child;
    const std::string program = row.args.empty() ? dir.file("missing") : row.args[0];
    const std::vector<std::string> args(row.args.empty() ? row.args.begin() : row.args.begin() + 1, row.args.end());
    EXPECT_EQ(child.start(program, args, {}, dir.file("out"), dir.file("err")), !row.args.empty());
    const hosttest::Ended ended = child.exitCode(row.fixedMs);
    EXPECT_THAT(ended.text(), testing::MatchesRegex(row.said));
    // It gave up at its bound, not when the process (of 30 s) ended.
    const WaitedSeconds seconds = secondsOf(ended.text());
    if (row.waitedS >= 0) {
      EXPECT_GE(seconds.waited, row.waitedS) << ended;
      EXPECT_LT(seconds.waited, 30) << ended;
    }
    if (row.stalledS >= 0) {
      EXPECT_GE(seconds.stalled, row.stalledS) << ended;
      EXPECT_LE(seconds.stalled, seconds.waited) << ended;
    }
    // What a failed expectation on it prints.
    EXPECT_EQ(testing::PrintToString(ended), ended.text());
    EXPECT_EQ(ended.code(), row.code);
    EXPECT_EQ(static_cast<int>(ended), row.code);
  }
}

// A process that works past the stall bound is waited for; one that stands
// still (a host stopped, as a stuck one is) is given up on after the bound,
// not after the outer one, and the console's wait says so.
TEST(HostHarness, AWaitGoesOnWhileTheStartedProcessesWorkAndEndsOnceTheyStandStill) {
  tktest::TempDir dir;
  {
    SCOPED_TRACE("a process that works for 4 s, the stall bound 1 s");
    hosttest::StallBound stall(1000);
    hosttest::Child worker;
    ASSERT_TRUE(worker.start("/usr/bin/perl", {"-e", "$e = time + 4; 1 while time < $e; exit 5"}, {}, dir.file("out"),
                             dir.file("err")));
    EXPECT_EQ(worker.exitCode(), 5);
  }
  {
    SCOPED_TRACE("a stopped host, a console asking it to lock, the stall bound 2 s");
    hosttest::Host host(dir, dir.file("stuck.sock"));
    ASSERT_TRUE(host.up()) << host.log();
    ::kill(host.child().pid(), SIGSTOP);
    hosttest::StallBound stall(2000);
    const auto start = std::chrono::steady_clock::now();
    hosttest::PipedConsole console({"--socket", host.socket(), "--timeout", std::to_string(hosttest::kConsoleWaitMs),
                                    "--wait", std::to_string(hosttest::kConsoleWaitMs), "--script", "-"},
                                   true);
    ASSERT_TRUE(console.started());
    ASSERT_TRUE(console.send("lock\n" + std::string(hosttest::kAnswersEndMarker) + "\n"));
    EXPECT_EQ(console.awaitEcho(hosttest::kAnswersEndMarker, 0), std::string::npos) << console.printed();
    ASSERT_TRUE(console.quiet().has_value()) << console.printed();
    EXPECT_EQ(console.quiet()->text().rfind("timed out after ", 0), 0u) << console.quiet()->text();
    // Nothing moved for the stall bound, or longer where this thread ran late.
    const WaitedSeconds seconds = secondsOf(console.quiet()->text());
    EXPECT_GE(seconds.stalled, 2) << console.quiet()->text();
    EXPECT_LE(seconds.stalled, seconds.waited) << console.quiet()->text();
    EXPECT_LT(secondsSince(start), 30);
    const hosttest::Ended ended = console.finish("");
    EXPECT_EQ(ended.how(), hosttest::Ended::How::TimedOut) << ended;
    ::kill(host.child().pid(), SIGCONT);
  }
}

// A process (forked here) that started a host through the harness and
// then ends abnormally: the host is gone (its CPU time unreadable: no
// process, or a zombie) and so is the host's folder.
TEST(HostHarness, AProcessThatStartedAHostLeavesNeitherTheHostNorItsFolderHoweverItEnds) {
  enum class End { Signal, ExitPastTheOwners, Killed };
  struct Row {
    const char* name;
    End end;
    int signal;
    bool folderGoes;  // a process killed outright cannot remove anything
  };
  const std::vector<Row> rows = {
      {"SIGTERM", End::Signal, SIGTERM, true},
      {"SIGINT", End::Signal, SIGINT, true},
      {"SIGHUP", End::Signal, SIGHUP, true},
      {"exit() past the host's owner", End::ExitPastTheOwners, 0, true},
      {"SIGKILL", End::Killed, SIGKILL, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int said[2];
    ASSERT_EQ(::pipe(said), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(said[0]);
      // A signal this process inherited as ignored (a job started in the
      // background from a script ignores SIGINT) would not end the child.
      if (row.end == End::Signal) ::signal(row.signal, SIG_DFL);
      // Owners made with new are never destroyed: only the harness's own
      // clean-up can end the host and remove the folder. (Kept in statics,
      // which the leak check takes as held.)
      static tktest::TempDir* dir = new tktest::TempDir();
      static hosttest::Host* host = new hosttest::Host(*dir, dir->file("left.sock"));
      if (!host->up()) std::_Exit(90);
      char line[512];
      const int n = std::snprintf(line, sizeof line, "%d %s\n", static_cast<int>(host->child().pid()),
                                  dir->path().c_str());
      if (::write(said[1], line, static_cast<size_t>(n)) != n) std::_Exit(91);
      if (row.end == End::ExitPastTheOwners) std::exit(1);
      for (;;) ::pause();
    }
    ::close(said[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(said[0], buffer, sizeof buffer)) > 0;) {
      text.append(buffer, static_cast<size_t>(n));
      if (text.find('\n') != std::string::npos) break;
    }
    ::close(said[0]);
    int hostPid = 0;
    char path[400] = {};
    const bool read = std::sscanf(text.c_str(), "%d %399s", &hostPid, path) == 2;
    if (row.end != End::ExitPastTheOwners) ::kill(child, row.signal);
    int status = 0;
    if (!tktest::pollUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; })) {
      ADD_FAILURE() << "the child did not end";
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
    }
    ASSERT_TRUE(read) << "the child said: " << text << " and " << hosttest::Ended::fromStatus(status);
    EXPECT_TRUE(tktest::pollUntil([&] { return tkowned::cpuTicksOf(hostPid) < 0; }))
        << "host " << hostPid << " still runs";
    if (row.folderGoes) {
      EXPECT_FALSE(hosttest::exists(path)) << path;
    } else {
      std::string rm = std::string("rm -rf '") + path + "'";
      EXPECT_EQ(std::system(rm.c_str()), 0);
    }
  }
}

}  // namespace
