// Table and view bindings against a real temporary database: schema,
// result codes, fetching, writing, quoting and the dialect.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/db/DBSession.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/db_engine/TestBindings.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/Seed.h"

namespace {

class Engine : public tktest::DatabaseTest {
 protected:

  // Inserts an item through the binding and returns its new id.
  int addItem(const char* name, const char* note = nullptr, int flags = 0) {
    ExampleItem item(nullptr);
    ExampleItem_t* row = item.getDataPtr();
    strncpy_s(row->name, sizeof row->name, name, sizeof row->name - 1);
    if (note != nullptr) {
      row->note = new char[std::strlen(note) + 1];
      std::strcpy(row->note, note);
    }
    row->flags = flags;
    EXPECT_EQ(0, item.rowInsert(true));
    return row->itemId;
  }
};

TEST_F(Engine, FirstOpenCreatesTheDirectoryTheFileAndTheSchema) {
  EXPECT_FALSE(std::filesystem::exists(db.path()));
  ExampleItem item(nullptr);
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));
  EXPECT_TRUE(std::filesystem::exists(db.path()));
  EXPECT_EQ("wal", db.text("PRAGMA journal_mode"));
  EXPECT_EQ(1, db.scalar("PRAGMA foreign_keys"));
  std::string create = db.text("SELECT sql FROM sqlite_master WHERE name = 'exampleItem'");
  EXPECT_NE(std::string::npos, create.find("\"itemId\" INTEGER PRIMARY KEY AUTOINCREMENT")) << create;
  EXPECT_NE(std::string::npos, create.find("\"name\" TEXT COLLATE NOCASE")) << create;
  EXPECT_NE(std::string::npos, create.find("\"created\" TEXT")) << create;
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'testItemView' AND type = 'view'"));
}

TEST_F(Engine, GeneratedCreateStatementsFollowTheKeys) {
  EXPECT_EQ(
      "CREATE TABLE IF NOT EXISTS \"testJobLink\" (\"jobId\" INTEGER, \"tarnfoldId\" INTEGER, \"itemId\" INTEGER, "
      "\"label\" TEXT COLLATE NOCASE, PRIMARY KEY (\"jobId\", \"tarnfoldId\"))",
      tkdb::schemaStatementFor("testJobLink"));
  EXPECT_EQ("CREATE TABLE IF NOT EXISTS \"testSetting\" (\"name\" TEXT COLLATE NOCASE, \"value\" TEXT COLLATE NOCASE)",
            tkdb::schemaStatementFor("TESTSETTING"));
  EXPECT_EQ("", tkdb::schemaStatementFor("TestListItems"));
}

TEST_F(Engine, ResultCodesAreZeroForARowHundredForNoneAndTheEnginesOwnForErrors) {
  addItem("one");
  ExampleItem item(nullptr);
  // SQLite reports a row as 100: the engine reports it as 0.
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));
  item.setWhere("itemId = %d", 999);
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));

  testkit::debuglog::Capture log;
  item.setWhere("no_such_column = %d", 1);
  int sqlError = getOneRow(&item, false, -1, 0);
  EXPECT_EQ(DB_ERR_SQL, sqlError);
  EXPECT_STREQ("The statement is not valid for the database", DBtable::getErrorStr(sqlError));
  EXPECT_TRUE(log.contains("getOneRow", "Table ExampleItem"));

  TestJobLink first(nullptr);
  first.getDataPtr()->jobId = 1;
  first.getDataPtr()->tarnfoldId = 2;
  ASSERT_EQ(0, first.rowInsert(true));
  TestJobLink again(nullptr);
  again.getDataPtr()->jobId = 1;
  again.getDataPtr()->tarnfoldId = 2;
  EXPECT_EQ(DB_ERR_CONSTRAINT, again.rowInsert(true));  // SQLite's own code would be 19
}

TEST_F(Engine, EveryNonZeroCodeHasAText) {
  const int engineCodes[] = {100, 200, 201, 202, 203, 204, 205, 206, 207, 208, 209,
                             210, 211, 212, 213, 254, 255, 290, 291, 292};
  std::set<std::string> texts;
  for (int code : engineCodes) {
    std::string text = DBtable::getErrorStr(code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_EQ(std::string::npos, text.find("Database error")) << code;
    texts.insert(text);
  }
  EXPECT_EQ(std::size(engineCodes), texts.size()) << "two codes share a text";
  EXPECT_STREQ("Database error 50001", DBtable::getErrorStr(50001));
  EXPECT_STREQ("Database error -7", DBtable::getErrorStr(-7));
  const char* a = DBtable::getErrorStr(1);
  const char* b = DBtable::getErrorStr(2);
  EXPECT_STREQ("Database error 1", a);  // several texts can stand in one log call
  EXPECT_STREQ("Database error 2", b);
}

TEST_F(Engine, InsertWritesTheNewIdentityIntoTheSerialField) {
  ExampleItem item(nullptr);
  ExampleItem_t* row = item.getDataPtr();
  row->itemId = 77;  // never written: the database assigns the identity
  std::strcpy(row->name, "first");
  ASSERT_EQ(0, item.rowInsert(true));
  EXPECT_EQ(1, row->itemId);
  ASSERT_EQ(0, item.rowInsert(true));
  EXPECT_EQ(2, row->itemId);
  row->itemId = -5;
  ASSERT_EQ(0, item.rowInsert(false));
  EXPECT_EQ(-5, row->itemId);
  EXPECT_EQ(3, db.scalar("SELECT MAX(itemId) FROM exampleItem"));
  EXPECT_EQ(3, db.scalar("SELECT COUNT(*) FROM exampleItem WHERE name = 'first'"));
}

TEST_F(Engine, RowInsertAndFetchRoundTripEveryFieldKind) {
  ExampleItem item(nullptr);
  ExampleItem_t* row = item.getDataPtr();
  std::strcpy(row->name, "Ünïcode tape");
  row->note = new char[8];
  std::strcpy(row->note, "a note");
  row->sizeBytes = (1LL << 40) + 3;
  row->created = tagTIMESTAMP_STRUCT{2024, 2, 29, 12, 34, 56, 789'000'000};
  row->flags = -17;
  ASSERT_EQ(0, item.rowInsert(true));
  int id = row->itemId;

  ExampleItem read(nullptr);
  read.setWhere("itemId = %d", id);
  ASSERT_EQ(0, getOneRow(&read, false, -1, 0));
  const ExampleItem_t* got = read.getDataPtr();
  EXPECT_EQ(id, got->itemId);
  EXPECT_STREQ("Ünïcode tape", got->name);
  ASSERT_NE(nullptr, got->note);
  EXPECT_STREQ("a note", got->note);
  EXPECT_EQ((1LL << 40) + 3, got->sizeBytes);
  EXPECT_EQ(2024, got->created.year);
  EXPECT_EQ(2, got->created.month);
  EXPECT_EQ(29, got->created.day);
  EXPECT_EQ(12, got->created.hour);
  EXPECT_EQ(34, got->created.minute);
  EXPECT_EQ(56, got->created.second);
  EXPECT_EQ(789'000'000u, got->created.fraction);
  EXPECT_STREQ("2024-02-29 12:34:56.789", got->created.text);
  EXPECT_EQ(-17, got->flags);
  EXPECT_EQ("2024-02-29 12:34:56.789", db.text("SELECT created FROM exampleItem"));
}

TEST_F(Engine, NullColumnsMapToZeroEmptyNullAndClearedWithIndicatorsAndNullValues) {
  ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, note, sizeBytes, created, flags) VALUES (NULL, NULL, NULL, "
                       "NULL, NULL)"));
  ExampleItem item(nullptr);
  ExampleItem_t* row = item.getDataPtr();
  std::strcpy(row->name, "stale");
  row->note = new char[6];
  std::strcpy(row->note, "stale");
  row->flags = 5;
  row->created = tagTIMESTAMP_STRUCT{2001, 1, 1, 0, 0, 0, 0};
  ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_STREQ("", row->name);
  EXPECT_EQ(nullptr, row->note);
  EXPECT_EQ(0, row->sizeBytes);
  EXPECT_TRUE(row->created.isCleared());
  EXPECT_EQ(0, row->flags);

  const long long* ind = item.getIndicators();
  EXPECT_EQ(4, ind[0]);  // itemId: a 32-bit value
  for (int i = 1; i < 6; ++i) EXPECT_EQ(ZQDB_NULL_DATA, ind[i]) << i;
  std::vector<ZQDBDataTypeBase*> values = item.getCatalogue()->getData();
  EXPECT_FALSE(values[0]->isNull());
  for (int i = 1; i < 6; ++i) EXPECT_TRUE(values[i]->isNull()) << i;
}

TEST_F(Engine, FetchedValuesReachTheCatalogueAndTheIndicatorsOnlyInTypedMode) {
  addItem("abc", "note text", 3);
  ExampleItem item(nullptr);
  ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
  std::vector<ZQDBDataTypeBase*> values = item.getCatalogue()->getData();
  EXPECT_EQ(1, static_cast<ZQDB_int*>(values[0])->getValue());
  EXPECT_EQ("abc", static_cast<ZQDB_string*>(values[1])->getValue());
  EXPECT_EQ("note text", static_cast<ZQDB_string*>(values[2])->getValue());
  EXPECT_EQ(3, static_cast<ZQDB_int*>(values[5])->getValue());
  EXPECT_EQ(3, item.getIndicators()[1]);
  EXPECT_EQ(9, item.getIndicators()[2]);
  EXPECT_EQ(ZQDB_NULL_DATA, item.getIndicators()[4]);  // created was cleared: NULL

  DBtable::b_newDBBase = 0;  // the text mode hands no indicator array to the engine
  ExampleItem text(nullptr);
  ASSERT_EQ(0, getOneRow(&text, false, -1, 0));
  EXPECT_STREQ("abc", text.getDataPtr()->name);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(0, text.getIndicators()[i]) << i;
}

TEST_F(Engine, FetchedTextsAreCutToTheirFieldOnACharacterBoundary) {
  // name is char[65]: at most 64 bytes. 63 ASCII bytes and a two-byte letter
  // would need 65; the letter must go whole, not half.
  std::string split = std::string(63, 'a') + "\xC3\xA9";
  std::string fits = std::string(62, 'b') + "\xC3\xA9";
  std::string four = std::string(61, 'c') + "\xF0\x9F\x92\xBE";  // a four-byte character over the end
  std::string longAscii(200, 'd');
  const std::pair<std::string, std::string> cases[] = {
      {split, std::string(63, 'a')},
      {fits, fits},
      {four, std::string(61, 'c')},
      {longAscii, std::string(64, 'd')},
  };
  for (const auto& [stored, expected] : cases) {
    ASSERT_EQ(0, db.exec("DELETE FROM exampleItem"));
    ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name) VALUES (?)", {stored}));
    ExampleItem item(nullptr);
    ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
    EXPECT_EQ(expected, std::string(item.getDataPtr()->name));
    EXPECT_EQ(static_cast<long long>(stored.size()), item.getIndicators()[1]);  // the full length, as ODBC does
  }
}

TEST_F(Engine, RefetchingHeapTextsReplacesThemWithoutLeaksOrStaleValues) {
  addItem("a", "first note");
  addItem("b", nullptr);
  addItem("c", std::string(3000, 'x').c_str());
  addItem("d", "");
  ExampleItem item(nullptr);
  int count = 0;
  std::vector<std::string> notes;
  while (getNextRow(&item, &count, -1, 0) == 0) {
    const char* note = item.getDataPtr()->note;
    notes.push_back(note == nullptr ? "<null>" : std::string(note));
  }
  EXPECT_EQ(4, count);
  ASSERT_EQ(4u, notes.size());
  EXPECT_EQ("first note", notes[0]);
  EXPECT_EQ("<null>", notes[1]);
  EXPECT_EQ(std::string(3000, 'x'), notes[2]);
  EXPECT_EQ("", notes[3]);
  // The same object fetching again frees what it holds first.
  ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_STREQ("first note", item.getDataPtr()->note);
}

// getOneRow runs its query on every call; getNextRow runs again after a new
// where clause instead of going on with a stale result.
TEST_F(Engine, EveryReadAfterANewClauseRunsTheQueryAgain) {
  addItem("a");
  addItem("b");
  addItem("c");
  ExampleItem item(nullptr);
  item.setWhere("itemId = %d", 2);
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));
  ASSERT_EQ(0, db.exec("UPDATE exampleItem SET name = 'changed' WHERE itemId = 2"));
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_STREQ("changed", item.getDataPtr()->name);
  ASSERT_EQ(0, db.exec("DELETE FROM exampleItem WHERE itemId = 2"));
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));
  ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (itemId, name) VALUES (2, 'b')"));

  int count = 0;
  item.setWhere("itemId >= %d", 1);
  ASSERT_EQ(0, getNextRow(&item, &count, -1, 0));
  EXPECT_EQ(1, item.getDataPtr()->itemId);
  item.setWhere("itemId = %d", 3);
  ASSERT_EQ(0, getNextRow(&item, &count, -1, 0));
  EXPECT_EQ(3, item.getDataPtr()->itemId);
  EXPECT_EQ(1, count);
  EXPECT_EQ(100, getNextRow(&item, &count, -1, 0));
  EXPECT_EQ(100, getNextRow(&item, &count, -1, 0));  // stays at the end
  item.setOrderBy("itemId DESC");
  item.setWhere("itemId < %d", 3);
  ASSERT_EQ(0, getNextRow(&item, &count, -1, 0));
  EXPECT_EQ(2, item.getDataPtr()->itemId);
}

TEST_F(Engine, QuotesInClientTextAreDoubledInWhereClausesAndUpdateTextsAndTextsIgnoreCase) {
  addItem("O'Neil");
  addItem("Smith");
  ExampleItem item(nullptr);
  item.setWhere("name = '%s'", "O'Neil");
  ASSERT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_STREQ("O'Neil", item.getDataPtr()->name);

  item.setWhere("name = '%s'", "x' OR '1'='1");
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));
  item.setWhere("name = '%s'", "x'; DELETE FROM exampleItem; --");
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0));
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM exampleItem"));

  // Text columns compare without regard to case, column names in any letter case.
  item.setWhere("NAME = '%s' AND ItemID = %d", "o'NEIL", 1);
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));

  item.setWhere("name = '%s'", "Smith");
  ASSERT_EQ(0, item.rowUpdate("name = '%s', flags = %d", "D'Arcy', flags = 99 --", 4));
  EXPECT_EQ("D'Arcy', flags = 99 --", db.text("SELECT name FROM exampleItem WHERE flags = 4"));
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM exampleItem WHERE flags = 99"));
}

TEST_F(Engine, UpdateAnswersHundredWhenTheWhereClauseMatchesNoRow) {
  addItem("a", nullptr, 1);
  addItem("b", nullptr, 5);
  ExampleItem item(nullptr);
  item.setWhere("flags & %d = %d", 4, 4);
  EXPECT_EQ(0, item.rowUpdate("flags = flags | %d", 0x220));
  EXPECT_EQ(0x225, db.scalar("SELECT flags FROM exampleItem WHERE name = 'b'"));
  EXPECT_EQ(1, db.scalar("SELECT flags FROM exampleItem WHERE name = 'a'"));
  item.setWhere("itemId = %d", 42);
  EXPECT_EQ(100, item.rowUpdate("flags = %d", 0));
  EXPECT_EQ(100, item.rowDelete());
  item.setWhere("name = '%s'", "a");
  EXPECT_EQ(0, item.rowDelete());
  EXPECT_EQ(1, db.scalar("SELECT COUNT(*) FROM exampleItem"));
}

TEST_F(Engine, AnUpdateOrADeleteWithoutAWhereClauseIsRefusedAndChangesNothing) {
  addItem("a", nullptr, 1);
  addItem("b", nullptr, 5);
  const tkdb::DbRows before = db.query("SELECT itemId, name, flags FROM exampleItem ORDER BY itemId");
  for (const char* where : {"", "   ", "\t\n"}) {
    SCOPED_TRACE(std::string("where [") + where + "]");
    ExampleItem item(nullptr);
    if (*where != '\0') item.setWhere("%s", where);
    testkit::debuglog::Capture log;
    testkit::db::journal().reset();
    EXPECT_EQ(214, item.rowUpdate("flags = %d", 9));
    EXPECT_EQ(214, item.rowDelete());
    EXPECT_EQ(std::vector<std::string>{}, testkit::db::statements()) << "nothing reached the database";
    EXPECT_EQ(before, db.query("SELECT itemId, name, flags FROM exampleItem ORDER BY itemId"));
    ASSERT_EQ(2u, log.lines().size());
    EXPECT_EQ("DBtable::rowUpdate", log.lines()[0].tag);
    EXPECT_NE(std::string::npos, log.lines()[0].text.find("failed with 214")) << log.lines()[0].text;
    EXPECT_EQ("DBtable::rowDelete", log.lines()[1].tag);
  }
  EXPECT_STREQ("An update or a delete without a where clause is refused", DBtable::getErrorStr(214));
  ExampleItem item(nullptr);
  item.setWhere("1 = 1");
  EXPECT_EQ(0, item.rowUpdate("flags = %d", 9)) << "a where clause that matches every row is the caller's choice";
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM exampleItem WHERE flags = 9"));
}

// A clause is part of one statement: text that closes it and starts
// another (as an unquoted client value could) runs nothing at all.
TEST_F(Engine, AClauseThatCarriesASecondStatementRunsNothing) {
  addItem("a", nullptr, 1);
  addItem("b", nullptr, 2);
  const char* kSmuggled = "1 = 1; DELETE FROM exampleItem";
  ExampleItem item(nullptr);
  item.setWhere("%s", kSmuggled);
  EXPECT_EQ(202, getOneRow(&item, false, -1, 0));
  EXPECT_EQ(202, getNextRow(&item, nullptr, -1, 0));
  EXPECT_EQ(202, item.rowUpdate("flags = %d", 7));
  EXPECT_EQ(202, item.rowDelete());
  item.setWhere("itemId > 0");
  EXPECT_EQ(202, item.rowUpdate("flags = 7; DELETE FROM exampleItem"));
  EXPECT_EQ((tkdb::DbRows{{"a", 1}, {"b", 2}}), db.query("SELECT name, flags FROM exampleItem ORDER BY itemId"));
  item.setWhere("name = '%s'", "b; DELETE FROM exampleItem");
  EXPECT_EQ(100, getOneRow(&item, false, -1, 0)) << "inside a literal it is only text";
}

TEST_F(Engine, WhereClausesInTheServersDialectRunOnSQLite) {
  for (const char* n : {"a", "b", "c", "d"}) addItem(n);
  ExampleItem item(nullptr);
  item.setWhere("[itemId] IN (SELECT TOP 2 itemId FROM exampleItem WITH (NOLOCK) ORDER BY itemId DESC) AND "
                "ISNULL(note, N'') = N'%s'",
                "");
  item.setOrderBy("[itemId]");
  std::vector<int> ids;
  int count = 0;
  while (getNextRow(&item, &count, -1, 0) == 0) ids.push_back(item.getDataPtr()->itemId);
  EXPECT_EQ((std::vector<int>{3, 4}), ids);
  std::vector<std::string> sql = testkit::db::statements();
  ASSERT_FALSE(sql.empty());
  EXPECT_EQ(
      "SELECT \"itemId\", \"name\", \"note\", \"sizeBytes\", \"created\", \"flags\" FROM \"exampleItem\" WHERE "
      "\"itemId\" IN (SELECT itemId FROM exampleItem ORDER BY itemId DESC LIMIT 2) AND IFNULL(note, '') = '' "
      "ORDER BY \"itemId\"",
      sql.back());
}

TEST_F(Engine, TopBecomesALimitAndResetClausesForgetsTheClauses) {
  for (const char* n : {"a", "b", "c"}) addItem(n);
  ExampleItem item(nullptr);
  item.setTop(2);
  item.setIsolationType(4);
  int count = 0;
  while (getNextRow(&item, &count, -1, 0) == 0) {
  }
  EXPECT_EQ(2, count);
  EXPECT_NE(std::string::npos, testkit::db::statements().back().find(" LIMIT 2"));

  item.setWhere("itemId = %d", 1);
  item.resetClauses();
  EXPECT_EQ("", item.getWhere());
  EXPECT_EQ("", item.getOrderBy());
  EXPECT_EQ(0, item.getTop());
  EXPECT_EQ(0u, item.getIsolationType());
  count = 0;
  while (getNextRow(&item, &count, -1, 0) == 0) {
  }
  EXPECT_EQ(3, count);
}

TEST_F(Engine, ViewsReadThroughTheirDefinition) {
  int a = addItem("a");
  addItem("b");
  ASSERT_EQ(0, db.exec("INSERT INTO testJobLink (jobId, tarnfoldId, itemId) VALUES (1, 1, ?), (2, 1, ?)", {a, a}));
  TestItemView view(nullptr);
  view.setIsolationType(4);
  view.setWhere("ITEMID = %d", a);
  ASSERT_EQ(0, getOneRow(&view, true, -1, 0));
  EXPECT_STREQ("a", view.getDataPtr()->ItemName);
  EXPECT_EQ(2, view.getDataPtr()->LinkCount);
  EXPECT_EQ(DB_ERR_STATE, TestListItems(nullptr).rowInsert(true));
}

TEST_F(Engine, AValueThatDoesNotFitItsFieldIsAnError) {
  ASSERT_EQ(0, db.exec("INSERT INTO exampleItem (name, flags) VALUES ('a', 'not a number')"));
  ExampleItem item(nullptr);
  EXPECT_EQ(DB_ERR_CONVERT, getOneRow(&item, false, -1, 0));
  ASSERT_EQ(0, db.exec("UPDATE exampleItem SET flags = 5000000000"));
  EXPECT_EQ(DB_ERR_CONVERT, getOneRow(&item, false, -1, 0));
  ASSERT_EQ(0, db.exec("UPDATE exampleItem SET flags = ' 12 '"));
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));
  EXPECT_EQ(12, item.getDataPtr()->flags);
}

TEST_F(Engine, InjectedFailuresComeBackAsTheResultAndAreLogged) {
  addItem("a");
  testkit::debuglog::Capture log;
  testkit::db::journal().injectFailure("getOneRow", 204, "locked by the test");
  ExampleItem item(nullptr);
  EXPECT_EQ(204, getOneRow(&item, false, -1, 0));
  EXPECT_TRUE(log.contains("locked by the test"));
  EXPECT_EQ(0, getOneRow(&item, false, -1, 0));
  testkit::db::journal().injectFailure("rowInsert", 206, "full");
  EXPECT_EQ(206, item.rowInsert(true));
  testkit::db::journal().injectFailure("rowUpdate", 203, "");
  EXPECT_EQ(203, item.rowUpdate("flags = %d", 1));
}

TEST_F(Engine, FailedStatementsNeverLogTheTextsTheyCarry) {
  testkit::debuglog::Capture log;
  TestSetting setting(nullptr);
  setting.setWhere("value = '%s' AND no_such_column = 1", "s3cr3t-pa55");
  EXPECT_EQ(DB_ERR_SQL, getOneRow(&setting, false, -1, 0));
  setting.setWhere("name = '%s'", "x");
  EXPECT_EQ(DB_ERR_SQL, setting.rowUpdate("value = '%s' nonsense", "an0ther-s3cret"));
  ASSERT_FALSE(log.lines().empty());
  for (const auto& line : log.lines()) {
    EXPECT_EQ(std::string::npos, line.text.find("s3cr3t")) << line.text;
    EXPECT_EQ(std::string::npos, line.text.find("s3cret")) << line.text;
  }
  EXPECT_TRUE(log.contains("value = '?'"));
}

TEST_F(Engine, ConnectionsOfOtherThreadsFollowAChangeOfDatabase) {
  addItem("in the first database");
  std::mutex m;
  std::condition_variable cv;
  int step = 0;
  long long seen[3] = {-1, -1, -1};
  auto count = [] {
    ExampleItem item(nullptr);
    int n = 0;
    while (getNextRow(&item, &n, -1, 0) == 0) {
    }
    return static_cast<long long>(n);
  };
  std::thread worker([&] {
    for (int s = 0; s < 3; ++s) {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return step > s; });
      seen[s] = count();
      step = -(s + 1);  // done with this step
      cv.notify_all();
    }
  });
  auto runStep = [&](int s) {
    std::unique_lock<std::mutex> lock(m);
    step = s + 1;
    cv.notify_all();
    cv.wait(lock, [&] { return step == -(s + 1); });
  };
  runStep(0);  // first database: one row
  {
    tktest::TestDatabase second;  // TK_DB now names another file
    runStep(1);
  }
  runStep(2);  // back on the first database
  worker.join();
  EXPECT_EQ(1, seen[0]);
  EXPECT_EQ(0, seen[1]);
  EXPECT_EQ(1, seen[2]);
}

TEST_F(Engine, IndexesOfABindingAreMadeAfterItsTableAndInADatabaseMadeWithoutThem) {
  EXPECT_EQ("CREATE INDEX IF NOT EXISTS \"exampleItem_flags_name\" ON \"exampleItem\" (\"flags\", \"name\")",
            tkdb::schemaStatementFor("exampleItem_flags_name"));
  const std::string indexes =
      "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master WHERE type = 'index' AND "
      "tbl_name = 'exampleItem' AND name LIKE 'exampleItem!_%' ESCAPE '!' ORDER BY name)";
  addItem("first");
  EXPECT_EQ("exampleItem_flags_name exampleItem_name", db.text(indexes));
  // A lookup by name reads the index, not the table.
  const tkdb::DbRows plan = db.query("EXPLAIN QUERY PLAN SELECT itemId FROM exampleItem WHERE name = 'first'");
  ASSERT_EQ(1u, plan.size());
  EXPECT_NE(std::string::npos, plan[0].back().s.find("INDEX exampleItem_name")) << plan[0].back().s;

  // A database of an older release, made before the indexes: the next
  // connection makes them, and the rows stay.
  ASSERT_EQ(0, db.exec("DROP INDEX exampleItem_name"));
  ASSERT_EQ(0, db.exec("DROP INDEX exampleItem_flags_name"));
  testkit::db::reset();
  addItem("second");
  EXPECT_EQ("exampleItem_flags_name exampleItem_name", db.text(indexes));
  EXPECT_EQ(2, db.scalar("SELECT COUNT(*) FROM exampleItem"));
}

TEST_F(Engine, SchemaRegisteredLaterReachesConnectionsAlreadyOpen) {
  addItem("opens the connection");
  tkdb::registerSchema("testLateTable", "CREATE TABLE IF NOT EXISTS testLateTable (a INTEGER)");
  tkdb::registerSchema("TESTLATETABLE", "CREATE TABLE IF NOT EXISTS ignored (b INTEGER)");  // same name: ignored
  EXPECT_EQ(0, db.exec("INSERT INTO testLateTable (a) VALUES (1)"));
  EXPECT_EQ(0, db.scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ignored'"));

  // Applied inside a transaction that is then rolled back: applied again later.
  {
    DBtran tran;
    ASSERT_EQ(0, tran.startTran());
    tkdb::registerSchema("testLateTable2", "CREATE TABLE IF NOT EXISTS testLateTable2 (a INTEGER)");
    tkdb::Session inTran(&tran);
    EXPECT_EQ(0, inTran.exec("INSERT INTO testLateTable2 (a) VALUES (1)"));
    ASSERT_EQ(0, tran.rollbackTran());
  }
  EXPECT_EQ(0, db.exec("INSERT INTO testLateTable2 (a) VALUES (2)"));
  EXPECT_EQ(2, db.scalar("SELECT a FROM testLateTable2"));
}

TEST_F(Engine, TheDefaultFileAndADatabaseThatCannotBeOpened) {
  {
    tktest::ScopedEnv unset("TK_DB", "");
    EXPECT_EQ("var/tarnkeep.db", tkdb::currentDatabasePath());
  }
  tktest::TempDir dir;
  std::string file = dir.file("plain");
  { FILE* f = std::fopen(file.c_str(), "w"); ASSERT_NE(nullptr, f); std::fclose(f); }
  tktest::ScopedEnv bad("TK_DB", file + "/under/a/file.db");
  testkit::db::reset();
  testkit::debuglog::Capture log;
  ExampleItem item(nullptr);
  EXPECT_EQ(DB_ERR_OPEN, getOneRow(&item, false, -1, 0));
  DBtran tran;
  EXPECT_EQ(DB_ERR_BEGIN, tran.startTran());
}

}  // namespace
