// The preparation shared by the storage-library operations: the mount path
// found by name, the device found by alias, the installation-directory
// guard, the media agent's version for cloud storage, the credentials and
// their limits, and what provisioning reads back into the request; and the
// completion that answers for every operation.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ezconfig/InstallDirectoryGuard.h"
#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/ZQPassword.h"
#include "platform/mmdb/MMBaseDB.h"
#include "tests/ezconfig_storagelib/StorageLibFixture.h"

namespace storagelibtest {
namespace {

using tktest::catalogueText;
using tkezconfig::StorageLibraryRequest;

class Prepare : public StorageLibTest {
 protected:
  // A working record read from the descriptions, with the values admission
  // would have read.
  StorageLibraryRequest& work(const Fields& library, const Fields& second = {}) {
    m_record = record();
    m_work = std::make_unique<StorageLibraryRequest>(*m_record);
    EXPECT_EQ(m_work->request.unserialize(request(library, second)), 0);
    StorageLibraryRequest& w = *m_work;
    w.library = &w.request.getObjectAccessor(true, true, Req::kLibrary.ordinal, Req::kLibrary.tag, Req::kClassHash,
                                             Req::kLibrary.hash, Req::kLibrary.ns, Req::kLibrary.cls);
    w.second = &w.request.getObjectAccessor(true, true, Req::kSecond.ordinal, Req::kSecond.tag, Req::kClassHash,
                                            Req::kSecond.hash, Req::kSecond.ns, Req::kSecond.cls);
    auto number = [&](const tkxml::FieldDef& f) {
      return static_cast<int>(w.library->getint64(f.tag, Info::kClassHash, f.hash));
    };
    w.operation = w.library->getint64(Info::kOperation.tag, Info::kClassHash, Info::kOperation.hash);
    w.libraryId = number(Info::kLibraryId);
    w.mediaAgentId = number(Info::kMediaAgentId);
    w.mountPathId = number(Info::kMountPathId);
    w.secondMediaAgentId =
        static_cast<int>(w.second->getint64(Info::kMediaAgentId.tag, Info::kClassHash, Info::kMediaAgentId.hash));
    w.mountPathName = w.library->getstring(Info::kMountPathName.ordinal, Info::kMountPathName.tag, Info::kClassHash,
                                           Info::kMountPathName.hash);
    return w;
  }
  bool prepare(StorageLibraryRequest& w) { return m_mgr.StorageLibPrepare(w); }
  static void expectFailed(const StorageLibraryRequest& w, const std::string& text) {
    EXPECT_EQ(w.code, -1);
    EXPECT_EQ(w.text, text);
  }

  std::unique_ptr<MessageInfo> m_record;
  std::unique_ptr<StorageLibraryRequest> m_work;
};

// ---------------------------------------------------------------- the model

TEST_F(Prepare, AModelThatCannotBeInitialisedAnswersItsLastError) {
  testkit::mac::failNext("Initialize", 7, "the model is broken");
  StorageLibraryRequest& w = work({{43, 3}, {7, kMa2}});
  EXPECT_FALSE(prepare(w));
  expectFailed(w, "the model is broken");
  // A model that gives no reason.
  testkit::mac::failNext("Initialize", 7, "");
  StorageLibraryRequest& again = work({{43, 3}, {7, kMa2}});
  EXPECT_FALSE(prepare(again));
  expectFailed(again, "Failed to initialize the media configuration");
}

// ---------------------------------------------------------------- mount path and device

TEST_F(Prepare, AMountPathIsFoundByNameAloneOrWithItsBaseFolder) {
  struct Case {
    const char* name;
    Fields fields;
    bool found;
  };
  const Case cases[] = {
      {"name alone, other case", {{43, 16}, {1, kDiskLib}, {7, kMa2}, {24, "/MNT/Disk1"}}, true},
      {"name and base folder", {{43, 16}, {1, kDiskLib}, {7, kMa2}, {24, "/mnt/disk1"}, {60, "BASE1"}}, true},
      {"name and another folder", {{43, 16}, {1, kDiskLib}, {7, kMa2}, {24, "/mnt/disk1"}, {60, "base2"}}, false},
      {"another name", {{43, 8}, {1, kDiskLib}, {7, kMa2}, {24, "/mnt/disk2"}}, false},
      {"media agent without a path", {{43, 128}, {1, kDiskLib}, {7, kMa3}, {24, "/mnt/disk1"}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StorageLibraryRequest& w = work(c.fields);
    EXPECT_EQ(prepare(w), c.found);
    if (c.found) {
      EXPECT_EQ(w.mountPathId, kMountPath);
      EXPECT_EQ(w.mountPathType, 1);
    } else {
      expectFailed(w, catalogueText(0x230008B2));
    }
  }
}

TEST_F(Prepare, AMountPathIdInTheRequestSkipsTheLookup) {
  StorageLibraryRequest& w = work({{43, 16}, {1, kDiskLib}, {7, kMa2}, {23, 99}, {24, "/nowhere"}});
  EXPECT_TRUE(prepare(w));
  EXPECT_EQ(w.mountPathId, 99);
  EXPECT_EQ(w.mountPathType, 0);
}

TEST_F(Prepare, SharingIsRefusedWhenTheMediaAgentHasAPathOrTheQueryFails) {
  StorageLibraryRequest& shared = work({{43, 64}, {1, kDiskLib}, {7, kMa2}, {23, kMountPath}}, {{7, kMa2}});
  EXPECT_FALSE(prepare(shared));
  expectFailed(shared, catalogueText(0x23000950));

  StorageLibraryRequest& fresh = work({{43, 64}, {1, kDiskLib}, {7, kMa2}, {23, kMountPath}}, {{7, kMa3}});
  EXPECT_TRUE(prepare(fresh));

  testkit::db::journal().injectFailure("getOneRow", 5, "database is locked");
  StorageLibraryRequest& failed = work({{43, 64}, {1, kDiskLib}, {7, kMa2}, {23, kMountPath}}, {{7, kMa3}});
  EXPECT_FALSE(prepare(failed));
  expectFailed(failed, catalogueText(0x23000950));
}

TEST_F(Prepare, ADeviceNamedByAliasGivesItsIdAndType) {
  StorageLibraryRequest& w = work({{43, 3}, {7, kMa2}, {55, "DEV60"}});
  EXPECT_TRUE(prepare(w));
  EXPECT_EQ(w.deviceId, kDevice);
  EXPECT_EQ(w.storageVendorType, 1);

  StorageLibraryRequest& unknown = work({{43, 3}, {7, kMa2}, {55, "nosuch"}});
  EXPECT_FALSE(prepare(unknown));
  expectFailed(unknown, catalogueText(0x23000916));
  // Create device makes the device it names.
  EXPECT_TRUE(prepare(work({{43, 256}, {7, kMa2}, {55, "nosuch"}})));
}

// ---------------------------------------------------------------- installation directory

TEST(InstallDirectory, AFolderInsideTheDirectoryIsFoundWhateverItsCase) {
  struct Case {
    const char* directory;
    const char* folder;
    bool inside;
  };
  const Case cases[] = {
      {"/opt/x", "/OPT/X", true},
      {"/opt/x", "/opt/x/data", true},
      {"/opt/x", "/opt/xy", false},
      {"/opt/x/", "/opt/xy", false},
      {"/opt/x", "/srv/opt/x", false},
      {"C:\\Install", "c:\\install\\x", true},
      {"c:\\install", "C:\\Install", true},
      {"c:\\install", "C:\\InstallOld", false},
      {"/opt/\xC3\x89t\xC3\xA9", "/opt/\xC3\x89t\xC3\xA9/data", true},
      {"/opt/\xC3\x89", "/opt/\xC3\xA9", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.directory) + " " + c.folder);
    EXPECT_EQ(tkezconfig::isInsideInstallDirectory(c.directory, c.folder), c.inside);
  }
}

TEST_F(Prepare, TheGuardRefusesAnUnknownOrEmptyDirectoryAndAFolderInsideIt) {
  StorageLibraryRequest& inside = work({{43, 1}, {7, kMa2}, {24, "/OPT/Tarnkeep/data"}});
  EXPECT_FALSE(prepare(inside));
  expectFailed(inside, catalogueText(0x2300093C));

  testkit::adapters::journal().injectFailure("getPlatformInfo", -1, "lookup failed");
  StorageLibraryRequest& unknown = work({{43, 4}, {7, kMa2}, {24, "/data"}});
  EXPECT_FALSE(prepare(unknown));
  expectFailed(unknown, catalogueText(0x2300093D));

  testkit::adapters::setInstallDirectory(kMa2, "");
  StorageLibraryRequest& empty = work({{43, 1}, {7, kMa2}, {24, "/data"}});
  EXPECT_FALSE(prepare(empty));
  expectFailed(empty, catalogueText(0x2300093D));

  // Adding a shared mount path skips the guard.
  EXPECT_TRUE(prepare(work({{43, 16384}, {7, kMa2}, {24, "/opt/tarnkeep"}})));
  const auto asked = testkit::adapters::journal().calls("getPlatformInfo");
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0].args[0], "2");
  EXPECT_EQ(asked[0].args[1], "2");
}

// ---------------------------------------------------------------- cloud storage

TEST_F(Prepare, CloudStorageNeedsRelease16ServicePack20OrLater) {
  struct Case {
    int release;
    int servicePack;
    bool qualifies;
  };
  for (const Case& c : {Case{16, 19, false}, Case{16, 20, true}, Case{17, 0, true}, Case{15, 99, false}}) {
    SCOPED_TRACE(std::to_string(c.release) + "." + std::to_string(c.servicePack));
    ASSERT_EQ(m_db.exec("UPDATE APP_Client SET releaseId = ?, servicePack = ? WHERE id = ?",
                        {c.release, c.servicePack, kMa2}),
              0);
    StorageLibraryRequest& w = work({{43, 1}, {7, kMa2}, {24, "/bucket"}, {42, 400}});
    EXPECT_EQ(prepare(w), c.qualifies);
    if (!c.qualifies) expectFailed(w, catalogueText(0x3E000457));
  }
}

TEST_F(Prepare, AMediaAgentWhoseVersionCannotBeReadIsRefusedWithTheErrorText) {
  StorageLibraryRequest& w = work({{43, 4}, {7, 77}, {24, "/bucket"}, {42, 400}});
  testkit::adapters::setInstallDirectory(77, "/opt/tarnkeep");
  EXPECT_FALSE(prepare(w));
  char text[1025];
  MMS2BaseError::getErrorStringForCode(0x26000002, text, sizeof text, 0);
  expectFailed(w, text);
  EXPECT_TRUE(testkit::cloud::journal().calls("provisionStorage").empty());
}

TEST_F(Prepare, ProvisioningReadsTheStorageBackIntoTheRequest) {
  testkit::cloud::WriteBack back;
  back.name = "bucket-7";
  back.userName = "svc-user";
  back.credentialId = 44;
  testkit::cloud::scriptWriteBack(back);
  StorageLibraryRequest& w = work({{43, 1}, {7, kMa2}, {24, "/bucket"}, {28, "owner"}, {42, 400}});
  ASSERT_TRUE(prepare(w)) << w.text;

  const auto provisioned = testkit::cloud::journal().calls("provisionStorage");
  ASSERT_EQ(provisioned.size(), 1u);
  EXPECT_EQ(provisioned[0].args, (std::vector<std::string>{"", "400", "owner", "0"}));
  EXPECT_EQ(w.provisionedStorageType, 400);
  EXPECT_EQ(w.storageVendorType, 400);
  EXPECT_EQ(w.userName, "svc-user");
  EXPECT_EQ(w.mountPathName, "bucket-7");
  const CNMessageBase& library = *w.library;
  EXPECT_EQ(library.getint64(Info::kStorageVendorType.tag, Info::kClassHash, Info::kStorageVendorType.hash), 400);
  EXPECT_EQ(library.getstring(Info::kMountPathName.ordinal, Info::kMountPathName.tag, Info::kClassHash,
                              Info::kMountPathName.hash),
            "bucket-7");
  const CNMessageBase& credential =
      w.library->getObjectAccessor(true, false, Info::kCredential.ordinal, Info::kCredential.tag, Info::kClassHash,
                                   Info::kCredential.hash, Info::kCredential.ns, Info::kCredential.cls);
  using Credential = ZqEntities::CredentialEntity;
  EXPECT_EQ(credential.getint64(Credential::kId.tag, Credential::kClassHash, Credential::kId.hash), 44);
  EXPECT_EQ(testkit::cloud::storages().size(), 1u);
}

TEST_F(Prepare, AFailedProvisioningAnswersTheServicesText) {
  testkit::cloud::journal().injectFailure("provisionStorage", 0x7001, "quota exceeded");
  StorageLibraryRequest& w = work({{43, 4}, {7, kMa2}, {24, "/bucket"}, {42, 400}});
  EXPECT_FALSE(prepare(w));
  char text[1024];
  ArchBaseError::getEventText(0x7001, text, sizeof text, 0);
  expectFailed(w, text);
  EXPECT_EQ(w.provisionedStorageType, 0);
  EXPECT_TRUE(testkit::cloud::storages().empty());
}

// ---------------------------------------------------------------- credentials

TEST_F(Prepare, TheProxyPasswordIsAppendedEncryptedAndThePasswordIsPlainOnlyForCreate) {
  StorageLibraryRequest& create = work({{43, 1}, {7, kMa2}, {24, "/data"}, {28, "user"}, {32, "secret"}, {33, "px"}});
  ASSERT_TRUE(prepare(create)) << create.text;
  char proxy[2048];
  int length = sizeof proxy;
  ASSERT_EQ(ZQPassword::encrypt("px", proxy, &length), 0);
  EXPECT_EQ(create.userName, std::string("user") + proxy);
  EXPECT_EQ(create.password, "secret");

  StorageLibraryRequest& other = work({{43, 3}, {7, kMa2}, {32, "secret"}});
  ASSERT_TRUE(prepare(other));
  char plain[1024];
  length = sizeof plain;
  ASSERT_EQ(ZQPassword::decrypt(other.password.c_str(), plain, &length), 0);
  EXPECT_EQ(std::string(plain), "secret");
  EXPECT_NE(other.password, "secret");
}

TEST_F(Prepare, CredentialsThatDoNotFitTheirBuffersAreRefusedBeforeAnyChange) {
  const std::string longName(2040, 'u');
  StorageLibraryRequest& name = work({{43, 4}, {7, kMa2}, {24, "/data"}, {28, longName}, {33, "proxy-password"}, {42, 400}});
  EXPECT_FALSE(prepare(name));
  expectFailed(name, "The user name is longer than 1023 bytes.");

  StorageLibraryRequest& password = work({{43, 3}, {7, kMa2}}, {{32, std::string(900, 'p')}});
  EXPECT_FALSE(prepare(password));
  expectFailed(password, "The password is too long to be stored: a password of at most 511 bytes fits.");
  // Nothing was provisioned.
  EXPECT_TRUE(testkit::cloud::journal().calls("provisionStorage").empty());
  // A password that cannot be encrypted is refused as well.
  testkit::security::journal().injectFailure("encrypt", -1, "cipher unavailable");
  StorageLibraryRequest& failed = work({{43, 3}, {7, kMa2}, {32, "pw"}});
  EXPECT_FALSE(prepare(failed));
  expectFailed(failed, "The password could not be encrypted.");
  // A name that fits exactly is taken.
  EXPECT_TRUE(prepare(work({{43, 3}, {7, kMa2}, {28, std::string(1023, 'u')}})));
}

// ---------------------------------------------------------------- completion

using tkezconfig::StorageLibOutcome;
using tkezconfig::StorageLibResult;

TEST_F(Prepare, AFailureThatCarriesCodeZeroIsAnsweredAsAFailure) {
  StorageLibraryRequest& w = work({{43, 32}, {7, kMa2}});
  std::string xml;
  tkezconfig::completeStorageLibRequest(w, StorageLibResult{StorageLibOutcome::kFailure, false}, xml);
  const Answer a = decode(xml);
  expectRefused(a, "The storage library operation failed.");
  // An operation's own non-zero code is kept.
  StorageLibraryRequest& own = work({{43, 32}, {7, kMa2}});
  own.fail("refused by the service", 0x1234);
  tkezconfig::completeStorageLibRequest(own, StorageLibResult{StorageLibOutcome::kFailure, false}, xml);
  EXPECT_EQ(decode(xml).code, 0x1234);
  EXPECT_EQ(decode(xml).text, "refused by the service");
}

TEST_F(Prepare, CloudStorageThatACreatedLibraryUsesIsKeptWhenTheRequestFailsLater) {
  for (const bool created : {false, true}) {
    SCOPED_TRACE(created);
    testkit::cloud::reset();
    StorageLibraryRequest& w = work({{43, 1}, {7, kMa2}, {24, "/bucket"}, {42, 400}});
    ASSERT_TRUE(prepare(w)) << w.text;
    w.fail("the audit failed");
    std::string xml;
    tkezconfig::completeStorageLibRequest(w, StorageLibResult{StorageLibOutcome::kFailure, created}, xml);
    expectRefused(decode(xml), "the audit failed");
    EXPECT_EQ(testkit::cloud::storages().size(), created ? 1u : 0u);
    EXPECT_EQ(testkit::cloud::journal().count("deleteStorage"), created ? 0u : 1u);
  }
}

TEST_F(Prepare, ASuccessfulForceDeleteAnswersAnEmptySuccessResponse) {
  StorageLibraryRequest& w = work({{43, 8192}, {1, kDiskLib}, {8, "disklib"}});
  std::string xml;
  tkezconfig::completeStorageLibRequest(w, StorageLibResult{StorageLibOutcome::kForceDeleteSuccess, false}, xml);
  EXPECT_EQ(xml, "<EVGui_ConfigureStorageLibraryResp/>");
  StorageLibraryRequest& done = work({{43, 32}, {1, kDiskLib}, {8, "disklib"}, {44, "ab12"}});
  done.libraryId = kDiskLib;
  done.libraryName = "disklib";
  done.serialNumber = "AB12";
  tkezconfig::completeStorageLibRequest(done, StorageLibResult{StorageLibOutcome::kSuccess, false}, xml);
  const Answer a = decode(xml);
  ASSERT_TRUE(a.success) << xml;
  EXPECT_EQ(a.number(Info::kLibraryId), kDiskLib);
  EXPECT_EQ(a.string(Info::kSerialNumber), "AB12");
}

}  // namespace
}  // namespace storagelibtest
