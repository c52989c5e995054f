// The control request under the fault sweep (tests/mmconfig_control/ControlSweep.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "platform/db/DBSession.h"
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
  const tktest::SweepReport report = sweep(
      [&] {
        std::ofstream(locks.file("locks/" + tkmdlock::fileName("ZQ_ConfigLibrary_LibID" + std::to_string(m_tapeId))));
        return stream().op(2).handle(m_tape).u32(ctltest::kElementLibraryId, m_tapeId).end();
      },
      &EvMMConfigMgr::onMsgSetMMControl, 2);
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

namespace {

// A software copy manager of ma1 (id 5) stored beside the demonstration
// installation; `poolNamingIt` makes the drive pools of ma1 and ma2 copy
// through it.
void storeCopyManager(bool poolNamingIt) {
  tkdb::Session s;
  ASSERT_EQ(s.exec("INSERT INTO \"MMCopyManager\" (\"CopyManagerId\", \"CopyManagerName\", \"ConcurrencyLimit\", "
                   "\"ClientId\", \"ControllerName\") VALUES (5, 'cm5', 2, 1, 'cm5')"),
            DB_OK);
  if (poolNamingIt) {
    ASSERT_EQ(s.exec("UPDATE \"MMDrivePool\" SET \"CopyManagerCtrlId\" = 5 WHERE \"DrivePoolName\" IN "
                     "('DrivePool(ma1)', 'DrivePool(ma2)')"),
              DB_OK);
  }
}

long long copyManagerRows() {
  tkdb::Session s;
  tkdb::DbRow row;
  EXPECT_EQ(s.queryOne("SELECT COUNT(*) FROM \"MMCopyManager\"", {}, row), DB_OK);
  return row.empty() ? -1 : row[0].i;
}

}  // namespace

// A copy manager's removal (by its device or its controller) and its
// configuration: every failing call ends with an answer and leaves the
// rows as they were or as the clean run left them.
TEST_F(ControlFaultSweep, EveryFailingCallOfACopyManagerRemovalOrConfigurationEndsWithAnAnswerAndNoHalfChange) {
  ASSERT_NO_FATAL_FAILURE(storeCopyManager(false));
  for (const auto& [operation, controller] : {std::pair{2u, false}, std::pair{44u, false}, std::pair{2u, true},
                                              std::pair{48u, false}}) {
    SCOPED_TRACE(std::to_string(operation) + (controller ? " on the controller" : ""));
    const tktest::SweepReport report = sweep([&, operation = operation, controller = controller] {
      ZQMACCopyMgrDevice* device = m_config->GetCopyMgrDeviceList().GetFirstNode();
      ZQMACInterface* target = device;
      if (controller && device != nullptr) target = device->GetControllerList().GetFirstNode();
      return stream().op(operation).handle(target != nullptr ? m_config->GetHandle(target) : 0).end();
    });
    EXPECT_TRUE(report.clean()) << report;
    EXPECT_GT(report.calls, 0);
  }
}

// A drive pool that copies through a copy manager names it: the removal is
// refused, naming every such pool, and no row changes; once no pool names
// it, the removal takes its row.
TEST_F(ControlFaultSweep, ACopyManagerDrivePoolsCopyThroughIsNotRemovedAndTheAnswerNamesEveryPool) {
  ASSERT_NO_FATAL_FAILURE(storeCopyManager(true));
  for (uint32_t operation : {2u, 44u}) {
    SCOPED_TRACE(operation);
    freshSession();
    ZQMACCopyMgrDevice* device = m_config->GetCopyMgrDeviceList().GetFirstNode();
    ASSERT_NE(device, nullptr);
    const unsigned long long handle = m_config->GetHandle(device);
    auto request = stream().op(operation).handle(handle).end().build();
    EXPECT_FALSE(m_mgr.onMsgSetMMControl(request.get()));
    EXPECT_EQ(ctltest::messagesOf(m_a.replies()),
              std::vector<ctltest::Message>{ctltest::operationResponse(
                  operation, 0,
                  "Drive pools still copy through the copy manager: [DrivePool(ma1)], [DrivePool(ma2)].")});
    EXPECT_EQ(copyManagerRows(), 1);
    EXPECT_EQ(m_config->FindObject(handle), device) << "the session keeps it";
  }
  tkdb::Session s;
  ASSERT_EQ(s.exec("UPDATE \"MMDrivePool\" SET \"CopyManagerCtrlId\" = 0"), DB_OK);
  freshSession();
  ZQMACCopyMgrDevice* device = m_config->GetCopyMgrDeviceList().GetFirstNode();
  ASSERT_NE(device, nullptr);
  auto request = stream().op(2).handle(m_config->GetHandle(device)).end().build();
  EXPECT_TRUE(m_mgr.onMsgSetMMControl(request.get()));
  EXPECT_EQ(ctltest::messagesOf(m_a.replies()),
            std::vector<ctltest::Message>{ctltest::operationResponse(2, 1, "Success")});
  EXPECT_EQ(copyManagerRows(), 0);
}
