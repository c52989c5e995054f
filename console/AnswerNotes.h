// Answers that read as a success but did nothing the request asked for.
// The console says so under the answers and counts the request as failed
// (exit status 3), so that a script or a person never takes "nothing
// happened" for "done":
//   - a request answered with the take-over notice (reply 11055, item 11102
//     code 4) and nothing besides bare operation responses (reply 1024 with
//     only an operation and a status), or with the status 1 "Close" that a
//     change gets without an instance, or (an XML request) with a refusal
//     after the notice: this connection holds no configuration session, so
//     the request was not carried out. A handler that finds no session
//     answers "Close", or, the pool additions, "Success"; neither did
//     anything;
//   - a record asked for by its handle (`library H`, `drive H`, ...)
//     answered with no item: the handle names nothing in this connection's
//     session (handles last one connection);
//   - an unlock whose answer is "Success" while the handler reports that
//     it released nothing (end result 0): this connection held no lock.
// Where the advice depends on who holds the configuration lock, the note
// asks (see LockAdvice.h).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "console/CommandLine.h"
#include "console/LockAdvice.h"
#include "wire/WireCodec.h"

namespace tkconsole {

class SilentAnswerCheck {
 public:
  // `typed`: the request as the user wrote it (its word and arguments),
  // named in the advice.
  SilentAnswerCheck(const Request& request, std::string typed)
      : m_request(request), m_typed(std::move(typed)), m_lockOperation(lockOperationOf(request)) {}

  // Each frame of the request's answers, its end frame included.
  void see(const tkwire::Reply& reply);

  // Once the end frame has been seen: the note to print, or empty when the
  // answers said what happened. `lockState` asks the host who holds the
  // lock (called only when the advice depends on it); `console` as in
  // LockAdvice.h.
  std::string note(const std::function<LockState()>& lockState, const std::string& console) const;

  // Once the end frame has been seen: whether the answers say that this
  // connection holds no configuration session (the request was not done).
  bool foundNoSession() const;

  // Once the end frame has been seen: whether this connection holds the
  // configuration lock after the request, when the answers say (a lock
  // taken or released, a session taken over); nullopt when they leave it
  // as it was.
  std::optional<bool> holdsLockAfter() const;

 private:
  const Request& m_request;
  std::string m_typed;
  std::optional<uint32_t> m_lockOperation;
  int64_t m_endResult = 0;
  bool m_xmlAnswered = false;
  bool m_takeOverNotice = false;
  // The notice said that nobody holds the configuration: no session was
  // ever taken on this host.
  bool m_noticeNamesNobody = false;
  bool m_closeAnswer = false;
  // The answer to an XML request refused it.
  bool m_xmlRefused = false;
  // Anything besides the notice and bare operation responses.
  bool m_substance = false;
  bool m_itemsSeen = false;
  bool m_otherReplies = false;
  bool m_unlockSucceeded = false;
};

}  // namespace tkconsole
