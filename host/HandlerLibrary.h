// The handler library, loaded with dlopen, and its entry points.
#pragma once

#include <memory>
#include <string>

#include "host/Dispatcher.h"

namespace tkhost {

class HandlerLibrary {
 public:
  // Loads the library and looks up its entry points; null, with the reason,
  // when it cannot be loaded, lacks an entry point or was built against
  // another layout of the entry points.
  static std::unique_ptr<HandlerLibrary> open(const std::string& path, std::string& error);
  ~HandlerLibrary();  // unloads the library
  HandlerLibrary(const HandlerLibrary&) = delete;
  HandlerLibrary& operator=(const HandlerLibrary&) = delete;

  const std::string& path() const { return m_path; }
  const HandlerApi& api() const { return m_api; }
  // Fills an empty database with the demonstration installation: the number
  // of objects made, or -1; `message` says what happened.
  int seedDemo(std::string& message) const;

  // The default place of the library: next to the running executable.
  static std::string defaultPath();

 private:
  HandlerLibrary() = default;

  void* m_handle = nullptr;
  std::string m_path;
  HandlerApi m_api;
  TkHostSeedDemoFn m_seed = nullptr;
};

}  // namespace tkhost
