// The frames that travel on a client's connection, in both directions.
//
// Every frame is a 32-bit little-endian length (the bytes that follow it, at
// most kMaxFrameBytes), then the body. All integers are little-endian.
//
// Reply frames (server to console), body:
//   u32 kind            kReplyItems, kReplyRaw or kReplyEnd
//   u32 message id      the reply id (1024, 11055, 1017, ...)
//   i64 sequence        the request's sequence number, echoed
//   kReplyItems: u32 item count, then per item: u32 tag, u32 length, bytes
//   kReplyRaw:   the message bytes as given to EvReturnData::sendRaw
//   kReplyEnd:   i64 result (message id kRequestDone)
//
// Request frames (console to host), body:
//   u32 kind            kRequestStream or kRequestXml
//   u16 name length, then the handler name (for example "LockMMConfiguration")
//   kRequestStream: u32 userId, u32 requestKind, u32 autoRefreshGuiId,
//                   u32 origin, i64 sequence, u64 first field (object handle,
//                   or firstWord in its low and elementCount in its high 32
//                   bits), u32 stream length (at most kMaxElementStream), then
//                   the element stream bytes
//   kRequestXml:    u32 userId, u32 requestKind, u32 autoRefreshGuiId,
//                   u32 origin, i64 sequence, u64 first field (as above;
//                   firstWord carries the Tarnfold id), u32 message id,
//                   u32 text length, then the XML text
//   The host answers an XML request with one kReplyRaw frame whose message id
//   is the request's and whose bytes are the response text, after a u32 return
//   value of the dispatcher (0, or 0xFFFFFFFF for -1).
//
// Requests the host itself refuses (a frame it cannot read, a stream longer
// than kMaxElementStream, a handler name it does not know, a request of the
// wrong kind for its handler) are answered with one status reply: message
// kHostStatusReply with the last item kHostStatusItem = u32 status 0 followed
// by the reason text (its length the text's length plus 4), echoing the
// request's sequence number when the frame could be read that far (else 0).
// A frame whose length prefix exceeds kMaxFrameBytes ends the connection
// after that reply, since the stream cannot be followed past it.
//
// The end of a request is explicit: once every answer to a request frame has
// gone out (the handler has returned, or the host has refused the request),
// the host sends one end frame, kind kReplyEnd, message id kRequestDone, the
// request's sequence number (as the refusal echoes it) and the i64 result:
// the element-stream handler's return value, the XML handler's result (as in
// its answer), or kRefusedResult when the host refused the request itself or
// the handler failed. A console reads a request's answers up to its end frame
// and need not wait for the connection to go quiet. A connection the host
// closes (a frame too long or too slow) gets no end frame.
//
// The host answers one request by itself: a stream request for the handler
// kListHandlersName (no elements) gets one kReplyItems reply kHostHandlerList
// with an item kHostHandlerItem per handler of the table, in table order:
// u32 kind (1 element stream, 2 XML), u32 the XML message id it takes (0: any,
// or an element-stream handler), then the name.
#pragma once

#include <cstdint>

#include "frame/ElementTags.h"

namespace tkwire {

inline constexpr uint32_t kMaxFrameBytes = 16u * 1024u * 1024u;

inline constexpr uint32_t kReplyItems = 1;
inline constexpr uint32_t kReplyRaw = 2;
inline constexpr uint32_t kReplyEnd = 3;

inline constexpr uint32_t kRequestDone = 0;
inline constexpr int64_t kRefusedResult = -1;

inline constexpr uint32_t kRequestStream = 1;
inline constexpr uint32_t kRequestXml = 2;

// The largest element stream a request may carry (the stream area of the
// request record).
inline constexpr uint32_t kMaxElementStream = 63536;

inline constexpr uint32_t kHostStatusReply = tktag::kReplyOperationResponse;
inline constexpr uint32_t kHostStatusItem = tktag::kStatus;

// The host's own list of its handlers ("tkhost." cannot begin a handler name).
inline constexpr const char* kListHandlersName = "tkhost.handlers";
inline constexpr uint32_t kHostHandlerList = 0x544B0001;
inline constexpr uint32_t kHostHandlerItem = 1;

}  // namespace tkwire
