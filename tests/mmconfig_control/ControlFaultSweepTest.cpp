// The control request under the fault sweep (tests/mmconfig_control/ControlSweep.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/mdlock/MDLock.h"
#include "tests/mmconfig_control/ControlSweep.h"
#include "tests/support/TempDir.h"

namespace {

using ctltest::ControlFaultSweep;

// One record a request: each record of a request is a change of its own,
// answered by itself, and a failure leaves the records before it done.
TEST_F(ControlFaultSweep, EveryFailingCallOfAConfigurationEndsWithAnAnswerAndNoHalfChange) {
  for (uint32_t operation : {48u, 51u, 69u}) {
    SCOPED_TRACE(operation);
    const tktest::SweepReport report = sweep([&] {
      return stream().op(operation).handle(operation == 69 ? m_disk : m_tape)
          .u32(ctltest::kElementLibraryId, m_tapeId).end();
    });
    EXPECT_TRUE(report.clean()) << report;
  }
}

// The removal of a stored library, its lock file left by an earlier delete
// of the storage-library request: the lock calls fail in turn too.
TEST_F(ControlFaultSweep, EveryFailingCallOfALibraryRemovalEndsWithAnAnswer) {
  tktest::TempDir locks;
  tktest::ScopedEnv lockDir{"TK_LOCK_DIR", locks.file("locks")};
  std::filesystem::create_directories(locks.file("locks"));
  const tktest::SweepReport report = sweep([&] {
    std::ofstream(locks.file("locks/" + tkmdlock::fileName("ZQ_ConfigLibrary_LibID" + std::to_string(m_tapeId))));
    return stream().op(2).handle(m_tape).u32(ctltest::kElementLibraryId, m_tapeId).end();
  });
  // The removal deconfigures the library, then deletes it, and undoes
  // nothing: a deletion that fails leaves it deconfigured (and audited), as
  // the removal is defined. Every call from the lock file's on comes after
  // the deletion and must leave the clean run's state.
  std::size_t firstLockCall = report.names.size();
  for (std::size_t i = 0; i < report.names.size() && firstLockCall == report.names.size(); ++i)
    if (report.names[i].find("MDLock") != std::string::npos) firstLockCall = i;
  ASSERT_LT(firstLockCall, report.names.size()) << report;
  for (const std::string& finding : report.findings) {
    const long k = std::stol(finding.substr(2));
    const bool deconfiguredOnly =
        static_cast<std::size_t>(k) <= firstLockCall && finding.find("half changed") != std::string::npos;
    if (!deconfiguredOnly) ADD_FAILURE() << finding;
  }
  EXPECT_GT(report.calls, 0);
}

TEST_F(ControlFaultSweep, EveryFailingCallOfALongOperationEndsWithAnAnswer) {
  const tktest::SweepReport report = sweep([&] { return stream().op(50).handle(m_tape).end(); });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(ControlFaultSweep, EveryFailingCallOfACredentialOperationEndsWithAnAnswer) {
  const std::string user = ctltest::encrypted("alice");
  const std::string password = ctltest::encrypted("s3cret");
  const tktest::SweepReport report = sweep([&] {
    return stream().op(105).handle(m_disk).pair(ctltest::kElementName, 0, "account")
        .raw(ctltest::kElementUserName, user).raw(ctltest::kElementPassword, password).end();
  });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(ControlFaultSweep, EveryFailingCallOfARereadOrANewInstanceEndsWithAnAnswer) {
  const tktest::SweepReport report = sweep([&] { return stream().op(70).end().op(12).end().op(57).handle(m_tape).end(); });
  EXPECT_TRUE(report.clean()) << report;
}

TEST_F(ControlFaultSweep, AnAuditRecordThatCannotBeWrittenIsLoggedAndTheConfigurationStands) {
  freshSession();
  testkit::audit::journal().injectFailure("guiAudit", 5, "the audit trail is full");
  auto request = stream().op(48).handle(m_tape).u32(ctltest::kElementLibraryId, m_tapeId).end().build();
  EXPECT_TRUE(m_mgr.onMsgSetMMControl(request.get()));
  EXPECT_EQ(ctltest::messagesOf(m_a.replies()), std::vector<ctltest::Message>{ctltest::operationResponse(48, 1, "Success")});
  EXPECT_TRUE(testkit::audit::records().empty());
}

}  // namespace
