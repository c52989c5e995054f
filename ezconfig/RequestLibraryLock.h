// The named cross-process library lock a configuration request holds
// ("LibID<library id>" for a delete, "MAID<media agent id>" otherwise):
// tested first and refused while held, then taken (the take waits without
// limit, so two requests that pass the test together run one after the
// other). Released by release() or when the holder goes, on every path.
//
//   switch (work.lock.testAndTake("MAID", agentId)) {
//     case RequestLibraryLock::kHeldElsewhere: ... refuse: locked ...
//     case RequestLibraryLock::kNotTaken: ... refuse: going on unlocked would give up the exclusion ...
//     case RequestLibraryLock::kTaken: break;
//   }
#pragma once

#include <cstdio>

#include "frame/EvMMConfigMgr.h"
#include "platform/mdlock/MDLock.h"

namespace tkezconfig {

class RequestLibraryLock {
 public:
  enum Outcome { kTaken, kHeldElsewhere, kNotTaken };

  RequestLibraryLock() = default;
  ~RequestLibraryLock() { release(); }
  RequestLibraryLock(const RequestLibraryLock&) = delete;
  RequestLibraryLock& operator=(const RequestLibraryLock&) = delete;

  // The key is `prefix` followed by `id` ("MAID", 7 gives "MAID7"), at
  // most 19 characters.
  Outcome testAndTake(const char* prefix, int id) {
    std::snprintf(m_key, sizeof m_key, "%s%d", prefix, id);
    if (EvMMConfigMgr::isConfigLibraryLocked(m_key)) return kHeldElsewhere;
    m_handle = EvMMConfigMgr::lockConfigLibrary(m_key);
    return m_handle != nullptr ? kTaken : kNotTaken;
  }
  void release() {
    if (m_handle != nullptr) EvMMConfigMgr::unlockConfigLibrary(m_handle);
  }
  // Releases the lock of a library that the request deleted, with its lock
  // file: no file is left behind for a library that is gone.
  void releaseAndRemove() {
    if (m_handle == nullptr) return;
    m_handle->unsetAndRemove();
    EvMMConfigMgr::unlockConfigLibrary(m_handle);
  }
  const char* key() const { return m_key; }

 private:
  char m_key[20] = {};
  MDLock* m_handle = nullptr;
};

}  // namespace tkezconfig
