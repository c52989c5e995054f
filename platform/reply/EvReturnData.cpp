// The reply channel: reply frames written on the client's Unix socket.
#include "platform/reply/EvReturnData.h"
#include "platform/reply/ReplyChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "frame/CWySocket.h"
#include "frame/ElementTags.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/ReplyFrame.h"
#include "platform/reply/ReplyJournal.h"

namespace tkreply {
namespace {

std::atomic<bool> g_recording{false};

std::mutex& sentMutex() {
  static std::mutex m;
  return m;
}
std::vector<SentReply>& sentList() {
  static std::vector<SentReply> list;
  return list;
}

}  // namespace

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

void setRecording(bool on) { g_recording.store(on); }
bool recording() { return g_recording.load(); }

std::vector<SentReply> sentReplies() {
  std::lock_guard<std::mutex> guard(sentMutex());
  return sentList();
}

void clearSentReplies() {
  std::lock_guard<std::mutex> guard(sentMutex());
  sentList().clear();
}

}  // namespace tkreply

namespace {

// Header of a reply frame body: kind, message id, sequence, item count.
constexpr std::size_t kItemsHeaderBytes = 4 + 4 + 8 + 4;
// Header of a raw frame body: kind, message id, sequence.
constexpr std::size_t kRawHeaderBytes = 4 + 4 + 8;
// How long a write may wait for room on a non-blocking socket.
constexpr int kWriteWaitMs = 30'000;

// Little-endian bytes of `value` written at `at`.
template <class T>
void storeLE(char* at, T value) {
  for (std::size_t i = 0; i < sizeof value; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}
// Appended in one step each: a reply of thousands of items grows by whole
// items, not byte by byte.
void putU32(std::string& out, uint32_t value) {
  char bytes[sizeof value];
  storeLE(bytes, value);
  out.append(bytes, sizeof bytes);
}
void putU64(std::string& out, uint64_t value) {
  char bytes[sizeof value];
  storeLE(bytes, value);
  out.append(bytes, sizeof bytes);
}
uint32_t getU32(std::string_view in, std::size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return value;
}

int descriptorOf(const CWySocket* socket) {
  return socket != nullptr ? static_cast<int>(socket->GetSocketDescriptor()) : -1;
}

// One lock per descriptor number, so that whole frames from several threads
// never interleave on a socket. Kept for the life of the process.
std::shared_ptr<std::mutex> descriptorLock(int fd) {
  static std::mutex registryMutex;
  static auto* registry = new std::map<int, std::shared_ptr<std::mutex>>();
  std::lock_guard<std::mutex> guard(registryMutex);
  std::shared_ptr<std::mutex>& slot = (*registry)[fd];
  if (!slot) slot = std::make_shared<std::mutex>();
  return slot;
}

// Writes all bytes; false when the descriptor is invalid, the peer is gone
// or the socket stays full too long. Never raises SIGPIPE.
//
// A frame that was cut off, or a console that stopped reading, leaves a
// stream that no later frame can follow: the connection is shut down so the
// host ends it, instead of writing the next frame into the middle of this one
// or making every later writer (a lock operation's notice to a previous
// holder among them) wait on it again.
void endStream(int fd) { ::shutdown(fd, SHUT_RDWR); }

//
// The frame may come in two parts (a header built for the occasion and the
// items collected so far), written as one with a gathering write, so that a
// large reply is not copied once more only to put its header in front.
thread_local tkreply::ThreadWrites t_writes;

bool writeAll(int fd, std::string_view head, std::string_view body, const char* tag) {
  const std::size_t total = head.size() + body.size();
  if (fd < 0) return false;
  ++t_writes.frames;
  t_writes.bytes += total;
  tkjournal::Failure failure;
  if (tkreply::journal().takeFailure("write", failure)) {
    EvDebug::Error(tag, "Could not write a reply of [%zu] bytes on socket [%d]: %s", total, fd,
                   failure.text.c_str());
    ++t_writes.lost;
    return false;
  }
  std::shared_ptr<std::mutex> lock = descriptorLock(fd);
  std::lock_guard<std::mutex> guard(*lock);
  std::size_t done = 0;
  while (done < total) {
    iovec parts[2];
    int count = 0;
    if (done < head.size()) {
      parts[count++] = {const_cast<char*>(head.data()) + done, head.size() - done};
      if (!body.empty()) parts[count++] = {const_cast<char*>(body.data()), body.size()};
    } else {
      const std::size_t at = done - head.size();
      parts[count++] = {const_cast<char*>(body.data()) + at, body.size() - at};
    }
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(count);
    ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A blocking socket says this only once its own send time-out (set by
      // the host on every connection) has passed: the console is not reading.
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0 && (flags & O_NONBLOCK) != 0) {
        pollfd p{fd, POLLOUT, 0};
        int ready = ::poll(&p, 1, kWriteWaitMs);
        if (ready > 0) continue;
        if (ready < 0 && errno == EINTR) continue;
      }
      EvDebug::Error(tag, "Socket [%d] stayed full; reply of [%zu] bytes not written (%zu written).", fd, total,
                     done);
      endStream(fd);
      ++t_writes.stalled;
      ++t_writes.lost;
      return false;
    }
    const int error = n < 0 ? errno : EPIPE;
    EvDebug::Error(tag, "Could not write a reply of [%zu] bytes on socket [%d] (%zu written): %s", total, fd, done,
                   std::strerror(error));
    if (done > 0) endStream(fd);
    ++t_writes.lost;
    return false;
  }
  return true;
}

bool writeAll(int fd, const std::string& bytes, const char* tag) { return writeAll(fd, bytes, {}, tag); }

}  // namespace

namespace {

std::atomic<tkreply::ProblemLog> g_problemLog{nullptr};

// The status reply of sendResponse: message 1024, one item 2051 = [u32
// status][text].
bool writeStatusReply(int fd, long long sequenceNumber, unsigned long status, const char* text,
                      std::size_t textLength);

// An answer too large to be sent as built: said where the host's own log
// shows it, and answered as a failure in its place, never cut short.
void answerTooLarge(int fd, long long sequence, const std::string& text, const char* tag, unsigned int framesBefore) {
  char line[EvReturnData::kStatusReplyTextMax + 64];
  std::snprintf(line, sizeof line, "%s (connection %d, sequence %lld, %u frames of it sent before)", text.c_str(), fd,
                sequence, framesBefore);
  EvDebug::Error(tag, "%s", line);
  if (const tkreply::ProblemLog log = g_problemLog.load()) log(line);
  writeStatusReply(fd, sequence, 0, text.data(), text.size());
}

std::string tooLargeText(uint32_t messageId) {
  return "Reply [" + std::to_string(messageId) + "] was not sent: it is larger than a reply frame may be (" +
         std::to_string(tkwire::kMaxFrameBytes) + " bytes).";
}

}  // namespace

bool tkreply::writeFrame(int fd, const std::string& frame) { return writeAll(fd, frame, "tkreply::writeFrame"); }

void tkreply::setProblemLog(ProblemLog log) { g_problemLog.store(log); }

tkreply::ThreadWrites tkreply::threadWrites() { return t_writes; }

namespace {

// Records a frame for the test kit while recording is on.
void recordFrame(uint32_t kind, uint32_t messageId, int64_t sequence, int fd, std::string_view payload,
                 unsigned int itemCount, bool delivered) {
  if (!tkreply::recording()) return;
  tkreply::SentReply sent;
  sent.kind = kind;
  sent.messageId = messageId;
  sent.sequence = sequence;
  sent.descriptor = fd;
  sent.delivered = delivered;
  if (kind == tkwire::kReplyItems) {
    std::size_t at = 0;
    while (at + 8 <= payload.size()) {
      tkreply::SentItem item;
      item.tag = getU32(payload, at);
      const uint32_t length = getU32(payload, at + 4);
      item.bytes = std::string(payload.substr(at + 8, length));
      at += 8 + static_cast<std::size_t>(length);
      sent.items.push_back(std::move(item));
    }
  } else {
    sent.raw = std::string(payload);
  }
  tkreply::journal().record("reply", kind, messageId, sequence, fd, itemCount, delivered);
  std::lock_guard<std::mutex> guard(tkreply::sentMutex());
  tkreply::sentList().push_back(std::move(sent));
}

// The length prefix and header of a frame whose payload has `payloadSize`
// bytes.
std::string frameHeaderOf(uint32_t kind, uint32_t messageId, int64_t sequence, std::size_t payloadSize,
                          const unsigned int* itemCount) {
  const std::size_t header = itemCount != nullptr ? kItemsHeaderBytes : kRawHeaderBytes;
  std::string frame;
  frame.reserve(4 + header);
  putU32(frame, static_cast<uint32_t>(header + payloadSize));
  putU32(frame, kind);
  putU32(frame, messageId);
  putU64(frame, static_cast<uint64_t>(sequence));
  if (itemCount != nullptr) putU32(frame, *itemCount);
  return frame;
}

// A whole frame: length prefix, header, payload.
std::string frameOf(uint32_t kind, uint32_t messageId, int64_t sequence, const std::string& payload,
                    const unsigned int* itemCount) {
  return frameHeaderOf(kind, messageId, sequence, payload.size(), itemCount) + payload;
}

bool allocationRefused() {
  tkjournal::Failure failure;
  return tkreply::journal().takeFailure("allocate", failure);
}

}  // namespace

// ---- allocation ----

void* EvReturnData::operator new(std::size_t size) {
  if (allocationRefused()) throw std::bad_alloc();
  return ::operator new(size);
}

void* EvReturnData::operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (allocationRefused()) return nullptr;
  return ::operator new(size, std::nothrow);
}

void EvReturnData::operator delete(void* pointer) noexcept { ::operator delete(pointer); }

void EvReturnData::operator delete(void* pointer, const std::nothrow_t&) noexcept { ::operator delete(pointer); }

// ---- construction ----

EvReturnData::EvReturnData()
    : m_replyId(0), m_sequenceNumber(0), m_socket(nullptr), m_flags(0), m_network(nullptr) {}

EvReturnData::EvReturnData(int replyId, long long sequenceNumber, const CWySocket* socket, int flags,
                           void* network)
    : m_replyId(replyId), m_sequenceNumber(sequenceNumber), m_socket(socket), m_flags(flags), m_network(network) {
  open(replyId, sequenceNumber, socket);
}

EvReturnData::~EvReturnData() {
  if (m_open && m_itemCount > 0)
    EvDebug::Debug("EvReturnData::~EvReturnData", "Reply [%d] with [%u] items dropped unsent.", m_replyId,
                   m_itemCount);
}

void EvReturnData::open(int replyId, long long sequenceNumber, const CWySocket* socket) {
  m_refusedForSize = false;
  m_replyId = replyId;
  m_sequenceNumber = sequenceNumber;
  m_socket = socket;
  m_descriptor = descriptorOf(socket);
  close();
  m_open = true;
}

void EvReturnData::close() {
  m_open = false;
  m_listing = false;
  m_tooLarge = false;
  m_lost = false;
  m_tooLargeText.clear();
  m_itemCount = 0;
  m_recordEnd = 0;
  m_recordItems = 0;
  m_framesWritten = 0;
  m_items.clear();
  m_items.trim();
}

void EvReturnData::drop() { close(); }

// ---- building ----

void EvReturnData::Items::grow(std::size_t count) {
  constexpr std::size_t kFirstRoom = 4096;
  std::size_t room = m_capacity < kFirstRoom ? kFirstRoom : m_capacity;
  while (room - m_size < count) room *= 2;
  // Grown in place where the allocator can (a large buffer is remapped, not
  // copied), so that a listing near a frame's size holds one buffer of it,
  // not the new one beside the old one and those before.
  void* bytes = std::realloc(m_bytes, room);
  if (bytes == nullptr) throw std::bad_alloc();
  m_bytes = static_cast<char*>(bytes);
  m_capacity = room;
}

void EvReturnData::Items::dropFront(std::size_t count) {
  if (count >= m_size) {
    m_size = 0;
    return;
  }
  std::memmove(m_bytes, m_bytes + count, m_size - count);
  m_size -= count;
}

void EvReturnData::Items::trim() {
  // A handler object lives as long as its connection: the room of one large
  // listing is not kept for the small replies that follow.
  constexpr std::size_t kKeptRoom = 256u * 1024u;
  if (m_size != 0 || m_capacity <= kKeptRoom) return;
  std::free(m_bytes);
  m_bytes = nullptr;
  m_capacity = 0;
}

bool EvReturnData::begin(unsigned long replyId, long long sequenceNumber, const CWySocket* socket, bool flag) {
  static const char* const kTag = "EvReturnData::begin";
  tkjournal::Failure failure;
  if (tkreply::journal().takeFailure("begin", failure)) {
    EvDebug::Error(kTag, "Could not open reply [%lu]: %s", replyId, failure.text.c_str());
    close();
    return false;
  }
  if (m_open && m_itemCount > 0)
    EvDebug::Error(kTag, "Reply [%d] with [%u] items was never ended; dropped.", m_replyId, m_itemCount);
  m_flags = flag ? 1 : 0;
  open(static_cast<int>(replyId), sequenceNumber, socket);
  m_listing = flag;
  return true;
}

bool EvReturnData::add(unsigned long item, const void* data, unsigned long length) {
  static const char* const kTag = "EvReturnData::add";
  if (!m_open) {
    EvDebug::Error(kTag, "Item [%lu] added while no reply is open; dropped.", item);
    return false;
  }
  if (data == nullptr && length != 0) {
    EvDebug::Error(kTag, "Item [%lu] of reply [%d] has no data for its [%lu] bytes; dropped.", item, m_replyId,
                   length);
    return false;
  }
  // A message that can no longer be carried keeps nothing more; one whose
  // frame could not be written reaches nobody.
  if (m_tooLarge || m_lost) return false;
  const std::size_t size = static_cast<std::size_t>(length);
  const auto fits = [this, size] { return kItemsHeaderBytes + m_items.size() + 8 + size <= tkwire::kMaxFrameBytes; };
  if (length > kMaxItemBytes) {
    refuseForSize(item, length);
    return false;
  }
  if (!fits()) {
    // A listing sends the objects it completed and goes on in a new frame.
    if (m_listing && m_recordEnd != 0 && !writeCompletedRecords()) return false;
    if (!fits()) {
      refuseForSize(item, length);
      return false;
    }
  }
  char* at = m_items.extend(8 + size);
  storeLE(at, static_cast<uint32_t>(item));
  storeLE(at + 4, static_cast<uint32_t>(length));
  // Numbers and handles, most of a listing's items, are copied inline.
  switch (size) {
    case 0:
      break;
    case 4:
      std::memcpy(at + 8, data, 4);
      break;
    case 8:
      std::memcpy(at + 8, data, 8);
      break;
    default:
      std::memcpy(at + 8, data, size);
  }
  ++m_itemCount;
  if (m_items.size() > m_largestHeld) m_largestHeld = m_items.size();
  if (item == tktag::kEndOfRecord) {
    m_recordEnd = m_items.size();
    m_recordItems = m_itemCount;
  }
  return true;
}

void EvReturnData::refuseForSize(unsigned long item, unsigned long length) {
  char text[EvReturnData::kStatusReplyTextMax];
  if (length > kMaxItemBytes) {
    std::snprintf(text, sizeof text,
                  "Reply [%d] was not sent: its item [%lu] of %lu bytes is larger than a reply item may be (%lu "
                  "bytes).",
                  m_replyId, item, length, kMaxItemBytes);
  } else if (m_listing) {
    std::snprintf(text, sizeof text,
                  "Reply [%d] was not sent whole: one of its records is larger than a reply frame may be (%u "
                  "bytes).",
                  m_replyId, tkwire::kMaxFrameBytes);
  } else {
    std::snprintf(text, sizeof text, "%s", tooLargeText(static_cast<uint32_t>(m_replyId)).c_str());
  }
  m_tooLarge = true;
  m_tooLargeText = text;
  m_itemCount = 0;
  m_recordEnd = 0;
  m_recordItems = 0;
  m_items.clear();
  m_items.trim();
}

bool EvReturnData::writeCompletedRecords() {
  static const char* const kTag = "EvReturnData::add";
  const unsigned int count = m_recordItems;
  const std::string header =
      frameHeaderOf(tkwire::kReplyItems, static_cast<uint32_t>(m_replyId), m_sequenceNumber, m_recordEnd, &count);
  const std::string_view items(m_items.data(), m_recordEnd);
  const bool delivered = writeAll(m_descriptor, header, items, kTag);
  recordFrame(tkwire::kReplyItems, static_cast<uint32_t>(m_replyId), m_sequenceNumber, m_descriptor, items, count,
              delivered);
  ++m_framesWritten;
  m_items.dropFront(m_recordEnd);
  m_itemCount -= m_recordItems;
  m_recordEnd = 0;
  m_recordItems = 0;
  if (!delivered) {
    // The client cannot follow the rest: nothing more is kept for it.
    m_lost = true;
    m_itemCount = 0;
    m_items.clear();
  }
  return delivered;
}

bool EvReturnData::writeOpenMessage(const char* operation) {
  if (!m_open) {
    EvDebug::Error(operation, "%s", "No reply is open.");
    return false;
  }
  if (m_lost) {
    close();
    return false;
  }
  if (m_tooLarge) {
    answerTooLarge(m_descriptor, m_sequenceNumber, m_tooLargeText, operation, m_framesWritten);
    close();
    m_refusedForSize = true;
    return false;
  }
  const unsigned int count = m_itemCount;
  const std::string header =
      frameHeaderOf(tkwire::kReplyItems, static_cast<uint32_t>(m_replyId), m_sequenceNumber, m_items.size(), &count);
  const std::string_view items(m_items.data(), m_items.size());
  const bool delivered = writeAll(m_descriptor, header, items, operation);
  recordFrame(tkwire::kReplyItems, static_cast<uint32_t>(m_replyId), m_sequenceNumber, m_descriptor, items, count,
              delivered);
  close();
  return delivered;
}

bool EvReturnData::end(int /*flags*/) { return writeOpenMessage("EvReturnData::end"); }

bool EvReturnData::dumpBuffer(int /*flags*/) { return writeOpenMessage("EvReturnData::dumpBuffer"); }

bool EvReturnData::send(unsigned long item, const void* data, unsigned long length) {
  if (!m_open) {
    EvDebug::Error("EvReturnData::send", "Item [%lu] sent while no reply is open; nothing written.", item);
    return false;
  }
  add(item, data, length);
  return writeOpenMessage("EvReturnData::send");
}

bool EvReturnData::sendRaw(unsigned long messageId, const void* data, unsigned long length) {
  static const char* const kTag = "EvReturnData::sendRaw";
  if (data == nullptr && length != 0) {
    EvDebug::Error(kTag, "Message [%lu] has no data for its [%lu] bytes; nothing written.", messageId, length);
    return false;
  }
  if (kRawHeaderBytes + static_cast<std::size_t>(length) > tkwire::kMaxFrameBytes) {
    answerTooLarge(m_descriptor, m_sequenceNumber, tooLargeText(static_cast<uint32_t>(messageId)), kTag, 0);
    return false;
  }
  const std::string payload =
      length != 0 ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(length)) : std::string();
  // The raw frame goes to the socket the object was last opened with.
  const int fd = m_descriptor;
  const std::string frame = frameOf(tkwire::kReplyRaw, static_cast<uint32_t>(messageId), m_sequenceNumber, payload, nullptr);
  const bool delivered = writeAll(fd, frame, kTag);
  recordFrame(tkwire::kReplyRaw, static_cast<uint32_t>(messageId), m_sequenceNumber, fd, payload, 0, delivered);
  return delivered;
}

// ---- free functions ----

int sendResponse(long long sequenceNumber, const CWySocket* socket, unsigned long status, const char* text,
                 void* /*network*/) {
  const int fd = descriptorOf(socket);
  std::size_t textLength = text != nullptr ? strnlen(text, EvReturnData::kStatusReplyTextMax) : 0;
  if (tkreply::recording())
    tkreply::journal().record("sendResponse", sequenceNumber, fd, status, std::string(text != nullptr ? text : ""));
  return writeStatusReply(fd, sequenceNumber, status, text, textLength) ? 1 : 0;
}

namespace {

bool writeStatusReply(int fd, long long sequenceNumber, unsigned long status, const char* text,
                      std::size_t textLength) {
  std::string payload;
  payload.reserve(8 + 4 + textLength);
  putU32(payload, static_cast<uint32_t>(EvReturnData::kStatusReplyItem));
  putU32(payload, static_cast<uint32_t>(4 + textLength));
  putU32(payload, static_cast<uint32_t>(status));
  if (textLength != 0) payload.append(text, textLength);
  const unsigned int count = 1;
  const std::string frame = frameOf(tkwire::kReplyItems, static_cast<uint32_t>(EvReturnData::kStatusReplyId),
                                    sequenceNumber, payload, &count);
  const bool delivered = writeAll(fd, frame, "sendResponse");
  recordFrame(tkwire::kReplyItems, static_cast<uint32_t>(EvReturnData::kStatusReplyId), sequenceNumber, fd, payload,
              count, delivered);
  return delivered;
}

struct TypeName {
  unsigned long type;
  const char* name;
};

// The element and item types the handlers log by name; sorted by type.
const TypeName kTypeNames[] = {
    {tktag::kReplyProgressMessage, "progress message"},
    {tktag::kReplyOperationResponse, "operation response"},
    {tktag::kProgressValue, "value"},
    {tktag::kMediaAgent, "media agent"},
    {tktag::kLibrary, "library"},
    {tktag::kStatus, "status"},
    {tktag::kEndOfRecord, "end of record"},
    {tktag::kOperation, "operation"},
    {tktag::kCount, "count"},
    {tktag::kText, "text"},
    {tktag::kAliasName, "alias name"},
    {tktag::kObjectHandle, "object handle"},
    {tktag::kOsId, "media agent OS"},
    {tktag::kReplyStatusMessage, "status message"},
    {tktag::kStatusText, "status text"},
};

}  // namespace

const char* getMessageName(unsigned long type) {
  for (const TypeName& entry : kTypeNames)
    if (entry.type == type) return entry.name;
  return "unknown";
}
