// The clock's seam: while a replacement time is set, tkclock::now() and
// tkclock::nowMs() answer it and tkclock::sleepMs advances it instead of
// sleeping. Only the test control (FakeClock.cpp, surfaced through
// platform/testkit/clock.h) sets it; production code never does.
//
// The sleep observer lets a stand-in for a service outside the process (the
// job manager, whose jobs end while a caller waits) make the time a sleep
// passes take effect: it is called after every sleep, on the sleeping thread.
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
// Sets the function called after every sleep (null: none).
void setSleepObserver(void (*observer)());

}  // namespace tkclock::seam
