#include "platform/xml/detail/Diagnostics.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/debuglog/EvDebug.h"
#include "platform/journal/Journal.h"
#include "platform/xml/Registry.h"

namespace tkxml::detail {
namespace {

constexpr size_t kMaxMismatchTexts = 256;
constexpr size_t kMaxJournal = 1024;

struct NextFailure {
  int code = 0;
  int remaining = 0;
};

struct State {
  std::mutex mutex;
  std::map<Call, NextFailure> next;
  std::map<std::tuple<Call, unsigned, unsigned>, int> byClass;
  std::atomic<bool> anyFailure{false};
  // Calls are journalled only while a test asks for it: production reads and
  // writes never take the mutex for the journal.
  std::atomic<bool> journalOn{false};
  std::atomic<long long> mismatchCount{0};
  std::deque<std::string> mismatchTexts;
  std::deque<testkit::xml::CallRecord> journal;
  std::vector<std::string> registryProblems;
};

State& state() {
  static State* s = new State();  // never destroyed: messages may live until exit
  return *s;
}

void refreshAnyFailure(State& s) {
  bool any = !s.byClass.empty();
  for (const auto& [call, failure] : s.next) any = any || failure.remaining > 0;
  s.anyFailure.store(any);
}

}  // namespace

// The name under which a fault sweep counts each call of the library.
static const char* sweepName(Call call) {
  switch (call) {
    case Call::Initialize:
      return "xml.Initialize";
    case Call::Unserialize:
      return "xml.unserialize";
    case Call::Serialize:
      return "xml.serialize";
  }
  return "xml.call";
}

int injectedFailure(Call call, unsigned ns, unsigned cls) {
  tkjournal::Failure swept;
  if (tkjournal::sweepConsult(sweepName(call), swept)) return swept.code != 0 ? swept.code : -1;
  State& s = state();
  if (!s.anyFailure.load()) return 0;
  std::lock_guard<std::mutex> guard(s.mutex);
  auto byClass = s.byClass.find({call, ns, cls});
  if (call != Call::Initialize && byClass != s.byClass.end()) return byClass->second;
  auto next = s.next.find(call);
  if (next != s.next.end() && next->second.remaining > 0) {
    --next->second.remaining;
    int code = next->second.code;
    refreshAnyFailure(s);
    return code;
  }
  return 0;
}

void recordCall(Call call, unsigned ns, unsigned cls, int result) {
  State& s = state();
  if (!s.journalOn.load(std::memory_order_acquire)) return;
  std::string name = call == Call::Initialize ? std::string() : className(ns, cls);
  std::lock_guard<std::mutex> guard(s.mutex);
  s.journal.push_back({call, ns, cls, std::move(name), result});
  while (s.journal.size() > kMaxJournal) s.journal.pop_front();
}

void reportMismatch(const char* tag, const std::string& text) {
  EvDebug::Error(tag, "%s", text.c_str());
  State& s = state();
  s.mismatchCount.fetch_add(1);
  std::lock_guard<std::mutex> guard(s.mutex);
  s.mismatchTexts.push_back(text);
  while (s.mismatchTexts.size() > kMaxMismatchTexts) s.mismatchTexts.pop_front();
}

void noteRegistryProblem(const std::string& text) {
  EvDebug::Error("tkxml::registerClass", "%s", text.c_str());
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.registryProblems.push_back(text);
}

std::vector<std::string> registryProblemsNoted() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return s.registryProblems;
}

}  // namespace tkxml::detail

namespace testkit::xml {

using tkxml::detail::state;

void failNext(Call call, int code, int count) {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.next[call] = {code, count > 0 ? count : 0};
  tkxml::detail::refreshAnyFailure(s);
}

void failForClass(Call call, unsigned ns, unsigned cls, int code) {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.byClass[{call, ns, cls}] = code;
  tkxml::detail::refreshAnyFailure(s);
}

void clearFailures() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.next.clear();
  s.byClass.clear();
  tkxml::detail::refreshAnyFailure(s);
}

long long mismatchCount() { return state().mismatchCount.load(); }

std::vector<std::string> mismatches() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return {s.mismatchTexts.begin(), s.mismatchTexts.end()};
}

void resetMismatches() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.mismatchCount.store(0);
  s.mismatchTexts.clear();
}

std::vector<CallRecord> journal() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  return {s.journal.begin(), s.journal.end()};
}

void clearJournal() {
  auto& s = state();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.journal.clear();
}

void recordJournal(bool on) { state().journalOn.store(on, std::memory_order_release); }

std::vector<std::string> registryProblems() { return tkxml::registryProblems(); }

Scope::Scope() : m_journalWasOn(state().journalOn.load()) {
  clearFailures();
  resetMismatches();
  clearJournal();
  recordJournal(true);
}

Scope::~Scope() {
  clearFailures();
  resetMismatches();
  clearJournal();
  recordJournal(m_journalWasOn);
}

}  // namespace testkit::xml
