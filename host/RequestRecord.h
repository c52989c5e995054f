// How the host turns a decoded request frame into the request record it hands
// to a handler.
#pragma once

#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <string>

#include "frame/MessageInfo.h"
#include "wire/WireCodec.h"

namespace tkhost {

// Fills `record`, which must be freshly made (zeroed), on the connection
// `fd` with the request's head.
inline void fillRecord(MessageInfo& record, const tkwire::RequestHead& request, int fd) {
  record.socket = CWySocket(fd);
  record.secureSocket.SetEstablished(true);
  record.userId = request.userId;
  record.requestKind = request.requestKind;
  record.autoRefreshGuiId = request.autoRefreshGuiId;
  record.origin = request.origin;
  record.sequenceNumber = request.sequence;
  record.objectHandle = request.firstField;  // firstWord and elementCount share these bytes
}

// Fills a fresh record for an element-stream request on the connection
// `fd`: the body fields from the frame and the element stream copied into
// the stream area. False, with the reason in `refusal`, when the stream does
// not fit the area.
inline bool fillStreamRecord(MessageInfo& record, const tkwire::StreamRequest& request, int fd,
                             std::string& refusal) {
  static_assert(sizeof(MessageInfo::elementStream) == tkwire::kMaxElementStream,
                "the wire limit is the stream area of the request record");
  if (request.stream.size() > sizeof(MessageInfo::elementStream)) {
    refusal = "element stream too long: " + std::to_string(request.stream.size()) + " bytes, at most " +
              std::to_string(sizeof(MessageInfo::elementStream));
    return false;
  }
  fillRecord(record, request, fd);
  if (!request.stream.empty()) std::memcpy(record.elementStream, request.stream.data(), request.stream.size());
  return true;
}

// The calling thread's record, made fresh (zeroed) for its next request.
// The host serves a connection on a thread of its own, so the record lives
// as long as the connection and is allocated once: a record allocated and
// freed per request (64 KB) made the allocator give its pages back to the
// system at every free and fault them in again at the next request.
inline MessageInfo& freshThreadRecord() {
  thread_local std::unique_ptr<MessageInfo> record;
  if (!record) {
    record = std::make_unique<MessageInfo>();
  } else {
    static_assert(std::is_trivially_destructible_v<MessageInfo>, "a record is remade in place");
    new (record.get()) MessageInfo();
  }
  return *record;
}

}  // namespace tkhost
