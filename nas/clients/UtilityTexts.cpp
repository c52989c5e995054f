// Error texts of the NAS-client protocol routines (see UtilityRoutines.h).
// Each call formats into a buffer of its own: the handlers run requests on
// several threads, and a shared buffer would mix their texts.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "frame/EvEvent.h"
#include "nas/clients/UtilityRoutines.h"

namespace {
// Room for the longest text the catalogue makes, with its terminator.
constexpr unsigned long kErrorTextRoom = 65536;
}  // namespace

void UtilCopyErrorText(unsigned long& capacity, char*& text, const char* source) {
  if (source == nullptr) {
    if (text != nullptr && capacity != 0) text[0] = '\0';
    return;
  }
  const std::size_t needed = std::strlen(source) + 1;
  if (text == nullptr || capacity < needed) {
    char* grown = static_cast<char*>(std::malloc(needed));
    if (grown == nullptr) {
      if (text != nullptr && capacity != 0) text[0] = '\0';
      return;
    }
    std::free(text);
    text = grown;
    capacity = needed;
  }
  std::memcpy(text, source, needed);
}

char* UtilErrorText(unsigned long& capacity, char*& text, unsigned long code, EvEvent& event) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kErrorTextRoom]);
  const char* made = nullptr;
  if (buffer != nullptr) {
    buffer[0] = '\0';
    made = event.evPrintf(code, buffer.get(), kErrorTextRoom - 1, 0);
  }
  if (made != nullptr)
    UtilCopyErrorText(capacity, text, made);
  else
    UtilCopyErrorText(capacity, text, nullptr);
  return text;
}
