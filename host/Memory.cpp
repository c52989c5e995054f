// What the host does about the memory its answers take (see Memory.h).
// Built once, without the sanitizers (their allocator takes neither
// setting): tkhost links it, and so does the host's memory probe, which
// runs these very calls over glibc's allocator.
#include "host/Memory.h"

#include <malloc.h>

#include <atomic>

// The sanitizers' allocator keeps what it was given as glibc's does; its
// own call gives it back. Absent (null) in a build without them.
extern "C" void __sanitizer_purge_allocator() __attribute__((weak));

namespace tkhost {

void mapLargeBuffersOnTheirOwn() { ::mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes); }

void giveMemoryBack() {
  if (__sanitizer_purge_allocator != nullptr) {
    __sanitizer_purge_allocator();
    return;
  }
  ::malloc_trim(0);
}

namespace {

// Set when a large answer was written since connections last ended.
std::atomic<bool> g_largeAnswerWritten{false};

}  // namespace

bool answerWritten(unsigned long long bytes) {
  if (bytes < kLargeAnswerBytes) return false;
  giveMemoryBack();
  g_largeAnswerWritten.store(true, std::memory_order_relaxed);
  return true;
}

bool connectionsEnded() {
  if (!g_largeAnswerWritten.exchange(false, std::memory_order_relaxed)) return false;
  giveMemoryBack();
  return true;
}

}  // namespace tkhost
