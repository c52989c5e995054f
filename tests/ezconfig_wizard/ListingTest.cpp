// The disk-library wizard's listing: the first shown disk library with a
// mount path and a storage policy, seen through the media agents of the
// request; the agents' shown flags it leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mac/ZQMACGraph.h"
#include "tests/ezconfig_wizard/WizardFixture.h"

namespace wiztest {
namespace {

class Listing : public WizardTest {
 protected:
  std::vector<bool> shownAgents() const {
    std::vector<bool> shown;
    ZQMACLinkedList<ZQMACMediaAgent> agents = m_config->GetMediaAgentList();
    for (ZQMACMediaAgent* a = agents.GetFirstNode(); a != nullptr; a = agents.GetNextNode()) shown.push_back(a->IsShown());
    return shown;
  }
  // DiskLib1 as the listing reports it.
  RecordValues diskLib1() const {
    return {{1, "2"},
            {2, std::to_string(diskLibraryHandle(kDiskLib))},
            {3, "ma1.example.net"},
            {7, "1"},
            {8, "DiskLib1"},
            {12, "3"},
            {13, std::to_string(m_policy)},
            {14, "SP_DiskLib1"},
            {18, std::to_string(copyOf(m_policy))},
            {19, "Primary"},
            {23, "/srv/disklib1/mp1"},
            {27, ""},
            {32, "0"},
            {33, "0"},
            {34, std::to_string(ArchiveManagerTK::kDefaultRetentionDays)},
            {35, ""},
            {40, "0"}};
  }
  // Disk library 3 "DiskLib2" with a storage policy of its own and no mount path.
  void addDiskLib2() {
    ASSERT_EQ(m_db.exec("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
                        "VALUES (3, 'DiskLib2', 'DiskLib2', 3, 1)"),
              0);
    int policy = 0;
    std::string error;
    ASSERT_EQ(ArchiveManagerTK(nullptr).CreateStoragePolicyForLibrary(3, "DiskLib2", kMa1, nullptr, policy, error), 0);
  }
};

TEST_F(Listing, AnEmptyFilterShowsEveryAgentAndListsTheLibraryWithItsPolicy) {
  ASSERT_TRUE(list({99}).success);
  const Answer a = list();
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.result, 0);
  ASSERT_EQ(a.libraries.size(), 1u);
  EXPECT_EQ(a.libraries[0], diskLib1());
  EXPECT_EQ(shownAgents(), (std::vector<bool>{true, true}));
}

TEST_F(Listing, TheFilterDecidesWhichAgentsAndSoWhichLibrariesAreShown) {
  const struct {
    std::vector<long long> ids;
    std::vector<bool> shown;
    size_t listed;
  } cases[] = {{{99}, {false, false}, 0}, {{kMa2}, {false, true}, 0}, {{kMa1}, {true, false}, 1}, {{}, {true, true}, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.ids));
    const Answer a = list(c.ids);
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_EQ(a.libraries.size(), c.listed);
    EXPECT_EQ(shownAgents(), c.shown) << "the flags stay after the request";
  }
}

TEST_F(Listing, LibrariesWithoutMountPathOrPolicyRowArePassedOver) {
  addDiskLib2();
  {
    SCOPED_TRACE("DiskLib1 has no policy row; DiskLib2 has no mount path");
    ASSERT_EQ(m_db.exec("DELETE FROM MMDataPath WHERE CopyId = ?", {copyOf(m_policy)}), 0);
    openSession();
    const Answer a = list();
    ASSERT_TRUE(a.success) << a.xml;
    EXPECT_TRUE(a.libraries.empty());
  }
  SCOPED_TRACE("DiskLib1's mount paths moved to DiskLib2");
  ASSERT_EQ(m_db.exec("UPDATE MMMountPath SET LibraryId = 3"), 0);
  openSession();
  const Answer a = list();
  ASSERT_TRUE(a.success) << a.xml;
  ASSERT_EQ(a.libraries.size(), 1u);
  EXPECT_EQ(a.libraries[0].at(1), "3");
  EXPECT_EQ(a.libraries[0].at(14), "SP_DiskLib2");
}

TEST_F(Listing, AFailedPolicyQueryAnswersTheLibraryWithoutItsPolicy) {
  testkit::db::failProcedure("MMS2getArchGrpNCopyListByLibIdEZ", 50001, "broken");
  const Answer a = list();
  ASSERT_TRUE(a.success) << a.xml;
  ASSERT_EQ(a.libraries.size(), 1u);
  RecordValues expected = diskLib1();
  for (unsigned tag : {14u, 18u, 19u}) expected.erase(tag);
  for (unsigned tag : {13u, 34u}) expected[tag] = "0";
  EXPECT_EQ(a.libraries[0], expected);
  testkit::db::clearProcedureOverrides();
}

TEST_F(Listing, WithoutADiskLibraryTheListIsEmpty) {
  testkit::mac::ScopedLoader loader([](ZQMACMediaConfig& config, bool) {
    return ZQMACGraph::AddMediaAgent(config, kMa1, "ma1", "ma1.example.net") != nullptr;
  });
  openSession();
  const Answer a = list();
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_TRUE(a.libraries.empty());
  EXPECT_EQ(a.xml, "<ZQGui_EZGetMagneticLibrariesResp><list tag=\"1\"/></ZQGui_EZGetMagneticLibrariesResp>");
}

}  // namespace
}  // namespace wiztest
