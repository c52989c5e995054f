// Tests of the tkconsole binary: against a fake host played by the test (to
// see the exact frames it sends and how it prints what it gets), and against
// the real tkhost.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/host/HostHarness.h"
#include "tests/support/TempDir.h"
#include "tests/support/wire/WireCodec.h"

namespace {

using hosttest::Child;
using namespace std::string_literals;

constexpr int kWaitMs = 30000;

std::string le32(uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}
std::string le64(uint64_t v) {
  std::string out;
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}
std::string element(uint32_t type, const std::string& value) { return le32(type) + le32(value.size()) + value; }

tkwire::Reply itemsReply(uint32_t id, int64_t seq, std::vector<tkwire::Item> items) {
  tkwire::Reply r;
  r.kind = tkwire::kReplyItems;
  r.messageId = id;
  r.sequence = seq;
  r.items = std::move(items);
  return r;
}

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_socket = m_dir.file("fake.sock");
    m_listen = hosttest::listenAt(m_socket);
    ASSERT_GE(m_listen, 0);
  }
  void TearDown() override {
    if (m_conn >= 0) ::close(m_conn);
    if (m_listen >= 0) ::close(m_listen);
  }

  void startConsole(std::vector<std::string> args) {
    std::vector<std::string> all = {"--socket", m_socket, "--wait", "100", "--timeout", "2000"};
    all.insert(all.end(), args.begin(), args.end());
    ASSERT_TRUE(m_console.start(hosttest::consoleBinary(), all, {}, m_dir.file("out"), m_dir.file("err")));
  }

  // Accepts the console's connection and reads one request frame.
  std::optional<tkwire::DecodedRequest> nextRequest() {
    if (m_conn < 0) m_conn = hosttest::acceptWithin(m_listen, kWaitMs);
    if (m_conn < 0) return std::nullopt;
    std::string body;
    if (tkwire::readFrame(m_conn, kWaitMs, body) != tkwire::ReadStatus::Ok) return std::nullopt;
    return tkwire::decodeRequest(body);
  }

  void send(const tkwire::Reply& reply) { ASSERT_TRUE(tkwire::writeAll(m_conn, tkwire::encodeReply(reply))); }
  void sendRaw(const std::string& frame) { ASSERT_TRUE(tkwire::writeAll(m_conn, frame)); }

  // Waits for the console to end; its exit code (or -1) and what it printed.
  int finish() {
    std::optional<int> status = m_console.wait(kWaitMs);
    if (!status || !WIFEXITED(*status)) return -1;
    return WEXITSTATUS(*status);
  }
  std::string out() { return hosttest::readFile(m_dir.file("out")); }
  std::string err() { return hosttest::readFile(m_dir.file("err")); }

  tktest::TempDir m_dir;
  std::string m_socket;
  int m_listen = -1;
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
  std::string expected = element(4001, le32(3)) + element(4151, "abc") + element(11003, le64(0x1122334455667788ull)) +
                         element(9, std::string("\x00\xff", 2)) + element(10, le32(0xFFFFFFFFu)) +
                         element(11, "hello world") + element(12, "") + element(13, "123") +
                         element(14, le32(16)) + element(2052, le32(0));
  EXPECT_EQ(r.stream, expected);
  send(itemsReply(1024, 42, {{4001, le32(3)}, {2051, le32(1) + "Success"}}));
  EXPECT_EQ(finish(), 0) << err();
  EXPECT_EQ(out(),
            "reply 1024 seq 42\n"
            "  tag 4001 (operation) len 4: 3\n"
            "  tag 2051 (status) len 11: 1 \"Success\"\n");
}

TEST_F(ConsoleTest, CountAndHandleTakeThePlaceOfTheDefaults) {
  startConsole({"--timeout", "100", "Get", "count=7", "first=0xFFFFFFFF", "1=1"});
  std::optional<tkwire::DecodedRequest> request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  EXPECT_EQ(request->stream.firstField, tkwire::firstFieldOf(0xFFFFFFFFu, 7));
  EXPECT_EQ(request->stream.sequence, 1);  // numbered from 1 when not given
  EXPECT_EQ(request->stream.userId, 1u);
  EXPECT_EQ(finish(), 0);
  EXPECT_EQ(out(), "(no reply)\n");
  ::close(m_conn);
  m_conn = -1;

  startConsole({"--timeout", "100", "GetProperties", "handle=18446744073709551615"});
  request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  EXPECT_EQ(request->stream.firstField, 0xFFFFFFFFFFFFFFFFull);
  EXPECT_EQ(request->stream.stream, "");
  EXPECT_EQ(finish(), 0);
}

TEST_F(ConsoleTest, SendsXmlRequestsAndShowsTheAnswer) {
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
  sendRaw(tkwire::encodeXmlAnswer(0x0DF9BE39, 9, -1, ""));
  EXPECT_EQ(finish(), 0) << err();
  EXPECT_EQ(out(),
            "reply 234470969 seq 9\n"
            "  result -1\n"
            "  xml len 0: \n");
}

TEST_F(ConsoleTest, XmlTextFromAFile) {
  std::string path = m_dir.file("req.xml");
  std::string xml = "<a b='1'>\n  <c/>\n</a>\n";
  { std::ofstream(path) << xml; }
  startConsole({"--xml", "5", "--xml-file", path, "H"});
  std::optional<tkwire::DecodedRequest> request = nextRequest();
  ASSERT_TRUE(request.has_value()) << err();
  EXPECT_EQ(request->xml.xml, xml);
  sendRaw(tkwire::encodeXmlAnswer(5, 1, 0, "<ZQGui_GenericResp errorCode=\"0\"/>"));
  EXPECT_EQ(finish(), 0);
  EXPECT_EQ(out(),
            "reply 5 seq 1\n"
            "  result 0\n"
            "  xml len 34: <ZQGui_GenericResp errorCode=\"0\"/>\n");
}

TEST_F(ConsoleTest, PrintsEveryReplyOneItemPerLine) {
  startConsole({"onMsgMMAutoDetect"});
  ASSERT_TRUE(nextRequest().has_value()) << err();
  send(itemsReply(1017, 1, {{4001, le32(47)}, {2036, le32(50)}}));
  send(itemsReply(11055, 1, {{11102, le32(4) + "closed by \"admin\""}}));
  send(itemsReply(11055, 1, {{4151, "plain text\n"}}));
  send(itemsReply(11101, 1, {{11003, le64(0x100000001ull)}, {4117, le32(2)}, {77, std::string("\x01\x02\x03", 3)},
                             {78, ""}, {79, "name\0"s}, {2052, le32(0)}}));
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
  {
    std::ofstream s(script);
    s << "# a session\n"
      << "\n"
      << "  LockMMConfiguration first=2 count=1   # lock\n"
      << "onMsgSetMMLibrary 4151=\"two words\" 4152='it''s' 4153=\"a \\\"q\\\"\" 4001=3\n"
      << "--seq 500 --user 3 --xml 0x0D130098 Xml '<a b=\"#1\"/>'\n"
      << "Last\n";
  }
  startConsole({"--seq", "100", "--script", script});
  std::vector<tkwire::DecodedRequest> seen;
  for (int i = 0; i < 4; ++i) {
    std::optional<tkwire::DecodedRequest> r = nextRequest();
    ASSERT_TRUE(r.has_value()) << "request " << i << ": " << err();
    seen.push_back(*r);
    int64_t seq = r->kind == tkwire::kRequestXml ? r->xml.sequence : r->stream.sequence;
    send(itemsReply(1024, seq, {{2051, le32(1) + "ok " + std::to_string(i)}}));
  }
  EXPECT_EQ(finish(), 0) << err();
  EXPECT_EQ(seen[0].stream.handler, "LockMMConfiguration");
  EXPECT_EQ(seen[0].stream.firstField, tkwire::firstFieldOf(2, 1));
  EXPECT_EQ(seen[0].stream.sequence, 100);
  EXPECT_EQ(seen[1].stream.sequence, 101);
  EXPECT_EQ(seen[1].stream.stream, element(4151, "two words") + element(4152, "its") +
                                       element(4153, "a \"q\"") + element(4001, le32(3)));
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
            "  tag 2051 (status) len 8: 1 \"ok 0\"\n"
            "> onMsgSetMMLibrary 4151=\"two words\" 4152='it''s' 4153=\"a \\\"q\\\"\" 4001=3\n"
            "reply 1024 seq 101\n"
            "  tag 2051 (status) len 8: 1 \"ok 1\"\n"
            "> --seq 500 --user 3 --xml 0x0D130098 Xml '<a b=\"#1\"/>'\n"
            "reply 1024 seq 500\n"
            "  tag 2051 (status) len 8: 1 \"ok 2\"\n"
            "> Last\n"
            "reply 1024 seq 103\n"
            "  tag 2051 (status) len 8: 1 \"ok 3\"\n");
}

TEST_F(ConsoleTest, WrongArgumentsSendNothing) {
  std::string badScript = m_dir.file("bad.tk");
  { std::ofstream(badScript) << "Good 1=1\nBad 4151=\"open\n"; }
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    startConsole(c.args);
    EXPECT_EQ(finish(), 64);
    EXPECT_NE(err().find(c.message), std::string::npos) << err();
  }
  // Nobody connected.
  EXPECT_LT(hosttest::acceptWithin(m_listen, 0), 0);
}

TEST_F(ConsoleTest, HostThatCannotBeReached) {
  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(), {"--socket", m_dir.file("nobody.sock"), "H"}, {},
                            m_dir.file("out"), m_dir.file("err")));
  std::optional<int> status = console.wait(kWaitMs);
  ASSERT_TRUE(status && WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 2);
  EXPECT_NE(err().find("cannot reach the host at"), std::string::npos);
}

TEST_F(ConsoleTest, HostThatHangsUpEndsTheScript) {
  std::string script = m_dir.file("s.tk");
  { std::ofstream(script) << "First\nSecond\n"; }
  startConsole({"--script", script});
  ASSERT_TRUE(nextRequest().has_value());
  ::close(m_conn);
  m_conn = -1;
  EXPECT_EQ(finish(), 1);
  EXPECT_EQ(out(), "> First\n(connection closed by the host)\n");
}

// The console against the real host.
TEST(ConsoleWithHost, PrintsTheHostsAnswer) {
  tktest::TempDir dir;
  std::string socket = dir.file("h.sock");
  Child host;
  ASSERT_TRUE(host.start(hosttest::hostBinary(), {"--socket", socket}, {{"TK_DB", dir.file("db")}},
                         dir.file("host.out"), dir.file("host.err")));
  int probe = hosttest::connectWithin(socket, kWaitMs);
  ASSERT_GE(probe, 0) << hosttest::readFile(dir.file("host.err"));
  ::close(probe);

  Child console;
  ASSERT_TRUE(console.start(hosttest::consoleBinary(),
                            {"--socket", socket, "--seq", "31", "NoSuchHandler", "4001=1", "2052=0"}, {},
                            dir.file("out"), dir.file("err")));
  std::optional<int> status = console.wait(kWaitMs);
  ASSERT_TRUE(status && WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0) << hosttest::readFile(dir.file("err"));
  EXPECT_EQ(hosttest::readFile(dir.file("out")),
            "reply 1024 seq 31\n"
            "  tag 2051 (status) len 33: 0 \"unknown handler NoSuchHandler\"\n");
  host.signal(SIGTERM);
  std::optional<int> hostStatus = host.wait(kWaitMs);
  ASSERT_TRUE(hostStatus && WIFEXITED(*hostStatus));
  EXPECT_EQ(WEXITSTATUS(*hostStatus), 0);
}

}  // namespace
