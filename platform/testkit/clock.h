// Test control of the clock seam: while a FakeClock lives, tkclock::now()
// answers its time and tkclock::sleepMs advances it instead of sleeping.
#pragma once

#include <cstdint>
#include <ctime>

namespace testkit::clock {

class FakeClock {
 public:
  explicit FakeClock(time_t start = 1'700'000'000);
  ~FakeClock();
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void set(time_t seconds);
  void advance(int64_t seconds);
  time_t now() const;
};

}  // namespace testkit::clock
