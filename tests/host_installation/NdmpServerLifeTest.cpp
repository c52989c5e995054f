// The README's NDMP server, added as written on the demonstration
// installation: its properties answer in the session, on a new connection
// after a re-read and after a restart, and the library behind it takes a
// controller.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/host_installation/InstallationFixture.h"

namespace {

// The README's add of filer2 (the demonstration filer accepts root/demo).
const std::vector<std::string> kReadmeAdd = {"onMsgSetMMNDMPServer", "4106=2",       "4001=1",
                                             "11058=filer2",         "11062=enc:root", "11063=enc:demo",
                                             "11064=6",              "11066=10000",    "11065=9.1P2",
                                             "2052=0"};

class HostNdmpServerLife : public installtest::InstallationFixture {
 protected:
  // What `ndmp-server 0 filer2` prints after its first line.
  std::string filer2Properties(const installtest::ConsoleRun& run) {
    const size_t reply = run.out.find("reply 11061");
    if (reply == std::string::npos) return "(no reply 11061)\n" + run.out;
    const size_t body = run.out.find('\n', reply);
    const size_t next = run.out.find("\n> ", body);
    return run.out.substr(body + 1, next == std::string::npos ? std::string::npos : next - body);
  }
};

TEST_F(HostNdmpServerLife, TheReadmesAddedServerAnswersItsPropertiesInTheSessionAfterAReReadAndAfterARestart) {
  const installtest::ConsoleRun added = console(kReadmeAdd);
  ASSERT_EQ(added.status, 0) << added.out;
  EXPECT_NE(added.out.find("(success) \"Success\""), std::string::npos) << added.out;
  // The client runs the catalogue's filer system; the NDMP row keeps the
  // NDMP kind.
  EXPECT_EQ(m_db.scalar("SELECT \"simOperatingSystemId\" FROM \"APP_Client\" WHERE \"name\" = 'filer2'"), 70);
  EXPECT_EQ(m_db.scalar("SELECT \"osType\" FROM \"MMNDMPHostInfo\" WHERE \"clientId\" = (SELECT \"id\" FROM "
                        "\"APP_Client\" WHERE \"name\" = 'filer2')"),
            6);
  // A NAS's one record: the login, the client, the NDMP kind, the firmware
  // and the port the add stored.
  const std::string clientId =
      std::to_string(m_db.scalar("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = 'filer2'"));
  const std::string expected =
      "  tag 11062 (NDMP login) len 9: login \"root\"\n"
      "  tag 2009 (client) len 10: " + clientId + " \"filer2\"\n"
      "  tag 11064 (NDMP OS type) len 4: 6 (NAS Filer)\n"
      "  tag 11065 (firmware revision) len 5: \"9.1P2\"\n"
      "  tag 11066 (NDMP port) len 4: 10000\n"
      "  tag 2052 (end of record) len 4: 0\n";

  struct When {
    const char* name;
    std::function<installtest::ConsoleRun()> run;
  } whens[] = {
      {"in the session", [&] { return console({"ndmp-server", "0", "filer2"}); }},
      {"on a new connection after a re-read",
       [&] { return script("lock\ncontrol 70\nunlock\nndmp-server 0 filer2\n"); }},
      {"after a restart",
       [&] {
         EXPECT_TRUE(restart()) << host().log();
         return console({"ndmp-server", "0", "filer2"});
       }},
  };
  for (const When& when : whens) {
    SCOPED_TRACE(when.name);
    const installtest::ConsoleRun run = when.run();
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(filer2Properties(run), expected) << run.out;
  }
}

TEST_F(HostNdmpServerLife, TheConsolesControllerExampleTakesTheLibraryBehindTheAddedServer) {
  ASSERT_EQ(console(kReadmeAdd).status, 0);
  const installtest::ConsoleRun run = script(
      "lock\nprobe-ndmp filer2 /dev/robot9\nadd-ndmp-controller ma1 filer2 /dev/robot1 DEMO TAPE-9 NLIB1 1 4\n"
      "unlock\n");
  // The filer answers; it has no library at the first path.
  EXPECT_NE(run.out.find("No library answers at [/dev/robot9] on the NDMP server [filer2]."), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("does not answer"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(success) \"Success\""), std::string::npos) << run.out;
  ASSERT_TRUE(restart()) << host().log();
  const installtest::ConsoleRun listed = script("lock\nlibraries\nunlock\n");
  EXPECT_EQ(listed.status, 0) << listed.out;
  const size_t library = listed.out.find("(library) len 15: 3 \"DEMO TAPE-9\"\n");
  ASSERT_NE(library, std::string::npos) << listed.out;
  const size_t controller = listed.out.find(" \"/dev/robot1\"\n", library);
  ASSERT_NE(controller, std::string::npos) << listed.out;
  EXPECT_LT(controller, listed.out.find("(end of record)", library)) << listed.out;
}

}  // namespace
