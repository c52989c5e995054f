// The element-stream frame: records acted on at 2052, what the walk keeps
// between records, the four rules for an unknown element, the two rules for
// a missing operation, and hostile element values.
#include <gtest/gtest.h>

#include <string>

#include "tests/sanvol_frame/SanVolFixture.h"

namespace sanvoltest {
namespace {

using tksanvol::MissingOperation;
using tksanvol::UnknownElement;
using tktest::catalogueText;
using tktest::StreamBuilder;
using ElementStream = SanVolTest;

std::vector<int32_t> volumesOf(const TestVolumeHandler& handler) {
  std::vector<int32_t> out;
  for (const Effect& e : handler.effects) out.push_back(e.volumeId);
  return out;
}

// ---------------------------------------------------------------- records

TEST_F(ElementStream, EachRecordIsAnsweredAndLaterRecordsInheritWhatEarlierOnesSet) {
  TestVolumeHandler handler;
  auto msg = request(StreamBuilder()
                         .u32(4106, 2)
                         .op(1)
                         .u32(kVolumeId, 10)
                         .text(kDeviceId, "naa.600a")
                         .end()
                         .u32(kVolumeId, 11)  // operation 1 and the device id carry over
                         .end()
                         .op(2)
                         .end());
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 1);
  ASSERT_EQ(handler.effects.size(), 3u);
  EXPECT_EQ(volumesOf(handler), (std::vector<int32_t>{10, 11, 11}));
  EXPECT_EQ(handler.effects[1].operation, 1u);
  EXPECT_EQ(handler.effects[1].deviceId, "naa.600a");
  EXPECT_EQ(handler.effects[2].operation, 2u);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 3u);
  expectSuccess(replies[0], 0x44, 1);
  expectSuccess(replies[1], 0x44, 1);
  expectSuccess(replies[2], 0x44, 2);
  EXPECT_TRUE(logged(7, "Received, TarnfoldId = 2."));
  EXPECT_TRUE(logged(7, "Received, Operation type = 2."));
}

TEST_F(ElementStream, ANullRecordIsRefusedWithoutAReply) {
  TestVolumeHandler handler;
  EXPECT_EQ(tksanvol::runElementStream(nullptr, rules(), handler), 0);
  EXPECT_TRUE(client.replies().empty());
  EXPECT_TRUE(logged(0, "Bad Parameter Received."));
}

TEST_F(ElementStream, AStreamEndingWithoutARecordEndGetsNoReplyAndResultOne) {
  TestVolumeHandler handler;
  auto msg = request(StreamBuilder().op(1).u32(kVolumeId, 10));
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 1);
  EXPECT_TRUE(handler.effects.empty());
  EXPECT_TRUE(client.replies().empty());
}

TEST_F(ElementStream, AnElementLongerThanTheValueBufferEndsTheWalkAsIfTheStreamHadEnded) {
  TestVolumeHandler handler;
  const std::string value(4105, 'v');
  auto msg = request(StreamBuilder()
                         .op(1)
                         .u32(kVolumeId, 10)
                         .end()
                         .header(kDeviceId, 4105)
                         .bytes(value.data(), value.size())
                         .end()
                         .count(5));
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 1);
  EXPECT_EQ(volumesOf(handler), std::vector<int32_t>{10});
  EXPECT_EQ(client.replies().size(), 1u) << "only the record before it is answered";
}

// ---------------------------------------------------------------- element values

TEST_F(ElementStream, TextsAreReadByLengthAndCutWhereTheValueBufferEnds) {
  const std::string full(4104, 't');
  const struct {
    const char* name;
    std::string value;
    std::string expected;
  } cases[] = {
      {"a text without its zero", "naa.600a", "naa.600a"},
      {"a text with its zero", std::string("naa.600a\0", 9), "naa.600a"},
      {"an embedded zero ends the text", std::string("naa\0junk", 8), "naa"},
      {"4,103 characters arrive whole", std::string(4103, 't'), std::string(4103, 't')},
      {"4,104 characters without a zero are cut at 4,103", full, std::string(4103, 't')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestVolumeHandler handler;
    auto msg = request(StreamBuilder().op(1).u32(kVolumeId, 1).raw(kDeviceId, c.value).end());
    ASSERT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 1);
    ASSERT_EQ(handler.effects.size(), 1u);
    EXPECT_EQ(handler.effects[0].deviceId, c.expected);
  }
}

TEST_F(ElementStream, CompoundValuesShorterThanTheirHeaderReadZeroWordsAndAnEmptyText) {
  const std::string head = le32(0x11) + le32(0x22) + le32(0x33);
  const struct {
    const char* name;
    std::string value;
    uint32_t id, clientId, flags;
    std::string idText, hdrText;  // the text as id+text and as hdr12+text
  } cases[] = {
      {"empty", "", 0, 0, 0, "", ""},
      {"two bytes", "\x05\x01", 0x105, 0, 0, "", ""},
      {"the id only", le32(0x11), 0x11, 0, 0, "", ""},
      {"id and half the client id", le32(0x11) + "\x22\x00", 0x11, 0x22, 0, std::string("\x22", 1), ""},
      {"the whole header", head, 0x11, 0x22, 0x33, head.substr(4), ""},
      {"header and text", head + "/dev/sdb", 0x11, 0x22, 0x33, head.substr(4) + "/dev/sdb", "/dev/sdb"},
      {"hdr12 text cut at 4,091", head + std::string(4092, 'd'), 0x11, 0x22, 0x33,
       (head.substr(4) + std::string(4092, 'd')).substr(0, 4099), std::string(4091, 'd')},
      {"id+text text cut at 4,099", le32(7) + std::string(4100, 'i'), 7, 0x69696969, 0x69696969,
       std::string(4099, 'i'), std::string(4091, 'i')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestVolumeHandler handler;
    auto msg = request(StreamBuilder().op(1).u32(kVolumeId, 1).raw(kPolicy, c.value).raw(kDeviceName, c.value).end());
    ASSERT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 1);
    ASSERT_EQ(handler.effects.size(), 1u);
    const Effect& e = handler.effects[0];
    EXPECT_EQ(e.policy.id, c.id);
    EXPECT_EQ(e.policy.text, c.idText.substr(0, c.idText.find('\0')));
    EXPECT_EQ(e.deviceName.id, c.id);
    EXPECT_EQ(e.deviceName.clientId, c.clientId);
    EXPECT_EQ(e.deviceName.flags, c.flags);
    EXPECT_EQ(e.deviceName.text, c.hdrText);
  }
}

// ---------------------------------------------------------------- unknown elements

TEST_F(ElementStream, AnUnknownElementAfterTwoRecordsIsHandledByTheHandlersRule) {
  const std::string unknownText = catalogueText(0x23000332, "9999", "unknown");
  const std::string logLine = "Has received an unprocessed element type [9999-unknown]";
  const struct {
    const char* name;
    UnknownElement rule;
    long long result;
    std::vector<int32_t> carriedOut;
    // Per reply: 0 failure with the unknown-element text, else the operation of a success.
    std::vector<int> replies;
  } cases[] = {
      {"answer and stop", UnknownElement::AnswerAndStop, 0, {1, 2}, {1, 1, 0}},
      {"log and go on", UnknownElement::LogAndGoOn, 1, {1, 2, 3}, {1, 1, 1}},
      {"log and stop silently", UnknownElement::LogAndStopSilently, 0, {1, 2}, {1, 1}},
      {"answer and go on", UnknownElement::AnswerAndGoOn, 1, {1, 2, 3}, {1, 1, 0, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection connection;
    testkit::debuglog::Capture capture;
    TestVolumeHandler handler;
    auto msg = StreamBuilder()
                   .socket(static_cast<int>(connection.socket().GetSocketDescriptor()))
                   .sequence(0x0001000000000007LL)
                   .op(1)
                   .u32(kVolumeId, 1)
                   .end()
                   .u32(kVolumeId, 2)
                   .end()
                   .u32(9999, 5)
                   .u32(kVolumeId, 3)
                   .end()
                   .build();
    EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(c.rule), handler), c.result);
    EXPECT_EQ(volumesOf(handler), c.carriedOut);
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), c.replies.size());
    for (std::size_t i = 0; i < replies.size(); ++i) {
      if (c.replies[i] == 0) {
        expectFailure(replies[i], 0x0001000000000007LL, unknownText);
      } else {
        expectSuccess(replies[i], 0x0001000000000007LL, static_cast<uint32_t>(c.replies[i]));
      }
    }
    bool errorLogged = false;
    for (const auto& line : capture.lines()) errorLogged = errorLogged || (line.level == -1 && line.text == logLine);
    EXPECT_TRUE(errorLogged);
  }
}

TEST_F(ElementStream, AHandlerWithoutOperationsTakesTheOperationElementAsUnknown) {
  TestVolumeHandler handler;
  tksanvol::StreamRules noOperations = rules();
  noOperations.hasOperations = false;
  auto msg = request(StreamBuilder().u32(kVolumeId, 1).end().op(1).end());
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), noOperations, handler), 0);
  EXPECT_EQ(volumesOf(handler), std::vector<int32_t>{1});
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectSuccess(replies[0], 0x44, 0);
  expectFailure(replies[1], 0x44, catalogueText(0x23000332, "4001", getMessageName(4001)));
}

// ---------------------------------------------------------------- operations

TEST_F(ElementStream, AMissingOperationIsAnsweredByTheHandlersRule) {
  {
    SCOPED_TRACE("missing information, as an operation reply for operation 0");
    Connection connection;
    TestVolumeHandler handler;
    auto msg = StreamBuilder()
                   .socket(static_cast<int>(connection.socket().GetSocketDescriptor()))
                   .sequence(0x45)
                   .u32(kVolumeId, 1)
                   .end()
                   .build();
    EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(UnknownElement::AnswerAndStop,
                                                          MissingOperation::AnswerMissingInformation),
                                         handler),
              0);
    EXPECT_TRUE(handler.effects.empty());
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 1u);
    ASSERT_EQ(tagsOf(replies[0]), (Tags{4001, 2051}));
    EXPECT_EQ(replies[0].items[0].bytes, le32(0));
    EXPECT_EQ(replies[0].items[1].bytes, wordAndText(0, catalogueText(0x39000089)));
    EXPECT_TRUE(logged(-1, "All information required to process this request was not received"));
  }
  {
    SCOPED_TRACE("operation 0, refused as not valid");
    Connection connection;
    TestVolumeHandler handler;
    auto msg = StreamBuilder()
                   .socket(static_cast<int>(connection.socket().GetSocketDescriptor()))
                   .sequence(0x46)
                   .u32(kVolumeId, 1)
                   .end()
                   .build();
    EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 0);
    EXPECT_TRUE(handler.effects.empty());
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x46, catalogueText(0x23000318, "0"));
  }
}

TEST_F(ElementStream, AnUnsupportedOperationIsRefusedWithItsNumberAfterEarlierRecordsStayDone) {
  TestVolumeHandler handler;
  auto msg = request(StreamBuilder().op(1).u32(kVolumeId, 1).end().op(7).end().op(1).end());
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 0);
  EXPECT_EQ(volumesOf(handler), std::vector<int32_t>{1});
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectSuccess(replies[0], 0x44, 1);
  expectFailure(replies[1], 0x44, catalogueText(0x23000318, "7"));
  EXPECT_TRUE(logged(0, "Received invalid operation type [7]."));
}

}  // namespace
}  // namespace sanvoltest
