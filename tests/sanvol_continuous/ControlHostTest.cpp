// Continuous-replication appliances over the real tkhost and tkconsole: an
// appliance added and listed by a console script, and a refused change
// ending the console with status 3.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;

TEST(ControlOverTheHost, AnApplianceIsAddedListedAndARefusedChangeEndsTheConsoleWith3) {
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("h.sock"));
  ASSERT_TRUE(host.up()) << host.log();
  const std::string script = dir.file("session.tk");
  std::ofstream(script) << "onMsgManageQRAppliance 4001=1 11708=idtext:0:qm1 2052=0\n"
                           "onMsgGetQRAppliances\n"
                           "onMsgManageQRAppliance 4001=15 11715=qm1 11708=idtext:1:qm2 2052=0\n";
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", host.socket(), "--script", script}, {},
                            dir.file("out"), dir.file("err")));
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(dir.file("err"));
  EXPECT_EQ(hosttest::readFile(dir.file("out")),
            "> onMsgManageQRAppliance 4001=1 11708=idtext:0:qm1 2052=0\n"
            "reply 1024 seq 1\n"
            "  tag 4001 (operation) len 4: 1\n"
            "  tag 2051 (status) len 11: 1 (success) \"Success\"\n"
            "  tag 11709 (new appliance) len 4: 1\n"
            "> onMsgGetQRAppliances\n"
            "reply 11707 seq 2\n"
            "  tag 11708 (appliance) len 7: 1 \"qm1\"\n"
            "  tag 2052 (end of record) len 4: 0\n"
            "> onMsgManageQRAppliance 4001=15 11715=qm1 11708=idtext:1:qm2 2052=0\n"
            "reply 1024 seq 3\n"
            "  tag 4001 (operation) len 4: 15\n"
            "  tag 2051 (status) len 69: 0 (failure) "
            "\"All information required to process this request was not received\"\n");
  EXPECT_EQ(host.stop(), 0);
}

}  // namespace
