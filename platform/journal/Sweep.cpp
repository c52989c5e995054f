// The fault sweep's counter behind every failure script: while armed it
// numbers each consultation and fails the one (or, persistent, every one
// from the one) it was armed with. Armed and read through
// platform/testkit/journal.h; tests/support/FaultSweep.h runs whole sweeps.
#include <mutex>

#include "platform/journal/Journal.h"
#include "platform/testkit/journal.h"

namespace tkjournal::detail {
namespace {

struct Sweep {
  std::mutex mutex;
  bool armed = false;
  bool persistent = false;
  long failAt = 0;
  Failure failure;
  testkit::journal::SweepTally tally;
};

Sweep& sweep() {
  static Sweep* s = new Sweep();  // lives for the whole process: stand-ins consult it until exit
  return *s;
}

}  // namespace

thread_local bool t_outsideSweep = false;

bool sweepConsultArmed(std::string_view name, Failure& failure) {
  if (t_outsideSweep) return false;
  Sweep& s = sweep();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.armed) return false;
  const long number = ++s.tally.consulted;
  s.tally.names.emplace_back(name);
  const bool fails = s.failAt > 0 && (number == s.failAt || (s.persistent && number > s.failAt));
  if (!fails) return false;
  s.tally.failed.push_back(number);
  failure = s.failure;
  return true;
}

}  // namespace tkjournal::detail

namespace testkit::journal {

void armSweep(long failAt, const tkjournal::Failure& failure, bool persistent) {
  tkjournal::detail::Sweep& s = tkjournal::detail::sweep();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.armed) tkjournal::detail::g_scripted.fetch_add(1);
  s.armed = true;
  s.persistent = persistent;
  s.failAt = failAt;
  s.failure = failure;
  s.tally = SweepTally{};
}

SweepTally disarmSweep() {
  tkjournal::detail::Sweep& s = tkjournal::detail::sweep();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.armed) tkjournal::detail::g_scripted.fetch_sub(1);
  s.armed = false;
  SweepTally out = std::move(s.tally);
  s.tally = SweepTally{};
  return out;
}

}  // namespace testkit::journal
