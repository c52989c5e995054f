// Fan-in and device-list requests over the real tkhost and tkconsole: the
// XML entries under their message ids, a reply that reports success, and
// failures ending the console with status 3 (a generic reply with code -1,
// a device-list code passed on with no text).
#include <gtest/gtest.h>

#include "tests/support/HostHarness.h"

namespace {

std::string runConsole(const tktest::TempDir& dir, hosttest::Host& host, const std::vector<std::string>& words,
                       int& exitCode) {
  std::vector<std::string> args = {"--socket", host.socket(), "--seq", "31"};
  args.insert(args.end(), words.begin(), words.end());
  hosttest::Child console;
  if (!console.start(hosttest::consoleBinary(), args, {}, dir.file("out"), dir.file("err"))) return "";
  exitCode = console.exitCode();
  return hosttest::readFile(dir.file("out")) + hosttest::readFile(dir.file("err"));
}

TEST(FanInOverTheHost, RepliesTravelUnderTheRequestsMessageIdsAndFailuresEndTheConsoleWithThree) {
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("h.sock"));
  ASSERT_TRUE(host.up()) << host.log();
  int exitCode = -1;
  std::string out = runConsole(
      dir, host, {"--xml", "0x0D000416", "onMsgGetFanInRP", "<EVGui_CDRFanInGetRecoveryPointsReq i1=\"7\" s2=\"E:\"/>"},
      exitCode);
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out,
            "reply 0x0D000416 seq 31\n  result 0\n  xml len 90: "
            "<EVGui_CDRFanInGetRecoveryPointsResp><list tag=\"1\"/></EVGui_CDRFanInGetRecoveryPointsResp>\n"
            "  EVGui_CDRFanInGetRecoveryPointsResp\n    1 (recovery points): list\n");
  out = runConsole(dir, host,
                   {"--xml", "0x0D00041B", "onMsgManageFanInRP", "<EVGui_CDRFanInExecuteRPOperationReq i1=\"1\" i2=\"7\"/>"},
                   exitCode);
  EXPECT_EQ(exitCode, 3) << out;
  EXPECT_EQ(out,
            "reply 0x0D00041B seq 31\n  result 0\n  xml len 68: "
            "<ZQGui_GenericResp i1=\"-1\" s2=\"The XML request could not be read.\"/>\n"
            "  ZQGui_GenericResp\n    i1 (code): -1 (failure)\n    s2 (text): \"The XML request could not be read.\"\n");
  // An unknown client: the code alone, never the request as its answer.
  out = runConsole(dir, host,
                   {"--xml", "0x0D00067E", "onMsgConfigureDeviceListCommand",
                    "<EVGui_DKBFConfigureDevicesReq i1=\"99\" i2=\"84\"/>"},
                   exitCode);
  EXPECT_EQ(exitCode, 3) << out;
  EXPECT_EQ(out, "reply 0x0D00067E seq 31\n  result " + std::to_string(0x39000006) + "\n  xml len 0: \n");
  EXPECT_EQ(host.stop(), 0);
}

}  // namespace
