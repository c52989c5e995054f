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
// The pin count and the session-ended mark belong to the cache
// (EvMMConfigMgr): the count says how many handlers use the entry's instance
// right now (MediaConfigPin), and pruning never drops a pinned entry; the
// mark says that the client for which the instance was made has gone, so
// that nobody reaches it once a newer entry is in front. Both are read and
// changed only under the session lock; a copy starts unpinned and unmarked,
// and assignment keeps the target's.
#pragma once

#include <cstdint>
#include <memory>

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
  int64_t GetExpiredTimeStamp() const { return m_tExpiredTimeStamp; }

  // Pins (under the session lock only; see above).
  void AddPin() { ++m_pinCount; }
  void DropPin() {
    if (m_pinCount > 0) --m_pinCount;
  }
  bool IsPinned() const { return m_pinCount > 0; }
  int GetPinCount() const { return m_pinCount; }

  // The session-ended mark (under the session lock only; see above).
  void EndSession() { m_sessionEnded = true; }
  bool IsSessionEnded() const { return m_sessionEnded; }

 private:
  std::unique_ptr<ZQMACMediaConfig> m_pMediaConfig;
  int64_t m_tExpiredTimeStamp;
  int64_t m_tCreationTimeStamp;
  int m_pinCount = 0;
  bool m_sessionEnded = false;
};
