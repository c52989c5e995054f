// The README's examples, run as written: every command line of its first
// block of host and console commands, in a fresh directory that has the
// tree's examples/ and the built binaries where the README says they are.
#include <sstream>

#include "tests/console/ConsoleFixture.h"

namespace {

// The lines of the README's code block that starts with the host's command.
std::vector<std::string> readmeCommands() {
  std::istringstream readme(hosttest::readFile(std::string(TK_SOURCE_DIR) + "/README.md"));
  std::vector<std::string> commands;
  bool inBlock = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("```", 0) == 0) {
      if (inBlock && !commands.empty()) break;
      inBlock = !inBlock;
      continue;
    }
    if (inBlock && (line.rfind("build/demo/tkhost ", 0) == 0 || (!commands.empty() && !line.empty())))
      commands.push_back(line);
  }
  return commands;
}

TEST(ReadmeExamples, RunAsWrittenAndEachSucceeds) {
  const std::vector<std::string> commands = readmeCommands();
  ASSERT_GE(commands.size(), 4u) << "the README's block of commands was not found";
  ASSERT_EQ(commands[0].back(), '&') << "the block starts the host in the background";

  tktest::TempDir dir;
  // The directory looks like the top of the tree after scripts/demo.
  ASSERT_EQ(::mkdir(dir.file("build").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(TK_BINARY_DIR, dir.file("build/demo").c_str()), 0);
  ASSERT_EQ(::symlink((std::string(TK_SOURCE_DIR) + "/examples").c_str(), dir.file("examples").c_str()), 0);
  const std::map<std::string, std::string> env{{"TK_DB", ""}, {"TK_LOCK_DIR", ""}, {"TK_LOG_DIR", ""}};
  auto inDir = [&](const std::string& command) { return "cd '" + dir.path() + "' && exec " + command; };

  hosttest::Child host;
  std::string hostCommand = commands[0].substr(0, commands[0].size() - 1);
  ASSERT_TRUE(host.start("/bin/sh", {"-c", inDir(hostCommand)}, env, dir.file("host.out"), dir.file("host.err")));
  ASSERT_GE(hosttest::connectWithin(dir.file("var/tkhost.sock")), 0) << hosttest::readFile(dir.file("host.err"));

  for (size_t i = 1; i < commands.size(); ++i) {
    SCOPED_TRACE(commands[i]);
    hosttest::Child console;
    const std::string out = dir.file("console" + std::to_string(i) + ".out");
    ASSERT_TRUE(console.start("/bin/sh", {"-c", inDir(commands[i])}, env, out, out + ".err"));
    EXPECT_EQ(console.exitCode(), 0) << hosttest::readFile(out) << hosttest::readFile(out + ".err");
    EXPECT_NE(hosttest::readFile(out), "");
    EXPECT_EQ(hosttest::readFile(out + ".err"), "");
    if (commands[i].find("--xml ") != std::string::npos) {
      EXPECT_EQ(hosttest::readFile(out).rfind("reply 0x0DF9BE39 seq 1\n  result 0\n", 0), 0u) << hosttest::readFile(out);
    }
  }
  host.signal(SIGTERM);
  EXPECT_EQ(host.exitCode(), 0) << hosttest::readFile(dir.file("host.err"));
}

}  // namespace
