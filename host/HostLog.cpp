#include "host/HostLog.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/debuglog/EvDebug.h"

namespace tkhost {
namespace {

std::atomic<int> g_level{1};
std::mutex g_mutex;

}  // namespace

void setLogLevel(int level) { g_level.store(level); }
int logLevel() { return g_level.load(); }

void logLine(int level, const char* fmt, ...) {
  if (level > g_level.load()) return;
  char text[2048];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);

  static const char* const kNames[] = {"ERROR", "NOTICE", "INFO", "DEBUG"};
  const char* name = kNames[level < kLogError ? 0 : level > 2 ? 3 : level + 1];
  char stamp[32];
  tkLogStamp(stamp, sizeof stamp);

  std::lock_guard<std::mutex> guard(g_mutex);
  std::fprintf(stderr, "tkhost[%d] %s %s %s\n", static_cast<int>(getpid()), stamp, name, text);
  std::fflush(stderr);
}

std::string printable(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char ch : text) {
    if (out.size() >= 200) {
      out += "...";
      break;
    }
    if (ch >= 0x20 && ch < 0x7F && ch != '\\') {
      out.push_back(static_cast<char>(ch));
    } else {
      out += "\\x";
      out.push_back(digits[ch >> 4]);
      out.push_back(digits[ch & 15]);
    }
  }
  return out;
}

}  // namespace tkhost
