// Replication policies over the real tkhost and tkconsole: a policy added
// and listed, and a refused deletion ending the console with status 3.
#include <gtest/gtest.h>

#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;

std::string runConsole(const tktest::TempDir& dir, hosttest::Host& host, const std::vector<std::string>& words,
                       int& exitCode) {
  std::vector<std::string> args = {"--socket", host.socket(), "--seq", "31"};
  args.insert(args.end(), words.begin(), words.end());
  Child console;
  if (!console.start(hosttest::consoleBinary(), args, {}, dir.file("out"), dir.file("err"))) return "";
  exitCode = console.exitCode();
  return hosttest::readFile(dir.file("out")) + hosttest::readFile(dir.file("err"));
}

TEST(PoliciesOverTheHost, APolicyIsAddedListedAndItsRefusedDeletionEndsWithStatusThree) {
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("h.sock"));
  ASSERT_TRUE(host.up()) << host.log();
  int exitCode = -1;
  std::string out = runConsole(dir, host,
                               {"onMsgManageReplicationPolicies", "4001=1", "11642=idtext:0:gold", "11644=30",
                                "11643=idtext:2:", "11645=0", "11741=0", "2052=0"},
                               exitCode);
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out,
            "reply 1024 seq 31\n"
            "  tag 4001 (operation) len 4: 1\n"
            "  tag 2051 (status) len 11: 1 (success) \"Success\"\n"
            "  tag 11642 (replication policy) len 8: 1 \"gold\"\n");
  out = runConsole(dir, host, {"onMsgGetReplicationPolicies"}, exitCode);
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out,
            "reply 11641 seq 31\n"
            "  tag 11642 (replication policy) len 8: 1 \"gold\"\n"
            "  tag 11644 (retention period) len 4: 30\n"
            "  tag 11643 (snapshot engine) len 4: 2\n"
            "  tag 11645 (replication enabled) len 4: 0\n"
            "  tag 11699 (snapshot on destination allowed) len 4: 0\n"
            "  tag 11700 (snapshots kept) len 4: 0\n"
            "  tag 11741 (copy manager type) len 4: 0\n"
            "  tag 2052 (end of record) len 4: 0\n");
  out = runConsole(dir, host, {"onMsgManageReplicationPolicies", "4001=2", "11642=idtext:99:", "4004=0", "2052=0"},
                   exitCode);
  EXPECT_EQ(exitCode, 3) << out;
  EXPECT_EQ(out,
            "reply 1024 seq 31\n"
            "  tag 4001 (operation) len 4: 2\n"
            "  tag 2051 (status) len 48: 0 (failure) \"The replication policy could not be deleted.\"\n");
  EXPECT_EQ(host.stop(), 0);
}

}  // namespace
