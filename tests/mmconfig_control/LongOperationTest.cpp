// The long operations of the control request: the progress (1017) and
// status texts (11055) that reach the session holder from the object
// model's own thread while the request runs, the audit record of operation
// 50, the credentials of operation 105, and what a failure, an abort and
// the end of the session leave behind.
#include <gtest/gtest.h>

#include <mutex>

#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using ctltest::Message;
using ctltest::operationResponse;
using ctltest::progress;
using ctltest::statusText;

constexpr int kAuditLongOperation = 0x540001D0;
constexpr int kParamAlias = 0x550000BF;
constexpr int kParamDrive = 0x550000BE;
constexpr int kParamLongOperation = 0x55000456;

class LongOperation : public ctltest::ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    // Four drives in the tape library.
    ZQMACGraph::AddDrive(m_world.lms, 73, "Drive3", 3);
    ZQMACGraph::AddDrive(m_world.lms, 74, "Drive4", 4);
    ZQMACGraph::SetLibraryAlias(m_world.library, "TL1-alias");
    ZQMACGraph::SetDisplayName(m_world.lms, "TL One");
  }

  // A script whose steps record what the client had read by then: the
  // messages arrive while the request still runs.
  testkit::mac::LongOperationScript watched(testkit::mac::LongOperationScript script) {
    script.onStep = [this](int) {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_seen.push_back(ctltest::messagesOf(m_a.replies()));
    };
    return script;
  }
  std::vector<std::vector<Message>> seen() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_seen;
  }
  // The hooks are at rest: nothing reaches the client through them.
  void expectHooksAtRest() {
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
    EXPECT_EQ(g_ulSteps.load(), 0u);
    EXPECT_EQ(g_ulTotalSteps.load(), 0u);
    EvMMConfigMgr::SetClientSequenceNumber(7);
    ZQMACMediaConfig::SetPercentage(40);
    ZQMACMediaConfig::SetStatusText("after");
    EvMMConfigMgr::ResetClientSequenceNumber();
    // Only the status hook is registered at rest, with type 0.
    EXPECT_EQ(ctltest::messagesOf(m_a.replies(), 7), std::vector<Message>{statusText(0, "after")});
  }

  std::mutex m_mutex;
  std::vector<std::vector<Message>> m_seen;
};

// ---------------------------------------------------------------- operation 50

TEST_F(LongOperation, FourStepsOfFourReachTheHolderWhileTheRequestRunsThenSuccess) {
  testkit::mac::scriptLongOperations(watched(testkit::mac::percentages({10, 40, 70, 100})));
  EXPECT_EQ(runOne(50, m_world.lms, true), std::vector<Message>{operationResponse(50, 1, "Success")});
  EXPECT_EQ(seen(), (std::vector<std::vector<Message>>{
                        {progress(50, 6)}, {progress(50, 12)}, {progress(50, 18)}, {progress(50, 25)}}));
  expectHooksAtRest();
}

TEST_F(LongOperation, StatusTextsComeWithCode1BetweenTheSteps) {
  testkit::mac::LongOperationScript script;
  script.steps = {{"Checking Drive1", 50}, {"", 100}, {"Done", -1}};
  testkit::mac::scriptLongOperations(script);
  EXPECT_EQ(runOne(50, m_world.lms, true),
            (std::vector<Message>{statusText(1, "Checking Drive1"), progress(50, 6), progress(50, 12),
                                  statusText(1, "Done"), operationResponse(50, 1, "Success")}));
}

TEST_F(LongOperation, AnObjectWithoutDrivesPassesTheModelsOwnValues) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({33, 66}));
  EXPECT_EQ(runOne(50, m_world.diskLibrary, true),
            (std::vector<Message>{progress(50, 33), progress(50, 66), operationResponse(50, 1, "Success")}));
}

TEST_F(LongOperation, Operation50IsAuditedAgainstItsLibraryOnceItRan) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({}));
  ZQMACGraph::SetDeviceIdentity(m_world.drive1, {"VendorCo", "LTO", "SN1", "/dev/nst0", "unit", 0});
  run(stream().op(50).handle(handleOf(m_world.lms)).end().handle(handleOf(m_world.drive1)).end(), true);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& r : records) {
    EXPECT_EQ(r.operationId, kAuditLongOperation);
    EXPECT_EQ(r.entityType, 9);
    EXPECT_EQ(r.entityId, 5);
    EXPECT_EQ(r.userId, static_cast<int>(ctltest::kUser));
  }
  ASSERT_EQ(records[0].params.size(), 2u);
  EXPECT_EQ(records[0].params[0].messageId, kParamAlias);
  EXPECT_EQ(records[0].params[0].arguments, std::vector<std::string>{"TL1-alias"});
  EXPECT_EQ(records[0].params[1].messageId, kParamLongOperation);
  EXPECT_EQ(records[0].params[1].arguments, std::vector<std::string>{"TL One"});
  ASSERT_EQ(records[1].params.size(), 3u);
  EXPECT_EQ(records[1].params[1].arguments, std::vector<std::string>{"Drive1"});
  EXPECT_EQ(records[1].params[2].messageId, kParamDrive);
  EXPECT_EQ(records[1].params[2].arguments, std::vector<std::string>{"/dev/nst0"});
}

TEST_F(LongOperation, AnObjectWithoutALibraryPartIsStillAuditedWithItsOperation) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({}));
  runOne(50, m_world.diskLibrary, true);
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].operationId, kAuditLongOperation);
  EXPECT_EQ(records[0].entityType, 9);
  EXPECT_EQ(records[0].entityId, 0);
  ASSERT_EQ(records[0].params.size(), 1u);
  EXPECT_EQ(records[0].params[0].messageId, kParamLongOperation);
  EXPECT_EQ(records[0].params[0].arguments, std::vector<std::string>{"DiskLib1"});
}

TEST_F(LongOperation, AFailedOperationAnswersItsErrorPutsTheHooksAtRestAndIsNotAudited) {
  testkit::mac::LongOperationScript script = testkit::mac::percentages({50});
  script.succeed = false;
  script.errorCode = 0x1F000011;
  script.errorText = "Drive3 did not answer";
  testkit::mac::scriptLongOperations(script);
  EXPECT_EQ(run(stream().op(50).handle(handleOf(m_world.lms)).end().op(33).end(), false),
            (std::vector<Message>{progress(50, 6), operationResponse(50, 0, "Drive3 did not answer")}));
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_FALSE(config().GetAbortFlag());
  expectHooksAtRest();
}

TEST_F(LongOperation, AnAbortBeforeTheOperationIsClearedAndOneDuringItStopsIt) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({50, 100}));
  EXPECT_EQ(run(stream().op(33).end().op(50).handle(handleOf(m_world.lms)).end(), true),
            (std::vector<Message>{operationResponse(33, 1, "Success"), progress(50, 6), progress(50, 12),
                                  operationResponse(50, 1, "Success")}));

  testkit::mac::LongOperationScript script = testkit::mac::percentages({50, 100});
  script.onStep = [this](int) { config().SetAbortFlag(true); };
  testkit::mac::scriptLongOperations(script);
  const auto answers = runOne(50, m_world.lms, false);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0], progress(50, 6));
  EXPECT_EQ(answers[1], operationResponse(50, 0, "The operation was stopped at the console's request."));
  expectHooksAtRest();
}

TEST_F(LongOperation, AnOperationThatEndsAfterTheSessionWasReleasedLeavesEverythingAsItIs) {
  {
    SCOPED_TRACE("failure");
    testkit::mac::LongOperationScript script = testkit::mac::percentages({50});
    script.succeed = false;
    script.errorText = "gone";
    script.terminate = true;
    testkit::mac::scriptLongOperations(script);
    EXPECT_EQ(runOne(50, m_world.lms, false), std::vector<Message>{progress(50, 6)});
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), ctltest::kSequence);
    EXPECT_EQ(g_ulSteps.load(), 1u);
    EXPECT_EQ(g_ulTotalSteps.load(), 4u);
    // The hooks are still registered.
    ZQMACMediaConfig::SetPercentage(1);
    EXPECT_EQ(ctltest::messagesOf(m_a.replies()), std::vector<Message>{progress(50, 12)});
  }
  {
    SCOPED_TRACE("success");
    config().SetTerminateFlag(false);
    testkit::mac::LongOperationScript script = testkit::mac::percentages({50});
    script.terminate = true;
    testkit::mac::scriptLongOperations(script);
    EXPECT_EQ(runOne(50, m_world.lms, true),
              (std::vector<Message>{progress(50, 6), operationResponse(50, 1, "Success")}));
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), ctltest::kSequence);
    EXPECT_EQ(testkit::audit::records().size(), 1u);
  }
}

// ---------------------------------------------------------------- operation 105

class CredentialOperation : public LongOperation {
 protected:
  tktest::StreamBuilder credentials(const std::string& password = "s3cret") {
    return stream()
        .op(105)
        .handle(handleOf(m_world.diskLibrary))
        .pair(ctltest::kElementName, 0, "cloud-account")
        .raw(ctltest::kElementUserName, ctltest::encrypted("alice"))
        .raw(ctltest::kElementPassword, ctltest::encrypted(password));
  }
};

TEST_F(CredentialOperation, ItsPercentagesPassAsTheyComeThen100AndTheResultThenSuccess) {
  testkit::mac::LongOperationScript script = watched(testkit::mac::percentages({20, 70}));
  script.result = "Account verified.";
  testkit::mac::scriptLongOperations(script);
  EXPECT_EQ(run(credentials().end(), true),
            (std::vector<Message>{progress(105, 100), statusText(1, "Account verified."),
                                  operationResponse(105, 1, "Success")}));
  EXPECT_EQ(seen(), (std::vector<std::vector<Message>>{{progress(105, 20)}, {progress(105, 70)}}));
  const auto calls = testkit::mac::journal().calls("RunCredentialOperation");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(handleOf(m_world.diskLibrary)), "cloud-account",
                                                     "alice", "6"}));
  expectHooksAtRest();
}

TEST_F(CredentialOperation, AnEmptyResultSendsNoStatusText) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({}));
  EXPECT_EQ(run(credentials().end(), true),
            (std::vector<Message>{progress(105, 100), operationResponse(105, 1, "Success")}));
}

TEST_F(CredentialOperation, TheLongestPasswordAnElementCarriesArrivesWhole) {
  testkit::mac::scriptLongOperations(testkit::mac::percentages({}));
  // Its encrypted form fills all but one byte of the 4,104-byte value.
  const std::string password(2051, 'p');
  ASSERT_EQ(ctltest::encrypted(password).size(), 4103u);
  EXPECT_EQ(run(credentials(password).end(), true).back(), operationResponse(105, 1, "Success"));
  const auto calls = testkit::mac::journal().calls("RunCredentialOperation");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args.at(3), "2051");
}

TEST_F(CredentialOperation, MissingOrUndecryptableCredentialsAreRefusedBeforeAnythingRuns) {
  struct Case {
    const char* name;
    tktest::StreamBuilder request;
  };
  const Case cases[] = {
      {"no name", stream().op(105).handle(handleOf(m_world.diskLibrary))
                      .raw(ctltest::kElementUserName, ctltest::encrypted("alice"))
                      .raw(ctltest::kElementPassword, ctltest::encrypted("pw"))},
      {"no password", stream().op(105).handle(handleOf(m_world.diskLibrary)).pair(ctltest::kElementName, 0, "n")
                          .raw(ctltest::kElementUserName, ctltest::encrypted("alice"))},
      {"password not decryptable", stream().op(105).handle(handleOf(m_world.diskLibrary))
                                       .pair(ctltest::kElementName, 0, "n")
                                       .raw(ctltest::kElementUserName, ctltest::encrypted("alice"))
                                       .raw(ctltest::kElementPassword, std::string("not encrypted"))},
      // A user name that fails to decrypt replaces an earlier good one.
      {"user name not decryptable", credentials().end().raw(ctltest::kElementUserName, std::string("garbage"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ctltest::resetStandIns();
    testkit::mac::scriptLongOperations(testkit::mac::percentages({}));
    tktest::StreamBuilder request = c.request;
    const auto answers = run(request.end(), false);
    ASSERT_FALSE(answers.empty());
    EXPECT_EQ(answers.back(), operationResponse(105, 0, ctltest::text(0x240001F3)));
    const std::size_t ran = std::string(c.name) == "user name not decryptable" ? 1u : 0u;
    EXPECT_EQ(testkit::mac::journal().count("RunCredentialOperation"), ran);
    EXPECT_EQ(EvMMConfigMgr::GetClientSequenceNumber(), -1);
  }
}

TEST_F(CredentialOperation, AFailureAnswersTheObjectsErrorAndPutsTheHooksAtRest) {
  testkit::mac::LongOperationScript script = testkit::mac::percentages({30});
  script.succeed = false;
  script.errorCode = 0x1F000012;
  script.errorText = "The account was refused.";
  testkit::mac::scriptLongOperations(script);
  EXPECT_EQ(run(credentials().end(), false),
            (std::vector<Message>{progress(105, 30), operationResponse(105, 0, "The account was refused.")}));
  expectHooksAtRest();
}

}  // namespace
