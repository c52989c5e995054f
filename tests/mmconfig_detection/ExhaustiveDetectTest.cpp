// Exhaustive detection: of the record's object (11003 then 11053) or of
// the agents an auto-detection kept, with progress to the holder, the
// audit record of an object's detection, the refusal of a record with
// nothing to detect, and what failures and a session ended mid-run leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/clock.h"
#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/mmconfig_detection/DetectionFixture.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/StreamBuilder.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;
using ctltest::progress;
using ctltest::text;
using Messages = std::vector<Message>;

constexpr uint32_t kNumber = tktag::kDriveNumber;
constexpr uint32_t kPropertyD = tktag::kPropertyC;
constexpr unsigned long kNew = 0x24000179;
constexpr unsigned long kNoHandle = 0x240001F3;

class ExhaustiveDetect : public dettest::DetectionTest {
 protected:
  void SetUp() override {
    DetectionTest::SetUp();
    testkit::audit::reset();
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, 0);
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(kUser).sequence(dettest::kSequence);
  }
  Messages run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgMMExaustiveDetect(message.get()), expected);
    return ctltest::messagesOf(m_a.replies(), dettest::kSequence);
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
  static Messages done() { return {progress(47, 100), operationResponse(47, 2, text(kNew))}; }
};

TEST_F(ExhaustiveDetect, AnObjectIsDetectedWithItsNumberAndAudited) {
  ZQMACGraph::SetLibraryAlias(m_w.library, "TL1-alias");
  ZQMACGraph::SetDisplayName(m_w.drive1, "Drive One");
  ZQMACGraph::SetTexts(m_w.drive1, "drive text", "");
  ZQMACGraph::SetDeviceIdentity(m_w.drive1, {"VendorCo", "LTO", "SN1", "/dev/nst0", "unit", 0});
  const Messages got =
      run(stream().handle(handleOf(m_w.drive1)).u32(kNumber, 9).u32(kPropertyD, 0x77).end(), true);
  EXPECT_EQ(got, done());
  EXPECT_EQ(m_w.drive1->GetPropertyD(), 0x77u);
  EXPECT_EQ(journalOf("ExhaustiveDetectObject"), (std::vector<std::string>{std::to_string(handleOf(m_w.drive1)) + ",9"}));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, 0x540000B5);
  EXPECT_EQ(records[0].entityType, 9);
  EXPECT_EQ(records[0].entityId, 71);
  EXPECT_EQ(records[0].userId, static_cast<int>(kUser));
  ASSERT_EQ(records[0].params.size(), 4u);
  EXPECT_EQ(records[0].params[0].messageId, 0x550000BF);
  EXPECT_EQ(records[0].params[0].arguments, std::vector<std::string>{"TL1-alias"});
  EXPECT_EQ(records[0].params[1].messageId, 0x5500018B);
  EXPECT_EQ(records[0].params[1].arguments, (std::vector<std::string>{"Drive One", "drive text"}));
  EXPECT_EQ(records[0].params[2].messageId, 0x550005D6);
  EXPECT_EQ(records[0].params[3].messageId, 0x550000BE);
  EXPECT_EQ(records[0].params[3].arguments, std::vector<std::string>{"/dev/nst0"});
  // The library found this way must be configured before the session closes.
  ZQMACGraph::SetConfigured(m_w.lms, false);
  EXPECT_FALSE(config().IsExhaustiveDetectedLibraryConfigured());
}

TEST_F(ExhaustiveDetect, ARecordWithNothingToDetectIsRefusedWithoutTouchingAnything) {
  const std::vector<std::pair<const char*, tktest::StreamBuilder>> cases = {
      {"no elements", stream().end()},
      {"handle without 11053", stream().handle(handleOf(m_w.drive1)).end()},
      {"11053 before the handle", stream().u32(kPropertyD, 5).handle(handleOf(m_w.drive1)).end()},
      {"unknown handle", stream().handle(0xFFFFFFF0ull).u32(kPropertyD, 5).end()},
  };
  for (const auto& [name, request] : cases) {
    SCOPED_TRACE(name);
    testkit::mac::journal().reset();
    EXPECT_EQ(run(request, false), (Messages{operationResponse(47, 0, text(kNoHandle))}));
    EXPECT_TRUE(journalOf("ExhaustiveDetectObject").empty());
    EXPECT_EQ(m_w.drive1->GetPropertyD(), 0u);
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(ExhaustiveDetect, TheChosenAgentsAreDetectedFirstThenForgottenForTheNextRecord) {
  dettest::chooseAgents({"ma1", "ma2", "ma1"});
  const Messages got = run(stream()
                               .handle(handleOf(m_w.drive2))
                               .u32(kNumber, 4)
                               .u32(kPropertyD, 1)
                               .end()
                               .end(),
                           true);
  EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 2, text(kNew)), progress(47, 100),
                           operationResponse(47, 2, text(kNew))}));
  EXPECT_EQ(journalOf("ExhaustiveDetectAgents"), (std::vector<std::string>{"ma1,ma2,ma1,0"}));
  EXPECT_EQ(journalOf("ExhaustiveDetectObject"), (std::vector<std::string>{std::to_string(handleOf(m_w.drive2)) + ",4"}));
  EXPECT_TRUE(tkmm::detectAgents::names().empty());
  // Only the object's detection is audited.
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

TEST_F(ExhaustiveDetect, AFailedDetectionAnswersTheLastErrorAndForgetsTheAgents) {
  for (const bool agents : {true, false}) {
    SCOPED_TRACE(agents ? "agents" : "object");
    if (agents) dettest::chooseAgents({"ma1"});
    testkit::mac::DetectionScript script;
    script.run.steps = {{"", 100}};
    script.run.succeed = false;
    script.run.errorText = "The library does not answer.";
    testkit::mac::scriptDetection(script);
    const Messages got =
        run(stream().handle(handleOf(m_w.lms)).u32(kPropertyD, 1).end().end(), false);
    EXPECT_EQ(got, (Messages{progress(47, 100), operationResponse(47, 0, "The library does not answer.")}));
    EXPECT_TRUE(tkmm::detectAgents::names().empty());
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(ExhaustiveDetect, ASessionEndedMidRunStopsSilentlyAndKeepsTheAgents) {
  for (const bool succeed : {true, false}) {
    SCOPED_TRACE(succeed);
    config().SetTerminateFlag(false);
    dettest::chooseAgents({"ma1"});
    testkit::mac::DetectionScript script;
    script.run.steps = {{"", 100}};
    script.run.terminate = true;
    script.run.succeed = succeed;
    testkit::mac::scriptDetection(script);
    EXPECT_EQ(run(stream().handle(handleOf(m_w.lms)).u32(kPropertyD, 1).end().end(), false),
              (Messages{progress(47, 100)}));
    EXPECT_EQ(tkmm::detectAgents::names(), std::vector<std::string>{"ma1"});
  }
  config().SetTerminateFlag(false);
}

TEST_F(ExhaustiveDetect, WithoutASessionTheConsoleIsToldToCloseUnderOperation47) {
  tktest::resetSessionState();
  // Behind the notice that the session was taken over.
  const Messages got = run(stream().handle(1).u32(kPropertyD, 1).end(), true);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], operationResponse(47, 1, "Close"));
}

TEST_F(ExhaustiveDetect, EveryFailingPlatformCallStillAnswersTheConsole) {
  // One time for every run: the audit record of the clean run is the same.
  testkit::clock::FakeClock clock(1'700'000'000);
  for (const bool agents : {false, true}) {
    SCOPED_TRACE(agents ? "agents" : "object");
    tktest::FaultSweep sweep;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      if (agents) dettest::chooseAgents({"ma1"});
      m_a.replies();
    };
    plan.request = [&] {
      auto message = stream().handle(handleOf(m_w.drive1)).u32(kPropertyD, 1).end().build();
      m_mgr.onMsgMMExaustiveDetect(message.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::vector<tkwire::Reply> replies = m_a.replies();
      if (EvMMConfigMgr::GetClientSequenceNumber() != -1) return "the sequence number was left set";
      if (!tkmm::detectAgents::names().empty()) return "the chosen agents were kept";
      return tktest::answeredOnSocket(replies, run);
    };
    const tktest::SweepReport report = sweep.run(plan);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
