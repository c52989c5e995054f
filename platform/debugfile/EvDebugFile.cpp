// Opening of debug-log file instances. The instance is filled in with its
// name and the log's file (empty when the log writes no file); the lines
// themselves go through EvDebug. Failures are scriptable for a number of
// attempts.
#include <atomic>

#include "frame/EvDebugFileInstance.h"
#include "platform/clock/Clock.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/debugfile/DebugFiles.h"

namespace tkdebugfile {
tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}
}  // namespace tkdebugfile

bool EvDebugFile(EvDebugFileInstance* instance, const char* name) {
  const std::string theName = name != nullptr ? name : "";
  tkdebugfile::journal().record("EvDebugFile", theName);
  if (instance == nullptr || theName.empty()) return false;

  tkjournal::Failure failure;
  if (tkdebugfile::journal().takeFailure("EvDebugFile", failure)) {
    EvDebug::Error("EvDebugFile", "cannot open debug log instance [%s]: %s", theName.c_str(), failure.text.c_str());
    return false;
  }
  static std::atomic<int32_t> nextHandle{1};
  instance->m_handle = nextHandle.fetch_add(1);
  instance->m_openedAtMs = tkclock::nowMs();
  instance->m_name = theName;
  instance->m_path = EvDebug::FilePath();
  instance->m_open = true;
  return true;
}
