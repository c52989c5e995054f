// The XDR forms of the tools' replies: exact bytes both ways, and decoders
// that refuse what the bytes cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/network/RemoteReplyXdr.h"

namespace {

using tknetwork::Bytes;

Bytes word(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}
Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes chars(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(RemoteReplyXdr, ASnapshotReplyIsAHyperCodeAndAWordInNetworkOrder) {
  snapDiscoveryResp reply;
  reply.applicationCode = 0x20000004;
  reply.value = 7;
  const Bytes bytes = tknetwork::encodeSnapDiscovery(reply);
  EXPECT_EQ(bytes, (Bytes{0, 0, 0, 0, 0x20, 0, 0, 4, 0, 0, 0, 7}));

  snapDiscoveryResp back;
  back.reserved = 99;
  tknetwork::DecodedMemory memory;
  std::string error;
  ASSERT_TRUE(tknetwork::decodeReply(0x37000001, bytes.data(), bytes.size(), &back, sizeof back, memory, error))
      << error;
  EXPECT_EQ(back.applicationCode, 0x20000004u);
  EXPECT_EQ(back.value, 7u);
  EXPECT_EQ(back.reserved, 0u);
  EXPECT_TRUE(memory.empty());
}

TEST(RemoteReplyXdr, FLRRepliesRoundTripWithExactBytes) {
  struct Case {
    const char* label;
    const char* name;
    std::vector<std::string> paths;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"null name, no paths", nullptr, {}, join({word(0), word(0)})},
      {"name, no paths", "SQL", {}, join({word(1), word(3), chars("SQL"), {0}, word(0)})},
      {"empty name", "", {"/"}, join({word(1), word(0), word(1), word(1), chars("/"), {0, 0, 0}})},
      {"many paths",
       "Exchange",
       {"C:\\db", "D:\\logs", "E:\\"},
       join({word(1), word(8), chars("Exchange"), word(3), word(5), chars("C:\\db"), {0, 0, 0}, word(7),
             chars("D:\\logs"), {0}, word(3), chars("E:\\"), {0}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes bytes = tknetwork::encodeFLRDiscovery(c.name, c.paths);
    EXPECT_EQ(bytes, c.bytes);
    FLRDiscoveryAppsResp back;
    tknetwork::DecodedMemory memory;
    std::string error;
    ASSERT_TRUE(tknetwork::decodeReply(0x37000002, bytes.data(), bytes.size(), &back, sizeof back, memory, error))
        << error;
    if (c.name == nullptr) {
      EXPECT_EQ(back.applicationName, nullptr);
    } else {
      ASSERT_NE(back.applicationName, nullptr);
      EXPECT_STREQ(back.applicationName, c.name);
    }
    ASSERT_EQ(back.pathCount, c.paths.size());
    if (c.paths.empty()) {
      EXPECT_EQ(back.paths, nullptr);
    }
    for (std::size_t i = 0; i < c.paths.size(); ++i) EXPECT_STREQ(back.paths[i], c.paths[i].c_str());
  }
}

TEST(RemoteReplyXdr, LengthsAndCountsBeyondTheBytesAreRefusedAndLeaveTheReplyZeroed) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"name longer than the message", join({word(1), word(100), chars("abcd")})},
      {"huge name length", join({word(1), word(0xFFFFFFFF)})},
      {"huge path count", join({word(0), word(0xFFFFFFFF)})},
      {"count beyond the paths", join({word(0), word(3), word(1), chars("a"), {0, 0, 0}})},
      {"path longer than the rest", join({word(0), word(1), word(9), chars("abcd")})},
      {"cut inside the count", join({word(0), {0, 0}})},
      {"bytes left over", join({word(0), word(0), word(0)})},
      {"empty", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    FLRDiscoveryAppsResp back;
    back.pathCount = 5;
    tknetwork::DecodedMemory memory;
    std::string error;
    EXPECT_FALSE(tknetwork::decodeReply(0x37000002, c.second.data(), c.second.size(), &back, sizeof back, memory,
                                        error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(back.applicationName, nullptr);
    EXPECT_EQ(back.pathCount, 0u);
    EXPECT_EQ(back.paths, nullptr);
    EXPECT_TRUE(memory.empty());
  }
}

TEST(RemoteReplyXdr, EveryCutOfAValidReplyAndRandomBytesDecodeOrFailWithoutReadingBeyond) {
  const Bytes valid = tknetwork::encodeFLRDiscovery("Oracle", {"/u01/data", "/u02/redo", ""});
  for (std::size_t cut = 0; cut < valid.size(); ++cut) {
    SCOPED_TRACE(cut);
    // An exact-size heap copy, so that a read past it is caught.
    auto bytes = std::make_unique<uint8_t[]>(cut + 1);
    std::copy(valid.begin(), valid.begin() + static_cast<long>(cut), bytes.get());
    FLRDiscoveryAppsResp back;
    tknetwork::DecodedMemory memory;
    std::string error;
    EXPECT_FALSE(tknetwork::decodeReply(0x37000002, bytes.get(), cut, &back, sizeof back, memory, error));
  }
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  int decoded = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes(next() % 40);
    for (auto& b : bytes) b = next() % 4 == 0 ? next() : static_cast<uint8_t>(next() % 3);
    for (uint32_t type : {0x37000001u, 0x37000002u}) {
      alignas(16) uint8_t out[32];
      tknetwork::DecodedMemory memory;
      std::string error;
      if (tknetwork::decodeReply(type, bytes.data(), bytes.size(), out, sizeof out, memory, error)) ++decoded;
    }
  }
  EXPECT_GT(decoded, 0) << "some random inputs are valid replies";
}

TEST(RemoteReplyXdr, AnUnknownTypeOrASmallBufferIsRefused) {
  const Bytes bytes = join({word(0), word(0)});
  FLRDiscoveryAppsResp back;
  tknetwork::DecodedMemory memory;
  std::string error;
  EXPECT_FALSE(tknetwork::decodeReply(0x37000003, bytes.data(), bytes.size(), &back, sizeof back, memory, error));
  EXPECT_EQ(error, "no XDR routine for message type 0x37000003");
  EXPECT_FALSE(tknetwork::decodeReply(0x37000002, bytes.data(), bytes.size(), &back, sizeof back - 1, memory, error));
  EXPECT_FALSE(tknetwork::hasDecoder(0x37000000));
  EXPECT_TRUE(tknetwork::hasDecoder(0x37000001));
}

TEST(RemoteReplyXdr, TheRunAnswerRoundTrips) {
  zqsRemoteExecuteResponseType answer;
  answer.errorCode = -2;
  answer.value = 3;
  answer.value64 = 0x0102030405060708LL;
  const Bytes bytes = tknetwork::encodeExecResponse(answer);
  EXPECT_EQ(bytes, join({word(0xFFFFFFFE), word(3), word(0x01020304), word(0x05060708)}));
  zqsRemoteExecuteResponseType back;
  std::string error;
  ASSERT_TRUE(tknetwork::decodeExecResponse(bytes.data(), bytes.size(), back, error));
  EXPECT_EQ(back.errorCode, -2);
  EXPECT_EQ(back.value, 3);
  EXPECT_EQ(back.value64, 0x0102030405060708LL);
  EXPECT_FALSE(tknetwork::decodeExecResponse(bytes.data(), 12, back, error));
}

}  // namespace
