// The fault sweep: a request is made once with the stand-ins' failure
// scripts counted (every takeFailure of every stand-in: database, table
// access, object model, rights, audit, alerts, host services, sessions,
// reply channel, ...), then once more for each k from 1 to N failing the
// k-th of those N calls with a code and a text. Every run must end sound:
// no exception out of the handler, the database either as it was or as the
// clean run left it (never half changed: all rows of all tables compared;
// no row pointing at nothing, no text longer than its column:
// StoreCheck.h),
// and whatever the test's own check asks (an answer on the socket, a
// consistent lock state). Crashes and leaks are the sanitizers' to report;
// the sweep asks LeakSanitizer once it is over (a leak whose address still
// lingers on the stack is reported when the process ends instead).
//
//   tktest::FaultSweep sweep;
//   const tktest::SweepReport report = sweep.run({
//       .setup = [&] { ... the request's starting state (the database is put back by the sweep) ... },
//       .request = [&] { ... the request, as the host would make it ... },
//       .check = [&](const tktest::SweepRun& run) -> std::string {
//         ... "" when the run's outcome is sound, else what is wrong ...
//       },
//   });
//   EXPECT_TRUE(report.clean()) << report;
//
// Every run starts with nothing kept of earlier configuration loads
// (MMMediaConfigDB::forgetLoaded, and no graph parked by a freed instance)
// before its setup: a load reads what changed since the process's last one,
// and every run must read alike. A sweep over a re-read in part or a
// hand-over has its setup load first.
// Runs happen on the calling thread; the failure scripts of every thread
// are counted, so a request that calls stand-ins from threads of its own
// must make the same calls in the same order in every run.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "wire/WireCodec.h"

namespace tktest {

// One run, as the check sees it.
struct SweepRun {
  long k = 0;                         // the failed call (1..N); 0 for the clean run
  std::string failedCall;             // its name ("" for the clean run)
  std::vector<std::string> calls;     // the failure-script consultations of this run, in order
  std::vector<std::string> failures;  // the names of the calls that failed (more than one when persistent)
  bool failed(const std::string& name) const {
    for (const std::string& f : failures)
      if (f == name) return true;
    return false;
  }
};

struct SweepPlan {
  std::function<void()> setup;                        // before every run
  std::function<void()> request;                      // the request, once per run
  std::function<std::string(const SweepRun&)> check;  // after every run; "" when sound
  int code = -1;                                      // what the failed call fails with
  std::string text = "injected fault";
  bool persistent = false;  // fail every call from the k-th on
  // For a best-effort request, whose steps are each whole or not at all but
  // which goes on after a failed step: the tables whose rows the check
  // judges itself, step by step. The sweep leaves them out of its "as before
  // or as after the clean run" comparison; every other table is still held
  // to it.
  std::vector<std::string> judgedTables;
  // The commits the clean run may make (transactions that changed rows of a
  // stored table): a request's writes are stored together, once. A request
  // that keeps what one step stored when a later one fails says so here,
  // with the reason: the number of its steps, or kEachStep where that
  // number depends on the state (a step per item, per record, per part).
  // A best-effort request (judgedTables names a table besides the audit
  // trail's) has said so already and is not counted.
  long commits = 1;
};
inline constexpr long kEachStep = -1;

struct SweepReport {
  long calls = 0;                     // N: the consultations of the clean run
  std::vector<std::string> names;     // their names, in order
  int runs = 0;                       // runs made, the clean one included
  long commits = 0;                   // the clean run's commits
  std::vector<std::string> findings;  // what was wrong, run by run
  bool clean() const { return findings.empty() && calls > 0; }
  // True when some finding mentions `needle`.
  bool found(const std::string& needle) const;
};
std::ostream& operator<<(std::ostream& os, const SweepReport& report);

class FaultSweep {
 public:
  SweepReport run(const SweepPlan& plan) const;
};

// For a check: "" when `replies` (what the client read in the run) hold an
// answer to the request (a reply whose last item is the status item 2051,
// that is a status reply or an operation response, or the host's answer to
// an XML request), or when the run failed a write of the reply channel;
// otherwise what is wrong.
std::string answeredOnSocket(const std::vector<tkwire::Reply>& replies, const SweepRun& run);

// For a check of a listing (a Get): "" when `replies` hold the reply
// `replyId` to the request `sequence`, whole or cut short by the failure,
// or, in a failing run, an answer answeredOnSocket takes; the clean run
// must list.
std::string listedOnSocket(const std::vector<tkwire::Reply>& replies, const SweepRun& run, uint32_t replyId,
                           int64_t sequence);

}  // namespace tktest
