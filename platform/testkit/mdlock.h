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

}  // namespace testkit::mdlock
