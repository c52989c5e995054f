// The device-path request through the XML dispatcher: the answers with their
// codes and texts, the controller rows, the storage-pool sharing and the
// audit records, and the proxy parts of a stored cloud user name.
#include <gtest/gtest.h>

#include <string>

#include "platform/mmdb/MMBaseDB.h"
#include "tests/ezconfig_devicepaths_request/DevicePathsFixture.h"

namespace dpreq {
namespace {

using tktest::catalogueText;



TEST(ProxyUserName, EachStoredFormSplitsIntoItsParts) {
  struct Case {
    const char* stored;
    const char* user;
    const char* host;
    int port;
    const char* proxyUser;
    const char* proxyPassword;
  };
  const Case cases[] = {
      {"plain", "plain", "", 0, "", ""},
      {"u!!h@p", "u", "h", 0, "p", ""},
      {"u!!h:8080@p", "u", "h", 8080, "p", ""},
      {"u!!h:8080@p:secret", "u", "h", 8080, "p", "secret"},
      {"u!!h@:x", "u", "h", 0, ":x", ""},
      {"u!!hostonly", "u", "", 0, "", ""},
      {"a!!b!!h@p", "a!!b", "h", 0, "p", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    std::string user = c.stored;
    std::string host = "x";
    std::string proxyUser = "x";
    std::string proxyPassword = "x";
    int port = 9;
    EvMMConfigMgr::GetProxyInfoFromUserName(user, host, port, proxyUser, proxyPassword);
    EXPECT_EQ(user, c.user);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
    EXPECT_EQ(proxyUser, c.proxyUser);
    EXPECT_EQ(proxyPassword, c.proxyPassword);
  }
}

TEST_F(DevicePathsTest, AddingAPathForASecondMediaAgentStoresItSharesTheAgentAndAuditsIt) {
  const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/data/ma12", .user = "u12", .password = "pw12"},
                                         {.clientId = 13, .folder = "/data/ma13", .access = 20}});
  ASSERT_TRUE(a.read) << a.xml;
  EXPECT_EQ(a.code, 0);
  EXPECT_EQ(a.text, "");
  EXPECT_EQ(a.result, 0);
  const auto rows = controllers();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2].substr(rows[2].find(' ')), " 12 70 4 /data/ma12 u12");
  EXPECT_EQ(rows[3].substr(rows[3].find(' ')), " 13 70 20 /data/ma13 ");
  // Passwords in controller rows are never plain.
  EXPECT_NE(passwordOf(12, 70), "pw12");
  EXPECT_EQ(decrypted(passwordOf(12, 70)), "pw12");
  const std::string info =
      "<ControllerInfo>\n<MAWithAccessType Id=\"12\" AccessType=\"4\" />\n"
      "<MAWithAccessType Id=\"13\" AccessType=\"20\" />\n</ControllerInfo>\n";
  const auto shares = testkit::archivemgr::shareCalls();
  ASSERT_EQ(shares.size(), 2u);
  for (const auto& s : shares) EXPECT_EQ(s.controllerInfo, info);
  int shareRecords = 0;
  for (const auto& r : testkit::audit::records()) shareRecords += r.operationId == 0x5400020E;
  EXPECT_EQ(shareRecords, 2);
}

TEST_F(DevicePathsTest, AnEmptyListAnswersNothingToApplyAndCallsNoService) {
  const Answer a = call(kDiskMountPath, {});
  EXPECT_EQ(a.code, -1);
  EXPECT_EQ(a.text, catalogueText(0x24000346));
  EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
}

TEST_F(DevicePathsTest, EachAbortAnswersItsCodeAndTextAndChangesNoController) {
  const std::string longText(1024, 'f');
  const std::string fits = "/" + std::string(1022, 'f');
  const std::string longPassword(1600, 'p');
  const std::string proxyUser = "u!!p@h:" + std::string(508, 'x');
  struct Case {
    const char* name;
    std::function<void()> setup;
    int mountPath;
    std::vector<Path> paths;
    long long code;
    std::string text;
  };
  std::vector<Case> cases = {
      {"folder over 1,023 bytes", {}, kDiskMountPath, {{.clientId = 12, .folder = longText.c_str()}}, -1,
       "The folder of the device path of media agent [12] is longer than 1023 bytes."},
      {"user name over 1,023 bytes", {}, kDiskMountPath,
       {{.clientId = 12, .folder = "/d", .user = longText.c_str()}}, -1,
       "The user name of the device path of media agent [12] is longer than 1023 bytes."},
      {"a proxy password too long for the rest of its user name", {}, kDiskMountPath,
       {{.clientId = 12, .folder = "/d", .user = proxyUser.c_str()}}, -1,
       "The proxy password of the user name is longer than 507 bytes."},
      {"password whose encrypted form is over 2,047 bytes", {}, kDiskMountPath,
       {{.clientId = 12, .folder = "/d", .password = longPassword.c_str()}}, -1,
       "The password is too long to be stored: a password of at most 1023 bytes fits."},
      {"two devices", {}, kDiskMountPath,
       {{.clientId = 12, .folder = "/d"}, {.clientId = 13, .deviceId = 80, .folder = "/e"}}, -1,
       "The device paths of one request must all lie on one device; devices [70] and [80] were named."},
      {"folder inside the installation directory", {}, kDiskMountPath, {{.clientId = 12, .folder = "/OPT/tk/x"}}, -1,
       catalogueText(0x2300093C)},
      {"installation directory unknown", [] { testkit::adapters::setInstallDirectory(12, ""); }, kDiskMountPath,
       {{.clientId = 12, .folder = "/d"}}, -1, catalogueText(0x2300093D)},
      {"data-server refusal",
       [] { testkit::db::overrideProcedure("MMDataServerIPControllerValidation", {{0x23000C69LL}}); },
       kDiskMountPath, {{.clientId = 12, .folder = "/d"}}, 1, catalogueText(0x23000C69)},
      {"data-server validation failure",
       [] { testkit::db::failProcedure("MMDataServerIPControllerValidation", 50001, "down"); }, kDiskMountPath,
       {{.operation = 3, .clientId = 11, .controllerId = 501}}, -1, catalogueText(0x230001E3)},
      {"library of the mount path unknown", {}, 999, {{.clientId = 12, .folder = "/d"}}, -1,
       catalogueText(0x230001E3)},
      {"mount path unreadable", [] { testkit::mmdb::failNext("MMMountPathDB::getInfo", -1, "gone", 0); },
       kDiskMountPath, {{.clientId = 12, .folder = "/d"}}, -1, catalogueText(0x230001E3)},
      {"stored controller unknown", {}, kDiskMountPath,
       {{.operation = 2, .clientId = 11, .controllerId = 999, .folder = "/d"}}, -1,
       "The device path [999] of media agent [11] could not be read."},
      {"no drive pool for the agent", [this] { m_db.exec("DELETE FROM MMDrivePool"); }, kDiskMountPath,
       {{.operation = 2, .clientId = 11, .controllerId = 501, .folder = "/direct70"}}, -1,
       "The drive pool of media agent [11] for mount path [" + std::to_string(kDiskMountPath) +
           "] could not be read."},
      {"best-fit transport failure",
       [] { testkit::db::failProcedure("MMGetBestFitTransportTypeForGivenMountPath", 50001, "down"); },
       kDiskMountPath, {{.clientId = 12, .folder = "/d", .autoPick = 1}}, -1, catalogueText(0x230001E3)},
      {"cloud sharing-controller failure",
       [] { testkit::db::failProcedure("MMGetDeviceControllerForSharingCloud", 50001, "down"); }, kCloudMountPath,
       {{.clientId = 13, .deviceId = 80, .folder = "b"}}, -1, catalogueText(0x230001E3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshStandIns();
    if (c.setup) c.setup();
    const auto before = controllers();
    const Answer a = call(c.mountPath, c.paths);
    ASSERT_TRUE(a.read) << a.xml;
    EXPECT_EQ(a.code, c.code);
    EXPECT_EQ(a.text, c.text);
    EXPECT_EQ(controllers(), before);
    EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
    EXPECT_TRUE(testkit::archivemgr::shareCalls().empty());
    testkit::db::clearProcedureOverrides();
  }
  // Exactly 1,023 bytes fit.
  freshStandIns();
  EXPECT_EQ(call(kDiskMountPath, {{.clientId = 12, .folder = fits.c_str()}}).code, 0);
}

TEST_F(DevicePathsTest, ARequestThatDoesNotReadIsRefusedAsUnreadable) {
  const Answer a = callText("<EVGui_MMDevicePathInfoReq i2=\"100\"><broken");
  EXPECT_EQ(a.code, -1);
  EXPECT_EQ(a.text, catalogueText(0x23000452));
}

TEST_F(DevicePathsTest, AChangeReadsTheStoredStateAndRunsTheGuardOnlyWhenTheFolderBytesDiffer) {
  struct Case {
    const char* folder;
    bool guard;
  };
  for (const Case c : {Case{"/direct70", false}, Case{"/DIRECT70", true}, Case{"/new70", true}}) {
    SCOPED_TRACE(c.folder);
    freshStandIns();
    testkit::db::journal().reset();
    const Answer a = call(kDiskMountPath, {{.operation = 2, .clientId = 11, .controllerId = 501, .folder = c.folder,
                                            .user = "u11", .drives = 1200}});
    EXPECT_EQ(a.code, 0) << a.text;
    EXPECT_EQ(testkit::adapters::journal().calls("getPlatformInfo").empty(), !c.guard);
    bool poolQuery = false;
    for (const auto& call : testkit::db::journal().calls("sql")) {
      for (const auto& arg : call.args)
        poolQuery = poolQuery || arg.find("MasterPoolid = (\tSELECT DISTINCT MP.MasterPoolId") != std::string::npos;
    }
    EXPECT_TRUE(poolQuery);
    // Unchanged password: the stored one stays.
    EXPECT_EQ(decrypted(passwordOf(11, 70)), "pw11");
    const auto records = testkit::audit::records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().operationId, 0x540000B9);
    bool drives = false;
    for (const auto& p : records.back().params) drives = drives || p.messageId == 0x550004A4;
    EXPECT_TRUE(drives);
  }
}

TEST_F(DevicePathsTest, TheInstallationDirectoryHoldsItsFoldersWhateverItsSeparator) {
  struct Case {
    const char* directory;
    const char* folder;
    bool refused;
  };
  const Case cases[] = {
      {"/opt/tk/", "/opt/tk/x", true},   {"/opt/tk", "/OPT/TK/y", true},    {"/opt/tk", "/opt/tkOld", false},
      {"c:\\install", "C:\\Install\\X", true}, {"c:\\install", "c:\\install", true},
      {"c:\\install", "C:\\InstallOld", false}, {"install", "installOld", true}, {"install", "other", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.directory) + " / " + c.folder);
    freshStandIns();
    testkit::adapters::setInstallDirectory(13, c.directory);
    const auto before = controllers();
    const Answer a = call(kDiskMountPath, {{.clientId = 13, .folder = c.folder}});
    EXPECT_EQ(a.code, c.refused ? -1 : 0) << a.text;
    if (c.refused) {
      EXPECT_EQ(a.text, catalogueText(0x2300093C));
    } else {
      m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 13");
    }
  }
}

TEST_F(DevicePathsTest, AutomaticTransportTakesWhatTheBestFitOffers) {
  const std::string stored = encrypted("auto-pw");
  {
    SCOPED_TRACE("a row with user and password");
    testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {{8LL, "/auto", "au", stored, 0LL}});
    const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/mine", .access = 4, .autoPick = 1}});
    EXPECT_EQ(a.code, 0) << a.text;
    EXPECT_EQ(controllers().back().substr(4), "12 70 12 /auto au");
    EXPECT_EQ(decrypted(passwordOf(12, 70)), "auto-pw");
    m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 12 AND DeviceId = 70");
  }
  {
    SCOPED_TRACE("a row with a credential");
    freshStandIns();
    testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {{0LL, "/cred", "cu", "", 4LL}});
    const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/mine", .user = "mu", .autoPick = 1}});
    EXPECT_EQ(a.code, 0) << a.text;
    EXPECT_EQ(controllers().back().substr(4), "12 70 4 /cred mu");
    m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 12 AND DeviceId = 70");
  }
  {
    SCOPED_TRACE("no row");
    freshStandIns();
    testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath", {});
    const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/mine", .autoPick = 1}});
    EXPECT_EQ(a.code, 0) << a.text;
    EXPECT_EQ(controllers().back().substr(4), "12 70 4 /mine ");
    m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 12 AND DeviceId = 70");
  }
  {
    SCOPED_TRACE("a password that does not decrypt");
    freshStandIns();
    testkit::db::overrideProcedure("MMGetBestFitTransportTypeForGivenMountPath",
                                   {{0LL, "/auto", "au", "not-encrypted", 0LL}});
    const auto before = controllers();
    const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/mine", .autoPick = 1}});
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(a.text, "The password of the device path picked for media agent [12] could not be read.");
    EXPECT_EQ(controllers(), before);
  }
}

TEST_F(DevicePathsTest, ACloudAdditionTakesTheSharingControllersCredentials) {
  const Answer a = call(kCloudMountPath, {{.clientId = 13, .deviceId = 80, .folder = "mine", .user = "mine"}});
  EXPECT_EQ(a.code, 0) << a.text;
  EXPECT_EQ(decrypted(passwordOf(13, 80)), "secret");
  EXPECT_EQ(userOf(601), userOf(602));
}

TEST_F(DevicePathsTest, ACloudChangeKeepsReplacesOrLeavesOutTheProxyPassword) {
  const std::string kept = "k!!proxy.example:3128@puser:" + encrypted("ppw");
  struct Case {
    const char* name;
    const char* user;
    const char* proxyPassword;
    std::string expectedPrefix;
    const char* newProxyPassword;  // null: the stored one or none
  };
  const Case cases[] = {
      {"kept", "k!!proxy.example:3128@puser", nullptr, kept, nullptr},
      {"replaced", "k!!proxy.example:3128@puser", "fresh", "k!!proxy.example:3128@puser:", "fresh"},
      {"no proxy", "plainkey", nullptr, "plainkey", nullptr},
      // A name with its own proxy password: the stored one is not appended
      // behind it, and the entry's replaces it.
      {"its own", "k!!proxy.example:3128@puser:own-9", nullptr, "k!!proxy.example:3128@puser:", "own-9"},
      {"its own replaced", "k!!proxy.example:3128@puser:own-9", "fresh", "k!!proxy.example:3128@puser:", "fresh"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshStandIns();
    const Answer a = call(kCloudMountPath, {{.operation = 2, .clientId = 12, .deviceId = 80, .controllerId = 601,
                                             .folder = "bucket", .user = c.user, .proxyPassword = c.proxyPassword}});
    EXPECT_EQ(a.code, 0) << a.text;
    const std::string user = userOf(601);
    if (c.newProxyPassword == nullptr) {
      EXPECT_EQ(user, c.expectedPrefix);
    } else {
      ASSERT_EQ(user.compare(0, c.expectedPrefix.size(), c.expectedPrefix), 0) << user;
      EXPECT_EQ(decrypted(user.substr(c.expectedPrefix.size())), c.newProxyPassword);
    }
  }
}

TEST_F(DevicePathsTest, ARefusedEntryAmongAcceptedOnesLeavesNothingBehind) {
  testkit::security::deny("canAdminLibrary", kUser, 5, "no rights on disk-lib");
  m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', '1')");
  testkit::security::deny("canManageMediaAgent", kUser, 13, "no rights on ma13");
  const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/d12"}, {.clientId = 13, .folder = "/d13"}});
  EXPECT_EQ(a.code, 0) << a.text;
  EXPECT_EQ(passwordOf(13, 70), "<none>");
  EXPECT_NE(passwordOf(12, 70), "<none>");
  const auto shares = testkit::archivemgr::shareCalls();
  ASSERT_EQ(shares.size(), 1u);
  EXPECT_EQ(shares[0].controllerInfo,
            "<ControllerInfo>\n<MAWithAccessType Id=\"12\" AccessType=\"4\" />\n</ControllerInfo>\n");
  const auto records = testkit::audit::records();
  int share = 0;
  for (const auto& r : records) share += r.operationId == 0x5400020E;
  EXPECT_EQ(share, 1);
}

TEST_F(DevicePathsTest, AllEntriesRefusedAnswerTheLastRefusal) {
  testkit::security::deny("canAdminLibrary", kUser, 5, "no rights on disk-lib");
  const auto before = controllers();
  const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/d12"}, {.clientId = 13, .folder = "/d13"}});
  EXPECT_EQ(a.code, -1);
  EXPECT_EQ(a.text, "no rights on disk-lib");
  EXPECT_EQ(controllers(), before);
  EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
}

TEST_F(DevicePathsTest, ARefusalAtTheStartAnswersTheRightsText) {
  testkit::security::deny("canManageTarnkeep", kUser, testkit::security::kAny, "not an administrator");
  const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/d12"}});
  EXPECT_EQ(a.code, -1);
  EXPECT_EQ(a.text, catalogueText(0x240001EF, "not an administrator"));
}

TEST_F(DevicePathsTest, AFailedListUpdateAnswersTheServicesTextOrTheGeneralOne) {
  {
    SCOPED_TRACE("a code with a text");
    testkit::mmdb::failNext("ZQMMDeviceInfo::configDeviceControllerList", 0x1234, "x");
    const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/d12"}});
    char text[1025] = {};
    ErrorTrans::getErrorString(0x1234, text, sizeof text, 0);
    EXPECT_EQ(a.code, 0x1234);
    EXPECT_EQ(a.text, text[0] != '\0' ? std::string(text) : catalogueText(0x240001BE));
    EXPECT_TRUE(testkit::archivemgr::shareCalls().empty());
    EXPECT_TRUE(testkit::audit::records().empty());
  }
}

TEST_F(DevicePathsTest, AFailedSharingKeepsTheUpdateAndWritesNoAudit) {
  for (int code : {0x4321, 0}) {
    SCOPED_TRACE(code);
    freshStandIns();
    m_db.exec("DELETE FROM MMDeviceController WHERE ClientId = 12 AND DeviceId = 70");
    testkit::archivemgr::failNextShare(code, "no storage pool");
    const Answer a = call(kDiskMountPath, {{.clientId = 12, .folder = "/d12"}});
    EXPECT_EQ(a.code, code != 0 ? code : -1);
    EXPECT_EQ(a.text, catalogueText(0x240001BE));
    EXPECT_NE(passwordOf(12, 70), "<none>");
    EXPECT_TRUE(testkit::audit::records().empty());
  }
}

TEST_F(DevicePathsTest, ARemovalDeletesTheControllerAndRecordsTheUnshare) {
  const Answer a = call(kDiskMountPath, {{.operation = 3, .clientId = 11, .controllerId = 501, .access = 4}});
  EXPECT_EQ(a.code, 0) << a.text;
  EXPECT_EQ(passwordOf(11, 70), "<none>");
  EXPECT_TRUE(testkit::adapters::journal().calls("getPlatformInfo").empty());
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x5400020D);
}

}  // namespace
}  // namespace dpreq

namespace dpreq {
namespace {

TEST_F(DevicePathsTest, TheDispatcherHandsTheDevicePathIdToTheHandlerAndAnEmptyTextIsUnreadable) {
  const Answer a = callText("");
  ASSERT_TRUE(a.read) << a.xml;
  EXPECT_EQ(a.code, -1);
  EXPECT_EQ(a.text, tktest::catalogueText(0x23000452));
}

// The device and the device paths an entry names must be those of the
// request's mount path (of disk library 5): the cloud library's device 80
// and its controller 601 are refused, naming both, and nothing is sent.
TEST_F(DevicePathsTest, AnotherMountPathsDeviceOrDevicePathIsRefusedNamingBoth) {
  struct Case {
    const char* name;
    Path path;
    std::string text;
  };
  const Case cases[] = {
      {"add on another device", {.clientId = 13, .deviceId = kCloudDevice, .folder = "/d"},
       catalogueText(0x23000DA2, "80", "100")},
      {"remove another device's path", {.operation = 3, .clientId = 12, .controllerId = 601},
       catalogueText(0x23000DA3, "601", "100")},
      {"change another device's path", {.operation = 2, .clientId = 12, .controllerId = 601, .folder = "/d"},
       catalogueText(0x23000DA3, "601", "100")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshStandIns();
    testkit::audit::reset();
    const auto before = controllers();
    const Answer a = call(kDiskMountPath, {c.path});
    ASSERT_TRUE(a.read) << a.xml;
    EXPECT_EQ(a.code, -1);
    EXPECT_EQ(a.text, c.text);
    EXPECT_EQ(controllers(), before);
    EXPECT_TRUE(testkit::mmdb::calls("ZQMMDeviceInfo::configDeviceControllerList").empty());
    EXPECT_TRUE(testkit::audit::records().empty());
  }
  // The mount path's own device path is still removed.
  tktest::addDevicePath(m_db, {502, 12, kDiskDevice, 4, "/d12"});
  const Answer own = call(kDiskMountPath, {{.operation = 3, .clientId = 12, .controllerId = 502}});
  EXPECT_EQ(own.code, 0) << own.xml;
}

}  // namespace
}  // namespace dpreq
