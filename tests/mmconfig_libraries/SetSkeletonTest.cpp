// The Set loop shared by the change handlers, driven by a handler made for
// the test: it renames a tape library (operation 1, element 11004 the new
// name), answers on its own (operation 2, no object needed) or refuses
// with a text (operation 3). The tests hold the loop to its order of
// checks at each end of record, to one answer per record, to the values
// that carry over between records, and to the audit record and refresh
// notice helpers the handlers use after a change.
#include <gtest/gtest.h>

#include "frame/ElementTags.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageWalker.h"
#include "mmconfig/ChangeNotices.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/testkit/audit.h"
#include "platform/testkit/debuglog.h"
#include "tests/mmconfig_libraries/LibrariesFixture.h"

namespace {

using libtest::Connection;

constexpr const char* kTag = "EvMMConfigMgr::onMsgSetTestLibrary";
constexpr uint32_t kElementName = tktag::kName;
constexpr int kAuditOperation = 0x5400002C;
constexpr int kAuditParameter = 0x5500018B;

class RenameLibrary : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override { return operation >= 1 && operation <= 3; }
  bool needsObject(uint32_t operation) const override { return operation == 1; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type != kElementName) return false;
    name = MessageWalker::readText(value, length);
    return true;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord& record) override {
    ++applied;
    if (record.operation == 2) {
      EvMMConfigMgr::sendOperationResponse(record.request.sequenceNumber, record.request.socket, 2, 2, "counted", 3);
      return tkmm::SetOutcome::answered(true, true);
    }
    if (record.operation == 3) return tkmm::SetOutcome::failure("refused by the handler");
    ZQMACLms* lms = record.object<ZQMACLms>();
    if (lms == nullptr) return tkmm::SetOutcome::failure("no such library");
    const std::string old = lms->GetName();
    if (!lms->SetName(name)) return tkmm::SetOutcome::lastError(*lms);
    tkmm::writeAuditRecord(kAuditOperation, static_cast<int>(lms->GetId()), {{kAuditParameter, {old, name}}});
    tkmm::sendRefreshNotice(static_cast<int>(lms->GetId()), ZqEntities::ENTITY_LIBRARY, record.request.autoRefreshGuiId);
    return tkmm::SetOutcome::success();
  }

  std::string name;
  int applied = 0;
};

// One answer as the client reads it.
struct Answer {
  uint32_t messageId;
  std::vector<uint32_t> tags;
  uint32_t operation;  // 4001, or 0xFFFFFFFF without it
  std::string status;  // bytes of 2051 (or 11102)
  bool operator==(const Answer&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Answer& a) {
  os << "{" << a.messageId << " tags";
  for (uint32_t t : a.tags) os << " " << t;
  return os << " op " << a.operation << " '" << a.status.substr(a.status.size() > 4 ? 4 : a.status.size()) << "'}";
}

Answer operationResponse(uint32_t operation, uint32_t status, const std::string& text) {
  return {1024, {4001, 2051}, operation, tktest::wordAndText(status, text)};
}
Answer statusReply(uint32_t status, const std::string& text) {
  return {1024, {2051}, 0xFFFFFFFF, tktest::wordAndText(status, text)};
}

class SetSkeleton : public libtest::LibrariesTest {
 protected:
  void SetUp() override {
    LibrariesTest::SetUp();
    m_world = testkit::mac::seedWorld(config());
  }

  // Runs the loop on the stream from a client; the answers it received.
  std::vector<Answer> run(tktest::StreamBuilder stream, bool expected, const Connection* client = nullptr) {
    const Connection& c = client != nullptr ? *client : m_a;
    auto request = stream.socket(c.socket().GetSocketDescriptor()).user(kUser).sequence(libtest::kSequence).guiId(31).build();
    EXPECT_EQ(tkmm::runSet(request.get(), kTag, m_handler), expected);
    std::vector<Answer> answers;
    for (const auto& reply : c.replies()) {
      EXPECT_EQ(reply.sequence, libtest::kSequence);
      const tkwire::Item* op = reply.find(4001);
      const tkwire::Item* status = reply.find(2051) != nullptr ? reply.find(2051) : reply.find(11102);
      answers.push_back({reply.messageId, tktest::tagsOf(reply), op != nullptr ? op->u32() : 0xFFFFFFFF,
                         status != nullptr ? status->bytes : std::string()});
    }
    return answers;
  }
  unsigned long long lms() const { return handleOf(m_world.lms); }

  testkit::mac::World m_world;
  RenameLibrary m_handler;
};

// ---------------------------------------------------------------- records and answers

TEST_F(SetSkeleton, TwoRecordsGiveTwoAnswersAndTheHandleCarriesOver) {
  testkit::external::setAutoRefresh(true);
  testkit::external::setLibraryMediaAgents(5, {2, 3});
  const auto answers = run(tktest::StreamBuilder()
                               .op(1).handle(lms()).text(kElementName, "Renamed").end()
                               .text(kElementName, "Renamed again").end(),
                           true);
  EXPECT_EQ(answers, (std::vector<Answer>{operationResponse(1, 1, "Success"), operationResponse(1, 1, "Success")}));
  EXPECT_EQ(m_world.lms->GetName(), "Renamed again");

  // One audit record per change, by the session's user, about library 5.
  const auto records = testkit::audit::records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& r : records) {
    EXPECT_EQ(r.operationId, kAuditOperation);
    EXPECT_EQ(r.userId, static_cast<int>(kUser));
    EXPECT_EQ(r.entityType, 9);
    EXPECT_EQ(r.entityId, 5);
    ASSERT_EQ(r.params.size(), 1u);
    EXPECT_EQ(r.params[0].messageId, kAuditParameter);
  }
  EXPECT_EQ(records[0].params[0].arguments, (std::vector<std::string>{"TapeLib1", "Renamed"}));
  EXPECT_EQ(records[1].params[0].arguments, (std::vector<std::string>{"Renamed", "Renamed again"}));
  // One refresh notice per change, to the library's media agents.
  const auto notices = testkit::external::refreshNotices();
  ASSERT_EQ(notices.size(), 2u);
  for (const auto& n : notices) {
    EXPECT_EQ(n.libraryId, 5);
    EXPECT_EQ(n.entityType, 9);
    EXPECT_EQ(n.guiId, 31u);
    EXPECT_EQ(n.mediaAgentIds, (std::vector<int>{2, 3}));
  }
}

TEST_F(SetSkeleton, NoRefreshNoticeGoesOutWhileAutomaticRefreshIsOff) {
  testkit::external::setAutoRefresh(false);
  run(tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "Renamed").end(), true);
  EXPECT_TRUE(testkit::external::refreshNotices().empty());
  EXPECT_EQ(testkit::external::journal().count("getMAsforLibrary"), 0u);
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

TEST_F(SetSkeleton, AnAuditRecordThatCannotBeWrittenIsLoggedAndTheChangeStands) {
  testkit::debuglog::Capture log;
  testkit::audit::journal().injectFailure("guiAudit", 5, "disk full");
  EXPECT_EQ(run(tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "Renamed").end(), true),
            (std::vector<Answer>{operationResponse(1, 1, "Success")}));
  EXPECT_EQ(m_world.lms->GetName(), "Renamed");
  EXPECT_TRUE(testkit::audit::records().empty());
  EXPECT_TRUE(log.contains("EvMMConfigMgr::guiAudit", "The audit record of operation [0x5400002C] could not be written"));
  // The helper reports it; the next record is written again.
  testkit::audit::journal().injectFailure("guiAudit", 5, "disk full");
  EXPECT_FALSE(tkmm::writeAuditRecord(kAuditOperation, 5, {}));
  EXPECT_TRUE(tkmm::writeAuditRecord(kAuditOperation, 5, {}));
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

TEST_F(SetSkeleton, AHandlerMayAnswerARecordItselfAndTheLoopGoesOn) {
  const auto answers = run(tktest::StreamBuilder().op(2).end().op(1).handle(lms()).text(kElementName, "X").end(), true);
  EXPECT_EQ(answers, (std::vector<Answer>{{1024, {4001, 4117, 2051}, 2, tktest::wordAndText(2, "counted")},
                                          operationResponse(1, 1, "Success")}));
}

TEST_F(SetSkeleton, AStreamWithoutEndOfRecordIsNotAnswered) {
  EXPECT_TRUE(run(tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "X"), true).empty());
  EXPECT_EQ(m_handler.applied, 0);
}

// ---------------------------------------------------------------- the checks in their order

TEST_F(SetSkeleton, TheChecksAtAnEndOfRecordComeInTheirOrder) {
  const std::string noHandle = ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle);
  const struct {
    const char* name;
    tktest::StreamBuilder stream;
    bool holder;
    bool result;
    std::vector<Answer> answers;
    int applied;
  } cases[] = {
      {"session taken over: Close with the operation so far, before the operation check",
       tktest::StreamBuilder().op(9).u32(9999, 1).end().op(1).handle(lms()).end(), false, true,
       {operationResponse(9, 1, "Close")}, 0},
      {"session taken over, no operation yet: Close with operation 0", tktest::StreamBuilder().end(), false, true,
       {operationResponse(0, 1, "Close")}, 0},
      {"a record without 4001 is operation 0 and refused", tktest::StreamBuilder().handle(lms()).end().op(1).end(),
       true, false, {statusReply(0, "Received invalid operation type")}, 0},
      {"an operation not served is refused before the handle check", tktest::StreamBuilder().op(7).end(), true,
       false, {statusReply(0, "Received invalid operation type")}, 0},
      {"no handle: refused with its catalogue text", tktest::StreamBuilder().op(1).text(kElementName, "X").end(),
       true, false, {operationResponse(1, 0, noHandle)}, 0},
      {"an operation that needs no object runs without a handle", tktest::StreamBuilder().op(3).end(), true, false,
       {operationResponse(3, 0, "refused by the handler")}, 1},
      {"a failed object operation answers the object's last error and ends the request",
       tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "").end().text(kElementName, "Y").end(), true,
       false, {operationResponse(1, 0, "The name must not be empty.")}, 1},
      {"a handle of another kind of object is an unknown handle",
       tktest::StreamBuilder().op(1).handle(handleOf(m_world.drive1)).text(kElementName, "X").end(), true, false,
       {operationResponse(1, 0, "no such library")}, 1},
      {"a handle of no object is an unknown handle",
       tktest::StreamBuilder().op(1).handle(0xFFFFFFF0ull).text(kElementName, "X").end(), true, false,
       {operationResponse(1, 0, "no such library")}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_handler.applied = 0;
    const Connection& client = c.holder ? m_a : m_b;
    auto answers = run(c.stream, c.result, &client);
    if (!c.holder) {
      // The force-close notice comes first.
      ASSERT_FALSE(answers.empty());
      EXPECT_EQ(answers[0].messageId, 11055u);
      answers.erase(answers.begin());
    }
    EXPECT_EQ(answers, c.answers);
    EXPECT_EQ(m_handler.applied, c.applied);
  }
  EXPECT_EQ(m_world.lms->GetName(), "TapeLib1");
  EXPECT_TRUE(testkit::audit::records().empty());
}

TEST_F(SetSkeleton, TheLoopLogsWhatItRefusesAndSkips) {
  testkit::debuglog::Capture log;
  run(tktest::StreamBuilder().op(1).handle(lms()).u32(9999, 1).text(kElementName, "X").end(), true);
  EXPECT_TRUE(log.contains(kTag, "Has received an unprocessed element type [9999-unknown]"));
  run(tktest::StreamBuilder().op(4).end(), false);
  EXPECT_TRUE(log.contains(kTag, "Received invalid operation type [4]."));
  run(tktest::StreamBuilder().op(1).end(), false);
  EXPECT_TRUE(log.contains(kTag, ZQMACBase::GetMessageString(tkmm::kTextNoObjectHandle)));
  run(tktest::StreamBuilder().op(3).end(), false);
  EXPECT_TRUE(log.contains(kTag, "refused by the handler"));
}

TEST_F(SetSkeleton, ANullRequestIsRefusedWithoutAnAnswer) {
  testkit::debuglog::Capture log;
  testkit::reply::Recorder recorder;
  EXPECT_FALSE(tkmm::runSet(nullptr, kTag, m_handler));
  EXPECT_TRUE(recorder.replies().empty());
  EXPECT_TRUE(log.contains(kTag, "Bad Parameter Received."));
}

// ---------------------------------------------------------------- element values

TEST_F(SetSkeleton, TextsAreReadByTheirLengthNeverPastTheValue) {
  const struct {
    const char* name;
    tktest::StreamBuilder stream;
    std::string expected;
  } cases[] = {
      {"no terminator, another element behind",
       tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "Plain").u32(4106, 0x41414141).end(), "Plain"},
      {"with its terminator", tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "Nul", true).end(),
       "Nul"},
      {"a whole value of 4,104 bytes",
       tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, std::string(4104, 'n')).u32(4106, 0x42424242).end(),
       std::string(4104, 'n')},
      {"a shorter value after a longer one",
       tktest::StreamBuilder().op(1).handle(lms()).text(kElementName, "Longer name").text(kElementName, "Short").end(),
       "Short"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.stream, true), (std::vector<Answer>{operationResponse(1, 1, "Success")}));
    EXPECT_EQ(m_world.lms->GetName(), c.expected);
  }
}

TEST_F(SetSkeleton, EveryTextTheLoopSendsIsInTheCatalogue) {
  EXPECT_TRUE(tkcatalogue::has(tkmm::kTextNoObjectHandle));
}

}  // namespace
