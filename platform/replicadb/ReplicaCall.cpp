// The run of one replica database call: journal, failure script, one
// transaction.
#include "platform/replicadb/ReplicaCall.h"

#include <atomic>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/db/DBtable.h"

namespace tkreplicadb {

tkjournal::Journal& journal() {
  static tkjournal::Journal instance;
  return instance;
}

namespace {

// A failure waiting for a later call of its operation.
struct LaterFailure {
  std::string name;
  int callsLeft = 0;  // this many calls of `name` more, the last of them failing
  tkjournal::Failure failure;
};
std::mutex g_laterMutex;
std::vector<LaterFailure> g_later;
// Whether any is waiting: a call looks no further while none is.
std::atomic<bool> g_anyLater{false};

// Counts a call of `name` against the waiting failures; the one whose call
// this is goes into the journal's failure script, where the call meets it.
void countLaterFailures(const char* name) {
  std::lock_guard<std::mutex> guard(g_laterMutex);
  for (auto it = g_later.begin(); it != g_later.end();) {
    if (it->name == name && --it->callsLeft == 0) {
      journal().injectFailure(it->name, it->failure.code, it->failure.text);
      it = g_later.erase(it);
    } else {
      ++it;
    }
  }
  g_anyLater.store(!g_later.empty());
}

}  // namespace

void failCallAt(const std::string& name, int nth, int code, const std::string& text) {
  if (nth <= 0) return;
  std::lock_guard<std::mutex> guard(g_laterMutex);
  g_later.push_back(LaterFailure{name, nth, tkjournal::Failure{code, text}});
  g_anyLater.store(true);
}

void forgetCallFailures() {
  std::lock_guard<std::mutex> guard(g_laterMutex);
  g_later.clear();
  g_anyLater.store(false);
}

std::string missing(const char* what, long long id) {
  return std::string(what) + " " + std::to_string(id) + " does not exist";
}

namespace detail {

bool readsOnly(const char* name) {
  std::string_view call(name);
  const std::size_t scope = call.rfind("::");
  if (scope != std::string_view::npos) call.remove_prefix(scope + 2);
  for (const std::string_view verb : {"Get", "Query", "Browse", "Find"})
    if (call.substr(0, verb.size()) == verb) return true;
  return false;
}

bool run(const Operation& op, DBtran* tran, const std::function<int(tkdb::Session&, Outcome&)>& work, std::string& text,
         int32_t& code, bool& refused) {
  if (tkjournal::recording()) {
    std::vector<std::string> args{std::to_string(op.version)};
    for (long long id : op.ids) args.push_back(std::to_string(id));
    journal().record(op.name, std::move(args));
  }
  if (g_anyLater.load(std::memory_order_relaxed)) countLaterFailures(op.name);
  tkjournal::Failure failure;
  if (journal().takeFailure(op.name, failure)) {
    text = failure.text;
    code = failure.code;
    refused = true;
    return false;
  }
  tkdb::Session session(tran);
  Outcome outcome;
  auto body = [&] { return work(session, outcome); };
  const int rc = readsOnly(op.name) ? session.reading(body) : session.atomically(body);
  if (rc == 0) return true;
  if (outcome.refused()) {
    refused = true;
    text = outcome.text();
    code = outcome.code();
    return false;
  }
  text = std::string(op.name) + ": the replica database failed (" + DBtable::getErrorStr(rc) +
         (session.errorText().empty() ? "" : ": " + session.errorText()) + ")";
  code = -1;
  return false;
}

}  // namespace detail

}  // namespace tkreplicadb
