// The C-string helpers of the XML handlers. Each keeps one buffer per thread,
// so that a result stays valid until the same thread calls the same function
// again, whatever other threads do.
#include "frame/TextHelpers.h"

#include <cstring>

namespace {

char* copyIntoBuffer(const std::string& text, char (&buffer)[kMyTextBufferSize]) {
  std::memset(buffer, 0, sizeof buffer);
  const size_t n = text.size() < kMyTextBufferSize - 1 ? text.size() : kMyTextBufferSize - 1;
  std::memcpy(buffer, text.data(), n);
  return buffer;
}

}  // namespace

char* MyLocalText(const std::string& text) {
  static thread_local char buffer[kMyTextBufferSize];
  return copyIntoBuffer(text, buffer);
}

char* MyUTF8Text(std::string& text) {
  static thread_local char buffer[kMyTextBufferSize];
  std::string copy = FXString::ToString(text);
  return copyIntoBuffer(copy, buffer);
}
