// Lockable resources that record the thread holding them, and the time-out
// type of their timed lock.
#pragma once

#include <pthread.h>

#include <boost/interprocess/exceptions.hpp>
#include <boost/interprocess/sync/interprocess_recursive_mutex.hpp>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/locks/ZqLockImpl.h"

inline uint64_t GetCurrentThreadId() { return static_cast<uint64_t>(pthread_self()); }

// A time span in 100-nanosecond ticks.
class CTimeInterval {
 public:
  CTimeInterval() = default;
  explicit CTimeInterval(int64_t ticks) : m_ticks(ticks) {}
  static CTimeInterval FromMilliseconds(int64_t ms) { return CTimeInterval(ms * 10'000); }
  int64_t Ticks() const { return m_ticks; }
  // Truncates toward zero: 15,000 ticks give 1, -15,000 give -1, 9,999 give 0.
  int64_t AsMilliseconds() const { return m_ticks / 10'000; }

 private:
  int64_t m_ticks = 0;
};

class FXLockableResource {
 public:
  FXLockableResource() = default;
  virtual ~FXLockableResource() = default;
  FXLockableResource(const FXLockableResource&) = delete;
  FXLockableResource& operator=(const FXLockableResource&) = delete;

  virtual bool TryLock() = 0;
  virtual bool TryLock(CTimeInterval timeout) = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;

  // The low 32 bits of the calling thread's id.
  void SetLockOwner() {
    m_owner.store(static_cast<uint32_t>(GetCurrentThreadId() & 0xFFFFFFFFu), std::memory_order_relaxed);
  }
  void ClearLockOwner() { m_owner.store(0, std::memory_order_relaxed); }
  // Informational only: nothing decides anything on it.
  uint32_t GetLockOwner() const { return m_owner.load(std::memory_order_relaxed); }

 private:
  // Written only by the thread that has just taken or is releasing the lock;
  // atomic so that other threads may read it.
  std::atomic<uint32_t> m_owner{0};
};

// A named, recursive mutex; every object made with the same name is one lock.
class FXNamedMutex : public FXLockableResource {
 public:
  explicit FXNamedMutex(const std::string& name) : m_mutex(name.c_str()) {}
  ~FXNamedMutex() override = default;  // does not unlock

  // Waits one millisecond.
  bool TryLock() override {
    bool got = m_mutex.lock(1);
    if (got) SetLockOwner();
    return got;
  }
  // A negative interval waits 0 milliseconds.
  bool TryLock(CTimeInterval timeout) override {
    int64_t ms = timeout.AsMilliseconds();
    bool got = m_mutex.lock(static_cast<unsigned long>(ms < 0 ? 0 : ms));
    if (got) SetLockOwner();
    return got;
  }
  void Lock() override {
    m_mutex.lock();
    SetLockOwner();
  }
  // The owner is cleared when the thread gives up its last nested hold.
  void Unlock() override {
    if (m_mutex.getLockCnt() == 1) ClearLockOwner();
    m_mutex.unlock();
  }
  int32_t getLockCnt() const { return m_mutex.getLockCnt(); }

 private:
  ZqNamedMutex m_mutex;
};

// A recursive critical section over a recursive mutex whose lock may throw
// boost::interprocess::interprocess_exception. Such a failure is swallowed:
// the section is then not held by that call, so the matching Unlock() must
// release nothing. The section counts its holder's successful holds and the
// failed nested ones, and an Unlock() first matches a failed nested hold
// (releasing nothing), then a real one; an Unlock() by a thread that holds
// nothing does nothing.
template <class RecursiveMutex>
class FXRecursiveSection : public FXLockableResource {
 public:
  FXRecursiveSection() = default;
  ~FXRecursiveSection() override = default;

  bool TryLock() override {
    bool got = false;
    try {
      got = m_mutex.try_lock();
    } catch (const boost::interprocess::interprocess_exception&) {
      return false;
    }
    if (got) Acquired();
    return got;
  }
  // No caller waits with a time-out: the same as TryLock().
  bool TryLock(CTimeInterval) override { return TryLock(); }

  void Lock() override {
    try {
      m_mutex.lock();
    } catch (const boost::interprocess::interprocess_exception&) {
      // Not reported; the owner stays as it was.
      if (HeldByMe()) ++m_failedNested;
      return;
    }
    Acquired();
  }

  // Clears the owner on every release, nested or not.
  void Unlock() override {
    if (!HeldByMe()) return;
    if (m_failedNested > 0) {
      --m_failedNested;
      return;
    }
    ClearLockOwner();
    if (--m_depth == 0) m_holder.store(0, std::memory_order_release);
    m_mutex.unlock();
  }

  RecursiveMutex& mutex() { return m_mutex; }

 private:
  bool HeldByMe() const { return m_holder.load(std::memory_order_acquire) == GetCurrentThreadId(); }
  void Acquired() {
    ++m_depth;
    m_holder.store(GetCurrentThreadId(), std::memory_order_release);
    SetLockOwner();
  }

  RecursiveMutex m_mutex;
  std::atomic<uint64_t> m_holder{0};  // thread holding the mutex, 0 when free
  int m_depth = 0;                    // successful holds; touched only by the holder
  int m_failedNested = 0;             // failed nested holds; touched only by the holder
};

class FXCriticalSection : public FXRecursiveSection<boost::interprocess::interprocess_recursive_mutex> {
 public:
  FXCriticalSection() = default;
  ~FXCriticalSection() override = default;
};
