// Waiting for another thread to reach a point that the test can observe (a
// lock's count of waiting threads, a flag it sets), instead of sleeping and
// hoping it got there:
//
//   std::thread other([&] { ZqCriticalSectionLock inner(&section); });
//   ASSERT_TRUE(tktest::waitUntil([&] { return section.impl()->waiting() == 1; }));
//
// The limit only keeps a broken test from hanging the suite; a test that
// meets it fails.
#pragma once

#include <chrono>
#include <thread>

namespace tktest {

inline constexpr std::chrono::seconds kWaitLimit{30};

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

}  // namespace tktest
