// The reply channel of a request: what a handler answers the client with.
//
// A reply travels on the client's Unix stream socket as one frame in the
// layout of platform/reply/ReplyFrame.h. A reply object collects the items
// of one message and writes the whole frame at once when the message is
// closed; nothing of it reaches the socket before that, so a reply that some
// other code sends meanwhile on the same socket (a status text, a progress
// value) arrives first. Frames written by several threads on one socket
// never interleave: each frame is written whole under a lock of its
// descriptor. A write to a peer that has gone away fails quietly (no
// SIGPIPE); the failure is logged.
//
// Two ways to build a message, both sent as a kReplyItems frame:
//
//   begun on a long-lived object (the handler classes derive from this one):
//     begin(reply id, sequence number, &socket, true);
//     add(tag, data, length); ...            // in order
//     end(0);                                // writes the frame
//
//   one-shot, on an object made for the occasion:
//     EvReturnData* r = new (std::nothrow) EvReturnData(1024, seq, &socket, false, nullptr);
//     r->add(4001, &op, 4);
//     r->send(2051, buffer, length);         // adds the last item, writes the frame
//     delete r;
//   (dumpBuffer(flags) writes what was added so far, like end.)
//
// A raw message (a message id and its bytes, no items) goes out as a
// kReplyRaw frame with sendRaw(message id, bytes, length), under the
// object's sequence number and socket. Note: `send` is the item form above
// (tag, bytes, length: the last item of an item reply); the kReplyRaw
// frame is written by sendRaw only.
//
// The one-call status reply, sendResponse(seq, &socket, status, text, null):
// message 1024 (kStatusReplyId) with one item 2051 (kStatusReplyItem) =
// [u32 status][text], its length the text's length plus 4 (no terminating
// zero); a null text is sent as the empty text, a text longer than 4,100
// bytes is cut to 4,100. It is the same shape as the host's own status
// replies (tkwire::kHostStatusReply / kHostStatusItem), so one decoder reads
// both.
//
// The socket is read when the reply is opened (constructor or begin): the
// descriptor is copied then, so the caller's socket object need not outlive
// the reply. An invalid socket (descriptor -1) sends nothing.
//
// Allocation: reply objects are made with `new (std::nothrow)` by the
// handlers, which answer a null result with the allocation-failure text.
// The test kit (platform/testkit/reply.h) can make such allocations, and
// begin, fail on demand, and keeps a journal of the replies written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "frame/ElementTags.h"

class CWySocket;

class EvReturnData {
 public:
  // Message id and item of the one-call status reply of sendResponse.
  static constexpr unsigned long kStatusReplyId = tktag::kReplyOperationResponse;
  static constexpr unsigned long kStatusReplyItem = tktag::kStatus;
  // Longest text sendResponse sends (behind the 32-bit status).
  static constexpr std::size_t kStatusReplyTextMax = 4100;
  // Largest item add() accepts (a frame is at most tkwire::kMaxFrameBytes).
  static constexpr unsigned long kMaxItemBytes = 8ul * 1024ul * 1024ul;

  // Reply id 0, sequence 0, no socket: a handler object that opens its
  // replies with begin().
  EvReturnData();
  // Opens a message of `replyId` for the sequence number on the socket (null:
  // no socket). `flags` and `network` are kept; replies always travel on
  // the socket here, with or without a network session.
  EvReturnData(int replyId, long long sequenceNumber, const CWySocket* socket, int flags, void* network);
  // A message still open (never ended or sent) is dropped, not written.
  virtual ~EvReturnData();
  EvReturnData(const EvReturnData&) = delete;
  EvReturnData& operator=(const EvReturnData&) = delete;

  // The client's locale id: the top 16 bits of the request sequence number
  // (logical shift, 0 to 65,535).
  static unsigned long returnLocaleId(long long sequenceNumber) {
    return static_cast<unsigned long>(static_cast<unsigned long long>(sequenceNumber) >> 48);
  }

  // Opens a new message; items of a message still open are dropped (and
  // logged). `flag` is kept like the constructor's flags. False when the
  // message could not be opened (then add and end do nothing).
  bool begin(unsigned long replyId, long long sequenceNumber, const CWySocket* socket, bool flag);
  // Appends one item. False (item not added, logged) when no message is
  // open, `data` is null with a non-zero length, or the item would make the
  // frame larger than a frame may be.
  bool add(unsigned long item, const void* data, unsigned long length);
  // Writes the open message and closes it. False when nothing was open or
  // the frame could not be written.
  bool end(int flags);
  // Closes the open message without writing it (a handler that answers
  // otherwise after all).
  void drop();
  // Appends the last item and writes the message (add, then end).
  bool send(unsigned long item, const void* data, unsigned long length);
  // Writes what was added so far and closes the message, like end.
  bool dumpBuffer(int flags);
  // Writes one kReplyRaw frame with the message id and the bytes, under the
  // object's sequence number and socket; a message being built is not
  // touched.
  bool sendRaw(unsigned long messageId, const void* data, unsigned long length);

  // What the object was made or last begun with.
  int replyId() const { return m_replyId; }
  long long sequenceNumber() const { return m_sequenceNumber; }
  const CWySocket* socket() const { return m_socket; }
  int flags() const { return m_flags; }
  void* network() const { return m_network; }
  // The message being built: open, its items so far.
  bool isOpen() const { return m_open; }
  unsigned int itemCount() const { return m_itemCount; }

  // Reply objects come from these; the test kit can make them fail.
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* pointer) noexcept;
  static void operator delete(void* pointer, const std::nothrow_t&) noexcept;

 protected:
  int m_replyId;
  long long m_sequenceNumber;
  const CWySocket* m_socket;
  int m_flags;
  void* m_network;

 private:
  void open(int replyId, long long sequenceNumber, const CWySocket* socket);
  bool writeOpenMessage(const char* operation);

  int m_descriptor = -1;      // copied from the socket when the message was opened
  bool m_open = false;        // a message is being built
  bool m_overflow = false;    // an item was refused for size
  unsigned int m_itemCount = 0;
  // The items so far, in wire form. Each item is written in place at the
  // end, with no scratch copy and no zeroing first: a listing adds tens of
  // thousands of items. Room grows by doubling and is kept for the next
  // message of the object.
  class Items {
   public:
    Items() = default;
    ~Items() { delete[] m_bytes; }
    Items(const Items&) = delete;
    Items& operator=(const Items&) = delete;
    // Room for `count` more bytes at the end, counted as written; the
    // caller writes them all. Throws std::bad_alloc as a string would.
    char* extend(std::size_t count) {
      if (m_capacity - m_size < count) grow(count);
      char* at = m_bytes + m_size;
      m_size += count;
      return at;
    }
    void clear() { m_size = 0; }
    const char* data() const { return m_bytes; }
    std::size_t size() const { return m_size; }

   private:
    void grow(std::size_t count);
    char* m_bytes = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
  };
  Items m_items;
};

// The one-call status reply (see above). Returns 1 when the frame was
// written, 0 otherwise. `network` is accepted and unused.
int sendResponse(long long sequenceNumber, const CWySocket* socket, unsigned long status, const char* text,
                 void* network);

// A short name of an element or item type for log lines ("operation",
// "end of record", ...); "unknown" for a type without a name. Never null.
const char* getMessageName(unsigned long type);
