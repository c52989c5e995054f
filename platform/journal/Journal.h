// Call journal and failure script shared by the in-memory stand-ins: every
// call is recorded with its arguments as texts, and a test can make the next
// calls of a named operation fail with a code and a text. Thread-safe.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

namespace tkjournal {

struct Call {
  std::string name;               // operation, e.g. "canManageMediaAgent"
  std::vector<std::string> args;  // arguments in order, as texts
};

struct Failure {
  int code = 0;
  std::string text;
};

class Journal {
 public:
  void record(const std::string& name, std::vector<std::string> args) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.push_back(Call{name, std::move(args)});
  }
  std::vector<Call> calls() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return std::vector<Call>(m_calls.begin(), m_calls.end());
  }
  std::vector<Call> calls(const std::string& name) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<Call> out;
    for (const Call& c : m_calls)
      if (c.name == name) out.push_back(c);
    return out;
  }
  size_t count(const std::string& name) const { return calls(name).size(); }

  // The next `times` calls of `name` fail with the code and text.
  void injectFailure(const std::string& name, int code, const std::string& text, int times = 1) {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (int i = 0; i < times; ++i) m_failures[name].push_back(Failure{code, text});
  }
  // Takes the next scripted failure of `name`, if any.
  bool takeFailure(const std::string& name, Failure& failure) {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_failures.find(name);
    if (it == m_failures.end() || it->second.empty()) return false;
    failure = it->second.front();
    it->second.pop_front();
    return true;
  }

  // Forgets the calls and the scripted failures.
  void reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.clear();
    m_failures.clear();
  }

 private:
  mutable std::mutex m_mutex;
  std::deque<Call> m_calls;
  std::map<std::string, std::deque<Failure>> m_failures;
};

// Argument texts for the journal.
inline std::string text(const std::string& value) { return value; }
inline std::string text(const char* value) { return value != nullptr ? std::string(value) : std::string("(null)"); }
inline std::string text(char* value) { return text(static_cast<const char*>(value)); }
inline std::string text(bool value) { return value ? "true" : "false"; }
template <class T>
std::string text(const T& value) {
  static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T>, "journal arguments are texts or numbers");
  if constexpr (std::is_enum_v<T>) {
    return std::to_string(static_cast<long long>(value));
  } else {
    return std::to_string(value);
  }
}
template <class... A>
std::vector<std::string> args(const A&... values) {
  return {text(values)...};
}

}  // namespace tkjournal
