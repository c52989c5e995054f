// The clock's test control (platform/testkit/clock.h), over the seam the
// production clock keeps (ClockSeam.h).
#include "platform/clock/ClockSeam.h"
#include "platform/clock/Clock.h"
#include "platform/testkit/clock.h"

namespace testkit::clock {

FakeClock::FakeClock(time_t start) { tkclock::seam::replace(static_cast<int64_t>(start) * 1000); }

FakeClock::~FakeClock() { tkclock::seam::restore(); }

void FakeClock::set(time_t seconds) { tkclock::seam::set(static_cast<int64_t>(seconds) * 1000); }

void FakeClock::advance(int64_t seconds) { tkclock::seam::advance(seconds * 1000); }

time_t FakeClock::now() const { return tkclock::now(); }

}  // namespace testkit::clock
