// What a test or benchmark process made that must not outlive it: the
// processes it started (hosts, consoles) and its temporary folders. Each is
// entered here while it lives; when the process leaves without ending them
// itself (exit() past their owners' destructors, SIGINT, SIGTERM, SIGHUP,
// an abort), the processes are killed and the folders removed before it
// goes. A process killed outright (SIGKILL) cannot act: the processes it
// started get SIGKILL from the kernel then (Child sets their parent-death
// signal), and its folders stay.
//
// Only what this very process entered is acted on: a forked child that
// inherited the entries leaves its parent's alone.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace tkowned {

// Enters a started process; forgets it once it has been waited for.
// `works`: its CPU time counts as progress (a host's, a program's); a
// console's does not (it spends some while it only waits for an answer).
void enterProcess(pid_t pid, bool works = true);
void forgetProcess(pid_t pid);

// Enters a temporary folder; forgets it once it has been removed.
void enterFolder(const std::string& path);
void forgetFolder(const std::string& path);

// The CPU time (user and system, in clock ticks) that the live working
// processes entered by this process have spent so far: a wait for one of them goes
// on while this grows (a host working slowly on a busy machine), and ends
// when it stands still (a host that is stuck).
long long cpuTicks();

// The CPU time of one process in clock ticks from /proc; -1 once it is
// gone.
long long cpuTicksOf(pid_t pid);

// A wait goes on while the processes entered spend CPU time, and ends
// when none of them has spent any for stallMs(): kStallMs, or a test's own
// (StallBound) for a test of the waits themselves.
inline constexpr int kStallMs = 120000;
inline int& stallMs() {
  static int ms = kStallMs;
  return ms;
}
class StallBound {
 public:
  explicit StallBound(int ms) : m_saved(stallMs()) { stallMs() = ms; }
  ~StallBound() { stallMs() = m_saved; }
  StallBound(const StallBound&) = delete;
  StallBound& operator=(const StallBound&) = delete;

 private:
  int m_saved;
};

// Waits until `done()` holds: false when the processes entered have spent
// no CPU time for stallMs(), or `overallMs` has passed. `stalledMs` says how
// long nothing moved at the end. `done` is asked every `everyMs` (0: it
// waits a little itself).
template <class Done>
bool waitWhileWorking(Done done, int overallMs, int64_t& stalledMs, int everyMs = 5) {
  const auto now = [] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  const int64_t start = now();
  int64_t moved = start;
  int64_t looked = start;
  long long ticks = cpuTicks();
  for (;;) {
    if (done()) return true;
    const int64_t at = now();
    if (at - looked >= 100) {
      looked = at;
      const long long nowTicks = cpuTicks();
      if (nowTicks != ticks) {
        ticks = nowTicks;
        moved = at;
      }
    }
    stalledMs = at - moved;
    if (stalledMs >= stallMs() || at - start >= overallMs) return false;
    if (everyMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
  }
}

}  // namespace tkowned
