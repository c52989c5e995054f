// A program of the host's memory test (tests/host/SanListingMemoryTest.cpp),
// built without the sanitizers: their allocator takes neither of the host's
// memory settings (its large blocks are always mappings of their own, and
// it gives back what its own call says), so a sanitized host cannot show
// what the host's settings do with glibc's allocator, which an installation
// runs. This program runs the host's own memory code (host/Memory.cpp, a
// library the build makes once for tkhost and this program alike) as the
// host does, around what a SAN-volume listing allocates on the
// connection's thread, and prints what it held:
//
//   frame_kb=F peak_kb=P kept_kb=K
//
// F the largest answer frame of a listing; P how far one listing raised the
// process's peak resident memory; K what the process holds, after a burst
// of twelve listings on twelve connections at once, beyond what it held
// before (all connections ended, as the host gives memory back then).
//
// What a listing's connection allocates, as the host's does:
//  - its database connection's page cache, pages of 4 KiB up to 2 MiB,
//    kept for the thread's life (one connection per thread);
//  - a page of records at a time, each of a few hundred bytes, freed when
//    the page has been answered;
//  - the answer's item room, grown by doubling with realloc from 4 KiB as
//    the reply channel grows it, written out as a frame when the next
//    record would not fit 12 MiB, and given back at the listing's end;
//  - at its first answer, what the process keeps of the connection for its
//    whole life (the reply channel's lock of the descriptor number).
// The host's code is told of each answer written and of connections ended,
// and decides itself when to give memory back.
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/Memory.h"

namespace {

constexpr std::size_t kPageCacheBytes = 2u << 20;
constexpr std::size_t kDatabasePage = 4096 + 136;  // a page with its header
constexpr std::size_t kFrameBytes = 12u << 20;
constexpr int kRecords = 40000;        // a host of 40,000 volumes
constexpr int kRecordsPerPage = 500;
constexpr std::size_t kRecordBytes = 420;
constexpr int kConsoles = 12;

long statusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  const std::size_t length = std::strlen(field);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, length, field) == 0) return std::strtol(line.c_str() + length, nullptr, 10);
  return -1;
}

// What the process keeps of each connection for its life, allocated on the
// connection's thread at its first answer.
std::mutex g_keptMutex;
std::map<int, std::shared_ptr<std::mutex>>* g_kept = new std::map<int, std::shared_ptr<std::mutex>>();

// The reply channel's item room.
class Room {
 public:
  ~Room() { std::free(m_bytes); }
  char* extend(std::size_t count) {
    if (m_capacity - m_size < count) {
      std::size_t room = m_capacity < 4096 ? 4096 : m_capacity;
      while (room - m_size < count) room *= 2;
      void* bytes = std::realloc(m_bytes, room);
      if (bytes == nullptr) std::abort();
      m_bytes = static_cast<char*>(bytes);
      m_capacity = room;
    }
    char* at = m_bytes + m_size;
    m_size += count;
    return at;
  }
  std::size_t size() const { return m_size; }
  // A frame written out: what it holds goes, the room stays.
  void written() { m_size = 0; }
  void trim() {
    if (m_capacity <= 256u * 1024u) return;
    std::free(m_bytes);
    m_bytes = nullptr;
    m_capacity = 0;
  }

 private:
  char* m_bytes = nullptr;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
};

// One console's connection: a listing, then the connection ends. Returns
// the largest frame's size.
std::size_t connection(int number) {
  std::vector<std::unique_ptr<char[]>> pageCache;
  std::size_t largest = 0;
  Room room;
  volatile unsigned char sink = 0;
  for (int first = 0; first < kRecords; first += kRecordsPerPage) {
    std::vector<std::unique_ptr<char[]>> records;
    for (int i = 0; i < kRecordsPerPage; ++i) {
      if (pageCache.size() * kDatabasePage < kPageCacheBytes) {
        pageCache.emplace_back(new char[kDatabasePage]);
        std::memset(pageCache.back().get(), 1, kDatabasePage);
      }
      records.emplace_back(new char[kRecordBytes]);
      std::memset(records.back().get(), 2, kRecordBytes);
    }
    for (const auto& record : records) {
      if (room.size() + kRecordBytes > kFrameBytes) {
        if (room.size() > largest) largest = room.size();
        sink = sink + static_cast<unsigned char>(*room.extend(0));
        room.written();
      }
      std::memcpy(room.extend(kRecordBytes), record.get(), kRecordBytes);
    }
    if (first == 0) {
      std::lock_guard<std::mutex> guard(g_keptMutex);
      (*g_kept)[number] = std::make_shared<std::mutex>();
    }
  }
  if (room.size() > largest) largest = room.size();
  room.written();
  room.trim();
  tkhost::answerWritten(kRecords * kRecordBytes);
  return largest;
}

}  // namespace

int main() {
  tkhost::mapLargeBuffersOnTheirOwn();
  // A first listing warms the allocator up, as the host's first listing does.
  std::thread(connection, 0).join();
  tkhost::connectionsEnded();

  const long before = statusKb("VmRSS:");
  std::ofstream("/proc/self/clear_refs") << "5";
  std::size_t frame = 0;
  std::thread([&frame] { frame = connection(1); }).join();
  const long peak = statusKb("VmHWM:") - before;
  tkhost::connectionsEnded();

  std::vector<std::thread> consoles;
  for (int i = 0; i < kConsoles; ++i) consoles.emplace_back(connection, 2 + i);
  for (std::thread& console : consoles) console.join();
  tkhost::connectionsEnded();
  const long kept = statusKb("VmRSS:") - before;
  if (before < 0 || peak < 0 || kept < -before) return 1;
  std::printf("frame_kb=%zu peak_kb=%ld kept_kb=%ld\n", (frame + 1023) / 1024, peak, kept);
  return 0;
}
