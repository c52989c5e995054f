// A lock that fails gives the session back to the holder it found only while
// that holder's connection is the one that held it: here the holder's
// console goes in the instant between the lock's look at the holder and its
// new instance, and a new console, given the same descriptor number, starts
// a session of its own in that instant. The lock then cannot read the
// configuration. The new console is not the holder the lock found: nobody
// holds the session after it, and the number's requests that need one get
// the force-close notice.
//
// The instant is reached by interposing: this executable defines
// EvMMConfigMgr::CurrentHolder itself, which the handler library's calls
// reach through the dynamic linker; it answers what the library's own
// answers, and runs a test's step once, on the lock's thread, right after.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/frame_configlock/ConfigLockFixture.h"

namespace {

std::atomic<bool> g_armed{false};
std::function<void()> g_step;
std::thread::id g_stepThread;

}  // namespace

EvMMConfigMgr::SessionHolder EvMMConfigMgr::CurrentHolder() {
  using Function = SessionHolder (*)();
  static const auto library =
      reinterpret_cast<Function>(::dlsym(RTLD_NEXT, "_ZN13EvMMConfigMgr13CurrentHolderEv"));
  const SessionHolder holder = library();
  if (g_armed.load(std::memory_order_acquire) && std::this_thread::get_id() == g_stepThread) {
    g_armed.store(false, std::memory_order_release);
    g_step();
  }
  return holder;
}

namespace {

using locktest::kAlice;
using locktest::kBob;
constexpr uint32_t kCarol = 9;  // the new console on Bob's number

// Runs `step` on this thread once the next look at the session holder has
// been made.
void afterTheNextLookAtTheHolder(std::function<void()> step) {
  g_step = std::move(step);
  g_stepThread = std::this_thread::get_id();
  g_armed.store(true, std::memory_order_release);
}

class ReusedNumber : public locktest::LockTest {
 protected:
  void TearDown() override {
    g_armed.store(false);
    locktest::LockTest::TearDown();
  }
};

TEST_F(ReusedNumber, AFailedLockGivesTheSessionToNobodyWhenTheHoldersNumberServesANewConsole) {
  const std::string unreadable = "the database cannot be read";
  for (const FailedLock& row : failedLocksOfAlice(unreadable)) {
    SCOPED_TRACE(row.name);
    // Bob holds the session, the lock given back.
    ASSERT_EQ(lockStream(kBob, 1, 20), 1);
    ASSERT_EQ(lockStream(kBob, 2, 0), 1);
    m_b.replies();
    bool stepped = false;
    afterTheNextLookAtTheHolder([&] {
      stepped = true;
      // Bob's console goes; Carol's comes on the same number and starts a
      // session, as a re-read (control operation 68) starts one.
      EvMMConfigMgr::ConnectionClosed(m_b.socket());
      auto carol = m_b.request(400, 0, kCarol);
      EXPECT_NE(EvMMConfigMgr::GetCurrentMediaConfig(carol.get(), true), nullptr);
      // The lock's own read fails.
      testkit::mac::failNext("ReadCurrentConfig", 0x1F000100, unreadable);
    });
    row.call();
    ASSERT_TRUE(stepped) << "the lock did not look at the holder through the dynamic linker";
    EXPECT_EQ(EvMMConfigMgr::GetSocketId().GetSocketDescriptor(), -1);
    EXPECT_EQ(EvMMConfigMgr::m_ulLockedMMConfig.load(), 0u);
    // Carol's request that needs the session finds none.
    auto request = m_b.request(401, 0, kCarol);
    EXPECT_EQ(EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false), nullptr);
    EXPECT_EQ(m_b.replies().size(), 1u) << "the force-close notice";
    // Carol's console goes too.
    EvMMConfigMgr::ConnectionClosed(m_b.socket());
    m_a.replies();
  }
}

}  // namespace
