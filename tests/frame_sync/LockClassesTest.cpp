// The lock classes of the handler frame: sections, semaphores, named
// mutexes, the recursive critical section and the time interval.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "frame/FXLockableResource.h"
#include "frame/ZqCriticalSection.h"
#include "tests/support/WaitFor.h"

namespace {

using Clock = std::chrono::steady_clock;

uint32_t low32(uint64_t id) { return static_cast<uint32_t>(id & 0xFFFFFFFFu); }

// Runs `fn` on another thread and returns its result.
template <class F>
auto onOtherThread(F fn) {
  return std::async(std::launch::async, fn).get();
}

// Whether another thread gets the lock with TryLock (released again if so).
template <class Lock>
bool otherThreadGets(Lock& lock) {
  return onOtherThread([&] {
    const bool got = lock.TryLock();
    if (got) lock.Unlock();
    return got;
  });
}

TEST(CTimeInterval, ConvertsTicksToMillisecondsTowardZero) {
  const struct {
    int64_t ticks;
    int64_t ms;
  } cases[] = {{15000, 1}, {-15000, -1}, {9999, 0}, {-9999, 0}, {0, 0}, {10000, 1}, {20000, 2}, {-20001, -2}};
  for (const auto& c : cases) EXPECT_EQ(CTimeInterval(c.ticks).AsMilliseconds(), c.ms) << c.ticks;
  EXPECT_EQ(CTimeInterval::FromMilliseconds(7).Ticks(), 70000);
}

TEST(ZqCriticalSection, ScopedLockExcludesOtherThreadsAndIgnoresNull) {
  { ZqCriticalSectionLock ignored(nullptr); }  // neither enters nor leaves
  ZqCriticalSection section;
  ASSERT_NE(section.impl(), nullptr);
  std::atomic<bool> entered{false};
  std::thread other;
  {
    ZqCriticalSectionLock lock(&section);
    other = std::thread([&] {
      ZqCriticalSectionLock inner(&section);
      entered = true;
    });
    // The other thread has tried the section and waits (or, wrongly, is in).
    EXPECT_TRUE(tktest::waitUntil([&] { return section.impl()->waiting() == 1 || entered.load(); }));
    EXPECT_FALSE(entered.load());
  }
  other.join();
  EXPECT_TRUE(entered.load());

  // The global sections exist; the thread inside may enter again.
  EXPECT_NE(gCriticalSectionCTOR.impl(), nullptr);
  ZqCriticalSectionLock lock(&gCriticalSectionCTOR);
  ZqCriticalSectionLock again(&gCriticalSectionCTOR);
  deleteMediaContent.enter(true);
  deleteMediaContent.leave();
}

TEST(ZqSemaphore, CountsReleases) {
  ZqSemaphore semaphore(0);
  std::atomic<int> passed{0};
  auto waiter = [&] {
    semaphore.wait();
    ++passed;
  };
  std::thread a(waiter);
  std::thread b(waiter);
  // Both have reached their wait (or, wrongly, passed it).
  EXPECT_TRUE(tktest::waitUntil([&] { return semaphore.waiting() + passed.load() == 2; }));
  EXPECT_EQ(passed.load(), 0);
  semaphore.release(2);
  a.join();
  b.join();
  EXPECT_EQ(passed.load(), 2);
}

TEST(FXNamedMutex, OwnerAndCountAcrossTwoThreads) {
  FXNamedMutex mutex("FXNamedMutexTest.owner");
  const uint32_t me = low32(GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), static_cast<uint64_t>(pthread_self()));
  EXPECT_EQ(mutex.GetLockOwner(), 0u);

  mutex.Lock();
  mutex.Lock();
  EXPECT_EQ(mutex.getLockCnt(), 2);
  EXPECT_EQ(mutex.GetLockOwner(), me);

  // Another thread, with its own object of the same name, cannot take it,
  // and its failed attempt leaves the owner alone.
  EXPECT_FALSE(onOtherThread([] { return FXNamedMutex("FXNamedMutexTest.owner").TryLock(); }));
  EXPECT_FALSE(onOtherThread([&] { return mutex.TryLock(); }));
  EXPECT_EQ(mutex.GetLockOwner(), me);
  EXPECT_EQ(mutex.getLockCnt(), 2);

  mutex.Unlock();  // still one hold: still the owner
  EXPECT_EQ(mutex.getLockCnt(), 1);
  EXPECT_EQ(mutex.GetLockOwner(), me);
  mutex.Unlock();  // last hold: owner cleared
  EXPECT_EQ(mutex.getLockCnt(), 0);
  EXPECT_EQ(mutex.GetLockOwner(), 0u);

  // Now the other thread gets it and is recorded as owner.
  uint32_t otherOwner = onOtherThread([&] {
    bool got = mutex.TryLock();
    uint32_t owner = mutex.GetLockOwner();
    if (got) mutex.Unlock();
    return got ? owner : 0u;
  });
  EXPECT_NE(otherOwner, 0u);
  EXPECT_NE(otherOwner, me);
  EXPECT_EQ(mutex.GetLockOwner(), 0u);

  // Different names are different locks.
  FXNamedMutex a("FXNamedMutexTest.a");
  a.Lock();
  FXNamedMutex b("FXNamedMutexTest.b");
  EXPECT_TRUE(otherThreadGets(b));
  a.Unlock();
}

TEST(FXNamedMutex, TryLockFailsOnlyAfterItsWait) {
  FXNamedMutex held("FXNamedMutexTest.wait");
  held.Lock();
  // Another thread's TryLock with the interval (none: the default wait):
  // whether it got the lock, and how long it took.
  auto timedTry = [](std::optional<CTimeInterval> interval) {
    return onOtherThread([interval] {
      FXNamedMutex other("FXNamedMutexTest.wait");
      const auto start = Clock::now();
      const bool got = interval ? other.TryLock(*interval) : other.TryLock();
      return std::make_pair(got, Clock::now() - start);
    });
  };
  auto waited = timedTry(std::nullopt);
  EXPECT_FALSE(waited.first);
  EXPECT_GE(waited.second, std::chrono::milliseconds(1));
  waited = timedTry(CTimeInterval::FromMilliseconds(30));
  EXPECT_FALSE(waited.first);
  EXPECT_GE(waited.second, std::chrono::milliseconds(30));
  // Under 10,000 ticks, and negative intervals, wait 0 ms: the try gives up
  // while the lock is still held, instead of waiting for it (the bound only
  // ends a wait that would not end; the holder then lets go, so that the
  // waiting thread can end).
  for (int64_t ticks : {int64_t{9999}, int64_t{-50'000'000}}) {
    auto tried = std::async(std::launch::async, [ticks] {
      FXNamedMutex other("FXNamedMutexTest.wait");
      const bool got = other.TryLock(CTimeInterval(ticks));
      if (got) other.Unlock();
      return got;
    });
    if (tried.wait_for(tktest::kWaitLimit) != std::future_status::ready) {
      ADD_FAILURE() << ticks << " ticks: the try waits for the lock";
      held.Unlock();
      tried.get();
      return;
    }
    EXPECT_FALSE(tried.get()) << ticks;
  }
  held.Unlock();
}

TEST(FXCriticalSection, IsRecursiveAndClearsOwnerOnEveryRelease) {
  FXCriticalSection section;
  section.Lock();
  section.Lock();
  EXPECT_TRUE(section.TryLock());
  EXPECT_EQ(section.GetLockOwner(), low32(GetCurrentThreadId()));
  EXPECT_FALSE(onOtherThread([&] { return section.TryLock(); }));

  section.Unlock();
  EXPECT_EQ(section.GetLockOwner(), 0u);  // nested release clears it too
  section.Unlock();
  EXPECT_FALSE(onOtherThread([&] { return section.TryLock(); }));
  // An unlock by a thread holding nothing releases nothing.
  onOtherThread([&] {
    section.Unlock();
    return 0;
  });
  EXPECT_FALSE(onOtherThread([&] { return section.TryLock(); }));
  section.Unlock();
  EXPECT_TRUE(otherThreadGets(section));
}

// A recursive mutex whose lock can be made to fail as the interprocess mutex
// reports it, counting what reaches it.
struct FailingMutex {
  std::recursive_mutex real;
  int failNextLocks = 0;
  int unlocks = 0;
  int locks = 0;
  void lock() {
    if (failNextLocks > 0) {
      --failNextLocks;
      throw boost::interprocess::lock_exception();
    }
    real.lock();
    ++locks;
  }
  bool try_lock() {
    bool got = real.try_lock();
    if (got) ++locks;
    return got;
  }
  void unlock() {
    ++unlocks;
    real.unlock();
  }
};

TEST(FXCriticalSection, SwallowedLockFailureIsNotFollowedByAnUnlock) {
  FXRecursiveSection<FailingMutex> section;
  section.mutex().failNextLocks = 1;
  section.Lock();  // fails silently
  EXPECT_EQ(section.GetLockOwner(), 0u);
  section.Unlock();  // matches the failed lock: releases nothing
  EXPECT_EQ(section.mutex().unlocks, 0);

  // A failure nested inside a real hold: the holds stay balanced.
  section.Lock();
  section.mutex().failNextLocks = 1;
  section.Lock();
  EXPECT_EQ(section.mutex().locks, 1);
  section.Unlock();
  EXPECT_EQ(section.mutex().unlocks, 0);
  EXPECT_FALSE(onOtherThread([&] { return section.TryLock(); }));  // still held
  section.Unlock();
  EXPECT_EQ(section.mutex().unlocks, 1);
  EXPECT_TRUE(otherThreadGets(section));
}

}  // namespace
