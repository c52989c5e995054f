// Audit records and alerts.
#include <gtest/gtest.h>

#include <thread>

#include "frame/EvAlertEx.h"
#include "frame/EvGuiAudit.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/audit.h"

namespace {

class AuditTrail : public ::testing::Test {
 protected:
  void SetUp() override { testkit::audit::reset(); }
  void TearDown() override { testkit::audit::reset(); }
};

TEST_F(AuditTrail, NewRecordHasNothing) {
  EvGuiAudit audit(nullptr);
  EXPECT_EQ(audit.numParam(), 0);
  EXPECT_EQ(audit.operationId(), 0);
  EXPECT_EQ(audit.entityType(), ZqEntities::ENTITY_NONE);
  EXPECT_EQ(audit.entityId(), 0);
  EXPECT_EQ(audit.transaction(), nullptr);
}

TEST_F(AuditTrail, WrittenRecordCarriesOperationEntityAndParameters) {
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(0x540000B5, 17);
  audit.SetEntityParam(ZqEntities::ENTITY_LIBRARY, 4108);
  EvMessageContainer param;
  param.SetMessageID(0x5500018B, true);
  param << "DiskLib1" << "disk library";
  audit.addGUIAuditParam(param, 0, 0, nullptr, nullptr);
  param.SetMessageID(0x550000BF, true);  // reused: the record kept its own copy
  param << "second";
  audit.addGUIAuditParam(param, 0, 0, nullptr, nullptr);
  EXPECT_EQ(audit.numParam(), 2);
  EXPECT_EQ(audit.guiAudit(0), 0);

  auto written = testkit::audit::records();
  ASSERT_EQ(written.size(), 1u);
  const auto& r = written[0];
  EXPECT_EQ(r.operationId, 0x540000B5);
  EXPECT_EQ(r.userId, 17);
  EXPECT_EQ(r.entityType, 9);
  EXPECT_EQ(r.entityId, 4108);
  EXPECT_FALSE(r.inTransaction);
  ASSERT_EQ(r.params.size(), 2u);
  EXPECT_EQ(r.params[0].messageId, 0x5500018B);
  EXPECT_EQ(r.params[0].arguments, (std::vector<std::string>{"DiskLib1", "disk library"}));
  EXPECT_EQ(r.params[1].messageId, 0x550000BF);
  EXPECT_EQ(r.params[1].arguments, (std::vector<std::string>{"second"}));

  auto adds = testkit::audit::journal().calls("addGUIAuditParam");
  ASSERT_EQ(adds.size(), 2u);
  EXPECT_EQ(adds[0].args, (std::vector<std::string>{std::to_string(0x5500018B), "0", "0", "DiskLib1", "disk library"}));
}

TEST_F(AuditTrail, ClearDropsOperationAndParameters) {
  EvGuiAudit audit(nullptr);
  audit.setGUIAuditOperation(0x54000111, 3);
  EvMessageContainer p;
  audit.addGUIAuditParam(p, 0, 0, L"a", nullptr);
  EXPECT_EQ(audit.params()[0].text1(), L"a");
  audit.clear();
  EXPECT_EQ(audit.operationId(), 0);
  EXPECT_EQ(audit.numParam(), 0);
}

TEST_F(AuditTrail, WriterCanBeSwappedAndFailuresReported) {
  std::vector<int> seen;
  tkaudit::setWriter([&](const tkaudit::Record& r, DBtran*) {
    seen.push_back(r.operationId);
    return r.operationId == 2 ? 7 : 0;
  });
  EvGuiAudit one(nullptr);
  one.setGUIAuditOperation(1, 1);
  EXPECT_EQ(one.guiAudit(0), 0);
  EvGuiAudit two(nullptr);
  two.setGUIAuditOperation(2, 1);
  EXPECT_EQ(two.guiAudit(0), 7);
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  EXPECT_TRUE(testkit::audit::records().empty());  // the memory writer was not used

  testkit::audit::reset();
  testkit::audit::journal().injectFailure("guiAudit", -3, "trail offline");
  EvGuiAudit three(nullptr);
  EXPECT_EQ(three.guiAudit(0), -3);
  EXPECT_EQ(three.guiAudit(0), 0);
  EXPECT_EQ(testkit::audit::records().size(), 1u);
}

TEST_F(AuditTrail, RecordsFromManyThreadsAreAllKept) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) {
        EvGuiAudit audit(nullptr);
        audit.setGUIAuditOperation(0x54000000 + t, i);
        EvMessageContainer p;
        p.SetMessageID(i, true);
        audit.addGUIAuditParam(p, 0, 0, nullptr, nullptr);
        audit.guiAudit(0);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(testkit::audit::records().size(), 200u);
}

class Alerts : public ::testing::Test {
 protected:
  void SetUp() override { testkit::alerts::reset(); }
};

TEST_F(Alerts, SettersStoreOnlyTheNumbers) {
  EvAlertEx alert;
  EXPECT_EQ(alert.getAlertId(), 0);
  EXPECT_EQ(alert.getCondition(), 0);
  EXPECT_EQ(alert.getWhomId(), 0);
  EXPECT_TRUE(alert.getMsgString().empty());
  alert.setAlert(1020, "ignored text");
  alert.setWhomId(17, nullptr);
  alert.setCondition(12);
  alert.getMsgString() = "User has no rights.";
  EXPECT_EQ(alert.getAlertId(), 1020);
  EXPECT_EQ(alert.getWhomId(), 17);
  EXPECT_EQ(alert.getCondition(), 12);
  alert.Clear();
  EXPECT_EQ(alert.getAlertId(), 0);
  EXPECT_TRUE(alert.getMsgString().empty());
}

TEST_F(Alerts, SentAlertsAreJournaled) {
  EvAlertEx alert;
  alert.setAlert(1020, nullptr);
  alert.setWhomId(17, nullptr);
  alert.setCondition(12);
  alert.getMsgString() = "refused";
  EXPECT_EQ(alert.sendAlert(0, 0, 0), 0);
  auto sent = testkit::alerts::sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].alertId, 1020);
  EXPECT_EQ(sent[0].whomId, 17);
  EXPECT_EQ(sent[0].condition, 12);
  EXPECT_EQ(sent[0].message, "refused");
}

TEST_F(Alerts, FormattedMessageTakesTextsAsArguments) {
  EvAlertEx alert;
  alert.fmtNewMsgString("User [%d] refused: %s", 5, "100%d %s");
  EXPECT_EQ(alert.getMsgString(), "User [5] refused: 100%d %s");
  const std::string longText(5000, 'q');
  alert.fmtNewMsgString("%s", longText.c_str());
  EXPECT_EQ(alert.getMsgString(), longText);
}

TEST_F(Alerts, InjectedFailureKeepsTheAlertUnsent) {
  testkit::alerts::journal().injectFailure("sendAlert", -2, "service down");
  EvAlertEx alert;
  alert.setAlert(1020, nullptr);
  EXPECT_EQ(alert.sendAlert(0, 0, 0), -2);
  EXPECT_TRUE(testkit::alerts::sent().empty());
  EXPECT_EQ(testkit::alerts::journal().count("sendAlert"), 1u);
}

}  // namespace
