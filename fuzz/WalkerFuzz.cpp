// Fuzz target of the element-stream walker.
//
// Input: one byte of settings (bit 0: headers in network byte order; bits
// 1-7 pick a small value capacity, 0 the standard 4,104), a 32-bit element
// count, then the stream bytes. The stream and the value buffer are heap
// blocks of exactly their size, so any read or write past them is caught.
// The walk must also keep its promises: every value lies within the stream
// and is copied whole, a value shorter than the capacity is followed by
// zeroes up to a full 64-bit number, and once ended the walk stays ended.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <arpa/inet.h>

#include "frame/MessageWalker.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

uint32_t wordAt(const std::vector<char>& stream, size_t at, bool networkOrder) {
  uint32_t word = 0;
  std::memcpy(&word, stream.data() + at, sizeof word);
  return networkOrder ? ntohl(word) : word;
}

void walk(std::vector<char>& stream, unsigned long capacity, unsigned long count, bool networkOrder) {
  // One byte past the capacity, as the standard buffer has, kept zero.
  std::unique_ptr<char[]> value(new char[capacity + 1]);
  value[capacity] = '\0';
  MessageWalker walker;
  walker.setBuffer(stream.empty() ? nullptr : stream.data(), stream.size(), value.get(), capacity, count,
                   networkOrder);
  size_t offset = 0;
  unsigned taken = 0;
  unsigned int type = 0, length = 0;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length)) {
    ++taken;
    require(taken <= count && walker.index() == taken);
    require(v == value.get());
    require(offset + 8 <= stream.size());
    require(type == wordAt(stream, offset, networkOrder) && length == wordAt(stream, offset + 4, networkOrder));
    require(length <= capacity && offset + 8 + length <= stream.size());
    require(std::memcmp(v, stream.data() + offset + 8, length) == 0);
    if (length < capacity) {
      require(v[length] == '\0');
      if (length < 8 && capacity >= 8) require(MessageWalker::readU64(v, 8) == MessageWalker::readU64(v, length));
    }
    require(value[capacity] == '\0');
    (void)MessageWalker::readText(v, length);
    (void)MessageWalker::readPairText(v, length);
    (void)MessageWalker::readU32(v, length);
    offset += 8 + length;
  }
  require(walker.getNext(&type, &length) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const bool networkOrder = (data[0] & 1) != 0;
  const unsigned long capacity = (data[0] >> 1) == 0 ? kMessageValueCapacity : (data[0] >> 1);
  uint32_t count = 0;
  std::memcpy(&count, data + 1, sizeof count);
  std::vector<char> stream(reinterpret_cast<const char*>(data) + 5, reinterpret_cast<const char*>(data) + size);
  walk(stream, capacity, count, networkOrder);

  // The standard settings over a request record, as every handler walks.
  static MessageInfo request;
  std::memset(request.elementStream, 0, sizeof request.elementStream);
  if (!stream.empty())
    std::memcpy(request.elementStream, stream.data(), std::min(stream.size(), sizeof request.elementStream));
  request.elementCount = count;
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(&request, buffer);
  unsigned int type = 0, length = 0;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length))
    require(length <= MessageValueBuffer::capacity() && v == buffer.data());
  require(buffer.bytes[kMessageValueCapacity] == '\0');
  return 0;
}
