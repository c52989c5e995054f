// A connection's answers, read by whichever thread can (see AnswerReader.h).
#include "console/AnswerReader.h"

#include <sys/socket.h>

#include <algorithm>
#include <utility>

namespace tkconsole {
namespace {

// How much longer than the wait for a frame's first byte the rest of it may
// take (as readFrame allows, WireCodec.h).
constexpr int kRestOfFrameMs = 1000;

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Whether a frame body is the request's end frame (its kind comes first).
bool isEndFrame(const std::string& body) {
  if (body.size() < 4) return false;
  return tkwire::u32At(body, 0) == tkwire::kReplyEnd;
}

}  // namespace

AnswerReader::AnswerReader(int fd) : m_fd(fd), m_reader(fd), m_thread([this] { run(); }) {}

AnswerReader::~AnswerReader() {
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_stopping = true;
    // Only the reader's thread can be reading now: its wait would run out
    // its time-out, and the connection is not read any further.
    if (m_busy) ::shutdown(m_fd, SHUT_RD);
  }
  m_wanted.notify_one();
  if (m_thread.joinable()) m_thread.join();
}

void AnswerReader::expect(int firstMs, int laterMs) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_firstMs = firstMs;
    m_laterMs = laterMs;
    m_first = true;
    m_since = nowMs();
    m_inFlight = true;
    wake = m_sleeping;
    m_sleeping = false;
  }
  if (wake) m_wanted.notify_one();
}

AnswerReader::Frame AnswerReader::readOne(std::unique_lock<std::mutex>& lock) {
  const int waitMs = m_first ? m_firstMs : m_laterMs;
  const int64_t since = m_since;
  lock.unlock();
  const int left = waitMs < 0 ? -1 : static_cast<int>(std::max<int64_t>(0, since + waitMs - nowMs()));
  Frame frame;
  frame.status = m_reader.next(left, left < 0 ? -1 : left + kRestOfFrameMs, frame.body);
  const int64_t at = nowMs();
  lock.lock();
  m_busy = false;
  m_first = false;
  m_since = at;
  if (frame.status != tkwire::ReadStatus::Ok || isEndFrame(frame.body)) m_inFlight = false;
  return frame;
}

AnswerReader::Frame AnswerReader::next() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_inNext = true;
  Frame frame;
  for (;;) {
    if (!m_frames.empty()) {
      frame = std::move(m_frames.front());
      m_frames.pop_front();
      break;
    }
    if (!m_busy && m_inFlight) {
      m_busy = true;
      frame = readOne(lock);
      break;
    }
    if (!m_busy) {
      frame.status = tkwire::ReadStatus::Closed;  // nothing is expected
      break;
    }
    m_arrived.wait(lock);
  }
  m_inNext = false;
  ++m_returns;
  return frame;
}

void AnswerReader::run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  unsigned long long seen = m_returns;
  int idle = 0;
  while (!m_stopping) {
    if (m_sleeping) {
      m_wanted.wait(lock, [this] { return m_stopping || !m_sleeping; });
      continue;
    }
    m_wanted.wait_for(lock, kTick);
    if (m_stopping) break;
    if (!m_inFlight) {
      if (++idle >= kTicksBeforeSleep) m_sleeping = true;
      continue;
    }
    idle = 0;
    // Away for a whole tick: not in next(), and not back in it since the
    // last look.
    const bool away = !m_inNext && m_returns == seen;
    seen = m_returns;
    while (away && m_inFlight && !m_busy && !m_inNext && !m_stopping) {
      m_busy = true;
      Frame frame = readOne(lock);
      m_frames.push_back(std::move(frame));
      m_arrived.notify_one();
    }
  }
}

}  // namespace tkconsole
