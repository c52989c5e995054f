// The host's side of the dispatch table: finds a request's handler by name,
// builds its request record and calls it; answers itself what no handler can.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "entry/HostEntry.h"

namespace tkhost {

// What the host uses of the handler library.
struct HandlerApi {
  TkHostCreateHandlersFn create = nullptr;
  TkHostDestroyHandlersFn destroy = nullptr;
  // Told of each connection that ends; may be null for a table whose
  // handlers keep nothing of a connection (the handler library always has it).
  TkHostConnectionClosedFn closed = nullptr;
  // Told when the answer of an XML request could not be written; may be
  // null (the handler library always has it).
  TkHostAnswerLostFn lost = nullptr;
  const TkHandlerEntry* table = nullptr;
  size_t count = 0;
};

class Dispatcher {
 public:
  // Indexes the table. False, with the reason, when an entry is unusable: no
  // name, an unknown kind, no function for its kind, or a name used twice.
  bool init(const HandlerApi& api, std::string& error);

  const HandlerApi& api() const { return m_api; }
  size_t handlerCount() const { return m_byName.size(); }
  // The entry of a handler name, or null.
  const TkHandlerEntry* find(const std::string& name) const;

  // Serves one request frame body that arrived on the connection `fd`, with
  // the handler objects of that connection. Every answer goes out on `fd`,
  // then the request's end frame with the result.
  void serve(const std::string& body, int fd, TkHandlers* handlers) const;

  // Up to three handler names close to `name` (letter case ignored), the
  // closest first; empty when none is close.
  std::vector<std::string> closestNames(const std::string& name) const;

  // The host's own answer listing the table (see ReplyFrame.h), a whole frame.
  std::string handlerList(int64_t sequence) const;

 private:
  // Answers the request; its result for the end frame. `sequence` is the
  // request's sequence number as far as the frame could be read.
  int64_t answer(const std::string& body, int fd, TkHandlers* handlers, int64_t sequence) const;
  int64_t refuseUnknown(const std::string& name, int fd, int64_t sequence) const;

  HandlerApi m_api;
  std::unordered_map<std::string, const TkHandlerEntry*> m_byName;
};

// Answers a request the host refuses: one status reply with status 0 and the
// reason. False when the connection is gone.
bool refuse(int fd, int64_t sequence, const std::string& reason);

// How long the rest of a request frame may take once its first byte has
// arrived, unless the host is told otherwise.
inline constexpr int kDefaultFrameDeadlineMs = 10000;

// Serves one connection until its peer closes it, it is shut down, or a
// request frame that has begun is not complete within `frameDeadlineMs`:
// reads request frames and hands each to the dispatcher. Between frames the
// connection may stay idle without limit. Makes the connection's handler
// objects first; at the end tells the handler library that the connection
// has ended (while `fd` is still open, so that its number cannot yet belong
// to another connection) and destroys them.
void serveConnection(int fd, const Dispatcher& dispatcher, int frameDeadlineMs = kDefaultFrameDeadlineMs);

}  // namespace tkhost
