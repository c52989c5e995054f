// Encoding and decoding of the frames between consoles and the host (see
// platform/reply/ReplyFrame.h). The host, the console and the tests share this
// code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/reply/ReplyFrame.h"

namespace tkwire {

struct Item {
  uint32_t tag = 0;
  std::string bytes;

  uint32_t u32() const;      // first 4 bytes as a number (0 when shorter)
  uint64_t u64() const;      // first 8 bytes as a number (0 when shorter)
  // For status items (u32 code followed by a text): the code and the text.
  uint32_t statusCode() const { return u32(); }
  std::string statusText() const { return bytes.size() > 4 ? bytes.substr(4) : std::string(); }
};

struct Reply {
  uint32_t kind = 0;
  uint32_t messageId = 0;
  int64_t sequence = 0;
  std::vector<Item> items;  // kReplyItems
  std::string raw;          // kReplyRaw; kReplyEnd: its 8 bytes

  // An end frame: the request's answers are complete.
  bool isEnd() const { return kind == kReplyEnd; }
  // The result an end frame carries (0 for any other frame).
  int64_t endResult() const;

  // The first item with the tag, or null.
  const Item* find(uint32_t tag) const;
  std::vector<const Item*> findAll(uint32_t tag) const;
};

// What both kinds of request carry ahead of their payload.
struct RequestHead {
  std::string handler;
  uint32_t userId = 1;
  uint32_t requestKind = 0;
  uint32_t autoRefreshGuiId = 0;
  uint32_t origin = 0;
  int64_t sequence = 0;
  uint64_t firstField = 0;  // object handle, or firstWord | elementCount << 32
};

struct StreamRequest : RequestHead {
  std::string stream;  // the element stream bytes
};

struct XmlRequest : RequestHead {
  uint32_t messageId = 0;
  std::string xml;
};

// The host's answer to an XML request (a kReplyRaw frame).
struct XmlAnswer {
  int32_t result = 0;  // the dispatcher's result: 0, or -1 when it wrote no response
  std::string text;    // the response text
};

// The little-endian u32 at `at` of `bytes` (four bytes there, the caller's
// to check), as the wire writes every number.
inline uint32_t u32At(const std::string& bytes, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

// Element-stream helpers: one element is u32 type, u32 length, value.
void appendElement(std::string& stream, uint32_t type, const std::string& value);
void appendU32(std::string& stream, uint32_t type, uint32_t value);
void appendU64(std::string& stream, uint32_t type, uint64_t value);

// The first field of an element-stream request from its two words.
inline uint64_t firstFieldOf(uint32_t firstWord, uint32_t elementCount) {
  return static_cast<uint64_t>(firstWord) | (static_cast<uint64_t>(elementCount) << 32);
}

// Whole frames, length prefix included. A handler name longer than 65,535
// bytes, or a body longer than kMaxFrameBytes, throws std::length_error.
std::string encodeStreamRequest(const StreamRequest& request);
std::string encodeXmlRequest(const XmlRequest& request);
std::string encodeReply(const Reply& reply);
// The host's own answers: the status reply of a refused request, and the raw
// frame that carries an XML response.
std::string encodeStatusReply(int64_t sequence, uint32_t status, const std::string& text);
std::string encodeXmlAnswer(uint32_t messageId, int64_t sequence, int64_t result, const std::string& text);
// One handler of the host's list.
struct HandlerInfo {
  std::string name;
  uint32_t kind = 0;       // kRequestStream or kRequestXml
  uint32_t messageId = 0;  // XML: the one id taken, 0 for any
};
std::string encodeHandlerList(int64_t sequence, const std::vector<HandlerInfo>& handlers);
// The handlers of a kHostHandlerList reply; nullopt for any other reply or
// an item too short.
std::optional<std::vector<HandlerInfo>> decodeHandlerList(const Reply& reply);
// The end frame of the request `sequence`, with the handler's result.
std::string encodeRequestEnd(int64_t sequence, int64_t result);

// Decoding of a frame body (without its length prefix); nullopt when malformed.
std::optional<Reply> decodeReply(const std::string& body);
struct DecodedRequest {
  uint32_t kind = 0;
  StreamRequest stream;
  XmlRequest xml;
};
std::optional<DecodedRequest> decodeRequest(const std::string& body);
// The sequence number of a request frame body, when the body is long enough to
// carry one (even if the rest of it is malformed).
std::optional<int64_t> peekRequestSequence(const std::string& body);
// An XML answer out of a kReplyRaw reply; nullopt for any other reply.
std::optional<XmlAnswer> decodeXmlAnswer(const Reply& reply);

enum class ReadStatus {
  Ok,        // a whole frame was read
  Timeout,   // nothing (or not all of a frame) arrived in time
  Closed,    // the peer closed the connection before a whole frame arrived
  TooLong,   // the length prefix exceeds kMaxFrameBytes (nothing more was read)
  Error,     // the descriptor failed
};
// Reads one frame body from a descriptor. `waitMs` bounds the wait for the
// frame's first byte (a negative value waits without limit); from that byte
// on, the rest of the frame (the length and the body) must arrive within
// `frameMs` (a negative value: without limit), else Timeout. The body buffer
// grows with the bytes that arrive, so a length prefix alone costs nothing
// near the length it names.
ReadStatus readFrame(int fd, int waitMs, int frameMs, std::string& body);
// The same with frameMs = timeoutMs + 1,000 (no limit when timeoutMs is
// negative).
ReadStatus readFrame(int fd, int timeoutMs, std::string& body);
// The same, nullopt for every outcome but Ok.
std::optional<std::string> readFrame(int fd, int timeoutMs);
// Writes all bytes; false when the peer is gone. Never raises SIGPIPE on a
// socket.
bool writeAll(int fd, const std::string& bytes);

// Reads every reply that arrives until an end frame (not returned), none
// comes for quietMs, or the peer closes. Frames that do not decode are skipped.
std::vector<Reply> readReplies(int fd, int quietMs = 100);

// A first line "reply <id> seq <seq>", then one line per item:
// "  tag <n> (<name>) len <n>: <value>", the value shown as text when it is
// printable (a single terminating NUL shown as \0), as a number and a text
// when a 32-bit code precedes a printable text, as a number when it is 4 or 8
// bytes of binary, else in hex. A kReplyRaw reply shows its bytes as one line.
// `valueOf`, when given, may show an item its own way: a non-empty text
// replaces the value shown after "len <n>:".
std::string describe(const Reply& reply, const char* (*nameOf)(uint32_t) = nullptr,
                     std::string (*valueOf)(const Item&) = nullptr);
// A message id as message ids are written: in hex, 0x%08X.
std::string messageIdText(uint32_t messageId);
// For the host's answer to an XML request: "reply <id> seq <seq>" (the id as
// messageIdText writes it), then
// "  result <n>" and "  xml len <n>: <text>". `shownText`, when given, is
// shown in place of the text (the length stays the one the host sent).
std::string describeXmlAnswer(const Reply& reply, const std::string* shownText = nullptr);

}  // namespace tkwire
