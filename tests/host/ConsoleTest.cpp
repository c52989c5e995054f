// Tests of the tkconsole binary: against a fake host played by the test (to
// see the exact frames it sends and how it prints what it gets), and against
// the real tkhost.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/HostHarness.h"

namespace {

using hosttest::Child;
using hosttest::kStartMs;
using namespace std::string_literals;
using tktest::le32;
using tktest::le64;
using tktest::wordAndText;

std::string element(uint32_t type, const std::string& value) {
  return le32(type) + le32(static_cast<uint32_t>(value.size())) + value;
}

std::string itemsReply(uint32_t id, int64_t seq, std::vector<tkwire::Item> items) {
  tkwire::Reply r;
  r.kind = tkwire::kReplyItems;
  r.messageId = id;
  r.sequence = seq;
  r.items = std::move(items);
  return tkwire::encodeReply(r);
}

// One SAN volume record: its id, its device name, the end of record.
std::vector<tkwire::Item> volumeRecord(uint32_t id) {
  return {{11603, le32(id)}, {11605, "dev" + std::to_string(id)}, {2052, le32(0)}};
}

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(m_listen, 0); }
  void TearDown() override {
    if (m_conn >= 0) ::close(m_conn);
    if (m_listen >= 0) ::close(m_listen);
  }

  // The console waits for the fake host's answers as long as the tests'
  // own waits: the test writes each answer when its thread next runs,
  // which on a busy machine may be seconds later. A test of the console's
  // waits passes its own, which come later on the command line and win.
  void startConsole(std::vector<std::string> args) {
    std::vector<std::string> all = {"--socket", m_socket, "--wait", std::to_string(hosttest::kReplyMs),
                                    "--timeout", std::to_string(hosttest::kReplyMs)};
    all.insert(all.end(), args.begin(), args.end());
    ASSERT_TRUE(m_console.start(hosttest::consoleBinary(), all, {}, m_dir.file("out"), m_dir.file("err")));
  }

  // Accepts the console's connection and reads one request frame.
  std::optional<tkwire::DecodedRequest> nextRequest() {
    if (m_conn < 0) m_conn = hosttest::acceptWithin(m_listen, kStartMs);
    std::string body;
    if (m_conn < 0 || tkwire::readFrame(m_conn, kStartMs, body) != tkwire::ReadStatus::Ok) return std::nullopt;
    return tkwire::decodeRequest(body);
  }
  void send(const std::string& frame) { ASSERT_TRUE(tkwire::writeAll(m_conn, frame)); }
  // The host's end frame of the request `sequence`.
  void end(int64_t sequence, int64_t result = 0) { send(tkwire::encodeRequestEnd(sequence, result)); }
  void hangUp() {
    ::close(m_conn);
    m_conn = -1;
  }

  // Answers the next request with `frames` (each made for any sequence:
  // the request's goes in) and the end frame of `result`; a frame that is
  // XML text is the answer to an XML request.
  void answer(const std::vector<std::string>& frames, int64_t result) {
    const std::optional<tkwire::DecodedRequest> request = nextRequest();
    ASSERT_TRUE(request.has_value()) << out();
    const int64_t seq = request->kind == tkwire::kRequestXml ? request->xml.sequence : request->stream.sequence;
    for (const std::string& frame : frames) {
      if (frame.rfind("<", 0) == 0) {
        send(tkwire::encodeXmlAnswer(request->xml.messageId, seq, 0, frame));
        continue;
      }
      std::optional<tkwire::Reply> reply = tkwire::decodeReply(frame.substr(4));
      ASSERT_TRUE(reply.has_value());
      reply->sequence = seq;
      send(tkwire::encodeReply(*reply));
    }
    end(seq, result);
  }

  int finish() { return m_console.exitCode(); }
  std::string out() { return hosttest::readFile(m_dir.file("out")); }
  std::string err() { return hosttest::readFile(m_dir.file("err")); }

  tktest::TempDir m_dir;
  std::string m_socket = m_dir.file("fake.sock");
  int m_listen = hosttest::listenAt(m_socket);
  int m_conn = -1;
  Child m_console;
};

TEST_F(ConsoleTest, SendsTheElementStreamRequestExactly) {
  startConsole({"--user", "7", "--seq", "42", "--kind", "16", "--gui", "9", "--origin", "13", "onMsgSetMMLibrary",
                "first=5", "4001=3", "4151=s:abc", "11003=u64:0x1122334455667788", "9=hex:00ff", "10=-1",
                "11=hello world", "12=", "13=\"123\"", "14=0x10", "2052=0"});
  std::optional<tkwire::DecodedRequest> request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  ASSERT_EQ(request->kind, tkwire::kRequestStream);
  const tkwire::StreamRequest& r = request->stream;
  EXPECT_EQ(r.handler, "onMsgSetMMLibrary");
  EXPECT_EQ(r.userId, 7u);
  EXPECT_EQ(r.requestKind, 16u);
  EXPECT_EQ(r.autoRefreshGuiId, 9u);
  EXPECT_EQ(r.origin, 13u);
  EXPECT_EQ(r.sequence, 42);
  EXPECT_EQ(r.firstField, tkwire::firstFieldOf(5, 10));  // ten elements
  EXPECT_EQ(r.stream, element(4001, le32(3)) + element(4151, "abc") + element(11003, le64(0x1122334455667788ull)) +
                          element(9, "\x00\xff"s) + element(10, le32(0xFFFFFFFFu)) + element(11, "hello world") +
                          element(12, "") + element(13, "123") + element(14, le32(16)) + element(2052, le32(0)));
  send(itemsReply(1024, 42, {{4001, le32(3)}, {2051, le32(1) + "Success"}}));
  end(42);
  EXPECT_EQ(finish(), 0) << err();
  EXPECT_EQ(out(),
            "reply 1024 seq 42\n"
            "  tag 4001 (operation) len 4: 3\n"
            "  tag 2051 (status) len 11: 1 (success) \"Success\"\n");
}

TEST_F(ConsoleTest, CountAndHandleTakeThePlaceOfTheDefaults) {
  startConsole({"Get", "count=7", "first=0xFFFFFFFF", "1=1"});
  std::optional<tkwire::DecodedRequest> request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  EXPECT_EQ(request->stream.firstField, tkwire::firstFieldOf(0xFFFFFFFFu, 7));
  EXPECT_EQ(request->stream.sequence, 1);  // numbered from 1 when not given
  EXPECT_EQ(request->stream.userId, 1u);
  end(1);
  // No answer is no success.
  EXPECT_EQ(finish(), 3);
  EXPECT_EQ(out(), "(no reply: the host answered nothing to this request; it may not have been carried out)\n");
  hangUp();

  startConsole({"GetProperties", "handle=18446744073709551615"});
  request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  EXPECT_EQ(request->stream.firstField, 0xFFFFFFFFFFFFFFFFull);
  EXPECT_EQ(request->stream.stream, "");
  end(1);
  EXPECT_EQ(finish(), 3);
}

TEST_F(ConsoleTest, WithoutItsEndFrameARequestIsGivenUpAfterTheWait) {
  startConsole({"--timeout", "100", "Get"});
  ASSERT_TRUE(nextRequest().has_value()) << err();
  EXPECT_EQ(finish(), 1);
  EXPECT_EQ(out(), "(the host did not finish the request within 100 ms)\n");
  hangUp();

  startConsole({"--wait", "100", "Get"});
  ASSERT_TRUE(nextRequest().has_value()) << err();
  send(itemsReply(1024, 1, {{2051, le32(1) + "Success"}}));
  EXPECT_EQ(finish(), 1);
  EXPECT_EQ(out(), "reply 1024 seq 1\n  tag 2051 (status) len 11: 1 (success) \"Success\"\n"
                   "(the host did not finish the request within 100 ms)\n");
}

TEST_F(ConsoleTest, SendsXmlRequestsInlineOrFromAFileAndShowsTheAnswer) {
  std::string xml = "<EVGui_Req op=\"1\">it's &amp; \"quoted\"</EVGui_Req>";
  startConsole({"--seq", "9", "--xml", "0x0DF9BE39", "HandleMMConfigMgrXmlMsg", xml, "first=2"});
  std::optional<tkwire::DecodedRequest> request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  ASSERT_EQ(request->kind, tkwire::kRequestXml);
  EXPECT_EQ(request->xml.handler, "HandleMMConfigMgrXmlMsg");
  EXPECT_EQ(request->xml.messageId, 0x0DF9BE39u);
  EXPECT_EQ(request->xml.xml, xml);
  EXPECT_EQ(request->xml.sequence, 9);
  EXPECT_EQ(request->xml.firstField, 2u);
  send(tkwire::encodeXmlAnswer(0x0DF9BE39, 9, -1, ""));
  end(9, -1);
  EXPECT_EQ(finish(), 3) << err();
  EXPECT_EQ(out(), "reply 0x0DF9BE39 seq 9\n  result -1\n  xml len 0: \n");
  hangUp();

  std::string path = m_dir.file("req.xml");
  xml = "<a b='1'>\n  <c/>\n</a>\n";
  { std::ofstream(path) << xml; }
  startConsole({"--xml", "5", "--xml-file", path, "H"});
  request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  EXPECT_EQ(request->xml.xml, xml);
  send(tkwire::encodeXmlAnswer(5, 1, 0, "<ZQGui_GenericResp errorCode=\"0\"/>"));
  end(1);
  EXPECT_EQ(finish(), 0);
  // Under the text, its element and attributes (errorCode is no field of the class: no name).
  EXPECT_EQ(out(), "reply 0x00000005 seq 1\n  result 0\n  xml len 34: <ZQGui_GenericResp errorCode=\"0\"/>\n"
                   "  ZQGui_GenericResp\n    errorCode: \"0\"\n");
}

TEST_F(ConsoleTest, PrintsEveryReplyOneItemPerLine) {
  startConsole({"onMsgMMAutoDetect"});
  ASSERT_TRUE(nextRequest().has_value()) << err();
  send(itemsReply(1017, 1, {{4001, le32(47)}, {2036, le32(50)}}));
  send(itemsReply(11055, 1, {{11102, le32(4) + "closed by \"admin\""}}));
  send(itemsReply(11055, 1, {{4151, "plain text\n"}}));
  send(itemsReply(11101, 1, {{11003, le64(0x100000001ull)}, {4117, le32(2)}, {77, "\x01\x02\x03"s}, {78, ""},
                             {79, "name\0"s}, {2052, le32(0)}}));
  end(1);
  EXPECT_EQ(finish(), 0);
  EXPECT_EQ(out(),
            "reply 1017 seq 1\n"
            "  tag 4001 (operation) len 4: 47\n"
            "  tag 2036 (value) len 4: 50\n"
            "reply 11055 seq 1\n"
            "  tag 11102 (status text) len 21: 4 \"closed by \\\"admin\\\"\"\n"
            "reply 11055 seq 1\n"
            "  tag 4151 (text) len 11: \"plain text\\n\"\n"
            "reply 11101 seq 1\n"
            "  tag 11003 (object handle) len 8: 4294967297\n"
            "  tag 4117 (count) len 4: 2\n"
            "  tag 77 len 3: 010203\n"
            "  tag 78 len 0:\n"
            "  tag 79 len 5: \"name\\0\"\n"
            "  tag 2052 (end of record) len 4: 0\n");
}

TEST_F(ConsoleTest, ScriptRunsEveryLineOnOneConnection) {
  std::string script = m_dir.file("session.tk");
  std::ofstream(script) << "# a session\n"
                        << "\n"
                        << "  LockMMConfiguration first=2 count=1   # lock\n"
                        << "onMsgSetMMLibrary 4151=\"two words\" 4152='it''s' 4153=\"a \\\"q\\\"\" 4001=3\n"
                        << "--seq 500 --user 3 --xml 0x0D130098 Xml '<a b=\"#1\"/>'\n"
                        << "Last\n";
  startConsole({"--seq", "100", "--script", script});
  std::vector<tkwire::DecodedRequest> seen;
  for (int i = 0; i < 4; ++i) {
    std::optional<tkwire::DecodedRequest> r = nextRequest();
    ASSERT_TRUE(r.has_value()) << "request " << i << ": " << err();
    seen.push_back(*r);
    int64_t seq = r->kind == tkwire::kRequestXml ? r->xml.sequence : r->stream.sequence;
    send(itemsReply(1024, seq, {{2051, le32(1) + "ok " + std::to_string(i)}}));
    end(seq);
  }
  EXPECT_EQ(finish(), 0) << err();
  EXPECT_EQ(seen[0].stream.handler, "LockMMConfiguration");
  EXPECT_EQ(seen[0].stream.firstField, tkwire::firstFieldOf(2, 1));
  EXPECT_EQ(seen[0].stream.sequence, 100);
  EXPECT_EQ(seen[1].stream.sequence, 101);
  EXPECT_EQ(seen[1].stream.stream, element(4151, "two words") + element(4152, "its") + element(4153, "a \"q\"") +
                                       element(4001, le32(3)));
  ASSERT_EQ(seen[2].kind, tkwire::kRequestXml);
  EXPECT_EQ(seen[2].xml.sequence, 500);  // its own number
  EXPECT_EQ(seen[2].xml.userId, 3u);
  EXPECT_EQ(seen[2].xml.messageId, 0x0D130098u);
  EXPECT_EQ(seen[2].xml.xml, "<a b=\"#1\"/>");
  EXPECT_EQ(seen[3].stream.sequence, 103);  // the count goes on
  EXPECT_EQ(seen[3].stream.userId, 1u);
  EXPECT_EQ(out(),
            "> LockMMConfiguration first=2 count=1   # lock\n"
            "reply 1024 seq 100\n"
            "  tag 2051 (status) len 8: 1 (success) \"ok 0\"\n"
            "> onMsgSetMMLibrary 4151=\"two words\" 4152='it''s' 4153=\"a \\\"q\\\"\" 4001=3\n"
            "reply 1024 seq 101\n"
            "  tag 2051 (status) len 8: 1 (success) \"ok 1\"\n"
            "> --seq 500 --user 3 --xml 0x0D130098 Xml '<a b=\"#1\"/>'\n"
            "reply 1024 seq 500\n"
            "  tag 2051 (status) len 8: 1 (success) \"ok 2\"\n"
            "> Last\n"
            "reply 1024 seq 103\n"
            "  tag 2051 (status) len 8: 1 (success) \"ok 3\"\n");
}

TEST_F(ConsoleTest, WrongArgumentsSendNothing) {
  std::string badScript = m_dir.file("bad.tk");
  std::ofstream(badScript) << "Good 1=1\nBad 4151=\"open\n";
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"H", "1=4294967296"}, "not a 32-bit number"},
      {{"H", "x=1"}, "expected TAG=VALUE"},
      {{"H", "1=hex:abc"}, "odd number of hex digits"},
      {{"H", "handle=1", "first=2"}, "handle= takes the place of first= and count="},
      {{"--xml", "5", "H"}, "an XML request needs its text"},
      {{"--bogus", "1", "H"}, "unknown option --bogus"},
      {{"--user"}, "--user needs a value"},
      {{"--script", badScript}, "bad.tk:2: unterminated \" quote"},
      {{}, "usage:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    startConsole(c.args);
    EXPECT_EQ(finish(), 64);
    EXPECT_NE(err().find(c.message), std::string::npos) << err();
  }
  EXPECT_LT(hosttest::acceptWithin(m_listen, 0), 0) << "nobody connected";
}

TEST_F(ConsoleTest, HostThatCannotBeReachedOrHangsUp) {
  Child console;
  // A wait of its own: the tests' wait for a slow host would outlast the
  // test's own wait for a console that spends no CPU time.
  ASSERT_TRUE(console.start(hosttest::consoleBinary(),
                            {"--socket", m_dir.file("nobody.sock"), "--timeout", "2000", "H"}, {}, m_dir.file("out"),
                            m_dir.file("err")));
  EXPECT_EQ(console.exitCode(), 2);
  EXPECT_NE(err().find("cannot reach the host at"), std::string::npos);

  std::string script = m_dir.file("s.tk");
  std::ofstream(script) << "First\nSecond\n";
  startConsole({"--script", script});
  ASSERT_TRUE(nextRequest().has_value());
  hangUp();
  EXPECT_EQ(finish(), 1);
  EXPECT_EQ(out(), "> First\n(connection closed by the host)\n");
}

// An answer that ends cut short is an error, never shown as if whole; a
// failure that names a limit ends the console non-zero.
TEST_F(ConsoleTest, AnAnswerCutShortOrAFailureNamingALimitEndsTheConsoleNonZero) {
  std::vector<tkwire::Item> whole;
  for (uint32_t id = 1; id <= 2; ++id)
    for (const tkwire::Item& item : volumeRecord(id)) whole.push_back(item);
  std::vector<tkwire::Item> cut = whole;
  cut.push_back({11603, le32(3)});
  struct Case {
    const char* what;
    std::vector<std::string> frames;
    int64_t result;
    int status;
    std::string said;
  } cases[] = {
      {"whole records", {itemsReply(11604, 0, whole)}, 1, 0, ""},
      {"whole records and a status", {itemsReply(11604, 0, whole), itemsReply(11604, 0, {{2051, wordAndText(1, "Success")}})}, 1, 0, ""},
      {"a record begun and not ended, no status behind it", {itemsReply(11604, 0, cut)}, 1, 3,
       "  tag 11603 len 4: 3\n  (error: this answer of "},
      {"a frame cut short in the first of several frames", {itemsReply(11604, 0, cut), itemsReply(11604, 0, whole)}, 1, 3,
       "ends cut short: its last record is not whole and no status says why; what it shows is not the whole "
       "answer)\n"},
      {"a failure that names the limit",
       {itemsReply(11604, 0, {{2051, wordAndText(0, "The answer does not fit in 16777216 bytes")}})}, 0, 3,
       ": 0 (failure) \"The answer does not fit in 16777216 bytes\"\n"},
      {"a host that ends the request with a failure", {itemsReply(11604, 0, whole)}, -1, 3, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    startConsole({"san-volumes", "101"});
    answer(c.frames, c.result);
    EXPECT_EQ(m_console.exitCode(), c.status) << out();
    EXPECT_NE(out().find(c.said), std::string::npos) << out();
    EXPECT_EQ(out().find("(error: ") != std::string::npos, c.said.find("cut short") != std::string::npos ||
                                                              c.said.find("(error: ") != std::string::npos)
        << out();
    ::close(m_conn);
    m_conn = -1;
  }
}

// After a lock that failed, a script goes on (as after a refused lock), each
// later line found without a session naming the failed lock as the reason.
TEST_F(ConsoleTest, AfterAFailedLockAScriptGoesOnAndEachLineFoundWithoutASessionNamesTheFailedLock) {
  const std::string script = m_dir.file("after.tk");
  std::ofstream(script) << "lock\nlibraries\nstorage-library 43=4 8=DiskLib1 3=ma1 24=/srv/x\nlock\nlibraries\n";
  startConsole({"--script", script});
  const std::string unread = "The media-management configuration could not be read: step (database is locked)";
  const std::string close = itemsReply(1024, 0, {{4001, le32(1)}, {2051, wordAndText(1, "Close")}});
  // The lock fails; the listing finds no session; a request that needs none
  // is served; a later lock is taken, and the listing after it is answered.
  answer({itemsReply(1024, 0, {{2051, wordAndText(0, unread)}})}, 0);
  answer({close}, 0);
  answer({"<ZQGui_GenericResp i1=\"0\"/>"}, 0);
  answer({itemsReply(1024, 0, {{2051, wordAndText(1, "The media management configuration is loaded and locked "
                                                        "for you.")}})},
         1);
  answer({itemsReply(11002, 0, volumeRecord(1))}, 0);
  EXPECT_EQ(m_console.exitCode(), 3) << out();
  const std::string shown = out();
  EXPECT_NE(shown.find("> lock\nreply 1024 seq 1\n  tag 2051 (status) len " + std::to_string(4 + unread.size()) + ": 0 (failure) \"" + unread +
                       "\"\n  (the lock failed: this connection holds no configuration session, and what follows on "
                       "it that needs one is not done until a `lock` succeeds)\n> libraries\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("\"Close\"\n  (nothing was done: the `lock` before it failed (" + unread +
                       "), so this connection holds no configuration session; take the lock again (`lock`), then "
                       "`libraries` in the same --script or --script - session)\n> storage-library"),
            std::string::npos)
      << shown;
  // The lock taken later ends it: the listing after it is a listing.
  const size_t later = shown.rfind("> libraries\n");
  ASSERT_NE(later, std::string::npos);
  EXPECT_EQ(shown.find("(nothing was done", later), std::string::npos) << shown;
  EXPECT_EQ(shown.find("(the lock failed", shown.find("> storage-library")), std::string::npos) << shown;
}

// An answer of many frames is taken off the connection whole while the
// console's output is not read (a pipe read only once the host is done, as
// behind `| less`): the host writes every frame without waiting on the
// console, however many frames the output is behind.
TEST_F(ConsoleTest, EveryFrameOfALongAnswerIsTakenOffTheConnectionWhileTheOutputWaits) {
  constexpr int kFrames = 64;
  const std::string pipe = m_dir.file("paced.out");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(m_console.start(hosttest::consoleBinary(),
                              {"--socket", m_socket, "--timeout", "60000", "--wait", "60000", "san-volumes", "101"}, {},
                              pipe, m_dir.file("err")));
  const std::optional<tkwire::DecodedRequest> request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  // A console that stopped taking frames would leave a write waiting: the
  // send time-out ends that wait as a failure rather than a hang.
  const timeval limit{120, 0};
  ASSERT_EQ(::setsockopt(m_conn, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit), 0);
  const int64_t seq = request->stream.sequence;
  for (int i = 1; i <= kFrames; ++i)
    send(itemsReply(11604, seq, {{11603, le32(static_cast<uint32_t>(i))}, {11605, std::string(64 << 10, 'v')},
                                 {2052, le32(0)}}));
  end(seq, 1);

  ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);
  std::string shown;
  char buffer[1 << 16];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    ASSERT_GT(n, 0);
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(reader);
  EXPECT_EQ(m_console.exitCode(), 0) << err();
  std::size_t frames = 0;
  for (std::size_t at = 0; (at = shown.find("reply 11604 seq ", at)) != std::string::npos; ++at) ++frames;
  EXPECT_EQ(frames, static_cast<std::size_t>(kFrames));
  EXPECT_EQ(shown.find("(connection closed by the host)"), std::string::npos);
}

// The console against the real host.
TEST(ConsoleWithHost, PrintsTheHostsAnswer) {
  tktest::TempDir dir;
  hosttest::Host host(dir, dir.file("h.sock"));
  ASSERT_TRUE(host.up()) << host.log();
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(),
                            {"--socket", host.socket(), "--seq", "31", "NoSuchHandler", "4001=1", "2052=0"}, {},
                            dir.file("out"), dir.file("err")));
  EXPECT_EQ(console.exitCode(), 3) << hosttest::readFile(dir.file("err"));
  EXPECT_EQ(hosttest::readFile(dir.file("out")),
            "reply 1024 seq 31\n"
            "  tag 2051 (status) len 33: 0 (failure) \"unknown handler NoSuchHandler\"\n");
  EXPECT_EQ(host.stop(), 0);
}

}  // namespace
