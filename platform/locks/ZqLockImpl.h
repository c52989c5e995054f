// The platform's lock implementations behind the system's lock classes:
// a mutual-exclusion section, a counting semaphore and a named, counted
// (recursive) mutex. Named mutexes with the same name, made anywhere in the
// process, are one lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class ZqCriticalSectionH {
 public:
  ZqCriticalSectionH();
  ~ZqCriticalSectionH();
  ZqCriticalSectionH(const ZqCriticalSectionH&) = delete;
  ZqCriticalSectionH& operator=(const ZqCriticalSectionH&) = delete;
  // Enters the section; the section is recursive for the thread inside it.
  void enter(bool wait);
  void leave();
  // Threads that found the section held and wait to enter it. For tests that
  // must know another thread has reached its wait; counted only on the
  // contended path.
  int waiting() const { return m_waiting.load(std::memory_order_acquire); }

 private:
  std::recursive_mutex m_mutex;
  std::atomic<int> m_waiting{0};
};

class ZqSemaphoreH {
 public:
  explicit ZqSemaphoreH(int initialCount);
  ~ZqSemaphoreH();
  ZqSemaphoreH(const ZqSemaphoreH&) = delete;
  ZqSemaphoreH& operator=(const ZqSemaphoreH&) = delete;
  void wait();
  void release(int count);
  // Threads blocked in wait() (see ZqCriticalSectionH::waiting).
  int waiting() const { return m_waiting.load(std::memory_order_acquire); }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  int m_count;
  std::atomic<int> m_waiting{0};
};

struct ZqNamedMutexState;

class ZqNamedMutex {
 public:
  explicit ZqNamedMutex(const char* name);
  ~ZqNamedMutex();
  ZqNamedMutex(const ZqNamedMutex&) = delete;
  ZqNamedMutex& operator=(const ZqNamedMutex&) = delete;

  // Waits at most that many milliseconds (a limit beyond 2^40 ms is no
  // limit); true when the lock was taken.
  bool lock(unsigned long milliseconds);
  // Waits without limit.
  void lock();
  void unlock();
  // Nested holds of this object by its owning thread.
  int32_t getLockCnt() const { return m_lockCnt.load(std::memory_order_acquire); }

 private:
  std::shared_ptr<ZqNamedMutexState> m_state;
  std::atomic<int32_t> m_lockCnt{0};
};
