// The tape-library wizard's listing: which agents are shown, what a library
// record carries, detection first, its policy, and origin 13's private
// configuration.
#include "tests/ezconfig_tapewizard/TapeWizardFixture.h"

namespace tapetest {
namespace {

using Listing = TapeWizardTest;

TEST_F(Listing, AllAgentsShowTheLibraryWithEveryDrivePathAndNoPolicy) {
  const Answer a = call(kListId, listText({}));
  ASSERT_TRUE(a.listing) << a.xml;
  ASSERT_EQ(a.libraries.size(), 1u);
  const Listed& l = a.libraries[0];
  const Values expected = {{1, "1"},  {2, std::to_string(libraryHandle())},
                           {3, std::to_string(m_config->GetIconId(tapeLibrary()))},
                           {4, "TapeLib1"}, {8, "0"}, {9, ""}, {13, "0"}, {14, "1"}, {15, "0"}, {16, "0"},
                           {18, "0"}, {19, tapeLibrary()->GetTextA(true)}};
  EXPECT_EQ(l.library, expected);
  ASSERT_EQ(l.drives.size(), 4u);
  std::vector<std::string> names;
  for (size_t i = 0; i < l.drives.size(); ++i) {
    names.push_back(l.drives[i].at(4) + "/" + l.drives[i].at(1));
    EXPECT_EQ(l.drives[i].at(2), std::to_string(pathHandles()[i]));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Drive1/1", "Drive1/1", "Drive2/2", "Drive2/2"}));
}

TEST_F(Listing, TheChosenAgentsDecideWhatIsShown) {
  struct Case {
    const char* name;
    std::vector<long long> ids;
    std::vector<std::pair<long long, std::string>> named;
    size_t libraries;
    size_t drives;
  };
  const Case cases[] = {
      {"ids win over names", {2}, {{1, "ma1"}}, 0, 0},
      {"the library's agent by id", {1}, {{2, "ma2"}}, 1, 2},
      {"names match without regard to case", {}, {{0, "MA1"}}, 1, 2},
      {"an entry with id 0 and no name matches nothing", {}, {{0, ""}}, 0, 0},
      {"a non-zero id matches without its name", {}, {{0, "ma1"}, {2, ""}}, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Answer a = call(kListId, listText(c.ids, c.named));
    ASSERT_TRUE(a.listing) << a.xml;
    ASSERT_EQ(a.libraries.size(), c.libraries);
    if (c.libraries == 1) {
      EXPECT_EQ(a.libraries[0].drives.size(), c.drives);
    }
  }
  // The shown flags stay on the cached configuration.
  EXPECT_TRUE(m_config->GetMediaAgentList().GetFirstNode()->IsShown());
}

TEST_F(Listing, DetectionRunsWithTheCollectedNamesBeforeTheListing) {
  testkit::mac::journal().reset();
  const Answer a = call(kListId, listText({}, {{0, "Ma2"}}, 1));
  ASSERT_TRUE(a.listing) << a.xml;
  EXPECT_EQ(calls(testkit::mac::journal(), "AutoDetect"), (std::vector<std::string>{"ma2 0 0"}));
  // ma2 reaches no controller of the library: it is not shown.
  EXPECT_TRUE(a.libraries.empty());
}

TEST_F(Listing, APrimaryPolicyIsListedWithItsRetentionAndAFailedSearchStillListsTheLibrary) {
  const int policy = addPolicy();
  Answer a = call(kListId, listText({}));
  ASSERT_EQ(a.libraries.size(), 1u) << a.xml;
  EXPECT_EQ(a.libraries[0].library.at(8), std::to_string(policy));
  EXPECT_EQ(a.libraries[0].library.at(9), "SP_TapeLib1");
  EXPECT_EQ(a.libraries[0].library.at(18), "30");

  for (const char* failing : {"getOneRow", "lookupAgingRule"}) {
    SCOPED_TRACE(failing);
    if (std::string(failing) == "getOneRow")
      testkit::db::journal().injectFailure(failing, 204, "locked");
    else
      testkit::archivemgr::journal().injectFailure(failing, 100, "no rule");
    a = call(kListId, listText({}));
    ASSERT_EQ(a.libraries.size(), 1u) << a.xml;
    EXPECT_EQ(a.libraries[0].library.at(8), "0");
    EXPECT_EQ(a.libraries[0].library.at(18), "0");
  }
  testkit::db::failProcedure("MMS2getArchGrpNCopyListByLibId", 204, "locked");
  a = call(kListId, listText({}));
  ASSERT_EQ(a.libraries.size(), 1u) << a.xml;
  EXPECT_EQ(a.libraries[0].library.at(8), "0");
}

TEST_F(Listing, OriginThirteenChecksRightsAndListsFromAConfigurationOfItsOwn) {
  testkit::security::deny("canManageTarnkeep", kUser, tksecurity::kAny, "not an administrator");
  expectRefused(call(kListId, listText({}), kRequestOriginPrivateConfig), "not an administrator");

  // The media-agent check setting lets the user go on.
  m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', '1')");
  testkit::mac::failNext("ReadCurrentConfig", 5, "database gone");
  expectRefused(call(kListId, listText({}), kRequestOriginPrivateConfig), "Failed to read from DB");

  const Answer a = call(kListId, listText({2}), kRequestOriginPrivateConfig);
  ASSERT_TRUE(a.listing) << a.xml;
  EXPECT_TRUE(a.libraries.empty());
  const Answer all = call(kListId, listText({}), kRequestOriginPrivateConfig);
  ASSERT_EQ(all.libraries.size(), 1u) << all.xml;
  // The private configuration is gone: its handles name nothing, and the
  // cached configuration's shown flags were not touched.
  const unsigned long long handle = std::stoull(all.libraries[0].library.at(2));
  EXPECT_NE(handle, libraryHandle());
  expectRefused(call(kAliasId, aliasText(handle, "Renamed")), "Invalid object address.");
  EXPECT_EQ(call(kListId, listText({}, {}, 0)).libraries.size(), 1u);
}

// With the process's handles used up, a listing whose objects have none
// yet fails with the text that says why and what to do, never handle 0.
TEST_F(Listing, NoHandleLeftFailsTheListingInsteadOfListingHandleZero) {
  testkit::mac::ScopedHandleCounter counter(0);
  const Answer a = call(kListId, listText({}));
  EXPECT_FALSE(a.listing) << a.xml;
  EXPECT_EQ(a.code, -1) << a.xml;
  EXPECT_EQ(a.text, tkmac::kNoHandleLeftText);
}

}  // namespace
}  // namespace tapetest
