// Test control of the cross-process named locks.
//
// Point TK_LOCK_DIR at a temporary directory (tktest::ScopedEnv) so that
// tests never share lock files. journal() records "MDLock", "set", "unset"
// and "isSet" calls; journal().injectFailure("MDLock", ...) makes the next
// lock object invalid.
#pragma once

#include "platform/mdlock/MDLock.h"

namespace testkit::mdlock {

inline tkjournal::Journal& journal() { return tkmdlock::journal(); }
inline std::string lockDirectory() { return tkmdlock::lockDirectory(); }
inline std::string fileName(const std::string& name) { return tkmdlock::fileName(name); }
inline void reset() { tkmdlock::journal().reset(); }
// Waits begun on a held lock since the process started (never reset: a test
// compares it with the count it read before starting the waiting thread).
inline int waitsBegun() { return tkmdlock::waitsBegun(); }

}  // namespace testkit::mdlock
