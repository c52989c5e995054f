// The NAS-client services as the host process offers them: installed with
// the first handler objects, answering from the central database, with a
// media agent's service on whichever host a NAS client is proxied by.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "entry/HostEntry.h"
#include "nas/clients/NasClientConfigInterface.h"
#include "platform/testkit/client.h"
#include "platform/testkit/clock.h"
#include "platform/testkit/nasclient.h"
#include "tests/support/TestDatabase.h"

namespace {

namespace nk = testkit::nasclient;

// Destroys handler objects the way the host does, also when an assertion
// ends the test early.
struct DestroyHandlers {
  void operator()(TkHandlers* handlers) const { TkHostDestroyHandlers(handlers); }
};
using OwnedHandlers = std::unique_ptr<TkHandlers, DestroyHandlers>;

class NasHostServices : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::client::reset();
    testkit::client::PlatformSettings settings;
    settings.tarnkeeperHostName = "central7";
    testkit::client::setPlatformInfo(settings);
    // No service of an earlier test is left, and none is installed: the
    // handler objects made below must install the host's own.
    nk::clear();
  }
  void TearDown() override {
    nk::clear();
    testkit::client::reset();
  }

  tktest::TestDatabase db;
  testkit::clock::FakeClock clock;  // attach retries pause on it, not in real time
};

TEST_F(NasHostServices, TheHostsServicesAnswerFromTheCentralDatabase) {
  ASSERT_EQ(db.exec("INSERT INTO APP_Client (id, name, net_hostname) VALUES (4, 'agent4', 'agent4.lab'), "
                    "(5, 'hidden5', ''), (6, 'agent6', 'agent6.lab'); "
                    "INSERT INTO MMHost (ClientId, Attribute) VALUES (4, 0), (5, 8192), (6, 1); "
                    "INSERT INTO archGroup (id, name, type) VALUES (9, 'policy9', 2)"),
            0);

  OwnedHandlers handlers(TkHostCreateHandlers());
  ASSERT_NE(handlers, nullptr);
  {
    NasClientConfigInterface nas;
    NasMediaAgentItem* agents = nullptr;
    int count = 0;
    ASSERT_TRUE(nas.GetNasMediaAgentList(agents, count)) << nas.GetErrorText();
    ASSERT_EQ(count, 2);  // the hidden agent is left out
    EXPECT_STREQ(agents[0].GetName(), "agent4");
    EXPECT_STREQ(agents[1].GetHostname(), "agent6.lab");
    EXPECT_EQ(agents[1].GetId(), 6);
    StoragePolicyItem* policies = nullptr;
    ASSERT_TRUE(nas.GetStoragePolicyList(policies, count));
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(policies[0].GetName(), "policy9");

    // The media agent's stage reaches the proxy's own host; the row is the
    // central server's.
    int out = 7;
    ASSERT_TRUE(nas.ConfigureNasClient("agent6.lab", "filer8", nullptr, 1, 2, 3, out)) << nas.GetErrorText();
    EXPECT_FALSE(nas.ConfigureNasClient("agent6.lab", "FILER8", nullptr, 1, 2, 3, out));
    EXPECT_EQ(nas.GetErrorCode(), tknasclient::kServiceError);
    EXPECT_STREQ(nas.GetErrorText(), "NAS client [FILER8] exists.");
    ASSERT_TRUE(nas.RemoveNasClient(0, "filer8", nullptr)) << nas.GetErrorText();
  }
  handlers.reset();
  const auto rows = db.query("SELECT name, proxyMediaAgent, deleted FROM NasClient");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(tkdb::textOf(rows[0][0]), "filer8");
  EXPECT_EQ(tkdb::textOf(rows[0][1]), "agent6.lab");
  EXPECT_EQ(rows[0][2].i, 1);
  const auto taken = nk::configurations();
  ASSERT_EQ(taken.size(), 1u);  // the refused add never reached the agent
  EXPECT_EQ(taken[0].host, "agent6.lab");
  EXPECT_EQ(taken[0].text2, "filer8");
}

}  // namespace
