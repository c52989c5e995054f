// The SAN-volume operation reply, the inline operation reply and the reply
// item forms, read off the client's socket to the byte.
#include <gtest/gtest.h>

#include <string>

#include "frame/SANVolReplyItems.h"
#include "tests/sanvol_frame/SanVolFixture.h"

namespace sanvoltest {
namespace {

using Replies = SanVolTest;

// ---------------------------------------------------------------- operation reply

TEST_F(Replies, OperationReplyCarriesExactlyTheOperationAndTheStatusItem) {
  const std::string atLimit(4099, 'x');
  const std::string longer(6000, 'x');
  const struct {
    const char* name;
    unsigned long long operation;
    unsigned long long status;
    const char* text;
    std::string item4001;
    std::string item2051;
  } cases[] = {
      {"a text", 2, 1, "Success", le32(2), wordAndText(1, "Success")},
      {"an empty text", 2, 0, "", le32(2), le32(0)},
      {"a null text is the empty text", 2, 0, nullptr, le32(2), le32(0)},
      {"status 2 never brings item 4117", 5, 2, "warn", le32(5), wordAndText(2, "warn")},
      {"a text at the limit", 1, 1, atLimit.c_str(), le32(1), wordAndText(1, atLimit)},
      {"a longer text is cut at 4,099", 1, 1, longer.c_str(), le32(1), wordAndText(1, atLimit)},
      {"operation and status go out as their low 32 bits", 0x100000007ull, 0x100000001ull, "x", le32(7),
       wordAndText(1, "x")},
      {"a format text is sent as it stands", 1, 0, "disk %s at 100%n", le32(1), wordAndText(0, "disk %s at 100%n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection connection;
    EXPECT_TRUE(EvSANVolMgr::sendOperationResponse(0x0009000000000044LL, connection.socket(), c.operation, c.status,
                                                   c.text, 0));
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].messageId, 1024u);
    EXPECT_EQ(replies[0].sequence, 0x0009000000000044LL);
    ASSERT_EQ(tagsOf(replies[0]), (Tags{4001, 2051}));
    EXPECT_EQ(replies[0].items[0].bytes, c.item4001);
    EXPECT_EQ(replies[0].items[1].bytes, c.item2051);
  }
}

TEST_F(Replies, InlineOperationReplyEndsWithTheResultItem) {
  const uint32_t newId = 77;
  {
    SCOPED_TRACE("with the operation");
    EXPECT_TRUE(EvSANVolMgr::sendOperationResponseWith(0x51, client.socket(), 1ull, 1, "Success", 11764, &newId,
                                                       sizeof newId));
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    ASSERT_EQ(tagsOf(replies[0]), (Tags{4001, 2051, 11764}));
    EXPECT_EQ(replies[0].items[0].bytes, le32(1));
    EXPECT_EQ(replies[0].items[1].bytes, wordAndText(1, "Success"));
    EXPECT_EQ(replies[0].items[2].bytes, le32(77));
  }
  {
    SCOPED_TRACE("without the operation");
    const tksanvol::ReplyItem covered = tksanvol::ReplyItem::flag(true);
    EXPECT_TRUE(EvSANVolMgr::sendOperationResponseWith(0x52, client.socket(), std::nullopt, 1, "Success", 4300,
                                                       covered.data(), covered.length()));
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].sequence, 0x52);
    ASSERT_EQ(tagsOf(replies[0]), (Tags{2051, 4300}));
    EXPECT_EQ(replies[0].items[1].bytes, le32(1));
  }
}

// ---------------------------------------------------------------- item forms

TEST_F(Replies, ItemFormsAreCutAtTheirLimitsWithLengthsFromTheCutText) {
  const std::string t4103(4103, 'a');
  const std::string t4099(4099, 'b');
  const std::string t4091(4091, 'c');
  const std::string over(5000, 'z');
  const std::string head12 = le32(9) + le32(0xFFFFFFFFu) + le32(3);
  EvSANVolMgr handler;
  const CWySocket socket = client.socket();
  ASSERT_TRUE(handler.begin(11604, 0x61, &socket, true));
  using namespace tksanvol;
  addU32(handler, 1, 0xA1B2C3D4u);
  addU64(handler, 2, 0x0102030405060708ull);
  addFlag(handler, 3, true);
  addFlag(handler, 4, false);
  addText(handler, 5, "Pool A");
  addText(handler, 6, "");
  addText(handler, 7, t4103);
  addText(handler, 8, std::string(t4103) + "zz");
  addIdText(handler, 9, 42, "policy");
  addIdText(handler, 10, 42, "");
  addIdText(handler, 11, 42, t4099);
  addIdText(handler, 12, 42, std::string(4099, 'b') + over);
  addHdr12Text(handler, 13, 9, 0xFFFFFFFFu, 3, "/dev/sdb");
  addHdr12Text(handler, 14, 9, 0xFFFFFFFFu, 3, t4091);
  addHdr12Text(handler, 15, 9, 0xFFFFFFFFu, 3, std::string(4091, 'c') + over);
  addText(handler, 16, textOf(nullptr));
  endRecord(handler);
  ASSERT_TRUE(handler.end(0));

  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  const std::vector<std::string> expected = {
      le32(0xA1B2C3D4u), le64(0x0102030405060708ull), le32(1), le32(0), "Pool A", "", t4103, t4103,
      le32(42) + "policy", le32(42), le32(42) + t4099, le32(42) + t4099, head12 + "/dev/sdb", head12 + t4091,
      head12 + t4091, "", le32(0)};
  ASSERT_EQ(replies[0].items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(replies[0].items[i].bytes, expected[i]);
  }
  EXPECT_EQ(replies[0].items.back().tag, 2052u);
}

}  // namespace
}  // namespace sanvoltest
