// The one seam through which the system reads the time and sleeps, so that
// tests can run on a clock that they set and that advances when code sleeps
// (platform/testkit/clock.h).
#pragma once

#include <cstdint>
#include <ctime>

namespace tkclock {

// Seconds since the epoch, like time(nullptr).
time_t now();
// Milliseconds since the epoch.
int64_t nowMs();
// Sleeps the calling thread; on the fake clock it advances the clock instead.
void sleepMs(uint32_t milliseconds);

}  // namespace tkclock

// The platform's sleep call, in milliseconds.
inline void WYSLEEP_InTeRnAl(uint32_t milliseconds) { tkclock::sleepMs(milliseconds); }
