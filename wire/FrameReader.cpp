#include "wire/FrameReader.h"

#include "wire/ReadSteps.h"

#include <algorithm>
#include <cstring>

namespace tkwire {
using detail::deadlineAfter;
using detail::kFirstBodyChunk;
using detail::readSome;

ReadStatus FrameReader::fill(int64_t deadline) {
  if (m_begin == m_end) {
    m_begin = m_end = 0;
  } else if (m_end == kAheadBytes) {
    std::memmove(m_ahead, m_ahead + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_begin = 0;
  }
  size_t n = 0;
  const ReadStatus s = readSome(m_fd, m_ahead + m_end, kAheadBytes - m_end, deadline, n);
  if (s == ReadStatus::Ok) m_end += n;
  return s;
}

size_t FrameReader::take(char* out, size_t n) {
  n = std::min(n, buffered());
  std::memcpy(out, m_ahead + m_begin, n);
  m_begin += n;
  return n;
}

ReadStatus FrameReader::next(int waitMs, int frameMs, std::string& body) {
  body.clear();
  if (buffered() == 0) {
    const ReadStatus s = fill(deadlineAfter(waitMs));
    if (s != ReadStatus::Ok) return s;
  }
  // From the frame's first byte on, the rest of it has `frameMs`.
  const int64_t deadline = deadlineAfter(frameMs);
  while (buffered() < 4) {
    const ReadStatus s = fill(deadline);
    if (s != ReadStatus::Ok) return s;
  }
  uint32_t length = 0;
  for (size_t i = 0; i < 4; ++i)
    length |= static_cast<uint32_t>(static_cast<unsigned char>(m_ahead[m_begin + i])) << (8 * i);
  m_begin += 4;
  if (length > kMaxFrameBytes) return ReadStatus::TooLong;

  size_t got = 0;
  while (got < length) {
    const size_t stepEnd = got + std::min<size_t>(length - got, std::max(kFirstBodyChunk, got));
    body.resize(stepEnd);
    got += take(body.data() + got, stepEnd - got);
    while (got < stepEnd) {
      // The buffer is empty. A rest that fits in it is read ahead (with what
      // follows it); a longer one goes straight into the body, no further
      // than this step.
      ReadStatus s;
      if (length - got <= kAheadBytes) {
        s = fill(deadline);
        if (s == ReadStatus::Ok) got += take(body.data() + got, stepEnd - got);
      } else {
        size_t n = 0;
        s = readSome(m_fd, body.data() + got, stepEnd - got, deadline, n);
        got += n;
      }
      if (s != ReadStatus::Ok) {
        body.clear();
        return s;
      }
    }
  }
  return ReadStatus::Ok;
}

}  // namespace tkwire
