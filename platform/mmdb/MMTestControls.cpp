// The test seam of the media-management table access and the client-info
// objects: the journal of calls and the scripted failures behind
// platform/testkit/mmdb.h. Production code asks only journalOn and
// takeFailure (platform/mmdb/MMJournal.h); both stay off until a test turns
// the journal on.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mmdb/MMJournal.h"

namespace tkmmdb {

namespace {

struct Hooks {
  std::atomic<bool> on{false};
  tkjournal::Journal journal;
  std::mutex mutex;
  std::map<std::string, std::vector<Failure>> failures;
};

Hooks& hooks() {
  static Hooks* h = new Hooks();  // never destroyed: used until the process ends
  return *h;
}

}  // namespace

bool journalOn() { return hooks().on.load(std::memory_order_relaxed); }
void setJournalOn(bool on) { hooks().on.store(on); }
tkjournal::Journal& journal() { return hooks().journal; }

void injectFailure(const std::string& call, int code, const std::string& text, int dbError, int times) {
  std::lock_guard<std::mutex> guard(hooks().mutex);
  for (int i = 0; i < times; ++i) hooks().failures[call].push_back(Failure{code, dbError, text});
}

bool takeFailure(const std::string& call, Failure& failure) {
  if (!journalOn()) return false;
  {
    std::lock_guard<std::mutex> guard(hooks().mutex);
    auto it = hooks().failures.find(call);
    if (it != hooks().failures.end() && !it->second.empty()) {
      failure = it->second.front();
      it->second.erase(it->second.begin());
      return true;
    }
  }
  // A failure scripted on the journal itself (the fault sweep fails calls
  // there): the database was not asked, so there is no database result.
  tkjournal::Failure scripted;
  if (!hooks().journal.takeFailure(call, scripted)) return false;
  failure = Failure{scripted.code, 0, scripted.text};
  return true;
}

void resetTestState() {
  hooks().journal.reset();
  std::lock_guard<std::mutex> guard(hooks().mutex);
  hooks().failures.clear();
}

}  // namespace tkmmdb

