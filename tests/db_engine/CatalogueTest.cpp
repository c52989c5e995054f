// The row base, the catalogues and the generated binding pattern, without a
// database.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "Db/ZQDBBinding.h"
#include "platform/testkit/db.h"
#include "platform/testkit/debuglog.h"
#include "tests/db_engine/ExampleBinding.h"
#include "tests/db_engine/TestBindings.h"

namespace {

// A catalogue class used by no other test, so that its class-wide part is
// still empty when the threads below race to fill it.
#define RACEPROBE_COLUMNS(COL) \
  COL(a, i, 0)                 \
  COL(b, x, 0)                 \
  COL(c, s, 17)                \
  COL(d, t, 0)                 \
  COL(e, u, 0)

inline constexpr ZQDBBindingInfo RaceProbe_info{.headerType = ZQDB_HEADER_TABLE,
                                                .dbName = "raceProbe",
                                                .className = "RaceProbe",
                                                .primaryKey = "a",
                                                .serial = "a"};
struct RaceProbe_t {
  RACEPROBE_COLUMNS(ZQDB_FIELD)
  ZQDB_ROW(RaceProbe_t, RACEPROBE_COLUMNS)
};
class RaceProbe_t2 : public ZQDBCatalogue<RaceProbe_t2, RaceProbe_t, RaceProbe_info> {};

// The row base's own answers, through the smallest possible catalogue.
class BareCatalogue : public ZQDBRowBase {
 public:
  int getSerialColNum() override { return -1; }
  std::string getTableName() override { return "bare"; }
  std::string getPrimaryWhere() override { return ""; }
  std::vector<ZQDBDataTypeBase*> getPrimaryData() override { return {}; }
  void setTableName(std::string) override {}
  const char* getColumnName_t2(const int&) const override { return nullptr; }
  void pushColumnName(const char*) override {}
};

TEST(RowBase, BaseAnswersMinusOneHeaderTypeEmptyStructAndNoForeignKey) {
  BareCatalogue bare;
  EXPECT_EQ(-1, bare.getHeaderType());
  EXPECT_EQ("", bare.getStructDef());
  EXPECT_EQ(0, bare.searchForeignKey("anything"));
  EXPECT_FALSE(bare.isGenerated());
  EXPECT_EQ("", bare.getColumnName(0));
  BareCatalogue other;
  EXPECT_EQ(&bare, &(bare = other));
}

TEST(RowBase, FillForTimeTurnsOnlyXIntoB) {
  BareCatalogue bare;
  EXPECT_EQ("i|s129|s|b|b|", bare.fillForTime("i|s129|s|x|x|"));
  EXPECT_EQ("i|u577|u|s2049|", bare.fillForTime("i|u577|u|s2049|"));
  EXPECT_EQ("", bare.fillForTime(""));
  EXPECT_EQ("", bare.fillForTime(nullptr));
}

TEST(Catalogue, PrimaryWhereWithNoneOneAndTwoKeysHasNoBlankBeforeAnd) {
  TestSetting_t2 none;
  ExampleItem_t2 one;
  TestJobLink_t2 two;
  EXPECT_EQ("", none.getPrimaryWhere());
  EXPECT_TRUE(none.getPrimaryData().empty());
  EXPECT_EQ("itemId = ?", one.getPrimaryWhere());
  EXPECT_EQ("jobId = ?AND tarnfoldId = ?", two.getPrimaryWhere());

  std::vector<ZQDBDataTypeBase*> keys = two.getPrimaryData();
  ASSERT_EQ(2u, keys.size());
  EXPECT_EQ(two.getData()[0], keys[0]);
  EXPECT_EQ(two.getData()[1], keys[1]);
  ASSERT_EQ(1u, one.getPrimaryData().size());
  EXPECT_EQ(one.getData()[0], one.getPrimaryData()[0]);
}

TEST(Catalogue, SerialColumnNumberIsItsPositionOrMinusOne) {
  EXPECT_EQ(0, ExampleItem_t2().getSerialColNum());
  EXPECT_EQ(-1, TestJobLink_t2().getSerialColNum());
  EXPECT_EQ(-1, TestListItems_t2().getSerialColNum());
  EXPECT_EQ(-1, TestItemView_t2().getSerialColNum());
}

TEST(Catalogue, ClassWideMetadataOfEachKind) {
  struct Expect {
    ZQDBRowBase* cat;
    const char* name;
    int header;
    const char* schema;
  };
  ExampleItem_t2 table;
  TestItemView_t2 view;
  TestListItems_t2 proc;
  TestItemCursor_t2 cursor;
  TestTouchItem_t2 noOutput;
  const Expect cases[] = {
      {&table, "ExampleItem", 1, "i|s65|u|b|t|i|"},
      {&view, "TestItemView", 4, "i|s65|i|"},
      {&proc, "TestListItems", 2, "i|u257|s|"},
      {&cursor, "TestItemCursor", 3, "i|s65|i|"},
      {&noOutput, "TestTouchItem", 2, ""},
  };
  for (const Expect& e : cases) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.name, e.cat->getTableName());
    EXPECT_EQ(e.header, e.cat->getHeaderType());
    EXPECT_EQ(e.schema, e.cat->getStructDef());
    EXPECT_TRUE(e.cat->isGenerated());
  }
  EXPECT_EQ("i|s65|u|x|t|i|", ZQDBSchemaString<ExampleItem_t>());
  EXPECT_EQ("itemId, name, note, sizeBytes, created, flags", ZQDBSelectList<ExampleItem_t>());
}

TEST(Catalogue, ValueObjectsFollowTheSchemaCodesInColumnOrder) {
  ExampleItem_t2 cat;
  std::vector<ZQDBDataTypeBase*> values = cat.getData();
  const int codes[] = {1, 6, 6, 4, 5, 1};
  ASSERT_EQ(6u, values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(codes[i], values[i]->getDataType());
    EXPECT_TRUE(values[i]->isNull());
    EXPECT_EQ(values[i], cat.columnMap().at(cat.getColumnName(static_cast<int>(i))));
  }
}

TEST(Catalogue, ColumnNamesByPositionAnswerNullOutsideTheColumns) {
  ExampleItem_t2 cat;
  EXPECT_STREQ("itemId", cat.getColumnName_t2(0));
  EXPECT_STREQ("flags", cat.getColumnName_t2(5));
  EXPECT_EQ(nullptr, cat.getColumnName_t2(6));
  EXPECT_EQ(nullptr, cat.getColumnName_t2(-1));
  EXPECT_EQ("", cat.getColumnName(6));
  EXPECT_EQ("created", cat.getColumnName(4));
}

TEST(Catalogue, ForeignKeysAreFilledOncePerClassInAnOrderedMap) {
  TestJobLink_t2 cat;
  auto fks = cat.getForeignKeyMap();
  ASSERT_EQ(2u, fks.size());
  EXPECT_EQ("exampleItem", fks.begin()->first);
  EXPECT_EQ("itemId", fks.at("exampleItem").at("itemId"));
  EXPECT_EQ("id", fks.at("testJob").at("jobId"));
  EXPECT_TRUE(ExampleItem_t2().getForeignKeyMap().empty());
}

TEST(Catalogue, SecondCatalogueOfAClassSharesOneNameList) {
  ExampleItem_t2 first;
  ExampleItem_t2 second;
  EXPECT_EQ(6u, ExampleItem_t2::m_staticColumnVec.size());
  EXPECT_EQ(first.getColumnName(3), second.getColumnName(3));
}

TEST(Catalogue, StaticsAreFilledExactlyOnceUnderEightThreads) {
  ASSERT_FALSE(RaceProbe_t2::s_isInitialized.load());
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  std::atomic<int> complete{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      ready.fetch_add(1);
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < 20; ++round) {
        RaceProbe_t2 cat;
        // Whoever sees the class initialised sees all of it.
        if (cat.getColumnName_t2(4) != nullptr && cat.getStructDef() == "i|b|s17|t|u|" &&
            cat.getTableName() == "RaceProbe" && cat.getHeaderType() == 1 && cat.getSerialColNum() == 0) {
          complete.fetch_add(1);
        }
      }
    });
  }
  while (ready.load() < kThreads) std::this_thread::yield();
  go = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(kThreads * 20, complete.load());
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e"}), RaceProbe_t2::m_staticColumnVec);
}

TEST(Rows, FreshRowsHoldZeroesEmptyTextsNullHeapTextsAndClearedDates) {
  ExampleItem_t row;
  EXPECT_EQ(0, row.itemId);
  EXPECT_STREQ("", row.name);
  EXPECT_EQ(nullptr, row.note);
  EXPECT_EQ(0, row.sizeBytes);
  EXPECT_TRUE(row.created.isCleared());
  EXPECT_STREQ("", row.created.text);
  EXPECT_EQ(0, row.flags);
  static_assert(std::is_same_v<decltype(row.sizeBytes), long long>);
  static_assert(std::is_same_v<decltype(row.name), char[65]>);
  static_assert(std::is_same_v<decltype(row.note), char*>);
  static_assert(ExampleItem_t::kColumnCount == 6);
}

TEST(Rows, RowsThatOwnHeapTextCannotBeCopiedByTheCompiler) {
  static_assert(!std::is_copy_constructible_v<TestSetting_t>);
  static_assert(!std::is_copy_assignable_v<TestSetting_t>);
  static_assert(!std::is_copy_constructible_v<ExampleItem_t>);
  static_assert(std::is_copy_assignable_v<ExampleItem_t>);  // its binding asks for an assignment
  SUCCEED();
}

TEST(Rows, GeneratedAssignmentCopiesEachFieldAndOwnsItsHeapText) {
  ExampleItem_t a;
  a.itemId = 3;
  std::strcpy(a.name, "tape-01");
  a.note = new char[6];
  std::strcpy(a.note, "hello");
  a.sizeBytes = 1LL << 40;
  a.created = tagTIMESTAMP_STRUCT{2022, 3, 4, 5, 6, 7, 0};
  std::strcpy(a.created.text, "text");
  a.created.flag = 2;
  a.flags = 9;

  ExampleItem_t b;
  b.note = new char[2];
  std::strcpy(b.note, "x");
  b = a;
  EXPECT_EQ(3, b.itemId);
  EXPECT_STREQ("tape-01", b.name);
  ASSERT_NE(nullptr, b.note);
  EXPECT_NE(a.note, b.note);
  EXPECT_STREQ("hello", b.note);
  EXPECT_EQ(1LL << 40, b.sizeBytes);
  EXPECT_EQ(2022, b.created.year);
  EXPECT_EQ(2, b.created.flag);
  EXPECT_STREQ("", b.created.text);
  EXPECT_EQ(9, b.flags);

  b = b;  // self-assignment keeps the text
  EXPECT_STREQ("hello", b.note);

  ExampleItem_t empty;
  b = empty;
  EXPECT_EQ(nullptr, b.note);
}

TEST(Rows, DestroyingARowFreesItsHeapTexts) {
  auto* row = new TestSetting_t();
  row->value = new char[4];
  std::strcpy(row->value, "abc");
  delete row;  // LeakSanitizer reports a text that is not freed
  SUCCEED();
}

class BindingObjects : public ::testing::Test {
 protected:
  void SetUp() override { testkit::db::reset(); }
  void TearDown() override { testkit::db::reset(); }
};

TEST_F(BindingObjects, TableObjectTellsTheEngineItsIdentity) {
  ExampleItem item(nullptr);
  EXPECT_EQ("exampleItem", item.getObjectName());
  EXPECT_EQ(ZQDB_KIND_TABLE, item.getKind());
  EXPECT_STREQ("itemId, name, note, sizeBytes, created, flags", item.getSelectList());
  EXPECT_STREQ("1.2.3.4", item.getVersion());
  EXPECT_STREQ("itemId", item.getSerialColName());
  EXPECT_EQ(static_cast<void*>(&item.getDataPtr()->itemId), item.getSerialField());
  EXPECT_STREQ("Table ExampleItem", item.getDescription());
  EXPECT_EQ("itemId", item.getOrderBy());
  ASSERT_NE(nullptr, item.getCatalogue());
  EXPECT_EQ(1, item.getCatalogue()->getHeaderType());
}

TEST_F(BindingObjects, ViewIsKindOneWithHeaderTypeFourAndNoOrder) {
  TestItemView view(nullptr);
  EXPECT_EQ(ZQDB_KIND_TABLE, view.getKind());
  EXPECT_EQ(4, view.getCatalogue()->getHeaderType());
  EXPECT_EQ("", view.getOrderBy());
  EXPECT_STREQ("", view.getSerialColName());
  EXPECT_EQ(nullptr, view.getSerialField());
  EXPECT_STREQ("Table TestItemView", view.getDescription());
}

TEST_F(BindingObjects, KeyWithoutSerialOrdersByTheKeyNames) {
  TestJobLink link(nullptr);
  EXPECT_EQ("jobId, tarnfoldId", link.getOrderBy());
  EXPECT_EQ(nullptr, link.getSerialField());
}

TEST_F(BindingObjects, ProcedureAndCursorCarryTheirOwnForms) {
  TestListItems proc(nullptr);
  EXPECT_EQ(ZQDB_KIND_PROCEDURE, proc.getKind());
  EXPECT_STREQ("Procedure TestListItems", proc.getDescription());
  EXPECT_STREQ("00010003019800050000", proc.getStamp());
  EXPECT_EQ(nullptr, proc.getSerialColName());
  EXPECT_EQ(nullptr, proc.getSerialField());
  EXPECT_EQ("", proc.getOrderBy());
  EXPECT_STREQ("o_itemId, o_name, o_note", proc.getSelectList());

  TestItemCursor cursor(nullptr);
  EXPECT_EQ(ZQDB_KIND_CURSOR, cursor.getKind());
  EXPECT_STREQ("Cursor TestItemCursor", cursor.getDescription());
  EXPECT_STREQ("", cursor.getStamp());
  EXPECT_EQ(nullptr, cursor.getSerialColName());
}

TEST_F(BindingObjects, TextModeBuildsNoCatalogueAndKeepsTheRow) {
  DBtable::b_newDBBase = 0;
  {
    ExampleItem item(nullptr);
    EXPECT_EQ(nullptr, item.getCatalogue());
    item.getDataPtr()->itemId = 5;
    EXPECT_EQ(5, item.getDataPtr()->itemId);
    TestListItems proc(nullptr);
    EXPECT_EQ(nullptr, proc.getCatalogue());
  }
  DBtable::b_newDBBase = 1;
}

TEST_F(BindingObjects, NullTransactionRegistersNothingAndLeavesTheSectionFree) {
  testkit::debuglog::Capture log;
  ExampleItem item(nullptr);
  EXPECT_EQ(nullptr, item.getTransaction());
  EXPECT_TRUE(log.lines().empty());
  // The critical section was taken and given back: another thread can take it.
  bool taken = false;
  std::thread other([&] {
    taken = DBtable::DBCriticalSection.TryLock();
    if (taken) DBtable::DBCriticalSection.Unlock();
  });
  other.join();
  EXPECT_TRUE(taken);
}

}  // namespace
