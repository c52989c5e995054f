// The real tkhost on the demonstration installation as a newcomer runs it:
// rights from the users table (admin is user 1, the console's default;
// operator is user 2), detection from the attached-hardware tables (a tape
// library with four drives on ma2). The test's own database is the host's,
// so a test reads rows and adds what an administrator would add with SQL.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/HostHarness.h"
#include "tests/support/TestDatabase.h"

namespace installtest {

struct ConsoleRun {
  int status = -1;
  std::string out;
};

class InstallationFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_host.up()) << m_host.log(); }

  // Runs tkconsole with `args` after the socket option; each run writes
  // files of its own.
  ConsoleRun console(const std::vector<std::string>& args) {
    const std::string name = "console" + std::to_string(++m_runs);
    std::vector<std::string> all{"--socket", m_host.socket()};
    all.insert(all.end(), args.begin(), args.end());
    hosttest::Child child;
    ConsoleRun run;
    if (!child.start(hosttest::consoleBinary(), all, {}, m_dir.file(name + ".out"), m_dir.file(name + ".err")))
      return run;
    run.status = child.exitCode();
    run.out = hosttest::readFile(m_dir.file(name + ".out"));
    return run;
  }

  // Runs a console script (its lines) on one connection.
  ConsoleRun script(const std::string& lines, const std::vector<std::string>& options = {}) {
    const std::string path = m_dir.file("script" + std::to_string(m_runs + 1) + ".tk");
    std::ofstream(path) << lines;
    std::vector<std::string> args = options;
    args.push_back("--script");
    args.push_back(path);
    return console(args);
  }

  // The handlers' debug log (TK_LOG_DIR).
  std::string debugLog() const { return hosttest::readFile(m_dir.file("log/tkmmconfig.log")); }

  tktest::TestDatabase m_db;
  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir,
                        m_dir.file("host.sock"),
                        {"--seed-demo"},
                        {{"TK_DB", m_db.path()},
                         {"TK_RIGHTS", "table"},
                         {"TK_LOCK_DIR", m_dir.file("locks")},
                         {"TK_LOG_DIR", m_dir.file("log")}}};
  int m_runs = 0;
};

}  // namespace installtest
