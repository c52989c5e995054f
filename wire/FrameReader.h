// Reads the request frames of one connection with as few system calls as the
// bytes allow. readFrame (WireCodec.h) reads a frame's first byte, the rest
// of its length and its body each with calls of their own, and polls before
// each; a console's request of a few dozen bytes arrives whole, so one read
// can take all of it. A FrameReader reads into a small buffer of its own
// and cuts frames out of it; bytes of a following frame that came with this
// one wait there for the next call.
//
// The limits are readFrame's: the wait for a frame's first byte is bounded
// by `waitMs`, the rest of the frame by `frameMs` from the moment it is
// looked at, and a length prefix beyond kMaxFrameBytes is refused before
// any of its body is read. Memory is the buffer (kAheadBytes) and the body:
// a body longer than what the buffer holds is read straight into `body`,
// which grows by at most twice what has arrived, and nothing is read past
// its end.
//
// One reader per descriptor, used by one thread; it does not own the
// descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire/WireCodec.h"

namespace tkwire {

class FrameReader {
 public:
  // Read ahead at most this much; what a console sends in one request
  // usually fits.
  static constexpr size_t kAheadBytes = 4096;

  explicit FrameReader(int fd) : m_fd(fd) {}
  FrameReader(const FrameReader&) = delete;
  FrameReader& operator=(const FrameReader&) = delete;

  // The next frame body, as readFrame(fd, waitMs, frameMs, body) gives it.
  // After any status but Ok the connection cannot be followed further.
  ReadStatus next(int waitMs, int frameMs, std::string& body);

  // Bytes received and not yet handed out in a frame.
  size_t buffered() const { return m_end - m_begin; }

 private:
  // Reads what has arrived (at least one byte) into the buffer, which must
  // have room; by `deadline` (steady-clock ms, negative: no limit).
  ReadStatus fill(int64_t deadline);
  // Moves up to `n` buffered bytes to `out`; how many.
  size_t take(char* out, size_t n);

  int m_fd;
  char m_ahead[kAheadBytes];
  size_t m_begin = 0;
  size_t m_end = 0;
};

}  // namespace tkwire
