// The frame codec shared by the host, the console and the tests.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "frame/CWySocket.h"
#include "platform/reply/EvReturnData.h"
#include "tests/support/FrameWire.h"
#include "wire/FrameReader.h"

namespace {

using namespace std::string_literals;
using tktest::le32;
using tktest::le64;

tkwire::StreamRequest sampleStream() {
  tkwire::StreamRequest r;
  r.handler = "onMsgSetMMDrive";
  r.userId = 0xFEDCBA98u;
  r.requestKind = 16;
  r.autoRefreshGuiId = 0x01020304u;
  r.origin = 13;
  r.sequence = static_cast<int64_t>(0x8001000000000005ull);
  r.firstField = 0x1122334455667788ull;
  tkwire::appendU32(r.stream, 4001, 3);
  tkwire::appendU64(r.stream, 11003, 0x0102030405060708ull);
  tkwire::appendElement(r.stream, 4151, "drive\0one"s);
  return r;
}

tkwire::XmlRequest sampleXml() {
  tkwire::XmlRequest r;
  r.handler = "HandleMMConfigMgrXmlMsg";
  r.userId = 5;
  r.requestKind = 2;
  r.autoRefreshGuiId = 6;
  r.origin = 7;
  r.sequence = -9;
  r.firstField = 2;
  r.messageId = 0x0DF9BE39;
  r.xml = "<a b=\"&amp;\"/>";
  return r;
}

TEST(WireCodec, RequestsRoundTripExactly) {
  tkwire::StreamRequest s = sampleStream();
  std::string frame = tkwire::encodeStreamRequest(s);
  // Length prefix, then kind 1, name, five numbers, the first field and the stream.
  EXPECT_EQ(frame.substr(0, 4), le32(static_cast<uint32_t>(frame.size() - 4)));
  EXPECT_EQ(frame.substr(4, 4), le32(tkwire::kRequestStream));
  EXPECT_EQ(frame.substr(8, 2), "\x0f\x00"s);
  EXPECT_EQ(frame.size(), 4 + 4 + 2 + s.handler.size() + 4 * 4 + 8 + 8 + 4 + s.stream.size());
  std::optional<tkwire::DecodedRequest> d = tkwire::decodeRequest(frame.substr(4));
  ASSERT_TRUE(d.has_value());
  ASSERT_EQ(d->kind, tkwire::kRequestStream);
  EXPECT_EQ(std::tie(d->stream.handler, d->stream.userId, d->stream.requestKind, d->stream.autoRefreshGuiId,
                     d->stream.origin, d->stream.sequence, d->stream.firstField, d->stream.stream),
            std::tie(s.handler, s.userId, s.requestKind, s.autoRefreshGuiId, s.origin, s.sequence, s.firstField,
                     s.stream));
  EXPECT_EQ(tkwire::peekRequestSequence(frame.substr(4)), s.sequence);

  tkwire::XmlRequest x = sampleXml();
  frame = tkwire::encodeXmlRequest(x);
  d = tkwire::decodeRequest(frame.substr(4));
  ASSERT_TRUE(d.has_value());
  ASSERT_EQ(d->kind, tkwire::kRequestXml);
  EXPECT_EQ(std::tie(d->xml.handler, d->xml.userId, d->xml.requestKind, d->xml.autoRefreshGuiId, d->xml.origin,
                     d->xml.sequence, d->xml.firstField, d->xml.messageId, d->xml.xml),
            std::tie(x.handler, x.userId, x.requestKind, x.autoRefreshGuiId, x.origin, x.sequence, x.firstField,
                     x.messageId, x.xml));
  EXPECT_EQ(tkwire::peekRequestSequence(frame.substr(4)), x.sequence);
}

TEST(WireCodec, EveryTruncationOrExtensionOfARequestIsRefused) {
  for (const std::string& frame :
       {tkwire::encodeStreamRequest(sampleStream()), tkwire::encodeXmlRequest(sampleXml())}) {
    std::string body = frame.substr(4);
    for (size_t n = 0; n < body.size(); ++n) EXPECT_FALSE(tkwire::decodeRequest(body.substr(0, n))) << n;
    EXPECT_FALSE(tkwire::decodeRequest(body + "x"));
  }
  EXPECT_FALSE(tkwire::peekRequestSequence("abc"));
}

TEST(WireCodec, RepliesRoundTripAndBadOnesAreRefused) {
  tkwire::Reply r;
  r.kind = tkwire::kReplyItems;
  r.messageId = 1024;
  r.sequence = -1;
  r.items = {{4001, le32(7)}, {2051, le32(1) + "Success"}, {9, ""}};
  std::string body = tkwire::encodeReply(r).substr(4);
  std::optional<tkwire::Reply> d = tkwire::decodeReply(body);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->sequence, -1);
  ASSERT_EQ(d->items.size(), 3u);
  EXPECT_EQ(d->items[1].statusCode(), 1u);
  EXPECT_EQ(d->items[1].statusText(), "Success");
  EXPECT_EQ(d->find(9)->bytes, "");
  EXPECT_EQ(d->find(10), nullptr);
  for (size_t n = 0; n < body.size(); ++n) EXPECT_FALSE(tkwire::decodeReply(body.substr(0, n))) << n;
  EXPECT_FALSE(tkwire::decodeReply(body + "x"));
  std::string badKind = body;
  badKind[0] = 4;
  EXPECT_FALSE(tkwire::decodeReply(badKind));

  // The host's own answers.
  d = tkwire::decodeReply(tkwire::encodeStatusReply(12, 0, "unknown handler X").substr(4));
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->messageId, tkwire::kHostStatusReply);
  ASSERT_EQ(d->items.size(), 1u);
  EXPECT_EQ(d->items[0].tag, tkwire::kHostStatusItem);
  EXPECT_EQ(d->items[0].bytes, le32(0) + "unknown handler X");
  d = tkwire::decodeReply(tkwire::encodeXmlAnswer(0x0D130098, 3, -1, "").substr(4));
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->kind, tkwire::kReplyRaw);
  EXPECT_EQ(d->raw, le32(0xFFFFFFFFu));
  EXPECT_EQ(tkwire::decodeXmlAnswer(*d)->result, -1);
  EXPECT_FALSE(tkwire::decodeXmlAnswer(r));
}

TEST(WireCodec, TheEndFrameAndTheHandlerListAreExactOnTheWire) {
  const std::string end = tkwire::encodeRequestEnd(-7, -1);
  EXPECT_EQ(end, le32(24) + le32(tkwire::kReplyEnd) + le32(tkwire::kRequestDone) + le64(static_cast<uint64_t>(-7)) +
                     le64(0xFFFFFFFFFFFFFFFFull));
  std::optional<tkwire::Reply> d = tkwire::decodeReply(end.substr(4));
  ASSERT_TRUE(d.has_value());
  EXPECT_TRUE(d->isEnd());
  EXPECT_EQ(d->sequence, -7);
  EXPECT_EQ(d->endResult(), -1);
  // An end frame carries its result and nothing else.
  for (size_t n = 0; n < end.size() - 4; ++n) EXPECT_FALSE(tkwire::decodeReply(end.substr(4, n))) << n;
  EXPECT_FALSE(tkwire::decodeReply(end.substr(4) + "x"));

  const std::vector<tkwire::HandlerInfo> handlers{{"Stream", tkwire::kRequestStream, 0},
                                                  {"Xml", tkwire::kRequestXml, 0x0DF9BE39}};
  const std::string list = tkwire::encodeHandlerList(3, handlers);
  EXPECT_EQ(list.substr(4), le32(tkwire::kReplyItems) + le32(tkwire::kHostHandlerList) + le64(3) + le32(2) +
                                le32(tkwire::kHostHandlerItem) + le32(14) + le32(1) + le32(0) + "Stream" +
                                le32(tkwire::kHostHandlerItem) + le32(11) + le32(2) + le32(0x0DF9BE39) + "Xml");
  d = tkwire::decodeReply(list.substr(4));
  ASSERT_TRUE(d.has_value());
  std::optional<std::vector<tkwire::HandlerInfo>> back = tkwire::decodeHandlerList(*d);
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[1].name, "Xml");
  EXPECT_EQ((*back)[1].kind, tkwire::kRequestXml);
  EXPECT_EQ((*back)[1].messageId, 0x0DF9BE39u);
  d->items[0].bytes.resize(8);  // no name
  EXPECT_FALSE(tkwire::decodeHandlerList(*d));
  d->messageId = 1024;
  EXPECT_FALSE(tkwire::decodeHandlerList(*d));
}

TEST(WireCodec, OverlongNamesAreNotCutSilently) {
  tkwire::StreamRequest s;
  s.handler = std::string(65535, 'n');
  EXPECT_NO_THROW(tkwire::encodeStreamRequest(s));
  s.handler.push_back('n');
  EXPECT_THROW(tkwire::encodeStreamRequest(s), std::length_error);
  tkwire::XmlRequest x;
  x.handler = s.handler;
  EXPECT_THROW(tkwire::encodeXmlRequest(x), std::length_error);
}

// The frames of one descriptor, read by readFrame or by a FrameReader: the
// two keep the same limits and tell the same outcomes.
class FrameSource {
 public:
  FrameSource(int fd, bool buffered) : m_fd(fd) {
    if (buffered) m_reader = std::make_unique<tkwire::FrameReader>(fd);
  }
  tkwire::ReadStatus next(int waitMs, int frameMs, std::string& body) {
    return m_reader ? m_reader->next(waitMs, frameMs, body) : tkwire::readFrame(m_fd, waitMs, frameMs, body);
  }

 private:
  int m_fd;
  std::unique_ptr<tkwire::FrameReader> m_reader;
};

class FrameReading : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(WireCodec, FrameReading, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("FrameReader") : std::string("readFrame");
                         });

TEST_P(FrameReading, TellsHowAFrameEnded) {
  tktest::SocketPair pair;
  const int fds[2] = {pair.a, pair.b};
  FrameSource frames(fds[0], GetParam());
  std::string body;
  EXPECT_EQ(frames.next(20, 1020, body), tkwire::ReadStatus::Timeout);

  ASSERT_TRUE(tkwire::writeAll(fds[1], le32(3) + "abc"));
  EXPECT_EQ(frames.next(1000, 2000, body), tkwire::ReadStatus::Ok);
  EXPECT_EQ(body, "abc");
  ASSERT_TRUE(tkwire::writeAll(fds[1], le32(0)));
  EXPECT_EQ(frames.next(1000, 2000, body), tkwire::ReadStatus::Ok);
  EXPECT_EQ(body, "");

  ASSERT_TRUE(tkwire::writeAll(fds[1], le32(tkwire::kMaxFrameBytes + 1)));
  EXPECT_EQ(frames.next(1000, 2000, body), tkwire::ReadStatus::TooLong);

  // A new source: the length refused above leaves its stream unreadable.
  FrameSource rest(fds[0], GetParam());
  ASSERT_TRUE(tkwire::writeAll(fds[1], le32(10) + "half"));
  pair.closeB();
  EXPECT_EQ(rest.next(1000, 2000, body), tkwire::ReadStatus::Closed);
  EXPECT_EQ(body, "");
  EXPECT_EQ(rest.next(1000, 2000, body), tkwire::ReadStatus::Closed);
  // Writing to a connection whose peer is gone fails instead of raising SIGPIPE.
  EXPECT_FALSE(tkwire::writeAll(fds[0], "x"));
}

TEST_P(FrameReading, AFrameThatStallsAfterItBeganTimesOutWithoutTakingTheMemoryItNames) {
  const struct {
    const char* what;
    std::string whole;  // a frame before the one that stalls
    std::string sent;
  } cases[] = {
      {"half a length", "", std::string("\x10\x00", 2)},
      {"a length of the largest size", "", le32(tkwire::kMaxFrameBytes)},
      {"a length and some of its body", "", le32(tkwire::kMaxFrameBytes) + std::string(5000, 'b')},
      {"half a length behind a whole frame", "ok", std::string("\x10", 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tktest::SocketPair pair;
    FrameSource frames(pair.a, GetParam());
    const std::string before = c.whole.empty() ? "" : le32(static_cast<uint32_t>(c.whole.size())) + c.whole;
    ASSERT_TRUE(tkwire::writeAll(pair.b, before + c.sent));
    std::string body;
    // No limit on the wait for a frame to begin; 50 ms for the rest of it.
    if (!c.whole.empty()) {
      ASSERT_EQ(frames.next(-1, 50, body), tkwire::ReadStatus::Ok);
      EXPECT_EQ(body, c.whole);
    }
    EXPECT_EQ(frames.next(-1, 50, body), tkwire::ReadStatus::Timeout);
    EXPECT_EQ(body, "");
    EXPECT_LE(body.capacity(), 3 * c.sent.size() + 8192) << "the buffer grows only with what arrives";
  }
  // A frame that arrives whole in time is read, whatever its size.
  tktest::SocketPair pair;
  FrameSource frames(pair.a, GetParam());
  const std::string big(300000, 'x');
  std::thread writer([&] { tkwire::writeAll(pair.b, le32(static_cast<uint32_t>(big.size())) + big); });
  std::string body;
  EXPECT_EQ(frames.next(-1, 10000, body), tkwire::ReadStatus::Ok);
  writer.join();
  EXPECT_EQ(body, big);
}

TEST_P(FrameReading, ALengthThatComesInPiecesIsReadWhole) {
  // Each byte of the frame in a write of its own, a little apart: the
  // reader takes the length as far as it has come, then waits for the rest.
  tktest::SocketPair pair;
  FrameSource frames(pair.a, GetParam());
  const std::string frame = le32(5) + "hello" + le32(2) + "ok";
  std::thread writer([&] {
    for (char c : frame) {
      tkwire::writeAll(pair.b, std::string(1, c));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  std::string body;
  EXPECT_EQ(frames.next(5000, 5000, body), tkwire::ReadStatus::Ok);
  EXPECT_EQ(body, "hello");
  EXPECT_EQ(frames.next(5000, 5000, body), tkwire::ReadStatus::Ok);
  EXPECT_EQ(body, "ok");
  writer.join();
}

TEST(WireCodec, AFrameReaderCutsFramesThatArriveTogetherOrInPieces) {
  // Short frames, an empty one, one longer than the reader's buffer and one
  // that fills it exactly, in one stream.
  const std::vector<std::string> bodies = {"a", "", std::string(3 * tkwire::FrameReader::kAheadBytes + 5, 'L'),
                                           std::string(tkwire::FrameReader::kAheadBytes - 4, 'F'), "end"};
  std::string stream;
  for (const std::string& b : bodies) stream += le32(static_cast<uint32_t>(b.size())) + b;
  for (size_t piece : {stream.size(), size_t{1}, size_t{3}, size_t{4097}}) {
    SCOPED_TRACE(piece);
    tktest::SocketPair pair;
    std::thread writer([&] {
      for (size_t at = 0; at < stream.size(); at += piece)
        if (!tkwire::writeAll(pair.b, stream.substr(at, piece))) return;  // the reader gave up
    });
    tkwire::FrameReader reader(pair.a);
    std::string body;
    bool read = true;
    for (size_t i = 0; i < bodies.size() && read; ++i) {
      read = reader.next(10000, 10000, body) == tkwire::ReadStatus::Ok;
      EXPECT_TRUE(read) << "frame " << i;
      EXPECT_EQ(body, bodies[i]) << "frame " << i;
    }
    // A reader that stopped early closes its end, so that the writer's
    // next write fails instead of waiting: the thread is joined either way
    // and a failure fails this case only.
    if (!read) pair.closeA();
    writer.join();
    if (!read) continue;
    EXPECT_EQ(reader.buffered(), 0u);
    pair.closeB();
    EXPECT_EQ(reader.next(1000, 1000, body), tkwire::ReadStatus::Closed);
  }
}

// A frame that begins a few bytes before the end of what the reader's
// buffer took in one read: its length or its body lies across the buffer's
// end, and what is left of the buffer moves to its start before the rest
// is read behind it.
TEST(WireCodec, AFrameBeginningJustBeforeTheBuffersEndIsReadWhole) {
  constexpr size_t kAhead = tkwire::FrameReader::kAheadBytes;
  for (size_t before : {size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{7}}) {
    for (size_t second : {size_t{5}, kAhead + 10}) {
      SCOPED_TRACE("begins " + std::to_string(before) + " bytes before the end, body " + std::to_string(second));
      // The first frame fills the buffer up to `before` bytes; the second
      // (its bytes all different) and a third follow in the same write.
      const std::string first(kAhead - before - 4, 'f');
      std::string body(second, '\0');
      for (size_t i = 0; i < second; ++i) body[i] = static_cast<char>('a' + i % 23);
      const std::string stream = le32(static_cast<uint32_t>(first.size())) + first +
                                 le32(static_cast<uint32_t>(body.size())) + body + le32(3) + "end";
      tktest::SocketPair pair;
      ASSERT_TRUE(tkwire::writeAll(pair.b, stream));
      pair.closeB();
      tkwire::FrameReader reader(pair.a);
      std::string got;
      for (const std::string& expected : {first, body, std::string("end")}) {
        ASSERT_EQ(reader.next(1000, 1000, got), tkwire::ReadStatus::Ok);
        EXPECT_EQ(got, expected);
      }
      EXPECT_EQ(reader.next(1000, 1000, got), tkwire::ReadStatus::Closed);
    }
  }
}

TEST(WireCodec, DescribeShowsEachValueByItsShape) {
  struct Case {
    std::string bytes;
    std::string shown;
  };
  const Case cases[] = {
      {"", ""},
      {le32(3), " 3"},
      {le32(0), " 0"},
      {"\x41\x00\x00\x00"s, " 65"},  // a small number is not the text "A"
      {"ABCD", " \"ABCD\""},
      {"\x01\x00\x00\x00\x00\x00\x00\x00"s, " 1"},
      {le32(1) + "Success", " 1 \"Success\""},
      {le32(1) + "ok 0", " 1 \"ok 0\""},
      {le32(4) + "a \"b\" \\c", " 4 \"a \\\"b\\\" \\\\c\""},
      {"unknown handler x", " \"unknown handler x\""},
      {"text\0"s, " \"text\\0\""},
      {"tab\there\n", " \"tab\\there\\n\""},
      {"\x00\xff\x10"s, " 00ff10"},
  };
  for (const Case& c : cases) {
    tkwire::Reply r;
    r.kind = tkwire::kReplyItems;
    r.messageId = 1;
    r.sequence = 2;
    r.items = {{7, c.bytes}};
    EXPECT_EQ(tkwire::describe(r), "reply 1 seq 2\n  tag 7 len " + std::to_string(c.bytes.size()) + ":" + c.shown + "\n")
        << c.shown;
  }
}

TEST(WireCodec, ACountBeyondTheBodyIsRefusedWithoutReservingForIt) {
  // Four billion items announced, one present: refused, and what was set
  // aside for them is bounded by the body (the sanitizer would report an
  // allocation of that size).
  std::string body = le32(tkwire::kReplyItems) + le32(1) + std::string(8, '\0') + le32(0xFFFFFFFFu) + le32(5) + le32(0);
  EXPECT_FALSE(tkwire::decodeReply(body));
}

TEST(WireCodec, DescribeNamesEveryItemOfALongReplyAndSignedSequences) {
  tkwire::Reply r;
  r.kind = tkwire::kReplyItems;
  r.messageId = 4294967295u;
  r.sequence = -9223372036854775807LL - 1;
  std::string expected = "reply 4294967295 seq -9223372036854775808\n";
  for (uint32_t i = 0; i < 300; ++i) {
    const uint32_t tag = i % 3 == 0 ? 11 : i % 3 == 1 ? 12 : 13;
    r.items.push_back({tag, le32(i)});
    expected += "  tag " + std::to_string(tag) + (tag == 11 ? " (eleven)" : tag == 12 ? " (twelve)" : "") + " len 4: " +
                std::to_string(i) + "\n";
  }
  static int asked = 0;
  asked = 0;
  const char* (*names)(uint32_t) = [](uint32_t tag) -> const char* {
    ++asked;
    return tag == 11 ? "eleven" : tag == 12 ? "twelve" : tag == 13 ? "" : nullptr;
  };
  EXPECT_EQ(expected, tkwire::describe(r, names));
  EXPECT_EQ(3, asked) << "each tag's name is asked for once";
}

}  // namespace

namespace {

// A reply frame at the frame limit and up to eight bytes (one item's
// header) on either side of it: whole up to the limit, byte for byte, and
// answered as a failure naming the limit one byte beyond it.
TEST(ReplyFrameLimit, AReplyWithinEightBytesOfTheLimitGoesWholeAndOneByteBeyondIsAnsweredAsAFailure) {
  constexpr std::size_t kHeader = 4 + 4 + 8 + 4;  // kind, message id, sequence, item count
  constexpr std::size_t kItemHeader = 8;
  const std::size_t limit = tkwire::kMaxFrameBytes;
  const std::string first(EvReturnData::kMaxItemBytes, 'a');
  for (std::size_t body = limit - 8; body <= limit + 1; ++body) {
    SCOPED_TRACE(body);
    const std::string second(body - kHeader - 2 * kItemHeader - first.size(), 'b');
    tktest::SocketPair pair;
    std::string frame;
    tkwire::ReadStatus status = tkwire::ReadStatus::Error;
    // A frame this large does not fit the socket's buffer: it is read as it
    // is written. A reader that stops early shuts its end, so that the
    // writer fails at once instead of waiting on a full socket for good.
    std::thread reader([&] {
      status = tkwire::readFrame(pair.b, 10000, frame);
      ::shutdown(pair.b, SHUT_RDWR);
    });
    const CWySocket socket(pair.a);
    EvReturnData reply(4242, 77, &socket, 0, nullptr);
    EXPECT_TRUE(reply.add(11001, first.data(), first.size()));
    const bool sent = reply.send(11002, second.data(), second.size());
    reader.join();
    ASSERT_EQ(status, tkwire::ReadStatus::Ok);
    const std::optional<tkwire::Reply> decoded = tkwire::decodeReply(frame);
    ASSERT_TRUE(decoded.has_value());
    if (body <= limit) {
      EXPECT_TRUE(sent);
      EXPECT_EQ(frame.size(), body);
      EXPECT_EQ(decoded->messageId, 4242u);
      EXPECT_EQ(decoded->sequence, 77);
      ASSERT_EQ(decoded->items.size(), 2u);
      EXPECT_EQ(decoded->items[0].tag, 11001u);
      EXPECT_TRUE(decoded->items[0].bytes == first);
      EXPECT_EQ(decoded->items[1].tag, 11002u);
      EXPECT_TRUE(decoded->items[1].bytes == second);
    } else {
      EXPECT_FALSE(sent);
      tktest::expectStatus({*decoded}, 77, 0,
                           "Reply [4242] was not sent: it is larger than a reply frame may be (16777216 bytes).");
    }
  }
  // What reads a frame takes a length up to the limit and refuses one beyond.
  for (const uint32_t length : {static_cast<uint32_t>(limit - 8), static_cast<uint32_t>(limit),
                                static_cast<uint32_t>(limit + 1)}) {
    SCOPED_TRACE(length);
    tktest::SocketPair pair;
    std::string body;
    tkwire::ReadStatus status = tkwire::ReadStatus::Error;
    std::thread reader([&] {
      status = tkwire::readFrame(pair.b, 10000, body);
      ::shutdown(pair.b, SHUT_RDWR);
    });
    const bool written =
        tkwire::writeAll(pair.a, le32(length)) && (length > limit || tkwire::writeAll(pair.a, std::string(length, 'c')));
    reader.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(status, length <= limit ? tkwire::ReadStatus::Ok : tkwire::ReadStatus::TooLong);
    EXPECT_EQ(body.size(), length <= limit ? length : 0u);
  }
}

}  // namespace
