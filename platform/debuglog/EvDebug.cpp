#include "platform/debuglog/EvDebug.h"

#include <pthread.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testkit/debuglog.h"

namespace {

struct LogState {
  std::mutex mutex;
  int captureDepth = 0;
  std::vector<testkit::debuglog::Line> captured;
  FILE* file = nullptr;
  std::string filePath;
};

LogState& state() {
  static LogState* s = new LogState();  // never destroyed: logging may run during exit
  return *s;
}

// Opens (or reopens after TK_LOG_DIR changed) the log file; caller holds the mutex.
FILE* logFile(LogState& s) {
  const char* dir = std::getenv("TK_LOG_DIR");
  if (dir == nullptr || *dir == '\0') return nullptr;
  std::string path = std::string(dir) + "/tkmmconfig.log";
  if (s.file != nullptr && path == s.filePath) return s.file;
  if (s.file != nullptr) std::fclose(s.file);
  ::mkdir(dir, 0755);
  s.file = std::fopen(path.c_str(), "a");
  s.filePath = path;
  return s.file;
}

const char* levelName(int level) {
  if (level == kEvDebugError) return "ERROR";
  if (level == kEvDebugDebug) return "DEBUG";
  return "LVL";
}

}  // namespace

std::string tkVFormat(const char* fmt, va_list args) {
  if (fmt == nullptr) return std::string();
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
  if (needed > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, args);
  return text;
}

void EvDebug::VWrite(int level, const char* tag, const char* fmt, va_list args) {
  const std::string text = tkVFormat(fmt, args);
  const char* safeTag = tag != nullptr ? tag : "";

  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.captureDepth > 0) s.captured.push_back({level, safeTag, text});
  if (FILE* f = logFile(s)) {
    time_t now = std::time(nullptr);
    struct tm parts{};
    localtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    std::fprintf(f, "%s %lu %s(%d) %s: %s\n", stamp, static_cast<unsigned long>(pthread_self()) & 0xFFFFFFFFul,
                 levelName(level), level, safeTag, text.c_str());
    std::fflush(f);
  }
}

void EvDebug::Error(const char* tag, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  VWrite(kEvDebugError, tag, fmt, args);
  va_end(args);
}

void EvDebug::Debug(const char* tag, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  VWrite(kEvDebugDebug, tag, fmt, args);
  va_end(args);
}

void EvDebug::DebugLvl(int level, const char* tag, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  VWrite(level, tag, fmt, args);
  va_end(args);
}

namespace testkit::debuglog {

Capture::Capture() {
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.captureDepth++ == 0) s.captured.clear();
}

Capture::~Capture() {
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  --s.captureDepth;
}

std::vector<Line> Capture::lines() const {
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.captured;
}

bool Capture::contains(const std::string& needle) const {
  for (const Line& line : lines()) {
    if (line.text.find(needle) != std::string::npos) return true;
  }
  return false;
}

bool Capture::contains(const std::string& tag, const std::string& needle) const {
  for (const Line& line : lines()) {
    if (line.tag == tag && line.text.find(needle) != std::string::npos) return true;
  }
  return false;
}

void Capture::clear() {
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.captured.clear();
}

}  // namespace testkit::debuglog
