// tkconsole's own options: --list against the host's table, --version, and
// the refusals of options it does not know or that contradict each other.
#include <algorithm>
#include <cstdio>
#include <regex>

#include "entry/HostEntry.h"
#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

TEST_F(ConsoleFixture, ListPrintsEveryHandlerOfTheHostsTableWithItsKindAndMessageId) {
  size_t count = 0;
  const TkHandlerEntry* table = TkHostHandlerTable(&count);
  ASSERT_GT(count, 0u);
  size_t width = 0;
  for (size_t i = 0; i < count; ++i) width = std::max(width, std::string(table[i].name).size());
  std::string expected;
  for (size_t i = 0; i < count; ++i) {
    std::string line = table[i].name;
    line.resize(width + 2, ' ');
    char id[16];
    std::snprintf(id, sizeof id, "0x%08lX", table[i].messageId);
    if (table[i].kind == kTkHandlerStream) line += "stream";
    else line += table[i].messageId == 0 ? std::string("xml any message id") : std::string("xml ") + id;
    expected += line + "\n";
  }

  const ConsoleRun run = console({"--list"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_NE(run.out.find("LockMMConfiguration  "), std::string::npos);
  EXPECT_NE(run.out.find("HandleMMConfigMgrXmlMsg  "), std::string::npos);
}

TEST_F(ConsoleFixture, WrongOrContradictingOptionsAreRefusedAndSendNothing) {
  const std::string script = writeFile("one.tk", "lock\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--foo", "lock"}, "tkconsole: unknown option --foo\n"},
      {{"-x"}, "tkconsole: unknown option -x\n"},
      {{"--list", "--script", script}, "tkconsole: --list takes neither --script nor a request\n"},
      {{"--list", "lock"}, "tkconsole: --list takes neither --script nor a request\n"},
      {{"--script", script, "lock"}, "tkconsole: --script takes no request on the command line\n"},
      {{"--script", m_dir.file("missing.tk")},
       "tkconsole: cannot read " + m_dir.file("missing.tk") + ": No such file or directory\n"},
      {{"--xml", "0x0DF9BE39", "HandleMMConfigMgrXmlMsg", "--xml-file", m_dir.path()},
       "tkconsole: cannot read " + m_dir.path() + "\n"},
      // The host's walk would end there, before the 2052 behind it.
      {{"onMsgSetMMMountPath", "4001=3", "11041=" + std::string(4105, 'p'), "2052=0"},
       "tkconsole: element 11041 (path) holds 4105 bytes; the host reads at most 4104 bytes of an element "
       "(nothing was sent)\n"},
      {{"--script", writeFile("long.tk", "lock\nAny 0x1=hex:" + std::string(2 * 5006, 'a') + "\n")},
       "tkconsole: " + m_dir.file("long.tk") +
           ":2: element 1 holds 5006 bytes; the host reads at most 4104 bytes of an element (nothing was sent)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const ConsoleRun run = console(c.args);
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  // Nothing reached the host: it logged no connection but the fixture's probe.
  const std::string log = m_host.log();
  size_t opened = 0;
  for (size_t at = log.find(" opened"); at != std::string::npos; at = log.find(" opened", at + 1)) ++opened;
  EXPECT_EQ(opened, 1u) << log;
}

TEST_F(ConsoleFixture, VersionAndHelpNameTheExitStatuses) {
  ConsoleRun run = console({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_match(run.out, std::regex(R"(tkconsole \d+\.\d+\.\d+\n)"))) << run.out;
  run = console({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* text : {"Exit status: 0 every answer a success; 3 an answer reports a failure or refusal",
                           "a library delete without request.6=1", "64 wrong\narguments or an unknown word",
                           // named from the table that names them in answers
                           "82 drive option (1 replaced, 2 cleaned, 3 fixed)",
                           "--script FILE", "- reads", "--list"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

TEST_F(ConsoleFixture, HelpGivesEveryWordItsArgumentsAndAnExampleThatReads) {
  const ConsoleRun run = console({"--help"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find("console/"), std::string::npos) << "help that sends the reader to the sources";
  for (const char* word :
       {"lock", "force-lock", "unlock", "unlock-anyway", "libraries", "library HANDLE", "children", "empty-bays",
        "master-pools", "master-pool", "drive-pools", "drive-pool", "drive-paths", "drive-path", "drive H",
        "drive-ids", "mount-paths", "mount-path", "control OP", "detect AGENT", "detect-keep", "detected-libraries",
        "detected-drives", "change-library", "drag HANDLE", "probe-ndmp", "library-server", "add-ndmp-controller",
        "add-ip-controller", "media-types", "drive-vendors", "library-vendors", "serial-check", "storage-library",
        "can-delete", "device-paths", "ndmp-servers", "ndmp-server", "media-agents", "nas-clients", "nas-remove",
        "nas-restore", "san-hosts", "san-volumes", "san-discover", "--xml MSGID"})
    EXPECT_NE(run.out.find(word), std::string::npos) << word;

  // Every example reads as a request: with no host to reach it ends with
  // status 2, not 64.
  size_t examples = 0;
  for (size_t at = run.out.find("e.g. "); at != std::string::npos; at = run.out.find("e.g. ", at + 1)) {
    const std::string example = run.out.substr(at + 5, run.out.find('\n', at) - at - 5);
    SCOPED_TRACE(example);
    ++examples;
    hosttest::Child shell;
    const std::string out = m_dir.file("example.out");
    ASSERT_TRUE(shell.start("/bin/sh",
                            {"-c", "cd '" + std::string(TK_SOURCE_DIR) + "' && exec '" + hosttest::consoleBinary() +
                                       "' --socket '" + m_dir.file("nowhere.sock") + "' --timeout 0 " + example},
                            {}, out, out + ".err"));
    EXPECT_EQ(shell.exitCode(), 2) << hosttest::readFile(out + ".err");
  }
  EXPECT_GE(examples, 30u);
}

}  // namespace
