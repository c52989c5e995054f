// The NAS words of the console against the real host seeded with the
// demonstration NAS client (client 102, filer1) and its media agent
// (client 103, nasma1).
#include <gtest/gtest.h>

#include "tests/console/ConsoleFixture.h"

namespace consoletest {
namespace {

TEST_F(ConsoleFixture, NasWordsListServersPropertiesAgentsAndClients) {
  const struct {
    std::vector<std::string> words;
    std::string shown;
  } cases[] = {
      {{"ndmp-servers"}, "\"filer1\""},
      {{"ndmp-server", "102"}, "login \"root\""},
      {{"ndmp-server", "0", "filer1"}, "login \"root\""},
      {{"media-agents"}, "103 \"nasma1\""},
      {{"nas-clients"}, "\"nasma1\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words[0]);
    const ConsoleRun run = console(c.words);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(c.shown), std::string::npos) << run.out;
  }
}

TEST_F(ConsoleFixture, NasWordsRefuseWrongArgumentsAndAnAddIsAFailure) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"ndmp-servers", "x"}, {"ndmp-server"}, {"ndmp-server", "1", std::string(256, 'n')},
        {"nas-clients", "1"}, {"nas-remove", "1", "filer1"}}) {
    SCOPED_TRACE(words[0]);
    EXPECT_EQ(console(words).status, 64);
  }
  EXPECT_EQ(console({"onMsgSetNASClient", "4001=1", "2052=0"}).status, 3);
}

}  // namespace
}  // namespace consoletest
