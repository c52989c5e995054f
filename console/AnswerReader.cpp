// A request's answers read on a thread of their own (see AnswerReader.h).
#include "console/AnswerReader.h"

#include <cstdint>
#include <utility>

namespace tkconsole {
namespace {

// Whether a frame body is the request's end frame (its kind comes first).
bool isEndFrame(const std::string& body) {
  if (body.size() < 4) return false;
  uint32_t kind = 0;
  for (int i = 3; i >= 0; --i) kind = (kind << 8) | static_cast<unsigned char>(body[static_cast<size_t>(i)]);
  return kind == tkwire::kReplyEnd;
}

}  // namespace

AnswerReader::AnswerReader(int fd, int firstMs, int laterMs)
    : m_fd(fd), m_thread([this, firstMs, laterMs] { run(firstMs, laterMs); }) {}

AnswerReader::~AnswerReader() {
  if (m_thread.joinable()) m_thread.join();
}

void AnswerReader::run(int firstMs, int laterMs) {
  for (bool first = true;; first = false) {
    Frame frame;
    frame.status = tkwire::readFrame(m_fd, first ? firstMs : laterMs, frame.body);
    const bool last = frame.status != tkwire::ReadStatus::Ok || isEndFrame(frame.body);
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_frames.push_back(std::move(frame));
    }
    m_arrived.notify_one();
    if (last) return;
  }
}

AnswerReader::Frame AnswerReader::next() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_arrived.wait(lock, [this] { return !m_frames.empty(); });
  Frame frame = std::move(m_frames.front());
  m_frames.pop_front();
  return frame;
}

}  // namespace tkconsole
