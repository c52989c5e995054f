// Fetching the memory of model objects ahead, where it reckons with how the
// C library's allocator lays out what it hands out. This is the one place
// that assumes it; what it assumes:
//
//   - each object is a chunk of its own: a size word of 8 bytes before the
//     object, the whole rounded up to 16 bytes;
//   - freeing an object reads (and writes) the 16 bytes before it;
//   - objects of one kind made one after another mostly lie one after
//     another.
//
// Every function here only hints: memory that lies elsewhere than assumed
// costs a fetch and nothing else, never a wrong result. (A fetch of an
// address the process does not map is dropped by the processor.) They pay
// in a large graph, where each object is a cache miss per line it spans:
// a load of 10,000 drives and drive paths with both hints took about 8%
// less CPU than without them (bench/ModelLoadBench.cpp, interleaved), so
// they stay while they pay; measure again when the allocator changes.
//
// Always inlined: a call to a function that only fetches would be dropped
// as if it did nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tkmac::heap {

inline constexpr std::size_t kLine = 64;         // the processor's cache line
inline constexpr std::size_t kSizeWord = 8;      // the chunk's size word, before the object
inline constexpr std::size_t kChunkAlign = 16;   // chunks are rounded up to this
inline constexpr std::size_t kFreeReads = 16;    // bytes before an object that freeing reads

// The memory one object of T takes, its size word included.
template <class T>
inline constexpr std::size_t kChunkOf = (sizeof(T) + kSizeWord + kChunkAlign - 1) / kChunkAlign * kChunkAlign;

// The lines an object of T spans.
template <class T>
inline constexpr std::size_t kLinesOf = (sizeof(T) + kLine - 1) / kLine;

// The memory where the object of T made `ahead` objects after `object`
// mostly lies: fetched now, so that the writes that make it later do not
// each wait for its lines.
template <class T>
[[gnu::always_inline]] inline void fetchMadeAfter(const T* object, std::size_t ahead) {
  // An address, not a pointer into the object: it lies beyond it.
  const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(object) + ahead * kChunkOf<T>;
  for (std::size_t line = 0; line < kChunkOf<T>; line += kLine)
    __builtin_prefetch(reinterpret_cast<const void*>(next + line), 1);
}

// An object about to be freed: what freeing reads before it, and its first
// `lines` lines, which its destructor reads.
[[gnu::always_inline]] inline void fetchToFree(const void* object, std::size_t lines) {
  // Addresses, not pointers into the object: the size word lies before it.
  const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(object);
  __builtin_prefetch(reinterpret_cast<const void*>(at - kFreeReads), 1);
  for (std::size_t line = 0; line < lines; ++line)
    __builtin_prefetch(reinterpret_cast<const void*>(at + kLine * line), 1);
}

}  // namespace tkmac::heap
