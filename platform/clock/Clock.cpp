// The system clock behind the seam of Clock.h; ClockSeam.h lets the test
// control replace it.
#include "platform/clock/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/clock/ClockSeam.h"

namespace {
std::atomic<bool> g_replaced{false};
std::atomic<int64_t> g_replacedMs{0};
std::atomic<void (*)()> g_sleepObserver{nullptr};

void observeSleep() {
  if (void (*observer)() = g_sleepObserver.load(std::memory_order_acquire)) observer();
}
}  // namespace

namespace tkclock {

time_t now() { return static_cast<time_t>(nowMs() / 1000); }

int64_t nowMs() {
  if (g_replaced.load(std::memory_order_acquire)) return g_replacedMs.load(std::memory_order_acquire);
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void sleepMs(uint32_t milliseconds) {
  if (g_replaced.load(std::memory_order_acquire))
    g_replacedMs.fetch_add(milliseconds, std::memory_order_acq_rel);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  observeSleep();
}

namespace seam {

void replace(int64_t ms) {
  g_replacedMs.store(ms, std::memory_order_release);
  g_replaced.store(true, std::memory_order_release);
}

void restore() { g_replaced.store(false, std::memory_order_release); }

void set(int64_t ms) { g_replacedMs.store(ms, std::memory_order_release); }

void advance(int64_t ms) { g_replacedMs.fetch_add(ms, std::memory_order_acq_rel); }

void setSleepObserver(void (*observer)()) { g_sleepObserver.store(observer, std::memory_order_release); }

}  // namespace seam
}  // namespace tkclock
