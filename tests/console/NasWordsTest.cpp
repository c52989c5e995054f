// The NAS words of the console against the real host seeded with the
// demonstration NAS client (client 102, filer1) and its media agent
// (client 103, nasma1).
#include <gtest/gtest.h>

#include "tests/console/ConsoleFixture.h"
#include "tests/support/TestDatabase.h"

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

// The NAS-client service lists clients by name only, so the listing's
// client id is always 0: the console says so rather than show filer1
// (client 102) as a client with id 0.
TEST_F(ConsoleFixture, TheNasClientListingShowsThatItCarriesNoClientId) {
  const ConsoleRun run = console({"nas-clients"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("(client) len 10: (no id listed) \"filer1\"\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(": 0 \"filer1\""), std::string::npos) << run.out;
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

// The operator may look, not change: each refusal says which user it
// refused, and the client stays as it was.
TEST_F(ConsoleFixture, TheOperatorsNasClientChangesAreRefusedNamingTheLogin) {
  const std::string reason = "User [operator] may look at but not change the installation.";
  const struct {
    const char* word;
    std::string text;
  } cases[] = {
      {"nas-remove", "You may not remove this NAS client: " + reason},
      {"nas-restore", "You may not restore the NAS client [filer1]: " + reason},
  };
  // Granted library 1 alone, the operator passes the host's check (which
  // refuses every change to a user who may change nothing) and meets the
  // handler's own question about the client.
  tktest::TestDatabase database;
  hosttest::Host table(m_dir, m_dir.file("table.sock"), {"--seed-demo"},
                       {{"TK_RIGHTS", "table"}, {"TK_LOCK_DIR", m_dir.file("locks")}, {"TK_DB", database.path()}},
                       "table");
  ASSERT_TRUE(table.up()) << table.log();
  ASSERT_EQ(database.exec("INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") "
                          "VALUES (2, 'Library', 1, 1)"),
            0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    const ConsoleRun run =
        runConsole(m_dir, {"--socket", table.socket()}, {"--user", "2", c.word, "102", "filer1", "nasma1"});
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_EQ(run.out, "reply 1024 seq 1\n  tag 2051 (status) len " + std::to_string(4 + c.text.size()) +
                           ": 0 (failure) \"" + c.text + "\"\n");
  }
  EXPECT_NE(runConsole(m_dir, {"--socket", table.socket()}, {"nas-clients"}).out.find("  tag 7501 (deleted) len 4: 0\n"),
            std::string::npos);
}

TEST_F(ConsoleFixture, AnNdmpServerIsDetectedAddedAndDeletedWithEncryptedCredentials) {
  const std::vector<std::string> server = {"onMsgSetMMNDMPServer", "4106=2", "11058=filer2", "11062=enc:root"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> words = server;
    words.insert(words.end(), more.begin(), more.end());
    words.push_back("2052=0");
    return console(words);
  };
  const ConsoleRun detected = with({"4001=58", "11063=enc:demo"});
  EXPECT_EQ(detected.status, 0) << detected.err;
  EXPECT_NE(detected.out.find("11154"), std::string::npos) << detected.out;
  EXPECT_EQ(with({"4001=58", "11063=enc:wrong"}).status, 3);
  const ConsoleRun added = with({"4001=1", "11063=enc:demo", "11064=6", "11066=0", "11065=9.1P2"});
  EXPECT_EQ(added.status, 0) << added.err << added.out;
  EXPECT_NE(console({"ndmp-servers"}).out.find("\"filer2\""), std::string::npos);
  EXPECT_EQ(with({"4001=2"}).status, 0);
  EXPECT_EQ(console({"ndmp-servers"}).out.find("\"filer2\""), std::string::npos);
}

}  // namespace
}  // namespace consoletest
