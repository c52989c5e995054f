// The stand-ins' journals and failure scripts: off, they record nothing and
// cost no allocation, on the calls a handler makes most; on, they record
// every call; scripted failures come in order and leave the fast path as
// they found it; and the fault sweep counts and fails consultations of every
// journal. This executable counts the allocations of the test's thread with
// a replaced global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "frame/EvExternal.h"
#include "frame/EvSecurity.h"
#include "platform/mountd/ZqMountd.h"
#include "platform/testkit/external.h"
#include "platform/testkit/journal.h"
#include "platform/testkit/mountd.h"
#include "platform/testkit/security.h"

namespace {

thread_local long t_allocations = 0;

void* allocate(std::size_t size) {
  ++t_allocations;
  return std::malloc(size == 0 ? 1 : size);
}

// Out of line: a replaced operator delete inlined where the pointer came
// from operator new would show GCC a free() of operator new's memory, which
// it reports as a mismatched pair (-Wmismatched-new-delete).
[[gnu::noinline]] void deallocate(void* p) noexcept { std::free(p); }

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { deallocate(p); }
void operator delete[](void* p) noexcept { deallocate(p); }
void operator delete(void* p, std::size_t) noexcept { deallocate(p); }
void operator delete[](void* p, std::size_t) noexcept { deallocate(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { deallocate(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { deallocate(p); }

namespace {

// The allocations `work` makes on this thread.
template <class Work>
long allocationsOf(Work&& work) {
  const long before = t_allocations;
  work();
  return t_allocations - before;
}

class Journals : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::mountd::reset();
    testkit::external::reset();
    testkit::security::reset();
  }
  void TearDown() override {
    testkit::journal::setRecording(true);
    testkit::mountd::reset();
    testkit::external::reset();
    testkit::security::reset();
  }
};

// The calls of every request's path: rights, host services, registration,
// and a journal of its own with texts and numbers far too long for any
// small-string buffer.
// A name no small-string buffer holds, made before any count starts. Not a
// literal at the call: GCC 12 at -O2 takes the copy of a literal into the
// recorded call for a read past it (-Warray-bounds).
const std::string kLongCall("aCallWhoseNameIsLongerThanAnySmallStringBuffer");

void everydayCalls(EvSecurityCheck& security, tkjournal::Journal& own, const std::string& longText) {
  for (int i = 0; i < 100; ++i) {
    security.canManageTarnkeep(7, 2);
    security.canManageMediaAgent(7, 2, 12);
    EvExternal(0).isAutoRefreshSet();
    ZqMountd::RegisterSubsystem();
    own.record(kLongCall, longText, 123456789012345LL, 1.5, true);
    tkjournal::Failure failure;
    own.takeFailure(kLongCall, failure);
  }
}

TEST_F(Journals, OffTheyRecordNothingAndAllocateNothing) {
  EvSecurityCheck security(1);
  tkjournal::Journal own;
  const std::string longText(200, 'x');
  testkit::journal::setRecording(false);
  const long allocations = allocationsOf([&] { everydayCalls(security, own, longText); });
  testkit::journal::setRecording(true);
  EXPECT_EQ(allocations, 0);
  EXPECT_TRUE(own.calls().empty());
  EXPECT_TRUE(testkit::security::journal().calls().empty());
  EXPECT_TRUE(testkit::external::journal().calls().empty());
  EXPECT_TRUE(testkit::mountd::journal().calls().empty());
}

TEST_F(Journals, OnTheyRecordEveryCallWithItsArgumentsAsTexts) {
  EvSecurityCheck security(1);
  tkjournal::Journal own;
  const std::string longText(200, 'x');
  ASSERT_TRUE(tkjournal::recording()) << "a reset turns recording on";
  const long allocations = allocationsOf([&] { everydayCalls(security, own, longText); });
  EXPECT_GT(allocations, 0);
  EXPECT_EQ(testkit::security::journal().count("canManageTarnkeep"), 100u);
  EXPECT_EQ(testkit::security::journal().calls("canManageMediaAgent").at(0).args,
            (std::vector<std::string>{"7", "2", "12"}));
  EXPECT_EQ(testkit::external::journal().calls("isAutoRefreshSet").at(0).args, (std::vector<std::string>{"false"}));
  EXPECT_EQ(testkit::mountd::journal().count("RegisterSubsystem"), 100u);
  const auto own0 = own.calls().at(0);
  EXPECT_EQ(own0.name, "aCallWhoseNameIsLongerThanAnySmallStringBuffer");
  EXPECT_EQ(own0.args, (std::vector<std::string>{std::string(200, 'x'), "123456789012345", "1.500000", "true"}));
  // The count sees the platform library's own allocations too (so the zero
  // of the test above is the platform's zero, not a blind counter).
  EXPECT_GT(allocationsOf([&] { security.canManageTarnkeep(7, 2); }), 0);
  EXPECT_GT(allocationsOf([] { ZqMountd::RegisterSubsystem(); }), 0);
}

TEST_F(Journals, ScriptedFailuresComeInOrderAndAResetDropsThemAll) {
  tkjournal::Journal a;
  tkjournal::Journal b;
  ASSERT_EQ(testkit::journal::scriptedCount(), 0) << "nothing scripted: takeFailure is one load";
  a.injectFailure("open", 5, "first");
  a.injectFailure("open", 6, "second", 2);
  b.injectFailure("read", 7, "other");
  EXPECT_EQ(testkit::journal::scriptedCount(), 4);

  tkjournal::Failure f;
  EXPECT_FALSE(a.takeFailure("read", f)) << "another name";
  EXPECT_FALSE(b.takeFailure("open", f)) << "another journal";
  ASSERT_TRUE(a.takeFailure("open", f));
  EXPECT_EQ(f.code, 5);
  EXPECT_EQ(f.text, "first");
  ASSERT_TRUE(a.takeFailure("open", f));
  EXPECT_EQ(f.code, 6);
  EXPECT_EQ(testkit::journal::scriptedCount(), 2);

  a.reset();
  EXPECT_FALSE(a.takeFailure("open", f)) << "a reset drops the rest";
  EXPECT_EQ(testkit::journal::scriptedCount(), 1);
  ASSERT_TRUE(b.takeFailure("read", f));
  EXPECT_EQ(f.code, 7);
  EXPECT_EQ(testkit::journal::scriptedCount(), 0);
  a.injectFailure("open", 1, "none", 0);
  EXPECT_EQ(testkit::journal::scriptedCount(), 0) << "zero times scripts nothing";
  {
    tkjournal::Journal shortLived;
    shortLived.injectFailure("open", 1, "never taken", 3);
    EXPECT_EQ(testkit::journal::scriptedCount(), 3);
  }
  EXPECT_EQ(testkit::journal::scriptedCount(), 0) << "a journal's failures go with it";
}

TEST_F(Journals, TheSweepCountsEveryJournalAndFailsTheConsultationItNames) {
  tkjournal::Journal a;
  tkjournal::Journal b;
  b.injectFailure("scripted", 9, "scripted failure");
  const auto consult = [&] {
    std::vector<std::string> failed;
    tkjournal::Failure f;
    if (a.takeFailure("first", f)) failed.push_back("first " + f.text);
    if (b.takeFailure("second", f)) failed.push_back("second " + f.text);
    if (tkjournal::sweepConsult("own script", f)) failed.push_back("own script " + f.text);
    if (a.takeFailure("fourth", f)) failed.push_back("fourth " + f.text);
    return failed;
  };
  const struct {
    const char* name;
    long failAt;
    bool persistent;
    std::vector<std::string> failed;
    std::vector<long> numbers;
  } cases[] = {
      {"counting only", 0, false, {}, {}},
      {"the second call", 2, false, {"second swept"}, {2}},
      {"a script of its own", 3, false, {"own script swept"}, {3}},
      {"from the third call on", 3, true, {"own script swept", "fourth swept"}, {3, 4}},
      {"beyond the last call", 5, false, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::journal::armSweep(c.failAt, tkjournal::Failure{-3, "swept"}, c.persistent);
    EXPECT_EQ(consult(), c.failed);
    const testkit::journal::SweepTally tally = testkit::journal::disarmSweep();
    EXPECT_EQ(tally.consulted, 4);
    EXPECT_EQ(tally.names, (std::vector<std::string>{"first", "second", "own script", "fourth"}));
    EXPECT_EQ(tally.failed, c.numbers);
  }
  // Disarmed, the sweep counts nothing and the journal's own script is
  // still there.
  tkjournal::Failure f;
  EXPECT_FALSE(tkjournal::sweepConsult("own script", f));
  ASSERT_TRUE(b.takeFailure("scripted", f));
  EXPECT_EQ(f.code, 9);
  EXPECT_EQ(testkit::journal::disarmSweep().consulted, 0);
  EXPECT_EQ(testkit::journal::scriptedCount(), 0);
}

}  // namespace
