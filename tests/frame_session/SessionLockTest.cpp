// The session lock: while a thread holds it exclusively, no thread gets its
// shared side (the side that pinning and handing out the newest instance
// take), and every reader that waited gets in once the writer leaves.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/EvMMConfigMgr.h"
#include "frame/mac/ZQMACMediaConfig.h"
#include "tests/support/FrameSession.h"

namespace {

// The scheduler state of a thread of this process ('R' running, 'S'
// sleeping, ...), from the field after the name in its stat line.
char threadState(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

class SessionLock : public tktest::SessionTest {};

TEST_F(SessionLock, AWriterExcludesEveryReaderUntilItLeaves) {
  tktest::Connection holder;
  ZQMACMediaConfig* config = EvMMConfigMgr::GetCurrentMediaConfig(holder.request(1).get(), true);
  ASSERT_NE(config, nullptr);
  constexpr int kReaders = 4;
  std::atomic<bool> writerInside{false};
  std::atomic<int> entered{0};
  std::atomic<int> enteredWhileWriting{0};
  std::vector<std::atomic<pid_t>> tids(kReaders);
  std::vector<std::thread> readers;
  {
    EvMMConfigMgr::SessionLock writer;
    writerInside = true;
    for (int i = 0; i < kReaders; ++i) {
      readers.emplace_back([&, i] {
        tids[i] = static_cast<pid_t>(::syscall(SYS_gettid));
        // Pinning takes the shared side; so does the holder's hand-out.
        MediaConfigPin pin(config);
        if (writerInside) ++enteredWhileWriting;
        ++entered;
        std::unique_ptr<MessageInfo> request = holder.request(2);
        if (EvMMConfigMgr::GetCurrentMediaConfig(request.get(), false) != config || writerInside)
          ++enteredWhileWriting;
      });
    }
    // Each reader is either asleep on the lock or (the fault this test is
    // for) already in: it never runs on without one or the other.
    for (int i = 0; i < kReaders; ++i) {
      while (tids[i] == 0) std::this_thread::yield();
      while (entered == 0 && threadState(tids[i]) != 'S') std::this_thread::yield();
    }
    EXPECT_EQ(entered.load(), 0) << "a reader got the shared side while the writer held the lock";
    writerInside = false;
  }
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(entered.load(), kReaders);
  EXPECT_EQ(enteredWhileWriting.load(), 0);
}

}  // namespace
