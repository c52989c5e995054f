// The walk over an element stream: bounds checks per element, and a value
// copy that stays inline for the small values most elements carry.
#include "frame/MessageWalker.h"

#include <arpa/inet.h>

#include <algorithm>
#include <bit>

namespace {

constexpr std::size_t kHeaderSize = 8;
// Bytes behind a value that the walker zeroes so that a number read at its
// full width never picks up bytes of an earlier element.
constexpr unsigned long kWidestNumber = 8;
// Values up to this length are copied with fixed-size moves the compiler
// inlines; a call into the C library per element would cost more than the
// copy.
constexpr unsigned long kInlineCopy = 32;

uint32_t readWord(const unsigned char* at, bool networkOrder) {
  uint32_t word = 0;
  std::memcpy(&word, at, sizeof word);
  return networkOrder ? ntohl(word) : word;
}

// The `length` (< 8) bytes at `from` as the low bytes of a word whose other
// bytes are zero, without reading a byte outside them.
uint64_t shortWord(const unsigned char* from, unsigned long length) {
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

// Copies a value into the value buffer, then writes the terminating zero and
// zeroes up to the widest number: [length, max(length + 1, 8)), never past
// the capacity.
void copyValue(char* to, const unsigned char* from, unsigned long length, unsigned long capacity) {
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
  std::memcpy(to, from, length);
  if (length < capacity) {
    const unsigned long clearEnd = std::min(capacity, std::max<unsigned long>(length + 1, kWidestNumber));
    std::memset(to + length, 0, clearEnd - length);
  }
}

}  // namespace

void MessageWalker::setBuffer(char* stream, unsigned long streamLength, char* valueBuffer, unsigned long valueCapacity,
                              unsigned long elementCount, bool networkOrder) {
  m_pBuffer = stream;
  m_bufferLength = streamLength;
  m_pValueBuffer = valueBuffer;
  m_valueCapacity = valueCapacity;
  m_elementCount = elementCount;
  m_bNetworkOrder = networkOrder;
  if (valueBuffer != nullptr && valueCapacity != 0) std::memset(valueBuffer, 0, valueCapacity);
}

void MessageWalker::setRequest(MessageInfo* request, MessageValueBuffer& value) {
  if (request == nullptr) {
    setBuffer(nullptr, 0, value.data(), MessageValueBuffer::capacity(), 0, false);
    return;
  }
  setBuffer(request->elementStream, kMessageStreamLength, value.data(), MessageValueBuffer::capacity(),
            request->elementCount, false);
}

char* MessageWalker::getFirst(unsigned int* type, unsigned int* length) {
  m_pCursor = reinterpret_cast<unsigned char*>(m_pBuffer);
  m_index = 0;
  m_bEnded = false;
  return getNext(type, length);
}

char* MessageWalker::getNext(unsigned int* type, unsigned int* length) {
  if (m_pCursor == nullptr || m_bufferLength == 0 || m_valueCapacity == 0 || m_elementCount == 0) return nullptr;
  if (m_bEnded) return nullptr;

  ++m_index;
  if (static_cast<unsigned long>(m_index) > m_elementCount) {
    m_bEnded = true;
    return nullptr;
  }

  const unsigned char* end = reinterpret_cast<const unsigned char*>(m_pBuffer) + m_bufferLength;
  std::size_t remaining = static_cast<std::size_t>(end - m_pCursor);
  if (remaining < kHeaderSize) {
    m_bEnded = true;
    return nullptr;
  }

  const uint32_t elementType = readWord(m_pCursor, m_bNetworkOrder);
  m_pCursor += 4;
  if (type != nullptr) *type = elementType;
  const uint32_t valueLength = readWord(m_pCursor, m_bNetworkOrder);
  m_pCursor += 4;
  if (length != nullptr) *length = valueLength;
  remaining -= kHeaderSize;

  if (valueLength > m_valueCapacity || valueLength > remaining) {
    m_bEnded = true;
    return nullptr;
  }

  char* value = reinterpret_cast<char*>(m_pCursor);
  if (m_pValueBuffer != nullptr) {
    copyValue(m_pValueBuffer, m_pCursor, valueLength, m_valueCapacity);
    value = m_pValueBuffer;
  }
  m_pCursor += valueLength;
  return value;
}

std::string MessageWalker::readText(const char* value, unsigned int length) {
  if (value == nullptr) return std::string();
  return std::string(value, strnlen(value, length));
}

std::string MessageWalker::readPairText(const char* value, unsigned int length) {
  if (value == nullptr || length <= 4) return std::string();
  return readText(value + 4, length - 4);
}
