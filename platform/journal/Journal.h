// Call journal and failure script shared by the in-memory stand-ins: a
// journal records each call with its arguments as texts, and a test can make
// the next calls of a named operation fail with a code and a text.
// Thread-safe.
//
// Nothing of it costs a production process anything: recording is off until
// a test turns it on, and while it is off a call records nothing, formats
// nothing and takes no lock (one relaxed atomic load); a failure script that
// holds nothing is one relaxed atomic load too. The test kit turns recording
// on for the whole process with every reset of a journal
// (platform/testkit/<component>.h), so a test that resets the stand-ins it
// uses reads their journals as before.
//
// A stand-in call that can fail in the real component looks like this:
//
//   journal().record("getUserLogin", userId);    // texts made only while recording
//   tkjournal::Failure failure;
//   if (journal().takeFailure("getUserLogin", failure)) return failure.code;
//
// The fault sweep (tests/support/FaultSweep.h, armed through
// platform/testkit/journal.h) stands behind takeFailure: while a sweep is
// armed, every consultation of any journal's failure script in the process
// is counted, and the consultation the sweep names fails. A stand-in with a
// failure script of its own (not a Journal's) consults the sweep with
// sweepConsult so that its calls are swept too.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
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

namespace detail {
// Whether journals record (off until a test turns it on).
extern std::atomic<bool> g_recording;
// The failures scripted in all journals, plus one while a sweep is armed:
// zero means no failure script needs looking at.
extern std::atomic<long> g_scripted;
// The sweep's part of a consultation (false while no sweep is armed).
bool sweepConsultArmed(std::string_view name, Failure& failure);
// Set while the thread stands in for another process.
extern thread_local bool t_outsideSweep;
}  // namespace detail

// Marks the calling thread, for the scope's life, as standing in for another
// process (an in-process service that answers this process's sessions): the
// fault sweep neither counts nor fails its calls, so a sweep over the
// process's own calls sees the same calls in the same order in every run.
// Failures scripted into a journal still apply.
class OutsideSweep {
 public:
  OutsideSweep() : m_was(detail::t_outsideSweep) { detail::t_outsideSweep = true; }
  ~OutsideSweep() { detail::t_outsideSweep = m_was; }
  OutsideSweep(const OutsideSweep&) = delete;
  OutsideSweep& operator=(const OutsideSweep&) = delete;

 private:
  bool m_was;
};

// ---- the recording switch ------------------------------------------------------------

// Whether journals record; turned on and off by the test kit
// (platform/testkit/journal.h) and by every Journal::reset.
inline bool recording() noexcept { return detail::g_recording.load(std::memory_order_relaxed); }

// ---- argument texts -----------------------------------------------------------------

inline std::string text(const std::string& value) { return value; }
inline std::string text(std::string_view value) { return std::string(value); }
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

// ---- the fault sweep ----------------------------------------------------------------

// For a failure script that is not a Journal's: counts one consultation of
// `name` while a sweep is armed (platform/testkit/journal.h) and tells
// whether the sweep fails it (then `failure` is filled in).
inline bool sweepConsult(std::string_view name, Failure& failure) {
  if (detail::g_scripted.load(std::memory_order_relaxed) == 0) return false;
  return detail::sweepConsultArmed(name, failure);
}

// ---- the journal --------------------------------------------------------------------

class Journal {
 public:
  Journal() = default;
  // Failures still scripted go with the journal.
  ~Journal() {
    std::lock_guard<std::mutex> guard(m_mutex);
    dropFailuresLocked();
  }
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Records a call with its arguments already made texts; nothing while
  // recording is off (make the texts only when recording() is true).
  void record(std::string_view name, std::vector<std::string> texts) {
    if (!recording()) return;
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls.push_back(Call{std::string(name), std::move(texts)});
  }
  // Records a call with its arguments (texts or numbers); they are made
  // texts only while recording is on.
  template <class A0, class... A>
  void record(std::string_view name, const A0& first, const A&... rest) {
    if (!recording()) return;
    record(name, args(first, rest...));
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
    if (times <= 0) return;
    std::lock_guard<std::mutex> guard(m_mutex);
    for (int i = 0; i < times; ++i) m_failures[name].push_back(Scripted{Failure{code, text}, 0});
    detail::g_scripted.fetch_add(times);
  }
  // The next `passes` calls of `name` go through, and the one after them
  // fails with the code and text (after failures scripted before it).
  void injectFailureAfter(const std::string& name, int passes, int code, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_failures[name].push_back(Scripted{Failure{code, text}, passes > 0 ? passes : 0});
    detail::g_scripted.fetch_add(1);
  }
  // Takes the next scripted failure of `name`, if any (or the sweep's
  // failure of this consultation).
  bool takeFailure(std::string_view name, Failure& failure) {
    if (detail::g_scripted.load(std::memory_order_relaxed) == 0) return false;
    if (detail::sweepConsultArmed(name, failure)) return true;
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_failures.find(name);
    if (it == m_failures.end() || it->second.empty()) return false;
    Scripted& next = it->second.front();
    if (next.passes > 0) {
      --next.passes;
      return false;
    }
    failure = next.failure;
    it->second.pop_front();
    detail::g_scripted.fetch_sub(1);
    return true;
  }

  // Forgets the calls and the scripted failures, and turns recording on
  // (only tests reset a journal).
  void reset() {
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_calls.clear();
      dropFailuresLocked();
    }
    detail::g_recording.store(true);
  }

 private:
  void dropFailuresLocked() {
    long dropped = 0;
    for (const auto& entry : m_failures) dropped += static_cast<long>(entry.second.size());
    m_failures.clear();
    if (dropped != 0) detail::g_scripted.fetch_sub(dropped);
  }

  // A scripted failure and how many calls go through before it.
  struct Scripted {
    Failure failure;
    int passes = 0;
  };

  mutable std::mutex m_mutex;
  std::deque<Call> m_calls;
  std::map<std::string, std::deque<Scripted>, std::less<>> m_failures;
};

}  // namespace tkjournal
