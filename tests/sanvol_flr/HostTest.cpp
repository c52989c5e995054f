// File-level recovery over the real tkhost and tkconsole: the words of a
// word request sent with body=, and a refused deletion ending the console
// with status 3.
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

TEST(FlrOverTheHost, ASnapshotListingAndARefusedDeletionTravelThroughTheHost) {
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("h.sock"));
  ASSERT_TRUE(host.up()) << host.log();
  int exitCode = -1;
  // The client id, body word 0, body word 1 (the consistency point).
  std::string out = runConsole(dir, host, {"onMsgFLRGetSnaps", "first=2", "body=7", "body=0", "body=4"}, exitCode);
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out, "reply 11809 seq 31\n");
  out = runConsole(dir, host, {"onMsgManageFLRCP", "4106=2", "4001=2", "11806=9", "2052=0"}, exitCode);
  EXPECT_EQ(exitCode, 3) << out;
  EXPECT_EQ(out,
            "reply 1024 seq 31\n"
            "  tag 2051 (status) len 47: 0 (failure) \"The consistency point could not be deleted.\"\n");
  EXPECT_EQ(host.stop(), 0);
}

}  // namespace
