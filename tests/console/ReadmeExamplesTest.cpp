// The README's examples, pasted in the order they stand into one shell, in a
// fresh directory that has the tree's examples/ and the built binaries where
// the README says they are. Each code block says by its kind how it is
// pasted: `sh` lines into the shell as they are (a command ending in & goes
// to the background, one with <<'END' takes the lines up to END), `sql` into
// `sqlite3 var/tarnkeep.db` (or the `sqlite3 FILE` the text before it names),
// `console` into `build/demo/tkconsole --script -`;
// a `text` block is what the command before it prints, byte for byte. Each
// command ends with the exit status its comment gives ("exit status N"; a
// console block: the text before it), else 0; the hosts it started stop
// cleanly at the end.
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "tests/console/ConsoleFixture.h"

namespace {

struct Block {
  std::string kind;
  std::vector<std::string> lines;
  std::string lead;  // the text between the block before and this one
};

std::vector<Block> readmeBlocks() {
  std::istringstream readme(hosttest::readFile(TK_SOURCE_DIR "/README.md"));
  std::vector<Block> blocks;
  bool inBlock = false;
  std::string lead;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("```", 0) == 0) {
      inBlock = !inBlock;
      if (inBlock) blocks.push_back({line.substr(3), {}, lead});
      lead.clear();
      continue;
    }
    if (inBlock) blocks.back().lines.push_back(line);
    else lead += line + "\n";
  }
  return blocks;
}

// The status "exit status N" in `text` names; 0 without one.
int statusIn(const std::string& text) {
  const size_t at = text.find("exit status ");
  return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 12);
}

// One command pasted: its text, the status it must end with, and the
// output it must print exactly (when a text block follows it).
struct Command {
  std::string text;
  int status = 0;
  std::optional<std::string> output;
  // A console session: it gives back the lock it took, so that the
  // sessions after it are not refused.
  bool session = false;
};

constexpr const char* kMarker = "@@status ";

// The database an SQL block is pasted into: the last `sqlite3 FILE` the text
// before it names, else the host's default one.
std::string databaseNamedIn(const std::string& lead) {
  const std::string opening = "`sqlite3 ";
  const size_t at = lead.rfind(opening);
  if (at == std::string::npos) return "var/tarnkeep.db";
  const size_t from = at + opening.size();
  return lead.substr(from, lead.find('`', from) - from);
}

TEST(ReadmeExamples, EveryBlockRunsInOrderAsPasted) {
  std::vector<Command> commands;
  std::string script = "unset TK_DB TK_LOCK_DIR TK_LOG_DIR\n";
  auto add = [&](const std::string& text, int status) {
    commands.push_back({text, status, std::nullopt});
    script += text + "\necho \"" + kMarker + "$?\"\n";
  };
  size_t backgrounded = 0;
  std::map<std::string, size_t> kinds;
  for (const Block& block : readmeBlocks()) {
    ++kinds[block.kind];
    if (block.kind == "sh") {
      for (size_t i = 0; i < block.lines.size(); ++i) {
        std::string text = block.lines[i];
        if (text.back() == '&') {
          script += text + "\n";
          ++backgrounded;
          continue;
        }
        if (text.find("<<'END'") != std::string::npos) {
          while (++i < block.lines.size() && block.lines[i] != "END") text += "\n" + block.lines[i];
          text += "\nEND";
        }
        add(text, statusIn(text.substr(0, text.find('\n'))));
      }
    } else if (block.kind == "sql") {
      std::string text = "sqlite3 " + databaseNamedIn(block.lead) + " <<'END'";
      for (const std::string& line : block.lines) text += "\n" + line;
      add(text + "\nEND", 0);
    } else if (block.kind == "console") {
      std::string text = "build/demo/tkconsole --script - <<'END'";
      for (const std::string& line : block.lines) text += "\n" + line;
      add(text + "\nEND", statusIn(block.lead));
      commands.back().session = true;
    } else if (block.kind == "text") {
      ASSERT_FALSE(commands.empty());
      std::string text;
      for (const std::string& line : block.lines) text += line + "\n";
      commands.back().output = text;
    } else {
      ADD_FAILURE() << "a README block of no kind, or an unknown one: " << block.kind << "\n" << block.lines[0];
    }
  }
  // Every kind is there, the host was started (once more on a new database,
  // and once more fresh).
  EXPECT_EQ(kinds.size(), 4u);
  EXPECT_GE(commands.size(), 20u);
  ASSERT_EQ(backgrounded, 3u);
  // The host still running stops cleanly.
  script += "for job in $(jobs -p); do kill \"$job\"; wait \"$job\"; echo \"" + std::string(kMarker) + "$?\"; done\n";
  commands.push_back({"(the host, stopped)", 0, std::nullopt});

  tktest::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("build").c_str(), 0700), 0);
  // The README's binaries; its consoles with the tests' waits for a busy
  // sanitized host (hosttest::kConsoleWaitMs), the later options winning.
  ASSERT_EQ(::mkdir(dir.file("build/demo").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(TK_BINARY_DIR "/tkhost", dir.file("build/demo/tkhost").c_str()), 0);
  std::ofstream(dir.file("build/demo/tkconsole"))
      << "#!/bin/sh\nexec '" TK_BINARY_DIR "/tkconsole' --timeout " << hosttest::kConsoleWaitMs << " --wait "
      << hosttest::kConsoleWaitMs << " \"$@\"\n";
  ASSERT_EQ(::chmod(dir.file("build/demo/tkconsole").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(std::string(TK_SOURCE_DIR "/examples").c_str(), dir.file("examples").c_str()), 0);
  hosttest::Child shell;
  const std::string out = dir.file("pasted.out");
  ASSERT_TRUE(shell.start("/bin/bash", {"-c", "cd '" + dir.path() + "'\n" + script}, {}, out, out + ".err"));
  ASSERT_EQ(shell.exitCode(300000), 0) << hosttest::readFile(out + ".err");

  // The output of each command up to its marker.
  const std::string all = hosttest::readFile(out);
  const std::string errors = hosttest::readFile(out + ".err");
  size_t from = 0;
  for (const Command& command : commands) {
    SCOPED_TRACE(command.text);
    const size_t marker = all.find(kMarker, from);
    ASSERT_NE(marker, std::string::npos) << all << errors;
    const std::string printed = all.substr(from, marker - from);
    from = all.find('\n', marker) + 1;
    EXPECT_EQ(std::atoi(all.c_str() + marker + std::strlen(kMarker)), command.status) << printed << errors;
    if (command.output) {
      EXPECT_EQ(printed, *command.output);
    }
    if (command.session) {
      EXPECT_EQ(printed.find("lock stays held after this console exits"), std::string::npos) << printed;
    }
    if (command.text.find("--xml ") != std::string::npos) {
      EXPECT_EQ(printed.rfind("reply 0x0DF9BE39 seq 1\n  result 0\n", 0), 0u) << printed;
    }
  }
  EXPECT_EQ(all.find(kMarker, from), std::string::npos) << all;
  // Nothing a console or sqlite3 said was wrong (the hosts' logs are there too).
  for (const char* wrong : {"tkconsole:", "Error:", "error near"})
    EXPECT_EQ(errors.find(wrong), std::string::npos) << errors;
}

}  // namespace
