// Shared pieces of the DRU-host and archive-cluster tests: client A holds a
// session loaded from the demonstration installation in the database (media
// agents ma1 = client 1, ma2 = client 2); Gets and Sets are made as the host
// makes them, and what the client reads is compared whole. freshSession()
// is a new load from the database, to read changes back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/mmconfig_control/ControlFixture.h"
#include "tests/support/SeededSession.h"

namespace arctest {

using ctltest::Message;
using ctltest::operationResponse;
using tktest::le32;
using Items = std::vector<std::pair<uint32_t, std::string>>;
using Answers = std::vector<Message>;
using Handler = bool (EvMMConfigMgr::*)(MessageInfo*);

inline std::string idText(uint32_t id, const std::string& text) { return le32(id) + text; }

class StoredTest : public tktest::SeededSessionTest {
 protected:
  StoredTest() : SeededSessionTest(ctltest::resetStandIns, ctltest::kUser, ctltest::kSequence) {}
  void SetUp() override {
    SeededSessionTest::SetUp();
    if (!HasFatalFailure()) freshSession();
  }
  Answers set(Handler handler, const tktest::StreamBuilder& request, bool expected) {
    auto message = request.build();
    EXPECT_EQ((m_mgr.*handler)(message.get()), expected);
    return ctltest::messagesOf(m_a.replies());
  }
  // A Get (the builder carries its fixed fields); the items of its one reply.
  Items get(Handler handler, uint32_t replyId, const tktest::StreamBuilder& request, bool expected = true) {
    auto message = request.build();
    EXPECT_EQ((m_mgr.*handler)(message.get()), expected);
    const Answers answers = ctltest::messagesOf(m_a.replies());
    EXPECT_EQ(answers.size(), 1u);
    if (answers.empty()) return {};
    EXPECT_EQ(answers[0].id, replyId);
    return answers[0].items;
  }
};

}  // namespace arctest
