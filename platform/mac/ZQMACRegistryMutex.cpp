// The sharded registry lock (see ZQMACRegistryMutex.h).
#include "frame/mac/ZQMACRegistryMutex.h"

#include <atomic>

namespace {

// This thread's shard: threads take shards in turn as they first lock. The
// one definition lives here, so every library of the process sees the same
// shard for a thread.
std::size_t threadShard() {
  static std::atomic<std::size_t> next{0};
  thread_local const std::size_t shard = next.fetch_add(1, std::memory_order_relaxed) % ZQMACRegistryMutex::kShards;
  return shard;
}

}  // namespace

void ZQMACRegistryMutex::lock() {
  for (Shard& shard : m_shards) shard.mutex.lock();
}

void ZQMACRegistryMutex::unlock() {
  for (std::size_t i = kShards; i-- > 0;) m_shards[i].mutex.unlock();
}

void ZQMACRegistryMutex::lock_shared() { m_shards[threadShard()].mutex.lock_shared(); }

void ZQMACRegistryMutex::unlock_shared() { m_shards[threadShard()].mutex.unlock_shared(); }
