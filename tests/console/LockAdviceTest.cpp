// What the console says about the configuration lock, against the real host
// with its users table and a second administrator: a console that exits
// holding the lock says so and how to release it; a lock refused as held, an
// unlock that released nothing and a request without the session name who
// holds the lock (asked of the host) and the command that helps; and asking
// never leaves the lock taken.
#include <fstream>

#include "tests/console/ConsoleFixture.h"
#include "tests/support/TestDatabase.h"

namespace consoletest {
namespace {

class LockAdvice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_host.up()) << m_host.log();
    m_db.execElsewhere(
        "INSERT INTO \"UMUsers\" (\"id\", \"login\") VALUES (3, 'backup'); "
        "INSERT INTO \"UMUserRights\" (\"userId\", \"entityKind\", \"entityId\", \"mayChange\") "
        "VALUES (3, '*', -1, 1);");
  }

  ConsoleRun console(const std::vector<std::string>& args) {
    return ConsoleFixture::runConsole(m_dir, {"--socket", m_host.socket()}, args);
  }

  // The command the advice names, as the console of `user` gives it.
  std::string unlockXml(const std::string& user = "") const {
    return "`tkconsole --socket " + m_host.socket() + (user.empty() ? "" : " --user " + user) + " unlock xml`";
  }

  std::string heldBy(const std::string& login) const {
    return "user [" + login +
           "] holds the configuration lock on another connection, which may have closed (a lock outlives the "
           "console that took it)";
  }

  tktest::TestDatabase m_db;
  tktest::TempDir m_dir;
  hosttest::Host m_host{m_dir,
                        m_dir.file("host.sock"),
                        {"--seed-demo"},
                        {{"TK_DB", m_db.path()}, {"TK_RIGHTS", "table"}, {"TK_LOCK_DIR", m_dir.file("locks")}}};
};

TEST_F(LockAdvice, EachStateOfTheLockGetsTheAdviceThatFitsItAndAskingLeavesItAsItWas) {
  const std::string script = m_dir.file("twice.tk");
  std::ofstream(script) << "lock\nlock\nlibraries\nunlock\n";
  const std::string leftHeld = "  (the configuration lock stays held after this console exits, while this "
                               "connection's session ends with it (a later `lock` is refused): ";
  const std::string takeFirst = "  (nothing was done: no configuration session is open on this connection; take "
                                "the lock first (`lock`), then `libraries` in the same --script or --script - "
                                "session)\n";
  struct Step {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> said;
  } steps[] = {
      // On a fresh host nobody ever held the configuration: the notice says
      // so, and names no user.
      {"a listing on a fresh host is told that nobody holds the configuration", {"libraries"}, 3,
       {"reply 11055 seq 1\n  tag 11102 (status text) len 80: 4 \"Library and Drive Configuration is not open: "
        "nobody holds the configuration.\"\n",
        takeFirst}},
      {"a one-shot lock leaves the lock held and says how to release it", {"lock"}, 0,
       {"1 (success) \"The media management configuration is loaded and locked for you.\"\n",
        leftHeld + unlockXml() + " releases it; lock, ask and unlock in one --script to leave nothing held)\n"}},
      {"the same admin's next lock names the admin, not another user", {"lock"}, 3,
       {": 3 (held) \"Library and Drive Configuration is in use by user [admin]. ",
        "\n  (" + heldBy("admin") + "; `force-lock` takes it over, " + unlockXml() + " releases it)\n"}},
      {"a listing of another administrator names the holder and how to take over", {"--user", "3", "libraries"}, 3,
       {"user [admin] took over the configuration.\"\n",
        "  (nothing was done: " + heldBy("admin") +
            "; take it over with `force-lock`, then `libraries` in the same --script or --script - session, or "
            "release it first with " +
            unlockXml("3") + ")\n"}},
      {"an unlock on another connection releases nothing and gives the command that would", {"unlock"}, 3,
       {"  (nothing released: " + heldBy("admin") + "; " + unlockXml() + " releases it from any console)\n"}},
      {"a force lock of the other administrator", {"--user", "3", "force-lock"}, 0, {leftHeld + unlockXml("3")}},
      // The wizard's own answer names who took over, as the notice before
      // it does: the configuration was held, so it is not "nobody".
      {"the admin's disk-library wizard is told that the other administrator took over",
       {"--xml", "0x01000BBA", "HandleMMConfigMgrXmlMsg", "<ZQGui_EZGetMagneticLibrariesReq/>"}, 3,
       {"<ZQGui_GenericResp i1=\"-1\" s2=\"Library and Drive Configuration was closed: user [backup] took over "
        "the configuration.\"/>"}},
      {"the admin's unlock now names that administrator", {"unlock"}, 3, {"  (nothing released: " + heldBy("backup")}},
      {"the XML unlock releases it from any console", {"unlock", "xml"}, 0, {"<ZQGui_GenericResp i1=\"0\"/>"}},
      // The take-over's hold has ended, but the configuration was held:
      // the wizard still names who took it over, not "nobody".
      {"the wizard after the take-over's hold ended still names that administrator",
       {"--xml", "0x01000BBA", "HandleMMConfigMgrXmlMsg", "<ZQGui_EZGetMagneticLibrariesReq/>"}, 3,
       {"<ZQGui_GenericResp i1=\"-1\" s2=\"Library and Drive Configuration was closed: user [backup] took over "
        "the configuration.\"/>"}},
      {"an unlock with nobody holding the lock", {"unlock"}, 3,
       {"  (nothing released: nobody holds the configuration lock)\n"}},
      {"a listing on a free lock is told to lock, whoever the notice names", {"libraries"}, 3,
       {"user [backup] took over the configuration.\"\n", takeFirst}},
      {"a user who may not take the lock is told why", {"--user", "2", "libraries"}, 3,
       {"  (nothing was done: no configuration session is open on this connection, and the configuration lock "
        "cannot be taken: You do not have the rights to configure libraries and drives: User [operator] "}},
      {"a second lock on the connection that holds it", {"--script", script}, 3,
       {"> lock\nreply 1024 seq 2\n  tag 2051 (status) len ",
        ": 3 (held) \"Library and Drive Configuration is in use by user [admin]. Try again later, or take the "
        "configuration over.\"\n  (this connection holds the configuration lock already)\n> libraries\n"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const ConsoleRun run = console(step.args);
    EXPECT_EQ(run.status, step.status) << run.out << run.err;
    for (const std::string& said : step.said) EXPECT_NE(run.out.find(said), std::string::npos) << said << run.out;
    // A note is said once, at the end of the answers it is about.
    EXPECT_EQ(run.out.find(leftHeld), step.status == 0 && step.args.back() != "xml" ? run.out.rfind(leftHeld)
                                                                                     : std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "");
  }
  // None of the questions kept the lock: it is free for the next console.
  const std::string fresh = m_dir.file("fresh.tk");
  std::ofstream(fresh) << "lock\nunlock\n";
  const ConsoleRun last = console({"--script", fresh});
  EXPECT_EQ(last.status, 0) << last.out;
  EXPECT_EQ(last.out.find("  ("), std::string::npos) << last.out;
}

}  // namespace
}  // namespace consoletest
