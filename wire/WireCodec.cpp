#include "wire/WireCodec.h"

#include "wire/ReadSteps.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace tkwire {
namespace {

// Little-endian numbers, appended whole.
template <class T>
void putLE(std::string& out, T v) {
  char bytes[sizeof v];
  for (size_t i = 0; i < sizeof v; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  out.append(bytes, sizeof bytes);
}
void putU16(std::string& out, uint16_t v) { putLE(out, v); }
void putU32(std::string& out, uint32_t v) { putLE(out, v); }
void putU64(std::string& out, uint64_t v) { putLE(out, v); }

std::string withLength(const std::string& body) {
  if (body.size() > kMaxFrameBytes) throw std::length_error("frame longer than the frame limit");
  std::string out;
  out.reserve(body.size() + 4);
  putU32(out, static_cast<uint32_t>(body.size()));
  return out + body;
}

void putName(std::string& body, const std::string& name) {
  if (name.size() > 0xFFFF) throw std::length_error("handler name longer than 65535 bytes");
  putU16(body, static_cast<uint16_t>(name.size()));
  body += name;
}

class Cursor {
 public:
  explicit Cursor(const std::string& s) : m_s(s) {}
  bool u16(uint16_t& v) { return take(v, 2); }
  bool u32(uint32_t& v) { return take(v, 4); }
  bool u64(uint64_t& v) { return take(v, 8); }
  bool bytes(std::string& out, size_t n) {
    if (m_s.size() - m_pos < n) return false;
    out.assign(m_s, m_pos, n);
    m_pos += n;
    return true;
  }
  std::string rest() { return m_s.substr(m_pos); }
  bool done() const { return m_pos == m_s.size(); }
  size_t left() const { return m_s.size() - m_pos; }

 private:
  template <typename T>
  bool take(T& v, size_t n) {
    if (m_s.size() - m_pos < n) return false;
    uint64_t acc = 0;
    for (size_t i = 0; i < n; ++i) acc |= static_cast<uint64_t>(static_cast<uint8_t>(m_s[m_pos + i])) << (8 * i);
    v = static_cast<T>(acc);
    m_pos += n;
    return true;
  }
  const std::string& m_s;
  size_t m_pos = 0;
};

uint64_t leNumber(const std::string& bytes, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width && i < bytes.size(); ++i) v |= static_cast<uint64_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
  return v;
}

// Reads exactly n bytes, all of them by `deadline` (a steady-clock time in
// ms; negative: no limit).
ReadStatus readExact(int fd, char* buf, size_t n, int64_t deadline) {
  size_t got = 0;
  while (got < n) {
    size_t k = 0;
    const ReadStatus s = detail::readSome(fd, buf + got, n - got, deadline, k);
    if (s != ReadStatus::Ok) return s;
    got += k;
  }
  return ReadStatus::Ok;
}

using detail::deadlineAfter;
using detail::kFirstBodyChunk;

bool printableByte(unsigned char ch) { return (ch >= 0x20 && ch < 0x7F) || ch == '\t' || ch == '\n' || ch == '\r'; }

// Printable text, optionally followed by one terminating NUL.
bool isText(const std::string& bytes, size_t from, bool allowNul = true) {
  if (bytes.size() <= from) return false;
  size_t end = bytes.size();
  if (allowNul && bytes[end - 1] == '\0') --end;
  if (end == from) return false;
  for (size_t i = from; i < end; ++i)
    if (!printableByte(static_cast<unsigned char>(bytes[i]))) return false;
  return true;
}

std::string quoted(const std::string& bytes, size_t from) {
  static const char digits[] = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = from; i < bytes.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(bytes[i]);
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (ch >= 0x20 && ch < 0x7F) {
          out.push_back(static_cast<char>(ch));
        } else {
          out += "\\x";
          out.push_back(digits[ch >> 4]);
          out.push_back(digits[ch & 15]);
        }
    }
  }
  out += "\"";
  return out;
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char ch : bytes) {
    out.push_back(digits[ch >> 4]);
    out.push_back(digits[ch & 15]);
  }
  return out;
}

}  // namespace

uint32_t Item::u32() const { return bytes.size() >= 4 ? static_cast<uint32_t>(leNumber(bytes, 4)) : 0; }
uint64_t Item::u64() const { return bytes.size() >= 8 ? leNumber(bytes, 8) : 0; }

const Item* Reply::find(uint32_t tag) const {
  for (const Item& item : items)
    if (item.tag == tag) return &item;
  return nullptr;
}

std::vector<const Item*> Reply::findAll(uint32_t tag) const {
  std::vector<const Item*> out;
  for (const Item& item : items)
    if (item.tag == tag) out.push_back(&item);
  return out;
}

void appendElement(std::string& stream, uint32_t type, const std::string& value) {
  putU32(stream, type);
  putU32(stream, static_cast<uint32_t>(value.size()));
  stream += value;
}

void appendU32(std::string& stream, uint32_t type, uint32_t value) {
  std::string v;
  putU32(v, value);
  appendElement(stream, type, v);
}

void appendU64(std::string& stream, uint32_t type, uint64_t value) {
  std::string v;
  putU64(v, value);
  appendElement(stream, type, v);
}

namespace {

void putRequestHead(std::string& body, uint32_t kind, const RequestHead& r) {
  putU32(body, kind);
  putName(body, r.handler);
  putU32(body, r.userId);
  putU32(body, r.requestKind);
  putU32(body, r.autoRefreshGuiId);
  putU32(body, r.origin);
  putU64(body, static_cast<uint64_t>(r.sequence));
  putU64(body, r.firstField);
}

// The head after the kind and the name; false when the body is too short.
bool readRequestHead(Cursor& c, RequestHead& r) {
  uint64_t seq = 0;
  if (!c.u32(r.userId) || !c.u32(r.requestKind) || !c.u32(r.autoRefreshGuiId) || !c.u32(r.origin) ||
      !c.u64(seq) || !c.u64(r.firstField))
    return false;
  r.sequence = static_cast<int64_t>(seq);
  return true;
}

}  // namespace

std::string encodeStreamRequest(const StreamRequest& r) {
  std::string body;
  putRequestHead(body, kRequestStream, r);
  if (r.stream.size() > kMaxFrameBytes) throw std::length_error("element stream longer than the frame limit");
  putU32(body, static_cast<uint32_t>(r.stream.size()));
  body += r.stream;
  return withLength(body);
}

std::string encodeXmlRequest(const XmlRequest& r) {
  std::string body;
  putRequestHead(body, kRequestXml, r);
  putU32(body, r.messageId);
  if (r.xml.size() > kMaxFrameBytes) throw std::length_error("XML text longer than the frame limit");
  putU32(body, static_cast<uint32_t>(r.xml.size()));
  body += r.xml;
  return withLength(body);
}

std::string encodeReply(const Reply& r) {
  std::string body;
  putU32(body, r.kind);
  putU32(body, r.messageId);
  putU64(body, static_cast<uint64_t>(r.sequence));
  if (r.kind == kReplyItems) {
    putU32(body, static_cast<uint32_t>(r.items.size()));
    for (const Item& item : r.items) {
      putU32(body, item.tag);
      putU32(body, static_cast<uint32_t>(item.bytes.size()));
      body += item.bytes;
    }
  } else {
    body += r.raw;
  }
  return withLength(body);
}

std::string encodeStatusReply(int64_t sequence, uint32_t status, const std::string& text) {
  Reply r;
  r.kind = kReplyItems;
  r.messageId = kHostStatusReply;
  r.sequence = sequence;
  Item item;
  item.tag = kHostStatusItem;
  putU32(item.bytes, status);
  item.bytes += text;
  r.items.push_back(std::move(item));
  return encodeReply(r);
}

std::string encodeXmlAnswer(uint32_t messageId, int64_t sequence, int64_t result, const std::string& text) {
  Reply r;
  r.kind = kReplyRaw;
  r.messageId = messageId;
  r.sequence = sequence;
  putU32(r.raw, static_cast<uint32_t>(static_cast<int32_t>(result)));
  r.raw += text;
  return encodeReply(r);
}

std::string encodeHandlerList(int64_t sequence, const std::vector<HandlerInfo>& handlers) {
  Reply r;
  r.kind = kReplyItems;
  r.messageId = kHostHandlerList;
  r.sequence = sequence;
  for (const HandlerInfo& h : handlers) {
    Item item;
    item.tag = kHostHandlerItem;
    putU32(item.bytes, h.kind);
    putU32(item.bytes, h.messageId);
    item.bytes += h.name;
    r.items.push_back(std::move(item));
  }
  return encodeReply(r);
}

std::optional<std::vector<HandlerInfo>> decodeHandlerList(const Reply& reply) {
  if (reply.kind != kReplyItems || reply.messageId != kHostHandlerList) return std::nullopt;
  std::vector<HandlerInfo> out;
  for (const Item& item : reply.items) {
    if (item.tag != kHostHandlerItem || item.bytes.size() <= 8) return std::nullopt;
    HandlerInfo h;
    h.kind = static_cast<uint32_t>(leNumber(item.bytes, 4));
    h.messageId = static_cast<uint32_t>(leNumber(item.bytes.substr(4), 4));
    h.name = item.bytes.substr(8);
    out.push_back(std::move(h));
  }
  return out;
}

std::string encodeRequestEnd(int64_t sequence, int64_t result) {
  Reply r;
  r.kind = kReplyEnd;
  r.messageId = kRequestDone;
  r.sequence = sequence;
  putU64(r.raw, static_cast<uint64_t>(result));
  return encodeReply(r);
}

int64_t Reply::endResult() const {
  return isEnd() && raw.size() == 8 ? static_cast<int64_t>(leNumber(raw, 8)) : 0;
}

std::optional<Reply> decodeReply(const std::string& body) {
  Cursor c(body);
  Reply r;
  uint64_t seq = 0;
  if (!c.u32(r.kind) || !c.u32(r.messageId) || !c.u64(seq)) return std::nullopt;
  r.sequence = static_cast<int64_t>(seq);
  if (r.kind == kReplyItems) {
    uint32_t count = 0;
    if (!c.u32(count)) return std::nullopt;
    // Each item takes at least its 8 header bytes: a count beyond what the
    // body can hold reserves no more than the body allows.
    r.items.reserve(std::min<size_t>(count, c.left() / 8));
    for (uint32_t i = 0; i < count; ++i) {
      Item item;
      uint32_t len = 0;
      if (!c.u32(item.tag) || !c.u32(len) || !c.bytes(item.bytes, len)) return std::nullopt;
      r.items.push_back(std::move(item));
    }
    if (!c.done()) return std::nullopt;
  } else if (r.kind == kReplyRaw) {
    r.raw = c.rest();
  } else if (r.kind == kReplyEnd) {
    r.raw = c.rest();
    if (r.raw.size() != 8) return std::nullopt;
  } else {
    return std::nullopt;
  }
  return r;
}

std::optional<DecodedRequest> decodeRequest(const std::string& body) {
  Cursor c(body);
  DecodedRequest d;
  uint16_t nameLen = 0;
  std::string name;
  if (!c.u32(d.kind) || !c.u16(nameLen) || !c.bytes(name, nameLen)) return std::nullopt;
  uint32_t len = 0;
  if (d.kind == kRequestStream) {
    StreamRequest& r = d.stream;
    r.handler = name;
    if (!readRequestHead(c, r) || !c.u32(len) || !c.bytes(r.stream, len) || !c.done()) return std::nullopt;
  } else if (d.kind == kRequestXml) {
    XmlRequest& r = d.xml;
    r.handler = name;
    if (!readRequestHead(c, r) || !c.u32(r.messageId) || !c.u32(len) || !c.bytes(r.xml, len) || !c.done())
      return std::nullopt;
  } else {
    return std::nullopt;
  }
  return d;
}

std::optional<int64_t> peekRequestSequence(const std::string& body) {
  Cursor c(body);
  uint32_t kind = 0;
  uint16_t nameLen = 0;
  std::string skip;
  if (!c.u32(kind) || !c.u16(nameLen) || !c.bytes(skip, nameLen)) return std::nullopt;
  // Both kinds carry the sequence number behind four 32-bit numbers.
  if ((kind != kRequestStream && kind != kRequestXml) || !c.bytes(skip, 16))
    return std::nullopt;
  uint64_t seq = 0;
  if (!c.u64(seq)) return std::nullopt;
  return static_cast<int64_t>(seq);
}

std::optional<XmlAnswer> decodeXmlAnswer(const Reply& reply) {
  if (reply.kind != kReplyRaw || reply.raw.size() < 4) return std::nullopt;
  XmlAnswer a;
  a.result = static_cast<int32_t>(static_cast<uint32_t>(leNumber(reply.raw, 4)));
  a.text = reply.raw.substr(4);
  return a;
}

namespace detail {

int64_t deadlineAfter(int ms) {
  if (ms < 0) return -1;
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
             .count() +
         ms;
}

ReadStatus readSome(int fd, char* to, size_t room, int64_t deadline, size_t& n) {
  for (;;) {
    if (deadline >= 0) {
      const int64_t left = deadline - deadlineAfter(0);
      pollfd p{fd, POLLIN, 0};
      const int r = ::poll(&p, 1, static_cast<int>(left < 0 ? 0 : left));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return ReadStatus::Error;
      if (r == 0) return ReadStatus::Timeout;
    }
    const ssize_t k = ::read(fd, to, room);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) return errno == ECONNRESET ? ReadStatus::Closed : ReadStatus::Error;
    if (k == 0) return ReadStatus::Closed;
    n = static_cast<size_t>(k);
    return ReadStatus::Ok;
  }
}

}  // namespace detail

ReadStatus readFrame(int fd, int waitMs, int frameMs, std::string& body) {
  body.clear();
  // The first read waits for the frame to begin and takes as much of its
  // length as has come (usually all four bytes, in one read).
  char head[4];
  size_t have = 0;
  ReadStatus s = detail::readSome(fd, head, sizeof head, deadlineAfter(waitMs), have);
  if (s != ReadStatus::Ok) return s;
  const int64_t deadline = deadlineAfter(frameMs);
  s = readExact(fd, head + have, sizeof head - have, deadline);
  if (s != ReadStatus::Ok) return s;
  uint32_t len = static_cast<uint32_t>(leNumber(std::string(head, 4), 4));
  if (len > kMaxFrameBytes) return ReadStatus::TooLong;
  size_t got = 0;
  while (got < len) {
    const size_t step = std::min<size_t>(len - got, std::max(kFirstBodyChunk, got));
    body.resize(got + step);
    s = readExact(fd, body.data() + got, step, deadline);
    if (s != ReadStatus::Ok) {
      body.clear();
      return s;
    }
    got += step;
  }
  return ReadStatus::Ok;
}

ReadStatus readFrame(int fd, int timeoutMs, std::string& body) {
  return readFrame(fd, timeoutMs, timeoutMs < 0 ? -1 : timeoutMs + 1000, body);
}

std::optional<std::string> readFrame(int fd, int timeoutMs) {
  std::string body;
  if (readFrame(fd, timeoutMs, body) != ReadStatus::Ok) return std::nullopt;
  return body;
}

bool writeAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  bool socket = true;
  while (sent < bytes.size()) {
    ssize_t k = socket ? ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)
                       : ::write(fd, bytes.data() + sent, bytes.size() - sent);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && socket && errno == ENOTSOCK) {
      socket = false;
      continue;
    }
    if (k <= 0) return false;
    sent += static_cast<size_t>(k);
  }
  return true;
}

std::vector<Reply> readReplies(int fd, int quietMs) {
  std::vector<Reply> out;
  std::string body;
  while (readFrame(fd, quietMs, body) == ReadStatus::Ok) {
    std::optional<Reply> reply = decodeReply(body);
    if (reply && reply->isEnd()) break;
    if (reply) out.push_back(std::move(*reply));
  }
  return out;
}

namespace {

// Decimal digits appended without a stream: a large listing shows tens of
// thousands of numbers.
template <class N>
void appendNumber(std::string& out, N value) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, ec == std::errc() ? end : digits);
}

// The names `nameOf` gives, asked once per tag: a listing repeats a few tags
// thousands of times, and a name table may be searched item by item.
class TagNameCache {
 public:
  explicit TagNameCache(const char* (*nameOf)(uint32_t)) : m_nameOf(nameOf) {}
  const char* operator()(uint32_t tag) {
    auto found = m_names.find(tag);
    if (found != m_names.end()) return found->second;
    const char* name = m_nameOf(tag);
    m_names.emplace(tag, name);
    return name;
  }

 private:
  const char* (*m_nameOf)(uint32_t);
  std::unordered_map<uint32_t, const char*> m_names;
};

}  // namespace

std::string describe(const Reply& reply, const char* (*nameOf)(uint32_t), std::string (*valueOf)(const Item&)) {
  std::string out = "reply ";
  appendNumber(out, reply.messageId);
  out += " seq ";
  appendNumber(out, reply.sequence);
  out += "\n";
  if (reply.kind == kReplyRaw) {
    out += "  raw len ";
    appendNumber(out, reply.raw.size());
    out += ": ";
    out += isText(reply.raw, 0) ? quoted(reply.raw, 0) : hex(reply.raw);
    out += "\n";
    return out;
  }
  TagNameCache names(nameOf);
  for (const Item& item : reply.items) {
    out += "  tag ";
    appendNumber(out, item.tag);
    if (nameOf != nullptr) {
      const char* name = names(item.tag);
      if (name != nullptr && *name != '\0') {
        out += " (";
        out += name;
        out += ")";
      }
    }
    out += " len ";
    appendNumber(out, item.bytes.size());
    out += ":";
    const std::string own = valueOf != nullptr ? valueOf(item) : std::string();
    if (!own.empty()) {
      out += " ";
      out += own;
    } else if (item.bytes.empty()) {
      // nothing to show
    } else if (isText(item.bytes, 0, item.bytes.size() != 4 && item.bytes.size() != 8)) {
      // A 4- or 8-byte value counts as text only without a NUL: small numbers
      // would otherwise read as one-character texts.
      out += " ";
      out += quoted(item.bytes, 0);
    } else if (isText(item.bytes, 4)) {
      out += " ";
      appendNumber(out, item.u32());
      out += " ";
      out += quoted(item.bytes, 4);
    } else if (item.bytes.size() == 4) {
      out += " ";
      appendNumber(out, item.u32());
    } else if (item.bytes.size() == 8) {
      out += " ";
      appendNumber(out, item.u64());
    } else {
      out += " ";
      out += hex(item.bytes);
    }
    out += "\n";
  }
  return out;
}

std::string messageIdText(uint32_t messageId) {
  char id[16];
  std::snprintf(id, sizeof id, "0x%08X", messageId);
  return id;
}

std::string describeXmlAnswer(const Reply& reply, const std::string* shownText) {
  std::ostringstream os;
  os << "reply " << messageIdText(reply.messageId) << " seq " << reply.sequence << "\n";
  std::optional<XmlAnswer> a = decodeXmlAnswer(reply);
  if (!a) {
    os << "  raw len " << reply.raw.size() << ": " << hex(reply.raw) << "\n";
    return os.str();
  }
  os << "  result " << a->result << "\n";
  os << "  xml len " << a->text.size() << ": " << (shownText != nullptr ? *shownText : a->text) << "\n";
  return os.str();
}

}  // namespace tkwire
