// Every handler of the media-agent, library-controller and copy-manager
// families under the fault sweep: a session loaded from the demonstration
// installation in the database, then each request made once for every
// platform call failing in turn. Every run must end with the request's
// reply or an answer on the client's socket, list no more than the clean
// run, and leave the database as it was or as the clean run left it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/mac/ZQMACPlatform.h"
#include "tests/mmconfig_agents/AgentsFixture.h"
#include "tests/support/DatabaseSession.h"
#include "tests/support/FaultSweep.h"

namespace {

using agenttest::Handler;

struct Demo {
  unsigned long long lms = 0, controller = 0, path = 0, copyDevice = 0, copyController = 0;
  std::string agent;
};

class AgentsFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    ctltest::resetStandIns();
    testkit::mac::reset();
    tkmac::clearLibServerNames();
    std::string report;
    ASSERT_GT(tkmac::seedDemoInstallation(report), 0) << report;
    // The demonstration installation has no copy manager: one stored on its
    // first media agent.
    ASSERT_EQ(m_db.exec("INSERT INTO MMCopyManager (CopyManagerId, CopyManagerName, ConcurrencyLimit, ClientId, "
                        "ControllerName) VALUES (900, 'CM-demo', 0, (SELECT MIN(ClientId) FROM MMHost), "
                        "'CM-demo ctl')"),
              0);
  }
  void TearDown() override {
    tktest::resetSessionState();
    testkit::mac::reset();
    tkmac::clearLibServerNames();
    ctltest::resetStandIns();
  }

  void freshSession() {
    ctltest::resetStandIns();
    tktest::resetSessionState();
    ZQMACMediaConfig* config = tktest::openDatabaseSession(m_a, kUser);
    ASSERT_NE(config, nullptr);
    ZQMACLms* lms = config->GetLmsList().GetFirstNode();
    ASSERT_NE(lms, nullptr);
    ZQMACMediaAgent* agent = config->GetMediaAgentList().GetFirstNode();
    ASSERT_NE(agent, nullptr);
    m_demo.lms = config->GetHandle(lms);
    m_demo.controller = config->GetHandle(lms->GetLibControllerList().GetFirstNode());
    m_demo.path = config->GetHandle(lms->GetDmsList().GetFirstNode());
    m_demo.agent = agent->GetName();
    m_demo.copyDevice = config->GetHandle(config->GetCopyMgrDeviceList().GetFirstNode());
    m_demo.copyController = config->GetHandle(config->GetCopyMgrControllerList().GetFirstNode());
    ASSERT_NE(m_demo.copyController, 0u);
    ZQMACGraph::SetLibraryVendors(*config, true, {{"DEMO", "CHANGER", ""}});
    tkmac::setLibServerNames(agent->GetName(), {"ls-demo"});
    m_a.replies();
  }

  // `replyId` 0: a Set, answered by operation responses.
  tktest::SweepReport sweep(Handler handler, uint32_t replyId,
                            std::function<std::unique_ptr<MessageInfo>(const Demo&)> build) {
    tktest::SweepPlan plan;
    size_t cleanItems = 0;
    plan.setup = [&] { freshSession(); };
    plan.request = [&] {
      std::unique_ptr<MessageInfo> request = build(m_demo);
      (m_mgr.*handler)(request.get());
    };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const std::vector<tkwire::Reply> replies = m_a.replies();
      const tkwire::Reply* reply = nullptr;
      for (const tkwire::Reply& r : replies)
        if (replyId != 0 && r.messageId == replyId) reply = &r;
      if (reply == nullptr) return tktest::answeredOnSocket(replies, run);
      if (reply->sequence != ctltest::kSequence) return "the reply answers another request";
      if (run.k == 0) cleanItems = reply->items.size();
      else if (reply->items.size() > cleanItems) return "a failing run listed more than the clean one";
      return "";
    };
    return tktest::FaultSweep().run(plan);
  }

  std::unique_ptr<MessageInfo> get(unsigned long long handle) const {
    auto request = m_a.request(ctltest::kSequence, 0, kUser);
    request->objectHandle = handle;
    return request;
  }
  tktest::StreamBuilder stream() const {
    return tktest::StreamBuilder().socket(m_a.socket().GetSocketDescriptor()).user(kUser).sequence(ctltest::kSequence);
  }

  static constexpr uint32_t kUser = 7;
  tktest::TestDatabase m_db;
  tktest::Connection m_a;
  EvMMConfigMgr m_mgr;
  Demo m_demo;
};

TEST_F(AgentsFaultSweep, EveryFailingCallEndsWithAnAnswerAndNoHalfChange) {
  struct Case {
    const char* name;
    Handler handler;
    uint32_t replyId;
    std::function<std::unique_ptr<MessageInfo>(const Demo&)> build;
  };
  const auto hosts = [this](const std::string& host, uint32_t index) {
    return [this, host, index](const Demo& d) {
      auto request = get(0);
      request->firstWord = 1;
      request->elementCount = index;
      request->setPayloadText(8, host.empty() ? d.agent : host);
      return request;
    };
  };
  const Case cases[] = {
      {"controllers", &EvMMConfigMgr::onMsgGetMMLibraryControllers, 11173, [this](const Demo& d) { return get(d.lms); }},
      {"controller", &EvMMConfigMgr::onMsgGetMMLibraryControllerProperties, 11173,
       [this](const Demo& d) { return get(d.controller); }},
      {"controller change", &EvMMConfigMgr::onMsgSetMMLibraryController, 0,
       [this](const Demo& d) {
         return stream().op(3).handle(d.controller).pair(11007, static_cast<uint32_t>(d.controller), "").end().build();
       }},
      {"agents of the user", &EvMMConfigMgr::onMsgGetMMMediaAgents2, 11072, [this](const Demo&) { return get(0); }},
      {"agents for a copy manager", &EvMMConfigMgr::onMsgGetMMSoftwareCMMediaAgents, 11072,
       [this](const Demo&) { return get(0); }},
      {"agents for a library", &EvMMConfigMgr::onMsgGetMMMediaAgentsForLib, 11147,
       [this](const Demo& d) { return get(d.lms); }},
      {"library candidates", &EvMMConfigMgr::onMsgGetMMLibraryCandidates, 11145,
       [this](const Demo& d) { return get(d.controller); }},
      {"drive candidates", &EvMMConfigMgr::onMsgGetMMDriveCandidates, 11143,
       [this](const Demo& d) { return get(d.path); }},
      {"library servers", &EvMMConfigMgr::onMsgGetMMLibraryHosts, 11156, hosts("ZQ", 1000)},
      {"server names", &EvMMConfigMgr::onMsgGetMMLibraryHosts, 11156, hosts("", 0)},
      {"shown agents", &EvMMConfigMgr::onMsgSetMMMediaAgents, 0,
       [this](const Demo& d) { return stream().op(15).pair(2048, 0, d.agent).pair(2048, 0, "new-ma").end().build(); }},
      {"plug-and-play disk", &EvMMConfigMgr::onMsgSetMMMediaAgents, 0,
       [this](const Demo& d) { return stream().op(1).handle(d.lms).pair(2048, 0, d.agent).end().build(); }},
      {"copy-manager devices", &EvMMConfigMgr::onMsgGetMMCMDevices, 11118, [this](const Demo&) { return get(0); }},
      {"copy-manager device", &EvMMConfigMgr::onMsgGetMMCMDeviceProperties, 11118,
       [this](const Demo& d) { return get(d.copyDevice); }},
      {"copy-manager controllers", &EvMMConfigMgr::onMsgGetMMCMControllers, 11122,
       [this](const Demo& d) { return get(d.copyDevice); }},
      {"copy-manager controller", &EvMMConfigMgr::onMsgGetMMCMControllerProperties, 11122,
       [this](const Demo& d) { return get(d.copyController); }},
      {"device change", &EvMMConfigMgr::onMsgSetMMCMDevice, 0,
       [this](const Demo& d) {
         return stream().op(3).handle(d.copyDevice).pair(11119, 0, "CM-renamed").u32(11167, 6).end().build();
       }},
      {"software copy manager", &EvMMConfigMgr::onMsgSetMMCMController, 0,
       [this](const Demo& d) { return stream().op(1).u32(4106, 1).pair(2048, 0, d.agent).u32(11167, 2).end().build(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(c.handler, c.replyId, c.build);
    EXPECT_TRUE(report.clean()) << report;
    EXPECT_GE(report.runs, 2) << report;
  }
}

}  // namespace
