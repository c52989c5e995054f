#include "platform/catalogue/Catalogue.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace tkcatalogue {
namespace {

struct Store {
  std::mutex mutex;
  std::map<uint32_t, std::string> texts;
};

Store& store() {
  static Store* s = new Store();  // lives for the whole process
  return *s;
}

std::string fill(const std::string& pattern, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      char next = pattern[i + 1];
      if (next == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      if (next >= '1' && next <= '9') {
        size_t index = static_cast<size_t>(next - '1');
        if (index < args.size()) out += args[index];
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

void add(const Text* texts, size_t count) {
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.mutex);
  for (size_t i = 0; i < count; ++i) s.texts[texts[i].id] = texts[i].text != nullptr ? texts[i].text : "";
}

bool has(uint32_t id) {
  Store& s = store();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.texts.count(id) != 0;
}

std::string render(uint32_t id, uint16_t /*locale*/, const std::vector<std::string>& args) {
  std::string pattern;
  bool found = false;
  {
    Store& s = store();
    std::lock_guard<std::mutex> guard(s.mutex);
    auto it = s.texts.find(id);
    if (it != s.texts.end()) {
      pattern = it->second;
      found = true;
    }
  }
  if (found) return fill(pattern, args);
  char head[32];
  std::snprintf(head, sizeof head, "message 0x%08X", id);
  std::string out = head;
  for (const std::string& arg : args) out += " [" + arg + "]";
  return out;
}

}  // namespace tkcatalogue
