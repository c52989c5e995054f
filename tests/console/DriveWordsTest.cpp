// The drive words of the console whose second word is an option (children
// LIB drives, drive-pools MASTER master, drive-paths H short) against the
// real host seeded with the demonstration installation: each is sent with
// its option and answers otherwise than the same word without it. A fresh
// host gives handles from one counter in the order the replies name the
// objects, so the script below can write them in.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/console/ConsoleFixture.h"

namespace consoletest {
namespace {

// The console's output by script line: what it printed from the line's echo
// up to the next echo.
std::map<std::string, std::string> answersByLine(const std::string& out) {
  std::map<std::string, std::string> answers;
  std::istringstream lines(out);
  std::string current;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("> ", 0) == 0)
      current = line.substr(2);
    else
      answers[current] += line + "\n";
  }
  return answers;
}

// Each record of an answer by its handle line and the line behind it.
std::string recordHeads(const std::string& answer) {
  std::istringstream lines(answer);
  std::string heads;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("(object handle)") == std::string::npos) continue;
    std::string next;
    std::getline(lines, next);
    heads += line + "\n" + next + "\n";
  }
  return heads;
}

std::string head(int handle, const std::string& item) {
  return "  tag 11003 (object handle) len 8: " + std::to_string(handle) + "\n  tag " + item + "\n";
}

TEST_F(ConsoleFixture, DriveWordsSendTheirOptionAndAnswerWhatItAsksFor) {
  // The libraries name TapeLib1 1, its controller 2 and DiskLib1 3.
  const std::string script = writeFile("drives.tk",
                                       "lock\nlibraries\n"
                                       "children 1\nchildren 1 drives\n"
                                       "drive-pools 5\ndrive-pools 5 master\n"
                                       "drive-paths 1\ndrive-paths 1 short\n"
                                       "unlock\n");
  const ConsoleRun run = console({"--script", script});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  std::map<std::string, std::string> answers = answersByLine(run.out);
  const std::string node = head(4, "11031 (description) len 0:");

  // The library's children: its master pool, or with the option its drives.
  EXPECT_EQ(answers["children 1"].rfind("reply 11047 seq 3\n  tag 11171 (controller node) len 12: 1 \"TapeLib1\"\n", 0),
            0u)
      << answers["children 1"];
  EXPECT_EQ(recordHeads(answers["children 1"]),
            node + head(5, "8235 (master drive pool) len 24: 1 \"MasterPool(TapeLib1)\""));
  EXPECT_EQ(recordHeads(answers["children 1 drives"]),
            node + head(6, "11225 (drive) len 10: 1 \"Drive1\"") + head(7, "11225 (drive) len 10: 2 \"Drive2\""));

  // The master pool's drive pools: without the option 5 is taken for a
  // library and names none.
  EXPECT_EQ(answers["drive-pools 5"], "reply 11017 seq 5\n");
  EXPECT_EQ(recordHeads(answers["drive-pools 5 master"]),
            head(8, "8061 (drive pool) len 18: 1 \"DrivePool(ma1)\"") +
                head(9, "8061 (drive pool) len 18: 2 \"DrivePool(ma2)\""));

  // The short list of the library's drive paths (the path id and no text
  // each); without the option a library is neither a pool nor a drive.
  EXPECT_EQ(answers["drive-paths 1"], "reply 11022 seq 7\n");
  std::string shortList = "reply 11022 seq 8\n";
  for (int path = 1; path <= 4; ++path)
    shortList += head(9 + path, "2240 (drive (of a drive path)) len 4: " + std::to_string(path)) +
                 "  tag 11150 (detail) len 0:\n  tag 2052 (end of record) len 4: 0\n";
  EXPECT_EQ(answers["drive-paths 1 short"], shortList);
}

TEST_F(ConsoleFixture, ARecordByAHandleThatNamesNothingIsAnEmptyAnswerThatEndsWithStatusThree) {
  // On the fresh host the listings name TapeLib1 1 (its controller 2),
  // DiskLib1 3, the library's node 4, Drive1 5 and Drive2 6, its master pool
  // 7, that pool's drive pools 8 and 9, pool 8's drive paths 10 and 11, and
  // DiskLib1's mount paths 12 and 13.
  std::string script = "lock\nlibraries\nchildren 1 drives\nmaster-pools 1\ndrive-pools 7 master\n"
                       "drive-paths 8\nmount-paths 3\n";
  struct Case {
    const char* word;
    int named;  // a handle that names one
    const char* reply;
    const char* listing;
  } cases[] = {
      {"library", 1, "11002", "libraries"},
      {"mount-path", 12, "11027", "mount-paths DISKLIB"},
      {"drive", 5, "11227", "children LIB drives"},
      {"drive-path", 10, "11022", "drive-paths POOL"},
      {"master-pool", 7, "11014", "master-pools LIB"},
      {"drive-pool", 8, "11017", "drive-pools LIB"},
  };
  // A handle that names one answers its record.
  for (const Case& c : cases) script += std::string(c.word) + " " + std::to_string(c.named) + "\n";
  const ConsoleRun named = console({"--script", writeFile("named.tk", script + "unlock\n")});
  EXPECT_EQ(named.status, 0) << named.out << named.err;
  EXPECT_EQ(named.out.find("  ("), std::string::npos) << named.out;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const std::string word = c.word;
    const ConsoleRun nothing = console({"--script", writeFile("nothing.tk", "lock\n" + word + " 99999\nunlock\n")});
    EXPECT_EQ(nothing.status, 3) << nothing.out << nothing.err;
    EXPECT_NE(nothing.out.find("> " + word + " 99999\nreply " + c.reply +
                               " seq 2\n  (empty answer: handles last one connection; take the handle from `" +
                               c.listing + "` after `lock` in the same --script or --script - session)\n> unlock\n"),
              std::string::npos)
        << nothing.out;
  }
}

}  // namespace
}  // namespace consoletest
