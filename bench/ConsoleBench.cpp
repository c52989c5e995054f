// tkconsole's own cost per request, against an echo of the host:
//   console_script_4000_pairs  one `tkconsole --script` of 4,000 lock/unlock
//                             pairs (8,000 lines, its output to /dev/null),
//                             the whole run from the console's start to its
//                             exit, against the same 8,000 requests sent by
//                             a lean client of this process that reads each
//                             answer up to its end frame (raw). Both talk to
//                             one echo: a process of its own that answers
//                             each lock and unlock request with the frames a
//                             host answered them with once, under the
//                             request's sequence number, so that what the
//                             ratio shows is the console itself: its start,
//                             its script, making each request, reading each
//                             answer and printing it. One iteration is one
//                             run; wall time. TK_BENCH_CONSOLE=path times
//                             another build's console in its place (an
//                             older one, side by side with this one's).
// The goal is the ratio of the console before it read its answers on a
// thread of their own (measured the same way on an 8-core machine at rest,
// 1.7 to 1.8; this one 1.4 to 1.5), with a fifth more at most: a reader
// that costs a thread per request, or a hand-over per frame that waits on
// the scheduler, shows at once (a thread per request made it 4.2). A busy
// machine raises both consoles' ratios alike (3.1 and 2.4 measured so).
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchPairs.h"
#include "bench/LinkedProcess.h"
#include "tests/support/HostHarness.h"
#include "wire/FrameReader.h"
#include "wire/WireCodec.h"

namespace {

constexpr int kPairs = 4000;
constexpr int kReplyMs = 10000;

using hosttest::lockRequestFrame;

// The replies (decoded) that answer `frame` on `fd`, up to and with the end.
std::vector<tkwire::Reply> answerOf(int fd, const std::string& frame) {
  std::vector<tkwire::Reply> replies;
  std::string body;
  if (!tkwire::writeAll(fd, frame)) return {};
  for (;;) {
    if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) return {};
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) return {};
    replies.push_back(std::move(*reply));
    if (replies.back().isEnd()) return replies;
  }
}

// The frames of `replies` under another sequence number.
std::string answerFor(const std::vector<tkwire::Reply>& replies, int64_t sequence) {
  std::string frames;
  for (tkwire::Reply reply : replies) {
    if (reply.isEnd()) {
      frames += tkwire::encodeRequestEnd(sequence, reply.endResult());
      continue;
    }
    reply.sequence = sequence;
    frames += tkwire::encodeReply(reply);
  }
  return frames;
}

// The echo: a process of its own, as the host is, a thread per connection.
class Echo {
 public:
  Echo() : m_path(m_dir.file("echo.sock")) {
    std::vector<tkwire::Reply> lockAnswer;
    std::vector<tkwire::Reply> unlockAnswer;
    {
      hosttest::Host host(m_dir, m_dir.file("host.sock"), {"--quiet"}, {{"TK_LOCK_DIR", m_dir.file("locks")}});
      const int fd = host.connect();
      if (fd >= 0) {
        lockAnswer = answerOf(fd, lockRequestFrame(1, 1));
        unlockAnswer = answerOf(fd, lockRequestFrame(0, 2));
        ::close(fd);
      }
    }
    if (lockAnswer.empty() || unlockAnswer.empty()) return;
    const int listenFd = hosttest::listenAt(m_path);
    if (listenFd < 0) return;
    // The echo ends with this process.
    m_child.start([&] { serve(listenFd, lockAnswer, unlockAnswer); });
    ::close(listenFd);
  }
  bool up() const { return m_child.up(); }
  const std::string& path() const { return m_path; }
  const tktest::TempDir& dir() const { return m_dir; }

 private:
  [[noreturn]] static void serve(int listenFd, const std::vector<tkwire::Reply>& lockAnswer,
                                 const std::vector<tkwire::Reply>& unlockAnswer) {
    tkbench::serveEachRequest(listenFd, [&](int fd, const std::string& body) {
      const std::optional<tkwire::DecodedRequest> request = tkwire::decodeRequest(body);
      if (!request || request->kind != tkwire::kRequestStream) return false;
      const bool lock = (request->stream.firstField >> 32) != 0;
      return tkwire::writeAll(fd, answerFor(lock ? lockAnswer : unlockAnswer, request->stream.sequence));
    });
  }

  tktest::TempDir m_dir;
  std::string m_path;
  tkbench::LinkedProcess m_child;
};

Echo& echo() {
  static Echo server;
  return server;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void consoleScript(benchmark::State& state) {
  Echo& e = echo();
  if (!e.up()) {
    state.SkipWithError("the echo did not come up");
    return;
  }
  const std::string script = e.dir().file("pairs.tk");
  {
    std::ofstream out(script);
    for (int i = 0; i < kPairs; ++i) out << "lock\nunlock\n";
  }
  const std::string binary = tkbench::otherBuild("TK_BENCH_CONSOLE", hosttest::consoleBinary());
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    hosttest::Child console;
    if (!console.start(binary, {"--socket", e.path(), "--script", script}, {}, "/dev/null",
                       e.dir().file("console.err")) ||
        console.exitCode() != 0) {
      state.SkipWithError("the console failed");
      return;
    }
    state.SetIterationTime(secondsSince(start));
  }
}

void leanClient(benchmark::State& state) {
  Echo& e = echo();
  if (!e.up()) {
    state.SkipWithError("the echo did not come up");
    return;
  }
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = hosttest::connectWithin(e.path(), 5000);
    const timeval limit{kReplyMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    bool whole = fd >= 0;
    std::string body;
    for (int i = 0; whole && i < 2 * kPairs; ++i) {
      whole = tkwire::writeAll(fd, lockRequestFrame(i % 2 == 0 ? 1 : 0, i + 1));
      for (bool end = false; whole && !end;) {
        whole = tkwire::readFrame(fd, -1, -1, body) == tkwire::ReadStatus::Ok;
        const std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
        whole = whole && reply.has_value();
        end = whole && reply->isEnd();
      }
    }
    if (fd >= 0) ::close(fd);
    if (!whole) {
      state.SkipWithError("the lean client lost the echo");
      return;
    }
    state.SetIterationTime(secondsSince(start));
  }
}

const bool kRegistered = [] {
  tkbench::registerPair("console_script_4000_pairs", consoleScript, leanClient, [](tkbench::Benchmark* b) {
    b->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
  });
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
