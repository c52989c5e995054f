// The C-string helpers of the XML handlers. Each keeps one buffer per thread,
// so that a result stays valid until the same thread calls the same function
// again, whatever other threads do.
#include "frame/TextHelpers.h"

#include <cstring>
#include <vector>

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

// A request text is what gets stored: cut here, it would be stored cut and
// answered "Success". So the buffer grows to hold it whole, and the column
// it goes to decides whether it fits.
char* MyUTF8Text(std::string& text) {
  static thread_local std::vector<char> buffer(kMyTextBufferSize);
  const std::string copy = FXString::ToString(text);
  const size_t size = copy.size() < kMyTextBufferSize ? kMyTextBufferSize : copy.size() + 1;
  buffer.assign(size, '\0');
  std::memcpy(buffer.data(), copy.data(), copy.size());
  return buffer.data();
}
