// A session on the demonstration installation stored in the database, for
// the tests that look at rows and for the fault sweep: each run starts a
// fresh session on the seeded database.
#pragma once

#include <gtest/gtest.h>

#include <functional>

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
};

}  // namespace disktest
