// Creating a library through the storage-library request: the refusals in
// the order they are checked, the serial number's upper case, the ids the
// model is given and the reply carries, the user's association and the
// audit record.
#include <gtest/gtest.h>

#include <string>

#include "frame/mac/ZQMACBase.h"
#include "tests/ezconfig_librarylifecycle/LifecycleFixture.h"

namespace lifecycletest {
namespace {

using tktest::catalogueText;
using Credential = ZqEntities::CredentialEntity;

constexpr int kCreated = 0x54000245;

class CreateLibrary : public LifecycleTest {
 protected:
  // The arguments of the model's one creation call.
  std::vector<std::string> creationCall() {
    const auto calls = testkit::mac::journal().calls("AutoConfigLibrary");
    EXPECT_EQ(calls.size(), 1u);
    return calls.empty() ? std::vector<std::string>{} : calls[0].args;
  }
};

TEST_F(CreateLibrary, EachRefusalComesInItsTurnAndCreatesNothing) {
  tktest::insertRows(m_db, "APP_Client (id, name)", {{4, "ma4"}});  // not a media agent
  m_db.exec("UPDATE MMHost SET IsPowerManaged = 1, IsPoweredOff = 1 WHERE ClientId = 3");
  for (int agent : {0, 4, 99}) testkit::adapters::setInstallDirectory(agent, "/opt/tarnkeep");
  struct Case {
    const char* name;
    Fields library;
    std::string text;
  } const cases[] = {
      {"unknown client id", {{43, 1}, {7, 99}, {24, "/data/x"}}, catalogueText(0x230008B0)},
      {"no media agent, no device", {{43, 1}, {24, "/data/x"}}, catalogueText(0x2300091F)},
      {"client without host row", {{43, 1}, {7, 4}, {24, "/data/x"}}, catalogueText(0x230008B0)},
      {"powered off", {{43, 1}, {7, kMa3}, {24, "/data/x"}}, catalogueText(0x200001E8, "ma3")},
      {"no key", {{43, 1}, {7, kMa2}, {8, "newlib"}}, catalogueText(0x230008B7)},
      {"mount path on a used name", {{43, 1}, {7, kMa2}, {8, "DiskLib"}, {24, "/data/x"}},
       catalogueText(0x2400033D, "DiskLib")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRefused(call(c.library), c.text);
  }
  EXPECT_EQ(testkit::mac::journal().count("AutoConfigLibrary"), 0u);
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(CreateLibrary, AMountPathMakesADiskLibraryAuditedWithItsFourParameters) {
  const Answer a = send(requestText({{43, 1}, {7, kMa2}, {8, "newlib"}, {24, "/data/new"}}, {}, -1,
                                    [](CNMessageBase& first, CNMessageBase&) {
                                      CNMessageBase& c = child(first, Info::kClassHash, Info::kCredential);
                                      c.setint64(Credential::kId.ordinal, Credential::kId.tag, 12,
                                                 Credential::kClassHash, Credential::kId.hash);
                                      c.setstring(Credential::kCredentialName.ordinal, Credential::kCredentialName.tag,
                                                  "vault", Credential::kClassHash, Credential::kCredentialName.hash);
                                    }));
  ASSERT_TRUE(a.success) << a.xml;
  const long long made = value("SELECT LibraryId FROM MMLibrary WHERE AliasName = 'newlib'");
  EXPECT_EQ(a.number(Info::kLibraryId), made);
  EXPECT_EQ(a.string(Info::kMediaAgentName), "ma2");
  const std::vector<std::string> args = creationCall();
  ASSERT_EQ(args.size(), 15u);
  EXPECT_EQ(args[0], "ma2");
  EXPECT_EQ(args[1], "");    // no serial: no serial library name
  EXPECT_EQ(args[2], "-1");  // a new name
  EXPECT_EQ(args[5], "/data/new");
  EXPECT_EQ(args[13], "12");  // the credential id
  EXPECT_EQ(testkit::security::libraryUsers(),
            (std::vector<std::pair<unsigned long, unsigned long>>{{kAlice, static_cast<unsigned long>(made)}}));
  int user = 0;
  EXPECT_EQ(audits(kCreated, &user), (std::vector<std::vector<Param>>{{{0x550000BF, {"newlib"}},
                                                                       {0x550000C3, {"ma2"}},
                                                                       {0x5500018B, {"newlib", "/data/new"}},
                                                                       {0x550006DB, {"vault"}}}}));
  EXPECT_EQ(user, static_cast<int>(kAlice));
}

TEST_F(CreateLibrary, ASerialNumberGoesUpperCaseToTheModelTheAuditAndTheReply) {
  const std::string sent = "sn-\xC3\xA9x7";  // a non-ASCII letter stays as it is
  const std::string upper = "SN-\xC3\xA9X7";
  tkmac::setVisibleLibraries({{"ma2", upper, "ACME", "T100"}});
  const Answer a = call({{43, 1}, {3, "ma2"}, {8, "robot"}, {44, sent}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(creationCall().at(3), upper);
  EXPECT_EQ(creationCall().at(1), "robot");  // the serial library name is the library name
  EXPECT_EQ(a.string(Info::kSerialNumber), upper);
  EXPECT_EQ(a.number(Info::kLibraryId), value("SELECT LibraryId FROM MMLibrary WHERE SerialNumber = ?", {upper}));
  ASSERT_EQ(audits(kCreated).size(), 1u);
  EXPECT_EQ(audits(kCreated)[0][2], (Param{0x5500018B, {"robot", upper}}));
}

TEST_F(CreateLibrary, ANewIdOfZeroSkipsTheAssociationButNotTheAudit) {
  // The serial's library is configured already, under id 0.
  tktest::insertRows(m_db, "MMLibrary (LibraryId, AliasName, LibraryName, LibraryTypeId, SerialNumber)",
                     {{0, "zero", "zero", 1, "SN0"}});
  tkmac::setVisibleLibraries({{"ma2", "SN0", "ACME", "T100"}});
  const Answer a = call({{43, 1}, {7, kMa2}, {44, "sn0"}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.number(Info::kLibraryId), 0);
  EXPECT_EQ(a.string(Info::kLibraryName), "zero");
  EXPECT_EQ(testkit::security::journal().count("addUserToLibrary"), 0u);
  EXPECT_EQ(audits(kCreated).size(), 1u);
}

TEST_F(CreateLibrary, AFailedAssociationKeepsNeitherTheLibraryNorItsCloudStorage) {
  testkit::security::deny("addUserToLibrary", kAlice);
  const long long mountPaths = value("SELECT COUNT(*) FROM MMMountPath");
  const Answer a = call({{43, 1}, {7, kMa2}, {8, "cloudlib"}, {24, "/bucket"}, {28, "owner"}, {32, "pw"}, {42, 400}});
  expectRefused(a, ZQMACBase::GetMessageString(0x24000330, "cloudlib"));
  EXPECT_EQ(value("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'cloudlib'"), 0);
  EXPECT_EQ(value("SELECT COUNT(*) FROM MMMountPath"), mountPaths);
  EXPECT_TRUE(testkit::cloud::storages().empty());
  EXPECT_TRUE(audits(kCreated).empty());
}

TEST_F(CreateLibrary, AFailedCreationAnswersTheModelsReasonAndUndoesTheCloudStorage) {
  testkit::mac::failNext("AutoConfigLibrary", 9, "disk offline");
  expectRefused(call({{43, 1}, {7, kMa2}, {8, "cloudlib"}, {24, "/bucket"}, {28, "owner"}, {32, "pw"}, {42, 400}}),
                "disk offline");
  EXPECT_TRUE(testkit::cloud::storages().empty());
  EXPECT_EQ(value("SELECT COUNT(*) FROM MMLibrary WHERE AliasName = 'cloudlib'"), 0);
}

}  // namespace
}  // namespace lifecycletest
