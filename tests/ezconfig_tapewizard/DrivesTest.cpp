// The wizard's drive step: rights on the first drive's library, its
// preparation, the drives, the user's association and the default policy.
#include "tests/ezconfig_tapewizard/TapeWizardFixture.h"

#include <functional>

#include "platform/mac/ZQMACGraph.h"

namespace tapetest {
namespace {

using Drives = TapeWizardTest;

TEST_F(Drives, TheDrivesAreConfiguredAndTheUserGetsTheLibraryWithADefaultPolicy) {
  const std::vector<unsigned long long> paths = pathHandles();
  // A second controller, on ma2, is asked about too.
  ZQMACGraph::AddLibController(tapeLibrary(), nullptr, 92, "TapeLib1 without agent");
  ZQMACLinkedList<ZQMACMediaAgent> agents = m_config->GetMediaAgentList();
  agents.GetFirstNode();
  ZQMACGraph::AddLibController(tapeLibrary(), agents.GetNextNode(), 93, "TapeLib1 on ma2");
  expectDone(call(kDrivesId, drivesText({paths[0], paths[2]})));
  EXPECT_EQ(calls(testkit::mac::journal(), "Configure"),
            (std::vector<std::string>{std::to_string(paths[0]) + " 1", std::to_string(paths[2]) + " 1"}));
  // Permission 8 on the media agent of each controller that has one.
  EXPECT_EQ(calls(testkit::security::journal(), "hasPermissionForUserOnEntity"),
            (std::vector<std::string>{"8 7 11 1 0 0 0 0 0 0 0 0", "8 7 11 2 0 0 0 0 0 0 0 0"}));
  EXPECT_EQ(testkit::security::libraryUsers(),
            (std::vector<std::pair<unsigned long, unsigned long>>{{kUser, kTapeLib}}));
  EXPECT_EQ(calls(testkit::archivemgr::journal(), "CreateStoragePolicyForLibraryArgs"),
            (std::vector<std::string>{"1 16384 7"}));
  EXPECT_EQ(count("archGroup", "type = 1 AND flags = 16384 AND name = 'SP_TapeLib1'"), 1);
}

TEST_F(Drives, RightsAreCheckedOnEveryControllerOfTheFirstDrivesLibrary) {
  struct Case {
    const char* name;
    bool checkSetting;
    bool manages;
    bool allowed;
  };
  const Case cases[] = {
      {"no permission and no media-agent check", false, true, false},
      {"the media-agent check lets a manager go on", true, true, true},
      {"the media-agent check refuses a non-manager", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetAll();
    m_db.exec("DELETE FROM MMConfigs");
    if (c.checkSetting) m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', '1')");
    testkit::security::deny("hasPermissionForUserOnEntity", kUser, 1, "no permission on ma1");
    if (!c.manages) testkit::security::deny("canManageMediaAgent", kUser, 1, "not a manager");
    openSession();
    const Answer a = call(kDrivesId, drivesText({pathHandles()[0]}));
    if (c.allowed) {
      expectDone(a);
    } else {
      expectRefused(a, "no permission on ma1");
      EXPECT_TRUE(calls(testkit::mac::journal(), "Configure").empty());
      EXPECT_TRUE(testkit::security::libraryUsers().empty());
    }
  }
}

TEST_F(Drives, AnUnconfiguredLibraryIsPreparedAndItsShownControllersConfigured) {
  ZQMACLms* lms = tapeLibrary();
  ZQMACGraph::SetConfigured(lms, false);
  // A second controller without a media agent is neither asked about nor configured.
  ZQMACLibController* first = lms->GetLibControllerList().GetFirstNode();
  expectDone(call(kDrivesId, drivesText({libraryHandle()})));
  EXPECT_EQ(calls(testkit::mac::journal(), "Configure"),
            (std::vector<std::string>{std::to_string(libraryHandle()) + " 0",
                                      std::to_string(m_config->GetHandle(first)) + " 0"}));
  EXPECT_EQ(calls(testkit::mac::journal(), "SetAutoDiscover"),
            (std::vector<std::string>{std::to_string(libraryHandle()) + " true -1"}));
  EXPECT_TRUE(lms->GetLibrary()->GetBarCodeReader());

  // Hidden agents: no controller is configured, the request still succeeds.
  testkit::mac::journal().reset();
  m_config->GetMediaAgentList().GetFirstNode()->SetShown(false);
  expectDone(call(kDrivesId, drivesText({libraryHandle()})));
  EXPECT_TRUE(calls(testkit::mac::journal(), "Configure").empty());
}

TEST_F(Drives, TheFirstFailureEndsTheRequestAndWhatWasConfiguredStays) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::function<std::vector<unsigned long long>()> drives;
    std::string text;
    size_t configured;  // configure calls made
  };
  const Case cases[] = {
      {"an unknown second drive", [] {}, [&] { return std::vector<unsigned long long>{pathHandles()[0], 0xFFFF0}; },
       "Invalid drive address, cannot find this drive.", 1},
      {"a handle of no library's object", [] {},
       [&] { return std::vector<unsigned long long>{m_config->GetHandle(m_config->GetMediaAgentList().GetFirstNode())}; },
       "Invalid drive address, cannot find this drive.", 0},
      {"a library other than the first drive's", [] {},
       [&] {
         ZQMACLms* other = ZQMACGraph::AddLms(*m_config, 90, "TapeLib2");
         ZQMACGraph::AddLibController(other, m_config->GetMediaAgentList().GetFirstNode(), 91, "TapeLib2 on ma1");
         return std::vector<unsigned long long>{pathHandles()[0], m_config->GetHandle(other)};
       },
       "All drives to configure must belong to one library.", 1},
      {"a drive that refuses", [] { testkit::mac::failNext("Configure", 3, "drive offline"); },
       [&] { return std::vector<unsigned long long>{pathHandles()[0]}; }, "drive offline", 1},
      {"a refused association", [] { testkit::security::journal().injectFailure("addUserToLibrary", 5, "no such user"); },
       [&] { return std::vector<unsigned long long>{pathHandles()[0]}; },
       ZQMACBase::GetMessageString(0x24000330, "no such user"), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetAll();
    openSession();
    c.arrange();
    expectRefused(call(kDrivesId, drivesText(c.drives())), c.text);
    EXPECT_EQ(calls(testkit::mac::journal(), "Configure").size(), c.configured);
    EXPECT_TRUE(calls(testkit::archivemgr::journal(), "CreateStoragePolicyForLibraryArgs").empty());
  }
}

TEST_F(Drives, AnEmptyListAsksForAPolicyOfNoLibraryAndAFailedPolicyIsOnlyLogged) {
  expectDone(call(kDrivesId, drivesText({})));
  EXPECT_EQ(calls(testkit::archivemgr::journal(), "CreateStoragePolicyForLibraryArgs"),
            (std::vector<std::string>{"0 16384 7"}));
  EXPECT_TRUE(calls(testkit::security::journal(), "hasPermissionForUserOnEntity").empty());
  EXPECT_EQ(count("archGroup"), 0);
}

}  // namespace
}  // namespace tapetest
