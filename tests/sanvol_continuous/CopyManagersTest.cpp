// The copy-manager listing and the configuration of one replication device
// of a client, through the handler as the host calls it.
#include <gtest/gtest.h>

#include <functional>

#include "tests/sanvol_continuous/ContinuousControlFixture.h"

namespace cctest {
namespace {

constexpr uint32_t kConfigure = 48;
constexpr uint32_t kUnconfigure = 49;

class CopyManagersTest : public ContinuousTest {
 protected:
  CopyManagersTest() {
    SNRVolumeDeviceNameV4Record_t device;
    device.hostId = static_cast<int32_t>(kClient);
    device.deviceName = "/dev/sdb";
    m_deviceNameId = testkit::replicadb::seedDeviceName(device);
  }

  // A device record: the device, then every element the configuration
  // takes, except the one named by `leaveOut`.
  StreamBuilder deviceRecord(uint32_t operation, uint32_t leaveOut = 0) const {
    StreamBuilder b;
    if (leaveOut != 4001) b.op(operation);
    if (leaveOut != 11633) {
      b.raw(11633, deviceOf(kClient));
    }
    const std::pair<uint32_t, uint32_t> values[] = {{11733, 64}, {11712, 1}, {11736, 16},
                                                    {11735, 1},  {11780, 0}, {11787, 1}};
    for (const auto& [tag, value] : values)
      if (tag != leaveOut) b.u32(tag, value);
    return b;
  }
  // The device as a client that has configured it.
  static void configureOnAgent(const std::string& host, uint32_t clientId) {
    std::string text;
    bool vvm = false;
    ZQSVCClientSession(host, static_cast<int>(clientId))
        .configureQRDevice("/dev/sdb", text, 0, false, 0, false, vvm, false, false, nullptr, 0, 0, "");
    forgetAgentCalls();
  }
  std::string deviceOf(uint32_t clientId) const {
    return le32(static_cast<uint32_t>(m_deviceNameId)) + le32(clientId) + le32(0) + "/dev/sdb";
  }
  SNRVolumeDeviceNameV4Record_t storedDevice() const {
    SNRVolumeDeviceNameV4Record_t device;
    EXPECT_TRUE(testkit::replicadb::row(m_deviceNameId, device));
    return device;
  }

  int32_t m_deviceNameId = -1;
};

// ---------------------------------------------------------------- listing

TEST_F(CopyManagersTest, ListsEachControllerWithItsItemsInOrder) {
  QRCopyMgrCtrlRecord_t c;
  c.controllerName = "cm1";
  c.item11702 = 9;
  c.clientId = 7;
  c.clientName = "client7";
  c.item8501Id = 3;
  c.item8501Text = "array";
  const int32_t id = testkit::replicadb::seed(c);
  auto request = simple();
  EXPECT_EQ(handler.onMsgGetCopyMgrControllers(request.get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11693u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11119, 2048, 8501, 11702, 2052}));
  EXPECT_EQ(got[0].items[0].bytes, wordAndText(static_cast<uint32_t>(id), "cm1"));
  EXPECT_EQ(got[0].items[1].bytes, wordAndText(7, "client7"));
  EXPECT_EQ(got[0].items[2].bytes, wordAndText(3, "array"));
  EXPECT_EQ(got[0].items[3].bytes, le32(9));
  EXPECT_EQ(got[0].items[4].bytes, le32(0));
}

TEST_F(CopyManagersTest, AFailedListingIsAnsweredWithTheLookupTextBeforeTheEmptyListing) {
  testkit::replicadb::failNext("GetCopyMgrs", -1, "no service");
  auto request = simple();
  EXPECT_EQ(handler.onMsgGetCopyMgrControllers(request.get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectFailure(got[0], catalogueText(0x39000006));
  EXPECT_EQ(got[1].messageId, 11693u);
  EXPECT_TRUE(got[1].items.empty());
  EXPECT_TRUE(log.contains("Unable to retrieve a list of copy managers. Reason: no service"));
}

// ---------------------------------------------------------------- configure

TEST_F(CopyManagersTest, ConfigureIsRefusedForEachMissingElementBeforeTheClientIsContacted) {
  for (uint32_t leaveOut : {11633u, 4001u, 11733u, 11712u, 11736u, 11735u, 11780u, 11787u}) {
    SCOPED_TRACE(leaveOut);
    forgetAgentCalls();
    auto request = stream(deviceRecord(kConfigure, leaveOut).end());
    EXPECT_EQ(handler.onMsgConfigureDeviceCommand(request.get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectOperation(got[0], leaveOut == 4001 ? 0 : kConfigure, 0, catalogueText(0x39000089));
    EXPECT_TRUE(agentCalls("configureQRDevice").empty());
  }
}

TEST_F(CopyManagersTest, ConfigureStoresTheDeviceTextAndVVMFlagTheClientReturns) {
  testkit::clientvol::scriptDeviceText(kHost, "/dev/vx/dsk/sdb");
  testkit::clientvol::scriptVVMFlag(kHost, true);
  auto request = stream(deviceRecord(kConfigure).end());
  EXPECT_EQ(handler.onMsgConfigureDeviceCommand(request.get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  expectSuccess(got[0], kConfigure);
  // device, extent, persistent, chunk, protection, unmount, vfstab, release, locale, display name
  EXPECT_EQ(agentCalls("configureQRDevice"),
            (std::vector<Args>{{kHost, "/dev/sdb", "64", "true", "16", "true", "false", "true", "15", "0",
                                kDisplayName}}));
  const SNRVolumeDeviceNameV4Record_t device = storedDevice();
  EXPECT_EQ(device.deviceName, "/dev/vx/dsk/sdb");
  EXPECT_TRUE(device.configFlag);
  EXPECT_TRUE(device.deviceConfigured);
}

TEST_F(CopyManagersTest, EachFailureIsAnsweredOnceAndAClientChangeStaysWhenItsRecordFails) {
  struct Case {
    const char* name;
    uint32_t operation;
    std::function<void()> arrange;
    std::string answer;
    bool configuredAfter;  // on the client
  };
  const Case cases[] = {
      {"release id", kConfigure,
       [] { testkit::client::journal().injectFailure("getReleaseId", tkclient::kErrorDatabase, "no row"); },
       catalogueText(0x3900008a, "/dev/sdb"), false},
      {"client", kConfigure, [] { testkit::clientvol::journal().injectFailure("configureQRDevice", 0, "disk busy"); },
       "Reason: disk busy", false},
      {"client without a text", kConfigure,
       [] { testkit::clientvol::journal().injectFailure("configureQRDevice", 0, ""); }, "", false},
      {"configure record", kConfigure, [] { testkit::replicadb::failNext("ConfigureDevice", -1, "locked"); },
       catalogueText(0x3900008b, "/dev/sdb"), true},
      {"unconfigure record", kUnconfigure,
       [] {
         configureOnAgent(kHost, kClient);
         testkit::replicadb::failNext("UnconfigureDevice", -1, "locked");
       },
       catalogueText(0x3900008d, "/dev/sdb"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
    c.arrange();
    auto request = stream(deviceRecord(c.operation).end());
    EXPECT_EQ(handler.onMsgConfigureDeviceCommand(request.get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], c.answer);
    EXPECT_EQ(testkit::clientvol::agent(kHost).configuredDevices.count("/dev/sdb"), c.configuredAfter ? 1u : 0u);
    EXPECT_FALSE(storedDevice().deviceConfigured);
  }
}

TEST_F(CopyManagersTest, UnconfigureTakesTheCallOfTheClientsRelease) {
  struct Case {
    uint32_t clientId;
    const char* host;
    unsigned long long release;
    const char* call;
    Args args;
  };
  const Case cases[] = {{8, "client8", 14, "unconfigureQRDevice", {"client8", "/dev/sdb", "true", "0"}},
                        {9, "client9", 15, "unconfigureQRDevice100", {"client9", "/dev/sdb", "true", "0", kDisplayName}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.release);
    addClient(c.clientId, c.host, c.release);
    testkit::clientvol::seedHost(c.host, static_cast<int>(c.clientId));
    configureOnAgent(c.host, c.clientId);
    auto request = stream(StreamBuilder().op(kUnconfigure).raw(11633, deviceOf(c.clientId)).u32(11712, 1).end());
    EXPECT_EQ(handler.onMsgConfigureDeviceCommand(request.get()), 1);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectSuccess(got[0], kUnconfigure);
    EXPECT_EQ(agentCalls(c.call), std::vector<Args>{c.args});
    EXPECT_FALSE(storedDevice().deviceConfigured);
  }
}

TEST_F(CopyManagersTest, AnUnknownElementAfterASuccessEndsTheRequestWithItsCatalogueText) {
  auto request = stream(deviceRecord(kConfigure).end().u32(9999, 1));
  EXPECT_EQ(handler.onMsgConfigureDeviceCommand(request.get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectSuccess(got[0], kConfigure);
  expectFailure(got[1], catalogueText(0x23000332, 9999, getMessageName(9999)));
  EXPECT_TRUE(storedDevice().deviceConfigured);
}

}  // namespace
}  // namespace cctest
