// The fault sweep over the configuration lock: every operation of both
// forms, from the holder and from another client, with the lock free and
// held, rerun once for every platform call it makes with that call failing.
// Each run answers the client on its socket (unless the failed call is the
// write of that answer), leaves the database as it was, and leaves the lock
// state consistent: the lock flag and the server sequence number move
// together, a held lock names one client with its own user, and a success
// answer means the state the clean run reached. And the sweep itself is
// shown to catch a request that leaves half a change behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "frame/AnswerStatus.h"
#include "frame/EvGuiAudit.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/reply/ReplyChannel.h"
#include "platform/testkit/clock.h"
#include "tests/frame_configlock/ConfigLockFixture.h"
#include "tests/support/DatabaseDump.h"
#include "tests/support/FaultSweep.h"

namespace {

using locktest::kAlice;
using locktest::kBob;
using locktest::State;

enum class Form { Stream, Xml };
enum class Start { Free, HeldByAlice };

// What a client got: the decoded answer of its request, and any force-close
// notice before it.
struct Answer {
  bool present = false;
  bool success = false;  // status 1 or code 0
  std::string describe;
};

std::string describe(const State& s) {
  std::ostringstream os;
  os << s;
  return os.str();
}

class LockFaultSweep : public locktest::LockTest {
 protected:
  void startFrom(Start start) {
    tktest::resetSessionState();
    if (start == Start::HeldByAlice) aliceHoldsTheLock();
    m_a.replies();
    m_b.replies();
  }

  // One request of the form, answered on the user's socket as the host
  // answers it: the element-stream form writes its own answer; the XML
  // form's response text goes back in an answer frame.
  void request(Form form, uint32_t user, uint32_t operation) {
    if (form == Form::Stream) {
      lockStream(user, operation, 2000, 2, 0x555);
      return;
    }
    // The request text is made before the sweep counts (setup): only the
    // handler's own calls are failed. As the dispatcher does, an emptied
    // buffer is answered with -1 and no text.
    auto record = client(user).request(0x777, 0, user);
    std::string buffer = m_xmlRequest;
    const int result = m_mgr.OnMsgLockUnlockMMConfigurationXML(record.get(), buffer);
    tkreply::writeFrame(client(user).socket().GetSocketDescriptor(),
                        tkwire::encodeXmlAnswer(EvMMConfigMgr::kLockUnlockXmlMessageId, 0x777,
                                                result != 0 || buffer.empty() ? -1 : 0, buffer));
  }
  // The XML request text of the run, made in the sweep's setup.
  std::string m_xmlRequest;

  // The answer on the user's socket.
  Answer answerOf(Form form, uint32_t user) {
    Answer answer;
    for (const tkwire::Reply& reply : client(user).replies()) {
      if (form == Form::Stream && reply.messageId == 1024 && reply.items.size() == 1 && reply.items[0].tag == 2051) {
        answer.present = true;
        answer.success = reply.items[0].statusCode() == 1;
        answer.describe = "status " + std::to_string(reply.items[0].statusCode()) + " " + reply.items[0].statusText();
      } else if (form == Form::Xml && reply.messageId == EvMMConfigMgr::kLockUnlockXmlMessageId) {
        const std::optional<tkwire::XmlAnswer> xml = tkwire::decodeXmlAnswer(reply);
        if (!xml) continue;
        if (xml->result == -1 && xml->text.empty()) {
          answer.present = true;
          answer.success = false;
          answer.describe = "no response written";
          continue;
        }
        const locktest::XmlResponse response = locktest::readResponse(xml->text);
        answer.present = response.code == 0 || response.code == -1;
        answer.success = response.code == 0;
        answer.describe = "code " + std::to_string(response.code) + " " + response.text;
      }
    }
    return answer;
  }

  // What is unsound about the run's outcome, given the state before it and
  // after the clean run ("" when nothing is).
  std::string unsound(const tktest::SweepRun& run, const State& before, const State& clean,
                      const Answer& answer) const {
    State now = State::now();
    // A login name that cannot be looked up reads empty: who forced the
    // lock is then not named, and nothing else differs.
    if (run.failed("getUserLogin") && now.lastLogin.empty()) now.lastLogin = clean.lastLogin;
    const bool answerWritten = !run.failed("write");
    if (!answer.present && answerWritten) return "no answer reached the client";
    if (now.locked > 1) return "the lock flag is " + std::to_string(now.locked);
    const bool pairAsBefore = now.locked == before.locked && now.serverSequence == before.serverSequence;
    const bool pairAsClean = now.locked == clean.locked && now.serverSequence == clean.serverSequence;
    // A request that takes the lock in its clean run and fails takes
    // nothing: after a holder was forced out, or when the answer could not
    // be delivered, the lock is left free.
    const bool freedByFailedTake = clean.locked == 1 && now.locked == 0 && now.serverSequence == 0;
    if (!pairAsBefore && !pairAsClean && !freedByFailedTake)
      return "lock flag and server sequence number apart: " + describe(now);
    if (now.holderFd >= 0) {
      const bool alice = now.holderFd == client(kAlice).socket().GetSocketDescriptor() && now.userId == kAlice;
      const bool bob = now.holderFd == client(kBob).socket().GetSocketDescriptor() && now.userId == kBob;
      if (!alice && !bob) return "the holder's socket and user do not belong together: " + describe(now);
    }
    if (now.locked == 1 && locktest::newestInstance() == nullptr) return "the lock is held without an instance";
    if (now.lastLogin != before.lastLogin && now.lastLogin != clean.lastLogin) {
      return "the last login name is '" + now.lastLogin + "'";
    }
    if (answer.success && !(now == clean)) {
      return "a success answer (" + answer.describe + ") but not the clean run's state: " + describe(now);
    }
    return "";
  }

  tktest::SweepReport sweep(Form form, Start start, uint32_t user, uint32_t operation, bool persistent = false) {
    State before;
    State clean;
    tktest::SweepPlan plan;
    plan.persistent = persistent;
    plan.setup = [&] {
      freshStandIns();
      startFrom(start);
      if (form == Form::Xml) m_xmlRequest = locktest::xmlRequest(operation, 3000);
      before = State::now();
    };
    plan.request = [&] { request(form, user, operation); };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const Answer answer = answerOf(form, user);
      if (run.k == 0) {
        clean = State::now();
        if (!answer.present) return "the clean run answered nothing";
      }
      // Nobody else hears anything in these runs (no long operation waits).
      if (!client(user == kAlice ? kBob : kAlice).replies().empty()) return "the other client got a reply";
      return unsound(run, before, clean, answer);
    };
    return tktest::FaultSweep().run(plan);
  }
};

struct Case {
  const char* name;
  Start start;
  uint32_t user;
  uint32_t operation;
};

const Case kCases[] = {
    {"lock a free lock", Start::Free, kAlice, 1},
    {"force a free lock", Start::Free, kAlice, 3},
    {"unlock a free lock", Start::Free, kBob, 0},
    {"unlock without check a free lock", Start::Free, kBob, 2},
    {"lock by the holder", Start::HeldByAlice, kAlice, 1},
    {"lock by another", Start::HeldByAlice, kBob, 1},
    {"force by the holder", Start::HeldByAlice, kAlice, 3},
    {"force by another", Start::HeldByAlice, kBob, 3},
    {"unlock by the holder", Start::HeldByAlice, kAlice, 0},
    {"unlock by another", Start::HeldByAlice, kBob, 0},
    {"unlock without check by the holder", Start::HeldByAlice, kAlice, 2},
    {"unlock without check by another", Start::HeldByAlice, kBob, 2},
};

TEST_F(LockFaultSweep, EveryFailingCallOfTheElementStreamFormEndsAnsweredAndConsistent) {
  std::set<std::string> swept;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(Form::Stream, c.start, c.user, c.operation);
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  // The sweep reached the database, the object model, rights, host
  // services, the installation name and the reply channel.
  for (const char* call : {"exec", "Initialize", "ReadCurrentConfig", "TestConnectToMediaManager", "canManageTarnkeep",
                           "getUserLogin", "getFocus", "write"}) {
    EXPECT_TRUE(swept.count(call)) << call;
  }
}

TEST_F(LockFaultSweep, EveryFailingCallOfTheXmlFormEndsAnsweredAndConsistent) {
  std::set<std::string> swept;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const tktest::SweepReport report = sweep(Form::Xml, c.start, c.user, c.operation);
    EXPECT_TRUE(report.clean()) << report;
    swept.insert(report.names.begin(), report.names.end());
  }
  for (const char* call : {"exec", "Initialize", "ReadCurrentConfig", "TestConnectToMediaManager", "canManageTarnkeep",
                           "getUserLogin", "getFocus", "write", "allocate"}) {
    EXPECT_TRUE(swept.count(call)) << call;
  }
}

TEST_F(LockFaultSweep, ACallThatKeepsFailingEndsAnsweredAndConsistentToo) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    for (Form form : {Form::Stream, Form::Xml}) {
      SCOPED_TRACE(form == Form::Stream ? "element stream" : "XML");
      const tktest::SweepReport report = sweep(form, c.start, c.user, c.operation, true);
      EXPECT_TRUE(report.clean()) << report;
    }
  }
}

TEST_F(LockFaultSweep, RefusedRightsAreSweptToo) {
  // The rule goes with every reset of the stand-ins: each run puts it back.
  for (Form form : {Form::Stream, Form::Xml}) {
    SCOPED_TRACE(form == Form::Stream ? "element stream" : "XML");
    State before;
    State clean;
    tktest::SweepPlan plan;
    plan.setup = [&] {
      freshStandIns();
      testkit::security::deny("canManageTarnkeep", kBob);
      startFrom(Start::HeldByAlice);
      if (form == Form::Xml) m_xmlRequest = locktest::xmlRequest(3, 3000);
      before = State::now();
    };
    plan.request = [&] { request(form, kBob, 3); };
    plan.check = [&](const tktest::SweepRun& run) -> std::string {
      const Answer answer = answerOf(form, kBob);
      if (run.k == 0) clean = State::now();
      if (run.k == 0 && answer.success) return "the clean run was not refused";
      return unsound(run, before, clean, answer);
    };
    const tktest::SweepReport report = tktest::FaultSweep().run(plan);
    EXPECT_TRUE(report.clean()) << report;
    EXPECT_NE(std::find(report.names.begin(), report.names.end(), "sendAlert"), report.names.end()) << report;
  }
}

// ---------------------------------------------------------------- the sweep catches a fault

// A request made for this test: it stores a parameter, then writes the
// audit record of the change, and answers. `rollsBack` false plants the
// fault: when the audit record cannot be written the request answers the
// failure but leaves the parameter behind.
void auditedChange(const locktest::Connection& client, bool rollsBack) {
  const CWySocket socket = client.socket();
  auto answer = [&](AnswerStatus status, const char* text) {
    sendResponse(0x99, &socket, toWire(status), text, nullptr);
  };
  DBtran tran(false);
  if (rollsBack && tran.startTran() != 0) return answer(AnswerStatus::kFailure, "no transaction");
  DBtran* in = rollsBack ? &tran : nullptr;
  tkdb::Session session(in);
  if (session.exec("INSERT INTO MMConfigs (name, value) VALUES ('PLANTED', 1)") != 0) {
    return answer(AnswerStatus::kFailure, "not stored");
  }
  EvGuiAudit audit(in);
  audit.setGUIAuditOperation(0x540001EF, static_cast<int>(kAlice));
  if (audit.guiAudit(0) != 0) {
    if (rollsBack) tran.rollbackTran();
    return answer(AnswerStatus::kFailure, "not audited");
  }
  if (rollsBack && tran.commitTran(0) != 0) return answer(AnswerStatus::kFailure, "not committed");
  answer(AnswerStatus::kSuccess, "Success");
}

class PlantedFault : public locktest::LockTest {
 protected:
  tktest::SweepReport sweep(bool rollsBack) {
    tktest::SweepPlan plan;
    plan.setup = [&] { freshStandIns(); };
    plan.request = [&] { auditedChange(m_a, rollsBack); };
    plan.check = [&](const tktest::SweepRun& run) { return tktest::answeredOnSocket(m_a.replies(), run); };
    return tktest::FaultSweep().run(plan);
  }
  testkit::clock::FakeClock m_clock;  // the audit record's time is the same in every run
};

TEST_F(PlantedFault, TheSweepReportsAChangeLeftBehindByAFailurePath) {
  // The comparison covers every table of the schema.
  EXPECT_GT(tktest::DatabaseDump::take().tableCount(), 40u);
  const tktest::SweepReport report = sweep(false);
  ASSERT_GT(report.calls, 0);
  EXPECT_FALSE(report.clean());
  EXPECT_TRUE(report.found("(guiAudit): the database is half changed")) << report;
  EXPECT_TRUE(report.found("table MMConfigs: +(1, 'PLANTED', 1, NULL)")) << report;
  // Only the runs where the audit record fails are flagged: the insert's
  // own failure leaves nothing behind.
  for (const std::string& finding : report.findings) {
    EXPECT_NE(finding.find("half changed"), std::string::npos) << finding;
  }
}

TEST_F(PlantedFault, TheSameRequestRollingBackIsSweptClean) {
  const tktest::SweepReport report = sweep(true);
  EXPECT_TRUE(report.clean()) << report;
  for (const char* call : {"startTran", "exec", "guiAudit", "commitTran", "write"}) {
    EXPECT_NE(std::find(report.names.begin(), report.names.end(), call), report.names.end()) << call << "\n" << report;
  }
}

}  // namespace
