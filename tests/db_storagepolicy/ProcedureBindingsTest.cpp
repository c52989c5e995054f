// The three procedure bindings against the engine: inputs in both engine
// modes, rebinding, whole result rows into the row structs (texts to the full
// width of their fields, never beyond), and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "platform/testkit/db.h"
#include "tests/support/RowFill.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Seed.h"

namespace {

using Call = std::vector<std::string>;

using ProcedureBindings = tktest::DatabaseTest;

TEST_F(ProcedureBindings, TypedModeBindsOneValueObjectPerInputInOrder) {
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibIdEZ", {});
  MMS2getArchGrpNCopyListByLibIdEZ ez(nullptr);
  ez.setValues(7, 1);
  ez.setValues(12, 0);  // replaces the first binding
  EXPECT_EQ(2u, ez.getBoundInputCount());
  EXPECT_EQ(1, ez.getInputsBound());
  EXPECT_EQ("", ez.getValuesClause());
  int count = 0;
  EXPECT_EQ(100, getNextRow(&ez, &count, -1, 0));
  EXPECT_EQ((Call{"MMS2getArchGrpNCopyListByLibIdEZ", "12", "0"}), tktest::lastProcedureCall());
  EXPECT_EQ("(none)", tktest::lastValuesCheck());

  // setZQDBValues hands the caller's value objects to the engine, which frees them.
  testkit::db::overrideProcedure("MMS2getMountPathListForLibAndMA", {});
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibId", {});
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setZQDBValues(new ZQDB_int(3), new ZQDB_int(-4));
  EXPECT_EQ(100, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ((Call{"MMS2getMountPathListForLibAndMA", "3", "-4"}), tktest::lastProcedureCall());
  MMS2getArchGrpNCopyListByLibId one(nullptr);
  one.setZQDBValues(new ZQDB_int(9));
  EXPECT_EQ(100, getNextRow(&one, &count, -1, 0));
  EXPECT_EQ((Call{"MMS2getArchGrpNCopyListByLibId", "9"}), tktest::lastProcedureCall());
}

TEST_F(ProcedureBindings, TextModeWritesDecimalInputsAfterASizeCheck) {
  DBtable::b_newDBBase = 0;
  MMS2getArchGrpNCopyListByLibId one(nullptr);
  one.setValues(-5);
  EXPECT_EQ("-5", one.getValuesClause());
  EXPECT_EQ("14", tktest::lastValuesCheck());
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setValues(2147483647, -2147483647 - 1);
  EXPECT_EQ("2147483647,-2147483648", list.getValuesClause());
  EXPECT_EQ("29", tktest::lastValuesCheck());
  MMS2getArchGrpNCopyListByLibIdEZ ez(nullptr);
  ez.setValues(12, 0);
  EXPECT_EQ("12,0", ez.getValuesClause());
  EXPECT_EQ("29", tktest::lastValuesCheck());
  for (const DBtable* object : std::vector<const DBtable*>{&one, &ez, &list}) {
    EXPECT_EQ(0u, object->getBoundInputCount());
    EXPECT_EQ(0, object->getInputsBound());
  }
  // The clause reaches the body as the same inputs.
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibIdEZ", {});
  int count = 0;
  EXPECT_EQ(100, getNextRow(&ez, &count, -1, 0));
  EXPECT_EQ((Call{"MMS2getArchGrpNCopyListByLibIdEZ", "12", "0"}), tktest::lastProcedureCall());
}

TEST_F(ProcedureBindings, WholeRowsArriveWithTextsToTheFullWidthOfTheirFields) {
  tktest::expectProcedureRoundTrip<MMS2getArchGrpNCopyListByLibId>("MMS2getArchGrpNCopyListByLibId", 1,
                                                                    [](auto& p) { p.setValues(1); });
  tktest::expectProcedureRoundTrip<MMS2getArchGrpNCopyListByLibIdEZ>("MMS2getArchGrpNCopyListByLibIdEZ", 2,
                                                                      [](auto& p) { p.setValues(1, 1); });
  tktest::expectProcedureRoundTrip<MMS2getMountPathListForLibAndMA>("MMS2getMountPathListForLibAndMA", 3,
                                                                     [](auto& p) { p.setValues(1, 1); });
}

TEST_F(ProcedureBindings, OverlongTextsAreCutToTheirFieldsNeverBeyond) {
  tkdb::DbRow row(24, tkdb::DbValue(0));
  row[1] = row[2] = std::string(5000, 'n');
  row[10] = row[11] = std::string(300, 'h');
  testkit::db::overrideProcedure("MMS2getMountPathListForLibAndMA", {row});
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setValues(1, 1);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  const MMS2getMountPathListForLibAndMA_t* r = list.getDataPtr();
  EXPECT_EQ(std::string(4096, 'n'), r->o_mountPathName);
  EXPECT_EQ(std::string(4096, 'n'), r->o_baseFolder);
  EXPECT_EQ(std::string(255, 'h'), r->o_clientName);
  EXPECT_EQ(std::string(255, 'h'), r->o_net_HostName);
  EXPECT_EQ(0, r->o_isEnabled);

  std::string longPolicy(2000, 'p');
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibIdEZ", {{4, longPolicy, 1, 5, longPolicy, 30, 2, 80, 1}});
  MMS2getArchGrpNCopyListByLibIdEZ ez(nullptr);
  ez.setValues(1, 1);
  ASSERT_EQ(0, getNextRow(&ez, &count, -1, 0));
  EXPECT_EQ(std::string(1020, 'p'), ez.getDataPtr()->o_ArchGroupName);
  EXPECT_EQ(std::string(1020, 'p'), ez.getDataPtr()->o_DefaultCopyName);
  EXPECT_EQ(80, ez.getDataPtr()->o_DiskCapacity);
}

TEST_F(ProcedureBindings, AFailingProcedureGivesItsCodeAndNoRow) {
  testkit::db::failProcedure("MMS2getArchGrpNCopyListByLibId", 50001, "refused");
  MMS2getArchGrpNCopyListByLibId list(nullptr);
  list.setValues(1);
  int count = 0;
  EXPECT_EQ(50001, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(0, list.getDataPtr()->groupId);
  EXPECT_STREQ("", list.getDataPtr()->groupName);
  testkit::db::journal().injectFailure("getNextRow", 204, "locked");
  MMS2getMountPathListForLibAndMA mp(nullptr);
  mp.setValues(1, 2);
  int rc = getNextRow(&mp, &count, -1, 0);
  EXPECT_EQ(204, rc);
  EXPECT_STRNE("", DBtable::getErrorStr(rc));
}

TEST_F(ProcedureBindings, AProcedureObjectWorksInsideTheCallersTransaction) {
  testkit::db::overrideProcedure("MMS2getMountPathListForLibAndMA", {tkdb::DbRow(24, tkdb::DbValue(3))});
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  MMS2getMountPathListForLibAndMA list(&tran);
  list.setValues(1, 2);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(3, list.getDataPtr()->o_mountPathId);
  EXPECT_EQ(3, list.getDataPtr()->o_MPUsedForLogCaching);
  EXPECT_STREQ("3", list.getDataPtr()->o_mountPathName);
  EXPECT_EQ(0, tran.commitTran());
}

}  // namespace
