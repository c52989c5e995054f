// Lock requests of both forms from many clients at once: they never
// interleave, so exactly one client holds the lock and the state always
// names one client consistently.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

#include "tests/frame_lock/LockFixture.h"

namespace {

using locktest::State;

constexpr int kClients = 6;
constexpr int kRounds = 12;

class LockConcurrency : public locktest::LockTest {
 protected:
  void SetUp() override {
    LockTest::SetUp();
    for (int i = 0; i < kClients; ++i)
      testkit::external::setUserLogin(100 + i, "user" + std::to_string(100 + i));
  }
};

TEST_F(LockConcurrency, SimultaneousLocksLeaveExactlyOneHolder) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    sessiontest::resetSessionState();
    std::vector<std::unique_ptr<locktest::Connection>> clients;
    for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<locktest::Connection>());

    std::latch start(kClients);
    std::atomic<int> winners{0};
    std::atomic<int> refused{0};
    std::vector<int> won(kClients, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
      threads.emplace_back([&, i] {
        EvMMConfigMgr mgr;
        const uint32_t user = static_cast<uint32_t>(100 + i);
        start.arrive_and_wait();
        // Half the clients speak the element-stream form, half XML.
        if (i % 2 == 0) {
          auto request = locktest::streamRequest(*clients[i], user, 1, 2, 10 + i);
          mgr.LockMMConfiguration(request.get(), 500 + i, true);
        } else {
          auto request = clients[i]->request(10 + i, 0, user);
          std::string xml = locktest::xmlRequest(1, 500 + i);
          mgr.OnMsgLockUnlockMMConfigurationXML(request.get(), xml);
          auto response = locktest::readResponse(xml);
          if (response && response->code == 0) {
            won[i] = 1;
            ++winners;
          } else if (response && response->code == -1) {
            ++refused;
          }
        }
      });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < kClients; i += 2) {
      auto status = locktest::onlyStatus(clients[i]->replies());
      ASSERT_TRUE(status.has_value());
      if (status->status == 1) {
        won[i] = 1;
        ++winners;
      } else if (status->status == 3) {
        ++refused;
      }
    }
    EXPECT_EQ(winners.load(), 1);
    EXPECT_EQ(refused.load(), kClients - 1);
    const State state = State::now();
    EXPECT_EQ(state.locked, 1u);
    for (int i = 0; i < kClients; ++i) {
      if (won[i] == 0) continue;
      EXPECT_EQ(state.holderFd, static_cast<int>(clients[i]->socket().GetSocketDescriptor()));
      EXPECT_EQ(state.userId, static_cast<unsigned long>(100 + i));
      EXPECT_EQ(state.serverSequence, 500 + i);
    }
  }
}

TEST_F(LockConcurrency, SimultaneousForceLocksEndWithTheLastForcerConsistently) {
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    sessiontest::resetSessionState();
    aliceHoldsTheLock();
    std::vector<std::unique_ptr<locktest::Connection>> clients;
    for (int i = 0; i < kClients; ++i) clients.push_back(std::make_unique<locktest::Connection>());
    std::latch start(kClients);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
      threads.emplace_back([&, i] {
        EvMMConfigMgr mgr;
        const uint32_t user = static_cast<uint32_t>(100 + i);
        start.arrive_and_wait();
        if (i % 2 == 0) {
          auto request = locktest::streamRequest(*clients[i], user, 3, 2, 10 + i);
          mgr.LockMMConfiguration(request.get(), 500 + i, true);
        } else {
          auto request = clients[i]->request(10 + i, 0, user);
          std::string xml = locktest::xmlRequest(3, 500 + i);
          mgr.OnMsgLockUnlockMMConfigurationXML(request.get(), xml);
        }
      });
    }
    for (auto& t : threads) t.join();
    const State state = State::now();
    EXPECT_EQ(state.locked, 1u);
    int holder = -1;
    for (int i = 0; i < kClients; ++i)
      if (state.holderFd == static_cast<int>(clients[i]->socket().GetSocketDescriptor())) holder = i;
    ASSERT_GE(holder, 0);
    // Holder, user, server sequence number and the name of who forced last
    // all belong to the same request.
    EXPECT_EQ(state.userId, static_cast<unsigned long>(100 + holder));
    EXPECT_EQ(state.serverSequence, 500 + holder);
    EXPECT_EQ(state.lastLogin, "user" + std::to_string(100 + holder));
    EXPECT_EQ(locktest::cacheSize(), static_cast<std::size_t>(kClients + 1));
  }
}

}  // namespace
