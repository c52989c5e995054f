// The element-stream walker, driven as every handler drives it: over the
// stream area of a heap request record, with the standard value buffer.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
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

// ---------------------------------------------------------------------------
// Differential: the walker against a plain restatement of its contract, on
// random streams, comparing every result and every byte of the value buffer.

// The walk as its contract states it, byte by byte.
class ReferenceWalker {
 public:
  ReferenceWalker(const unsigned char* stream, std::size_t streamLength, char* value, std::size_t capacity,
                  unsigned long count, bool networkOrder)
      : m_stream(stream), m_length(streamLength), m_value(value), m_capacity(capacity), m_count(count),
        m_network(networkOrder) {
    if (value != nullptr) {
      for (std::size_t i = 0; i < capacity; ++i) value[i] = 0;
    }
  }

  char* first(unsigned int* type, unsigned int* length) {
    m_started = true;
    m_at = 0;
    m_index = 0;
    m_ended = false;
    return next(type, length);
  }

  char* next(unsigned int* type, unsigned int* length) {
    if (!m_started || m_stream == nullptr || m_length == 0 || m_capacity == 0 || m_count == 0 || m_ended) return nullptr;
    ++m_index;
    if (m_index > m_count || m_length - m_at < 8) return end();
    const uint32_t elementType = word(m_at);
    const uint32_t valueLength = word(m_at + 4);
    m_at += 8;
    if (type != nullptr) *type = elementType;
    if (length != nullptr) *length = valueLength;
    if (valueLength > m_capacity || valueLength > m_length - m_at) return end();
    char* value = const_cast<char*>(reinterpret_cast<const char*>(m_stream + m_at));
    if (m_value != nullptr) {
      for (uint32_t i = 0; i < valueLength; ++i) m_value[i] = static_cast<char>(m_stream[m_at + i]);
      // The terminating zero, then zeroes up to 8 bytes, within the capacity.
      for (std::size_t i = valueLength; i < m_capacity && (i == valueLength || i < 8); ++i) m_value[i] = 0;
      value = m_value;
    }
    m_at += valueLength;
    return value;
  }

  unsigned int index() const { return m_index; }

 private:
  char* end() {
    m_ended = true;
    return nullptr;
  }
  uint32_t word(std::size_t at) const {
    uint32_t w = 0;
    for (int i = 0; i < 4; ++i) {
      const unsigned shift = m_network ? 8u * (3 - i) : 8u * i;
      w |= static_cast<uint32_t>(m_stream[at + i]) << shift;
    }
    return w;
  }

  const unsigned char* m_stream;
  std::size_t m_length;
  char* m_value;
  std::size_t m_capacity;
  unsigned long m_count;
  bool m_network;
  bool m_started = false;
  bool m_ended = false;
  std::size_t m_at = 0;
  unsigned int m_index = 0;
};

// A random stream: mostly small values (the common case), some near the
// capacity, some over it, and sometimes a last header that overruns the end.
std::string randomStream(std::mt19937& rng, std::size_t capacity, bool networkOrder, unsigned& elements) {
  std::string stream;
  auto put = [&](uint32_t w) {
    if (networkOrder) w = htonl(w);
    stream.append(reinterpret_cast<const char*>(&w), 4);
  };
  const unsigned count = std::uniform_int_distribution<unsigned>(0, 40)(rng);
  for (elements = 0; elements < count; ++elements) {
    const unsigned pick = std::uniform_int_distribution<unsigned>(0, 99)(rng);
    uint32_t length = pick < 70   ? std::uniform_int_distribution<uint32_t>(0, 40)(rng)
                      : pick < 85 ? std::uniform_int_distribution<uint32_t>(0, static_cast<uint32_t>(capacity) + 1)(rng)
                      : pick < 95 ? std::uniform_int_distribution<uint32_t>(41, 300)(rng)
                                  : std::uniform_int_distribution<uint32_t>(0, 0xFFFFFFFFu)(rng);
    put(std::uniform_int_distribution<uint32_t>(0, 0xFFFFFFFFu)(rng));
    put(length);
    const std::size_t written = std::min<std::size_t>(length, 400);
    for (std::size_t i = 0; i < written; ++i) stream.push_back(static_cast<char>(rng()));
    if (written < length) break;  // a value that claims more than follows
  }
  // Sometimes cut the stream inside the last header or value.
  if (!stream.empty() && std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
    stream.resize(std::uniform_int_distribution<std::size_t>(0, stream.size())(rng));
  }
  return stream;
}

TEST(MessageWalkerDifferential, RandomStreamsGiveWhatThePlainWalkGives) {
  std::mt19937 rng(20261206);
  const std::size_t capacities[] = {1, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64, kMessageValueCapacity};
  for (int round = 0; round < 3000; ++round) {
    const std::size_t capacity = capacities[static_cast<std::size_t>(round) % std::size(capacities)];
    const bool networkOrder = round % 5 == 0;
    const bool withBuffer = round % 7 != 0;
    unsigned elements = 0;
    std::string stream = randomStream(rng, capacity, networkOrder, elements);
    const unsigned long count = round % 4 == 0 ? elements + 3 : round % 4 == 1 && elements > 0 ? elements - 1 : elements;
    SCOPED_TRACE("round " + std::to_string(round) + " capacity " + std::to_string(capacity) + " count " +
                 std::to_string(count) + " stream " + std::to_string(stream.size()) + " bytes");

    // Both value buffers start with the same garbage, with room behind the
    // capacity that neither may write.
    std::vector<char> ours(capacity + 16), theirs(capacity + 16);
    for (std::size_t i = 0; i < ours.size(); ++i) ours[i] = theirs[i] = static_cast<char>(0xA5 ^ i);
    std::vector<unsigned char> bytes(stream.begin(), stream.end());
    bytes.reserve(bytes.size() + 1);
    char* streamStart = reinterpret_cast<char*>(bytes.data());
    MessageWalker walker;
    walker.setBuffer(streamStart, bytes.size(), withBuffer ? ours.data() : nullptr, capacity, count, networkOrder);
    ReferenceWalker reference(bytes.data(), bytes.size(), withBuffer ? theirs.data() : nullptr, capacity, count,
                              networkOrder);

    unsigned int type = 0, length = 0, refType = 0, refLength = 0;
    for (int step = 0; step < 50; ++step) {
      char* got = step == 0 ? walker.getFirst(&type, &length) : walker.getNext(&type, &length);
      char* want = step == 0 ? reference.first(&refType, &refLength) : reference.next(&refType, &refLength);
      ASSERT_EQ(got == nullptr, want == nullptr) << "step " << step;
      ASSERT_EQ(type, refType) << "step " << step;
      ASSERT_EQ(length, refLength) << "step " << step;
      ASSERT_EQ(walker.index(), reference.index()) << "step " << step;
      if (got != nullptr) {
        if (withBuffer) {
          ASSERT_EQ(got, ours.data());
        } else {
          ASSERT_EQ(got - streamStart, want - reinterpret_cast<char*>(bytes.data()));
        }
      }
      ASSERT_EQ(ours, theirs) << "value buffer after step " << step;
      if (got == nullptr && step > 0) break;
    }
  }
}

TEST(MessageWalkerDifferential, NumbersOfEveryShortLengthReadAsTheirLowBytes) {
  const unsigned char bytes[8] = {0x01, 0x82, 0x03, 0x84, 0x05, 0x86, 0x07, 0x88};
  const char* value = reinterpret_cast<const char*>(bytes);
  for (unsigned int length = 0; length <= 10; ++length) {
    SCOPED_TRACE(length);
    uint64_t want = 0;
    for (unsigned int i = 0; i < std::min(length, 8u); ++i) want |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    EXPECT_EQ(MessageWalker::readU64(value, length), want);
    EXPECT_EQ(MessageWalker::readU32(value, length), static_cast<uint32_t>(want));
    EXPECT_EQ(MessageWalker::readI32(value, length), static_cast<int32_t>(MessageWalker::readU32(value, length)));
  }
  EXPECT_EQ(MessageWalker::readU32(nullptr, 4), 0u);
  EXPECT_EQ(MessageWalker::readU64(nullptr, 8), 0u);
}

}  // namespace
