// The NDMP properties of one client and the media-agent listing: which
// records each kind of client yields, the login decrypting to the stored
// one, the detected media agent and time zone of a NAS, and the clients the
// media-agent listing skips.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/external/Cipher.h"
#include "tests/nas_handlers/NasHandlersFixture.h"

namespace nastest {
namespace {

constexpr int kNasOs = 70;
constexpr int kWindowsOs = 3;

class NdmpProperties : public NasHandlerTest {
 protected:
  NdmpProperties() {
    EXPECT_EQ(testkit::client::addOperatingSystem(kNasOs, "Filer OS", true), 0);
    EXPECT_EQ(testkit::client::addOperatingSystem(kWindowsOs, "Windows", false), 0);
  }

  static void addClientOf(unsigned long id, const std::string& name, int osId, unsigned long long platforms,
                          unsigned long long release = 16) {
    testkit::client::ClientSeed seed;
    seed.id = id;
    seed.name = name;
    seed.hostName = name + ".lab";
    seed.releaseId = release;
    ASSERT_EQ(testkit::client::addClient(seed), 0);
    ASSERT_EQ(testkit::client::setClientFacts(id, osId, platforms), 0);
  }
  static void addRow(int clientId, int osType, const std::string& login, int port, int settingB = 1,
                     const std::string& firmware = "9.1") {
    MMNDMPHostInfo_t row;
    row.clientId = clientId;
    row.osType = osType;
    row.listenPort = port;
    row.hostSettingB = settingB;
    std::snprintf(row.login, sizeof row.login, "%s", login.c_str());
    std::snprintf(row.firmwareRevision, sizeof row.firmwareRevision, "%s", firmware.c_str());
    int id = 0;
    ASSERT_EQ(MMNDMPHostInfoDB().addNDMPHostInfo(row, id), 0);
  }

  std::unique_ptr<MessageInfo> properties(uint32_t clientId, const std::string& name, bool secure = true) {
    return StreamBuilder()
        .socket(static_cast<int>(client.socket().GetSocketDescriptor()))
        .secure(secure)
        .sequence(kSequence)
        .firstWord(2)
        .payloadText(4, name, 256)
        .payloadWord(260, clientId)
        .build();
  }
  // The one reply 11061 of a properties request.
  tkwire::Reply propertiesReply(uint32_t clientId, const std::string& name, bool secure = true) {
    EXPECT_EQ(handler.onMsgGetMMNDMPServerProperties(properties(clientId, name, secure).get()), 1);
    auto got = replies();
    EXPECT_EQ(got.size(), 1u);
    if (got.empty()) return {};
    EXPECT_EQ(got[0].messageId, 11061u);
    return got[0];
  }
  static std::string decrypted(const std::string& bytes) {
    std::string plain;
    EXPECT_TRUE(tkcipher::decrypt(bytes, plain));
    return plain;
  }
};

TEST_F(NdmpProperties, ANasWithARowAnswersItsDecryptedLoginDetectedAgentAndTimeZone) {
  addClientOf(20, "filer1", kNasOs, 0);
  addClientOf(21, "ma1", kWindowsOs, 2);
  addRow(20, 6, "root", 0);
  ASSERT_EQ(testkit::client::setClientAttribute(20, "detectMAForNDMP", "21"), 0);
  ASSERT_EQ(db.exec("INSERT INTO SchedTimeZone (TimeZoneID, TimeZoneName) VALUES (4, 'Pacific')"), 0);
  ASSERT_EQ(testkit::client::setClientAttribute(20, "timezone id", "4"), 0);
  const tkwire::Reply reply = propertiesReply(20, "filer1");
  ASSERT_EQ(tagsOf(reply), (Tags{11062, 2009, 11064, 11065, 11066, 11838, 11839, 2052}));
  EXPECT_EQ(decrypted(reply.items[0].bytes), "root");
  EXPECT_EQ(reply.items[1].bytes, wordAndText(20, "filer1"));
  EXPECT_EQ(reply.items[2].bytes, le32(6));
  EXPECT_EQ(reply.items[3].bytes, "9.1");
  EXPECT_EQ(reply.items[4].bytes, le32(10000));  // stored 0 with setting B 1
  EXPECT_EQ(reply.items[5].bytes, wordAndText(21, "ma1"));
  EXPECT_EQ(reply.items[6].bytes, "Pacific");
}

TEST_F(NdmpProperties, ANasWithoutRowOrTimeZoneYieldsOneZeroedRecord) {
  addClientOf(20, "filer1", kNasOs, 0);
  const tkwire::Reply reply = propertiesReply(0, "filer1");  // looked up by name
  ASSERT_EQ(tagsOf(reply), (Tags{11062, 2009, 11064, 11065, 11066, 2052}));
  EXPECT_EQ(decrypted(reply.items[0].bytes), "");
  EXPECT_EQ(reply.items[1].bytes, wordAndText(0, "filer1"));
  EXPECT_EQ(reply.items[2].bytes, le32(0));
  EXPECT_EQ(reply.items[4].bytes, le32(0));
  EXPECT_TRUE(log.contains("Could not look-up the NDMP credentials for client [filer1]."));
}

TEST_F(NdmpProperties, OrdinaryClientsYieldARecordPerKindOfRowTheyMayHave) {
  const struct {
    const char* name;
    unsigned long long platforms;
    std::vector<int> components;
    unsigned long long release;
    std::vector<uint32_t> osTypes;
    std::vector<uint32_t> ports;
  } cases[] = {
      {"media agent without row", 2, {}, 16, {16}, {10000}},
      {"1004 below release 12", 0, {1004}, 11, {5}, {0}},
      {"1004 at release 12", 0, {1004}, 12, {}, {}},
      {"1029", 0, {1029}, 16, {12}, {10000}},
      {"all three", 2, {1004, 1029}, 10, {5, 12, 16}, {0, 10000, 10000}},
  };
  unsigned long id = 50;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ++id;
    addClientOf(id, "c" + std::to_string(id), kWindowsOs, c.platforms, c.release);
    for (const int component : c.components) ASSERT_EQ(testkit::client::installPackage(id, component), 0);
    const tkwire::Reply reply = propertiesReply(static_cast<uint32_t>(id), "c" + std::to_string(id));
    ASSERT_EQ(reply.items.size(), 6 * c.osTypes.size());
    for (std::size_t r = 0; r < c.osTypes.size(); ++r) {
      EXPECT_EQ(reply.items[6 * r + 2].bytes, le32(c.osTypes[r]));
      EXPECT_EQ(reply.items[6 * r + 4].bytes, le32(c.ports[r]));
      EXPECT_EQ(reply.items[6 * r + 5].tag, 2052u);
    }
  }
}

TEST_F(NdmpProperties, AFoundRowOfAnOrdinaryClientKeepsItsOwnPort) {
  addClientOf(30, "ma2", kWindowsOs, 2);
  addRow(30, 16, "ndmp", 0, 0, "");
  const tkwire::Reply reply = propertiesReply(30, "ma2");
  ASSERT_EQ(tagsOf(reply), (Tags{11062, 2009, 11064, 11065, 11066, 2052}));
  EXPECT_EQ(decrypted(reply.items[0].bytes), "ndmp");
  EXPECT_EQ(reply.items[1].bytes, wordAndText(30, "ma2"));
  EXPECT_EQ(reply.items[4].bytes, le32(0));  // setting B is not 1
}

TEST_F(NdmpProperties, ACenteraClientFirstYieldsAnEmptyRecord) {
  ASSERT_EQ(testkit::client::addOperatingSystem(55, "Centera", false), 0);
  addClientOf(40, "centera", 55, 2);
  const tkwire::Reply reply = propertiesReply(40, "centera");
  ASSERT_EQ(tagsOf(reply), (Tags{2052, 11062, 2009, 11064, 11065, 11066, 2052}));
  EXPECT_EQ(reply.items[0].bytes, le32(0));
  EXPECT_EQ(reply.items[3].bytes, le32(16));
}

TEST_F(NdmpProperties, AFailedEncryptionLeavesTheLoginOut) {
  addClientOf(20, "filer1", kNasOs, 0);
  addRow(20, 6, "root", 10000);
  const tkwire::Reply reply = propertiesReply(20, "filer1", false);
  ASSERT_EQ(tagsOf(reply), (Tags{2009, 11064, 11065, 11066, 2052}));
  EXPECT_TRUE(log.contains("Failed to EncryptData for username"));
}

TEST_F(NdmpProperties, AClientNameWithoutTerminatorIsReadWithinItsField) {
  addClientOf(20, "filer1", kNasOs, 0);
  const std::string name(256, 'x');
  auto request = properties(20, "");
  // The whole 256-byte field, no terminator, right before the client id.
  std::memset(reinterpret_cast<char*>(&request->firstWord) + 4, 'x', name.size());
  EXPECT_EQ(handler.onMsgGetMMNDMPServerProperties(request.get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_GE(got[0].items.size(), 2u);
  EXPECT_EQ(got[0].items[1].bytes, wordAndText(0, name));
}

TEST_F(NdmpProperties, AnUnknownClientIsAnsweredWithAStatusBeforeTheEmptyReply) {
  EXPECT_EQ(handler.onMsgGetMMNDMPServerProperties(properties(0, "ghost").get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectResponse(got[0], 0, catalogueText(0x23000002));
  EXPECT_EQ(got[1].messageId, 11061u);
  EXPECT_TRUE(got[1].items.empty());
  EXPECT_TRUE(log.contains("ZQClient::lookup() failed:"));
}

// ---- media agents ------------------------------------------------------------------

TEST_F(NdmpProperties, OnlyMediaAgentsWithHostAndPlatformTypesAreListed) {
  addClientOf(60, "ma1", kWindowsOs, 2);
  addClientOf(61, "plain", kWindowsOs, 1);
  addClientOf(62, "ma2", 0, 3);  // OS not recorded
  addClientOf(63, "ma3", kWindowsOs, 2);
  ASSERT_EQ(db.exec("UPDATE APP_Client SET net_hostname = NULL WHERE id = 63"), 0);
  testkit::client::journal().injectFailure("getORdPlatformTypes", 0, "");  // for ma1, the first asked
  EXPECT_EQ(handler.onMsgGetMMMediaAgents(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11072u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{2048, 11030, 2052}));
  EXPECT_EQ(got[0].items[0].bytes, wordAndText(62, "ma2.lab"));
  EXPECT_EQ(got[0].items[1].bytes, le32(0));
  EXPECT_TRUE(log.contains("Error fetching platform Types for client [60]"));
  EXPECT_TRUE(log.contains("Error fetching network hostName for client [63]"));
}

TEST_F(NdmpProperties, AMediaAgentIsListedWithItsSystemOsId) {
  addClientOf(60, "ma1", kWindowsOs, 2);
  EXPECT_EQ(handler.onMsgGetMMMediaAgents(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{2048, 11030, 2052}));
  EXPECT_EQ(got[0].items[0].bytes, wordAndText(60, "ma1.lab"));
  EXPECT_EQ(got[0].items[1].bytes, le32(kWindowsOs));
}

}  // namespace
}  // namespace nastest
