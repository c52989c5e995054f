// Test control of debug-log instance openings:
//   testkit::debugfile::failNextOpens(2);   // the next two EvDebugFile calls fail
//   journal().count("EvDebugFile")          // attempts made
#pragma once

#include "platform/debugfile/DebugFiles.h"

namespace testkit::debugfile {

inline tkjournal::Journal& journal() { return tkdebugfile::journal(); }
inline void failNextOpens(int times, const std::string& text = "injected failure") {
  tkdebugfile::journal().injectFailure("EvDebugFile", -1, text, times);
}
inline void reset() { tkdebugfile::journal().reset(); }

}  // namespace testkit::debugfile
