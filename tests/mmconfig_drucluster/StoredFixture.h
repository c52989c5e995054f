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
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace arctest {

using ctltest::Message;
using ctltest::operationResponse;
using tktest::le32;
using Items = std::vector<std::pair<uint32_t, std::string>>;
using Answers = std::vector<Message>;
using Handler = bool (EvMMConfigMgr::*)(MessageInfo*);

inline std::string idText(uint32_t id, const std::string& text) { return le32(id) + text; }

class StoredTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctltest::resetStandIns();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
    freshSession();
  }
  void TearDown() override {
    tktest::resetSessionState();
    ctltest::resetStandIns();
  }
  void freshSession() {
    ctltest::resetStandIns();
    tktest::resetSessionState();
    m_config = tktest::openDatabaseSession(m_a, ctltest::kUser);
    ASSERT_NE(m_config, nullptr);
    m_a.replies();
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder()
        .socket(m_a.socket().GetSocketDescriptor())
        .user(ctltest::kUser)
        .sequence(ctltest::kSequence);
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
  // Each call failing in turn: every run answers on the socket and leaves
  // the database as before or as after the clean run.
  tktest::SweepReport sweep(const std::function<void()>& request) {
    tktest::SweepPlan plan;
    plan.setup = [&] { freshSession(); };
    plan.request = request;
    plan.check = [&](const tktest::SweepRun& run) { return tktest::answeredOnSocket(m_a.replies(), run); };
    return tktest::FaultSweep().run(plan);
  }

  tktest::TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  tktest::Connection m_a;
  ZQMACMediaConfig* m_config = nullptr;
};

}  // namespace arctest
