// The three procedure bindings against the engine: input binding in both
// engine modes, rebinding, whole result rows into the row structs (texts to
// the full width of their fields, never beyond), and failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "Db/Proc/MMS2getMountPathListForLibAndMA.h"
#include "platform/testkit/db.h"
#include "tests/db_storagepolicy/RowFill.h"
#include "tests/support/TestDatabase.h"

namespace {

using namespace sptest;

class ProcedureBindings : public ::testing::Test {
 protected:
  std::vector<tkjournal::Call> calls(const char* name) { return testkit::db::journal().calls(name); }
  tktest::TestDatabase db;
};

// --- inputs --------------------------------------------------------------------------

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
  std::vector<tkjournal::Call> run = calls("procedure");
  ASSERT_EQ(1u, run.size());
  EXPECT_EQ((std::vector<std::string>{"MMS2getArchGrpNCopyListByLibIdEZ", "12", "0"}), run[0].args);
  EXPECT_TRUE(calls("valuesClauseCheck").empty());
}

TEST_F(ProcedureBindings, SetZQDBValuesHandsTheValueObjectsToTheEngine) {
  testkit::db::overrideProcedure("MMS2getMountPathListForLibAndMA", {});
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibId", {});
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setZQDBValues(new ZQDB_int(3), new ZQDB_int(-4));  // the engine frees them
  MMS2getArchGrpNCopyListByLibId one(nullptr);
  one.setZQDBValues(new ZQDB_int(9));
  int count = 0;
  EXPECT_EQ(100, getNextRow(&list, &count, -1, 0));
  EXPECT_EQ(100, getNextRow(&one, &count, -1, 0));
  std::vector<tkjournal::Call> run = calls("procedure");
  ASSERT_EQ(2u, run.size());
  EXPECT_EQ((std::vector<std::string>{"MMS2getMountPathListForLibAndMA", "3", "-4"}), run[0].args);
  EXPECT_EQ((std::vector<std::string>{"MMS2getArchGrpNCopyListByLibId", "9"}), run[1].args);
}

TEST_F(ProcedureBindings, TextModeWritesDecimalInputsAfterASizeCheck) {
  DBtable::b_newDBBase = 0;
  MMS2getArchGrpNCopyListByLibId one(nullptr);
  one.setValues(-5);
  MMS2getArchGrpNCopyListByLibIdEZ ez(nullptr);
  ez.setValues(12, 0);
  MMS2getMountPathListForLibAndMA list(nullptr);
  list.setValues(2147483647, -2147483647 - 1);
  EXPECT_EQ("-5", one.getValuesClause());
  EXPECT_EQ("12,0", ez.getValuesClause());
  EXPECT_EQ("2147483647,-2147483648", list.getValuesClause());
  for (const DBtable* object : std::vector<const DBtable*>{&one, &ez, &list}) {
    EXPECT_EQ(0u, object->getBoundInputCount());
    EXPECT_EQ(0, object->getInputsBound());
  }
  std::vector<tkjournal::Call> checks = calls("valuesClauseCheck");
  ASSERT_EQ(3u, checks.size());
  EXPECT_EQ((std::vector<std::string>{"MMS2getArchGrpNCopyListByLibId", "14"}), checks[0].args);
  EXPECT_EQ((std::vector<std::string>{"MMS2getArchGrpNCopyListByLibIdEZ", "29"}), checks[1].args);
  EXPECT_EQ((std::vector<std::string>{"MMS2getMountPathListForLibAndMA", "29"}), checks[2].args);

  // The clause reaches the body as the same inputs.
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibIdEZ", {});
  int count = 0;
  EXPECT_EQ(100, getNextRow(&ez, &count, -1, 0));
  std::vector<tkjournal::Call> run = calls("procedure");
  ASSERT_EQ(1u, run.size());
  EXPECT_EQ((std::vector<std::string>{"MMS2getArchGrpNCopyListByLibIdEZ", "12", "0"}), run[0].args);
  DBtable::b_newDBBase = 1;
}

// --- whole rows ---------------------------------------------------------------------------

// The procedure's rows as the values of fillRow would give them.
template <class Row>
tkdb::DbRow valuesOf(const Row& row) {
  tkdb::DbRow out;
  const ZQDBColumns& cols = Row::zqdbColumns();
  const char* base = reinterpret_cast<const char*>(&row);
  for (int i = 0; i < cols.count; ++i) {
    const ZQDBColumnDesc& c = cols.cols[i];
    const char* field = base + c.offset;
    switch (c.field) {
      case ZQDBFieldKind::Int32: {
        int v;
        std::memcpy(&v, field, sizeof v);
        out.emplace_back(v);
        break;
      }
      case ZQDBFieldKind::Int64: {
        long long v;
        std::memcpy(&v, field, sizeof v);
        out.emplace_back(v);
        break;
      }
      case ZQDBFieldKind::FixedText: out.emplace_back(std::string(field)); break;
      default: ADD_FAILURE() << "no such column kind in a procedure"; break;
    }
  }
  return out;
}

template <class Proc, class Row>
void expectFullRowsArrive(const char* name) {
  SCOPED_TRACE(name);
  Row first;
  Row second;
  fillRow(first, 1);
  fillRow(second, 2);
  testkit::db::overrideProcedure(name, {valuesOf(first), valuesOf(second)});
  Proc proc(nullptr);
  proc.setIsolationType(4);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
  expectRowsEqual(first, *proc.getDataPtr());
  ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
  expectRowsEqual(second, *proc.getDataPtr());
  EXPECT_EQ(100, getNextRow(&proc, &count, -1, 0));
  EXPECT_EQ(2, count);
  // The catalogue holds the last row too.
  auto* cat = proc.getCatalogue();
  ASSERT_NE(nullptr, cat);
  auto* firstColumn = dynamic_cast<ZQDB_int*>(cat->getData().at(0));
  ASSERT_NE(nullptr, firstColumn);
  int want;
  std::memcpy(&want, &second, sizeof want);
  EXPECT_EQ(want, firstColumn->getValue());
}

TEST_F(ProcedureBindings, WholeRowsArriveWithTextsToTheFullWidthOfTheirFields) {
  expectFullRowsArrive<MMS2getArchGrpNCopyListByLibId, MMS2getArchGrpNCopyListByLibId_t>(
      "MMS2getArchGrpNCopyListByLibId");
  expectFullRowsArrive<MMS2getArchGrpNCopyListByLibIdEZ, MMS2getArchGrpNCopyListByLibIdEZ_t>(
      "MMS2getArchGrpNCopyListByLibIdEZ");
  expectFullRowsArrive<MMS2getMountPathListForLibAndMA, MMS2getMountPathListForLibAndMA_t>(
      "MMS2getMountPathListForLibAndMA");
  // The fills are exactly 1,020, 4,096 and 255 characters long.
  MMS2getArchGrpNCopyListByLibId_t l;
  fillRow(l, 1);
  EXPECT_EQ(1020u, std::strlen(l.gName));
  MMS2getMountPathListForLibAndMA_t m;
  fillRow(m, 1);
  EXPECT_EQ(4096u, std::strlen(m.o_mountPathName));
  EXPECT_EQ(4096u, std::strlen(m.o_baseFolder));
  EXPECT_EQ(255u, std::strlen(m.o_net_HostName));
}

TEST_F(ProcedureBindings, OverlongTextsAreCutToTheirFieldsNeverBeyond) {
  std::string longName(5000, 'n');
  std::string longHost(300, 'h');
  tkdb::DbRow row(24, tkdb::DbValue(0));
  row[0] = 1;
  row[1] = longName;
  row[2] = longName;
  row[10] = longHost;
  row[11] = longHost;
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
  testkit::db::overrideProcedure("MMS2getArchGrpNCopyListByLibIdEZ",
                                 {{4, longPolicy, 1, 5, longPolicy, 30, 2, 80, 1}});
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
  int rc = getNextRow(&list, &count, -1, 0);
  EXPECT_EQ(50001, rc);
  EXPECT_EQ(0, list.getDataPtr()->groupId);
  EXPECT_STREQ("", list.getDataPtr()->groupName);
  testkit::db::journal().injectFailure("getNextRow", 204, "locked");
  MMS2getMountPathListForLibAndMA mp(nullptr);
  mp.setValues(1, 2);
  rc = getNextRow(&mp, &count, -1, 0);
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
