// The configuration lock in both forms: rights, the per-media-agent switch,
// failures of the media-management service, of initialisation and of
// reading, failures of the XML message library, the server sequence number,
// force locks and the previous holder, and the unlock test of libraries
// found by exhaustive detection.
#include <gtest/gtest.h>

#include "platform/testkit/db.h"
#include "tests/frame_lock/LockFixture.h"

namespace {

using locktest::kAlice;
using locktest::kBob;
using locktest::State;
using locktest::text;

class Lock : public locktest::LockTest {
 protected:
  // The rights question's arguments, as asked.
  std::vector<std::vector<std::string>> rightsAsked() const {
    std::vector<std::vector<std::string>> out;
    for (const auto& call : testkit::security::journal().calls("canManageTarnkeep")) out.push_back(call.args);
    return out;
  }
  void perMediaAgentRights(const char* value) {
    ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', " +
                        std::string(value) + ")"),
              0);
  }
};

// ---------------------------------------------------------------- lock and rights

TEST_F(Lock, StreamLockTakesTheLockAndLoadsTheConfiguration) {
  testkit::debuglog::Capture log;
  auto request = locktest::streamRequest(m_a, kAlice, 1, 5, 0x0000000000000042LL);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1234, true), 1);

  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 1u);
  EXPECT_EQ(status->text, text(0x240001F0));
  EXPECT_EQ(status->sequence, 0x42);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 1234));

  // The rights argument is the request's first word.
  EXPECT_EQ(rightsAsked(), (std::vector<std::vector<std::string>>{{"7", "5"}}));
  // A new session for the installation, loaded.
  ZQMACMediaConfig* config = locktest::newestInstance();
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->GetInstallationName(), "site-a");
  EXPECT_EQ(config->GetObjectCount() > 0, true);
  const auto reads = testkit::mac::journal().calls("ReadCurrentConfig");
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].args, (std::vector<std::string>{"false"}));
  EXPECT_TRUE(testkit::alerts::sent().empty());

  const std::string tag = "EvMMConfigMgr::LockMMConfiguration";
  EXPECT_TRUE(log.contains(tag, "Received request by [alice] to lock the MM configuration."));
  EXPECT_TRUE(log.contains(tag, "User can configure the Media Manager"));
}

TEST_F(Lock, TheRequestLinesNameTheOperation) {
  const std::string tag = "EvMMConfigMgr::LockMMConfiguration";
  struct Case {
    uint32_t operation;
    const char* line;
  } cases[] = {{1, "Received request by [bob] to lock the MM configuration."},
               {3, "Received request by [bob] to force lock the MM configuration."},
               {0, "Received request by [bob] to unlock the MM configuration."},
               {2, "Received request by [bob] to unlock the MM configuration."},
               {9, "Received request by [bob] to unlock the MM configuration."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    testkit::debuglog::Capture log;
    auto request = locktest::streamRequest(m_b, kBob, c.operation);
    m_mgr.LockMMConfiguration(request.get(), 1, true);
    xmlCall(m_b, kBob, locktest::xmlRequest(c.operation));
    EXPECT_TRUE(log.contains(tag, c.line));
    EXPECT_TRUE(log.contains("EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML", c.line));
    m_b.replies();
  }
}

TEST_F(Lock, RefusedRightsRaiseTheAlertAndLeaveTheStateAlone) {
  testkit::security::deny("canManageTarnkeep", kBob, testkit::security::kAny, "bob may not manage the server");
  aliceHoldsTheLock();
  const State before = State::now();
  const std::string refusal = text(0x240001EF, "bob may not manage the server");
  EXPECT_NE(refusal.find("bob may not manage the server"), std::string::npos);

  for (uint32_t operation : {1u, 3u, 0u, 2u}) {
    SCOPED_TRACE(operation);
    testkit::alerts::reset();
    testkit::security::journal().reset();
    testkit::debuglog::Capture log;

    // Element-stream form: rights argument from the first word.
    auto request = locktest::streamRequest(m_b, kBob, operation, 9);
    EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 77, true), 0);
    auto status = locktest::onlyStatus(m_b.replies());
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->status, 0u);
    EXPECT_EQ(status->text, refusal);
    EXPECT_EQ(State::now(), before);

    // XML form: rights argument 2.
    auto response = locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(operation, 77)));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->code, -1);
    EXPECT_EQ(response->text, refusal);
    EXPECT_EQ(State::now(), before);
    EXPECT_TRUE(m_b.replies().empty());

    EXPECT_EQ(rightsAsked(), (std::vector<std::vector<std::string>>{{"8", "9"}, {"8", "2"}}));
    const auto alerts = testkit::alerts::sent();
    ASSERT_EQ(alerts.size(), 2u);
    for (const auto& alert : alerts) {
      EXPECT_EQ(alert.alertId, 1020);
      EXPECT_EQ(alert.condition, 12);
      EXPECT_EQ(alert.whomId, static_cast<long>(kBob));
      EXPECT_EQ(alert.message, "bob may not manage the server");
      EXPECT_EQ(alert.flags, 0);
      EXPECT_EQ(alert.delay, 0);
      EXPECT_EQ(alert.reserved, 0);
    }
    EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "bob may not manage the server"));
    EXPECT_TRUE(log.contains("EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML", "bob may not manage the server"));
  }
  EXPECT_TRUE(m_a.replies().empty());
}

TEST_F(Lock, PerMediaAgentRightsSkipTheLockRightsCheck) {
  testkit::security::deny("canManageTarnkeep");
  perMediaAgentRights("1");
  ASSERT_TRUE(EvMMConfigMgr::doMACheck());

  auto request = locktest::streamRequest(m_a, kAlice, 1, 5);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 10, true), 1);
  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 1u);

  auto response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(2)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, 0);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);

  EXPECT_TRUE(rightsAsked().empty());
  EXPECT_TRUE(testkit::alerts::sent().empty());
}

TEST_F(Lock, DoMACheckReadsTheParameterEveryTime) {
  struct Case {
    const char* name;
    const char* value;  // null: no row
    bool expected;
  } cases[] = {
      {"not set", nullptr, false},   {"zero", "0", false},         {"one", "1", true},
      {"any non-zero", "-3", true},  {"as text", "'1'", true},     {"text zero", "'0'", false},
      {"not a number", "'yes'", false}, {"NULL", "NULL", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(m_db.exec("DELETE FROM MMConfigs"), 0);
    if (c.value != nullptr) perMediaAgentRights(c.value);
    EXPECT_EQ(EvMMConfigMgr::doMACheck(), c.expected);
  }
  // A parameter name is matched without regard to letter case; other
  // parameters do not count.
  ASSERT_EQ(m_db.exec("DELETE FROM MMConfigs"), 0);
  ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('mms2_config_check_user_ma_right', 1), "
                      "('MMCONFIG_FORCE_DELETE_MP_ENABLED_FLAG', 0)"),
            0);
  EXPECT_TRUE(EvMMConfigMgr::doMACheck());
  // A failed read gives false (rights are then checked by the lock).
  testkit::db::journal().injectFailure("exec", 204, "database is locked");
  EXPECT_FALSE(EvMMConfigMgr::doMACheck());
  EXPECT_TRUE(EvMMConfigMgr::doMACheck());
}

// ---------------------------------------------------------------- failures of the service, init, read

TEST_F(Lock, AFailedConnectionTestLeavesTheLockFree) {
  const std::string unreachable = text(0x1F00016D, "site-a");
  EXPECT_NE(unreachable.find("site-a"), std::string::npos);

  // Element-stream form.
  testkit::mac::failNext("TestConnectToMediaManager", 1, "no answer");
  auto request = locktest::streamRequest(m_a, kAlice, 1);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 10, true), 0);
  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 0u);
  EXPECT_EQ(status->text, unreachable);
  // The requester's new instance stays, and it is the session holder.
  EXPECT_EQ(State::now(), (State{0, 0, m_a.socket().GetSocketDescriptor(), kAlice, ""}));
  EXPECT_EQ(locktest::cacheSize(), 1u);
  EXPECT_EQ(locktest::newestInstance()->GetLastError(), unreachable);
  EXPECT_EQ(locktest::newestInstance()->GetLastErrorCode(), 0x1F00016Du);
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 0u);

  // XML form.
  testkit::mac::failNext("TestConnectToMediaManager", 1, "no answer");
  auto response = locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(1, 11)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, unreachable);
  EXPECT_EQ(State::now(), (State{0, 0, m_b.socket().GetSocketDescriptor(), kBob, ""}));
  EXPECT_EQ(locktest::cacheSize(), 2u);
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 0u);

  // Force locks make no connection test: a service that would not answer
  // does not stop them.
  testkit::mac::failNext("TestConnectToMediaManager", 1, "no answer", 2);
  request = locktest::streamRequest(m_a, kAlice, 3);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 12, true), 1);
  EXPECT_EQ(locktest::onlyStatus(m_a.replies())->status, 1u);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 12));
  response = locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3, 13)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, 0);
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 13, "bob"));
  EXPECT_EQ(testkit::mac::journal().count("TestConnectToMediaManager"), 2u) << "only the two lock requests asked";
  EXPECT_FALSE(ZQMACDbInterface::TestConnectToMediaManager()) << "the scripted failures are still there";
  EXPECT_FALSE(ZQMACDbInterface::TestConnectToMediaManager());
}

TEST_F(Lock, AFailedReadTakesTheLockOnlyInTheElementStreamForm) {
  // Element-stream lock: answered 0 with the read error, yet taken.
  testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, "the database cannot be read");
  auto request = locktest::streamRequest(m_a, kAlice, 1);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 10, true), 1);
  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 0u);
  EXPECT_EQ(status->text, "the database cannot be read");
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 10));

  // Element-stream force lock: the same.
  testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, "the database cannot be read");
  request = locktest::streamRequest(m_b, kBob, 3);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 20, true), 1);
  status = locktest::onlyStatus(m_b.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 0u);
  EXPECT_EQ(status->text, "the database cannot be read");
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 20, "bob"));

  // XML lock: not taken.
  EvMMConfigMgr::m_ulLockedMMConfig = 0;
  testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, "the database cannot be read");
  auto response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(1, 30)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, "the database cannot be read");
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
  EXPECT_EQ(EvMMConfigMgr::m_serverSequenceNumber.load(), 20) << "the sequence number is stored only with the lock";

  // XML force lock: taken (it is the requester's from the start).
  testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, "the database cannot be read");
  response = locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3, 40)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, "the database cannot be read");
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 40, "bob"));
}

TEST_F(Lock, AFailedInitialisationIsIgnoredByLockAndReportedByForceLock) {
  // Lock (both forms): the result of Initialize is not examined.
  testkit::mac::failNext("Initialize", 0x1F000200, "the installation is unknown");
  auto request = locktest::streamRequest(m_a, kAlice, 1);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 10, true), 1);
  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 1u);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 10));

  ASSERT_EQ(locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(2)))->code, 0);
  testkit::mac::failNext("Initialize", 0x1F000200, "the installation is unknown");
  auto response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(1, 11)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, 0);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 11));

  // Element-stream force lock: answered 0, returns 0, and the lock is held
  // by the requester all the same.
  testkit::debuglog::Capture log;
  testkit::mac::failNext("Initialize", 0x1F000200, "the installation is unknown");
  request = locktest::streamRequest(m_b, kBob, 3);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 20, true), 0);
  status = locktest::onlyStatus(m_b.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 0u);
  EXPECT_EQ(status->text, "the installation is unknown");
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 20, "bob"));
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 2u) << "no read after a failed initialisation";
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "Error occurred while initialize ZQMACMediaConfig"));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "User can configure the Media Manager"));

  // XML force lock: code -1 with the text, the lock held by the requester.
  testkit::mac::failNext("Initialize", 0x1F000200, "the installation is unknown");
  response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(3, 30)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, "the installation is unknown");
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 30, "alice"));
}

// ---------------------------------------------------------------- the XML message library

TEST_F(Lock, XmlLibraryFailuresAreAnsweredAndLeaveTheStateAlone) {
  aliceHoldsTheLock();
  const State before = State::now();
  const std::string request = locktest::xmlRequest(0);

  testkit::xml::failNext(testkit::xml::Call::Initialize, 3);
  auto response = locktest::readResponse(xmlCall(m_a, kAlice, request));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, text(0x23000451));
  EXPECT_EQ(State::now(), before);

  testkit::xml::failNext(testkit::xml::Call::Unserialize, 2);
  response = locktest::readResponse(xmlCall(m_a, kAlice, request));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, text(0x23000452));
  EXPECT_EQ(State::now(), before);

  // Texts that do not read as the request.
  for (const char* bad : {"", "not xml", "<EVGui_GenericResp i1=\"0\"/>",
                          "<!DOCTYPE x [<!ENTITY e \"e\">]><EVGui_MMConfigurationLockUnlockReq/>",
                          "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" "
                          "i2=\"zero\"/></EVGui_MMConfigurationLockUnlockReq>"}) {
    SCOPED_TRACE(bad);
    response = locktest::readResponse(xmlCall(m_a, kAlice, bad));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->code, -1);
    EXPECT_EQ(response->text, text(0x23000452));
    EXPECT_EQ(State::now(), before);
  }
  EXPECT_TRUE(testkit::security::journal().calls("canManageTarnkeep").size() == 1u) << "only alice's lock was checked";
}

TEST_F(Lock, ARequestWithoutItsOperationIsNotAnUnlock) {
  aliceHoldsTheLock();
  const State before = State::now();
  for (const char* xml : {"<EVGui_MMConfigurationLockUnlockReq/>",
                          "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" "
                          "i1=\"5\"/></EVGui_MMConfigurationLockUnlockReq>"}) {
    SCOPED_TRACE(xml);
    auto response = locktest::readResponse(xmlCall(m_a, kAlice, xml));
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->code, -1);
    EXPECT_EQ(response->text, text(0x23000452));
    EXPECT_EQ(State::now(), before);
  }
}

TEST_F(Lock, AResponseThatCannotBeWrittenEmptiesTheBuffer) {
  testkit::debuglog::Capture log;
  const std::string request = locktest::xmlRequest(1, 5);
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 1, 0, 10);
  EXPECT_TRUE(xmlCall(m_a, kAlice, request).empty());
  testkit::xml::clearFailures();
  // The operation itself was done.
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 5));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML",
                           "Error [10] return from ZQGui::GenericResp::serialize."));
}

TEST_F(Lock, TheResponseIsTheCanonicalGenericAnswer) {
  EXPECT_EQ(xmlCall(m_a, kAlice, locktest::xmlRequest(1, 5)), "<ZQGui_GenericResp i1=\"0\"/>");
  EXPECT_EQ(xmlCall(m_b, kBob, locktest::xmlRequest(1, 5)),
            "<ZQGui_GenericResp i1=\"-1\" s2=\"" + text(0x240002F9, "alice") + "\"/>");
  // The request as a console writes it.
  EXPECT_EQ(locktest::xmlRequest(3, -1),
            "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"3\"/>"
            "</EVGui_MMConfigurationLockUnlockReq>");
}

TEST_F(Lock, NullRequests) {
  EvMMConfigMgr::m_initialized = false;
  testkit::debuglog::Capture log;
  EXPECT_EQ(m_mgr.LockMMConfiguration(nullptr, 1, true), 0);
  std::string xml = locktest::xmlRequest(1);
  EXPECT_EQ(m_mgr.OnMsgLockUnlockMMConfigurationXML(nullptr, xml), 0);
  EXPECT_TRUE(xml.empty()) << "the request text must not go back as the response";
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "Bad Parameter Received."));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML", "Bad Parameter Received."));
  EXPECT_EQ(State::now(), (State{0, 0, -1, 0, ""}));
  EXPECT_TRUE(EvMMConfigMgr::m_initialized.load()) << "the lock runs the one-time initialisation";
}

// ---------------------------------------------------------------- server sequence number

TEST_F(Lock, TheXmlServerSequenceNumberIsMinusOneWhenAbsent) {
  ASSERT_EQ(locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(1)))->code, 0);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, -1));
  ASSERT_EQ(locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3)))->code, 0);
  EXPECT_EQ(State::now(), holderState(m_b, kBob, -1, "bob"));
  ASSERT_EQ(locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3, 0x7FFFFFFFFFFFFFFFLL)))->code, 0);
  EXPECT_EQ(EvMMConfigMgr::m_serverSequenceNumber.load(), 0x7FFFFFFFFFFFFFFFLL);
  long long out = 0;
  EXPECT_EQ(EvMMConfigMgr::GetServerSequenceNumber(&out), 1);
  EXPECT_EQ(out, 0x7FFFFFFFFFFFFFFFLL);
  ASSERT_EQ(locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(2, 99)))->code, 0);
  EXPECT_EQ(EvMMConfigMgr::GetServerSequenceNumber(&out), 0);
  EXPECT_EQ(EvMMConfigMgr::m_serverSequenceNumber.load(), 0);
}

// ---------------------------------------------------------------- taking over

TEST_F(Lock, LockWithoutHonouringTakesOverWithoutNotice) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
  auto request = locktest::streamRequest(m_b, kBob, 1);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 50, false), 1);
  auto status = locktest::onlyStatus(m_b.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 1u);
  EXPECT_EQ(status->text, text(0x240001F0));
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 50));
  EXPECT_TRUE(m_a.replies().empty());
  EXPECT_FALSE(aliceInstance->GetTerminateFlag());
  EXPECT_EQ(aliceInstance->GetPercentage(), 0);
}

TEST_F(Lock, AForceLockMovesTheSessionAndThePreviousHolderIsToldAtItsNextRequest) {
  aliceHoldsTheLock();
  auto request = locktest::streamRequest(m_b, kBob, 3);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 60, true), 1);
  m_b.replies();
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 60, "bob"));
  EXPECT_TRUE(m_a.replies().empty()) << "no long operation of alice waited for status texts";

  // Alice's next request (any handler) is force-closed with bob's name.
  auto next = m_a.request(0x0000000000000123LL, 0, kAlice);
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(next.get(), false), nullptr);
  const auto replies = m_a.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11055u);
  EXPECT_EQ(replies[0].sequence, 0x123);
  ASSERT_EQ(replies[0].items.size(), 1u);
  EXPECT_EQ(replies[0].items[0].tag, 11102u);
  EXPECT_EQ(replies[0].items[0].bytes, locktest::wordAndText(4, text(0x240002FA, "bob")));

  // Alice's lock requests: refused while bob holds it; her element-stream
  // unlock changes nothing.
  request = locktest::streamRequest(m_a, kAlice, 0);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 61, true), 0);
  EXPECT_EQ(locktest::onlyStatus(m_a.replies())->text, "Success");
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 60, "bob"));
  request = locktest::streamRequest(m_a, kAlice, 1);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 62, true), 0);
  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 3u);
  EXPECT_EQ(status->text, text(0x240002F9, "bob"));
}

TEST_F(Lock, AStreamForceLockTellsAWaitingHolderAtOnce) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
  // Alice runs a long operation that reports progress (operation 47).
  EvMMConfigMgr::SetClientSequenceNumber(0x0000000000000AAALL);
  ZQMACMediaConfig::SetPercentageFunc(sendProgressResponse, 47);
  ZQMACMediaConfig::SetStatusTextFunc(sendStatusResponse, 1);

  auto request = locktest::streamRequest(m_b, kBob, 3);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 70, true), 1);
  const auto replies = m_a.replies();
  ASSERT_EQ(replies.size(), 2u);
  // Progress complete, then the notice.
  EXPECT_EQ(replies[0].messageId, 1017u);
  ASSERT_EQ(replies[0].items.size(), 2u);
  EXPECT_EQ(replies[0].items[0].u32(), 47u);
  EXPECT_EQ(replies[0].items[1].tag, 2036u);
  EXPECT_EQ(replies[0].items[1].u32(), 100u);
  EXPECT_EQ(replies[1].messageId, 11055u);
  EXPECT_EQ(replies[1].sequence, 0xAAA);
  ASSERT_EQ(replies[1].items.size(), 1u);
  EXPECT_EQ(replies[1].items[0].tag, 11102u);
  EXPECT_EQ(replies[1].items[0].bytes, locktest::wordAndText(4, text(0x240002FA, "bob")));
  EXPECT_TRUE(aliceInstance->GetTerminateFlag());
  auto status = locktest::onlyStatus(m_b.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 1u);
}

TEST_F(Lock, AnXmlForceLockSendsNoStatusText) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
  EvMMConfigMgr::SetClientSequenceNumber(0x0000000000000AAALL);
  ZQMACMediaConfig::SetPercentageFunc(sendProgressResponse, 47);

  auto response = locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3, 80)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, 0);
  const auto replies = m_a.replies();
  ASSERT_EQ(replies.size(), 1u) << "only the progress";
  EXPECT_EQ(replies[0].messageId, 1017u);
  EXPECT_TRUE(aliceInstance->GetTerminateFlag());
  EXPECT_EQ(aliceInstance->GetPercentage(), 100);
  EXPECT_EQ(State::now(), holderState(m_b, kBob, 80, "bob"));
}

TEST_F(Lock, ForcingAFreeLockKeepsTheLastLoginName) {
  EvMMConfigMgr::SetLastLoginName("carol");
  auto request = locktest::streamRequest(m_a, kAlice, 3);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1, true), 1);
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "carol");
  ASSERT_EQ(locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(2)))->code, 0);
  ASSERT_EQ(locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3)))->code, 0);
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "carol");
}

// ---------------------------------------------------------------- exhaustive detection and unlock

TEST_F(Lock, UnlockWaitsForLibrariesFoundByExhaustiveDetection) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* config = locktest::newestInstance();
  ZQMACLms* found = ZQMACGraph::AddLms(*config, 90, "FoundLib");
  ASSERT_TRUE(testkit::mac::markExhaustiveDetected(*config, found));
  const std::string refusal = text(0x2400016B);

  // Element-stream unlock 0: status 2, the lock stays.
  testkit::debuglog::Capture log;
  auto request = locktest::streamRequest(m_a, kAlice, 0);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1, true), 0);
  auto status = locktest::onlyStatus(m_a.replies());
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(status->status, 2u);
  EXPECT_EQ(status->text, refusal);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 1000));
  EXPECT_FALSE(config->GetTerminateFlag());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", refusal));

  // XML unlock 0: code -1, the lock stays.
  auto response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(0)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, -1);
  EXPECT_EQ(response->text, refusal);
  EXPECT_EQ(State::now(), holderState(m_a, kAlice, 1000));

  // Once configured, unlock 0 goes through.
  ZQMACGraph::SetConfigured(found, true);
  response = locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(0)));
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ(response->code, 0);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
}

TEST_F(Lock, UnlockWithoutTheCheckReleasesAnyway) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* config = locktest::newestInstance();
  ASSERT_TRUE(testkit::mac::markExhaustiveDetected(*config, ZQMACGraph::AddLms(*config, 90, "FoundLib")));
  auto request = locktest::streamRequest(m_a, kAlice, 2);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1, true), 1);
  EXPECT_EQ(locktest::onlyStatus(m_a.replies())->status, 1u);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
  EXPECT_TRUE(config->GetTerminateFlag());
  EXPECT_EQ(testkit::mac::journal().count("IsExhaustiveDetectedLibraryConfigured"), 0u);

  aliceHoldsTheLock();
  config = locktest::newestInstance();
  ASSERT_TRUE(testkit::mac::markExhaustiveDetected(*config, ZQMACGraph::AddLms(*config, 91, "FoundLib2")));
  ASSERT_EQ(locktest::readResponse(xmlCall(m_a, kAlice, locktest::xmlRequest(2)))->code, 0);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
}

TEST_F(Lock, TheDetectionCheckFailingKeepsTheLock) {
  aliceHoldsTheLock();
  testkit::mac::failNext("IsExhaustiveDetectedLibraryConfigured", 5, "cannot tell");
  auto request = locktest::streamRequest(m_a, kAlice, 0);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1, true), 0);
  EXPECT_EQ(locktest::onlyStatus(m_a.replies())->status, 2u);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 1u);
}

// ---------------------------------------------------------------- locale

TEST_F(Lock, TheModelGetsTheRequestsLocale) {
  auto request = locktest::streamRequest(m_a, kAlice, 1, 2, 0x0003000000000001LL);
  EXPECT_EQ(m_mgr.LockMMConfiguration(request.get(), 1, true), 1);
  EXPECT_EQ(ZQMACBase::GetLocale(), 3u);
  m_a.replies();
  ASSERT_EQ(locktest::readResponse(xmlCall(m_b, kBob, locktest::xmlRequest(3), 0x0005000000000001LL))->code, 0);
  EXPECT_EQ(ZQMACBase::GetLocale(), 5u);
}

}  // namespace
