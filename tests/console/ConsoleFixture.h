// The real tkhost on a fresh seeded database in a temporary directory, and
// runs of the real tkconsole against it: exit status, standard output and
// standard error of each run.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/HostHarness.h"

namespace consoletest {

struct ConsoleRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ConsoleFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  // Runs tkconsole on the host's socket with `args`; standard input from
  // `inPath`. Each run writes files of its own.
  ConsoleRun console(std::vector<std::string> args, const std::string& inPath = "/dev/null") {
    return runConsole(m_dir, {"--socket", m_host.socket()}, std::move(args), inPath);
  }

 public:
  static ConsoleRun runConsole(const tktest::TempDir& dir, std::vector<std::string> first, const std::vector<std::string>& args,
                        const std::string& inPath = "/dev/null") {
    static int runs = 0;
    const std::string name = "console" + std::to_string(++runs);
    first.insert(first.end(), args.begin(), args.end());
    hosttest::Child child;
    ConsoleRun run;
    if (!child.start(hosttest::consoleBinary(), first, {}, dir.file(name + ".out"), dir.file(name + ".err"), inPath))
      return run;
    run.status = child.exitCode();
    run.out = hosttest::readFile(dir.file(name + ".out"));
    run.err = hosttest::readFile(dir.file(name + ".err"));
    return run;
  }

 protected:
  std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = m_dir.file(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir, m_dir.file("host.sock"), {"--seed-demo"},
                        {{"TK_LOCK_DIR", m_dir.file("locks")}}};
};

}  // namespace consoletest
