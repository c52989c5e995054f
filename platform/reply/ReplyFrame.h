// The frames that travel on a client's connection, in both directions.
//
// Every frame is a 32-bit little-endian length (the bytes that follow it, at
// most kMaxFrameBytes), then the body. All integers are little-endian.
//
// Reply frames (server to console), body:
//   u32 kind            kReplyItems or kReplyRaw
//   u32 message id      the reply id (1024, 11055, 1017, ...)
//   i64 sequence        the request's sequence number, echoed
//   kReplyItems: u32 item count, then per item: u32 tag, u32 length, bytes
//   kReplyRaw:   the message bytes as given to EvReturnData::sendRaw
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
#pragma once

#include <cstdint>

namespace tkwire {

inline constexpr uint32_t kMaxFrameBytes = 16u * 1024u * 1024u;

inline constexpr uint32_t kReplyItems = 1;
inline constexpr uint32_t kReplyRaw = 2;

inline constexpr uint32_t kRequestStream = 1;
inline constexpr uint32_t kRequestXml = 2;

// The largest element stream a request may carry (the stream area of the
// request record).
inline constexpr uint32_t kMaxElementStream = 63536;

inline constexpr uint32_t kHostStatusReply = 1024;
inline constexpr uint32_t kHostStatusItem = 2051;

}  // namespace tkwire
