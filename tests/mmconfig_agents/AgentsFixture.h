// Shared pieces of the media-agent, library-controller and copy-manager
// tests: client A holds a session on an instance filled with the standard
// world (platform/testkit/mac.h); Gets are made as the host makes them and
// the one reply block is compared item by item.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/mmconfig_control/ControlFixture.h"

namespace agenttest {

using ctltest::Message;
using ctltest::operationResponse;
using ctltest::statusReply;
using ctltest::text;
using tktest::le32;
using tktest::le64;
using Items = std::vector<std::pair<uint32_t, std::string>>;
using Handler = bool (EvMMConfigMgr::*)(MessageInfo*);

inline std::string idText(uint32_t id, const std::string& text) { return le32(id) + text; }

class AgentsTest : public ctltest::ControlTest {
 protected:
  // A Get with the handle in the first fixed field; the items of its one
  // reply (which must have `replyId`).
  Items get(Handler handler, uint32_t replyId, unsigned long long handle, bool expected = true) {
    auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
    request->objectHandle = handle;
    EXPECT_EQ((m_mgr.*handler)(request.get()), expected);
    return itemsOfOnlyReply(replyId);
  }
  Items itemsOfOnlyReply(uint32_t replyId) {
    const std::vector<Message> messages = ctltest::messagesOf(m_a.replies());
    EXPECT_EQ(messages.size(), 1u);
    if (messages.empty()) return {};
    EXPECT_EQ(messages[0].id, replyId);
    return messages[0].items;
  }
  // A Set request; what the client read.
  std::vector<Message> set(Handler handler, const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ((m_mgr.*handler)(message.get()), expected);
    return ctltest::messagesOf(m_a.replies());
  }
  static uint32_t low32(unsigned long long handle) { return static_cast<uint32_t>(handle); }
};

// Items compared one by one, so that a difference names its position.
inline void expectItems(const Items& actual, const Items& expected) {
  for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
    SCOPED_TRACE("item " + std::to_string(i + 1) + " tag " + std::to_string(expected[i].first));
    EXPECT_EQ(actual[i], expected[i]);
  }
  EXPECT_EQ(actual.size(), expected.size());
}

}  // namespace agenttest
