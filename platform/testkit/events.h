// Test control of the event log and the catalogue formatting calls.
//
//   testkit::events::reset();
//   ... code under test ...
//   auto log = testkit::events::entries();   // major, critical and info events
//   auto calls = testkit::events::journal().calls("evPrintf");
//
// Journal names and arguments (as texts):
//   "evPrintf"      message id, buffer size, locale id, then the event's arguments
//   "EvGetLocText"  message id, buffer size, locale id, then the arguments
//   "MajorEvent" / "CriticalEvent" / "InfoEvent"
//                   message id, value, flags, then the event's arguments
// An injected failure of "MajorEvent", "CriticalEvent" or "InfoEvent" makes the
// next such event go unrecorded and return the code.
#pragma once

#include "platform/events/EventLog.h"

namespace testkit::events {

using Entry = tkevents::Entry;

inline std::vector<Entry> entries() { return tkevents::entries(); }
inline tkjournal::Journal& journal() { return tkevents::journal(); }
inline void reset() {
  tkevents::clearEntries();
  tkevents::journal().reset();
}

}  // namespace testkit::events
