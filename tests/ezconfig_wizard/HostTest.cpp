// Both disk-library wizard requests end to end: the real tkhost over its
// socket, driven by the console's XML word after taking the configuration
// lock, on a stored installation whose disk library has a storage policy.
#include <gtest/gtest.h>

#include <string>

#include "tests/ezconfig_wizard/WizardFixture.h"
#include "tests/support/HostHarness.h"
#include "tests/support/TempDir.h"

namespace wiztest {
namespace {

TEST(WizardThroughTheHost, TheListingShowsTheDiskLibraryAndARefusalEndsTheConsoleWith3) {
  tktest::TestDatabase db;
  std::string report;
  ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  int policy = 0;
  std::string error;
  ASSERT_EQ(ArchiveManagerTK(nullptr).CreateStoragePolicyForLibrary(kDiskLib, "DiskLib1", kMa1, nullptr, policy, error),
            0);
  tktest::TempDir dir;
  hosttest::expectConsoleRun(
      dir, db.path(),
      "lock\n"
      "--xml 0x01000BBA onMsgEZGetMagneticLibrary '<ZQGui_EZGetMagneticLibrariesReq/>'\n"
      "--xml 0x01000BBC onMsgEZConfigureMagneticLibrary "
      "'<ZQGui_EZConfigureMagneticLibraryReq><ZQGui_EZMagneticLibrary tag=\"2\" s23=\"/srv/x\"/>"
      "</ZQGui_EZConfigureMagneticLibraryReq>'\n",
      3,
      {"<ZQGui_EZGetMagneticLibrariesResp><list tag=\"1\"><ZQGui_EZMagneticLibrary i1=\"2\"",
       "s8=\"DiskLib1\" i12=\"3\" i13=\"" + std::to_string(policy) + "\" s14=\"SP_DiskLib1\"",
       "<ZQGui_GenericResp i1=\"-1\" s2=\"" + tktest::catalogueText(0x23000019) + "\"/>"});
}

}  // namespace
}  // namespace wiztest
