// The element-stream walker, driven as every handler drives it: over the
// stream area of a heap request record, with the standard value buffer.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "tests/support/StreamBuilder.h"

namespace {

using tktest::StreamBuilder;

struct Element {
  unsigned int type;
  unsigned int length;
  std::string value;  // the first `length` bytes of the returned value
};

// Walks the whole request the standard way and collects what it yields.
std::vector<Element> walkAll(MessageInfo* msg, MessageValueBuffer& buffer) {
  std::vector<Element> out;
  MessageWalker walker;
  walker.setRequest(msg, buffer);
  unsigned int type = 0, length = 0;
  for (char* v = walker.getFirst(&type, &length); v != nullptr; v = walker.getNext(&type, &length)) {
    out.push_back(Element{type, length, std::string(v, length)});
    if (out.size() > 20000) break;  // a walker bug must not hang the test
  }
  return out;
}

TEST(MessageWalker, CountZeroYieldsNothing) {
  auto msg = StreamBuilder().u32(4001, 1).end().count(0).build();
  MessageValueBuffer buffer;
  EXPECT_TRUE(walkAll(msg.get(), buffer).empty());
}

TEST(MessageWalker, YieldsElementsInOrderWithTypesLengthsAndValues) {
  auto msg = StreamBuilder()
                 .op(3)
                 .handle(0x0000000100000002ull)
                 .text(11004, "Pool A")
                 .pair(11171, 9, "lib", true)
                 .text(11005, "")
                 .end()
                 .build();
  ASSERT_EQ(msg->elementCount, 6u);
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(msg.get(), buffer);
  unsigned int type = 0, length = 0;

  char* v = walker.getFirst(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v, buffer.data());
  EXPECT_EQ(type, 4001u);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(MessageWalker::readU32(v, length), 3u);

  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 11003u);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(MessageWalker::readU64(v, length), 0x0000000100000002ull);

  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 11004u);
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(MessageWalker::readText(v, length), "Pool A");
  EXPECT_STREQ(v, "Pool A");

  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 11171u);
  EXPECT_EQ(length, 8u);  // id, "lib" and its zero
  EXPECT_EQ(MessageWalker::readPairId(v, length), 9u);
  EXPECT_EQ(MessageWalker::readPairText(v, length), "lib");

  v = walker.getNext(&type, &length);  // zero-length text: the empty text
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 11005u);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(MessageWalker::readText(v, length), "");
  EXPECT_STREQ(v, "");

  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 2052u);
  EXPECT_EQ(walker.index(), 6u);

  EXPECT_EQ(walker.getNext(&type, &length), nullptr);
}

// Values at and around the capacity of the standard buffer.
struct LengthCase {
  unsigned int length;
  bool returned;
  bool walkerWritesTerminator;
};

class MessageWalkerValueLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(MessageWalkerValueLength, BehavesAtTheCapacity) {
  const LengthCase c = GetParam();
  // A first value that fills the buffer with 'Y', then the value under test
  // of 'x', then one more element that must be reached only when the value
  // under test was returned.
  auto msg = StreamBuilder()
                 .raw(100, std::string(4104, 'Y'))
                 .raw(200, std::string(c.length, 'x'))
                 .u32(300, 7)
                 .build();
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(msg.get(), buffer);
  unsigned int type = 0, length = 0;
  ASSERT_NE(walker.getFirst(&type, &length), nullptr);

  type = length = 0;
  char* v = walker.getNext(&type, &length);
  // Type and length are stored whether or not the value is returned.
  EXPECT_EQ(type, 200u);
  EXPECT_EQ(length, c.length);
  if (!c.returned) {
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(walker.getNext(&type, &length), nullptr) << "the walk has ended";
    EXPECT_EQ(walker.getNext(&type, &length), nullptr);
    return;
  }
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(v, c.length), std::string(c.length, 'x'));
  if (c.walkerWritesTerminator) {
    EXPECT_EQ(v[c.length], '\0');
  } else {
    // The value fills the capacity; the standard buffer's extra byte, which
    // the walker never writes, still ends the text.
    EXPECT_EQ(buffer.bytes[kMessageValueCapacity], '\0');
  }
  // Read as a C string or by (value, length), the text is exactly the value.
  EXPECT_EQ(std::strlen(v), c.length);
  EXPECT_EQ(MessageWalker::readText(v, length), std::string(c.length, 'x'));

  ASSERT_NE(walker.getNext(&type, &length), nullptr);
  EXPECT_EQ(type, 300u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, MessageWalkerValueLength,
                         ::testing::Values(LengthCase{4103, true, true}, LengthCase{4104, true, false},
                                           LengthCase{4105, false, false}));

TEST(MessageWalker, CountPastTheEndOfTheAreaStopsAtTheAreasEnd) {
  // Elements of 8 + 24 bytes fill the 63,536 bytes exactly: 1,985 of them
  // plus a 16-byte tail element.
  StreamBuilder builder;
  const std::string value(24, 'v');
  unsigned int fitting = 0;
  while (builder.stream().size() + 32 <= kMessageStreamSize) {
    builder.raw(1000 + fitting, value);
    ++fitting;
  }
  const std::size_t tail = kMessageStreamSize - builder.stream().size();
  ASSERT_GE(tail, 8u);
  builder.raw(9999, std::string(tail - 8, 't'));
  ++fitting;
  ASSERT_EQ(builder.stream().size(), kMessageStreamSize);
  auto msg = builder.count(50000).build();

  MessageValueBuffer buffer;
  const auto elements = walkAll(msg.get(), buffer);
  ASSERT_EQ(elements.size(), fitting);
  EXPECT_EQ(elements.back().type, 9999u);
  EXPECT_EQ(elements.back().length, tail - 8);
}

TEST(MessageWalker, HeaderOrValuePastTheAreaEndsTheWalk) {
  // A stream that ends 4 bytes before the area's end: the next header would
  // straddle it.
  {
    StreamBuilder builder;
    builder.raw(1, std::string(kMessageStreamSize - 8 - 4, 'a'));
    auto msg = builder.count(5).build();
    std::vector<char> big(100000);
    MessageWalker walker;
    walker.setBuffer(msg->elementStream, kMessageStreamLength, big.data(), big.size(), msg->elementCount, false);
    unsigned int type = 0, length = 0;
    ASSERT_NE(walker.getFirst(&type, &length), nullptr);
    EXPECT_EQ(walker.getNext(&type, &length), nullptr);
  }
  // A header whose value would run past the area's end.
  {
    StreamBuilder builder;
    builder.raw(1, std::string(kMessageStreamSize - 8 - 8 - 10, 'a'));
    builder.header(2, 11);
    builder.bytes("0123456789", 10);
    ASSERT_EQ(builder.stream().size(), kMessageStreamSize);
    auto msg = builder.build();
    std::vector<char> big(100000);
    MessageWalker walker;
    walker.setBuffer(msg->elementStream, kMessageStreamLength, big.data(), big.size(), msg->elementCount, false);
    unsigned int type = 0, length = 0;
    ASSERT_NE(walker.getFirst(&type, &length), nullptr);
    EXPECT_EQ(walker.getNext(&type, &length), nullptr);
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(length, 11u);
  }
}

TEST(MessageWalker, NetworkOrderConvertsHeadersOnly) {
  // Headers in network order, values as they stand.
  std::vector<unsigned char> stream;
  auto putBE = [&](uint32_t word) {
    const uint32_t be = htonl(word);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&be);
    stream.insert(stream.end(), p, p + 4);
  };
  putBE(4001);
  putBE(4);
  const unsigned char value1[4] = {0x01, 0x02, 0x03, 0x04};
  stream.insert(stream.end(), value1, value1 + 4);
  putBE(11004);
  putBE(3);
  stream.insert(stream.end(), {'a', 'b', 'c'});
  const std::vector<unsigned char> before = stream;

  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setBuffer(reinterpret_cast<char*>(stream.data()), stream.size(), buffer.data(), kMessageValueCapacity, 2,
                   true);
  unsigned int type = 0, length = 0;
  char* v = walker.getFirst(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 4001u);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(0, std::memcmp(v, value1, 4)) << "value bytes are never converted";
  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 11004u);
  EXPECT_EQ(length, 3u);
  EXPECT_STREQ(v, "abc");
  EXPECT_EQ(walker.getNext(&type, &length), nullptr);
  EXPECT_EQ(stream, before) << "the stream is never rewritten";
}

TEST(MessageWalker, GetNextBeforeGetFirstAndAfterTheEndReturnsNull) {
  auto msg = StreamBuilder().u32(1, 1).u32(2, 2).build();
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(msg.get(), buffer);
  unsigned int type = 77, length = 77;
  EXPECT_EQ(walker.getNext(&type, &length), nullptr);
  EXPECT_EQ(type, 77u) << "nothing is stored before the walk starts";
  EXPECT_EQ(length, 77u);

  ASSERT_NE(walker.getFirst(&type, &length), nullptr);
  ASSERT_NE(walker.getNext(&type, &length), nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(walker.getNext(&type, &length), nullptr);

  // getFirst restarts the walk.
  ASSERT_NE(walker.getFirst(&type, &length), nullptr);
  EXPECT_EQ(type, 1u);
}

TEST(MessageWalker, AfterAMalformedElementTheWalkStaysEnded) {
  // The rejected element's value holds bytes that look like a valid element;
  // they must never be read as one.
  StreamBuilder builder;
  builder.u32(1, 1);
  builder.header(2, 5000);
  builder.u32(666, 666);  // inside the rejected value
  auto msg = builder.count(10).build();
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(msg.get(), buffer);
  unsigned int type = 0, length = 0;
  ASSERT_NE(walker.getFirst(&type, &length), nullptr);
  EXPECT_EQ(walker.getNext(&type, &length), nullptr);
  EXPECT_EQ(length, 5000u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(walker.getNext(&type, &length), nullptr);
    EXPECT_NE(type, 666u);
  }
}

TEST(MessageWalker, ShortNumberNeverTakesBytesOfEarlierElements) {
  auto msg = StreamBuilder()
                 .u64(11003, 0xAABBCCDDEEFF1122ull)
                 .raw(4001, "\x05", 1)  // a one-byte "u32"
                 .raw(11019, "\x07\x00", 2)
                 .build();
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(msg.get(), buffer);
  unsigned int type = 0, length = 0;
  ASSERT_NE(walker.getFirst(&type, &length), nullptr);
  char* v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  ASSERT_EQ(length, 1u);
  // Read at full width straight from the buffer, as a handler that ignores
  // the length would: the bytes behind the value are zero.
  uint32_t word = 0;
  std::memcpy(&word, v, sizeof word);
  EXPECT_EQ(word, 5u);
  uint64_t wide = 0;
  std::memcpy(&wide, v, sizeof wide);
  EXPECT_EQ(wide, 5u);
  EXPECT_EQ(MessageWalker::readU32(v, length), 5u);

  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  std::memcpy(&wide, v, sizeof wide);
  EXPECT_EQ(wide, 7u);
}

TEST(MessageWalker, WithoutValueBufferReturnsTheValuesPlaceInTheStream) {
  auto msg = StreamBuilder().raw(5, "\x09", 1).u32(6, 0xFFFFFFFF).build();
  MessageWalker walker;
  walker.setBuffer(msg->elementStream, kMessageStreamLength, nullptr, kMessageValueCapacity, msg->elementCount,
                   false);
  unsigned int type = 0, length = 0;
  char* v = walker.getFirst(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v, msg->elementStream + 8);
  // The readers honour the length: the next element's header is not read.
  EXPECT_EQ(MessageWalker::readU32(v, length), 9u);
  v = walker.getNext(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v, msg->elementStream + 8 + 1 + 8);
  EXPECT_EQ(MessageWalker::readU32(v, length), 0xFFFFFFFFu);
}

TEST(MessageWalker, SetBufferZeroesTheValueBufferAndDoesNotRewind) {
  auto msg = StreamBuilder().u32(1, 1).u32(2, 2).build();
  std::vector<char> value(64, 'Q');
  MessageWalker walker;
  walker.setBuffer(msg->elementStream, kMessageStreamLength, value.data(), 32, msg->elementCount, false);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(value[i], '\0') << i;
  for (int i = 32; i < 64; ++i) EXPECT_EQ(value[i], 'Q') << i;
  unsigned int type = 0, length = 0;
  EXPECT_EQ(walker.getNext(&type, &length), nullptr) << "not started";
  ASSERT_NE(walker.getFirst(&type, &length), nullptr);
}

TEST(MessageWalker, ZeroSettingsYieldNothing) {
  auto msg = StreamBuilder().u32(1, 1).build();
  MessageValueBuffer buffer;
  unsigned int type = 0, length = 0;
  struct Settings {
    unsigned long streamLength;
    unsigned long capacity;
    unsigned long count;
  };
  for (const Settings s : {Settings{0, kMessageValueCapacity, 1}, Settings{kMessageStreamLength, 0, 1},
                           Settings{kMessageStreamLength, kMessageValueCapacity, 0}}) {
    MessageWalker walker;
    walker.setBuffer(msg->elementStream, s.streamLength, buffer.data(), s.capacity, s.count, false);
    EXPECT_EQ(walker.getFirst(&type, &length), nullptr);
  }
  MessageWalker empty;
  EXPECT_EQ(empty.getFirst(&type, &length), nullptr);
  EXPECT_EQ(empty.getNext(nullptr, nullptr), nullptr);
}

TEST(MessageWalker, NullRequestYieldsNothing) {
  MessageValueBuffer buffer;
  EXPECT_TRUE(walkAll(nullptr, buffer).empty());
}

TEST(MessageWalker, NullOutPointersAreAllowed) {
  auto msg = StreamBuilder().u32(1, 42).build();
  MessageValueBuffer buffer;
  MessageWalker walker;
  walker.setRequest(msg.get(), buffer);
  char* v = walker.getFirst(nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(MessageWalker::readU32(v, 4), 42u);
}

TEST(MessageWalker, SmallCapacityBoundsTheValue) {
  auto msg = StreamBuilder().raw(1, std::string(16, 'a')).raw(2, std::string(17, 'b')).build();
  char value[32];
  std::memset(value, 'Z', sizeof value);
  MessageWalker walker;
  walker.setBuffer(msg->elementStream, kMessageStreamLength, value, 16, msg->elementCount, false);
  unsigned int type = 0, length = 0;
  char* v = walker.getFirst(&type, &length);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(v, 16), std::string(16, 'a'));
  EXPECT_EQ(value[16], 'Z') << "nothing is written beyond the capacity";
  EXPECT_EQ(walker.getNext(&type, &length), nullptr);
  EXPECT_EQ(length, 17u);
}

TEST(MessageWalker, LaterShorterTextIsTerminated) {
  auto msg = StreamBuilder().text(1, "a long first text").text(2, "short").build();
  MessageValueBuffer buffer;
  const auto elements = walkAll(msg.get(), buffer);
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_STREQ(buffer.data(), "short");
}

}  // namespace
