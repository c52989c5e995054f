// Renaming a listed library or drive.
#include "tests/ezconfig_tapewizard/TapeWizardFixture.h"

namespace tapetest {
namespace {

using Alias = TapeWizardTest;

TEST_F(Alias, ALibraryAndADriveAreRenamedInTheModelAndTheDatabase) {
  expectDone(call(kAliasId, aliasText(libraryHandle(), "Vault")));
  EXPECT_EQ(tapeLibrary()->GetLibrary()->GetAliasName(), "Vault");
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMLibrary WHERE LibraryId = 1 AND AliasName = 'Vault'"), 1);
  EXPECT_EQ(call(kListId, listText({})).libraries.at(0).library.at(4), "Vault");

  expectDone(call(kAliasId, aliasText(pathHandles()[2], "Bay2")));
  EXPECT_EQ(count("MMDrive", "DriveName = 'Drive2' AND AliasName = 'Bay2'"), 1);
  EXPECT_EQ(tapeLibrary()->GetDmsList().GetFirstNode()->GetDrive()->GetAliasName(), "Drive1");
  EXPECT_EQ(call(kListId, listText({})).libraries.at(0).drives.at(2).at(4), "Bay2");
}

TEST_F(Alias, RefusalsNameTheirReasonAndChangeNothing) {
  struct Case {
    const char* name;
    unsigned long long handle;
    const char* failing;  // an injected model failure, or null
    std::string text;
  };
  const unsigned long long agent = m_config->GetHandle(m_config->GetMediaAgentList().GetFirstNode());
  const Case cases[] = {
      {"another type of object", agent, nullptr, "Unknow object type."},
      {"an unknown handle", 0xFFFF0, nullptr, "Invalid object address."},
      {"a refused library rename", libraryHandle(), "SetLibraryAliasName", "name refused"},
      {"a refused drive rename", pathHandles()[0], "SetDriveAliasName", "name refused"},
      {"a library name another library has", libraryHandle(), nullptr, ""},
      {"a name longer than a library's", libraryHandle(), nullptr, "The library name is longer than 512 bytes."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.failing != nullptr) testkit::mac::failNext(c.failing, 7, "name refused");
    const std::string name = c.text.empty() ? "DiskLib1" : c.text.find("longer") != std::string::npos ? std::string(4096, 'n') : "Other";
    const Answer a = call(kAliasId, aliasText(c.handle, name));
    EXPECT_EQ(a.code, -1) << a.xml;
    if (!c.text.empty()) {
      EXPECT_EQ(a.text, c.text);
    }
    EXPECT_FALSE(a.text.empty());
  }
  EXPECT_EQ(count("MMLibrary", "AliasName IN ('Other', 'DiskLib1')"), 1);
  EXPECT_EQ(count("MMDrive", "AliasName = 'Other'"), 0);
  EXPECT_EQ(tapeLibrary()->GetLibrary()->GetAliasName(), "TapeLib1");
}

}  // namespace
}  // namespace tapetest
