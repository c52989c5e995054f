// A test on the demonstration installation seeded into the test database:
// each test starts from the seeded rows; freshSession() makes client A the
// holder of a new session loaded from them (to start a request or to read
// changes back), and sweep() runs a request with each platform call failing
// in turn, each run from a fresh session.
//
//   class StoredTest : public tktest::SeededSessionTest {
//    protected:
//     StoredTest() : SeededSessionTest(ctltest::resetStandIns, ctltest::kUser, ctltest::kSequence) {}
//   };
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/mac/ZQMACPlatform.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FrameSession.h"
#include "tests/support/StreamBuilder.h"
#include "tests/support/TestDatabase.h"

namespace tktest {

class SeededSessionTest : public ::testing::Test {
 public:
  // `resetStandIns` puts the stand-ins the tests use back to their start;
  // requests are made as `user` with `sequence`.
  SeededSessionTest(void (*resetStandIns)(), uint32_t user, int64_t sequence)
      : m_resetStandIns(resetStandIns), m_user(user), m_sequence(sequence) {}

  void SetUp() override {
    m_resetStandIns();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
  }
  void TearDown() override {
    resetSessionState();
    m_resetStandIns();
  }
  virtual void freshSession() {
    m_resetStandIns();
    resetSessionState();
    m_config = openDatabaseSession(m_a, m_user);
    ASSERT_NE(m_config, nullptr);
    m_a.replies();
  }
  StreamBuilder stream() const {
    return StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(m_user).sequence(m_sequence);
  }
  // Each call failing in turn: every run answers on the socket and leaves
  // the database as before or as after the clean run, but for the
  // `judgedTables`, which the check may look at instead.
  SweepReport sweep(const std::function<void()>& request, std::vector<std::string> judgedTables = {}) {
    SweepPlan plan;
    plan.setup = [&] { freshSession(); };
    plan.request = request;
    plan.judgedTables = std::move(judgedTables);
    plan.check = [&](const SweepRun& run) { return answeredOnSocket(m_a.replies(), run); };
    return FaultSweep().run(plan);
  }
  // The sweep of a listing whose reply is `replyId`: every run lists (or
  // answers why not) and changes nothing. Each run starts from `setup`, a
  // fresh session unless given.
  SweepReport sweepListing(const std::function<void()>& request, uint32_t replyId,
                           const std::function<void()>& setup = nullptr) {
    SweepPlan plan;
    plan.setup = [&] { setup ? setup() : freshSession(); };
    plan.request = request;
    plan.check = [&](const SweepRun& run) { return listedOnSocket(m_a.replies(), run, replyId, m_sequence); };
    return FaultSweep().run(plan);
  }

  TestDatabase m_db;
  EvMMConfigMgr m_mgr;
  Connection m_a;
  ZQMACMediaConfig* m_config = nullptr;

 private:
  void (*m_resetStandIns)();
  uint32_t m_user;
  int64_t m_sequence;
};

}  // namespace tktest
