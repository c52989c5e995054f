#include "host/HandlerLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace tkhost {
namespace {

template <typename Fn>
bool lookup(void* handle, const char* name, Fn& fn, std::string& error) {
  dlerror();
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    const char* reason = dlerror();
    error = std::string("the handler library lacks ") + name + (reason != nullptr ? std::string(": ") + reason : "");
    return false;
  }
  fn = reinterpret_cast<Fn>(symbol);
  return true;
}

}  // namespace

std::string HandlerLibrary::defaultPath() {
  char exe[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "libtkmmconfig.so";
  std::string path(exe, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/libtkmmconfig.so";
}

std::unique_ptr<HandlerLibrary> HandlerLibrary::open(const std::string& path, std::string& error) {
  std::unique_ptr<HandlerLibrary> lib(new HandlerLibrary());
  lib->m_path = path;
  // A name without a slash would be searched on the library path; the host
  // means a file.
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  lib->m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib->m_handle == nullptr) {
    const char* reason = dlerror();
    error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
    return nullptr;
  }
  TkHostEntryVersionFn version = nullptr;
  TkHostHandlerTableFn table = nullptr;
  if (!lookup(lib->m_handle, kTkHostEntryVersionSymbol, version, error) ||
      !lookup(lib->m_handle, kTkHostCreateHandlersSymbol, lib->m_api.create, error) ||
      !lookup(lib->m_handle, kTkHostDestroyHandlersSymbol, lib->m_api.destroy, error) ||
      !lookup(lib->m_handle, kTkHostHandlerTableSymbol, table, error) ||
      !lookup(lib->m_handle, kTkHostSeedDemoSymbol, lib->m_seed, error) ||
      !lookup(lib->m_handle, kTkHostConnectionClosedSymbol, lib->m_api.closed, error) ||
      !lookup(lib->m_handle, kTkHostAnswerLostSymbol, lib->m_api.lost, error))
    return nullptr;
  uint32_t v = version();
  if (v != kTkHostEntryVersion) {
    error = path + " has entry points of version " + std::to_string(v) + ", the host needs " +
            std::to_string(kTkHostEntryVersion);
    return nullptr;
  }
  lib->m_api.table = table(&lib->m_api.count);
  return lib;
}

HandlerLibrary::~HandlerLibrary() {
  if (m_handle != nullptr) dlclose(m_handle);
}

int HandlerLibrary::seedDemo(std::string& message) const {
  // Room for the whole summary of the demonstration installation: a cut
  // one left out what the newcomer is told last (the NAS client).
  char reason[4096] = {};
  int made = m_seed(reason, sizeof reason);
  message = reason;
  return made;
}

}  // namespace tkhost
