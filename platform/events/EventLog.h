// The server's event log as the stand-in keeps it while a test records: a
// journal of the entries raised through EvEvent (major, critical and info
// events; each also goes to the debug log) and of the catalogue formatting
// calls. Read through platform/testkit/events.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"

namespace tkevents {

struct Entry {
  std::string kind;  // "Major", "Critical" or "Info"
  int messageId = 0;
  long long value = 0;
  int flags = 0;
  std::vector<std::string> arguments;
  std::string text;      // the catalogue text with the arguments filled in
  std::string location;  // the location the event was made with
};

std::vector<Entry> entries();
void clearEntries();
// Formatting calls (evPrintf, EvGetLocText) and event calls, with failures
// scriptable by operation name ("MajorEvent", "CriticalEvent", "InfoEvent").
tkjournal::Journal& journal();

// The locale id of a value that is either a locale id (0 to 65,535) or a
// sequence number carrying the locale in its top 16 bits.
inline uint16_t localeOf(unsigned long long value) {
  return static_cast<uint16_t>(value > 0xFFFFu ? value >> 48 : value);
}

}  // namespace tkevents
