// Critical sections and semaphores of the handler frame, over the platform's
// implementations.
#pragma once

#include <new>

#include "platform/locks/ZqLockImpl.h"

class ZqCriticalSection {
 public:
  ZqCriticalSection() : m_impl(new (std::nothrow) ZqCriticalSectionH()) {
    if (m_impl == nullptr) throw "Not enough memory to initialize ZqCriticalSection";
  }
  ~ZqCriticalSection() {
    if (m_impl != nullptr) delete m_impl;
    m_impl = nullptr;
  }
  ZqCriticalSection(const ZqCriticalSection&) = delete;
  ZqCriticalSection& operator=(const ZqCriticalSection&) = delete;

  void enter(bool wait) { m_impl->enter(wait); }
  void leave() { m_impl->leave(); }
  // Null once the section has been destroyed.
  const ZqCriticalSectionH* impl() const { return m_impl; }

 private:
  ZqCriticalSectionH* m_impl;
};

// Enters the section for the lifetime of the scope; a null section is ignored.
class ZqCriticalSectionLock {
 public:
  explicit ZqCriticalSectionLock(ZqCriticalSection* section) : m_section(section) {
    if (m_section != nullptr) m_section->enter(true);
  }
  ~ZqCriticalSectionLock() noexcept {
    if (m_section != nullptr) m_section->leave();
  }
  ZqCriticalSectionLock(const ZqCriticalSectionLock&) = delete;
  ZqCriticalSectionLock& operator=(const ZqCriticalSectionLock&) = delete;

 private:
  ZqCriticalSection* m_section;
};

class ZqSemaphore {
 public:
  explicit ZqSemaphore(int initialCount) : m_impl(new (std::nothrow) ZqSemaphoreH(initialCount)) {
    if (m_impl == nullptr) throw "Not enough memory to initialize ZqSemaphore";
  }
  ~ZqSemaphore() {
    if (m_impl != nullptr) delete m_impl;
    m_impl = nullptr;
  }
  ZqSemaphore(const ZqSemaphore&) = delete;
  ZqSemaphore& operator=(const ZqSemaphore&) = delete;

  void wait() { m_impl->wait(); }
  void release(int count) { m_impl->release(count); }
  // Threads blocked in wait(), for tests.
  int waiting() const { return m_impl->waiting(); }

 private:
  ZqSemaphoreH* m_impl;
};

// Process-wide sections, built when the handler library is loaded.
extern ZqCriticalSection gCriticalSectionCTOR;
extern ZqCriticalSection deleteMediaContent;
