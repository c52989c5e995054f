// The configuration lock in both forms: rights, the per-media-agent switch,
// failures of the media-management service, of initialisation and of
// reading, failures of the XML message library, the server sequence number,
// force locks and the previous holder, and the unlock test of libraries
// found by exhaustive detection.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "platform/testkit/db.h"
#include "tests/frame_configlock/ConfigLockFixture.h"

namespace {

using locktest::kAlice;
using locktest::kBob;
using locktest::State;
constexpr auto text = [](unsigned long id, auto... arguments) { return tktest::catalogueText(id, arguments...); };

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
  // The notice a force-closed client gets, naming who forced.
  void expectForceCloseNotice(uint32_t userId, int64_t sequence, const std::string& forcedBy) {
    const auto replies = client(userId).replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 11055u);
    EXPECT_EQ(replies[0].sequence, sequence);
    ASSERT_EQ(tktest::tagsOf(replies[0]), std::vector<uint32_t>{11102});
    EXPECT_EQ(replies[0].items[0].bytes, tktest::wordAndText(4, text(0x240002FA, forcedBy.c_str())));
  }
};

// ---------------------------------------------------------------- lock and rights

TEST_F(Lock, StreamLockTakesTheLockAndLoadsTheConfiguration) {
  testkit::debuglog::Capture log;
  EXPECT_EQ(lockStream(kAlice, 1, 1234, 5, 0x42), 1);
  expectAnswer(kAlice, 1, text(0x240001F0), 0x42);
  EXPECT_EQ(State::now(), holderState(kAlice, 1234));
  // The rights argument is the request's first word.
  EXPECT_EQ(rightsAsked(), (std::vector<std::vector<std::string>>{{"7", "5"}}));
  // A new session for the installation, loaded.
  ZQMACMediaConfig* config = locktest::newestInstance();
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->GetInstallationName(), "site-a");
  EXPECT_GT(config->GetObjectCount(), 0u);
  const auto reads = testkit::mac::journal().calls("ReadCurrentConfig");
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].args, (std::vector<std::string>{"false"}));
  EXPECT_TRUE(testkit::alerts::sent().empty());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "Received request by [alice] to lock the MM configuration."));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "User can configure the Media Manager"));
}

TEST_F(Lock, TheRequestLinesNameTheOperation) {
  const struct {
    uint32_t operation;
    const char* line;
  } cases[] = {{1, "Received request by [bob] to lock the MM configuration."},
               {3, "Received request by [bob] to force lock the MM configuration."},
               {0, "Received request by [bob] to unlock the MM configuration."},
               {2, "Received request by [bob] to unlock the MM configuration."},
               {9, "Received request by [bob] to unlock the MM configuration."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    testkit::debuglog::Capture log;
    lockStream(kBob, c.operation, 1);
    lockXml(kBob, c.operation);
    EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", c.line));
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
    EXPECT_EQ(lockStream(kBob, operation, 77, 9), 0);
    expectAnswer(kBob, 0, refusal);
    EXPECT_EQ(State::now(), before);
    // XML form: rights argument 2.
    expectXml(lockXml(kBob, operation, 77), -1, refusal);
    EXPECT_EQ(State::now(), before);
    EXPECT_TRUE(m_b.replies().empty());

    EXPECT_EQ(rightsAsked(), (std::vector<std::vector<std::string>>{{"8", "9"}, {"8", "2"}}));
    const auto alerts = testkit::alerts::sent();
    ASSERT_EQ(alerts.size(), 2u);
    for (const auto& a : alerts) {
      EXPECT_EQ(std::tie(a.alertId, a.condition, a.whomId, a.message, a.flags, a.delay, a.reserved),
                std::make_tuple(1020, 12, static_cast<long>(kBob), std::string("bob may not manage the server"), 0, 0, 0));
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
  EXPECT_EQ(lockStream(kAlice, 1, 10, 5), 1);
  EXPECT_EQ(answerStatus(kAlice), 1u);
  expectXml(lockXml(kAlice, 2), 0);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
  EXPECT_TRUE(rightsAsked().empty());
  EXPECT_TRUE(testkit::alerts::sent().empty());
}

TEST_F(Lock, DoMACheckReadsTheParameterEveryTime) {
  const struct {
    const char* name;
    const char* value;  // null: no row
    bool expected;
  } cases[] = {
      {"not set", nullptr, false},   {"zero", "0", false},         {"one", "1", true},
      {"any non-zero", "-3", true},  {"as text", "'1'", true},     {"text zero", "'0'", false},
      {"not a number", "'yes'", false}, {"NULL", "NULL", false},
  };
  for (const auto& c : cases) {
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
  EXPECT_EQ(lockStream(kAlice, 1, 10), 0);
  expectAnswer(kAlice, 0, unreachable);
  // No session either: the requester's new instance goes, nobody holds it.
  EXPECT_EQ(State::now(), State{});
  EXPECT_EQ(locktest::cacheSize(), 0u);
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 0u);

  // XML form.
  testkit::mac::failNext("TestConnectToMediaManager", 1, "no answer");
  expectXml(lockXml(kBob, 1, 11), -1, unreachable);
  EXPECT_EQ(State::now(), State{});
  EXPECT_EQ(locktest::cacheSize(), 0u);
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 0u);

  // Force locks make no connection test: a service that would not answer
  // does not stop them.
  testkit::mac::failNext("TestConnectToMediaManager", 1, "no answer", 2);
  EXPECT_EQ(lockStream(kAlice, 3, 12), 1);
  EXPECT_EQ(answerStatus(kAlice), 1u);
  EXPECT_EQ(State::now(), holderState(kAlice, 12));
  expectXml(lockXml(kBob, 3, 13), 0);
  EXPECT_EQ(State::now(), holderState(kBob, 13, "bob"));
  EXPECT_EQ(testkit::mac::journal().count("TestConnectToMediaManager"), 2u) << "only the two lock requests asked";
  EXPECT_FALSE(ZQMACDbInterface::TestConnectToMediaManager()) << "the scripted failures are still there";
  EXPECT_EQ(ZQMACDbInterface::GetLastError(), "no answer");
  EXPECT_FALSE(ZQMACDbInterface::TestConnectToMediaManager());
  EXPECT_TRUE(ZQMACDbInterface::TestConnectToMediaManager());
  EXPECT_EQ(ZQMACDbInterface::GetLastError(), "");
}

TEST_F(Lock, AFailedReadTakesNeitherTheLockNorASessionInEitherForm) {
  const std::string unreadable = "the database cannot be read";
  for (const FailedLock& row : failedLocksOfAlice(unreadable)) {
    SCOPED_TRACE(row.name);
    // Bob holds the session (his lock given back): a failed lock of Alice's
    // leaves it his, and the lock free.
    ASSERT_EQ(lockStream(kBob, 1, 20), 1);
    ASSERT_EQ(lockStream(kBob, 2, 0), 1);
    m_b.replies();
    const State before = State::now();
    ZQMACMediaConfig* bobs = locktest::newestInstance();
    testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, unreadable);
    row.call();
    EXPECT_EQ(State::now(), before);
    EXPECT_EQ(locktest::newestInstance(), bobs);
    // Alice's changes find no session: the force-close notice.
    auto request = m_a.request(300, 0, kAlice);
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr);
    ASSERT_EQ(m_a.replies().size(), 1u);
  }
  // The holder's console goes while the lock reads: its descriptor number
  // may serve a new console by the time the lock fails, and that console
  // must not be taken for the holder.
  for (const FailedLock& row : failedLocksOfAlice(unreadable)) {
    SCOPED_TRACE(std::string(row.name) + ", the holder gone meanwhile");
    ASSERT_EQ(lockStream(kBob, 1, 20), 1);
    ASSERT_EQ(lockStream(kBob, 2, 0), 1);
    m_b.replies();
    ZQMACMediaConfig* bobs = locktest::newestInstance();
    // A request of the exempt kind still reads Bob's instance: it outlives
    // his connection, ended.
    MediaConfigPin reading;
    ASSERT_EQ(EvMMConfigMgr::GetNewestMediaConfig(reading), bobs);
    bool closed = false;
    testkit::mac::ScopedLoader closing([&](ZQMACMediaConfig& config, bool) {
      EvMMConfigMgr::ConnectionClosed(m_b.socket());
      closed = true;
      config.SetLastError(0x1F000100, unreadable);
      return false;
    });
    row.call();
    reading.release();
    EXPECT_TRUE(closed);
    EXPECT_EQ(EvMMConfigMgr::GetSocketId().GetSocketDescriptor(), -1);
    EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
    // A console on the same descriptor number finds no session.
    auto request = m_b.request(301, 0, kBob);
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr);
    EXPECT_EQ(m_b.replies().size(), 1u);
    m_a.replies();
  }
  // A lock taken over without notice, failing, leaves the lock and the
  // session with their holder.
  ASSERT_EQ(lockStream(kBob, 1, 30), 1);
  m_b.replies();
  const State held = State::now();
  testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, unreadable);
  EXPECT_EQ(lockStream(kAlice, 1, 35, 2, 100, false), 0);
  expectAnswer(kAlice, 0, unreadable);
  EXPECT_EQ(State::now(), held);

  // A lock forced from a holder and then failing gives the session to
  // nobody: the holder was told it is over.
  testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, unreadable);
  EXPECT_EQ(lockStream(kAlice, 3, 40), 0);
  expectAnswer(kAlice, 0, unreadable);
  EXPECT_EQ(State::now(), (State{0, 0, -1, 0, "alice"}));
}

TEST_F(Lock, AFailedInitialisationIsIgnoredByLockAndReportedByForceLock) {
  const std::string unknown = "the installation is unknown";
  // Lock (both forms): the result of Initialize is not examined.
  testkit::mac::failNext("Initialize", 0x1F000200, unknown);
  EXPECT_EQ(lockStream(kAlice, 1, 10), 1);
  EXPECT_EQ(answerStatus(kAlice), 1u);
  EXPECT_EQ(State::now(), holderState(kAlice, 10));
  expectXml(lockXml(kAlice, 2), 0);
  testkit::mac::failNext("Initialize", 0x1F000200, unknown);
  expectXml(lockXml(kAlice, 1, 11), 0);
  EXPECT_EQ(State::now(), holderState(kAlice, 11));

  // Element-stream force lock: answered 0, returns 0; neither the lock nor
  // a session is left, and the holder forced out does not get it back.
  testkit::debuglog::Capture log;
  testkit::mac::failNext("Initialize", 0x1F000200, unknown);
  EXPECT_EQ(lockStream(kBob, 3, 20), 0);
  expectAnswer(kBob, 0, unknown);
  EXPECT_EQ(State::now(), (State{0, 0, -1, 0, "bob"}));
  EXPECT_EQ(testkit::mac::journal().count("ReadCurrentConfig"), 2u) << "no read after a failed initialisation";
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", "Error occurred while initialize ZQMACMediaConfig"));
  EXPECT_FALSE(log.contains("EvMMConfigMgr::LockMMConfiguration", "User can configure the Media Manager"));

  // XML force lock: code -1 with the text, nothing held.
  testkit::mac::failNext("Initialize", 0x1F000200, unknown);
  expectXml(lockXml(kAlice, 3, 30), -1, unknown);
  EXPECT_EQ(State::now(), (State{0, 0, -1, 0, "bob"}));
}

// ---------------------------------------------------------------- the XML message library

TEST_F(Lock, XmlLibraryFailuresAndUnreadableRequestsAreAnsweredAndLeaveTheStateAlone) {
  aliceHoldsTheLock();
  const State before = State::now();
  const std::string request = locktest::xmlRequest(0);

  testkit::xml::failNext(testkit::xml::Call::Initialize, 3);
  expectXml(locktest::readResponse(xmlCall(kAlice, request)), -1, text(0x23000451));
  EXPECT_EQ(State::now(), before);
  testkit::xml::failNext(testkit::xml::Call::Unserialize, 2);
  expectXml(locktest::readResponse(xmlCall(kAlice, request)), -1, text(0x23000452));
  EXPECT_EQ(State::now(), before);

  // Texts that do not read as the request, or lack its operation (which is
  // not an unlock).
  for (const char* bad : {"", "not xml", "<EVGui_GenericResp i1=\"0\"/>",
                          "<!DOCTYPE x [<!ENTITY e \"e\">]><EVGui_MMConfigurationLockUnlockReq/>",
                          "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" "
                          "i2=\"zero\"/></EVGui_MMConfigurationLockUnlockReq>",
                          "<EVGui_MMConfigurationLockUnlockReq/>",
                          "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" "
                          "i1=\"5\"/></EVGui_MMConfigurationLockUnlockReq>"}) {
    SCOPED_TRACE(bad);
    expectXml(locktest::readResponse(xmlCall(kAlice, bad)), -1, text(0x23000452));
    EXPECT_EQ(State::now(), before);
  }
  EXPECT_EQ(testkit::security::journal().calls("canManageTarnkeep").size(), 1u) << "only alice's lock was checked";
}

TEST_F(Lock, TheResponseIsTheCanonicalGenericAnswerOrEmptyWhenItCannotBeWritten) {
  EXPECT_EQ(xmlCall(kBob, locktest::xmlRequest(1, 5)), "<ZQGui_GenericResp i1=\"0\"/>");
  EXPECT_EQ(xmlCall(kAlice, locktest::xmlRequest(1, 5)),
            "<ZQGui_GenericResp i1=\"-1\" s2=\"" + text(0x240002F9, "bob") + "\"/>");
  // The request as a console writes it.
  EXPECT_EQ(locktest::xmlRequest(3, -1),
            "<EVGui_MMConfigurationLockUnlockReq><EVGui_MMConfigurationLockUnlockInfo tag=\"1\" i1=\"-1\" i2=\"3\"/>"
            "</EVGui_MMConfigurationLockUnlockReq>");

  expectXml(lockXml(kBob, 2), 0);
  testkit::debuglog::Capture log;
  testkit::xml::failForClass(testkit::xml::Call::Serialize, 1, 0, 10);
  EXPECT_TRUE(xmlCall(kAlice, locktest::xmlRequest(1, 5)).empty());
  testkit::xml::clearFailures();
  // The operation itself was done.
  EXPECT_EQ(State::now(), holderState(kAlice, 5));
  EXPECT_TRUE(log.contains("EvMMConfigMgr::OnMsgLockUnlockMMConfigurationXML",
                           "Error [10] return from ZQGui::GenericResp::serialize."));
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
  expectXml(lockXml(kAlice, 1), 0);
  EXPECT_EQ(State::now(), holderState(kAlice, -1));
  expectXml(lockXml(kBob, 3), 0);
  EXPECT_EQ(State::now(), holderState(kBob, -1, "bob"));
  expectXml(lockXml(kBob, 3, 0x7FFFFFFFFFFFFFFFLL), 0);
  long long out = 0;
  EXPECT_EQ(EvMMConfigMgr::GetServerSequenceNumber(&out), 1);
  EXPECT_EQ(out, 0x7FFFFFFFFFFFFFFFLL);
  expectXml(lockXml(kBob, 2, 99), 0);
  EXPECT_EQ(EvMMConfigMgr::GetServerSequenceNumber(&out), 0);
  EXPECT_EQ(EvMMConfigMgr::m_serverSequenceNumber.load(), 0);
}

// ---------------------------------------------------------------- taking over

TEST_F(Lock, LockWithoutHonouringTakesOverWithoutNotice) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
  EXPECT_EQ(lockStream(kBob, 1, 50, 2, 100, false), 1);
  expectAnswer(kBob, 1, text(0x240001F0));
  EXPECT_EQ(State::now(), holderState(kBob, 50));
  EXPECT_TRUE(m_a.replies().empty());
  EXPECT_FALSE(aliceInstance->GetTerminateFlag());
  EXPECT_EQ(aliceInstance->GetPercentage(), 0);
}

TEST_F(Lock, AForceLockMovesTheSessionAndThePreviousHolderIsToldAtItsNextRequest) {
  aliceHoldsTheLock();
  EXPECT_EQ(lockStream(kBob, 3, 60), 1);
  m_b.replies();
  EXPECT_EQ(State::now(), holderState(kBob, 60, "bob"));
  EXPECT_TRUE(m_a.replies().empty()) << "no long operation of alice waited for status texts";

  // Alice's next request (any handler) is force-closed with bob's name.
  EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(m_a.request(0x123, 0, kAlice).get(), false), nullptr);
  expectForceCloseNotice(kAlice, 0x123, "bob");

  // Alice's lock requests: refused while bob holds it; her element-stream
  // unlock changes nothing.
  EXPECT_EQ(lockStream(kAlice, 0, 61), 0);
  expectAnswer(kAlice, 1, "Success");
  EXPECT_EQ(State::now(), holderState(kBob, 60, "bob"));
  EXPECT_EQ(lockStream(kAlice, 1, 62), 0);
  expectAnswer(kAlice, 3, text(0x240002F9, "bob"));
}

TEST_F(Lock, AForceLockTellsAWaitingHolderAtOnceWithAStatusTextOnlyInTheStreamForm) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* aliceInstance = locktest::newestInstance();
  // Alice runs a long operation that reports progress (operation 47).
  EvMMConfigMgr::SetClientSequenceNumber(0xAAA);
  ZQMACMediaConfig::SetPercentageFunc(sendProgressResponse, 47);
  ZQMACMediaConfig::SetStatusTextFunc(sendStatusResponse, 1);

  EXPECT_EQ(lockStream(kBob, 3, 70), 1);
  auto replies = m_a.replies();
  ASSERT_EQ(replies.size(), 2u);
  // Progress complete, then the notice.
  EXPECT_EQ(replies[0].messageId, 1017u);
  EXPECT_EQ(tktest::tagsOf(replies[0]), (std::vector<uint32_t>{4001, 2036}));
  EXPECT_EQ(replies[0].items.at(0).u32(), 47u);
  EXPECT_EQ(replies[0].items.at(1).u32(), 100u);
  EXPECT_EQ(replies[1].messageId, 11055u);
  EXPECT_EQ(replies[1].sequence, 0xAAA);
  ASSERT_EQ(tktest::tagsOf(replies[1]), std::vector<uint32_t>{11102});
  EXPECT_EQ(replies[1].items[0].bytes, tktest::wordAndText(4, text(0x240002FA, "bob")));
  EXPECT_TRUE(aliceInstance->GetTerminateFlag());
  EXPECT_EQ(answerStatus(kBob), 1u);

  // Now bob runs one, and alice forces through the XML form: only the progress.
  ZQMACMediaConfig* bobInstance = locktest::newestInstance();
  EvMMConfigMgr::SetClientSequenceNumber(0xBBB);
  expectXml(lockXml(kAlice, 3, 80), 0);
  replies = m_b.replies();
  ASSERT_EQ(replies.size(), 1u) << "only the progress";
  EXPECT_EQ(replies[0].messageId, 1017u);
  EXPECT_TRUE(bobInstance->GetTerminateFlag());
  EXPECT_EQ(bobInstance->GetPercentage(), 100);
  EXPECT_EQ(State::now(), holderState(kAlice, 80, "alice"));
}

TEST_F(Lock, ForcingAFreeLockKeepsTheLastLoginName) {
  EvMMConfigMgr::SetLastLoginName("carol");
  EXPECT_EQ(lockStream(kAlice, 3, 1), 1);
  EXPECT_EQ(EvMMConfigMgr::GetLastLoginName(), "carol");
  expectXml(lockXml(kAlice, 2), 0);
  expectXml(lockXml(kBob, 3), 0);
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
  EXPECT_EQ(lockStream(kAlice, 0, 1), 0);
  expectAnswer(kAlice, 2, refusal);
  EXPECT_EQ(State::now(), holderState(kAlice, 1000));
  EXPECT_FALSE(config->GetTerminateFlag());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::LockMMConfiguration", refusal));
  // XML unlock 0: code -1, the lock stays.
  expectXml(lockXml(kAlice, 0), -1, refusal);
  EXPECT_EQ(State::now(), holderState(kAlice, 1000));
  // A check that fails keeps the lock too.
  testkit::mac::failNext("IsExhaustiveDetectedLibraryConfigured", 5, "cannot tell");
  EXPECT_EQ(lockStream(kAlice, 0, 1), 0);
  EXPECT_EQ(answerStatus(kAlice), 2u);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 1u);

  // Once configured, unlock 0 goes through.
  ZQMACGraph::SetConfigured(found, true);
  expectXml(lockXml(kAlice, 0), 0);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
}

TEST_F(Lock, UnlockWithoutTheCheckReleasesAnyway) {
  aliceHoldsTheLock();
  ZQMACMediaConfig* config = locktest::newestInstance();
  ASSERT_TRUE(testkit::mac::markExhaustiveDetected(*config, ZQMACGraph::AddLms(*config, 90, "FoundLib")));
  EXPECT_EQ(lockStream(kAlice, 2, 1), 1);
  EXPECT_EQ(answerStatus(kAlice), 1u);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
  EXPECT_TRUE(config->GetTerminateFlag());
  EXPECT_EQ(testkit::mac::journal().count("IsExhaustiveDetectedLibraryConfigured"), 0u);

  aliceHoldsTheLock();
  config = locktest::newestInstance();
  ASSERT_TRUE(testkit::mac::markExhaustiveDetected(*config, ZQMACGraph::AddLms(*config, 91, "FoundLib2")));
  expectXml(lockXml(kAlice, 2), 0);
  EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
}

// ---------------------------------------------------------------- locale

TEST_F(Lock, TheModelGetsTheRequestsLocale) {
  EXPECT_EQ(lockStream(kAlice, 1, 1, 2, 0x0003000000000001LL), 1);
  EXPECT_EQ(ZQMACBase::GetLocale(), 3u);
  m_a.replies();
  expectXml(lockXml(kBob, 3, std::nullopt, 0x0005000000000001LL), 0);
  EXPECT_EQ(ZQMACBase::GetLocale(), 5u);
}

}  // namespace
