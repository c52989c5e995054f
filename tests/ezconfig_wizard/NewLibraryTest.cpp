// The disk-library wizard's configuration of a new library (made on the named
// media agent with a storage policy of its own) and of a library without a
// mount path: the folder becomes the first mount path, the policy is set up,
// and the response describes the library.
#include <gtest/gtest.h>

#include <string>

#include "platform/external/Cipher.h"
#include "tests/ezconfig_wizard/WizardFixture.h"

namespace wiztest {
namespace {

class NewLibrary : public WizardTest {
 protected:
  // A library stored without mount path or storage policy, in the session.
  unsigned long long bareLibrary() {
    EXPECT_EQ(m_db.exec("INSERT INTO MMLibrary (LibraryId, LibraryName, AliasName, LibraryTypeId, LibraryEnabled) "
                        "VALUES (9, 'Bare', 'Bare', 3, 1)"),
              0);
    openSession();
    return diskLibraryHandle(9);
  }
  std::string mountPathOf(long long library, const char* column) const {
    const auto rows = m_db.query(std::string("SELECT ") + column + " FROM MMMountPath WHERE LibraryId = ?", {library});
    return rows.size() == 1 ? tkdb::textOf(rows[0][0]) : "<" + std::to_string(rows.size()) + " rows>";
  }
};

TEST_F(NewLibrary, ANewLibraryIsMadeWithItsPolicyAndFirstMountPath) {
  const Answer a =
      configure({{3, "ma1"}, {23, "/srv/wiz1"}, {27, "svc"}, {31, "pw"}, {34, 7}, {33, 60}, {32, 0}, {40, 1}});
  ASSERT_TRUE(a.success) << a.xml;
  const long long id = m_db.scalar("SELECT MAX(LibraryId) FROM MMLibrary");
  const long long policy = m_db.scalar("SELECT id FROM archGroup WHERE name = 'SP_DiskLibrary_1'");
  ASSERT_EQ(a.libraries.size(), 1u);
  // The policy's values as its set-up left them.
  EXPECT_EQ(a.libraries[0], (RecordValues{{1, std::to_string(id)},
                                          {2, std::to_string(diskLibraryHandle(static_cast<int>(id)))},
                                          {3, "ma1.example.net"},
                                          {7, "1"},
                                          {8, "DiskLibrary_1"},
                                          {12, "3"},
                                          {13, std::to_string(policy)},
                                          {14, "SP_DiskLibrary_1"},
                                          {18, std::to_string(copyOf(policy))},
                                          {19, "Primary"},
                                          {23, "/srv/wiz1"},
                                          {27, "svc"},
                                          {32, "0"},
                                          {33, "60"},
                                          {34, "7"},
                                          {35, ""},
                                          {40, "1"}}));
  EXPECT_EQ(mountPathOf(id, "MountPathName"), "/srv/wiz1");
  EXPECT_EQ(mountPathOf(id, "UserName"), "svc");
  EXPECT_EQ(mountPathOf(id, "UserPassword"), tkcipher::encrypt("pw"));
  EXPECT_EQ(m_db.scalar("SELECT flags FROM archGroup WHERE id = ?", {policy}), 0xA0);
  EXPECT_EQ(m_db.scalar("SELECT dedupeFlags FROM archGroupCopy WHERE id = ?", {copyOf(policy)}), 0xC0000);
  EXPECT_EQ(m_db.scalar("SELECT retentionDays FROM archAgingRule WHERE copyId = ?", {copyOf(policy)}), 7);
  EXPECT_EQ(m_db.scalar("SELECT ThresholdPercentage FROM MMLibrary WHERE LibraryId = ?", {id}), 60);
  EXPECT_EQ(list().libraries.size(), 1u) << "DiskLib1 still comes first";
}

TEST_F(NewLibrary, APasswordTooLongForItsColumnIsRefusedAndNoLibraryIsMade) {
  const long long libraries = count("MMLibrary");
  expectRefused(configure({{3, "ma1"}, {23, "/srv/wiz2"}, {27, "svc"}, {31, std::string(1024, 'x')}}),
                "The password is too long to be stored: a password of at most 1023 bytes fits.");
  EXPECT_EQ(count("MMLibrary"), libraries);
}

TEST_F(NewLibrary, ARefusedMountPathAnswersItsTextAndTheNewLibraryStays) {
  const struct {
    unsigned code;
    std::string text;
  } cases[] = {{101, tktest::catalogueText(0x2400005E)},
               {396, tktest::catalogueText(0x2400004B)},
               {752, tktest::catalogueText(0x2400004B)},
               {5, "no room"}};
  long long libraries = count("MMLibrary");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    testkit::mac::journal().injectFailure("AddMountPath", static_cast<int>(c.code), "no room");
    expectRefused(configure({{3, "ma1"}, {23, "/srv/wiz3"}}), c.text);
    EXPECT_EQ(count("MMLibrary"), ++libraries) << "no transaction: the library stays";
  }
  EXPECT_EQ(count("MMMountPath", "MountPathName = '/srv/wiz3'"), 0);
}

TEST_F(NewLibrary, ALibraryWithoutMountPathSkipsTheAgentAndPathChecks) {
  const unsigned long long handle = bareLibrary();
  // No agent and no path: the empty path goes to the model, which refuses it.
  const Answer refused = configure({{2, static_cast<long long>(handle)}});
  EXPECT_EQ(refused.code, -1);
  EXPECT_EQ(refused.text, "No mount path was given.");
  // Added, but the library has no storage policy: the failure names the
  // alias, and the mount path it kept.
  expectRefused(configure({{2, static_cast<long long>(handle)}, {23, "/srv/bare"}}),
                tktest::catalogueText(0x4100000E, "Bare") + " The mount path [/srv/bare] was kept.");
  EXPECT_EQ(mountPathOf(9, "MountPathName"), "/srv/bare") << "the mount path stays";
}

TEST_F(NewLibrary, ALibraryWithoutMountPathGetsTheFolderAndIsDescribed) {
  const unsigned long long handle = bareLibrary();
  int policy = 0;
  std::string error;
  ASSERT_EQ(ArchiveManagerTK(nullptr).CreateStoragePolicyForLibrary(9, "Bare", kMa2, nullptr, policy, error), 0);
  const Answer a = configure({{2, static_cast<long long>(handle)}, {23, "/srv/bare"}, {27, "u9"}, {34, 3}});
  ASSERT_TRUE(a.success) << a.xml;
  ASSERT_EQ(a.libraries.size(), 1u);
  EXPECT_EQ(a.libraries[0], (RecordValues{{1, "9"},
                                          {2, std::to_string(handle)},
                                          {3, ""},
                                          {7, "0"},
                                          {8, "Bare"},
                                          {12, "3"},
                                          {13, std::to_string(policy)},
                                          {14, "SP_Bare"},
                                          {18, std::to_string(copyOf(policy))},
                                          {19, "Primary"},
                                          {23, "/srv/bare"},
                                          {27, "u9"},
                                          {32, "0"},
                                          {33, "0"},
                                          {34, "3"},
                                          {35, ""},
                                          {40, "0"}}));
  EXPECT_EQ(m_db.scalar("SELECT retentionDays FROM archAgingRule WHERE copyId = ?", {copyOf(policy)}), 3);
}

// The policy of a library is set up with names made of its alias (512
// bytes, three-byte characters across the pools' limits): the pools' names
// cut before the character to fit their 256 bytes, the policy's whole.
TEST_F(NewLibrary, ThePolicyOfALibraryOfTheLongestAliasGetsNamesThatFitTheirColumns) {
  std::string alias(243, 'a');
  for (int i = 0; i < 89; ++i) alias += "\xE2\x82\xAC";
  alias += "bb";
  ASSERT_EQ(alias.size(), 512u);
  bareLibrary();
  int policy = 0;
  std::string error;
  ASSERT_EQ(ArchiveManagerTK(nullptr).CreateStoragePolicyForLibrary(9, alias, kMa2, nullptr, policy, error), 0) << error;
  const auto names = m_db.query(
      "SELECT (SELECT name FROM archGroup WHERE id = ?), M.MasterPoolName, D.DrivePoolName FROM MMMasterPool M "
      "JOIN MMDrivePool D ON D.MasterPoolId = M.MasterPoolId WHERE M.LibraryId = 9",
      {policy});
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(tkdb::textOf(names[0][0]), "SP_" + alias);
  EXPECT_EQ(tkdb::textOf(names[0][1]), "MasterPool(" + std::string(243, 'a') + ")");
  EXPECT_EQ(tkdb::textOf(names[0][2]), "DrivePool(" + std::string(243, 'a') + ")");
}

}  // namespace
}  // namespace wiztest
