// Named library locks: one cross-process lock per library or media agent,
// taken by the requests that change it in several steps.
#include <cstdio>
#include <cstring>
#include <new>

#include "frame/EvEvent.h"
#include "frame/EvMMConfigMgr.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mdlock/MDLock.h"

namespace {

constexpr int kLockAllocationFailed = 0x42000001;
constexpr size_t kLockNameSize = 256;

// Forms "ZQ_ConfigLibrary_<key>" in `name`. False when there is no key or it
// would not fit: a cut name would name another lock.
bool formLockName(const char* key, char (&name)[kLockNameSize], const char* tag) {
  if (key == nullptr) {
    EvDebug::Error(tag, "%s", "No library lock key given.");
    return false;
  }
  int n = std::snprintf(name, sizeof name, "ZQ_ConfigLibrary_%s", key);
  if (n < 0 || static_cast<size_t>(n) >= sizeof name) {
    EvDebug::Error(tag, "Library lock key of [%zu] bytes does not fit the lock name.", std::strlen(key));
    return false;
  }
  return true;
}

// A lock object for the name, or null (with the critical event raised) when
// it cannot be made.
MDLock* makeLock(const char* name, const char* tag) {
  MDLock* lock = new (std::nothrow) MDLock(name);
  if (lock != nullptr && !lock->isValid()) {
    delete lock;
    lock = nullptr;
  }
  if (lock == nullptr) {
    EvDebug::Error(tag, "Could not create the lock [%s].", name);
    EvEvent event(tag);
    event.CriticalEvent(kLockAllocationFailed, 0, 0);
  }
  return lock;
}

}  // namespace

MDLock* EvMMConfigMgr::lockConfigLibrary(const char* key) {
  static const char* const kTag = "EvMMConfigMgr::lockConfigLibrary";
  char name[kLockNameSize];
  if (!formLockName(key, name, kTag)) return nullptr;
  MDLock* handle = makeLock(name, kTag);
  if (handle == nullptr) return nullptr;
  if (!handle->set(MDLock::kNoTimeLimit)) {
    // Never hand out a handle that does not hold the lock.
    EvDebug::Error(kTag, "Could not take the lock [%s].", name);
    delete handle;
    return nullptr;
  }
  EvDebug::Debug(kTag, "Took the lock [%s].", name);
  return handle;
}

void EvMMConfigMgr::unlockConfigLibrary(MDLock*& handle) {
  if (handle == nullptr) return;
  handle->unset();
  EvDebug::Debug("EvMMConfigMgr::unlockConfigLibrary", "Released the lock [%s].", handle->name().c_str());
  delete handle;
  handle = nullptr;
}

bool EvMMConfigMgr::isConfigLibraryLocked(const char* key) {
  static const char* const kTag = "EvMMConfigMgr::isConfigLibraryLocked";
  char name[kLockNameSize];
  if (!formLockName(key, name, kTag)) return false;
  MDLock* probe = makeLock(name, kTag);
  if (probe == nullptr) return false;
  bool held = probe->isSet();
  delete probe;
  return held;
}
