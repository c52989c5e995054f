// What --help says each word needs, held against the real host: every word
// of the lock section asked without the lock did nothing and says so (status
// 3, with the word in the advice); every word of the no-lock section is served
// without it. And an unknown word is refused before anything is sent.
#include <set>
#include <sstream>

#include "tests/console/ConsoleFixture.h"

namespace consoletest {
namespace {

// The lines of --help from the one that starts with `from` up to the one
// that starts with `to`.
std::vector<std::string> helpSection(const std::string& help, const std::string& from, const std::string& to) {
  std::istringstream in(help);
  std::vector<std::string> lines;
  bool on = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(from, 0) == 0) on = true;
    else if (line.rfind(to, 0) == 0) break;
    else if (on) lines.push_back(line);
  }
  return lines;
}

// The words a section gives syntax for: the first word of each alternative
// ("a ARG | b ARG") of a line that begins a word's entry.
std::set<std::string> sectionWords(const std::vector<std::string>& lines) {
  std::set<std::string> words;
  for (const std::string& line : lines) {
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || !std::islower(static_cast<unsigned char>(line[2])))
      continue;
    const std::string syntax = line.substr(2, line.find("e.g.") - 2);
    for (size_t at = 0; at != std::string::npos;) {
      words.insert(syntax.substr(at, syntax.find(' ', at) - at));
      at = syntax.find(" | ", at);
      if (at != std::string::npos) at += 3;
    }
  }
  return words;
}

std::vector<std::string> split(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string advice(const std::string& typed) {
  return "  (nothing was done: no configuration session is open on this connection; take the lock first (`lock`), "
         "then `" + typed + "` in the same --script or --script - session)\n";
}

TEST_F(ConsoleFixture, EveryWordThatNeedsTheLockDoesNothingWithoutItAndSaysWhatToDo) {
  const std::string help = console({"--help"}).out;
  std::set<std::string> inHelp =
      sectionWords(helpSection(help, "The configuration lock, and the words", "Requests that need no lock"));
  for (const char* lockWord : {"lock", "force-lock", "unlock", "unlock-anyway"}) EXPECT_EQ(inHelp.erase(lockWord), 1u);
  // Each word once with its arguments, and the raw handlers whose "Close"
  // or "Success" without the session did nothing.
  const std::vector<std::string> requests = {
      "libraries", "library 12", "children 12 drives", "empty-bays 12", "master-pools 12", "master-pool 3",
      "drive-pools 12", "drive-pool 5", "drive-paths 5 short", "drive-path 7", "drive 7", "drive-ids 2",
      "mount-paths 30", "mount-path 31", "control 70", "control 48 23", "detect ma2", "detect-keep ma2",
      "detected-libraries", "detected-drives", "change-library 3 12 8251=alias", "drag 40 0 1",
      "probe-ndmp filer2 /dev/robot1", "library-server lsrv1",
      "add-ndmp-controller ma1 filer2 /dev/robot1 DEMO TAPE-9 NLIB1 1 4",
      "add-ip-controller ma2 ls1 DEMO TAPE-9 LSLIB1 1 4", "media-types 1", "drive-vendors", "library-vendors 1",
      "serial-check", "serial-check on", "onMsgSetMMMediaConfigParam 4001=3 11077=0 2052=0",
      "onMsgAddDrivePool handle=5 11=1", "onMsgAddMasterDrivePool handle=12",
      "--xml 0x01000BBF onMsgEZGetTapeLibrary <ZQGui_EZGetTapeLibrariesReq/>"};
  std::set<std::string> asked;
  for (const std::string& typed : requests) {
    SCOPED_TRACE(typed);
    asked.insert(split(typed)[0]);
    const ConsoleRun run = console(split(typed));
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_EQ(run.out.rfind("reply 11055 seq 1\n  tag 11102 (status text) len 80: 4 \"Library and Drive Configuration "
                            "is not open: nobody holds the configuration.\"\n",
                            0),
              0u)
        << run.out;
    // Nor does an answer after the notice (the wizard's) name an empty user.
    EXPECT_EQ(run.out.find("user []"), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.size() > advice(typed).size() &&
                run.out.compare(run.out.size() - advice(typed).size(), std::string::npos, advice(typed)) == 0)
        << run.out;
  }
  for (const std::string& word : inHelp) EXPECT_EQ(asked.count(word), 1u) << word << " of --help's lock section";
  EXPECT_EQ(m_host.log().find("ERROR"), std::string::npos) << m_host.log();
}

TEST_F(ConsoleFixture, EveryWordThatNeedsNoLockIsServedWithoutIt) {
  const std::vector<std::string> section =
      helpSection(console({"--help"}).out, "Requests that need no lock", "Any handler by name");
  const std::set<std::string> words = sectionWords(section);
  EXPECT_EQ(words.size(), 12u);
  std::set<std::string> run;
  for (const std::string& line : section) {
    const size_t at = line.find("e.g. ");
    if (at == std::string::npos) continue;
    const std::vector<std::string> example = split(line.substr(at + 5));
    SCOPED_TRACE(line.substr(at + 5));
    run.insert(example[0]);
    const ConsoleRun served = console(example);
    EXPECT_EQ(served.status, 0) << served.out << served.err;
    EXPECT_EQ(served.out.find("\n  ("), std::string::npos) << served.out;
    EXPECT_EQ(served.out.find("took over the configuration"), std::string::npos) << served.out;
  }
  EXPECT_EQ(run, words) << "a word of the section without an example of its own";
}

TEST_F(ConsoleFixture, AnUnknownWordIsRefusedWithTheClosestWordsAndHandlerNamesGoThrough) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"librarys"}, "tkconsole: unknown word librarys; did you mean library or libraries? (tkconsole --help lists "
                     "the words, tkconsole --list the handlers)\n"},
      {{"--user", "2", "unlok", "xml"}, "tkconsole: unknown word unlok; did you mean unlock? (tkconsole --help lists "
                                        "the words, tkconsole --list the handlers)\n"},
      {{"lockmmconfiguration", "first=2", "count=1"},
       "tkconsole: unknown word lockmmconfiguration; did you mean LockMMConfiguration? (tkconsole --help lists the "
       "words, tkconsole --list the handlers)\n"},
      {{"frobnicate"}, "tkconsole: unknown word frobnicate (tkconsole --help lists the words, tkconsole --list the "
                       "handlers)\n"},
      {{"--script", writeFile("typo.tk", "lock\nlibraries\ndetetc ma2\nunlock\n")},
       "tkconsole: " + m_dir.file("typo.tk") + ":3: unknown word detetc; did you mean detect? (tkconsole --help "
                                               "lists the words, tkconsole --list the handlers)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const ConsoleRun run = console(c.args);
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.err);
  }
  // Nothing reached the host: no connection but the fixture's probe.
  const std::string log = m_host.log();
  EXPECT_EQ(log.find(" opened"), log.rfind(" opened")) << log;

  // A handler by its name goes to the host as it is.
  const ConsoleRun raw = console({"onMsgGetMMNDMPServers"});
  EXPECT_EQ(raw.status, 0) << raw.out << raw.err;
  EXPECT_EQ(raw.out.rfind("reply 11059 seq 1\n", 0), 0u) << raw.out;
}

}  // namespace
}  // namespace consoletest
