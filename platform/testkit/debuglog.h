// Test control of the diagnostic log: capture what the code under test logs,
// point the file sink elsewhere, and count the lines that were formatted.
#pragma once

#include <string>
#include <vector>

namespace testkit::debuglog {

struct Line {
  int level;        // -1 error, 0 debug, n for DebugLvl(n)
  std::string tag;  // the qualified function name given by the caller
  std::string text; // the formatted text
};

// While one Capture lives, every log line of the process is recorded. Captures
// nest; the first one clears what an earlier capture recorded.
class Capture {
 public:
  Capture();
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  std::vector<Line> lines() const;
  bool contains(const std::string& needle) const;
  bool contains(const std::string& tag, const std::string& needle) const;
  void clear();
};

// Writes the log file into `dir` from now on ("" for no file), as TK_LOG_DIR
// does at start.
void useLogDir(const std::string& dir);

// Lines formatted since the process started (a line no sink takes is never
// formatted, so it is not counted).
long long formattedLines();

}  // namespace testkit::debuglog
