// The process-wide parts of the stand-ins' journals: the recording switch,
// the count of scripted failures that keeps takeFailure to one load when
// nothing is scripted, and the fault sweep's counter.
#include "platform/journal/Journal.h"

namespace tkjournal {

namespace detail {

std::atomic<bool> g_recording{false};
std::atomic<long> g_scripted{0};

namespace {

struct Sweep {
  std::mutex mutex;
  bool armed = false;
  bool persistent = false;
  long failAt = 0;
  Failure failure;
  SweepTally tally;
};

Sweep& sweep() {
  static Sweep* s = new Sweep();  // lives for the whole process: stand-ins consult it until exit
  return *s;
}

}  // namespace

bool sweepConsultArmed(std::string_view name, Failure& failure) {
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

}  // namespace detail

void setRecording(bool on) { detail::g_recording.store(on); }

void armSweep(long failAt, const Failure& failure, bool persistent) {
  detail::Sweep& s = detail::sweep();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.armed) detail::g_scripted.fetch_add(1);
  s.armed = true;
  s.persistent = persistent;
  s.failAt = failAt;
  s.failure = failure;
  s.tally = SweepTally{};
}

SweepTally disarmSweep() {
  detail::Sweep& s = detail::sweep();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.armed) detail::g_scripted.fetch_sub(1);
  s.armed = false;
  SweepTally out = std::move(s.tally);
  s.tally = SweepTally{};
  return out;
}

}  // namespace tkjournal
