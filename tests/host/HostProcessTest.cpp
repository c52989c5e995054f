// End-to-end tests of the tkhost process: the real binary on a socket in a
// temporary directory, reached over the real socket with the wire codec.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <poll.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

#include "tests/support/HostHarness.h"

namespace {

using hosttest::sendAndRead;
using hosttest::Host;
using hosttest::kReplyMs;
using hosttest::streamFrame;
using tktest::expectStatus;

// Sends a request for `handler`, which no library entry has: the host answers
// with its status reply.
void expectUnknownHandler(int fd, const std::string& handler, int64_t sequence) {
  expectStatus(sendAndRead(fd, streamFrame(handler, sequence)), sequence, 0, "unknown handler " + handler);
}

// Sends the frame on a new connection; true when the host answers it as an
// unknown handler with the sequence number (it is served, not turned away).
bool servedOnce(const std::string& path, int64_t sequence) {
  int fd = hosttest::connectOnce(path);
  if (fd < 0) return false;
  bool served = false;
  if (tkwire::writeAll(fd, streamFrame("Fresh", sequence))) {
    std::vector<tkwire::Reply> replies = tktest::awaitReplies(fd, kReplyMs, 0);
    served = replies.size() == 1 && replies[0].sequence == sequence;
  }
  ::close(fd);
  return served;
}

class HostProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_fd = m_host.connect();
    ASSERT_GE(m_fd, 0) << "the host did not come up: " << m_host.log();
  }
  void TearDown() override {
    if (m_fd >= 0) ::close(m_fd);
  }

  tktest::TempDir m_dir;
  std::string m_socket = m_dir.file("host.sock");
  Host m_host{m_dir, m_socket};
  int m_fd = -1;
};

TEST_F(HostProcessTest, UnknownHandlerIsAnsweredWithOneStatusReplyAndTheWholeSequence) {
  expectUnknownHandler(m_fd, "NoSuchHandler", 77);
  // The top 16 bits carry the locale; all 64 bits come back.
  expectUnknownHandler(m_fd, "Nothing", static_cast<int64_t>(0xFFFF000000000123ull));

  tkwire::XmlRequest xml;
  xml.handler = "NoSuchXmlHandler";
  xml.sequence = -5;
  xml.messageId = 0x0DF9BE39;
  xml.xml = "<x/>";
  expectStatus(sendAndRead(m_fd, tkwire::encodeXmlRequest(xml)), -5, 0, "unknown handler NoSuchXmlHandler");
}

TEST_F(HostProcessTest, MalformedFramesAreRefusedAndTheConnectionGoesOn) {
  std::string truncated = streamFrame("H", 4242, std::string(10, 'a')).substr(4);
  truncated.resize(truncated.size() - 3);  // the stream is shorter than its length says
  std::string badKind = streamFrame("H", 5).substr(4);
  badKind[0] = 9;
  const struct {
    const char* what;
    std::string body;
    int64_t sequence;  // echoed when the frame carries it
  } cases[] = {
      {"empty body", "", 0},
      {"three bytes", "abc", 0},
      {"unknown kind", badKind, 0},
      {"stream shorter than its length", truncated, 4242},
      {"bytes after the stream", streamFrame("H", 99).substr(4) + "x", 99},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string frame = tktest::le32(static_cast<uint32_t>(c.body.size())) + c.body;
    expectStatus(sendAndRead(m_fd, frame), c.sequence, 0, "malformed request frame");
  }
  expectUnknownHandler(m_fd, "Next", 8);
}

TEST_F(HostProcessTest, OversizedStreamsAndFramesAreRefusedWithoutHarm) {
  // One byte more than the stream area: refused before any handler is looked up.
  expectStatus(sendAndRead(m_fd, streamFrame("Any", 11, std::string(63537, 'z'))), 11, 0,
               "element stream too long: 63537 bytes, at most 63536");
  // A stream that fills the area exactly is accepted (here: unknown handler).
  expectStatus(sendAndRead(m_fd, streamFrame("Any", 12, std::string(63536, 'z'))), 12, 0, "unknown handler Any");
  // A much larger one, and the host still serves this and new connections.
  expectStatus(sendAndRead(m_fd, streamFrame("Any", 13, std::string(2 << 20, 'y'))), 13, 0,
               "element stream too long: 2097152 bytes, at most 63536");
  int other = m_host.connect();
  ASSERT_GE(other, 0);
  expectUnknownHandler(other, "Again", 14);
  EXPECT_TRUE(m_host.child().running());

  // A frame beyond the frame limit ends only its connection.
  expectStatus(sendAndRead(m_fd, tktest::le32(tkwire::kMaxFrameBytes + 1)), 0, 0,
               "request frame too long: at most 16777216 bytes");
  EXPECT_TRUE(hosttest::closedWithin(m_fd));
  expectUnknownHandler(other, "Still", 15);
  ::close(other);
}

TEST_F(HostProcessTest, TwoConnectionsAreServedAtOnce) {
  int second = m_host.connect();
  ASSERT_GE(second, 0);
  // The first connection has sent half a frame and waits; the second is served.
  std::string frame = streamFrame("First", 1);
  ASSERT_TRUE(tkwire::writeAll(m_fd, frame.substr(0, 7)));
  expectUnknownHandler(second, "Second", 2);
  // The first completes its frame and gets its own answer, not the other's.
  expectStatus(sendAndRead(m_fd, frame.substr(7)), 1, 0, "unknown handler First");
  ::close(second);
}

TEST_F(HostProcessTest, ManyConnectionsFromManyThreads) {
  constexpr int kClients = 12;
  constexpr int kRequests = 5;
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      int fd = m_host.connect();
      if (fd < 0) return;
      for (int i = 0; i < kRequests; ++i) {
        int64_t seq = c * 100 + i;
        std::string name = "H" + std::to_string(seq);
        if (!tkwire::writeAll(fd, streamFrame(name, seq))) break;
        std::string body;
        if (tkwire::readFrame(fd, kReplyMs, body) != tkwire::ReadStatus::Ok) break;
        std::optional<tkwire::Reply> r = tkwire::decodeReply(body);
        std::string endBody;
        if (tkwire::readFrame(fd, kReplyMs, endBody) != tkwire::ReadStatus::Ok) break;
        std::optional<tkwire::Reply> end = tkwire::decodeReply(endBody);
        if (r && r->sequence == seq && r->items.size() == 1 &&
            r->items[0].bytes == tktest::wordAndText(0, "unknown handler " + name) && end && end->isEnd() &&
            end->sequence == seq && end->endResult() == tkwire::kRefusedResult)
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
  pid_t pid = m_host.child().pid();
  auto settle = [&](int threads, int fds) {
    for (int64_t deadline = hosttest::nowMs() + kReplyMs; hosttest::nowMs() < deadline; hosttest::pauseMs(10)) {
      if (hosttest::countProcEntries(pid, "task") == threads && hosttest::countProcEntries(pid, "fd") == fds)
        return true;
    }
    return false;
  };
  ASSERT_EQ(sendAndRead(m_fd, streamFrame("Warm", 1)).size(), 1u);
  int baseThreads = hosttest::countProcEntries(pid, "task");
  int baseFds = hosttest::countProcEntries(pid, "fd");

  std::vector<int> fds;
  for (int i = 0; i < 20; ++i) {
    int fd = m_host.connect();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(sendAndRead(fd, streamFrame("X", i)).size(), 1u);
    fds.push_back(fd);
  }
  EXPECT_TRUE(settle(baseThreads + 20, baseFds + 20));
  for (int fd : fds) ::close(fd);
  // Connections that close halfway through a frame are cleaned up as well.
  for (int i = 0; i < 5; ++i) {
    int fd = m_host.connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(tkwire::writeAll(fd, std::string("\x40\x00\x00\x00partial", 11)));
    ::close(fd);
  }
  EXPECT_TRUE(settle(baseThreads, baseFds)) << "threads " << hosttest::countProcEntries(pid, "task") << " (was "
                                             << baseThreads << "), descriptors "
                                             << hosttest::countProcEntries(pid, "fd") << " (was " << baseFds << ")";
}

TEST_F(HostProcessTest, SigtermSigintAndSighupStopTheHostCleanly) {
  // An idle console and a console halfway through a frame do not hold it up.
  int halfway = m_host.connect();
  ASSERT_GE(halfway, 0);
  ASSERT_TRUE(tkwire::writeAll(halfway, std::string("\x20\x00\x00\x00", 4)));
  ASSERT_EQ(sendAndRead(m_fd, streamFrame("Before", 1)).size(), 1u);

  EXPECT_EQ(m_host.stop(SIGTERM), 0) << m_host.log();
  EXPECT_FALSE(hosttest::exists(m_socket)) << "the socket file was left behind";
  EXPECT_TRUE(hosttest::closedWithin(m_fd));
  EXPECT_TRUE(hosttest::closedWithin(halfway));
  ::close(halfway);
  EXPECT_NE(m_host.log().find("stopped"), std::string::npos);

  Host again(m_dir, m_socket, {}, {}, "again");
  ASSERT_TRUE(again.up()) << again.log();
  EXPECT_EQ(again.stop(SIGINT), 0) << again.log();
  EXPECT_FALSE(hosttest::exists(m_socket));

  // The terminal a host was started from closes: it stops as cleanly, with a
  // console connected, instead of dying with its socket left behind.
  Host hungUp(m_dir, m_socket, {}, {}, "hungup");
  const int console = hungUp.connect();
  ASSERT_GE(console, 0) << hungUp.log();
  ASSERT_EQ(sendAndRead(console, streamFrame("Before", 1)).size(), 1u);
  EXPECT_EQ(hungUp.stop(SIGHUP), 0) << hungUp.log();
  EXPECT_FALSE(hosttest::exists(m_socket)) << "the socket file was left behind";
  EXPECT_TRUE(hosttest::closedWithin(console));
  ::close(console);
  EXPECT_NE(hungUp.log().find("stopped"), std::string::npos) << hungUp.log();
}

TEST_F(HostProcessTest, SocketIsForItsOwnerOnlyAndNotTakenByASecondHost) {
  struct stat st{};
  ASSERT_EQ(::stat(m_socket.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  Host second(m_dir, m_socket, {}, {}, "second");
  EXPECT_EQ(second.child().exitCode(), 1);
  EXPECT_NE(second.log().find("another host is listening on"), std::string::npos);
  // The first host and its socket are untouched.
  expectUnknownHandler(m_fd, "Still", 2);
}

// A client that sends requests and reads none of their answers fills its
// socket; once a write of the host has waited its send time-out, the host
// drops the connection and says whom it dropped and which answer was lost.
TEST_F(HostProcessTest, AClientThatStopsReadingIsDroppedWithAWarningNamingItsRequest) {
  const std::string frame = streamFrame("Unread", 1);
  std::string frames;
  for (int i = 0; i < 2000; ++i) frames += frame;
  // As much as the connection takes, until the host, its answers unread,
  // takes no more for a while.
  std::size_t sent = 0;
  for (;;) {
    const std::size_t at = sent % frames.size();
    const ssize_t n = ::send(m_fd, frames.data() + at, frames.size() - at, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    pollfd writable{m_fd, POLLOUT, 0};
    if (n < 0 && errno == EAGAIN && ::poll(&writable, 1, 2000) > 0) continue;
    break;
  }
  ASSERT_GT(sent, frame.size());
  // The host's send time-out is ten seconds; the bound only ends a hang.
  const int64_t deadline = hosttest::nowMs() + 180000;
  while (m_host.log().find("stopped reading") == std::string::npos && hosttest::nowMs() < deadline)
    hosttest::pauseMs(50);
  EXPECT_NE(m_host.log().find("NOTICE warning: connection "), std::string::npos) << m_host.log();
  EXPECT_NE(m_host.log().find(" dropped: user 1 stopped reading the answer to request 1 (Unread); "),
            std::string::npos)
      << m_host.log();
}

TEST_F(HostProcessTest, ConnectionsGetFreshDescriptorNumbers) {
  // The handler library knows a console by its descriptor; a console that
  // connects after another one has gone must not inherit its number.
  auto count = [&](const std::string& what) {
    std::string log = m_host.log();
    size_t n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  for (size_t i = 1; i <= 3; ++i) {
    int fd = m_host.connect();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(sendAndRead(fd, streamFrame("X", 1)).size(), 1u);
    ::close(fd);
    // Wait until the host has closed its end too, so that the number is free.
    for (int64_t deadline = hosttest::nowMs() + kReplyMs; count(" closed") < i && hosttest::nowMs() < deadline;)
      hosttest::pauseMs(5);
    ASSERT_EQ(count(" closed"), i) << m_host.log();
  }
  std::vector<std::string> opened;
  std::string log = m_host.log();
  for (size_t at = log.find("connection "); at != std::string::npos; at = log.find("connection ", at + 1)) {
    size_t end = log.find(" opened", at);
    if (end != std::string::npos && end < log.find('\n', at)) opened.push_back(log.substr(at + 11, end - at - 11));
  }
  // The fixture's own connection first, then the three.
  ASSERT_EQ(opened.size(), 4u) << log;
  for (size_t i = 1; i < opened.size(); ++i)
    for (size_t j = 0; j < i; ++j) EXPECT_NE(opened[i], opened[j]) << log;
}

TEST(HostStart, RefusesToStartWhenItCannot) {
  tktest::TempDir dir;
  std::string plainFile = dir.file("plain");
  { std::ofstream(plainFile) << "not a socket"; }
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {"missing library", {"--library", dir.file("nope.so")}, "cannot load"},
      {"file in the way", {"--socket", plainFile}, "exists and is not a socket"},
      {"socket path too long", {"--socket", dir.file(std::string(120, 's'))}, "socket path must be"},
      {"unknown option", {"--frobnicate"}, "unknown option --frobnicate"},
      {"contradicting options", {"--verbose", "--quiet"}, "--verbose and --quiet contradict each other"},
      {"missing value", {"--socket"}, "--socket needs a value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Host host(dir, dir.file("a.sock"), c.args, {}, "refused");
    int code = host.child().exitCode();
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    EXPECT_NE(host.log().find(c.message), std::string::npos) << host.log();
  }
  EXPECT_EQ(hosttest::readFile(plainFile), "not a socket");
}

TEST(HostStart, ReplacesAStaleSocketAndCreatesTheSocketDirectory) {
  tktest::TempDir dir;
  std::string stale = dir.file("stale.sock");
  int fd = hosttest::listenAt(stale);
  ASSERT_GE(fd, 0);
  ::close(fd);  // the file stays, nobody listens
  ASSERT_TRUE(hosttest::exists(stale));
  for (const std::string& path : {stale, dir.file("deeper/var/tkhost.sock")}) {
    SCOPED_TRACE(path);
    Host host(dir, path);
    int client = host.connect();
    ASSERT_GE(client, 0) << host.log();
    expectUnknownHandler(client, "X", 1);
    ::close(client);
  }
}

TEST(HostStart, SeedDemoSaysWhatItDid) {
  tktest::TempDir dir;
  Host host(dir, dir.file("seed.sock"), {"--seed-demo"});
  ASSERT_TRUE(host.up()) << host.log();
  EXPECT_NE(host.log().find("--seed-demo: seeded 20 objects: media agents ma1 and ma2;"), std::string::npos)
      << host.log();
  // The whole summary, on one line: nothing seeded goes unsaid.
  for (const char* part : {"; SAN volume host sanhost1 (client 101);", "; NAS client filer1 (client 102,",
                           "served by media agent nasma1 (client 103); NDMP filer filer2 (login root, password demo);",
                           "; attached to ma2: tape library DEMO TAPE-4 (LIB0004) with four drives, not configured;",
                           "; users admin (1, may change everything) and operator (2, may look only)\n"})
    EXPECT_NE(host.log().find(part), std::string::npos) << part << "\n" << host.log();
  EXPECT_EQ(host.stop(), 0);
}

TEST(HostStart, ConnectionsBeyondTheLimitAreTurnedAway) {
  tktest::TempDir dir;
  std::string path = dir.file("limit.sock");
  Host host(dir, path, {"--max-connections", "1"});
  int first = host.connect();
  ASSERT_GE(first, 0) << host.log();
  ASSERT_EQ(sendAndRead(first, streamFrame("A", 1)).size(), 1u);

  int second = hosttest::connectOnce(path);
  ASSERT_GE(second, 0);
  expectStatus(tktest::awaitReplies(second, kReplyMs), 0, 0, "too many connections");
  EXPECT_TRUE(hosttest::closedWithin(second));
  ::close(second);

  // Once the first has gone, a new one is served.
  ::close(first);
  // (Until the host has seen it go, a new one is still turned away, and may
  // find its connection closed before its request is written.)
  bool served = false;
  for (int64_t deadline = hosttest::nowMs() + kReplyMs; !served && hosttest::nowMs() < deadline;) {
    served = servedOnce(path, 2);
    if (!served) hosttest::pauseMs(20);
  }
  EXPECT_TRUE(served) << host.log();
}

// ---- hostile and stalled consoles ----

TEST(HostUnderLoad, ThreeHundredStalledConnectionsAreClosedAfterTheirDeadlineAndANewConsoleIsServed) {
  constexpr int kDeadlineMs = 1000;
  constexpr int kStalled = 300;  // more than the 256 connections the host serves at once
  tktest::TempDir dir;
  const std::string path = dir.file("stall.sock");
  Host host(dir, path, {"--frame-deadline", std::to_string(kDeadlineMs), "--quiet"});
  ASSERT_TRUE(host.up()) << host.log();

  // Each sends the first half of a request frame and then nothing.
  const std::string half = streamFrame("Stalled", 1).substr(0, 9);
  std::vector<int> stalled;
  for (int i = 0; i < kStalled; ++i) {
    int fd = hosttest::connectOnce(path);
    ASSERT_GE(fd, 0) << i;
    tkwire::writeAll(fd, half);  // fails on the connections the host turned away
    stalled.push_back(fd);
  }
  const int64_t start = hosttest::nowMs();
  bool served = false;
  for (int64_t seq = 2; !served && hosttest::nowMs() - start < kDeadlineMs + kReplyMs; ++seq) {
    served = servedOnce(path, seq);
    if (!served) hosttest::pauseMs(20);
  }
  EXPECT_TRUE(served) << host.log();
  // Every stalled connection has been closed (after the host's reason, or
  // the refusal of a connection beyond the limit).
  for (int fd : stalled) {
    std::string body;
    tkwire::ReadStatus status;
    while ((status = tkwire::readFrame(fd, kReplyMs, body)) == tkwire::ReadStatus::Ok) {
    }
    EXPECT_EQ(status, tkwire::ReadStatus::Closed) << "a stalled connection stayed open";
    ::close(fd);
  }
  EXPECT_TRUE(host.child().running());
}

TEST(HostUnderLoad, ALengthPrefixAloneDoesNotGrowTheHostsMemory) {
  constexpr int kConsoles = 16;
  tktest::TempDir dir;
  const std::string path = dir.file("memory.sock");
  // The host gives up on each console after its frame deadline: by then it
  // has read every length prefix and done what it does about it.
  Host host(dir, path, {"--quiet", "--frame-deadline", "2000"});
  ASSERT_TRUE(host.up()) << host.log();
  // The consoles' threads exist and have served a request before the
  // measurement starts.
  std::vector<int> consoles;
  for (int i = 0; i < kConsoles; ++i) {
    int fd = host.connect();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(sendAndRead(fd, streamFrame("Warm", i)).size(), 1u);
    consoles.push_back(fd);
  }
  hosttest::PeakResident peak(host.child().pid());
  // Each claims a frame of the largest size and sends nothing more.
  for (int fd : consoles) ASSERT_TRUE(tkwire::writeAll(fd, tktest::le32(tkwire::kMaxFrameBytes)));
  for (int fd : consoles) {
    std::string reason;
    tkwire::ReadStatus status;
    while ((status = tkwire::readFrame(fd, kReplyMs, reason)) == tkwire::ReadStatus::Ok) {
    }
    EXPECT_EQ(status, tkwire::ReadStatus::Closed) << "the host did not give up on a console";
  }
  const long grown = peak.grownKb();
  ASSERT_GE(grown, 0);
  // 16 consoles naming 16 MiB each would be 256 MiB; a few KiB each is what
  // the host may take for them.
  EXPECT_LT(grown, 16 * 1024) << "KiB the host's peak grew";
  for (int fd : consoles) ::close(fd);
}

TEST(HostStart, TheFrameDeadlineIsAnOptionWithItsRange) {
  tktest::TempDir dir;
  for (const char* bad : {"0", "-5", "x", "3600001"}) {
    SCOPED_TRACE(bad);
    Host host(dir, dir.file("d.sock"), {"--frame-deadline", bad}, {}, "deadline");
    EXPECT_EQ(host.child().exitCode(), 2);
    EXPECT_NE(host.log().find("--frame-deadline takes milliseconds from 1 to 3600000"), std::string::npos)
        << host.log();
  }
  Host help(dir, dir.file("d.sock"), {"--help"}, {}, "help");
  EXPECT_EQ(help.child().exitCode(), 0);
  EXPECT_NE(hosttest::readFile(dir.file("help.out")).find("--frame-deadline MS"), std::string::npos);
}


TEST(HostFileSizeLimit, ADatabaseThatPassesTheLimitFailsTheChangeAndTheHostGoesOn) {
  tktest::TempDir dir;
  const std::map<std::string, std::string> env{{"TK_LOCK_DIR", dir.file("locks")}, {"TK_LOG_DIR", dir.file("log")}};
  {
    Host seeded{dir, dir.file("seed.sock"), {"--seed-demo"}, env};
    ASSERT_TRUE(seeded.up()) << seeded.log();
    ASSERT_EQ(seeded.stop(), 0);
  }
  struct stat seededDb{};
  ASSERT_EQ(::stat(dir.file("host.db").c_str(), &seededDb), 0);
  std::unique_ptr<Host> host;
  // The host inherits the limit (ulimit -f) from this process while it
  // starts: room for a few changes in the database's log beyond the file's
  // size.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(seededDb.st_size) + 64 * 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
  host = std::make_unique<Host>(dir, dir.file("host.sock"), std::vector<std::string>{}, env);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ASSERT_TRUE(host->up()) << host->log();
  const int fd = host->connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));
  int added = 0;
  std::string failure;
  for (int i = 0; i < 400 && failure.empty(); ++i) {
    tkwire::StreamRequest add;
    add.handler = "onMsgSetDRUHost";
    add.sequence = 100 + i;
    add.firstField = tkwire::firstFieldOf(0, 5);
    tkwire::appendU32(add.stream, 4001, 48);
    const std::string name = "dru-" + std::to_string(i);
    std::string idText = tktest::le32(0) + name;
    tkwire::appendElement(add.stream, 11420, idText);
    tkwire::appendElement(add.stream, 11425, std::string("operator"));
    tkwire::appendU32(add.stream, 11427, 7000);
    tkwire::appendU32(add.stream, 2052, 0);
    const std::vector<tkwire::Reply> replies = sendAndRead(fd, tkwire::encodeStreamRequest(add));
    ASSERT_EQ(replies.size(), 1u) << "the host is gone after " << added << " DRU hosts: " << host->log();
    const tkwire::Item* status = replies[0].find(2051);
    ASSERT_NE(status, nullptr);
    if (status->statusCode() == 1) {
      ++added;
    } else {
      failure = status->statusText();
      EXPECT_EQ(status->statusCode(), 0u);
      EXPECT_EQ(failure.find("The DRU host [" + name + "] could not be added: The change was not made: "), 0u)
          << failure;
      // The reason is the system's: the limit, not a fault of the file.
      EXPECT_NE(failure.find(std::strerror(EFBIG)), std::string::npos) << failure;
    }
  }
  ASSERT_FALSE(failure.empty()) << "the limit was never reached";
  EXPECT_GT(added, 0);
  // The host goes on: it answers, and stops when told.
  EXPECT_TRUE(hosttest::releaseLock(fd, 900));
  ::close(fd);
  EXPECT_EQ(host->stop(), 0) << host->log();
  // What failed was rolled back: the DRU hosts answered "Success" are
  // there, and only they.
  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open_v2(dir.file("host.db").c_str(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(handle, "SELECT COUNT(*) FROM MMDRUHost WHERE HostName LIKE 'dru-%'", -1, &stmt,
                               nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(handle);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(stmt, 0), added);
  sqlite3_finalize(stmt);
  sqlite3_close(handle);
}

}  // namespace
