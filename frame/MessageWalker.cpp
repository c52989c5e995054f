#include "frame/MessageWalker.h"

#include <arpa/inet.h>

#include <algorithm>

namespace {

constexpr std::size_t kHeaderSize = 8;
// Bytes behind a value that the walker zeroes so that a number read at its
// full width never picks up bytes of an earlier element.
constexpr unsigned long kWidestNumber = 8;

uint32_t readWord(const unsigned char* at, bool networkOrder) {
  uint32_t word = 0;
  std::memcpy(&word, at, sizeof word);
  return networkOrder ? ntohl(word) : word;
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
    std::memcpy(m_pValueBuffer, m_pCursor, valueLength);
    if (valueLength < m_valueCapacity) {
      // The terminating zero, and zeroes up to the widest number, so that a
      // short number never reads bytes left by an earlier element.
      const unsigned long clearEnd = std::min(m_valueCapacity, std::max<unsigned long>(valueLength + 1, kWidestNumber));
      std::memset(m_pValueBuffer + valueLength, 0, clearEnd - valueLength);
    }
    value = m_pValueBuffer;
  }
  m_pCursor += valueLength;
  return value;
}

uint32_t MessageWalker::readU32(const char* value, unsigned int length) {
  uint32_t number = 0;
  if (value != nullptr) std::memcpy(&number, value, std::min<std::size_t>(length, sizeof number));
  return number;
}

uint64_t MessageWalker::readU64(const char* value, unsigned int length) {
  uint64_t number = 0;
  if (value != nullptr) std::memcpy(&number, value, std::min<std::size_t>(length, sizeof number));
  return number;
}

std::string MessageWalker::readText(const char* value, unsigned int length) {
  if (value == nullptr) return std::string();
  return std::string(value, strnlen(value, length));
}

std::string MessageWalker::readPairText(const char* value, unsigned int length) {
  if (value == nullptr || length <= 4) return std::string();
  return readText(value + 4, length - 4);
}
