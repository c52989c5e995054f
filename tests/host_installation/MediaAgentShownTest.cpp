// The media agents the configuration shows, chosen through the real tkhost:
// what the choice answered "Success" for is what a new connection lists
// after a re-read (control 70) and what the host lists after a restart.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "frame/ElementTags.h"
#include "tests/host_installation/InstallationFixture.h"
#include "tests/mmconfig_control/ControlFixture.h"

namespace {

using installtest::bytesOf;
using tktest::le32;

class HostMediaAgentShown : public installtest::InstallationFixture {
 protected:
  // Operation 15 with these names, on a connection of its own that holds
  // the lock; its answers.
  std::vector<ctltest::Message> choose(const std::vector<std::string>& names) {
    const int fd = connect();
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(hosttest::takeLock(fd));
    std::string stream;
    tkwire::appendU32(stream, 4001, 15);
    for (const std::string& name : names) tkwire::appendElement(stream, tktag::kMediaAgent, le32(0) + name);
    tkwire::appendU32(stream, 2052, 0);
    const std::vector<ctltest::Message> answers =
        set(fd, "onMsgSetMMMediaAgents", stream, static_cast<uint32_t>(names.size() + 2), 2);
    EXPECT_TRUE(hosttest::releaseLock(fd, 3));
    ::close(fd);
    return answers;
  }

  // What the administrator's agent listing shows: each agent's id, name and
  // shown name.
  std::vector<std::string> listed(int fd, int64_t sequence) {
    std::vector<std::string> out;
    for (const std::vector<tkwire::Item>& r : listing(fd, "onMsgGetMMMediaAgents2", sequence))
      out.push_back(bytesOf(r, tktag::kMediaAgent) + "|" + bytesOf(r, tktag::kDetail));
    return out;
  }

  // An agent as the listing shows it: id and name, shown name.
  std::string agent(const std::string& name, const std::string& shownName) {
    const long long id = m_db.scalar("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ?", {name});
    return le32(static_cast<uint32_t>(id)) + name + "|" + shownName;
  }
};

TEST_F(HostMediaAgentShown, TheAgentsChosenAreListedAfterAReReadAndARestartAndAChoiceThatIsRefusedChangesNothing) {
  const std::string tooLong(600, 'x');
  struct Row {
    const char* name;
    std::vector<std::vector<std::string>> choices;  // one request each, in order
    std::vector<ctltest::Message> lastAnswer;
    std::vector<std::pair<std::string, std::string>> listedAgents;  // name, shown name
  };
  const std::vector<Row> rows = {
      {"an agent for a new name is made, stored and shown beside a known one (status 2)",
       {{"ma1", "fresh"}},
       {ctltest::operationResponse(15, 2, "Success")},
       {{"ma1", "ma1(ma1.example.net)"}, {"fresh", "fresh(fresh)"}}},
      {"a second choice of known agents replaces the first and shows a hidden one again (status 1)",
       {{"ma1"}, {"ma2"}},
       {ctltest::operationResponse(15, 1, "Success")},
       {{"ma2", "ma2(ma2.example.net)"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Every row starts with every agent shown, as the host reads them anew.
    ASSERT_EQ(m_db.exec("UPDATE \"MMHost\" SET \"Attribute\" = \"Attribute\" & ~8192"), 0);
    ASSERT_TRUE(restart()) << host().log();
    std::vector<ctltest::Message> answers;
    for (const std::vector<std::string>& names : row.choices) answers = choose(names);
    EXPECT_EQ(answers, row.lastAnswer);
    std::vector<std::string> expected;
    for (const auto& [name, shownName] : row.listedAgents) expected.push_back(agent(name, shownName));
    for (const bool restarted : {false, true}) {
      SCOPED_TRACE(restarted ? "after a restart" : "a new connection after control 70");
      if (restarted) {
        ASSERT_TRUE(restart()) << host().log();
      }
      const int fd = connect();
      ASSERT_GE(fd, 0);
      ASSERT_TRUE(hosttest::takeLock(fd));
      EXPECT_EQ(control(fd, 70, 0, 2), (std::vector<ctltest::Message>{ctltest::operationResponse(70, 1, "Success")}));
      EXPECT_EQ(listed(fd, 3), expected);
      EXPECT_TRUE(hosttest::releaseLock(fd, 4));
      ::close(fd);
    }
  }

  SCOPED_TRACE("a name no client can have");
  const std::vector<std::string> before = {agent("ma2", "ma2(ma2.example.net)")};  // the last row's choice
  EXPECT_EQ(choose({"ma1", tooLong}), (std::vector<ctltest::Message>{ctltest::operationResponse(
                                          15, 0, "The media agent name is longer than 511 bytes.")}));
  EXPECT_EQ(m_db.scalar("SELECT COUNT(*) FROM \"APP_Client\" WHERE \"name\" = ?", {tooLong}), 0);
  const int fd = connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(hosttest::takeLock(fd));
  EXPECT_EQ(listed(fd, 2), before);
  // The session shows what it showed, and not the agent it could not store.
  const auto offered = listing(fd, "onMsgGetMMSoftwareCMMediaAgents", 3);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(bytesOf(offered[0], tktag::kMediaAgent), le32(2) + "ma2");
  EXPECT_TRUE(hosttest::releaseLock(fd, 4));
  ::close(fd);
}

}  // namespace
