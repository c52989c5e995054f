// The frames of one request's answers, read off the connection by a thread
// of their own as fast as the host sends them, while the console prints
// what came before at whatever pace its output is read: a console whose
// output waits (`| less`, a pipe read later) never leaves the host writing
// into a full socket, which the host gives up on after its send time-out.
// What has been read and not printed yet waits in memory.
//
// The waits are the console's: the first frame is waited for up to
// `firstMs` from the start, each later one up to `laterMs` from the one
// before it (as readFrame waits, WireCodec.h). Reading ends after the
// request's end frame, or with the first status that is not Ok, which is
// handed out last.
//
// One reader per request, made once the request is sent; it does not own
// the descriptor, and nothing else reads it meanwhile.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "wire/WireCodec.h"

namespace tkconsole {

class AnswerReader {
 public:
  struct Frame {
    tkwire::ReadStatus status = tkwire::ReadStatus::Ok;
    std::string body;
  };

  AnswerReader(int fd, int firstMs, int laterMs);
  // Waits for the reading to end (at the latest, the waits above).
  ~AnswerReader();
  AnswerReader(const AnswerReader&) = delete;
  AnswerReader& operator=(const AnswerReader&) = delete;

  // The next frame in order, once it has been read; after the end frame or
  // a status that is not Ok there is none (a caller stops there).
  Frame next();

 private:
  void run(int firstMs, int laterMs);

  const int m_fd;
  std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::deque<Frame> m_frames;
  std::thread m_thread;
};

}  // namespace tkconsole
