// The storage-library request as a console meets it: what each refusal of
// admission answers, which lock a request takes and that it always gives
// the lock back, the rights of deleting operations, and the success
// response of a code without an operation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"

namespace storagelibtest {
namespace {

using tktest::catalogueText;

// A code that names no operation: admission and preparation run, then the
// success response.
constexpr long long kNoOperation = 3;

class StorageLibrary : public StorageLibTest {
 protected:
  void TearDown() override {
    // No path leaves a lock behind.
    for (const char* key : {"MAID2", "MAID3", "LibID5", "LibID6"}) {
      if (m_heldByTest != key) {
        EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked(key)) << key;
      }
    }
    EvMMConfigMgr::unlockConfigLibrary(m_other);
    StorageLibTest::TearDown();
  }
  // Another request holds the lock of the key.
  void holdLock(const std::string& key) {
    m_other = EvMMConfigMgr::lockConfigLibrary(key.c_str());
    ASSERT_NE(m_other, nullptr);
    m_heldByTest = key;
  }
  std::vector<testkit::alerts::SentAlert> alerts() const { return testkit::alerts::sent(); }

  MDLock* m_other = nullptr;
  std::string m_heldByTest;
};

// ---------------------------------------------------------------- reading the request

TEST_F(StorageLibrary, ATextThatDoesNotReadIsRefusedAndRunsNothing) {
  for (const std::string& xml : {std::string("garbage"), std::string(""), std::string("<EVGui_GenericResp/>")}) {
    SCOPED_TRACE(xml);
    expectRefused(call(xml), catalogueText(0x23000452));
  }
  EXPECT_TRUE(testkit::security::journal().calls().empty());
}

TEST_F(StorageLibrary, APasswordThatDoesNotDecryptIsRefusedAsUnreadable) {
  std::string xml = request({{43, kNoOperation}, {7, kMa2}});
  const std::string open = "<EVGui_StorageLibraryInfo tag=\"2\"";
  const std::size_t at = xml.find(open);
  ASSERT_NE(at, std::string::npos) << xml;
  xml.insert(at + open.size(), " p32=\"1:not-a-cipher-text\"");
  expectRefused(call(xml), catalogueText(0x23000452));
}

// Ids beyond 32 bits are refused rather than cut.
TEST_F(StorageLibrary, RequestsNamingWhatCannotBeFoundAreRefusedWithTheirText) {
  const struct { const char* why; Fields library, second; unsigned text; } cases[] = {
      {"agent id over 32 bits", {{43, kNoOperation}, {7, (1LL << 32) + kMa2}}, {}, 0x23000452},
      {"library id over 32 bits", {{43, 2}, {1, (1LL << 32) + kDiskLib}}, {}, 0x23000452},
      {"unknown agent name", {{43, kNoOperation}, {3, "nosuch"}}, {}, 0x230008B0},
      {"unknown second agent name", {{43, kNoOperation}, {7, kMa2}}, {{3, "nosuch"}}, 0x230008B0},
      {"unknown library name, delete", {{43, 2}, {8, "nosuch"}}, {}, 0x230008B1},
      {"unknown library name, no operation", {{43, kNoOperation}, {7, kMa2}, {8, "nosuch"}}, {}, 0x230008B1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    expectRefused(call(c.library, c.second), catalogueText(c.text));
  }
  testkit::xml::failNext(testkit::xml::Call::Initialize, 5);  // the message library fails
  expectRefused(call({{43, kNoOperation}, {7, kMa2}}), catalogueText(0x23000451));
}

// ---------------------------------------------------------------- names

TEST_F(StorageLibrary, MediaAgentsNamedButNotNumberedAreLookedUp) {
  const Answer a = call({{43, kNoOperation}, {3, "MA2"}}, {{3, "ma3"}, {24, "/mnt/seen-by-ma3"}});
  ASSERT_TRUE(a.success) << a.xml;
  // The second media agent is echoed with its own mount-path name.
  EXPECT_EQ(a.number(Info::kMediaAgentId), kMa3);
  EXPECT_EQ(a.string(Info::kMediaAgentName), "ma3");
  EXPECT_EQ(a.string(Info::kMountPathName), "/mnt/seen-by-ma3");
  EXPECT_EQ(a.number(Info::kResultCode), 0);
}

TEST_F(StorageLibrary, AnUnknownLibraryNameGoesOnToCreateAndCreateDeviceNeverLooksItUp) {
  const Answer created = call({{43, 1}, {7, kMa2}, {8, "nosuch"}, {24, "/data/new"}});
  EXPECT_TRUE(created.success) << created.xml;
  testkit::mmdb::journal().reset();
  call({{43, 256}, {7, kMa2}, {8, "nosuch"}});
  EXPECT_TRUE(testkit::mmdb::calls("MMLibraryDB::getInfoByAliasName").empty());
}

// A library named in the request that the database cannot read is
// answered with the database's reason, whatever the operation (a create
// too: it cannot tell that the name is free); one that is not there is
// "could not be found", but for a create, which makes it.
TEST_F(StorageLibrary, ALibraryNameTheDatabaseCannotReadIsAnsweredWithItsReason) {
  const struct {
    const char* what;
    int operation;
    bool readFails;
    const char* refusal;  // null: the request goes on
  } rows[] = {
      {"a delete, the read failing", 2, true, "disk on fire"},
      {"a create, the read failing", 1, true, "disk on fire"},
      {"a change, the read failing", 32, true, "disk on fire"},
      {"a delete of no such library", 2, false, ""},
      {"a create of a new name", 1, false, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.readFails) testkit::mmdb::failNext("MMLibraryDB::getInfoByAliasName", 0x26000001, "disk on fire");
    const Answer a = call({{43, row.operation}, {7, kMa2}, {8, "nosuch"}, {24, "/data/nosuch"}});
    if (row.refusal == nullptr) {
      EXPECT_TRUE(a.success) << a.xml;
    } else {
      expectRefused(a, *row.refusal != '\0' ? std::string(row.refusal) : catalogueText(0x230008B1));
    }
  }
}

TEST_F(StorageLibrary, ALibraryFoundByNameGivesItsIdAndType) {
  const Answer a = call({{43, kNoOperation}, {7, kMa2}, {8, "DISKLIB"}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.number(Info::kLibraryId), kDiskLib);
  EXPECT_EQ(a.number(Info::kLibraryTypeId), 3);
  EXPECT_EQ(a.string(Info::kLibraryName), "DISKLIB");
}

// ---------------------------------------------------------------- operations

TEST_F(StorageLibrary, TheDeviceOperationsAreDispatchedToTheirOwnChecks) {
  // The same request reaches each operation's own first refusal, or its
  // success: create device needs a device name, drive maintenance an
  // option, and the vault lock finds mount path 40's device.
  struct Case {
    long long code;
    bool success;
    std::string text;
  };
  const Case cases[] = {{256, false, catalogueText(0x2300091B)},
                        {512, false, catalogueText(0x23000AB2)},
                        {4096, true, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const Answer a = call({{43, c.code}, {7, kMa2}, {1, kDiskLib}, {23, kMountPath}, {24, "/data/new"},
                           {53, kDevice}});
    if (c.success)
      EXPECT_TRUE(a.success) << a.xml;
    else
      expectRefused(a, c.text);
  }
}

TEST_F(StorageLibrary, ACodeWithoutAnOperationTakesTheMediaAgentLockAndAnswersSuccess) {
  const Answer a = call({{43, kNoOperation}, {7, kMa2}, {1, kDiskLib}, {3, "ma2"}, {24, "/mnt/disk1"}, {53, 9}});
  ASSERT_TRUE(a.success) << a.xml;
  EXPECT_EQ(a.number(Info::kLibraryId), kDiskLib);
  EXPECT_EQ(a.number(Info::kMediaAgentId), kMa2);
  EXPECT_EQ(a.string(Info::kMediaAgentName), "ma2");
  EXPECT_EQ(a.string(Info::kMountPathName), "/mnt/disk1");
  EXPECT_EQ(a.number(Info::kDeviceId), 9);
  EXPECT_EQ(a.string(Info::kSerialNumber), "");
  EXPECT_TRUE(a.has(Info::kResultCode));
}

// ---------------------------------------------------------------- locks

TEST_F(StorageLibrary, ASecondRequestOnOneMediaAgentIsRefused) {
  holdLock("MAID2");
  expectRefused(call({{43, kNoOperation}, {7, kMa2}}), catalogueText(0x230008B3));
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("MAID2"));
  // Another media agent is not held up.
  EXPECT_TRUE(call({{43, kNoOperation}, {7, kMa3}}).success);
}

TEST_F(StorageLibrary, ADeleteWhileTheLibraryLockIsHeldLeavesTheHoldersLock) {
  holdLock("LibID5");
  for (long long op : {2, 16, 1024, 8192}) {
    SCOPED_TRACE(op);
    expectRefused(call({{43, op}, {1, kDiskLib}, {7, kMa2}}), catalogueText(0x23000AC8));
    EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("LibID5"));
  }
  // A non-deleting operation on the same library uses the media agent's key.
  EXPECT_TRUE(call({{43, kNoOperation}, {1, kDiskLib}, {7, kMa2}}).success);
}

// ---------------------------------------------------------------- rights

TEST_F(StorageLibrary, VaultLockNeedsInstallationRightsAndTakesNoLock) {
  testkit::security::deny("canManageTarnkeep", kAlice, tksecurity::kAny, "not an administrator");
  holdLock("MAID2");  // would refuse any request that takes the lock
  expectRefused(call({{43, 4096}, {7, kMa2}}), catalogueText(0x240001EF, "not an administrator"));
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].condition, 12);
  EXPECT_EQ(alerts()[0].message, "not an administrator");

  testkit::security::reset();
  testkit::alerts::reset();
  const Answer a = call({{43, 4096}, {7, kMa2}});
  EXPECT_EQ(a.text, "Cannot find the vault, the mount path/device id may be wrong!");
  EXPECT_TRUE(testkit::security::journal().calls("canManageMediaAgent").empty());
  EXPECT_TRUE(alerts().empty());
}

TEST_F(StorageLibrary, TheSecondMediaAgentNeedsManagementRights) {
  testkit::security::deny("canManageMediaAgent", kAlice, kMa3, "no rights on ma3");
  expectRefused(call({{43, kNoOperation}, {7, kMa2}}, {{7, kMa3}}), catalogueText(0x240001EF, "no rights on ma3"));
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].condition, 12);
  EXPECT_EQ(alerts()[0].alertId, 1020);
}

TEST_F(StorageLibrary, AMediaAgentOperationIsAllowedByPermissionOnTheEntityToo) {
  testkit::security::deny("canManageMediaAgent", kAlice, kMa2, "no rights on ma2");
  EXPECT_TRUE(call({{43, kNoOperation}, {7, kMa2}}).success);
  testkit::security::deny("hasPermissionForUserOnEntity", kAlice, kMa2, "no permission on ma2");
  expectRefused(call({{43, kNoOperation}, {7, kMa2}}), catalogueText(0x240001EF, "no permission on ma2"));
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].message, "no permission on ma2");
}

TEST_F(StorageLibrary, ADeleteRefusedByRightsNamesTheUserInTwoTexts) {
  testkit::security::deny("canAdminLibrary", kAlice, kDiskLib, "not a library administrator");
  testkit::security::deny("canManageMediaAgent", kAlice, kMa2, "no rights on ma2");
  const std::string second = "  " + catalogueText(0x3F000353, kAliceLogin);
  expectRefused(call({{43, 2}, {1, kDiskLib}}), catalogueText(0x3E000BB6, kAliceLogin) + second);
  for (long long op : {16, 1024, 8192}) {
    SCOPED_TRACE(op);
    expectRefused(call({{43, op}, {1, kDiskLib}}), catalogueText(0x3E000BB7, kAliceLogin) + second);
  }
  const auto sent = alerts();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].condition, 12);
}

TEST_F(StorageLibrary, ADeleteIsAllowedByRightsOnEveryControllersMediaAgent) {
  testkit::security::deny("canAdminLibrary", kAlice, kDiskLib);
  const Answer a = call({{43, 2}, {1, kDiskLib}});
  EXPECT_TRUE(a.success) << a.xml;
  const auto asked = testkit::security::journal().calls("canManageMediaAgent");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].args[2], "2");
}

TEST_F(StorageLibrary, ALibraryWithoutControllersIsDeletableOnlyWithInstallationOrLibraryRights) {
  testkit::security::deny("canAdminLibrary", kAlice, kLonelyLib);
  testkit::security::deny("canManageTarnkeep", kAlice);
  expectRefused(call({{43, 2}, {1, kLonelyLib}}),
                catalogueText(0x3E000BB6, kAliceLogin) + "  " + catalogueText(0x3F000353, kAliceLogin));
  testkit::security::reset();
  testkit::security::deny("canAdminLibrary", kAlice, kLonelyLib);
  EXPECT_TRUE(call({{43, 2}, {1, kLonelyLib}}).success);
}

TEST_F(StorageLibrary, UnreadableControllersRefuseTheDelete) {
  testkit::security::deny("canAdminLibrary", kAlice, kDiskLib);
  testkit::mmdb::failNext("MMLibraryControllerDB::getListByLibraryId", 0x26000001, "disk on fire");
  expectRefused(call({{43, 16}, {1, kDiskLib}}), catalogueText(0x230008B4));
}

TEST_F(StorageLibrary, TheDeleteLockIsTestedBeforeRights) {
  holdLock("LibID5");
  testkit::security::deny("*", kAlice);
  expectRefused(call({{43, 2}, {1, kDiskLib}}), catalogueText(0x23000AC8));
  EXPECT_TRUE(testkit::security::journal().calls("canAdminLibrary").empty());
}

// ---------------------------------------------------------------- completion

TEST_F(StorageLibrary, AnAnswerThatCannotBeWrittenLeavesTheBufferEmpty) {
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 13, 494, 9);
  long long result = 0;
  auto message = record();
  std::string buffer = request({{43, kNoOperation}, {7, kMa2}});
  result = m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(buffer, "");
  testkit::xml::clearFailures();
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 13, 1, 9);
  buffer = "garbage";
  EXPECT_EQ(m_mgr.HandleMMConfigMgrXmlMsg(message.get(), 0, 0, 0, kMessageId, buffer), -1);
  EXPECT_EQ(buffer, "");
}

TEST_F(StorageLibrary, ProvisionedCloudStorageIsDeletedWhenTheRequestFails) {
  // The name is taken: the creation is refused after the provisioning.
  const Answer a = call({{43, 1}, {7, kMa2}, {8, "disklib"}, {42, 400}, {24, "/bucket"}});
  expectRefused(a, catalogueText(0x2400033D, "disklib"));
  EXPECT_EQ(testkit::cloud::journal().count("provisionStorage"), 1u);
  EXPECT_EQ(testkit::cloud::journal().count("deleteStorage"), 1u);
  EXPECT_TRUE(testkit::cloud::storages().empty());
}

}  // namespace
}  // namespace storagelibtest
