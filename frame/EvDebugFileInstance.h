// A handle of one debug-log file instance, filled in by the log service when
// the instance is opened with EvDebugFile.
#pragma once

#include <cstdint>
#include <string>

class EvDebugFileInstance {
 public:
  EvDebugFileInstance() = default;

  int32_t m_handle = -1;  // -1 while the instance is not open
  int64_t m_openedAtMs = 0;
  int64_t m_bytesWritten = 0;
  int32_t m_level = 1;
  int32_t m_files = 1;
  int64_t m_maxSize = 0;
  std::string m_name;
  bool m_open = false;
  int64_t m_reserved1 = 0;
  std::string m_path;
  int64_t m_reserved2 = 0;

  bool isOpen() const { return m_open; }
};

// Opens the debug-log instance of the given name (platform); true when the
// instance is open afterwards. A failed open leaves the instance closed, and
// a later call may try again.
bool EvDebugFile(EvDebugFileInstance* instance, const char* name);
