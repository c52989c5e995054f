// The media-agent requests: the agents a user may configure on (from the
// database), the rights-filtered list of library servers and the server
// names of a host, the agents free for a copy manager or a plug-and-play
// disk, candidates, and the change of the shown agents and plug-and-play
// disks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_agents/AgentsFixture.h"

namespace {

using agenttest::idText;
using agenttest::Items;
using agenttest::Message;
using agenttest::operationResponse;
using agenttest::statusReply;
using agenttest::text;
using tktest::le32;
using tktest::le64;

class MediaAgents : public agenttest::AgentsTest {
 protected:
  void SetUp() override {
    AgentsTest::SetUp();
    tkmac::clearLibServerNames();
  }
  void TearDown() override {
    tkmac::clearLibServerNames();
    AgentsTest::TearDown();
  }
  // Rows of agents in the database: id, name, display name, host, OS, attribute.
  void agentRows(const std::string& clients, const std::string& hosts) {
    ASSERT_EQ(m_db.exec("INSERT INTO APP_Client (id, name, displayName, net_hostname, simOperatingSystemId) VALUES " +
                        clients),
              0);
    ASSERT_EQ(m_db.exec("INSERT INTO MMHost (ClientId, Attribute) VALUES " + hosts), 0);
  }
  std::vector<Message> agents2(bool expected) {
    auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
    EXPECT_EQ(m_mgr.onMsgGetMMMediaAgents2(request.get()), expected);
    return ctltest::messagesOf(m_a.replies());
  }
  Items hosts(const std::string& host, uint32_t index, uint32_t rights = 17) {
    auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
    request->firstWord = rights;
    request->elementCount = index;
    EXPECT_TRUE(request->setPayloadText(8, host));
    EXPECT_TRUE(m_mgr.onMsgGetMMLibraryHosts(request.get()));
    return itemsOfOnlyReply(11156);
  }
  static Items hostItems(const std::vector<std::string>& names) {
    Items out;
    for (const std::string& n : names) {
      out.push_back({11089, n});
      out.push_back({2052, le32(0)});
    }
    return out;
  }
};

// ---------------------------------------------------------------- agents of the user

TEST_F(MediaAgents, TheUsersAgentsAreListedWithoutThoseFlaggedHidden) {
  agentRows("(101, 'maA', 'MA A', 'a.example.net', 12), (102, 'maB', '', 'b.example.net', 13), "
            "(103, 'maC', '', 'c.example.net', 14)",
            "(101, 0), (102, 8192), (103, 4096)");
  const std::vector<Message> expected = {
      {11072,
       {{2048, idText(101, "maA")}, {11030, le32(12)}, {11150, "MA A(a.example.net)"}, {2052, le32(0)},
        {2048, idText(103, "maC")}, {11030, le32(14)}, {11150, "maC(c.example.net)"}, {2052, le32(0)}}}};
  EXPECT_EQ(agents2(true), expected);
}

TEST_F(MediaAgents, AUserWhoseAgentsAreAllHiddenGetsAnEmptyBlockWithoutRefusal) {
  agentRows("(101, 'maA', '', 'a', 1), (102, 'maB', '', 'b', 1)", "(101, 8192), (102, 12288)");
  EXPECT_EQ(agents2(true), (std::vector<Message>{{11072, {}}}));
}

TEST_F(MediaAgents, AUserWithNoAgentRowIsDeniedInsideTheBlock) {
  agentRows("(101, 'maA', '', 'a', 1)", "(101, 0)");
  testkit::security::deny("canManageMediaAgent", ctltest::kUser);
  EXPECT_EQ(agents2(false),
            (std::vector<Message>{statusReply(0, text(0x240001EF, "Access Denied.")), {11072, {}}}));
}

// ---------------------------------------------------------------- library hosts

TEST_F(MediaAgents, EveryUsableLibraryServerIsListedByAttributeOrByTheDatabase) {
  ZQMACGraph::SetAttribute(m_world.agent2, 0x1000);
  ZQMACGraph::SetAttribute(ZQMACGraph::AddMediaAgent(config(), 4, "ma3", "ma3.example.net"), 0x2000);
  ZQMACGraph::AddMediaAgent(config(), 5, "ma4", "ma4.example.net");  // no database row: skipped
  ZQMACGraph::AddMediaAgent(config(), 6, "ma5", "ma5.example.net");  // pushed 0: skipped
  ASSERT_EQ(m_db.exec("INSERT INTO MMHost (ClientId, IsPushedToAnotherTK) VALUES (2, 1), (6, 0)"), 0);
  // Per-agent rights off: the user's rights do not matter.
  testkit::security::deny("canManageTarnkeep", ctltest::kUser);
  testkit::security::deny("canManageMediaAgent", ctltest::kUser);
  EXPECT_EQ(hosts("ZQ", 1000), hostItems({"ma1", "ma2", "ma3"}));

  SCOPED_TRACE("per-agent rights on: only the agents the user may manage");
  perMediaAgentRights(true);
  testkit::security::reset();
  testkit::security::deny("canManageTarnkeep", ctltest::kUser);
  testkit::security::deny("canManageMediaAgent", ctltest::kUser, 3);
  EXPECT_EQ(hosts("ZQ", 1000), hostItems({"ma1", "ma3"}));
  testkit::security::reset();
  testkit::security::deny("canManageMediaAgent", ctltest::kUser);
  EXPECT_EQ(hosts("ZQ", 1000), hostItems({"ma1", "ma2", "ma3"})) << "server rights keep every agent";
}

TEST_F(MediaAgents, AHostIsAskedForTheServerNamesOfTheVendorAtTheIndex) {
  ZQMACGraph::SetLibraryVendors(config(), true, {{"V1", "P1", "x"}, {"V2", "P2", "y"}});
  tkmac::setLibServerNames("ma1", {"ls-a", "ls-b"});
  tkmac::setLibServerNames("lshost", {"ls-c"});
  tkmac::setLibServerNames("ZQ", {"ls-zq"});
  struct Case {
    std::string host;
    uint32_t index;
    Items items;
    std::vector<std::string> call;  // empty: the model is not asked
  };
  const Case cases[] = {
      {"ma1", 1, hostItems({"ls-a", "ls-b"}), {"ma1", "V2", "P2"}},
      {"lshost", 0, hostItems({"ls-c"}), {"lshost", "V1", "P1"}},
      {"ZQ", 0, hostItems({"ls-zq"}), {"ZQ", "V1", "P1"}},
      {"ma1", 2, {}, {}},
      {"ma1", 0xFFFFFFFF, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host + " " + std::to_string(c.index));
    testkit::mac::journal().reset();
    EXPECT_EQ(hosts(c.host, c.index), c.items);
    const auto calls = testkit::mac::journal().calls("GetLibServerNameList");
    if (c.call.empty()) {
      EXPECT_TRUE(calls.empty());
    } else {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].args, c.call);
    }
  }
  // A host the installation does not know joins no configuration.
  EXPECT_EQ(config().FindDBNode("lshost"), nullptr);
  EXPECT_EQ(config().FindDBNode("ZQ"), nullptr);
}

// Unscripted, a host's library server serves the libraries of the vendor
// and product attached to it (by name or network name), by serial number
// in the order they were attached; an unreadable table answers no name.
TEST_F(MediaAgents, AnUnscriptedHostServesTheAttachedLibrariesOfTheVendor) {
  ZQMACGraph::SetLibraryVendors(config(), true, {{"V1", "P1", "x"}, {"V2", "P2", "y"}});
  agentRows("(41, 'srv1', 'srv1', 'srv1.example.net', 2)", "(41, 0)");
  ASSERT_EQ(m_db.exec("INSERT INTO MMAttachedLibrary (ClientId, Vendor, Product, SerialNumber, DeviceName) VALUES "
                      "(41, 'V1', 'P1', 'LS-B', '/dev/sg2'), (41, 'V2', 'P2', 'LS-X', '/dev/sg3'), "
                      "(41, 'V1', 'P1', 'LS-A', '/dev/sg4'), (41, 'V1', 'P9', 'LS-Z', '/dev/sg5')"),
            0);
  struct Case {
    std::string host;
    uint32_t index;
    Items items;
  };
  const Case cases[] = {
      {"srv1", 0, hostItems({"LS-B", "LS-A"})},
      {"srv1.example.net", 0, hostItems({"LS-B", "LS-A"})},
      {"srv1", 1, hostItems({"LS-X"})},
      {"elsewhere", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host + " " + std::to_string(c.index));
    EXPECT_EQ(hosts(c.host, c.index), c.items);
  }
  ASSERT_EQ(m_db.exec("ALTER TABLE MMAttachedLibrary RENAME TO MMAttachedLibraryAway"), 0);
  EXPECT_TRUE(hosts("srv1", 0).empty());
  ASSERT_EQ(m_db.exec("ALTER TABLE MMAttachedLibraryAway RENAME TO MMAttachedLibrary"), 0);
}

TEST_F(MediaAgents, AHostNameFillingTheWholeBodyIsReadWithinIt) {
  ZQMACGraph::SetLibraryVendors(config(), true, {{"V1", "P1", "x"}});
  auto request = m_a.request(ctltest::kSequence, 0, ctltest::kUser);
  request->elementCount = 0;
  std::memset(request->elementStream, 'h', sizeof request->elementStream);
  EXPECT_TRUE(m_mgr.onMsgGetMMLibraryHosts(request.get()));
  EXPECT_TRUE(itemsOfOnlyReply(11156).empty());
  const auto calls = testkit::mac::journal().calls("GetLibServerNameList");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args[0], std::string(sizeof request->elementStream, 'h'));
}

// ---------------------------------------------------------------- agents for a use, candidates

TEST_F(MediaAgents, TheAgentsForACopyManagerOrADiskAreThoseWithoutOne) {
  ZQMACMediaAgent* third = ZQMACGraph::AddMediaAgent(config(), 4, "ma3", "ma3.example.net");
  ZQMACGraph::SetOSId(third, 0x200000009ll);
  const Items free3 = {{2048, idText(4, "ma3")}, {11030, le32(9)}, {2052, le32(0)}};
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMMediaAgentsForLib, 11147, handleOf(m_world.lms)), free3);
  // No library found: every shown agent.
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMMediaAgentsForLib, 11147, 0).size(), 9u);
  // Another kind of object: nothing.
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMMediaAgentsForLib, 11147, handleOf(m_world.drive1)).empty());
  // ma1 has a copy manager already.
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMSoftwareCMMediaAgents, 11072, 0),
            (Items{{2048, idText(3, "ma2")}, {2052, le32(0)}, {2048, idText(4, "ma3")}, {2052, le32(0)}}));
}

TEST_F(MediaAgents, CandidatesAreTheAgentsOtherUnconfiguredControllersOrPaths) {
  ZQMACLibController* sibling = ZQMACGraph::AddLibController(m_world.lms, m_world.agent1, 53, "second path");
  ZQMACGraph::SetTexts(sibling, "", "sg2");
  ZQMACGraph::SetTexts(m_world.dms21, "", "nst1");
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMLibraryCandidates, 11145, handleOf(m_world.controller1)),
            (Items{{8215, idText(53, "sg2")}, {11003, le64(handleOf(sibling))}, {2052, le32(0)}}));
  EXPECT_EQ(get(&EvMMConfigMgr::onMsgGetMMDriveCandidates, 11143, handleOf(m_world.dms11)),
            (Items{{2240, idText(721, "nst1")}, {11003, le64(handleOf(m_world.dms21))}, {2052, le32(0)}}));
  for (unsigned long long wrong : {handleOf(m_world.dms11), handleOf(m_world.lms), 0ull}) {
    SCOPED_TRACE(wrong);
    EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMLibraryCandidates, 11145, wrong).empty());
  }
  EXPECT_TRUE(get(&EvMMConfigMgr::onMsgGetMMDriveCandidates, 11143, handleOf(m_world.controller1)).empty());
}

// ---------------------------------------------------------------- change

class MediaAgentsChange : public MediaAgents {
 protected:
  std::vector<Message> change(const tktest::StreamBuilder& s, bool expected) {
    return set(&EvMMConfigMgr::onMsgSetMMMediaAgents, s, expected);
  }
};

TEST_F(MediaAgentsChange, ChoosingAnUnknownNameCreatesTheAgentAndAnswersStatusTwo) {
  EXPECT_EQ(change(stream().op(15).pair(2048, 0, "ma2").end(), true),
            (std::vector<Message>{operationResponse(15, 1, "Success")}));
  EXPECT_FALSE(m_world.agent1->IsShown());
  EXPECT_TRUE(m_world.agent2->IsShown());
  EXPECT_EQ(change(stream().op(15).pair(2048, 0, "fresh").end(), true),
            (std::vector<Message>{operationResponse(15, 2, "Success")}));
  ZQMACMediaAgent* fresh = config().FindDBNode("fresh");
  ASSERT_NE(fresh, nullptr);
  EXPECT_TRUE(fresh->IsShown());
}

TEST_F(MediaAgentsChange, AnAgentTheConfigurationRefusesHidesNothing) {
  testkit::mac::ScopedHandleCounter exhausted(0);  // no handle left for a new agent
  const auto answers = change(stream().op(15).pair(2048, 0, "ma2").pair(2048, 0, "fresh").end(), false);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].items[1].second.substr(0, 4), le32(0));
  EXPECT_TRUE(m_world.agent1->IsShown());
  EXPECT_EQ(config().FindDBNode("fresh"), nullptr);
}

TEST_F(MediaAgentsChange, PlugAndPlayDisksGoToTheNamedAgentsOfALibraryOnly) {
  const unsigned long long lms = handleOf(m_world.lms);
  EXPECT_EQ(change(stream().op(1).handle(lms).pair(2048, 0, "ma1").pair(2048, 0, "ma2").end(), true),
            (std::vector<Message>{operationResponse(1, 1, "Success")}));
  const auto calls = testkit::mac::journal().calls("AddPnpDisk");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, (std::vector<std::string>{std::to_string(lms), "ma1,ma2"}));
  for (unsigned long long wrong : {0ull, handleOf(m_world.agent1), 0xFFFFFFFFull}) {
    SCOPED_TRACE(wrong);
    EXPECT_EQ(change(stream().op(1).handle(wrong).end(), false),
              (std::vector<Message>{operationResponse(1, 0, text(0x240001F3))}));
  }
  EXPECT_EQ(change(stream().op(1).end(), false), (std::vector<Message>{operationResponse(1, 0, text(0x240001F3))}));
  EXPECT_EQ(testkit::mac::journal().calls("AddPnpDisk").size(), 1u);
  testkit::mac::failNext("AddPnpDisk", 0x1F000077, "disk refused");
  EXPECT_EQ(change(stream().op(1).handle(lms).end(), false),
            (std::vector<Message>{operationResponse(1, 0, "disk refused")}));
  EXPECT_EQ(change(stream().op(7).end(), false),
            (std::vector<Message>{statusReply(0, "Received invalid operation type")}));
}

}  // namespace
