// The host's own log: one line per event on standard error,
//   tkhost[<pid>] <YYYY-MM-DD hh:mm:ss.mmm> <LEVEL> <text>
// in the time format of the handler library's debug log, so that the two
// can be read side by side. Levels: ERROR, NOTICE, INFO, DEBUG.
#pragma once

#include <string>

#define TKHOST_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

namespace tkhost {

// 0 errors and the start and stop lines only, 1 (default) also connections and
// refused requests, 2 also every request. Errors (kLogError) are always written.
inline constexpr int kLogError = -1;
void setLogLevel(int level);
int logLevel();

void logLine(int level, const char* fmt, ...) TKHOST_PRINTF(2, 3);

// A client-supplied text made safe for one log line: printable ASCII kept,
// everything else escaped, cut to 200 characters.
std::string printable(const std::string& text);

}  // namespace tkhost
