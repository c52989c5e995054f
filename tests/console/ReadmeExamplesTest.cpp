// The README's examples, run as written: every command line of its first
// block of host and console commands, pasted together (the consoles do not
// wait for the host's socket: they wait for a host that is still starting
// themselves), then the blocks of console sessions and NDMP requests, each
// as one shell script, in a fresh directory that has the tree's examples/ and
// the built binaries where the README says they are.
#include <sstream>

#include "tests/console/ConsoleFixture.h"

namespace {

// The README's code blocks, each as its lines.
std::vector<std::vector<std::string>> readmeBlocks() {
  std::istringstream readme(hosttest::readFile(std::string(TK_SOURCE_DIR) + "/README.md"));
  std::vector<std::vector<std::string>> blocks;
  bool inBlock = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("```", 0) == 0) {
      inBlock = !inBlock;
      if (inBlock) blocks.emplace_back();
      continue;
    }
    if (inBlock) blocks.back().push_back(line);
  }
  return blocks;
}

// The block whose first line begins with `start`; empty when there is none.
std::vector<std::string> blockStartingWith(const std::string& start) {
  for (const std::vector<std::string>& block : readmeBlocks())
    if (!block.empty() && block[0].rfind(start, 0) == 0) return block;
  return {};
}

TEST(ReadmeExamples, RunAsWrittenAndEachSucceeds) {
  const std::vector<std::string> commands = blockStartingWith("build/demo/tkhost ");
  ASSERT_GE(commands.size(), 4u) << "the README's block of commands was not found";
  ASSERT_EQ(commands[0].back(), '&') << "the block starts the host in the background";
  const std::vector<std::vector<std::string>> scripts = {
      blockStartingWith("build/demo/tkconsole --script - <<'END'"),
      blockStartingWith("build/demo/tkconsole onMsgSetMMNDMPServer 4106=2 4001=58 "),
  };
  for (const auto& script : scripts) ASSERT_GE(script.size(), 2u) << "a README block was not found";

  tktest::TempDir dir;
  // The directory looks like the top of the tree after scripts/demo.
  ASSERT_EQ(::mkdir(dir.file("build").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(TK_BINARY_DIR, dir.file("build/demo").c_str()), 0);
  ASSERT_EQ(::symlink((std::string(TK_SOURCE_DIR) + "/examples").c_str(), dir.file("examples").c_str()), 0);
  const std::map<std::string, std::string> env{{"TK_DB", ""}, {"TK_LOCK_DIR", ""}, {"TK_LOG_DIR", ""}};
  auto inDir = [&](const std::string& command) { return "cd '" + dir.path() + "' && exec " + command; };

  // Pasted together: the first console starts as soon as the host has been
  // sent to the background, before its socket exists.
  hosttest::Child host;
  std::string hostCommand = commands[0].substr(0, commands[0].size() - 1);
  ASSERT_TRUE(host.start("/bin/sh", {"-c", inDir(hostCommand)}, env, dir.file("host.out"), dir.file("host.err")));

  for (size_t i = 1; i < commands.size(); ++i) {
    SCOPED_TRACE(commands[i]);
    hosttest::Child console;
    const std::string out = dir.file("console" + std::to_string(i) + ".out");
    ASSERT_TRUE(console.start("/bin/sh", {"-c", inDir(commands[i])}, env, out, out + ".err"));
    EXPECT_EQ(console.exitCode(), 0) << hosttest::readFile(out) << hosttest::readFile(out + ".err")
                                     << hosttest::readFile(dir.file("host.err"));
    EXPECT_NE(hosttest::readFile(out), "");
    EXPECT_EQ(hosttest::readFile(out + ".err"), "");
    if (commands[i].find("--xml ") != std::string::npos) {
      EXPECT_EQ(hosttest::readFile(out).rfind("reply 0x0DF9BE39 seq 1\n  result 0\n", 0), 0u) << hosttest::readFile(out);
    }
  }

  // Each further block as one shell script, stopping at a command that fails.
  for (size_t i = 0; i < scripts.size(); ++i) {
    std::string text;
    for (const std::string& line : scripts[i]) text += line + "\n";
    SCOPED_TRACE(text);
    hosttest::Child shell;
    const std::string out = dir.file("block" + std::to_string(i) + ".out");
    ASSERT_TRUE(shell.start("/bin/sh", {"-e", "-c", "cd '" + dir.path() + "'\n" + text}, env, out, out + ".err"));
    EXPECT_EQ(shell.exitCode(), 0) << hosttest::readFile(out) << hosttest::readFile(out + ".err");
    EXPECT_EQ(hosttest::readFile(out + ".err"), "");
    EXPECT_EQ(hosttest::readFile(out).find("  ("), std::string::npos) << hosttest::readFile(out);
  }
  host.signal(SIGTERM);
  EXPECT_EQ(host.exitCode(), 0) << hosttest::readFile(dir.file("host.err"));
}

}  // namespace
