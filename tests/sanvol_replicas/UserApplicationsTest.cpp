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
  int32_t seedApp(const std::string& name, const std::string& tag) {
    QRUserAppDefsRecord_t app;
    app.appId = 40;
    app.appName = name;
    app.appTag = tag;
    app.suspendScript = "suspend.sh";
    app.resumeScript = "resume.sh";
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
  // An add record with every element; `leaveOut` drops one element type.
  static StreamBuilder addRecord(StreamBuilder b, uint32_t leaveOut = 0) {
    const std::pair<uint32_t, std::string> texts[] = {
        {11760, "Mail"}, {11759, "mail"}, {11762, "resume.sh"}, {11763, "suspend.sh"}};
    b.op(1);
    if (leaveOut != 4106) b.u32(4106, 2);
    if (leaveOut != 11761) b.u32(11761, 84);
    for (const auto& [type, text] : texts)
      if (type != leaveOut) b.text(type, text);
    return b.end();
  }
  static Items operationReply(uint32_t operation, uint32_t status, const std::string& text) {
    return {{4001, le32(operation)}, {2051, wordAndText(status, text)}};
  }
};

// ---------------------------------------------------------------- listing and add

TEST_F(UserApps, AnAddedApplicationIsAnsweredWithItsIdAndListedWithEveryField) {
  const int32_t first = seedApp("Database", "db");
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(addRecord(StreamBuilder())).get()), 1);
  auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  const auto apps = testkit::replicadb::rows<QRUserAppDefsRecord_t>();
  ASSERT_EQ(apps.size(), 2u);
  const int32_t added = apps[1].userAppId;
  Items expected = operationReply(1, 1, "Success");
  expected.push_back({11764, u32(added)});
  EXPECT_EQ(itemsOf(replies[0]), expected);
  EXPECT_TRUE(logged(kManageTag, 7, "Received, Application Name = Mail."));
  EXPECT_TRUE(logged(kManageTag, 7, "Received, QR User Application Id = 84."));

  EXPECT_EQ(mgr.onMsgGetQRUserApps(simple(0).get()), 1);
  replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].messageId, 11766u);
  EXPECT_EQ(itemsOf(replies[0]), (Items{{11764, u32(first)},
                                        {11761, u32(40)},
                                        {11760, "Database"},
                                        {11759, "db"},
                                        {11762, "resume.sh"},
                                        {11763, "suspend.sh"},
                                        {2052, u32(0)},
                                        {11764, u32(added)},
                                        {11761, u32(84)},
                                        {11760, "Mail"},
                                        {11759, "mail"},
                                        {11762, "resume.sh"},
                                        {11763, "suspend.sh"},
                                        {2052, u32(0)}}));
}

TEST_F(UserApps, AnAddWhoseReplyCannotBeMadeIsAnsweredAsAnAllocationFailureAndEndsTheRequest) {
  testkit::reply::failNextAllocations(1);
  auto msg = stream(addRecord(addRecord(StreamBuilder())));
  EXPECT_EQ(mgr.onMsgManageQRUserApps(msg.get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 1u);
  expectFailure(replies[0], 0x22, catalogueText(0x23000002));
  EXPECT_EQ(testkit::replicadb::calls("AddApplication").size(), 1u);
}

// ---------------------------------------------------------------- refusals and failures

TEST_F(UserApps, ARecordWithoutAnElementItsOperationNeedsIsRefusedWithoutAServiceCall) {
  const struct {
    uint32_t operation;
    uint32_t leaveOut;
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
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(itemsOf(replies[0]), operationReply(c.operation, 0, catalogueText(0x39000089)));
    EXPECT_TRUE(testkit::replicadb::journal().calls().empty());
  }
}

TEST_F(UserApps, OperationZeroFourOrNoneIsAnInvalidOperation) {
  const struct {
    const char* name;
    StreamBuilder stream;
    uint32_t shown;
  } cases[] = {
      {"0", StreamBuilder().op(0).u32(4106, 2).end(), 0},
      {"4", StreamBuilder().op(4).u32(4106, 2).end(), 4},
      {"absent", StreamBuilder().u32(4106, 2).u32(11764, 1).end(), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(c.stream).get()), 0);
    const auto replies = client.replies();
    ASSERT_EQ(replies.size(), 1u);
    expectFailure(replies[0], 0x22, catalogueText(0x23000318, c.shown));
  }
}

TEST_F(UserApps, AFailingServiceIsAnsweredWithTheOperationsOwnTextAndItsErrorOnlyLogged) {
  const int32_t id = seedApp("Database", "db");
  const struct {
    const char* call;
    unsigned long text;
    std::function<long long()> request;
    uint32_t operation;  // 0: the listing's one-call answer
  } cases[] = {
      {"GetApplicationList", 0x390000df, [this] { return mgr.onMsgGetQRUserApps(simple(0).get()); }, 0},
      {"AddApplication", 0x390000e0,
       [this] { return mgr.onMsgManageQRUserApps(stream(addRecord(StreamBuilder())).get()); }, 1},
      {"DeleteApplication", 0x390000e1,
       [&] {
         return mgr.onMsgManageQRUserApps(
             stream(StreamBuilder().op(2).u32(4106, 2).u32(11764, static_cast<uint32_t>(id)).end()).get());
       },
       2},
      {"UpdateApplication", 0x390000e2,
       [&] {
         return mgr.onMsgManageQRUserApps(stream(
             StreamBuilder().op(3).u32(4106, 2).u32(11764, static_cast<uint32_t>(id)).text(11759, "t").end()).get());
       },
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    testkit::replicadb::failNext(c.call, -1, "service down %s");
    EXPECT_EQ(c.request(), 0);
    const auto replies = client.replies();
    ASSERT_FALSE(replies.empty());
    if (c.operation == 0)
      expectFailure(replies[0], 0x21, catalogueText(c.text));
    else
      EXPECT_EQ(itemsOf(replies[0]), operationReply(c.operation, 0, catalogueText(c.text)));
    EXPECT_TRUE(log.contains("service down %s"));
    log.clear();
  }
  EXPECT_EQ(stored(id).appName, "Database");
}

TEST_F(UserApps, AnUnknownElementEndsTheRequestAndTheRecordsBeforeItStayDone) {
  auto msg = stream(addRecord(StreamBuilder()).u32(9999, 1).op(2).u32(11764, 1).end());
  EXPECT_EQ(mgr.onMsgManageQRUserApps(msg.get()), 0);
  const auto replies = client.replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(tagsOf(replies[0]), (Tags{4001, 2051, 11764}));
  expectFailure(replies[1], 0x22, catalogueText(0x23000332, 9999u, getMessageName(9999)));
  EXPECT_EQ(testkit::replicadb::rows<QRUserAppDefsRecord_t>().size(), 1u);
  EXPECT_TRUE(testkit::replicadb::calls("DeleteApplication").empty());
}

// ---------------------------------------------------------------- delete and change

TEST_F(UserApps, ADeleteRemovesTheApplicationAndASecondDeleteOfItFails) {
  const int32_t id = seedApp("Database", "db");
  const auto record = StreamBuilder().op(2).u32(4106, 2).u32(11764, static_cast<uint32_t>(id)).end();
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(record).get()), 1);
  EXPECT_EQ(itemsOf(client.replies().at(0)), operationReply(2, 1, "Success"));
  EXPECT_TRUE(testkit::replicadb::rows<QRUserAppDefsRecord_t>().empty());
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(record).get()), 0);
  EXPECT_EQ(itemsOf(client.replies().at(0)), operationReply(2, 0, catalogueText(0x390000e1)));
}

TEST_F(UserApps, AChangeSetsOnlyTheTextsThatCameAndAreNotEmpty) {
  const int32_t id = seedApp("Database", "db");
  const uint32_t uid = static_cast<uint32_t>(id);
  const struct {
    const char* name;
    StreamBuilder stream;
    size_t updates;
    std::string mask;
  } cases[] = {
      {"empty name, new tag", StreamBuilder().op(3).u32(4106, 2).u32(11764, uid).text(11760, "").text(11759, "t2").end(),
       1, "4"},
      {"every text", StreamBuilder().op(3).u32(4106, 2).u32(11764, uid).text(11760, "N").text(11759, "T")
                         .text(11762, "r").text(11763, "s").end(), 1, "30"},
      {"only empty texts", StreamBuilder().op(3).u32(4106, 2).u32(11764, uid).text(11759, "").end(), 0, ""},
      {"no texts", StreamBuilder().op(3).u32(4106, 2).u32(11764, uid).end(), 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(c.stream).get()), 1);
    EXPECT_EQ(itemsOf(client.replies().at(0)), operationReply(3, 1, "Success"));
    const auto calls = testkit::replicadb::calls("UpdateApplication");
    ASSERT_EQ(calls.size(), c.updates);
    if (c.updates == 1) EXPECT_EQ(calls[0].args.back(), c.mask);
    else EXPECT_TRUE(logged(kManageTag, 7, "There is nothing to be updated for the QR User Application"));
    testkit::replicadb::reset();
  }
  const QRUserAppDefsRecord_t app = stored(id);
  EXPECT_EQ(app.appName, "N");
  EXPECT_EQ(app.appTag, "T");
  EXPECT_EQ(app.resumeScript, "r");
  EXPECT_EQ(app.suspendScript, "s");
  EXPECT_EQ(app.appId, 40);
}

TEST_F(UserApps, ALaterChangeRecordReusesTheTextsOfTheEarlierOnes) {
  const int32_t a = seedApp("A", "a");
  const int32_t b = seedApp("B", "b");
  auto msg = stream(StreamBuilder()
                        .op(3)
                        .u32(4106, 2)
                        .u32(11764, static_cast<uint32_t>(a))
                        .text(11760, "Renamed")
                        .end()
                        .u32(11764, static_cast<uint32_t>(b))
                        .text(11759, "tag")
                        .end());
  EXPECT_EQ(mgr.onMsgManageQRUserApps(msg.get()), 1);
  EXPECT_EQ(client.replies().size(), 2u);
  EXPECT_EQ(stored(a).appName, "Renamed");
  EXPECT_EQ(stored(b).appName, "Renamed");
  EXPECT_EQ(stored(b).appTag, "tag");
}

TEST_F(UserApps, TextsAreCutAt4103CharactersAndACutIsLogged) {
  auto b = StreamBuilder().op(1).u32(4106, 2).u32(11761, 1);
  b.text(11760, std::string(4104, 'n')).text(11759, std::string(4102, 't'));
  b.text(11762, std::string(4103, 'r')).text(11763, "s").end();
  EXPECT_EQ(mgr.onMsgManageQRUserApps(stream(b).get()), 1);
  const auto apps = testkit::replicadb::rows<QRUserAppDefsRecord_t>();
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(apps[0].appName, std::string(4103, 'n'));
  EXPECT_EQ(apps[0].appTag, std::string(4102, 't'));
  EXPECT_EQ(apps[0].resumeScript, std::string(4103, 'r'));
  EXPECT_TRUE(logged(kManageTag, 2, "Application name has been truncated. Buffer Size [4105], GUI Buffer Size [4104]"));
  EXPECT_TRUE(logged(kManageTag, 2, "Resume script has been truncated. Buffer Size [4104], GUI Buffer Size [4104]"));
  EXPECT_FALSE(log.contains(kManageTag, "Application Tag has been truncated"));
}

TEST(UserAppAndImportTexts, EveryMessageTheseRequestsSendHasATextOfItsOwn) {
  for (unsigned long id : {0x39000062ul, 0x39000063ul, 0x39000091ul, 0x390000dful, 0x390000e0ul, 0x390000e1ul,
                           0x390000e2ul, 0x390000eaul, 0x390000ebul, 0x390000ecul}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(catalogueText(id).rfind("message 0x", 0), std::string::npos) << catalogueText(id);
  }
}

// ---------------------------------------------------------------- fault sweep

TEST_F(UserApps, EveryFailingPlatformCallEndsInAnAnswerAndLeavesNoHalfChange) {
  const int32_t id = seedApp("Database", "db");
  const uint32_t uid = static_cast<uint32_t>(id);
  const struct {
    const char* name;
    std::function<void()> request;
    uint32_t listingId;
  } cases[] = {
      {"list", [this] { mgr.onMsgGetQRUserApps(simple(0).get()); }, 11766},
      // The add's answer ends with the new id, not with the status.
      {"add", [this] { mgr.onMsgManageQRUserApps(stream(addRecord(StreamBuilder())).get()); }, 1024},
      {"change", [&] {
         mgr.onMsgManageQRUserApps(
             stream(StreamBuilder().op(3).u32(4106, 2).u32(11764, uid).text(11760, "N").text(11763, "s").end()).get());
       }, 0},
      {"delete", [&] {
         mgr.onMsgManageQRUserApps(stream(StreamBuilder().op(2).u32(4106, 2).u32(11764, uid).end()).get());
       }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.request, c.listingId);
    EXPECT_TRUE(report.clean()) << report;
  }
}

}  // namespace
}  // namespace replicastest
