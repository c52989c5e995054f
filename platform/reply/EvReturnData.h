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
// A long listing. A message begun with the flag true is a listing whose
// objects each end with item 2052 (end of record); it may be carried in
// several frames. When the next item would make the frame larger than a
// frame may be, the objects completed so far go out as one frame, and the
// object being built moves on into the next frame of the same message id
// and sequence number. Every frame so ends on a whole object, the items keep
// their order, and the items held at any time never exceed one frame, however
// many objects the listing has. Read in order, the frames carry exactly the
// items of the message.
//
// A message that cannot be carried so (one object of a listing, or a whole
// message begun without the flag, larger than a frame; or one item larger
// than kMaxItemBytes) is never sent cut short: what was added of it is
// dropped, and instead of its (last) frame the client gets the status reply
// of sendResponse with status 0 and a text naming the limit. The failure is
// logged (error level) and reported to the process's problem log
// (tkreply::setProblemLog), and end / send answer false.
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
#include <cstdlib>
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
  // logged). `flag` true: a listing, which may go out in several frames (see
  // above). False when the message could not be opened (then add and end do
  // nothing).
  bool begin(unsigned long replyId, long long sequenceNumber, const CWySocket* socket, bool flag);
  // Appends one item; a listing's completed objects may go out first to make
  // room. False (item not added, logged) when no message is open, `data` is
  // null with a non-zero length, or the message can no longer be carried
  // (it is then answered with the failure above when it is ended).
  bool add(unsigned long item, const void* data, unsigned long length);
  // Writes the open message (its last frame) and closes it. False when
  // nothing was open, a frame could not be written, or the message was too
  // large and was answered with the failure instead.
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
  // The largest number of item bytes the object has held at once since it
  // was made: never more than one frame's.
  std::size_t largestHeld() const { return m_largestHeld; }
  // The last message closed was too large and answered with the failure.
  bool refusedForSize() const { return m_refusedForSize; }

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
  void close();
  bool writeOpenMessage(const char* operation);
  // Writes the completed objects of a listing as one frame and keeps the
  // object being built; false when there was none or the write failed.
  bool writeCompletedRecords();
  // The message cannot be carried: what it holds is dropped and the failure
  // is logged; it is answered when the message is ended.
  void refuseForSize(unsigned long item, unsigned long length);

  int m_descriptor = -1;      // copied from the socket when the message was opened
  bool m_open = false;        // a message is being built
  bool m_listing = false;     // begun as a listing: may go out in several frames
  bool m_tooLarge = false;    // the message cannot be carried; answered as a failure
  bool m_lost = false;        // a frame of it could not be written: the rest is not sent
  std::string m_tooLargeText;  // what the failure answer says
  unsigned int m_itemCount = 0;
  // The end of the last completed object (after its item 2052), in bytes
  // and items of m_items; 0 while no object is complete in the frame.
  std::size_t m_recordEnd = 0;
  unsigned int m_recordItems = 0;
  unsigned int m_framesWritten = 0;  // frames of the open message already out
  std::size_t m_largestHeld = 0;
  bool m_refusedForSize = false;
  // The items so far, in wire form. Each item is written in place at the
  // end, with no scratch copy and no zeroing first: a listing adds tens of
  // thousands of items. Room grows by doubling and is kept for the next
  // message of the object.
  class Items {
   public:
    Items() = default;
    ~Items() { std::free(m_bytes); }
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
    // Drops the first `count` bytes; the rest moves to the front.
    void dropFront(std::size_t count);
    // Gives the room back when it is more than a small message needs.
    void trim();
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
