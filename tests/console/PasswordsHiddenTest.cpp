// The console never prints a password: each element and field that carries
// one is shown as *** in a script line's echo, in the advice that names the
// request, and in the reason a line is refused; the rest of the line is shown
// as it was written.
#include <fstream>

#include "tests/console/ConsoleFixture.h"

namespace {

using consoletest::ConsoleFixture;
using consoletest::ConsoleRun;

constexpr const char* kSecret = "Pw-Echo";

TEST_F(ConsoleFixture, EveryPasswordElementAndFieldIsShownAsStarsInEchoesAdviceAndRefusals) {
  struct Route {
    const char* what;
    std::string line;
    // What the echo, the advice or the refusal shows of the line.
    std::string shown;
  };
  const std::vector<Route> routes = {
      {"a password element, in the echo and in the advice to take the lock",
       "onMsgSetMMMagneticLibrary 4001=3 2401=enc:pw-user 2402=enc:Pw-Echo1 2052=0",
       "then `onMsgSetMMMagneticLibrary 4001=3 2401=enc:pw-user 2402=*** 2052=0` in the same"},
      {"a proxy password element", "onMsgSetDiskVolume 4001=3 2401=enc:u 2408=\"Pw-Echo2 quoted\" 2052=0",
       "> onMsgSetDiskVolume 4001=3 2401=enc:u 2408=*** 2052=0\n"},
      {"a user name carrying a proxy password behind its colon",
       "onMsgSetDiskVolume 4001=3 2401=enc:u!!proxy@host:Pw-Echo3 2052=0",
       "> onMsgSetDiskVolume 4001=3 2401=enc:u!!proxy@host:*** 2052=0\n"},
      {"the DRU host's password", "onMsgSetDRUHost 4001=48 11420=idtext:0:dru1 11426=enc:Pw-Echo4   2052=0",
       "> onMsgSetDRUHost 4001=48 11420=idtext:0:dru1 11426=***   2052=0\n"},
      {"the NDMP password", "onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=s:Pw-Echo5",
       "> onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=***\n"},
      {"the storage-library request's password and proxy password, of both descriptions",
       "storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/pw 28=u 32=Pw-Echo6 33=Pw-Echo7 second.32=Pw-Echo8",
       "> storage-library 43=4 8=DiskLib1 3=ma1 24=/srv/pw 28=u 32=*** 33=*** second.32=***\n"},
      {"a device path's password", "device-paths 1 path agent=2 17=1 1=1 4=/srv/d 8=u 12=Pw-Echo9 13=4",
       "> device-paths 1 path agent=2 17=1 1=1 4=/srv/d 8=u 12=*** 13=4\n"},
      {"the XML wizard's password field",
       "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary '<ZQGui_EZConfigureMagneticLibraryReq>"
       "<ZQGui_EZMagneticLibrary tag=\"2\" s3=\"ma1\" s23=\"/srv/pw-x\" s27=\"x-user\" b31=\"Pw-Echo10\"/>"
       "</ZQGui_EZConfigureMagneticLibraryReq>'",
       "s27=\"x-user\" b31=\"***\"/></ZQGui_EZConfigureMagneticLibraryReq>'\n"},
  };
  for (const Route& route : routes) {
    SCOPED_TRACE(route.what);
    const ConsoleRun run = console({"--script", writeFile("route.tk", route.line + "\n")});
    EXPECT_NE(run.out.find(route.shown), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(kSecret), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find(kSecret), std::string::npos) << run.err;
  }
}

TEST_F(ConsoleFixture, ALineRefusedForItsPasswordValueNamesNeitherThePasswordNorItsWrittenForm) {
  struct Refused {
    const char* what;
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {"a script line", {"--script", writeFile("bad.tk", "lock\nonMsgSetDRUHost 4001=48 11426=hex:Pw-Echo1\n")},
       "bad.tk:2: not hex: ***\n"},
      {"the command line", {"onMsgSetDRUHost", "4001=48", "11426=hex:Pw-Echo2"}, "tkconsole: not hex: ***\n"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    const ConsoleRun run = console(c.args);
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(kSecret), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
