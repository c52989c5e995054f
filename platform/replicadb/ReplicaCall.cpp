// The run of one replica database call: journal, failure script, one
// transaction.
#include "platform/replicadb/ReplicaCall.h"

#include <string_view>

#include "platform/db/DBtable.h"

namespace tkreplicadb {

tkjournal::Journal& journal() {
  static tkjournal::Journal instance;
  return instance;
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
