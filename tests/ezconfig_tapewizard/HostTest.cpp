// The tape-library wizard end to end: the real tkhost over its socket,
// driven by the console's XML word after taking the configuration lock.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_tapewizard/TapeWizardFixture.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"

namespace tapetest {
namespace {

TEST(TapeWizardThroughTheHost, TheListingShowsTheTapeLibraryAndARefusedRenameEndsTheConsoleWith3) {
  tktest::TestDatabase db;
  std::string report;
  ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  tktest::TempDir dir;
  const hosttest::ConsoleSession run = hosttest::runConsoleScript(
      dir, db.path(),
      "lock\n"
      "--xml 0x01000BBF onMsgEZGetTapeLibrary '<ZQGui_EZGetTapeLibrariesReq/>'\n"
      "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq "
      "'<ZQGui_EZSetTapeLibraryAliasNameReq i6=\"1048575\" s2=\"x\"/>'\n");
  ASSERT_TRUE(run.hostUp) << run.hostLog;
  ASSERT_TRUE(run.consoleStarted);
  EXPECT_EQ(run.exitCode, 3) << run.errors;
  const std::string& output = run.output;
  for (const std::string& part : {std::string("<ZQGui_EZGetTapeLibrariesResp><list tag=\"1\"><ZQGui_EZTapeLibrary i1=\"1\""),
                                  std::string("s4=\"TapeLib1\""),
                                  std::string("<ZQGui_GenericResp i1=\"-1\" s2=\"Invalid object address.\"/>")})
    EXPECT_NE(output.find(part), std::string::npos) << part << "\nin\n" << output;
}

}  // namespace
}  // namespace tapetest
