// Waiting for another thread to reach a point that the test can observe (a
// lock's count of waiting threads, a flag it sets), instead of sleeping and
// hoping it got there:
//
//   std::thread other([&] { ZqCriticalSectionLock inner(&section); });
//   ASSERT_TRUE(tktest::waitUntil([&] { return section.impl()->waiting() == 1; }));
//
// The limit only keeps a broken test from hanging the suite, however busy
// the machine; a test that meets it fails.
#pragma once

#include <chrono>
#include <thread>

namespace tktest {

inline constexpr std::chrono::seconds kWaitLimit{60};

// True as soon as `reached()` is; false when it still is not after `limit`.
template <class Reached>
bool waitUntil(Reached reached, std::chrono::milliseconds limit = kWaitLimit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!reached()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

// The same for what costs a look (a log file read, a process's /proc
// entries, a database query): looked at every `every` until it holds.
template <class Reached>
bool pollUntil(Reached reached, std::chrono::milliseconds limit = kWaitLimit,
               std::chrono::milliseconds every = std::chrono::milliseconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!reached()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(every);
  }
  return true;
}

}  // namespace tktest
