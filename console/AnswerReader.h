// The frames of a connection's answers, taken off it as fast as the host
// sends them, while the console prints what came before at whatever pace
// its output is read: a console whose output waits (`| less`, a pipe read
// later) never leaves the host writing into a full socket, which the host
// gives up on after its send time-out. What has been read and not printed
// yet waits in memory, every frame of it.
//
// One reader per connection, made once with it and kept for all its
// requests (a thread per request cost more than the request itself, and
// bytes read ahead of one request's end stay for the next). The console's
// own thread reads a frame itself when it asks for one and none is waiting:
// nothing is handed from thread to thread while it keeps up. The reader's
// thread looks every kTickMs whether the console's thread has been away
// from next() for a whole tick with a request's answers still coming (its
// output blocked, or a long answer being printed), and then reads them in
// its place, as long as it stays away, into memory. One thread reads at a
// time, through one frame reader. The reader does not own the descriptor,
// and nothing else reads it while it lives.
//
// After a request is sent, expect() starts the reading of its answers. The
// waits are the console's: the first frame is waited for up to `firstMs`
// from then, each later one up to `laterMs` from the one before it (and the
// rest of a frame that has begun a second more, as readFrame waits,
// WireCodec.h). Reading ends after the request's end frame, or with the
// first status that is not Ok, which is handed out last; the caller takes
// every frame up to there with next() before it expects the next request.
//
//   tkconsole::AnswerReader answers(fd);
//   writeAll(fd, request);
//   answers.expect(3000, 10000);
//   for (;;) { Frame f = answers.next(); ... if (end or f.status != Ok) break; }
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "wire/FrameReader.h"
#include "wire/WireCodec.h"

namespace tkconsole {

class AnswerReader {
 public:
  struct Frame {
    tkwire::ReadStatus status = tkwire::ReadStatus::Ok;
    std::string body;
  };

  // How often the reader's thread looks whether the console keeps up, and
  // after how many looks without a request it sleeps until the next one.
  static constexpr std::chrono::milliseconds kTick{10};
  static constexpr int kTicksBeforeSleep = 100;

  explicit AnswerReader(int fd);
  // Ends the thread; a reading of its still under way is cut short (the
  // connection is read no further).
  ~AnswerReader();
  AnswerReader(const AnswerReader&) = delete;
  AnswerReader& operator=(const AnswerReader&) = delete;

  // Reads the answers of the request just sent, with the waits above.
  void expect(int firstMs, int laterMs);

  // The next frame in order: one read ahead, or else read now. After the
  // end frame or a status that is not Ok there is none until the next
  // expect() (a call then answers Closed).
  Frame next();

 private:
  void run();
  // Reads one frame with the request's waits; called with `lock` held and
  // m_busy set by the caller, it leaves them while reading.
  Frame readOne(std::unique_lock<std::mutex>& lock);

  const int m_fd;
  tkwire::FrameReader m_reader;  // used only by the thread that set m_busy
  std::mutex m_mutex;
  std::condition_variable m_arrived;  // a frame was read ahead, or a reading ended
  std::condition_variable m_wanted;   // a request after a sleep, or the end
  std::deque<Frame> m_frames;         // read ahead, not taken yet
  bool m_inFlight = false;            // the request's last frame is not read yet
  bool m_busy = false;                // a thread is reading
  bool m_inNext = false;              // the console's thread is in next()
  unsigned long long m_returns = 0;   // how often next() has returned
  bool m_first = true;                // the next frame is the request's first
  int64_t m_since = 0;                // steady ms the next frame's wait counts from
  int m_firstMs = 0;
  int m_laterMs = 0;
  bool m_sleeping = false;
  bool m_stopping = false;
  std::thread m_thread;  // last: started once the rest is made
};

}  // namespace tkconsole
