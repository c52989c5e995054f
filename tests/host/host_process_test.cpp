// End-to-end tests of the tkhost process: the real binary on a socket in a
// temporary directory, reached over the real socket with the wire codec.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "tests/host/HostHarness.h"
#include "tests/support/TempDir.h"
#include "tests/support/wire/WireCodec.h"

namespace {

using hosttest::Child;

constexpr int kStartMs = 30000;  // the host under the sanitizers starts in well under a second
constexpr int kReplyMs = 10000;

std::string statusItem(uint32_t status, const std::string& text) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((status >> (8 * i)) & 0xFF));
  return bytes + text;
}

// The replies to one request: the first within kReplyMs, then until quiet.
std::vector<tkwire::Reply> answers(int fd, int quietMs = 150) {
  std::vector<tkwire::Reply> out;
  std::string body;
  int wait = kReplyMs;
  while (tkwire::readFrame(fd, wait, body) == tkwire::ReadStatus::Ok) {
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    EXPECT_TRUE(reply.has_value()) << "undecodable reply";
    if (reply) out.push_back(*reply);
    wait = quietMs;
  }
  return out;
}

// Asserts that `replies` is exactly the host's status reply with the text.
void expectRefusal(const std::vector<tkwire::Reply>& replies, int64_t sequence, const std::string& text) {
  ASSERT_EQ(replies.size(), 1u);
  const tkwire::Reply& r = replies[0];
  EXPECT_EQ(r.kind, tkwire::kReplyItems);
  EXPECT_EQ(r.messageId, 1024u);
  EXPECT_EQ(r.sequence, sequence);
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_EQ(r.items[0].tag, 2051u);
  EXPECT_EQ(r.items[0].bytes, statusItem(0, text));
  EXPECT_EQ(r.items[0].bytes.size(), text.size() + 4);
}

tkwire::StreamRequest streamRequest(const std::string& handler, int64_t sequence, std::string stream = "") {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  r.stream = std::move(stream);
  return r;
}

class HostProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_socket = m_dir.file("host.sock");
    ASSERT_TRUE(startHost(m_host, {"--socket", m_socket}));
    m_fd = hosttest::connectWithin(m_socket, kStartMs);
    ASSERT_GE(m_fd, 0) << "the host did not come up: " << hosttest::readFile(m_dir.file("host.err"));
  }

  void TearDown() override {
    if (m_fd >= 0) ::close(m_fd);
    m_host.kill();
  }

  bool startHost(Child& child, std::vector<std::string> args, const std::string& name = "host") {
    return child.start(hosttest::hostBinary(), args, {{"TK_DB", m_dir.file("tarnkeep.db")}},
                       m_dir.file(name + ".out"), m_dir.file(name + ".err"));
  }

  std::string hostLog() { return hosttest::readFile(m_dir.file("host.err")); }

  // Sends a SIGTERM and expects a clean exit 0 within a bounded time.
  void expectCleanStop(int sig = SIGTERM) {
    m_host.signal(sig);
    std::optional<int> status = m_host.wait(kStartMs);
    ASSERT_TRUE(status.has_value()) << "the host did not stop";
    ASSERT_TRUE(WIFEXITED(*status)) << "status " << *status << "\n" << hostLog();
    EXPECT_EQ(WEXITSTATUS(*status), 0) << hostLog();
  }

  tktest::TempDir m_dir;
  std::string m_socket;
  Child m_host;
  int m_fd = -1;
};

TEST_F(HostProcessTest, UnknownHandlerIsAnsweredWithOneStatusReply) {
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("NoSuchHandler", 77))));
  expectRefusal(answers(m_fd), 77, "unknown handler NoSuchHandler");

  tkwire::XmlRequest xml;
  xml.handler = "NoSuchXmlHandler";
  xml.sequence = -5;
  xml.messageId = 0x0DF9BE39;
  xml.xml = "<x/>";
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeXmlRequest(xml)));
  expectRefusal(answers(m_fd), -5, "unknown handler NoSuchXmlHandler");
}

TEST_F(HostProcessTest, SequenceNumberIsEchoedWhole) {
  // The top 16 bits carry the locale; all 64 bits come back.
  const int64_t sequence = static_cast<int64_t>(0xFFFF000000000123ull);
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Nothing", sequence))));
  expectRefusal(answers(m_fd), sequence, "unknown handler Nothing");
}

TEST_F(HostProcessTest, MalformedFramesAreRefusedAndTheConnectionGoesOn) {
  struct Case {
    const char* what;
    std::string body;
    int64_t sequence;  // echoed when the frame carries it
  };
  std::string truncated = tkwire::encodeStreamRequest(streamRequest("H", 4242, std::string(10, 'a'))).substr(4);
  truncated.resize(truncated.size() - 3);  // the stream is shorter than its length says
  std::string trailing = tkwire::encodeStreamRequest(streamRequest("H", 99)).substr(4) + "x";
  std::string badKind = tkwire::encodeStreamRequest(streamRequest("H", 5)).substr(4);
  badKind[0] = 9;
  const Case cases[] = {
      {"empty body", "", 0},
      {"three bytes", "abc", 0},
      {"unknown kind", badKind, 0},
      {"stream shorter than its length", truncated, 4242},
      {"bytes after the stream", trailing, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string frame;
    uint32_t n = static_cast<uint32_t>(c.body.size());
    for (int i = 0; i < 4; ++i) frame.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    ASSERT_TRUE(tkwire::writeAll(m_fd, frame + c.body));
    expectRefusal(answers(m_fd), c.sequence, "malformed request frame");
  }
  // The connection still serves well-formed requests.
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Next", 8))));
  expectRefusal(answers(m_fd), 8, "unknown handler Next");
}

TEST_F(HostProcessTest, OversizedStreamIsRefusedWithoutHarm) {
  // One byte more than the stream area: refused before any handler is looked up.
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Any", 11, std::string(63537, 'z')))));
  expectRefusal(answers(m_fd), 11, "element stream too long: 63537 bytes, at most 63536");

  // A stream that fills the area exactly is accepted (here: unknown handler).
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Any", 12, std::string(63536, 'z')))));
  expectRefusal(answers(m_fd), 12, "unknown handler Any");

  // A much larger one, and the host still serves this and new connections.
  ASSERT_TRUE(
      tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Any", 13, std::string(2 << 20, 'y')))));
  expectRefusal(answers(m_fd), 13, "element stream too long: 2097152 bytes, at most 63536");
  int other = hosttest::connectWithin(m_socket, kStartMs);
  ASSERT_GE(other, 0);
  ASSERT_TRUE(tkwire::writeAll(other, tkwire::encodeStreamRequest(streamRequest("Again", 14))));
  expectRefusal(answers(other), 14, "unknown handler Again");
  ::close(other);
  EXPECT_TRUE(m_host.running());
}

TEST_F(HostProcessTest, FrameBeyondTheFrameLimitEndsOnlyThatConnection) {
  std::string prefix;
  uint32_t n = tkwire::kMaxFrameBytes + 1;
  for (int i = 0; i < 4; ++i) prefix.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  ASSERT_TRUE(tkwire::writeAll(m_fd, prefix));
  expectRefusal(answers(m_fd), 0, "request frame too long: at most 16777216 bytes");
  EXPECT_TRUE(hosttest::closedWithin(m_fd, kReplyMs));

  int other = hosttest::connectWithin(m_socket, kStartMs);
  ASSERT_GE(other, 0);
  ASSERT_TRUE(tkwire::writeAll(other, tkwire::encodeStreamRequest(streamRequest("Still", 3))));
  expectRefusal(answers(other), 3, "unknown handler Still");
  ::close(other);
}

TEST_F(HostProcessTest, TwoConnectionsAreServedAtOnce) {
  int second = hosttest::connectWithin(m_socket, kStartMs);
  ASSERT_GE(second, 0);
  // The first connection has sent half a frame and waits; the second is served.
  std::string frame = tkwire::encodeStreamRequest(streamRequest("First", 1));
  ASSERT_TRUE(tkwire::writeAll(m_fd, frame.substr(0, 7)));
  ASSERT_TRUE(tkwire::writeAll(second, tkwire::encodeStreamRequest(streamRequest("Second", 2))));
  expectRefusal(answers(second), 2, "unknown handler Second");
  // The first completes its frame and gets its own answer, not the other's.
  ASSERT_TRUE(tkwire::writeAll(m_fd, frame.substr(7)));
  expectRefusal(answers(m_fd), 1, "unknown handler First");
  ::close(second);
}

TEST_F(HostProcessTest, ManyConnectionsFromManyThreads) {
  constexpr int kClients = 12;
  constexpr int kRequests = 5;
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      int fd = hosttest::connectWithin(m_socket, kStartMs);
      if (fd < 0) return;
      for (int i = 0; i < kRequests; ++i) {
        int64_t seq = c * 100 + i;
        std::string name = "H" + std::to_string(seq);
        if (!tkwire::writeAll(fd, tkwire::encodeStreamRequest(streamRequest(name, seq)))) break;
        std::string body;
        if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) break;
        std::optional<tkwire::Reply> r = tkwire::decodeReply(body);
        if (r && r->sequence == seq && r->items.size() == 1 &&
            r->items[0].bytes == statusItem(0, "unknown handler " + name))
          ++good;
      }
      ::close(fd);
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(good.load(), kClients * kRequests);
}

TEST_F(HostProcessTest, ClosedConnectionsAreCleanedUp) {
  // Threads and descriptors of the host return to where they were once the
  // consoles have gone.
  pid_t pid = m_host.pid();
  auto settle = [&](int threads, int fds) {
    int64_t deadline = hosttest::nowMs() + kReplyMs;
    while (hosttest::nowMs() < deadline) {
      if (hosttest::countProcEntries(pid, "task") == threads && hosttest::countProcEntries(pid, "fd") == fds)
        return true;
      hosttest::pauseMs(10);
    }
    return false;
  };
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Warm", 1))));
  ASSERT_EQ(answers(m_fd).size(), 1u);
  int baseThreads = hosttest::countProcEntries(pid, "task");
  int baseFds = hosttest::countProcEntries(pid, "fd");

  std::vector<int> fds;
  for (int i = 0; i < 20; ++i) {
    int fd = hosttest::connectWithin(m_socket, kStartMs);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(tkwire::writeAll(fd, tkwire::encodeStreamRequest(streamRequest("X", i))));
    std::string body;
    ASSERT_EQ(tkwire::readFrame(fd, kReplyMs, body), tkwire::ReadStatus::Ok);
    fds.push_back(fd);
  }
  EXPECT_TRUE(settle(baseThreads + 20, baseFds + 20));
  for (int fd : fds) ::close(fd);
  // Connections that close halfway through a frame are cleaned up as well.
  for (int i = 0; i < 5; ++i) {
    int fd = hosttest::connectWithin(m_socket, kStartMs);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(tkwire::writeAll(fd, std::string("\x40\x00\x00\x00partial", 11)));
    ::close(fd);
  }
  EXPECT_TRUE(settle(baseThreads, baseFds)) << "threads " << hosttest::countProcEntries(pid, "task") << " (was "
                                             << baseThreads << "), descriptors "
                                             << hosttest::countProcEntries(pid, "fd") << " (was " << baseFds << ")";
}

TEST_F(HostProcessTest, SigtermStopsTheHostCleanly) {
  // An idle console and a console halfway through a frame do not hold it up.
  int halfway = hosttest::connectWithin(m_socket, kStartMs);
  ASSERT_GE(halfway, 0);
  ASSERT_TRUE(tkwire::writeAll(halfway, std::string("\x20\x00\x00\x00", 4)));
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Before", 1))));
  ASSERT_EQ(answers(m_fd).size(), 1u);

  expectCleanStop(SIGTERM);
  EXPECT_FALSE(hosttest::exists(m_socket)) << "the socket file was left behind";
  EXPECT_TRUE(hosttest::closedWithin(m_fd, kReplyMs));
  EXPECT_TRUE(hosttest::closedWithin(halfway, kReplyMs));
  ::close(halfway);
  EXPECT_NE(hostLog().find("stopped"), std::string::npos);
}

TEST_F(HostProcessTest, SigintStopsTheHostCleanly) {
  expectCleanStop(SIGINT);
  EXPECT_FALSE(hosttest::exists(m_socket));
}

TEST_F(HostProcessTest, SocketIsForItsOwnerOnly) {
  struct stat st{};
  ASSERT_EQ(::stat(m_socket.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(HostProcessTest, SecondHostOnTheSameSocketIsRefused) {
  Child second;
  ASSERT_TRUE(startHost(second, {"--socket", m_socket}, "second"));
  std::optional<int> status = second.wait(kStartMs);
  ASSERT_TRUE(status.has_value());
  ASSERT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 1);
  EXPECT_NE(hosttest::readFile(m_dir.file("second.err")).find("another host is listening on"), std::string::npos);
  // The first host and its socket are untouched.
  ASSERT_TRUE(tkwire::writeAll(m_fd, tkwire::encodeStreamRequest(streamRequest("Still", 2))));
  expectRefusal(answers(m_fd), 2, "unknown handler Still");
}

TEST_F(HostProcessTest, ConnectionsGetFreshDescriptorNumbers) {
  // The handler library knows a console by its descriptor; a console that
  // connects after another one has gone must not inherit its number.
  auto count = [&](const std::string& what) {
    std::string log = hostLog();
    size_t n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  for (size_t i = 1; i <= 3; ++i) {
    int fd = hosttest::connectWithin(m_socket, kStartMs);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(tkwire::writeAll(fd, tkwire::encodeStreamRequest(streamRequest("X", 1))));
    std::string body;
    ASSERT_EQ(tkwire::readFrame(fd, kReplyMs, body), tkwire::ReadStatus::Ok);
    ::close(fd);
    // Wait until the host has closed its end too, so that the number is free.
    int64_t deadline = hosttest::nowMs() + kReplyMs;
    while (count(" closed") < i && hosttest::nowMs() < deadline) hosttest::pauseMs(5);
    ASSERT_EQ(count(" closed"), i) << hostLog();
  }
  std::vector<std::string> opened;
  std::string log = hostLog();
  for (size_t at = log.find("connection "); at != std::string::npos; at = log.find("connection ", at + 1)) {
    size_t end = log.find(" opened", at);
    if (end != std::string::npos && end < log.find('\n', at)) opened.push_back(log.substr(at + 11, end - at - 11));
  }
  // The fixture's own connection first, then the three.
  ASSERT_EQ(opened.size(), 4u) << log;
  for (size_t i = 1; i < opened.size(); ++i)
    for (size_t j = 0; j < i; ++j) EXPECT_NE(opened[i], opened[j]) << log;
}

class HostStartTest : public ::testing::Test {
 protected:
  // Runs the host to its end; the exit code, or -1.
  int runHost(std::vector<std::string> args, int timeoutMs = kStartMs) {
    Child child;
    if (!child.start(hosttest::hostBinary(), args, {{"TK_DB", m_dir.file("tarnkeep.db")}}, m_dir.file("out"),
                     m_dir.file("err")))
      return -1;
    std::optional<int> status = child.wait(timeoutMs);
    if (!status || !WIFEXITED(*status)) return -1;
    return WEXITSTATUS(*status);
  }
  std::string log() { return hosttest::readFile(m_dir.file("err")); }

  tktest::TempDir m_dir;
};

TEST_F(HostStartTest, StaleSocketFileIsReplaced) {
  std::string path = m_dir.file("stale.sock");
  int fd = hosttest::listenAt(path);
  ASSERT_GE(fd, 0);
  ::close(fd);  // the file stays, nobody listens
  ASSERT_TRUE(hosttest::exists(path));

  Child host;
  ASSERT_TRUE(host.start(hosttest::hostBinary(), {"--socket", path}, {{"TK_DB", m_dir.file("db")}},
                         m_dir.file("out"), m_dir.file("err")));
  int client = hosttest::connectWithin(path, kStartMs);
  ASSERT_GE(client, 0) << log();
  ASSERT_TRUE(tkwire::writeAll(client, tkwire::encodeStreamRequest(streamRequest("X", 1))));
  expectRefusal(answers(client), 1, "unknown handler X");
  ::close(client);
}

TEST_F(HostStartTest, RefusesToStartWhenItCannot) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string message;
  };
  std::string plainFile = m_dir.file("plain");
  { std::ofstream(plainFile) << "not a socket"; }
  const Case cases[] = {
      {"missing library", {"--socket", m_dir.file("a.sock"), "--library", m_dir.file("nope.so")}, "cannot load"},
      {"file in the way", {"--socket", plainFile}, "exists and is not a socket"},
      {"socket path too long", {"--socket", m_dir.file(std::string(120, 's'))}, "socket path must be"},
      {"unknown argument", {"--frobnicate"}, "unknown argument --frobnicate"},
      {"missing value", {"--socket"}, "--socket needs a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int code = runHost(c.args);
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    EXPECT_NE(log().find(c.message), std::string::npos) << log();
  }
  EXPECT_EQ(hosttest::readFile(plainFile), "not a socket");
}

TEST_F(HostStartTest, SeedDemoSaysWhatItDid) {
  Child host;
  std::string path = m_dir.file("seed.sock");
  ASSERT_TRUE(host.start(hosttest::hostBinary(), {"--socket", path, "--seed-demo"}, {{"TK_DB", m_dir.file("db")}},
                         m_dir.file("out"), m_dir.file("err")));
  int client = hosttest::connectWithin(path, kStartMs);
  ASSERT_GE(client, 0) << log();
  ::close(client);
  EXPECT_NE(log().find("--seed-demo: nothing to seed yet"), std::string::npos) << log();
  host.signal(SIGTERM);
  std::optional<int> status = host.wait(kStartMs);
  ASSERT_TRUE(status && WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(HostStartTest, ConnectionsBeyondTheLimitAreTurnedAway) {
  std::string path = m_dir.file("limit.sock");
  Child host;
  ASSERT_TRUE(host.start(hosttest::hostBinary(), {"--socket", path, "--max-connections", "1"},
                         {{"TK_DB", m_dir.file("db")}}, m_dir.file("out"), m_dir.file("err")));
  int first = hosttest::connectWithin(path, kStartMs);
  ASSERT_GE(first, 0) << log();
  ASSERT_TRUE(tkwire::writeAll(first, tkwire::encodeStreamRequest(streamRequest("A", 1))));
  ASSERT_EQ(answers(first).size(), 1u);

  int second = hosttest::connectOnce(path);
  ASSERT_GE(second, 0);
  expectRefusal(answers(second), 0, "too many connections");
  EXPECT_TRUE(hosttest::closedWithin(second, kReplyMs));
  ::close(second);

  // Once the first has gone, a new one is served.
  ::close(first);
  int64_t deadline = hosttest::nowMs() + kReplyMs;
  bool served = false;
  while (!served && hosttest::nowMs() < deadline) {
    int fd = hosttest::connectOnce(path);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(tkwire::writeAll(fd, tkwire::encodeStreamRequest(streamRequest("B", 2))));
    std::vector<tkwire::Reply> r = answers(fd, 50);
    served = r.size() == 1 && r[0].sequence == 2;
    ::close(fd);
    if (!served) hosttest::pauseMs(20);
  }
  EXPECT_TRUE(served) << log();
}

TEST_F(HostStartTest, CreatesTheSocketDirectory) {
  std::string path = m_dir.file("deeper/var/tkhost.sock");
  Child host;
  ASSERT_TRUE(host.start(hosttest::hostBinary(), {"--socket", path}, {{"TK_DB", m_dir.file("db")}},
                         m_dir.file("out"), m_dir.file("err")));
  int client = hosttest::connectWithin(path, kStartMs);
  ASSERT_GE(client, 0) << log();
  ::close(client);
}

}  // namespace
