// The device-list configuration through its XML entry point: the request
// text in, the reply text and result out, the client's state and the
// replica database's rows after it; and the request under the fault sweep.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "platform/testkit/client.h"
#include "platform/testkit/clientvol.h"
#include "platform/testkit/replicadb.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/xml.h"
#include "platform/xml/CNMessageBase.h"
#include "sanvol/EvSANVolMgr.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FrameSession.h"
#include "tests/support/TestDatabase.h"

namespace {

constexpr int64_t kSequence = 0x61;
constexpr int kClient = 7;
constexpr const char* kHost = "client7.example.com";
constexpr const char* kUnreachable =
    "Unable to contact Client. Please make sure that client services are up and running. ";

struct XmlOutcome {
  long long result = 0;
  std::string text;
};

// The request for the volumes of client 7 with the application type.
std::string request(int appType, const std::vector<std::string>& volumes, int clientId = kClient) {
  std::string text = "<EVGui_DKBFConfigureDevicesReq i1=\"" + std::to_string(clientId) + "\" i2=\"" +
                     std::to_string(appType) + "\"><list tag=\"3\">";
  for (const std::string& volume : volumes) text += "<EVGui_IdName s2=\"" + volume + "\"/>";
  return text + "</list></EVGui_DKBFConfigureDevicesReq>";
}

std::string generic(long long code, const std::string& text) {
  return "<ZQGui_GenericResp i1=\"" + std::to_string(code) + "\" s2=\"" + text + "\"/>";
}

volumeInfo entry(const std::string& oldName, const std::string& changedName, const std::string& mountPath,
                 const std::string& devicePath, bool vvm = false, uint64_t errorCode = 0) {
  volumeInfo v;
  v.entryValue = 3;
  v.oldName = oldName;
  v.changedName = changedName;
  v.mountPath = mountPath;
  v.devicePath = devicePath;
  v.blockCount = 2048;
  v.vvmVolume = vvm;
  v.errorCode = errorCode;
  v.errorText = errorCode != 0 ? "not configured" : "";
  return v;
}

std::string responseEntry(const volumeInfo& v) {
  return "<EVGui_DKBFConfigureDeviceRespEntry i1=\"" + std::to_string(v.entryValue) + "\" s2=\"" + v.oldName +
         "\" s6=\"" + v.changedName + "\" i10=\"" + std::to_string(v.errorCode) + "\" s11=\"" + v.errorText + "\"/>";
}

std::string response(long long code, const std::vector<volumeInfo>& entries) {
  std::string text = "<EVGui_DKBFConfigureDevicesResponse i1=\"" + std::to_string(code) + "\"><list tag=\"2\">";
  for (const volumeInfo& v : entries) text += responseEntry(v);
  return text + "</list></EVGui_DKBFConfigureDevicesResponse>";
}

class DeviceListTest : public ::testing::Test {
 protected:
  DeviceListTest() {
    resetStandIns();
    testkit::client::ClientSeed seed;
    seed.id = kClient;
    seed.name = "client7";
    seed.hostName = kHost;
    seed.releaseId = 0x0B00000000ULL;
    seed.displayName = "Client Seven";
    EXPECT_EQ(testkit::client::addClient(seed), 0);
    testkit::clientvol::seedHost(kHost, kClient);
  }
  ~DeviceListTest() override { resetStandIns(); }
  static void resetStandIns() {
    testkit::reply::reset();
    testkit::replicadb::reset();
    testkit::clientvol::reset();
    testkit::client::reset();
  }

  XmlOutcome configure(const std::string& text) {
    auto record = connection.request(kSequence);
    XmlOutcome out;
    out.text = text;
    out.result = handler.onMsgConfigureDeviceListCommand(record.get(), out.text);
    return out;
  }
  // The client answers the next list call with these entries.
  void clientAnswers(const std::vector<volumeInfo>& entries) {
    testkit::clientvol::scriptDeviceListResult(kHost, entries);
  }
  // A device already recorded for the client, with one mount point; its id.
  int32_t recordedDevice(const std::string& name, const std::string& mountPath) {
    SNRVolumeDeviceNameV4Record_t device;
    device.hostId = kClient;
    device.deviceName = name;
    const int32_t id = testkit::replicadb::seedDeviceName(device);
    if (!mountPath.empty()) {
      SNRVolumeMountPointRecord_t mountPoint;
      mountPoint.deviceNameId = id;
      mountPoint.mountPath = mountPath;
      mountPoint.caseSensitive = true;
      testkit::replicadb::seed(mountPoint);
    }
    return id;
  }
  std::vector<std::string> writes() const {
    std::vector<std::string> names;
    for (const auto& call : testkit::replicadb::journal().calls())
      if (call.name.find("Query") == std::string::npos) names.push_back(call.name);
    return names;
  }
  std::vector<SNRVolumeDeviceNameV4Record_t> devices() const {
    return testkit::replicadb::rows<SNRVolumeDeviceNameV4Record_t>();
  }

  tktest::TestDatabase db;
  tktest::Connection connection;
  EvSANVolMgr handler;
};

// ---------------------------------------------------------------- refusals and the generic reply

TEST_F(DeviceListTest, RequestsRefusedBeforeTheClientLeaveTheTextAsItCame) {
  testkit::xml::Scope xml;
  struct Case {
    const char* name;
    std::string text;
    std::function<void()> arrange;
    long long result;
  } cases[] = {
      {"message library", request(84, {"E:"}), [] { testkit::xml::failNext(testkit::xml::Call::Initialize, 1); },
       0xb0001},
      {"unreadable", "<EVGui_DKBFConfigureDevicesReq", [] {}, 0xb0002},
      {"unknown client", request(84, {"E:"}, 99), [] {}, 0x39000006},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    const XmlOutcome out = configure(c.text);
    EXPECT_EQ(out.result, c.result);
    EXPECT_EQ(out.text, c.text);
  }
  EXPECT_TRUE(testkit::clientvol::journal().calls().empty());
}

TEST_F(DeviceListTest, FailuresAtTheClientAreAnsweredWithTheGenericReply) {
  const XmlOutcome none = configure(request(84, {}));
  EXPECT_EQ(none.result, -1);
  EXPECT_EQ(none.text, generic(-1, kUnreachable));

  testkit::clientvol::journal().injectFailure("configureListOfQRDevices", 0, "agent down");
  const XmlOutcome down = configure(request(84, {"E:"}));
  EXPECT_EQ(down.result, -1);
  EXPECT_EQ(down.text, generic(-1, std::string(kUnreachable) + "agent down"));

  testkit::client::journal().injectFailure("getReleaseId", 5, "no release");
  const XmlOutcome release = configure(request(84, {"E:"}));
  EXPECT_EQ(release.result, 0x39000006);
  EXPECT_EQ(release.text, generic(0x39000006, "DB error"));
  EXPECT_TRUE(devices().empty());
}

TEST_F(DeviceListTest, TheClientIsAskedOnceForTheWholeListWithItsReleaseLocaleAndDisplayName) {
  configure(request(84, {"E:", "F:"}));
  const auto calls = testkit::clientvol::journal().calls("configureListOfQRDevices");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args,
            (std::vector<std::string>{kHost, "84", std::to_string(0x0B00000000ULL), "0", "Client Seven", "E:", "F:"}));
}

// ---------------------------------------------------------------- entries and the tables

TEST_F(DeviceListTest, EveryEntryIsListedButOnlyThoseWithoutAnErrorAreRecorded) {
  const std::vector<volumeInfo> entries = {entry("E:", "E:QR", "E:\\", "\\\\?\\Volume{e}", true),
                                           entry("F:", "F:QR", "F:\\", "\\\\?\\Volume{f}", false, 7)};
  clientAnswers(entries);
  const XmlOutcome out = configure(request(84, {"E:", "F:"}));
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.text, response(0, entries));
  const auto recorded = devices();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].deviceName, "E:QR");
  EXPECT_TRUE(recorded[0].configFlag);
  EXPECT_TRUE(recorded[0].caseSensitive);
  const auto mountPoints = testkit::replicadb::rows<SNRVolumeMountPointRecord_t>();
  ASSERT_EQ(mountPoints.size(), 1u);
  EXPECT_EQ(mountPoints[0].mountPath, "E:\\");
  EXPECT_EQ(mountPoints[0].deviceNameId, recorded[0].deviceNameId);
  const auto volumes = testkit::replicadb::rows<SNRVolumeRecordV4_t>();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].deviceId, "client7:\\\\?\\Volume{e}");
  EXPECT_EQ(volumes[0].blockCount, 2048);
  EXPECT_EQ(volumes[0].blockSize, 512);
  EXPECT_EQ(volumes[0].volumeType, 1);
  EXPECT_EQ(writes(), (std::vector<std::string>{"ReplicationMgr::AddSNRDevice", "ReplicationMgr::AddMountPoint",
                                                "ReplicationMgr::ConfigureDevice"}));
}

TEST_F(DeviceListTest, EachApplicationTypeBranchWritesWhatItShould) {
  struct Case {
    const char* name;
    int appType;
    volumeInfo result;
    const char* recorded;  // the device recorded before, mounted at E:
    std::vector<std::string> writes;
    std::string deviceName;  // the recorded device's name afterwards
    std::string mountPath;   // its first mount path afterwards
  } cases[] = {
      {"device already recorded", 84, entry("E:", "E:QR", "E:\\", "dev-e"),
       "dev-e", {"ReplicationMgr::AddSNRDevice"}, "dev-e",
       "E:\\"},
      {"same name, same mount path", 29, entry("E:", "E:", "E:\\", "dev-e"),
       "E:", {}, "E:", "E:\\"},
      {"same name, mount path changed", 21, entry("E:", "E:", "G:\\", "E:"),
       "E:",
       {"ReplicationMgr::UpdateSNRVolMountPoint", "ReplicationMgr::AddSNRDevice"}, "E:", "G:\\"},
      {"same name, another application type", 7, entry("E:", "E:", "G:\\", "E:"),
       "E:", {}, "E:", "E:\\"},
      {"renamed, another application type", 7, entry("it's", "renamed", "G:\\", "dev"),
       "it's", {"ReplicationMgr::ConfigureDevice"}, "renamed",
       "E:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::exec("DELETE FROM \"SNRVolumeMountPoint\"");
    testkit::replicadb::exec("DELETE FROM \"SNRVolumeDeviceNameEx\"");
    testkit::replicadb::exec("DELETE FROM \"SNRVolumeDeviceName\"");
    recordedDevice(c.recorded, "E:\\");
    testkit::replicadb::reset();
    clientAnswers({c.result});
    const XmlOutcome out = configure(request(c.appType, {c.result.oldName}));
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.text, response(0, {c.result}));
    EXPECT_EQ(writes(), c.writes);
    const auto recorded = devices();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].deviceName, c.deviceName);
    const auto mountPoints = testkit::replicadb::rows<SNRVolumeMountPointRecord_t>();
    ASSERT_EQ(mountPoints.size(), 1u);
    EXPECT_EQ(mountPoints[0].mountPath, c.mountPath);
    EXPECT_TRUE(mountPoints[0].caseSensitive);
  }
}

TEST_F(DeviceListTest, ASameNameDeviceWithoutAMountPointOrRecordIsSkippedWithoutFailing) {
  recordedDevice("E:", "");
  clientAnswers({entry("E:", "E:", "E:\\", "E:"), entry("F:", "F:", "F:\\", "F:")});
  const XmlOutcome out = configure(request(84, {"E:", "F:"}));
  EXPECT_EQ(out.result, 0);
  EXPECT_TRUE(writes().empty());
  EXPECT_TRUE(testkit::replicadb::rows<SNRVolumeMountPointRecord_t>().empty());
}

TEST_F(DeviceListTest, AFailingStepAnswersTheDatabaseCodeWithTheEntriesAndGoesOnWithTheNextEntry) {
  const std::vector<volumeInfo> entries = {entry("E:", "E:QR", "E:\\", "dev-e"), entry("F:", "F:QR", "F:\\", "dev-f")};
  clientAnswers(entries);
  testkit::replicadb::failNext("ReplicationMgr::AddMountPoint", -1, "disk full");
  const XmlOutcome out = configure(request(84, {"E:", "F:"}));
  EXPECT_EQ(out.result, 0x3900008b);
  EXPECT_EQ(out.text, response(0x3900008b, entries));
  const auto recorded = devices();
  ASSERT_EQ(recorded.size(), 2u);
  EXPECT_EQ(recorded[1].deviceName, "F:QR");
}

TEST_F(DeviceListTest, AResponseThatCannotBeWrittenLeavesNoTextAndReturnsMinusOne) {
  testkit::xml::Scope xml;
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 13, 152, tkxml::kErrBadValue);
  const XmlOutcome out = configure(request(84, {"E:"}));
  EXPECT_EQ(out.result, -1);
  EXPECT_EQ(out.text, "");
}

// ---------------------------------------------------------------- fault sweep

TEST_F(DeviceListTest, EveryFailingCallEndsWithAResultAndWholeSteps) {
  const std::vector<volumeInfo> entries = {entry("E:", "E:QR", "E:\\", "dev-e"), entry("F:", "F:", "H:\\", "F:")};
  recordedDevice("F:", "F:\\");
  tktest::FaultSweep sweep;
  tktest::SweepPlan plan;
  // Entry by entry, each replication manager call whole: the sweep judges
  // the device tables through the result instead of as before-or-after.
  plan.judgedTables = {"SNRVolume", "SNRVolumeDeviceName", "SNRVolumeDeviceNameEx", "SNRVolumeMountPoint",
                       "sqlite_sequence"};
  XmlOutcome out;
  plan.setup = [&] {
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kHost, kClient);
    clientAnswers(entries);
  };
  plan.request = [&] { out = configure(request(84, {"E:", "F:"})); };
  plan.check = [&](const tktest::SweepRun& run) -> std::string {
    if (run.k == 0) return out.result == 0 ? "" : "the clean run failed: " + out.text;
    if (out.result == 0 && !out.text.empty()) {
      // Success is only claimed when every recording step was made.
      for (const std::string& failed : run.failures)
        if (failed.rfind("ReplicationMgr::", 0) == 0) return "a failed " + failed + " was answered as success";
      return "";
    }
    if (out.result == 0x3900008b) return out.text == response(0x3900008b, entries) ? "" : "entries missing";
    if (out.result == -1 || out.result == 0x39000006 || out.result == 0xb0001 || out.result == 0xb0002) return "";
    return "unexpected result " + std::to_string(out.result);
  };
  const tktest::SweepReport report = sweep.run(plan);
  EXPECT_TRUE(report.clean()) << report;
}

}  // namespace
