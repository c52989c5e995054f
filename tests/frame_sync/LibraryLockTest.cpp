// Named library locks across threads and processes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "frame/EvMMConfigMgr.h"
#include "platform/mdlock/MDLock.h"
#include "platform/testkit/debuglog.h"
#include "platform/testkit/events.h"
#include "platform/testkit/mdlock.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

namespace {

class LibraryLock : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::events::reset();
    testkit::mdlock::reset();
  }
  tktest::TempDir dir;
  tktest::ScopedEnv lockDir{"TK_LOCK_DIR", dir.path()};
};

// Forks a child that reports 'S', takes the library lock of `key`, reports
// 'G' (or 'N'), then waits until `hold` is closed (or it is killed) and exits
// without unlocking. `report` is the read end of the child's reports.
pid_t forkLocker(const char* key, int& report, int& hold) {
  int up[2];
  int down[2];
  if (pipe(up) != 0 || pipe(down) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(up[0]);
    close(down[1]);
    auto say = [&](char c) { (void)!write(up[1], &c, 1); };
    say('S');
    say(EvMMConfigMgr::lockConfigLibrary(key) != nullptr ? 'G' : 'N');
    char c;
    (void)!read(down[0], &c, 1);
    _exit(0);
  }
  close(up[1]);
  close(down[0]);
  report = up[0];
  hold = down[1];
  return pid;
}

// One byte from the pipe within `ms` milliseconds; 0 when none came.
char readByte(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  char c = 0;
  return poll(&p, 1, ms) == 1 && read(fd, &c, 1) == 1 ? c : 0;
}

// Waits for the child: its exit status, or -1 when it did not end normally.
int reap(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LibraryLock, LockProbeAndUnlockWhichNullsTheHandle) {
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("LibID7"));
  MDLock* handle = EvMMConfigMgr::lockConfigLibrary("LibID7");
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("LibID7"));
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("LibID7")) << "the probe kept nothing";
  EvMMConfigMgr::unlockConfigLibrary(handle);
  EXPECT_EQ(handle, nullptr);
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("LibID7"));
  EvMMConfigMgr::unlockConfigLibrary(handle);  // nothing happens
  EXPECT_EQ(handle, nullptr);
  EXPECT_TRUE(std::filesystem::exists(dir.file("ZQ_ConfigLibrary_LibID7")));

  // A probe of a free lock leaves it free: another lock object takes it at once.
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("LibID3"));
  MDLock other("ZQ_ConfigLibrary_LibID3");
  EXPECT_TRUE(other.set(0));
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("LibID3"));
  EXPECT_TRUE(other.unset());
}

TEST_F(LibraryLock, LibraryAndMediaAgentKeysDoNotInterfere) {
  MDLock* library = EvMMConfigMgr::lockConfigLibrary("LibID7");
  ASSERT_NE(library, nullptr);
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("MAID7"));
  MDLock* agent = EvMMConfigMgr::lockConfigLibrary("MAID7");  // does not wait
  ASSERT_NE(agent, nullptr);
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("MAID7"));
  EvMMConfigMgr::unlockConfigLibrary(agent);
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("LibID7"));
  EvMMConfigMgr::unlockConfigLibrary(library);
}

TEST_F(LibraryLock, SecondLockInTheSameProcessWaitsForTheFirst) {
  MDLock* first = EvMMConfigMgr::lockConfigLibrary("LibID9");
  ASSERT_NE(first, nullptr);
  std::atomic<bool> got{false};
  const int waitsBefore = testkit::mdlock::waitsBegun();
  std::thread second([&] {
    MDLock* handle = EvMMConfigMgr::lockConfigLibrary("LibID9");
    got = handle != nullptr;
    EvMMConfigMgr::unlockConfigLibrary(handle);
  });
  // The second thread found the lock held and waits (or, wrongly, got it).
  EXPECT_TRUE(tktest::waitUntil([&] { return testkit::mdlock::waitsBegun() > waitsBefore || got.load(); }));
  EXPECT_FALSE(got.load());
  EvMMConfigMgr::unlockConfigLibrary(first);
  second.join();
  EXPECT_TRUE(got.load());
}

TEST_F(LibraryLock, SecondLockInAnotherProcessWaitsUntilReleased) {
  MDLock* first = EvMMConfigMgr::lockConfigLibrary("LibID21");
  ASSERT_NE(first, nullptr);
  int report = -1, hold = -1;
  const pid_t pid = forkLocker("LibID21", report, hold);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(readByte(report, 5000), 'S');
  EXPECT_EQ(readByte(report, 100), 0) << "the child took a held lock";
  EvMMConfigMgr::unlockConfigLibrary(first);
  EXPECT_EQ(readByte(report, 5000), 'G');
  close(hold);
  EXPECT_EQ(reap(pid), 0);
  close(report);
  // The child ended without unlocking: its lock went with it.
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("LibID21"));
}

TEST_F(LibraryLock, AHolderThatIsKilledFreesItsLock) {
  int report = -1, hold = -1;
  const pid_t pid = forkLocker("MAID5", report, hold);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(readByte(report, 5000), 'S');
  ASSERT_EQ(readByte(report, 5000), 'G');
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked("MAID5"));
  kill(pid, SIGKILL);
  EXPECT_EQ(reap(pid), -1);
  close(report);
  close(hold);
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("MAID5"));
  MDLock* handle = EvMMConfigMgr::lockConfigLibrary("MAID5");
  ASSERT_NE(handle, nullptr);
  EvMMConfigMgr::unlockConfigLibrary(handle);
}

TEST_F(LibraryLock, KeysAreTextNeverFormatsAndAKeyThatDoesNotFitIsRefusedNotCut) {
  testkit::debuglog::Capture log;
  MDLock* handle = EvMMConfigMgr::lockConfigLibrary("Lib%s%n%d");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->name(), "ZQ_ConfigLibrary_Lib%s%n%d");
  EXPECT_TRUE(log.contains("EvMMConfigMgr::lockConfigLibrary", "[ZQ_ConfigLibrary_Lib%s%n%d]"));
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("Lib"));
  EvMMConfigMgr::unlockConfigLibrary(handle);

  const std::string fits(238, 'k');  // "ZQ_ConfigLibrary_" + 238 = 255 bytes
  handle = EvMMConfigMgr::lockConfigLibrary(fits.c_str());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(handle->name(), "ZQ_ConfigLibrary_" + fits);
  EXPECT_TRUE(EvMMConfigMgr::isConfigLibraryLocked(fits.c_str()));
  // One byte more would be cut to the same name: refused instead.
  const std::string tooLong = fits + "X";
  testkit::mdlock::reset();
  EXPECT_EQ(EvMMConfigMgr::lockConfigLibrary(tooLong.c_str()), nullptr);
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked(tooLong.c_str()));
  EXPECT_EQ(testkit::mdlock::journal().count("MDLock"), 0u);  // no lock object was made
  EvMMConfigMgr::unlockConfigLibrary(handle);
  EXPECT_EQ(EvMMConfigMgr::lockConfigLibrary(nullptr), nullptr);
  EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked(nullptr));
}

TEST_F(LibraryLock, LockThatCannotBeMadeRaisesTheCriticalEvent) {
  std::ofstream(dir.file("plainfile")) << "x";
  for (const bool unusableDirectory : {false, true}) {
    SCOPED_TRACE(unusableDirectory);
    testkit::events::reset();
    if (!unusableDirectory) testkit::mdlock::journal().injectFailure("MDLock", -1, "no lock", 2);
    tktest::ScopedEnv badDir("TK_LOCK_DIR", unusableDirectory ? dir.file("plainfile") : dir.path());
    EXPECT_EQ(EvMMConfigMgr::lockConfigLibrary("LibID1"), nullptr);
    EXPECT_FALSE(EvMMConfigMgr::isConfigLibraryLocked("LibID1"));
    auto events = testkit::events::entries();
    ASSERT_EQ(events.size(), 2u);
    for (const auto& e : events) {
      EXPECT_EQ(e.kind, "Critical");
      EXPECT_EQ(e.messageId, 0x42000001);
      EXPECT_EQ(e.value, 0);
      EXPECT_EQ(e.flags, 0);
    }
    EXPECT_EQ(events[0].location, "EvMMConfigMgr::lockConfigLibrary");
    EXPECT_EQ(events[1].location, "EvMMConfigMgr::isConfigLibraryLocked");
  }
}

TEST(MDLock, FileNamesAreEscapedAndBoundedAndATimedSetGivesUp) {
  EXPECT_EQ(testkit::mdlock::fileName("ZQ_ConfigLibrary_LibID7"), "ZQ_ConfigLibrary_LibID7");
  EXPECT_EQ(testkit::mdlock::fileName("a/../b c"), "a%2F%2E%2E%2Fb%20c");
  EXPECT_EQ(testkit::mdlock::fileName(""), "");
  const std::string file = testkit::mdlock::fileName(std::string(255, '/'));
  EXPECT_LE(file.size(), 255u);
  EXPECT_NE(file, testkit::mdlock::fileName(std::string(254, '/')));

  tktest::TempDir dir;
  tktest::ScopedEnv lockDir("TK_LOCK_DIR", dir.path());
  MDLock a("timed");
  MDLock b("timed");
  ASSERT_TRUE(a.set(MDLock::kNoTimeLimit));
  EXPECT_FALSE(b.set(20));
  EXPECT_TRUE(b.isSet());
  EXPECT_FALSE(b.unset());  // b holds nothing
  EXPECT_TRUE(a.unset());
  EXPECT_TRUE(b.set(20));
  EXPECT_TRUE(b.unset());
}

}  // namespace

namespace {

// A deleted library's lock goes with its file. The holder removes the file
// while another waits on it: the waiter must not hold a lock on a file that
// is no longer the name's while a newcomer takes the name's new file.
TEST_F(LibraryLock, TheFileOfARemovedLockGoesAndAWaiterTakesTheNamesNewFile) {
  MDLock first("ZQ_ConfigLibrary_LibID31");
  ASSERT_TRUE(first.set(MDLock::kNoTimeLimit));
  const std::string path = first.path();
  MDLock waiter("ZQ_ConfigLibrary_LibID31");  // opened the file that goes
  MDLock bystander("ZQ_ConfigLibrary_LibID31");
  EXPECT_FALSE(bystander.unsetAndRemove()) << "only the holder removes the file";
  EXPECT_TRUE(std::filesystem::exists(path));

  std::atomic<bool> got{false};
  const int waitsBefore = testkit::mdlock::waitsBegun();
  std::thread second([&] { got = waiter.set(MDLock::kNoTimeLimit); });
  ASSERT_TRUE(tktest::waitUntil([&] { return testkit::mdlock::waitsBegun() > waitsBefore; }));
  EXPECT_TRUE(first.unsetAndRemove());
  second.join();
  ASSERT_TRUE(got.load());

  // The waiter holds the name's current file: everyone else sees it held.
  EXPECT_TRUE(std::filesystem::exists(path));
  MDLock newcomer("ZQ_ConfigLibrary_LibID31");
  EXPECT_TRUE(newcomer.isSet());
  EXPECT_FALSE(newcomer.set(0));
  EXPECT_TRUE(bystander.isSet()) << "an object opened on the removed file asks the name's current one";

  EXPECT_TRUE(waiter.unsetAndRemove());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(newcomer.isSet());
  EXPECT_TRUE(newcomer.set(0));
  EXPECT_TRUE(newcomer.unset());
}

}  // namespace
