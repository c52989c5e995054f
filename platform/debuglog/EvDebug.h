// Diagnostic log of the management server.
//
// Every line carries a level, a tag (the qualified name of the function that
// writes it) and a printf-style text. Lines go to the file named by TK_LOG_DIR
// (one file per process, "tkmmconfig.log") when that variable is set, and to an
// in-memory capture while a test holds one (platform/testkit/debuglog.h).
//
// Levels: Error is -1, Debug is 0, DebugLvl(n) is n; a line is written when
// its level is at most the log's level (TK_LOG_LEVEL, default: every level).
// A line that no sink would take (no file, no capture, or a level above the
// log's) costs one atomic read: its format and arguments are never looked at.
// Callers that prepare arguments at a cost of their own (times turned into
// texts, lists joined) ask Enabled(level) first. Formatting happens on the
// caller's thread without any lock; only the writing of the finished line is
// serialised. TK_LOG_DIR and TK_LOG_LEVEL are read once, at the first line.
//
// Client texts, catalogue texts and last-error texts are always passed as an
// argument of "%s", never as the format itself; the format attribute makes the
// compiler hold every caller to that.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#define TK_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

enum class EvDebugLevel { Error = 0, Debug = 1 };

class EvDebug {
 public:
  EvDebug() = default;
  virtual ~EvDebug() = default;

  static void Error(const char* tag, const char* fmt, ...) TK_PRINTF(2, 3);
  static void Debug(const char* tag, const char* fmt, ...) TK_PRINTF(2, 3);
  // Numbered levels: 1 is the least verbose.
  static void DebugLvl(int level, const char* tag, const char* fmt, ...) TK_PRINTF(3, 4);

  static void VWrite(int level, const char* tag, const char* fmt, va_list args) TK_PRINTF(3, 0);

  // Whether a line of this level would be written anywhere now.
  static bool Enabled(int level);
  // The highest level written from now on (kEvDebugError: errors only).
  static void SetLevel(int level);
  static int Level();
  // The log file ("<TK_LOG_DIR>/tkmmconfig.log"), empty when there is none.
  static std::string FilePath();
};

// The connection a thread serves: the host sets it around each handler call,
// and every line the thread writes meanwhile names it ("conn <n>").
class EvDebugConnectionScope {
 public:
  explicit EvDebugConnectionScope(int connection);
  ~EvDebugConnectionScope();
  EvDebugConnectionScope(const EvDebugConnectionScope&) = delete;
  EvDebugConnectionScope& operator=(const EvDebugConnectionScope&) = delete;

 private:
  int m_previous;
};

// The time stamp of every log line of the system, host and handlers alike:
// "YYYY-MM-DD hh:mm:ss.mmm", local time.
void tkLogStamp(char* out, size_t size);

// The media-management flavour of the same log; the table-access classes are
// made over one.
class MMDebug : public EvDebug {
 public:
  MMDebug() = default;
};

// The printf-style text of a format and its arguments (a null format gives
// ""). Every formatter of the platform that builds a text goes through here.
std::string tkVFormat(const char* fmt, va_list args) TK_PRINTF(1, 0);

// Log level values used by VWrite: Error is -1, Debug is 0, DebugLvl(n) is n.
inline constexpr int kEvDebugError = -1;
inline constexpr int kEvDebugDebug = 0;
