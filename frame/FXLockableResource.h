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

  void SetLockOwner() { m_owner = static_cast<uint32_t>(GetCurrentThreadId() & 0xFFFFFFFFu); }
  void ClearLockOwner() { m_owner = 0; }
  // Informational only: nothing decides anything on it.
  uint32_t GetLockOwner() const { return m_owner; }

 private:
  uint32_t m_owner = 0;
};

// A named, recursive mutex; every object made with the same name is one lock.
class FXNamedMutex : public FXLockableResource {
 public:
  explicit FXNamedMutex(const std::string& name) : m_mutex(name.c_str()) {}
  ~FXNamedMutex() override = default;  // does not unlock

  bool TryLock() override {
    bool got = m_mutex.lock(1);
    if (got) SetLockOwner();
    return got;
  }
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
  void Unlock() override {
    if (m_mutex.getLockCnt() == 1) ClearLockOwner();
    m_mutex.unlock();
  }
  int32_t getLockCnt() const { return m_mutex.getLockCnt(); }

 private:
  ZqNamedMutex m_mutex;
};

// A recursive critical section over the interprocess recursive mutex. A lock
// failure of the mutex is swallowed: the section is then not held, so the
// matching Unlock() must not release a mutex this thread never took.
class FXCriticalSection : public FXLockableResource {
 public:
  FXCriticalSection() = default;
  ~FXCriticalSection() override = default;

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
  bool TryLock(CTimeInterval) override { return TryLock(); }

  void Lock() override {
    try {
      m_mutex.lock();
    } catch (const boost::interprocess::interprocess_exception&) {
      return;  // not reported; the owner stays as it was
    }
    Acquired();
  }

  // Clears the owner on every release, nested or not.
  void Unlock() override {
    ClearLockOwner();
    if (m_holder.load(std::memory_order_acquire) != GetCurrentThreadId() || m_depth == 0) return;
    if (--m_depth == 0) m_holder.store(0, std::memory_order_release);
    m_mutex.unlock();
  }

 private:
  void Acquired() {
    ++m_depth;
    m_holder.store(GetCurrentThreadId(), std::memory_order_release);
    SetLockOwner();
  }

  boost::interprocess::interprocess_recursive_mutex m_mutex;
  std::atomic<uint64_t> m_holder{0};  // thread holding the mutex, 0 when free
  int m_depth = 0;                    // nested holds; touched only by the holder
};
