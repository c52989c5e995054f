#include "tests/support/FaultSweep.h"

#include <exception>

#include "platform/mac/ZQMACPlatform.h"
#include "platform/testkit/db.h"
#include "platform/testkit/journal.h"
#include "platform/testkit/mmdb.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/ReferenceCheck.h"
#include "tests/support/StoreCheck.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace tktest {
namespace {

// Makes the request with the sweep armed; an exception that leaves the
// request is a finding.
std::string armedRequest(const SweepPlan& plan, long k, testkit::journal::SweepTally& tally) {
  std::string thrown;
  testkit::journal::armSweep(k, tkjournal::Failure{plan.code, plan.text}, plan.persistent);
  try {
    plan.request();
  } catch (const std::exception& e) {
    thrown = std::string("the request threw: ") + e.what();
  } catch (...) {
    thrown = "the request threw";
  }
  tally = testkit::journal::disarmSweep();
  return thrown;
}

// Whether the plan judges tables besides the audit trail's itself: a
// request whose steps stand each on its own.
bool bestEffort(const SweepPlan& plan) {
  for (const std::string& table : plan.judgedTables)
    if (table.rfind("AuditTrail", 0) != 0 && table != "sqlite_sequence") return true;
  return false;
}

std::string label(const SweepRun& run) {
  if (run.k == 0) return "clean run";
  return "k=" + std::to_string(run.k) + " (" + run.failedCall + ")";
}

}  // namespace

bool SweepReport::found(const std::string& needle) const {
  for (const std::string& f : findings)
    if (f.find(needle) != std::string::npos) return true;
  return false;
}

std::ostream& operator<<(std::ostream& os, const SweepReport& report) {
  os << report.runs << " runs over " << report.calls << " failure points:";
  for (std::size_t i = 0; i < report.names.size(); ++i) os << (i == 0 ? " " : ", ") << i + 1 << " " << report.names[i];
  if (report.calls == 0) os << " (none: the request consulted no failure script)";
  for (const std::string& f : report.findings) os << "\n  " << f;
  return os;
}

std::string answeredOnSocket(const std::vector<tkwire::Reply>& replies, const SweepRun& run) {
  for (const tkwire::Reply& reply : replies) {
    if (tkwire::decodeXmlAnswer(reply)) return "";
    if (reply.kind == tkwire::kReplyItems && !reply.items.empty() && reply.items.back().tag == 2051) return "";
  }
  if (run.failed("write")) return "";
  return replies.empty() ? "no answer reached the client"
                         : "no answer among the " + std::to_string(replies.size()) + " replies that reached the client";
}

std::string listedOnSocket(const std::vector<tkwire::Reply>& replies, const SweepRun& run, uint32_t replyId,
                           int64_t sequence) {
  for (const tkwire::Reply& reply : replies) {
    if (reply.messageId != replyId) continue;
    return reply.sequence == sequence ? "" : "the listing answers another request";
  }
  if (run.k == 0) return "the clean run sent no listing";
  return answeredOnSocket(replies, run);
}

SweepReport FaultSweep::run(const SweepPlan& plan) const {
  SweepReport report;
  const DatabaseDump initial = DatabaseDump::take();
  DatabaseDump cleanAfter;
  std::string danglingBefore;
  std::string overlongBefore;

  // k = 0 is the clean run: it counts the calls and gives the outcome the
  // failing runs are held against.
  for (long k = 0; k == 0 || k <= report.calls; ++k) {
    // What a configuration load reads, and which graph a new instance
    // starts from, depend on what the process kept of the last ones (rows,
    // a graph a freed instance left): every run starts without either, so
    // that every run reads as the clean one did (a setup that loads warms
    // them the same way).
    testkit::mmdb::forgetConfigurationReads();
    tkmac::dropParkedGraph();
    if (plan.setup) plan.setup();
    const DatabaseDump before = DatabaseDump::take();
    // Every run starts from the same rows: what points at nothing then is
    // read once.
    if (k == 0) {
      danglingBefore = danglingReferences();
      overlongBefore = overlongTextsIn(sessionQuery);
    }

    testkit::journal::SweepTally tally;
    const long commitsBefore = testkit::db::commits();
    const std::string thrown = armedRequest(plan, k, tally);
    const long commits = testkit::db::commits() - commitsBefore;
    ++report.runs;

    SweepRun run;
    run.k = k;
    run.calls = tally.names;
    if (k > 0 && static_cast<std::size_t>(k) <= tally.names.size()) run.failedCall = tally.names[k - 1];
    for (long number : tally.failed) run.failures.push_back(tally.names[static_cast<std::size_t>(number) - 1]);
    std::vector<std::string> problems;
    if (!thrown.empty()) problems.push_back(thrown);

    const DatabaseDump after = DatabaseDump::take();
    // No run, clean or failed, leaves a row pointing at a row that is gone,
    // nor a text longer than its column (a run that changed nothing left
    // none).
    if (after != before) {
      const std::string dangling = danglingReferences();
      if (dangling != danglingBefore && !dangling.empty()) problems.push_back("rows point at nothing:\n" + dangling);
      const std::string overlong = overlongTextsIn(sessionQuery);
      if (overlong != overlongBefore && !overlong.empty())
        problems.push_back("texts longer than their columns:\n" + overlong);
    }
    if (k == 0) {
      report.calls = tally.consulted;
      report.names = tally.names;
      cleanAfter = after;
      report.commits = commits;
      if (plan.commits != kEachStep && !bestEffort(plan) && commits > plan.commits)
        problems.push_back("the request committed " + std::to_string(commits) + " times (at most " +
                           std::to_string(plan.commits) + "): its writes were not stored together");
    } else {
      if (tally.failed.empty()) {
        problems.push_back("the call did not come: this run took another path than the clean one before it");
      } else if (tally.names.size() >= static_cast<std::size_t>(k) && tally.names[k - 1] != report.names[k - 1]) {
        problems.push_back("call " + std::to_string(k) + " was " + tally.names[k - 1] + " in this run but " +
                           report.names[k - 1] + " in the clean run");
      }
      const std::vector<std::string>& judged = plan.judgedTables;
      const bool halfChanged = judged.empty() ? after != before && after != cleanAfter
                                              : after.without(judged) != before.without(judged) &&
                                                    after.without(judged) != cleanAfter.without(judged);
      if (halfChanged) {
        problems.push_back("the database is half changed (neither as before nor as after the clean run):\n" +
                           DatabaseDump::describeChanges(before, after));
      }
    }
    if (plan.check) {
      const std::string checked = plan.check(run);
      if (!checked.empty()) problems.push_back(checked);
    }
    for (const std::string& p : problems) report.findings.push_back(label(run) + ": " + p);
    initial.restore(after);
  }

#if defined(__SANITIZE_ADDRESS__)
  if (__lsan_do_recoverable_leak_check() != 0) report.findings.push_back("LeakSanitizer found leaks (see its report)");
#endif
  return report;
}

}  // namespace tktest
