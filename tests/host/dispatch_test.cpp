// The host's dispatch in-process: its connection code runs against a
// scripted handler table over a socket pair, so that what a handler receives
// (the request record the host builds) can be checked field by field.
//
// The host's sources are compiled into this test, since tkhost is a program
// and not a library.
#include "host/Dispatcher.cpp"
#include "host/HostLog.cpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "frame/HostEntry.h"
#include "frame/MessageInfo.h"
#include "host/RequestRecord.h"
#include "platform/external/HostServices.h"
#include "tests/support/wire/WireCodec.h"

namespace {

// The handler objects of the scripted table; the host only passes them on.
struct ScriptedHandlers {
  int serial = 0;
};
ScriptedHandlers* scripted(TkHandlers* h) { return reinterpret_cast<ScriptedHandlers*>(h); }

constexpr int kWaitMs = 10000;
constexpr int kQuietMs = 200;  // how long to listen for replies that must not come

std::string le32(uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

// What a scripted handler saw.
struct Seen {
  std::string handler;
  int handlersSerial = 0;
  int socket = -1;
  bool secure = false;
  uint32_t userId = 0, requestKind = 0, autoRefreshGuiId = 0, origin = 0;
  std::string userName;
  int64_t sequence = 0;
  uint64_t objectHandle = 0;
  uint32_t firstWord = 0, elementCount = 0;
  std::string stream;  // the whole stream area
  unsigned long messageId = 0;
  std::string text;
};

std::mutex g_mutex;
std::vector<Seen> g_seen;
std::atomic<int> g_created{0};
std::atomic<int> g_destroyed{0};

Seen capture(const char* name, TkHandlers* h, const MessageInfo* m) {
  Seen s;
  s.handler = name;
  s.handlersSerial = scripted(h)->serial;
  s.socket = static_cast<int>(m->socket.GetSocketDescriptor());
  s.secure = m->secureSocket.IsEstablished();
  s.userId = m->userId;
  s.requestKind = m->requestKind;
  s.autoRefreshGuiId = m->autoRefreshGuiId;
  s.origin = m->origin;
  s.userName = m->loginName();
  s.sequence = m->sequenceNumber;
  s.objectHandle = m->objectHandle;
  s.firstWord = m->firstWord;
  s.elementCount = m->elementCount;
  s.stream.assign(m->elementStream, sizeof m->elementStream);
  return s;
}

void record(const Seen& s) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_seen.push_back(s);
}

// A stream handler that answers on the request's own socket, as handlers do.
int recordAndAnswer(TkHandlers* h, MessageInfo* m) {
  record(capture("Record", h, m));
  tkwire::Reply reply;
  reply.kind = tkwire::kReplyItems;
  reply.messageId = 11002;
  reply.sequence = m->sequenceNumber;
  reply.items.push_back({4001, le32(m->elementCount)});
  tkwire::writeAll(static_cast<int>(m->socket.GetSocketDescriptor()), tkwire::encodeReply(reply));
  return 1;
}

int silent(TkHandlers* h, MessageInfo* m) {
  record(capture("Silent", h, m));
  return 0;
}

int throws(TkHandlers*, MessageInfo*) { throw "Not enough memory to initialize ZqCriticalSection"; }

long long xmlDispatch(TkHandlers* h, MessageInfo* m, unsigned long id, std::string& text) {
  Seen s = capture("XmlDispatch", h, m);
  s.messageId = id;
  s.text = text;
  record(s);
  if (text == "clear") text.clear();
  else text = "<answer to=\"" + text + "\"/>";
  return text.empty() ? -1 : 0;
}

long long xmlOne(TkHandlers*, MessageInfo*, unsigned long, std::string& text) {
  text = "<lock/>";
  return 0;
}

const TkHandlerEntry kTable[] = {
    {"Record", kTkHandlerStream, recordAndAnswer, nullptr, 0},
    {"Silent", kTkHandlerStream, silent, nullptr, 0},
    {"Throws", kTkHandlerStream, throws, nullptr, 0},
    {"XmlDispatch", kTkHandlerXml, nullptr, xmlDispatch, 0},
    {"XmlOne", kTkHandlerXml, nullptr, xmlOne, 0x0DF9BE39},
};

TkHandlers* createHandlers() {
  auto* h = new ScriptedHandlers();
  h->serial = ++g_created;
  return reinterpret_cast<TkHandlers*>(h);
}
void destroyHandlers(TkHandlers* h) {
  ++g_destroyed;
  delete scripted(h);
}

tkhost::HandlerApi scriptedApi() {
  tkhost::HandlerApi api;
  api.create = createHandlers;
  api.destroy = destroyHandlers;
  api.table = kTable;
  api.count = sizeof kTable / sizeof kTable[0];
  return api;
}

// One connection served by the host's code on a thread.
class Connection {
 public:
  explicit Connection(const tkhost::Dispatcher& dispatcher) {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    m_client = fds[0];
    m_server = fds[1];
    m_thread = std::thread([this, &dispatcher] { tkhost::serveConnection(m_server, dispatcher); });
  }
  ~Connection() { close(); }

  int client() const { return m_client; }
  int server() const { return m_server; }

  bool send(const std::string& frame) { return tkwire::writeAll(m_client, frame); }
  // The replies that arrive: the first within firstMs, the rest until quiet.
  std::vector<tkwire::Reply> replies(int firstMs = kWaitMs) {
    std::vector<tkwire::Reply> out;
    std::string body;
    int wait = firstMs;
    while (tkwire::readFrame(m_client, wait, body) == tkwire::ReadStatus::Ok) {
      if (auto r = tkwire::decodeReply(body)) out.push_back(*r);
      wait = 100;
    }
    return out;
  }
  // Closes the console's end and waits for the host's side to finish.
  void close() {
    if (m_client >= 0) ::close(m_client);
    m_client = -1;
    if (m_thread.joinable()) m_thread.join();
    if (m_server >= 0) ::close(m_server);
    m_server = -1;
  }

 private:
  int m_client = -1;
  int m_server = -1;
  std::thread m_thread;
};

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tkhost::setLogLevel(-1);
    std::lock_guard<std::mutex> guard(g_mutex);
    g_seen.clear();
    g_created = 0;
    g_destroyed = 0;
    std::string error;
    ASSERT_TRUE(m_dispatcher.init(scriptedApi(), error)) << error;
    tkhostsvc::reset();
    tkhostsvc::setUserLogin(12, "alice");
  }
  void TearDown() override { tkhostsvc::reset(); }
  std::vector<Seen> seen() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_seen;
  }

  tkhost::Dispatcher m_dispatcher;
};

void expectRefusal(const std::vector<tkwire::Reply>& replies, int64_t sequence, const std::string& text) {
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 1024u);
  EXPECT_EQ(replies[0].sequence, sequence);
  ASSERT_EQ(replies[0].items.size(), 1u);
  EXPECT_EQ(replies[0].items[0].tag, 2051u);
  EXPECT_EQ(replies[0].items[0].bytes, le32(0) + text);
}

TEST_F(DispatchTest, StreamHandlerGetsAFreshRecordOfItsRequest) {
  Connection c(m_dispatcher);
  tkwire::StreamRequest r;
  r.handler = "Record";
  r.userId = 4000000001u;
  r.requestKind = 16;
  r.autoRefreshGuiId = 77;
  r.origin = 13;
  r.sequence = static_cast<int64_t>(0xABCD000000000102ull);
  r.firstField = tkwire::firstFieldOf(2, 3);
  r.stream = std::string(100, 'a');
  ASSERT_TRUE(c.send(tkwire::encodeStreamRequest(r)));
  std::vector<tkwire::Reply> replies = c.replies();
  ASSERT_EQ(replies.size(), 1u);  // the handler's own answer, nothing from the host
  EXPECT_EQ(replies[0].messageId, 11002u);
  EXPECT_EQ(replies[0].sequence, r.sequence);
  EXPECT_EQ(replies[0].items[0].bytes, le32(3));

  // A second request with a shorter stream: nothing of the first remains.
  tkwire::StreamRequest second;
  second.handler = "Silent";
  second.sequence = 5;
  second.firstField = 0x1122334455667788ull;
  second.stream = "bbbbbbbbbb";
  ASSERT_TRUE(c.send(tkwire::encodeStreamRequest(second)));
  EXPECT_TRUE(c.replies(kQuietMs).empty());  // a handler that answers nothing leaves the host silent too
  int serverFd = c.server();
  c.close();

  std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].socket, serverFd);
  EXPECT_TRUE(s[0].secure);
  EXPECT_EQ(s[0].userId, 4000000001u);
  EXPECT_EQ(s[0].requestKind, 16u);
  EXPECT_EQ(s[0].autoRefreshGuiId, 77u);
  EXPECT_EQ(s[0].origin, 13u);
  EXPECT_EQ(s[0].userName, "");  // a user the server does not know
  EXPECT_EQ(s[0].sequence, r.sequence);
  EXPECT_EQ(s[0].firstWord, 2u);
  EXPECT_EQ(s[0].elementCount, 3u);
  EXPECT_EQ(s[0].stream, std::string(100, 'a') + std::string(63536 - 100, '\0'));

  EXPECT_EQ(s[1].socket, serverFd);
  EXPECT_EQ(s[1].userId, 1u);
  EXPECT_EQ(s[1].requestKind, 0u);
  EXPECT_EQ(s[1].origin, 0u);
  EXPECT_EQ(s[1].objectHandle, 0x1122334455667788ull);
  EXPECT_EQ(s[1].firstWord, 0x55667788u);
  EXPECT_EQ(s[1].elementCount, 0x11223344u);
  EXPECT_EQ(s[1].stream, std::string(10, 'b') + std::string(63536 - 10, '\0'));
  // One set of handler objects for the connection, made once and destroyed at its end.
  EXPECT_EQ(s[0].handlersSerial, s[1].handlersSerial);
  EXPECT_EQ(g_created.load(), 1);
  EXPECT_EQ(g_destroyed.load(), 1);
}

TEST_F(DispatchTest, EachConnectionHasHandlerObjectsOfItsOwn) {
  {
    Connection a(m_dispatcher);
    Connection b(m_dispatcher);
    tkwire::StreamRequest r;
    r.handler = "Silent";
    ASSERT_TRUE(a.send(tkwire::encodeStreamRequest(r)));
    ASSERT_TRUE(b.send(tkwire::encodeStreamRequest(r)));
    EXPECT_TRUE(a.replies(kQuietMs).empty());
    EXPECT_TRUE(b.replies(kQuietMs).empty());
    a.close();
    b.close();
  }
  std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_NE(s[0].handlersSerial, s[1].handlersSerial);
  EXPECT_NE(s[0].socket, s[1].socket);
  EXPECT_EQ(g_created.load(), 2);
  EXPECT_EQ(g_destroyed.load(), 2);
}

TEST_F(DispatchTest, XmlRequestIsAnsweredWithTheBufferAndTheResult) {
  Connection c(m_dispatcher);
  tkwire::XmlRequest x;
  x.handler = "XmlDispatch";
  x.userId = 12;
  x.requestKind = 3;
  x.autoRefreshGuiId = 4;
  x.origin = 13;
  x.sequence = -2;
  x.firstField = 2;
  x.messageId = 0x0D130098;
  x.xml = "<req/>";
  ASSERT_TRUE(c.send(tkwire::encodeXmlRequest(x)));
  std::vector<tkwire::Reply> replies = c.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, tkwire::kReplyRaw);
  EXPECT_EQ(replies[0].messageId, 0x0D130098u);
  EXPECT_EQ(replies[0].sequence, -2);
  EXPECT_EQ(replies[0].raw, le32(0) + "<answer to=\"<req/>\"/>");

  x.xml = "clear";
  ASSERT_TRUE(c.send(tkwire::encodeXmlRequest(x)));
  replies = c.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].raw, le32(0xFFFFFFFFu));  // -1 and an empty text
  std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, -1);
  EXPECT_EQ(answer->text, "");
  int serverFd = c.server();
  c.close();

  std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].messageId, 0x0D130098u);
  EXPECT_EQ(s[0].text, "<req/>");
  EXPECT_EQ(s[0].socket, serverFd);
  EXPECT_EQ(s[0].userId, 12u);
  EXPECT_EQ(s[0].userName, "alice");  // from the server's table of users
  EXPECT_EQ(s[0].requestKind, 3u);
  EXPECT_EQ(s[0].autoRefreshGuiId, 4u);
  EXPECT_EQ(s[0].origin, 13u);
  EXPECT_EQ(s[0].sequence, -2);
  EXPECT_EQ(s[0].firstWord, 2u);
  EXPECT_EQ(s[0].stream, std::string(63536, '\0'));
}

TEST_F(DispatchTest, HostRefusesWhatNoHandlerTakes) {
  Connection c(m_dispatcher);
  tkwire::StreamRequest asStream;
  asStream.handler = "XmlDispatch";
  asStream.sequence = 1;
  ASSERT_TRUE(c.send(tkwire::encodeStreamRequest(asStream)));
  expectRefusal(c.replies(), 1, "handler XmlDispatch takes XML requests");

  tkwire::XmlRequest asXml;
  asXml.handler = "Record";
  asXml.sequence = 2;
  asXml.xml = "<x/>";
  ASSERT_TRUE(c.send(tkwire::encodeXmlRequest(asXml)));
  expectRefusal(c.replies(), 2, "handler Record takes element-stream requests");

  tkwire::XmlRequest wrongId;
  wrongId.handler = "XmlOne";
  wrongId.sequence = 3;
  wrongId.messageId = 0x8DF9BE39;
  wrongId.xml = "<x/>";
  ASSERT_TRUE(c.send(tkwire::encodeXmlRequest(wrongId)));
  expectRefusal(c.replies(), 3, "handler XmlOne does not take message id 0x8DF9BE39");

  wrongId.messageId = 0x0DF9BE39;
  ASSERT_TRUE(c.send(tkwire::encodeXmlRequest(wrongId)));
  std::vector<tkwire::Reply> replies = c.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].raw, le32(0) + "<lock/>");

  tkwire::StreamRequest unknown;
  unknown.handler = std::string("bad\x01name", 8);
  unknown.sequence = 4;
  ASSERT_TRUE(c.send(tkwire::encodeStreamRequest(unknown)));
  expectRefusal(c.replies(), 4, "unknown handler " + unknown.handler);
  EXPECT_TRUE(seen().empty());
}

TEST_F(DispatchTest, HandlerThatThrowsIsAnsweredAndTheConnectionGoesOn) {
  Connection c(m_dispatcher);
  tkwire::StreamRequest r;
  r.handler = "Throws";
  r.sequence = 8;
  ASSERT_TRUE(c.send(tkwire::encodeStreamRequest(r)));
  expectRefusal(c.replies(), 8, "handler Throws failed");
  r.handler = "Record";
  ASSERT_TRUE(c.send(tkwire::encodeStreamRequest(r)));
  EXPECT_EQ(c.replies().size(), 1u);
}

TEST(DispatcherInit, RefusesAnUnusableTable) {
  tkhost::setLogLevel(-1);
  struct Case {
    const char* what;
    std::vector<TkHandlerEntry> table;
    std::string message;
  };
  const Case cases[] = {
      {"no name", {{nullptr, kTkHandlerStream, silent, nullptr, 0}}, "entry 0 has no name"},
      {"empty name", {{"", kTkHandlerStream, silent, nullptr, 0}}, "entry 0 has no name"},
      {"stream without function", {{"A", kTkHandlerStream, nullptr, xmlOne, 0}}, "(A) has no element-stream function"},
      {"xml without function", {{"A", kTkHandlerXml, silent, nullptr, 0}}, "(A) has no XML function"},
      {"unknown kind", {{"A", 3, silent, xmlOne, 0}}, "(A) has an unknown kind 3"},
      {"repeated name",
       {{"A", kTkHandlerStream, silent, nullptr, 0}, {"A", kTkHandlerXml, nullptr, xmlOne, 0}},
       "entry 1 (A) repeats a name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tkhost::HandlerApi api = scriptedApi();
    api.table = c.table.data();
    api.count = c.table.size();
    tkhost::Dispatcher d;
    std::string error;
    EXPECT_FALSE(d.init(api, error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(RequestRecord, StreamFillsTheAreaOrIsRefused) {
  tkwire::StreamRequest r;
  r.stream = std::string(63536, '\x5a');
  std::string refusal;
  std::unique_ptr<MessageInfo> m = tkhost::makeStreamRecord(r, 9, refusal);
  ASSERT_TRUE(m);
  EXPECT_EQ(std::string(m->elementStream, sizeof m->elementStream), r.stream);
  EXPECT_EQ(static_cast<int>(m->socket.GetSocketDescriptor()), 9);

  r.stream.push_back('x');
  EXPECT_FALSE(tkhost::makeStreamRecord(r, 9, refusal));
  EXPECT_EQ(refusal, "element stream too long: 63537 bytes, at most 63536");
}

// The handler library's own table and entry points, as the host loads them.
TEST(HandlerLibraryEntry, TableAndEntryPointsAreUsable) {
  EXPECT_EQ(TkHostEntryVersion(), kTkHostEntryVersion);
  tkhost::HandlerApi api;
  api.create = TkHostCreateHandlers;
  api.destroy = TkHostDestroyHandlers;
  api.table = TkHostHandlerTable(&api.count);
  ASSERT_NE(api.table, nullptr);
  EXPECT_EQ(api.table[api.count].name, nullptr) << "the table ends with its null entry";
  tkhost::Dispatcher d;
  std::string error;
  EXPECT_TRUE(d.init(api, error)) << error;
  EXPECT_EQ(d.handlerCount(), api.count);

  TkHandlers* a = TkHostCreateHandlers();
  TkHandlers* b = TkHostCreateHandlers();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  TkHostDestroyHandlers(a);
  TkHostDestroyHandlers(b);

  char reason[64] = {};
  EXPECT_EQ(TkHostSeedDemo(reason, sizeof reason), 0);
  EXPECT_STREQ(reason, "nothing to seed yet");
}

}  // namespace
