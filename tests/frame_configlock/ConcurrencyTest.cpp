// Lock requests of both forms from many clients at once: they never
// interleave, so exactly one client holds the lock and the state always
// names one client consistently.
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "tests/frame_configlock/ConfigLockFixture.h"

namespace {

using locktest::State;

constexpr int kClients = 6;
constexpr int kRounds = 12;

class LockConcurrency : public locktest::LockTest {
 protected:
  void SetUp() override {
    LockTest::SetUp();
    for (int i = 0; i < kClients; ++i) testkit::external::setUserLogin(100 + i, "user" + std::to_string(100 + i));
  }

  // Client i (user 100 + i) sends the operation at the same moment as the
  // others: even clients in the element-stream form, odd ones in XML, with
  // server sequence 500 + i. Each client's answer: the status of the stream
  // form, or 1 for XML code 0 and 3 for XML code -1.
  std::vector<uint32_t> allAtOnce(std::vector<locktest::Connection>& clients, uint32_t operation) {
    std::vector<uint32_t> answers(kClients, 99);
    std::latch start(kClients);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
      threads.emplace_back([&, i] {
        EvMMConfigMgr mgr;
        const uint32_t user = static_cast<uint32_t>(100 + i);
        std::string xml = locktest::xmlRequest(operation, 500 + i);
        start.arrive_and_wait();
        if (i % 2 == 0) {
          mgr.LockMMConfiguration(locktest::streamRequest(clients[i], user, operation, 2, 10 + i).get(), 500 + i, true);
          return;
        }
        mgr.OnMsgLockUnlockMMConfigurationXML(clients[i].request(10 + i, 0, user).get(), xml);
        const long long code = locktest::readResponse(xml).code;
        answers[i] = code == 0 ? 1 : code == -1 ? 3 : 99;
      });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < kClients; i += 2) {
      answers[i] = tktest::onlyStatus(clients[i].replies()).value_or(tktest::Status{}).status;
    }
    return answers;
  }
};

TEST_F(LockConcurrency, SimultaneousLocksLeaveExactlyOneHolder) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    tktest::resetSessionState();
    std::vector<locktest::Connection> clients(kClients);
    const std::vector<uint32_t> answers = allAtOnce(clients, 1);
    int winner = -1;
    for (int i = 0; i < kClients; ++i) {
      EXPECT_TRUE(answers[i] == 1 || answers[i] == 3) << i << ": " << answers[i];
      if (answers[i] != 1) continue;
      EXPECT_EQ(winner, -1) << "two holders";
      winner = i;
    }
    ASSERT_GE(winner, 0);
    const State state = State::now();
    EXPECT_EQ(state.locked, 1u);
    EXPECT_EQ(state.holderFd, static_cast<int>(clients[winner].socket().GetSocketDescriptor()));
    EXPECT_EQ(state.userId, static_cast<unsigned long>(100 + winner));
    EXPECT_EQ(state.serverSequence, 500 + winner);
  }
}

TEST_F(LockConcurrency, SimultaneousForceLocksEndWithTheLastForcerConsistently) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    tktest::resetSessionState();
    aliceHoldsTheLock();
    std::vector<locktest::Connection> clients(kClients);
    allAtOnce(clients, 3);
    const State state = State::now();
    EXPECT_EQ(state.locked, 1u);
    int holder = -1;
    for (int i = 0; i < kClients; ++i)
      if (state.holderFd == static_cast<int>(clients[i].socket().GetSocketDescriptor())) holder = i;
    ASSERT_GE(holder, 0);
    // Holder, user, server sequence number and the name of who forced last
    // all belong to the same request.
    EXPECT_EQ(state.userId, static_cast<unsigned long>(100 + holder));
    EXPECT_EQ(state.serverSequence, 500 + holder);
    EXPECT_EQ(state.lastLogin, "user" + std::to_string(100 + holder));
    // The newest instance and the one it forced out; those forced out before
    // are freed, since no client reaches them any more.
    EXPECT_EQ(locktest::cacheSize(), 2u);
  }
}

}  // namespace
