// What tkhost makes of its database, its files and its log: it opens the
// database at start and refuses one it cannot use, creates every file for
// its owner only, writes log lines of one format with level names, and
// names the closest handlers when a console asks for one it does not have.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/support/HostHarness.h"

namespace {

using hosttest::Host;

std::string lockFrame(int64_t sequence, uint32_t operation) {
  tkwire::StreamRequest r;
  r.handler = "LockMMConfiguration";
  r.sequence = sequence;
  r.firstField = tkwire::firstFieldOf(2, operation);
  return tkwire::encodeStreamRequest(r);
}

TEST(HostDatabase, AFileThatIsNoDatabaseStopsTheHostAtStartWithTheReason) {
  tktest::TempDir dir;
  const std::string text = dir.file("notes.txt");
  std::ofstream(text) << "these are notes, not a database; they are long enough to have a header page\n"
                      << std::string(200, 'x') << "\n";
  const struct {
    const char* what;
    std::string path;
    std::string reason;
  } cases[] = {
      {"a text file", text, "cannot use the database " + text + ": file is not a database"},
      {"a directory", dir.path(), "cannot use the database " + dir.path() + ": "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Host host(dir, dir.file("db.sock"), {}, {{"TK_DB", c.path}}, "refused");
    EXPECT_EQ(host.child().exitCode(), 1);
    EXPECT_NE(host.log().find(c.reason), std::string::npos) << host.log();
    EXPECT_EQ(host.log().find("listening"), std::string::npos) << host.log();
    EXPECT_FALSE(hosttest::exists(dir.file("db.sock")));
  }
  EXPECT_EQ(hosttest::readFile(text).rfind("these are notes", 0), 0u) << "the file was changed";
}

TEST(HostDatabase, ANewDatabaseGetsItsSchemaAtStart) {
  tktest::TempDir dir;
  Host host(dir, dir.file("db.sock"), {}, {{"TK_DB", dir.file("new/tarnkeep.db")}});
  ASSERT_TRUE(host.up()) << host.log();
  // Before any request the file is a database with tables in it.
  EXPECT_GT(std::filesystem::file_size(dir.file("new/tarnkeep.db")) +
                (hosttest::exists(dir.file("new/tarnkeep.db-wal"))
                     ? std::filesystem::file_size(dir.file("new/tarnkeep.db-wal"))
                     : 0),
            4096u);
  EXPECT_EQ(host.stop(), 0);
}

TEST(HostFiles, EverythingTheHostCreatesIsForItsOwnerOnly) {
  tktest::TempDir dir;
  Host host(dir, dir.file("run/host.sock"), {"--seed-demo"},
            {{"TK_DB", dir.file("data/tarnkeep.db")},
             {"TK_LOG_DIR", dir.file("log")},
             {"TK_LOCK_DIR", dir.file("locks")}});
  const int fd = host.connect();
  ASSERT_GE(fd, 0) << host.log();
  ASSERT_EQ(tktest::onlyStatus(hosttest::sendAndRead(fd, lockFrame(1, 1)))->status, 1u);
  ASSERT_EQ(tktest::onlyStatus(hosttest::sendAndRead(fd, lockFrame(2, 0)))->status, 1u);
  ::close(fd);

  size_t seen = 0;
  for (const char* top : {"run", "data", "log", "locks"}) {
    if (!hosttest::exists(dir.file(top))) continue;
    for (auto it = std::filesystem::recursive_directory_iterator(dir.file(top));
         it != std::filesystem::recursive_directory_iterator(); ++it) {
      struct stat st{};
      ASSERT_EQ(::lstat(it->path().c_str(), &st), 0);
      SCOPED_TRACE(it->path().string());
      EXPECT_EQ(st.st_mode & 077, 0u) << std::oct << (st.st_mode & 0777);
      ++seen;
    }
    struct stat st{};
    ASSERT_EQ(::lstat(dir.file(top).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << top << " " << std::oct << (st.st_mode & 0777);
  }
  for (const char* file : {"data/tarnkeep.db", "log/tkmmconfig.log", "run/host.sock"}) {
    SCOPED_TRACE(file);
    struct stat st{};
    ASSERT_EQ(::lstat(dir.file(file).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << std::oct << (st.st_mode & 0777);
  }
  EXPECT_GE(seen, 3u);
  EXPECT_EQ(host.stop(), 0);
}

TEST(HostLog, HostAndHandlerLinesShareOneTimeFormatAndNameTheirLevelAndConnection) {
  tktest::TempDir dir;
  Host host(dir, dir.file("log.sock"), {"--verbose"}, {{"TK_LOG_DIR", dir.file("log")}});
  const int fd = host.connect();
  ASSERT_GE(fd, 0) << host.log();
  ASSERT_EQ(tktest::onlyStatus(hosttest::sendAndRead(fd, lockFrame(1, 1)))->status, 1u);
  ASSERT_EQ(tktest::onlyStatus(hosttest::sendAndRead(fd, lockFrame(2, 0)))->status, 1u);
  ::close(fd);
  EXPECT_EQ(host.stop(), 0);

  const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})";
  const std::regex hostLine("tkhost\\[\\d+\\] " + stamp + " (ERROR|NOTICE|INFO|DEBUG) .+");
  std::istringstream hostLog(host.log());
  size_t lines = 0;
  for (std::string line; std::getline(hostLog, line); ++lines)
    EXPECT_TRUE(std::regex_match(line, hostLine)) << line;
  EXPECT_GE(lines, 5u);
  EXPECT_NE(host.log().find(" DEBUG connection 64: LockMMConfiguration user 1 seq 1"), std::string::npos)
      << host.log();

  const std::regex handlerLine(stamp + R"( \d+ (ERROR|DEBUG|DEBUG\d+) conn 64 \S+: .*)");
  std::istringstream handlerLog(hosttest::readFile(dir.file("log/tkmmconfig.log")));
  size_t handlerLines = 0;
  for (std::string line; std::getline(handlerLog, line);) {
    if (line.find("LockMMConfiguration") == std::string::npos) continue;
    ++handlerLines;
    EXPECT_TRUE(std::regex_match(line, handlerLine)) << line;
  }
  EXPECT_GE(handlerLines, 2u);
  // A lock granted and released is no error.
  EXPECT_EQ(hosttest::readFile(dir.file("log/tkmmconfig.log")).find(" ERROR "), std::string::npos)
      << hosttest::readFile(dir.file("log/tkmmconfig.log"));
}

TEST(HostOptions, VersionHelpAndWrongOptions) {
  tktest::TempDir dir;
  const struct {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> out;
    std::string err;
  } cases[] = {
      {{"--version"}, 0, {"tkhost 0."}, ""},
      {{"--help"},
       0,
       {"TK_DB", "TK_LOCK_DIR", "TK_LOG_DIR", "TK_LOG_LEVEL", "SIGTERM or SIGINT", "Exit status: 0", "owner only"},
       ""},
      {{"--bogus"}, 2, {}, "tkhost: unknown option --bogus\n"},
      {{"-q", "-v"}, 2, {}, "tkhost: --verbose and --quiet contradict each other\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    hosttest::Child host;
    ASSERT_TRUE(host.start(hosttest::hostBinary(), c.args, {{"TK_DB", dir.file("unused.db")}}, dir.file("out"),
                           dir.file("err")));
    EXPECT_EQ(host.exitCode(), c.status);
    const std::string out = hosttest::readFile(dir.file("out"));
    for (const std::string& text : c.out) EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
    const std::string err = hosttest::readFile(dir.file("err"));
    EXPECT_EQ(err.substr(0, c.err.size()), c.err);
    if (c.err.empty()) {
      EXPECT_EQ(err, "");
    }
  }
  EXPECT_FALSE(hosttest::exists(dir.file("unused.db"))) << "--help and --version touch no database";
}

// A request whose handler returns without a word gets only its end frame;
// the host's log names it, and says nothing of a request that was answered.
std::string streamFrame(const std::string& handler, int64_t sequence, const std::string& stream, uint32_t elements) {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.firstField = tkwire::firstFieldOf(0, elements);
  r.stream = stream;
  return tkwire::encodeStreamRequest(r);
}

TEST(HostLog, ARequestItsHandlerLeftUnansweredIsLoggedAsAWarningNamingIt) {
  tktest::TempDir dir;
  Host host(dir, dir.file("silent.sock"), {}, {{"TK_LOG_DIR", dir.file("log")}});
  const int fd = host.connect();
  ASSERT_GE(fd, 0) << host.log();
  // A text longer than the handlers' element buffer ends the element walk
  // before the record's end (2052): the record is never applied.
  std::string longPath;
  tkwire::appendU32(longPath, 4001, 3);
  tkwire::appendElement(longPath, 11041, std::string(5006, 'p'));
  tkwire::appendU32(longPath, 2052, 0);
  const struct {
    const char* name;
    std::string frame;
    bool answered;
  } cases[] = {
      {"a lock", lockFrame(10, 1), true},
      {"a mount path's text longer than the element buffer", streamFrame("onMsgSetMMMountPath", 11, longPath, 3),
       false},
      {"an operation the lock does not have", lockFrame(12, 9), false},
      {"an unlock", lockFrame(13, 2), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<tkwire::Reply> replies = hosttest::sendAndRead(fd, c.frame);
    EXPECT_EQ(replies.empty(), !c.answered);
  }
  ::close(fd);
  EXPECT_EQ(host.stop(), 0);
  const std::string log = host.log();
  const std::regex warning(
      R"(NOTICE warning: (\S+) answered nothing to request (\d+) of user 1 on connection \d+ \(it returned -?\d+\))");
  std::vector<std::string> named;
  for (std::sregex_iterator it(log.begin(), log.end(), warning), end; it != end; ++it)
    named.push_back((*it)[1].str() + " " + (*it)[2].str());
  EXPECT_EQ(named, (std::vector<std::string>{"onMsgSetMMMountPath 11", "LockMMConfiguration 12"})) << log;
}

TEST(HostRefusals, AnUnknownHandlerIsToldTheClosestNames) {
  tktest::TempDir dir;
  Host host(dir, dir.file("near.sock"));
  const int fd = host.connect();
  ASSERT_GE(fd, 0) << host.log();
  const struct {
    std::string asked;
    std::string reason;
  } cases[] = {
      {"LockMMConfiguratoin", "unknown handler LockMMConfiguratoin; did you mean LockMMConfiguration"},
      {"lockmmconfiguration", "unknown handler lockmmconfiguration; did you mean LockMMConfiguration"},
      {"Libraries", "unknown handler Libraries; did you mean onMsgGetMMLibraries"},
      {"Frobnicate", "unknown handler Frobnicate"},
  };
  int64_t sequence = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.asked);
    const auto status = tktest::onlyStatus(hosttest::sendAndRead(fd, hosttest::streamFrame(c.asked, ++sequence)));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->status, 0u);
    EXPECT_EQ(status->text.substr(0, c.reason.size()), c.reason);
    if (c.reason.find("did you mean") == std::string::npos) {
      EXPECT_EQ(status->text, c.reason);
    }
  }
  ::close(fd);
}

// scripts/test with -R but no pattern would build and run every area
// without a word: it is refused with the usage, before anything is done
// (here --configure-only would configure a tree where none may be made).
TEST(TestScript, ADashRWithoutItsPatternIsRefusedWithTheUsage) {
  tktest::TempDir dir;
  const std::vector<std::vector<std::string>> forgotten = {
      {"-R"}, {"-R", ""}, {"--tests-regex"}, {"--tests-regex="}, {"-R", "--output-on-failure"}};
  for (const std::vector<std::string>& args : forgotten) {
    SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args.back() : std::string()));
    std::vector<std::string> all{TK_SOURCE_DIR "/scripts/test", "--configure-only"};
    all.insert(all.end(), args.begin(), args.end());
    hosttest::Child script;
    ASSERT_TRUE(script.start("/bin/bash", all, {{"TK_BUILD_DIR", dir.file("never")}}, dir.file("out"),
                             dir.file("err")));
    EXPECT_EQ(script.exitCode(120000), 64);
    const std::string said = hosttest::readFile(dir.file("err"));
    EXPECT_NE(said.find("needs a pattern"), std::string::npos) << said;
    EXPECT_NE(said.find("scripts/test -R regex   build and run only the test areas"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(dir.file("never")));
  }
}

}  // namespace
