// What the host does about the memory its answers take: large buffers
// mapped on their own, and what the allocator keeps given back after a
// large answer. Kept apart from the rest of the host so that the host's
// memory test can run it over glibc's allocator in a program built without
// the sanitizers, whose allocator takes neither setting.
#pragma once

namespace tkhost {

// Allocations from this size on are mappings of their own, the size kept
// fixed: the answers' buffers of megabytes. What a request allocates below
// it (the XML parser's reader of 160 KiB among it) comes from the thread's
// arena, rather than a mapping made, faulted in page by page and unmapped
// again for every request, as it would at glibc's starting size of 128 KiB.
inline constexpr int kOwnMappingBytes = 1024 * 1024;

// Called once at start, before any thread: a listing's answer is built in
// buffers of megabytes on the connection's thread. Left to itself the
// allocator takes every such buffer after the first from that thread's
// arena, whose top it never gives back, so a burst of listings would keep
// the host at its peak for good: mapped on their own, they go back to the
// system when they are freed.
void mapLargeBuffersOnTheirOwn();

// Gives what the allocator keeps of freed memory back to the system.
void giveMemoryBack();

// An answer at least this large leaves the allocator holding what the
// handler built it from.
inline constexpr unsigned long long kLargeAnswerBytes = 1ull << 20;

// A request's answer of `bytes` is out: after a large one what it took goes
// back to the system, so that a burst of listings does not keep the host at
// its peak for the rest of its life. Smaller answers pay nothing. True when
// it gave memory back.
bool answerWritten(unsigned long long bytes);

// Connection threads have ended (and freed what they kept: their database
// connection's page cache, the allocator's caches of the thread): when any
// of them wrote a large answer since the last call, the memory goes back to
// the system. A large answer gives back what it took once it is written;
// this is the rest. True when it gave memory back.
bool connectionsEnded();

}  // namespace tkhost
