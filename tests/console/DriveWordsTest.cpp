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

}  // namespace
}  // namespace consoletest
