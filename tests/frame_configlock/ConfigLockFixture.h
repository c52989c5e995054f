// Shared pieces of the configuration-lock tests: two users on two client
// connections, the requests of both lock forms and their answers, a snapshot
// of the lock state, and a fixture that starts every test from the state of
// a freshly loaded library with a fresh database.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/external.h"
#include "platform/testkit/focus.h"
#include "platform/testkit/security.h"
#include "platform/testkit/xml.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/support/FrameSession.h"
#include "tests/support/TestDatabase.h"

namespace locktest {

using tktest::Connection;
using tktest::catalogueText;

inline constexpr uint32_t kAlice = 7;  // user of connection A
inline constexpr uint32_t kBob = 8;    // user of connection B
inline constexpr const char* kSite = "site-a";

// An element-stream lock request: rights argument in firstWord, operation in
// elementCount.
inline std::unique_ptr<MessageInfo> streamRequest(const Connection& client, uint32_t userId, uint32_t operation,
                                                  uint32_t rights = 2, int64_t sequence = 100) {
  auto request = client.request(sequence, 0, userId);
  request->firstWord = rights;
  request->elementCount = operation;
  return request;
}

// The XML request text: field 2 the operation, field 1 the server sequence
// number when given.
inline std::string xmlRequest(long long operation, std::optional<long long> serverSequence = std::nullopt) {
  using Req = EVGui::MMConfigurationLockUnlockReq;
  using Info = EVGui::MMConfigurationLockUnlockInfo;
  EVGui::MMConfigurationLockUnlockReq request;
  CNMessageBase& info = request.getObjectAccessor(true, true, Req::kInfo.ordinal, Req::kInfo.tag, Req::kClassHash,
                                                  Req::kInfo.hash, Req::kInfo.ns, Req::kInfo.cls);
  if (serverSequence) {
    info.setint64(Info::kServerSequence.ordinal, Info::kServerSequence.tag, *serverSequence, Info::kClassHash,
                  Info::kServerSequence.hash);
  }
  info.setint64(Info::kOperation.ordinal, Info::kOperation.tag, operation, Info::kClassHash, Info::kOperation.hash);
  std::string xml;
  EXPECT_EQ(request.serialize(xml), 0);
  return xml;
}

// The response of the XML form, decoded (code 999 when it does not read).
struct XmlResponse {
  long long code = 999;
  bool hasText = false;
  std::string text;
};

inline XmlResponse readResponse(const std::string& xml) {
  ZQGui::GenericResp response;
  const int read = response.unserialize(xml);
  EXPECT_EQ(read, 0) << "response: " << xml;
  if (read != 0) return XmlResponse{};
  using Resp = ZQGui::GenericResp;
  return XmlResponse{response.getint64(Resp::kCode.tag, Resp::kClassHash, Resp::kCode.hash),
                     response.isSet(Resp::kText.ordinal, Resp::kClassHash, Resp::kText.hash),
                     response.getstring(Resp::kText.ordinal, Resp::kText.tag, Resp::kClassHash, Resp::kText.hash)};
}

// The lock state.
struct State {
  unsigned long locked = 0;
  long long serverSequence = 0;
  int holderFd = -1;
  unsigned long userId = 0;
  std::string lastLogin;

  static State now() {
    return State{EvMMConfigMgr::m_ulLockedMMConfig.load(), EvMMConfigMgr::m_serverSequenceNumber.load(),
                 static_cast<int>(EvMMConfigMgr::GetSocketId().GetSocketDescriptor()),
                 EvMMConfigMgr::m_ulUserId.load(), EvMMConfigMgr::GetLastLoginName()};
  }
  bool operator==(const State& o) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const State& s) {
  return os << "{locked " << s.locked << ", server seq " << s.serverSequence << ", holder fd " << s.holderFd
            << ", user " << s.userId << ", last login '" << s.lastLogin << "'}";
}

// The newest cached instance (null when the cache is empty).
inline ZQMACMediaConfig* newestInstance() {
  EvMMConfigMgr::SessionLock lock;
  return EvMMConfigMgr::m_tMediaConfigList.empty() ? nullptr
                                                   : EvMMConfigMgr::m_tMediaConfigList.front().GetMediaConfig();
}
inline std::size_t cacheSize() {
  EvMMConfigMgr::SessionLock lock;
  return EvMMConfigMgr::m_tMediaConfigList.size();
}

inline void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::security::reset();
  testkit::alerts::reset();
  testkit::external::reset();
  testkit::focus::reset();
  testkit::xml::clearFailures();
  testkit::xml::resetMismatches();
  testkit::xml::clearJournal();
}

// Fresh database, stand-ins and session state; users alice (7) and bob (8);
// the installation "site-a"; the standard world as configuration source.
class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The one-time initialisation is done before the test (it empties the
    // last login name), whichever test of the process runs first.
    EvMMConfigMgr::Initialize();
    freshStandIns();
    tktest::resetSessionState();
  }
  // The stand-ins as every test starts with them: users, installation name
  // and configuration source.
  void freshStandIns() {
    m_loader.reset();
    resetStandIns();
    testkit::external::setUserLogin(kAlice, "alice");
    testkit::external::setUserLogin(kBob, "bob");
    testkit::focus::setFocus(kSite);
    m_loader = std::make_unique<testkit::mac::ScopedLoader>(testkit::mac::worldLoader());
  }
  void TearDown() override {
    EXPECT_EQ(testkit::xml::mismatchCount(), 0) << "XML accessor calls disagree with the registry";
    m_loader.reset();
    tktest::resetSessionState();
    resetStandIns();
  }

  const Connection& client(uint32_t userId) const { return userId == kAlice ? m_a : m_b; }

  // One element-stream lock request of the user on the user's connection;
  // its return value.
  int lockStream(uint32_t userId, uint32_t operation, long long serverSequence, uint32_t rights = 2,
                 int64_t sequence = 100, bool honour = true) {
    auto request = streamRequest(client(userId), userId, operation, rights, sequence);
    return m_mgr.LockMMConfiguration(request.get(), serverSequence, honour);
  }
  // The user's connection got exactly the status reply [status][text].
  void expectAnswer(uint32_t userId, uint32_t status, const std::string& text, int64_t sequence = 100) {
    tktest::expectStatus(client(userId).replies(), sequence, status, text);
  }
  // The status of the one reply the user's connection got.
  uint32_t answerStatus(uint32_t userId) {
    return tktest::onlyStatus(client(userId).replies()).value_or(tktest::Status{}).status;
  }

  // One XML request of the user; the response text.
  std::string xmlCall(uint32_t userId, const std::string& xml, int64_t sequence = 200) {
    auto request = client(userId).request(sequence, 0, userId);
    std::string buffer = xml;
    EXPECT_EQ(m_mgr.OnMsgLockUnlockMMConfigurationXML(request.get(), buffer), 0);
    return buffer;
  }
  // One XML lock request of the user, decoded.
  XmlResponse lockXml(uint32_t userId, long long operation, std::optional<long long> serverSequence = std::nullopt,
                      int64_t sequence = 200) {
    return readResponse(xmlCall(userId, xmlRequest(operation, serverSequence), sequence));
  }
  static void expectXml(const XmlResponse& response, long long code, const std::string& text = "") {
    EXPECT_EQ(response.code, code);
    EXPECT_EQ(response.text, text);
  }

  // Alice's lock in each of its four forms (lock and force lock, element
  // stream and XML) whose read fails with `reason`: each call checks that
  // the lock was refused with it.
  struct FailedLock {
    const char* name;
    std::function<void()> call;
  };
  std::vector<FailedLock> failedLocksOfAlice(const std::string& reason) {
    return {
        {"lock", [this, reason] {
           EXPECT_EQ(lockStream(kAlice, 1, 10), 0);
           expectAnswer(kAlice, 0, reason);
         }},
        {"force lock", [this, reason] {
           EXPECT_EQ(lockStream(kAlice, 3, 10), 0);
           expectAnswer(kAlice, 0, reason);
         }},
        {"XML lock", [this, reason] { expectXml(lockXml(kAlice, 1, 10), -1, reason); }},
        {"XML force lock", [this, reason] { expectXml(lockXml(kAlice, 3, 10), -1, reason); }},
    };
  }

  // Alice takes the lock through the element-stream form (server sequence
  // 1000); the replies are read and dropped.
  void aliceHoldsTheLock() {
    ASSERT_EQ(lockStream(kAlice, EvMMConfigMgr::kLockOpLock, 1000), 1);
    ASSERT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 1u);
    m_a.replies();
  }

  State holderState(uint32_t userId, long long serverSequence, const std::string& lastLogin = "") const {
    return State{1, serverSequence, client(userId).socket().GetSocketDescriptor(), userId, lastLogin};
  }
  // Nobody holds the lock; the user's connection is the session holder.
  State unlockedState(uint32_t userId) const {
    return State{0, 0, client(userId).socket().GetSocketDescriptor(), userId, ""};
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_a;
  Connection m_b;
  std::unique_ptr<testkit::mac::ScopedLoader> m_loader;
};

}  // namespace locktest
