// The README's library life, run as written on the demonstration
// installation with the README's SQL attachment for ma1: the handles it
// writes in are those a fresh host gives, and each step answers as its
// comment says.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/host_installation/InstallationFixture.h"

namespace {

// The first code block after the line that starts with `heading`.
std::string readmeBlockAfter(const std::string& heading) {
  std::istringstream readme(hosttest::readFile(TK_SOURCE_DIR "/README.md"));
  std::string block;
  bool found = false;
  bool inBlock = false;
  for (std::string line; std::getline(readme, line);) {
    if (!found) {
      found = line.rfind(heading, 0) == 0;
      continue;
    }
    if (line.rfind("```", 0) == 0) {
      if (inBlock) return block;
      inBlock = true;
      continue;
    }
    if (inBlock) block += line + "\n";
  }
  return block;
}

// What the console printed for the script line that starts with `line`: from
// its echo to the next one.
std::string answerTo(const std::string& out, const std::string& line) {
  // The answer alone: the echoed line carries the README's comment, which
  // says what the answer should be.
  const size_t lineAt = out.find("> " + line);
  if (lineAt == std::string::npos) return "(no line " + line + ")";
  const size_t at = out.find('\n', lineAt);
  if (at == std::string::npos) return std::string();
  const size_t end = out.find("\n> ", at);
  return out.substr(at + 1, end == std::string::npos ? std::string::npos : end - at);
}

class HostReadmeLife : public installtest::InstallationFixture {};

TEST_F(HostReadmeLife, TheReadmesLibraryLifeRunsAsWrittenAndAnswersAsItsCommentsSay) {
  const std::string attachSql = readmeBlockAfter("administrator attaches a library with SQL:");
  ASSERT_NE(attachSql.find("INSERT INTO \"MMAttachedLibrary\""), std::string::npos);
  ASSERT_EQ(m_db.exec(attachSql), 0);
  const std::string life = readmeBlockAfter("A library's whole life");
  ASSERT_EQ(life.rfind("lock\n", 0), 0u) << life;

  const installtest::ConsoleRun run = script(life);
  // The operator's refused delete makes the run a failure.
  EXPECT_EQ(run.status, 3) << run.out;
  const std::string& out = run.out;
  EXPECT_NE(answerTo(out, "detected-libraries")
                .find("  tag 11003 (object handle) len 8: 1\n  tag 8215 (library controller) len 41: 4294967295 "
                      "\"DEMO TAPE-4 [LIB0004] /dev/sg4 on ma2\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "control 48 1").find("  tag 2051 (status) len 11: 1 (success) \"Success\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "libraries").find("  tag 11003 (object handle) len 8: 9\n  tag 2049 (library) len 18: 3 "
                                            "\"TAPE-4_LIB0004\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "onMsgSetMMDrive").find("(success) \"Success\""), std::string::npos) << out;
  const std::string ma1 = answerTo(out.substr(out.find("> detect-keep ma1")), "detected-drives");
  EXPECT_NE(ma1.find("  tag 11003 (object handle) len 8: 14\n  tag 2240 (drive (of a drive path)) len 38: "
                     "4294967295 \"DEMO LTO [SN0201] /dev/nst8 on ma1\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "drag 14 0 1").find("  tag 4001 (operation) len 4: 52\n  tag 2051 (status) len 11: 1 "
                                              "(success) \"Success\"\n"),
            std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "control 49 9").find("(success) \"Success\""), std::string::npos) << out;
  EXPECT_NE(answerTo(out, "storage-library 43=2 8=TAPE-4_LIB0004  ").find("nothing was deleted"), std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "storage-library 43=2 8=TAPE-4_LIB0004 request.6=1")
                .find("xml len 36: <EVGui_ConfigureStorageLibraryResp/>"),
            std::string::npos)
      << out;
  EXPECT_NE(answerTo(out, "--user 2").find("s2=\"User [operator] may not change anything in this installation.\""),
            std::string::npos)
      << out;
  const std::string relisted = answerTo(out.substr(out.find("> control 70")), "libraries");
  EXPECT_NE(relisted.find(" 4 \"TAPE-2_LIB0005\"\n"), std::string::npos) << out;
  EXPECT_EQ(relisted.find("\"TAPE-4_LIB0004\""), std::string::npos) << out;

  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TAPE-4_LIB0004' AND "
                        "\"LibraryEnabled\" = 1"),
            0);
  EXPECT_EQ(m_db.scalar("SELECT \"LibraryId\" FROM \"MMLibrary\" WHERE \"LibraryName\" = 'TAPE-2_LIB0005'"), 4);
}

}  // namespace
