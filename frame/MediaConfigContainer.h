// One entry of the cache of media-configuration instances: the instance,
// owned by the entry, with the time the entry was made and the time after
// which it may be dropped.
//
// Times are whole seconds since the epoch, read from the clock seam. An
// entry expires kLifetimeSeconds after it was made or last handed out.
//
// Copying never shares an instance: a copy keeps the source's creation time,
// gets a fresh expiry and a fresh, empty instance of its own; assignment
// copies the two times and keeps the target's own instance.
//
// The pin count, the owner and the session-ended mark belong to the cache
// (EvMMConfigMgr): the count says how many handlers use the entry's instance
// right now (MediaConfigPin), and pruning never drops a pinned entry; the
// owner is the connection for which the instance was made, until that
// connection closes; the mark says that this client has gone, so that
// nobody reaches the instance once a newer entry is in front. All three are
// read and changed only under the session lock; the pin count and the
// expiry are atomics, changed by several requests at once while they share
// that lock (pruning holds it exclusively, so it sees them settled). A copy
// starts unpinned, unowned and unmarked, and assignment keeps the target's.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "frame/CWySocket.h"

class ZQMACMediaConfig;

class MediaConfigContainer {
 public:
  static constexpr int64_t kLifetimeSeconds = 7200;
  // The module mode every cached instance is set to.
  static constexpr int kModuleMode = 2;

  // Creation time now, expiry now + 7,200, a new instance in module mode 2.
  // Throws std::bad_alloc when the instance cannot be made.
  MediaConfigContainer();
  MediaConfigContainer(const MediaConfigContainer& other);
  MediaConfigContainer& operator=(const MediaConfigContainer& other);
  ~MediaConfigContainer();  // deletes the instance

  // Expiry = now + 7,200.
  void SetExpiredTimeStamp();

  ZQMACMediaConfig* GetMediaConfig() const { return m_pMediaConfig.get(); }
  int64_t GetCreattionTimeStamp() const { return m_tCreationTimeStamp; }
  int64_t GetExpiredTimeStamp() const { return m_tExpiredTimeStamp.load(); }

  // Pins (under the session lock only, shared or exclusive; see above).
  void AddPin() { m_pinCount.fetch_add(1); }
  void DropPin() {
    int count = m_pinCount.load();
    while (count > 0 && !m_pinCount.compare_exchange_weak(count, count - 1)) {
    }
  }
  bool IsPinned() const { return m_pinCount.load() > 0; }
  int GetPinCount() const { return m_pinCount.load(); }

  // The owning connection (under the session lock only; see above).
  void SetOwner(CWySocket socket) { m_owner = socket; }
  CWySocket GetOwner() const { return m_owner; }

  // The session-ended mark (under the session lock only; see above). The
  // entry no longer has an owner: a later connection on the same descriptor
  // is somebody else.
  void EndSession() {
    m_sessionEnded = true;
    m_owner = CWySocket();
  }
  bool IsSessionEnded() const { return m_sessionEnded; }

 private:
  std::unique_ptr<ZQMACMediaConfig> m_pMediaConfig;
  std::atomic<int64_t> m_tExpiredTimeStamp;
  int64_t m_tCreationTimeStamp;
  std::atomic<int> m_pinCount{0};
  CWySocket m_owner;
  bool m_sessionEnded = false;
};
