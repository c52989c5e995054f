#include "platform/clock/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/testkit/clock.h"

namespace {
std::atomic<bool> g_fake{false};
std::atomic<int64_t> g_fakeMs{0};
}  // namespace

namespace tkclock {

time_t now() { return static_cast<time_t>(nowMs() / 1000); }

int64_t nowMs() {
  if (g_fake.load(std::memory_order_acquire)) return g_fakeMs.load(std::memory_order_acquire);
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void sleepMs(uint32_t milliseconds) {
  if (g_fake.load(std::memory_order_acquire)) {
    g_fakeMs.fetch_add(milliseconds, std::memory_order_acq_rel);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tkclock

namespace testkit::clock {

FakeClock::FakeClock(time_t start) {
  g_fakeMs.store(static_cast<int64_t>(start) * 1000, std::memory_order_release);
  g_fake.store(true, std::memory_order_release);
}

FakeClock::~FakeClock() { g_fake.store(false, std::memory_order_release); }

void FakeClock::set(time_t seconds) { g_fakeMs.store(static_cast<int64_t>(seconds) * 1000, std::memory_order_release); }

void FakeClock::advance(int64_t seconds) { g_fakeMs.fetch_add(seconds * 1000, std::memory_order_acq_rel); }

time_t FakeClock::now() const { return tkclock::now(); }

}  // namespace testkit::clock
