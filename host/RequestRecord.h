// How the host turns a decoded request frame into the request record it hands
// to a handler.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#include <string>

#include "frame/MessageInfo.h"
#include "wire/WireCodec.h"

namespace tkhost {

// The calling thread's record and how far into its stream area streams were
// copied since it was last made fresh.
struct ThreadRecord {
  std::unique_ptr<MessageInfo> record;
  std::size_t streamWritten = 0;
};

inline ThreadRecord& threadRecord() {
  thread_local ThreadRecord thread;
  return thread;
}

// Notes that the first `length` bytes of `record`'s stream area were written,
// when it is the calling thread's record.
inline void noteStreamWritten(const MessageInfo& record, std::size_t length) {
  ThreadRecord& thread = threadRecord();
  if (&record == thread.record.get() && length > thread.streamWritten) thread.streamWritten = length;
}

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
  if (!request.stream.empty()) {
    std::memcpy(record.elementStream, request.stream.data(), request.stream.size());
    noteStreamWritten(record, request.stream.size());
  }
  return true;
}

// The calling thread's record, made fresh (as a newly made record reads) for
// its next request. The host serves a connection on a thread of its own, so
// the record lives as long as the connection and is allocated once: a
// record allocated and freed per request (64 KB) made the allocator give its
// pages back to the system at every free and fault them in again at the
// next request. Made fresh, only its head and the part of the stream area
// that streams were copied into since are written: zeroing all 64 KB for
// every request cost a lock/unlock pair about 6% of the host's CPU, and
// evicted the caches the request was about to use. Handlers read the stream
// area and do not write it (a debug build checks every fresh record whole).
inline MessageInfo& freshThreadRecord() {
  static_assert(std::is_trivially_destructible_v<MessageInfo>, "a record is remade in place");
  static_assert(std::is_trivially_copyable_v<MessageInfo> && std::is_standard_layout_v<MessageInfo>,
                "a record's head is copied from a fresh one");
  static_assert(offsetof(MessageInfo, elementStream) + sizeof(MessageInfo::elementStream) == sizeof(MessageInfo),
                "the stream area ends the record: the head is all the rest");
  ThreadRecord& thread = threadRecord();
  if (!thread.record) {
    thread.record = std::make_unique<MessageInfo>();
    thread.streamWritten = 0;
    return *thread.record;
  }
  static const std::unique_ptr<const MessageInfo> fresh = std::make_unique<const MessageInfo>();
  MessageInfo& record = *thread.record;
  std::memcpy(static_cast<void*>(&record), static_cast<const void*>(fresh.get()), offsetof(MessageInfo, elementStream));
  std::memset(record.elementStream, 0, thread.streamWritten);
  thread.streamWritten = 0;
#ifndef NDEBUG
  if (std::memcmp(static_cast<const void*>(&record), static_cast<const void*>(fresh.get()), sizeof record) != 0) {
    std::fputs("tkhost: a request record made fresh is not: its stream area was written past what was noted\n", stderr);
    std::abort();
  }
#endif
  return record;
}

}  // namespace tkhost
