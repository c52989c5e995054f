// The diagnostic log: a line nobody would read is never formatted; a line
// that is read comes out whole, in its file form, from any number of threads.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/EvDebugFileInstance.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/testkit/debuglog.h"
#include "tests/support/TempDir.h"

namespace {

// Every test starts without a file and with every level written, whatever
// the environment of the run says, and leaves it so.
class DebugLog : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::debuglog::useLogDir("");
    EvDebug::SetLevel(kEveryLevel);
  }
  void TearDown() override {
    testkit::debuglog::useLogDir("");
    EvDebug::SetLevel(kEveryLevel);
  }

  static constexpr int kEveryLevel = 1 << 30;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Logs one line of each entry point.
void logEveryKind(const char* argument) {
  EvDebug::Error("Test::error", "error [%s]", argument);
  EvDebug::Debug("Test::debug", "debug [%s]", argument);
  EvDebug::DebugLvl(3, "Test::level", "level [%s]", argument);
  MMDebug::Debug("Test::mm", "mm [%s]", argument);
}

TEST_F(DebugLog, WithoutASinkNothingIsFormatted) {
  EXPECT_FALSE(EvDebug::Enabled(kEvDebugError));
  EXPECT_FALSE(EvDebug::Enabled(kEvDebugDebug));
  const long long before = testkit::debuglog::formattedLines();
  for (int i = 0; i < 100; ++i) logEveryKind("unread");
  EXPECT_EQ(testkit::debuglog::formattedLines(), before);

  // Once a capture lives, the same calls are formatted and recorded.
  testkit::debuglog::Capture log;
  EXPECT_TRUE(EvDebug::Enabled(kEvDebugDebug));
  logEveryKind("read");
  EXPECT_EQ(testkit::debuglog::formattedLines(), before + 4);
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].level, kEvDebugError);
  EXPECT_EQ(lines[0].tag, "Test::error");
  EXPECT_EQ(lines[0].text, "error [read]");
  EXPECT_EQ(lines[1].level, kEvDebugDebug);
  EXPECT_EQ(lines[1].text, "debug [read]");
  EXPECT_EQ(lines[2].level, 3);
  EXPECT_EQ(lines[2].tag, "Test::level");
  EXPECT_EQ(lines[3].tag, "Test::mm");
}

TEST_F(DebugLog, LinesAboveTheLevelAreNeitherFormattedNorRecorded) {
  testkit::debuglog::Capture log;
  struct Case {
    int logLevel;
    std::vector<std::string> written;  // texts of logEveryKind's lines that come out
  } cases[] = {
      {kEvDebugError, {"error [x]"}},
      {kEvDebugDebug, {"error [x]", "debug [x]", "mm [x]"}},
      {2, {"error [x]", "debug [x]", "mm [x]"}},
      {3, {"error [x]", "debug [x]", "level [x]", "mm [x]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.logLevel));
    EvDebug::SetLevel(c.logLevel);
    EXPECT_EQ(EvDebug::Level(), c.logLevel);
    log.clear();
    const long long before = testkit::debuglog::formattedLines();
    logEveryKind("x");
    EXPECT_EQ(testkit::debuglog::formattedLines() - before, static_cast<long long>(c.written.size()));
    std::vector<std::string> texts;
    for (const auto& line : log.lines()) texts.push_back(line.text);
    EXPECT_EQ(texts, c.written);
  }
}

TEST_F(DebugLog, AFileLineCarriesStampThreadLevelNameConnectionTagAndText) {
  tktest::TempDir dir;
  testkit::debuglog::useLogDir(dir.path());
  EXPECT_EQ(EvDebug::FilePath(), dir.file("tkmmconfig.log"));
  EXPECT_TRUE(EvDebug::Enabled(kEvDebugDebug)) << "a file is a sink of its own";
  EvDebug::Error("Test::error", "value [%d] text [%s]", 42, "a % sign");
  EvDebug::DebugLvl(7, "Test::level", "seven");
  EvDebug::Debug(nullptr, "no tag");
  {
    EvDebugConnectionScope connection(64);
    EvDebug::DebugLvl(1, "Test::handler", "served");
  }
  EvDebug::DebugLvl(1, "Test::after", "no connection");

  const auto lines = linesOf(readFile(dir.file("tkmmconfig.log")));
  ASSERT_EQ(lines.size(), 5u);
  const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \d+ )";
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + R"(ERROR Test::error: value \[42\] text \[a % sign\])")))
      << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + R"(DEBUG7 Test::level: seven)"))) << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + R"(DEBUG : no tag)"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + R"(DEBUG1 conn 64 Test::handler: served)"))) << lines[3];
  EXPECT_TRUE(std::regex_match(lines[4], std::regex(stamp + R"(DEBUG1 Test::after: no connection)"))) << lines[4];

  // Debug-log instances name the same file; without one they name none.
  EvDebugFileInstance instance;
  ASSERT_TRUE(EvDebugFile(&instance, "TK_Test"));
  EXPECT_EQ(instance.m_path, dir.file("tkmmconfig.log"));
  testkit::debuglog::useLogDir("");
  EvDebugFileInstance none;
  ASSERT_TRUE(EvDebugFile(&none, "TK_Test"));
  EXPECT_EQ(none.m_path, "");
  EXPECT_FALSE(EvDebug::Enabled(kEvDebugError));
}

TEST_F(DebugLog, LongLinesAndLinesFromManyThreadsComeOutWhole) {
  tktest::TempDir dir;
  testkit::debuglog::useLogDir(dir.path());
  testkit::debuglog::Capture log;
  const std::string longText(5000, 'w');
  constexpr int kThreads = 8;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) EvDebug::Debug("Test::thread", "thread %d line %d %s", t, i, longText.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(log.lines().size(), static_cast<size_t>(kThreads * kLines));
  const auto lines = linesOf(readFile(dir.file("tkmmconfig.log")));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  // Each line: its head, then the thread's words, then all of the long text.
  int broken = 0;
  for (const std::string& line : lines) {
    const size_t head = line.find(" DEBUG Test::thread: thread ");
    const bool whole = head != std::string::npos && line.size() > longText.size() &&
                       line.compare(line.size() - longText.size(), longText.size(), longText) == 0 &&
                       line.find('w') > head;
    broken += whole ? 0 : 1;
  }
  EXPECT_EQ(broken, 0);
}

}  // namespace
