// The clock's seam: while a replacement time is set, tkclock::now() and
// tkclock::nowMs() answer it and tkclock::sleepMs advances it instead of
// sleeping. Only the test control (FakeClock.cpp, surfaced through
// platform/testkit/clock.h) sets it; production code never does.
#pragma once

#include <cstdint>

namespace tkclock::seam {

// Replaces the system clock with `ms` (milliseconds since the epoch).
void replace(int64_t ms);
// Back to the system clock.
void restore();
// Sets the replacement time, or moves it on by `ms`.
void set(int64_t ms);
void advance(int64_t ms);

}  // namespace tkclock::seam
