// Shared pieces of the control-request tests: client A holds a session on an
// instance filled with the standard world (platform/testkit/mac.h), the
// request as the host would make it, and the messages the client reads,
// compared whole (message id and every item's tag and bytes, in order).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/EvExternal.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/security.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace ctltest {

using tktest::Connection;
using tktest::le32;

inline constexpr int64_t kSequence = 0x42;
inline constexpr uint32_t kUser = 7;
inline constexpr uint32_t kGuiId = 31;

// Elements of the request.
inline constexpr uint32_t kElementName = tktag::kMediaAgent;
inline constexpr uint32_t kElementUserName = tktag::kUserName;
inline constexpr uint32_t kElementPassword = tktag::kPassword;
inline constexpr uint32_t kElementLibraryId = tktag::kLibraryId;

// One message as the client reads it.
struct Message {
  uint32_t id = 0;
  std::vector<std::pair<uint32_t, std::string>> items;
  bool operator==(const Message&) const = default;
};

inline uint32_t wordOf(const std::string& bytes) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
  return v;
}

inline std::ostream& operator<<(std::ostream& os, const Message& m) {
  os << "{" << m.id;
  for (const auto& [tag, bytes] : m.items) {
    os << " " << tag << ":";
    // Numbers as numbers, texts as texts.
    if (bytes.size() >= 4) os << wordOf(bytes) << (bytes.size() > 4 ? "'" + bytes.substr(4) + "'" : "");
    else os << "'" << bytes << "'";
  }
  return os << "}";
}

// Reply 1024 of an operation.
inline Message operationResponse(uint32_t operation, uint32_t status, const std::string& text) {
  return {1024, {{4001, le32(operation)}, {2051, le32(status) + text}}};
}
// The one-call status reply (the invalid-operation answer).
inline Message statusReply(uint32_t status, const std::string& text) { return {1024, {{2051, le32(status) + text}}}; }
// Progress 1017 and status text 11055 of a long operation.
inline Message progress(uint32_t operation, uint32_t value) {
  return {1017, {{4001, le32(operation)}, {2036, le32(value)}}};
}
inline Message statusText(uint32_t code, const std::string& text) { return {11055, {{11102, le32(code) + text}}}; }

inline std::vector<Message> messagesOf(const std::vector<tkwire::Reply>& replies, int64_t sequence = kSequence) {
  std::vector<Message> out;
  for (const tkwire::Reply& reply : replies) {
    EXPECT_EQ(reply.sequence, sequence) << reply.messageId;
    Message m{reply.messageId, {}};
    for (const auto& item : reply.items) m.items.emplace_back(item.tag, item.bytes);
    out.push_back(std::move(m));
  }
  return out;
}

inline std::string text(unsigned long id) { return tktest::catalogueText(id); }
template <class... A>
std::string text(unsigned long id, const A&... arguments) {
  return tktest::catalogueText(id, arguments...);
}

// The encrypted form of a credential element, as consoles send it.
inline std::string encrypted(const std::string& plain) {
  EvExternal services(0);
  std::string out;
  EXPECT_EQ(services.encryptForTransport(plain, out), 1);
  return out;
}

inline void resetStandIns() {
  tktest::resetSessionStandIns();
  testkit::external::reset();
  testkit::security::reset();
}

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStandIns();
    tktest::resetSessionState();
    auto request = m_a.request(1, 0, kUser);
    m_config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true);
    ASSERT_NE(m_config, nullptr);
    m_world = testkit::mac::seedWorld(*m_config);
    // The hooks as the frame's initialisation leaves them.
    ZQMACMediaConfig::SetStatusTextFunc(::sendStatusResponse, 0);
  }
  void TearDown() override {
    tktest::resetSessionState();
    resetStandIns();
  }

  ZQMACMediaConfig& config() { return *m_config; }
  unsigned long long handleOf(const ZQMACInterface* object) const { return m_config->GetHandle(object); }

  // The request from a client (A by default) with the session's fields.
  tktest::StreamBuilder stream(const Connection* client = nullptr) const {
    const Connection& c = client != nullptr ? *client : m_a;
    return tktest::StreamBuilder().socket(c.socket().GetSocketDescriptor()).user(kUser).sequence(kSequence).guiId(kGuiId);
  }
  // Runs the request; what the client read.
  std::vector<Message> run(const tktest::StreamBuilder& request, bool expected, const Connection* client = nullptr) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMControl(message.get()), expected);
    return messagesOf((client != nullptr ? *client : m_a).replies());
  }
  // One record: the operation on the object (no handle for null).
  std::vector<Message> runOne(uint32_t operation, const ZQMACInterface* object, bool expected) {
    tktest::StreamBuilder s = stream().op(operation);
    if (object != nullptr) s.handle(handleOf(object));
    return run(s.end(), expected);
  }
  void perMediaAgentRights(bool on) {
    ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', " +
                        std::string(on ? "1" : "0") + ")"),
              0);
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_a;
  Connection m_b;
  ZQMACMediaConfig* m_config = nullptr;
  testkit::mac::World m_world;
};

}  // namespace ctltest
