// How every operation of the replica database service runs: it is
// journaled (operation, struct version, ids, mask), may meet a failure a
// test injected under its name, and does its work as one transaction: the
// caller's (a DBtran given to the replication manager), the thread's open
// one (as a savepoint), or its own. Whatever fails undoes all the call did,
// and the result struct gets the error text (and its result code where it
// has one); a read that fails leaves the payload empty. The calls that read
// (named Get..., Query..., Browse..., Find...) take no write lock: a
// listing is not held up, or answered empty, while another connection
// writes.
//
//   bool ReplicaDBClient::DeleteQRAppliance(const DeleteQRApplianceArgs_t& a, DeleteQRApplianceRet_t& r) {
//     return runCall({"DeleteQRAppliance", 1, {a.applianceId}}, nullptr, r,
//                    [&](tkdb::Session& s, Outcome& out, DeleteQRApplianceRet_t&) {
//                      ... return 0, out.db(rc), or out.refuse(code, "text") ...
//                    });
//   }
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/journal/Journal.h"

class DBtran;

namespace tkreplicadb {

// The journal and failure script of the service (platform/testkit/replicadb.h).
tkjournal::Journal& journal();

struct Operation {
  const char* name;
  int version;
  std::initializer_list<long long> ids;  // the ids (and the change mask) the call carries
};

// What a failing call reports. A refusal is a decision of the service
// about the state it found (with a text and a result code); anything else
// is a failure of the database.
class Outcome {
 public:
  // The database failed with `rc` (non-zero); the text is made from it.
  int db(int rc) { return rc; }
  int refuse(int32_t code, std::string text) {
    m_refused = true;
    m_code = code;
    m_text = std::move(text);
    return kRefused;
  }
  int refuse(std::string text) { return refuse(-1, std::move(text)); }

  bool refused() const { return m_refused; }
  int32_t code() const { return m_code; }
  const std::string& text() const { return m_text; }

  static constexpr int kRefused = -1000;

 private:
  bool m_refused = false;
  int32_t m_code = -1;
  std::string m_text;
};

namespace detail {
// Whether the call of that name only reads (its name's verb says so).
bool readsOnly(const char* name);
// Journals the call, consults the failure script, runs `work` atomically.
// True on success; otherwise `text`, `code` and whether the work refused.
bool run(const Operation& op, DBtran* tran, const std::function<int(tkdb::Session&, Outcome&)>& work, std::string& text,
         int32_t& code, bool& refused);
}  // namespace detail

template <class Ret>
concept HasResultCode = requires(Ret r) {
  r.resultCode;
};

template <class Ret, class Work>
bool runCall(const Operation& op, DBtran* tran, Ret& ret, Work work) {
  Ret fresh{};
  std::string text;
  int32_t code = -1;
  bool refused = false;
  bool ok = detail::run(
      op, tran, [&](tkdb::Session& session, Outcome& out) { return work(session, out, fresh); }, text, code, refused);
  // A refusal may report what it found (an id, a zero client); a failed
  // read reports nothing of what it read before it failed.
  if (ok || refused) {
    ret = std::move(fresh);
  } else {
    ret = Ret{};
  }
  ret.errorText = text;
  if constexpr (HasResultCode<Ret>) {
    if (!ok) ret.resultCode = code;
  }
  return ok;
}

// A text for a refusal about an object: "<what> <id> does not exist".
std::string missing(const char* what, long long id);

}  // namespace tkreplicadb
