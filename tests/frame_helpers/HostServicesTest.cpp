// Host services, adapters, debug-log instances, the mount service and the
// socket inlines.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/AppAdapters.h"
#include "frame/CWySocket.h"
#include "frame/EvDebugFileInstance.h"
#include "frame/EvExternal.h"
#include "platform/external/Cipher.h"
#include "platform/mountd/ZqMountd.h"
#include "platform/testkit/adapters.h"
#include "platform/testkit/debugfile.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mountd.h"

namespace {

class HostServices : public ::testing::Test {
 protected:
  void SetUp() override { testkit::external::reset(); }
  void TearDown() override { testkit::external::reset(); }
};

TEST_F(HostServices, LoginNameOfAUser) {
  testkit::external::setUserLogin(7, "alice");
  EvExternal ext(0);
  char login[1025];
  std::memset(login, 0, sizeof login);
  EXPECT_EQ(ext.getUserLogin(7, login, nullptr, nullptr), 0);
  EXPECT_STREQ(login, "alice");
  EXPECT_NE(ext.getUserLogin(8, login, nullptr, nullptr), 0);
  EXPECT_STREQ(login, "");

  testkit::external::setUserLogin(9, std::string(2000, 'n'));  // does not fit: refused, not cut
  EXPECT_NE(ext.getUserLogin(9, login, nullptr, nullptr), 0);
  EXPECT_STREQ(login, "");
  int size = 4;
  char small[4];
  testkit::external::setUserLogin(10, "bob");
  EXPECT_EQ(ext.getUserLogin(10, small, &size, nullptr), 0);
  EXPECT_STREQ(small, "bob");
  EXPECT_EQ(size, 3);
}

TEST_F(HostServices, DecryptionModes) {
  EvExternal ext(0);
  const std::string user = tkcipher::encrypt("DOMAIN\\admin");
  std::string text;
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, user.data(), static_cast<int>(user.size()), 3, text, nullptr,
                                         nullptr, nullptr),
            1);
  EXPECT_EQ(text, "DOMAIN\\admin");
  text.clear();
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, user.data(), static_cast<int>(user.size()), 2, text, nullptr,
                                         nullptr, nullptr),
            1);
  EXPECT_EQ(text, "DOMAIN\\admin");

  const std::string password = tkcipher::encrypt("s3cret");
  char buffer[4104];
  std::memset(buffer, 'x', sizeof buffer);
  int size = sizeof buffer;
  std::string scratch;
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, password.data(), static_cast<int>(password.size()), 1, scratch,
                                         nullptr, &size, buffer),
            1);
  EXPECT_STREQ(buffer, "s3cret");
  EXPECT_EQ(size, 6);

  // Failures: not encrypted, too small a buffer, no buffer, unknown mode.
  const std::string garbage = "plain text";
  size = sizeof buffer;
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, garbage.data(), static_cast<int>(garbage.size()), 1, scratch,
                                         nullptr, &size, buffer),
            0);
  int tiny = 4;
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, password.data(), static_cast<int>(password.size()), 1, scratch,
                                         nullptr, &tiny, buffer),
            0);
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, password.data(), static_cast<int>(password.size()), 1, scratch,
                                         nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, password.data(), static_cast<int>(password.size()), 9, scratch,
                                         nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, nullptr, 5, 3, scratch, nullptr, nullptr, nullptr), 0);

  testkit::external::journal().injectFailure("decryptAndPrepForStorage", -1, "");
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, user.data(), static_cast<int>(user.size()), 3, text, nullptr,
                                         nullptr, nullptr),
            0);
  auto calls = testkit::external::journal().calls("decryptAndPrepForStorage");
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"3", std::to_string(user.size()), "1"}));
}

TEST_F(HostServices, EncryptForTransportRoundTrips) {
  EvExternal ext(0);
  std::string encrypted;
  EXPECT_EQ(ext.encryptForTransport("pw", encrypted), 1);
  std::string back;
  EXPECT_EQ(ext.decryptAndPrepForStorage(nullptr, encrypted.data(), static_cast<int>(encrypted.size()), 2, back,
                                         nullptr, nullptr, nullptr),
            1);
  EXPECT_EQ(back, "pw");
}

TEST_F(HostServices, AutoRefreshNotices) {
  EvExternal ext(0);
  EXPECT_FALSE(ext.isAutoRefreshSet());
  testkit::external::setAutoRefresh(true);
  testkit::external::setLibraryMediaAgents(3, {11, 12});
  EXPECT_TRUE(ext.isAutoRefreshSet());

  std::vector<int> agents;
  EXPECT_EQ(ext.getMAsforLibrary(3, agents), 0);
  EXPECT_EQ(agents, (std::vector<int>{11, 12}));
  std::vector<int> none;
  EXPECT_EQ(ext.getMAsforLibrary(4, none), 0);
  EXPECT_TRUE(none.empty());

  EXPECT_EQ(ext.sendAutoRefreshUpdateGUM(3, ZqEntities::ENTITY_LIBRARY, 77, &agents), 0);
  EXPECT_EQ(ext.sendAutoRefreshUpdateGUM(3, ZqEntities::ENTITY_MOUNT_PATH, 77, nullptr), 0);
  auto notices = testkit::external::refreshNotices();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].libraryId, 3);
  EXPECT_EQ(notices[0].entityType, 9);
  EXPECT_EQ(notices[0].guiId, 77u);
  EXPECT_EQ(notices[0].mediaAgentIds, (std::vector<int>{11, 12}));
  EXPECT_EQ(notices[1].entityType, 52);
  auto sent = testkit::external::journal().calls("sendAutoRefreshUpdateGUM");
  EXPECT_EQ(sent[0].args, (std::vector<std::string>{"3", "9", "77", "11,12"}));

  testkit::external::journal().injectFailure("getMAsforLibrary", -6, "service down");
  std::vector<int> failed;
  EXPECT_EQ(ext.getMAsforLibrary(3, failed), -6);
  EXPECT_TRUE(failed.empty());
}

TEST(Adapters, PlatformInfoCredentialsAndXmlRequests) {
  testkit::adapters::reset();
  testkit::adapters::setInstallDirectory(12, "/opt/tarnkeep/");
  AdaptersInterfaceDB db;
  unsigned long client = 12;
  unsigned long kind = 2;
  std::string dir;
  long started = 1700000000;
  EXPECT_EQ(db.getPlatformInfo(client, kind, dir, started, nullptr), 0);
  EXPECT_EQ(dir, "/opt/tarnkeep/");
  client = 13;
  EXPECT_NE(db.getPlatformInfo(client, kind, dir, started, nullptr), 0);
  testkit::adapters::journal().injectFailure("getPlatformInfo", -2, "lookup failed");
  client = 12;
  EXPECT_EQ(db.getPlatformInfo(client, kind, dir, started, nullptr), -2);

  testkit::adapters::setCredentialName(4, "backup-cred");
  testkit::adapters::setCredentialAssociation(40, 4, 52, 17);
  CredentialMgrHelper creds;
  std::string name = "stale";
  EXPECT_EQ(creds.getCredentialNameForId(4, name, nullptr), 0);
  EXPECT_EQ(name, "backup-cred");
  EXPECT_NE(creds.getCredentialNameForId(5, name, nullptr), 0);
  EXPECT_EQ(name, "");
  EXPECT_FALSE(creds.getErrorString().empty());
  int credential = 0, type = 0, entity = 0;
  EXPECT_EQ(creds.getCredentialIdFromAssocIdForEntity(40, credential, type, entity, nullptr), 0);
  EXPECT_EQ(credential, 4);
  EXPECT_EQ(type, 52);
  EXPECT_EQ(entity, 17);

  testkit::adapters::setXmlResponse(0xABC, "<Resp ok=\"1\"/>");
  XMLHandler xml;
  std::string text = "<Req/>";
  std::string error;
  EXPECT_EQ(xml.handleXMLReq(5, 0xABC, text, error, "", 0), 0);
  EXPECT_EQ(text, "<Resp ok=\"1\"/>");
  testkit::adapters::journal().injectFailure("handleXMLReq", -1, "seal failed");
  EXPECT_EQ(xml.handleXMLReq(5, 0xABC, text, error, "", 0), -1);
  EXPECT_EQ(error, "seal failed");
  EXPECT_EQ(xml.getErrorString(), "seal failed");
  EXPECT_EQ(testkit::adapters::journal().calls("handleXMLReq")[0].args[2], "<Req/>");
  testkit::adapters::reset();
}

struct CountingClient : ZQLibCurl {
  explicit CountingClient(int* released) : released(released) {}
  ~CountingClient() override { ++*released; }
  int* released;
};

struct TestAuth : ZQCloudAuthLib {
  using ZQCloudAuthLib::ZQCloudAuthLib;
  int authenticate() override { return 0; }
};

TEST(Adapters, CloudAuthHelperReleasesWhatItOwns) {
  int released = 0;
  { TestAuth auth(new CountingClient(&released), new ZQCloudAuth::BaseParams{"key", "value"}); }
  EXPECT_EQ(released, 1);
  { TestAuth empty; }
}

TEST(Adapters, AuthenticationHasNoDebugInstance) {
  EvAuthentication auth;
  EXPECT_EQ(auth.instance(), nullptr);
  AdaptersInterfaceDB db;  // made empty; nothing to release
  SUCCEED();
}

TEST(DebugFile, InstanceStartsClosedAndOpensAfterScriptedFailures) {
  testkit::debugfile::reset();
  EvDebugFileInstance instance;
  EXPECT_EQ(instance.m_handle, -1);
  EXPECT_EQ(instance.m_level, 1);
  EXPECT_EQ(instance.m_files, 1);
  EXPECT_FALSE(instance.isOpen());
  EXPECT_TRUE(instance.m_name.empty());

  testkit::debugfile::failNextOpens(2);
  EXPECT_FALSE(EvDebugFile(&instance, "TK_ZQMMInst"));
  EXPECT_FALSE(EvDebugFile(&instance, "TK_ZQMMInst"));
  EXPECT_FALSE(instance.isOpen());
  EXPECT_TRUE(EvDebugFile(&instance, "TK_ZQMMInst"));
  EXPECT_TRUE(instance.isOpen());
  EXPECT_GE(instance.m_handle, 0);
  EXPECT_EQ(instance.m_name, "TK_ZQMMInst");
  EXPECT_EQ(testkit::debugfile::journal().count("EvDebugFile"), 3u);
  EXPECT_FALSE(EvDebugFile(nullptr, "x"));
  testkit::debugfile::reset();
}

TEST(Mountd, RegistrationIsRecorded) {
  testkit::mountd::reset();
  EXPECT_EQ(ZqMountd::RegisterSubsystem(), 0);
  testkit::mountd::journal().injectFailure("RegisterSubsystem", -1, "mountd down");
  EXPECT_EQ(ZqMountd::RegisterSubsystem(), -1);
  EXPECT_EQ(testkit::mountd::journal().count("RegisterSubsystem"), 2u);
  testkit::mountd::reset();
}

TEST(CWySocketInlines, ValidityAndComparison) {
  CWySocket none;
  CWySocket five(5);
  CWySocket otherFive(5);
  EXPECT_FALSE(none.IsValid());
  EXPECT_TRUE(five.IsValid());
  EXPECT_EQ(static_cast<int>(five.GetSocketDescriptor()), 5);
  EXPECT_EQ(static_cast<int>(none.GetSocketDescriptor()), -1);
  EXPECT_TRUE(five != none);
  EXPECT_FALSE(five != otherFive);
  EXPECT_FALSE(CWySocket(-1).IsValid());
  EXPECT_TRUE(CWySocket(0).IsValid());
}

}  // namespace
