// Continuous-replication devices: the listing a client's volume service
// gives, the configuration of a device pair, and the cost categories.
#include <gtest/gtest.h>

#include "tests/sanvol_continuous/ContinuousControlFixture.h"

namespace cctest {
namespace {

class QuillmereDevicesTest : public ContinuousTest {
 protected:
  // The listing request: client, device kind, server name.
  std::unique_ptr<MessageInfo> listing(uint32_t kind, const std::string& server) {
    return simple(StreamBuilder().count(kClient).payloadWord(8, kind).payloadText(12, server));
  }
  long long configure(StreamBuilder builder) {
    auto request = stream(std::move(builder));
    return handler.onMsgConfigureQuillmereDevice(request.get());
  }
};

TEST_F(QuillmereDevicesTest, ListsEachDeviceOrOneEndOfRecordForTheEmptyListMarker) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> pairs;  // configured quill/mere pairs, in order
    Tags tags;
  };
  const Case cases[] = {
      {"two devices", {{"q1", "m1"}, {"q2", "m2"}}, {11721, 2052, 11721, 2052}},
      {"the marker inside a longer first entry", {{"x ZQ_QM_EMPTY_STRING_LIST_MARKER", "y"}, {"q", "m"}}, {2052}},
      {"an empty list", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::clientvol::reset();
    testkit::clientvol::seedHost(kHost, static_cast<int>(kClient));
    for (const auto& [quill, mere] : c.pairs) agentSession().ConfigureQMDevice("qm1", quill, mere);
    auto request = listing(1, "qm1");
    EXPECT_EQ(handler.onMsgGetQuillmereDevices(request.get()), 1);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].messageId, 11720u);
    EXPECT_EQ(tagsOf(got[0]), c.tags);
    if (c.tags.size() == 4) {
      EXPECT_EQ(got[0].items[0].bytes, wordAndText(1, "q1-m1"));
      EXPECT_EQ(got[0].items[2].bytes, wordAndText(1, "q2-m2"));
    }
  }
}

TEST_F(QuillmereDevicesTest, AServerNameThatFillsTheBodyIsReadWithinIt) {
  // The text with its terminator, then the last word written over the
  // terminator: the name runs to the body's last byte.
  const std::string server(MessageInfo::kPayloadSize - 12, 's');
  auto request = simple(StreamBuilder()
                            .count(kClient)
                            .payloadWord(8, 2)
                            .payloadText(12, server.substr(1))
                            .payloadWord(MessageInfo::kPayloadSize - 4, 0x73737373));
  EXPECT_EQ(handler.onMsgGetQuillmereDevices(request.get()), 1);
  const auto calls = agentCalls("GetQuillmereDevices");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (Args{kHost, server, "2"}));
}

TEST_F(QuillmereDevicesTest, ConfigureTakesTheLaterDeviceOfAKind) {
  EXPECT_EQ(configure(StreamBuilder()
                          .op(1)
                          .u32(2009, kClient)
                          .text(11715, "qm1")
                          .pair(11721, 1, "m-old")
                          .pair(11721, 4, "q1")
                          .pair(11721, 1, "m-new")
                          .end()),
            1);
  expectSuccess(replies().at(0), 1);
  EXPECT_EQ(agentCalls("ConfigureQMDevice"), (std::vector<Args>{{kHost, "qm1", "q1", "m-new"}}));
}

TEST_F(QuillmereDevicesTest, RefusalsAreAnsweredWithTheirOwnTexts) {
  struct Case {
    const char* name;
    StreamBuilder request;
    std::string answer;
  };
  const Case cases[] = {
      {"a Quill device without a Mere device", StreamBuilder().op(1).u32(2009, kClient).pair(11721, 2, "q1").end(),
       kMissing},
      // Three bytes cannot hold the kind: it reads 0, a Quill device.
      {"a device value shorter than its kind",
       StreamBuilder().op(1).u32(2009, kClient).raw(11721, std::string("\x01\x00\x00", 3)).end(), kMissing},
      {"unconfiguration", StreamBuilder().op(2).u32(2009, kClient).pair(11721, 1, "m1").end(),
       "Quillmere device unconfiguration is not implemented"},
      {"another operation", StreamBuilder().op(3).u32(2009, kClient).pair(11721, 1, "m1").end(),
       "Received invalid operation type"},
      {"a client failure", StreamBuilder().op(1).u32(2009, kClient).pair(11721, 1, "m1").pair(11721, 2, "q1").end(),
       "Reason: Device pair [q1-m1] is already configured."},
  };
  agentSession().ConfigureQMDevice("", "q1", "m1");
  forgetAgentCalls();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(configure(c.request), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u);
    expectFailure(got[0], c.answer);
  }
  EXPECT_EQ(agentCalls("ConfigureQMDevice").size(), 1u);
  EXPECT_TRUE(testkit::events::journal().calls("evPrintf").empty());
}

TEST_F(QuillmereDevicesTest, CostCategoriesAnswerAnEmptyListingAndReturn0) {
  auto request = simple();
  EXPECT_EQ(handler.onMsgGetQRCostCategories(request.get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11729u);
  EXPECT_TRUE(got[0].items.empty());
}

}  // namespace
}  // namespace cctest
