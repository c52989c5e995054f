// The out-of-line parts of the element-stream walker (the walk itself is
// inline in the header).
#include "frame/MessageWalker.h"

#include <algorithm>

void MessageWalker::copyLongValue(char* to, const unsigned char* from, unsigned long length, unsigned long capacity) {
  std::memcpy(to, from, length);
  if (length < capacity) {
    const unsigned long clearEnd = std::min(capacity, std::max<unsigned long>(length + 1, kWidestNumber));
    std::memset(to + length, 0, clearEnd - length);
  }
}

void MessageWalker::setBuffer(char* stream, unsigned long streamLength, char* valueBuffer, unsigned long valueCapacity,
                              unsigned long elementCount, bool networkOrder) {
  m_pBuffer = stream;
  m_bufferLength = streamLength;
  m_pValueBuffer = valueBuffer;
  m_valueCapacity = valueCapacity;
  m_elementCount = elementCount;
  m_bNetworkOrder = networkOrder;
  m_bUsable = streamLength != 0 && valueCapacity != 0 && elementCount != 0;
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

std::string MessageWalker::readText(const char* value, unsigned int length) {
  if (value == nullptr) return std::string();
  return std::string(value, strnlen(value, length));
}

std::string MessageWalker::readPairText(const char* value, unsigned int length) {
  if (value == nullptr || length <= 4) return std::string();
  return readText(value + 4, length - 4);
}
