// Answers that read as a success but did nothing the request asked for.
// The console says so under the answers and counts the request as failed
// (exit status 3), so that a script or a person never takes "nothing
// happened" for "done":
//   - a listing or record answered with the take-over notice (reply 11055,
//     item 11102 code 4) and nothing else: this connection holds no
//     configuration session;
//   - `library H` answered with an empty record: the handle names nothing
//     in this connection's session (handles last one connection);
//   - an unlock whose answer is "Success" while the handler reports that
//     it released nothing (end result 0): this connection held no lock.
#pragma once

#include "console/CommandLine.h"
#include "wire/WireCodec.h"

namespace tkconsole {

class SilentAnswerCheck {
 public:
  explicit SilentAnswerCheck(const Request& request) : m_request(request) {}

  // Each frame of the request's answers, its end frame included.
  void see(const tkwire::Reply& reply);

  // Once the end frame has been seen: the note to print, or null when the
  // answers said what happened.
  const char* note() const;

 private:
  const Request& m_request;
  bool m_takeOverNotice = false;
  bool m_itemsSeen = false;
  bool m_otherReplies = false;
  bool m_unlockSucceeded = false;
  bool m_endResultZero = false;
};

}  // namespace tkconsole
