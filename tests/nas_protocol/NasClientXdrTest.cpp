// The XDR forms of the NAS-client protocol's bodies: exact bytes both ways
// for every message type, null texts and empty lists, and decoders that
// refuse what the bytes cannot hold and release what they allocated.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/nasclient/NasClientMessages.h"
#include "platform/nasclient/NasClientXdr.h"

namespace {

using tknasclient::Bytes;

Bytes word(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}
Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
// A present text: 1, its length, its bytes padded to 4.
Bytes text(const std::string& s) {
  Bytes out = join({word(1), word(static_cast<uint32_t>(s.size()))});
  out.insert(out.end(), s.begin(), s.end());
  while (out.size() % 4 != 0) out.push_back(0);
  return out;
}
const Bytes kAbsent = word(0);

template <class Body>
Bytes encoded(uint32_t type, const Body& body) {
  Bytes out;
  std::string error;
  EXPECT_TRUE(tknasclient::encodeBody(type, &body, sizeof body, out, error)) << error;
  return out;
}

template <class Body>
bool decoded(uint32_t type, const Bytes& bytes, Body& body, std::string& error) {
  return tknasclient::decodeBody(type, bytes.data(), bytes.size(), &body, sizeof body, error);
}

char* c(const char* s) { return const_cast<char*>(s); }

// ---- every type both ways ----------------------------------------------------

TEST(NasClientXdr, TheListRequestsCarryNoBody) {
  for (uint32_t type : {tknas::kGetMediaAgents, tknas::kGetStoragePolicies, tknas::kGetNasClients}) {
    SCOPED_TRACE(type);
    Bytes out{1};
    std::string error;
    EXPECT_TRUE(tknasclient::encodeBody(type, nullptr, 0, out, error)) << error;
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(tknasclient::decodeBody(type, nullptr, 0, nullptr, 0, error)) << error;
    const uint8_t stray[] = {0, 0, 0, 1};
    EXPECT_FALSE(tknasclient::decodeBody(type, stray, sizeof stray, nullptr, 0, error));
  }
}

TEST(NasClientXdr, AMediaAgentListTravelsAsErrorCountAndEntries) {
  ncwNasMediaAgentEntry entries[2];
  entries[0] = {c("ma1"), c("ma1.lab"), 7};
  entries[1] = {nullptr, c("host"), -2};
  ncwNasMediaAgentList list;
  list.count = 2;
  list.entries = entries;
  const Bytes bytes = encoded(tknas::kMediaAgentList, list);
  EXPECT_EQ(bytes, join({kAbsent, word(0), word(2), word(1), text("ma1"), text("ma1.lab"), word(7), kAbsent,
                         text("host"), word(0xFFFFFFFE)}));

  ncwNasMediaAgentList back;
  std::string error;
  ASSERT_TRUE(decoded(tknas::kMediaAgentList, bytes, back, error)) << error;
  ASSERT_EQ(back.count, 2u);
  EXPECT_EQ(back.errorText, nullptr);
  EXPECT_STREQ(back.entries[0].name, "ma1");
  EXPECT_STREQ(back.entries[0].hostName, "ma1.lab");
  EXPECT_EQ(back.entries[0].id, 7);
  EXPECT_EQ(back.entries[1].name, nullptr);
  EXPECT_EQ(back.entries[1].id, -2);
  tknasclient::freeBody(tknas::kMediaAgentList, &back);
  EXPECT_EQ(back.entries, nullptr);
  EXPECT_EQ(back.count, 0u);
}

TEST(NasClientXdr, StoragePolicyAndNasClientListsCarryTheirEntryFields) {
  ncwStoragePolicyEntry policy{c("sp"), 3, 1};
  ncwStoragePolicyList policies;
  policies.count = 1;
  policies.entries = &policy;
  EXPECT_EQ(encoded(tknas::kStoragePolicyList, policies),
            join({kAbsent, word(0), word(1), word(1), text("sp"), word(3), word(1)}));

  ncwNasClientEntry client{c("filer"), c("ma1"), 1};
  ncwNasClientList clients;
  clients.count = 1;
  clients.entries = &client;
  const Bytes bytes = encoded(tknas::kNasClientList, clients);
  EXPECT_EQ(bytes, join({kAbsent, word(0), word(1), word(1), text("filer"), text("ma1"), word(1)}));
  ncwNasClientList back;
  std::string error;
  ASSERT_TRUE(decoded(tknas::kNasClientList, bytes, back, error)) << error;
  EXPECT_STREQ(back.entries[0].proxyMediaAgent, "ma1");
  EXPECT_EQ(back.entries[0].flags, 1u);
  tknasclient::freeBody(tknas::kNasClientList, &back);
}

TEST(NasClientXdr, AnEmptyOrErrorListSendsNoEntries) {
  ncwNasClientList list;
  list.errorText = c("denied");
  list.errorCode = 0x29000099;
  list.count = 3;  // a count without entries stays a count
  const Bytes bytes = encoded(tknas::kNasClientList, list);
  EXPECT_EQ(bytes, join({text("denied"), word(0x29000099), word(3), kAbsent}));
  ncwNasClientList back;
  std::string error;
  ASSERT_TRUE(decoded(tknas::kNasClientList, bytes, back, error)) << error;
  EXPECT_STREQ(back.errorText, "denied");
  EXPECT_EQ(back.count, 3u);
  EXPECT_EQ(back.entries, nullptr);
  tknasclient::freeBody(tknas::kNasClientList, &back);
  EXPECT_EQ(back.errorText, nullptr);
}

TEST(NasClientXdr, RequestsAndRepliesOfTheChangesHaveTheirFixedForms) {
  ncwConfigureNasClientRequest configure{c("ma1"), c("filer1"), nullptr, 1, 2, 3};
  const Bytes configureBytes =
      join({text("ma1"), text("filer1"), kAbsent, word(1), word(2), word(3)});
  EXPECT_EQ(encoded(tknas::kConfigureAtTarnkeep, configure), configureBytes);
  EXPECT_EQ(encoded(tknas::kConfigureAtMediaAgent, configure), configureBytes);

  ncwRemoveNasClientRequest remove{c("filer1")};
  EXPECT_EQ(encoded(tknas::kRemoveNasClient, remove), text("filer1"));
  ncwUndeleteNasClientRequest undelete{c("ma1"), c("filer1")};
  EXPECT_EQ(encoded(tknas::kUndeleteNasClient, undelete), join({text("ma1"), text("filer1")}));

  ncwAddNasClientResponse added{9, c("e"), 5};
  EXPECT_EQ(encoded(tknas::kConfigureAtTarnkeepReply, added), join({word(9), text("e"), word(5)}));
  ncwNasResponse response{nullptr, 0};
  for (uint32_t type :
       {tknas::kConfigureAtMediaAgentReply, tknas::kRemoveNasClientReply, tknas::kUndeleteNasClientReply}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(encoded(type, response), join({kAbsent, word(0)}));
  }
}

TEST(NasClientXdr, EveryBodiedTypeDecodesWhatItEncodes) {
  ncwConfigureNasClientRequest configure{c("ma1"), c(""), c("x"), -1, 0, 7};
  Bytes bytes = encoded(tknas::kConfigureAtMediaAgent, configure);
  ncwConfigureNasClientRequest back;
  std::string error;
  ASSERT_TRUE(decoded(tknas::kConfigureAtMediaAgent, bytes, back, error)) << error;
  EXPECT_STREQ(back.text1, "ma1");
  EXPECT_STREQ(back.text2, "");
  EXPECT_STREQ(back.text3, "x");
  EXPECT_EQ(back.number1, -1);
  EXPECT_EQ(back.number3, 7);
  tknasclient::freeBody(tknas::kConfigureAtMediaAgent, &back);

  ncwUndeleteNasClientRequest undelete{nullptr, c("f")};
  bytes = encoded(tknas::kUndeleteNasClient, undelete);
  ncwUndeleteNasClientRequest undeleteBack;
  ASSERT_TRUE(decoded(tknas::kUndeleteNasClient, bytes, undeleteBack, error)) << error;
  EXPECT_EQ(undeleteBack.proxyMediaAgent, nullptr);
  EXPECT_STREQ(undeleteBack.clientName, "f");
  tknasclient::freeBody(tknas::kUndeleteNasClient, &undeleteBack);

  ncwAddNasClientResponse added{1, nullptr, 0};
  bytes = encoded(tknas::kConfigureAtTarnkeepReply, added);
  ncwAddNasClientResponse addedBack;
  ASSERT_TRUE(decoded(tknas::kConfigureAtTarnkeepReply, bytes, addedBack, error)) << error;
  EXPECT_EQ(addedBack.value, 1u);
  EXPECT_EQ(addedBack.errorText, nullptr);
}

// ---- refusals -------------------------------------------------------------

TEST(NasClientXdr, UnknownTypesAndShortBuffersAreRefused) {
  ncwNasResponse response;
  Bytes out;
  std::string error;
  EXPECT_FALSE(tknasclient::encodeBody(0x29000D00, &response, sizeof response, out, error));
  EXPECT_NE(error.find("0x29000D00"), std::string::npos);
  EXPECT_FALSE(tknasclient::encodeBody(tknas::kRemoveNasClientReply, &response, sizeof response - 1, out, error));
  EXPECT_FALSE(tknasclient::encodeBody(tknas::kRemoveNasClientReply, nullptr, 0, out, error));
  const Bytes bytes = join({kAbsent, word(0)});
  EXPECT_FALSE(tknasclient::decodeBody(0x37000001, bytes.data(), bytes.size(), &response, sizeof response, error));
  EXPECT_FALSE(
      tknasclient::decodeBody(tknas::kRemoveNasClientReply, bytes.data(), bytes.size(), &response, 4, error));
}

TEST(NasClientXdr, ATextOverTheLimitIsNotEncoded) {
  std::string longText(tknasclient::kMaxText + 1, 'a');
  ncwRemoveNasClientRequest remove{longText.data()};
  Bytes out;
  std::string error;
  EXPECT_FALSE(tknasclient::encodeBody(tknas::kRemoveNasClient, &remove, sizeof remove, out, error));
  EXPECT_TRUE(out.empty());
}

TEST(NasClientXdr, MalformedBodiesAreRefusedAndLeaveNothingAllocated) {
  ncwNasClientEntry entries[2] = {{c("a"), c("b"), 0}, {c("c"), c("d"), 1}};
  ncwNasClientList list;
  list.errorText = c("err");
  list.count = 2;
  list.entries = entries;
  const Bytes good = encoded(tknas::kNasClientList, list);
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"empty", {}},
      {"cut in the second entry", Bytes(good.begin(), good.end() - 6)},
      {"one byte left over", join({good, Bytes{0}})},
      {"a count the bytes cannot hold", join({kAbsent, word(0), word(1000000), word(1), text("a")})},
      {"a text longer than the message", join({word(1), word(100), word(0)})},
      {"a text over the limit", join({word(1), word(70000)})},
      {"entries present with a count of 0", join({kAbsent, word(0), word(0), word(1)})},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    ncwNasClientList back;
    std::string error;
    EXPECT_FALSE(decoded(tknas::kNasClientList, k.bytes, back, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(back.errorText, nullptr);
    EXPECT_EQ(back.entries, nullptr);
    EXPECT_EQ(back.count, 0u);
  }
}

}  // namespace
