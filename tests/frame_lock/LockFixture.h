// Shared pieces of the configuration-lock tests: two users on two client
// connections, the requests of both lock forms, decoders of their answers, a
// snapshot of the lock state, and a fixture that starts every test from the
// state of a freshly loaded library with a fresh database.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/MessageInfo.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/external.h"
#include "platform/testkit/focus.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/reply.h"
#include "platform/testkit/security.h"
#include "platform/testkit/xml.h"
#include "platform/xml/EVGuiMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/frame_session/SessionFixture.h"
#include "tests/support/TestDatabase.h"

namespace locktest {

using sessiontest::Connection;
using sessiontest::wordAndText;

inline constexpr uint32_t kAlice = 7;  // user of connection A
inline constexpr uint32_t kBob = 8;    // user of connection B
inline constexpr const char* kSite = "site-a";

// A catalogue text as the lock fetches it (locale 0).
template <class... Args>
std::string text(unsigned long id, const Args&... arguments) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, 0, arguments...);
  return buffer;
}

// ---- the element-stream form ----

// A lock request: rights argument in firstWord, operation in elementCount.
inline std::unique_ptr<MessageInfo> streamRequest(const Connection& client, uint32_t userId, uint32_t operation,
                                                  uint32_t rights = 2, int64_t sequence = 100) {
  auto request = client.request(sequence, 0, userId);
  request->firstWord = rights;
  request->elementCount = operation;
  return request;
}

// The one status reply of the element-stream form, decoded.
struct Status {
  uint32_t status = 0;
  std::string text;
  int64_t sequence = 0;
};

// The replies must be exactly one status reply (1024 with one item 2051 of
// the text's length plus 4); nullopt (and a test failure) otherwise.
inline std::optional<Status> onlyStatus(const std::vector<tkwire::Reply>& replies) {
  EXPECT_EQ(replies.size(), 1u);
  if (replies.size() != 1) return std::nullopt;
  const tkwire::Reply& reply = replies[0];
  EXPECT_EQ(reply.messageId, 1024u);
  EXPECT_EQ(reply.items.size(), 1u);
  if (reply.messageId != 1024 || reply.items.size() != 1 || reply.items[0].tag != 2051) return std::nullopt;
  EXPECT_GE(reply.items[0].bytes.size(), 4u);
  return Status{reply.items[0].statusCode(), reply.items[0].statusText(), reply.sequence};
}

// ---- the XML form ----

// The request text: field 2 the operation, field 1 the server sequence
// number when given.
inline std::string xmlRequest(long long operation, std::optional<long long> serverSequence = std::nullopt) {
  EVGui::MMConfigurationLockUnlockReq request;
  CNMessageBase& info = request.getObjectAccessor(true, true, 1, 1, EVGui::MMConfigurationLockUnlockReq::kClassHash,
                                                  0x37931, 13, 959);
  if (serverSequence) info.setint64(1, 1, *serverSequence, EVGui::MMConfigurationLockUnlockInfo::kClassHash, 0x3A3E51);
  info.setint64(2, 2, operation, EVGui::MMConfigurationLockUnlockInfo::kClassHash, 0xCE3B05);
  std::string xml;
  EXPECT_EQ(request.serialize(xml), 0);
  return xml;
}

// The response of the XML form, decoded.
struct XmlResponse {
  long long code = 0;
  bool hasText = false;
  std::string text;
};

inline std::optional<XmlResponse> readResponse(const std::string& xml) {
  ZQGui::GenericResp response;
  const int read = response.unserialize(xml);
  EXPECT_EQ(read, 0) << "response: " << xml;
  if (read != 0) return std::nullopt;
  XmlResponse out;
  out.code = response.getint64(1, ZQGui::GenericResp::kClassHash, 0x9CB015);
  out.hasText = response.isSet(2, ZQGui::GenericResp::kClassHash, 0xB7ECDF);
  out.text = response.getstring(2, 2, ZQGui::GenericResp::kClassHash, 0xB7ECDF);
  return out;
}

// ---- the lock state ----

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
  bool operator==(const State& o) const {
    return locked == o.locked && serverSequence == o.serverSequence && holderFd == o.holderFd && userId == o.userId &&
           lastLogin == o.lastLogin;
  }
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
  sessiontest::resetStandIns();
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
    resetStandIns();
    sessiontest::resetSessionState();
    testkit::external::setUserLogin(kAlice, "alice");
    testkit::external::setUserLogin(kBob, "bob");
    testkit::focus::setFocus(kSite);
    m_loader = std::make_unique<testkit::mac::ScopedLoader>(testkit::mac::worldLoader());
  }
  void TearDown() override {
    EXPECT_EQ(testkit::xml::mismatchCount(), 0) << "XML accessor calls disagree with the registry";
    m_loader.reset();
    sessiontest::resetSessionState();
    resetStandIns();
  }

  // Alice takes the lock through the element-stream form (server sequence
  // 1000); the replies are read and dropped.
  void aliceHoldsTheLock() {
    auto request = streamRequest(m_a, kAlice, EvMMConfigMgr::kLockOpLock);
    ASSERT_EQ(m_mgr.LockMMConfiguration(request.get(), 1000, true), 1);
    ASSERT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 1u);
    m_a.replies();
  }

  // One XML request; the response text.
  std::string xmlCall(const Connection& client, uint32_t userId, const std::string& xml, int64_t sequence = 200) {
    auto request = client.request(sequence, 0, userId);
    std::string buffer = xml;
    EXPECT_EQ(m_mgr.OnMsgLockUnlockMMConfigurationXML(request.get(), buffer), 0);
    return buffer;
  }

  State holderState(const Connection& client, uint32_t userId, long long serverSequence,
                    const std::string& lastLogin = "") const {
    return State{1, serverSequence, client.socket().GetSocketDescriptor(), userId, lastLogin};
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_a;
  Connection m_b;
  std::unique_ptr<testkit::mac::ScopedLoader> m_loader;
};

}  // namespace locktest
