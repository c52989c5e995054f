// The in-memory NAS filers behind LibNdmpClientAccess.
#include "platform/ndmp/NdmpFilers.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace tkndmp {
namespace {

std::string keyOf(const std::string& host) {
  std::string key = host;
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  return key;
}

struct Filers {
  std::mutex mutex;
  std::map<std::string, Filer> byHost;
};

Filers& filers() {
  static Filers f;
  return f;
}

}  // namespace

void seedFiler(const std::string& host, const Filer& filer) {
  Filers& f = filers();
  std::lock_guard<std::mutex> guard(f.mutex);
  Filer stored = filer;
  stored.loginCount = 0;
  f.byHost[keyOf(host)] = std::move(stored);
}

std::optional<Filer> filer(const std::string& host) {
  Filers& f = filers();
  std::lock_guard<std::mutex> guard(f.mutex);
  const auto it = f.byHost.find(keyOf(host));
  if (it == f.byHost.end()) return std::nullopt;
  return it->second;
}

bool withFiler(const std::string& host, const std::function<void(Filer&)>& work) {
  Filers& f = filers();
  std::lock_guard<std::mutex> guard(f.mutex);
  const auto it = f.byHost.find(keyOf(host));
  if (it == f.byHost.end()) return false;
  work(it->second);
  return true;
}

void resetFilers() {
  Filers& f = filers();
  std::lock_guard<std::mutex> guard(f.mutex);
  f.byHost.clear();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tkndmp
