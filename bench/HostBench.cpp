// tkhost against a raw Unix-socket echo, over real sockets:
//   host_roundtrip_cN         N consoles (1, 2, 4, 8), each on its own
//                             connection, each sending lock/unlock pairs of
//                             the element-stream lock request and reading
//                             each reply, against the same frames echoed by
//                             a thread-per-connection echo server in this
//                             process. One iteration is one pair (two round
//                             trips); the time is wall time per pair over
//                             all consoles, so it falls as the host serves
//                             consoles in parallel. The echo answers each
//                             request with the frames a host answered it
//                             with (its reply and its end frame, recorded
//                             once), and both sides are read by the same
//                             lean client: blocking reads up to the end
//                             frame, a socket time-out instead of a poll.
//   host_roundtrip_after_N    one console's pairs on a host that has already
//                             served N pairs (10, 100,000): flat is the goal.
//                             The label tells how many pairs were served
//                             before timing (the warm-up stops after
//                             kWarmupSeconds) and how much the host's
//                             resident memory grew meanwhile.
// Every case has a fresh host of its own, and a fixed number of iterations,
// so that no case times a host that another case has grown.
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchPairs.h"
#include "tests/support/HostHarness.h"
#include "wire/WireCodec.h"

namespace {

constexpr int kReplyMs = 10000;
constexpr int kIterations = 1000;   // pairs per console and repetition
constexpr int kWarmupSeconds = 120;  // at most, before a host_roundtrip_after case

std::string lockFrame(uint32_t operation, int64_t sequence) {
  tkwire::StreamRequest request;
  request.handler = "LockMMConfiguration";
  request.sequence = sequence;
  request.firstField = tkwire::firstFieldOf(2, operation);  // rights argument 2
  return tkwire::encodeStreamRequest(request);
}

const std::string kLock = lockFrame(1, 1);
const std::string kUnlock = lockFrame(0, 2);

// One request and its answer: the reply frames up to the end-of-request
// frame, read without a poll before each read (the socket's receive
// time-out ends a wait that would never end).
bool roundTrip(int fd, const std::string& frame, std::string& reply) {
  if (!tkwire::writeAll(fd, frame)) return false;
  for (;;) {
    if (tkwire::readFrame(fd, -1, -1, reply) != tkwire::ReadStatus::Ok) return false;
    const std::optional<tkwire::Reply> decoded = tkwire::decodeReply(reply);
    if (!decoded) return false;
    if (decoded->isEnd()) return true;
  }
}

bool pair(int fd, std::string& reply) { return roundTrip(fd, kLock, reply) && roundTrip(fd, kUnlock, reply); }

// A connection of the lean client: reads time out on their own.
int leanClient(int fd) {
  if (fd < 0) return fd;
  timeval limit{kReplyMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

// The frames (length prefix included) that answer `frame`, up to and with
// the end frame.
std::vector<std::string> answerOf(int fd, const std::string& frame) {
  std::vector<std::string> frames;
  std::string body;
  if (!tkwire::writeAll(fd, frame)) return {};
  for (;;) {
    if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) return {};
    std::string whole(4, '\0');
    for (int i = 0; i < 4; ++i) whole[i] = static_cast<char>((body.size() >> (8 * i)) & 0xFF);
    frames.push_back(whole + body);
    const std::optional<tkwire::Reply> decoded = tkwire::decodeReply(body);
    if (!decoded || decoded->isEnd()) return frames;
  }
}

using hosttest::residentKb;

// A fresh tkhost in a directory of its own.
class BenchHost {
 public:
  BenchHost()
      : m_host(m_dir, m_dir.file("host.sock"), {"--quiet"}, {{"TK_LOCK_DIR", m_dir.file("locks")}}) {
    m_up = m_host.up();
  }
  bool up() const { return m_up; }
  int connect() { return m_host.connect(); }
  pid_t pid() { return m_host.child().pid(); }

 private:
  tktest::TempDir m_dir;
  hosttest::Host m_host;
  bool m_up = false;
};

// The raw baseline: a thread per connection that answers the lock and the
// unlock request with the frames a host answered them with.
class EchoServer {
 public:
  EchoServer() : m_path(m_dir.file("echo.sock")) {
    {
      // The answers, as a host of its own gave them once.
      BenchHost host;
      const int fd = host.up() ? host.connect() : -1;
      if (fd >= 0) {
        m_lockAnswer = answerOf(fd, kLock);
        m_unlockAnswer = answerOf(fd, kUnlock);
        ::close(fd);
      }
    }
    if (m_lockAnswer.empty() || m_unlockAnswer.empty()) return;
    m_listenFd = hosttest::listenAt(m_path);
    if (m_listenFd >= 0) m_acceptor = std::thread([this] { acceptLoop(); });
  }
  ~EchoServer() {
    if (m_listenFd >= 0) ::shutdown(m_listenFd, SHUT_RDWR);
    if (m_acceptor.joinable()) m_acceptor.join();
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      for (int fd : m_fds) ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : m_threads) t.join();
    for (int fd : m_fds) ::close(fd);
    if (m_listenFd >= 0) ::close(m_listenFd);
  }
  bool up() const { return m_listenFd >= 0; }
  int connect() const { return hosttest::connectWithin(m_path, 5000); }

 private:
  void acceptLoop() {
    const std::string lockBody = kLock.substr(4);
    for (;;) {
      int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;  // shut down
      std::lock_guard<std::mutex> guard(m_mutex);
      m_fds.push_back(fd);
      m_threads.emplace_back([this, fd, lockBody] {
        std::string body;
        while (tkwire::readFrame(fd, -1, -1, body) == tkwire::ReadStatus::Ok) {
          bool written = true;
          for (const std::string& frame : body == lockBody ? m_lockAnswer : m_unlockAnswer)
            written = written && tkwire::writeAll(fd, frame);
          if (!written) break;
        }
      });
    }
  }

  tktest::TempDir m_dir;
  std::string m_path;
  std::vector<std::string> m_lockAnswer;
  std::vector<std::string> m_unlockAnswer;
  int m_listenFd = -1;
  std::thread m_acceptor;
  std::mutex m_mutex;
  std::vector<int> m_fds;
  std::vector<std::thread> m_threads;
};

EchoServer& echoServer() {
  static EchoServer server;
  return server;
}

// The host of one case, made at its first use and kept for its repetitions.
BenchHost& hostOf(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<BenchHost>> hosts;
  std::lock_guard<std::mutex> guard(mutex);
  std::unique_ptr<BenchHost>& host = hosts[name];
  if (!host) host = std::make_unique<BenchHost>();
  return *host;
}

// Times pairs on a connection of this benchmark thread.
template <class Server>
void timePairs(benchmark::State& state, Server& server) {
  if (!server.up()) {
    state.SkipWithError("the server did not come up");
    return;
  }
  const int fd = leanClient(server.connect());
  if (fd < 0) {
    state.SkipWithError("no connection");
    return;
  }
  std::string reply;
  for (auto _ : state) {
    if (!pair(fd, reply)) {
      state.SkipWithError("a request went unanswered");
      break;
    }
  }
  ::close(fd);
}

void configure(tkbench::Benchmark* b, int consoles) {
  b->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(kIterations)->Threads(consoles);
}

// Serves `pairs` pairs (or as many as kWarmupSeconds allow) before the first
// repetition; the label tells what was done.
void warmUp(BenchHost& host, int pairs, std::string& label) {
  if (!label.empty() || !host.up()) return;
  const long before = residentKb(host.pid());
  const int fd = leanClient(host.connect());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWarmupSeconds);
  int served = 0;
  std::string reply;
  while (fd >= 0 && served < pairs && pair(fd, reply)) {
    ++served;
    if (served % 256 == 0 && std::chrono::steady_clock::now() > deadline) break;
  }
  if (fd >= 0) ::close(fd);
  label = "after " + std::to_string(served) + " pairs" +
          (served < pairs ? " (warm-up stopped at " + std::to_string(kWarmupSeconds) + " s)" : std::string()) +
          "; host memory +" + std::to_string(residentKb(host.pid()) - before) + " KB";
}

const bool kRegistered = [] {
  for (int consoles : {1, 2, 4, 8}) {
    const std::string name = "host_roundtrip_c" + std::to_string(consoles);
    tkbench::registerPair(
        name, [name](benchmark::State& s) { timePairs(s, hostOf(name)); },
        [](benchmark::State& s) { timePairs(s, echoServer()); },
        [consoles](tkbench::Benchmark* b) { configure(b, consoles); });
  }
  for (int pairs : {10, 100000}) {
    const std::string name = "host_roundtrip_after_" + std::to_string(pairs);
    tkbench::registerPair(
        name,
        [name, pairs](benchmark::State& s) {
          static std::map<std::string, std::string> labels;
          BenchHost& host = hostOf(name);
          warmUp(host, pairs, labels[name]);
          timePairs(s, host);
          s.SetLabel(labels[name]);
        },
        [](benchmark::State& s) { timePairs(s, echoServer()); }, [](tkbench::Benchmark* b) { configure(b, 1); });
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
