// Continuous-replication user applications: the listing, the three changes
// with their required elements and failure texts, values that persist
// across records, and the rows the service keeps.
#include <gtest/gtest.h>

#include "tests/sanvol_replicas/ReplicaFixture.h"

namespace replicastest {
namespace {

using tktest::StreamBuilder;

const std::string kManageTag = "EvSANVolMgr::onMsgManageQRUserApps";

class UserApps : public ReplicaTest {
 protected:
  int32_t seedApp(const std::string& name) {
    QRUserAppDefsRecord_t app;
    app.appId = 40;
    app.appName = name;
    const int32_t id = testkit::replicadb::seed(app);
    testkit::replicadb::reset();
    return id;
  }
  QRUserAppDefsRecord_t stored(int32_t id) {
    for (const auto& app : testkit::replicadb::rows<QRUserAppDefsRecord_t>())
      if (app.userAppId == id) return app;
    ADD_FAILURE() << "no user application " << id;
    return {};
  }
  // An add record with every element but `leaveOut`.
  static StreamBuilder addRecord(StreamBuilder b, uint32_t leaveOut = 0) {
    const std::pair<uint32_t, std::string> texts[] = {{11760, "Mail"}, {11759, "mail"}, {11762, "r.sh"}, {11763, "s.sh"}};
    b.op(1);
    if (leaveOut != 4106) b.u32(4106, 2);
    if (leaveOut != 11761) b.u32(11761, 84);
    for (const auto& [type, text] : texts)
      if (type != leaveOut) b.text(type, text);
    return b.end();
  }
  // A delete (2) or change (3) record of one application.
  static StreamBuilder record(uint32_t operation, int32_t id) {
    return StreamBuilder().op(operation).u32(4106, 2).i32(11764, id);
  }
  static Items opReply(uint32_t operation, uint32_t status, const std::string& text) {
    return {{4001, le32(operation)}, {2051, wordAndText(status, text)}};
  }
};

TEST_F(UserApps, AnAddedApplicationIsAnsweredWithItsIdAndListedWithEveryField) {
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(addRecord(StreamBuilder())).get()), 1);
  const auto apps = testkit::replicadb::rows<QRUserAppDefsRecord_t>();
  ASSERT_EQ(apps.size(), 1u);
  Items expected = opReply(1, 1, "Success");
  expected.push_back({11764, u32(apps[0].userAppId)});
  EXPECT_EQ(itemsOf(client.replies().at(0)), expected);
  EXPECT_TRUE(logged(kManageTag, 7, "Received, Application Name = Mail."));

  EXPECT_EQ(mgr.onMsgGetQRUserApps(simple(0).get()), 1);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11766u);
  EXPECT_EQ(itemsOf(replies[0]), (Items{{11764, u32(apps[0].userAppId)}, {11761, u32(84)}, {11760, "Mail"},
                                        {11759, "mail"}, {11762, "r.sh"}, {11763, "s.sh"}, {2052, u32(0)}}));
}

TEST_F(UserApps, AnAddWhoseReplyCannotBeMadeIsAnsweredAsAnAllocationFailureAndEndsTheRequest) {
  testkit::reply::failNextAllocations(1);
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(addRecord(addRecord(StreamBuilder()))).get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x22, catalogueText(0x23000002));
  EXPECT_EQ(testkit::replicadb::calls("AddApplication").size(), 1u);
}

TEST_F(UserApps, ARecordWithoutAnElementItsOperationNeedsIsRefusedWithoutAServiceCall) {
  const struct {
    uint32_t operation, leaveOut;
  } cases[] = {{1, 4106}, {1, 11761}, {1, 11760}, {1, 11759}, {1, 11762}, {1, 11763},
               {2, 4106}, {2, 11764}, {3, 4106}, {3, 11764}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.operation) + " without " + std::to_string(c.leaveOut));
    StreamBuilder b;
    if (c.operation == 1) {
      b = addRecord(b, c.leaveOut);
    } else {
      b.op(c.operation);
      if (c.leaveOut != 4106) b.u32(4106, 2);
      if (c.leaveOut != 11764) b.u32(11764, 5);
      b.text(11760, "x").end();
    }
    EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(b).get()), 0);
    EXPECT_EQ(itemsOf(client.replies().at(0)), opReply(c.operation, 0, catalogueText(0x39000089)));
    EXPECT_TRUE(testkit::replicadb::journal().calls().empty());
  }
}

TEST_F(UserApps, OperationZeroFourOrNoneIsAnInvalidOperation) {
  const struct {
    StreamBuilder stream;
    uint32_t shown;
  } cases[] = {{StreamBuilder().op(0).u32(4106, 2).end(), 0},
               {StreamBuilder().op(4).u32(4106, 2).end(), 4},
               {StreamBuilder().u32(4106, 2).u32(11764, 1).end(), 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(c.stream).get()), 0);
    expectFailure(client.replies().at(0), 0x22, catalogueText(0x23000318, c.shown));
  }
}

TEST_F(UserApps, AFailingServiceIsAnsweredWithTheOperationsOwnTextAndItsErrorOnlyLogged) {
  const int32_t id = seedApp("Database");
  const struct {
    const char* call;
    unsigned long text;
    StreamBuilder stream;  // empty: the listing
    uint32_t operation;
  } cases[] = {
      {"GetApplicationList", 0x390000df, {}, 0},
      {"AddApplication", 0x390000e0, addRecord(StreamBuilder()), 1},
      {"DeleteApplication", 0x390000e1, record(2, id).end(), 2},
      {"UpdateApplication", 0x390000e2, record(3, id).text(11759, "t").end(), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    testkit::replicadb::failNext(c.call, -1, "service down %s");
    if (c.operation == 0) {
      EXPECT_EQ(mgr.onMsgGetQRUserApps(simple(0).get()), 0);
      expectFailure(client.replies().at(0), 0x21, catalogueText(c.text));
    } else {
      EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(c.stream).get()), 0);
      EXPECT_EQ(itemsOf(client.replies().at(0)), opReply(c.operation, 0, catalogueText(c.text)));
    }
    EXPECT_TRUE(logged(c.operation == 0 ? "EvSANVolMgr::lookupQRUserApps" : kManageTag, -1, "service down %s"));
  }
  EXPECT_EQ(stored(id).appName, "Database");
}

TEST_F(UserApps, AnUnknownElementEndsTheRequestAndTheRecordsBeforeItStayDone) {
  const int32_t id = seedApp("Database");
  auto msg = stream(addRecord(StreamBuilder()).op(2).i32(11764, id).end().u32(9999, 1).op(1).end());
  EXPECT_EQ(mgr.onMsgManageQRUserApps(msg.get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(tagsOf(replies[0]), (Tags{4001, 2051, 11764}));
  EXPECT_EQ(itemsOf(replies[1]), opReply(2, 1, "Success"));
  expectFailure(replies[2], 0x22, catalogueText(0x23000332, 9999u, getMessageName(9999)));
  const auto apps = testkit::replicadb::rows<QRUserAppDefsRecord_t>();
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(apps[0].appName, "Mail");
}

TEST_F(UserApps, AChangeSetsOnlyTheTextsThatCameAndAreNotEmpty) {
  const int32_t id = seedApp("Database");
  const struct {
    const char* name;
    StreamBuilder stream;
    const char* mask;  // null: no service call
  } cases[] = {
      {"empty name, new tag", record(3, id).text(11760, "").text(11759, "t2").end(), "4"},
      {"every text", record(3, id).text(11760, "N").text(11759, "T").text(11762, "r").text(11763, "s").end(), "30"},
      {"only empty texts", record(3, id).text(11759, "").end(), nullptr},
      {"no texts", record(3, id).end(), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testkit::replicadb::reset();
    EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(c.stream).get()), 1);
    EXPECT_EQ(itemsOf(client.replies().at(0)), opReply(3, 1, "Success"));
    const auto calls = testkit::replicadb::calls("UpdateApplication");
    ASSERT_EQ(calls.size(), c.mask != nullptr ? 1u : 0u);
    if (c.mask != nullptr) {
      EXPECT_EQ(calls[0].args.back(), c.mask);
    }
  }
  EXPECT_TRUE(logged(kManageTag, 7, "There is nothing to be updated for the QR User Application"));
  const QRUserAppDefsRecord_t app = stored(id);
  EXPECT_EQ(std::vector<std::string>({app.appName, app.appTag, app.resumeScript, app.suspendScript}),
            std::vector<std::string>({"N", "T", "r", "s"}));
  EXPECT_EQ(app.appId, 40);
}

TEST_F(UserApps, ALaterChangeRecordReusesTheTextsOfTheEarlierOnes) {
  const int32_t a = seedApp("A");
  const int32_t b = seedApp("B");
  auto msg = stream(record(3, a).text(11760, "Renamed").end().i32(11764, b).text(11759, "tag").end());
  EXPECT_EQ(mgr.onMsgManageQRUserApps(msg.get()), 1);
  EXPECT_EQ(client.replies().size(), 2u);
  EXPECT_EQ(stored(a).appName, "Renamed");
  EXPECT_EQ(stored(b).appName, "Renamed");
  EXPECT_EQ(stored(b).appTag, "tag");
}

TEST_F(UserApps, TextsAreCutAt4103CharactersAndACutIsLogged) {
  auto b = StreamBuilder().op(1).u32(4106, 2).u32(11761, 1).text(11760, std::string(4104, 'n'));
  b.text(11759, std::string(4102, 't')).text(11762, "r").text(11763, "s").end();
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(b).get()), 1);
  const auto apps = testkit::replicadb::rows<QRUserAppDefsRecord_t>();
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(apps[0].appName, std::string(4103, 'n'));
  EXPECT_EQ(apps[0].appTag, std::string(4102, 't'));
  EXPECT_TRUE(logged(kManageTag, 2, "Application name has been truncated. Buffer Size [4105], GUI Buffer Size [4104]"));
  EXPECT_FALSE(log.contains(kManageTag, "Application Tag has been truncated"));
}

TEST(UserAppAndImportTexts, EveryMessageTheseRequestsSendHasATextOfItsOwn) {
  for (unsigned long id : {0x39000062ul, 0x39000063ul, 0x39000091ul, 0x390000dful, 0x390000e0ul, 0x390000e1ul,
                           0x390000e2ul, 0x390000eaul, 0x390000ebul, 0x390000ecul})
    EXPECT_EQ(catalogueText(id).rfind("message 0x", 0), std::string::npos) << catalogueText(id);
}

TEST_F(UserApps, EveryFailingPlatformCallEndsInAnAnswerAndLeavesNoHalfChange) {
  const int32_t id = seedApp("Database");
  const struct {
    const char* name;
    std::function<void()> request;
    uint32_t listingId;
  } cases[] = {
      {"list", [this] { mgr.onMsgGetQRUserApps(simple(0).get()); }, 11766},
      // The add's answer ends with the new id, not with the status.
      {"add", [this] { mgr.onMsgManageQRUserApps(stream(addRecord(StreamBuilder())).get()); }, 1024},
      {"change", [&] { mgr.onMsgManageQRUserApps(stream(record(3, id).text(11760, "N").end()).get()); }, 0},
      {"delete", [&] { mgr.onMsgManageQRUserApps(stream(record(2, id).end()).get()); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.request, c.listingId);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace replicastest
