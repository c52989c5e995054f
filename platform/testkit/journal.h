// Test control of the stand-ins' journals (platform/journal/Journal.h): the
// process-wide recording switch and the fault sweep's counter.
//
//   testkit::journal::setRecording(false);          // what production sees
//   testkit::journal::armSweep(3, {-1, "injected"}); // the 3rd consultation fails
//   ... the request ...
//   const testkit::journal::SweepTally tally = testkit::journal::disarmSweep();
//
// tests/support/FaultSweep.h drives the sweep for a whole request.
#pragma once

#include <string>
#include <vector>

#include "platform/journal/Journal.h"

namespace testkit::journal {

// Turns recording of every journal in the process on or off (every reset of
// a journal turns it on).
void setRecording(bool on);
inline bool recording() { return tkjournal::recording(); }

// Arms the sweep: from now on every failure-script consultation in the
// process is counted from 1, and consultation `failAt` fails with `failure`
// (with `persistent`, every consultation from `failAt` on fails). failAt 0
// only counts.
void armSweep(long failAt, const tkjournal::Failure& failure, bool persistent = false);
struct SweepTally {
  long consulted = 0;              // consultations while armed
  std::vector<std::string> names;  // their names, in order
  std::vector<long> failed;        // the consultations that failed (1-based)
};
// Disarms the sweep and tells what it saw.
SweepTally disarmSweep();

// The failures scripted in all journals, plus one while a sweep is armed
// (0: takeFailure costs one load).
inline long scriptedCount() { return tkjournal::detail::g_scripted.load(); }

}  // namespace testkit::journal
