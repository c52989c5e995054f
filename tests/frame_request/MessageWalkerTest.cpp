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
  bool operator==(const Element&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Element& e) {
  return os << "{" << e.type << ", " << e.length << ", '" << e.value << "'}";
}

class Walker : public ::testing::Test {
 protected:
  char* first() { return walker.getFirst(&type, &length); }
  char* next() { return walker.getNext(&type, &length); }
  // Walks the whole request the standard way and collects what it yields;
  // each value must end with a zero byte.
  std::vector<Element> walkAll(MessageInfo* msg) {
    std::vector<Element> out;
    walker.setRequest(msg, buffer);
    for (char* v = first(); v != nullptr && out.size() < 20000; v = next()) {
      out.push_back(Element{type, length, std::string(v, length)});
      EXPECT_EQ(v[length], '\0') << "element " << out.size();
    }
    return out;
  }
  // A walk over the stream area of `msg` with a value buffer of 100,000 bytes.
  void startWide(MessageInfo* msg) {
    walker.setBuffer(msg->elementStream, kMessageStreamLength, m_wide.data(), m_wide.size(), msg->elementCount, false);
  }

  MessageValueBuffer buffer;
  MessageWalker walker;
  unsigned int type = 0;
  unsigned int length = 0;

 private:
  std::vector<char> m_wide = std::vector<char>(100000);
};

std::string bytes(uint64_t value, std::size_t n) { return std::string(reinterpret_cast<const char*>(&value), n); }

TEST_F(Walker, CountZeroOrANullRequestYieldNothing) {
  auto msg = StreamBuilder().u32(4001, 1).end().count(0).build();
  EXPECT_TRUE(walkAll(msg.get()).empty());
  EXPECT_TRUE(walkAll(nullptr).empty());
}

TEST_F(Walker, YieldsElementsInOrderWithTypesLengthsAndValues) {
  auto msg = StreamBuilder()
                 .op(3)
                 .handle(0x0000000100000002ull)
                 .text(11004, "Pool A")
                 .pair(11171, 9, "lib", true)
                 .text(11005, "")
                 .end()
                 .build();
  ASSERT_EQ(msg->elementCount, 6u);
  const std::vector<Element> elements = walkAll(msg.get());
  EXPECT_EQ(elements, (std::vector<Element>{{4001, 4, bytes(3, 4)},
                                            {11003, 8, bytes(0x0000000100000002ull, 8)},
                                            {11004, 6, "Pool A"},
                                            {11171, 8, bytes(9, 4) + std::string("lib\0", 4)},  // id, "lib", its zero
                                            {11005, 0, ""},  // zero-length text: the empty text
                                            {2052, 4, bytes(0, 4)}}));
  EXPECT_EQ(walker.index(), 7u) << "six elements taken, then the end";
  ASSERT_EQ(elements.size(), 6u);
  EXPECT_EQ(MessageWalker::readU32(elements[0].value.data(), 4), 3u);
  EXPECT_EQ(MessageWalker::readU64(elements[1].value.data(), 8), 0x0000000100000002ull);
  EXPECT_EQ(MessageWalker::readText(elements[2].value.data(), 6), "Pool A");
  EXPECT_EQ(MessageWalker::readPairId(elements[3].value.data(), 8), 9u);
  EXPECT_EQ(MessageWalker::readPairText(elements[3].value.data(), 8), "lib");
  EXPECT_EQ(MessageWalker::readText(elements[4].value.data(), 0), "");
  // The value is in the standard buffer.
  walker.setRequest(msg.get(), buffer);
  EXPECT_EQ(first(), buffer.data());
}

// Values at and around the capacity of the standard buffer.
struct LengthCase {
  unsigned int length;
  bool returned;
  bool walkerWritesTerminator;
};

class MessageWalkerValueLength : public Walker, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(MessageWalkerValueLength, BehavesAtTheCapacity) {
  const LengthCase c = GetParam();
  // A first value that fills the buffer with 'Y', then the value under test
  // of 'x', then one more element that must be reached only when the value
  // under test was returned.
  auto msg =
      StreamBuilder().raw(100, std::string(4104, 'Y')).raw(200, std::string(c.length, 'x')).u32(300, 7).build();
  walker.setRequest(msg.get(), buffer);
  ASSERT_NE(first(), nullptr);
  type = length = 0;
  char* v = next();
  // Type and length are stored whether or not the value is returned.
  EXPECT_EQ(type, 200u);
  EXPECT_EQ(length, c.length);
  if (!c.returned) {
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(next(), nullptr) << "the walk has ended";
    EXPECT_EQ(next(), nullptr);
    return;
  }
  ASSERT_NE(v, nullptr);
  if (c.walkerWritesTerminator) {
    EXPECT_EQ(v[c.length], '\0');
  } else {
    // The value fills the capacity; the standard buffer's extra byte, which
    // the walker never writes, still ends the text.
    EXPECT_EQ(buffer.bytes[kMessageValueCapacity], '\0');
  }
  // Read as a C string or by (value, length), the text is exactly the value.
  EXPECT_EQ(std::string(v), std::string(c.length, 'x'));
  EXPECT_EQ(MessageWalker::readText(v, length), std::string(c.length, 'x'));
  ASSERT_NE(next(), nullptr);
  EXPECT_EQ(type, 300u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, MessageWalkerValueLength,
                         ::testing::Values(LengthCase{4103, true, true}, LengthCase{4104, true, false},
                                           LengthCase{4105, false, false}));

TEST_F(Walker, CountPastTheEndOfTheAreaStopsAtTheAreasEnd) {
  // Elements of 8 + 24 bytes fill the 63,536 bytes exactly: 1,985 of them
  // plus a 16-byte tail element.
  StreamBuilder builder;
  unsigned int fitting = 0;
  for (; builder.stream().size() + 32 <= kMessageStreamSize; ++fitting) builder.raw(1000 + fitting, std::string(24, 'v'));
  const std::size_t tail = kMessageStreamSize - builder.stream().size();
  ASSERT_GE(tail, 8u);
  builder.raw(9999, std::string(tail - 8, 't'));
  ASSERT_EQ(builder.stream().size(), kMessageStreamSize);
  auto msg = builder.count(50000).build();
  const auto elements = walkAll(msg.get());
  ASSERT_EQ(elements.size(), fitting + 1);
  EXPECT_EQ(elements.back().type, 9999u);
  EXPECT_EQ(elements.back().length, tail - 8);
}

TEST_F(Walker, HeaderOrValuePastTheAreaEndsTheWalk) {
  // A stream that ends 4 bytes before the area's end: the next header would
  // straddle it.
  auto straddling = StreamBuilder().raw(1, std::string(kMessageStreamSize - 8 - 4, 'a')).count(5).build();
  startWide(straddling.get());
  ASSERT_NE(first(), nullptr);
  EXPECT_EQ(next(), nullptr);
  // A header whose value would run past the area's end.
  StreamBuilder builder;
  builder.raw(1, std::string(kMessageStreamSize - 8 - 8 - 10, 'a')).header(2, 11).bytes("0123456789", 10);
  ASSERT_EQ(builder.stream().size(), kMessageStreamSize);
  auto overrunning = builder.build();
  startWide(overrunning.get());
  ASSERT_NE(first(), nullptr);
  EXPECT_EQ(next(), nullptr);
  EXPECT_EQ(type, 2u);
  EXPECT_EQ(length, 11u);
}

TEST_F(Walker, NetworkOrderConvertsHeadersOnly) {
  // Headers in network order, values as they stand.
  std::string stream;
  auto putBE = [&](uint32_t word) { stream += bytes(htonl(word), 4); };
  putBE(4001);
  putBE(4);
  stream += "\x01\x02\x03\x04";
  putBE(11004);
  putBE(3);
  stream += "abc";
  const std::string before = stream;
  walker.setBuffer(stream.data(), stream.size(), buffer.data(), kMessageValueCapacity, 2, true);
  char* v = first();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 4001u);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::string(v, 4), "\x01\x02\x03\x04") << "value bytes are never converted";
  v = next();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(type, 11004u);
  EXPECT_EQ(length, 3u);
  EXPECT_STREQ(v, "abc");
  EXPECT_EQ(next(), nullptr);
  EXPECT_EQ(stream, before) << "the stream is never rewritten";
}

TEST_F(Walker, GetNextBeforeGetFirstAndAfterTheEndReturnsNull) {
  auto msg = StreamBuilder().u32(1, 1).u32(2, 2).build();
  walker.setRequest(msg.get(), buffer);
  type = length = 77;
  EXPECT_EQ(next(), nullptr);
  EXPECT_EQ(type, 77u) << "nothing is stored before the walk starts";
  EXPECT_EQ(length, 77u);
  ASSERT_NE(first(), nullptr);
  ASSERT_NE(next(), nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(next(), nullptr);
  // getFirst restarts the walk.
  ASSERT_NE(first(), nullptr);
  EXPECT_EQ(type, 1u);
}

TEST_F(Walker, AfterAMalformedElementTheWalkStaysEnded) {
  // The rejected element's value holds bytes that look like a valid element;
  // they must never be read as one.
  auto msg = StreamBuilder().u32(1, 1).header(2, 5000).u32(666, 666).count(10).build();
  walker.setRequest(msg.get(), buffer);
  ASSERT_NE(first(), nullptr);
  EXPECT_EQ(next(), nullptr);
  EXPECT_EQ(length, 5000u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(next(), nullptr);
    EXPECT_NE(type, 666u);
  }
}

TEST_F(Walker, ShortNumberNeverTakesBytesOfEarlierElements) {
  auto msg = StreamBuilder()
                 .u64(11003, 0xAABBCCDDEEFF1122ull)
                 .raw(4001, "\x05", 1)  // a one-byte "u32"
                 .raw(11019, "\x07\x00", 2)
                 .build();
  walker.setRequest(msg.get(), buffer);
  ASSERT_NE(first(), nullptr);
  char* v = next();
  ASSERT_NE(v, nullptr);
  ASSERT_EQ(length, 1u);
  // Read at full width straight from the buffer, as a handler that ignores
  // the length would: the bytes behind the value are zero.
  uint64_t wide = 0;
  std::memcpy(&wide, v, sizeof wide);
  EXPECT_EQ(wide, 5u);
  EXPECT_EQ(MessageWalker::readU32(v, length), 5u);
  v = next();
  ASSERT_NE(v, nullptr);
  std::memcpy(&wide, v, sizeof wide);
  EXPECT_EQ(wide, 7u);
}

TEST_F(Walker, WithoutValueBufferReturnsTheValuesPlaceInTheStream) {
  auto msg = StreamBuilder().raw(5, "\x09", 1).u32(6, 0xFFFFFFFF).build();
  walker.setBuffer(msg->elementStream, kMessageStreamLength, nullptr, kMessageValueCapacity, msg->elementCount, false);
  char* v = first();
  ASSERT_EQ(v, msg->elementStream + 8);
  // The readers honour the length: the next element's header is not read.
  EXPECT_EQ(MessageWalker::readU32(v, length), 9u);
  v = next();
  ASSERT_EQ(v, msg->elementStream + 8 + 1 + 8);
  EXPECT_EQ(MessageWalker::readU32(v, length), 0xFFFFFFFFu);
}

TEST_F(Walker, SetBufferZeroesTheValueBufferAndDoesNotRewind) {
  auto msg = StreamBuilder().u32(1, 1).u32(2, 2).build();
  std::vector<char> value(64, 'Q');
  walker.setBuffer(msg->elementStream, kMessageStreamLength, value.data(), 32, msg->elementCount, false);
  EXPECT_EQ(std::string(value.data(), 64), std::string(32, '\0') + std::string(32, 'Q'));
  EXPECT_EQ(next(), nullptr) << "not started";
  ASSERT_NE(first(), nullptr);
}

TEST_F(Walker, ZeroSettingsYieldNothingAndNullOutPointersAreAllowed) {
  auto msg = StreamBuilder().u32(1, 42).build();
  const struct {
    unsigned long streamLength;
    unsigned long capacity;
    unsigned long count;
  } settings[] = {{0, kMessageValueCapacity, 1}, {kMessageStreamLength, 0, 1}, {kMessageStreamLength, kMessageValueCapacity, 0}};
  for (const auto& s : settings) {
    MessageWalker zero;
    zero.setBuffer(msg->elementStream, s.streamLength, buffer.data(), s.capacity, s.count, false);
    EXPECT_EQ(zero.getFirst(&type, &length), nullptr);
  }
  MessageWalker empty;
  EXPECT_EQ(empty.getFirst(&type, &length), nullptr);
  EXPECT_EQ(empty.getNext(nullptr, nullptr), nullptr);

  walker.setRequest(msg.get(), buffer);
  char* v = walker.getFirst(nullptr, nullptr);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(MessageWalker::readU32(v, 4), 42u);
}

TEST_F(Walker, SmallCapacityBoundsTheValueAndALaterShorterTextIsTerminated) {
  auto msg = StreamBuilder().raw(1, std::string(16, 'a')).raw(2, std::string(17, 'b')).build();
  char value[32];
  std::memset(value, 'Z', sizeof value);
  walker.setBuffer(msg->elementStream, kMessageStreamLength, value, 16, msg->elementCount, false);
  char* v = first();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(std::string(v, 16), std::string(16, 'a'));
  EXPECT_EQ(value[16], 'Z') << "nothing is written beyond the capacity";
  EXPECT_EQ(next(), nullptr);
  EXPECT_EQ(length, 17u);

  auto texts = StreamBuilder().text(1, "a long first text").text(2, "short").build();
  ASSERT_EQ(walkAll(texts.get()).size(), 2u);
  EXPECT_STREQ(buffer.data(), "short");
}

}  // namespace
