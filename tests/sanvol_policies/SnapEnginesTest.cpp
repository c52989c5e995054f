// Snapshot engines, the snapshot parameters of volumes, and the discovery
// of the snapshot-capable applications installed on a client.
#include <gtest/gtest.h>

#include "platform/content/SubclientContent.h"
#include "tests/sanvol_policies/PolicyFixture.h"

namespace policytest {
namespace {

using SnapEngines = PolicyTest;
using InstalledApps = PolicyTest;
using testkit::network::snapReply;

constexpr uint32_t kAdd = 1, kRemove = 2, kUpdate = 3;

// ---------------------------------------------------------------- engines

TEST_F(SnapEngines, EachEngineIsListedWithItsItemsInRecordOrder) {
  SnapEngineInfoV3Record_t e;
  e.engineName = "array";
  e.item11655 = true;
  e.item11657 = true;
  e.commandHint1 = "h1";
  e.commandHint6 = "h6";
  e.item8501 = 7;
  e.item11746 = 8;
  e.rollbackCommandHint = "back";
  const int32_t id = testkit::replicadb::seed(e);
  EXPECT_EQ(handler.onMsgGetSnapEngineInfo(words(0).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11652u);
  ASSERT_EQ(tagsOf(got[0]), (Tags{11643, 11654, 11655, 11656, 11657, 11658, 11659, 11660, 11661, 11662, 11663, 11734,
                                  8501, 11746, 2052}));
  const std::vector<std::string> expected = {
      wordAndText(static_cast<uint32_t>(id), "array"), le32(0), le32(1), le32(0), le32(1), "h1", "", "", "", "", "h6",
      "back", le32(7), le32(8), le32(0)};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[0].items[i].bytes, expected[i]) << "item " << i;
}

TEST_F(SnapEngines, ListingFailuresAreAnsweredInsideTheOpenReply) {
  struct Case {
    const char* call;
    unsigned long text;
    uint32_t reply;
    long long (EvSANVolMgr::*handler)(MessageInfo*);
  } cases[] = {
      {"GetSnapEngineInfoList", 0x390000a8, 11652, &EvSANVolMgr::onMsgGetSnapEngineInfo},
      {"QueryVolSnapParams", 0x390000a9, 11665, &EvSANVolMgr::onMsgGetVolumeSnapParams},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    testkit::replicadb::failNext(c.call, -1, "down");
    EXPECT_EQ((handler.*c.handler)(words(12).get()), 0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 2u);
    expectFailure(got[0], catalogueText(c.text));
    EXPECT_EQ(got[1].messageId, c.reply);
    EXPECT_TRUE(got[1].items.empty());
  }
}

// ---------------------------------------------------------------- volume parameters

class VolumeParams : public PolicyTest {
 protected:
  VolumeParams() { volume = testkit::replicadb::seed(SNRVolumeRecordV4_t()); }
  long long manage(StreamBuilder b) { return handler.onMsgManageVolumeSnapParams(stream(std::move(b)).get()); }
  VolSnapParamsV2Record_t stored() {
    VolSnapParamsV2Record_t p;
    EXPECT_TRUE(testkit::replicadb::row(volume, p));
    return p;
  }
  int32_t volume = -1;
};

TEST_F(VolumeParams, TheListingSendsTheEngineWithAFixedTextAndTheHintsInPlace) {
  ASSERT_EQ(manage(StreamBuilder()
                       .u32(4106, 2)
                       .op(kAdd)
                       .u32(11618, static_cast<uint32_t>(volume))
                       .pair(11643, 4, "ignored")
                       .u32(11672, 21)
                       .u32(11674, 22)
                       .u32(11673, 23)
                       .text(11658, "m1")
                       .text(11661, "s2")
                       .text(11663, "n2")
                       .text(11734, "undo")
                       .end()),
            1);
  expectOperation(replies().at(0), kAdd, 1, "Success");
  EXPECT_EQ(handler.onMsgGetVolumeSnapParams(words(static_cast<uint32_t>(volume)).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11665u);
  ASSERT_EQ(tagsOf(got[0]),
            (Tags{11618, 11643, 11672, 11674, 11673, 11658, 11659, 11660, 11661, 11662, 11663, 11734, 2052}));
  const std::vector<std::string> expected = {
      le32(static_cast<uint32_t>(volume)), wordAndText(4, "fixme"), le32(21), le32(22), le32(23), "m1", "", "", "s2",
      "", "n2", "undo", le32(0)};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[0].items[i].bytes, expected[i]) << "item " << i;
}

TEST_F(VolumeParams, AddAndUpdateWithoutRollbackHintStoreItEmptyAndDefaultsForWhatNeverCame) {
  ASSERT_EQ(manage(StreamBuilder().u32(4106, 2).op(kAdd).u32(11618, static_cast<uint32_t>(volume)).end()), 1);
  VolSnapParamsV2Record_t p = stored();
  EXPECT_EQ(p.snapEngineId, -1);
  EXPECT_EQ(p.mountClientId, -1);
  EXPECT_EQ(p.rollbackCommandHint, "");
  ASSERT_EQ(manage(StreamBuilder().u32(4106, 2).op(kUpdate).u32(11618, static_cast<uint32_t>(volume)).u32(11673, 5).end()),
            1);
  p = stored();
  EXPECT_EQ(p.snapClientId, 5);
  EXPECT_EQ(p.rollbackCommandHint, "");
  EXPECT_FALSE(p.paramsFlag);
  EXPECT_EQ(replies().size(), 2u);
}

TEST_F(VolumeParams, RemovalNeedsTheVolumeAndAFailedChangeEndsTheRequest) {
  EXPECT_EQ(manage(StreamBuilder().u32(4106, 2).op(kRemove).end()), 0);
  expectOperation(replies().at(0), kRemove, 0, catalogueText(0x39000089));
  struct Case {
    uint32_t op;
    unsigned long text;
  } cases[] = {{kRemove, 0x390000aa}, {kUpdate, 0x390000ac}, {kAdd, 0x390000ab}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    // No parameters stored: removal and update are refused; the add of a
    // missing volume too.
    const uint32_t target = c.op == kAdd ? 999u : static_cast<uint32_t>(volume);
    EXPECT_EQ(manage(StreamBuilder().u32(4106, 2).op(c.op).u32(11618, target).end().op(kAdd).u32(11618, target).end()),
              0);
    const auto got = replies();
    ASSERT_EQ(got.size(), 1u) << "the failure alone; the next record is not acted on";
    expectOperation(got[0], c.op, 0, catalogueText(c.text));
  }
}

TEST_F(VolumeParams, AnUnknownElementIsAnsweredAndTheWalkGoesOn) {
  EXPECT_EQ(manage(StreamBuilder().u32(11999, 1).u32(4106, 2).op(kAdd).u32(11618, static_cast<uint32_t>(volume)).end()),
            1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(tagsOf(got[0]), Tags{2051});
  EXPECT_EQ(got[0].items[0].bytes.substr(0, 4), le32(0));
  expectOperation(got[1], kAdd, 1, "Success");
}

// ---------------------------------------------------------------- installed applications

void scriptTool(const std::vector<testkit::network::ToolReply>& replies, int cutAfter = -1) {
  testkit::network::addHost(kClientHost);
  testkit::network::ToolScript tool;
  tool.replies = replies;
  tool.cutAfter = cutAfter;
  testkit::network::scriptTool(kClientHost, "ZQSnapTool.exe", tool);
}

TEST_F(InstalledApps, ApplicationCodesListAsTheirTypesWithTheFlagCarriedAndUnknownNamesMarked) {
  tkcontent::setAppTypeName(4, "Exchange");
  tkcontent::setAppTypeName(53, "SQL");
  tkcontent::setAppTypeName(22, "Oracle");
  testkit::client::setPlatformInfo({1, "tarnkeep-cs", "", "machine"});
  const uint64_t flag = 0x20000000;
  struct Case {
    uint64_t code;
    uint32_t type;
    const char* name;
  } cases[] = {{4, 4, "Exchange"},  {16, 4, "Exchange"}, {70, 4, "Exchange"}, {81, 4, "Exchange"},
               {9, 53, "SQL"},      {15, 53, "SQL"},     {53, 53, "SQL"},     {22, 22, "Oracle"},
               {99, 0, "Unknown Application"},           {16 | flag, 4 | 0x20000000u, "Exchange"}};
  std::vector<testkit::network::ToolReply> tool;
  uint32_t value = 100;
  for (const Case& c : cases) tool.push_back(snapReply(c.code, value++));
  tool.push_back(snapReply(0, 0));
  tool.push_back(snapReply(4, 1));  // after the end: never read
  scriptTool(tool);
  EXPECT_EQ(handler.onMsgGetZqSnapInstalledApps(words(kClient).get()), 1);
  const auto got = replies();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].messageId, 11677u);
  ASSERT_EQ(got[0].items.size(), std::size(cases) * 3);
  value = 100;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].code);
    EXPECT_EQ(got[0].items[3 * i].tag, 11678u);
    EXPECT_EQ(got[0].items[3 * i].bytes, wordAndText(cases[i].type, cases[i].name));
    EXPECT_EQ(got[0].items[3 * i + 1].tag, 11618u);
    EXPECT_EQ(got[0].items[3 * i + 1].bytes, le32(value++));
    EXPECT_EQ(got[0].items[3 * i + 2].tag, 2052u);
  }
  EXPECT_TRUE(log.contains("Could not determine the application name for app type [0]."));
  const auto attaches = testkit::network::journal().calls("Attach_RemoteCommand");
  ASSERT_EQ(attaches.size(), 1u);
  EXPECT_EQ(attaches[0].args,
            (std::vector<std::string>{kClientHost, "ZQSnapTool.exe", "-o discover", "tarnkeep-cs", "120"}));
  EXPECT_EQ(testkit::network::journal().calls("ReplyDisconnect").size(), 1u);
}

TEST_F(InstalledApps, AFailedAttachIsAnsweredWithTheHostAndNeedsNoDisconnect) {
  EXPECT_EQ(handler.onMsgGetZqSnapInstalledApps(words(kClient).get()), 0);
  const auto got = replies();
  ASSERT_EQ(got.size(), 2u);
  expectFailure(got[0], catalogueText(0x390000ad, kClientHost));
  EXPECT_TRUE(got[1].items.empty());
  EXPECT_TRUE(testkit::network::journal().calls("ReplyDisconnect").empty());
}

TEST_F(InstalledApps, AReceiveErrorKeepsTheApplicationsListedBeforeIt) {
  tkcontent::setAppTypeName(4, "Exchange");
  struct Case {
    const char* name;
    std::vector<testkit::network::ToolReply> replies;
    int cutAfter;
  } cases[] = {
      {"a broken stream", {snapReply(4, 1), snapReply(16, 2), snapReply(22, 3)}, 2},
      {"a reply of another type", {snapReply(4, 1), snapReply(16, 2), testkit::network::flrReply("x", {"y"})}, -1},
      {"a reply too long for its buffer",
       {snapReply(4, 1), snapReply(16, 2), testkit::network::rawReply(0x37000001, tknetwork::Bytes(64, 0x41))},
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::network::reset();
    scriptTool(c.replies, c.cutAfter);
    EXPECT_EQ(handler.onMsgGetZqSnapInstalledApps(words(kClient).get()), 1);
    const auto got = replies();
    ASSERT_EQ(got.size(), 2u);
    expectFailure(got[0], catalogueText(0x39000046));
    ASSERT_EQ(tagsOf(got[1]), (Tags{11678, 11618, 2052, 11678, 11618, 2052}));
    EXPECT_EQ(got[1].items[4].bytes, le32(2));
    EXPECT_EQ(testkit::network::journal().calls("ReplyDisconnect").size(), 1u);
  }
}

}  // namespace
}  // namespace policytest
