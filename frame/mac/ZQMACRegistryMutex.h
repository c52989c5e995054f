// The lock of a configuration instance's handle registry: read by every
// listing, for every object, from many consoles' threads at once, and
// written seldom (a handle given for the first time, a load, a change).
//
// One reader-writer lock shared by all threads makes every reader write the
// same cache line, so eight consoles listing at once wait on each other's
// cores even though no one writes. Here a reader takes only the lock of its
// own thread's shard, and a writer takes every shard, in order: a reader
// still excludes every writer, and a writer every reader and writer.
//
// It meets the standard's shared-mutex requirements that std::lock_guard,
// std::unique_lock and std::shared_lock use. A thread keeps its shard for
// its life, so it unlocks the shard it locked.
#pragma once

#include <cstddef>
#include <shared_mutex>

class ZQMACRegistryMutex {
 public:
  static constexpr std::size_t kShards = 16;

  ZQMACRegistryMutex() = default;
  ZQMACRegistryMutex(const ZQMACRegistryMutex&) = delete;
  ZQMACRegistryMutex& operator=(const ZQMACRegistryMutex&) = delete;

  void lock();
  void unlock();
  void lock_shared();
  void unlock_shared();

 private:
  // A shard on a cache line of its own.
  struct alignas(64) Shard {
    std::shared_mutex mutex;
  };
  Shard m_shards[kShards];
};
