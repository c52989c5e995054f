// Audit records and alerts.
#include <gtest/gtest.h>

#include <tuple>

#include "frame/EvAlertEx.h"
#include "frame/EvGuiAudit.h"
#include "platform/testkit/alerts.h"
#include "platform/testkit/audit.h"

namespace {

TEST(AuditRecord, CarriesOperationEntityAndItsOwnCopiesOfTheParameters) {
  testkit::audit::reset();
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
  EXPECT_EQ(std::tie(r.operationId, r.userId, r.entityType, r.entityId, r.inTransaction),
            std::make_tuple(0x540000B5, 17, 9, 4108, false));
  ASSERT_EQ(r.params.size(), 2u);
  EXPECT_EQ(r.params[0].messageId, 0x5500018B);
  EXPECT_EQ(r.params[0].arguments, (std::vector<std::string>{"DiskLib1", "disk library"}));
  EXPECT_EQ(r.params[1].messageId, 0x550000BF);
  EXPECT_EQ(r.params[1].arguments, (std::vector<std::string>{"second"}));

  audit.clear();
  EXPECT_EQ(audit.operationId(), 0);
  EXPECT_EQ(audit.numParam(), 0);
  testkit::audit::reset();
}

TEST(Alerts, SentWithTheirNumbersAndTextsThatAreNeverFormats) {
  testkit::alerts::reset();
  EvAlertEx alert;
  alert.setAlert(1020, nullptr);
  alert.setWhomId(17, nullptr);
  alert.setCondition(12);
  alert.fmtNewMsgString("User [%d] refused: %s", 5, "100%d %s");
  EXPECT_EQ(alert.getMsgString(), "User [5] refused: 100%d %s");
  EXPECT_EQ(alert.sendAlert(0, 0, 0), 0);
  auto sent = testkit::alerts::sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(std::tie(sent[0].alertId, sent[0].whomId, sent[0].condition, sent[0].message),
            std::make_tuple(1020, 17L, 12, std::string("User [5] refused: 100%d %s")));

  const std::string longText(5000, 'q');
  alert.fmtNewMsgString("%s", longText.c_str());
  EXPECT_EQ(alert.getMsgString(), longText);

  // A failure of the alert service keeps the alert unsent.
  testkit::alerts::journal().injectFailure("sendAlert", -2, "service down");
  EXPECT_EQ(alert.sendAlert(0, 0, 0), -2);
  EXPECT_EQ(testkit::alerts::sent().size(), 1u);
  alert.Clear();
  EXPECT_EQ(alert.getAlertId(), 0);
  EXPECT_TRUE(alert.getMsgString().empty());
}

}  // namespace
