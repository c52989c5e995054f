// The failure paths every SAN-volume handler shares: a reply object that
// cannot be made, a missing element, a failed lookup whose error text is of
// any length, and the simple Get frame whose worker fails.
#include <gtest/gtest.h>

#include <string>

#include "frame/SANVolReplyItems.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/testkit/events.h"
#include "tests/sanvol_frame/SanVolFixture.h"

namespace sanvoltest {
namespace {

using tktest::catalogueText;
using tktest::StreamBuilder;
using Failures = SanVolTest;

// ---------------------------------------------------------------- allocation

TEST_F(Failures, AReplyObjectThatCannotBeMadeIsAnsweredWithTheCatalogueTextThroughSendResponse) {
  const struct {
    const char* name;
    bool (*send)(CWySocket);
  } cases[] = {
      {"operation reply",
       [](CWySocket s) { return EvSANVolMgr::sendOperationResponse(0x0002000000000031LL, s, 1, 1, "Success", 0); }},
      {"inline operation reply",
       [](CWySocket s) {
         const uint32_t id = 5;
         return EvSANVolMgr::sendOperationResponseWith(0x0002000000000031LL, s, 1ull, 1, "Success", 11764, &id, 4);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection connection;
    testkit::debuglog::Capture capture;
    testkit::reply::failNextAllocations(1);
    EXPECT_FALSE(c.send(connection.socket()));
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x0002000000000031LL, catalogueText(0x23000002));
    EXPECT_TRUE(capture.contains("EvSANVolMgr::sendOperationResponse", "Memory allocation failed."));
  }
}

// ---------------------------------------------------------------- failures of a record

TEST_F(Failures, AMissingRequiredElementIsAnsweredWithTheMissingInformationText) {
  TestVolumeHandler handler;
  auto msg = request(StreamBuilder().op(1).end());
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x44, catalogueText(0x39000089));
  EXPECT_TRUE(logged(-1, "Did not receive the volume id"));
}

TEST_F(Failures, AServiceErrorTextEntersTheAnswerBufferAsATextCutAt1023) {
  const struct {
    const char* name;
    std::string serviceText;
    std::string logged;
  } cases[] = {
      {"a short text", "the replica database is not reachable", "the replica database is not reachable"},
      {"a format text stays a text", "volume %s %n %x", "volume %s %n %x"},
      {"a text at the limit", std::string(1023, 'e'), std::string(1023, 'e')},
      {"a longer text is cut", std::string(5000, 'e'), std::string(1023, 'e')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Connection connection;
    testkit::debuglog::Capture capture;
    TestVolumeHandler handler;
    handler.lookupError = c.serviceText;
    auto msg = StreamBuilder()
                   .socket(static_cast<int>(connection.socket().GetSocketDescriptor()))
                   .sequence(0x47)
                   .op(kOpLookupFails)
                   .u32(kVolumeId, 1)
                   .end()
                   .build();
    EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 0);
    const auto replies = connection.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x47, catalogueText(0x39000006));
    bool found = false;
    for (const auto& line : capture.lines()) found = found || (line.level == -1 && line.text == c.logged);
    EXPECT_TRUE(found);
  }
}

TEST_F(Failures, AFailureAnswerCanTravelAsAnOperationReply) {
  MessageInfo msg;
  msg.socket = client.socket();
  msg.sequenceNumber = 0x48;
  tksanvol::RequestAnswer answer(msg, kTag);
  EXPECT_EQ(answer.missingInformation(tksanvol::RequestAnswer::kMissingInformationLog,
                                      tksanvol::AnswerForm::OperationResponse, 4),
            tksanvol::RecordOutcome::Failed);
  EXPECT_STREQ(answer.buffer(), catalogueText(0x39000089).c_str());
  answer.success(tksanvol::AnswerForm::Response);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  ASSERT_EQ(tagsOf(replies[0]), (Tags{4001, 2051}));
  EXPECT_EQ(replies[0].items[0].bytes, le32(4));
  EXPECT_EQ(replies[0].items[1].bytes, wordAndText(0, catalogueText(0x39000089)));
  ASSERT_EQ(tagsOf(replies[1]), Tags{2051});
  EXPECT_EQ(replies[1].items[0].bytes, wordAndText(1, "Success"));
}

TEST_F(Failures, EveryTextOfTheFrameIsInTheCatalogueAndFetchedInTheRequestsLocale) {
  for (unsigned long id : {tksanvol::kTextAllocationFailed, tksanvol::kTextInvalidOperation,
                           tksanvol::kTextUnprocessedElement, tksanvol::kTextLookupFailed,
                           tksanvol::kTextMissingInformation}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(tkcatalogue::has(static_cast<uint32_t>(id)));
  }
  testkit::events::reset();
  TestVolumeHandler handler;
  auto msg = request(StreamBuilder().op(9).end(), 0x0005000000000001LL);
  EXPECT_EQ(tksanvol::runElementStream(msg.get(), rules(), handler), 0);
  const auto calls = testkit::events::journal().calls("evPrintf");
  ASSERT_EQ(calls.size(), 1u);
  // Message id, buffer size, locale id, then the event's arguments: the operation alone.
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(0x23000318), "1024", "5", "9"}));
  testkit::events::reset();
}

// ---------------------------------------------------------------- the Get frame

constexpr tksanvol::GetRules kGetRules{kTag, 11604, tksanvol::GetLog::TarnfoldId};

TEST_F(Failures, AFailedGetWorkerStillEndsItsReplyAfterAStatusAnswerSentMeanwhile) {
  EvSANVolMgr handler;
  auto msg = request(StreamBuilder().firstWord(2).count(31), 0x0003000000000049LL);
  const long long result = tksanvol::runGet(handler, msg.get(), kGetRules, [&handler](MessageInfo& m) -> long long {
    tksanvol::addIdText(handler, 11642, m.elementCount, "policy");
    tksanvol::endRecord(handler);
    sendResponse(m.sequenceNumber, &m.socket, 0, "lookup failed", nullptr);
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(handler.isOpen());
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  expectFailure(replies[0], 0x0003000000000049LL, "lookup failed");
  EXPECT_EQ(replies[1].messageId, 11604u);
  EXPECT_EQ(replies[1].sequence, 0x0003000000000049LL);
  ASSERT_EQ(tagsOf(replies[1]), (Tags{11642, 2052}));
  EXPECT_EQ(replies[1].items[0].bytes, le32(31) + "policy");
  EXPECT_TRUE(logged(10, "Received TarnfoldId = 2"));
}

TEST_F(Failures, AGetFrameReturnsItsWorkersResultAndNeverCallsItWithoutARecord) {
  EvSANVolMgr handler;
  int calls = 0;
  auto worker = [&calls](MessageInfo&) -> long long { return ++calls; };
  EXPECT_EQ(tksanvol::runGet(handler, nullptr, kGetRules, worker), 0);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(client.replies().empty());

  const tksanvol::GetRules volumes{kTag, 11601, tksanvol::GetLog::TarnfoldIdAndSANHostId};
  auto msg = request(StreamBuilder().firstWord(2).count(9));
  EXPECT_EQ(tksanvol::runGet(handler, msg.get(), volumes, worker), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11601u);
  EXPECT_TRUE(replies[0].items.empty()) << "an empty listing is still a reply";
  EXPECT_TRUE(logged(7, "Received TarnfoldId = 2, SANHostId = 9"));
}

}  // namespace
}  // namespace sanvoltest
