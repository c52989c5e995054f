// Stored procedures and the cursor in both engine modes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/db_engine/TestBindings.h"
#include "tests/support/BindingChecks.h"
#include "tests/support/Seed.h"

namespace {

// The bodies of the two test procedures, over the example table.
const bool kBodiesRegistered = [] {
  tkdb::registerProcedure("TestListItems", [](tkdb::ProcCall& call) {
    if (call.inputs.size() != 2) {
      call.error = "two inputs expected";
      return 50000;
    }
    return call.session.query(
        "SELECT itemId, name, note FROM exampleItem WHERE itemId >= ? AND name LIKE ? || '%' ORDER BY itemId",
        {call.inputs[0], call.inputs[1]}, call.rows);
  });
  tkdb::registerProcedure("testtouchitem", [](tkdb::ProcCall& call) {
    if (call.inputs.size() != 3) return 50000;
    return call.session.exec("UPDATE exampleItem SET flags = ? + ? WHERE itemId = ?",
                             {call.inputs[1], call.inputs[2], call.inputs[0]});
  });
  return true;
}();

// A procedure that has no body.
#define NOSUCHPROC_COLUMNS(COL) COL(o_x, i, 0)
inline constexpr ZQDBBindingInfo NoSuchProc_info{.headerType = ZQDB_HEADER_PROCEDURE,
                                                 .dbName = "NoSuchProc",
                                                 .className = "NoSuchProc",
                                                 .version = "00010001000100010000"};
struct NoSuchProc_t {
  NOSUCHPROC_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(NoSuchProc_t, NOSUCHPROC_COLUMNS)
};
class NoSuchProc_t2 : public ZQDBCatalogue<NoSuchProc_t2, NoSuchProc_t, NoSuchProc_info> {};
class NoSuchProc : public ZQDBProcedure<NoSuchProc_t, NoSuchProc_t2, NoSuchProc_info> {
 public:
  explicit NoSuchProc(DBtran* tran) : ZQDBProcedure(tran) {}
  void setValues(int a) { bindInputs(a); }
};

class Procedures : public tktest::DatabaseTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kBodiesRegistered);
    for (const char* name : {"tape", "tape'two", "disk", "tapestry"}) {
      ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, note) VALUES (?, ?)",
                           {name, std::string("note of ") + name}));
    }
  }
  std::vector<tkjournal::Call> calls(const char* name) { return testkit::db::journal().calls(name); }
};

std::vector<int> readIds(TestListItems& proc) {
  std::vector<int> ids;
  int count = 0;
  while (getNextRow(&proc, &count, -1, 0) == 0) ids.push_back(proc.getDataPtr()->o_itemId);
  return ids;
}

TEST_F(Procedures, TypedModeAndSetZQDBValuesBindValueObjectsInParameterOrder) {
  TestListItems proc(nullptr);
  proc.setIsolationType(4);
  proc.setValues(2, "tape");
  EXPECT_EQ(2u, proc.getBoundInputCount());
  EXPECT_EQ(1, proc.getInputsBound());
  EXPECT_EQ("", proc.getValuesClause());
  EXPECT_EQ((std::vector<int>{2, 4}), readIds(proc));
  std::vector<tkjournal::Call> run = calls("procedure");
  ASSERT_EQ(1u, run.size());
  EXPECT_EQ((std::vector<std::string>{"TestListItems", "2", "'tape'"}), run[0].args);
  proc.setZQDBValues(new ZQDB_int(3), new ZQDB_string("tape"));  // the engine frees them
  EXPECT_EQ((std::vector<int>{4}), readIds(proc));
}

TEST_F(Procedures, ASecondBindingReplacesTheFirstAndRunsAfreshInBothModes) {
  tktest::forBothModes([&](int mode) {
    TestListItems proc(nullptr);
    proc.setValues(1, "");
    int count = 0;
    ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
    EXPECT_EQ(1, proc.getDataPtr()->o_itemId);
    proc.setValues(3, "");
    EXPECT_EQ(mode == 1 ? 2u : 0u, proc.getBoundInputCount());
    ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
    EXPECT_EQ(3, proc.getDataPtr()->o_itemId) << "the old result was continued";
    EXPECT_EQ(1, count);
    ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
    EXPECT_EQ(4, proc.getDataPtr()->o_itemId);
    EXPECT_EQ(100, getNextRow(&proc, &count, -1, 0));
    EXPECT_EQ(2, count);
  });
}

TEST_F(Procedures, TextModeWritesTheValuesClauseAfterASizeCheck) {
  DBtable::b_newDBBase = 0;
  TestTouchItem touch(nullptr);
  touch.setValues(7, 0, 1);
  EXPECT_EQ("7,0,1", touch.getValuesClause());
  EXPECT_EQ(0u, touch.getBoundInputCount());
  EXPECT_EQ(0, touch.getInputsBound());
  std::vector<tkjournal::Call> check = calls("valuesClauseCheck");
  ASSERT_EQ(1u, check.size());
  EXPECT_EQ((std::vector<std::string>{"TestTouchItem", "44"}), check[0].args);

  touch.setValues(-12, 0, 5);
  EXPECT_EQ("-12,0,5", touch.getValuesClause());  // a negative input keeps its sign
  touch.setValues(1, 2, 5);
  EXPECT_EQ(100, getOneRow(&touch, false, -1, 0));  // runs, yields no row
  EXPECT_EQ(7, db.scalar("SELECT flags FROM exampleItem WHERE itemId = 1"));
}

TEST_F(Procedures, TextModeDoublesQuotesOfTextInputsAndSizesOnTheText) {
  DBtable::b_newDBBase = 0;
  TestListItems proc(nullptr);
  proc.setValues(0, "tape'two");
  EXPECT_EQ("0,'tape''two'", proc.getValuesClause());
  std::vector<tkjournal::Call> check = calls("valuesClauseCheck");
  ASSERT_EQ(1u, check.size());
  EXPECT_EQ("28", check[0].args[1]);  // 14 + (9 + 4) + 1: the doubled quote counts
  EXPECT_EQ((std::vector<int>{2}), readIds(proc));
  std::vector<tkjournal::Call> run = calls("procedure");
  ASSERT_EQ(1u, run.size());
  EXPECT_EQ("'tape'two'", run[0].args[2]);  // the body sees the text as the client gave it

  proc.setValues(0, "");
  EXPECT_EQ("0,''", proc.getValuesClause());
  EXPECT_EQ("19", calls("valuesClauseCheck").back().args[1]);
  EXPECT_EQ(4u, readIds(proc).size());

  proc.setValues(0, "x' OR '1'='1");
  EXPECT_TRUE(readIds(proc).empty());
}

TEST_F(Procedures, FetchFillsRowIndicatorsAndCatalogue) {
  TestListItems proc(nullptr);
  proc.setValues(2, "tape'");
  ASSERT_EQ(0, getOneRow(&proc, false, -1, 0));
  const TestListItems_t* row = proc.getDataPtr();
  EXPECT_EQ(2, row->o_itemId);
  EXPECT_STREQ("tape'two", row->o_name);
  ASSERT_NE(nullptr, row->o_note);
  EXPECT_STREQ("note of tape'two", row->o_note);
  EXPECT_EQ(8, proc.getIndicators()[1]);
  auto values = proc.getCatalogue()->getData();
  EXPECT_EQ("tape'two", static_cast<ZQDB_string*>(values[1])->getValue());
}

TEST_F(Procedures, OverriddenProceduresYieldTheTestsRowsOrError) {
  testkit::db::overrideProcedure("testlistitems", {{5, "scripted", nullptr}, {6, nullptr, "n"}});
  TestListItems proc(nullptr);
  proc.setValues(0, "");
  int count = 0;
  ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
  EXPECT_EQ(5, proc.getDataPtr()->o_itemId);
  EXPECT_STREQ("scripted", proc.getDataPtr()->o_name);
  EXPECT_EQ(nullptr, proc.getDataPtr()->o_note);
  ASSERT_EQ(0, getNextRow(&proc, &count, -1, 0));
  EXPECT_STREQ("", proc.getDataPtr()->o_name);
  EXPECT_STREQ("n", proc.getDataPtr()->o_note);
  EXPECT_EQ(100, getNextRow(&proc, &count, -1, 0));

  testkit::debuglog::Capture log;
  testkit::db::failProcedure("TestListItems", 50001, "refused by the test");
  proc.setValues(0, "");
  EXPECT_EQ(50001, getNextRow(&proc, &count, -1, 0));
  EXPECT_STREQ("Database error 50001", DBtable::getErrorStr(50001));
  EXPECT_TRUE(log.contains("refused by the test"));

  testkit::db::clearProcedureOverrides();
  proc.setValues(0, "disk");
  EXPECT_EQ((std::vector<int>{3}), readIds(proc));
}

TEST_F(Procedures, MissingBodyAndFailingBodyAreErrors) {
  NoSuchProc missing(nullptr);
  missing.setValues(1);
  EXPECT_EQ(DB_ERR_NO_PROC, getOneRow(&missing, false, -1, 0));

  TestTouchItem touch(nullptr);
  touch.setValues(1, 2, 3);
  ASSERT_EQ(100, getOneRow(&touch, false, -1, 0));
  EXPECT_EQ(5, db.scalar("SELECT flags FROM exampleItem WHERE itemId = 1"));

  DBtable::b_newDBBase = 0;
  TestTouchItem malformed(nullptr);
  malformed.valuesClauseCheck(10);
  malformed.CallDBsprintfWrapper("1,'unterminated");
  EXPECT_EQ(DB_ERR_INPUT, getOneRow(&malformed, false, -1, 0));
}

TEST_F(Procedures, OpenCursorAndFetchCursorWalkTheResult) {
  TestListItems proc(nullptr);
  proc.setValues(1, "tape");
  ASSERT_EQ(0, proc.openCursor());
  std::vector<int> ids;
  while (proc.fetchCursor(true) == 0) ids.push_back(proc.getDataPtr()->o_itemId);
  EXPECT_EQ((std::vector<int>{1, 2, 4}), ids);
  EXPECT_EQ(100, proc.fetchCursor(true));
}

TEST_F(Procedures, ProcedureBodiesWorkInTheCallersTransaction) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  {
    TestTouchItem touch(&tran);
    std::vector<DBtable*> registered = tran.registeredObjects();
    ASSERT_EQ(1u, registered.size());  // a procedure registers whenever a transaction is given
    EXPECT_EQ(&touch, registered[0]);
    touch.setValues(2, 40, 2);
    EXPECT_EQ(100, getOneRow(&touch, false, -1, 0));
  }
  ExampleItem item(nullptr);
  item.setWhere("itemId = %d", 2);
  ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_EQ(42, item.getDataPtr()->flags);  // seen inside the transaction
  ASSERT_EQ(0, tran.rollbackTran());
  ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_EQ(0, item.getDataPtr()->flags);
}

TEST_F(Procedures, CursorFormatsItsQueryAfterASizeCheckAndRunsItTranslated) {
  ASSERT_EQ(0, db.exec("UPDATE exampleItem SET flags = 6 WHERE itemId IN (2, 3)"));
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    testkit::db::journal().reset();
    TestItemCursor cursor(nullptr);
    cursor.setValues(2, 4, 4);
    EXPECT_EQ(0, cursor.getInputsBound());
    std::vector<tkjournal::Call> check = calls("querySizeCheck");
    ASSERT_EQ(1u, check.size());
    EXPECT_EQ(std::to_string((sizeof(TESTITEMCURSOR_SQL) - 1 + 36) * 2), check[0].args[1]);
    EXPECT_EQ("false", check[0].args[2]);
    std::vector<int> ids;
    int count = 0;
    while (getNextRow(&cursor, &count, -1, 0) == 0) {
      ids.push_back(cursor.getDataPtr()->r_itemId);
      EXPECT_EQ(4, cursor.getDataPtr()->r_total);
    }
    EXPECT_EQ((std::vector<int>{2, 3}), ids);
    std::string sql = testkit::db::statements().back();
    EXPECT_EQ(std::string::npos, sql.find("NOLOCK")) << sql;
    EXPECT_NE(std::string::npos, sql.find("i.itemId >= 2 AND i.flags & 4 = 4")) << sql;
  }
}

// --- a cursor served by a body ----------------------------------------------------------------

// The body registered under the cursor testBodyCursor's name: the items
// from an id whose names start with a prefix, the third value in every row.
const bool kCursorBodyRegistered = [] {
  tkdb::registerProcedure("testBodyCursor", [](tkdb::ProcCall& call) -> int {
    using Type = tkdb::DbValue::Type;
    if (call.inputs.size() != 3 || call.inputs[0].type != Type::Int || call.inputs[1].type != Type::Text ||
        call.inputs[2].type != Type::Int) {
      call.error = "an integer, a text and an integer expected";
      return DB_ERR_INPUT;
    }
    return call.session.query(
        "SELECT itemId, name, note, ? FROM exampleItem WHERE itemId >= ? AND name LIKE ? || '%' ORDER BY itemId",
        {call.inputs[2], call.inputs[0], call.inputs[1]}, call.rows);
  });
  return true;
}();

class BodyCursor : public Procedures {
 protected:
  void SetUp() override {
    Procedures::SetUp();
    ASSERT_TRUE(kCursorBodyRegistered);
  }
  static std::vector<int> ids(DBtable* cursor, const TestBodyCursor_t* row) {
    std::vector<int> out;
    int count = 0;
    while (getNextRow(cursor, &count, -1, 0) == 0) out.push_back(row->r_itemId);
    return out;
  }
  // Whether the cursor's text was handed to the database.
  static bool textRan() {
    for (const std::string& sql : testkit::db::statements()) {
      if (sql.find("NOCOUNT") != std::string::npos) return true;
    }
    return false;
  }
};

TEST_F(BodyCursor, TheBodyRunsInPlaceOfTheTextWithTheFormattedValuesInBothModes) {
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    DBtable::b_newDBBase = mode;
    testkit::db::journal().reset();
    TestBodyCursor cursor(nullptr);
    cursor.setValues(2, "tape'", 5'000'000'000LL);
    // The text is formatted as ever (the quote doubled), the values kept as given.
    EXPECT_NE(std::string::npos,
              cursor.getQueryText().find("SELECT @from = 2, @prefix = 'tape''', @big = 5000000000\n"));
    EXPECT_EQ((std::vector<tkdb::DbValue>{2, "tape'", 5'000'000'000LL}), cursor.getQueryInputs());
    EXPECT_EQ(0, cursor.getInputsBound());
    EXPECT_EQ(0u, cursor.getBoundInputCount());

    int count = 0;
    ASSERT_EQ(0, getNextRow(&cursor, &count, -1, 0));
    const TestBodyCursor_t& row = *cursor.getDataPtr();
    EXPECT_EQ(2, row.r_itemId);
    EXPECT_STREQ("tape'two", row.r_name);
    ASSERT_NE(nullptr, row.r_note);
    EXPECT_STREQ("note of tape'two", row.r_note);
    EXPECT_EQ(5'000'000'000LL, row.r_big);
    EXPECT_EQ(100, getNextRow(&cursor, &count, -1, 0));
    EXPECT_EQ(1, count);
    EXPECT_EQ(ZQDB_KIND_CURSOR, cursor.getKind());

    std::vector<tkjournal::Call> run = calls("procedure");
    ASSERT_EQ(1u, run.size());
    EXPECT_EQ((std::vector<std::string>{"testBodyCursor", "2", "'tape''", "5000000000"}), run[0].args);
    EXPECT_FALSE(textRan());

    if (mode == 1) {  // indicators and catalogue as for a procedure's row
      EXPECT_EQ(4, cursor.getIndicators()[0]);
      EXPECT_EQ(8, cursor.getIndicators()[1]);
      EXPECT_EQ(8, cursor.getIndicators()[3]);
      std::vector<ZQDBDataTypeBase*> values = cursor.getCatalogue()->getData();
      ASSERT_EQ(4u, values.size());
      EXPECT_EQ("tape'two", static_cast<ZQDB_string*>(values[1])->getValue());
      EXPECT_EQ(5'000'000'000LL, static_cast<ZQDB_int64*>(values[3])->getValue());
    } else {
      EXPECT_EQ(nullptr, cursor.getCatalogue());
    }
  }
}

TEST_F(BodyCursor, APlainDBtableReadsItAsWell) {
  TestBodyCursor cursor(nullptr);
  DBtable* plain = &cursor;
  cursor.setValues(1, "tape", 0);
  EXPECT_EQ((std::vector<int>{1, 2, 4}), ids(plain, cursor.getDataPtr()));
  cursor.setValues(3, "", 0);  // a new run: the values of the new text
  EXPECT_EQ((std::vector<int>{3, 4}), ids(plain, cursor.getDataPtr()));
  ASSERT_EQ(0, getOneRow(plain, false, -1, 0));
  EXPECT_EQ(3, cursor.getDataPtr()->r_itemId);
  EXPECT_FALSE(textRan());
}

TEST_F(BodyCursor, OverridesAndFailuresReachTheReader) {
  testkit::db::overrideProcedure("TESTBODYCURSOR", {{9, "scripted", nullptr, 1LL << 40}});
  TestBodyCursor cursor(nullptr);
  cursor.setValues(0, "", 0);
  int count = 0;
  ASSERT_EQ(0, getNextRow(&cursor, &count, -1, 0));
  EXPECT_EQ(9, cursor.getDataPtr()->r_itemId);
  EXPECT_STREQ("scripted", cursor.getDataPtr()->r_name);
  EXPECT_EQ(nullptr, cursor.getDataPtr()->r_note);
  EXPECT_EQ(ZQDB_NULL_DATA, cursor.getIndicators()[2]);
  EXPECT_TRUE(cursor.getCatalogue()->getData()[2]->isNull());
  EXPECT_EQ(1LL << 40, cursor.getDataPtr()->r_big);
  EXPECT_EQ(100, getNextRow(&cursor, &count, -1, 0));

  testkit::debuglog::Capture log;
  testkit::db::failProcedure("testBodyCursor", 50002, "refused by the test");
  cursor.setValues(0, "", 0);
  EXPECT_EQ(50002, getNextRow(&cursor, &count, -1, 0));
  EXPECT_EQ(50002, getOneRow(&cursor, false, -1, 0));
  EXPECT_TRUE(log.contains("refused by the test"));
  EXPECT_TRUE(log.contains("Cursor TestBodyCursor"));

  testkit::db::clearProcedureOverrides();
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), ids(&cursor, cursor.getDataPtr()));
  EXPECT_FALSE(textRan());
}

TEST_F(BodyCursor, TheInputsAreExactlyWhatWasFormattedSinceTheQueryStarted) {
  testkit::debuglog::Capture log;
  TestBodyCursor cursor(nullptr);
  cursor.setValues(1, "tape", 7);
  cursor.querySizeCheck(40, false);  // starts the text and its values afresh
  EXPECT_TRUE(cursor.getQueryInputs().empty());
  cursor.CallDBsprintfWrapper("EXEC x %d", 3);
  EXPECT_EQ(DB_ERR_INPUT, getOneRow(&cursor, false, -1, 0));  // the body refuses one input
  EXPECT_TRUE(log.contains("an integer, a text and an integer expected"));
  // Kept across calls and across a size check that keeps the text.
  cursor.querySizeCheck(80, true);
  cursor.CallDBsprintfWrapper(", '%s'", "disk");
  cursor.CallDBsprintfWrapper(", %lld", -1LL);
  EXPECT_EQ("EXEC x 3, 'disk', -1", cursor.getQueryText());
  EXPECT_EQ((std::vector<int>{3}), ids(&cursor, cursor.getDataPtr()));
  EXPECT_EQ(-1, cursor.getDataPtr()->r_big);
}

TEST_F(BodyCursor, TheBodyWorksInTheCursorsTransaction) {
  DBtran tran;
  ASSERT_EQ(0, tran.startTran());
  ASSERT_EQ(0, db.exec("UPDATE exampleItem SET name = 'tape five' WHERE itemId = 3"));  // joins the transaction
  {
    TestBodyCursor cursor(&tran);
    cursor.setValues(0, "tape", 0);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), ids(&cursor, cursor.getDataPtr()));
  }
  ASSERT_EQ(0, tran.rollbackTran());
  TestBodyCursor after(nullptr);
  after.setValues(0, "tape", 0);
  EXPECT_EQ((std::vector<int>{1, 2, 4}), ids(&after, after.getDataPtr()));
}

}  // namespace
