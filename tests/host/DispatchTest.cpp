// The host's dispatch in-process: its connection code runs against a
// scripted handler table over a socket pair, so that what a handler receives
// (the request record the host builds) can be checked field by field.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iterator>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "entry/HostEntry.h"
#include "frame/MessageInfo.h"
#include "host/Dispatcher.h"
#include "host/HostLog.h"
#include "host/RequestRecord.h"
#include "platform/external/HostServices.h"
#include "tests/support/FrameWire.h"
#include "tests/support/TestDatabase.h"

namespace {

using tktest::expectStatus;
using tktest::le32;

// The handler objects of the scripted table; the host only passes them on.
struct ScriptedHandlers {
  int serial = 0;
};
ScriptedHandlers* scripted(TkHandlers* h) { return reinterpret_cast<ScriptedHandlers*>(h); }

constexpr int kWaitMs = 10000;

// An element-stream request with no elements.
std::string streamRequest(const std::string& handler, int64_t sequence) {
  tkwire::StreamRequest r;
  r.handler = handler;
  r.sequence = sequence;
  return tkwire::encodeStreamRequest(r);
}

int64_t hostNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
constexpr int kQuietMs = 200;  // how long to listen for replies that must not come

// What a scripted handler saw: a copy of the record, and its XML arguments.
struct Seen {
  std::string handler;
  int handlersSerial = 0;
  std::shared_ptr<MessageInfo> record;
  unsigned long messageId = 0;
  std::string text;
};

std::mutex g_mutex;
std::vector<Seen> g_seen;
std::atomic<int> g_created{0};
std::atomic<int> g_destroyed{0};
// Connections the library was told had ended, each with whether its
// descriptor was still open then.
std::vector<std::pair<int, bool>> g_closed;

void record(const char* name, TkHandlers* h, const MessageInfo* m, unsigned long id = 0, std::string text = "") {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_seen.push_back({name, scripted(h)->serial, std::make_shared<MessageInfo>(*m), id, std::move(text)});
}

// A stream handler that answers on the request's own socket, as handlers do.
int recordAndAnswer(TkHandlers* h, MessageInfo* m) {
  record("Record", h, m);
  tkwire::Reply reply;
  reply.kind = tkwire::kReplyItems;
  reply.messageId = 11002;
  reply.sequence = m->sequenceNumber;
  reply.items.push_back({4001, le32(m->elementCount)});
  tkwire::writeAll(static_cast<int>(m->socket.GetSocketDescriptor()), tkwire::encodeReply(reply));
  return 1;
}

int silent(TkHandlers* h, MessageInfo* m) {
  record("Silent", h, m);
  return 0;
}

// A stream handler that changes its record's head and overwrites its own
// stream, and answers nothing.
int scribble(TkHandlers* h, MessageInfo* m) {
  record("Scribble", h, m);
  std::memset(m->elementStream, '#', strnlen(m->elementStream, sizeof m->elementStream));
  m->socket = CWySocket(-7);
  m->secureSocket.SetEstablished(false);
  m->userId = 99;
  m->requestKind = 7;
  m->autoRefreshGuiId = 8;
  m->origin = 9;
  m->sequenceNumber = 42;
  m->objectHandle = ~0ull;
  m->setLoginName("mallory");
  return 0;
}

int throws(TkHandlers*, MessageInfo*) { throw "Not enough memory to initialize ZqCriticalSection"; }

long long xmlDispatch(TkHandlers* h, MessageInfo* m, unsigned long id, std::string& text) {
  record("XmlDispatch", h, m, id, text);
  text = text == "clear" ? "" : "<answer to=\"" + text + "\"/>";
  return text.empty() ? -1 : 0;
}

long long xmlOne(TkHandlers*, MessageInfo*, unsigned long, std::string& text) {
  text = "<lock/>";
  return 0;
}

const TkHandlerEntry kTable[] = {
    {"Record", kTkHandlerStream, recordAndAnswer, nullptr, 0},
    {"Silent", kTkHandlerStream, silent, nullptr, 0},
    {"Scribble", kTkHandlerStream, scribble, nullptr, 0},
    {"Throws", kTkHandlerStream, throws, nullptr, 0},
    {"XmlDispatch", kTkHandlerXml, nullptr, xmlDispatch, 0},
    {"XmlOne", kTkHandlerXml, nullptr, xmlOne, 0x0DF9BE39},
};

tkhost::HandlerApi scriptedApi() {
  tkhost::HandlerApi api;
  api.create = [] { return reinterpret_cast<TkHandlers*>(new ScriptedHandlers{++g_created}); };
  api.destroy = [](TkHandlers* h) {
    ++g_destroyed;
    delete scripted(h);
  };
  api.closed = [](int fd) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_closed.emplace_back(fd, ::fcntl(fd, F_GETFD) != -1);
  };
  api.table = kTable;
  api.count = sizeof kTable / sizeof kTable[0];
  return api;
}

// One connection served by the host's code on a thread: the console writes on
// `a`, the host serves `b`.
class Connection {
 public:
  explicit Connection(const tkhost::Dispatcher& dispatcher, int frameDeadlineMs = tkhost::kDefaultFrameDeadlineMs)
      : m_thread([this, &dispatcher, frameDeadlineMs] {
          tkhost::serveConnection(m_pair.b, dispatcher, frameDeadlineMs);
          m_served = true;
        }) {}
  ~Connection() { close(); }

  int server() const { return m_serverFd; }
  int console() const { return m_pair.a; }
  // True once the host's side has finished with the connection.
  bool served() const { return m_served.load(); }
  // The replies to `frame`, up to the end frame the host writes after
  // every request: read whole however late this process's serving thread
  // runs between an answer and that frame, so that none is left for the
  // next exchange.
  std::vector<tkwire::Reply> exchange(const std::string& frame, int firstMs = kWaitMs) {
    EXPECT_TRUE(tkwire::writeAll(m_pair.a, frame));
    return tktest::awaitReplies(m_pair.a, firstMs, kWaitMs);
  }
  // Closes the console's end and waits for the host's side to finish.
  void close() {
    m_pair.closeA();
    if (m_thread.joinable()) m_thread.join();
    m_pair.closeB();
  }

 private:
  tktest::SocketPair m_pair;
  int m_serverFd = m_pair.b;
  std::atomic<bool> m_served{false};
  std::thread m_thread;
};

// The record's fields: socket, secure, user, kind, refresh id, origin, login
// name, sequence number, first word, element count.
auto fields(const MessageInfo& m) {
  return std::make_tuple(static_cast<int>(m.socket.GetSocketDescriptor()), m.secureSocket.IsEstablished(), m.userId,
                         m.requestKind, m.autoRefreshGuiId, m.origin, m.loginName(), m.sequenceNumber, m.firstWord,
                         m.elementCount);
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tkhost::setLogLevel(-1);
    std::lock_guard<std::mutex> guard(g_mutex);
    g_seen.clear();
    g_created = 0;
    g_destroyed = 0;
    g_closed.clear();
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
  std::vector<std::pair<int, bool>> closed() {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_closed;
  }

  tkhost::Dispatcher m_dispatcher;
};

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
  std::vector<tkwire::Reply> replies = c.exchange(tkwire::encodeStreamRequest(r));
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
  EXPECT_TRUE(c.exchange(tkwire::encodeStreamRequest(second), kQuietMs).empty())
      << "a handler that answers nothing leaves the host silent too";
  c.close();

  std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), 2u);
  // The user's login name is empty: a user the server does not know.
  EXPECT_EQ(fields(*s[0].record), std::make_tuple(c.server(), true, 4000000001u, 16u, 77u, 13u, std::string(),
                                                  r.sequence, 2u, 3u));
  EXPECT_EQ(std::string(s[0].record->elementStream, 63536), std::string(100, 'a') + std::string(63536 - 100, '\0'));
  EXPECT_EQ(fields(*s[1].record), std::make_tuple(c.server(), true, 1u, 0u, 0u, 0u, std::string(), int64_t{5},
                                                  0x55667788u, 0x11223344u));
  EXPECT_EQ(s[1].record->objectHandle, 0x1122334455667788ull);
  EXPECT_EQ(std::string(s[1].record->elementStream, 63536), std::string(10, 'b') + std::string(63536 - 10, '\0'));
  // One set of handler objects for the connection, made once and destroyed at its end.
  EXPECT_EQ(s[0].handlersSerial, s[1].handlersSerial);
  EXPECT_EQ(g_created.load(), 1);
  EXPECT_EQ(g_destroyed.load(), 1);
}

TEST_F(DispatchTest, EachRequestOfAConnectionGetsARecordWithNothingOfTheRequestsBefore) {
  // Streams longer and shorter than the one before, the longest there is,
  // none, and an XML request among them; the scribbling handler changes its
  // record's head and overwrites its stream before the next request comes.
  struct Row {
    const char* handler;
    std::size_t length;
    char fill;
  };
  const Row rows[] = {{"Scribble", 3000, 'a'}, {"Silent", 10, 'b'},     {"Scribble", 63536, 'c'},
                      {"Silent", 0, '\0'},     {"XmlDispatch", 0, '\0'}, {"Scribble", 1, 'd'},
                      {"Silent", 2, 'e'}};
  Connection c(m_dispatcher);
  int64_t sequence = 0;
  for (const Row& row : rows) {
    ++sequence;
    if (std::string(row.handler) == "XmlDispatch") {
      tkwire::XmlRequest x;
      x.handler = row.handler;
      x.userId = 5;
      x.sequence = sequence;
      x.messageId = 0x0D130098;
      x.xml = "<req/>";
      c.exchange(tkwire::encodeXmlRequest(x));
    } else {
      tkwire::StreamRequest r;
      r.handler = row.handler;
      r.userId = 5;
      r.sequence = sequence;
      r.stream = std::string(row.length, row.fill);
      c.exchange(tkwire::encodeStreamRequest(r), kQuietMs);
    }
  }
  c.close();

  const std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), std::size(rows));
  for (std::size_t i = 0; i < s.size(); ++i) {
    SCOPED_TRACE(std::string(rows[i].handler) + ", request " + std::to_string(i + 1));
    EXPECT_EQ(s[i].handler, rows[i].handler);
    EXPECT_EQ(fields(*s[i].record), std::make_tuple(c.server(), true, 5u, 0u, 0u, 0u, std::string(),
                                                    static_cast<int64_t>(i + 1), 0u, 0u));
    EXPECT_EQ(std::string(s[i].record->elementStream, 63536),
              std::string(rows[i].length, rows[i].fill) + std::string(63536 - rows[i].length, '\0'));
  }
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
  std::vector<tkwire::Reply> replies = c.exchange(tkwire::encodeXmlRequest(x));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].kind, tkwire::kReplyRaw);
  EXPECT_EQ(replies[0].messageId, 0x0D130098u);
  EXPECT_EQ(replies[0].sequence, -2);
  EXPECT_EQ(replies[0].raw, le32(0) + "<answer to=\"<req/>\"/>");

  x.xml = "clear";
  replies = c.exchange(tkwire::encodeXmlRequest(x));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].raw, le32(0xFFFFFFFFu));  // -1 and an empty text
  std::optional<tkwire::XmlAnswer> answer = tkwire::decodeXmlAnswer(replies[0]);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, -1);
  EXPECT_EQ(answer->text, "");
  c.close();

  std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].messageId, 0x0D130098u);
  EXPECT_EQ(s[0].text, "<req/>");
  // The login name comes from the server's table of users.
  EXPECT_EQ(fields(*s[0].record), std::make_tuple(c.server(), true, 12u, 3u, 4u, 13u, std::string("alice"),
                                                  int64_t{-2}, 2u, 0u));
  EXPECT_EQ(std::string(s[0].record->elementStream, 63536), std::string(63536, '\0'));
}

TEST_F(DispatchTest, EveryRequestEndsWithOneEndFrameAfterItsAnswersCarryingTheResult) {
  Connection c(m_dispatcher);
  auto xml = [](const std::string& text, int64_t sequence) {
    tkwire::XmlRequest x;
    x.handler = "XmlDispatch";
    x.sequence = sequence;
    x.messageId = 5;
    x.xml = text;
    return tkwire::encodeXmlRequest(x);
  };
  const struct {
    const char* what;
    std::string frame;
    size_t answers;
    int64_t sequence;
    int64_t result;
  } cases[] = {
      {"a handler that answers", streamRequest("Record", 1), 1, 1, 1},
      {"a handler that answers nothing", streamRequest("Silent", 2), 0, 2, 0},
      {"a handler that throws", streamRequest("Throws", 3), 1, 3, tkwire::kRefusedResult},
      {"an XML answer", xml("<a/>", 4), 1, 4, 0},
      {"an XML answer of -1", xml("clear", 5), 1, 5, -1},
      {"an unknown handler", streamRequest("Nobody", 6), 1, 6, tkwire::kRefusedResult},
      {"a malformed frame", streamRequest("Record", 7).substr(0, 40), 1, 7, tkwire::kRefusedResult},
      {"the host's list", streamRequest(tkwire::kListHandlersName, 8), 1, 8, 0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    std::string frame = k.frame;
    if (frame.size() == 40) frame = le32(36) + frame.substr(4);  // a whole frame whose body is cut
    ASSERT_TRUE(tkwire::writeAll(c.console(), frame));
    std::vector<tkwire::Reply> frames;
    std::string body;
    while (frames.empty() || !frames.back().isEnd()) {
      ASSERT_EQ(tkwire::readFrame(c.console(), kWaitMs, body), tkwire::ReadStatus::Ok);
      std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
      ASSERT_TRUE(reply.has_value());
      frames.push_back(*reply);
    }
    EXPECT_EQ(frames.size(), k.answers + 1);
    EXPECT_EQ(frames.back().messageId, tkwire::kRequestDone);
    EXPECT_EQ(frames.back().sequence, k.sequence);
    EXPECT_EQ(frames.back().endResult(), k.result);
  }
  // The list names every entry of the table in its order.
  ASSERT_TRUE(tkwire::writeAll(c.console(), streamRequest(tkwire::kListHandlersName, 9)));
  std::vector<tkwire::Reply> replies = tktest::awaitReplies(c.console(), kWaitMs);
  ASSERT_EQ(replies.size(), 1u);
  std::optional<std::vector<tkwire::HandlerInfo>> list = tkwire::decodeHandlerList(replies[0]);
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), m_dispatcher.api().count);
  for (size_t i = 0; i < list->size(); ++i) {
    EXPECT_EQ((*list)[i].name, m_dispatcher.api().table[i].name);
    EXPECT_EQ((*list)[i].kind, m_dispatcher.api().table[i].kind);
    EXPECT_EQ((*list)[i].messageId, m_dispatcher.api().table[i].messageId);
  }
}

TEST_F(DispatchTest, RequestsThatArriveTogetherOrInPiecesAreServedInTurn) {
  const std::string requests = streamRequest("Record", 1) + streamRequest("Silent", 2) + streamRequest("Record", 3);
  for (size_t piece : {requests.size(), size_t{1}, size_t{7}}) {
    SCOPED_TRACE(piece);
    Connection c(m_dispatcher);
    for (size_t at = 0; at < requests.size(); at += piece)
      ASSERT_TRUE(tkwire::writeAll(c.console(), requests.substr(at, piece)));
    // Each request's answers, then its end frame, one request after the other.
    const std::vector<std::pair<uint32_t, int64_t>> expected = {
        {11002, 1}, {tkwire::kRequestDone, 1}, {tkwire::kRequestDone, 2}, {11002, 3}, {tkwire::kRequestDone, 3}};
    std::string body;
    for (const auto& [messageId, sequence] : expected) {
      ASSERT_EQ(tkwire::readFrame(c.console(), kWaitMs, body), tkwire::ReadStatus::Ok);
      const std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
      ASSERT_TRUE(reply.has_value());
      EXPECT_EQ(reply->messageId, messageId);
      EXPECT_EQ(reply->sequence, sequence);
    }
  }
  EXPECT_EQ(seen().size(), 9u);
}

TEST_F(DispatchTest, HostRefusesWhatNoHandlerTakes) {
  Connection c(m_dispatcher);
  tkwire::StreamRequest asStream;
  asStream.handler = "XmlDispatch";
  asStream.sequence = 1;
  expectStatus(c.exchange(tkwire::encodeStreamRequest(asStream)), 1, 0, "handler XmlDispatch takes XML requests");

  tkwire::XmlRequest xml;
  xml.handler = "Record";
  xml.sequence = 2;
  xml.xml = "<x/>";
  expectStatus(c.exchange(tkwire::encodeXmlRequest(xml)), 2, 0, "handler Record takes element-stream requests");

  xml.handler = "XmlOne";
  xml.sequence = 3;
  xml.messageId = 0x8DF9BE39;
  expectStatus(c.exchange(tkwire::encodeXmlRequest(xml)), 3, 0,
               "handler XmlOne does not take message id 0x8DF9BE39");
  xml.messageId = 0x0DF9BE39;
  std::vector<tkwire::Reply> replies = c.exchange(tkwire::encodeXmlRequest(xml));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].raw, le32(0) + "<lock/>");

  asStream.handler = std::string("bad\x01name", 8);
  asStream.sequence = 4;
  expectStatus(c.exchange(tkwire::encodeStreamRequest(asStream)), 4, 0, "unknown handler " + asStream.handler);
  EXPECT_TRUE(seen().empty());
}

TEST_F(DispatchTest, HandlerThatThrowsIsAnsweredAndTheConnectionGoesOn) {
  Connection c(m_dispatcher);
  tkwire::StreamRequest r;
  r.handler = "Throws";
  r.sequence = 8;
  expectStatus(c.exchange(tkwire::encodeStreamRequest(r)), 8, 0, "handler Throws failed");
  r.handler = "Record";
  EXPECT_EQ(c.exchange(tkwire::encodeStreamRequest(r)).size(), 1u);
}

// Each connection has handler objects of its own, and the library hears of
// each ended connection while its descriptor is still open.
TEST_F(DispatchTest, EachConnectionHasItsOwnHandlerObjectsAndItsEndIsHeardWhileItsDescriptorIsOpen) {
  int numbers[2] = {-1, -1};
  {
    Connection a(m_dispatcher);
    Connection b(m_dispatcher);
    numbers[0] = a.server();
    numbers[1] = b.server();
    tkwire::StreamRequest r;
    r.handler = "Silent";
    EXPECT_TRUE(a.exchange(tkwire::encodeStreamRequest(r), kQuietMs).empty());
    EXPECT_TRUE(b.exchange(tkwire::encodeStreamRequest(r), kQuietMs).empty());
    EXPECT_TRUE(closed().empty()) << "nothing ends while the consoles stay";
    a.close();
    ASSERT_EQ(closed().size(), 1u);
    EXPECT_EQ(closed()[0], std::make_pair(numbers[0], true));
  }
  ASSERT_EQ(closed().size(), 2u);
  EXPECT_EQ(closed()[1], std::make_pair(numbers[1], true));
  std::vector<Seen> s = seen();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_NE(s[0].handlersSerial, s[1].handlersSerial);
  EXPECT_EQ(static_cast<int>(s[0].record->socket.GetSocketDescriptor()), numbers[0]);
  EXPECT_EQ(static_cast<int>(s[1].record->socket.GetSocketDescriptor()), numbers[1]);
  EXPECT_EQ(g_created.load(), 2);
  EXPECT_EQ(g_destroyed.load(), 2);
}

TEST_F(DispatchTest, AConsoleThatStallsHalfwayThroughAFrameIsDroppedWhileOthersAreServed) {
  constexpr int kDeadlineMs = 300;
  const std::string frame = [] {
    tkwire::StreamRequest r;
    r.handler = "Record";
    r.sequence = 6;
    return tkwire::encodeStreamRequest(r);
  }();
  // Stalled after two bytes of the length, after the length, and in the body.
  const struct {
    const char* what;
    size_t sent;
  } cases[] = {{"half a length", 2}, {"the length alone", 4}, {"half a body", frame.size() / 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Connection stalled(m_dispatcher, kDeadlineMs);
    Connection other(m_dispatcher, kDeadlineMs);
    const int64_t start = hostNowMs();
    ASSERT_TRUE(tkwire::writeAll(stalled.console(), frame.substr(0, c.sent)));
    // The other console is served meanwhile, and may stay idle far longer
    // than the deadline between its frames.
    EXPECT_EQ(other.exchange(frame).size(), 1u);
    expectStatus(tktest::awaitReplies(stalled.console(), kWaitMs), 0, 0,
                 "request frame not complete within 300 ms");
    const int64_t dropped = hostNowMs() - start;
    EXPECT_GE(dropped, kDeadlineMs - 20);
    EXPECT_TRUE(stalled.served()) << "the host has finished with the stalled connection";
    std::this_thread::sleep_for(std::chrono::milliseconds(kDeadlineMs + 100));
    EXPECT_FALSE(other.served());
    EXPECT_EQ(other.exchange(frame).size(), 1u);
  }
}

TEST(DispatcherInit, RefusesAnUnusableTable) {
  tkhost::setLogLevel(-1);
  const struct {
    const char* what;
    std::vector<TkHandlerEntry> table;
    std::string message;
  } cases[] = {
      {"no name", {{nullptr, kTkHandlerStream, silent, nullptr, 0}}, "entry 0 has no name"},
      {"empty name", {{"", kTkHandlerStream, silent, nullptr, 0}}, "entry 0 has no name"},
      {"stream without function", {{"A", kTkHandlerStream, nullptr, xmlOne, 0}}, "(A) has no element-stream function"},
      {"xml without function", {{"A", kTkHandlerXml, silent, nullptr, 0}}, "(A) has no XML function"},
      {"unknown kind", {{"A", 3, silent, xmlOne, 0}}, "(A) has an unknown kind 3"},
      {"repeated name",
       {{"A", kTkHandlerStream, silent, nullptr, 0}, {"A", kTkHandlerXml, nullptr, xmlOne, 0}},
       "entry 1 (A) repeats a name"},
  };
  for (const auto& c : cases) {
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

// The handler library's own table and entry points, as the host loads them.
TEST(HandlerLibraryEntry, TableAndEntryPointsAreUsable) {
  EXPECT_EQ(TkHostEntryVersion(), kTkHostEntryVersion);
  tkhost::HandlerApi api;
  api.create = TkHostCreateHandlers;
  api.destroy = TkHostDestroyHandlers;
  api.closed = TkHostConnectionClosed;
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
  // Seeding fills an empty database once and says what it made; a small
  // buffer gets the start of the text.
  tktest::TestDatabase db;
  char reason[64] = {};
  EXPECT_EQ(TkHostSeedDemo(reason, sizeof reason), 20);
  EXPECT_STREQ(reason, "seeded 20 objects: media agents ma1 and ma2; tape library TapeL");
  EXPECT_EQ(TkHostSeedDemo(reason, sizeof reason), 0);
  EXPECT_STREQ(reason, "the database already holds a configuration; nothing was seeded");
}

}  // namespace
