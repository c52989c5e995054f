// The request record: layout of the body, the fixed payload readers, the
// login name, the secure channel, and the test builder that makes records.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>
#include <tuple>

#include "frame/MessageInfo.h"
#include "platform/external/Cipher.h"
#include "tests/support/StreamBuilder.h"

namespace {

using tktest::StreamBuilder;

TEST(MessageInfo, BodyLayout) {
  const std::size_t body = offsetof(MessageInfo, sequenceNumber);
  EXPECT_EQ(body % 8, 0u);
  EXPECT_EQ((std::vector<std::size_t>{offsetof(MessageInfo, objectHandle), offsetof(MessageInfo, firstWord),
                                      offsetof(MessageInfo, elementCount), offsetof(MessageInfo, elementStream)}),
            (std::vector<std::size_t>{body + 8, body + 8, body + 12, body + 16}));
  EXPECT_EQ(sizeof(MessageInfo::elementStream), 63536u);
  EXPECT_EQ(offsetof(MessageInfo, autoRefreshGuiId), offsetof(MessageInfo, requestKind) + 4);
}

TEST(MessageInfo, ObjectHandleSharesItsBytesWithFirstWordAndCountAndTheLocaleIsTheTop16Bits) {
  auto msg = std::make_unique<MessageInfo>();
  msg->objectHandle = 0x1122334455667788ull;
  EXPECT_EQ(msg->firstWord, 0x55667788u);  // little-endian: the low half first
  EXPECT_EQ(msg->elementCount, 0x11223344u);
  msg->firstWord = 7;
  msg->elementCount = 9;
  EXPECT_EQ(msg->objectHandle, (9ull << 32) | 7ull);
  EXPECT_EQ(msg->tarnfoldId(), 7u);

  auto located = StreamBuilder().sequence(0x0000123456789ABCll).locale(0xBEEF).build();
  EXPECT_EQ(located->localeId(), 0xBEEF);
  EXPECT_EQ(static_cast<uint64_t>(located->sequenceNumber), 0xBEEF123456789ABCull);
  EXPECT_EQ(StreamBuilder().sequence(-1).build()->localeId(), 0xFFFF);
}

TEST(MessageInfo, LoginNameIsNeverReadPastItsField) {
  auto msg = std::make_unique<MessageInfo>();
  std::memset(msg->userName, 'n', sizeof msg->userName);  // a host that left no terminator
  EXPECT_EQ(msg->loginName(), std::string(kMessageUserNameSize, 'n'));
  msg->setLoginName(std::string(3000, 'm'));
  EXPECT_EQ(msg->loginName(), std::string(1024, 'm'));
  EXPECT_EQ(msg->userName[1024], '\0');
  msg->setLoginName("alice");
  EXPECT_EQ(msg->loginName(), "alice");
  EXPECT_STREQ(msg->userName, "alice");
}

TEST(MessageInfo, PayloadReadsStayWithinTheBody) {
  auto msg = std::make_unique<MessageInfo>();
  std::memset(msg->payload(), 'p', MessageInfo::kPayloadSize);  // no terminator anywhere
  EXPECT_EQ(msg->payloadText(4), std::string(MessageInfo::kPayloadSize - 4, 'p'));
  EXPECT_EQ(msg->payloadText(4, 256), std::string(256, 'p'));
  EXPECT_EQ(msg->payloadText(MessageInfo::kPayloadSize), "");
  EXPECT_EQ(msg->payloadText(MessageInfo::kPayloadSize + 100), "");
  EXPECT_EQ(msg->payloadWord(MessageInfo::kPayloadSize - 4), 0x70707070u);
  EXPECT_EQ(msg->payloadWord(MessageInfo::kPayloadSize - 3), 0u) << "straddles the end";
  EXPECT_EQ(msg->payloadWord(static_cast<std::size_t>(-1)), 0u);
  EXPECT_EQ(msg->payloadU64(MessageInfo::kPayloadSize - 7), 0u);
  EXPECT_FALSE(msg->setPayloadWord(MessageInfo::kPayloadSize - 2, 1));
  EXPECT_FALSE(msg->setPayloadText(MessageInfo::kPayloadSize - 3, "abc"));
  EXPECT_TRUE(msg->setPayloadText(MessageInfo::kPayloadSize - 4, "abc"));
}

TEST(MessageInfo, FixedPayloadPositionsCountFromTheFirstFixedField) {
  // NDMP server properties: Tarnfold id, client name in a 256-byte field, client id.
  auto msg = StreamBuilder()
                 .firstWord(2)
                 .payloadText(kNdmpPropsClientNameOffset, "filer01", kNdmpPropsClientNameSize)
                 .payloadWord(kNdmpPropsClientIdOffset, 31)
                 .build();
  EXPECT_EQ(msg->tarnfoldId(), 2u);
  EXPECT_EQ(msg->ndmpClientName(), "filer01");
  EXPECT_EQ(msg->ndmpClientId(), 31u);
  // Position 4 is the element count's place, position 8 the stream's first byte.
  EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&msg->elementCount), "filer01", 8), 0);
  auto flr = StreamBuilder().count(17).payloadWord(8, 4).build();
  EXPECT_EQ(flr->elementCount, 17u);
  uint32_t streamWord = 0;
  std::memcpy(&streamWord, flr->elementStream, 4);
  EXPECT_EQ(streamWord, 4u);
  EXPECT_EQ(flr->payloadWord(8), 4u);

  // A client name that fills its field without a terminator is cut at the field.
  auto full = std::make_unique<MessageInfo>();
  std::memset(full->payload() + kNdmpPropsClientNameOffset, 'c', kNdmpPropsClientNameSize);
  full->setPayloadWord(kNdmpPropsClientIdOffset, 5);
  EXPECT_EQ(full->ndmpClientName(), std::string(256, 'c'));
  EXPECT_EQ(full->ndmpClientId(), 5u);
}

TEST(MessageInfo, SecureChannelEncryptsForTheConsole) {
  CBaseSecureSocket none;
  unsigned int size = 0;
  EXPECT_EQ(none.EncryptData("bob", 3, nullptr, &size), -1) << "no secure channel";

  CBaseSecureSocket secure(true);
  ASSERT_EQ(secure.EncryptData("bob", 3, nullptr, &size), 0);
  ASSERT_GT(size, 0u);
  std::string out(size, '\0');
  unsigned int small = size - 1;
  EXPECT_EQ(secure.EncryptData("bob", 3, out.data(), &small), -1) << "buffer too small";
  unsigned int room = size;
  ASSERT_EQ(secure.EncryptData("bob", 3, out.data(), &room), 0);
  EXPECT_EQ(room, size);
  std::string plain;
  ASSERT_TRUE(tkcipher::decrypt(out, plain));
  EXPECT_EQ(plain, "bob");
  EXPECT_EQ(secure.EncryptData("bob", 3, out.data(), nullptr), -1);
  // The empty text encrypts too.
  EXPECT_EQ(secure.EncryptData(nullptr, 0, nullptr, &size), 0);
}

TEST(StreamBuilder, WritesElementsLittleEndianWithoutPadding) {
  StreamBuilder builder;
  builder.u32(0x01020304, 0xA1A2A3A4).text(7, "ab").pair(8, 0x10, "z", true).u64(9, 0x0102030405060708ull);
  const unsigned char expected[] = {
      0x04, 0x03, 0x02, 0x01, 4, 0, 0, 0, 0xA4, 0xA3, 0xA2, 0xA1,  // u32
      7,    0,    0,    0,    2, 0, 0, 0, 'a',  'b',                // text, no NUL
      8,    0,    0,    0,    6, 0, 0, 0, 0x10, 0,    0,    0,    'z', 0,  // pair with NUL
      9,    0,    0,    0,    8, 0, 0, 0, 8,    7,    6,    5,    4,   3, 2, 1};
  ASSERT_EQ(builder.stream().size(), sizeof expected);
  EXPECT_EQ(0, std::memcmp(builder.stream().data(), expected, sizeof expected));
  EXPECT_EQ(builder.elementsAdded(), 4u);

  auto msg = builder.user(12, "carol").kind(16).guiId(3).origin(13).socket(42).secure(true).sequence(99).build();
  EXPECT_EQ(msg->elementCount, 4u);
  EXPECT_EQ(0, std::memcmp(msg->elementStream, expected, sizeof expected));
  EXPECT_EQ(msg->elementStream[sizeof expected], 0) << "the rest of the area is zero";
  EXPECT_EQ(std::make_tuple(msg->userId, msg->loginName(), msg->requestKind, msg->autoRefreshGuiId, msg->origin,
                            static_cast<int>(msg->socket.GetSocketDescriptor()), msg->secureSocket.IsEstablished(),
                            msg->sequenceNumber),
            std::make_tuple(12u, std::string("carol"), 16u, 3u, 13u, 42, true, int64_t{99}));
}

TEST(StreamBuilder, FillsTheHandleAndRefusesAStreamLargerThanTheArea) {
  EXPECT_EQ(StreamBuilder().objectHandle(0xDEADBEEF00000001ull).build()->objectHandle, 0xDEADBEEF00000001ull);
  StreamBuilder builder;
  builder.raw(1, std::string(kMessageStreamSize - 8, 'a'));
  EXPECT_NO_THROW(builder.build());
  builder.u32(2, 2);
  EXPECT_THROW(builder.build(), std::length_error);
  EXPECT_THROW(StreamBuilder().payloadWord(MessageInfo::kPayloadSize, 1).build(), std::length_error);
}

}  // namespace
