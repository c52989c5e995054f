// Archive clusters: the list, the properties with the agents that can serve
// a cluster, detection through an access node, the Centera agents, and
// adding, changing and removing clusters, each read back from a new load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testkit/centera.h"
#include "platform/testkit/mmdb.h"
#include "tests/mmconfig_drucluster/StoredFixture.h"

namespace {

using arctest::Answers;
using arctest::Handler;
using arctest::idText;
using arctest::Items;
using arctest::operationResponse;
using tktest::le32;

const std::string kNodeA = "node-a.example.net";
const std::string kNodeB = "node-b.example.net";
const std::string kNodeC = "node-c.example.net";

class Clusters : public arctest::StoredTest {
 protected:
  void SetUp() override {
    StoredTest::SetUp();
    testkit::centera::reset();
    centeraAgents();
  }
  void TearDown() override {
    testkit::centera::reset();
    testkit::mmdb::stop();
    StoredTest::TearDown();
  }
  // ma1 serves archive clusters; a new load forgets it, so each session is told again.
  void centeraAgents() {
    ZQMACGraph::SetCenteraAgent(m_config->FindDBNode<ZQMACMediaAgent>(1), true);
  }
  void reload() {
    freshSession();
    centeraAgents();
  }
  Items list() { return get(&EvMMConfigMgr::onMsgGetCenteraClusterList, 11402, stream()); }
  Items properties(uint32_t id) {
    return get(&EvMMConfigMgr::onMsgGetCenteraClusterProperties, 11404, stream().count(id));
  }
  Items detect(uint32_t agent, const std::string& address, bool expected) {
    return get(&EvMMConfigMgr::onMsgDetectCenteraCluster, 11404, stream().count(agent).payloadText(8, address),
               expected);
  }
  Answers setCluster(const tktest::StreamBuilder& request, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetCenteraCluster, request, expected);
  }
  tktest::StreamBuilder withValues(tktest::StreamBuilder s, const std::string& name, const std::string& version,
                                   const std::vector<std::string>& nodes) const {
    s.text(11411, "cas-" + name).text(11405, "ID-" + name).text(11406, "5000").text(11407, version);
    for (const std::string& node : nodes) s.text(11408, node);
    return s;
  }
  tktest::StreamBuilder addCluster(const std::string& name, const std::vector<std::string>& nodes) const {
    return withValues(stream().op(48).pair(11400, 0, name), name, "4.0", nodes).end();
  }
  bool sweepOf(const tktest::StreamBuilder& request) {
    m_report = sweep([&] {
      auto message = request.build();
      m_mgr.onMsgSetCenteraCluster(message.get());
    });
    return m_report.clean();
  }
  tktest::SweepReport m_report;

  static Items clusterItems(uint32_t id, const std::string& name, const std::string& version,
                            const std::vector<std::string>& nodes) {
    Items items{{11400, idText(id, name)}, {11411, "cas-" + name}, {11405, "ID-" + name}, {11406, "5000"},
                {11407, version}};
    for (const std::string& node : nodes) items.push_back({11408, node});
    items.push_back({2048, idText(1, "ma1")});
    items.push_back({2052, le32(0)});
    return items;
  }
};

TEST_F(Clusters, AnAddedClusterIsStoredAndReadBackWithItsAgents) {
  EXPECT_EQ(list(), Items{});
  EXPECT_EQ(properties(0), (Items{{2048, idText(1, "ma1")}, {2052, le32(0)}}));
  EXPECT_EQ(setCluster(addCluster("Arc1", {kNodeB, kNodeA}), true), (Answers{operationResponse(48, 1, "Success")}));
  reload();
  EXPECT_EQ(list(), (Items{{11400, idText(1, "Arc1")}}));
  EXPECT_EQ(properties(1), clusterItems(1, "Arc1", "4.0", {kNodeA, kNodeB}));
}

TEST_F(Clusters, AChangeRemovesTheNodesItLacksThenAddsAllOfItsOwnAndARemovalDeletesTheRows) {
  setCluster(addCluster("Arc1", {kNodeA, kNodeB}), true);
  testkit::mac::journal().reset();
  EXPECT_EQ(setCluster(withValues(stream().op(3).pair(11400, 1, "Arc2"), "Arc2", "5.1", {kNodeC, kNodeB}).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  std::vector<std::string> nodeCalls;
  for (const auto& call : testkit::mac::journal().calls())
    if ((call.name == "AddAccessNode" || call.name == "RemoveAccessNode") && call.args.front() != "0")  // not staging
      nodeCalls.push_back(call.name + " " + call.args.back());
  EXPECT_EQ(nodeCalls, (std::vector<std::string>{"RemoveAccessNode " + kNodeA, "AddAccessNode " + kNodeB,
                                                 "AddAccessNode " + kNodeC}));
  reload();
  EXPECT_EQ(properties(1), clusterItems(1, "Arc2", "5.1", {kNodeB, kNodeC}));

  // A change without access nodes removes them all.
  EXPECT_EQ(setCluster(withValues(stream().op(3).pair(11400, 1, "Arc2"), "Arc2", "5.1", {}).end(), true),
            (Answers{operationResponse(3, 1, "Success")}));
  reload();
  EXPECT_EQ(properties(1), clusterItems(1, "Arc2", "5.1", {}));

  EXPECT_EQ(setCluster(stream().op(2).pair(11400, 1, "").end(), true), (Answers{operationResponse(2, 1, "Success")}));
  reload();
  EXPECT_EQ(list(), Items{});
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM MMCenteraCluster") + m_db.scalar("SELECT COUNT(*) FROM MMCenteraAccessNode"), 0);
}

TEST_F(Clusters, RefusalsAnswerTheirRecordAndTheRequestGoesOnButEndsFalse) {
  setCluster(addCluster("Arc1", {kNodeA}), true);
  setCluster(addCluster("Arc2", {kNodeA}), true);
  const std::string inUse = "An archive cluster named [Arc1] exists already.";
  const Answers answers = setCluster(stream()
                                         .op(2).pair(11400, 9, "").end()
                                         .op(3).end()
                                         .op(48).pair(11400, 0, "ARC1").end()
                                         .op(5).end()
                                         .op(3).pair(11400, 2, "Arc1").end(),
                                     false);
  EXPECT_EQ(answers, (Answers{operationResponse(2, 0, "Centera Cluster not found!"),
                              operationResponse(3, 0, "Centera Cluster not found!"),
                              operationResponse(48, 0, ctltest::text(0x240001B9, "ARC1",
                                                                     "An archive cluster named [ARC1] exists already.")),
                              operationResponse(5, 0, "Received invalid operation type"),
                              operationResponse(3, 0, inUse)}));
  reload();
  EXPECT_EQ(list(), (Items{{11400, idText(1, "Arc1")}, {11400, idText(2, "Arc2")}}));
}

TEST_F(Clusters, AChangeRefusedAtItsLastStepLeavesTheClusterAsItWas) {
  setCluster(addCluster("Arc1", {kNodeA}), true);
  testkit::mmdb::reset();
  testkit::mmdb::failNext("MMCenteraClusterDB::addAccessNode", 7, "node refused");
  EXPECT_EQ(setCluster(withValues(stream().op(3).pair(11400, 1, "Arc9"), "Arc9", "7.0", {kNodeC}).end(), false),
            (Answers{operationResponse(3, 0, "node refused")}));
  EXPECT_EQ(properties(1), clusterItems(1, "Arc1", "4.0", {kNodeA}));
  reload();
  EXPECT_EQ(properties(1), clusterItems(1, "Arc1", "4.0", {kNodeA}));
}

TEST_F(Clusters, DetectionReadsTheClusterThroughTheAgentOrAnswersWhyNot) {
  testkit::centera::setCluster(kNodeA, {"ID-77", "cas-77", 123456, "6.2"});
  EXPECT_EQ(detect(1, kNodeA, true),
            (Items{{11411, "cas-77"}, {11405, "ID-77"}, {11406, "123456"}, {11407, "6.2"}, {2052, le32(0)}}));
  const auto calls = testkit::centera::journal().calls("queryCluster");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{"ma1", kNodeA}));

  EXPECT_EQ(detect(9, kNodeA, false), (Items{{2051, idText(0, "MediaAgent not found!")}, {2052, le32(0)}}));
  EXPECT_EQ(detect(1, kNodeB, false),
            (Items{{2051, idText(0, "No archive cluster answers at [" + kNodeB + "].")}, {2052, le32(0)}}));
  // An address that fills the request body without an end is read within it.
  auto message = stream().count(1).payloadText(8, std::string(MessageInfo::kPayloadSize - 9, 'x')).build();
  message->payload()[MessageInfo::kPayloadSize - 1] = 'x';
  EXPECT_FALSE(m_mgr.onMsgDetectCenteraCluster(message.get()));
  const Answers answers = ctltest::messagesOf(m_a.replies());
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_EQ(answers[0].items.size(), 2u);
  EXPECT_EQ(answers[0].items[0].first, 2051u);
  // Too long for an address; the reason is cut as every id+text item is.
  const std::string& reason = answers[0].items[0].second;
  EXPECT_EQ(reason.size(), 4u + 4099u);
  EXPECT_EQ(reason.substr(0, 25), idText(0, "The access node [xxxx"));
}

TEST_F(Clusters, TheCenteraAgentsAreListedAlsoWhenHiddenButNeverWhenForeign) {
  ZQMACMediaAgent* ma1 = m_config->FindDBNode<ZQMACMediaAgent>(1);
  ZQMACMediaAgent* ma2 = m_config->FindDBNode<ZQMACMediaAgent>(2);
  ma1->SetShown(false);
  ZQMACGraph::SetCenteraAgent(ma2, true);
  ZQMACGraph::SetForeign(ma2, true);
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetCenteraMediaAgents, 11413, stream()), (Items{{2048, idText(1, "ma1")}}));
  // The properties offer only shown agents.
  EXPECT_EQ(properties(0), (Items{{2052, le32(0)}}));
}

TEST_F(Clusters, EveryFailingCallOfAnAddOrADetectionEndsInAnAnswerAndNoHalfChange) {
  testkit::centera::setCluster(kNodeA, {"ID-77", "cas-77", 1, "6.2"});
  EXPECT_TRUE(sweepOf(addCluster("Arc1", {kNodeA, kNodeB}))) << m_report;
  // A detection's answer is its reply, whether it ends in a failure item or not.
  tktest::SweepPlan plan;
  plan.setup = [&] { freshSession(); };
  plan.request = [&] {
    auto message = stream().count(1).payloadText(8, kNodeA).build();
    m_mgr.onMsgDetectCenteraCluster(message.get());
  };
  plan.check = [&](const tktest::SweepRun& run) {
    const auto replies = m_a.replies();
    return replies.empty() ? tktest::answeredOnSocket(replies, run) : std::string();
  };
  const tktest::SweepReport detection = tktest::FaultSweep().run(plan);
  EXPECT_TRUE(detection.clean()) << detection;
}

TEST_F(Clusters, EveryFailingCallOfTheListingsEndsInAnAnswerAndChangesNothing) {
  setCluster(addCluster("Arc1", {kNodeA, kNodeB}), true);
  const auto sweepOfListing = [&](Handler handler, tktest::StreamBuilder request, uint32_t replyId) {
    return sweepListing([&] { (m_mgr.*handler)(request.build().get()); }, replyId, [&] { reload(); });
  };
  const tktest::SweepReport clusters = sweepOfListing(&EvMMConfigMgr::onMsgGetCenteraClusterList, stream(), 11402);
  EXPECT_TRUE(clusters.clean()) << clusters;
  const tktest::SweepReport properties =
      sweepOfListing(&EvMMConfigMgr::onMsgGetCenteraClusterProperties, stream().count(1), 11404);
  EXPECT_TRUE(properties.clean()) << properties;
  const tktest::SweepReport agents = sweepOfListing(&EvMMConfigMgr::onMsgGetCenteraMediaAgents, stream(), 11413);
  EXPECT_TRUE(agents.clean()) << agents;
}

TEST_F(Clusters, EveryFailingCallOfAChangeOrARemovalEndsInAnAnswerAndNoHalfChange) {
  setCluster(addCluster("Arc1", {kNodeA, kNodeB}), true);
  EXPECT_TRUE(sweepOf(withValues(stream().op(3).pair(11400, 1, "Arc2"), "Arc2", "5.0", {kNodeB, kNodeC}).end()))
      << m_report;
  EXPECT_TRUE(sweepOf(stream().op(2).pair(11400, 1, "").end())) << m_report;
}

}  // namespace
