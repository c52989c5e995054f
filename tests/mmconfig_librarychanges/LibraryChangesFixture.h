// Shared pieces of the library-change and drag-and-drop tests: client A
// holds a session on an instance filled with the standard world
// (platform/testkit/mac.h); requests are built as the host would build them
// and the messages the client reads are compared whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mmlib.h"
#include "platform/testkit/ndmpdetect.h"
#include "platform/testkit/security.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace libtest {

using ctltest::Message;
using ctltest::messagesOf;
using ctltest::operationResponse;
using ctltest::statusReply;
using ctltest::text;
using tktest::le32;

inline constexpr int64_t kSequence = ctltest::kSequence;
inline constexpr uint32_t kUser = ctltest::kUser;

// Reply 1024 of status 2 with its count.
inline Message countedResponse(uint32_t operation, uint32_t count, const std::string& text) {
  return {1024, {{4001, le32(operation)}, {4117, le32(count)}, {2051, le32(2) + text}}};
}

inline void resetStandIns() {
  ctltest::resetStandIns();
  testkit::mmlib::reset();
  testkit::ndmpdetect::reset();
}

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetStandIns();
    tktest::resetSessionState();
    auto request = m_a.request(1, 0, kUser);
    m_config = EvMMConfigMgr::GetCurrentMediaConfig(request.get(), true);
    ASSERT_NE(m_config, nullptr);
    m_world = testkit::mac::seedWorld(*m_config);
  }
  void TearDown() override {
    tktest::resetSessionState();
    resetStandIns();
  }

  ZQMACMediaConfig& config() { return *m_config; }
  unsigned long long handleOf(const ZQMACInterface* object) const { return m_config->GetHandle(object); }

  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(kUser).sequence(kSequence).guiId(31);
  }
  // The library request; what the client read.
  std::vector<Message> run(const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ(m_mgr.onMsgSetMMLibrary(message.get()), expected);
    return messagesOf(m_a.replies());
  }
  // One record of operation 3 on the tape library with the given elements.
  tktest::StreamBuilder modify() const { return stream().op(3).handle(handleOf(m_world.lms)); }

  // The drag-and-drop request.
  std::vector<Message> drop(unsigned long long source, unsigned long long target, uint32_t mode, bool expected) {
    auto message = stream()
                       .objectHandle(source)
                       .payloadWord(8, static_cast<uint32_t>(target))
                       .payloadWord(12, static_cast<uint32_t>(target >> 32))
                       .payloadWord(16, 0xDEADBEEF)  // never read
                       .payloadWord(20, mode)
                       .build();
    EXPECT_EQ(m_mgr.onMsgMMDragNDrop(message.get()), expected);
    return messagesOf(m_a.replies());
  }

  void perMediaAgentRights(bool on) {
    ASSERT_EQ(m_db.exec("INSERT INTO MMConfigs (name, value) VALUES ('MMS2_CONFIG_CHECK_USER_MA_RIGHT', " +
                        std::string(on ? "1" : "0") + ")"),
              0);
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_a;
  ZQMACMediaConfig* m_config = nullptr;
  testkit::mac::World m_world;
};

}  // namespace libtest
