// The control request record by record: the preamble, the session
// operations, the configuration operations with their audit records,
// refresh notices and the access grant, and the drive-use warning.
#include <gtest/gtest.h>

#include "platform/testkit/debuglog.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;

constexpr int kAuditConfigure = 0x540000B5;
constexpr int kAuditConfigureMode = 0x540000B6;
constexpr int kParamObject = 0x5500018B;
constexpr int kParamAlias = 0x550000BF;
constexpr int kParamDrive = 0x550000BE;
constexpr int kParamDriveConfigured = 0x550005D7;

struct Param {
  int messageId;
  std::vector<std::string> arguments;
  bool operator==(const Param&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Param& p) {
  os << std::hex << p.messageId << std::dec;
  for (const auto& a : p.arguments) os << " '" << a << "'";
  return os;
}

std::vector<Param> paramsOf(const testkit::audit::Record& record) {
  std::vector<Param> out;
  for (const auto& p : record.params) out.push_back({p.messageId, p.arguments});
  return out;
}

// The modes Configure was called with, in order.
std::vector<std::string> configureCalls() {
  std::vector<std::string> out;
  for (const auto& call : testkit::mac::journal().calls("Configure")) out.push_back(call.args.at(1));
  return out;
}

// A tape library whose drives are all unused until it is configured: the
// case in which configuring it brings its drives into use for the first time.
class FirstUseLms : public ZQMACLms {
 public:
  unsigned int CountDrives(bool inUse) override { return inUse && !TestStateA() ? 0 : 3; }
};

class Control : public ctltest::ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ZQMACGraph::SetTexts(m_world.lms, "Tape library 1", "changer");
    ZQMACGraph::SetDisplayName(m_world.lms, "TL One");
    ZQMACGraph::SetLibraryAlias(m_world.library, "TL1-alias");
    ZQMACGraph::SetTexts(m_world.drive1, "Drive one", "drive");
    ZQMACGraph::SetDeviceIdentity(m_world.drive1, {"VendorCo", "LTO", "SN1", "/dev/nst0", "unit", 0});
    testkit::external::setLibraryMediaAgents(5, {2, 3});
  }

  // A library the session has set up but not stored yet.
  ZQMACLms* newLibrary(const std::string& name) {
    ZQMACLms* lms = ZQMACGraph::AddLms(config(), -1, name);
    EXPECT_NE(lms, nullptr);
    EXPECT_EQ(lms->GetId(), 0xFFFFFFFFu);
    return lms;
  }
  FirstUseLms* firstUseLibrary() {
    auto* lms = new FirstUseLms();
    EXPECT_NE(config().AdoptObject(lms), 0u);
    ZQMACGraph::SetId(lms, 80);
    ZQMACGraph::SetName(lms, "FirstUse");
    auto* library = new ZQMACLibrary();
    EXPECT_NE(config().AdoptObject(library), 0u);
    ZQMACGraph::SetLibrary(lms, library);
    return lms;
  }
};

// ---------------------------------------------------------------- the preamble

TEST_F(Control, ANullRequestIsRefusedWithoutAnAnswer) {
  testkit::debuglog::Capture log;
  EXPECT_FALSE(m_mgr.onMsgSetMMControl(nullptr));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgSetMMControl", "Bad Parameter Received."));
  EXPECT_TRUE(m_a.replies().empty());
}

TEST_F(Control, ValuesOfOneRecordStayInForceForTheNextOnes) {
  // The second record repeats neither the handle nor the library id.
  const auto answers = run(stream().op(48).handle(handleOf(m_world.lms)).u32(ctltest::kElementLibraryId, 5).end()
                               .op(69).end()
                               .op(48).end(),
                           true);
  EXPECT_EQ(answers, (std::vector<Message>{operationResponse(48, 1, "Success"), operationResponse(69, 1, "Success"),
                                           operationResponse(48, 1, "Success")}));
  EXPECT_EQ(configureCalls(), (std::vector<std::string>{"0", "2", "0"}));
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].operationId, kAuditConfigure);
  EXPECT_EQ(records[2].entityId, 5);  // the library id of the first record
}

TEST_F(Control, AClientWhoseSessionWasTakenOverIsToldToCloseAtTheFirstRecordEnd) {
  const auto answers = run(stream(&m_b).op(48).handle(handleOf(m_world.lms)).end().op(33).end(), true, &m_b);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].id, 11055u);  // the force-close notice
  EXPECT_EQ(answers[1], operationResponse(48, 1, "Close"));
  EXPECT_EQ(testkit::mac::journal().count("Configure"), 0u);
  EXPECT_FALSE(config().GetAbortFlag());
  EXPECT_TRUE(m_a.replies().empty());
}

TEST_F(Control, TheHandleTestComesBeforeTheOperationTestAndAFailureEndsTheRequest) {
  {
    SCOPED_TRACE("an invalid code without a handle");
    EXPECT_EQ(run(stream().op(3).end().op(33).end(), false),
              std::vector<Message>{operationResponse(3, 0, ctltest::text(0x240001F3))});
  }
  {
    SCOPED_TRACE("an invalid code with a handle");
    EXPECT_EQ(run(stream().op(127).handle(handleOf(m_world.lms)).end().op(33).end(), false),
              std::vector<Message>{ctltest::statusReply(0, "Received invalid operation type")});
  }
  // Neither request read its second record.
  EXPECT_FALSE(config().GetAbortFlag());
}

TEST_F(Control, TheRefreshStateIsPreparedForTheLibraryOfTheRequest) {
  testkit::external::setAutoRefresh(true);
  run(stream().op(57).handle(handleOf(m_world.lms)).u32(ctltest::kElementLibraryId, 5).end(), true);
  EXPECT_EQ(testkit::external::journal().count("isAutoRefreshSet"), 1u);
  ASSERT_EQ(testkit::external::journal().count("getMAsforLibrary"), 1u);
  EXPECT_EQ(testkit::external::journal().calls("getMAsforLibrary")[0].args.at(0), "5");
  // Acknowledging sends no notice.
  EXPECT_TRUE(testkit::external::refreshNotices().empty());
}

// ---------------------------------------------------------------- session operations

TEST_F(Control, Operation12WhileADetectedLibraryIsUnconfiguredAnswersStatus2AndEndsTheRequest) {
  ASSERT_TRUE(testkit::mac::markExhaustiveDetected(config(), m_world.diskLibrary));
  ZQMACMediaConfig* before = m_config;
  EXPECT_EQ(run(stream().op(12).end().op(33).end(), false),
            std::vector<Message>{operationResponse(12, 2, ctltest::text(0x2400016B))});
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 0u);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(m_a.request(1, 0, ctltest::kUser).get(), false), before);
  EXPECT_FALSE(config().GetAbortFlag());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

TEST_F(Control, Operations12And68ReadANewInstanceThatTheFollowingRecordsUse) {
  for (uint32_t operation : {12u, 68u}) {
    SCOPED_TRACE(operation);
    ctltest::resetStandIns();
    testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
    ZQMACMediaConfig* before = m_config;
    const int64_t sequence = (int64_t{0x0009} << 48) | ctltest::kSequence;  // locale 9
    auto request = stream().sequence(sequence).op(operation).end().op(33).end().build();
    EXPECT_TRUE(m_mgr.onMsgSetMMControl(request.get()));
    EXPECT_EQ(ctltest::messagesOf(m_a.replies(), sequence),
              (std::vector<Message>{operationResponse(operation, 1, "Success"), operationResponse(33, 1, "Success")}));
    m_config = EvMMConfigMgr::GetCurrentMediaConfig(m_a.request(1, 0, ctltest::kUser).get(), false);
    ASSERT_NE(m_config, before);
    EXPECT_TRUE(config().IsInitialized());
    EXPECT_GT(config().GetObjectCount(), 0u);
    // The abort of the second record reached the new instance.
    EXPECT_TRUE(config().GetAbortFlag());
    EXPECT_EQ(ZQMACBase::GetLocale(), 9u);
    const auto reads = testkit::mac::journal().calls("ReadCurrentConfig");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].args, std::vector<std::string>{"false"});
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

TEST_F(Control, ANewInstanceThatCannotBeReadOrInitialisedIsAFailure) {
  for (const char* call : {"Initialize", "ReadCurrentConfig"}) {
    SCOPED_TRACE(call);
    ctltest::resetStandIns();
    testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
    testkit::mac::failNext(call, 0x1F000005, std::string(call) + " refused");
    EXPECT_EQ(run(stream().op(68).end().op(33).end(), false),
              std::vector<Message>{operationResponse(68, 0, std::string(call) + " refused")});
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

TEST_F(Control, Operation70RereadsTheCurrentInstance) {
  testkit::mac::ScopedLoader loader(testkit::mac::worldLoader());
  EXPECT_EQ(run(stream().op(70).end(), true), std::vector<Message>{operationResponse(70, 1, "Success")});
  const auto reads = testkit::mac::journal().calls("ReadCurrentConfig");
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].args, std::vector<std::string>{"true"});

  testkit::mac::failNext("ReadCurrentConfig", 0x1F000005, "the database is gone");
  EXPECT_EQ(run(stream().op(70).end().op(33).end(), false),
            std::vector<Message>{operationResponse(70, 0, "the database is gone")});
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

TEST_F(Control, Operation33SetsTheAbortFlagWithoutTouchingTheSequenceNumber) {
  EvMMConfigMgr::SetClientSequenceNumber(99);  // a long operation of the holder runs
  EXPECT_EQ(run(stream().op(33).end(), true), std::vector<Message>{operationResponse(33, 1, "Success")});
  EXPECT_TRUE(config().GetAbortFlag());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), 99);
}

// ---------------------------------------------------------------- configuration

TEST_F(Control, EachConfigureOperationPassesItsMode) {
  struct Case {
    uint32_t operation;
    ZQMACInterface* object;
    const char* mode;
  };
  const Case cases[] = {
      {48, m_world.lms, "0"},  {48, m_world.drive1, "0"}, {51, m_world.lms, "1"},   {51, m_world.pool1, "1"},
      {51, m_world.dms11, "3"}, {51, m_world.drive1, "3"}, {69, m_world.lms, "2"}, {69, m_world.diskLibrary, "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.operation) + " on " + c.object->GetName());
    ctltest::resetStandIns();
    EXPECT_EQ(runOne(c.operation, c.object, true), std::vector<Message>{operationResponse(c.operation, 1, "Success")});
    const auto calls = testkit::mac::journal().calls("Configure");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(handleOf(c.object)), c.mode}));
    EXPECT_TRUE(c.object->TestStateA());
  }
}

TEST_F(Control, ANewLibraryGivesTheRequestingUserAccessOnlyWhileRightsArePerMediaAgent) {
  for (bool grant : {false, true}) {
    if (grant) perMediaAgentRights(true);
    for (uint32_t operation : {48u, 51u, 69u}) {
      SCOPED_TRACE(std::to_string(operation) + (grant ? " grant on" : " grant off"));
      ctltest::resetStandIns();
      testkit::mac::setNewObjectIds(500 + static_cast<int>(operation));
      testkit::debuglog::Capture log;
      ZQMACLms* lms = newLibrary("New" + std::to_string(operation));
      EXPECT_EQ(runOne(operation, lms, true), std::vector<Message>{operationResponse(operation, 1, "Success")});
      EXPECT_EQ(lms->GetId(), 500u + operation);
      EXPECT_TRUE(log.contains("EvMMConfigMgr::onMsgSetMMControl", "CREATE NEW LIB"));
      const auto users = testkit::security::libraryUsers();
      if (grant) {
        EXPECT_EQ(users, (std::vector<std::pair<unsigned long, unsigned long>>{{ctltest::kUser, 500u + operation}}));
      } else {
        EXPECT_TRUE(users.empty());
      }
      EXPECT_EQ(testkit::security::journal().count("addUserToLibrary"), grant ? 1u : 0u);
    }
  }
}

TEST_F(Control, AnExistingLibraryIsNeverGrantedAgain) {
  perMediaAgentRights(true);
  testkit::debuglog::Capture log;
  EXPECT_EQ(runOne(51, m_world.lms, true), std::vector<Message>{operationResponse(51, 1, "Success")});
  EXPECT_TRUE(log.contains("CONFIG EXISTING LIB [5]"));
  EXPECT_EQ(testkit::security::journal().count("addUserToLibrary"), 0u);
}

TEST_F(Control, AFailedGrantAnswersItsTextAndTheConfigurationStaysWrittenAndAudited) {
  perMediaAgentRights(true);
  testkit::security::journal().injectFailure("addUserToLibrary", 5, "the user directory is down");
  ZQMACLms* lms = newLibrary("Fresh");
  EXPECT_EQ(run(stream().op(51).handle(handleOf(lms)).end().op(33).end(), false),
            std::vector<Message>{operationResponse(51, 0, ctltest::text(0x24000330, "Fresh"))});
  EXPECT_TRUE(lms->TestStateA());
  EXPECT_EQ(testkit::audit::records().size(), 1u);
  EXPECT_FALSE(config().GetAbortFlag());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

TEST_F(Control, ConfiguringALibraryWhoseDrivesComeIntoUseAnswersStatus2AndEndsTheRequest) {
  FirstUseLms* lms = firstUseLibrary();
  EXPECT_EQ(run(stream().op(51).handle(handleOf(lms)).end().op(33).end(), true),
            std::vector<Message>{operationResponse(51, 2, "Success")});
  EXPECT_FALSE(config().GetAbortFlag());
  EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
}

TEST_F(Control, NoDriveUseWarningForMixedStandAloneOrAlreadyUsedLibraries) {
  {
    SCOPED_TRACE("mixed drive types");
    FirstUseLms* lms = firstUseLibrary();
    testkit::mac::setMixedDriveType(lms, true);
    EXPECT_EQ(runOne(48, lms, true), std::vector<Message>{operationResponse(48, 1, "Success")});
  }
  {
    SCOPED_TRACE("stand-alone");
    FirstUseLms* lms = firstUseLibrary();
    ZQMACGraph::SetStandAlone(lms->GetLibrary(), true);
    EXPECT_EQ(runOne(48, lms, true), std::vector<Message>{operationResponse(48, 1, "Success")});
  }
  {
    SCOPED_TRACE("drives already in use");
    FirstUseLms* lms = firstUseLibrary();
    ZQMACGraph::SetConfigured(lms, true);
    EXPECT_EQ(runOne(48, lms, true), std::vector<Message>{operationResponse(48, 1, "Success")});
  }
}

TEST_F(Control, AFailedConfigureAnswersTheObjectsErrorAndIsNotAudited) {
  for (uint32_t operation : {48u, 51u, 69u}) {
    SCOPED_TRACE(operation);
    ctltest::resetStandIns();
    testkit::mac::failNext("Configure", 0x1F000010, "the changer does not answer");
    EXPECT_EQ(run(stream().op(operation).handle(handleOf(m_world.diskLibrary)).end().op(33).end(), false),
              std::vector<Message>{operationResponse(operation, 0, "the changer does not answer")});
    EXPECT_TRUE(testkit::audit::records().empty());
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

// ---------------------------------------------------------------- audit records and notices

TEST_F(Control, Operation48AuditsTheLibraryAfterSuccessAndNotifiesBeforeTheChangeWhateverHappens) {
  testkit::external::setAutoRefresh(true);
  ZQMACGraph::SetTexts(m_world.diskLibrary, "Disk library 1", "disk");
  // Configure fails: the notice went out, no record.
  testkit::mac::failNext("Configure", 0x1F000010, "refused");
  run(stream().op(48).handle(handleOf(m_world.diskLibrary)).u32(ctltest::kElementLibraryId, 9).end(), false);
  ASSERT_EQ(testkit::external::refreshNotices().size(), 1u);
  EXPECT_TRUE(testkit::audit::records().empty());

  ctltest::resetStandIns();
  testkit::external::setAutoRefresh(true);
  testkit::external::setLibraryMediaAgents(5, {2, 3});
  run(stream().op(48).handle(handleOf(m_world.lms)).u32(ctltest::kElementLibraryId, 5).end()
          .handle(handleOf(m_world.drive1)).end(),
      true);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& r : records) {
    EXPECT_EQ(r.operationId, kAuditConfigure);
    EXPECT_EQ(r.userId, static_cast<int>(ctltest::kUser));
    EXPECT_EQ(r.entityType, 9);
    EXPECT_EQ(r.entityId, 5);
  }
  EXPECT_EQ(paramsOf(records[0]), (std::vector<Param>{{kParamAlias, {"TL1-alias"}},
                                                      {kParamObject, {"TL One", "Tape library 1"}}}));
  EXPECT_EQ(paramsOf(records[1]), (std::vector<Param>{{kParamAlias, {"TL1-alias"}},
                                                      {kParamObject, {"Drive1", "Drive one"}},
                                                      {kParamDriveConfigured, {}},
                                                      {kParamDrive, {"/dev/nst0"}}}));
  // Only the library got a notice; a drive is no library.
  const auto notices = testkit::external::refreshNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].libraryId, 5);
  EXPECT_EQ(notices[0].entityType, 9);
  EXPECT_EQ(notices[0].guiId, ctltest::kGuiId);
  EXPECT_EQ(notices[0].mediaAgentIds, (std::vector<int>{2, 3}));
}

TEST_F(Control, Operations51And69AuditTheObjectsOwnIdAndOnly51Notifies) {
  testkit::external::setAutoRefresh(true);
  run(stream().op(51).handle(handleOf(m_world.lms)).u32(ctltest::kElementLibraryId, 5).end().op(69).end(), true);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].operationId, kAuditConfigureMode);
  EXPECT_EQ(records[1].operationId, kAuditConfigure);
  for (const auto& r : records) {
    EXPECT_EQ(r.entityId, 5);
    EXPECT_EQ(paramsOf(r), (std::vector<Param>{{kParamObject, {"TL One", "Tape library 1"}}}));
  }
  EXPECT_EQ(testkit::external::refreshNotices().size(), 1u);

  // A refused 51 sends no notice.
  ctltest::resetStandIns();
  testkit::external::setAutoRefresh(true);
  testkit::mac::failNext("Configure", 0x1F000010, "refused");
  run(stream().op(51).handle(handleOf(m_world.lms)).u32(ctltest::kElementLibraryId, 5).end(), false);
  EXPECT_TRUE(testkit::external::refreshNotices().empty());
}

}  // namespace
