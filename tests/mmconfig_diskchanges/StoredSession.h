// A session on the demonstration installation stored in the database, for
// the tests that look at rows and for the fault sweep: each run starts a
// fresh session on the seeded database.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/mmconfig_librarychanges/LibraryChangesFixture.h"
#include "tests/support/SeededSession.h"

namespace disktest {

class StoredSession : public tktest::SeededSessionTest {
 public:
  StoredSession() : SeededSessionTest(libtest::resetStandIns, libtest::kUser, libtest::kSequence) {}
  // An audit record that cannot be written is logged and the change stands.
  tktest::SweepReport sweep(const std::function<void()>& request) {
    return SeededSessionTest::sweep(
        request, {"AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"});
  }
  // For a change whose steps are each stored on their own, a failed step
  // ending the request and keeping those before it: every run answers and
  // leaves a first part of the steps stored, the clean run all of them.
  // `steps` says which steps the rows of `table` show, in their order.
  tktest::SweepReport sweepSteps(const std::function<void()>& request, const std::string& table,
                                 const std::function<std::vector<bool>()>& steps) {
    tktest::SweepPlan plan;
    plan.setup = [&] { freshSession(); };
    plan.request = request;
    plan.judgedTables = {table, "AuditTrailRecord", "AuditTrailParam", "AuditTrailArgument", "sqlite_sequence"};
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::string problem = tktest::answeredOnSocket(m_a.replies(), run);
      if (!problem.empty()) return problem;
      const std::vector<bool> stored = steps();
      for (std::size_t i = 1; i < stored.size(); ++i)
        if (stored[i] && !stored[i - 1]) return "step " + std::to_string(i) + " stored after one that failed";
      if (run.k == 0 && std::find(stored.begin(), stored.end(), false) != stored.end())
        return "the clean run left steps out";
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }
};

}  // namespace disktest
