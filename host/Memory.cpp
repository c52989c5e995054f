#include "host/Memory.h"

#include <malloc.h>

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

}  // namespace tkhost
