// The diagnostic log: one atomic limit that every line checks before anything
// else, formatting on the caller's thread, one mutex around the writing only.
#include "platform/debuglog/EvDebug.h"

#include <pthread.h>
#include <sys/stat.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testkit/debuglog.h"

namespace {

// Values of the limit that no level reaches.
constexpr int kNoSink = INT_MIN;     // nothing would take a line
constexpr int kUnset = INT_MIN + 1;  // the environment is not read yet
constexpr int kEveryLevel = INT_MAX;

struct LogState {
  // The highest level some sink takes now (kNoSink, or the log's level).
  std::atomic<int> limit{kUnset};
  std::atomic<long long> formatted{0};
  std::atomic<bool> hasFile{false};
  std::once_flag setUpOnce;

  // Guarded by the mutex; held while a finished line is written and while the
  // sinks change, never while a line is formatted.
  std::mutex mutex;
  int level = kEveryLevel;
  int captureDepth = 0;
  std::vector<testkit::debuglog::Line> captured;
  FILE* file = nullptr;
  std::string filePath;
};

LogState& state() {
  static LogState* s = new LogState();  // never destroyed: logging may run during exit
  return *s;
}

// Caller holds the mutex.
void publishLimit(LogState& s) {
  const bool anySink = s.captureDepth > 0 || s.file != nullptr;
  s.limit.store(anySink ? s.level : kNoSink, std::memory_order_release);
}

// Points the file sink at `dir` ("" for none); caller holds the mutex.
void openFile(LogState& s, const std::string& dir) {
  if (s.file != nullptr) std::fclose(s.file);
  s.file = nullptr;
  s.filePath.clear();
  s.hasFile.store(false, std::memory_order_release);
  if (dir.empty()) return;
  ::mkdir(dir.c_str(), 0755);
  const std::string path = dir + "/tkmmconfig.log";
  s.file = std::fopen(path.c_str(), "a");
  if (s.file != nullptr) s.filePath = path;
  s.hasFile.store(s.file != nullptr, std::memory_order_release);
}

int levelFromEnvironment() {
  const char* text = std::getenv("TK_LOG_LEVEL");
  if (text == nullptr || *text == '\0') return kEveryLevel;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < kEvDebugError || value > INT_MAX) return kEveryLevel;
  return static_cast<int>(value);
}

// Reads the environment once; returns the limit in force.
int setUp() {
  LogState& s = state();
  std::call_once(s.setUpOnce, [&s] {
    const char* dir = std::getenv("TK_LOG_DIR");
    std::lock_guard<std::mutex> guard(s.mutex);
    s.level = levelFromEnvironment();
    openFile(s, dir != nullptr ? dir : "");
    publishLimit(s);
  });
  return s.limit.load(std::memory_order_acquire);
}

int currentLimit() {
  const int limit = state().limit.load(std::memory_order_acquire);
  return limit != kUnset ? limit : setUp();
}

thread_local int t_connection = -1;

// ERROR, DEBUG, then DEBUG1, DEBUG2, ... for the numbered levels.
void levelName(int level, char* out, size_t size) {
  if (level == kEvDebugError) std::snprintf(out, size, "ERROR");
  else if (level == kEvDebugDebug) std::snprintf(out, size, "DEBUG");
  else std::snprintf(out, size, "DEBUG%d", level);
}

// The file form of a line: stamp, thread, level, the connection when the
// thread serves one, tag and text.
std::string fileLine(int level, const char* tag, const std::string& text) {
  char stamp[32];
  tkLogStamp(stamp, sizeof stamp);
  char name[24];
  levelName(level, name, sizeof name);
  char connection[24] = "";
  if (t_connection >= 0) std::snprintf(connection, sizeof connection, " conn %d", t_connection);
  char head[160];
  const int n = std::snprintf(head, sizeof head, "%s %lu %s%s ", stamp,
                              static_cast<unsigned long>(pthread_self()) & 0xFFFFFFFFul, name, connection);
  std::string line(head, n > 0 ? static_cast<size_t>(n) : 0);
  line.reserve(line.size() + std::char_traits<char>::length(tag) + text.size() + 3);
  line += tag;
  line += ": ";
  line += text;
  line.push_back('\n');
  return line;
}

}  // namespace

void tkLogStamp(char* out, size_t size) {
  // The seconds part is made once per second per thread (local time
  // conversion takes a process-wide lock inside the C library).
  thread_local time_t second = -1;
  thread_local char seconds[32];
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec != second) {
    struct tm parts{};
    localtime_r(&now.tv_sec, &parts);
    std::strftime(seconds, sizeof seconds, "%Y-%m-%d %H:%M:%S", &parts);
    second = now.tv_sec;
  }
  std::snprintf(out, size, "%s.%03ld", seconds, now.tv_nsec / 1000000L);
}

EvDebugConnectionScope::EvDebugConnectionScope(int connection) : m_previous(t_connection) {
  t_connection = connection;
}

EvDebugConnectionScope::~EvDebugConnectionScope() { t_connection = m_previous; }

std::string tkVFormat(const char* fmt, va_list args) {
  if (fmt == nullptr) return std::string();
  // Most texts fit the stack buffer and are formatted once.
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (needed <= 0) return std::string();
  if (static_cast<size_t>(needed) < sizeof small) return std::string(small, static_cast<size_t>(needed));
  std::string text(static_cast<size_t>(needed), '\0');
  std::vsnprintf(text.data(), text.size() + 1, fmt, args);
  return text;
}

bool EvDebug::Enabled(int level) {
  const int limit = currentLimit();
  return limit != kNoSink && level <= limit;
}

void EvDebug::SetLevel(int level) {
  setUp();
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.level = level < kEvDebugError ? kEvDebugError : level;
  publishLimit(s);
}

int EvDebug::Level() {
  setUp();
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.level;
}

std::string EvDebug::FilePath() {
  setUp();
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.filePath;
}

void EvDebug::VWrite(int level, const char* tag, const char* fmt, va_list args) {
  if (!Enabled(level)) return;
  LogState& s = state();
  s.formatted.fetch_add(1, std::memory_order_relaxed);
  const std::string text = tkVFormat(fmt, args);
  const char* safeTag = tag != nullptr ? tag : "";
  // The file form is made before the mutex is taken; a sink that appears
  // meanwhile sees the line from the next one on.
  const std::string line = s.hasFile.load(std::memory_order_acquire) ? fileLine(level, safeTag, text) : std::string();

  std::lock_guard<std::mutex> guard(s.mutex);
  if (level > s.level) return;
  if (s.captureDepth > 0) s.captured.push_back({level, safeTag, text});
  if (s.file != nullptr && !line.empty()) {
    std::fwrite(line.data(), 1, line.size(), s.file);
    std::fflush(s.file);
  }
}

void EvDebug::Error(const char* tag, const char* fmt, ...) {
  if (!Enabled(kEvDebugError)) return;
  va_list args;
  va_start(args, fmt);
  VWrite(kEvDebugError, tag, fmt, args);
  va_end(args);
}

void EvDebug::Debug(const char* tag, const char* fmt, ...) {
  if (!Enabled(kEvDebugDebug)) return;
  va_list args;
  va_start(args, fmt);
  VWrite(kEvDebugDebug, tag, fmt, args);
  va_end(args);
}

void EvDebug::DebugLvl(int level, const char* tag, const char* fmt, ...) {
  if (!Enabled(level)) return;
  va_list args;
  va_start(args, fmt);
  VWrite(level, tag, fmt, args);
  va_end(args);
}

namespace testkit::debuglog {

Capture::Capture() {
  setUp();
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (s.captureDepth++ == 0) s.captured.clear();
  publishLimit(s);
}

Capture::~Capture() {
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  --s.captureDepth;
  publishLimit(s);
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

void useLogDir(const std::string& dir) {
  setUp();
  LogState& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  openFile(s, dir);
  publishLimit(s);
}

long long formattedLines() { return state().formatted.load(std::memory_order_relaxed); }

}  // namespace testkit::debuglog
