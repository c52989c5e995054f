// Device auto-detection: the answers of detection by agent list, by host
// list and of an IP library controller, the warnings of the agent check in
// their fixed order, the progress that reaches the session holder while
// the detection runs on the model's thread, what a session ended mid-run
// and a failed detection leave behind, and the chosen agents kept or
// cleared for the detected listings.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/mmconfig_detection/DetectionFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/StreamBuilder.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;
using ctltest::progress;
using ctltest::statusText;
using ctltest::text;
using Messages = std::vector<Message>;

constexpr uint32_t kAgent = tktag::kMediaAgent;
constexpr uint32_t kKeep = tktag::kKeep;
constexpr uint32_t kHost = tktag::kNdmpServer;
constexpr uint32_t kIPController = tktag::kLibraryHandle;
constexpr uint32_t kDriveId = tktag::kDriveIdChoice;
constexpr uint32_t kAutoDDS = tktag::kAutoDDS;
constexpr uint32_t kParallel = tktag::kParallel;

constexpr unsigned long kNothing = 0x24000177;
constexpr unsigned long kNoNew = 0x24000178;
constexpr unsigned long kNew = 0x24000179;

class AutoDetect : public dettest::DetectionTest {
 protected:
  void SetUp() override {
    DetectionTest::SetUp();
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, 0);
    // Every unit identified and every path found: the check is quiet.
    ZQMACGraph::SetDeviceIdentifier(m_w.library, "lib-1");
    ZQMACGraph::SetDeviceIdentifier(m_w.drive1, "drv-1");
    ZQMACGraph::SetDeviceIdentifier(m_w.drive2, "drv-2");
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(kUser).sequence(dettest::kSequence);
  }
  Messages run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgMMAutoDetect(message.get()), expected);
    return ctltest::messagesOf(m_a.replies(), dettest::kSequence);
  }
  // A script that finds `libraries` and `drives` on each named agent.
  static testkit::mac::DetectionScript finding(std::vector<std::string> agents, int libraries = 1, int drives = 2) {
    testkit::mac::DetectionScript script;
    script.run.steps = {{"", 100}};
    for (const std::string& agent : agents) script.found[agent] = {libraries, drives};
    return script;
  }
  static std::vector<std::string> journalOf(const char* name) {
    std::vector<std::string> out;
    for (const tkjournal::Call& call : testkit::mac::journal().calls(name)) {
      std::string line;
      for (const std::string& arg : call.args) line += (line.empty() ? "" : ",") + arg;
      out.push_back(line);
    }
    return out;
  }
  void expectHooksAtRest() { EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1); }
};

TEST_F(AutoDetect, NothingFoundAnswersStatus0AndClearsTheChosenAgents) {
  const Messages got = run(stream().pair(kAgent, 2, "ma1").pair(kAgent, 3, "ma2").end(), false);
  EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 0, text(kNothing))}));
  EXPECT_TRUE(tkmm::detectAgents::names().empty());
  expectHooksAtRest();
}

TEST_F(AutoDetect, KeepFlagAnswersSuccessKeepsTheAgentsAndReadsTheNextRecord) {
  testkit::mac::scriptDetection(finding({"ma1"}));
  const Messages got =
      run(stream().pair(kAgent, 2, "ma1").u32(kKeep, 1).end().pair(kAgent, 3, "ma2").end(), true);
  // The agent lists grow over the records: the second detection asks both.
  EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 1, "Success"), progress(47, 100),
                           operationResponse(47, 1, "Success")}));
  EXPECT_EQ(tkmm::detectAgents::names(), (std::vector<std::string>{"ma1", "ma2"}));
  EXPECT_EQ(journalOf("AutoDetect"), (std::vector<std::string>{"ma1,1,2", "ma1,ma2,1,2"}));
  expectHooksAtRest();
}

TEST_F(AutoDetect, FoundDevicesAnswerNoNewOrNewDevicesAndClearTheAgents) {
  struct Case {
    std::vector<std::string> newFor;
    unsigned long text;
  };
  for (const Case& c : {Case{{}, kNoNew}, Case{{"ma2"}, kNoNew}, Case{{"ma1"}, kNew}}) {
    SCOPED_TRACE(c.text);
    testkit::mac::DetectionScript script = finding({"ma1"});
    script.newDeviceAgents = c.newFor;
    testkit::mac::scriptDetection(script);
    // "ghost" is unknown to the configuration: neither checked nor asked.
    const Messages got = run(stream().pair(kAgent, 2, "ghost").pair(kAgent, 2, "ma1").end(), true);
    EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 1, text(c.text))}));
    EXPECT_TRUE(tkmm::detectAgents::names().empty());
    expectHooksAtRest();
  }
  // The new-device test asked about the known agent only.
  EXPECT_EQ(journalOf("IsAnyNewDetectedDevice"), (std::vector<std::string>{"ma1,false", "ma1,false", "ma1,true"}));
}

TEST_F(AutoDetect, TheAgentCheckSendsItsEightWarningKindsInTheirFixedOrder) {
  ZQMACGraph::SetGeometry(m_w.library, ZQMACGraph::LibraryGeometry{1, -1, 40, 7, 0});
  ZQMACGraph::SetDeviceIdentity(m_w.library, {"VendorCo", "Changer X", "", "", "", 0});
  ZQMACGraph::SetDeviceIdentifier(m_w.library, "");
  ZQMACGraph::SetDeviceIdentity(m_w.drive1, {"DriveCo", "LTO-X", "", "", "", 0});
  ZQMACGraph::SetDeviceIdentifier(m_w.drive1, "");
  ZQMACGraph::SetAutoUpdateSCSIAddress(m_w.agent1, true);
  ZQMACGraph::SetDisplayName(m_w.agent1, "MA One");
  ZQMACGraph::SetConfigured(m_w.controller1, true);
  ZQMACGraph::SetUnitAddress(m_w.controller1, {"", 9, 0, false});
  ZQMACGraph::SetAddressParts(m_w.controller1, 4, 5);
  ZQMACGraph::SetConfigured(m_w.dms11, true);
  ZQMACGraph::SetUnitAddress(m_w.dms11, {"", 0, 0, false});
  ZQMACGraph::SetConfigured(m_w.dms21, false);
  ZQMACGraph::SetUnitAddress(m_w.dms21, {"", 0, 0, true});
  testkit::mac::scriptDetection(finding({"ma1"}));

  const Messages got = run(stream().pair(kAgent, 2, "ma1").end(), true);
  EXPECT_EQ(got, (Messages{
                     progress(47, 100),
                     statusText(3, text(0x2400002F)),
                     statusText(3, text(0x24000030, "VendorCo", "Changer X")),
                     statusText(3, text(0x24000031, "DriveCo", "LTO-X")),
                     statusText(3, text(0x2400015A, "MA One")),
                     statusText(3, text(0x24000052, "TapeLib1 on ma1", "MA One")),
                     statusText(3, text(0x1F00004B, "TapeLib1 on ma1", "VendorCo", "Changer X", "4", "5", "9")),
                     statusText(3, text(0x24000053, "Drive1 via ma1", "MA One")),
                     statusText(3, text(0x1F000046, "Drive2 via ma1")),
                     operationResponse(47, 1, text(kNoNew)),
                 }));
}

TEST_F(AutoDetect, AControllerWithoutALibraryIsSkippedByTheCheck) {
  // A library-management object whose library part is missing, as a
  // detection may bring in: neither the agent check nor the library check
  // follows its controller to a library.
  ZQMACLms* empty = ZQMACGraph::AddLms(config(), 8, "NoLibrary");
  ZQMACGraph::SetLibrary(empty, nullptr);
  ZQMACLibController* orphan = ZQMACGraph::AddLibController(empty, m_w.agent1, 59, "orphan");
  ASSERT_NE(orphan, nullptr);
  ZQMACGraph::SetConfigured(orphan, true);
  testkit::mac::scriptDetection(finding({"ma1"}));
  const Messages got = run(stream().pair(kAgent, 2, "ma1").end(), true);
  EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 1, text(kNoNew))}));
}

TEST_F(AutoDetect, AShownLibraryWithoutDrivesOrIdentifiersIsWarnedAbout) {
  ZQMACLms* bare = ZQMACGraph::AddLms(config(), 6, "BareLib");
  ZQMACGraph::SetDisplayName(bare, "Bare Library");
  ZQMACGraph::SetDeviceIdentifier(bare->GetLibrary(), "lib-2");
  ZQMACLibController* first = ZQMACGraph::AddLibController(bare, m_w.agent2, 81, "BareLib on ma2");
  ZQMACLibController* second = ZQMACGraph::AddLibController(bare, m_w.agent2, 82, "BareLib on ma2, 2");
  ZQMACGraph::SetUnitAddress(first, {"", 0, 0, false});
  ZQMACGraph::SetUnitAddress(second, {"", 0, 0, true});
  ZQMACGraph::SetGeometry(bare->GetLibrary(), ZQMACGraph::LibraryGeometry{1, 2, 10, 7, 0});
  testkit::mac::scriptDetection(finding({"ma1"}));
  const Messages got = run(stream().pair(kAgent, 2, "ma1").end(), true);
  EXPECT_EQ(got, (Messages{progress(47, 100), statusText(3, text(0x240001ED, "Bare Library")),
                           operationResponse(47, 1, text(kNoNew))}));
}

TEST_F(AutoDetect, HostListDetectionAnswersStatus2AndEndsTheRequest) {
  for (const bool isNew : {false, true}) {
    SCOPED_TRACE(isNew);
    testkit::mac::DetectionScript script = finding({});
    if (isNew) script.newDeviceAgents = {"ma2"};
    testkit::mac::scriptDetection(script);
    testkit::mac::journal().reset();
    const Messages got = run(stream()
                                 .pair(kAgent, 2, "ma1")
                                 .pair(kAgent, 3, "ma2")
                                 .text(kHost, "h1.example.net")
                                 .text(kHost, "h2.example.net")
                                 .u32(kKeep, 1)
                                 .u32(kAutoDDS, 1)
                                 .end()
                                 .pair(kAgent, 2, "ma1")
                                 .end(),
                             false);
    EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 2, text(isNew ? kNew : kNoNew))}));
    // The last agent, through both hosts; the record behind is not read.
    EXPECT_EQ(journalOf("AutoDetectHosts"), (std::vector<std::string>{"ma2,h1.example.net,h2.example.net,true"}));
    EXPECT_TRUE(config().GetAutoDDSFlag());
    EXPECT_TRUE(tkmm::detectAgents::names().empty());
    expectHooksAtRest();
  }
}

TEST_F(AutoDetect, TheIPControllerIsDetectedExhaustivelyBeforeTheAgentList) {
  ZQMACIPLibController* ip = ZQMACGraph::AddIPLibController(m_w.lms, m_w.agent1, 91, "IP controller");
  ASSERT_NE(ip, nullptr);
  ZQMACGraph::SetUnitAddress(ip, {"", 0, 2, false});
  testkit::mac::scriptDetection(finding({"ma1"}));
  const Messages got = run(stream()
                               .pair(kAgent, 2, "ma1")
                               .u64(kIPController, handleOf(ip))
                               .text(kDriveId, "D1")
                               .text(kDriveId, "D2")
                               .u32(kParallel, 1)
                               .end(),
                           true);
  EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 2, text(kNew)), progress(47, 100),
                           operationResponse(47, 1, text(kNoNew))}));
  EXPECT_EQ(journalOf("ExhaustiveDetect"), (std::vector<std::string>{std::to_string(handleOf(ip)) + ",D1,D2"}));
  EXPECT_TRUE(config().GetDetectInParallelFlag());
}

TEST_F(AutoDetect, HandlesThatNameNoUsableIPControllerAreUnknown) {
  ZQMACIPLibController* ip = ZQMACGraph::AddIPLibController(m_w.lms, m_w.agent1, 91, "IP controller");
  ASSERT_NE(ip, nullptr);
  ZQMACGraph::SetUnitAddress(ip, {"", 0, 0, false});  // not of the IP kind
  const std::vector<unsigned long long> handles = {handleOf(m_w.controller1), handleOf(m_w.drive1), handleOf(ip),
                                                   0xFFFFFFFFull, 0};
  for (unsigned long long handle : handles) {
    SCOPED_TRACE(handle);
    testkit::mac::scriptDetection(finding({"ma1"}));
    testkit::mac::journal().reset();
    const Messages got =
        run(stream().pair(kAgent, 2, "ma1").u64(kIPController, handle).text(kDriveId, "D1").end(), true);
    EXPECT_TRUE(journalOf("ExhaustiveDetect").empty());
    EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 1, text(kNoNew))}));
  }
}

TEST_F(AutoDetect, ProgressAndStatusReachTheHolderWhileTheDetectionRuns) {
  std::mutex mutex;
  std::vector<Messages> seen;
  testkit::mac::DetectionScript script = finding({"ma1"});
  script.run.steps = {{"Probing ma1", 30}, {"", 60}, {"Done", 100}};
  script.run.onStep = [&](int) {
    std::lock_guard<std::mutex> guard(mutex);
    seen.push_back(ctltest::messagesOf(m_a.replies(), dettest::kSequence));
  };
  testkit::mac::scriptDetection(script);
  const Messages got = run(stream().pair(kAgent, 2, "ma1").end(), true);
  EXPECT_EQ(got, (Messages{operationResponse(47, 1, text(kNoNew))}));
  std::lock_guard<std::mutex> guard(mutex);
  EXPECT_EQ(seen, (std::vector<Messages>{{statusText(1, "Probing ma1"), progress(47, 30)},
                                         {progress(47, 60)},
                                         {statusText(1, "Done"), progress(47, 100)}}));
}

TEST_F(AutoDetect, ASessionEndedMidRunStopsEveryDetectionSilently) {
  struct Case {
    const char* name;
    bool succeed;
    bool hosts;
  };
  for (const Case& c : {Case{"agents, done", true, false}, Case{"agents, failed", false, false},
                        Case{"hosts, done", true, true}, Case{"hosts, failed", false, true}}) {
    SCOPED_TRACE(c.name);
    config().SetTerminateFlag(false);
    testkit::mac::DetectionScript script = finding({"ma1"});
    script.run.terminate = true;
    script.run.succeed = c.succeed;
    script.run.errorText = "gone";
    testkit::mac::scriptDetection(script);
    tktest::StreamBuilder s = stream().pair(kAgent, 2, "ma1");
    if (c.hosts) s.text(kHost, "h1");
    const Messages got = run(s.end().pair(kAgent, 2, "ma1").end(), false);
    EXPECT_EQ(got, (Messages{progress(47, 100)}));
  }
  config().SetTerminateFlag(false);
}

TEST_F(AutoDetect, AnotherConsoleTakingTheSessionOverMidRunStopsTheDetectionSilently) {
  auto lock = m_a.request(99, 0, kUser);
  lock->firstWord = 2;
  lock->elementCount = EvMMConfigMgr::kLockOpLock;
  m_mgr.LockMMConfiguration(lock.get(), 99, true);
  m_a.replies();
  auto probe = m_a.request(98, 0, kUser);
  ZQMACMediaConfig* held = EvMMConfigMgr::GetCurrentMediaConfig(probe.get(), false);
  ASSERT_NE(held, nullptr);
  testkit::mac::DetectionScript script = finding({"ma1"});
  script.run.steps = {{"", 50}, {"", 100}};
  script.run.onStep = [&](int step) {
    if (step != 0) return;
    auto request = m_b.request(100, 0, kUser);
    request->firstWord = 2;
    request->elementCount = EvMMConfigMgr::kLockOpForceLock;
    m_mgr.LockMMConfiguration(request.get(), 100, true);
  };
  testkit::mac::scriptDetection(script);
  const Messages got = run(stream().pair(kAgent, 2, "ma1").end().pair(kAgent, 2, "ma1").end(), false);
  // The progress before the take-over, then nothing more for this request.
  for (const Message& m : got) EXPECT_NE(m.id, 1024u) << m;
  EXPECT_TRUE(held->GetTerminateFlag());
}

TEST_F(AutoDetect, AFailedDetectionAnswersTheLastErrorAndClearsTheAgents) {
  testkit::mac::DetectionScript script = finding({"ma1"});
  script.run.succeed = false;
  script.run.errorCode = 0x1F000001;
  script.run.errorText = "The media agent [ma1] does not answer.";
  testkit::mac::scriptDetection(script);
  const Messages got = run(stream().pair(kAgent, 2, "ma1").u32(kKeep, 1).end(), false);
  EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 0, "The media agent [ma1] does not answer.")}));
  EXPECT_TRUE(tkmm::detectAgents::names().empty());
  expectHooksAtRest();
}

TEST_F(AutoDetect, WithoutASessionTheConsoleIsToldToClose) {
  tktest::resetSessionState();
  // Behind the notice that the session was taken over.
  const Messages got = run(stream().pair(kAgent, 2, "ma1").end(), true);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], operationResponse(0, 1, "Close"));
}

TEST_F(AutoDetect, EveryFailingPlatformCallStillAnswersTheConsole) {
  for (const bool hosts : {false, true}) {
    SCOPED_TRACE(hosts ? "hosts" : "agents");
    tktest::FaultSweep sweep;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      testkit::mac::scriptDetection(finding({"ma1"}));
      m_a.replies();
    };
    plan.request = [&] {
      tktest::StreamBuilder s = stream().pair(kAgent, 2, "ma1");
      if (hosts) s.text(kHost, "h1");
      auto message = s.end().build();
      m_mgr.onMsgMMAutoDetect(message.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::vector<tkwire::Reply> replies = m_a.replies();
      if (EvMMConfigMgr::GetClientSequenceNumber() != -1) return "the sequence number was left set";
      return tktest::answeredOnSocket(replies, run);
    };
    const tktest::SweepReport report = sweep.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
