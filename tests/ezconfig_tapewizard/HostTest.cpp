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
  hosttest::expectConsoleRun(
      dir, db.path(),
      "lock\n"
      "--xml 0x01000BBF onMsgEZGetTapeLibrary '<ZQGui_EZGetTapeLibrariesReq/>'\n"
      "--xml 0x01A8EB4F onMsgEZSetTapeLibraryAliasNameReq "
      "'<ZQGui_EZSetTapeLibraryAliasNameReq i6=\"1048575\" s2=\"x\"/>'\n",
      3,
      {"<ZQGui_EZGetTapeLibrariesResp><list tag=\"1\"><ZQGui_EZTapeLibrary i1=\"1\"", "s4=\"TapeLib1\"",
       "<ZQGui_GenericResp i1=\"-1\" s2=\"Invalid object address.\"/>"});
}

}  // namespace
}  // namespace tapetest
