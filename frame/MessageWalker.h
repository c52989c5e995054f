// The walker over a request element stream.
//
// An element stream is `elementCount` elements laid end to end, with no
// header, padding or alignment: per element a 32-bit type, a 32-bit value
// length and that many bytes of value, in host byte order (little-endian).
// The whole sequence lies within the 63,536 bytes of the request's stream
// area; a value holds at most 4,104 bytes.
//
// Every element-stream handler walks its request the same way:
//
//   MessageValueBuffer value;                  // 4,105 zeroed bytes
//   MessageWalker walker;
//   walker.setRequest(msg, value);             // the standard settings
//   unsigned int type = 0, length = 0;
//   for (char* v = walker.getFirst(&type, &length); v != nullptr;
//        v = walker.getNext(&type, &length)) {
//     switch (type) {
//       case 4001: op = MessageWalker::readU32(v, length); break;
//       case 2052: ... apply the record ...
//       ...
//     }
//   }
//
// Texts are taken by (value, length) with `readText`. With the standard
// buffer a text may also be read as a C string: the walker writes a zero
// after every value shorter than the capacity, and the buffer's extra last
// byte, which the walker never writes, ends a value of exactly 4,104 bytes.
// Numbers are read with `readU32`/`readU64`: the walker zeroes the buffer
// from the value's end up to 8 bytes, so a number sent shorter than its
// width reads as zero-extended, never with bytes of an earlier element.
//
// The walk ends silently at the declared count, at the first element whose
// length exceeds the value capacity (after its type and length were stored),
// and at the first header or value that would pass the end of the stream
// area. Once it has ended, `getNext` keeps returning null until `getFirst`.
// The walker owns nothing and logs nothing; the stream and the value buffer
// must outlive the walk.
//
// The walk is inline: a handler takes each element without a call into the
// library, a walker that never leaves its function keeps its position in a
// register, and a small value (most are numbers and short texts) is copied
// with fixed-size moves; only values over 32 bytes call the C library.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "frame/ElementLimits.h"
#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"

// Size of the standard value buffer: the capacity plus a last byte that stays
// zero, so that a value of exactly 4,104 bytes is still a terminated text.
inline constexpr std::size_t kMessageValueBufferSize = kMessageValueCapacity + 1;
// Stream length every handler passes to the walker.
inline constexpr unsigned long kMessageStreamLength = kMessageStreamSize;

// Element types with one meaning in every handler.
inline constexpr unsigned int kElementEndOfRecord = tktag::kEndOfRecord;
inline constexpr unsigned int kElementOperationType = tktag::kOperation;

// The standard value buffer of a walk: 4,105 bytes, zeroed on construction.
struct MessageValueBuffer {
  char bytes[kMessageValueBufferSize] = {};

  char* data() { return bytes; }
  const char* data() const { return bytes; }
  static constexpr unsigned long capacity() { return kMessageValueCapacity; }
};

class MessageWalker {
 public:
  MessageWalker() = default;
  ~MessageWalker() {}
  MessageWalker(const MessageWalker&) = delete;
  MessageWalker& operator=(const MessageWalker&) = delete;

  // Stores the settings; when a value buffer is given, fills its first
  // `valueCapacity` bytes with zero. Does not rewind: the walk starts with
  // getFirst.
  inline void setBuffer(char* stream, unsigned long streamLength, char* valueBuffer, unsigned long valueCapacity,
                        unsigned long elementCount, bool networkOrder);

  // The standard settings: the request's stream area (63,536 bytes), the
  // standard value buffer with capacity 4,104, the request's element count,
  // host byte order. A null request leaves the walker empty (every walk
  // yields nothing).
  inline void setRequest(MessageInfo* request, MessageValueBuffer& value);

  // Rewinds to the start of the stream and returns what getNext returns.
  inline char* getFirst(unsigned int* type, unsigned int* length);

  // Takes the next element: stores its type and length through the pointers
  // that are not null and returns the value (in the value buffer when one was
  // given, else its place in the stream), or null when the walk has ended.
  inline char* getNext(unsigned int* type, unsigned int* length);

  // Readers of a value. A number is read from the value's first bytes
  // (little-endian, as the streams are); bytes beyond the value's length
  // count as zero.
  static uint32_t readU32(const char* value, unsigned int length) { return readNumber<uint32_t>(value, length); }
  static uint64_t readU64(const char* value, unsigned int length) { return readNumber<uint64_t>(value, length); }
  static int32_t readI32(const char* value, unsigned int length) { return static_cast<int32_t>(readU32(value, length)); }
  static int64_t readI64(const char* value, unsigned int length) { return static_cast<int64_t>(readU64(value, length)); }
  // A text value: exactly `length` bytes, whether or not they end in a zero
  // byte; an embedded zero ends the text, as it would a C string.
  static std::string readText(const char* value, unsigned int length);
  // A pair value: a 32-bit id followed by a text.
  static uint32_t readPairId(const char* value, unsigned int length) { return readU32(value, length); }
  static std::string readPairText(const char* value, unsigned int length);

  // The number of elements taken so far in the current walk.
  unsigned int index() const { return m_index; }

 private:
  static constexpr std::size_t kHeaderSize = 8;
  // Bytes behind a value that the walker zeroes so that a number read at its
  // full width never picks up bytes of an earlier element.
  static constexpr unsigned long kWidestNumber = 8;
  // Values up to this length are copied inline.
  static constexpr unsigned long kInlineCopy = 32;

  // Ends the walk: getNext yields nothing more until getFirst.
  char* stop() {
    m_bEnded = true;
    return nullptr;
  }
  static uint32_t readWord(const unsigned char* at, bool networkOrder) {
    uint32_t word = 0;
    std::memcpy(&word, at, sizeof word);
    if (networkOrder && std::endian::native == std::endian::little) word = __builtin_bswap32(word);
    return word;
  }
  // The `length` (< 8) bytes at `from` as the low bytes of a word whose
  // other bytes are zero, without reading a byte outside them.
  static uint64_t shortWord(const unsigned char* from, unsigned long length) {
    if (length >= 4) {
      uint32_t low = 0;
      uint32_t high = 0;
      std::memcpy(&low, from, 4);
      std::memcpy(&high, from + length - 4, 4);  // overlaps `low` where both read the same bytes
      return low | (static_cast<uint64_t>(high) << (8 * (length - 4)));
    }
    if (length == 0) return 0;
    // One, two or three bytes: the first, the middle and the last cover them.
    return static_cast<uint64_t>(from[0]) | (static_cast<uint64_t>(from[length / 2]) << (8 * (length / 2))) |
           (static_cast<uint64_t>(from[length - 1]) << (8 * (length - 1)));
  }
  // Copies a value into the value buffer, then writes the terminating zero
  // and zeroes up to the widest number: [length, max(length + 1, 8)), never
  // past the capacity.
  static void copyValue(char* to, const unsigned char* from, unsigned long length, unsigned long capacity) {
    if constexpr (std::endian::native == std::endian::little) {
      if (capacity >= kWidestNumber && length <= kInlineCopy) {
        if (length < kWidestNumber) {
          // The value and its zeroes in one store of the widest number.
          const uint64_t word = shortWord(from, length);
          std::memcpy(to, &word, sizeof word);
          return;
        }
        if (length <= 16) {
          std::memcpy(to, from, 8);
          std::memcpy(to + length - 8, from + length - 8, 8);
        } else {
          std::memcpy(to, from, 16);
          std::memcpy(to + length - 16, from + length - 16, 16);
        }
        if (length < capacity) to[length] = '\0';
        return;
      }
    }
    copyLongValue(to, from, length, capacity);
  }
  // The same for any length, through the C library.
  static void copyLongValue(char* to, const unsigned char* from, unsigned long length, unsigned long capacity);

  // Inline so that a number costs a load, not a call: a full-width value is
  // one fixed-size copy, a shorter one a few bytes.
  template <typename Number>
  static Number readNumber(const char* value, unsigned int length) {
    Number number = 0;
    if (value == nullptr) return number;
    if (length >= sizeof number) {
      std::memcpy(&number, value, sizeof number);
      return number;
    }
    for (unsigned int i = 0; i < length; ++i) {
      number |= static_cast<Number>(static_cast<unsigned char>(value[i])) << (8 * i);
    }
    return number;
  }

  char* m_pBuffer = nullptr;          // start of the element stream
  unsigned char* m_pCursor = nullptr;  // read position; null until getFirst
  char* m_pValueBuffer = nullptr;     // the caller's value buffer, or null
  unsigned long m_bufferLength = 0;   // size of the stream area in bytes
  unsigned long m_valueCapacity = 0;  // size of the value buffer in bytes
  unsigned long m_elementCount = 0;   // number of elements to return
  unsigned int m_index = 0;           // number of elements taken so far
  bool m_bNetworkOrder = false;       // element headers are in network byte order
  bool m_bEnded = false;              // the current walk has ended
  bool m_bUsable = false;             // stream length, capacity and count are all non-zero
};

inline void MessageWalker::setBuffer(char* stream, unsigned long streamLength, char* valueBuffer,
                                     unsigned long valueCapacity, unsigned long elementCount, bool networkOrder) {
  m_pBuffer = stream;
  m_bufferLength = streamLength;
  m_pValueBuffer = valueBuffer;
  m_valueCapacity = valueCapacity;
  m_elementCount = elementCount;
  m_bNetworkOrder = networkOrder;
  m_bUsable = streamLength != 0 && valueCapacity != 0 && elementCount != 0;
  if (valueBuffer != nullptr && valueCapacity != 0) std::memset(valueBuffer, 0, valueCapacity);
}

inline void MessageWalker::setRequest(MessageInfo* request, MessageValueBuffer& value) {
  if (request == nullptr) {
    setBuffer(nullptr, 0, value.data(), MessageValueBuffer::capacity(), 0, false);
    return;
  }
  setBuffer(request->elementStream, kMessageStreamLength, value.data(), MessageValueBuffer::capacity(),
            request->elementCount, false);
}

inline char* MessageWalker::getFirst(unsigned int* type, unsigned int* length) {
  m_pCursor = reinterpret_cast<unsigned char*>(m_pBuffer);
  m_index = 0;
  m_bEnded = false;
  return getNext(type, length);
}

inline char* MessageWalker::getNext(unsigned int* type, unsigned int* length) {
  if (m_pCursor == nullptr || !m_bUsable || m_bEnded) return nullptr;

  ++m_index;
  if (static_cast<unsigned long>(m_index) > m_elementCount) return stop();

  // Locals, so that the stores through `type` and `length` (which may point
  // anywhere) do not make the compiler reload the walker's fields.
  unsigned char* cursor = m_pCursor;
  const unsigned char* streamEnd = reinterpret_cast<const unsigned char*>(m_pBuffer) + m_bufferLength;
  std::size_t remaining = static_cast<std::size_t>(streamEnd - cursor);
  if (remaining < kHeaderSize) return stop();

  const bool networkOrder = m_bNetworkOrder;
  const unsigned long capacity = m_valueCapacity;
  char* valueBuffer = m_pValueBuffer;
  const uint32_t elementType = readWord(cursor, networkOrder);
  const uint32_t valueLength = readWord(cursor + 4, networkOrder);
  cursor += kHeaderSize;
  m_pCursor = cursor;
  if (type != nullptr) *type = elementType;
  if (length != nullptr) *length = valueLength;
  remaining -= kHeaderSize;

  if (valueLength > capacity || valueLength > remaining) return stop();

  char* value = reinterpret_cast<char*>(cursor);
  if (valueBuffer != nullptr) {
    copyValue(valueBuffer, cursor, valueLength, capacity);
    value = valueBuffer;
  }
  m_pCursor = cursor + valueLength;
  return value;
}
