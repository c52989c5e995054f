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

std::string MessageWalker::readText(const char* value, unsigned int length) {
  if (value == nullptr) return std::string();
  return std::string(value, strnlen(value, length));
}

std::string MessageWalker::readPairText(const char* value, unsigned int length) {
  if (value == nullptr || length <= 4) return std::string();
  return readText(value + 4, length - 4);
}
